// corvdb build, run as a program: inputs on disk, exit status, messages.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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

TEST_F(BuildCommand, AnOutputThatIsAnInputIsRefusedUnderAnyName) {
  const std::string a = Write("a.txt", zip4_, "\n");
  const std::string cs = Write("cs.txt", city_state_, "\n");
  const std::string before = ReadFile(a);
  std::filesystem::create_symlink(a, dir_.file("link.txt"));
  std::filesystem::create_hard_link(cs, dir_.file("hard.txt"));
  for (const std::string& out : {a, dir_.file("link.txt"), dir_.file("hard.txt"), dir_.path() + "/./a.txt"}) {
    const auto r = RunCommand({corvdb_, "build", "--zip4", a, "--citystate", cs, "--out", out});
    EXPECT_EQ(r.exit_code, 2) << out;
    EXPECT_NE(r.err.find("is the input file"), std::string::npos) << r.err;
  }
  EXPECT_EQ(ReadFile(a), before);
  EXPECT_EQ(Entries(), (std::vector<std::string>{"a.txt", "cs.txt", "hard.txt", "link.txt"}));
}

TEST_F(BuildCommand, OnlyRegularFilesAreReplacedAndLinksAreFollowed) {
  const std::string a = Write("a.txt", zip4_, "\n");
  const std::string cs = Write("cs.txt", city_state_, "\n");
  auto build = [&](const std::string& out) {
    return RunCommand({corvdb_, "build", "-q", "--zip4", a, "--citystate", cs, "--out", out});
  };
  ASSERT_EQ(mkfifo(dir_.file("fifo").c_str(), 0600), 0);
  std::filesystem::create_directory(dir_.file("folder"));
  for (const char* name : {"fifo", "folder"}) {
    const auto r = build(dir_.file(name));
    EXPECT_EQ(r.exit_code, 2) << name;
    EXPECT_EQ(r.err.rfind("corvdb build: " + dir_.file(name) + ": ", 0), 0u) << r.err;
  }
  EXPECT_TRUE(std::filesystem::is_fifo(dir_.file("fifo")));
  EXPECT_TRUE(std::filesystem::is_empty(dir_.file("folder")));

  // A link keeps pointing at the new database; the replaced file's mode stays.
  std::filesystem::create_directory(dir_.file("real"));
  WriteFile(dir_.file("real/zip.cvd"), "old database");
  ASSERT_EQ(chmod(dir_.file("real/zip.cvd").c_str(), 0640), 0);
  std::filesystem::create_symlink("real/zip.cvd", dir_.file("zip.cvd"));
  const auto r = build(dir_.file("zip.cvd"));
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_TRUE(std::filesystem::is_symlink(dir_.file("zip.cvd")));
  EXPECT_NE(ReadFile(dir_.file("real/zip.cvd")), "old database");
  struct stat st {};
  ASSERT_EQ(stat(dir_.file("real/zip.cvd").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  // The checksum and the place names lie beside the file they describe.
  EXPECT_TRUE(FileExists(dir_.file("real/zip.cvd.sha256")));
  EXPECT_TRUE(FileExists(dir_.file("real/zip.cvd.places")));
  EXPECT_EQ(Entries(), (std::vector<std::string>{"a.txt", "cs.txt", "fifo", "folder", "real", "zip.cvd"}));

  // A dangling link: its target is created.
  std::filesystem::create_symlink("real/new.cvd", dir_.file("dangling.cvd"));
  EXPECT_EQ(build(dir_.file("dangling.cvd")).exit_code, 0);
  EXPECT_TRUE(std::filesystem::is_regular_file(dir_.file("real/new.cvd")));
}

TEST_F(BuildCommand, MissingFoldersAreCreatedAndTheChecksumMatches) {
  const std::string a = Write("a.txt", zip4_, "\n");
  const std::string cs = Write("cs.txt", city_state_, "\n");
  const std::string out = dir_.file("new/data/zip.cvd");
  auto r = RunCommand({corvdb_, "build", "-q", "--zip4", a, "--citystate", cs, "--out", out});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.file("new/data")), {}), 3);
  EXPECT_EQ(ReadFile(out + ".sha256").substr(64), "  zip.cvd\n");
  r = RunCommand({"/bin/sh", "-c", "cd \"$0\" && sha256sum -c zip.cvd.sha256", dir_.file("new/data")});
  EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "zip.cvd: OK\n");

  // A folder that cannot be made is named; folders made for a failed build go again.
  WriteFile(dir_.file("plain"), "");
  r = RunCommand({corvdb_, "build", "--zip4", a, "--citystate", cs, "--out", dir_.file("plain/zip.cvd")});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.err, "corvdb build: " + dir_.file("plain") + ": not a folder, so " + dir_.file("plain/zip.cvd") +
                       " cannot be written\n");
  r = RunCommand({corvdb_, "build", "--zip4", dir_.file("none.txt"), "--citystate", cs, "--out",
                  dir_.file("x/y/zip.cvd")});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_FALSE(FileExists(dir_.file("x")));
}

TEST_F(BuildCommand, LineEndsAndBlanksAfterTheLastRecordAreIgnored) {
  const std::string cs = Write("cs.txt", city_state_, "\n");
  WriteFile(dir_.file("cs2.txt"), ReadFile(cs) + "\n\n");
  const std::string out = dir_.file("zip.cvd");
  for (const std::string& tail : {std::string("\n"), std::string("\r\n\r\n"), std::string("  \n  \n"),
                                  std::string(182, ' ') + "\n"}) {
    for (const char* framing : {"", "\n", "\r\n"}) {
      std::string bytes;
      for (const auto& record : zip4_) bytes += record + framing;
      WriteFile(dir_.file("a.txt"), bytes + tail);
      const auto r = RunCommand({corvdb_, "build", "-q", "--zip4", dir_.file("a.txt"), "--citystate",
                                 dir_.file("cs2.txt"), "--out", out});
      EXPECT_EQ(r.exit_code, 0) << r.err;
      EXPECT_NE(r.err.find(": 6 records, "), std::string::npos) << r.err;
    }
  }
  // A blank record with records after it is still a record, and refused.
  const std::string a = Write("a.txt", {zip4_[0], std::string(182, ' '), zip4_[1]}, "\n");
  const auto r = RunCommand({corvdb_, "build", "--zip4", a, "--citystate", cs, "--out", out});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_NE(r.err.find(a + ": record 2: "), std::string::npos) << r.err;
}

TEST_F(BuildCommand, InputThatMakesNoSenseIsBuiltWithOneWarningPerKind) {
  std::vector<std::string> zip4 = zip4_;
  zip4[1][17] = 'X';                          // record type
  zip4[3][17] = 'Q';
  zip4[2][78] = 'Z';                          // primary odd/even
  zip4[4].replace(58, 20, "200       100       ");  // primary range backwards
  zip4.push_back(zip4_[0]);                   // repeated (the file given twice)
  zip4.push_back(zip4_[0]);
  std::vector<std::string> city_state = city_state_;
  std::string renamed = city_state_[0];
  renamed.replace(13, 28, "PAWTUCKET" + std::string(19, ' '));
  renamed.replace(1, 5, "02999");
  city_state.push_back(renamed);
  const std::string a = Write("a.txt", zip4, "\n");
  const std::string cs = Write("cs.txt", city_state, "\n");
  const auto r = RunCommand({corvdb_, "build", "--zip4", a, "--citystate", cs, "--out", dir_.file("zip.cvd")});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_NE(r.err.find("warning: 2 records: ZIP+4 records whose record type code is not one of G H F S P R M "
                       "(the first: " + a + ": record 2)\n"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("warning: 1 records: ZIP+4 records with an odd/even code other than O, E or B (the first: " +
                       a + ": record 3)\n"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("warning: 1 records: ZIP+4 records whose primary number range runs backwards (low above "
                       "high) (the first: " + a + ": record 5)\n"),
            std::string::npos)
      << r.err;
  // The repeated records come back after other ZIP codes, so the input is regrouped.
  EXPECT_NE(r.err.find("warning: 2 records: ZIP+4 records that repeat an earlier record of their ZIP code (the "
                       "first: ZIP code 02901, update key A000000001)\n"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("warning: 1 records: City-State records whose key is listed before with another city name "
                       "(the first: " + cs + ": record 4)\n"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find(": 8 records, 3 ZIP codes, "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("corvdb build: 5 kinds of warning, 7 records; the database holds them as they are\n"),
            std::string::npos)
      << r.err;

  // Grouped input names the repeated record by its place in the file.
  const std::string grouped = Write("g.txt", {zip4_[0], zip4_[0], zip4_[1]}, "\n");
  const auto g = RunCommand({corvdb_, "build", "--zip4", grouped, "--citystate", Write("c.txt", city_state_, "\n"),
                             "--out", dir_.file("zip.cvd")});
  ASSERT_EQ(g.exit_code, 0) << g.err;
  EXPECT_NE(g.err.find("repeat an earlier record of their ZIP code (the first: " + grouped + ": record 2)\n"),
            std::string::npos)
      << g.err;
}

}  // namespace
