// Opening zip.cvd: where the file is found, which files are refused, and that
// a failed opening does not stay failed.
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/profile.h"
#include "reader_test_file.h"

namespace corvdb {
namespace {

using corvellan::test::ScopedEnv;
using corvellan::test::TempDir;
using testfile::Block;
using testfile::BuildFile;
using testfile::Request;
using testfile::SimpleBlock;

std::string Fixed32(uint32_t v) {
  std::string s;
  PutFixed32(&s, v);
  return s;
}

void Patch32(std::string* file, uint32_t at, uint32_t v) { file->replace(at, 4, Fixed32(v)); }

int32_t Open(const std::string& bytes) {
  TempDir dir;
  ReadZipFile engine;
  return testfile::OpenBytes(engine, dir, bytes);
}

TEST(ReaderOpen, ABuiltFileOpensAndItsZipCodesAreListed) {
  TempDir dir;
  ReadZipFile engine;
  ASSERT_EQ(testfile::OpenBytes(engine, dir, BuildFile({SimpleBlock("01001", 2), SimpleBlock("99950", 1)})), 0);
  EXPECT_TRUE(engine.opened());
  EXPECT_EQ(engine.errorCode(), 0);
  EXPECT_EQ(engine.zipCount(), 2u);
  EXPECT_TRUE(engine.hasZip(1001));
  EXPECT_TRUE(engine.hasZip(99950));
  EXPECT_FALSE(engine.hasZip(12345));
  EXPECT_TRUE(engine.suffixTable().lookup("AVENUE").has_value());
}

TEST(ReaderOpen, RefusesFilesWhoseTopLevelPointsOutsideThem) {
  testfile::Layout l;
  const std::string good = BuildFile({SimpleBlock("12345", 3)}, &l);
  ASSERT_EQ(Open(good), 0);

  EXPECT_EQ(Open(""), -3);
  EXPECT_EQ(Open(std::string("\x08\x00\x00", 3)), -3);
  for (uint32_t h : {0u, 4u, 7u, static_cast<uint32_t>(good.size()) - 7, static_cast<uint32_t>(good.size()),
                     0xFFFFFFFFu}) {
    std::string f = good;
    Patch32(&f, 0, h);
    EXPECT_EQ(Open(f), -3) << "H = " << h;
  }
  // T: tables before the file start, past its end, or without room for U.
  for (int64_t t : {-static_cast<int64_t>(l.h) - 1, static_cast<int64_t>(good.size() - l.h),
                    static_cast<int64_t>(good.size() - l.h) - 3}) {
    std::string f = good;
    Patch32(&f, l.h, static_cast<uint32_t>(t));
    EXPECT_EQ(Open(f), -3) << "T = " << t;
  }
  // U: index areas before the file start or past its end.
  for (int64_t u : {-static_cast<int64_t>(l.tables) - 1, static_cast<int64_t>(good.size() - l.tables) + 1}) {
    std::string f = good;
    Patch32(&f, l.tables, static_cast<uint32_t>(u));
    EXPECT_EQ(Open(f), -3) << "U = " << u;
  }
}

TEST(ReaderOpen, RefusesDamagedDirectories) {
  const Block b = SimpleBlock("12345", 1);
  auto entry = [](const std::string& zip, uint32_t offset) {
    std::string s = zip;
    PutVarMode2(&s, offset);
    return s;
  };
  testfile::Options options;
  options.directory = entry("12345", 4) + std::string(1, '\0');
  ASSERT_EQ(Open(BuildFile({b}, nullptr, options)), 0);

  const std::string damaged[] = {
      entry("1234X", 4) + std::string(1, '\0'),                 // not five digits
      entry("1234", 4) + std::string(1, '\0'),                  // four digits
      "12345" + std::string(1, '\0'),                           // no offset
      "12345\x04" + std::string(1, '\0'),                       // offset byte without bit 7
      entry("12345", 0) + std::string(1, '\0'),                 // offset 0 holds H
      entry("12345", 0x7FFFFFF) + std::string(1, '\0'),         // offset past the file
  };
  for (const std::string& directory : damaged) {
    options.directory = directory;
    EXPECT_EQ(Open(BuildFile({b}, nullptr, options)), -3);
  }
}

TEST(ReaderOpen, RefusesUnterminatedDirectoryAndSuffixTable) {
  testfile::Layout l;
  const std::string good = BuildFile({SimpleBlock("12345", 1)}, &l);
  // The file ends inside the directory, or inside the suffix table.
  std::string f = good.substr(0, l.tables - 1);
  Patch32(&f, l.h, 0);  // keep T inside the file so that only the directory is wrong
  EXPECT_EQ(Open(f), -3);
  f = good.substr(0, l.indexes - 1);
  EXPECT_EQ(Open(f), -3);
}

TEST(ReaderOpen, RefusesIndexAreasRunningPastTheFile) {
  const Block b = SimpleBlock("12345", 1);
  testfile::Options options;
  std::string areas = testfile::EmptyIndexAreas();
  options.indexAreas = areas;
  ASSERT_EQ(Open(BuildFile({b}, nullptr, options)), 0);

  options.indexAreas = areas.substr(0, areas.size() - 1);  // the last area is cut short
  EXPECT_EQ(Open(BuildFile({b}, nullptr, options)), -3);
  options.indexAreas = areas.substr(0, 20);  // areas missing
  EXPECT_EQ(Open(BuildFile({b}, nullptr, options)), -3);
  for (uint32_t length : {0u, 3u, 1000u, 0xFFFFFFFFu}) {
    std::string bad = areas;
    Patch32(&bad, 10, length);  // the third area: StreetName's main list is the second
    options.indexAreas = bad;
    EXPECT_EQ(Open(BuildFile({b}, nullptr, options)), -3) << length;
  }
}

TEST(ReaderOpen, RefusesWhatIsNotARegularFile) {
  TempDir dir;
  ReadZipFile engine;
  EXPECT_EQ(engine.openPath(dir.file("missing.cvd")), -3);
  EXPECT_EQ(engine.openPath(dir.path()), -3);
  EXPECT_EQ(engine.errorCode(), -3);
  EXPECT_FALSE(engine.opened());
}

// Settings: Corvel.ini in an isolated profile directory.
class ReaderSettings : public ::testing::Test {
 protected:
  void SetData(const std::string& value) {
    ASSERT_TRUE(corvellan::WriteProfileString("Corvel.ini", "Directories", "Data", value));
  }
  std::string Lookup(ReadZipFile& engine, int32_t* rc) {
    std::string record = Request("12345", "0001");
    *rc = engine.zipcodeToAddress(record.data(), 1);
    return record;
  }

  TempDir config_;
  ScopedEnv xdg_{"XDG_CONFIG_HOME", config_.path()};
  TempDir data_;
  std::string bytes_ = BuildFile({SimpleBlock("12345", 3)});
};

TEST_F(ReaderSettings, DataDirectoryWithoutItsSlashGetsOne) {
  corvellan::test::WriteFile(data_.file("zip.cvd"), bytes_);
  SetData(data_.path());
  {
    ReadZipFile engine;
    EXPECT_EQ(engine.openDatabase(), 0);
    EXPECT_EQ(engine.path(), data_.path() + "/zip.cvd");
  }
  SetData(data_.path() + "/");
  ReadZipFile engine;
  EXPECT_EQ(engine.openDatabase(), 0);
  EXPECT_EQ(engine.path(), data_.path() + "/zip.cvd");
}

TEST_F(ReaderSettings, SettingsFileIsFoundInAnyLetterCase) {
  corvellan::test::WriteFile(data_.file("zip.cvd"), bytes_);
  std::filesystem::create_directories(config_.path() + "/corvellan");
  corvellan::test::WriteFile(config_.path() + "/corvellan/CORVEL.INI", "[directories]\ndata=" + data_.path() + "\n");
  ReadZipFile engine;
  EXPECT_EQ(engine.openDatabase(), 0);
  EXPECT_EQ(engine.path(), data_.path() + "/zip.cvd");
}

TEST_F(ReaderSettings, WithoutSettingsTheCurrentDirectoryIsUsed) {
  corvellan::test::WriteFile(data_.file("zip.cvd"), bytes_);
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(data_.path());
  ReadZipFile engine;
  const int32_t rc = engine.openDatabase();
  std::filesystem::current_path(previous);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(engine.path(), "./zip.cvd");
}

TEST_F(ReaderSettings, AFailedOpeningIsRetriedAndDoesNotStick) {
  SetData(data_.path() + "/");
  ReadZipFile engine;
  int32_t rc = 0;
  const std::string untouched = Request("12345", "0001");
  EXPECT_EQ(Lookup(engine, &rc), untouched);
  EXPECT_EQ(rc, -3);
  EXPECT_EQ(engine.errorCode(), -3);

  // The user puts the file in place: the next lookup opens it and works.
  corvellan::test::WriteFile(data_.file("zip.cvd"), bytes_);
  Lookup(engine, &rc);
  EXPECT_EQ(rc, 1);
  EXPECT_EQ(engine.errorCode(), 0);
  EXPECT_TRUE(engine.opened());
}

TEST_F(ReaderSettings, DirectoryLongerThanThePathFieldIsRefused) {
  // A directory of exactly 247 characters (the path field's 255 bytes less
  // "zip.cvd" and the terminating byte) works; one more character does not.
  std::string dir = data_.path();
  while (dir.size() < 247 - 1) dir += dir.size() % 50 == 0 ? "/" : "d";
  if (dir.back() == '/') dir.back() = 'e';
  dir += "/";
  ASSERT_EQ(dir.size(), 247u);
  std::filesystem::create_directories(dir);
  corvellan::test::WriteFile(dir + "zip.cvd", bytes_);
  SetData(dir);
  {
    ReadZipFile engine;
    EXPECT_EQ(engine.openDatabase(), 0);
  }
  const std::string longer = dir.substr(0, dir.size() - 1) + "f/";
  std::filesystem::create_directories(longer);
  corvellan::test::WriteFile(longer + "zip.cvd", bytes_);
  SetData(longer);
  ReadZipFile engine;
  EXPECT_EQ(engine.openDatabase(), -3);
}

}  // namespace
}  // namespace corvdb
