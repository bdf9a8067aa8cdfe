// corvdb build, run as a program: inputs on disk, exit status, messages.
#include <gtest/gtest.h>

#include <filesystem>

#include "../engine/builder_records.h"
#include "builder/cvd_writer.h"
#include "test_support.h"

namespace {

using corvdb::builder_test::MakeCityState;
using corvdb::builder_test::MakeZip4;
using corvdb::builder_test::Zip4Fields;
using corvellan::test::BinDir;
using corvellan::test::FileExists;
using corvellan::test::ReadFile;
using corvellan::test::RunCommand;
using corvellan::test::TempDir;
using corvellan::test::WriteFile;

class BuildCommand : public testing::Test {
 protected:
  void SetUp() override {
    for (const char* zip : {"02901", "02902", "02903"}) {
      Zip4Fields f;
      f.zip = zip;
      f.street = std::string("MAIN ") + zip;
      zip4_.push_back(MakeZip4(f));
      f.primary_low = "12 1/2";
      zip4_.push_back(MakeZip4(f));
      city_state_.push_back(MakeCityState("C00001", zip, "PROVIDENCE", "RI"));
    }
    Zip4Fields header;
    header.copyright = "C";
    header_ = MakeZip4(header);
  }

  // Writes records with `end` after each into `name`.
  std::string Write(const std::string& name, const std::vector<std::string>& records, const std::string& end) {
    std::string bytes;
    for (const auto& r : records) bytes += r + end;
    WriteFile(dir_.file(name), bytes);
    return dir_.file(name);
  }

  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir_.path())) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  TempDir dir_;
  std::vector<std::string> zip4_, city_state_;
  std::string header_;
  const std::string corvdb_ = BinDir() + "/corvdb";
};

TEST_F(BuildCommand, BuildsFromSeveralFilesOfAnyFraming) {
  const std::string a = Write("a.txt", {header_, zip4_[0], zip4_[1], zip4_[2]}, "\r\n");
  const std::string b = Write("b.txt", {zip4_[3], zip4_[4], zip4_[5]}, "\n");
  const std::string cs = Write("cs.txt", city_state_, "");
  const std::string out = dir_.file("zip.cvd");
  const auto r = RunCommand({corvdb_, "build", "--zip4", a, b, "--citystate", cs, "--out", out});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.err.find("wrote " + out + ": 6 records, 3 ZIP codes, "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(" bytes/record), "), std::string::npos) << r.err;

  // The same database as the library builds from the records themselves.
  std::string error;
  const std::string csv = ReadFile(corvellan::test::SourceDir() + "/data/street_suffixes.csv");
  ASSERT_TRUE(corvdb::builder::BuildDatabaseFromRecords(zip4_, city_state_, csv, dir_.file("ref.cvd"), &error)) << error;
  EXPECT_EQ(ReadFile(out), ReadFile(dir_.file("ref.cvd")));
}

TEST_F(BuildCommand, BadInputExitsWithTwoAndLeavesNothing) {
  zip4_[2][100] = '\xC3';
  const std::string a = Write("a.txt", {header_, zip4_[0], zip4_[1], zip4_[2]}, "\n");
  const std::string cs = Write("cs.txt", city_state_, "\n");
  const auto r = RunCommand({corvdb_, "build", "--zip4", a, "--citystate", cs, "--out", dir_.file("zip.cvd")});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.err, "corvdb build: " + a +
                       ": record 4: byte 0xC3 at position 100 (BuildingOrFirmName): only ASCII text is allowed\n");
  EXPECT_EQ(Entries(), (std::vector<std::string>{"a.txt", "cs.txt"}));
}

TEST_F(BuildCommand, MissingFilesAndOptionsExitWithTwo) {
  const std::string cs = Write("cs.txt", city_state_, "\n");
  auto r = RunCommand({corvdb_, "build", "--zip4", dir_.file("none.txt"), "--citystate", cs, "--out",
                       dir_.file("zip.cvd")});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.err, "corvdb build: " + dir_.file("none.txt") + ": cannot open: No such file or directory\n");
  r = RunCommand({corvdb_, "build", "--citystate", cs, "--out", dir_.file("zip.cvd")});
  EXPECT_EQ(r.exit_code, 2);
  const std::string a = Write("a.txt", zip4_, "\n");
  r = RunCommand({corvdb_, "build", "--zip4", a, "--citystate", cs, "--suffixes", dir_.file("none.csv"), "--out",
                  dir_.file("zip.cvd")});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"a.txt", "cs.txt"}));
}

TEST_F(BuildCommand, QuietBuildPrintsOnlyTheSummary) {
  const std::string a = Write("a.txt", zip4_, "\n");
  const std::string cs = Write("cs.txt", city_state_, "\n");
  const auto r = RunCommand({corvdb_, "build", "-q", "--zip4", a, "--citystate", cs, "--suffixes",
                             corvellan::test::SourceDir() + "/data/street_suffixes.csv", "--out", dir_.file("zip.cvd")});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  EXPECT_TRUE(FileExists(dir_.file("zip.cvd")));
}

}  // namespace
