// Insert and Copy on a real X server (run by run_under_xvfb.sh, with openbox
// or without a window manager): a real program's window is chosen from the
// refreshed target list and receives the address field by field; the
// clipboard is read back by another program (xclip).
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QProcess>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <functional>
#include <memory>

#include "core/app_globals.h"
#include "core/desktop.h"
#include "core/settings.h"
#include "core/zip_main.h"
#include "qtest_registry.h"
#include "test_environment.h"
#include "transfer/config_window.h"
#include "transfer/insert_settings.h"
#include "transfer/window_service.h"

// Xlib's macros clash with Qt: after every Qt header.
#include <X11/Xlib.h>
#include <X11/keysym.h>

using namespace corvellan;

namespace {

// Recipient, Primary, City and State each followed by Tab; ZIP and add-on
// in the last field, joined by "-".
constexpr char kCfg[] =
    "[General Settings]\nLine Squeeze=Yes\n"
    "[Recipient]\nField Order=1\nAfter Field={TAB}\n"
    "[Secondary]\nField Order=2\nAfter Field={TAB}\n"
    "[Primary]\nField Order=3\nAfter Field={TAB}\n"
    "[City]\nField Order=4\nAfter Field={TAB}\n"
    "[State]\nField Order=5\nAfter Field={TAB}\n"
    "[ZipCode]\nField Order=6\n"
    "[Plus4]\nField Order=6\nBefore Field=-\n";

// Waits, serving events, until `done` holds or `ms` have passed.
bool WaitFor(const std::function<bool()>& done, int ms) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(10);
  }
  return true;
}

}  // namespace

class X11TransferTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<test::TestEnvironment> env_;
  std::unique_ptr<ZipMain> main_;
  std::vector<std::unique_ptr<QProcess>> probes_;

  QComboBox* targets() { return main_->findChild<QComboBox*>("Combo1"); }
  QStringList targetTitles() {
    QStringList titles;
    for (int i = 0; i < targets()->count(); ++i) titles.append(targets()->itemText(i));
    return titles;
  }
  void setField(const char* name, const QString& text) { main_->findChild<QLineEdit*>(name)->setText(text); }
  void refresh() { QTest::mouseClick(main_->findChild<QLabel*>("TargetApp"), Qt::LeftButton); }

  // Starts the probe program and waits until its windows are up.
  bool startProbe(const QStringList& arguments) {
    auto probe = std::make_unique<QProcess>();
    probe->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    probe->start(qEnvironmentVariable("CORVELLAN_INSERT_PROBE"), arguments);
    QProcess* p = probe.get();
    probes_.push_back(std::move(probe));
    return WaitFor([p] { return p->canReadLine() || p->state() == QProcess::NotRunning; }, 10000) &&
           p->readLine().trimmed() == "ready";
  }

 private slots:
  void initTestCase() { QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb")); }

  void init() {
    env_ = std::make_unique<test::TestEnvironment>();
    env_->installDefault();
    test::TestEnvironment::writeFile(env_->programDir() + "Corvellan.Cfg", kCfg);
    main_ = std::make_unique<ZipMain>();
    QVERIFY(main_->Form_Load({}));
    main_->show();
    // Without a window manager nobody gives a new window the keyboard.
    QVERIFY(QTest::qWaitForWindowExposed(main_.get()));
    main_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(main_.get()));
  }

  void cleanup() {
    for (auto& probe : probes_) {
      probe->kill();
      probe->waitForFinished(3000);
    }
    probes_.clear();
    main_.reset();
    env_.reset();
  }

  void insertTypesTheAddressIntoAnotherProgram() {
    const QString out = env_->root() + "/fields.txt";
    QVERIFY(startProbe({"--caption", "Order Entry Probe", "--out", out, "--fields", "6", "--extra", "Program Manager",
                        "--extra", "Corvellan Helper"}));
    refresh();
    const QStringList titles = targetTitles();
    QVERIFY2(titles.contains("Order Entry Probe"), qPrintable(titles.join(", ")));
    QVERIFY2(!titles.contains("Program Manager"), qPrintable(titles.join(", ")));
    QVERIFY2(!titles.contains("Corvellan Helper"), qPrintable(titles.join(", ")));
    QVERIFY(!titles.contains("Corvellan"));
    targets()->setCurrentIndex(targets()->findText("Order Entry Probe"));

    setField("Recipient", "Smith + Sons (100%) {A~B}");
    setField("Secondary", "");  // squeezed out with its Tab
    setField("Primary", "150 Main St");
    setField("City", "Springfield");
    setField("State", "IL");
    setField("Zip", "62704");
    setField("Plus4", "1002");
    main_->mnuEditInsert_Click();
    QCOMPARE(MessageBox::shownTexts(), QStringList());

    const QString expected = "Smith + Sons (100%) {A~B}\n150 Main St\nSpringfield\nIL\n62704-1002\n";
    QString arrived;
    WaitFor([&] { return (arrived = QString::fromUtf8(test::TestEnvironment::readFile(out))) == expected; }, 10000);
    QCOMPARE(arrived, expected);
    QCOMPARE(GetIni(App().IniFile, "General Settings", "Insert Target"), QStringLiteral("Order Entry Probe"));

    // The program has ended: the insertion fails and the list is refreshed.
    probes_.front()->kill();
    probes_.front()->waitForFinished(3000);
    targets()->setEditText("Order Entry Probe");
    main_->mnuEditInsert_Click();
    QCOMPARE(MessageBox::shownTexts(), QStringList({"Unable to Insert Address: please try again"}));
    QVERIFY(!targetTitles().contains("Order Entry Probe"));
  }

  // Every character the insertion keeps arrives, with characters the layout
  // lacks (®, and under a German layout ^ ` ~) on keys mapped for them, and
  // after the layout is switched while the program runs.
  void everyCharacterArrivesWhateverTheLayout() {
    const QString out = env_->root() + "/lines.txt";
    QVERIFY(startProbe({"--caption", "Layout Probe", "--out", out, "--fields", "1", "--lines"}));
    InsertSettings& settings = CurrentInsertSettings();
    settings = InsertSettings{};
    settings.FieldOrder[0] = "1";
    settings.AfterKeys[0] = "{ENTER}";
    refresh();
    targets()->setCurrentIndex(targets()->findText("Layout Probe"));
    QVERIFY(targets()->currentIndex() >= 0);

    const QString typed = QString::fromUtf8("Pe\u00f1uelas\u00ae A+B {G} ~^`'\"|@#$%&*()_=[]\\;:,./<>?! 0123456789 "
                                            "qwertzuiopyxQWERTZYX");
    const QString arrives = QString::fromUtf8("Penuelas\u00ae A+B {G} ~^`'\"|@#$%&*()_=[]\\;:,./<>?! 0123456789 "
                                              "qwertzuiopyxQWERTZYX");
    QStringList expected;
    const auto insertTimes = [&](int times) {
      for (int i = 0; i < times; ++i) {
        setField("Recipient", typed + QString::number(expected.size()));
        main_->mnuEditInsert_Click();
        expected.append(arrives + QString::number(expected.size()));
        QStringList lines;
        WaitFor([&] {
          lines = QString::fromUtf8(test::TestEnvironment::readFile(out)).split('\n', Qt::SkipEmptyParts);
          return lines.size() >= expected.size();
        }, 10000);
        QCOMPARE(lines, expected);
      }
    };
    insertTimes(10);
    QCOMPARE(MessageBox::shownTexts(), QStringList());

    // The layout changes while the program runs.
    QProcess layout;
    layout.start("setxkbmap", {"de"});
    QVERIFY(layout.waitForFinished(10000));
    QCOMPARE(layout.exitCode(), 0);
    QTest::qWait(300);
    insertTimes(10);
    QCOMPARE(MessageBox::shownTexts(), QStringList());
    layout.start("setxkbmap", {"us"});
    QVERIFY(layout.waitForFinished(10000));
  }

  // A character for which the layout has no key, with no free key left to
  // map it to: the insertion is refused with a message, nothing is typed.
  void anUntypableCharacterIsRefused() {
    const QString out = env_->root() + "/refused.txt";
    QVERIFY(startProbe({"--caption", "Refusal Probe", "--out", out, "--fields", "1", "--lines"}));
    InsertSettings& settings = CurrentInsertSettings();
    settings = InsertSettings{};
    settings.FieldOrder[0] = "1";
    settings.AfterKeys[0] = "{ENTER}";

    // Every empty key gets a letter the layout has anyway (in one request:
    // a window manager reads the mapping again after each one).
    Display* display = XOpenDisplay(nullptr);
    QVERIFY(display != nullptr);
    int low = 0;
    int high = 0;
    XDisplayKeycodes(display, &low, &high);
    int width = 0;
    KeySym* map = XGetKeyboardMapping(display, static_cast<KeyCode>(low), high - low + 1, &width);
    for (int code = low; code <= high; ++code) {
      KeySym* key = map + (code - low) * width;
      if (std::all_of(key, key + width, [](KeySym sym) { return sym == NoSymbol; })) key[0] = XK_x;
    }
    XChangeKeyboardMapping(display, low, width, map, high - low + 1);
    XFree(map);
    XSync(display, False);
    XCloseDisplay(display);
    QTest::qWait(500);
    refresh();
    targets()->setCurrentIndex(targets()->findText("Refusal Probe"));
    QVERIFY(targets()->currentIndex() >= 0);

    setField("Recipient", QString::fromUtf8("Acme\u00ae Tool"));
    main_->mnuEditInsert_Click();
    QCOMPARE(MessageBox::shownTexts(),
             QStringList({QString::fromUtf8("Unable to Insert Address: please try again\n\nThe keyboard layout in use "
                                            "has no key for \u00ae, and too few free keys are left to type it with.")}));
    QTest::qWait(500);
    QCOMPARE(test::TestEnvironment::readFile(out), QByteArray());

    QProcess layout;
    layout.start("setxkbmap", {"us"});
    QVERIFY(layout.waitForFinished(10000));
  }

  // A typed title that names the program itself (or begins one of its
  // titles) never makes it type into its own controls.
  void aTypedTitleNeverNamesTheProgramItself() {
    const QString out = env_->root() + "/fields.txt";
    QVERIFY(startProbe({"--caption", "Contacts Probe", "--out", out, "--fields", "6"}));
    setField("Recipient", "Acme Tool Co");
    setField("Primary", "150 Main St");
    for (const QString& title : {main_->windowTitle(), main_->windowTitle().left(4)}) {
      MessageBox::clearShown();
      targets()->setEditText(title);
      main_->mnuEditInsert_Click();
      QCOMPARE(MessageBox::shownTexts().size(), 1);
      QVERIFY2(MessageBox::shownTexts().front().startsWith("Unable to Insert Address: please try again"),
               qPrintable(MessageBox::shownTexts().front()));
      QTest::qWait(200);
      QCOMPARE(main_->findChild<QLineEdit*>("SearchZip")->text(), QString());
      QCOMPARE(main_->findChild<QLineEdit*>("Recipient")->text(), QStringLiteral("Acme Tool Co"));
    }
    // A prefix of another program's title still names it.
    MessageBox::clearShown();
    targets()->setEditText("C");
    main_->mnuEditInsert_Click();
    QCOMPARE(MessageBox::shownTexts(), QStringList());
    QString arrived;
    WaitFor([&] { return (arrived = QString::fromUtf8(test::TestEnvironment::readFile(out))).contains("150 Main St"); },
            10000);
    QVERIFY2(arrived.startsWith("Acme Tool Co\n"), qPrintable(arrived));
  }

  // Filling the target list activates every candidate; the keyboard comes
  // back to the main window, also at start-up, and after a message box.
  void theKeyboardComesBackToTheMainWindow() {
    QVERIFY(startProbe({"--caption", "Focus Probe", "--fields", "1"}));
    refresh();
    QVERIFY(targetTitles().contains("Focus Probe"));
    QTRY_VERIFY_WITH_TIMEOUT(main_->isActiveWindow(), 5000);

    // Start-up: the list is filled before the window is shown.
    main_.reset();
    QVERIFY(startProbe({"--caption", "Second Focus Probe", "--fields", "1"}));
    main_ = std::make_unique<ZipMain>();
    QVERIFY(main_->Form_Load({}));
    QVERIFY(targets()->count() > 0);
    main_->show();
    QTRY_VERIFY_WITH_TIMEOUT(main_->isActiveWindow(), 5000);

    // A real message box, closed with its button.
    MessageBox::setTestMode(false);
    QTimer::singleShot(300, [] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->accept();
    });
    MessageBox::critical(main_.get(), "A message");
    MessageBox::setTestMode(true);
    QTRY_VERIFY_WITH_TIMEOUT(main_->isActiveWindow(), 5000);
  }

  // The insert settings window stays on top; its error boxes open above it
  // and give the keyboard back to it.
  void errorBoxesOpenAboveTheInsertSettings() {
    mnuViewSetting_Click(*main_);
    Config* config = Config::existing();
    QVERIFY(config != nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(config->isActiveWindow(), 5000);
    const QString cfg = App().CfgFile;

    MessageBox::setTestMode(false);
    bool above = false;
    bool seen = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr || !box->isVisible()) return;
      QTest::qWait(300);  // the window manager has placed it
      const std::vector<TopWindow> stacking = Windows().stackingOrder();
      int boxAt = -1;
      int configAt = -1;
      for (int i = 0; i < static_cast<int>(stacking.size()); ++i) {
        if (stacking[static_cast<std::size_t>(i)].id == box->winId()) boxAt = i;
        if (stacking[static_cast<std::size_t>(i)].id == config->winId()) configAt = i;
      }
      above = boxAt > configAt && configAt >= 0;
      seen = true;
      poll.stop();
      box->accept();
    });
    poll.start(50);
    config->findChild<QComboBox*>("IniFile")->setCurrentText("No Such Settings");
    config->IniFile_Click();
    MessageBox::setTestMode(true);
    QVERIFY(seen);
    QVERIFY(above);
    QTRY_VERIFY_WITH_TIMEOUT(config->isActiveWindow(), 5000);
    App().CfgFile = cfg;
    config->hide();
  }

  void theListHoldsAtMost99Windows() {
    QVERIFY(startProbe({"--caption", "Many Windows Probe", "--fields", "0", "--windows", "105"}));
    refresh();
    QVERIFY2(targets()->count() == 99, qPrintable(targetTitles().join(", ")));
  }

  void copyReachesOtherProgramsThroughTheClipboard() {
    setField("Recipient", "Acme Tool Co");
    setField("Primary", "150 Main St");
    setField("City", "Springfield");
    setField("State", "IL");
    setField("Zip", "62704");
    main_->findChild<QAction*>("mnuEditCopy")->trigger();

    // xclip asks this program for the text: events are served meanwhile.
    QProcess xclip;
    xclip.start("xclip", {"-o", "-selection", "clipboard"});
    QVERIFY2(WaitFor([&xclip] { return xclip.state() == QProcess::NotRunning; }, 10000), "xclip did not finish");
    QCOMPARE(xclip.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(xclip.readAllStandardOutput()),
             QStringLiteral("Acme Tool Co\r\n150 Main St\r\nSpringfield\r\nIL\r\n62704\r\n"));
  }
};

CORVELLAN_TEST_CLASS(X11TransferTest);

#include "x11_transfer_test.moc"
