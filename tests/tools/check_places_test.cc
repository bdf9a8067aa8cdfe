// corvdb check and the place names file beside the database: a matching file
// is reported with its counts, a missing one is mentioned, one that is
// damaged or belongs to another database is a problem (exit status 1).
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "../engine/builder_records.h"
#include "test_support.h"

namespace {

using corvdb::builder_test::MakeCityState;
using corvdb::builder_test::MakeOtherCityState;
using corvdb::builder_test::MakeZip4;
using corvdb::builder_test::Zip4Fields;
using corvellan::test::BinDir;
using corvellan::test::ReadFile;
using corvellan::test::RunCommand;
using corvellan::test::TempDir;
using corvellan::test::WriteFile;

class CheckPlaces : public testing::Test {
 protected:
  void SetUp() override {
    std::string zip4, city_state;
    for (const char* zip : {"62701", "62704"}) {
      Zip4Fields f;
      f.zip = zip;
      f.state = "IL";
      zip4 += MakeZip4(f) + "\n";
      city_state += MakeCityState("C00001", zip, "SPRINGFIELD", "IL") + "\n";
    }
    city_state += MakeOtherCityState("C00002", "62704", "LELAND GROVE", "IL", 'N', 'Y', "C00001", "SPRINGFIELD") + "\n";
    WriteFile(dir_.file("zip4.txt"), zip4);
    WriteFile(dir_.file("cs.txt"), city_state);
    const auto r = RunCommand({tool_, "build", "-q", "--zip4", dir_.file("zip4.txt"), "--citystate",
                               dir_.file("cs.txt"), "--out", db_});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    places_ = ReadFile(db_ + ".places");
  }

  TempDir dir_;
  const std::string tool_ = BinDir() + "/corvdb";
  const std::string db_ = dir_.file("zip.cvd");
  std::string places_;
};

TEST_F(CheckPlaces, AMatchingFileIsReportedAndAMissingOneMentioned) {
  auto r = RunCommand({tool_, "check", "-q", db_});
  EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("place names file " + db_ + ".places: 3 names of 2 ZIP codes, written for this database\n"),
            std::string::npos)
      << r.err;

  // Without the checksum file the SHA-256 is computed.
  std::filesystem::remove(db_ + ".sha256");
  r = RunCommand({tool_, "check", "-q", db_});
  EXPECT_EQ(r.exit_code, 0) << r.out << r.err;

  std::filesystem::remove(db_ + ".places");
  r = RunCommand({tool_, "check", "-q", db_});
  EXPECT_EQ(r.exit_code, 0) << r.out << r.err;
  EXPECT_NE(r.err.find("no place names file " + db_ + ".places (built before there was one"), std::string::npos)
      << r.err;
}

TEST_F(CheckPlaces, ADamagedOrForeignFileIsAProblem) {
  const std::string header = places_.substr(0, places_.find('\n'));
  const std::string body = places_.substr(places_.find('\n'));
  auto header_with = [&](const std::string& from, const std::string& to) {
    std::string h = header;
    h.replace(h.find(from), from.size(), to);
    return h + body;
  };
  std::string other_sha = header;
  const size_t sha = other_sha.find("sha256=") + 7;
  other_sha[sha] = other_sha[sha] == '0' ? '1' : '0';
  std::string bad_line = places_;
  bad_line.replace(bad_line.find("62704\tIL\tA"), 5, "99999");
  struct Case {
    const char* what;
    std::string text;
    std::string problem;  // the line on standard output
    const char* verdict;  // on standard error
  };
  const std::string p = "place names: " + db_ + ".places: ";
  const Case cases[] = {
      {"another size", header_with(" size=", " size=9"), p + "it was written for another database (size 9", "stale"},
      {"another hash", other_sha + body, p + "it was written for another database (its SHA-256 is not this one's)\n",
       "stale"},
      {"cut short", places_.substr(0, places_.size() - 5), p + "it is cut short: line 4 has no line end\n", "stale"},
      {"not the format", "garbage\n", p + "its first line is not a \"corvellan-places\" header\n", "stale"},
      {"a ZIP code not in the database", bad_line, p + "line 4: ZIP code 99999 is not in the database\n",
       "2 names of 2 ZIP codes; bad lines (the matcher leaves them out)"},
  };
  for (const Case& c : cases) {
    WriteFile(db_ + ".places", c.text);
    const auto r = RunCommand({tool_, "check", "-q", db_});
    EXPECT_EQ(r.exit_code, 1) << c.what << ": " << r.err;
    EXPECT_EQ(r.out.rfind(c.problem, 0), 0u) << c.what << ": " << r.out;
    EXPECT_NE(r.err.find(c.verdict), std::string::npos) << c.what << ": " << r.err;
    // The database itself is clean.
    EXPECT_NE(r.err.find(": clean: 2 ZIP codes"), std::string::npos) << c.what << ": " << r.err;
  }
}

}  // namespace
