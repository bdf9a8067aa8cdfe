// Building the text for another program: the keystroke script of Insert and
// the lines of Copy from the insert settings, the target list's rules, and
// reading and writing .cfg files.
#include <QTest>

#include "core/settings.h"
#include "qtest_registry.h"
#include "test_environment.h"
#include "transfer/clipboard_copy.h"
#include "transfer/insert_settings.h"
#include "transfer/insert_target.h"

using namespace corvellan;

namespace {

enum Field { kRecipient = 0, kSecondary = 1, kPrimary = 5, kCity = 10, kState = 11, kZip = 12, kPlus4 = 13 };

// Recipient 1, Primary 2, City, State and ZipCode 3, all others 0.
InsertSettings ExampleSettings(bool lineSqueeze) {
  InsertSettings settings;
  for (auto& order : settings.FieldOrder) order = QStringLiteral("0");
  settings.FieldOrder[kRecipient] = QStringLiteral("1");
  settings.FieldOrder[kPrimary] = QStringLiteral("2");
  settings.FieldOrder[kCity] = QStringLiteral("3");
  settings.FieldOrder[kState] = QStringLiteral("3");
  settings.FieldOrder[kZip] = QStringLiteral("3");
  settings.LineSqueeze = lineSqueeze;
  return settings;
}

QStringList Address(const QString& recipient = QStringLiteral("ACME TOOL CO")) {
  QStringList values(kInsertFieldsUsed);
  values[kRecipient] = recipient;
  values[kPrimary] = QStringLiteral("150 MAIN ST");
  values[kCity] = QStringLiteral("SPRINGFIELD");
  values[kState] = QStringLiteral("IL");
  values[kZip] = QStringLiteral("62704");
  values[kPlus4] = QStringLiteral("1002");
  return values;
}

std::vector<TopWindow> Stack(std::initializer_list<const char*> titles) {
  std::vector<TopWindow> windows;
  std::uint64_t id = 100;
  for (const char* title : titles) windows.push_back({id++, QString::fromUtf8(title)});
  return windows;
}

}  // namespace

class InsertScriptTest : public QObject {
  Q_OBJECT

 private slots:
  void fieldsFollowTheirOrderWithTheirKeystrokes() {
    InsertSettings settings = ExampleSettings(true);
    settings.AfterKeys[kRecipient] = QStringLiteral("{ENTER}");
    settings.AfterKeys[kPrimary] = QStringLiteral("{ENTER}");
    settings.AfterKeys[kCity] = QStringLiteral("{TAB}");
    settings.AfterKeys[kState] = QStringLiteral("{TAB}");
    QCOMPARE(BuildInsertScript(settings, Address()).value_or(QStringLiteral("<error>")),
             QStringLiteral("ACME TOOL CO{ENTER}150 MAIN ST{ENTER}SPRINGFIELD{TAB}IL{TAB}62704"));

    // Line Squeeze on: an empty recipient takes its keystrokes with it; off:
    // they are still sent.
    QCOMPARE(*BuildInsertScript(settings, Address(QStringLiteral("  "))),
             QStringLiteral("150 MAIN ST{ENTER}SPRINGFIELD{TAB}IL{TAB}62704"));
    settings.LineSqueeze = false;
    QCOMPARE(*BuildInsertScript(settings, Address(QString())),
             QStringLiteral("{ENTER}150 MAIN ST{ENTER}SPRINGFIELD{TAB}IL{TAB}62704"));

    // Positions 19 to 21 are collected but never sent; an empty order omits.
    settings.FieldOrder[kPlus4] = QStringLiteral("19");
    settings.FieldOrder[kSecondary] = QString();
    QCOMPARE(*BuildInsertScript(settings, Address(QStringLiteral("X"))),
             QStringLiteral("X{ENTER}150 MAIN ST{ENTER}SPRINGFIELD{TAB}IL{TAB}62704"));
    settings.FieldOrder[kPlus4] = QStringLiteral("21");
    QVERIFY(BuildInsertScript(settings, Address()).has_value());
    settings.FieldOrder[kPlus4] = QStringLiteral("22");
    QVERIFY(!BuildInsertScript(settings, Address()).has_value());
    settings.FieldOrder[kPlus4] = QStringLiteral("-1");
    QVERIFY(!BuildInsertScript(settings, Address()).has_value());
  }

  void specialCharactersInValuesAreEscapedNotKeystrokes() {
    InsertSettings settings = ExampleSettings(true);
    settings.BeforeKeys[kRecipient] = QStringLiteral("^a");
    settings.AfterKeys[kRecipient] = QStringLiteral("{TAB}");
    QCOMPARE(*BuildInsertScript(settings, Address(QStringLiteral("100% PURE + SONS ^ A(1) {X} ~"))),
             QStringLiteral("^a100{%} PURE {+} SONS {^} A{(}1{)} {{}X{}} {~}{TAB}150 MAIN STSPRINGFIELDIL62704"));
  }

  void cleanTextKeepsPrintableAsciiLineBreaksAndRegistered() {
    QCOMPARE(CleanText(QStringLiteral("  Caf\u00e9 \u2713 Notes\u00ae\r\n\tx  ")), QStringLiteral("Cafe  Notes\u00ae\r\nx"));
    QCOMPARE(CleanText(QStringLiteral("\u2713")), QString());
  }

  // Characters outside the kept set are written in their plain form where
  // they have one, and dropped where they have none.
  void cleanTextTransliterates_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("cleaned");
    QTest::newRow("tilde") << QStringLiteral("Pe\u00f1uelas") << QStringLiteral("Penuelas");
    QTest::newRow("acute and grave") << QStringLiteral("CAF\u00c9 \u00e0 la carte") << QStringLiteral("CAFE a la carte");
    QTest::newRow("umlauts and sharp s") << QStringLiteral("M\u00fcller Stra\u00dfe") << QStringLiteral("Muller Strasse");
    QTest::newRow("letters that do not decompose")
        << QStringLiteral("\u00c6rø \u0141\u00f3d\u017a \u0152uvre") << QStringLiteral("AEro Lodz OEuvre");
    QTest::newRow("typographic punctuation")
        << QStringLiteral("O\u2019Brien \u201cA\u201d \u2013 B\u00a0C") << QStringLiteral("O'Brien \"A\" - B C");
    QTest::newRow("full-width and ligature") << QStringLiteral("\uff21\ufb01") << QStringLiteral("Afi");
    QTest::newRow("registered stays") << QStringLiteral("Acme\u00ae") << QStringLiteral("Acme\u00ae");
    QTest::newRow("no plain form") << QStringLiteral("A\u00bdB\u20ac\u4e2d") << QStringLiteral("AB");
    QTest::newRow("outside the basic plane") << QStringLiteral("A\U0001F600B") << QStringLiteral("AB");
  }
  void cleanTextTransliterates() {
    QFETCH(QString, text);
    QFETCH(QString, cleaned);
    QCOMPARE(CleanText(text), cleaned);
  }

  void targetListRules() {
    for (const char* title : {"PROGRAM MANAGER", "CORVELLAN", "CORVEL SETTINGS", "EXPLORING - C:\\", "MY SHORTCUT",
                              "WINDOWS CONTROL PANEL"}) {
      QVERIFY2(!ValidApp(QLatin1String(title)), title);
    }
    for (const char* title : {"NOTEPAD", "NOTES ON CORVELLAN", "EXPLORER", "ORDER ENTRY"}) {
      QVERIFY2(ValidApp(QLatin1String(title)), title);
    }

    // Bottom first: the walk goes up from the main window (id 102), then down.
    const auto stack = Stack({"Editor", "Program Manager", "Corvellan", "Order Entry", "Corvellan Insert Settings",
                              "Caf\u00e9 \u2713 Notes", "", "Terminal"});
    QCOMPARE(CandidateTitles(stack, 102), QStringList({"Order Entry", "Cafe  Notes", "Terminal", "Editor"}));
    QCOMPARE(CandidateTitles(stack, 999), QStringList({"Terminal", "Cafe  Notes", "Order Entry", "Editor"}));
    QCOMPARE(CandidateTitles(stack, 102, {103, 107}), QStringList({"Cafe  Notes", "Editor"}));

    std::vector<TopWindow> many;
    for (int i = 0; i < 120; ++i) many.push_back({static_cast<std::uint64_t>(i + 1), QStringLiteral("Window %1").arg(i)});
    const QStringList titles = CandidateTitles(many, 0);
    QCOMPARE(titles.size(), 99);
    QCOMPARE(titles.front(), QStringLiteral("Window 119"));
    QCOMPARE(titles.back(), QStringLiteral("Window 21"));
  }

  // A typed target title names only windows the list could offer: never the
  // program's own (by id or by title), nor those ValidApp rules out.
  void typedTitlesNeverNameTheProgramsOwnWindows() {
    const auto stack = Stack({"Corvel Notes", "Corvellan", "Contacts", "Corvellan Insert Settings", "Program Manager",
                              "Order Entry"});
    const std::vector<TopWindow> targets = TargetWindows(stack, {101, 103});
    QStringList titles;
    for (const TopWindow& window : targets) titles.append(window.title);
    QCOMPARE(titles, QStringList({"Contacts", "Order Entry"}));
    QCOMPARE(FindByTitle("Corvellan", targets), nullptr);
    QCOMPARE(FindByTitle("C", targets)->title, QStringLiteral("Contacts"));
    QCOMPARE(FindByTitle("Co", stack)->title, QStringLiteral("Corvellan Insert Settings"));  // topmost first
    QCOMPARE(FindByTitle("Program", targets), nullptr);
    QCOMPARE(FindByTitle("Order Entry", targets)->id, 105U);
  }

  void copyMakesOneLinePerPosition() {
    InsertSettings settings = ExampleSettings(true);
    settings.BeforeKeys[kRecipient] = QStringLiteral("{TAB}");
    settings.AfterKeys[kCity] = QStringLiteral("{TAB}");
    QStringList address = Address();
    address[kPrimary] = QStringLiteral("  150 MAIN ST  ");
    QCOMPARE(BuildCopyText(settings, address), QStringLiteral("ACME TOOL CO\r\n150 MAIN ST\r\nSPRINGFIELDIL62704\r\n"));

    settings.LineSqueeze = false;
    QCOMPARE(BuildCopyText(settings, address),
             QStringLiteral("ACME TOOL CO\r\n150 MAIN ST\r\nSPRINGFIELDIL62704\r\n") + QStringLiteral("\r\n").repeated(15));

    // Line Squeeze leaves out an empty position; 0 and 19 to 21 are never
    // copied; a number no position has leaves its field out.
    settings.LineSqueeze = true;
    address[kRecipient] = QString();
    settings.FieldOrder[kPlus4] = QStringLiteral("20");
    settings.FieldOrder[kSecondary] = QStringLiteral("40");
    address[kSecondary] = QStringLiteral("APT 4");
    QCOMPARE(BuildCopyText(settings, address), QStringLiteral("150 MAIN ST\r\nSPRINGFIELDIL62704\r\n"));
  }

  void cfgFilesReadAndWrite() {
    test::TestEnvironment env;
    const QString path = env.programDir() + "Mine.cfg";
    env.writeFile(path,
                  "[General Settings]\nDescription=Order screen\nLine Squeeze=yes\n"
                  "[Recipient]\nField Order=1\nAfter Field={TAB}\nUpper Case=yes\n"
                  "[Secondary]\nUpper Case=Yes\n"
                  "[State]\nField Order=abc\nUpper Case=No\n"
                  "[ZipCode]\nField Order=3\nUpper Case=Yes\n");
    InsertSettings settings;
    ReadCfgFile(path, settings);
    QCOMPARE(settings.Description, QStringLiteral("Order screen"));
    QVERIFY(!settings.LineSqueeze);  // only "Yes" turns it on
    QCOMPARE(settings.CaseOption[kRecipient], kCaseNo);  // only "Yes" is yes
    QCOMPARE(settings.CaseOption[kSecondary], kCaseUpper);
    QCOMPARE(settings.CaseOption[kState], kCaseUpper);       // always upper
    QCOMPARE(settings.CaseOption[kZip], kCaseNotApplicable);  // never a case
    QCOMPARE(settings.AfterKeys[kRecipient], QStringLiteral("{TAB}"));

    settings.LineSqueeze = true;
    const QString copy = env.programDir() + "Copy.cfg";
    QVERIFY(WriteCfgFile(copy, settings));
    QCOMPARE(settings.FieldOrder[kState], QStringLiteral("0"));  // below 1 becomes "0"
    QCOMPARE(GetIni(copy, "State", "Field Order"), QStringLiteral("0"));
    QCOMPARE(GetIni(copy, "Primary", "Field Order"), QStringLiteral("0"));
    QCOMPARE(GetIni(copy, "ZipCode", "Upper Case"), QStringLiteral("N/A"));
    QCOMPARE(GetIni(copy, "General Settings", "Line Squeeze"), QStringLiteral("Yes"));
    InsertSettings again;
    ReadCfgFile(copy, again);
    QCOMPARE(again.FieldOrder, settings.FieldOrder);
    QCOMPARE(again.BeforeKeys, settings.BeforeKeys);
    QCOMPARE(again.AfterKeys, settings.AfterKeys);
    QCOMPARE(again.CaseOption, settings.CaseOption);
    QCOMPARE(again.Description, settings.Description);
    QVERIFY(again.LineSqueeze);
  }
};

CORVELLAN_TEST_CLASS(InsertScriptTest);

#include "insert_script_test.moc"
