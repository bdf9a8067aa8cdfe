// Records written by the real writer come back byte for byte: every detail
// record of a generated sample is found by its ZIP code and add-on, and one of
// the covering records delivered is that record, with its City-State and
// urbanization records, the names in mixed case.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "engine_answers.h"
#include "reader_test_file.h"

namespace corvdb {
namespace {

using corvellan::test::TempDir;

// Records of a product file: fixed-length records, each followed by CR LF;
// the first is the copyright record.
std::vector<std::string> Records(const std::string& text, std::size_t length) {
  std::vector<std::string> out;
  for (std::size_t at = length + 2; at + length <= text.size(); at += length + 2) out.push_back(text.substr(at, length));
  return out;
}

std::string TitleCased(std::string record, std::initializer_list<std::pair<int, int>> fields) {
  for (const auto& [offset, length] : fields) strUtil::titleCase(record.data() + offset, static_cast<std::size_t>(length));
  return record;
}

TEST(LookupRoundTrip, EveryRecordOfASampleComesBack) {
  TempDir dir;
  ASSERT_NO_FATAL_FAILURE(engine_test::GenerateSample(dir, 7, 4000, {"RI", "DE", "PR"}));  // PR: urbanizations

  const std::string zip4Text = corvellan::test::ReadFile(dir.file(tools::kZip4FileName));
  const std::string csText = corvellan::test::ReadFile(dir.file(tools::kCityStateFileName));
  const std::vector<std::string> details = Records(zip4Text, kZip4Size);
  const std::vector<std::string> cityStates = Records(csText, kCityStateSize);
  ASSERT_EQ(details.size(), 4000u);

  builder::BuildReport report;
  ASSERT_NO_FATAL_FAILURE(engine_test::BuildFromSample(dir, &report));

  std::map<std::string, std::string> byKey;  // City-State key -> record
  for (const std::string& cs : cityStates) byKey.emplace(cs.substr(6, 6), cs);

  ReadZipFile engine;
  ASSERT_EQ(engine.openPath(dir.file("zip.cvd")), 0);
  EXPECT_EQ(engine.zipCount(), report.zip_codes);
  std::size_t covered = 0;
  std::size_t withUrbanization = 0;
  for (const std::string& detail : details) {
    const std::string wantZip4 = TitleCased(detail, {{24, 28}, {79, 40}, {52, 4}, {119, 4}});
    const std::string wantCs = TitleCased(byKey.at(detail.substr(176, 6)), {{13, 28}, {104, 25}, {62, 28}});
    const std::string urbKey = detail.substr(170, 6);
    const std::string wantUrb = urbKey == "      " ? std::string(kCityStateSize, ' ')
                                                     : TitleCased(byKey.at(urbKey), {{13, 28}});
    withUrbanization += urbKey != "      ";
    std::string record = testfile::Request(detail.substr(1, 5), detail.substr(140, 4));
    const int32_t count = engine.zipcodeToAddress(record.data(), 1);
    ASSERT_GE(count, 1) << detail;
    bool found = false;
    for (int32_t n = 1; n <= count && !found; ++n) {
      record = testfile::Request(detail.substr(1, 5), detail.substr(140, 4));
      ASSERT_EQ(engine.zipcodeToAddress(record.data(), n), count);
      std::string zip4(kZip4Size, '\0'), cs(kCityStateSize, '\0'), urb(kCityStateSize, '\0');
      engine.getZip4Rec(zip4.data(), cs.data(), urb.data());
      if (zip4 != wantZip4) continue;
      found = true;
      EXPECT_EQ(cs, wantCs) << detail;
      EXPECT_EQ(urb, wantUrb) << detail;
      EXPECT_EQ(record.substr(233, 5), detail.substr(1, 5));
      EXPECT_EQ(record.substr(242, 8), detail.substr(140, 8));
      EXPECT_EQ(record.substr(203, 28), wantCs.substr(13, 28));
    }
    EXPECT_TRUE(found) << "not delivered: " << detail;
    covered += found;
  }
  EXPECT_EQ(covered, details.size());
  EXPECT_GT(withUrbanization, 0u);
}

}  // namespace
}  // namespace corvdb
