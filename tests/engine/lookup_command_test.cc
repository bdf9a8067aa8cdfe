// `corvdb lookup` against the real shared library.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
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
  EXPECT_EQ(r.err, "ZIP+4 12345-1234 has 2 records\n");
  EXPECT_EQ(r.out, "");
  r = Lookup({"54321-1234", "--data", data_.path()});
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.err, "Zip Code not found: 54321-1234\n");
  r = Lookup({"54321-1234", "2", "--data", data_.path()});
  EXPECT_EQ(r.err, "Zip Code not found: 54321-1234\n");

  r = Lookup({"12345-1234", "--data", data_.file("nowhere")});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.err, "Error opening Data Files: " + data_.file("nowhere") + "/zip.cvd: no such folder " +
                       data_.file("nowhere") + "\n");

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
  // A directory without its '/' works too, and the settings file may be
  // spelt in any letter case.
  std::filesystem::remove(config_.file("corvellan/Corvel.ini"));
  corvellan::test::WriteFile(config_.file("corvellan/corvel.INI"), "[Directories]\nData=" + data_.path() + "\n");
  r = Lookup({"12345-1250"});
  EXPECT_EQ(r.exit_code, 0) << r.err;
}

// A settings file too large to read is reported once, though both the tool
// and the engine library look at it.
TEST_F(LookupCommand, ASettingsFileThatCannotBeReadIsReportedOnce) {
  std::filesystem::create_directories(config_.file("corvellan"));
  corvellan::test::WriteFile(config_.file("corvellan/Corvel.ini"),
                             "[Directories]\nData=" + data_.path() + "/\n" + std::string(std::size_t{1} << 21, ';'));
  const auto r = Lookup({"12345-1250", "--data", data_.path()});
  EXPECT_EQ(r.exit_code, 0) << r.err;
  const auto none = Lookup({"12345-1250"});
  EXPECT_EQ(none.exit_code, 2) << none.err;
  std::size_t reports = 0;
  for (std::size_t at = none.err.find("settings file may hold"); at != std::string::npos;
       at = none.err.find("settings file may hold", at + 1)) {
    ++reports;
  }
  EXPECT_EQ(reports, 1u) << none.err;
}

TEST_F(LookupCommand, OpenErrorsSayWhy) {
  // No settings file: the current directory is used, and the message says
  // where the settings file was looked for.
  auto r = Lookup({"12345-1250"});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.err, "Error opening Data Files: ./zip.cvd: no such file (no settings file " + config_.path() +
                       "/corvellan/Corvel.ini, so the current directory was used; name the folder with --data)\n");

  TempDir dir;
  const auto open_error = [&] {
    auto result = Lookup({"12345-1250", "--data", dir.path()});
    EXPECT_EQ(result.exit_code, 2);
    EXPECT_EQ(result.out, "");
    const std::string prefix = "Error opening Data Files: " + dir.file("zip.cvd") + ": ";
    EXPECT_EQ(result.err.rfind(prefix, 0), 0u) << result.err;
    return result.err.substr(std::min(prefix.size(), result.err.size()));
  };
  EXPECT_EQ(open_error(), "no such file\n");
  std::filesystem::create_directory(dir.file("zip.cvd"));
  EXPECT_EQ(open_error(), "not a regular file\n");
  std::filesystem::remove(dir.file("zip.cvd"));
  corvellan::test::WriteFile(dir.file("zip.cvd"), "");
  EXPECT_EQ(open_error(), "empty or too short to be a zip.cvd\n");
  corvellan::test::WriteFile(dir.file("zip.cvd"), std::string(4096, 'x'));
  EXPECT_EQ(open_error(), "damaged (not a readable zip.cvd; corvdb check " + dir.file("zip.cvd") + " tells more)\n");
  if (geteuid() != 0) {
    std::filesystem::permissions(dir.file("zip.cvd"), std::filesystem::perms::none);
    EXPECT_EQ(open_error(), "permission denied\n");
  }
}

TEST_F(LookupCommand, AWriteErrorOnStandardOutputIsAnError) {
  const auto r = RunCommand({"/bin/sh", "-c", "\"$0\" lookup 12345-1234 --data \"$1\" > /dev/full", tool_, data_.path()});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.err, "corvdb lookup: cannot write to standard output: No space left on device\n");
}

}  // namespace
}  // namespace corvdb
