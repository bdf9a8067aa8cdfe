// The exports on the process-wide engine, opened through the settings.
#include <gtest/gtest.h>

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

TEST_F(Exports, NullRecordsAreRefused) {
  EXPECT_EQ(ZipcodeToAddress(nullptr, 1), -1);
  EXPECT_EQ(GetZip4Rec(nullptr, nullptr, nullptr), 0);
}

}  // namespace
}  // namespace corvdb
