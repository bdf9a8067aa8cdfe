// The CSV reader and writer: enclosed fields, doubled quotes, line ends in
// fields, and records that break the rules without stopping the file.
#include "csv.h"

#include <gtest/gtest.h>

#include <sstream>

namespace corvellan::matcher {
namespace {

std::vector<CsvRecord> ReadAll(const std::string& text) {
  std::istringstream in(text);
  CsvReader reader(in);
  std::vector<CsvRecord> out;
  CsvRecord r;
  while (reader.next(r)) out.push_back(r);
  return out;
}

TEST(CsvTest, EnclosedFieldsKeepCommasQuotesAndLineEnds) {
  const auto records = ReadAll("\xEF\xBB\xBF" "a,b,c\r\n\"1 Main St, Apt 5\",\"say \"\"hi\"\"\",\"two\r\nlines\"\r\n,,\nlast,row");
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0].fields, (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(records[1].fields, (std::vector<std::string>{"1 Main St, Apt 5", "say \"hi\"", "two\r\nlines"}));
  EXPECT_EQ(records[1].error, "");
  EXPECT_EQ(records[2].fields, (std::vector<std::string>{"", "", ""}));
  EXPECT_EQ(records[2].line, 4u);
  EXPECT_EQ(records[3].fields, (std::vector<std::string>{"last", "row"}));
}

TEST(CsvTest, BrokenRecordsAreReportedAndReadingGoesOn) {
  const auto records = ReadAll("a,b\nx\"y,z\n\"ok\"tail,1\ngood,2\n\"never closes,3\n");
  ASSERT_EQ(records.size(), 5u);
  EXPECT_EQ(records[0].error, "");
  EXPECT_EQ(records[1].error, "quote inside a field that does not start with one");
  EXPECT_EQ(records[2].error, "text after a closing quote");
  EXPECT_EQ(records[3].fields, (std::vector<std::string>{"good", "2"}));
  EXPECT_EQ(records[3].error, "");
  EXPECT_EQ(records[4].error, "quoted field opened on line 5 never closes");
  const auto open = ReadAll("\"never closes,3\nmore");
  ASSERT_EQ(open.size(), 1u);
  EXPECT_EQ(open[0].error, "quoted field opened on line 1 never closes");
}

TEST(CsvTest, WriterQuotesOnlyWhatNeedsIt) {
  EXPECT_EQ(CsvLine({"plain", "a,b", "say \"hi\"", "", " pad", "two\nlines"}),
            "plain,\"a,b\",\"say \"\"hi\"\"\",,\" pad\",\"two\nlines\"\r\n");
  // What the writer writes, the reader reads back.
  const std::vector<std::string> fields = {"x,\"y\"", "\r\n", "z"};
  const auto back = ReadAll(CsvLine(fields));
  ASSERT_EQ(back.size(), 1u);
  EXPECT_EQ(back[0].fields, fields);
}

}  // namespace
}  // namespace corvellan::matcher
