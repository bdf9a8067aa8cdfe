// The place names file the build writes beside zip.cvd: every City-State name
// of the database's ZIP codes, by kind, under a header naming the database.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "builder/cvd_writer.h"
#include "builder/sha256.h"
#include "builder_records.h"
#include "test_support.h"

namespace corvdb::builder {
namespace {

using builder_test::MakeCityState;
using builder_test::MakeOtherCityState;
using builder_test::MakeZip4;
using builder_test::Zip4Fields;
using corvellan::test::ReadFile;
using corvellan::test::TempDir;

const char* const kSuffixes = "name,abbreviation\nSTREET,ST\n";

std::vector<std::string> Zip4s() {
  std::vector<std::string> out;
  for (const auto& [zip, key] : {std::pair{"62701", "C00001"}, {"62704", "C00002"}}) {
    Zip4Fields f;
    f.zip = zip;
    f.state = "IL";
    f.last_line_key = key;
    out.push_back(MakeZip4(f));
  }
  return out;
}

TEST(PlacesFile, HoldsEveryNameOfTheDatabasesZipCodesByKind) {
  const std::vector<std::string> cs = {
      MakeCityState("C00001", "62701", "SPRINGFIELD", "IL"),
      MakeCityState("C00002", "62704", "SPRINGFIELD", "IL"),
      // Acceptable (Y and a blank indicator), not acceptable, a station.
      MakeOtherCityState("C00003", "62704", "SAINT JOHNS", "IL", 'N', 'Y', "C00002", "SPRINGFIELD"),
      MakeOtherCityState("C00004", "62704", "LELAND GROVE", "IL", 'N', ' ', "C00002", "SPRINGFIELD"),
      MakeOtherCityState("C00005", "62704", "WESTCHESTER", "IL", 'N', 'N', "C00002", "SPRINGFIELD"),
      MakeOtherCityState("C00006", "62701", "CAPITOL STA", "IL", 'S', 'Y', "C00001", "SPRINGFIELD"),
      // An urbanization name; a second last line of the ZIP code.
      MakeOtherCityState("C00007", "62701", "URB LAS LOMAS", "IL", 'U', 'N', "C00001", "SPRINGFIELD"),
      MakeOtherCityState("C00008", "62701", "GRANDVIEW", "IL", 'C', 'Y', "C00008", "GRANDVIEW"),
      // Left out: a ZIP code without detail records, a state that is not two
      // letters, a repeated name (kept once, under its first kind).
      MakeOtherCityState("C00009", "62999", "NOWHERE", "IL", 'N', 'Y', "C00009", "NOWHERE"),
      MakeOtherCityState("C00010", "62704", "ODD STATE", "1L", 'N', 'Y', "C00002", "SPRINGFIELD"),
      MakeOtherCityState("C00011", "62704", "WESTCHESTER", "IL", 'N', 'Y', "C00002", "SPRINGFIELD"),
  };
  TempDir dir;
  const std::string out = dir.file("zip.cvd");
  std::string error;
  BuildReport report;
  ASSERT_TRUE(BuildDatabaseFromRecords(Zip4s(), cs, kSuffixes, out, &error, &report)) << error;
  EXPECT_EQ(report.places_file, out + ".places");
  EXPECT_EQ(report.place_names, 8u);
  std::string sha;
  ASSERT_TRUE(Sha256OfFile(out, &sha, &error)) << error;
  EXPECT_EQ(ReadFile(out + ".places"),
            "corvellan-places 1 size=" + std::to_string(std::filesystem::file_size(out)) +
                " zips=2 records=2 names=8 sha256=" + sha +
                "\n"
                "62701\tIL\tP\tGRANDVIEW\n"
                "62701\tIL\tP\tSPRINGFIELD\n"
                "62701\tIL\tA\tCAPITOL STA\n"
                "62701\tIL\tU\tURB LAS LOMAS\n"
                "62704\tIL\tP\tSPRINGFIELD\n"
                "62704\tIL\tA\tLELAND GROVE\n"
                "62704\tIL\tA\tSAINT JOHNS\n"
                "62704\tIL\tA\tWESTCHESTER\n");
}

// A new build replaces the place names with the database; a failed build
// keeps the old pair.
TEST(PlacesFile, IsReplacedWithTheDatabase) {
  TempDir dir;
  const std::string out = dir.file("zip.cvd");
  std::string error;
  std::vector<std::string> cs = {MakeCityState("C00001", "62701", "SPRINGFIELD", "IL"),
                                 MakeCityState("C00002", "62704", "SPRINGFIELD", "IL")};
  ASSERT_TRUE(BuildDatabaseFromRecords(Zip4s(), cs, kSuffixes, out, &error)) << error;
  const std::string first = ReadFile(out + ".places");
  cs.push_back(MakeOtherCityState("C00003", "62704", "SAINT JOHNS", "IL", 'N', 'Y', "C00002", "SPRINGFIELD"));
  ASSERT_TRUE(BuildDatabaseFromRecords(Zip4s(), cs, kSuffixes, out, &error)) << error;
  const std::string second = ReadFile(out + ".places");
  EXPECT_NE(second.find("\tSAINT JOHNS\n"), std::string::npos) << second;

  std::vector<std::string> bad = Zip4s();
  bad[1][40] = '\x01';
  EXPECT_FALSE(BuildDatabaseFromRecords(bad, cs, kSuffixes, out, &error));
  EXPECT_EQ(ReadFile(out + ".places"), second);
  EXPECT_NE(first, second);
}

}  // namespace
}  // namespace corvdb::builder
