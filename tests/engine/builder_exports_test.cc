// Databases from the writer read through the engine's exports: every detail
// record, odd number fields included, comes back from ZipcodeToAddress and
// GetZip4Rec byte for byte (the names in mixed case, as the engine delivers
// them).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "builder/cvd_writer.h"
#include "builder_datasets.h"
#include "corvdb.h"
#include "platform/profile.h"
#include "read_zip_file.h"
#include "str_util.h"
#include "test_support.h"

namespace corvdb::builder {
namespace {

using corvellan::test::ScopedEnv;
using corvellan::test::TempDir;

std::string TitleCased(std::string record, std::initializer_list<std::pair<int, int>> fields) {
  for (const auto& [offset, length] : fields) {
    strUtil::titleCase(record.data() + offset, static_cast<std::size_t>(length));
  }
  return record;
}

class WriterThroughExports : public testing::Test {
 protected:
  void SetUp() override { ResetProcessEngineForTesting(); }
  void TearDown() override { ResetProcessEngineForTesting(); }

  // Builds the dataset and checks that every record comes back.
  void ExpectEveryRecordBack(const builder_test::Dataset& d) {
    std::string error;
    ASSERT_TRUE(BuildDatabaseFromRecords(d.zip4, d.city_state, "ST,ST\n", data_.file("zip.cvd"), &error)) << error;
    ASSERT_TRUE(corvellan::WriteProfileString("Corvel.ini", "Directories", "Data", data_.path() + "/"));
    for (const std::string& detail : d.zip4) {
      const std::string row = builder_test::ExpectedRow(detail, d.city_state);
      const std::string want_zip4 = TitleCased(detail, {{24, 28}, {79, 40}, {52, 4}, {119, 4}});
      const std::string want_cs = TitleCased(row.substr(182, 129), {{13, 28}, {104, 25}, {62, 28}});
      const std::string want_urb = TitleCased(row.substr(311, 129), {{13, 28}});
      auto request = [&] {
        std::string record(250, '\0');
        record.replace(233, 5, detail.substr(1, 5));
        record.replace(238, 4, detail.substr(140, 4));
        return record;
      };
      std::string record = request();
      const int32_t count = ZipcodeToAddress(record.data(), 1);
      ASSERT_GE(count, 1) << detail;
      bool found = false;
      for (int32_t n = 1; n <= count && !found; ++n) {
        record = request();
        ASSERT_EQ(ZipcodeToAddress(record.data(), n), count);
        std::string zip4(182, '\0'), cs(129, '\0'), urb(129, '\0');
        ASSERT_EQ(GetZip4Rec(zip4.data(), cs.data(), urb.data()), 0);
        found = zip4 == want_zip4 && cs == want_cs && urb == want_urb;
      }
      ASSERT_TRUE(found) << "not delivered: " << detail;
    }
  }

  TempDir config_;
  ScopedEnv xdg_{"XDG_CONFIG_HOME", config_.path()};
  TempDir data_;
};

TEST_F(WriterThroughExports, RandomRecordsComeBack) { ExpectEveryRecordBack(builder_test::Random(21, 25, 60)); }

TEST_F(WriterThroughExports, OddFieldsComeBack) {
  // The hand-made records, with add-ons a lookup can type (4 digits).
  builder_test::Dataset d = builder_test::Handmade();
  for (std::string& r : d.zip4) {
    r.replace(140, 8, "12341299");
  }
  ExpectEveryRecordBack(d);
}

}  // namespace
}  // namespace corvdb::builder
