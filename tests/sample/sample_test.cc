// corvdb sample: the generated USPS product files, through the C++ API and
// through the built tool. Field offsets are written out here from the
// published record layouts rather than taken from the generator's header, so a
// wrong offset there shows up as a failure here.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "sample/names.h"
#include "sample/sample_data.h"
#include "sample/sample_generator.h"
#include "test_support.h"

namespace corvdb::tools {
namespace {

using corvellan::test::BinDir;
using corvellan::test::FileExists;
using corvellan::test::ReadFile;
using corvellan::test::RunCommand;
using corvellan::test::SourceDir;
using corvellan::test::TempDir;
using corvellan::test::WriteFile;
namespace fs = std::filesystem;

std::string F(const std::string& r, size_t offset, size_t length) { return r.substr(offset, length); }
std::string_view V(const std::string& r, size_t offset, size_t length) {
  return std::string_view(r).substr(offset, length);
}
std::string_view TrimV(std::string_view s) {
  const size_t a = s.find_first_not_of(' ');
  if (a == std::string_view::npos) return {};
  return s.substr(a, s.find_last_not_of(' ') - a + 1);
}
std::string Trim(std::string_view s) { return std::string(TrimV(s)); }
bool Digits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}
// Left-justified, blank padded: no leading blank unless the field is empty.
bool LeftJustified(std::string_view s) { return s[0] != ' ' || TrimV(s).empty(); }
bool Upper(char c) { return c >= 'A' && c <= 'Z'; }
bool OneOf(char c, std::string_view set) { return set.find(c) != std::string_view::npos; }
// City-State key: C and five characters 0-9 A-Z.
bool IsKey(const std::string& k) {
  return k.size() == 6 && k[0] == 'C' &&
         std::all_of(k.begin() + 1, k.end(), [](char c) { return Upper(c) || (c >= '0' && c <= '9'); });
}

// Splits a product file into records of `size` bytes, each followed by CR LF.
std::vector<std::string> Records(const std::string& bytes, size_t size, std::string* problem) {
  std::vector<std::string> out;
  if (bytes.size() % (size + 2) != 0) {
    *problem = "file length " + std::to_string(bytes.size()) + " is not a multiple of " + std::to_string(size + 2);
    return out;
  }
  for (size_t at = 0; at < bytes.size(); at += size + 2) {
    if (bytes.compare(at + size, 2, "\r\n") != 0) {
      *problem = "record at byte " + std::to_string(at) + " does not end in CR LF";
      return {};
    }
    out.push_back(bytes.substr(at, size));
  }
  return out;
}

struct Sample {
  std::vector<std::string> zip4;        // detail records, copyright record removed
  std::vector<std::string> city_state;  // likewise
  std::string zip4_header, city_state_header;
  SampleSummary summary;
};

Sample Load(const std::string& dir) {
  Sample s;
  std::string problem;
  auto z = Records(ReadFile(dir + "/zip4.txt"), 182, &problem);
  EXPECT_EQ(problem, "");
  auto c = Records(ReadFile(dir + "/ctystate.txt"), 129, &problem);
  EXPECT_EQ(problem, "");
  if (z.empty() || c.empty()) return s;
  s.zip4_header = z.front();
  s.city_state_header = c.front();
  s.zip4.assign(z.begin() + 1, z.end());
  s.city_state.assign(c.begin() + 1, c.end());
  return s;
}

SampleOptions Options(const std::string& out, uint64_t records, std::vector<std::string> states,
                      uint64_t seed = 1) {
  SampleOptions o;
  o.out_dir = out;
  o.records = records;
  o.states = std::move(states);
  o.seed = seed;
  o.data_dir = SourceDir() + "/data";
  return o;
}

// One mid-sized sample shared by the shape and validity tests: New York (many
// PO-box and unique ZIP codes), Puerto Rico (urbanizations), the military
// "state" AE and North Dakota (rural).
constexpr uint64_t kSharedRecords = 200000;
const std::vector<std::string> kSharedStates = {"NY", "PR", "AE", "ND"};

class SampleFilesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir();
    std::string error;
    summary_ = new SampleSummary();
    ok_ = GenerateSample(Options(dir_->path(), kSharedRecords, kSharedStates), &error, summary_);
    error_ = new std::string(error);
    sample_ = new Sample(Load(dir_->path()));
  }
  static void TearDownTestSuite() {
    delete sample_;
    delete error_;
    delete summary_;
    delete dir_;
  }
  void SetUp() override { ASSERT_TRUE(ok_) << *error_; }

  static const Sample& sample() { return *sample_; }

  static TempDir* dir_;
  static SampleSummary* summary_;
  static bool ok_;
  static std::string* error_;
  static Sample* sample_;
};
TempDir* SampleFilesTest::dir_ = nullptr;
SampleSummary* SampleFilesTest::summary_ = nullptr;
bool SampleFilesTest::ok_ = false;
std::string* SampleFilesTest::error_ = nullptr;
Sample* SampleFilesTest::sample_ = nullptr;

TEST_F(SampleFilesTest, WritesExactlyTheRecordsAskedForAndCountsThem) {
  EXPECT_EQ(sample().zip4.size(), kSharedRecords);
  EXPECT_EQ(summary_->detail_records, kSharedRecords);
  EXPECT_EQ(summary_->city_state_records, sample().city_state.size());
  std::map<char, uint64_t> counted;
  for (const auto& r : sample().zip4) ++counted[r[17]];
  for (size_t i = 0; i < std::size(kRecordTypes); ++i) {
    EXPECT_EQ(summary_->by_type[i], counted[kRecordTypes[i]]) << kRecordTypes[i];
  }
  // Nothing but the two files is left in the directory.
  size_t entries = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir_->path())) ++entries;
  EXPECT_EQ(entries, 2u);
}

TEST_F(SampleFilesTest, CopyrightRecordsComeFirst) {
  EXPECT_EQ(sample().zip4_header[0], 'C');
  EXPECT_EQ(sample().city_state_header[0], 'C');
  EXPECT_NE(sample().zip4_header.find("COPYRIGHT"), std::string::npos);
  for (const auto& r : sample().zip4) ASSERT_EQ(r[0], 'D') << r;
  for (const auto& r : sample().city_state) ASSERT_EQ(r[0], 'D') << r;
}

TEST_F(SampleFilesTest, AllTextIsUpperCasePrintableAscii) {
  for (const auto* records : {&sample().zip4, &sample().city_state}) {
    for (const auto& r : *records) {
      const bool clean = std::all_of(r.begin(), r.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u >= 0x20 && u < 0x80 && !(c >= 'a' && c <= 'z');
      });
      ASSERT_TRUE(clean) << r;
    }
  }
}

// The first field of a detail record that holds a bad value, or "". Works on
// views: it runs over every record of the shared sample.
std::string DetailProblem(const std::string& r) {
  static const std::set<std::string, std::less<>> designators = {
      "",    "APT", "STE",  "UNIT", "BLDG", "FL",   "RM",   "LOT",  "SPC", "PH",
      "BSMT", "REAR", "FRNT", "LBBY", "OFC", "UPPR", "LOWR", "SIDE", "DEPT", "BOX"};
  static const std::set<std::string, std::less<>> directions = {"", "N", "S", "E", "W", "NE", "NW", "SE", "SW"};
  static const std::set<std::string, std::less<>> states(kSharedStates.begin(), kSharedStates.end());
  if (!Digits(V(r, 1, 5))) return "ZIP code";
  if (!Upper(r[6]) || !Digits(V(r, 7, 9))) return "update key";
  if (r[16] != 'A') return "action code";
  if (!OneOf(r[17], "GHFSPRM")) return "record type";
  if (!OneOf(r[18], "CRHBG") || !Digits(V(r, 19, 3))) return "carrier route";
  if (!directions.count(TrimV(V(r, 22, 2))) || !directions.count(TrimV(V(r, 56, 2)))) return "direction";
  if (TrimV(V(r, 24, 28)).empty()) return "street name";
  // A direction before the name goes in the pre-direction field, never into the name (N CENTER).
  const std::string_view first_word = V(r, 24, 28).substr(0, V(r, 24, 28).find(' '));
  if (!first_word.empty() && directions.count(first_word) && V(r, 25 + first_word.size(), 1) != " ") {
    return "direction in street name";
  }
  for (const auto& [offset, length] : {std::pair{24, 28}, {58, 10}, {68, 10}, {79, 40}, {123, 8}, {131, 8}}) {
    if (!LeftJustified(V(r, offset, length))) return "justification at " + std::to_string(offset);
  }
  if (!OneOf(r[78], "OEB")) return "primary odd/even";
  if (!designators.count(TrimV(V(r, 119, 4)))) return "secondary abbreviation";
  // A secondary odd/even code goes with a secondary number and only then.
  const bool has_secondary_number = !TrimV(V(r, 123, 8)).empty();
  if (has_secondary_number ? !OneOf(r[139], "OEB") : r[139] != ' ') return "secondary odd/even";
  if (!Digits(V(r, 140, 4)) || !Digits(V(r, 144, 4)) || V(r, 140, 4) > V(r, 144, 4)) return "add-on";
  if (!OneOf(r[148], "BA")) return "base/alternate";
  if (!OneOf(r[149], " L")) return "LACS";
  if (!OneOf(r[150], " ABCDE")) return "government building";
  if (!Digits(V(r, 151, 6))) return "finance number";
  if (!states.count(V(r, 157, 2))) return "state";
  if (!Digits(V(r, 159, 3))) return "county";
  if (!Digits(V(r, 162, 2)) && V(r, 162, 2) != "AL") return "congressional district";
  return "";
}

TEST_F(SampleFilesTest, DetailRecordFieldsHoldValidValues) {
  for (const auto& r : sample().zip4) ASSERT_EQ(DetailProblem(r), "") << r;
}

TEST_F(SampleFilesTest, NumberedRangesAreOrderedAndMatchTheirParity) {
  for (const auto& r : sample().zip4) {
    const std::string low = Trim(F(r, 58, 10)), high = Trim(F(r, 68, 10));
    if (!Digits(low) || !Digits(high)) continue;
    const uint64_t lo = std::stoull(low), hi = std::stoull(high);
    const bool parity_ok = r[78] == 'B' || (lo % 2 == hi % 2 && (lo % 2 == 1) == (r[78] == 'O'));
    ASSERT_TRUE(lo <= hi && parity_ok) << r;
  }
}

TEST_F(SampleFilesTest, CityStateRecordFieldsHoldValidValues) {
  for (const auto& r : sample().city_state) {
    SCOPED_TRACE(r);
    ASSERT_TRUE(Digits(F(r, 1, 5)));
    ASSERT_TRUE(IsKey(F(r, 6, 6)));
    ASSERT_NE(std::string(" PUM").find(r[12]), std::string::npos);
    ASSERT_FALSE(Trim(F(r, 13, 28)).empty());
    ASSERT_TRUE(LeftJustified(F(r, 13, 28)));
    // The abbreviation exists only for names longer than it.
    if (!Trim(F(r, 41, 13)).empty()) {
      ASSERT_GT(Trim(F(r, 13, 28)).size(), 13u);
    }
    ASSERT_NE(std::string("PNSBCAU").find(r[54]), std::string::npos);
    ASSERT_TRUE(r[55] == 'Y' || r[55] == 'N');
    ASSERT_TRUE(IsKey(F(r, 56, 6)));
    ASSERT_FALSE(Trim(F(r, 62, 28)).empty());
    ASSERT_TRUE(r[90] == 'Y' || r[90] == 'N');
    ASSERT_TRUE(Digits(F(r, 93, 6)));
    ASSERT_TRUE(Digits(F(r, 101, 3)));
  }
}

TEST_F(SampleFilesTest, EveryKeyNamesACityStateRecordOfTheSameZipCode) {
  std::map<std::string, const std::string*> by_key;
  for (const auto& r : sample().city_state) {
    ASSERT_TRUE(by_key.emplace(F(r, 6, 6), &r).second) << "duplicate key " << F(r, 6, 6);
  }
  for (const auto& r : sample().city_state) {
    const auto it = by_key.find(F(r, 56, 6));
    ASSERT_NE(it, by_key.end()) << r;
    EXPECT_EQ(F(*it->second, 1, 5), F(r, 1, 5));
    // The last line a record points at is its own last line.
    EXPECT_EQ(F(*it->second, 56, 6), F(*it->second, 6, 6));
    EXPECT_EQ(Trim(F(r, 62, 28)), Trim(F(*it->second, 13, 28)));
  }
  // The first broken reference of a detail record, or "".
  auto problem = [&by_key](const std::string& r) -> std::string {
    const auto last_line = by_key.find(F(r, 176, 6));
    if (last_line == by_key.end()) return "no such last line key";
    if (F(*last_line->second, 1, 5) != F(r, 1, 5)) return "last line of another ZIP code";
    if (F(*last_line->second, 56, 6) != F(r, 176, 6)) return "last line key is not a last line";
    if (!Trim(F(r, 170, 6)).empty()) {
      const auto urbanization = by_key.find(F(r, 170, 6));
      if (urbanization == by_key.end()) return "no such urbanization key";
      if ((*urbanization->second)[54] != 'U') return "urbanization key names no urbanization";
      if (F(*urbanization->second, 1, 5) != F(r, 1, 5)) return "urbanization of another ZIP code";
    }
    if (!Trim(F(r, 164, 6)).empty() && !by_key.count(F(r, 164, 6))) return "no such municipality key";
    return "";
  };
  for (const auto& r : sample().zip4) ASSERT_EQ(problem(r), "") << r;
}

TEST_F(SampleFilesTest, EveryZipCodeOfTheChosenStatesIsPresentInOrder) {
  SampleData data;
  std::string error;
  ASSERT_TRUE(LoadSampleData(SourceDir() + "/data", &data, &error)) << error;
  std::vector<std::string> expected;
  for (const auto& p : data.places) {
    if (std::count(kSharedStates.begin(), kSharedStates.end(), p.state)) expected.push_back(p.zip);
  }
  for (const auto* records : {&sample().zip4, &sample().city_state}) {
    std::vector<std::string> zips;
    for (const auto& r : *records) zips.push_back(F(r, 1, 5));
    ASSERT_TRUE(std::is_sorted(zips.begin(), zips.end()));
    zips.erase(std::unique(zips.begin(), zips.end()), zips.end());
    EXPECT_EQ(zips, expected);
  }
  EXPECT_EQ(summary_->zip_codes, expected.size());
}

TEST_F(SampleFilesTest, SingleAddOnsOfBaseRecordsAreUniqueWithinAZipCode) {
  // Alternate records and add-on ranges may cover base add-ons; two base
  // records with the same single add-on may not (ZIP codes so large that
  // codes must be shared are left out).
  std::map<std::string, uint64_t> size;
  for (const auto& r : sample().zip4) ++size[F(r, 1, 5)];
  std::set<std::string> seen;
  for (const auto& r : sample().zip4) {
    if (r[148] != 'B' || F(r, 140, 4) != F(r, 144, 4) || size[F(r, 1, 5)] > 8000) continue;
    EXPECT_TRUE(seen.insert(F(r, 0, 6) + F(r, 140, 4)).second) << r;
  }
}

TEST_F(SampleFilesTest, StreetsUseCleanNamesAndStandardSuffixes) {
  SampleData data;
  std::string error;
  ASSERT_TRUE(LoadSampleData(SourceDir() + "/data", &data, &error)) << error;
  const std::set<std::string> suffixes(data.suffixes.begin(), data.suffixes.end());
  for (const auto& r : sample().zip4) {
    ASSERT_EQ(F(r, 24, 28).find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 "), std::string::npos) << r;
    const std::string suffix = Trim(F(r, 52, 4));
    if (!suffix.empty()) {
      ASSERT_TRUE(suffixes.count(suffix)) << r;
    }
  }
}

// What a realistic sample must contain; each count is far above chance at
// this size, so a zero means a record kind was lost.
TEST_F(SampleFilesTest, HasTheShapeOfTheNationalProduct) {
  std::map<char, uint64_t> types;
  std::map<std::string, uint64_t> zip_size;
  std::map<std::string, std::set<char>> zip_types;
  uint64_t alternates = 0, covering_ranges = 0, pre_directions = 0, post_directions = 0;
  uint64_t prefixed = 0, lettered = 0, fractions = 0, lacs = 0, government = 0, urbanized = 0;
  uint64_t apartments = 0, suites = 0, unit_letters = 0, firms_with_suites = 0, box_ranges = 0;
  uint64_t rural_routes = 0, highway_contracts = 0, general_delivery = 0, house_from_zero = 0, unit_from_zero = 0;
  for (const auto& r : sample().zip4) {
    ++types[r[17]];
    ++zip_size[F(r, 1, 5)];
    zip_types[F(r, 1, 5)].insert(r[17]);
    const std::string low = Trim(F(r, 58, 10)), street = Trim(F(r, 24, 28));
    alternates += r[148] == 'A';
    covering_ranges += F(r, 140, 4) != F(r, 144, 4) && r[17] != 'P';
    pre_directions += !Trim(F(r, 22, 2)).empty();
    post_directions += !Trim(F(r, 56, 2)).empty();
    prefixed += !low.empty() && low[0] >= 'A' && low[0] <= 'Z';
    lettered += !low.empty() && low.back() >= 'A' && low.back() <= 'Z' && Digits(low.substr(0, low.size() - 1));
    fractions += low.find(" 1/2") != std::string::npos;
    lacs += r[149] == 'L';
    government += r[150] != ' ';
    urbanized += !Trim(F(r, 170, 6)).empty();
    const std::string unit = Trim(F(r, 119, 4)), unit_low = Trim(F(r, 123, 8)), unit_high = Trim(F(r, 131, 8));
    apartments += r[17] == 'H' && unit == "APT" && unit_low != unit_high;
    suites += r[17] == 'H' && unit == "STE" && unit_low != unit_high;
    unit_letters += unit_low == "A" && unit_high.size() == 1 && unit_high != "A";
    firms_with_suites += r[17] == 'F' && unit == "STE";
    box_ranges += r[17] == 'P' && street == "PO BOX" && F(r, 58, 10) != F(r, 68, 10);
    rural_routes += r[17] == 'R' && street.rfind("RR ", 0) == 0;
    highway_contracts += r[17] == 'R' && street.rfind("HC ", 0) == 0;
    general_delivery += r[17] == 'G' && street == "GENERAL DELIVERY" && F(r, 140, 4) == "9999";
    // A range from 0 is even (0-98) or both sides (0-99), never odd.
    if (low == "0") {
      ++house_from_zero;
      EXPECT_TRUE(r[78] == 'E' || r[78] == 'B') << r;
    }
    unit_from_zero += unit_low == "0" && unit_high != "0";
  }
  // Street records dominate; every other kind is present.
  EXPECT_GT(types['S'], kSharedRecords / 2);
  for (const char t : {'H', 'F', 'P', 'R', 'G', 'M'}) EXPECT_GT(types[t], 0u) << t;
  EXPECT_GT(types['H'], kSharedRecords / 20);
  EXPECT_GT(types['F'], kSharedRecords / 25);
  // Ranges from 0 are a small share, not the rule.
  EXPECT_LT(house_from_zero, kSharedRecords / 100);
  EXPECT_LT(unit_from_zero, kSharedRecords / 100);
  for (const uint64_t n : {alternates, covering_ranges, pre_directions, post_directions, prefixed, lettered,
                           fractions, lacs, government, urbanized, apartments, suites, unit_letters,
                           firms_with_suites, box_ranges, rural_routes, highway_contracts, general_delivery,
                           house_from_zero, unit_from_zero}) {
    EXPECT_GT(n, 0u);
  }

  // ZIP codes of very different sizes, including PO-box-only ones with a
  // single record.
  std::vector<uint64_t> sizes;
  for (const auto& [zip, n] : zip_size) sizes.push_back(n);
  std::sort(sizes.begin(), sizes.end());
  EXPECT_EQ(sizes.front(), 1u);
  EXPECT_GT(sizes.back(), 1000u);
  const uint64_t median = sizes[sizes.size() / 2];
  EXPECT_GT(median, 5u);
  EXPECT_LT(median, 500u);
  uint64_t box_only = 0, single_box_only = 0;
  for (const auto& [zip, t] : zip_types) {
    if (t == std::set<char>{'P'}) {
      ++box_only;
      single_box_only += zip_size[zip] == 1;
    }
  }
  EXPECT_GT(box_only, 10u);
  EXPECT_GT(single_box_only, 0u);

  // City-State side: alternate names point at the preferred name of the ZIP
  // code; PO-box, unique and military ZIP codes; urbanizations.
  std::map<char, uint64_t> facilities, classes;
  uint64_t urb_names = 0;
  for (const auto& r : sample().city_state) {
    ++facilities[r[54]];
    ++classes[r[12]];
    if (r[54] == 'U' && F(r, 13, 4) == "URB ") ++urb_names;
    if (r[54] == 'N') {
      EXPECT_NE(F(r, 56, 6), F(r, 6, 6)) << r;
    }
  }
  EXPECT_GT(facilities['P'], 0u);
  EXPECT_GT(facilities['N'], 0u);
  EXPECT_GT(urb_names, 0u);
  for (const char c : {'P', 'U', 'M', ' '}) EXPECT_GT(classes[c], 0u) << c;
}

// Other names of a place: records of facility N that point at the preferred
// last line of their ZIP code, acceptable (Y) or not (N); the other spelling
// of SAINT, FORT, MOUNT ... as an acceptable name.
TEST_F(SampleFilesTest, CityStateListsOtherNamesOfThePlace) {
  std::map<std::string, const std::string*> preferred;  // ZIP code -> its preferred record
  for (const auto& r : sample().city_state) {
    if (r[54] == 'P') preferred.emplace(F(r, 1, 5), &r);
  }
  std::map<std::string, std::set<std::string>> acceptable;  // ZIP code -> acceptable other names
  std::set<std::string> with_other_names;
  std::map<char, uint64_t> mailing;
  for (const auto& r : sample().city_state) {
    if (r[54] != 'N') continue;
    SCOPED_TRACE(r);
    const auto p = preferred.find(F(r, 1, 5));
    ASSERT_NE(p, preferred.end());
    EXPECT_EQ(F(r, 56, 6), F(*p->second, 6, 6));
    EXPECT_EQ(F(r, 62, 28), F(*p->second, 13, 28));
    EXPECT_NE(F(r, 13, 28), F(*p->second, 13, 28));
    ++mailing[r[55]];
    with_other_names.insert(F(r, 1, 5));
    if (r[55] == 'Y') acceptable[F(r, 1, 5)].insert(Trim(F(r, 13, 28)));
  }
  EXPECT_GT(mailing['Y'], 0u);
  EXPECT_GT(mailing['N'], 0u);
  // A realistic share of the ZIP codes (not the military ones) has other names.
  EXPECT_GT(with_other_names.size(), preferred.size() / 6);
  EXPECT_LT(with_other_names.size(), preferred.size() / 2);

  // Nearly every ZIP code named SAINT X, FORT X ... also answers to ST X, FT X.
  uint64_t spelled = 0, listed = 0;
  for (const auto& [zip, r] : preferred) {
    if ((*r)[12] == 'M') continue;
    const std::vector<std::string> forms = OtherCityForms(Trim(F(*r, 13, 28)), 3);
    if (forms.empty()) continue;
    ++spelled;
    listed += acceptable[zip].count(forms.front());
  }
  EXPECT_GT(spelled, 20u);
  EXPECT_GT(listed * 10, spelled * 8) << listed << " of " << spelled;
}

TEST_F(SampleFilesTest, FirmNamesExerciseTitleCase) {
  std::set<std::string> firms;
  for (const auto& r : sample().zip4) firms.insert(Trim(F(r, 79, 40)));
  for (const char* name : {"BANK OF THE WEST", "MCDONALDS", "O'NEIL & SONS", "ST. JOHN'S-ON-THE-LAKE"}) {
    EXPECT_TRUE(firms.count(name)) << name;
  }
}

TEST(SampleGeneratorTest, SameOptionsGiveIdenticalFilesAndOtherSeedsDiffer) {
  TempDir a, b, c;
  std::string error;
  ASSERT_TRUE(GenerateSample(Options(a.path(), 10000, {"RI", "vt"}, 5), &error)) << error;
  ASSERT_TRUE(GenerateSample(Options(b.path(), 10000, {"VT", "RI"}, 5), &error)) << error;
  ASSERT_TRUE(GenerateSample(Options(c.path(), 10000, {"RI", "VT"}, 6), &error)) << error;
  for (const char* name : {"/zip4.txt", "/ctystate.txt"}) {
    const std::string first = ReadFile(a.path() + name);
    EXPECT_FALSE(first.empty());
    EXPECT_TRUE(first == ReadFile(b.path() + name)) << name;
    EXPECT_FALSE(first == ReadFile(c.path() + name)) << name;
  }
  // Another seed changes the content, not the count.
  EXPECT_EQ(ReadFile(a.path() + "/zip4.txt").size(), ReadFile(c.path() + "/zip4.txt").size());
}

// A national sample of the default size has the record mix of the national
// product: about 8 % PO box records and 4 % rural route and highway contract
// records.
TEST(SampleGeneratorTest, DefaultSampleHasRealisticRecordShares) {
  TempDir dir;
  std::string error;
  SampleSummary summary;
  ASSERT_TRUE(GenerateSample(Options(dir.path(), kDefaultSampleRecords, {}), &error, &summary)) << error;
  std::map<char, double> percent;
  for (size_t i = 0; i < std::size(kRecordTypes); ++i) {
    percent[kRecordTypes[i]] = 100.0 * static_cast<double>(summary.by_type[i]) / kDefaultSampleRecords;
  }
  EXPECT_GT(percent['S'], 55);
  EXPECT_NEAR(percent['P'], 8.5, 2.5);
  EXPECT_NEAR(percent['R'], 4.0, 1.5);
  EXPECT_NEAR(percent['H'], 10.0, 4.0);
  EXPECT_NEAR(percent['F'], 8.0, 3.0);
}

uint64_t Fnv1a(const std::string& bytes) {
  uint64_t h = 0xcbf29ce484222325ull;
  for (const char c : bytes) h = (h ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
  return h;
}

// A pinned fingerprint of one small sample. Every build (gcc, clang, any
// optimization level) must produce these bytes: a difference means the output
// depends on the compiler, for instance through two random draws in one
// expression whose evaluation order is unspecified. A deliberate change of the
// generator changes the sample databases and must update these values.
TEST(SampleGeneratorTest, OutputIsTheSameWithEveryBuild) {
  TempDir dir;
  std::string error;
  ASSERT_TRUE(GenerateSample(Options(dir.path(), 3000, {"RI", "PR"}, 11), &error)) << error;
  EXPECT_EQ(Fnv1a(ReadFile(dir.file("zip4.txt"))), 0x80bfe14b30aca866ull);
  EXPECT_EQ(Fnv1a(ReadFile(dir.file("ctystate.txt"))), 0x2db3bfca49e0f3c4ull);
}

TEST(SampleGeneratorTest, AsFewRecordsAsZipCodesGivesOneRecordEach) {
  TempDir dir;
  std::string error;
  SampleSummary summary;
  ASSERT_TRUE(GenerateSample(Options(dir.path(), 91, {"RI"}), &error, &summary)) << error;
  EXPECT_EQ(summary.zip_codes, 91u);
  const Sample s = Load(dir.path());
  std::set<std::string> zips;
  for (const auto& r : s.zip4) zips.insert(F(r, 1, 5));
  EXPECT_EQ(zips.size(), 91u);
  EXPECT_EQ(s.zip4.size(), 91u);
}

TEST(SampleGeneratorTest, BadOptionsAreRefusedBeforeAnythingIsWritten) {
  TempDir dir;
  const std::string out = dir.file("out");
  struct Case {
    SampleOptions options;
    SampleSummary::Failure failure;
    const char* message_part;
  };
  std::vector<Case> cases;
  cases.push_back({Options("", 1000, {"RI"}), SampleSummary::Failure::kBadOptions, "output directory"});
  cases.push_back({Options(out, 0, {"RI"}), SampleSummary::Failure::kBadOptions, "record count"});
  cases.push_back({Options(out, kMaxSampleRecords + 1, {"RI"}), SampleSummary::Failure::kBadOptions, "record count"});
  cases.push_back({Options(out, 90, {"RI"}), SampleSummary::Failure::kBadOptions, "number of ZIP codes (91)"});
  cases.push_back({Options(out, 1000, {"ZZ"}), SampleSummary::Failure::kBadOptions, "unknown state ZZ"});
  cases.push_back({Options(out, 1000, {"CAL"}), SampleSummary::Failure::kBadOptions, "bad state code"});
  SampleOptions no_data = Options(out, 1000, {"RI"});
  no_data.data_dir = dir.file("nowhere");
  cases.push_back({no_data, SampleSummary::Failure::kBadData, "zip_places.csv"});
  for (const auto& c : cases) {
    std::string error;
    SampleSummary summary;
    EXPECT_FALSE(GenerateSample(c.options, &error, &summary)) << c.message_part;
    EXPECT_EQ(summary.failure, c.failure) << error;
    EXPECT_NE(error.find(c.message_part), std::string::npos) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);
  }
  EXPECT_FALSE(FileExists(out + "/zip4.txt"));
}

TEST(SampleGeneratorTest, FailedRunLeavesEarlierFilesUntouched) {
  TempDir dir;
  WriteFile(dir.file("zip4.txt"), "old zip4");
  WriteFile(dir.file("ctystate.txt"), "old city state");
  // The output directory path names a file: nothing can be written there.
  WriteFile(dir.file("plain"), "x");
  std::string error;
  SampleSummary summary;
  EXPECT_FALSE(GenerateSample(Options(dir.file("plain"), 1000, {"RI"}), &error, &summary));
  // Bad data in the data folder: refused before the old files are touched.
  TempDir data;
  fs::copy(SourceDir() + "/data", data.path(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  WriteFile(data.file("zip_places.csv"), "zip,city,state,county_fips,county_name\n0290X,Bad,RI,,\n");
  SampleOptions options = Options(dir.path(), 1000, {"RI"});
  options.data_dir = data.path();
  EXPECT_FALSE(GenerateSample(options, &error, &summary));
  EXPECT_EQ(summary.failure, SampleSummary::Failure::kBadData);
  EXPECT_NE(error.find("line 2"), std::string::npos) << error;
  EXPECT_EQ(ReadFile(dir.file("zip4.txt")), "old zip4");
  EXPECT_EQ(ReadFile(dir.file("ctystate.txt")), "old city state");
  size_t entries = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path())) ++entries;
  EXPECT_EQ(entries, 3u);  // the two old files and "plain": no temporary file left
}

TEST(SampleCommandTest, ToolWritesTheSameFilesAsTheLibrary) {
  TempDir dir;
  const auto r = RunCommand({BinDir() + "/corvdb", "sample", "--out", dir.file("tool"), "--records", "5000",
                             "--states", "ri, De", "--seed", "42", "--data", SourceDir() + "/data"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.err.find("5000 ZIP+4 records"), std::string::npos) << r.err;
  std::string error;
  ASSERT_TRUE(GenerateSample(Options(dir.file("lib"), 5000, {"RI", "DE"}, 42), &error)) << error;
  EXPECT_TRUE(ReadFile(dir.file("tool/zip4.txt")) == ReadFile(dir.file("lib/zip4.txt")));
  EXPECT_TRUE(ReadFile(dir.file("tool/ctystate.txt")) == ReadFile(dir.file("lib/ctystate.txt")));
}

TEST(SampleCommandTest, BadArgumentsGiveOneLineAndStatusTwo) {
  TempDir dir;
  const std::string tool = BinDir() + "/corvdb", out = dir.file("out");
  const std::vector<std::vector<std::string>> cases = {
      {tool, "sample"},
      {tool, "sample", "--out", out, "--records", "0"},
      {tool, "sample", "--out", out, "--records", "12x"},
      {tool, "sample", "--out", out, "--records", "-5"},
      {tool, "sample", "--out", out, "--records", "999999999999"},
      {tool, "sample", "--out", out, "--seed", "abc"},
      {tool, "sample", "--out", out, "--states", "ZZ"},
      {tool, "sample", "--out", out, "--states", ","},
      {tool, "sample", "--out", out, "--data", dir.file("missing")},
  };
  for (const auto& argv : cases) {
    const auto r = RunCommand(argv);
    EXPECT_EQ(r.exit_code, 2) << argv.back();
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_EQ(r.err.rfind("corvdb sample: ", 0), 0u) << r.err;
  }
  EXPECT_FALSE(FileExists(out + "/zip4.txt"));
}

}  // namespace
}  // namespace corvdb::tools
