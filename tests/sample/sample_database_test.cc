// A database built from a generated sample answers searches typed the way its
// results list shows the addresses: streets with directions (N CENTER ST),
// house ranges that start at 0 (0-98) and unit ranges that start at 0.
#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "sample/sample_generator.h"
#include "test_support.h"

namespace corvdb::tools {
namespace {

using corvellan::test::BinDir;
using corvellan::test::ReadFile;
using corvellan::test::RunCommand;
using corvellan::test::SourceDir;
using corvellan::test::TempDir;

std::string Trim(std::string_view s) {
  const size_t a = s.find_first_not_of(' ');
  if (a == std::string_view::npos) return {};
  return std::string(s.substr(a, s.find_last_not_of(' ') - a + 1));
}

struct Detail {
  std::string zip, addon, pre, name, suffix, post, low, unit, unit_low;
  char type = ' ';
  bool base = true;
};

// The detail records of a ZIP+4 file (182-byte records, each followed by CR LF).
std::vector<Detail> Details(const std::string& bytes) {
  std::vector<Detail> out;
  for (size_t at = 184; at + 182 <= bytes.size(); at += 184) {
    const std::string_view r(bytes.data() + at, 182);
    Detail d;
    d.zip = std::string(r.substr(1, 5));
    d.type = r[17];
    d.pre = Trim(r.substr(22, 2));
    d.name = Trim(r.substr(24, 28));
    d.suffix = Trim(r.substr(52, 4));
    d.post = Trim(r.substr(56, 2));
    d.low = Trim(r.substr(58, 10));
    d.unit = Trim(r.substr(119, 4));
    d.unit_low = Trim(r.substr(123, 8));
    d.addon = std::string(r.substr(140, 4));
    d.base = r[148] == 'B';
    out.push_back(std::move(d));
  }
  return out;
}

std::string Join(std::initializer_list<std::string> words) {
  std::string out;
  for (const auto& w : words) {
    if (w.empty()) continue;
    if (!out.empty()) out += ' ';
    out += w;
  }
  return out;
}

class SampleDatabaseTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir();
    SampleOptions options;
    options.out_dir = dir_->path();
    options.records = 60000;
    options.states = {"OH", "UT"};  // grid-numbered and directional streets
    options.seed = 3;
    options.data_dir = SourceDir() + "/data";
    std::string error;
    ok_ = GenerateSample(options, &error);
    if (ok_) {
      const auto r = RunCommand({BinDir() + "/corvdb", "build", "--zip4", dir_->file(kZip4FileName), "--citystate",
                                 dir_->file(kCityStateFileName), "--out", dir_->file("zip.cvd")});
      ok_ = r.exit_code == 0;
      error = r.err;
    }
    error_ = new std::string(error);
    details_ = new std::vector<Detail>(Details(ReadFile(dir_->file(kZip4FileName))));
  }
  static void TearDownTestSuite() {
    delete details_;
    delete error_;
    delete dir_;
  }
  void SetUp() override { ASSERT_TRUE(ok_) << *error_; }

  // `corvdb search` on the sample database; the result lines.
  static corvellan::test::CommandResult Search(std::vector<std::string> args) {
    std::vector<std::string> argv = {BinDir() + "/corvdb", "search", "--data", dir_->path()};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunCommand(argv);
  }

  static TempDir* dir_;
  static bool ok_;
  static std::string* error_;
  static std::vector<Detail>* details_;
};
TempDir* SampleDatabaseTest::dir_ = nullptr;
bool SampleDatabaseTest::ok_ = false;
std::string* SampleDatabaseTest::error_ = nullptr;
std::vector<Detail>* SampleDatabaseTest::details_ = nullptr;

// Each kind of record the sample writes is found by typing its address as the
// results list shows it: ZIP code and street line (and unit), one search per
// record picked, up to ten records of each kind.
TEST_F(SampleDatabaseTest, RecordsAreFoundAsTheyAreWritten) {
  struct Kind {
    const char* what;
    bool (*pick)(const Detail&);
  };
  const Kind kinds[] = {
      {"pre-direction", [](const Detail& d) { return d.type == 'S' && !d.pre.empty() && d.post.empty(); }},
      {"post-direction", [](const Detail& d) { return d.type == 'S' && !d.post.empty(); }},
      {"house range from 0", [](const Detail& d) { return d.type == 'S' && d.low == "0"; }},
      {"unit range from 0", [](const Detail& d) { return d.type == 'H' && d.unit_low == "0"; }},
  };
  for (const Kind& kind : kinds) {
    SCOPED_TRACE(kind.what);
    std::set<std::string> streets;
    size_t tried = 0;
    for (const Detail& d : *details_) {
      if (!d.base || !kind.pick(d) || d.low.empty() || d.low.find_first_not_of("0123456789") != std::string::npos) {
        continue;
      }
      const std::string street = Join({d.low, d.pre, d.name, d.suffix, d.post});
      if (!streets.insert(d.zip + street).second) continue;
      std::vector<std::string> args = {"--zip", d.zip, "--street", street};
      if (!d.unit_low.empty()) {
        args.push_back("--unit");
        args.push_back(d.unit + " " + d.unit_low);
      }
      const auto r = Search(args);
      EXPECT_EQ(r.exit_code, 0) << street << "\n" << r.err;
      EXPECT_NE(r.out.find(d.zip + "-" + d.addon), std::string::npos) << street << "\n" << r.out;
      if (++tried == 10) break;
    }
    EXPECT_GT(tried, 0u);
  }
}

// A directional street is found without its ZIP code too, and every answer
// carries the direction that was typed.
TEST_F(SampleDatabaseTest, DirectionalStreetIsFoundByItsWrittenName) {
  std::map<std::string, size_t> count;
  for (const Detail& d : *details_) {
    if (d.type == 'S' && d.base && !d.pre.empty() && !d.suffix.empty() && d.post.empty()) {
      ++count[Join({d.pre, d.name, d.suffix})];
    }
  }
  ASSERT_FALSE(count.empty());
  std::string street;
  size_t most = 0;
  for (const auto& [s, n] : count) {
    if (n > most) {
      most = n;
      street = s;
    }
  }
  const auto r = Search({"--street", street});
  ASSERT_EQ(r.exit_code, 0) << street << "\n" << r.err;
  size_t lines = 0;
  for (size_t at = 0; at < r.out.size();) {
    const size_t end = r.out.find('\n', at);
    const std::string line = r.out.substr(at, end - at);
    at = end == std::string::npos ? r.out.size() : end + 1;
    if (line.empty()) continue;
    ++lines;
    // "ZIP+4 | firm | range | street | unit | city | state | count": the
    // street column begins with the direction.
    const size_t bar = line.find(" | ", line.find(" | ", line.find(" | ") + 3) + 3);
    ASSERT_NE(bar, std::string::npos) << line;
    std::string shown = line.substr(bar + 3, street.find(' ') + 1);
    for (char& c : shown) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(shown, street.substr(0, street.find(' ') + 1)) << line;
  }
  EXPECT_GE(lines, most);
}

}  // namespace
}  // namespace corvdb::tools
