// Result lines, the result filters and the search request, on records made
// in memory (no engine).
#include <QTest>

#include "core/address_record.h"
#include "core/query_prep.h"
#include "core/result_lines.h"
#include "core/search_driver.h"
#include "qtest_registry.h"

using namespace corvellan;

namespace {

struct Fields {
  QString type = QStringLiteral("S");
  QString firm;
  QString secAbbrev;
  QString secLow;
  QString secHigh;
  QString secOddEven;
  QString street = QStringLiteral("Main St");
  QString low = QStringLiteral("100");
  QString high = QStringLiteral("198");
  QString oddEven = QStringLiteral("E");
  QString city = QStringLiteral("Springfield");
  QString state = QStringLiteral("IL");
  QString zip4 = QStringLiteral("123456789");
  QString addonLow = QStringLiteral("6789");
  QString addonHigh = QStringLiteral("6789");
};

AddressRecord Record(const Fields& f) {
  AddressRecord r;
  r.Set(addr::kRecordType, f.type);
  r.Set(addr::kFirm, f.firm);
  r.Set(addr::kSecAbbrev, f.secAbbrev);
  r.Set(addr::kSecLow, f.secLow);
  r.Set(addr::kSecHigh, f.secHigh);
  r.Set(addr::kSecOddEven, f.secOddEven);
  r.Set(addr::kStreet, f.street);
  r.Set(addr::kPriLow, f.low);
  r.Set(addr::kPriHigh, f.high);
  r.Set(addr::kPriOddEven, f.oddEven);
  r.Set(addr::kCity, f.city);
  r.Set(addr::kState, f.state);
  r.Set(addr::kZipPlus4, f.zip4);
  r.Set(addr::kAddonLow, f.addonLow);
  r.Set(addr::kAddonHigh, f.addonHigh);
  return r;
}

// A unit record: APT low-high with an odd/even code.
AddressRecord Unit(const QString& low, const QString& high, const QString& oddEven) {
  Fields f;
  f.secAbbrev = QStringLiteral("APT");
  f.secLow = low;
  f.secHigh = high;
  f.secOddEven = oddEven;
  return Record(f);
}

}  // namespace

class ResultLinesTest : public QObject {
  Q_OBJECT

 private slots:
  void lineFormats() {
    Fields street;
    street.firm = QStringLiteral("ACME TOOL CO");
    QCOMPARE(ResultLine(Record(street)), QStringLiteral("12345-6789 Acme Tool Co, 100-198 Main St, Springfield, IL"));
    street.firm.clear();
    QCOMPARE(ResultLine(Record(street)), QStringLiteral("12345-6789 100-198 Main St, Springfield, IL"));
    street.low = street.high = QStringLiteral("150");
    QCOMPARE(ResultLine(Record(street)), QStringLiteral("12345-6789 150 Main St, Springfield, IL"));

    Fields box;
    box.type = QStringLiteral("P");
    box.street = QStringLiteral("PO BOX");
    box.low = QStringLiteral("1");
    box.high = QStringLiteral("99");
    QCOMPARE(ResultLine(Record(box)), QStringLiteral("12345-6789 PO Box 1-99, Springfield, IL"));

    // Ranges of add-ons (the engine leaves no plus-4 in the ZIP+4 field).
    box.zip4 = QStringLiteral("12345");
    box.addonLow = QStringLiteral("0100");
    box.addonHigh = QStringLiteral("0199");
    QCOMPARE(ResultLine(Record(box)), QStringLiteral("12345 0100 - 0199  PO Box 1-99, Springfield, IL"));
    Fields range;
    range.zip4 = QStringLiteral("12345");
    range.addonLow = QStringLiteral("0001");
    range.addonHigh = QStringLiteral("0099");
    const QString line = ResultLine(Record(range));
    QCOMPARE(line, QStringLiteral("12345 0001 - 0099  Main St, Springfield, IL"));
    QCOMPARE(LineKey(line), QStringLiteral("123450001"));
    QCOMPARE(LineKey(QStringLiteral("12345-6789 Acme")), QStringLiteral("123456789"));

    // The examination puts its own add-on into a range record's line.
    QCOMPARE(CodeLine(Record(range), QStringLiteral("0042")), QStringLiteral("12345-0042 100-198 Main St, Springfield, IL"));
  }

  void recipientAndNumberFilters() {
    Fields f;
    f.firm = QStringLiteral("Acme Tool Co");
    const AddressRecord acme = Record(f);
    QVERIFY(TestIfValid(acme, {}));
    QVERIFY(TestIfValid(acme, {QStringLiteral("TOOL"), {}, {}}));
    QVERIFY(TestIfValid(acme, {QStringLiteral("tool"), {}, {}}));  // pasted in lower case
    QVERIFY(!TestIfValid(acme, {QStringLiteral("BAKER"), {}, {}}));
    QVERIFY(TestIfValid(acme, {{}, {}, QStringLiteral("124")}));
    QVERIFY(!TestIfValid(acme, {{}, {}, QStringLiteral("125")}));  // odd against E
    QVERIFY(!TestIfValid(acme, {{}, {}, QStringLiteral("200")}));  // above the range
    QVERIFY(TestIfValid(acme, {{}, {}, QStringLiteral("100")}));   // equals the low number
  }

  // A recipient that went through a program keeping other punctuation (the
  // link keeps letters, digits, blanks and "/-+()") still finds its firm.
  void recipientsCompareWithoutPunctuation_data() {
    QTest::addColumn<QString>("firm");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<bool>("passes");
    QTest::newRow("apostrophe and period dropped") << "ST. JOHN'S-ON-THE-LAKE" << "ST JOHNS-ON-THE-LAKE" << true;
    QTest::newRow("the firm's own spelling") << "ST. JOHN'S-ON-THE-LAKE" << "ST. JOHN'S-ON-THE-LAKE" << true;
    QTest::newRow("hyphens for blanks") << "ST JOHNS ON THE LAKE" << "ST. JOHN'S-ON-THE-LAKE" << true;
    QTest::newRow("ampersand") << "SMITH & SONS, INC." << "SMITH SONS INC" << true;
    QTest::newRow("part of the name") << "O'BRIEN-SMITH LLC" << "OBRIEN" << true;
    QTest::newRow("another name") << "ST. JOHN'S-ON-THE-LAKE" << "ST JAMES" << false;
    QTest::newRow("only punctuation filters nothing") << "ACME" << "'.-" << true;
  }
  void recipientsCompareWithoutPunctuation() {
    QFETCH(QString, firm);
    QFETCH(QString, filter);
    QFETCH(bool, passes);
    Fields f;
    f.firm = firm;
    QCOMPARE(TestIfValid(Record(f), {filter, {}, {}}), passes);
  }

  void unitFilter_data() {
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("low");
    QTest::addColumn<QString>("high");
    QTest::addColumn<QString>("oddEven");
    QTest::addColumn<bool>("passes");
    QTest::newRow("odd number, even units") << "5" << "1" << "9" << "E" << false;
    QTest::newRow("odd number, odd units") << "5" << "1" << "9" << "O" << true;
    QTest::newRow("both parities") << "6" << "1" << "9" << "B" << true;
    QTest::newRow("above the range") << "12" << "1" << "9" << "B" << false;
    QTest::newRow("leading number rules") << "5A" << "1" << "9" << "E" << false;
    QTest::newRow("equal to the low value") << "5A" << "5A" << "9" << "E" << true;
    QTest::newRow("equal to the high value") << "B12" << "A1" << "B12" << "" << true;
    QTest::newRow("letters inside the text range") << "C" << "A" << "F" << "" << true;
    QTest::newRow("letters outside the text range") << "G" << "A" << "F" << "" << false;
    QTest::newRow("designator typed with it") << "APT 5" << "1" << "9" << "O" << true;
    QTest::newRow("suite and flat too") << "FLAT 4" << "1" << "9" << "O" << false;
    QTest::newRow("pasted in lower case") << "apt c" << "A" << "F" << "" << true;
    QTest::newRow("a unit where the record has none") << "5" << "" << "" << "" << false;
    QTest::newRow("no filter") << "" << "" << "" << "" << true;
  }
  void unitFilter() {
    QFETCH(QString, unit);
    QFETCH(QString, low);
    QFETCH(QString, high);
    QFETCH(QString, oddEven);
    QFETCH(bool, passes);
    QCOMPARE(TestIfValid(Unit(low, high, oddEven), {{}, unit, {}}), passes);
  }

  void leadingNumbers() {
    QCOMPARE(LeadingNumber(QStringLiteral("12B")), 12.0);
    QCOMPARE(LeadingNumber(QStringLiteral("A12")), 0.0);
    QCOMPARE(LeadingNumber(QStringLiteral("  5.5")), 5.5);
    QCOMPARE(LeadingNumber(QStringLiteral("-3")), -3.0);
    QCOMPARE(LeadingNumber(QStringLiteral("1E3")), 1.0);
    QCOMPARE(LeadingNumber(QString()), 0.0);
    // A huge number neither overflows nor passes a range by wrapping around.
    QVERIFY(!TestIfValid(Unit(QStringLiteral("1"), QStringLiteral("9"), {}), {{}, QStringLiteral("99999999999999999999"), {}}));
    QCOMPARE(UnitFilterValue(QStringLiteral(" ste 12 ")), QStringLiteral("12"));
    QCOMPARE(UnitFilterValue(QStringLiteral("APT")), QStringLiteral("APT"));
  }

  void statisticsRowsAndCounts() {
    const QStringList codes = {"G", "H", "F", "S", "P", "R", "M"};
    for (int i = 0; i < codes.size(); ++i) QCOMPARE(StatsRow(codes[i]), i);
    QCOMPARE(StatsRow(QStringLiteral("X")), -1);
    QCOMPARE(StatsRow(QString()), -1);
    QCOMPARE(SignedText(57), QStringLiteral(" 57"));
    QCOMPARE(SignedText(-3), QStringLiteral("-3"));
  }
};

class SearchRequestTest : public QObject {
  Q_OBJECT

 private slots:
  void requestZipField() {
    QCOMPARE(RequestZip(QString()), QStringLiteral("*"));
    QCOMPARE(RequestZip(QStringLiteral("1234")), QStringLiteral("1234*"));
    QCOMPARE(RequestZip(QStringLiteral("12345")), QStringLiteral("12345"));
    QCOMPARE(RequestZip(QStringLiteral("12345-6789")), QStringLiteral("12345"));
    QCOMPARE(RequestZip(QStringLiteral(" 12")), QStringLiteral("12*"));
  }

  void everyFieldOfTheRequest() {
    SearchRequest request;
    request.Set(req::kUnit, QStringLiteral("LEFT OVER"));
    FillSearchRequest(request, {QStringLiteral("6270"), QStringLiteral("ACME"), QStringLiteral(" 0012 "),
                                QStringLiteral("N MAIN ST"), QStringLiteral("SPRINGFIELD"), QStringLiteral("IL")});
    QCOMPARE(QByteArray(request.data(), SearchRequest::kSize),
             QByteArray("6270*") + QByteArray("ACME").leftJustified(40) + QByteArray(20, ' ') +
                 QByteArray("12").leftJustified(10) + QByteArray("N MAIN ST").leftJustified(60) +
                 QByteArray("SPRINGFIELD").leftJustified(28) + QByteArray("IL"));
    // Too long is cut, characters without a single-byte form become "?".
    FillSearchRequest(request, {{}, {}, {}, QString(70, QLatin1Char('X')), QStringLiteral("K\u00d6LN \u03a9"), {}});
    QCOMPARE(TrimBlanks(request.Get(req::kStreet)), QString(60, QLatin1Char('X')));
    QCOMPARE(TrimBlanks(request.Get(req::kCity)), QStringLiteral("K\u00d6LN ?"));
    QCOMPARE(request.Get(req::kZip), QStringLiteral("*    "));
  }

  void fieldsReadZerosAsBlanks() {
    AddressRecord record;
    std::fill(record.data(), record.data() + AddressRecord::kSize, '\0');
    record.data()[1] = 'A';
    QCOMPARE(record.Get(addr::kFirm), QStringLiteral("A").leftJustified(40));
    QCOMPARE(DecodeField(record.data(), AddressRecord::kSize, {248, 10}), QStringLiteral("  "));
  }

  void rewritesByAttempt() {
    QCOMPARE(RewriteStreet(2, QStringLiteral("AVE J")), QStringLiteral("AVENUE J"));
    QCOMPARE(RewriteStreet(3, QStringLiteral("NORTH MAIN")), QStringLiteral("N MAIN"));
    QCOMPARE(RewriteStreet(4, QStringLiteral("N MAIN")), QStringLiteral("MAIN"));
    QCOMPARE(RewriteStreet(5, QStringLiteral("NORTH EAST RD")), QStringLiteral("NE RD"));
    QCOMPARE(RewriteStreet(6, QStringLiteral("MAIN ST N")), QStringLiteral("MAIN ST"));
    QCOMPARE(RewriteStreet(7, QStringLiteral("MAIN ST N")), QString());
  }

  void progressTextGrowsAndWraps() {
    QString text = QStringLiteral("Searching");
    for (int i = 0; i < 21; ++i) text = NextProgressText(text);
    QCOMPARE(text, QStringLiteral("Searching") + QString(21, QLatin1Char('.')));
    QCOMPARE(text.size(), 30);
    QCOMPARE(NextProgressText(text), QStringLiteral("Searching"));
  }

  void maximumLines() {
    QString box = QStringLiteral("untouched");
    QCOMPARE(MaxLines(QStringLiteral("250"), &box), 250);
    QCOMPARE(box, QStringLiteral("untouched"));
    QCOMPARE(MaxLines(QString(), &box), 100);
    QCOMPARE(box, QStringLiteral("100"));
    box = QStringLiteral("untouched");
    QCOMPARE(MaxLines(QStringLiteral("ten"), &box), 100);
    QCOMPARE(box, QStringLiteral("100"));
    QCOMPARE(MaxLines(QStringLiteral("99999999999"), &box), 2147483647);
  }
};

CORVELLAN_TEST_CLASS(ResultLinesTest);
CORVELLAN_TEST_CLASS(SearchRequestTest);

#include "result_lines_test.moc"
