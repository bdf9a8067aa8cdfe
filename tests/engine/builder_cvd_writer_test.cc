// Whole databases from the writer, read back with the test decoder: every row
// reproduces its records byte for byte, the top level, directory, suffix table
// and index areas have the documented shape, and bad input leaves nothing.
#include "builder/cvd_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <map>
#include <random>
#include <set>

#include "builder/block_builder.h"
#include "builder_decoder.h"
#include "builder_datasets.h"
#include "test_support.h"

namespace corvdb::builder {
namespace {

using builder_test::CvdDecoder;
using builder_test::Dataset;
using builder_test::ExpectedRow;
using builder_test::Handmade;
using builder_test::Random;
using builder_test::RandomText;
using builder_test::MakeCityState;
using builder_test::MakeZip4;
using builder_test::Zip4Fields;
using corvellan::test::ReadFile;
using corvellan::test::TempDir;

const char kSuffixCsv[] = "name,abbreviation\nAVENUE,AVE\nSTREET,ST\nST,ST\nav,ave\n";

// Decodes every block and checks each ZIP code's rows against its records, in input order.
void ExpectRowsRoundTrip(const std::string& bytes, const Dataset& data) {
  CvdDecoder decoder;
  std::string error;
  ASSERT_TRUE(decoder.Open(bytes, &error)) << error;
  std::map<std::string, std::vector<const std::string*>> by_zip;
  for (const auto& r : data.zip4) {
    if (r[0] != 'C') by_zip[r.substr(1, 5)].push_back(&r);
  }
  ASSERT_EQ(decoder.directory.size(), by_zip.size());
  for (const auto& [zip, records] : by_zip) {
    ASSERT_TRUE(decoder.LoadBlock(zip, &error)) << zip << ": " << error;
    ASSERT_EQ(decoder.rows, records.size()) << zip;
    for (uint32_t row = 0; row < decoder.rows; ++row) {
      std::string buffer;
      ASSERT_TRUE(decoder.GetRow(row, &buffer));
      ASSERT_EQ(buffer, ExpectedRow(*records[row], data.city_state)) << "ZIP " << zip << " row " << row;
    }
  }
}

std::string BuildBytes(const Dataset& data, BuildReport* report = nullptr, const char* csv = kSuffixCsv) {
  TempDir dir;
  std::string error;
  const std::string out = dir.file("zip.cvd");
  EXPECT_TRUE(BuildDatabaseFromRecords(data.zip4, data.city_state, csv, out, &error, report)) << error;
  return ReadFile(out);
}

std::string BuildWithOptions(const Dataset& data, bool force_regroup, size_t index_memory,
                             uint64_t bucket_memory = 256u << 20) {
  std::string zip4, city_state;
  for (const auto& r : data.zip4) zip4 += r;
  for (const auto& r : data.city_state) city_state += r;
  const std::string csv = kSuffixCsv;
  TempDir dir;
  BuildOptions options;
  options.zip4.push_back({"zip4", "", &zip4});
  options.city_state.push_back({"cs", "", &city_state});
  options.suffixes = {"suffixes", "", &csv};
  options.output = dir.file("zip.cvd");
  options.force_regroup = force_regroup;
  options.index_memory = index_memory;
  options.bucket_memory = bucket_memory;
  BuildReport report;
  std::string error;
  EXPECT_TRUE(BuildDatabase(options, &report, &error)) << error;
  EXPECT_EQ(report.regrouped, force_regroup);
  return ReadFile(options.output);
}

TEST(CvdWriter, HandmadeRecordsDecodeByteForByte) {
  const Dataset d = Handmade();
  ExpectRowsRoundTrip(BuildBytes(d), d);
}

TEST(CvdWriter, RandomRecordsDecodeByteForByte) {
  const Dataset d = Random(1, 60, 300);
  ExpectRowsRoundTrip(BuildBytes(d), d);
}

TEST(CvdWriter, CopyrightHeadersAreSkipped) {
  Dataset d = Handmade();
  Zip4Fields header;
  header.copyright = "C";
  header.zip = "COPYR";
  d.zip4.insert(d.zip4.begin(), MakeZip4(header));
  d.city_state.insert(d.city_state.begin(), std::string("C") + std::string(128, '\xA9'));
  BuildReport report;
  const std::string bytes = BuildBytes(d, &report);
  EXPECT_EQ(report.header_records, 1u);
  EXPECT_EQ(report.detail_records, d.zip4.size() - 1);
  ExpectRowsRoundTrip(bytes, d);
}

TEST(CvdWriter, TopLevelLayout) {
  const std::string bytes = BuildBytes(Handmade());
  CvdDecoder decoder;
  std::string error;
  ASSERT_TRUE(decoder.Open(bytes, &error)) << error;
  const auto fixed = [&](uint32_t at) { return DecodeFixed32(reinterpret_cast<const uint8_t*>(bytes.data()) + at); };
  const uint32_t h = decoder.h();
  EXPECT_EQ(fixed(h - 4), 0u);  // reserved
  EXPECT_EQ(fixed(h + 4), 0u);  // reserved
  // Directory: ascending ZIP codes. Blocks follow one another in input order
  // from offset 4 up to the reserved word before H.
  ASSERT_EQ(decoder.directory.size(), 3u);
  EXPECT_EQ(decoder.directory[0].first, "00901");
  EXPECT_EQ(decoder.directory[1], std::make_pair(std::string("10001"), 4u));
  EXPECT_EQ(decoder.directory[2].first, "10002");
  uint32_t end_of_blocks = 4;
  for (const char* zip : {"10001", "10002", "00901"}) {
    ASSERT_TRUE(decoder.LoadBlock(zip, &error)) << error;
    EXPECT_EQ(decoder.block_offset(), end_of_blocks);
    end_of_blocks += decoder.block_length();
  }
  EXPECT_EQ(end_of_blocks, h - 4);
  EXPECT_EQ(bytes[decoder.tables() - 1], '\0');  // the directory's closing byte
  // Every spelling as a name, abbreviations too, upper case, each name once.
  EXPECT_EQ(decoder.suffix_table, "!AVENUE$AVE!STREET$ST!ST$ST!AV$AVE!AVE$AVE!");
}

TEST(CvdWriter, BlocksKeepTheirLengthAndColumnsInReadingOrder) {
  const std::string bytes = BuildBytes(Handmade());
  CvdDecoder decoder;
  std::string error;
  ASSERT_TRUE(decoder.Open(bytes, &error));
  ASSERT_TRUE(decoder.LoadBlock("10001", &error));
  EXPECT_EQ(decoder.rows, 3u);
  EXPECT_EQ(decoder.columns[kCopyrightDetailCode].data_offset, 0u);
  for (int c = kColumnCount - 1; c > 0; --c) {
    EXPECT_LT(decoder.columns[c].data_offset, decoder.columns[c - 1].data_offset);
  }
  // A numeric column starts with its own length and ends with a byte 0.
  const uint32_t base = decoder.block_offset() + kBlockHeaderSize;
  const uint32_t at = base + decoder.columns[kPrimaryNumber].data_offset;
  const uint32_t length = DecodeFixed32(reinterpret_cast<const uint8_t*>(bytes.data()) + at);
  EXPECT_EQ(at + length, base + decoder.columns[kPrimaryNumber - 1].data_offset);
  EXPECT_EQ(bytes[at + length - 1], '\0');
  // The last column's data ends the block with a byte 0.
  EXPECT_EQ(bytes[decoder.block_offset() + decoder.block_length() - 1], '\0');
  // The ZIP code column is a single run.
  EXPECT_EQ(decoder.columns[kZipCode].values, std::vector<std::string>{"10001"});
  // Values are stored without trailing blanks, leading blanks kept.
  EXPECT_EQ(*decoder.Entry(kBuildingOrFirmName, 1), "  ACME WIDGETS");
  EXPECT_EQ(*decoder.Entry(kStreetName, 0), "MAIN");
  EXPECT_EQ(*decoder.Entry(kCsLastLineCSName, 0), "NEW YORK");
}

TEST(CvdWriter, IndexesListEveryKeyOncePerZipCode) {
  const Dataset d = Random(2, 40, 60);
  const std::string bytes = BuildBytes(d);
  CvdDecoder decoder;
  std::string error;
  ASSERT_TRUE(decoder.Open(bytes, &error)) << error;
  struct Field {
    int column;
    size_t offset, length;
  };
  for (const Field f : {Field{kStreetName, 24, 28}, Field{kBuildingOrFirmName, 79, 40}, Field{kStateAbbrev, 157, 2},
                        Field{kCsLastLineCSName, 182 + 62, 28}}) {
    using Pairs = std::set<std::pair<std::string, uint32_t>>;
    Pairs want;
    for (const auto& r : d.zip4) {
      const std::string row = ExpectedRow(r, d.city_state);
      std::string key = row.substr(f.offset, f.length);
      key.erase(key.find_last_not_of(' ') + 1);
      key.erase(0, key.find_first_not_of(' '));
      if (!key.empty()) want.emplace(key, static_cast<uint32_t>(std::stoul(r.substr(1, 5))));
    }
    const auto entries = decoder.MainEntries(f.column);
    EXPECT_TRUE(std::is_sorted(entries.begin(), entries.end())) << kColumns[f.column].name;
    EXPECT_EQ(Pairs(entries.begin(), entries.end()), want);
    EXPECT_EQ(entries.size(), want.size());
  }
  for (char last : decoder.AreaLastBytes()) EXPECT_EQ(last, '\0');
}

TEST(CvdWriter, FirstLevelEntriesPointAtTheirGroups) {
  const Dataset d = Random(3, 30, 80);
  CvdDecoder decoder;
  std::string error;
  ASSERT_TRUE(decoder.Open(BuildBytes(d), &error)) << error;
  for (int column : {kStreetName, kBuildingOrFirmName}) {
    const auto main = decoder.MainEntries(column);
    const auto first = decoder.FirstLevelEntries(column);
    std::vector<std::string> prefixes;
    for (size_t i = 0; i < main.size(); ++i) {
      std::string p = main[i].first.substr(0, 3);
      p.resize(3, ' ');
      if (!prefixes.empty() && prefixes.back() == p) continue;
      prefixes.push_back(p);
      ASSERT_LE(prefixes.size(), first.size());
      EXPECT_EQ(first[prefixes.size() - 1].first, p);
      EXPECT_EQ(first[prefixes.size() - 1].second, decoder.MainEntryOffset(column, i)) << p;
    }
    EXPECT_EQ(first.size(), prefixes.size());
  }
}

TEST(CvdWriter, IndexLookupsFindTheirZipCodes) {
  Dataset d;
  d.city_state = {MakeCityState("K1", "00001", "SPRINGFIELD", "IL"), MakeCityState("K2", "00002", "SPRING", "OR"),
                  MakeCityState("K3", "00003", "SHELBYVILLE", "IL")};
  auto add = [&](const char* zip, const char* key, const char* state, const char* street, const char* firm) {
    Zip4Fields f;
    f.zip = zip;
    f.last_line_key = key;
    f.state = state;
    f.street = street;
    f.firm = firm;
    d.zip4.push_back(MakeZip4(f));
  };
  add("00001", "K1", "IL", "MAIN", "ACME");
  add("00001", "K1", "IL", "MAINE", "");
  add("00002", "K2", "OR", "MAINE", "ACME INC");
  add("00002", "K2", "OR", "MA", "");
  add("00003", "K3", "IL", "A", "A");
  add("00003", "K3", "IL", "A B", "");
  CvdDecoder decoder;
  std::string error;
  ASSERT_TRUE(decoder.Open(BuildBytes(d), &error)) << error;
  using Zips = std::set<uint32_t>;
  EXPECT_EQ(decoder.FindKey(kStreetName, "MAIN", false), (Zips{1, 2}));
  EXPECT_EQ(decoder.FindKey(kStreetName, "MAIN", true), (Zips{1}));
  EXPECT_EQ(decoder.FindKey(kStreetName, "MA", true), (Zips{2}));   // shorter than K: the walk
  EXPECT_EQ(decoder.FindKey(kStreetName, "MA", false), (Zips{1, 2}));
  EXPECT_EQ(decoder.FindKey(kStreetName, "A", true), (Zips{3}));
  EXPECT_EQ(decoder.FindKey(kStreetName, "A B", true), (Zips{3}));
  EXPECT_EQ(decoder.FindKey(kStreetName, "XYZ", false), Zips{});
  EXPECT_EQ(decoder.FindKey(kStreetName, "AIN", false), Zips{});  // no match across entries
  EXPECT_EQ(decoder.FindKey(kBuildingOrFirmName, "ACME", false), (Zips{1, 2}));
  EXPECT_EQ(decoder.FindKey(kBuildingOrFirmName, "ACME", true), (Zips{1}));
  EXPECT_EQ(decoder.FindKey(kStateAbbrev, "IL", true), (Zips{1, 3}));
  EXPECT_EQ(decoder.FindKey(kCsLastLineCSName, "SPRING", false), (Zips{1, 2}));
  EXPECT_EQ(decoder.FindKey(kCsLastLineCSName, "SHELBYVILLE", true), (Zips{3}));
}

TEST(CvdWriter, UngroupedInputGivesTheSameFile) {
  // Sorted by ZIP code, the streamed blocks lie in the order regrouping writes them.
  Dataset grouped = Random(4, 50, 40);
  std::stable_sort(grouped.zip4.begin(), grouped.zip4.end(),
                   [](const std::string& a, const std::string& b) { return a.compare(1, 5, b, 1, 5) < 0; });
  // The same records with ZIP codes interleaved, each ZIP code's records in their order.
  Dataset mixed = grouped;
  std::map<std::string, std::vector<std::string>> queues;
  for (const auto& r : grouped.zip4) queues[r.substr(1, 5)].push_back(r);
  mixed.zip4.clear();
  std::mt19937 rng(5);
  while (!queues.empty()) {
    auto it = std::next(queues.begin(), static_cast<long>(rng() % queues.size()));
    mixed.zip4.push_back(it->second.front());
    it->second.erase(it->second.begin());
    if (it->second.empty()) queues.erase(it);
  }
  BuildReport report;
  const std::string want = BuildBytes(grouped);
  EXPECT_EQ(BuildBytes(mixed, &report), want);
  EXPECT_TRUE(report.regrouped);
  EXPECT_EQ(BuildWithOptions(grouped, true, 32u << 20), want);
}

TEST(CvdWriter, BucketsLargerThanMemoryGiveTheSameFile) {
  Dataset d = Random(12, 40, 60);
  std::stable_sort(d.zip4.begin(), d.zip4.end(),
                   [](const std::string& a, const std::string& b) { return a.compare(1, 5, b, 1, 5) < 0; });
  EXPECT_EQ(BuildWithOptions(d, true, 32u << 20, 1), BuildBytes(d));
}

TEST(CvdWriter, BlocksHoldMoreThanTwentyThousandRows) {
  Dataset d = Handmade();
  const std::string other_zip = d.zip4[3];
  d.zip4.assign(21000, d.zip4[0]);
  d.zip4.push_back(other_zip);
  BuildReport report;
  const std::string bytes = BuildBytes(d, &report);
  EXPECT_EQ(report.largest_block_rows, 21000u);
  // One run per text column; the numbers alternate between low and high.
  EXPECT_LT(report.largest_block, 21000u * 5);
  ExpectRowsRoundTrip(bytes, d);
}

TEST(CvdWriter, SortedRunsOfTheIndexesGiveTheSameFile) {
  const Dataset d = Random(6, 80, 50);
  EXPECT_EQ(BuildWithOptions(d, false, 1024), BuildWithOptions(d, false, 32u << 20));
}

// --- failures

struct Failure {
  std::string error;
  std::vector<std::string> left;  // what is left in the output directory
};

Failure BuildFails(const Dataset& d, const std::string& existing = "") {
  TempDir dir;
  const std::string out = dir.file("zip.cvd");
  if (!existing.empty()) corvellan::test::WriteFile(out, existing);
  Failure f;
  EXPECT_FALSE(BuildDatabaseFromRecords(d.zip4, d.city_state, kSuffixCsv, out, &f.error));
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) f.left.push_back(e.path().filename());
  if (!existing.empty()) {
    EXPECT_EQ(ReadFile(out), existing);
  }
  return f;
}

TEST(CvdWriter, BadRecordsAreNamedAndLeaveNothing) {
  struct Case {
    size_t offset;
    std::string bytes;
    std::string message;
  };
  const Case cases[] = {
      {30, "\xE9", "ZIP+4 records: record 2: byte 0xE9 at position 30 (StreetName): only ASCII text is allowed"},
      {80, "\x07", "ZIP+4 records: record 2: byte 0x07 at position 80 (BuildingOrFirmName)"},
      {2, "X", "ZIP+4 records: record 2: ZIP code \"1X001\" is not 5 digits"},
      {15, " ", "ZIP+4 records: record 2: update key number \"00000000 \" is not 9 digits"},
      {176, "NOPE01", "ZIP+4 records: record 2: preferred last line key \"NOPE01\" has no City-State record"},
      {170, "NOPE02", "ZIP+4 records: record 2: urbanization key \"NOPE02\" has no City-State record"},
      {58, " 12       ", "ZIP+4 records: record 2: primary number low \" 12       \" cannot be stored"},
      {144, "12  ", "ZIP+4 records: record 2: ZIP add-on high \"12  \" cannot be stored"},
  };
  for (const Case& c : cases) {
    Dataset d = Handmade();
    d.zip4[1].replace(c.offset, c.bytes.size(), c.bytes);
    const Failure f = BuildFails(d);
    EXPECT_EQ(f.error.substr(0, c.message.size()), c.message);
    EXPECT_TRUE(f.left.empty()) << f.left.front();
  }
}

TEST(CvdWriter, BadCityStateRecordIsNamed) {
  Dataset d = Handmade();
  d.city_state[2][20] = '\x85';
  EXPECT_EQ(BuildFails(d).error,
            "City-State records: record 3: byte 0x85 at position 20: only ASCII text is allowed");
}

TEST(CvdWriter, FailureKeepsTheExistingDatabase) {
  Dataset d = Handmade();
  d.zip4[3][40] = '\x01';
  const Failure f = BuildFails(d, "old database");
  EXPECT_EQ(f.left, std::vector<std::string>{"zip.cvd"});
}

TEST(CvdWriter, SuccessReplacesTheExistingDatabase) {
  TempDir dir;
  const std::string out = dir.file("zip.cvd");
  corvellan::test::WriteFile(out, "old database");
  const Dataset d = Handmade();
  std::string error;
  ASSERT_TRUE(BuildDatabaseFromRecords(d.zip4, d.city_state, kSuffixCsv, out, &error)) << error;
  EXPECT_EQ(ReadFile(out), BuildBytes(d));
  // The database, its checksum and its place names, nothing else.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3);
  EXPECT_TRUE(corvellan::test::FileExists(out + ".sha256"));
  EXPECT_TRUE(corvellan::test::FileExists(out + ".places"));
}

// Cancelling at each point the writer looks at the flag (first progress call
// while reading, while regrouping, before the indexes, already before the
// start) fails the build with the cancel message and keeps the old database.
TEST(CvdWriter, CancelKeepsTheExistingDatabaseAndLeavesNothingElse) {
  const Dataset d = Random(3, 40, 200);
  std::string zip4, city_state;
  for (const auto& r : d.zip4) zip4 += r;
  for (const auto& r : d.city_state) city_state += r;
  const std::string csv = kSuffixCsv;
  struct Case {
    const char* phase;  // cancel at the first progress call of this phase; null: before the start
    bool regroup;
  };
  for (const Case c : {Case{"reading", false}, Case{"regrouping", true}, Case{"indexes", false},
                       Case{nullptr, false}}) {
    TempDir dir;
    const std::string out = dir.file("zip.cvd");
    corvellan::test::WriteFile(out, "old database");
    std::atomic<bool> cancel{c.phase == nullptr};
    BuildOptions options;
    options.zip4.push_back({"zip4", "", &zip4});
    options.city_state.push_back({"cs", "", &city_state});
    options.suffixes = {"suffixes", "", &csv};
    options.output = out;
    options.force_regroup = c.regroup;
    options.progress_every = 10;
    options.cancel = &cancel;
    std::vector<std::string> phases;
    options.progress = [&](const BuildProgress& p) {
      phases.push_back(p.phase);
      if (c.phase != nullptr && phases.back() == c.phase) cancel = true;
    };
    BuildReport report;
    std::string error;
    EXPECT_FALSE(BuildDatabase(options, &report, &error)) << (c.phase ? c.phase : "start");
    EXPECT_EQ(error, kCancelledMessage);
    EXPECT_EQ(ReadFile(out), "old database");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1)
        << (c.phase ? c.phase : "start");
    if (c.phase != nullptr) {
      ASSERT_FALSE(phases.empty());
      EXPECT_EQ(phases.back(), c.phase) << "stopped at the next record or step";
    }
  }
}

TEST(CvdWriter, InputWithoutDetailRecordsIsAnError) {
  Dataset d = Handmade();
  d.zip4.clear();
  EXPECT_EQ(BuildFails(d).error, "the ZIP+4 input holds no detail records");
}

TEST(CvdWriter, TooLargeBlockIsAnError) {
  // 20,000 rows, each with its own random City-State records and texts: more than 4 MB.
  Dataset d;
  std::mt19937 rng(9);
  for (uint32_t r = 0; r < 20000; ++r) {
    const std::string key = "K" + std::to_string(10000 + r);
    const std::string urb = "U" + std::to_string(10000 + r);
    d.city_state.push_back(MakeCityState(key, "55555", RandomText(rng, 28), "NY", RandomText(rng, 25)));
    d.city_state.push_back(MakeCityState(urb, "55555", RandomText(rng, 28), "NY", RandomText(rng, 25)));
    Zip4Fields f;
    f.zip = "55555";
    f.last_line_key = key;
    f.urbanization_key = urb;
    f.firm = RandomText(rng, 40);
    f.street = RandomText(rng, 28);
    d.zip4.push_back(MakeZip4(f));
  }
  const Failure f = BuildFails(d);
  EXPECT_NE(f.error.find("ZIP code 55555: its block of "), std::string::npos) << f.error;
  EXPECT_NE(f.error.find("is larger than the most a block may hold (4128768)"), std::string::npos) << f.error;
  EXPECT_TRUE(f.left.empty());
}

}  // namespace
}  // namespace corvdb::builder
