// `corvdb search` against the real shared library.
#include <gtest/gtest.h>

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
  EXPECT_EQ(r.out,
            "12345-1234 | Bank of the West | 100-198 E | N Main St | Ste 1-9 O | Springfield | NY | 1\n"
            "candidate ZIP codes: 1, records: 1\n");

  r = Search({"--street", "MAIN", "--raw"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("12345 1200-1299 |  | 100-198 E | Maine St |  | Springfield | NY | 1\n"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("  zip+4 record:   D12345A000000001AS"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("records: 2\n"), std::string::npos) << r.out;

  r = Search({"--street", "MAIN", "--exact", "--max", "1"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("records: 1 (stopped at --max)\n"), std::string::npos) << r.out;
}

TEST_F(SearchCommand, NothingFoundAndErrors) {
  auto r = Search({"--street", "ELM"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "no street of that name\n");
  r = Search({"--city", "NOWHERE"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "no such firm, city or state\n");
  r = Search({"--street", "MAIN", "--number", "300"});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "candidate ZIP codes: 1, records: 0\n");

  TempDir empty;
  r = RunCommand({tool_, "search", "--data", empty.path(), "--street", "MAIN"});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.err, "Error opening Data Files: " + empty.path() + "/zip.cvd\n");
  r = Search({"--max", "-1"});
  EXPECT_EQ(r.exit_code, 2);
}

}  // namespace
}  // namespace corvdb::search_test
