#include "str_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "unit_tables.h"

namespace corvdb {
namespace {

std::string TitleCase(std::string text, std::size_t length = std::string::npos) {
  strUtil::titleCase(text.data(), std::min(length, text.size()));
  return text;
}

TEST(TitleCase, WordsPunctuationAndLowerCaseWords) {
  EXPECT_EQ(TitleCase("ST. JOHN'S-ON-THE-LAKE"), "St. John's-on-The-Lake");
  EXPECT_EQ(TitleCase("BANK OF THE WEST"), "Bank of the West");
  EXPECT_EQ(TitleCase("THE BANK AND TRUST"), "The Bank and Trust");
  EXPECT_EQ(TitleCase("MCDONALDS"), "McDonalds");
  EXPECT_EQ(TitleCase("1ST"), "1st");
  EXPECT_EQ(TitleCase("O'NEIL"), "O'neil");
  EXPECT_EQ(TitleCase("PO BOX(A)/B"), "Po Box(A)/B");
  // OF only stays lower case when a blank follows it.
  EXPECT_EQ(TitleCase("LAND OFFICE"), "Land Office");
}

TEST(TitleCase, StaysWithinItsLength) {
  // The look-ahead for " OF " does not see past the field.
  EXPECT_EQ(TitleCase("BANK OF XY", 7), "Bank Of XY");
  EXPECT_EQ(TitleCase("ABC DEF", 2), "AbC DEF");
  std::string with_nul("AB\0CD", 5);
  strUtil::titleCase(with_nul.data(), with_nul.size());
  EXPECT_EQ(with_nul, std::string("Ab\0CD", 5));
}

TEST(Split, FirstAndLastWord) {
  auto first = strUtil::splitFirst("123  N MAIN");
  EXPECT_EQ(first.word, "123");
  EXPECT_EQ(first.rest, "N MAIN");
  first = strUtil::splitFirst("MAIN");
  EXPECT_EQ(first.word, "MAIN");
  EXPECT_EQ(first.rest, "");
  first = strUtil::splitFirst("A\tB C");  // only ' ' separates
  EXPECT_EQ(first.word, "A\tB");

  auto last = strUtil::splitLast("MAIN  ST   APT");
  EXPECT_EQ(last.word, "APT");
  EXPECT_EQ(last.rest, "MAIN  ST");
  last = strUtil::splitLast("MAIN");
  EXPECT_EQ(last.word, "MAIN");
  EXPECT_EQ(last.rest, "");
  last = strUtil::splitLast("MAIN ");
  EXPECT_EQ(last.word, "");
  EXPECT_EQ(last.rest, "MAIN");
  last = strUtil::splitLast(std::string_view("A B\0C D", 7));  // a byte 0 ends the text
  EXPECT_EQ(last.word, "B");
  EXPECT_EQ(last.rest, "A");
}

TEST(SplitNumber, PrefixDigitsPostfixAndValue) {
  struct Case {
    const char* field;
    const char* prefix;
    const char* digits;
    const char* postfix;
    uint32_t value;
  };
  const Case cases[] = {
      {"A012", "A0", "12", "", 12},  {"00123", "", "123", "", 123}, {"12A", "", "12", "A", 12},
      {"N12W", "N", "12", "W", 12}, {"", "", "", "", 0},            {"0", "", "", "", 0},
      {" 0042 ", "", "42", "", 42}, {"A00", "A00", "", "", 0},     {"0B", "B", "", "", 0},
      {"12 1/2", "", "12", " 1/2", 12},
      {"4294967297", "", "4294967297", "", strUtil::kMaxNumberValue},
      {"99999999999999999999999", "", "99999999999999999999999", "", strUtil::kMaxNumberValue},
  };
  for (const Case& c : cases) {
    const NumberParts parts = strUtil::splitNumber(c.field);
    EXPECT_EQ(parts.prefix, c.prefix) << c.field;
    EXPECT_EQ(parts.digits, c.digits) << c.field;
    EXPECT_EQ(parts.postfix, c.postfix) << c.field;
    EXPECT_EQ(parts.value, c.value) << c.field;
  }
  EXPECT_EQ(strUtil::splitNumber(std::string_view("12\0" "34", 5)).digits, "12");
}

TEST(Parity, FromTheLastCharacter) {
  EXPECT_EQ(strUtil::parity("123"), 'O');
  EXPECT_EQ(strUtil::parity("124"), 'E');
  EXPECT_EQ(strUtil::parity("120"), 'E');
  EXPECT_EQ(strUtil::parity("12A"), ' ');
  EXPECT_EQ(strUtil::parity(""), ' ');
}

TEST(ParseUnit, ShortTableWordsOthersCutToFive) {
  auto unit = strUtil::parseUnit("APT 5");
  EXPECT_EQ(unit.designator, "APT");
  EXPECT_EQ(unit.number, "5");
  unit = strUtil::parseUnit("BASEMENT");
  EXPECT_EQ(unit.designator, "BSMT");
  EXPECT_EQ(unit.number, "");
  unit = strUtil::parseUnit("APARTMENT 5");  // not in the short table
  EXPECT_EQ(unit.designator, "APART");
  EXPECT_EQ(unit.number, "5");
  unit = strUtil::parseUnit("#5");
  EXPECT_EQ(unit.designator, "#5");
  EXPECT_EQ(unit.number, "");
  unit = strUtil::parseUnit("");
  EXPECT_EQ(unit.designator, "");
  EXPECT_EQ(unit.number, "");
  // Table separators in a typed word never match across entries.
  EXPECT_EQ(strUtil::parseUnit("SIDE?SIDE!UPPER").designator, "SIDE?");
}

class StreetLine : public ::testing::Test {
 protected:
  const SuffixTable suffixes{"!AVENUE$AVE!AVE$AVE!ST$ST!STREET$ST!RD$RD!"};
  StreetParts Parse(std::string_view line, std::string_view designator = "", std::string_view unit = "",
                    std::string_view primary = "") {
    return strUtil::parseStreetLine(line, designator, unit, primary, suffixes);
  }
};

TEST_F(StreetLine, FullLineWithHouseNumberDirectionSuffixAndUnit) {
  const StreetParts p = Parse("123 N MAIN ST APT 5");
  EXPECT_EQ(p.primaryNumber, "123");
  EXPECT_EQ(p.preDirection, "N");
  EXPECT_EQ(p.streetName, "MAIN");
  EXPECT_EQ(p.suffix, "ST");
  EXPECT_EQ(p.postDirection, "");
  EXPECT_EQ(p.designator, "APT");
  EXPECT_EQ(p.unitNumber, "5");

  const StreetParts q = Parse("500 ELM STREET SUITE 12B");
  EXPECT_EQ(q.primaryNumber, "500");
  EXPECT_EQ(q.streetName, "ELM");
  EXPECT_EQ(q.suffix, "ST");
  EXPECT_EQ(q.designator, "STE");
  EXPECT_EQ(q.unitNumber, "12B");
}

TEST_F(StreetLine, UnitAtTheEnd) {
  StreetParts p = Parse("MAIN ST REAR");
  EXPECT_EQ(p.streetName, "MAIN");
  EXPECT_EQ(p.suffix, "ST");
  EXPECT_EQ(p.designator, "REAR");
  EXPECT_EQ(p.unitNumber, "");
  p = Parse("MAIN ST BASEMENT");
  EXPECT_EQ(p.designator, "BSMT");
  EXPECT_EQ(p.streetName, "MAIN");
  // A unit in the request keeps the line's last words in the street.
  p = Parse("MAIN ST APT 5", "STE", "9");
  EXPECT_EQ(p.designator, "STE");
  EXPECT_EQ(p.unitNumber, "9");
  EXPECT_EQ(p.streetName, "MAIN ST APT 5");
  EXPECT_EQ(p.suffix, "");
  // A long-table word without a number is not a unit.
  p = Parse("ELM APT");
  EXPECT_EQ(p.designator, "");
  EXPECT_EQ(p.streetName, "ELM APT");
}

TEST_F(StreetLine, HouseNumbersAndFractions) {
  StreetParts p = Parse("12 1/2 ELM");
  EXPECT_EQ(p.primaryNumber, "12 1/2");
  EXPECT_EQ(p.streetName, "ELM");
  p = Parse("12 W ELM AVE");  // a direction after the house number
  EXPECT_EQ(p.primaryNumber, "12");
  EXPECT_EQ(p.preDirection, "W");
  EXPECT_EQ(p.streetName, "ELM");
  EXPECT_EQ(p.suffix, "AVE");
  p = Parse("123 MAIN", "", "", "77");  // the request's number wins
  EXPECT_EQ(p.primaryNumber, "77");
  EXPECT_EQ(p.streetName, "123 MAIN");
  p = Parse("12345678901 MAIN");  // longer than 10 characters: no house number
  EXPECT_EQ(p.primaryNumber, "");
  EXPECT_EQ(p.streetName, "12345678901 MAIN");
  p = Parse("ONE MAIN");  // no digit
  EXPECT_EQ(p.primaryNumber, "");
  p = Parse("1ST AVE");  // a numbered street alone keeps its name
  EXPECT_EQ(p.primaryNumber, "");
  EXPECT_EQ(p.streetName, "1ST");
  EXPECT_EQ(p.suffix, "AVE");
}

TEST_F(StreetLine, DirectionsAndSuffixAlone) {
  StreetParts p = Parse("N");
  EXPECT_EQ(p.postDirection, "N");
  EXPECT_EQ(p.streetName, "");
  p = Parse("123 N");  // no house number without a word after it
  EXPECT_EQ(p.postDirection, "N");
  EXPECT_EQ(p.streetName, "123");
  EXPECT_EQ(p.primaryNumber, "");
  p = Parse("AVE");
  EXPECT_EQ(p.suffix, "AVE");
  EXPECT_EQ(p.streetName, "");
  p = Parse("N MAIN");  // pre-direction only with a word after it
  EXPECT_EQ(p.preDirection, "N");
  EXPECT_EQ(p.streetName, "MAIN");
  p = Parse("MAIN NE");
  EXPECT_EQ(p.postDirection, "NE");
  EXPECT_EQ(p.streetName, "MAIN");
  p = Parse("N E");
  EXPECT_EQ(p.postDirection, "E");
  EXPECT_EQ(p.preDirection, "");
  EXPECT_EQ(p.streetName, "N");
  p = Parse("");
  EXPECT_EQ(p.streetName, "");
  EXPECT_EQ(p.designator, "");
}

TEST(WordTables, DirectionsDesignatorsAndSuffixes) {
  for (const char* d : {"N", "S", "E", "W", "NE", "NW", "SE", "SW", ""}) EXPECT_TRUE(IsDirection(d)) << d;
  for (const char* d : {"NS", "EN", "NORTH", "!", "N!S"}) EXPECT_FALSE(IsDirection(d)) << d;

  EXPECT_EQ(kLongUnits.abbreviationOf("APARTMENT"), "APT");
  EXPECT_FALSE(kShortUnits.abbreviationOf("APARTMENT"));
  EXPECT_TRUE(kLongUnits.isAbbreviation("PH"));
  EXPECT_FALSE(kLongUnits.isAbbreviation("P"));
  EXPECT_FALSE(kLongUnits.abbreviationOf("PENT"));

  const SuffixTable table("!AVENUE$AVE!AVE$AVE!ST$ST");  // last entry without "!"
  EXPECT_EQ(table.lookup("AVENUE"), "AVE");
  EXPECT_EQ(table.lookup("ST"), "ST");
  EXPECT_FALSE(table.lookup("AVE$AVE!ST"));
  EXPECT_FALSE(table.lookup("VENUE"));
  EXPECT_FALSE(SuffixTable().lookup("ST"));
}

TEST(WordTables, SuffixTableInTheMappedFileStopsAtItsEnd) {
  const std::string bytes("!ST$ST!RD$RD!\0!XX$YY!", 21);
  const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
  const SuffixTable ended = SuffixTable::FromMapped(p, p + bytes.size());
  EXPECT_EQ(ended.text(), "!ST$ST!RD$RD!");
  EXPECT_FALSE(ended.lookup("XX"));
  // No byte 0 before the limit: the table ends at the limit.
  const SuffixTable cut = SuffixTable::FromMapped(p, p + 11);
  EXPECT_EQ(cut.lookup("RD"), "R");
  EXPECT_FALSE(SuffixTable::FromMapped(p, p).lookup("ST"));
}

TEST(CleanField, CutTrimmedUpperCased) {
  EXPECT_EQ(strUtil::cleanField(std::string_view("  main st\0zz ", 13)), "MAIN ST");
  EXPECT_EQ(strUtil::cleanField("    "), "");
}

}  // namespace
}  // namespace corvdb

namespace corvdb {
namespace {
TEST(Trimmed, BlanksAtBothEndsAndAByteZeroEndTheText) {
  using namespace std::string_literals;
  EXPECT_EQ(strUtil::trimmed(""), "");
  EXPECT_EQ(strUtil::trimmed("    "), "");
  EXPECT_EQ(strUtil::trimmed("  MAIN ST  "), "MAIN ST");
  EXPECT_EQ(strUtil::trimmed(" AB\0 CD "s), "AB");
  EXPECT_EQ(strUtil::trimmed("\0AB"s), "");
  // Longer texts take the library's search for the byte 0.
  const std::string long_text = "   " + std::string(40, 'X') + "   ";
  EXPECT_EQ(strUtil::trimmed(long_text), std::string(40, 'X'));
  EXPECT_EQ(strUtil::trimmed(long_text + '\0' + "YYY"), std::string(40, 'X'));
  EXPECT_EQ(strUtil::trimmed(std::string(50, ' ') + '\0' + "Z"), "");
}
}  // namespace
}  // namespace corvdb
