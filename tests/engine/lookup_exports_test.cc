// The exports on the process-wide engine, opened through the settings.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

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

// Four threads on one process engine through the exports: two look up ZIP+4
// codes and check every answer, two run searches and fetch the raw records.
// The exports take turns, so every lookup answers as it would alone and no
// call touches a buffer another thread is growing (run under ASan as well).
TEST_F(Exports, FourThreadsTakeTurnsInsideTheEngine) {
  ASSERT_TRUE(corvellan::WriteProfileString("Corvel.ini", "Directories", "Data", data_.path() + "/"));
  std::vector<testfile::Block> blocks;
  std::vector<std::pair<std::string, int>> zips;  // ZIP code, rows
  for (int i = 0; i < 8; ++i) {
    const std::string zip = "1000" + std::to_string(i + 1);
    const int rows = 40 + 130 * i;  // the larger blocks get an add-on index after 32 lookups
    blocks.push_back(testfile::SimpleBlock(zip, rows));
    zips.emplace_back(zip, rows);
  }
  corvellan::test::WriteFile(data_.file("zip.cvd"), testfile::BuildFile(blocks));

  std::atomic<int> wrong{0};
  std::atomic<long> lookups{0}, delivered{0};
  auto lookUp = [&](unsigned seed) {
    for (int i = 0; i < 3000; ++i) {
      seed = seed * 1103515245u + 12345u;
      const auto& [zip, rows] = zips[(seed >> 8) % zips.size()];
      char addOn[8];
      std::snprintf(addOn, sizeof addOn, "%04u", (seed >> 12) % static_cast<unsigned>(rows));
      std::string record = testfile::Request(zip, addOn);
      if (ZipcodeToAddress(record.data(), 1) != 1 || record.substr(242, 8) != std::string(addOn) + addOn) {
        ++wrong;
      }
      ++lookups;
    }
  };
  auto search = [&](unsigned seed) {
    std::string zip4(182, ' '), cs(129, ' '), urb(129, ' ');
    for (int i = 0; i < 60; ++i) {
      seed = seed * 1103515245u + 12345u;
      std::string request(165, ' ');
      request.replace(0, 5, zips[(seed >> 8) % zips.size()].first);
      const int32_t started = InitiateZipSearch(request.data(), 0);
      if (started != 1) ++wrong;
      std::string record(250, ' ');
      // The other search thread may start its own search meanwhile: the
      // engine has one search, so this one may end early, but never wrongly.
      for (int call = 0; call < 2000; ++call) {
        const int32_t rc = GetNextZipMatch(record.data());
        if (rc < -1) ++wrong;
        if (rc == -1) break;
        if (rc > 0) {
          ++delivered;
          if (record.compare(233, 3, "100") != 0) ++wrong;
          if (GetZip4Rec(zip4.data(), cs.data(), urb.data()) != 0) ++wrong;
        }
      }
    }
  };
  std::vector<std::thread> threads;
  threads.emplace_back(lookUp, 1u);
  threads.emplace_back(lookUp, 2u);
  threads.emplace_back(search, 3u);
  threads.emplace_back(search, 4u);
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(lookups.load(), 6000);
  EXPECT_GT(delivered.load(), 0);

  // A reopening amid lookups on other threads: each lookup answers from the
  // old engine or the new one, never from one half-replaced.
  threads.clear();
  threads.emplace_back(lookUp, 5u);
  threads.emplace_back([&] {
    for (int i = 0; i < 50; ++i) {
      if (ReopenZipDatabase() != 0) ++wrong;
    }
  });
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(wrong.load(), 0);
}

TEST_F(Exports, NullRecordsAreRefused) {
  EXPECT_EQ(ZipcodeToAddress(nullptr, 1), -1);
  EXPECT_EQ(GetZip4Rec(nullptr, nullptr, nullptr), 0);
}

}  // namespace
}  // namespace corvdb
