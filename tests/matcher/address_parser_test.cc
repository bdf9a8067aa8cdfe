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
      : suffixes_("!STREET$ST!ST$ST!AVENUE$AVE!AVE$AVE!DRIVE$DR!DR$DR!CIRCLE$CIR!CIR$CIR!VALLEYS$VLYS!VLYS$VLYS!MILLS$MLS!"
                  "COURT$CT!CT$CT!WELLS$WLS!HIGHWAY$HWY!HWY$HWY!LANE$LN!LN$LN!") {
    places_.add(62704, "SPRINGFIELD", "IL");
    places_.add(62701, "SPRINGFIELD", "IL");
    places_.add(10001, "NEW YORK", "NY");
    places_.add(926, "SAN JUAN", "PR");
    places_.add(9012, "APO", "AE");
    places_.add(7030, "HOBOKEN", "NJ");
    places_.add(30024, "SUWANEE", "GA");
    places_.add(63101, "SAINT LOUIS", "MO");
    places_.add(76101, "FORT WORTH", "TX");
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

// The end of the line as people write it: states written out, a country, line
// breaks, ZIP codes that lost their leading zeros.
TEST_F(AddressParserTest, StatesCountriesAndLinesAsPeopleWriteThem) {
  const struct {
    const char* line;
    const char* city;
    const char* state;
    const char* zip;
  } cases[] = {
      {"5 Elm St, Springfield, Illinois 62704", "SPRINGFIELD", "IL", "62704"},
      {"5 Elm St, Springfield, Ill.", "SPRINGFIELD", "IL", ""},
      {"5 Elm St, New York, N.Y. 10001", "NEW YORK", "NY", "10001"},
      {"5 Elm St, New York, N. Y. 10001", "NEW YORK", "NY", "10001"},
      {"5 Elm St, New York, New York 10001", "NEW YORK", "NY", "10001"},
      {"5 Elm St Suwanee Georgia", "SUWANEE", "GA", ""},
      {"5 Elm St, Springfield IL 62704, USA", "SPRINGFIELD", "IL", "62704"},
      {"5 Elm St, Springfield IL 62704 United States of America", "SPRINGFIELD", "IL", "62704"},
      {"5 Elm St, Springfield IL 62704 US", "SPRINGFIELD", "IL", "62704"},
      {"5 Elm St, Springfield, IL, U.S.A.", "SPRINGFIELD", "IL", ""},
      {"5 Elm St\nSpringfield, IL 62704", "SPRINGFIELD", "IL", "62704"},
      {"5 Elm St\r\nHoboken NJ 7030", "HOBOKEN", "NJ", "07030"},
      {"5 Elm St, San Juan PR 926", "SAN JUAN", "PR", "00926"},
      {"5 Elm St, Hoboken NJ 7031", "", "", ""},  // not a ZIP code of NJ: not guessed
      {"5 Elm St, St. Louis, MO 63101", "SAINT LOUIS", "MO", "63101"},  // the data's spelling
      {"5 Elm St St Louis Missouri", "SAINT LOUIS", "MO", ""},
      {"5 Elm St, Ft Worth TX", "FORT WORTH", "TX", ""},
  };
  for (const auto& c : cases) {
    const ParsedAddress a = Parse(c.line);
    EXPECT_EQ(a.city, c.city) << c.line;
    EXPECT_EQ(a.state, c.state) << c.line;
    EXPECT_EQ(a.zip, c.zip) << c.line;
    if (*c.city) {
      EXPECT_EQ(a.streetLine(), "5 ELM ST") << c.line;
    }
  }
}

TEST_F(AddressParserTest, BoxesAndRoutesAsStored) {
  const struct {
    const char* line;
    const char* street;
    const char* number;
    const char* recipient;
  } cases[] = {
      {"PO Box 10, Springfield IL", "PO BOX", "10", ""},
      {"P.O. Box 10, Springfield IL", "PO BOX", "10", ""},
      {"P O Box 10 Springfield IL 62704", "PO BOX", "10", ""},
      {"POB 10, Springfield IL", "PO BOX", "10", ""},
      {"Box 10, Springfield IL", "PO BOX", "10", ""},
      {"Post Office Box 10, Springfield IL", "PO BOX", "10", ""},
      {"Lockbox 10, Springfield IL", "PO BOX", "10", ""},
      {"PO Drawer 10, Springfield IL", "PO BOX", "10", ""},
      {"PO Box #10, Springfield IL", "PO BOX", "10", ""},
      {"Acme Corp PO Box 10, Springfield IL", "PO BOX", "10", "ACME CORP"},
      {"Acme Corp\nPO Box 10\nSpringfield IL", "PO BOX", "10", "ACME CORP"},
      {"RR 3 Box 45, Springfield IL", "RR 3", "45", ""},
      {"Rural Route 03 Box 45, Springfield IL", "RR 3", "45", ""},
      {"HC 2 Box 7, Springfield IL", "HC 2", "7", ""},
      {"Highway Contract 2 Box 7, Springfield IL", "HC 2", "7", ""},
  };
  for (const auto& c : cases) {
    const ParsedAddress a = Parse(c.line);
    EXPECT_EQ(a.streetName, c.street) << c.line;
    EXPECT_EQ(a.primaryNumber, c.number) << c.line;
    EXPECT_EQ(a.recipient, c.recipient) << c.line;
    EXPECT_EQ(a.city, "SPRINGFIELD") << c.line;
  }
  // ROUTE 9 without a box is a road.
  EXPECT_EQ(Parse("12 Route 9, Springfield IL").streetName, "ROUTE 9");
}

TEST_F(AddressParserTest, HighwaysAndRoadsAsStored) {
  const struct {
    const char* line;
    const char* street;
    const char* postDirection;
    const char* alternate;  // the first other form tried
  } cases[] = {
      {"123 US Hwy 19 N, Springfield IL", "US HIGHWAY 19", "N", "US ROUTE 19"},
      {"123 U.S. Highway 1, Springfield IL", "US HIGHWAY 1", "", "US ROUTE 1"},
      {"123 US 19, Springfield IL", "US HIGHWAY 19", "", "US ROUTE 19"},
      {"123 Hwy 7, Springfield IL", "HIGHWAY 7", "", "STATE HIGHWAY 7"},
      {"123 SR 7, Springfield IL", "STATE ROUTE 7", "", "STATE HIGHWAY 7"},
      {"123 State Hwy 7 West, Springfield IL", "STATE HIGHWAY 7", "W", "STATE ROUTE 7"},
      {"123 CR 561, Springfield IL", "COUNTY ROAD 561", "", "COUNTY HIGHWAY 561"},
      {"123 County Road MM, Springfield IL", "COUNTY ROAD MM", "", "COUNTY HIGHWAY MM"},
      {"123 I-95, Springfield IL", "INTERSTATE 95", "", "INTERSTATE HIGHWAY 95"},
      {"123 FM 1960, Springfield IL", "FM 1960", "", "FARM TO MARKET ROAD 1960"},
      {"123 Farm to Market Rd 1960, Springfield IL", "FM 1960", "", "FARM TO MARKET ROAD 1960"},
  };
  for (const auto& c : cases) {
    const ParsedAddress a = Parse(c.line);
    EXPECT_EQ(a.primaryNumber, "123") << c.line;
    EXPECT_EQ(a.streetName, c.street) << c.line;
    EXPECT_EQ(a.postDirection, c.postDirection) << c.line;
    ASSERT_FALSE(a.alternates.empty()) << c.line;
    EXPECT_EQ(a.alternates.front().name, c.alternate) << c.line;
    EXPECT_EQ(a.city, "SPRINGFIELD") << c.line;
  }
}

TEST_F(AddressParserTest, RecipientsUnitsAndNumbersAsPeopleWriteThem) {
  const struct {
    const char* line;
    const char* number;
    const char* street;  // pre-direction, name, suffix, post-direction
    const char* unit;
    const char* recipient;
  } cases[] = {
      {"Philip Palmer, MD 12605 Lapis Dr, Springfield IL", "12605", "LAPIS DR", "", "PHILIP PALMER MD"},
      {"Acme Widgets 55 Elm St, Springfield IL", "55", "ELM ST", "", "ACME WIDGETS"},
      {"Acme Widgets\n55 Elm St\nSpringfield IL", "55", "ELM ST", "", "ACME WIDGETS"},
      {"123 Main St # 173, Springfield IL", "123", "MAIN ST", "# 173", ""},
      {"123 Main St Apt # 109, Springfield IL", "123", "MAIN ST", "APT 109", ""},
      {"123 Main St 2nd Flr, Springfield IL", "123", "MAIN ST", "FL 2", ""},
      {"123 Main St, 41st Floor, Springfield IL", "123", "MAIN ST", "FL 41", ""},
      {"Flat 4, 12 Main St, Springfield IL", "12", "MAIN ST", "APT 4", ""},
      {"Apt 4 12 Main St, Springfield IL", "12", "MAIN ST", "APT 4", ""},
      {"123 Main St 600, Springfield IL", "123", "MAIN ST", "# 600", ""},
      {"123 Main St, Ste 402, Springfield IL", "123", "MAIN ST", "STE 402", ""},
      {"123 Main St, Springfield, Ste 402, IL", "123", "MAIN ST", "STE 402", ""},
      {"W148 N9748 Tree Tops Dr, Springfield IL", "W148N9748", "TREE TOPS DR", "", ""},
      {"123 1/2 Main St, Springfield IL", "123 1/2", "MAIN ST", "", ""},
      {"12-14 Main St, Springfield IL", "12-14", "MAIN ST", "", ""},
      {"306 N Ave NW, Springfield IL", "306", "N AVE NW", "", ""},
      {"641 S St NW, Springfield IL", "641", "S ST NW", "", ""},
      {"1476 South Ave SE, Springfield IL", "1476", "SOUTH AVE SE", "", ""},
      {"5 Oak Crt, Springfield IL", "5", "OAK CT", "", ""},
      {"5 Oak Ci, Springfield IL", "5", "OAK CIR", "", ""},
      {"5 Oak Hgwy, Springfield IL", "5", "OAK HWY", "", ""},
  };
  for (const auto& c : cases) {
    const ParsedAddress a = Parse(c.line);
    EXPECT_EQ(a.primaryNumber, c.number) << c.line;
    std::string street = a.streetLine();
    street.erase(0, std::min(street.size(), a.primaryNumber.size() + 1));
    EXPECT_EQ(street, c.street) << c.line;
    EXPECT_EQ(a.unitText(), c.unit) << c.line;
    EXPECT_EQ(a.recipient, c.recipient) << c.line;
    EXPECT_EQ(a.city, "SPRINGFIELD") << c.line;
  }
  // N WELLS: the name is a suffix word; N + WELLS is tried too.
  const ParsedAddress wells = Parse("1520 N Wells, Springfield IL");
  EXPECT_EQ(wells.streetName, "N");
  EXPECT_EQ(wells.suffix, "WLS");
  ASSERT_EQ(wells.alternates.size(), 1u);
  EXPECT_EQ(wells.alternates[0].name, "WELLS");
  EXPECT_EQ(wells.alternates[0].preDirection, "N");
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
