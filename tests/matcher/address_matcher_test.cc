// Matching free-form lines against a small database built by the project's
// writer: parity, directions, units, typos, wrong and missing ZIP codes, and
// the honest answers (ambiguous, not found).
#include "address_matcher.h"

#include <gtest/gtest.h>

#include <memory>

#include "search_fixture.h"

namespace corvellan::matcher {
namespace {

using corvdb::search_test::MakeCityState;
using corvdb::search_test::Zip4Fields;

class AddressMatcherTest : public corvdb::search_test::SearchDatabase {
 protected:
  void SetUp() override {
    auto row = [](std::string zip, std::string addon, std::string pre, std::string street, std::string suffix,
                  std::string low, std::string high, std::string parity) {
      Zip4Fields f;
      f.zip = zip;
      f.addon_low = f.addon_high = addon;
      f.pre_direction = pre;
      f.street = street;
      f.suffix = suffix;
      f.primary_low = low;
      f.primary_high = high;
      f.primary_parity = parity;
      f.state = "IL";
      return f;
    };
    std::vector<Zip4Fields> rows = {
        row("62704", "1001", "", "MAIN", "ST", "100", "198", "E"),
        row("62704", "1002", "", "MAIN", "ST", "101", "199", "O"),
        row("62704", "1003", "N", "MAIN", "ST", "200", "298", "E"),
        row("62704", "1004", "S", "MAIN", "ST", "200", "298", "E"),
        row("62704", "1005", "", "MAIN", "ST", "300", "300", "B"),
        row("62704", "1006", "", "MAIN", "ST", "300", "300", "B"),
        row("62704", "2001", "", "ELMWOOD", "AVE", "10", "98", "E"),
        row("62701", "3001", "", "ELMWOOD", "AVE", "10", "98", "E"),
        row("62701", "3002", "", "OAK", "ST", "1", "99", "B"),
        row("62704", "4001", "", "MAPLEWOOD", "AVE", "1", "99", "B"),
        row("62704", "4002", "", "MAPLEWOOD", "AVE", "1", "99", "B"),
        row("62999", "5001", "", "MAPLEWOOD", "AVE", "1", "99", "B"),
        // Range edges: a low end of 0, equal ends, unit ranges from 0, of
        // letters and of lettered numbers.
        row("62701", "6001", "", "BIRCH", "RD", "0", "98", "E"),
        row("62701", "6002", "", "BIRCH", "RD", "1", "1", "O"),
        row("62701", "6003", "", "CEDAR", "RD", "10", "10", "B"),
        row("62701", "6004", "", "CEDAR", "RD", "10", "10", "B"),
        row("62701", "6005", "", "CEDAR", "RD", "12", "12", "B"),
        row("62701", "6006", "", "CEDAR", "RD", "14", "14", "B"),
        // Boxes, a rural route and a highway, named as the records name them.
        row("62701", "7001", "", "PO BOX", "", "1", "99", "B"),
        row("62701", "7002", "", "RR 3", "", "1", "150", "B"),
        row("62701", "7003", "", "US HIGHWAY 19", "", "100", "198", "E"),
    };
    rows[18].record_type = "P";
    rows[19].record_type = "R";
    auto units = [&](std::size_t i, const char* designator, const char* low, const char* high) {
      rows[i].record_type = "H";
      rows[i].secondary_abbrev = designator;
      rows[i].secondary_low = low;
      rows[i].secondary_high = high;
      rows[i].secondary_parity = "B";
    };
    units(14, "APT", "0", "9");
    rows[15].record_type = "H";  // the building of 10 CEDAR RD
    units(16, "APT", "A", "F");
    units(17, "STE", "A0", "A9");
    rows[4].record_type = "H";  // units 1-20 of number 300
    rows[4].secondary_abbrev = "APT";
    rows[4].secondary_low = "1";
    rows[4].secondary_high = "20";
    rows[4].secondary_parity = "B";
    rows[5].record_type = "H";  // the building without a unit
    rows[10].record_type = "H";  // a unit of MAPLEWOOD AVE: never the answer without one
    rows[10].secondary_abbrev = "STE";
    rows[10].secondary_low = "1";
    rows[10].secondary_high = "9";
    rows[10].secondary_parity = "B";
    rows[11].last_line_key = "C00009";
    Build(rows, {MakeCityState("C00009", "62999", "SHELBYVILLE", "IL")});
    places_ = PlaceNames::FromReader(engine_);
    matcher_ = std::make_unique<AddressMatcher>(engine_, places_);
  }

  std::string Zip4(const std::string& line) {
    const MatchResult m = matcher_->matchLine(line);
    return m.confident() ? m.zip + "-" + m.plus4 : MatchCodeName(m.code);
  }

  PlaceNames places_;
  std::unique_ptr<AddressMatcher> matcher_;
};

TEST_F(AddressMatcherTest, PlaceNamesComeFromTheBlocks) {
  EXPECT_TRUE(places_.isCityOf("SPRINGFIELD", "IL"));
  EXPECT_TRUE(places_.isCityOf("SHELBYVILLE", "IL"));
  EXPECT_EQ(places_.zipsOf("SPRINGFIELD", "IL").size(), 2u);
  EXPECT_EQ(places_.stateOf(62999), "IL");
}

TEST_F(AddressMatcherTest, HouseNumberParityChoosesTheSide) {
  const MatchResult even = matcher_->matchLine("100 main st, springfield il 62704");
  EXPECT_EQ(even.code, MatchCode::kExact);
  EXPECT_EQ(even.zip + even.plus4, "627041001");
  EXPECT_EQ(even.deliveryLine, "100 MAIN ST");
  EXPECT_EQ(even.city, "SPRINGFIELD");
  EXPECT_EQ(even.state, "IL");
  EXPECT_EQ(even.recordType, "S");
  EXPECT_EQ(Zip4("101 MAIN ST SPRINGFIELD IL 62704"), "62704-1002");
  EXPECT_EQ(Zip4("0101 MAIN STREET SPRINGFIELD IL 62704"), "62704-1002");
  const MatchResult outside = matcher_->matchLine("5000 MAIN ST SPRINGFIELD IL 62704");
  EXPECT_EQ(outside.code, MatchCode::kNotFound);
  EXPECT_EQ(outside.reason, "no house number or unit range of the street holds the address");
}

TEST_F(AddressMatcherTest, DirectionsDecideOrTheAnswerIsAmbiguous) {
  EXPECT_EQ(Zip4("250 N MAIN ST SPRINGFIELD IL 62704"), "62704-1003");
  EXPECT_EQ(Zip4("250 north main st springfield il 62704"), "62704-1003");
  EXPECT_EQ(Zip4("250 S MAIN ST SPRINGFIELD IL 62704"), "62704-1004");
  const MatchResult both = matcher_->matchLine("250 MAIN ST SPRINGFIELD IL 62704");
  EXPECT_EQ(both.code, MatchCode::kAmbiguous);
  EXPECT_EQ(both.reason, "2 records fit equally");
  EXPECT_EQ(both.zip, "");
  EXPECT_EQ(Zip4("250 E MAIN ST SPRINGFIELD IL 62704"), "not found");
}

TEST_F(AddressMatcherTest, UnitsFindTheirRangeOrTheBuilding) {
  EXPECT_EQ(Zip4("300 MAIN ST APT 5 SPRINGFIELD IL 62704"), "62704-1005");
  EXPECT_EQ(Zip4("300 main st #5, springfield il 62704"), "62704-1005");
  EXPECT_EQ(Zip4("300 MAIN ST UNIT 5 SPRINGFIELD IL 62704"), "62704-1005");
  EXPECT_EQ(matcher_->matchLine("300 MAIN ST UNIT 5 SPRINGFIELD IL 62704").deliveryLine, "300 MAIN ST APT 5");
  EXPECT_EQ(Zip4("300 MAIN ST SPRINGFIELD IL 62704"), "62704-1006");
  EXPECT_EQ(Zip4("300 MAIN ST APT 50 SPRINGFIELD IL 62704"), "62704-1006");
  // A unit record is never chosen for an address without a unit.
  EXPECT_EQ(Zip4("5 MAPLEWOOD AVE SPRINGFIELD IL 62704"), "62704-4001");
  EXPECT_EQ(Zip4("5 MAPLEWOOD AVE STE 3 SPRINGFIELD IL 62704"), "62704-4002");
}

TEST_F(AddressMatcherTest, RangeEdgesHoldTheirEnds) {
  const struct {
    const char* line;
    const char* expected;
  } cases[] = {
      {"0 BIRCH RD, SPRINGFIELD IL 62701", "62701-6001"},  // the low end 0
      {"00 BIRCH RD, SPRINGFIELD IL 62701", "62701-6001"},
      {"98 BIRCH RD, SPRINGFIELD IL 62701", "62701-6001"},  // the high end
      {"2 BIRCH RD, SPRINGFIELD IL 62701", "62701-6001"},
      {"100 BIRCH RD, SPRINGFIELD IL 62701", "not found"},
      {"1 BIRCH RD, SPRINGFIELD IL 62701", "62701-6002"},  // equal ends
      {"3 BIRCH RD, SPRINGFIELD IL 62701", "not found"},
      {"10 CEDAR RD APT 0, SPRINGFIELD IL 62701", "62701-6003"},  // unit low end 0
      {"10 CEDAR RD APT 9, SPRINGFIELD IL 62701", "62701-6003"},
      {"10 CEDAR RD APT 10, SPRINGFIELD IL 62701", "62701-6004"},  // outside: the building
      {"12 CEDAR RD APT A, SPRINGFIELD IL 62701", "62701-6005"},  // letters
      {"12 CEDAR RD APT F, SPRINGFIELD IL 62701", "62701-6005"},
      {"12 CEDAR RD APT G, SPRINGFIELD IL 62701", "not found"},
      {"14 CEDAR RD STE A0, SPRINGFIELD IL 62701", "62701-6006"},  // lettered numbers
      {"14 CEDAR RD STE A5, SPRINGFIELD IL 62701", "62701-6006"},
      {"14 CEDAR RD STE B5, SPRINGFIELD IL 62701", "not found"},
  };
  for (const auto& c : cases) EXPECT_EQ(Zip4(c.line), c.expected) << c.line << ": " << matcher_->matchLine(c.line).reason;
}

TEST_F(AddressMatcherTest, BoxesRoutesAndHighwaysAsPeopleWriteThem) {
  const struct {
    const char* line;
    const char* zip4;
    const char* deliveryLine;
  } cases[] = {
      {"PO Box 12, Springfield IL 62701", "62701-7001", "PO BOX 12"},
      {"P.O. Box 12\nSpringfield, Illinois", "62701-7001", "PO BOX 12"},
      {"Jane Roe, Box 12, Springfield IL 62701, USA", "62701-7001", "PO BOX 12"},
      {"RR 3 Box 45, Springfield, Ill.", "62701-7002", "RR 3 BOX 45"},
      {"Rural Route 3 Box 45, Springfield IL", "62701-7002", "RR 3 BOX 45"},
      {"120 US Hwy 19, Springfield IL", "62701-7003", "120 US HIGHWAY 19"},
      {"120 U.S. 19, Springfield IL 62701", "62701-7003", "120 US HIGHWAY 19"},
      {"120 Highway 19, Springfield IL 62701", "62701-7003", "120 US HIGHWAY 19"},
  };
  for (const auto& c : cases) {
    const MatchResult m = matcher_->matchLine(c.line);
    EXPECT_EQ(Zip4(c.line), c.zip4) << c.line << ": " << m.reason;
    EXPECT_EQ(m.deliveryLine, c.deliveryLine) << c.line;
  }
  EXPECT_EQ(Zip4("PO Box 500, Springfield IL 62701"), "not found");
}

TEST_F(AddressMatcherTest, OneTypoInTheStreetNameIsCorrected) {
  const MatchResult m = matcher_->matchLine("5 MAPLEWOD AVE, SPRINGFIELD IL 62704");
  EXPECT_EQ(m.code, MatchCode::kCorrected);
  EXPECT_EQ(m.zip + m.plus4, "627044001");
  EXPECT_EQ(m.reason, "street name MAPLEWOD -> MAPLEWOOD");
  EXPECT_EQ(m.deliveryLine, "5 MAPLEWOOD AVE");
  EXPECT_EQ(Zip4("5 MAPLEWOOD AVE SHELBYVILLE IL 62999"), "62999-5001");
  // Two typos are too many.
  EXPECT_EQ(Zip4("5 MAPELWOD AVE, SPRINGFIELD IL 62704"), "not found");
}

TEST_F(AddressMatcherTest, WrongOrMissingZipCodeWithCityAndState) {
  const MatchResult wrong = matcher_->matchLine("5 OAK ST, SPRINGFIELD IL 62704");
  EXPECT_EQ(wrong.code, MatchCode::kCorrected);
  EXPECT_EQ(wrong.zip + wrong.plus4, "627013002");
  EXPECT_EQ(wrong.reason, "ZIP code 62704 -> 62701");
  const MatchResult missing = matcher_->matchLine("5 OAK ST, SPRINGFIELD IL");
  EXPECT_EQ(missing.code, MatchCode::kExact);
  EXPECT_EQ(missing.zip + missing.plus4, "627013002");
  // The same address in two ZIP codes of the city: no guess.
  EXPECT_EQ(Zip4("20 ELMWOOD AVE SPRINGFIELD IL"), "ambiguous");
  EXPECT_EQ(Zip4("20 ELMWOOD AVE SPRINGFIELD IL 62704"), "ambiguous");
  // A ZIP code alone is enough when the city is not given.
  EXPECT_EQ(Zip4("20 ELMWOOD AVE 62701"), "62701-3001");
}

TEST_F(AddressMatcherTest, NotFoundSaysWhy) {
  EXPECT_EQ(matcher_->matchLine("9 NOWHERE RD, SPRINGFIELD IL 62704").reason, "street NOWHERE not found");
  EXPECT_EQ(matcher_->matchLine("9 ELM ST, GOTHAM IL").reason, "city GOTHAM IL not in the data");
  EXPECT_EQ(matcher_->matchLine("9 OAK ST 99999").reason, "ZIP code 99999 not in the data");
  // An unknown city with its state: the street in that state, when it is
  // there once, corrects the city.
  const MatchResult city = matcher_->matchLine("9 OAK ST, GOTHAM IL");
  EXPECT_EQ(city.code, MatchCode::kCorrected);
  EXPECT_EQ(city.reason, "city GOTHAM -> SPRINGFIELD");
  EXPECT_EQ(matcher_->matchLine("9 OAK ST \xF0\x9F\x8F\xA0").reason, "character U+1F3E0 has no plain-letter equivalent");
}

}  // namespace
}  // namespace corvellan::matcher
