// The sample generator's inputs: reading the data/ folder (outside input, so
// every malformed file must give a clear error) and the name helpers.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "sample/names.h"
#include "sample/sample_data.h"
#include "test_support.h"

namespace corvdb::tools {
namespace {

using corvellan::test::ReadFile;
using corvellan::test::SourceDir;
using corvellan::test::TempDir;
using corvellan::test::WriteFile;
namespace fs = std::filesystem;

TEST(SampleDataTest, ReadsTheShippedDataFolder) {
  SampleData data;
  std::string error;
  ASSERT_TRUE(LoadSampleData(SourceDir() + "/data", &data, &error)) << error;
  EXPECT_EQ(data.places.size(), 42555u);
  EXPECT_TRUE(std::is_sorted(data.places.begin(), data.places.end(),
                             [](const Place& a, const Place& b) { return a.zip < b.zip; }));
  const Place& first = data.places.front();
  EXPECT_EQ(first.zip, "00501");
  EXPECT_EQ(first.city, "HOLTSVILLE");
  EXPECT_EQ(first.state, "NY");
  EXPECT_EQ(first.county_number, "103");  // FIPS 36103
  EXPECT_EQ(first.county_name, "SUFFOLK");
  EXPECT_TRUE(data.places[1].county_number.empty());  // 00544 has no county

  // Street names lose their listed suffix (kept as the standard abbreviation)
  // and every character but A-Z 0-9 blank.
  const auto baker = std::find_if(data.street_names.begin(), data.street_names.end(),
                                  [](const SampleData::StreetName& s) { return s.name == "BAKER"; });
  ASSERT_NE(baker, data.street_names.end());
  EXPECT_EQ(baker->suffix, "ST");
  for (const auto& s : data.street_names) {
    EXPECT_EQ(s.name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 "), std::string::npos) << s.name;
  }
  EXPECT_TRUE(std::count(data.surnames.begin(), data.surnames.end(), "O'HARA"));
  EXPECT_FALSE(data.firm_adjectives.empty());
  EXPECT_TRUE(std::count(data.firm_entities.begin(), data.firm_entities.end(), "AND SONS"));
  EXPECT_TRUE(std::binary_search(data.suffixes.begin(), data.suffixes.end(), "BLVD"));
}

// A copy of the shipped folder with one file replaced.
class BrokenDataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::copy(SourceDir() + "/data", dir_.path(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  }
  std::string Load(const std::string& file, const std::string& content) {
    WriteFile(dir_.file(file), content);
    SampleData data;
    std::string error;
    EXPECT_FALSE(LoadSampleData(dir_.path(), &data, &error)) << file;
    Restore(file);
    return error;
  }
  void Restore(const std::string& file) {
    fs::copy_file(SourceDir() + "/data/" + file, dir_.file(file), fs::copy_options::overwrite_existing);
  }
  TempDir dir_;
};

TEST_F(BrokenDataTest, PlacesFileErrorsNameTheFileAndLine) {
  const std::string header = "zip,city,state,county_fips,county_name\n";
  struct Case {
    std::string body;
    std::string expected;
  };
  const Case cases[] = {
      {"", "no header"},
      {"zip,city,state\n02901,Providence,RI\n", "lacks the column county_fips"},
      {header + "02901,Providence,RI,44007,Providence\n2902,Providence,RI,,\n", "line 3: ZIP code is not 5 digits"},
      {header + "02901,Providence,RI,,\n02901,Providence,RI,,\n", "line 3: ZIP code 02901 listed twice"},
      {header + "02901,\"Providence,RI,,\n", "line 2: unterminated quote"},
      {header + "02901,Providence\n", "line 2: too few fields"},
      {header + "02901,,RI,,\n", "line 2: empty city"},
      {header + "02901,Providence,R1,,\n", "line 2: state is not two letters"},
      {header + "02901,Providence,RI,4x007,Providence\n", "line 2: county FIPS code"},
      {header, "no ZIP codes"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    const std::string error = Load("zip_places.csv", c.body);
    EXPECT_NE(error.find("zip_places.csv"), std::string::npos) << error;
    EXPECT_NE(error.find(c.expected), std::string::npos) << error;
  }
}

TEST_F(BrokenDataTest, QuotedFieldsAndOddTextAreCleanedNotTrusted) {
  WriteFile(dir_.file("zip_places.csv"),
            "state,zip,city,county_fips,county_name,extra\r\n"
            "ri,02901,\"Providence, \"\"Downtown\"\"\",44007,Providence\xC3\xA9,1\r\n"
            "RI,02902,A very long city name that will not fit anywhere,,,\r\n");
  SampleData data;
  std::string error;
  ASSERT_TRUE(LoadSampleData(dir_.path(), &data, &error)) << error;
  ASSERT_EQ(data.places.size(), 2u);
  EXPECT_EQ(data.places[0].city, "PROVIDENCE DOWNTOWN");
  EXPECT_EQ(data.places[0].state, "RI");
  EXPECT_EQ(data.places[0].county_name, "PROVIDENCE");
  EXPECT_LE(data.places[1].city.size(), 28u);
}

TEST_F(BrokenDataTest, WordListErrors) {
  EXPECT_NE(Load("firm_words.txt", "# nouns\nwidget\n# adjectives\nbig\n").find("legal entity types"),
            std::string::npos);
  EXPECT_NE(Load("surnames.txt", "\n\n#\n").find("surnames.txt: no entries"), std::string::npos);
  EXPECT_NE(Load("street_suffixes.csv", "name,abbreviation\nSTREET,STREETS\n").find("line 2: bad suffix"),
            std::string::npos);
  fs::remove(dir_.file("street_names.txt"));
  SampleData data;
  std::string error;
  EXPECT_FALSE(LoadSampleData(dir_.path(), &data, &error));
  EXPECT_NE(error.find("cannot read"), std::string::npos) << error;
}

TEST_F(BrokenDataTest, StreetNamesKeepTheirDirectionsInTheirOwnFields) {
  struct Case {
    const char* line;
    const char* pre;
    const char* name;
    const char* suffix;
    const char* post;
  };
  const Case cases[] = {
      {"E 10th Street", "E", "10TH", "ST", ""},
      {"N Center Street", "N", "CENTER", "ST", ""},
      {"SW Broadway", "SW", "BROADWAY", "", ""},
      {"Main Street W", "", "MAIN", "ST", "W"},
      {"Oak Avenue North", "", "OAK", "AVE", "N"},
      {"S Park Road NE", "S", "PARK", "RD", "NE"},
      // Nothing but the direction would be left: it is the name.
      {"North Avenue", "", "NORTH", "AVE", ""},
      {"N Street", "", "N", "ST", ""},
      {"E", "", "E", "", ""},
      // A spelled-out word in front belongs to the name.
      {"West End", "", "WEST END", "", ""},
      {"North Shore Drive", "", "NORTH SHORE", "DR", ""},
      // A direction-like word inside the name stays there.
      {"Old N Mill Road", "", "OLD N MILL", "RD", ""},
  };
  std::string content;
  for (const auto& c : cases) content += std::string(c.line) + "\n";
  WriteFile(dir_.file("street_names.txt"), content);
  SampleData data;
  std::string error;
  ASSERT_TRUE(LoadSampleData(dir_.path(), &data, &error)) << error;
  ASSERT_EQ(data.street_names.size(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    const auto& got = data.street_names[i];
    const auto& want = cases[i];
    EXPECT_EQ(got.pre + "|" + got.name + "|" + got.suffix + "|" + got.post,
              std::string(want.pre) + "|" + want.name + "|" + want.suffix + "|" + want.post)
        << want.line;
  }
}

TEST_F(BrokenDataTest, StreetNamesAreUniqueWithTheirDirections) {
  // The same name with other directions is another street; the same street
  // listed twice (in another spelling) is kept once.
  WriteFile(dir_.file("street_names.txt"),
            "N Center Street\nS Center Street\nCenter Street\nCenter St\nN Center St\nCenter Street W\n");
  SampleData data;
  std::string error;
  ASSERT_TRUE(LoadSampleData(dir_.path(), &data, &error)) << error;
  std::vector<std::string> got;
  for (const auto& s : data.street_names) got.push_back(s.pre + " " + s.name + " " + s.suffix + " " + s.post);
  EXPECT_EQ(got, (std::vector<std::string>{"N CENTER ST ", "S CENTER ST ", " CENTER ST ", " CENTER ST W"}));
}

TEST(SampleNamesTest, OtherCityFormsSwapTheCustomaryWords) {
  struct Case {
    const char* name;
    size_t max;
    std::vector<std::string> forms;
  };
  const Case cases[] = {
      {"SAINT LOUIS", 3, {"ST LOUIS"}},
      {"ST LOUIS", 3, {"SAINT LOUIS"}},
      {"FORT WORTH", 3, {"FT WORTH"}},
      {"MOUNT VERNON", 3, {"MT VERNON"}},
      {"SAINTE GENEVIEVE", 3, {"STE GENEVIEVE"}},
      {"NORTH LITTLE ROCK", 3, {"N LITTLE ROCK"}},
      {"EAST SAINT LOUIS", 3, {"E SAINT LOUIS", "EAST ST LOUIS", "E ST LOUIS"}},
      {"EAST SAINT LOUIS", 1, {"E SAINT LOUIS"}},
      {"PORT SAINT LUCIE", 3, {"PORT ST LUCIE"}},
      // A direction is swapped only in front; a lone word is the whole name.
      {"FALLS NORTH", 3, {}},
      {"NORTH", 3, {}},
      {"SAINT", 3, {}},
      {"SPRINGFIELD", 3, {}},
      {"", 3, {}},
      // The long form must fit the 28-character field.
      {"ST ABCDEFGHIJKLMNOPQRSTUVWX", 3, {}},
  };
  for (const auto& c : cases) EXPECT_EQ(OtherCityForms(c.name, c.max), c.forms) << c.name;
}

TEST(SampleNamesTest, CleanTextKeepsUpperCaseAsciiOnly) {
  EXPECT_EQ(CleanText("  King's  Road\t", ""), "KING S ROAD");
  EXPECT_EQ(CleanText("King's Road", "'"), "KING'S ROAD");
  EXPECT_EQ(CleanText("Caf\xC3\xA9 & Bar", "&"), "CAF & BAR");
  EXPECT_EQ(CleanText("", ""), "");
}

TEST(SampleNamesTest, CityNameAbbreviations) {
  EXPECT_EQ(AbbreviateCityName("SAN FRANCISCO"), "");  // fits in 13
  EXPECT_EQ(AbbreviateCityName("FORT LAUDERDALE"), "FT LAUDERDALE");
  EXPECT_EQ(AbbreviateCityName("NORTH LITTLE ROCK"), "N LITTLE ROCK");
  for (const char* name : {"COLORADO SPRINGS", "SAINT CLAIR SHORES", "RANCHO SANTA MARGARITA",
                           "LLANFAIRPWLLGWYNGYLLGOGERYCH", "A B C D E F G H I J K L M N"}) {
    const std::string a = AbbreviateCityName(name);
    EXPECT_FALSE(a.empty()) << name;
    EXPECT_LE(a.size(), 13u) << name;
    EXPECT_NE(a.back(), ' ') << name;
  }
}

TEST(SampleNamesTest, CutTextPrefersAWordBoundary) {
  EXPECT_EQ(CutText("FIRST NATIONAL BANK OF SPRINGFIELD", 20), "FIRST NATIONAL BANK");
  EXPECT_EQ(CutText("SHORT", 20), "SHORT");
  EXPECT_EQ(CutText("ABCDEFGHIJKLMNOPQRSTUVWXYZ", 10), "ABCDEFGHIJ");
}

}  // namespace
}  // namespace corvdb::tools
