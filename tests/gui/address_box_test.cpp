// The Address box: a whole address typed on one line fills the search fields,
// runs the search and shows the record it names.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

#include <memory>

#include "core/result_lines.h"
#include "core/zip_main.h"
#include "qtest_registry.h"
#include "search_session.h"

using namespace corvellan;

class AddressBoxTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<corvellan::test::SearchSession> session_;
  ZipMain* window_ = nullptr;

  QLineEdit* edit(const char* name) { return window_->findChild<QLineEdit*>(name); }
  QString currentKey() {
    auto* list = window_->findChild<QListWidget*>("FoundList");
    return list->currentItem() ? LineKey(list->currentItem()->text()) : QString();
  }
  void enter(const QString& line) {
    QLineEdit* box = edit("AddressLine");
    box->setFocus();
    box->clear();
    QTest::keyClicks(box, line);
    QTest::keyClick(box, Qt::Key_Return);
  }

 private slots:
  void init() {
    session_ = std::make_unique<corvellan::test::SearchSession>();
    QVERIFY(session_->ready());
    window_ = &session_->window;
  }
  void cleanup() {
    window_ = nullptr;
    session_.reset();
  }

  void boxSitsAboveTheSearchFieldsWithItsAccessKey() {
    auto* label = window_->findChild<QLabel*>("AddressLab");
    QVERIFY(label != nullptr);
    QCOMPARE(label->text(), QStringLiteral("&Whole Address"));
    QCOMPARE(label->buddy(), edit("AddressLine"));
    QVERIFY(edit("AddressLine")->mapTo(window_, QPoint()).y() <
            edit("SearchZip")->mapTo(window_, QPoint()).y());
    edit("SearchZip")->setFocus();
    QTest::keyClick(window_, Qt::Key_W, Qt::AltModifier);
    QTRY_VERIFY(edit("AddressLine")->hasFocus());
  }

  void enterFillsTheFieldsAndShowsTheRecord() {
    enter(QStringLiteral("110 main street, springfield il 12345"));
    QCOMPARE(edit("SearchZip")->text(), QStringLiteral("12345"));
    QCOMPARE(edit("SearchNumber")->text(), QStringLiteral("110"));
    QCOMPARE(edit("SearchStreet")->text(), QStringLiteral("MAIN ST"));
    QCOMPARE(edit("SearchCity")->text(), QStringLiteral("SPRINGFIELD"));
    QCOMPARE(window_->findChild<QComboBox*>("StateList")->currentText(), QStringLiteral("IL"));
    QCOMPARE(currentKey(), QStringLiteral("123451001"));
    QCOMPARE(edit("Zip")->text(), QStringLiteral("12345"));
    // The line stays for another look or a change.
    QCOMPARE(edit("AddressLine")->text(), QStringLiteral("110 main street, springfield il 12345"));
    QVERIFY2(window_->PanelText(1).startsWith(QStringLiteral("Address exact")), qPrintable(window_->PanelText(1)));
  }

  void anotherNameOfTheCityFindsItsZipCode() {
    // LELAND GROVE names 12345 (SPRINGFIELD) in the place names file only;
    // SHELBYVILLE has a MAIN ST too.
    enter(QStringLiteral("110 main street, leland grove il"));
    QCOMPARE(edit("SearchCity")->text(), QStringLiteral("SPRINGFIELD"));
    QCOMPARE(currentKey(), QStringLiteral("123451001"));
    QCOMPARE(window_->PanelText(1), QStringLiteral("Address corrected: city LELAND GROVE -> SPRINGFIELD"));
  }

  void correctedMatchSelectsItsRecordAmongOthers() {
    // The unit of the high-rise at 200, with a typo in the street name.
    enter(QStringLiteral("200 Mian St Apt 3, Springfield IL"));
    QCOMPARE(edit("SearchStreet")->text(), QStringLiteral("MAIN ST"));
    QCOMPARE(edit("SearchSecdry")->text(), QStringLiteral("APT 3"));
    QCOMPARE(currentKey(), QStringLiteral("123451003"));
    QVERIFY2(window_->PanelText(1).startsWith(QStringLiteral("Address corrected: street name MIAN -> MAIN")),
             qPrintable(window_->PanelText(1)));
  }

  void boxLineFillsTheFieldsAndShowsItsRecord() {
    enter(QStringLiteral("Jane Roe, P.O. Box 150, Springfield, Illinois"));
    QCOMPARE(edit("SearchZip")->text(), QStringLiteral("12345"));
    QCOMPARE(edit("SearchNumber")->text(), QStringLiteral("150"));
    QCOMPARE(edit("SearchStreet")->text(), QStringLiteral("PO BOX"));
    QCOMPARE(edit("SearchCity")->text(), QStringLiteral("SPRINGFIELD"));
    QCOMPARE(window_->findChild<QComboBox*>("StateList")->currentText(), QStringLiteral("IL"));
    QCOMPARE(currentKey(), QStringLiteral("123450100"));
    QCOMPARE(edit("Zip")->text(), QStringLiteral("12345"));
    QCOMPARE(window_->PanelText(1), QStringLiteral("Address exact (state ILLINOIS read as IL)"));
  }

  void unsureAnswerStillSearchesWhatWasTyped() {
    enter(QStringLiteral("5 elm st, springfield il"));
    QCOMPARE(edit("SearchNumber")->text(), QStringLiteral("5"));
    QCOMPARE(edit("SearchStreet")->text(), QStringLiteral("ELM ST"));
    QCOMPARE(edit("SearchCity")->text(), QStringLiteral("SPRINGFIELD"));
    QCOMPARE(window_->PanelText(1), QStringLiteral("Address not found: street ELM not found"));
  }
};

CORVELLAN_TEST_CLASS(AddressBoxTest);
#include "address_box_test.moc"
