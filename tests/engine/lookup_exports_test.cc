// The exports on the process-wide engine, opened through the settings.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "corvdb.h"
#include "platform/profile.h"
#include "reader_test_file.h"

namespace corvdb {
namespace {

using corvellan::test::ScopedEnv;
using corvellan::test::TempDir;

class Exports : public ::testing::Test {
 protected:
  void SetUp() override { ResetProcessEngineForTesting(); }
  void TearDown() override { ResetProcessEngineForTesting(); }
  void ExpectZeroBuffers() {
    std::string zip4(182, '?'), cs(129, '?'), urb(129, '?');
    EXPECT_EQ(GetZip4Rec(zip4.data(), cs.data(), urb.data()), 0);
    EXPECT_EQ(zip4, std::string(182, '\0'));
    EXPECT_EQ(cs, std::string(129, '\0'));
    EXPECT_EQ(urb, std::string(129, '\0'));
  }

  TempDir config_;
  ScopedEnv xdg_{"XDG_CONFIG_HOME", config_.path()};
  TempDir data_;
};

TEST_F(Exports, FailedOpeningThenRepairedSettings) {
  ExpectZeroBuffers();
  ASSERT_TRUE(corvellan::WriteProfileString("Corvel.ini", "Directories", "Data", data_.path() + "/"));
  std::string record = testfile::Request("12345", "0002");
  EXPECT_EQ(ZipcodeToAddress(record.data(), 1), -3);
  EXPECT_EQ(GetNextZipMatch(record.data()), -1);
  ExpectZeroBuffers();

  corvellan::test::WriteFile(data_.file("zip.cvd"), testfile::BuildFile({testfile::SimpleBlock("12345", 4)}));
  EXPECT_EQ(ZipcodeToAddress(record.data(), 1), 1);
  EXPECT_EQ(record.substr(242, 8), "00020002");
  std::string zip4(182, '\0'), cs(129, '\0'), urb(129, '\0');
  EXPECT_EQ(GetZip4Rec(zip4.data(), cs.data(), urb.data()), 0);
  EXPECT_EQ(zip4.substr(0, 6), "D12345");
  EXPECT_EQ(cs.substr(13, 11), "Springfield");
  EXPECT_EQ(urb, std::string(129, ' '));

  // Once open, the engine keeps its file: later settings changes do not move it.
  ASSERT_TRUE(corvellan::WriteProfileString("Corvel.ini", "Directories", "Data", "/nonexistent/"));
  EXPECT_EQ(ZipcodeToAddress(record.data(), 1), 1);
}

// A new database renamed over the open one: the engine keeps answering from
// the file it mapped until ReopenZipDatabase, then from the new one; a running
// search ends and the last delivered records are forgotten.
TEST_F(Exports, ReopenSwitchesToTheFileRenamedOverTheOldOne) {
  ASSERT_TRUE(corvellan::WriteProfileString("Corvel.ini", "Directories", "Data", data_.path() + "/"));
  const std::string path = data_.file("zip.cvd");
  corvellan::test::WriteFile(path, testfile::BuildFile({testfile::SimpleBlock("12345", 4)}));
  std::string old_zip = testfile::Request("12345", "0002");
  std::string new_zip = testfile::Request("54321", "0002");
  EXPECT_EQ(ZipcodeToAddress(old_zip.data(), 1), 1);

  corvellan::test::WriteFile(path + ".new", testfile::BuildFile({testfile::SimpleBlock("54321", 4)}));
  ASSERT_EQ(std::rename((path + ".new").c_str(), path.c_str()), 0);
  EXPECT_EQ(ZipcodeToAddress(old_zip.data(), 1), 1) << "the old mapping stays valid and in use";
  EXPECT_EQ(ZipcodeToAddress(new_zip.data(), 1), -1);

  std::string request(165, ' ');
  request.replace(0, 5, "12345");
  ASSERT_GE(InitiateZipSearch(request.data(), 0), 1);
  EXPECT_EQ(ReopenZipDatabase(), 0);
  std::string record(250, ' ');
  EXPECT_EQ(GetNextZipMatch(record.data()), -1) << "the search of the old file has ended";
  ExpectZeroBuffers();
  EXPECT_EQ(ZipcodeToAddress(new_zip.data(), 1), 1);
  EXPECT_EQ(ZipcodeToAddress(old_zip.data(), 1), -1);

  // Reopening reads the settings again: a data directory changed meanwhile counts.
  ASSERT_TRUE(corvellan::WriteProfileString("Corvel.ini", "Directories", "Data", "/nonexistent/"));
  EXPECT_EQ(ZipcodeToAddress(new_zip.data(), 1), 1) << "still the open file";
  EXPECT_EQ(ReopenZipDatabase(), 0);
  EXPECT_EQ(ZipcodeToAddress(new_zip.data(), 1), -3);
}

TEST_F(Exports, NullRecordsAreRefused) {
  EXPECT_EQ(ZipcodeToAddress(nullptr, 1), -1);
  EXPECT_EQ(GetZip4Rec(nullptr, nullptr, nullptr), 0);
}

}  // namespace
}  // namespace corvdb
