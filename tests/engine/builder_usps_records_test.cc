// Product file framing, City-State lookups and the suffix list.
#include "builder/usps_records.h"

#include <gtest/gtest.h>

#include "builder_records.h"
#include "test_support.h"

namespace corvdb::builder {
namespace {

using builder_test::MakeCityState;
using builder_test::MakeZip4;
using builder_test::Zip4Fields;

// Reads every record of an in-memory file; returns the records or the error.
struct ReadResult {
  std::vector<std::string> records;
  std::string error;
  int stride = 0;
};

ReadResult ReadAll(const std::string& bytes, int record_size = 182) {
  ReadResult r;
  ProductFileReader reader;
  ProductSource source{"f.txt", "", &bytes};
  if (!reader.Open(source, record_size, &r.error)) return r;
  r.stride = reader.stride();
  const char* record = nullptr;
  int rc;
  while ((rc = reader.Next(&record, &r.error)) == 1) r.records.emplace_back(record, static_cast<size_t>(record_size));
  if (rc == 0) r.error.clear();
  return r;
}

std::string Record(char c) {
  Zip4Fields f;
  f.street = std::string(3, c);
  return MakeZip4(f);
}

TEST(ProductFileReader, FramingIsTakenFromTheFirstRecord) {
  const std::string a = Record('A'), b = Record('B');
  for (const std::string end : {"", "\n", "\r\n"}) {
    for (const bool last_has_end : {true, false}) {
      const std::string bytes = a + end + b + (last_has_end ? end : "");
      const ReadResult r = ReadAll(bytes);
      EXPECT_EQ(r.error, "");
      EXPECT_EQ(r.stride, static_cast<int>(182 + end.size()));
      EXPECT_EQ(r.records, (std::vector<std::string>{a, b}));
    }
  }
  EXPECT_TRUE(ReadAll("").records.empty());
}

TEST(ProductFileReader, EveryRecordMustHaveTheSameFraming) {
  const std::string a = Record('A');
  EXPECT_EQ(ReadAll(a + "\n" + a + "\r\n" + a + "\n").error,
            "f.txt: record 2: no line end after 182 bytes: every record of a file must be 182 bytes long, "
            "with the same line end");
  EXPECT_EQ(ReadAll(a + "\n" + a + "X" + a + "\n").error.substr(0, 34), "f.txt: record 2: no line end after");
  EXPECT_EQ(ReadAll(a + a + a.substr(0, 100)).error,
            "f.txt: record 3: incomplete record of 100 bytes (a record has 182)");
}

TEST(ProductFileReader, ShortLinesShowAsALineEndInsideARecord) {
  // 181-byte lines: no line end after 182 bytes, so the file reads as unframed
  // and the first record holds a line end.
  const std::string line = Record('A').substr(0, 181) + "\n";
  const ReadResult r = ReadAll(line + line + line);
  ASSERT_EQ(r.stride, 182);
  ASSERT_FALSE(r.records.empty());
  const int bad = FindBadByte(r.records[0].data(), 182);
  EXPECT_EQ(bad, 181);
  EXPECT_EQ(DescribeBadByte(r.records[0].data(), bad, true),
            "line end at position 181: every record of a file must be 182 bytes long");
}

TEST(ProductFileReader, ReadsFilesOnDiskInChunks) {
  corvellan::test::TempDir dir;
  std::string bytes;
  for (int i = 0; i < 30000; ++i) bytes += Record(static_cast<char>('A' + i % 26)) + "\r\n";
  corvellan::test::WriteFile(dir.file("zip4.txt"), bytes);
  ProductFileReader reader;
  std::string error;
  ASSERT_TRUE(reader.Open(ProductSource{"", dir.file("zip4.txt"), nullptr}, 182, &error)) << error;
  const char* record = nullptr;
  int n = 0;
  while (reader.Next(&record, &error) == 1) {
    ASSERT_EQ(std::string(record, 182), Record(static_cast<char>('A' + n % 26))) << n;
    ++n;
  }
  EXPECT_EQ(n, 30000);
  EXPECT_EQ(reader.bytes_read(), bytes.size());
  ProductFileReader missing;
  EXPECT_FALSE(missing.Open(ProductSource{"", dir.file("nope.txt"), nullptr}, 182, &error));
  EXPECT_EQ(error, dir.file("nope.txt") + ": cannot open: No such file or directory");
}

TEST(CityStateTable, PrefersTheRecordOfTheSameZipCode) {
  CityStateTable table;
  const std::string a = MakeCityState("K00001", "11111", "FIRST");
  const std::string b = MakeCityState("K00001", "22222", "SECOND");
  const std::string c = MakeCityState("K00001", "22222", "THIRD");
  table.Add(a.data());
  table.Add(b.data());
  table.Add(c.data());
  EXPECT_EQ(std::string(table.Find("K00001", "22222"), 129), b);
  EXPECT_EQ(std::string(table.Find("K00001", "11111"), 129), a);
  EXPECT_EQ(std::string(table.Find("K00001", "33333"), 129), a);
  EXPECT_EQ(table.Find("K00002", "11111"), nullptr);
}

TEST(CheckZip4Record, AcceptsBlankKeysAndOddNumberFields) {
  CityStateTable table;
  std::string what;
  Zip4Fields f;
  f.last_line_key = "";
  f.primary_low = "12 1/2";
  f.secondary_low = "     007";
  EXPECT_TRUE(CheckZip4Record(MakeZip4(f).data(), table, &what)) << what;
}

TEST(SuffixTable, EverySpellingIsANameAndAbbreviationsNameThemselves) {
  std::string table, error;
  ASSERT_TRUE(BuildSuffixTable("name,abbreviation\r\nAvenue,ave\r\n\r\nAV , AVE\r\nBOULEVARD,BLVD\r\nAVE,AVE\r\n",
                               "s.csv", &table, &error))
      << error;
  EXPECT_EQ(table, "!AVENUE$AVE!AV$AVE!BOULEVARD$BLVD!AVE$AVE!BLVD$BLVD!");
  ASSERT_TRUE(BuildSuffixTable("", "s.csv", &table, &error));
  EXPECT_EQ(table, "!");
}

TEST(SuffixTable, BadLinesAreNamed) {
  std::string table, error;
  EXPECT_FALSE(BuildSuffixTable("ST,ST\nSTREET,ST,X\n", "s.csv", &table, &error));
  EXPECT_EQ(error, "s.csv: line 2: expected two fields, name and abbreviation");
  EXPECT_FALSE(BuildSuffixTable("ST,ST\nST,STR\n", "s.csv", &table, &error));
  EXPECT_EQ(error, "s.csv: line 2: ST is listed with two abbreviations, ST and STR");
  for (const char* bad : {"ST!,ST\n", "ST,S$T\n", "MAIN ST,ST\n", ",ST\n", "ST,\n", "ST\xC9,ST\n"}) {
    EXPECT_FALSE(BuildSuffixTable(bad, "s.csv", &table, &error)) << bad;
    EXPECT_EQ(error.substr(0, 14), "s.csv: line 1:") << bad;
  }
}

TEST(SuffixTable, TheProjectsListBuilds) {
  std::string csv, table, error;
  csv = corvellan::test::ReadFile(corvellan::test::SourceDir() + "/data/street_suffixes.csv");
  ASSERT_TRUE(BuildSuffixTable(csv, "street_suffixes.csv", &table, &error)) << error;
  EXPECT_NE(table.find("!AVENUE$AVE!"), std::string::npos);
  EXPECT_NE(table.find("!AVE$AVE!"), std::string::npos);
  EXPECT_NE(table.find("!ST$ST!"), std::string::npos);
  EXPECT_EQ(table.back(), '!');
}

}  // namespace
}  // namespace corvdb::builder
