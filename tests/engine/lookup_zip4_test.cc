// ZIP+4 lookup and the delivered address record.
#include <gtest/gtest.h>

#include <string>

#include "reader_test_file.h"

namespace corvdb {
namespace {

using corvellan::test::TempDir;
using testfile::Block;
using testfile::BuildFile;
using testfile::Fields;
using testfile::MakeRow;
using testfile::Request;
using testfile::SimpleBlock;

Fields Range(const std::string& low, const std::string& high, const std::string& street) {
  Fields f;
  f.addOnLow = low;
  f.addOnHigh = high;
  f.street = street;
  return f;
}

class LookupTest : public ::testing::Test {
 protected:
  void Open(const std::vector<Block>& blocks) { ASSERT_EQ(testfile::OpenBytes(engine_, dir_, BuildFile(blocks)), 0); }
  int32_t Find(const std::string& zip, const std::string& addOn, int32_t n = 1) {
    record_ = Request(zip, addOn);
    return engine_.zipcodeToAddress(record_.data(), n);
  }
  std::string Out(std::size_t offset, std::size_t length) const { return record_.substr(offset, length); }
  std::string Zip4Buffer() {
    std::string zip4(182, '?'), cs(129, '?'), urb(129, '?');
    EXPECT_EQ(engine_.getZip4Rec(zip4.data(), cs.data(), urb.data()), 0);
    return zip4;
  }

  TempDir dir_;
  ReadZipFile engine_;
  std::string record_;
};

TEST_F(LookupTest, CountsEveryCoveringRecordAndDeliversTheNth) {
  Block b{"12345", {}, {}, {}};
  b.rows.push_back(MakeRow(Range("1100", "1199", "FIRST")));
  b.rows.push_back(MakeRow(Range("1200", "1299", "SECOND")));
  b.rows.push_back(MakeRow(Range("1234", "1234", "THIRD")));
  b.rows.push_back(MakeRow(Range("1235", "1299", "FOURTH")));
  Open({b});

  EXPECT_EQ(Find("12345", "1234", 1), 2);
  EXPECT_EQ(Out(62, 9), "Second St");
  EXPECT_EQ(Out(242, 8), "12001299");
  EXPECT_EQ(Find("12345", "1234", 2), 2);
  EXPECT_EQ(Out(62, 8), "Third St");
  EXPECT_EQ(Out(242, 8), "12341234");

  for (int32_t n : {0, 3, -1}) {
    EXPECT_EQ(Find("12345", "1234", n), -1) << n;
    EXPECT_EQ(record_, Request("12345", "1234")) << "a failed lookup leaves the caller's record";
  }
  EXPECT_EQ(Find("12345", "1300"), -1);
  EXPECT_EQ(Find("12345", "1199"), 1);
}

TEST_F(LookupTest, TheCallersAddOnStaysAtPlus4) {
  Block b{"12345", {MakeRow(Range("1200", "1299", "MAIN")), MakeRow(Range("1250", "1250", "OAK"))}, {}, {}};
  Open({b});
  // A range record would leave plus-4 empty; the caller's add-on is put back.
  EXPECT_EQ(Find("12345", "1234"), 1);
  EXPECT_EQ(Out(238, 4), "1234");
  EXPECT_EQ(Find("12345", "1250", 2), 2);
  EXPECT_EQ(Out(238, 4), "1250");
}

TEST_F(LookupTest, AddOnPrefixAndPostfixMustMatchWhenTyped) {
  Block b{"12345", {}, {}, {}};
  b.rows.push_back(MakeRow(Range("A100", "A199", "ALPHA")));
  b.rows.push_back(MakeRow(Range("B100", "B199", "BRAVO")));
  b.rows.push_back(MakeRow(Range("150C", "150C", "CHARLIE")));
  Open({b});
  EXPECT_EQ(Find("12345", "a150"), 1);  // upper-cased before matching
  EXPECT_EQ(Out(62, 8), "Alpha St");
  EXPECT_EQ(Out(238, 4), "a150");
  EXPECT_EQ(Find("12345", "B150"), 1);
  EXPECT_EQ(Out(62, 8), "Bravo St");
  EXPECT_EQ(Find("12345", "C150"), -1);
  EXPECT_EQ(Find("12345", "150"), 3);  // no typed prefix or postfix: the number alone decides
  EXPECT_EQ(Find("12345", "150C"), 1);
  EXPECT_EQ(Out(62, 10), "Charlie St");
  EXPECT_EQ(Find("12345", "150D"), -1);
}

TEST_F(LookupTest, BlankAddOnSelectsRangesStartingAtZero) {
  Open({SimpleBlock("12345", 3)});
  EXPECT_EQ(Find("12345", ""), 1);
  EXPECT_EQ(Out(242, 4), "0000");
  EXPECT_EQ(Find("12345", "    "), 1);
}

TEST_F(LookupTest, OnlyAWholeFiveDigitZipCodeMatches) {
  Open({SimpleBlock("12345", 2), SimpleBlock("23456", 2)});
  EXPECT_EQ(Find("12345", "0001"), 1);
  EXPECT_EQ(Find("23456", "0001"), 1);
  for (const char* zip : {"1234", "2345", "34562", "", "1234 ", "12 45", "00000", "99999", "3456"}) {
    EXPECT_EQ(Find(zip, "0001"), -1) << zip;
  }
  // ZIP+4 written without the dash: nine characters from offset 233.
  record_ = std::string(250, '\0');
  record_.replace(233, 9, "234560001");
  EXPECT_EQ(engine_.zipcodeToAddress(record_.data(), 1), 1);
}

TEST_F(LookupTest, GetZip4RecBeforeAnyLookupIsZeros) {
  std::string zip4(182, '?'), cs(129, '?'), urb(129, '?');
  EXPECT_EQ(engine_.getZip4Rec(zip4.data(), cs.data(), urb.data()), 0);
  EXPECT_EQ(zip4, std::string(182, '\0'));
  EXPECT_EQ(cs, std::string(129, '\0'));
  EXPECT_EQ(urb, std::string(129, '\0'));
}

TEST_F(LookupTest, AFailedLookupLeavesTheTypedZipPlus4InTheZip4Buffer) {
  Open({SimpleBlock("12345", 2)});
  ASSERT_EQ(Find("12345", "0001"), 1);
  const std::string delivered = Zip4Buffer();
  EXPECT_EQ(Find("54321", "98"), -1);
  std::string expected = delivered;
  expected.replace(1, 9, std::string("5432198\0\0", 9));
  EXPECT_EQ(Zip4Buffer(), expected);
}

TEST_F(LookupTest, DeliveredRecordFieldsAndTitleCase) {
  Fields f;
  f.firm = "BANK OF AMERICA";
  f.preDirection = "N";
  f.street = "MCDONALD";
  f.suffix = "AVE";
  f.postDirection = "SW";
  f.unitAbbrev = "STE";
  f.unitLow = "100";
  f.unitHigh = "199";
  f.unitOddEven = "O";
  f.primaryLow = "12A";
  f.primaryHigh = "12A";
  f.primaryOddEven = "B";
  f.city = "ST. JOHN'S-ON-THE-LAKE";
  f.county = "MCLEAN";
  f.urbanization = "URB LAS GLADIOLAS";
  f.state = "PR";
  f.recordType = "H";
  Open({Block{"12345", {MakeRow(f)}, {}, {}}});
  ASSERT_EQ(Find("12345", "1234"), 1);

  EXPECT_EQ(Out(0, 1), "H");
  EXPECT_EQ(Out(1, 40), "Bank of America" + std::string(25, ' '));
  EXPECT_EQ(Out(41, 4), "Ste ");
  EXPECT_EQ(Out(45, 8), "100     ");
  EXPECT_EQ(Out(53, 8), "199     ");
  EXPECT_EQ(Out(61, 1), "O");
  EXPECT_EQ(Out(62, 60), "N McDonald Ave SW" + std::string(43, ' '));
  EXPECT_EQ(Out(122, 10), "12A       ");
  EXPECT_EQ(Out(132, 10), "12A       ");
  EXPECT_EQ(Out(142, 1), "B");
  EXPECT_EQ(Out(143, 60), "Urb Las Gladiolas" + std::string(43, ' '));
  EXPECT_EQ(Out(203, 28), "St. John's-on-The-Lake      ");
  EXPECT_EQ(Out(231, 2), "PR");
  EXPECT_EQ(Out(233, 5), "12345");
  EXPECT_EQ(Out(238, 4), "1234");
  EXPECT_EQ(Out(242, 8), "12341234");

  std::string zip4(182, '?'), cs(129, '?'), urb(129, '?');
  engine_.getZip4Rec(zip4.data(), cs.data(), urb.data());
  EXPECT_EQ(zip4.substr(24, 28), "McDonald" + std::string(20, ' '));
  EXPECT_EQ(zip4.substr(52, 4), "Ave ");
  EXPECT_EQ(zip4.substr(79, 15), "Bank of America");
  EXPECT_EQ(zip4.substr(119, 4), "Ste ");
  EXPECT_EQ(zip4.substr(1, 5), "12345");
  EXPECT_EQ(cs.substr(13, 22), "St. John's-on-The-Lake");
  EXPECT_EQ(cs.substr(62, 22), "St. John's-on-The-Lake");
  EXPECT_EQ(cs.substr(104, 6), "McLean");
  EXPECT_EQ(urb.substr(13, 17), "Urb Las Gladiolas");
}

TEST_F(LookupTest, StreetLineWithoutPreDirectionOrSuffix) {
  Fields f;
  f.suffix = "";
  f.street = "BROADWAY";
  Fields g;
  g.street = "";
  g.suffix = "";
  g.addOnLow = g.addOnHigh = "2000";
  Open({Block{"12345", {MakeRow(f), MakeRow(g)}, {}, {}}});
  ASSERT_EQ(Find("12345", "1234"), 1);
  EXPECT_EQ(Out(62, 60), "Broadway" + std::string(52, ' '));
  ASSERT_EQ(Find("12345", "2000"), 1);
  EXPECT_EQ(Out(62, 60), std::string(60, ' '));
  EXPECT_EQ(Out(238, 4), "2000");
  EXPECT_EQ(Out(143, 60), std::string(60, ' '));  // no urbanization
}

TEST_F(LookupTest, BlocksOfMoreThanTwentyThousandRows) {
  Open({SimpleBlock("12345", 25000), SimpleBlock("12346", 1)});
  // Add-ons repeat every 10,000 rows: 4999 is held by rows 4999, 14999 and 24999.
  EXPECT_EQ(Find("12345", "4999", 3), 3);
  EXPECT_EQ(Out(122, 10), "50098     ");  // row 24999: primary 100 + 2 * 24999
  EXPECT_EQ(Find("12346", "0000"), 1);
}

}  // namespace
}  // namespace corvdb
