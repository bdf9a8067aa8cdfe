// The address search over damaged files: a block whose data is damaged
// contributes nothing, and whatever the damage, every answer is a documented
// code and the call protocol holds (the sanitizer build checks the reads).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "reader_test_file.h"
#include "search_fixture.h"

namespace corvdb::search_test {
namespace {

using corvellan::test::TempDir;

TEST(SearchDamage, ADamagedBlockContributesNothing) {
  testfile::Block damaged = testfile::SimpleBlock("12346", 4);
  // A one-byte repeat of a value that was never decoded: the column cannot
  // produce its entries. No condition reads this column, only delivery would.
  damaged.rawColumns[kCarrierRouteId] = std::string("\x05\x80\0", 3);
  TempDir dir;
  const std::string bytes = testfile::BuildFile(
      {testfile::SimpleBlock("12345", 2), damaged, testfile::SimpleBlock("12347", 3)});
  for (const bool helper : {false, true}) {  // blocks decoded ahead on a second thread, or not
    ReadZipFile engine;
    engine.setSearchHelper(helper, 2);
    ASSERT_EQ(testfile::OpenBytes(engine, dir, bytes), 0);
    ASSERT_EQ(engine.initiateZipSearch(Request({.zip = "1234*"}).data(), 0), 10);
    std::vector<std::string> zips;
    int zeros = 0;
    for (;;) {
      std::string record(250, '\0');
      const int32_t rc = engine.getNextZipMatch(record.data());
      if (rc < 0) break;
      if (rc == 0) {
        // From the second candidate on, the blocks are decoded ahead.
        if (++zeros == 1) {
          EXPECT_EQ(engine.searchAhead() != nullptr, helper);
        }
      } else {
        zips.push_back(record.substr(233, 5));
      }
    }
    EXPECT_EQ(zips, (std::vector<std::string>{"12345", "12345", "12347", "12347", "12347"})) << helper;
    EXPECT_EQ(zeros, 10) << helper;
  }
}

// A small database with every kind of condition to test.
std::string SmallDatabase(const TempDir& dir) {
  std::vector<std::string> records;
  for (int i = 0; i < 8; ++i) {
    Zip4Fields f;
    f.zip = i < 5 ? "12345" : "12346";
    f.street = i % 2 ? "MAIN" : "MAINE";
    f.firm = i == 3 ? "BANK OF THE WEST" : "";
    f.secondary_abbrev = i == 4 ? "APT" : "";
    f.secondary_low = i == 4 ? "1" : "";
    f.secondary_high = i == 4 ? "9" : "";
    f.secondary_parity = i == 4 ? "B" : "";
    f.addon_low = "00" + std::to_string(10 + i);
    f.addon_high = i == 2 ? "0099" : f.addon_low;
    f.update_number = Id(i + 1);
    records.push_back(MakeZip4(f));
  }
  std::string error;
  EXPECT_TRUE(builder::BuildDatabaseFromRecords(records, {MakeCityState("C00001", "12345", "SPRINGFIELD")},
                                                kSuffixCsv, dir.file("good.cvd"), &error))
      << error;
  return corvellan::test::ReadFile(dir.file("good.cvd"));
}

const Typed kRequests[] = {
    {.street = "MAIN"},
    {.firm = "BANK", .state = "NY"},
    {.zip = "1234*", .unit = "APT 5", .number = "150"},
    {.street = "100 MAINE ST", .city = "SPRING"},
};

// Runs every request to its end on `bytes`; fails on any undocumented code.
void CheckSearches(const TempDir& dir, const std::string& bytes, bool helper, const std::string& what) {
  ReadZipFile engine;
  engine.setSearchHelper(helper, 2);
  const int32_t opened = testfile::OpenBytes(engine, dir, bytes);
  ASSERT_TRUE(opened == 0 || opened == -3) << what;
  for (const Typed& typed : kRequests) {
    const int32_t initiated = engine.initiateZipSearch(Request(typed).data(), 0);
    std::string record(250, '\0');
    if (opened != 0) {
      ASSERT_EQ(initiated, -3) << what;
      continue;
    }
    ASSERT_GE(initiated, -1) << what;
    int zeros = 0;
    int calls = 0;
    int32_t rc = 0;
    while ((rc = engine.getNextZipMatch(record.data())) >= 0) {
      zeros += rc == 0;
      ASSERT_LT(++calls, 1000) << what << ": the search does not end";
    }
    ASSERT_EQ(rc, -1) << what;
    // Each candidate ZIP code costs exactly one 0, damaged or not; a street
    // in no index entry (0) runs out with one 0; after -1 nothing runs.
    if (initiated >= 1) {
      EXPECT_EQ(zeros, initiated) << what;
    } else {
      EXPECT_EQ(calls, initiated == 0 ? 1 : 0) << what;
      EXPECT_EQ(zeros, calls) << what;
    }
  }
}

TEST(SearchDamage, TheUndamagedDatabaseFindsEveryRequest) {
  TempDir dir;
  const std::string bytes = SmallDatabase(dir);
  ReadZipFile engine;
  ASSERT_EQ(testfile::OpenBytes(engine, dir, bytes), 0);
  for (const Typed& typed : kRequests) {
    ASSERT_GE(engine.initiateZipSearch(Request(typed).data(), 0), 1);
    std::string record(250, '\0');
    int32_t rc;
    int delivered = 0;
    while ((rc = engine.getNextZipMatch(record.data())) >= 0) delivered += rc > 0;
    EXPECT_GT(delivered, 0) << typed.street << typed.firm << typed.zip;
  }
}

TEST(SearchDamage, EveryByteFlipped) {
  TempDir dir;
  const std::string bytes = SmallDatabase(dir);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    for (unsigned mask : {0x01u, 0x80u}) {
      std::string damaged = bytes;
      damaged[i] = static_cast<char>(damaged[i] ^ mask);
      CheckSearches(dir, damaged, i % 2 == 1, "byte " + std::to_string(i) + " ^ " + std::to_string(mask));
      if (HasFatalFailure()) return;
    }
  }
}

}  // namespace
}  // namespace corvdb::search_test
