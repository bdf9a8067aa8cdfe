// Query preparation: house numbers, the street rewrites, display case and
// the line builder.
#include <QTest>

#include "core/query_prep.h"
#include "qtest_registry.h"

using namespace corvellan;

class QueryPrepTest : public QObject {
  Q_OBJECT

 private slots:
  void stripLeadingZeros_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("number");
    QTest::newRow("zeros in front") << "0012" << "12";
    QTest::newRow("only zeros") << "000" << "";
    QTest::newRow("inner zero stays") << "102" << "102";
    QTest::newRow("blank padded") << "  007 " << "7";
    QTest::newRow("letters kept") << "0A12" << "A12";
  }
  void stripLeadingZeros() {
    QFETCH(QString, typed);
    QFETCH(QString, number);
    QCOMPARE(StripLeadingZeros(typed), number);
  }

  void firstWordRewrites_data() {
    QTest::addColumn<int>("rule");  // 2 expand, 3 abbreviate
    QTest::addColumn<QString>("street");
    QTest::addColumn<QString>("rewritten");
    QTest::newRow("AVE J") << 2 << "AVE J" << "AVENUE J";
    QTest::newRow("RD, rest trimmed") << 2 << "  RD   12  " << "ROAD 12";
    QTest::newRow("TER and TR") << 2 << "TR OAKS" << "TERRACE OAKS";
    QTest::newRow("BLVD") << 2 << "BLVD OF STARS" << "BOULEVARD OF STARS";
    QTest::newRow("only the first word") << 2 << "MAIN AVE" << "";
    QTest::newRow("single word") << 2 << "AVE" << "";
    QTest::newRow("case matters") << 2 << "Ave J" << "";
    QTest::newRow("NORTH") << 3 << "NORTH MAIN ST" << "N MAIN ST";
    QTest::newRow("SOUTH") << 3 << "SOUTH ELM" << "S ELM";
    QTest::newRow("FIRST") << 3 << "FIRST AVE" << "1ST AVE";
    QTest::newRow("EIGTH as listed") << 3 << "EIGTH ST" << "8TH ST";
    QTest::newRow("EIGHTH spelled right") << 3 << "EIGHTH ST" << "8TH ST";
    QTest::newRow("NINETH as listed") << 3 << "NINETH AVE" << "9TH AVE";
    QTest::newRow("NINTH spelled right") << 3 << "NINTH AVE" << "9TH AVE";
    QTest::newRow("NINETH as listed") << 3 << "NINETH ST" << "9TH ST";
    QTest::newRow("whole word only") << 3 << "NORTHERN LIGHTS" << "";
  }
  void firstWordRewrites() {
    QFETCH(int, rule);
    QFETCH(QString, street);
    QFETCH(QString, rewritten);
    QCOMPARE(rule == 2 ? ExpandFirstWord(street) : AbbreviateFirstWord(street), rewritten);
  }

  void directionRewrites_data() {
    QTest::addColumn<int>("rule");  // 4 drop leading, 5 abbreviate, 6 drop trailing
    QTest::addColumn<QString>("street");
    QTest::addColumn<QString>("rewritten");
    QTest::newRow("N MAIN ST") << 4 << "N MAIN ST" << "MAIN ST";
    QTest::newRow("W, rest trimmed") << 4 << " W   OAK " << "OAK";
    QTest::newRow("NO MAIN") << 4 << "NO MAIN" << "";
    QTest::newRow("NE not a single letter") << 4 << "NE MAIN" << "";
    QTest::newRow("lone N") << 4 << "N" << "";
    QTest::newRow("compound first") << 5 << "NORTH EAST RD" << "NE RD";
    QTest::newRow("SOUTH WEST") << 5 << "SOUTH WEST BLVD" << "SW BLVD";
    QTest::newRow("single words") << 5 << "WEST MAIN NORTH" << "W MAIN N";
    QTest::newRow("inside a word") << 5 << "EASTERN AVE" << "";
    QTest::newRow("WESTMINSTER") << 5 << "WESTMINSTER RD" << "";
    QTest::newRow("words beside a longer word") << 5 << "NORTH EASTERN AVE" << "N EASTERN AVE";
    QTest::newRow("word and its longer form") << 5 << "SOUTHERN SOUTH ST" << "SOUTHERN S ST";
    QTest::newRow("word at the end") << 5 << "MAIN ST NORTH WEST" << "MAIN ST NW";
    QTest::newRow("after a hyphen") << 5 << "KING-EAST RD" << "KING-E RD";
    QTest::newRow("nothing to do") << 5 << "MAIN" << "";
    QTest::newRow("empty") << 5 << "   " << "";
    QTest::newRow("MAIN ST N") << 6 << "MAIN ST N" << "MAIN ST";
    QTest::newRow("MAIN ST S, blanks") << 6 << " MAIN ST S " << "MAIN ST";
    QTest::newRow("MAIN STN") << 6 << "MAIN STN" << "";
    QTest::newRow("one word") << 6 << "N" << "";
    QTest::newRow("two letters") << 6 << "ST NE" << "";
  }
  void directionRewrites() {
    QFETCH(int, rule);
    QFETCH(QString, street);
    QFETCH(QString, rewritten);
    const QString result = rule == 4   ? DropLeadingDirection(street)
                           : rule == 5 ? AbbreviateDirections(street)
                                       : DropTrailingDirection(street);
    QCOMPARE(result, rewritten);
  }

  void replaceTextNeverRescansInsertedText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("find");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<QString>("result");
    QTest::newRow("grows, would loop if rescanned") << "AB" << "A" << "AA" << "AAB";
    QTest::newRow("every occurrence") << "A-A-A" << "A" << "AA" << "AA-AA-AA";
    QTest::newRow("replacement contains find") << "XX" << "X" << "XYX" << "XYXXYX";
    QTest::newRow("shrinks") << "NORTHNORTH" << "NORTH" << "N" << "NN";
    QTest::newRow("to nothing") << "A-B-A" << "A" << "" << "-B-";
    QTest::newRow("at the end") << "MAIN NORTH" << "NORTH" << "N" << "MAIN N";
    QTest::newRow("empty find") << "ABC" << "" << "X" << "ABC";
    QTest::newRow("case-sensitive") << "north" << "NORTH" << "N" << "north";
  }
  void replaceTextNeverRescansInsertedText() {
    QFETCH(QString, text);
    QFETCH(QString, find);
    QFETCH(QString, replacement);
    QFETCH(QString, result);
    QString modified = text;
    QCOMPARE(ReplaceText(modified, find, replacement), result);
    QCOMPARE(modified, result);  // in place as well
  }

  void properCase_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("display");
    QTest::newRow("street") << "MAIN ST" << "Main St";
    QTest::newRow("PO box") << "PO BOX 12" << "PO Box 12";
    QTest::newRow("hyphen keeps case, apostrophe not")
        << "JOHN O'BRIEN-SMITH" << "John O'brien-Smith";
    QTest::newRow("slash and parenthesis") << "A/B (CD)" << "A/B (Cd)";
    QTest::newRow("small words") << "BANK OF THE WEST AND SONS" << "Bank of the West and Sons";
    QTest::newRow("on and under") << "HOUSE ON THE HILL UNDER ELM" << "House on the Hill under Elm";
    QTest::newRow("leading direction") << "NE MAIN ST" << "NE Main St";
    QTest::newRow("rural route") << "RR 2 BOX 5" << "RR 2 Box 5";
    QTest::newRow("inner rural route") << "HC RR 3" << "Hc RR 3";
    QTest::newRow("trailing direction") << "MAIN ST NW" << "Main St NW";
    QTest::newRow("two letters only") << "NW" << "NW";
    QTest::newRow("trimmed") << "  ELM  " << "Elm";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("single letter") << "N" << "N";
  }
  void properCase() {
    QFETCH(QString, text);
    QFETCH(QString, display);
    QCOMPARE(ProperCase(text), display);
  }

  void appendField_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("piece");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("joined");
    QTest::newRow("no separator") << "12345-6789" << "Acme Co" << "" << "12345-6789 Acme Co";
    QTest::newRow("comma") << "12345-6789 Acme Co" << "Springfield" << "," << "12345-6789 Acme Co, Springfield";
    QTest::newRow("no leading comma") << "" << "Springfield" << "," << "Springfield";
    QTest::newRow("empty piece leaves no comma") << "100 Main St" << "  " << "," << "100 Main St";
    QTest::newRow("trailing separator removed") << "Main St," << "" << "," << "Main St";
    QTest::newRow("pieces trimmed") << "  A " << " B  " << "" << "A B";
    QTest::newRow("all empty") << "" << "" << "" << "";
  }
  void appendField() {
    QFETCH(QString, line);
    QFETCH(QString, piece);
    QFETCH(QString, separator);
    QFETCH(QString, joined);
    QCOMPARE(AppendField(line, piece, separator), joined);
  }

  void resultLineExamples() {
    // The single-code result line is built piece by piece.
    QString line = QStringLiteral("12345-6789");
    line = AppendField(line, ProperCase(QStringLiteral("ACME TOOL CO")), {});
    line = AppendField(line, QStringLiteral("100-198"), QStringLiteral(","));
    line = AppendField(line, ProperCase(QStringLiteral("MAIN ST")), {});
    line = AppendField(line, ProperCase(QStringLiteral("SPRINGFIELD")), QStringLiteral(","));
    line = AppendField(line, QStringLiteral("IL"), QStringLiteral(","));
    QCOMPARE(line, QStringLiteral("12345-6789 Acme Tool Co, 100-198 Main St, Springfield, IL"));
  }
};

CORVELLAN_TEST_CLASS(QueryPrepTest);

#include "query_prep_test.moc"
