// The address search on databases from the writer: candidate ZIP codes, row
// conditions, parities, delivery order, ranks, the call protocol.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "coding.h"
#include "corvdb.h"
#include "platform/profile.h"
#include "search_fixture.h"

namespace corvdb::search_test {
namespace {

Zip4Fields Row(const std::string& zip, const std::string& street = "MAIN") {
  Zip4Fields f;
  f.zip = zip;
  f.street = street;
  return f;
}

TEST_F(SearchDatabase, ZipFieldRangeAndPlainCode) {
  Build({Row("12299"), Row("12300"), Row("12345"), Row("12399"), Row("12400"), Row("00123")});
  Outcome o = Search({.zip = "123*"});
  EXPECT_EQ(o.ids, Want({2, 3, 4}));
  // Every ZIP code of the range is a candidate, in the directory or not, and
  // each costs one 0: the count of 0s is the count InitiateZipSearch gave.
  EXPECT_EQ(o.initiated, 100);
  EXPECT_EQ(o.zeros, 100);

  o = Search({.zip = "123"});
  EXPECT_EQ(o.ids, Want({6}));
  EXPECT_EQ(o.initiated, 1);
  EXPECT_EQ(o.zeros, 1);
  EXPECT_EQ(Ids({.zip = "12345"}), Want({3}));
  EXPECT_EQ(Ids({.zip = "99999"}), Want({}));

  o = Search({.zip = "*"});
  EXPECT_EQ(o.ids, Want({6, 1, 2, 3, 4, 5}));
  EXPECT_EQ(o.zeros, o.initiated);
}

TEST_F(SearchDatabase, StreetLineWithHouseNumberDirectionSuffixAndUnit) {
  const auto row = [](const std::string& pre, const std::string& street, const std::string& suffix,
                      const std::string& low, const std::string& high, const std::string& parity,
                      const std::string& unit, const std::string& unitLow, const std::string& unitHigh,
                      const std::string& unitParity) {
    Zip4Fields f = Row("12345", street);
    f.pre_direction = pre;
    f.suffix = suffix;
    f.primary_low = low;
    f.primary_high = high;
    f.primary_parity = parity;
    f.secondary_abbrev = unit;
    f.secondary_low = unitLow;
    f.secondary_high = unitHigh;
    f.secondary_parity = unitParity;
    return f;
  };
  Build({
      row("N", "MAIN", "ST", "101", "199", "O", "APT", "1", "9", "B"),   // 1 fits
      row("S", "MAIN", "ST", "101", "199", "O", "APT", "1", "9", "B"),   // 2 pre-direction
      row("N", "MAIN", "AVE", "101", "199", "O", "APT", "1", "9", "B"),  // 3 suffix
      row("N", "MAIN", "ST", "100", "198", "E", "APT", "1", "9", "B"),   // 4 house number parity
      row("N", "MAIN", "ST", "201", "299", "O", "APT", "1", "9", "B"),   // 5 house number range
      row("N", "MAIN", "ST", "101", "199", "O", "STE", "1", "9", "B"),   // 6 designator
      row("N", "MAIN", "ST", "101", "199", "O", "APT", "6", "9", "B"),   // 7 unit number range
      row("N", "MAIN", "ST", "101", "199", "O", "APT", "2", "8", "E"),   // 8 unit parity
      row("N", "MAINE", "ST", "101", "199", "O", "APT", "1", "9", "B"),  // 9 begins with MAIN
      row("N", "MAIN", "ST", "123", "123", "B", "APT", "5", "5", "O"),   // 10 fits
  });
  EXPECT_EQ(Ids({.street = "123 N MAIN ST APT 5"}), Want({1, 9, 10}));
  EXPECT_EQ(Ids({.street = "123 N MAIN ST APT 5"}, 1), Want({1, 10}));
  // The same conditions from the separate fields.
  EXPECT_EQ(Ids({.unit = "APT 5", .number = "123", .street = "N MAIN ST"}, 1), Want({1, 10}));
  // The unit field takes precedence over a unit at the end of the street line.
  EXPECT_EQ(Ids({.unit = "STE 5", .street = "123 N MAIN ST"}), Want({6}));
}

TEST_F(SearchDatabase, HouseNumberParity) {
  const auto row = [](const std::string& low, const std::string& high, const std::string& parity) {
    Zip4Fields f = Row("12345");
    f.primary_low = low;
    f.primary_high = high;
    f.primary_parity = parity;
    return f;
  };
  Build({row("100", "198", "E"), row("101", "199", "O"), row("100", "199", "B"), row("124", "124", "")});
  EXPECT_EQ(Ids({.number = "124", .street = "MAIN"}), Want({1, 3}));
  EXPECT_EQ(Ids({.number = "125", .street = "MAIN"}), Want({2, 3}));
  // No digit at the end: no parity condition, the range alone decides.
  EXPECT_EQ(Ids({.number = "124A", .street = "MAIN"}), Want({1, 2, 3, 4}));
  EXPECT_EQ(Ids({.number = "124"}), Want({1, 3}));
}

TEST_F(SearchDatabase, StateAloneDeliversEveryRowOfTheStateInZipAndInputOrder) {
  std::vector<Zip4Fields> rows;
  for (const auto& [zip, state] : std::vector<std::pair<std::string, std::string>>{
           {"10002", "NY"}, {"10001", "NY"}, {"10001", "NY"}, {"20001", "DC"}, {"10002", "NY"}, {"07001", "NJ"}}) {
    Zip4Fields f = Row(zip);
    f.state = state;
    rows.push_back(f);
  }
  Build(rows);
  Outcome o = Search({.state = "NY"});
  EXPECT_EQ(o.ids, Want({2, 3, 1, 5}));
  EXPECT_EQ(o.initiated, 2);
  EXPECT_EQ(o.zeros, 2);
  EXPECT_EQ(Ids({.state = "n"}), Want({6, 2, 3, 1, 5}));  // beginning of, upper-cased
}

TEST_F(SearchDatabase, CallProtocol) {
  Build({Row("10001"), Row("10001"), Row("10002")});
  std::string record(250, '\0');
  // Before any search.
  EXPECT_EQ(engine_.getNextZipMatch(record.data()), -1);

  ASSERT_EQ(engine_.initiateZipSearch(Request({.street = "MAIN"}).data(), 0), 2);
  EXPECT_GT(engine_.getNextZipMatch(record.data()), 0);
  EXPECT_GT(engine_.getNextZipMatch(record.data()), 0);
  EXPECT_EQ(engine_.getNextZipMatch(record.data()), 0);  // on to 10002
  EXPECT_GT(engine_.getNextZipMatch(record.data()), 0);
  EXPECT_EQ(engine_.getNextZipMatch(record.data()), 0);  // ran out
  EXPECT_EQ(engine_.getNextZipMatch(record.data()), -1);
  EXPECT_EQ(engine_.getNextZipMatch(record.data()), -1);

  // No candidate at all: 1, then one 0, then -1.
  ASSERT_EQ(engine_.initiateZipSearch(Request({.zip = "99999", .street = "MAIN"}).data(), 0), 1);
  EXPECT_EQ(engine_.getNextZipMatch(record.data()), 0);
  EXPECT_EQ(engine_.getNextZipMatch(record.data()), -1);
}

TEST_F(SearchDatabase, AFailedStartLeavesNothingToDeliver) {
  Build({Row("10001"), Row("10002")});
  std::string record(250, '\0');
  struct Case {
    Typed typed;
    int32_t initiated;
  };
  for (const Case& c : {Case{{.firm = "NOBODY"}, -1}, Case{{.street = "MAIN", .city = "NOWHERE"}, -1},
                        Case{{.street = "MAIN", .state = "ZZ"}, -1}}) {
    // A running search first, which the failed start must end.
    ASSERT_EQ(engine_.initiateZipSearch(Request({.street = "MAIN"}).data(), 0), 2);
    EXPECT_EQ(engine_.initiateZipSearch(Request(c.typed).data(), 0), c.initiated);
    EXPECT_EQ(engine_.getNextZipMatch(record.data()), -1);
    EXPECT_EQ(record, std::string(250, '\0'));
  }
}

TEST_F(SearchDatabase, AStreetInNoIndexEntryRunsOutAtOnce) {
  // 0 from the start, then the protocol of a search without candidates: one
  // call that returns 0 (running out), then -1. The earlier search's rows are
  // gone, and nothing is written into the record.
  Build({Row("10001"), Row("10002")});
  for (int32_t flags : {0, 1}) {
    std::string record(250, '\0');
    ASSERT_EQ(engine_.initiateZipSearch(Request({.street = "MAIN"}).data(), 0), 2);
    EXPECT_EQ(engine_.initiateZipSearch(Request({.street = "NO SUCH ROAD"}).data(), flags), 0);
    EXPECT_EQ(engine_.getNextZipMatch(record.data()), 0);
    EXPECT_EQ(engine_.getNextZipMatch(record.data()), -1);
    EXPECT_EQ(engine_.getNextZipMatch(record.data()), -1);
    EXPECT_EQ(record, std::string(250, '\0'));
  }
  // A lookup between the start and the calls changes nothing.
  std::string record(250, '\0');
  ASSERT_EQ(engine_.initiateZipSearch(Request({.street = "MAINS"}).data(), 0), 0);
  std::string lookup(250, '\0');
  lookup.replace(233, 9, "100010001");
  EXPECT_EQ(engine_.zipcodeToAddress(lookup.data(), 1), 1);
  EXPECT_EQ(engine_.getNextZipMatch(record.data()), 0);
  EXPECT_EQ(engine_.getNextZipMatch(record.data()), -1);
}

TEST_F(SearchDatabase, BeginningOfAStreetNameAndTheExactFlag) {
  Build({Row("10001", "MA"), Row("10002", "MAIN"), Row("10003", "MAINE"), Row("10004", "MAPLE"),
         Row("10005", "M"), Row("10006", "OAK")});
  EXPECT_EQ(Ids({.street = "MAIN"}), Want({2, 3}));
  EXPECT_EQ(Ids({.street = "MAIN"}, 1), Want({2}));
  // Shorter than the first-level key length: the first-level list is walked.
  EXPECT_EQ(Ids({.street = "MA"}), Want({1, 2, 3, 4}));
  EXPECT_EQ(Ids({.street = "MA"}, 1), Want({1}));
  EXPECT_EQ(Ids({.street = "M"}), Want({1, 2, 3, 4, 5}));
  EXPECT_EQ(Search({.street = "MAINS"}).initiated, 0);
  EXPECT_EQ(Search({.street = "MAPLES"}, 1).initiated, 0);
}

TEST_F(SearchDatabase, ShortStreetLines) {
  Zip4Fields a = Row("12345", "MAIN");
  a.post_direction = "N";
  Zip4Fields b = Row("12345", "MAIN");
  b.post_direction = "S";
  Zip4Fields c = Row("12345", "123");
  c.suffix = "";
  c.post_direction = "N";
  Zip4Fields d = Row("12345", "123");
  d.suffix = "";
  d.post_direction = "NE";
  Zip4Fields e = Row("12345", "OAK");
  e.suffix = "AVE";
  Build({a, b, c, d, e});
  // N alone: a post-direction and no street name (no street condition).
  EXPECT_EQ(Ids({.street = "N"}), Want({1, 3, 4}));
  // 123 N: street 123 with post-direction N (which NE begins with); no house number.
  EXPECT_EQ(Ids({.street = "123 N"}), Want({3, 4}));
  EXPECT_EQ(Ids({.street = "AVE"}), Want({5}));
  EXPECT_EQ(Ids({.street = "MAIN STREET S"}), Want({2}));
}

TEST_F(SearchDatabase, FirmPrefixAndTitleCaseOfDeliveredNames) {
  Zip4Fields f = Row("12345", "MCDONALD");
  f.firm = "BANK OF THE WEST";
  f.last_line_key = "C00002";
  Zip4Fields g = Row("12345");
  g.firm = "BANKERS HALL";
  Build({f, g, Row("12345")}, {MakeCityState("C00002", "12345", "ST. JOHN'S-ON-THE-LAKE", "NY")});
  const Outcome o = Search({.firm = "bank of"});
  ASSERT_EQ(o.ids, Want({1}));
  EXPECT_EQ(o.records[0].substr(1, 40), "Bank of the West" + std::string(24, ' '));
  EXPECT_EQ(o.records[0].substr(203, 22), "St. John's-on-The-Lake");
  EXPECT_EQ(o.records[0].substr(62, 12), "McDonald St ");
  EXPECT_EQ(o.zip4s[0].substr(79, 16), "Bank of the West");
  EXPECT_EQ(Ids({.firm = "BANK"}), Want({1, 2}));
  EXPECT_EQ(Ids({.city = "ST. JOHN"}), Want({1}));
}

// The rank as its definition reads it: row r against every earlier row of
// its block, on the 4-character add-on texts.
std::vector<int32_t> LiteralRanks(const std::vector<std::string>& zip4s) {
  std::vector<int32_t> ranks;
  for (std::size_t r = 0; r < zip4s.size(); ++r) {
    const std::string low = zip4s[r].substr(140, 4);
    const std::string high = zip4s[r].substr(144, 4);
    int32_t rank = 1;
    for (std::size_t k = r; k-- > 0;) {
      if (zip4s[k].compare(1, 5, zip4s[r], 1, 5) != 0) continue;
      const std::string kLow = zip4s[k].substr(140, 4);
      const std::string kHigh = zip4s[k].substr(144, 4);
      if (kLow == low || (low == high && kLow <= low && high <= kHigh)) ++rank;
    }
    ranks.push_back(rank);
  }
  return ranks;
}

TEST_F(SearchDatabase, RankCountsEarlierRowsOfTheBlockAsALookupDoes) {
  std::vector<Zip4Fields> rows;
  const auto add = [&rows](const std::string& zip, const std::string& low, const std::string& high) {
    Zip4Fields f = Row(zip);
    f.addon_low = low;
    f.addon_high = high;
    rows.push_back(f);
  };
  for (const auto& [low, high] : std::vector<std::pair<std::string, std::string>>{
           {"1200", "1299"}, {"1234", "1234"}, {"1234", "1234"}, {"1200", "1200"}, {"1250", "1260"},
           {"1255", "1255"}, {"1300", "1200"}, {"A100", "A199"}, {"A150", "A150"}, {"1200", "1299"},
           {"1299", "1299"}, {"1200", "1250"}}) {
    add("12345", low, high);
  }
  std::mt19937 rng(11);
  for (int i = 0; i < 400; ++i) {
    const int low = 1000 + static_cast<int>(rng() % 40);
    const int high = rng() % 3 == 0 ? low + static_cast<int>(rng() % 10) : low;
    add(i % 2 ? "12346" : "12347", std::to_string(low), std::to_string(high));
  }
  Build(rows);
  const Outcome o = Search({.street = "MAIN"});
  ASSERT_EQ(o.ids.size(), rows.size());
  EXPECT_EQ(o.ranks, LiteralRanks(o.zip4s));

  // A record that covers one add-on comes back from the ZIP+4 lookup by its rank.
  for (std::size_t i = 0; i < o.records.size(); ++i) {
    const std::string plus4 = o.records[i].substr(238, 4);
    if (plus4[0] == '\0' || plus4[0] == 'A') continue;
    std::string record = o.records[i];
    ASSERT_GE(engine_.zipcodeToAddress(record.data(), o.ranks[i]), o.ranks[i]);
    std::string zip4(182, '\0');
    engine_.getZip4Rec(zip4.data(), nullptr, nullptr);
    EXPECT_EQ(zip4.substr(7, 9), o.ids[i]) << plus4;
  }
}

TEST_F(SearchDatabase, ALookupBetweenCallsDoesNotDisturbTheSearch) {
  std::vector<Zip4Fields> rows;
  for (int i = 0; i < 30; ++i) {
    Zip4Fields f = Row(i % 3 == 0 ? "10001" : i % 3 == 1 ? "10002" : "10003", i % 4 ? "MAIN" : "OAK");
    f.addon_low = f.addon_high = "00" + std::to_string(10 + i);
    rows.push_back(f);
  }
  Build(rows);
  const Outcome straight = Search({.street = "MAIN"});
  ASSERT_FALSE(straight.ids.empty());

  Outcome interrupted;
  interrupted.initiated = engine_.initiateZipSearch(Request({.street = "MAIN"}).data(), 0);
  int lookups = 0;
  for (;;) {
    std::string record(250, '\0');
    const int32_t rc = engine_.getNextZipMatch(record.data());
    if (rc < 0) break;
    if (rc == 0) {
      ++interrupted.zeros;
    } else {
      Collect(&interrupted, record, rc);
    }
    // Another block, this one again, a ZIP code that does not exist.
    std::string lookup(250, '\0');
    lookup.replace(233, 9, std::vector<const char*>{"100030012", "100010010", "555550000"}[lookups++ % 3]);
    engine_.zipcodeToAddress(lookup.data(), 1);
  }
  EXPECT_EQ(interrupted.initiated, straight.initiated);
  EXPECT_EQ(interrupted.ids, straight.ids);
  EXPECT_EQ(interrupted.ranks, straight.ranks);
  EXPECT_EQ(interrupted.records, straight.records);
  EXPECT_EQ(interrupted.zeros, straight.zeros);
}

TEST_F(SearchDatabase, BlocksOfMoreThanTwentyThousandRows) {
  std::vector<Zip4Fields> rows;
  for (int i = 0; i < 25000; ++i) {
    Zip4Fields f = Row("12345");
    f.primary_low = f.primary_high = std::to_string(100 + 2 * i);
    char addOn[8];
    std::snprintf(addOn, sizeof addOn, "%04d", i % 10000);
    f.addon_low = f.addon_high = addOn;
    rows.push_back(f);
  }
  rows.push_back(Row("12346"));
  Build(rows);
  // Add-ons repeat every 10,000 rows: 4999 is held by rows 4999, 14999, 24999.
  const Outcome o = Search({.number = std::to_string(100 + 2 * 24999), .street = "MAIN"});
  EXPECT_EQ(o.ids, Want({25000}));
  EXPECT_EQ(o.ranks, std::vector<int32_t>{3});
  EXPECT_EQ(Search({.state = "NY"}).ids.size(), 25001u);
}

// Rewrites the index areas at the end of a data file without the byte 0 our
// writer puts at the end of each: every area then ends right after its last
// number (a layout other writers may use).
void DropAreaZeros(const std::string& path) {
  const std::string bytes = corvellan::test::ReadFile(path);
  const auto fixed = [&bytes](std::size_t at) { return DecodeFixed32(reinterpret_cast<const uint8_t*>(bytes.data() + at)); };
  const std::size_t h = fixed(0);
  const std::size_t t = h + fixed(h);
  const std::size_t u = t + fixed(t);
  std::string out = bytes.substr(0, u);
  int areas = 0;
  for (std::size_t p = u; p < bytes.size(); ++areas) {
    const uint32_t length = fixed(p);
    ASSERT_GE(length, 5u);
    ASSERT_EQ(bytes[p + length - 1], '\0');
    PutFixed32(&out, length - 1);
    out += bytes.substr(p + 4, length - 5);
    p += length;
  }
  ASSERT_EQ(areas, 6);  // street and firm: first-level and main; state, city: main
  corvellan::test::WriteFile(path, out);
}

TEST_F(SearchDatabase, IndexAreasWithoutClosingZeroKeepTheirLastEntries) {
  // The highest ZIP code holds the last key of every index: street ZION, firm
  // ZULU, state WY, city ZENITH (and the last first-level entries ZIO, ZUL).
  std::vector<Zip4Fields> rows = {Row("10001", "ELM"), Row("50001", "ZION"), Row("99950", "ZION")};
  rows[0].firm = "ACME";
  rows[1].state = "WY";
  rows[2].state = "WY";
  rows[2].firm = "ZULU";
  rows[2].last_line_key = "C00009";
  Build(rows, {MakeCityState("C00009", "99950", "ZENITH", "WY")});
  const std::vector<Typed> searches = {{.street = "ZION"}, {.street = "Z"},   {.firm = "ZULU"},
                                       {.firm = "ZU"},     {.state = "WY"},   {.city = "ZENITH"},
                                       {.street = "ELM", .state = "NY"}};
  std::vector<Outcome> before;
  for (const Typed& t : searches) before.push_back(Search(t));
  EXPECT_EQ(before[0].ids, Want({2, 3}));
  EXPECT_EQ(before[2].ids, Want({3}));
  EXPECT_EQ(before[4].ids, Want({2, 3}));
  EXPECT_EQ(before[5].ids, Want({3}));

  const std::string path = dir_.file("zip.cvd");
  DropAreaZeros(path);
  ReadZipFile other;
  ASSERT_EQ(other.openPath(path), 0);
  for (std::size_t i = 0; i < searches.size(); ++i) {
    Outcome o;
    o.initiated = other.initiateZipSearch(Request(searches[i]).data(), 0);
    std::string record(250, '\0');
    for (int32_t rc; o.initiated > 0 && (rc = other.getNextZipMatch(record.data())) >= 0;) {
      if (rc == 0) ++o.zeros;
      else o.records.push_back(record);
    }
    EXPECT_EQ(o.initiated, before[i].initiated) << i;
    EXPECT_EQ(o.zeros, before[i].zeros) << i;
    EXPECT_EQ(o.records, before[i].records) << i;
  }
}

class SearchExports : public testing::Test {
 protected:
  void SetUp() override { ResetProcessEngineForTesting(); }
  void TearDown() override { ResetProcessEngineForTesting(); }

  corvellan::test::TempDir config_;
  corvellan::test::ScopedEnv xdg_{"XDG_CONFIG_HOME", config_.path()};
  corvellan::test::TempDir data_;
};

TEST_F(SearchExports, OpeningFailureNullPointersAndARunThroughTheSettings) {
  std::string record(250, '\0');
  const std::string request = Request({.street = "MAIN"});
  EXPECT_EQ(GetNextZipMatch(record.data()), -1);
  ASSERT_TRUE(corvellan::WriteProfileString("Corvel.ini", "Directories", "Data", data_.path() + "/"));
  EXPECT_EQ(InitiateZipSearch(request.data(), 0), -3);
  EXPECT_EQ(GetNextZipMatch(record.data()), -1);

  std::string error;
  ASSERT_TRUE(builder::BuildDatabaseFromRecords({MakeZip4(Row("12345"))},
                                                {MakeCityState("C00001", "12345", "SPRINGFIELD")}, kSuffixCsv,
                                                data_.file("zip.cvd"), &error))
      << error;
  ASSERT_EQ(InitiateZipSearch(request.data(), 0), 1);
  EXPECT_EQ(GetNextZipMatch(nullptr), -1);  // the search stays where it is
  EXPECT_EQ(GetNextZipMatch(record.data()), 1);
  EXPECT_EQ(record.substr(233, 9), "123450001");
  EXPECT_EQ(GetNextZipMatch(record.data()), 0);
  EXPECT_EQ(GetNextZipMatch(record.data()), -1);

  ASSERT_EQ(InitiateZipSearch(request.data(), 0), 1);
  EXPECT_EQ(InitiateZipSearch(nullptr, 0), -1);
  EXPECT_EQ(GetNextZipMatch(record.data()), -1);
}

}  // namespace
}  // namespace corvdb::search_test
