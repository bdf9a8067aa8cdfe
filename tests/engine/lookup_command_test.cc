// `corvdb lookup` against the real shared library.
#include <gtest/gtest.h>

#include <string>

#include "platform/profile.h"
#include "reader_test_file.h"

namespace corvdb {
namespace {

using corvellan::test::RunCommand;
using corvellan::test::ScopedEnv;
using corvellan::test::TempDir;

class LookupCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    tool_ = corvellan::test::BinDir() + "/corvdb";
    if (!corvellan::test::FileExists(tool_)) GTEST_SKIP() << "corvdb is not built";
    testfile::Fields f;
    f.firm = "ACME WIDGETS";
    f.addOnLow = "1200";
    f.addOnHigh = "1299";
    testfile::Fields g;
    g.street = "OAK";
    corvellan::test::WriteFile(data_.file("zip.cvd"),
                               testfile::BuildFile({testfile::Block{"12345", {testfile::MakeRow(f), testfile::MakeRow(g)}, {}, {}}}));
  }
  corvellan::test::CommandResult Lookup(std::vector<std::string> args) {
    args.insert(args.begin(), {tool_, "lookup"});
    return RunCommand(args);
  }

  std::string tool_;
  TempDir data_;
  TempDir config_;  // the user's settings stay out of the way
  ScopedEnv xdg_{"XDG_CONFIG_HOME", config_.path()};
};

TEST_F(LookupCommand, ShowsTheRecordAndTheCount) {
  auto r = Lookup({"12345-1234", "2", "--data", data_.path()});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("street line:      Oak St\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("plus4:            1234\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("2 of 2\n"), std::string::npos) << r.out;

  r = Lookup({"123451234", "--data", data_.path() + "/", "--raw"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.out.find("firm:             Acme Widgets\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("1 of 2\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("zip+4 record:   D12345A000000001AS"), std::string::npos) << r.out;
  // Bytes 0 of the address record are shown as dots.
  EXPECT_NE(r.out.find("address record: SAcme Widgets"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("12345123412001299\n"), std::string::npos) << r.out;
}

TEST_F(LookupCommand, NotFoundAndErrors) {
  auto r = Lookup({"12345-1234", "3", "--data", data_.path()});
  EXPECT_EQ(r.exit_code, 1);
  r = Lookup({"54321-1234", "--data", data_.path()});
  EXPECT_EQ(r.exit_code, 1);

  r = Lookup({"12345-1234", "--data", data_.file("nowhere")});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.err, "Error opening Data Files: " + data_.file("nowhere") + "/zip.cvd\n");

  for (const char* bad : {"1234-5678", "12345", "12345-12345", "1234X-1234", "12345_1234"}) {
    r = Lookup({bad, "--data", data_.path()});
    EXPECT_EQ(r.exit_code, 2) << bad;
  }
  EXPECT_EQ(Lookup({"12345-1234", "0", "--data", data_.path()}).exit_code, 2);
  EXPECT_EQ(Lookup({"12345-1234", "one"}).exit_code, 2);
}

TEST_F(LookupCommand, WithoutDataTheSettingsAreUsed) {
  ASSERT_TRUE(corvellan::WriteProfileString("Corvel.ini", "Directories", "Data", data_.path() + "/"));
  auto r = Lookup({"12345-1250"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  ASSERT_TRUE(corvellan::WriteProfileString("Corvel.ini", "Directories", "Data", data_.path()));
  r = Lookup({"12345-1250"});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.err, "Error opening Data Files: " + data_.path() + "zip.cvd\n");
}

}  // namespace
}  // namespace corvdb
