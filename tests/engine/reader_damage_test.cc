// Damaged files: every byte flipped and every length cut. Whatever the damage,
// opening gives 0 or -3, a lookup a count, -1 or -3, and nothing reads outside
// the file (the sanitizer build checks that).
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "reader_test_file.h"

namespace corvdb {
namespace {

using corvellan::test::TempDir;
using testfile::Block;
using testfile::BuildFile;
using testfile::Fields;
using testfile::MakeRow;
using testfile::Request;

// A small file with every kind of column content: ranges and single add-ons,
// prefixes and postfixes, repeated values, two blocks.
std::string SampleFile(testfile::Layout* layout) {
  Block a{"02134", {}, {}, {}};
  for (int i = 0; i < 6; ++i) {
    Fields f;
    f.zip = "02134";
    f.addOnLow = i == 5 ? "A100" : "00" + std::to_string(10 + i);
    f.addOnHigh = i == 5 ? "A199" : "00" + std::to_string(10 + i);
    f.street = i < 3 ? "MAIN" : "MAINE";
    f.firm = i == 2 ? "ACME WIDGETS" : "";
    f.unitAbbrev = i == 4 ? "APT" : "";
    f.unitLow = i == 4 ? "1A" : "";
    f.unitHigh = i == 4 ? "9A" : "";
    f.primaryLow = std::to_string(100 + i);
    f.primaryHigh = std::to_string(198 + i);
    f.updateKey = static_cast<uint32_t>(7 + 3 * i);
    a.rows.push_back(MakeRow(f));
  }
  Block b{"99950", {}, {}, {}};
  Fields f;
  f.zip = "99950";
  f.urbanization = "URB SAN JUAN";
  b.rows.push_back(MakeRow(f));
  return BuildFile({a, b}, layout);
}

struct Probe {
  const char* zip;
  const char* addOn;
  int32_t n;
};
constexpr Probe kProbes[] = {{"02134", "0010", 1}, {"02134", "0014", 1}, {"02134", "A150", 1},
                             {"02134", "0012", 2}, {"99950", "1234", 1}, {"12345", "0001", 1}};

// Opens `bytes` and runs every probe; fails the test on any undocumented code.
void CheckOutcomes(const TempDir& dir, const std::string& bytes, const std::string& what) {
  ReadZipFile engine;
  const int32_t opened = testfile::OpenBytes(engine, dir, bytes);
  ASSERT_TRUE(opened == 0 || opened == -3) << what << ": opening gave " << opened;
  for (const Probe& p : kProbes) {
    std::string record = Request(p.zip, p.addOn);
    const std::string before = record;
    const int32_t rc = engine.zipcodeToAddress(record.data(), p.n);
    if (opened != 0) {
      EXPECT_EQ(rc, -3) << what;
    } else {
      EXPECT_TRUE(rc == -1 || rc >= 1) << what << ": lookup gave " << rc;
    }
    if (rc < 0) {
      EXPECT_EQ(record, before) << what << ": a failed lookup changed the record";
    }
    char zip4[182], cs[129], urb[129];
    EXPECT_EQ(engine.getZip4Rec(zip4, cs, urb), 0);
  }
}

TEST(ReaderDamage, TheUndamagedSampleAnswersEveryProbe) {
  TempDir dir;
  ReadZipFile engine;
  ASSERT_EQ(testfile::OpenBytes(engine, dir, SampleFile(nullptr)), 0);
  const int32_t expected[] = {1, 1, 1, -1, 1, -1};
  for (std::size_t i = 0; i < std::size(kProbes); ++i) {
    std::string record = Request(kProbes[i].zip, kProbes[i].addOn);
    EXPECT_EQ(engine.zipcodeToAddress(record.data(), kProbes[i].n), expected[i]) << kProbes[i].addOn;
  }
}

TEST(ReaderDamage, EveryTruncation) {
  TempDir dir;
  const std::string file = SampleFile(nullptr);
  for (std::size_t n = 0; n < file.size(); ++n) {
    CheckOutcomes(dir, file.substr(0, n), "cut at " + std::to_string(n));
    if (HasFatalFailure()) return;
  }
}

TEST(ReaderDamage, EveryByteFlipped) {
  TempDir dir;
  const std::string file = SampleFile(nullptr);
  for (std::size_t i = 0; i < file.size(); ++i) {
    for (unsigned mask : {0x01u, 0x80u, 0xFFu}) {
      std::string damaged = file;
      damaged[i] = static_cast<char>(damaged[i] ^ mask);
      CheckOutcomes(dir, damaged, "byte " + std::to_string(i) + " ^ " + std::to_string(mask));
      if (HasFatalFailure()) return;
    }
  }
}

TEST(ReaderDamage, RandomDamageInEveryArea) {
  testfile::Layout l;
  const std::string file = SampleFile(&l);
  // Blocks, the top-level words and directory, the suffix table, the index areas.
  const std::pair<uint32_t, uint32_t> areas[] = {
      {0, 4}, {4, l.h - 4}, {l.h - 4, l.tables}, {l.tables, l.indexes}, {l.indexes, static_cast<uint32_t>(file.size())}};
  std::mt19937 random(20240611);
  TempDir dir;
  for (const auto& [begin, end] : areas) {
    for (int round = 0; round < 300; ++round) {
      std::string damaged = file;
      const int flips = 1 + static_cast<int>(random() % 8);
      for (int k = 0; k < flips; ++k) {
        const uint32_t at = begin + static_cast<uint32_t>(random() % (end - begin));
        damaged[at] = static_cast<char>(random());
      }
      CheckOutcomes(dir, damaged, "area at " + std::to_string(begin) + " round " + std::to_string(round));
      if (HasFatalFailure()) return;
    }
  }
}

TEST(ReaderDamage, BlockHeadersThatClaimTooMuch) {
  TempDir dir;
  testfile::Layout l;
  std::string file = SampleFile(&l);
  const uint32_t block = l.blockOffsets["02134"];
  auto patched = [&](uint32_t at, uint32_t v) {
    std::string f = file;
    EncodeFixed32(reinterpret_cast<uint8_t*>(f.data() + at), v);
    return f;
  };
  // More rows than the columns hold: the columns read on into the data after
  // them, which may or may not produce the entries; the reader stays inside the
  // blocks either way. Beyond kMaxBlockRows the header itself is refused.
  for (uint32_t rows : {7u, 1000u, kMaxBlockRows, kMaxBlockRows + 1, 0xFFFFFFFFu}) {
    ReadZipFile engine;
    ASSERT_EQ(testfile::OpenBytes(engine, dir, patched(block + 4, rows)), 0);
    std::string record = Request("02134", "0010");
    const int32_t rc = engine.zipcodeToAddress(record.data(), 1);
    if (rows > kMaxBlockRows) {
      EXPECT_EQ(rc, -1) << rows;
    } else {
      EXPECT_TRUE(rc == -1 || rc >= 1) << rows << ": " << rc;
    }
    record = Request("99950", "1234");
    EXPECT_EQ(engine.zipcodeToAddress(record.data(), 1), 1) << "the other block is intact";
  }
  for (int c : {0, 20, 36}) {
    ReadZipFile engine;
    ASSERT_EQ(testfile::OpenBytes(engine, dir, patched(block + 8 + 4 * static_cast<uint32_t>(c), 0x00FFFFFF)), 0);
    std::string record = Request("02134", "0010");
    EXPECT_EQ(engine.zipcodeToAddress(record.data(), 1), -1) << c;
  }
  // Zero rows: a block that holds nothing.
  ReadZipFile engine;
  ASSERT_EQ(testfile::OpenBytes(engine, dir, patched(block + 4, 0)), 0);
  std::string record = Request("02134", "0000");
  EXPECT_EQ(engine.zipcodeToAddress(record.data(), 1), -1);
}

TEST(ReaderDamage, BlockOutsideItsFourMegabyteWindow) {
  // A block must fit in the 4 MB that follow its start rounded down to 64 KB.
  // One that does not is not found; the ZIP code after it still is. Here the
  // City-State column starts beyond the window (the columns before it are
  // fine, the first one followed by 4 MB of filler).
  Block big = testfile::SimpleBlock("11111", 2);
  big.rawColumns[kUrbTable] = std::string("\0\x81", 2) + std::string(kWindowSize, ' ');
  big.rawColumns[kCsTable] = std::string("\0\x81\0", 3);
  Block small = testfile::SimpleBlock("22222", 2);
  TempDir dir;
  ReadZipFile engine;
  ASSERT_EQ(testfile::OpenBytes(engine, dir, BuildFile({big, small})), 0);
  std::string record = Request("11111", "0001");
  EXPECT_EQ(engine.zipcodeToAddress(record.data(), 1), -1);
  record = Request("22222", "0001");
  EXPECT_EQ(engine.zipcodeToAddress(record.data(), 1), 1);
}

}  // namespace
}  // namespace corvdb
