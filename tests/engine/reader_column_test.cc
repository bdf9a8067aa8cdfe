// Column decoding: text runs, numeric codes, and how the columns build the
// fields of a row together.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "reader_test_file.h"

namespace corvdb {
namespace {

using corvellan::test::TempDir;
using testfile::Block;
using testfile::BuildFile;

// A number column's decoded list, as a plain vector.
std::vector<int32_t> Numbers(const numberTable& column) {
  return std::vector<int32_t>(column.numbers().begin(), column.numbers().end());
}
using testfile::SimpleBlock;

std::string Mode2(uint32_t v) {
  std::string s;
  PutVarMode2(&s, v);
  return s;
}

std::string TextRun(std::string value, uint32_t length) { return value + Mode2(length - 1); }

class ColumnTest : public ::testing::Test {
 protected:
  // Opens a file with one block of `rows` rows of ZIP code 12345 whose column
  // `c` holds `data` instead of what the rows would give.
  void OpenWithColumn(int rows, int c, const std::string& data) {
    Block b = SimpleBlock("12345", rows);
    b.rawColumns[c] = data;
    ASSERT_EQ(testfile::OpenBytes(engine_, dir_, BuildFile({b})), 0);
    ASSERT_TRUE(engine_.loadZipBlock("12345"));
  }
  std::vector<std::string> StreetEntries(int n) {
    std::vector<std::string> out;
    for (int k = 0; k < n; ++k) {
      std::string_view v;
      if (!engine_.StreetName.entry(static_cast<uint64_t>(k), &v)) break;
      out.emplace_back(v);
    }
    return out;
  }

  TempDir dir_;
  ReadZipFile engine_;
};

TEST_F(ColumnTest, TextValuesRepeatsSharedFrontAndBack) {
  const std::string data = TextRun("AAA", 1) + TextRun("BBB", 1) + TextRun("CCC", 1) + TextRun("DDD", 1) + TextRun("EEE", 1) +
                           TextRun("\x05", 1) +                   // the fifth most recent value: AAA
                           TextRun("MAIN AVE", 1) +               //
                           TextRun("\x03ST\x02", 1) +             // MAI + ST + VE
                           TextRun(std::string(1, '\0'), 1) +     // empty
                           TextRun("X", 2) +                      // one character, two entries
                           std::string(1, '\0');
  OpenWithColumn(11, kStreetName, data);
  EXPECT_EQ(StreetEntries(12), (std::vector<std::string>{"AAA", "BBB", "CCC", "DDD", "EEE", "AAA", "MAIN AVE",
                                                          "MAISTVE", "", "X", "X"}));
  ASSERT_TRUE(engine_.StreetName.loadBlock());
  EXPECT_EQ(engine_.StreetName.values().size(), 10u);
  EXPECT_EQ(engine_.StreetName.runEnds().back(), 11u);

  char record[kRecordBufferSize];
  ASSERT_TRUE(engine_.decodeRow(7, record));
  EXPECT_EQ(std::string(record + 24, 28), "MAISTVE" + std::string(21, ' '));
}

TEST_F(ColumnTest, RandomAccessFindsTheRunOfAnEntry) {
  // Runs of 3, 1 and 6 entries, asked for out of order.
  OpenWithColumn(10, kStreetName, TextRun("ONE", 3) + TextRun("TWO", 1) + TextRun("SIX", 6) + std::string(1, '\0'));
  const std::pair<int, std::string> probes[] = {{9, "SIX"}, {0, "ONE"}, {3, "TWO"}, {2, "ONE"}, {4, "SIX"}, {3, "TWO"}};
  for (const auto& [k, want] : probes) {
    std::string_view v;
    ASSERT_TRUE(engine_.StreetName.entry(static_cast<uint64_t>(k), &v)) << k;
    EXPECT_EQ(v, want) << k;
  }
  std::string_view v;
  EXPECT_FALSE(engine_.StreetName.entry(10, &v));  // beyond the block
}

TEST_F(ColumnTest, NumericCodesRunsAndSteps) {
  // 0x94: tag 0, g 5 -> 5. 0x8E: tag 2, g 3 -> two values, step 1. 0x87: tag 3, g 1 -> one more.
  OpenWithColumn(4, kUpdateKeyNoNumeric, std::string(4, 'x') + "\x94\x8E\x87" + std::string(1, '\0'));
  ASSERT_TRUE(engine_.UpdateKeyNoNumeric.loadBlock());
  EXPECT_EQ(Numbers(engine_.UpdateKeyNoNumeric), (std::vector<int32_t>{5, 6, 7, 8}));

  char record[kRecordBufferSize];
  ASSERT_TRUE(engine_.decodeRow(3, record));
  EXPECT_EQ(std::string(record + 7, 9), "000000008");
  EXPECT_EQ(record[16], 'A');  // the byte 0 after the update key falls on the action code, written later
}

TEST_F(ColumnTest, NegativeStepsAndRepeatedSteps) {
  std::string codes(4, '\0');
  for (uint32_t c : {10u * 4, 3u * 4 + 1, 2u * 4 + 3, 0u * 4 + 2}) PutVarMode0(&codes, c);
  // 10; -3 -> 7; two more steps of -3 -> 4, 1; tag 2 with g 0: one value, step 0 -> 1.
  OpenWithColumn(5, kUpdateKeyNoNumeric, codes + std::string(1, '\0'));
  ASSERT_TRUE(engine_.UpdateKeyNoNumeric.loadBlock());
  EXPECT_EQ(Numbers(engine_.UpdateKeyNoNumeric), (std::vector<int32_t>{10, 7, 4, 1, 1}));
}

TEST_F(ColumnTest, RunPassingTheCountIsCutAtIt) {
  // Tag 2 with g 200: 101 values, in a column of 3 rows.
  std::string codes(4, '\0');
  PutVarMode0(&codes, 200 * 4 + 2);
  OpenWithColumn(3, kUpdateKeyNoNumeric, codes + std::string(1, '\0'));
  ASSERT_TRUE(engine_.UpdateKeyNoNumeric.loadBlock());
  EXPECT_EQ(Numbers(engine_.UpdateKeyNoNumeric), (std::vector<int32_t>{0, 0, 0}));
}

// A row whose number fields are given as parts, to see how prefix, number and
// postfix columns build them.
testfile::Row RowWithParts(testfile::NumberParts3 primaryLow, testfile::NumberParts3 addOnLow) {
  testfile::Fields f;
  testfile::Row r = testfile::MakeRow(f);
  r.primary[0] = std::move(primaryLow);
  r.addOn[0] = std::move(addOnLow);
  return r;
}

TEST_F(ColumnTest, NumberFieldsAreBuiltPrefixNumberPostfix) {
  Block b{"12345", {}, {}, {}};
  b.rows.push_back(RowWithParts({"", 12, "A"}, {"", 0, ""}));
  b.rows.push_back(RowWithParts({"A", 0, ""}, {"", 7, ""}));
  b.rows.push_back(RowWithParts({"", 123456789, "AB"}, {"B", 12, ""}));
  b.rows.push_back(RowWithParts({"N", 5, "W"}, {"", 12, "C"}));
  ASSERT_EQ(testfile::OpenBytes(engine_, dir_, BuildFile({b})), 0);
  ASSERT_TRUE(engine_.loadZipBlock("12345"));

  struct Want {
    std::string primaryLow, addOnLow;
  };
  const Want want[] = {
      {"12A       ", "0000"},  // 0 in a zero-padded field is 0000
      {"A         ", "0007"},  // a plain 0 adds nothing
      {"23456789AB", "B001"},  // too long: the rightmost characters stay
      {"N5W       ", "012C"},  // 0012 + C does not fit: the front goes
  };
  for (uint32_t row = 0; row < 4; ++row) {
    char record[kRecordBufferSize];
    ASSERT_TRUE(engine_.decodeRow(row, record));
    EXPECT_EQ(std::string(record + 58, 10), want[row].primaryLow) << row;
    EXPECT_EQ(std::string(record + 140, 4), want[row].addOnLow) << row;
    EXPECT_EQ(std::string(record + 68, 10), "198       ") << row;
  }
}

TEST_F(ColumnTest, DecodedRowEqualsTheRecordItWasBuiltFrom) {
  testfile::Fields f;
  f.preDirection = "N";
  f.postDirection = "SW";
  f.firm = "BANK OF AMERICA";
  f.unitAbbrev = "APT";
  f.unitLow = "1A";
  f.unitHigh = "9Z";
  f.unitOddEven = "B";
  f.urbanization = "URB LAS GLADIOLAS";
  f.addOnLow = "0100";
  f.addOnHigh = "0199";
  const testfile::Row row = testfile::MakeRow(f);
  ASSERT_EQ(testfile::OpenBytes(engine_, dir_, BuildFile({Block{"12345", {row}, {}, {}}})), 0);
  ASSERT_TRUE(engine_.loadZipBlock("12345"));
  char record[kRecordBufferSize];
  ASSERT_TRUE(engine_.decodeRow(0, record));
  EXPECT_EQ(std::string(record, kRecordBufferSize), row.record);
  EXPECT_FALSE(engine_.decodeRow(1, record));
}

// Damaged column data (placed last in the only block, so that it ends where
// the blocks end): the row that needs it cannot be decoded, and the reader
// stays inside the data.
TEST_F(ColumnTest, DamagedTextColumns) {
  const std::string cases[] = {
      TextRun("\x03", 1) + TextRun("A", 2) + std::string(1, '\0'),  // repeat of a value never decoded
      TextRun("ONE", 1) + "TWO",                                 // the data ends inside a run
      TextRun("ONE", 1) + "TWO\x81",                             // a count with nothing after it
      TextRun("ONE", 1) + std::string(1, '\0'),                 // too few entries before the data ends
  };
  for (const std::string& data : cases) {
    ReadZipFile engine;
    Block b = SimpleBlock("12345", 3);
    b.rawColumns[kStreetName] = data;
    ASSERT_EQ(testfile::OpenBytes(engine, dir_, BuildFile({b})), 0);
    ASSERT_TRUE(engine.loadZipBlock("12345"));
    char record[kRecordBufferSize];
    EXPECT_FALSE(engine.decodeRow(2, record));
    EXPECT_FALSE(engine.StreetName.loadBlock());
  }
}

TEST_F(ColumnTest, DamagedNumericColumns) {
  const std::string cases[] = {
      std::string(3, '\0'),                                  // not even the reserved word
      std::string(4, '\0') + "\x84",                        // one code for two rows
      std::string(4, '\0') + "\x84\x04",                    // a code that never ends
  };
  for (const std::string& data : cases) {
    ReadZipFile engine;
    Block b = SimpleBlock("12345", 2);
    b.rawColumns[kUpdateKeyNoNumeric] = data;
    ASSERT_EQ(testfile::OpenBytes(engine, dir_, BuildFile({b})), 0);
    ASSERT_TRUE(engine.loadZipBlock("12345"));
    char record[kRecordBufferSize];
    EXPECT_FALSE(engine.decodeRow(1, record));
  }
}

}  // namespace
}  // namespace corvdb
