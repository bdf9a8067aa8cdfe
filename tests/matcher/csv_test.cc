// The CSV reader and writer: enclosed fields, doubled quotes, line ends in
// fields, and records that break the rules without stopping the file.
#include "csv.h"

#include <gtest/gtest.h>

#include <sstream>

namespace corvellan::matcher {
namespace {

std::vector<CsvRecord> ReadAll(const std::string& text, CsvLimits limits = {}) {
  std::istringstream in(text);
  CsvReader reader(in, limits);
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

TEST(CsvTest, BlankLinesHoldNoRecordAndAStartLikeAByteOrderMarkIsKept) {
  const auto records = ReadAll("\n\r\na,b\r\n\r\n\n1,2\n\"\"\n\n\r,x\n");
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[0].fields, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(records[0].line, 3u);
  EXPECT_EQ(records[1].fields, (std::vector<std::string>{"1", "2"}));
  EXPECT_EQ(records[1].line, 6u);
  EXPECT_EQ(records[2].fields, (std::vector<std::string>{""}));  // "" is a record of one empty field
  EXPECT_EQ(records[3].fields, (std::vector<std::string>{"\r", "x"}));  // a CR alone is no line end
  // A record of one empty field is written so that it reads back as one.
  const auto back = ReadAll("h\r\n" + CsvLine({""}));
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[1].fields, (std::vector<std::string>{""}));

  // Bytes that start like a byte order mark but are not one stay data.
  for (const std::string start : {"\xEF", "\xEF\xBB", "\xEF\xBBx"}) {
    const auto kept = ReadAll(start + ",b\n");
    ASSERT_EQ(kept.size(), 1u) << start;
    EXPECT_EQ(kept[0].fields, (std::vector<std::string>{start, "b"}));
  }
}

TEST(CsvTest, RecordsBeyondTheLimitsAreErrorsAndTheNextRecordIsReadWhole) {
  const CsvLimits limits{4, 8};
  struct Case {
    std::string record;
    std::string error;
    std::vector<std::string> fields;  // what is kept
  };
  const Case cases[] = {
      {"1,2,3,4", "", {"1", "2", "3", "4"}},
      {"1,2,3,4,5,6", "record has more than 4 fields (the limit)", {"1", "2", "3", "4"}},
      {",,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,", "record has more than 4 fields (the limit)", {"", "", "", ""}},
      {"12345678,x", "", {"12345678", "x"}},
      {"x,123456789,y", "field 2 is longer than 8 bytes (the limit of one field)", {"x"}},
      {"\"123456\n\"\"9\",y", "field 1 is longer than 8 bytes (the limit of one field)", {}},
      // A record broken as well as too long says how it is broken.
      {"\"1234567890\"tail", "text after a closing quote", {}},
      {"1,2,3,4,5,\"6\"x", "text after a closing quote", {"1", "2", "3", "4"}},
  };
  for (const Case& c : cases) {
    const auto records = ReadAll(c.record + "\r\nnext,\"a\nb\"\n", limits);
    ASSERT_EQ(records.size(), 2u) << c.record;
    EXPECT_EQ(records[0].error, c.error) << c.record;
    EXPECT_EQ(records[0].fields, c.fields) << c.record;
    EXPECT_EQ(records[1].error, "") << c.record;
    EXPECT_EQ(records[1].fields, (std::vector<std::string>{"next", "a\nb"})) << c.record;
    EXPECT_EQ(records[1].line, c.record.find('\n') == std::string::npos ? 2u : 3u) << c.record;
  }
  // The default limits.
  const auto wide = ReadAll(std::string(1024, ',') + "\n" + std::string(1023, ',') + "\n");
  ASSERT_EQ(wide.size(), 2u);
  EXPECT_EQ(wide[0].error, "record has more than 1024 fields (the limit)");
  EXPECT_EQ(wide[1].error, "");
  EXPECT_EQ(wide[1].fields.size(), 1024u);
  const auto longField = ReadAll(std::string(65537, 'x') + "\n" + std::string(65536, 'x') + "\n");
  ASSERT_EQ(longField.size(), 2u);
  EXPECT_EQ(longField[0].error, "field 1 is longer than 65536 bytes (the limit of one field)");
  EXPECT_EQ(longField[1].error, "");
}

TEST(CsvTest, EncodingsThatAreNotUtf8AreNamed) {
  using namespace std::string_view_literals;
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"address\r\n"sv, ""sv},
      {"\xEF\xBB\xBF" "address\r\n"sv, ""sv},
      {""sv, ""sv},
      {"\xFF\xFE" "a\0d\0"sv, "is UTF-16 text (it starts with a UTF-16 byte order mark)"sv},
      {"\xFE\xFF\0a\0d"sv, "is UTF-16 text (it starts with a UTF-16 byte order mark)"sv},
      {"\xFF\xFE\0\0" "a\0\0\0"sv, "is UTF-32 text (it starts with a UTF-32 byte order mark)"sv},
      {"a\0d\0d\0"sv, "holds zero bytes (UTF-16 or UTF-32 text without a byte order mark, or not text at all)"sv},
  };
  for (const auto& [head, why] : cases) EXPECT_EQ(CsvEncodingProblem(head), why) << head;

  const std::pair<std::string_view, bool> utf8[] = {
      {"plain"sv, true},          {"Pe\xC3\xB1uelas"sv, true}, {"\xE4\xB8\xAD"sv, true},
      {"\xF0\x9F\x98\x80"sv, true}, {"Pe\xF1uelas"sv, false},  // Latin-1
      {"\xC3"sv, false},          {"\xC0\xAF"sv, false},       // cut short, overlong
      {"\xED\xA0\x80"sv, false},  {"\xF4\x90\x80\x80"sv, false},  // surrogate, beyond U+10FFFF
      {"\x80"sv, false},
  };
  for (const auto& [text, ok] : utf8) EXPECT_EQ(IsUtf8(text), ok) << text;
}

}  // namespace
}  // namespace corvellan::matcher
