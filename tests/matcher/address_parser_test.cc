// Free-form address lines split into their stored parts, for every kind of
// noise clerks type, and for Puerto Rico and military addresses.
#include "address_parser.h"

#include <gtest/gtest.h>

#include "address_matcher.h"
#include "transliterate.h"

namespace corvellan::matcher {
namespace {

class AddressParserTest : public testing::Test {
 protected:
  AddressParserTest()
      : suffixes_("!STREET$ST!ST$ST!AVENUE$AVE!AVE$AVE!DRIVE$DR!DR$DR!CIRCLE$CIR!VALLEYS$VLYS!VLYS$VLYS!MILLS$MLS!") {
    places_.add(62704, "SPRINGFIELD", "IL");
    places_.add(62701, "SPRINGFIELD", "IL");
    places_.add(10001, "NEW YORK", "NY");
    places_.add(926, "SAN JUAN", "PR");
    places_.add(9012, "APO", "AE");
  }
  ParsedAddress Parse(const std::string& line) { return AddressParser(suffixes_, places_).parse(line); }

  corvdb::SuffixTable suffixes_;
  PlaceNames places_;
};

TEST_F(AddressParserTest, ClerkLineSplitsIntoEveryPart) {
  const ParsedAddress a = Parse("123 n main street apt 5, springfield il 62704");
  EXPECT_EQ(a.primaryNumber, "123");
  EXPECT_EQ(a.preDirection, "N");
  EXPECT_EQ(a.streetName, "MAIN");
  EXPECT_EQ(a.suffix, "ST");
  EXPECT_EQ(a.suffixWord, "STREET");
  EXPECT_EQ(a.designator, "APT");
  EXPECT_EQ(a.unitNumber, "5");
  EXPECT_EQ(a.city, "SPRINGFIELD");
  EXPECT_EQ(a.state, "IL");
  EXPECT_EQ(a.zip, "62704");
  EXPECT_EQ(a.plus4, "");
  EXPECT_EQ(a.error, "");
  EXPECT_EQ(a.streetLine(), "123 N MAIN ST");
  EXPECT_EQ(a.unitText(), "APT 5");
}

TEST_F(AddressParserTest, UnitWrittenEveryWay) {
  struct Case {
    const char* line;
    const char* designator;
  } cases[] = {
      {"123 MAIN ST #5 SPRINGFIELD IL", "#"},       {"123 MAIN ST # 5 SPRINGFIELD IL", "#"},
      {"123 MAIN ST UNIT 5 SPRINGFIELD IL", "UNIT"}, {"123 MAIN ST APT #5 SPRINGFIELD IL", "APT"},
      {"123 MAIN ST APARTMENT 5, SPRINGFIELD IL", "APT"}, {"123 MAIN ST, APT 5, SPRINGFIELD, IL", "APT"},
      {"123 MAIN ST STE 5 SPRINGFIELD IL", "STE"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    const ParsedAddress a = Parse(c.line);
    EXPECT_EQ(a.designator, c.designator);
    EXPECT_EQ(a.unitNumber, "5");
    EXPECT_EQ(a.streetName, "MAIN");
    EXPECT_EQ(a.suffix, "ST");
    EXPECT_EQ(a.city, "SPRINGFIELD");
  }
  // A unit word alone after the suffix; a unit word that is part of the
  // street is left there.
  EXPECT_EQ(Parse("123 MAIN ST REAR").designator, "REAR");
  const ParsedAddress front = Parse("184 E FRONT VLYS, SPRINGFIELD IL");
  EXPECT_EQ(front.designator, "");
  EXPECT_EQ(front.unitNumber, "");
  EXPECT_EQ(front.preDirection, "E");
  EXPECT_EQ(front.streetName, "FRONT");
  EXPECT_EQ(front.suffix, "VLYS");
}

TEST_F(AddressParserTest, ZipCodeStateAndCityFromTheEnd) {
  const ParsedAddress plus4 = Parse("123 North Main St., Springfield, IL 62704-1234");
  EXPECT_EQ(plus4.zip, "62704");
  EXPECT_EQ(plus4.plus4, "1234");
  EXPECT_EQ(plus4.preDirection, "N");
  EXPECT_EQ(plus4.city, "SPRINGFIELD");
  EXPECT_EQ(Parse("123 MAIN ST SPRINGFIELD IL 627041234").plus4, "1234");

  const ParsedAddress noZip = Parse("123 main st springfield il");
  EXPECT_EQ(noZip.zip, "");
  EXPECT_EQ(noZip.state, "IL");
  EXPECT_EQ(noZip.city, "SPRINGFIELD");
  EXPECT_EQ(noZip.streetName, "MAIN");

  // A city of two words without a comma; extra blanks and punctuation.
  const ParsedAddress ny = Parse("  55   elm  st..  new york ,, ny.  10001 ");
  EXPECT_EQ(ny.city, "NEW YORK");
  EXPECT_EQ(ny.state, "NY");
  EXPECT_EQ(ny.zip, "10001");
  EXPECT_EQ(ny.primaryNumber, "55");
  EXPECT_EQ(ny.streetName, "ELM");
  EXPECT_EQ(ny.suffix, "ST");

  // A city the data does not know, after a comma, is still the city.
  EXPECT_EQ(Parse("5 ELM ST, SHELBYVILLE IL").city, "SHELBYVILLE");
  // Without a comma an unknown last word stays in the street.
  EXPECT_EQ(Parse("5 ELM ST SHELBYVILLE").city, "");
}

TEST_F(AddressParserTest, DirectionsWrittenOutOnlyBesideAName) {
  const ParsedAddress a = Parse("12 SOUTHWEST OAK AVE NORTHEAST");
  EXPECT_EQ(a.preDirection, "SW");
  EXPECT_EQ(a.spelledPreDirection, "SOUTHWEST");
  EXPECT_EQ(a.streetName, "OAK");
  EXPECT_EQ(a.postDirection, "NE");
  // NORTH AVE is a street named NORTH.
  const ParsedAddress north = Parse("12 NORTH AVE");
  EXPECT_EQ(north.preDirection, "");
  EXPECT_EQ(north.streetName, "NORTH");
  EXPECT_EQ(north.suffix, "AVE");
}

TEST_F(AddressParserTest, PuertoRicoUrbanizationAndMilitary) {
  const ParsedAddress pr = Parse("URB LAS GLADIOLAS 150 CALLE A, SAN JUAN PR 00926");
  EXPECT_EQ(pr.urbanization, "URB LAS GLADIOLAS");
  EXPECT_EQ(pr.primaryNumber, "150");
  EXPECT_EQ(pr.streetName, "CALLE A");
  EXPECT_EQ(pr.city, "SAN JUAN");
  EXPECT_EQ(pr.state, "PR");
  EXPECT_EQ(pr.zip, "00926");

  const ParsedAddress apo = Parse("PSC 1234 BOX 5678, APO AE 09012");
  EXPECT_EQ(apo.streetName, "PSC 1234");
  EXPECT_EQ(apo.primaryNumber, "5678");
  EXPECT_EQ(apo.city, "APO");
  EXPECT_EQ(apo.state, "AE");
  EXPECT_EQ(apo.zip, "09012");
}

TEST_F(AddressParserTest, TextOutsideLatinOneIsTransliteratedOrRefused) {
  const ParsedAddress accents = Parse("150 Calle Peñuelas, San Juan PR");
  EXPECT_EQ(accents.streetName, "CALLE PENUELAS");
  EXPECT_EQ(Parse("150 Main St \xE4\xB8\xAD").error, "character U+4E2D has no plain-letter equivalent");
  EXPECT_EQ(Parse("150 Main St \xE9").error, "not UTF-8 text");  // a Latin-1 byte, not UTF-8
  EXPECT_EQ(Parse("   ,, ").error, "no street address");

  EXPECT_EQ(ToMatchText("Stra\xC3\x9F" "e \xE2\x80\x93 \xC3\x86ther").text, "STRASSE - AETHER");
  EXPECT_EQ(ToMatchText("\xC0\x80").error, "not UTF-8 text");        // overlong
  EXPECT_EQ(ToMatchText("\xED\xA0\x80").error, "not UTF-8 text");    // surrogate
  EXPECT_EQ(ToMatchText("A\x01").error, "control character U+0001");
  EXPECT_EQ(ToMatchText("\xC3").error, "not UTF-8 text");            // cut short
}

TEST(TypoDistanceTest, OneEditOrSwapCountsOne) {
  EXPECT_EQ(TypoDistance("MAIN", "MAIN"), 0);
  EXPECT_EQ(TypoDistance("MARKET", "MRAKET"), 1);  // swap
  EXPECT_EQ(TypoDistance("MARKET", "MARKT"), 1);   // dropped
  EXPECT_EQ(TypoDistance("MARKET", "MARKEET"), 1); // added
  EXPECT_EQ(TypoDistance("MARKET", "MORKET"), 1);  // changed
  EXPECT_EQ(TypoDistance("MARKET", "MORKIT"), 2);
  EXPECT_EQ(TypoDistance("MARKET", "MAR"), 2);
  EXPECT_EQ(TypoDistance("", "A"), 1);
}

}  // namespace
}  // namespace corvellan::matcher
