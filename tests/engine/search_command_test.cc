// `corvdb search` against the real shared library.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "search_fixture.h"

namespace corvdb::search_test {
namespace {

using corvellan::test::RunCommand;
using corvellan::test::ScopedEnv;
using corvellan::test::TempDir;

class SearchCommand : public testing::Test {
 protected:
  void SetUp() override {
    tool_ = corvellan::test::BinDir() + "/corvdb";
    if (!corvellan::test::FileExists(tool_)) GTEST_SKIP() << "corvdb is not built";
    Zip4Fields a;
    a.firm = "BANK OF THE WEST";
    a.pre_direction = "N";
    a.primary_low = "100";
    a.primary_high = "198";
    a.secondary_abbrev = "STE";
    a.secondary_low = "1";
    a.secondary_high = "9";
    a.secondary_parity = "O";
    a.addon_low = a.addon_high = "1234";
    Zip4Fields b;
    b.street = "MAINE";
    b.addon_low = "1200";
    b.addon_high = "1299";
    std::string error;
    ASSERT_TRUE(builder::BuildDatabaseFromRecords({MakeZip4(a), MakeZip4(b)},
                                                  {MakeCityState("C00001", "12345", "SPRINGFIELD")}, kSuffixCsv,
                                                  data_.file("zip.cvd"), &error))
        << error;
  }
  corvellan::test::CommandResult Search(std::vector<std::string> args) {
    args.insert(args.begin(), {tool_, "search", "--data", data_.path()});
    return RunCommand(args);
  }

  std::string tool_;
  TempDir data_;
  TempDir config_;  // the user's settings stay out of the way
  ScopedEnv xdg_{"XDG_CONFIG_HOME", config_.path()};
};

TEST_F(SearchCommand, OneLinePerRecordThenTheCounts) {
  auto r = Search({"--street", "100 N MAIN ST", "--state", "ny"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  // Results alone on standard output; the counts on standard error.
  EXPECT_EQ(r.out, "12345-1234 | Bank of the West | 100-198 E | N Main St | Ste 1-9 O | Springfield | NY | 1\n");
  EXPECT_EQ(r.err, "candidate ZIP codes: 1, records: 1\n");

  r = Search({"--street", "MAIN", "--raw"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("12345 1200-1299 |  | 100-198 E | Maine St |  | Springfield | NY | 1\n"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("  zip+4 record:   D12345A000000001AS"), std::string::npos) << r.out;
  EXPECT_EQ(r.err, "candidate ZIP codes: 1, records: 2\n");

  r = Search({"--street", "MAIN", "--exact", "--max", "1"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.err, "candidate ZIP codes: 1, records: 1 (stopped at --max)\n");
}

TEST_F(SearchCommand, NothingFoundAndErrors) {
  auto r = Search({"--street", "ELM"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, "no street of that name\n");
  r = Search({"--city", "NOWHERE"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, "no such firm, city or state\n");
  r = Search({"--street", "MAIN", "--number", "300"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, "candidate ZIP codes: 1, records: 0\n");
  EXPECT_EQ(r.out, "");

  TempDir empty;
  r = RunCommand({tool_, "search", "--data", empty.path(), "--street", "MAIN"});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.err, "Error opening Data Files: " + empty.path() + "/zip.cvd: no such file\n");
  r = Search({"--max", "-1"});
  EXPECT_EQ(r.exit_code, 2);
}

TEST_F(SearchCommand, ValuesAreTrimmedThenChecked) {
  // Blanks around a value do not change it (they used to shift it in its field).
  auto r = Search({"--state", " NY ", "--zip", " 12345", "--city", std::string(30, ' ') + "SPRING"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2) << r.out;
  EXPECT_EQ(Search({"--zip", "123*"}).exit_code, 0);
  EXPECT_EQ(Search({"--zip", "12345*"}).exit_code, 0);

  // Refused with exit 2 and a line naming the option, before the database is opened.
  const struct {
    const char* option;
    std::string value;
  } refused[] = {
      {"--state", "ILLINOIS"}, {"--state", "TEXAS"}, {"--state", "N1"},  {"--zip", "062781"},
      {"--zip", "6278A"},      {"--zip", "627811"},  {"--zip", "62*81"}, {"--zip", "*"},
      {"--zip", "12**"},       {"--number", "XYZ"},  {"--number", "-5"}, {"--city", std::string(29, 'A')},
      {"--firm", std::string(41, 'A')}, {"--unit", std::string(21, 'A')}, {"--street", std::string(61, 'A')},
  };
  for (const auto& c : refused) {
    r = Search({c.option, c.value});
    EXPECT_EQ(r.exit_code, 2) << c.option << " " << c.value;
    EXPECT_EQ(r.err.rfind(std::string("corvdb search: ") + c.option + ": ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(c.value), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
  for (const char* number : {"100", "12A", "N123"}) {
    EXPECT_NE(Search({"--number", number, "--street", "MAIN"}).exit_code, 2) << number;
  }
}

TEST_F(SearchCommand, WithoutAConditionNothingIsListedUnlessAllIsGiven) {
  for (const auto& args : {std::vector<std::string>{}, std::vector<std::string>{"--city", "   ", "--zip", ""}}) {
    const auto r = Search(args);
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("--all"), std::string::npos) << r.err;
  }
  const auto r = Search({"--all"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2) << r.out;
}

TEST_F(SearchCommand, AWriteErrorOnStandardOutputIsAnError) {
  const auto r =
      RunCommand({"/bin/sh", "-c", "\"$0\" search --data \"$1\" --street MAIN > /dev/full", tool_, data_.path()});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.err, "corvdb search: cannot write to standard output: No space left on device\n");
}

TEST_F(SearchCommand, HelpAndUsage) {
  auto r = RunCommand({tool_, "search", "--help"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_NE(r.out.find("627 is 00627"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Exit status: 0 something found, 1 nothing found, 2 error"), std::string::npos) << r.out;
  for (const char* command : {"sample", "build", "lookup", "check"}) {
    r = RunCommand({tool_, command, "--help"});
    EXPECT_EQ(r.exit_code, 0) << command;
    EXPECT_NE(r.out.find("Exit status: "), std::string::npos) << command << "\n" << r.out;
  }
  r = RunCommand({tool_, "--version"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, std::string("corvdb ") + CORVDB_VERSION + "\n");
  r = RunCommand({tool_, "serch", "--street", "MAIN"});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.err.rfind("corvdb: unknown command 'serch' (commands: ", 0), 0u) << r.err;
  r = Search({"--stret", "MAIN"});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_NE(r.err.find("--stret"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace corvdb::search_test
