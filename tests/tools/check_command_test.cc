// corvdb check: a clean database passes, every kind of damage is found and
// tied to its ZIP code, the checksum file written by the build is verified.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

#include "../engine/builder_records.h"
#include "check/cvd_check.h"
#include "read_zip_file.h"
#include "test_support.h"

namespace {

using corvdb::builder_test::MakeCityState;
using corvdb::builder_test::MakeZip4;
using corvdb::builder_test::Zip4Fields;
using corvellan::test::BinDir;
using corvellan::test::ReadFile;
using corvellan::test::RunCommand;
using corvellan::test::TempDir;
using corvellan::test::WriteFile;

class CheckCommand : public testing::Test {
 protected:
  void SetUp() override {
    std::string zip4, city_state;
    for (const char* zip : {"02901", "02902", "02903"}) {
      Zip4Fields f;
      f.zip = zip;
      for (int i = 0; i < 3; ++i) {
        f.street = "MAIN " + std::string(zip) + std::to_string(i);
        f.firm = i == 1 ? "ACME " + std::string(zip) : "";
        f.update_number = "00000000" + std::to_string(i);
        zip4 += MakeZip4(f) + "\n";
      }
      city_state += MakeCityState("C00001", zip, "PROVIDENCE", "RI") + "\n";
    }
    WriteFile(dir_.file("zip4.txt"), zip4);
    WriteFile(dir_.file("cs.txt"), city_state);
    const auto r = RunCommand({tool_, "build", "-q", "--zip4", dir_.file("zip4.txt"), "--citystate",
                               dir_.file("cs.txt"), "--out", db_});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    bytes_ = ReadFile(db_);
  }

  corvellan::test::CommandResult Check() { return RunCommand({tool_, "check", db_}); }

  // The file offset of a ZIP code's block, from the reader.
  uint32_t BlockOffset(uint32_t zip) {
    corvdb::ReadZipFile engine;
    EXPECT_EQ(engine.openPath(db_), 0);
    return engine.blockOffset(zip);
  }

  TempDir dir_;
  const std::string tool_ = BinDir() + "/corvdb";
  const std::string db_ = dir_.file("zip.cvd");
  std::string bytes_;
};

TEST_F(CheckCommand, ACleanDatabaseWithItsChecksumPasses) {
  auto r = Check();
  EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "corvdb check: place names file " + db_ + ".places: 3 names of 3 ZIP codes, written for this database\n"
                   "corvdb check: " + db_ + ": clean: 3 ZIP codes, 9 records, 18 index entries; checksum matches\n");
}

// Without the checksum file only the structure is seen: a sound structure is
// not called clean, and the summary says how to get the checksum.
TEST_F(CheckCommand, WithoutTheChecksumOnlyTheStructureIsVouchedFor) {
  std::filesystem::remove(db_ + ".sha256");
  std::filesystem::remove(db_ + ".places");  // its own line is checked in check_places_test.cc
  const std::string noPlaces = "corvdb check: no place names file " + db_ +
                               ".places (built before there was one: a city is found by its last-line name only)\n";
  const std::string unverified = "corvdb check: " + db_ +
                                 ": structure OK; content not verified: 3 ZIP codes, 9 records, 18 index entries; "
                                 "no checksum file " + db_ + ".sha256 (corvdb build writes it beside the database "
                                 "it builds; only it covers every byte)\n";
  auto r = Check();
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, noPlaces + unverified);

  // A changed letter in a street name: the structure still reads, and the
  // check must not call the file clean.
  std::string changed = bytes_;
  const size_t street = changed.find("MAIN 029021");
  ASSERT_NE(street, std::string::npos);
  changed[street + 1] = 'O';
  WriteFile(db_, changed);
  r = Check();
  EXPECT_EQ(r.err.find(": clean"), std::string::npos) << r.err;

  // Damage the structure shows is still "damaged", checksum or not.
  changed = bytes_;
  changed[BlockOffset(2902) + 7] = '\x7F';
  WriteFile(db_, changed);
  r = Check();
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_NE(r.err.find(": damaged, 1 damaged ZIP codes: "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("; no checksum file\n"), std::string::npos) << r.err;
}

TEST_F(CheckCommand, TheChecksumCatchesWhatTheStructureCannot) {
  std::filesystem::remove(db_ + ".places");  // it would differ too (check_places_test.cc)
  // Bytes after the last index area: every block and index still reads.
  WriteFile(db_, bytes_ + "x");
  auto r = Check();
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "checksum: the file's SHA-256 is not the one in " + db_ +
                       ".sha256: it changed after it was built\n");
  EXPECT_NE(r.err.find(": damaged: 3 ZIP codes, 9 records, 18 index entries; checksum differs\n"),
            std::string::npos)
      << r.err;

  WriteFile(db_, bytes_);
  WriteFile(db_ + ".sha256", "not a checksum\n");
  r = Check();
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "checksum: " + db_ + ".sha256: not one line \"SHA-256  NAME\" as sha256sum writes it\n");
}

TEST_F(CheckCommand, DamageIsReportedByZipCode) {
  std::filesystem::remove(db_ + ".sha256");
  std::filesystem::remove(db_ + ".places");
  // A block header claiming too many rows.
  std::string damaged = bytes_;
  const uint32_t block = BlockOffset(2902);
  damaged[block + 7] = '\x7F';
  WriteFile(db_, damaged);
  auto r = Check();
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, "ZIP code 02902: its block header is damaged (row count or column offsets out of bounds)\n");
  EXPECT_NE(r.err.find("damaged, 1 damaged ZIP codes: 3 ZIP codes, 6 records"), std::string::npos) << r.err;

  // A street key changed in the index: its ZIP code's street is no longer found.
  damaged = bytes_;
  const size_t key = damaged.rfind("MAIN 029031");
  ASSERT_NE(key, std::string::npos);
  damaged[key + 10] = '7';
  WriteFile(db_, damaged);
  r = Check();
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out,
            "StreetName index: key \"MAIN 029032\" (ZIP code 02903) is out of order after \"MAIN 029037\" (ZIP code "
            "02903)\n"
            "ZIP code 02903: StreetName \"MAIN 029031\" of its records is not in the StreetName index\n"
            "ZIP code 02903: the StreetName index lists a key that none of its records holds\n");

  // A file the reader refuses.
  WriteFile(db_, std::string(100, 'x'));
  r = Check();
  EXPECT_EQ(r.exit_code, 1);
  EXPECT_EQ(r.out, db_ + ": the reader refuses it: its header, ZIP directory, suffix table or index areas are damaged\n");

  // Files that cannot be read at all.
  r = RunCommand({tool_, "check", dir_.file("none.cvd")});
  EXPECT_EQ(r.exit_code, 2);
  EXPECT_EQ(r.err, "corvdb check: " + dir_.file("none.cvd") + ": no such file\n");
  r = RunCommand({tool_, "check", dir_.path()});
  EXPECT_EQ(r.exit_code, 2);
}

// Every single changed byte of the file: the check never crashes, and with
// the checksum file beside it never calls a changed file clean.
TEST_F(CheckCommand, NoChangedByteGoesUnnoticed) {
  std::mt19937 rng(18);
  const std::string sum = ReadFile(db_ + ".sha256");
  for (int round = 0; round < 300; ++round) {
    std::string damaged = bytes_;
    const size_t at = std::uniform_int_distribution<size_t>(0, damaged.size() - 1)(rng);
    damaged[at] = static_cast<char>(damaged[at] ^ (1 + rng() % 255));
    WriteFile(db_, damaged);
    corvdb::tools::CheckReport report;
    std::string error;
    ASSERT_TRUE(corvdb::tools::CheckDatabase(db_, {}, &report, &error)) << error;
    EXPECT_FALSE(report.clean()) << "byte " << at;
    EXPECT_EQ(report.checksum, corvdb::tools::CheckReport::Checksum::kDiffers);
  }
}

}  // namespace
