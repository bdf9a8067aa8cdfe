// Keystroke rules of the search fields, the state list and the quantity cycle.
#include <QTest>

#include "core/search_fields.h"
#include "qtest_registry.h"

using namespace corvellan;

class SearchKeysTest : public QObject {
  Q_OBJECT

 private slots:
  void upperCaseClass() {
    QCOMPARE(KeyFilter(kKeyClassUpper, 'a'), int('A'));
    QCOMPARE(KeyFilter(kKeyClassUpper, 'Z'), int('Z'));
    QCOMPARE(KeyFilter(kKeyClassUpper, '7'), int('7'));
    QCOMPARE(KeyFilter(kKeyClassUpper, 0xE9), 0xC9);  // é -> É
    // Characters whose upper case has no single-byte form stay as typed.
    QCOMPARE(KeyFilter(kKeyClassUpper, 0xFF), 0xFF);  // ÿ, not Ÿ (U+0178)
    QCOMPARE(KeyFilter(kKeyClassUpper, 0xB5), 0xB5);  // µ, not Μ (U+039C)
    QCOMPARE(KeyFilter(kKeyClassUpper, 0xDF), 0xDF);  // ß has no single upper-case letter
    QCOMPARE(KeyFilter(kKeyClassUpper, 0x3B1), 0x3B1);  // α
    QCOMPARE(KeyFilter(kKeyClassUpper, 0x131), int('I'));  // dotless ı becomes a plain I
    QCOMPARE(KeyFilter(kKeyClassUpper, kKeyBackspace), kKeyBackspace);
  }

  void zipClassKeepsDigitsAndSeparators() {
    for (const char c : QByteArray("0123456789-/. ")) {
      if (c != '\0') QCOMPARE(KeyFilter(kKeyClassZip, c), int(c));
    }
    QCOMPARE(KeyFilter(kKeyClassZip, kKeyBackspace), kKeyBackspace);
    for (const char c : QByteArray("aZ*+,_")) {
      if (c != '\0') QCOMPARE(KeyFilter(kKeyClassZip, c), 0);
    }
  }

  void digitClassKeepsDigitsOnly() {
    QCOMPARE(KeyFilter(kKeyClassDigits, '5'), int('5'));
    QCOMPARE(KeyFilter(kKeyClassDigits, kKeyBackspace), kKeyBackspace);
    QCOMPARE(KeyFilter(kKeyClassDigits, '-'), 0);
    QCOMPARE(KeyFilter(kKeyClassDigits, ' '), 0);
    QCOMPARE(KeyFilter(kKeyClassDigits, 'k'), 0);
  }

  void modifiersDecideWhetherAKeyTypes() {
    QCOMPARE(TypedKeyEffect(Qt::NoModifier), KeyEffect::Types);
    QCOMPARE(TypedKeyEffect(Qt::ShiftModifier), KeyEffect::Types);
    QCOMPARE(TypedKeyEffect(Qt::KeypadModifier), KeyEffect::Types);
    QCOMPARE(TypedKeyEffect(Qt::GroupSwitchModifier), KeyEffect::Types);  // level-three shift
    QCOMPARE(TypedKeyEffect(Qt::ControlModifier | Qt::KeypadModifier), KeyEffect::Types);
    QCOMPARE(TypedKeyEffect(Qt::ControlModifier), KeyEffect::Command);
    QCOMPARE(TypedKeyEffect(Qt::ControlModifier | Qt::ShiftModifier), KeyEffect::Command);
    QCOMPARE(TypedKeyEffect(Qt::AltModifier), KeyEffect::Nothing);
    QCOMPARE(TypedKeyEffect(Qt::AltModifier | Qt::ShiftModifier), KeyEffect::Nothing);
    QCOMPARE(TypedKeyEffect(Qt::AltModifier | Qt::ControlModifier), KeyEffect::Nothing);
    QCOMPARE(TypedKeyEffect(Qt::MetaModifier), KeyEffect::Nothing);
    QCOMPARE(TypedKeyEffect(Qt::AltModifier | Qt::KeypadModifier), KeyEffect::Nothing);
  }

  void otherClassesKeepTheKey() {
    QCOMPARE(KeyFilter(0, 'a'), int('a'));
    QCOMPARE(KeyFilter(5, '*'), int('*'));
  }

  void hyphenOnlyAfterFiveCharactersWithTheCaretAtTheEnd() {
    QVERIFY(ZipWantsHyphen("12345", 5, '6'));
    QVERIFY(!ZipWantsHyphen("12345", 3, '6'));   // caret in the middle
    QVERIFY(!ZipWantsHyphen("1234", 4, '5'));    // too short
    QVERIFY(!ZipWantsHyphen("12345-", 6, '6'));  // already there
    QVERIFY(!ZipWantsHyphen("12345", 5, '-'));   // only digits
  }

  void stateBoxStopsAfterThreeCharactersButBackspaceWorks() {
    QVERIFY(StateBoxTakesKey("", 'I'));
    QVERIFY(StateBoxTakesKey("IL", 'X'));  // a third character is still taken
    QVERIFY(!StateBoxTakesKey("ILX", 'Y'));
    QVERIFY(StateBoxTakesKey("ILX", kKeyBackspace));
  }

  void stateCodes() {
    const QStringList& codes = StateCodes();
    QCOMPARE(codes.size(), 62);
    QStringList sorted = codes;
    sorted.sort();
    QCOMPARE(codes, sorted);
    QCOMPARE(codes.front(), QStringLiteral("AA"));
    QCOMPARE(codes.back(), QStringLiteral("WY"));
    QVERIFY(codes.contains("PR") && codes.contains("DC") && codes.contains("AP"));
  }

  void quantityCycle() {
    QStringList seen{"10"};
    for (int i = 0; i < 6; ++i) seen.append(NextSearchQty(seen.back()));
    QCOMPARE(seen, QStringList({"10", "100", "1000", "2500", "5000", "10000", "10"}));
    QCOMPARE(NextSearchQty("250"), QStringLiteral("250"));
    QCOMPARE(NextSearchQty(""), QString());
  }
};

CORVELLAN_TEST_CLASS(SearchKeysTest);

#include "search_keys_test.moc"
