// corvdb build interrupted by a real signal: the working folder goes, the
// exit status is 128 + the signal number, an existing database stays.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include "../engine/builder_records.h"
#include "test_support.h"

namespace {

using corvdb::builder_test::MakeCityState;
using corvdb::builder_test::MakeZip4;
using corvdb::builder_test::Zip4Fields;
using corvellan::test::BinDir;
using corvellan::test::ReadFile;
using corvellan::test::TempDir;
using corvellan::test::WriteFile;

class BuildSignal : public testing::Test {
 protected:
  // 240,000 records in 2,400 ZIP codes: a build of some seconds. In
  // `regroup` the first ZIP code comes back after the second one, so the
  // build soon starts over and spills the records into bucket files.
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    std::string bytes;
    std::string again;
    Zip4Fields f;
    for (int zip = 10000; zip < 12400; ++zip) {
      f.zip = std::to_string(zip);
      for (int i = 0; i < 100; ++i) {
        f.street = "STREET " + std::to_string(i);
        f.update_number = std::to_string(100000000 + zip * 100 + i);
        f.primary_low = f.primary_high = std::to_string(100 + 2 * i);
        bytes += MakeZip4(f) + "\n";
      }
      if (zip == 10001) {
        f.zip = "10000";
        f.update_number = "999999999";
        again = bytes + MakeZip4(f) + "\n";
      }
    }
    WriteFile(dir_->file("grouped.txt"), bytes);
    WriteFile(dir_->file("regroup.txt"), again + bytes.substr(again.size() - 183));
    WriteFile(dir_->file("cs.txt"), MakeCityState("C00001", "10000", "SPRINGFIELD") + "\n");
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }

  // The working folder beside `out` that holds `file`, if there is one.
  static std::optional<std::string> WorkFile(const std::string& out, const std::string& file) {
    const auto parent = std::filesystem::path(out).parent_path();
    for (const auto& e : std::filesystem::directory_iterator(parent)) {
      const std::string name = e.path().filename();
      if (name.rfind("zip.cvd.tmp-", 0) != 0) continue;
      std::error_code ec;
      for (const auto& f : std::filesystem::directory_iterator(e.path(), ec)) {
        if (f.path().filename().string().rfind(file, 0) == 0) return f.path().string();
      }
    }
    return std::nullopt;
  }

  // Starts a build, waits until its working folder holds `file`, sends
  // `signal_number` and returns the wait status.
  int Interrupt(const std::string& input, const std::string& out, const std::string& file, int signal_number) {
    const std::string tool = BinDir() + "/corvdb";
    const std::string cs = dir_->file("cs.txt");
    const pid_t pid = fork();
    if (pid == 0) {
      freopen("/dev/null", "w", stderr);
      execl(tool.c_str(), tool.c_str(), "build", "--zip4", input.c_str(), "--citystate", cs.c_str(), "--out",
            out.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    EXPECT_GT(pid, 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(300);
    bool seen = false;
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
      if (WorkFile(out, file)) {
        seen = true;
        break;
      }
      if (waitpid(pid, &status, WNOHANG) == pid) {
        ADD_FAILURE() << "the build ended before its working folder held " << file;
        return status;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_TRUE(seen) << file;
    kill(pid, signal_number);
    waitpid(pid, &status, 0);
    return status;
  }

  static TempDir* dir_;
  TempDir out_;
};

TempDir* BuildSignal::dir_ = nullptr;

TEST_F(BuildSignal, InterruptedWhileBuildingBlocks) {
  const std::string out = out_.file("zip.cvd");
  WriteFile(out, "the old database");
  for (int signal_number : {SIGINT, SIGHUP}) {
    const int status = Interrupt(dir_->file("grouped.txt"), out, "zip.cvd", signal_number);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 128 + signal_number);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(out_.path()), {}), 1);
    EXPECT_EQ(ReadFile(out), "the old database");
  }
}

TEST_F(BuildSignal, InterruptedWhileRegroupingIntoBucketFiles) {
  const std::string out = out_.file("zip.cvd");
  const int status = Interrupt(dir_->file("regroup.txt"), out, "bucket", SIGTERM);
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM);
  EXPECT_TRUE(std::filesystem::is_empty(out_.path()));
}

}  // namespace
