// The main window after start-up on the test database, shown, with helpers
// to type into the search fields and read the results.
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <functional>

#include "core/zip_main.h"
#include "test_database.h"
#include "test_environment.h"

namespace corvellan::test {

class SearchSession {
 public:
  SearchSession() {
    InstallWithTestDatabase(env);
    ok_ = window.Form_Load({});
    window.show();
    exposed_ = QTest::qWaitForWindowExposed(&window);
  }

  bool ready() const { return ok_ && exposed_; }

  QLineEdit* edit(const char* name) const { return window.findChild<QLineEdit*>(name); }
  QString text(const char* name) const { return edit(name)->text(); }
  QListWidget* list() const { return window.findChild<QListWidget*>("FoundList"); }
  QPushButton* button(const char* name) const { return window.findChild<QPushButton*>(name); }

  // Types into a search field as the user does (the field's key rules apply).
  void type(const char* name, const QString& keys) {
    QWidget* field = QString::fromLatin1(name) == QLatin1String("StateList")
                         ? static_cast<QWidget*>(window.findChild<QComboBox*>("StateList"))
                         : static_cast<QWidget*>(edit(name));
    field->setFocus();
    QTest::keyClicks(field, keys);
  }
  // Enter in the street field runs the search.
  void search() { QTest::keyClick(edit("SearchStreet"), Qt::Key_Return); }

  QStringList lines() const {
    QStringList texts;
    for (int i = 0; i < list()->count(); ++i) texts.append(list()->item(i)->text());
    return texts;
  }
  // The eight counts beside the results list.
  QStringList stats() const {
    QStringList counts;
    for (int i = 0; i < 8; ++i) counts.append(window.findChild<QLineEdit*>(QStringLiteral("StatsLab_%1").arg(i))->text());
    return counts;
  }
  QList<int> itemData() const {
    QList<int> values;
    for (int i = 0; i < list()->count(); ++i) values.append(list()->item(i)->data(Qt::UserRole).toInt());
    return values;
  }
  // A mouse click on line `row`, as the user makes it.
  void clickLine(int row) {
    QListWidgetItem* item = list()->item(row);
    list()->scrollToItem(item);
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, list()->visualItemRect(item).center());
  }

  TestEnvironment env;
  ZipMain window;

 private:
  bool ok_ = false;
  bool exposed_ = false;
};

// Runs `step` at every turn of the event loop (the yields of a running
// search) until it returns false.
class EveryYield : public QObject {
 public:
  explicit EveryYield(std::function<bool(int turn)> step) : step_(std::move(step)) { timer_ = startTimer(0); }

 protected:
  void timerEvent(QTimerEvent*) override {
    if (!step_(++turn_)) killTimer(timer_);
  }

 private:
  std::function<bool(int)> step_;
  int timer_ = 0;
  int turn_ = 0;
};

}  // namespace corvellan::test
