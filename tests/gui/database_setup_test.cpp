// Creating and updating the database from the program: the first-start offer,
// the background build with its progress and Cancel, a failed build, the
// switch of the running program to the new file, and where an installed
// program finds its program files.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <string>

#include "core/address_record.h"
#include "core/app_globals.h"
#include "core/database_setup.h"
#include "core/database_setup_dialog.h"
#include "core/desktop.h"
#include "core/engine_binding.h"
#include "core/settings.h"
#include "core/zip_main.h"
#include "qtest_registry.h"
#include "sample/sample_generator.h"
#include "test_database.h"
#include "test_environment.h"

using namespace corvellan;
using corvellan::test::TestEnvironment;

namespace {

constexpr int kBuildTimeout = 60000;

// Small USPS product files written by the sample generator: Rhode Island only.
struct UspsFiles {
  QString zip4;
  QString cityState;
  QString firstZip;  // ZIP code and add-on of the first detail record
  QString firstAddOn;
};

UspsFiles WriteUspsFiles(const QString& dir, std::uint64_t records) {
  corvdb::tools::SampleOptions options;
  options.out_dir = dir.toStdString();
  options.records = records;
  options.states = {"RI"};
  std::string error;
  if (!corvdb::tools::GenerateSample(options, &error)) qFatal("sample: %s", error.c_str());
  UspsFiles files{dir + "/zip4.txt", dir + "/ctystate.txt", {}, {}};
  const QList<QByteArray> lines = TestEnvironment::readFile(files.zip4).split('\n');
  files.firstZip = QString::fromLatin1(lines.value(1).mid(1, 5));
  files.firstAddOn = QString::fromLatin1(lines.value(1).mid(140, 4));
  return files;
}

// The count of records the engine finds for a ZIP+4.
int Lookup(const QString& zip, const QString& addOn) {
  std::string bytes(kAddressRecordSize, ' ');
  bytes.replace(233, 5, zip.toStdString());
  bytes.replace(238, 4, addOn.toStdString());
  return Engine::ZipcodeToAddress(bytes.data(), 1);
}

QStringList FilesIn(const QString& dir) { return QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden); }

template <typename T>
T* Child(QWidget& parent, const char* name) {
  T* child = parent.findChild<T*>(QLatin1String(name));
  if (child == nullptr) qFatal("no control %s", name);
  return child;
}

void WaitForBuild(DatabaseSetupDialog& dialog) {
  QTRY_VERIFY_WITH_TIMEOUT(!dialog.running(), kBuildTimeout);
}

}  // namespace

class DatabaseSetupTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() {
    setFirstStartHandlerForTesting({});
    setInstalledProgramDirForTesting({});
    FileDialog::clearNextFileName();
  }

  void everyControlIsReachableByItsAccessKey() {
    TestEnvironment env;
    DatabaseSetupDialog dialog(DatabaseSetupDialog::Mode::FirstStart, env.dataDir() + "zip.cvd");
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    const auto alt = [&dialog](char key) { QTest::keyClick(&dialog, key, Qt::AltModifier); };
    // Buttons answer their access key with an animated click (100 ms).
    alt('u');
    QTRY_VERIFY(Child<QRadioButton>(dialog, "UspsOption")->isChecked());
    alt('z');
    QCOMPARE(QApplication::focusWidget(), Child<QLineEdit>(dialog, "Zip4Files"));
    alt('i');
    QCOMPARE(QApplication::focusWidget(), Child<QLineEdit>(dialog, "CityStateFiles"));
    FileDialog::setNextFileName("/tmp/a.txt;/tmp/b.txt");
    alt('b');
    QTRY_COMPARE(Child<QLineEdit>(dialog, "Zip4Files")->text(), QStringLiteral("/tmp/a.txt; /tmp/b.txt"));
    FileDialog::setNextFileName("/tmp/c.txt");
    alt('r');
    QTRY_COMPARE(Child<QLineEdit>(dialog, "CityStateFiles")->text(), QStringLiteral("/tmp/c.txt"));
    QCOMPARE(DatabaseSetupDialog::SplitFileList(" a ;; b;"), QStringList({"a", "b"}));
    alt('s');
    QTRY_VERIFY(Child<QRadioButton>(dialog, "SampleOption")->isChecked());
    QVERIFY(!Child<QLineEdit>(dialog, "Zip4Files")->isEnabled());
    dialog.setSample(2000, {"RI"});
    alt('t');  // Start: a first start ends the dialog once the database is there
    QTRY_VERIFY_WITH_TIMEOUT(dialog.result() == QDialog::Accepted, kBuildTimeout);
    QVERIFY(QFile::exists(env.dataDir() + "zip.cvd"));

    DatabaseSetupDialog declined(DatabaseSetupDialog::Mode::FirstStart, env.root() + "/other/zip.cvd");
    declined.show();
    QVERIFY(QTest::qWaitForWindowActive(&declined));
    QTest::keyClick(&declined, 'c', Qt::AltModifier);
    QTRY_VERIFY(!declined.isVisible());
    QCOMPARE(declined.result(), int(QDialog::Rejected));
    QVERIFY(!QFile::exists(env.root() + "/other"));
  }

  // The real window on a first start: the sample database is built in the
  // background, Corvel.ini then names its directory and start-up goes on.
  void firstStartCreatesTheSampleDatabase() {
    TestEnvironment env;
    env.installDefault();
    env.writeIni("[Directories]\nProgram=" + env.programDir().toUtf8() + "\n");
    const QString dir = env.root() + "/share/corvellan/";
    int progressSeen = 0;
    bool started = false;
    setFirstStartHandlerForTesting([&] {
      DatabaseSetupDialog dialog(DatabaseSetupDialog::Mode::FirstStart, dir + "zip.cvd");
      dialog.setSample(20000, {"RI", "VT"});
      connect(Child<QProgressBar>(dialog, "BuildProgress"), &QProgressBar::valueChanged, [&](int) { ++progressSeen; });
      dialog.show();
      Child<QPushButton>(dialog, "StartButton")->click();
      started = dialog.running();
      if (!QTest::qWaitFor([&] { return !dialog.running(); }, kBuildTimeout)) return QString();
      return dialog.result() == QDialog::Accepted ? dir : QString();
    });
    ZipMain window;
    QVERIFY(window.Form_Load({}));
    QVERIFY(MessageBox::shown().isEmpty());
    QCOMPARE(App().DataDir, dir);
    QCOMPARE(GetIni("Corvel.ini", "Directories", "Data"), dir);
    QVERIFY(QFile::exists(dir + "zip.cvd"));
    QCOMPARE(FilesIn(dir), QStringList({"zip.cvd", "zip.cvd.places", "zip.cvd.sha256"}));  // no working files left
    QVERIFY(started);
    QVERIFY(progressSeen > 0);
  }

  void declinedFirstStartReportsMissingDataAndWritesNothing() {
    TestEnvironment env;
    env.writeIni("[Directories]\n");
    bool offered = false;
    setFirstStartHandlerForTesting([&] {
      offered = true;
      return QString();
    });
    {
      ZipMain window;
      QVERIFY(!window.Form_Load({}));
    }
    QVERIFY(offered);
    QCOMPARE(MessageBox::shownTexts(), QStringList{"Unable to Locate Data Files"});
    QCOMPARE(TestEnvironment::readFile(env.iniPath()), QByteArray("[Directories]\n"));

    // A configured directory without zip.cvd is missing data, not a first start.
    offered = false;
    MessageBox::clearShown();
    env.writeIni("[Directories]\nData=" + env.dataDir().toUtf8() + "\n");
    ZipMain window;
    QVERIFY(!window.Form_Load({}));
    QVERIFY(!offered);
    QCOMPARE(MessageBox::shownTexts(), QStringList{"Unable to Locate Data Files"});
  }

  void installedProgramFilesAreUsedWhenNoProgramDirectoryIsSet() {
    TestEnvironment env;
    env.installDefault();
    const QString installed = env.root() + "/usr/share/corvellan/";
    TestEnvironment::writeFile(installed + "Corvellan.Cfg", "");
    setInstalledProgramDirForTesting(installed);
    env.writeIni("[Directories]\nData=" + env.dataDir().toUtf8() + "\n");
    {
      ZipMain window;
      QVERIFY(window.Form_Load({}));
      QCOMPARE(App().ProgramDir, installed);
    }
    // Program files in the data directory still come first.
    TestEnvironment::writeFile(env.dataDir() + "Corvellan.Cfg", "");
    {
      ZipMain window;
      QVERIFY(window.Form_Load({}));
      QCOMPARE(App().ProgramDir, env.dataDir());
    }
    // A Program directory that is set but wrong is not replaced by the installed one.
    QFile::remove(env.dataDir() + "Corvellan.Cfg");
    env.writeIni("[Directories]\nData=" + env.dataDir().toUtf8() + "\nProgram=/nonexistent/\n");
    ZipMain window;
    QVERIFY(!window.Form_Load({}));
    QCOMPARE(MessageBox::shownTexts(), QStringList{"Unable to Locate Program Files"});
  }

  // File, Update Database while the program answers from the old file:
  // Cancel and a bad input leave it untouched; a good build is renamed over
  // it and the program answers from the new file at once.
  void updateSwitchesTheRunningProgramToTheNewFile() {
    TestEnvironment env;
    env.installDefault();
    QVERIFY(QFile::remove(env.dataDir() + "zip.cvd"));
    QVERIFY(QFile::copy(test::TestDatabaseDir() + "zip.cvd", env.dataDir() + "zip.cvd"));
    const QByteArray old = TestEnvironment::readFile(env.dataDir() + "zip.cvd");
    ZipMain window;
    QVERIFY(window.Form_Load({}));
    window.show();
    QCOMPARE(Lookup("12345", "1001"), 3);  // the engine has the old file open
    const UspsFiles usps = WriteUspsFiles(env.root() + "/usps", 3000);
    QCOMPARE(Lookup(usps.firstZip, usps.firstAddOn), -1);

    window.findChild<QAction*>("mnuFileUpdateDatabase")->trigger();
    auto* dialog = window.findChild<DatabaseSetupDialog*>("DatabaseSetupDialog");
    QVERIFY(dialog != nullptr && dialog->isVisible());
    QVERIFY(!Child<QRadioButton>(*dialog, "SampleOption")->isVisible());
    auto* activity = Child<QLabel>(*dialog, "ActivityLabel");

    // Cancel right after Start.
    QTest::keyClicks(Child<QLineEdit>(*dialog, "Zip4Files"), usps.zip4);
    QTest::keyClicks(Child<QLineEdit>(*dialog, "CityStateFiles"), usps.cityState);
    Child<QPushButton>(*dialog, "StartButton")->click();
    QVERIFY(dialog->running());
    Child<QPushButton>(*dialog, "CancelButton")->click();
    WaitForBuild(*dialog);
    QCOMPARE(dialog->lastBuild()->outcome(), DatabaseBuild::Outcome::Cancelled);
    QCOMPARE(activity->text(), QStringLiteral("Cancelled. The present database is unchanged."));
    QCOMPARE(TestEnvironment::readFile(env.dataDir() + "zip.cvd"), old);
    QCOMPARE(FilesIn(env.dataDir()), QStringList{"zip.cvd"});
    QVERIFY(dialog->isVisible());

    // A ZIP+4 file that is not one: the writer's message, nothing changed.
    TestEnvironment::writeFile(env.root() + "/bad.txt", QByteArray(182, 'x'));
    Child<QLineEdit>(*dialog, "Zip4Files")->setText(env.root() + "/bad.txt");
    Child<QPushButton>(*dialog, "StartButton")->click();
    WaitForBuild(*dialog);
    QCOMPARE(dialog->lastBuild()->outcome(), DatabaseBuild::Outcome::Failed);
    QCOMPARE(MessageBox::shown().size(), 1);
    QCOMPARE(MessageBox::shown().front().icon, MessageBox::Icon::Critical);
    const QString message = MessageBox::shown().front().text;
    QVERIFY2(message.startsWith("The database could not be built:\n" + env.root() + "/bad.txt: record 1: "),
             qPrintable(message));
    QCOMPARE(TestEnvironment::readFile(env.dataDir() + "zip.cvd"), old);
    QCOMPARE(FilesIn(env.dataDir()), QStringList{"zip.cvd"});

    // The real build; a result line of the old file goes with the switch.
    window.findChild<QListWidget*>("FoundList")->addItem("12345-1001 old line");
    Child<QLineEdit>(*dialog, "Zip4Files")->setText(usps.zip4);
    Child<QPushButton>(*dialog, "StartButton")->click();
    WaitForBuild(*dialog);
    QCOMPARE(dialog->lastBuild()->outcome(), DatabaseBuild::Outcome::Built);
    QCOMPARE(dialog->lastBuild()->records(), std::uint64_t{3000});
    QVERIFY2(activity->text().endsWith("Corvellan now answers from it."), qPrintable(activity->text()));
    QCOMPARE(Child<QProgressBar>(*dialog, "BuildProgress")->value(), 1000);
    QCOMPARE(FilesIn(env.dataDir()), QStringList({"zip.cvd", "zip.cvd.places", "zip.cvd.sha256"}));
    QVERIFY(TestEnvironment::readFile(env.dataDir() + "zip.cvd") != old);
    QVERIFY(Lookup(usps.firstZip, usps.firstAddOn) > 0);
    QCOMPARE(Lookup("12345", "1001"), -1);
    QCOMPARE(window.findChild<QListWidget*>("FoundList")->count(), 0);
    QCOMPARE(window.PanelText(1), QStringLiteral("New database in use"));
    QCOMPARE(Child<QPushButton>(*dialog, "CancelButton")->text(), QStringLiteral("&Close"));
    Child<QPushButton>(*dialog, "CancelButton")->click();
    QTRY_VERIFY(window.findChild<DatabaseSetupDialog*>("DatabaseSetupDialog") == nullptr);
  }

  // A finished build waits for a running lookup before the engine reopens.
  void switchWaitsForTheRunningLookup() {
    TestEnvironment env;
    test::InstallWithTestDatabase(env);
    ZipMain window;
    QVERIFY(window.Form_Load({}));
    bool switched = false;
    ++App().LookupsRunning;
    SwitchToNewDatabase(window, [&](bool ok) { switched = ok; });
    QTest::qWait(300);
    QVERIFY(!switched);
    --App().LookupsRunning;
    QTRY_VERIFY(switched);
    QCOMPARE(Lookup("12345", "1001"), 3);  // reopened on the same (unchanged) file
  }
};

CORVELLAN_TEST_CLASS(DatabaseSetupTest);

#include "database_setup_test.moc"
