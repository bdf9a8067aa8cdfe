// corvdb standardize on real files: every input record comes out once, in
// order, with the standard form appended; bad records say why in their own
// row; a list it cannot work on is a clear error with exit status 2.
#include <gtest/gtest.h>

#include "search_fixture.h"
#include "test_support.h"

namespace {

using corvdb::search_test::Zip4Fields;
using corvellan::test::ReadFile;
using corvellan::test::RunCommand;
using corvellan::test::WriteFile;

class StandardizeCommandTest : public corvdb::search_test::SearchDatabase {
 protected:
  void SetUp() override {
    Zip4Fields main;
    main.zip = "62704";
    main.state = "IL";
    main.addon_low = main.addon_high = "1001";
    Zip4Fields oak = main;
    oak.zip = "62701";
    oak.street = "OAK";
    oak.primary_low = "1";
    oak.primary_high = "99";
    oak.primary_parity = "B";
    oak.addon_low = oak.addon_high = "3002";
    Build({main, oak});
  }

  corvellan::test::CommandResult Run(const std::string& csv, std::vector<std::string> extra = {}) {
    WriteFile(dir_.file("in.csv"), csv);
    std::vector<std::string> argv = {corvellan::test::BinDir() + "/corvdb", "standardize", "--in", dir_.file("in.csv"),
                                     "--out", dir_.file("out.csv"), "--data", dir_.path()};
    argv.insert(argv.end(), extra.begin(), extra.end());
    return RunCommand(argv);
  }
};

constexpr const char* kAppendedHeader =
    "std_delivery_line,std_city,std_state,std_zip4,std_record_type,match_code,match_reason\r\n";

TEST_F(StandardizeCommandTest, RecordsKeepTheirFieldsAndGetTheStandardForm) {
  const auto r = Run(
      "id,Address,note\n"
      "1,\"102 main street, springfield il\",\"say \"\"hi\"\", twice\"\n"
      "2,\"5 oak st, springfield, il 62704\",\n"
      "3,\"9 nowhere rd, springfield il\",x\n");
  ASSERT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(ReadFile(dir_.file("out.csv")),
            std::string("id,Address,note,") + kAppendedHeader +
                "1,\"102 main street, springfield il\",\"say \"\"hi\"\", twice\",102 MAIN ST,SPRINGFIELD,IL,"
                "62704-1001,S,exact,\r\n"
                "2,\"5 oak st, springfield, il 62704\",,5 OAK ST,SPRINGFIELD,IL,62701-3002,S,corrected,"
                "ZIP code 62704 -> 62701\r\n"
                "3,\"9 nowhere rd, springfield il\",x,,,,,,not found,street NOWHERE not found\r\n");
  EXPECT_NE(r.err.find("3 records: 1 exact, 1 corrected, 0 ambiguous, 1 not found, 0 errors"), std::string::npos)
      << r.err;
  EXPECT_FALSE(corvellan::test::FileExists(dir_.file("out.csv.part")));
}

TEST_F(StandardizeCommandTest, ExplainTellsHowEachRecordWasReadAndMatched) {
  const auto r = Run(
      "address\n"
      "\"102 main street, springfield, Illinois\"\n"
      "\"5 oak st, springfield, il 62704\"\n"
      "\"9 nowhere rd, springfield il\"\n"
      "\"\x01\"\n",
      {"--explain", "--threads", "2"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const char* expected[] = {
      "record 1: read: number=102 street=\"MAIN ST\" city=SPRINGFIELD state=IL (state ILLINOIS read as IL) -> exact "
      "via ZIP codes of the city: 62704-1001 S \"102 MAIN ST\"\n",
      "record 2: read: number=5 street=\"OAK ST\" city=SPRINGFIELD state=IL zip=62704 -> corrected via ZIP codes "
      "of the city: 62701-3002 S \"5 OAK ST\" (ZIP code 62704 -> 62701)\n",
      "record 3: read: number=9 street=\"NOWHERE RD\" city=SPRINGFIELD state=IL -> not found: street NOWHERE not "
      "found\n",
      "record 4: read: -> error: control character U+0001\n",
  };
  std::size_t at = 0;
  for (const char* line : expected) {
    const std::size_t found = r.err.find(line, at);
    EXPECT_NE(found, std::string::npos) << line << "\nin:\n" << r.err;
    if (found != std::string::npos) at = found;  // in the list's order
  }
}

TEST_F(StandardizeCommandTest, BadRecordsAreReportedInTheirRowAndTheRunGoesOn) {
  const auto r = Run(
      "address,n\n"
      "102 main st\"x, springfield il,1\n"
      "\"102 main st springfield il\"junk,2\n"
      "onlyone\n"
      "\"102 main st \xE4\xB8\xAD springfield il\",4\n"
      "\"102 main st, springfield il\",5\n",
      {"--threads", "1"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const std::string out = ReadFile(dir_.file("out.csv"));
  EXPECT_NE(out.find(",,,,,error,quote inside a field that does not start with one\r\n"), std::string::npos) << out;
  EXPECT_NE(out.find(",,,,,error,text after a closing quote\r\n"), std::string::npos) << out;
  EXPECT_NE(out.find("onlyone,,,,,,not found,street ONLYONE not found\r\n"), std::string::npos) << out;
  EXPECT_NE(out.find(",4,,,,,,error,character U+4E2D has no plain-letter equivalent\r\n"), std::string::npos) << out;
  EXPECT_NE(out.find(",5,102 MAIN ST,SPRINGFIELD,IL,62704-1001,S,exact,\r\n"), std::string::npos) << out;
}

TEST_F(StandardizeCommandTest, AddressFromPartColumns) {
  const auto r = Run("Street,Town,St,Zip\n102 Main St,Springfield,IL,\n5 Oak St,,IL,62701\nshort,row\n",
                     {"--street", "street", "--city", "TOWN", "--state", "st", "--zip", "zip"});
  ASSERT_EQ(r.exit_code, 0) << r.err;
  const std::string out = ReadFile(dir_.file("out.csv"));
  EXPECT_NE(out.find("62704-1001,S,exact"), std::string::npos) << out;
  EXPECT_NE(out.find("62701-3002,S,exact"), std::string::npos) << out;
  EXPECT_NE(out.find("short,row,,,,,,error,\"record has 2 fields, the address needs 4\"\r\n"), std::string::npos) << out;
}

TEST_F(StandardizeCommandTest, ListsItCannotWorkOnAreErrors) {
  const auto headerOnly = Run("address\r\n");
  EXPECT_EQ(headerOnly.exit_code, 0) << headerOnly.err;
  EXPECT_EQ(ReadFile(dir_.file("out.csv")), std::string("address,") + kAppendedHeader);

  const auto missing = Run("street,city\n1 Main St,Springfield\n");
  EXPECT_EQ(missing.exit_code, 2);
  EXPECT_NE(missing.err.find("has no column named \"address\""), std::string::npos) << missing.err;
  const auto missingPart = Run("street,city\n1 Main St,Springfield\n", {"--street", "street", "--zip", "postcode"});
  EXPECT_EQ(missingPart.exit_code, 2);
  EXPECT_NE(missingPart.err.find("has no column named \"postcode\""), std::string::npos) << missingPart.err;

  const auto empty = Run("");
  EXPECT_EQ(empty.exit_code, 2);
  EXPECT_NE(empty.err.find("it needs a header row"), std::string::npos) << empty.err;

  const auto noInput = RunCommand({corvellan::test::BinDir() + "/corvdb", "standardize", "--in", dir_.file("nope.csv"),
                                   "--out", dir_.file("out.csv"), "--data", dir_.path()});
  EXPECT_EQ(noInput.exit_code, 2);
  EXPECT_NE(noInput.err.find("cannot read"), std::string::npos) << noInput.err;

  WriteFile(dir_.file("in.csv"), "address\n1 Main St\n");
  const auto noData = RunCommand({corvellan::test::BinDir() + "/corvdb", "standardize", "--in", dir_.file("in.csv"),
                                  "--out", dir_.file("out.csv"), "--data", dir_.file("nothing-here")});
  EXPECT_EQ(noData.exit_code, 2);
  EXPECT_NE(noData.err.find("Error opening Data Files"), std::string::npos) << noData.err;
}

}  // namespace
