// The profile functions as the program uses them: GetIni's limits and
// trimming, WriteIni's argument order, yes/no and numeric settings.
#include <QTest>

#include "core/app_globals.h"
#include "core/desktop.h"
#include "core/settings.h"
#include "platform/profile.h"
#include "qtest_registry.h"
#include "test_environment.h"

using namespace corvellan;
using corvellan::test::TestEnvironment;

class SettingsTest : public QObject {
  Q_OBJECT

 private slots:
  void missingFileSectionOrKeyGiveEmptyText() {
    TestEnvironment env;
    QCOMPARE(GetIni("Corvel.ini", "General Settings", "BarCodeFont"), QString());
    env.writeIni("[General Settings]\nOther=1\n");
    QCOMPARE(GetIni("Corvel.ini", "General Settings", "BarCodeFont"), QString());
    QCOMPARE(GetIni("Corvel.ini", "Label Settings", "Other"), QString());
    QCOMPARE(App().LastIniLength, 0);
  }

  void valuesAreTrimmedAndMatchedWithoutCase() {
    TestEnvironment env;
    env.writeIni("[general settings]\nbarcodefont =   Postnet Font   \n");
    QCOMPARE(GetIni("Corvel.ini", "General Settings", "BarCodeFont"), QStringLiteral("Postnet Font"));
    QCOMPARE(App().LastIniLength, 12);
  }

  void longValuesAreCutTo127Bytes() {
    TestEnvironment env;
    env.writeIni("[S]\nK=" + QByteArray(200, 'x') + "\n");
    QCOMPARE(GetIni("Corvel.ini", "S", "K"), QString(127, 'x'));
    QCOMPARE(App().LastIniLength, 127);
  }

  void cutNeverSplitsACharacter() {
    TestEnvironment env;
    // 126 ASCII bytes, then a two-byte character that crosses the limit.
    env.writeIni("[S]\nK=" + QByteArray(126, 'a') + "\xc3\xa9" + "\n");
    QCOMPARE(GetIni("Corvel.ini", "S", "K"), QString(126, 'a'));
  }

  void writeIniTakesTheFileLastAndKeepsOtherLines() {
    TestEnvironment env;
    env.writeIni("; comment\n[Directories]\nData=/data/\n");
    QVERIFY(WriteIni("General Settings", "Whats New", "05 Mar 2024", "Corvel.ini"));
    QCOMPARE(GetIni("Corvel.ini", "General Settings", "Whats New"), QStringLiteral("05 Mar 2024"));
    const QByteArray text = TestEnvironment::readFile(env.iniPath());
    QVERIFY(text.startsWith("; comment\n[Directories]\nData=/data/\n"));
  }

  void writeIniCreatesFileInTheProfileDirectory() {
    TestEnvironment env;
    QVERIFY(WriteIni("Directories", "Data", "/srv/zip/", "Fresh.ini"));
    QVERIFY(TestEnvironment::readFile(env.configDir() + "/Fresh.ini").contains("Data=/srv/zip/"));
  }

  void pathsAreUsedAsGiven() {
    TestEnvironment env;
    const QString cfg = env.programDir() + "Corvellan.Cfg";
    QVERIFY(WriteIni("Recipient", "Field Order", "1", cfg));
    QCOMPARE(GetIni(cfg, "Recipient", "Field Order"), QStringLiteral("1"));
  }

  void yesNoByFirstLetter_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("yes");
    QTest::newRow("Yes") << "Yes" << true;
    QTest::newRow("lower yes") << "yes" << true;
    QTest::newRow("Y alone") << "y" << true;
    QTest::newRow("No") << "No" << false;
    QTest::newRow("N") << "N" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("True is not yes") << "True" << false;
  }
  void yesNoByFirstLetter() {
    QFETCH(QString, value);
    QFETCH(bool, yes);
    QCOMPARE(IniYes(value), yes);
  }

  // A settings file beyond the size limit: ignored, never rewritten, and the
  // user is told once, naming the file.
  void anOversizeFileIsIgnoredKeptAndReportedOnce() {
    TestEnvironment env;
    ForgetProfileNoticesForTesting();
    MessageBox::clearShown();
    const QByteArray text = "[Directories]\nData=/srv/zip/\n;" + QByteArray(int(kMaxProfileBytes), 'x') + "\n";
    env.writeIni(text);
    QCOMPARE(GetIni("Corvel.ini", "Directories", "Data"), QString());
    QVERIFY(!WriteIni("Directories", "Data", "/srv/new/", "Corvel.ini"));
    QCOMPARE(GetIni("Corvel.ini", "Directories", "Data"), QString());
    QCOMPARE(TestEnvironment::readFile(env.iniPath()), text);
    const QList<MessageBox::Shown> shown = MessageBox::shown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].icon, MessageBox::Icon::Warning);
    QVERIFY2(shown[0].text.startsWith("The settings file " + env.iniPath() + " cannot be read (it holds "),
             qPrintable(shown[0].text));
    QVERIFY(shown[0].text.contains("more than the 1 MiB"));
    ForgetProfileNoticesForTesting();
  }

  void numbersByLeadingNumericPart_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<long>("number");
    QTest::newRow("plain") << "1440" << 1440L;
    QTest::newRow("unit suffix") << "12pt" << 12L;
    QTest::newRow("empty") << "" << 0L;
    QTest::newRow("letters") << "abc" << 0L;
    QTest::newRow("negative") << "-300" << -300L;
    QTest::newRow("blanks") << "  42 " << 42L;
  }
  void numbersByLeadingNumericPart() {
    QFETCH(QString, value);
    QFETCH(long, number);
    QCOMPARE(IniNumber(value), number);
  }
};

CORVELLAN_TEST_CLASS(SettingsTest);

#include "settings_test.moc"
