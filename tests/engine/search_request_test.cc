// Reading the search request, and the rank of a row counted on its own and for
// a whole block at once.
#include <gtest/gtest.h>

#include <cstdint>

#include <random>
#include <string>
#include <vector>

#include "search_fixture.h"
#include "zip_search.h"

namespace corvdb {
namespace {

using search_test::Request;
using search_test::Typed;

const SuffixTable kSuffixes("!AVENUE$AVE!AVE$AVE!STREET$ST!ST$ST!");

SearchTerms Parse(const Typed& t) { return ParseSearchRequest(Request(t).data(), kSuffixes); }

TEST(SearchRequest, ZipFieldGivesACodeOrARange) {
  struct Case {
    const char* field;
    uint32_t low, high;
  };
  for (const Case& c : {Case{"123*", 12300, 12399}, Case{"123", 123, 123}, Case{"*", 0, 99999},
                        Case{"9021*", 90210, 90219}, Case{" 12*", 12000, 12999}, Case{"12345", 12345, 12345},
                        Case{"1A3*", 100, 199}, Case{"ABC", 0, 0}}) {
    const SearchTerms t = Parse({.zip = c.field});
    EXPECT_TRUE(t.zipGiven) << c.field;
    EXPECT_EQ(t.zipLow, c.low) << c.field;
    EXPECT_EQ(t.zipHigh, c.high) << c.field;
  }
  EXPECT_FALSE(Parse({.zip = "     "}).zipGiven);
  // The field is five characters: what follows belongs to the firm.
  std::string r = Request({});
  r.replace(0, 7, "12345AC");
  const SearchTerms t = ParseSearchRequest(r.data(), kSuffixes);
  EXPECT_EQ(t.zipLow, 12345u);
  EXPECT_EQ(t.firm, "AC");
}

TEST(SearchRequest, FieldsAreCutAtAByteZeroTrimmedAndUpperCased) {
  std::string r = Request({.firm = "  acme widgets", .city = "springfield", .state = "il"});
  r[kRequestFirm.offset + 6] = '\0';  // "  acme" then a byte 0
  const SearchTerms t = ParseSearchRequest(r.data(), kSuffixes);
  EXPECT_EQ(t.firm, "ACME");
  EXPECT_EQ(t.city, "SPRINGFIELD");
  EXPECT_EQ(t.state, "IL");
}

TEST(SearchRequest, StreetLineWithHouseNumberAndUnit) {
  const SearchTerms t = Parse({.street = "123 n main st apt 5"});
  EXPECT_TRUE(t.streetLineGiven);
  EXPECT_EQ(t.street.primaryNumber, "123");
  EXPECT_EQ(t.primaryValue, 123u);
  EXPECT_EQ(t.primaryParity, 'O');
  EXPECT_EQ(t.street.preDirection, "N");
  EXPECT_EQ(t.street.streetName, "MAIN");
  EXPECT_EQ(t.street.suffix, "ST");
  EXPECT_EQ(t.street.designator, "APT");
  EXPECT_EQ(t.street.unitNumber, "5");
  EXPECT_EQ(t.unitValue, 5u);
  EXPECT_EQ(t.unitParity, 'O');

  // The number field wins over a number in the street line.
  const SearchTerms u = Parse({.number = "124", .street = "123 MAIN"});
  EXPECT_EQ(u.street.primaryNumber, "124");
  EXPECT_EQ(u.primaryParity, 'E');
  EXPECT_EQ(u.street.streetName, "123 MAIN");
}

TEST(SearchRequest, ShortStreetLines) {
  SearchTerms t = Parse({.street = "N"});
  EXPECT_EQ(t.street.postDirection, "N");
  EXPECT_EQ(t.street.streetName, "");
  t = Parse({.street = "123 N"});
  EXPECT_EQ(t.street.postDirection, "N");
  EXPECT_EQ(t.street.streetName, "123");
  EXPECT_EQ(t.street.primaryNumber, "");
  t = Parse({.street = "AVE"});
  EXPECT_EQ(t.street.suffix, "AVE");
  EXPECT_EQ(t.street.streetName, "");
}

TEST(SearchRequest, UnitField) {
  SearchTerms t = Parse({.unit = "#5"});
  EXPECT_EQ(t.street.designator, "#5");
  EXPECT_EQ(t.street.unitNumber, "");
  EXPECT_EQ(t.unitParity, ' ');
  t = Parse({.unit = "APARTMENT 12", .street = "MAIN ST"});
  EXPECT_EQ(t.street.designator, "APART");
  EXPECT_EQ(t.street.unitNumber, "12");
  EXPECT_EQ(t.unitParity, 'E');
  EXPECT_EQ(t.street.streetName, "MAIN");
  t = Parse({.unit = "BASEMENT"});
  EXPECT_EQ(t.street.designator, "BSMT");
  EXPECT_FALSE(t.streetLineGiven);
}

TEST(SearchRequest, HouseNumberFromTheStreetLineIsCutToTenCharacters) {
  const SearchTerms t = Parse({.street = "1234567890 1/2 ELM"});
  EXPECT_EQ(t.street.primaryNumber, "1234567890");
  EXPECT_EQ(t.street.streetName, "ELM");
  EXPECT_EQ(Parse({.street = "12 1/2 ELM"}).street.primaryNumber, "12 1/2");
  EXPECT_EQ(Parse({.number = "12345678901"}).primaryValue, 1234567890u);
}

// The rank as its definition reads: compare with every earlier row.
std::vector<uint32_t> LiteralRanks(const std::vector<uint32_t>& lows, const std::vector<uint32_t>& highs) {
  std::vector<uint32_t> ranks;
  for (std::size_t r = 0; r < lows.size(); ++r) {
    uint32_t rank = 1;
    for (std::size_t k = r; k-- > 0;) {
      if (lows[k] == lows[r] || (lows[r] == highs[r] && lows[k] <= lows[r] && highs[r] <= highs[k])) ++rank;
    }
    ranks.push_back(rank);
  }
  return ranks;
}

TEST(RankRows, OneRowAndAllRowsEqualTheDefinition) {
  // Few distinct add-ons, so that equal lows, nested and inverted ranges and
  // duplicates are common.
  std::mt19937 rng(5);
  RankScratch scratch;  // shared by all rounds: each must leave it as it found it
  for (int round = 0; round < 200; ++round) {
    const std::size_t n = rng() % 60;
    const uint32_t spread = 1 + rng() % 12;
    const uint32_t base = round % 3 == 0 ? 9970 : 0;  // near the top of four digits too
    std::vector<uint32_t> lows, highs;
    for (std::size_t i = 0; i < n; ++i) {
      const uint32_t low = base + rng() % spread;
      const int shape = static_cast<int>(rng() % 4);
      lows.push_back(low);
      highs.push_back(shape == 0 ? low + rng() % spread : shape == 1 && low > 0 ? low - 1 : low);
    }
    // The digit rankers read the add-ons in pairs, as the add-on column's list holds them.
    std::vector<int32_t> pairs;
    for (std::size_t i = 0; i < n; ++i) {
      pairs.push_back(static_cast<int32_t>(lows[i]));
      pairs.push_back(static_cast<int32_t>(highs[i]));
    }
    ASSERT_TRUE(AllDigitAddOns(pairs.data(), n));
    const std::vector<uint32_t> literal = LiteralRanks(lows, highs);
    ASSERT_EQ(RankRows(lows, highs), literal) << "round " << round;
    for (std::size_t r = 0; r < n; ++r) {
      ASSERT_EQ(RankOfRow(lows, highs, r), literal[r]) << "round " << round;
      ASSERT_EQ(RankOfDigitRow(pairs.data(), r), literal[r]) << "round " << round;
    }
    std::vector<uint32_t> digits;
    RankDigitRows(pairs.data(), n, &scratch, &digits);
    ASSERT_EQ(digits, literal) << "round " << round;
  }
  EXPECT_TRUE(RankRows({}, {}).empty());
  // Any number outside 0..9999, at any place, leaves the digit rankers out
  // (six rows, and forty, which wide vectors take eight entries at a time).
  for (const std::size_t rows : {std::size_t{6}, std::size_t{40}}) {
    for (std::size_t at = 0; at < 2 * rows; ++at) {
      for (const int32_t bad : {-1, 10000, INT32_MIN}) {
        std::vector<int32_t> pairs(2 * rows, 9999);
        pairs[at] = bad;
        EXPECT_FALSE(AllDigitAddOns(pairs.data(), rows)) << at << " " << bad;
        EXPECT_TRUE(AllDigitAddOns(pairs.data(), at / 2)) << at;  // the rows before it
      }
    }
  }
}

TEST(RankRows, PackedAddOnsCompareAsText) {
  EXPECT_LT(PackAddOn("A100"), PackAddOn("B000"));
  EXPECT_LT(PackAddOn("0999"), PackAddOn("1000"));
  EXPECT_LT(PackAddOn("12 A"), PackAddOn("12A "));
  EXPECT_LT(PackAddOn("1200"), PackAddOn("\x80" "000"));  // bytes compare unsigned
}

}  // namespace
}  // namespace corvdb
