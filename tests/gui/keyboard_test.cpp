// The keyboard: every access key on screen reaches one control (no two
// visible controls, and no control and a menu, share a letter), every
// control that takes input can be reached from the keyboard, each key does
// what it says when pressed once, and the help's table of access keys is the
// one the windows carry.
//
// The help's table is generated from the windows by the test that compares
// it: run the test with CORVELLAN_WRITE_HELP_KEYS=1 to write it into
// docs/zip_ins.htm after changing a caption.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMap>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSet>
#include <QSignalBlocker>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTextEdit>

#include <algorithm>
#include <memory>

#include "core/about_dialog.h"
#include "core/access_keys.h"
#include "core/app_globals.h"
#include "core/database_setup_dialog.h"
#include "core/desktop.h"
#include "core/help_window.h"
#include "core/result_export.h"
#include "qtest_registry.h"
#include "search_session.h"
#include "transfer/config_window.h"
#include "transfer/dde_setup.h"
#include "transfer/icon_window.h"

using namespace corvellan;
using corvellan::test::EveryYield;
using corvellan::test::SearchSession;

namespace {

// One arrangement of a window as the user sees it: the main window with one
// of its tabs in front, or a dialog.
struct View {
  QString where;   // "Main window, Mailing Label tab"
  QString window;  // the heading of its rows in the help's table
  QString part;    // "" for what every view of the window shows, else the tab
  QList<AccessKey> keys;
  // Keys of the window's own that a control of the tab in front won: shown
  // without their underline in this view.
  QList<AccessKey> yielded;
  QList<QWidget*> inputs;  // visible controls that take input
};

QString Describe(const QWidget* widget) {
  QString caption;
  if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) caption = PlainCaption(button->text());
  if (caption.isEmpty()) caption = widget->accessibleName();
  return widget->objectName() + (caption.isEmpty() ? QString() : QStringLiteral(" \"%1\"").arg(caption));
}

bool TakesInput(const QWidget* widget) {
  const QWidget* parent = widget->parentWidget();
  // Parts of a composite control: the line of a combo box or spin box, the
  // scroll buttons of a tab bar, the scroll bars of a list.
  if (qobject_cast<const QComboBox*>(parent) != nullptr || qobject_cast<const QAbstractSpinBox*>(parent) != nullptr ||
      qobject_cast<const QTabBar*>(parent) != nullptr ||
      (widget->objectName().startsWith(QLatin1String("qt_")) && qobject_cast<const QTabBar*>(widget) == nullptr)) {
    return false;
  }
  if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) return !edit->isReadOnly();
  if (const auto* edit = qobject_cast<const QPlainTextEdit*>(widget)) return !edit->isReadOnly();
  if (const auto* edit = qobject_cast<const QTextEdit*>(widget)) return !edit->isReadOnly();
  if (const auto* tabs = qobject_cast<const QTabBar*>(widget)) return tabs->count() > 1;
  return qobject_cast<const QAbstractButton*>(widget) != nullptr || qobject_cast<const QComboBox*>(widget) != nullptr ||
         qobject_cast<const QAbstractItemView*>(widget) != nullptr ||
         qobject_cast<const QAbstractSpinBox*>(widget) != nullptr;
}

View Look(QWidget* window, const QString& heading, const QString& part) {
  View view{heading + (part.isEmpty() ? QString() : QStringLiteral(", %1 tab").arg(part)), heading, part, {}, {}, {}};
  view.keys = VisibleAccessKeys(window);
  for (QWidget* widget : window->findChildren<QWidget*>()) {
    const QString design = widget->property(kDesignCaptionProperty).toString();
    if (!design.isEmpty()) view.yielded.append({AccessKeyLetter(design), widget, widget, PlainCaption(design)});
  }
  for (QWidget* widget : window->findChildren<QWidget*>()) {
    if (widget->window() == window && widget->isVisibleTo(window) && widget->isEnabled() && TakesInput(widget)) {
      view.inputs.append(widget);
    }
  }
  return view;
}

// Every arrangement of the main window: one per tab.
QList<View> LookAtMainWindow(ZipMain& window) {
  auto* tabs = window.findChild<QTabWidget*>("SSTab1");
  const int before = tabs->currentIndex();
  QList<View> views;
  for (int i = 0; i < tabs->count(); ++i) {
    tabs->setCurrentIndex(i);
    views.append(Look(&window, QStringLiteral("Main window"), tabs->tabText(i)));
  }
  tabs->setCurrentIndex(before);
  return views;
}

QString Letters(const QString& caption) {
  QString letters;
  for (const QChar c : PlainCaption(caption)) {
    if (c.isLetterOrNumber() && !letters.contains(c.toUpper())) letters += c.toUpper();
  }
  return letters;
}

bool Reaches(const AccessKey& key, const QWidget* widget) {
  const QWidget* target = key.target;
  return target == widget || (target != nullptr && target->focusProxy() == widget);
}

// The faults of one window, given all its views.
QStringList Faults(const QList<View>& views) {
  QStringList faults;
  QMap<QWidget*, QSet<QChar>> takenWhereVisible;  // per keyless button: letters taken in its views
  QSet<QWidget*> keyless;
  for (const View& view : views) {
    QMap<QChar, QStringList> owners;
    for (const AccessKey& key : view.keys) {
      owners[key.letter].append(qobject_cast<QMenuBar*>(key.owner.data()) ? QStringLiteral("menu %1").arg(key.caption)
                                                                          : Describe(key.owner));
    }
    for (auto it = owners.cbegin(); it != owners.cend(); ++it) {
      if (it.value().size() > 1) {
        faults << QStringLiteral("%1: Alt+%2 is shared by %3").arg(view.where, it.key(), it.value().join(", "));
      }
    }
    // Menu items within each menu.
    for (const AccessKey& key : view.keys) {
      auto* bar = qobject_cast<QMenuBar*>(key.owner.data());
      if (bar == nullptr) continue;
      for (QAction* top : bar->actions()) {
        if (top->menu() == nullptr || AccessKeyLetter(top->text()) != key.letter) continue;
        QMap<QChar, QStringList> items;
        for (QAction* item : top->menu()->actions()) {
          const QChar letter = AccessKeyLetter(item->text());
          if (item->isVisible() && !letter.isNull()) items[letter].append(PlainCaption(item->text()));
        }
        for (auto it = items.cbegin(); it != items.cend(); ++it) {
          if (it.value().size() > 1) {
            faults << QStringLiteral("%1: menu %2 has %3 twice: %4")
                          .arg(view.where, key.caption, it.key(), it.value().join(", "));
          }
        }
      }
    }
    QSet<QChar> taken;
    for (const AccessKey& key : view.keys) taken.insert(key.letter);
    for (QWidget* input : view.inputs) {
      bool keyed = false;
      for (const AccessKey& key : view.keys) keyed = keyed || Reaches(key, input);
      const bool routed = !input->property(kKeyRouteProperty).toString().isEmpty();
      const bool tabStop = (input->focusPolicy() & Qt::TabFocus) != 0;
      if (!keyed && !routed && !tabStop) faults << QStringLiteral("%1: %2 cannot be reached from the keyboard").arg(view.where, Describe(input));
      // A button or box without a key of its own: only when its caption
      // leaves no letter free.
      if (qobject_cast<QAbstractButton*>(input) != nullptr && !keyed && !routed) {
        keyless.insert(input);
        takenWhereVisible[input].unite(taken);
      }
    }
  }
  for (QWidget* button : keyless) {
    QString free;
    for (const QChar c : Letters(static_cast<QAbstractButton*>(button)->text())) {
      if (!takenWhereVisible[button].contains(c)) free += c;
    }
    if (!free.isEmpty()) {
      faults << QStringLiteral("%1: %2 has no access key although %3 is free").arg(views.front().window, Describe(button), free);
    }
  }
  return faults;
}

// ---------------------------------------------------------------- the help's table

QString Html(QString text) {
  return text.replace('&', QLatin1String("&amp;")).replace('<', QLatin1String("&lt;")).replace('>', QLatin1String("&gt;"));
}

QString KeyCell(const QString& route) {
  // "Alt+1 to Alt+6, Ctrl+Tab" -> each key in <kbd>.
  QStringList parts;
  for (const QString& part : route.split(QStringLiteral(", "))) {
    QStringList words = part.split(' ');
    for (QString& word : words) {
      if (word != QLatin1String("to") && word != QLatin1String("in") && word.at(0).isUpper()) {
        word = QStringLiteral("<kbd>%1</kbd>").arg(Html(word));
      } else {
        word = Html(word);
      }
    }
    parts << words.join(' ');
  }
  return parts.join(QStringLiteral(", "));
}

QString TargetName(const AccessKey& key) {
  if (qobject_cast<QMenuBar*>(key.owner.data()) != nullptr) return key.caption + QStringLiteral(" menu");
  QString name = key.caption.trimmed();
  if (name.endsWith(':')) name.chop(1);
  return name;
}

// The rows of one window: the keys every view of it has first, then the
// keys of each tab.
QStringList TableRows(const QList<View>& views) {
  QStringList rows;
  const auto row = [&rows](const QString& where, const QString& keys, const QString& does) {
    rows << QStringLiteral("  <tr><td>%1</td><td>%2</td><td>%3</td></tr>").arg(Html(where), keys, does);
  };
  const auto alt = [](QChar letter) { return QStringLiteral("<kbd>Alt</kbd>+<kbd>%1</kbd>").arg(letter); };
  const auto onEvery = [&views](const AccessKey& key) {
    for (const View& view : views) {
      bool found = false;
      for (const AccessKey& other : view.keys) found = found || other.owner == key.owner;
      for (const AccessKey& other : view.yielded) found = found || other.owner == key.owner;
      if (!found) return false;
    }
    return true;
  };
  const QString window = views.front().window;
  // The window's own keys, as designed (a view where a tab's control won
  // the letter shows the caption without it).
  QMap<QChar, QString> own;
  for (const AccessKey& key : views.front().keys) {
    if (onEvery(key)) own.insert(key.letter, TargetName(key));
  }
  for (auto it = own.cbegin(); it != own.cend(); ++it) row(window, alt(it.key()), Html(it.value()));
  QSet<QWidget*> routed;
  for (const View& view : views) {
    for (QWidget* input : view.inputs) {
      const QString route = input->property(kKeyRouteProperty).toString();
      if (route.isEmpty() || routed.contains(input)) continue;
      routed.insert(input);
      QString name = input->accessibleName();
      if (const auto* button = qobject_cast<QAbstractButton*>(input); button != nullptr && name.isEmpty()) {
        name = PlainCaption(button->text());
      }
      row(window, KeyCell(route), Html(name));
    }
  }
  for (const View& view : views) {
    QList<AccessKey> keys;
    for (const AccessKey& key : view.keys) {
      if (!onEvery(key)) keys.append(key);
    }
    std::sort(keys.begin(), keys.end(), [](const AccessKey& a, const AccessKey& b) { return a.letter < b.letter; });
    for (const AccessKey& key : keys) {
      QString does = Html(TargetName(key));
      // The control of the tab in front wins a letter the window uses elsewhere.
      if (own.contains(key.letter)) does += QStringLiteral(" (on this tab instead of %1)").arg(Html(own.value(key.letter)));
      row(view.where, alt(key.letter), does);
    }
  }
  return rows;
}

constexpr char kTableBegin[] = "<!-- access keys: written by the keyboard test from the windows -->";
constexpr char kTableEnd[] = "<!-- end of access keys -->";

}  // namespace

class KeyboardTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<SearchSession> s_;
  // Dialogs of allWindows(), kept while their views are read.
  std::unique_ptr<DatabaseSetupDialog> update_;
  std::unique_ptr<HelpWindow> help_;

  ZipMain& window() { return s_->window; }
  QTabWidget* tabs() { return window().findChild<QTabWidget*>("SSTab1"); }

  // Every window of the program with its views, in the order of the help.
  QList<QList<View>> allWindows() {
    QList<QList<View>> windows;
    windows << LookAtMainWindow(window());
    window().findChild<QAction*>("mnuViewSetting")->trigger();
    Config* config = Config::existing();
    windows << QList<View>{Look(config, QStringLiteral("Insert Settings window"), {})};
    config->close();
    DDESetup& dde = DdeSetupWindow(window());
    windows << QList<View>{Look(&dde, QStringLiteral("DDE Settings window"), {})};
    update_ = std::make_unique<DatabaseSetupDialog>(DatabaseSetupDialog::Mode::Update, s_->env.dataDir() + "zip.cvd");
    windows << QList<View>{Look(update_.get(), QStringLiteral("Update Database window"), {})};
    help_ = std::make_unique<HelpWindow>();
    windows << QList<View>{Look(help_.get(), QStringLiteral("Help window"), {})};
    windows << QList<View>{Look(window().aboutWindow(), QStringLiteral("About window"), {})};
    windows << QList<View>{Look(&IconWindow(window()), QStringLiteral("Icon window"), {})};
    return windows;
  }

  // Presses Alt with each access key of the window as it shows now, once,
  // and checks that it reached its one control. Buttons are not clicked: the
  // press is seen, their action is held back.
  void pressEachKey(QWidget* shown, QWidget* home, const QString& where) {
    for (const AccessKey& key : VisibleAccessKeys(shown)) {
      const QString what = QStringLiteral("%1: Alt+%2 (%3)").arg(where, key.letter, key.caption);
      home->setFocus(Qt::OtherFocusReason);
      QTRY_VERIFY2(home->hasFocus(), qPrintable(what + " focus " + (QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : "none") + " active " + (QApplication::activeWindow() ? QApplication::activeWindow()->objectName() : "none") + " popup " + (QApplication::activePopupWidget() ? "yes" : "no")));
      auto* button = qobject_cast<QAbstractButton*>(key.owner.data());
      std::unique_ptr<QSignalSpy> pressed;
      const bool checked = button != nullptr && button->isChecked();
      if (button != nullptr) pressed = std::make_unique<QSignalSpy>(button, &QAbstractButton::pressed);
      QTest::keyClick(QApplication::focusWidget(), key.letter.toLatin1(), Qt::AltModifier);
      if (qobject_cast<QMenuBar*>(key.owner.data()) != nullptr) {
        QTRY_VERIFY2(qobject_cast<QMenu*>(QApplication::activePopupWidget()) != nullptr, qPrintable(what));
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QCOMPARE(PlainCaption(menu->title()), key.caption);
        menu->close();
        QTRY_VERIFY(QApplication::activePopupWidget() == nullptr);
        // The offscreen platform leaves the closed menu the active window.
        shown->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(shown));
      } else if (button != nullptr) {
        QVERIFY2(pressed->count() == 1, qPrintable(what));
        {
          const QSignalBlocker held(button);
          QTest::qWait(150);  // the click of an access key follows its press
        }
        if (button->isCheckable()) {
          QVERIFY2(button->isChecked() != checked, qPrintable(what));
          const QSignalBlocker held(button);
          button->setChecked(checked);
        }
      } else {
        QWidget* focus = QApplication::focusWidget();
        QVERIFY2(focus != nullptr && (focus == key.target || key.target->isAncestorOf(focus)),
                 qPrintable(what + " went to " + (focus ? focus->objectName() : QStringLiteral("nothing"))));
      }
    }
  }

 private slots:
  void init() {
    s_ = std::make_unique<SearchSession>();
    QVERIFY(s_->ready());
    window().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window()));
  }
  void cleanup() {
    update_.reset();
    help_.reset();
    s_.reset();
  }

  void captionsAndTheirLetters() {
    const QList<std::tuple<QString, QChar, QString>> cases = {
        {"S&treet", 'T', "Street"},  {"&Zip Code", 'Z', "Zip Code"}, {"Search", QChar(), "Search"},
        {"A&&B &Co", 'C', "A&B Co"}, {"&&&x", 'X', "&x"},          {"Trailing&", QChar(), "Trailing"},
        {"F = F&irm", 'I', "F = Firm"}};
    for (const auto& [caption, letter, plain] : cases) {
      QCOMPARE(AccessKeyLetter(caption), letter);
      QCOMPARE(PlainCaption(caption), plain);
    }
  }

  void noTwoControlsShareAKeyAndEveryControlCanBeReached() {
    QStringList faults;
    for (const QList<View>& views : allWindows()) faults << Faults(views);
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
  }

  void theHelpListsTheKeysTheWindowsCarry() {
    QStringList rows = {"<table>", "  <tr><th>Window</th><th>Keys</th><th>Go to</th></tr>"};
    for (const QList<View>& views : allWindows()) rows << TableRows(views);
    rows << "</table>";
    const QString table = rows.join('\n');

    const QString path = QStringLiteral(CORVELLAN_SOURCE_DIR "/docs/zip_ins.htm");
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QString text = QString::fromUtf8(file.readAll());
    file.close();
    const qsizetype begin = text.indexOf(QLatin1String(kTableBegin));
    const qsizetype end = text.indexOf(QLatin1String(kTableEnd));
    QVERIFY2(begin >= 0 && end > begin, "the help has no generated table of access keys");
    const qsizetype from = begin + qsizetype(sizeof kTableBegin) - 1;
    const QString written = text.mid(from, end - from).trimmed();
    if (written != table && qEnvironmentVariableIsSet("CORVELLAN_WRITE_HELP_KEYS")) {
      text.replace(from, end - from, QLatin1Char('\n') + table + QLatin1Char('\n'));
      QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
      file.write(text.toUtf8());
      return;
    }
    QVERIFY2(written == table, qPrintable("docs/zip_ins.htm lists other access keys than the windows carry; "
                                          "run this test with CORVELLAN_WRITE_HELP_KEYS=1 to rewrite it. Expected:\n" +
                                          table));
  }

  void eachAccessKeyReachesItsControlWithOnePress() {
    for (int i = 0; i < tabs()->count(); ++i) {
      tabs()->setCurrentIndex(i);
      pressEachKey(&window(), s_->edit("SearchZip"), tabs()->tabText(i));
      QCOMPARE(tabs()->currentIndex(), i);
    }
    // Where the tab in front shares a letter with the search frame, its
    // control wins and the search label shows no underline.
    auto* qtyLabel = window().findChild<QLabel*>("QtyLab");
    tabs()->setCurrentWidget(window().findChild<QWidget*>("tabMailingLabel"));
    QCOMPARE(qtyLabel->text(), QStringLiteral("Search Qty  "));
    s_->edit("SearchZip")->setFocus();
    QTest::keyClick(s_->edit("SearchZip"), Qt::Key_Q, Qt::AltModifier);
    QTRY_VERIFY(s_->edit("Qty")->hasFocus());
    QTest::keyClick(s_->edit("Qty"), Qt::Key_T, Qt::AltModifier);
    QTRY_VERIFY(s_->edit("SearchStreet")->hasFocus());
    QTest::keyClick(s_->edit("SearchStreet"), Qt::Key_T, Qt::AltModifier);
    QVERIFY(s_->edit("SearchStreet")->hasFocus());
    tabs()->setCurrentIndex(0);
    QCOMPARE(qtyLabel->text(), QStringLiteral("Search &Qty  "));
    QTest::keyClick(s_->edit("SearchStreet"), Qt::Key_Q, Qt::AltModifier);
    QTRY_VERIFY(s_->edit("MaxQty")->hasFocus());

    window().findChild<QAction*>("mnuViewSetting")->trigger();
    Config* config = Config::existing();
    QVERIFY(QTest::qWaitForWindowActive(config));
    pressEachKey(config, config->findChild<QWidget*>("FieldList"), QStringLiteral("Insert Settings"));
    config->close();
    DatabaseSetupDialog update(DatabaseSetupDialog::Mode::Update, s_->env.dataDir() + "zip.cvd");
    update.show();
    QVERIFY(QTest::qWaitForWindowActive(&update));
    pressEachKey(&update, update.findChild<QWidget*>("CancelButton"), QStringLiteral("Update Database"));
  }

  void editMenuThenCopyWithTwoPresses() {
    s_->type("SearchZip", "12360");
    s_->type("SearchStreet", "elm");
    s_->search();
    QVERIFY(s_->list()->count() > 0);
    s_->edit("SearchZip")->setFocus();
    QTest::keyClick(s_->edit("SearchZip"), Qt::Key_E, Qt::AltModifier);
    QTRY_VERIFY(qobject_cast<QMenu*>(QApplication::activePopupWidget()) != nullptr);
    QSignalSpy copied(window().findChild<QAction*>("mnuEditCopy"), &QAction::triggered);
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_C);
    QTRY_COMPARE(copied.count(), 1);
  }

  void tabsFromAnywhere() {
    QLineEdit* zip = s_->edit("SearchZip");
    zip->setFocus();
    tabs()->setCurrentIndex(0);
    QTest::keyClick(zip, Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(tabs()->currentIndex(), 1);
    QTest::keyClick(zip, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(tabs()->currentIndex(), 0);
    QTest::keyClick(zip, Qt::Key_Tab, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(tabs()->currentIndex(), tabs()->count() - 1);
    QTest::keyClick(zip, Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(tabs()->currentIndex(), 0);
    for (int i = 0; i < tabs()->count(); ++i) {
      QTest::keyClick(zip, Qt::Key(Qt::Key_1 + i), Qt::AltModifier);
      QCOMPARE(tabs()->currentIndex(), i);
      QVERIFY(tabs()->tabToolTip(i).startsWith(QStringLiteral("Alt+%1").arg(i + 1)));
      QVERIFY(zip->hasFocus());
    }
    QCOMPARE(zip->text(), QString());
  }

  void organizationZipBoxListAndEnter() {
    tabs()->setCurrentWidget(window().findChild<QWidget*>("tabOrganizations"));
    QLineEdit* orgZip = s_->edit("OrgZip");
    s_->edit("SearchZip")->setFocus();
    QTest::keyClick(s_->edit("SearchZip"), Qt::Key_O, Qt::AltModifier);
    QTRY_VERIFY(orgZip->hasFocus());
    QTest::keyClicks(orgZip, "12360");
    QTest::keyClick(orgZip, Qt::Key_Return);
    auto* orgList = window().findChild<QListWidget*>("OrgList");
    QTRY_VERIFY(orgList->count() > 0);
    orgZip->setFocus();
    QTest::keyClick(orgZip, Qt::Key_Down);
    QVERIFY(orgList->hasFocus());
    QTest::keyClick(orgList, Qt::Key_Down);
    QVERIFY(orgList->currentRow() >= 0);
    const QString firm = orgList->currentItem()->text().mid(12);
    QTest::keyClick(orgList, Qt::Key_Return);
    QCOMPARE(tabs()->currentIndex(), 0);
    QCOMPARE(s_->text("Recipient"), firm);
  }

  void escapeStopsASearchAndAnExport() {
    // Idle: nothing to stop, nothing reported.
    window().SetStatus(QStringLiteral("Ready"));
    QTest::keyClick(s_->edit("SearchZip"), Qt::Key_Escape);
    QCOMPARE(window().PanelText(1), QStringLiteral("Ready"));

    int linesAtEscape = -1;
    EveryYield escaper([&](int) {
      if (s_->list()->count() < 2000) return true;
      linesAtEscape = s_->list()->count();
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
      return false;
    });
    s_->edit("MaxQty")->setText("99999");
    s_->type("StateList", "ky");
    s_->search();
    QVERIFY(linesAtEscape >= 2000);
    QCOMPARE(s_->list()->count(), linesAtEscape);
    QCOMPARE(App().BusyPointer, 0);

    s_->list()->selectAll();
    const int interval = SetExportYieldMilliseconds(0);
    bool busy = false;
    EveryYield exportEscaper([&](int turn) {
      if (turn < 30) return true;
      busy = App().BusyPointer == kBusyPointerHourglass;
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
      return false;
    });
    const QString path = s_->env.root() + "/Escaped.Txt";
    FileDialog::setNextFileName(path);
    window().MnuFileExport_Click();
    SetExportYieldMilliseconds(interval);
    FileDialog::clearNextFileName();
    QVERIFY(busy);
    QFile written(path);
    QVERIFY(written.open(QIODevice::ReadOnly));
    const qsizetype lines = written.readAll().count('\n');
    QVERIFY2(lines > 1 && lines < linesAtEscape, qPrintable(QString::number(lines)));
  }
};

CORVELLAN_TEST_CLASS(KeyboardTest);

#include "keyboard_test.moc"
