// A ZIP code's other City-State names from the place names file beside the
// database: found like its last-line names, the record's city delivered and
// the change named; a stale or damaged file is ignored with its reason, a bad
// line is left out, and no byte of the file can crash the reader.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <random>

#include "address_matcher.h"
#include "place_names.h"
#include "places_file.h"
#include "search_fixture.h"

namespace corvellan::matcher {
namespace {

using corvdb::builder_test::MakeOtherCityState;
using corvdb::search_test::MakeCityState;
using corvdb::search_test::Zip4Fields;
using State = PlaceNames::OtherNames::State;

class OtherCityNames : public corvdb::search_test::SearchDatabase {
 protected:
  void SetUp() override {
    auto row = [](std::string zip, std::string addon, std::string key) {
      Zip4Fields f;
      f.zip = zip;
      f.addon_low = f.addon_high = addon;
      f.street = "MAIN";
      f.suffix = "ST";
      f.primary_low = "101";
      f.primary_high = "199";
      f.primary_parity = "O";
      f.state = "IL";
      f.last_line_key = key;
      return f;
    };
    // MAIN ST in two ZIP codes of SPRINGFIELD and in SHELBYVILLE.
    Build({row("62704", "1001", "C00001"), row("62701", "2001", "C00001"), row("62999", "5001", "C00009")},
          {MakeCityState("C00009", "62999", "SHELBYVILLE", "IL"),
           MakeOtherCityState("C00003", "62704", "LELAND GROVE", "IL", 'N', 'Y', "C00001", "SPRINGFIELD"),
           MakeOtherCityState("C00004", "62999", "WESTCHESTER", "IL", 'N', 'N', "C00009", "SHELBYVILLE"),
           MakeOtherCityState("C00005", "62701", "URB PARQUE", "IL", 'U', 'N', "C00001", "SPRINGFIELD")});
    places_path_ = dir_.file("zip.cvd.places");
    original_ = corvellan::test::ReadFile(places_path_);
    Load();
  }

  void Load() {
    places_ = std::make_unique<PlaceNames>(PlaceNames::FromReader(engine_));
    matcher_ = std::make_unique<AddressMatcher>(engine_, *places_);
  }

  std::string Zip4(const std::string& line) {
    const MatchResult m = matcher_->matchLine(line);
    return m.confident() ? m.zip + "-" + m.plus4 : MatchCodeName(m.code);
  }

  std::string places_path_;
  std::string original_;
  std::unique_ptr<PlaceNames> places_;
  std::unique_ptr<AddressMatcher> matcher_;
};

TEST_F(OtherCityNames, AnOtherNameFindsItsZipCodeAndTheRecordsCityIsDelivered) {
  EXPECT_EQ(places_->otherNames().state, State::kLoaded) << places_->otherNames().describe();
  EXPECT_EQ(places_->otherNames().names, 2u);
  EXPECT_TRUE(places_->isCityOf("LELAND GROVE", "IL"));
  EXPECT_TRUE(places_->isOtherNameOf(62704, "LELAND GROVE"));
  EXPECT_FALSE(places_->isOtherNameOf(62701, "LELAND GROVE"));
  EXPECT_FALSE(places_->isCity("URB PARQUE"));  // an urbanization is not a city
  EXPECT_EQ(places_->citiesOf(62704), std::vector<std::string>{"SPRINGFIELD"});

  struct Case {
    const char* line;
    const char* zip4;
    MatchCode code;
    const char* reason;
  };
  const Case cases[] = {
      // An acceptable and an unacceptable name, with and without a comma.
      {"123 MAIN ST, LELAND GROVE IL", "627041001", MatchCode::kCorrected, "city LELAND GROVE -> SPRINGFIELD"},
      {"123 Main St Leland Grove, IL", "627041001", MatchCode::kCorrected, "city LELAND GROVE -> SPRINGFIELD"},
      {"123 MAIN ST LELAND GROVE IL 62704", "627041001", MatchCode::kCorrected, "city LELAND GROVE -> SPRINGFIELD"},
      {"123 MAIN ST, WESTCHESTER IL", "629995001", MatchCode::kCorrected, "city WESTCHESTER -> SHELBYVILLE"},
      // The last-line names as before.
      {"123 MAIN ST, SHELBYVILLE IL", "629995001", MatchCode::kExact, ""},
      // SPRINGFIELD names both ZIP codes of the street, the other name one.
      {"123 MAIN ST, SPRINGFIELD IL", "", MatchCode::kAmbiguous, "2 records fit equally"},
  };
  for (const Case& c : cases) {
    const MatchResult m = matcher_->matchLine(c.line);
    EXPECT_EQ(m.code, c.code) << c.line << ": " << m.reason;
    EXPECT_EQ(m.zip + m.plus4, c.zip4) << c.line;
    EXPECT_EQ(m.reason, c.reason) << c.line;
    if (m.confident()) {
      EXPECT_NE(m.city, "LELAND GROVE") << c.line;
    }
  }
}

TEST_F(OtherCityNames, WithoutTheFileOnlyLastLineNamesAreKnown) {
  std::filesystem::remove(places_path_);
  Load();
  EXPECT_EQ(places_->otherNames().state, State::kNone);
  EXPECT_NE(places_->otherNames().describe().find("no place names file"), std::string::npos);
  EXPECT_FALSE(places_->isCity("LELAND GROVE"));
  EXPECT_NE(Zip4("123 MAIN ST, LELAND GROVE IL"), "62704-1001");
  EXPECT_EQ(Zip4("123 MAIN ST, SHELBYVILLE IL"), "62999-5001");
}

// A file that does not belong to the database or is damaged as a whole is
// ignored, and says why.
TEST_F(OtherCityNames, AStaleOrDamagedFileIsIgnoredWithItsReason) {
  const std::size_t headerEnd = original_.find('\n');
  const std::string header = original_.substr(0, headerEnd);
  const std::string body = original_.substr(headerEnd);
  auto withHeader = [&](const std::string& from, const std::string& to) {
    std::string h = header;
    h.replace(h.find(from), from.size(), to);
    return h + body;
  };
  struct Case {
    const char* what;
    std::string text;
    const char* reason;
  };
  const Case cases[] = {
      {"another size", withHeader(" size=", " size=1"), "written for another database (size "},
      {"other ZIP codes", withHeader(" zips=3", " zips=4"), "written for another database (ZIP codes 4, this one has 3)"},
      {"other records", withHeader(" records=3", " records=30"), "written for another database (records 30"},
      {"a later version", withHeader("places 1 ", "places 2 "), "format version \"2\" is not 1"},
      {"another header", withHeader(" sha256=", " sha=") , "its header is not"},
      {"a short hash", withHeader(" sha256=", " sha256=ab") , "SHA-256 is not 64 hex digits"},
      {"too many names", withHeader(" names=", " names=9999999") , "more than the 2000000"},
      {"cut short", original_.substr(0, original_.rfind('\n', original_.size() - 2) + 1), "cut short: 5 of the 6"},
      {"a name cut in two", original_.substr(0, original_.size() - 4), "cut short: line 7 has no line end"},
      {"a line added", original_ + "62704\tIL\tA\tEXTRA\n", "more than the 6 names"},
      {"a long line", original_ + std::string(300, 'x') + "\n", "line 8 is longer than 256 bytes"},
      {"a long last line", original_ + std::string(100000, 'x'), "line 8 is longer than 256 bytes"},
      {"not this format", "PK\x03\x04 binary\n" + body, "first line is not a \"corvellan-places\" header"},
      {"empty", "", "it is empty"},
  };
  for (const Case& c : cases) {
    corvellan::test::WriteFile(places_path_, c.text);
    Load();
    const auto& o = places_->otherNames();
    EXPECT_EQ(o.state, State::kIgnored) << c.what;
    EXPECT_NE(o.reason.find(c.reason), std::string::npos) << c.what << ": " << o.reason;
    EXPECT_NE(o.describe().find("ignored: "), std::string::npos) << c.what;
    EXPECT_FALSE(places_->isCity("LELAND GROVE")) << c.what;
    EXPECT_EQ(Zip4("123 MAIN ST, SHELBYVILLE IL"), "62999-5001") << c.what;
  }
  std::filesystem::remove(places_path_);
  std::filesystem::create_directory(places_path_);
  Load();
  EXPECT_EQ(places_->otherNames().reason, "it is not a regular file");
}

// A bad line is left out and counted; the other lines still count.
TEST_F(OtherCityNames, ABadLineIsLeftOut) {
  const std::string good = "62999\tIL\tN\tWESTCHESTER\n";
  ASSERT_NE(original_.find(good), std::string::npos) << original_;
  const char* const bad[] = {
      "99999\tIL\tN\tWESTCHESTER\n",   // a ZIP code not in the database
      "6299\tIL\tN\tWESTCHESTER\n",    "62999\til\tN\tWESTCHESTER\n", "62999\tIL\tX\tWESTCHESTER\n",
      "62999\tIL\tN\t WESTCHESTER\n",  "62999\tIL\tN\t\n",            "62999 IL N WESTCHESTER\n",
      "62999\tIL\tN\tWESTCHESTER AND A NAME TOO LONG\n",
  };
  for (const char* line : bad) {
    std::string text = original_;
    text.replace(text.find(good), good.size(), line);
    corvellan::test::WriteFile(places_path_, text);
    Load();
    const auto& o = places_->otherNames();
    EXPECT_EQ(o.state, State::kLoaded) << line;
    EXPECT_EQ(o.skipped, 1u) << line;
    EXPECT_EQ(o.firstSkipped.rfind("line 7: ", 0), 0u) << o.firstSkipped;
    EXPECT_FALSE(places_->isCity("WESTCHESTER")) << line;
    EXPECT_EQ(Zip4("123 MAIN ST, LELAND GROVE IL"), "62704-1001") << line;
  }
}

// The file lies beside the database a symbolic link points at.
TEST_F(OtherCityNames, TheFileIsFoundBesideALinkedDatabase) {
  corvellan::test::TempDir other;
  std::filesystem::create_symlink(dir_.file("zip.cvd"), other.file("zip.cvd"));
  EXPECT_EQ(PlacesFilePath(other.file("zip.cvd")), std::filesystem::canonical(places_path_).string());
  corvdb::ReadZipFile linked;
  ASSERT_EQ(linked.openPath(other.file("zip.cvd")), 0);
  EXPECT_TRUE(PlaceNames::FromReader(linked).isCity("WESTCHESTER"));
}

// Changed bytes anywhere in the file: loaded, ignored or lines left out, but
// never a crash, and only well-formed names of the database's ZIP codes.
TEST_F(OtherCityNames, ChangedBytesNeverCrashTheReader) {
  std::mt19937 rng(26);
  for (int round = 0; round < 300; ++round) {
    std::string text = original_;
    for (int i = 0; i < 3; ++i) {
      const std::size_t at = std::uniform_int_distribution<std::size_t>(0, text.size() - 1)(rng);
      text[at] = static_cast<char>(std::uniform_int_distribution<int>(0, 255)(rng));
    }
    corvellan::test::WriteFile(places_path_, text);
    const PlacesFile f = ReadPlacesFile(places_path_, [this](uint32_t zip) { return engine_.hasZip(zip); });
    EXPECT_TRUE(f.usable || !f.problem.empty());
    for (const PlaceEntry& e : f.entries) {
      EXPECT_TRUE(!e.name.empty() && e.name.size() <= 28 && e.name.front() != ' ' && e.name.back() != ' ')
          << e.name;
      EXPECT_NE(std::string("PANU").find(e.kind), std::string::npos);
      EXPECT_EQ(e.state.size(), 2u);
      EXPECT_TRUE(engine_.hasZip(e.zip));
    }
  }
}

}  // namespace
}  // namespace corvellan::matcher
