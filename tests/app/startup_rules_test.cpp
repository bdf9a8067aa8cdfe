// Start-up decisions that need no window: directories, the insert-settings
// file, date stamps, error texts, window centring.
#include <QTest>

#include <climits>

#include "core/form_placement.h"
#include "core/startup.h"
#include "qtest_registry.h"
#include "test_environment.h"

using namespace corvellan;
using corvellan::test::TestEnvironment;

class StartupRulesTest : public QObject {
  Q_OBJECT

 private slots:
  void directoriesEndWithOneSlashAndKeepTheirCase() {
    QCOMPARE(DirectoryWithSlash("/srv/Zip"), QStringLiteral("/srv/Zip/"));
    QCOMPARE(DirectoryWithSlash("/srv/Zip/"), QStringLiteral("/srv/Zip/"));
    QCOMPARE(DirectoryWithSlash(""), QStringLiteral("/"));
  }

  void namesAreFoundWithoutRegardToCase() {
    TestEnvironment env;
    TestEnvironment::writeFile(env.programDir() + "CORVELLAN.CFG", "x");
    TestEnvironment::writeFile(env.programDir() + "Docs/ZIP_NEW.htm", "x");
    QCOMPARE(FindNoCase(env.programDir(), "Corvellan.Cfg"), env.programDir() + "CORVELLAN.CFG");
    QCOMPARE(FindNoCase(env.programDir(), "docs/Zip_new.htm"), env.programDir() + "Docs/ZIP_NEW.htm");
    QVERIFY(!FindNoCase(env.programDir(), "docs/license.htm"));
    QVERIFY(!FindNoCase("", "Corvellan.Cfg"));
  }

  void insertSettingsFileFromTheCommandLine() {
    TestEnvironment env;
    const QString dir = env.programDir();
    TestEnvironment::writeFile(dir + "corvellan.cfg", "x");
    TestEnvironment::writeFile(dir + "Office.CFG", "x");
    // No argument: the default file, in whatever case it is spelled.
    QCOMPARE(ChooseCfgFile(dir, ""), dir + "corvellan.cfg");
    // Without a period ".cfg" is added, and the file is found in any case.
    QCOMPARE(ChooseCfgFile(dir, "office"), dir + "Office.CFG");
    QCOMPARE(ChooseCfgFile(dir, "missing"), dir + "missing.cfg");
    // With an extension the name is used as given.
    QCOMPARE(ChooseCfgFile(dir, "orders.ini"), dir + "orders.ini");
    // An absolute path is not put below the program directory.
    QCOMPARE(ChooseCfgFile(dir, "/etc/corvellan/site.cfg"), QStringLiteral("/etc/corvellan/site.cfg"));
  }

  void onlyAPeriodInTheFileNameSuppressesTheExtension() {
    QCOMPARE(ChooseCfgFile("/opt/corvellan-1.2/", "office"), QStringLiteral("/opt/corvellan-1.2/office.cfg"));
    QCOMPARE(ChooseCfgFile("/home/ann/.local/share/corvellan/", "office"),
             QStringLiteral("/home/ann/.local/share/corvellan/office.cfg"));
    QCOMPARE(ChooseCfgFile("/opt/corvellan-1.2/", "conf.d/office"), QStringLiteral("/opt/corvellan-1.2/conf.d/office.cfg"));
    QCOMPARE(ChooseCfgFile("/opt/corvellan-1.2/", "office.v2"), QStringLiteral("/opt/corvellan-1.2/office.v2"));
    // The default file does not depend on the directory's name.
    QCOMPARE(ChooseCfgFile("/opt/corvellan-1.2/", ""), QStringLiteral("/opt/corvellan-1.2/Corvellan.Cfg"));
  }

  void dateStampsUseEnglishMonthAbbreviations() {
    QCOMPARE(FormatStampDate(QDateTime(QDate(2024, 3, 5), QTime(23, 59))), QStringLiteral("05 Mar 2024"));
    QCOMPARE(FormatStampDate(QDateTime(QDate(1999, 12, 31), QTime(0, 0))), QStringLiteral("31 Dec 1999"));
  }

  void engineErrorTexts() {
    QCOMPARE(EngineErrorText(-1), QStringLiteral("Search Unsuccessful"));
    QCOMPARE(EngineErrorText(-2), QStringLiteral("Profile or data Files not Found"));
    QCOMPARE(EngineErrorText(-3), QStringLiteral("Error opening files"));
    QCOMPARE(EngineErrorText(-7), QStringLiteral("Error No 7"));
    QCOMPARE(EngineErrorText(7), QStringLiteral("Error No 7"));
    QCOMPARE(EngineErrorText(INT_MIN), QStringLiteral("Error No 2147483648"));
  }

  void documentErrorTexts() {
    QCOMPARE(DocErrorText(0), QStringLiteral("Out of memory"));
    QCOMPARE(DocErrorText(8), QStringLiteral("Out of memory"));
    QCOMPARE(DocErrorText(kDocFileNotFound), QStringLiteral("File not found"));
    QCOMPARE(DocErrorText(kDocPathNotFound), QStringLiteral("Path not found"));
    QCOMPARE(DocErrorText(kDocAccessDenied), QStringLiteral("Access denied"));
    QCOMPARE(DocErrorText(kDocNoAssociation), QStringLiteral("No association for file extension"));
    QCOMPARE(DocErrorText(32), QStringLiteral("DLL not found"));
    QCOMPARE(DocErrorText(17), QStringLiteral("Unknown error"));
  }

  void centringModes() {
    const QRect screen(0, 0, 1200, 1000);
    const QSize window(400, 200);
    bool applies = false;
    QCOMPARE(CenteredPosition(screen, window, 0, &applies), QPoint(400, 400));
    QVERIFY(applies);
    QCOMPARE(CenteredPosition(screen, window, 1, &applies), QPoint(400, 666));
    QCOMPARE(CenteredPosition(screen, window, 2, &applies), QPoint(400, 200));
    CenteredPosition(screen, window, 3, &applies);
    QVERIFY(!applies);
    // Larger than the screen: the title bar stays on it.
    QCOMPARE(CenteredPosition(QRect(0, 0, 800, 600), QSize(980, 780), 0, &applies), QPoint(0, 0));
    // A second screen to the right.
    QCOMPARE(CenteredPosition(QRect(1200, 0, 800, 600), QSize(400, 200), 0, &applies), QPoint(1400, 200));
  }
};

CORVELLAN_TEST_CLASS(StartupRulesTest);

#include "startup_rules_test.moc"
