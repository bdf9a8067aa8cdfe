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
#include <QProcess>
#include <QTest>
#include <QThread>

#include <functional>
#include <memory>

#include "core/app_globals.h"
#include "core/desktop.h"
#include "core/settings.h"
#include "core/zip_main.h"
#include "qtest_registry.h"
#include "test_environment.h"
#include "transfer/insert_settings.h"

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
