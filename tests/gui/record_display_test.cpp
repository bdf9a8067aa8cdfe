// Picking a result line: the address panel, the "Zip + 4" and "City State"
// tabs, records fetched again by their number, and lookup failures.
#include <QTest>

#include <memory>

#include "core/app_globals.h"
#include "core/desktop.h"
#include "core/zip_main.h"
#include "qtest_registry.h"
#include "search_session.h"

using namespace corvellan;
using corvellan::test::SearchSession;

class RecordDisplayTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<SearchSession> s_;

  void expectBoxes(const QList<QPair<const char*, const char*>>& boxes) {
    for (const auto& [name, text] : boxes) {
      QLineEdit* box = s_->edit(name);
      QVERIFY2(box != nullptr, name);
      QVERIFY2(box->text() == QString::fromLatin1(text),
               qPrintable(QStringLiteral("%1: \"%2\" instead of \"%3\"").arg(name, box->text(), text)));
    }
  }

 private slots:
  void init() {
    s_ = std::make_unique<SearchSession>();
    QVERIFY(s_->ready());
    s_->type("SearchStreet", "main");
    s_->type("SearchCity", "springfield");
    s_->search();
    QCOMPARE(s_->list()->count(), 5);
  }
  void cleanup() { s_.reset(); }

  void clickingALineFillsThePanelAndBothRecordTabs() {
    s_->clickLine(1);  // 12345-1002, also covered by the range 1000-1099 of Oak Ave
    QCOMPARE(s_->window.PanelText(1), QStringLiteral("Zip+4 has 2 Record(s)"));
    expectBoxes({{"Recipient", "Acme Tool Co"}, {"Secondary", ""}, {"Primary", "150 Main St"}, {"Urbanization", ""},
                 {"City", "Springfield"}, {"State", "IL"}, {"Zip", "12345"}, {"Plus4", "1002"}, {"SecLow", ""},
                 {"SecHigh", ""}, {"SecOE", ""}, {"PriLow", "150"}, {"PriHigh", "150"}, {"PriOE", "B"},
                 {"ZipLow", "1002"}, {"ZipHigh", "1002"}, {"RecType", "F"}, {"RecDescr", "Firm"}, {"OrgZip", "12345"}});
    expectBoxes({{"CopyRight", "D"},          {"Zip4Zip", "12345"},        {"UpdateKeyNo", "A000000002"},
                 {"ActionCode", "A"},         {"RecTypeCode", "F"},        {"RecTypeDesc", "Firm"},
                 {"CarrierRteID", "C001"},    {"StrPreDirAbbrev", ""},     {"StreetName", "Main"},
                 {"StreetSuffAbbrev", "St"},  {"StrPostDirAbbrev", ""},    {"AddrPrimarylowNum", "150"},
                 {"AddrPrimaryHighNum", "150"}, {"PrimaryOddEvenCode", "B"}, {"BiuldingOrFirmName", "Acme Tool Co"},
                 {"AddrSecAbbrev", ""},       {"AddrSecondaryLowNum", ""}, {"AddrSecondaryHighNum", ""},
                 {"SecOECode", ""},           {"CorvdbOnLowNum", "1002"},  {"CorvdbOnHighNum", "1002"},
                 {"BaseALtCode", "B"},        {"LACSStatusIDInd", "L"},    {"GOVBuildInd", "N"},
                 {"FinanceNum", "247405"},    {"StateAbbrev", "IL"},       {"CountyNumber", "167"},
                 {"CongressDistNum", "13"},   {"MStateKey", ""},           {"UrbStateKey", ""},
                 {"PrefStateKey", "C00001"}});
    expectBoxes({{"csCopyrightDetailCode", "D"},     {"csZipCode", "12345"},
                 {"csCityStateKey", "C00001"},       {"csZipClassificationCode", "P"},
                 {"csCityStateName", "Springfield"}, {"csCityStateNameAbbrev", "SPRING"},
                 {"csCityStateNameFacilityCode", "P"}, {"csCityStateMailingNameInd", "Y"},
                 {"csPrefdLastLineCityStateKey", "C00001"}, {"csPrefdLastLineCityStateName", "Springfield"},
                 {"csCityDelvInd", "Y"},             {"csCarrRteRateSortationInd", "A"},
                 {"csUniqueZipNameInd", "N"},        {"csFinanceNo", "247405"},
                 {"csStateAbbrev", "IL"},            {"csCountyNo", "167"},
                 {"csCountyName", "Sangamon"}});
    QVERIFY(MessageBox::shown().isEmpty());

    // The keyboard moves through the lines as well.
    s_->list()->setFocus();
    QTest::keyClick(s_->list(), Qt::Key_Down);
    QCOMPARE(s_->text("Primary"), QStringLiteral("Main St"));
    QCOMPARE(s_->text("ZipLow"), QStringLiteral("0001"));
  }

  void aRangeTakesTheTypedHouseNumber() {
    s_->clickLine(2);  // 12345 0001 - 0099, houses 101-199
    expectBoxes({{"Primary", "Main St"}, {"Plus4", ""}, {"ZipLow", "0001"}, {"ZipHigh", "0099"}, {"PriLow", "101"},
                 {"PriHigh", "199"}, {"PriOE", "O"}, {"RecDescr", "Street"}});
    s_->type("SearchNumber", "0105");
    s_->clickLine(0);
    s_->clickLine(2);
    QCOMPARE(s_->text("Primary"), QStringLiteral("105 Main St"));
  }

  void theSecondRecordOfACodeIsFetchedByItsNumber() {
    s_->clickLine(4);  // 12345-1001, second record of the code
    QCOMPARE(s_->text("Recipient"), QStringLiteral("Baker Brothers"));
    QCOMPARE(s_->text("Primary"), QStringLiteral("120 Main St"));
    QCOMPARE(s_->window.PanelText(1), QStringLiteral("Zip+4 has 3 Record(s)"));
    QCOMPARE(App().CurrentRecord, 2);
    QCOMPARE(App().LastCount, 3);
    // Clicking the line that is already current shows it again.
    s_->edit("Recipient")->setText("edited");
    s_->clickLine(4);
    QCOMPARE(s_->text("Recipient"), QStringLiteral("Baker Brothers"));
  }

  void aCodeTheDatabaseDoesNotHoldIsReported() {
    s_->clickLine(1);
    std::int32_t n = 0;
    s_->window.FindAddress(QStringLiteral("999990000"), n);
    QCOMPARE(n, 1);
    QCOMPARE(MessageBox::shownTexts(), QStringList{"Zip Code not found"});
    QCOMPARE(MessageBox::shown().front().title, QStringLiteral("Error"));
    QCOMPARE(s_->window.PanelText(1), QStringLiteral("Zip Code not found"));
    QCOMPARE(s_->text("Recipient"), QStringLiteral("Acme Tool Co"));  // the panel keeps what it showed
  }
};

CORVELLAN_TEST_CLASS(RecordDisplayTest);

#include "record_display_test.moc"
