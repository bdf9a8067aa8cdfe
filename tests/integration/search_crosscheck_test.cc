// The address search against a brute-force scan of the USPS input records.
//
// A generated sample (four states, 100,000 records) is built into zip.cvd by
// the writer and searched through the library's exports. For a few hundred
// requests made from real records, the scan applies the same conditions in
// the most direct way: it reads the request, finds the ZIP codes in which an
// index key (trimmed field text) begins with or equals the typed text, then
// walks those ZIP codes' input records and keeps the ones whose fields fit,
// ranking each against the earlier records of its ZIP code. The engine must
// deliver exactly these records, in the same order, with the same ranks.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "builder/column_encoders.h"
#include "builder/cvd_writer.h"
#include "builder/usps_records.h"
#include "corvdb.h"
#include "platform/profile.h"
#include "sample/sample_generator.h"
#include "test_support.h"

namespace {

using corvellan::test::ReadFile;
using corvellan::test::ScopedEnv;
using corvellan::test::TempDir;

// ---- Reading the request, rule by rule ----

std::string Upper(std::string s) {
  for (char& c : s) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
  return s;
}

std::string Trim(const std::string& s) {
  const std::size_t first = s.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

std::vector<std::string> Words(const std::string& s) {
  std::vector<std::string> words;
  std::size_t at = 0;
  while (at < s.size()) {
    const std::size_t end = std::min(s.find(' ', at), s.size());
    if (end > at) words.push_back(s.substr(at, end - at));
    at = end + 1;
  }
  return words;
}

std::string Join(const std::vector<std::string>& words, std::size_t from) {
  std::string s;
  for (std::size_t i = from; i < words.size(); ++i) s += (s.empty() ? "" : " ") + words[i];
  return s;
}

const std::map<std::string, std::string> kShortUnits = {
    {"BASEMENT", "BSMT"}, {"FRONT", "FRNT"}, {"LOBBY", "LBBY"}, {"LOWER", "LOWR"}, {"OFFICE", "OFC"},
    {"PENTHOUSE", "PH"},  {"REAR", "REAR"},  {"SIDE", "SIDE"},   {"UPPER", "UPPR"}};
const std::map<std::string, std::string> kNumberedUnits = {
    {"APARTMENT", "APT"}, {"BUILDING", "BLDG"}, {"DEPARTMENT", "DEPT"}, {"FLOOR", "FL"}, {"HANGAR", "HNGR"},
    {"LOT", "LOT"},       {"PIER", "PIER"},     {"ROOM", "RM"},         {"SLIP", "SLIP"}, {"SPACE", "SPC"},
    {"STOP", "STOP"},     {"SUITE", "STE"},     {"TRAILER", "TRLR"},    {"UNIT", "UNIT"}};

bool IsAbbreviation(const std::map<std::string, std::string>& table, const std::string& word) {
  return std::any_of(table.begin(), table.end(), [&](const auto& e) { return e.second == word; });
}

bool IsDirection(const std::string& w) {
  return w == "N" || w == "S" || w == "E" || w == "W" || w == "NE" || w == "NW" || w == "SE" || w == "SW";
}

bool HasDigit(const std::string& s) { return s.find_first_of("0123456789") != std::string::npos; }

// The value of a typed number: leading zeros and a non-digit front skipped.
int64_t NumberValue(const std::string& text) {
  std::string t = Trim(text);
  std::size_t i = t.find_first_not_of('0');
  if (i == std::string::npos) return 0;
  while (i < t.size() && !(t[i] >= '0' && t[i] <= '9')) ++i;
  int64_t v = 0;
  for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i) v = std::min<int64_t>(v * 10 + (t[i] - '0'), 0x80000000LL);
  return std::min<int64_t>(v, 0x7FFFFFFF);
}

char Parity(const std::string& number) {
  if (number.empty() || !(number.back() >= '0' && number.back() <= '9')) return ' ';
  return (number.back() - '0') % 2 ? 'O' : 'E';
}

struct Typed {
  std::string zip, firm, unit, number, street, city, state;
  bool exact = false;
};

struct Conditions {
  bool zipGiven = false;
  uint32_t zipLow = 0, zipHigh = 0;
  std::string firm, city, state;
  bool streetLineGiven = false;
  std::string pre, street, suffix, post, designator, unitNumber, primary;
};

class Suffixes {
 public:
  explicit Suffixes(std::string text) : text_(std::move(text)) {}
  std::string Lookup(const std::string& word) const {
    const std::size_t at = text_.find("!" + word + "$");
    if (at == std::string::npos) return {};
    const std::size_t from = at + word.size() + 2;
    return text_.substr(from, text_.find('!', from) - from);
  }

 private:
  std::string text_;
};

Conditions Read(const Typed& typed, const Suffixes& suffixes) {
  Conditions c;
  const std::string zip = Upper(Trim(typed.zip.substr(0, 5)));
  if (!zip.empty()) {
    c.zipGiven = true;
    uint32_t v = 0;
    for (std::size_t i = 0; i < zip.size() && zip[i] >= '0' && zip[i] <= '9'; ++i) v = v * 10 + static_cast<uint32_t>(zip[i] - '0');
    uint32_t span = 1;
    if (zip.find('*') != std::string::npos) {
      for (std::size_t k = zip.find('*'); k < 5; ++k) span *= 10;
    }
    c.zipLow = v * span;
    c.zipHigh = v * span + span - 1;
  }
  c.firm = Upper(Trim(typed.firm));
  c.city = Upper(Trim(typed.city));
  c.state = Upper(Trim(typed.state));

  const std::vector<std::string> unit = Words(Upper(Trim(typed.unit)));
  if (!unit.empty()) {
    const auto full = kShortUnits.find(unit[0]);
    c.designator = full != kShortUnits.end() ? full->second : unit[0].substr(0, 5);
    c.unitNumber = Join(unit, 1);
  }
  c.primary = Upper(Trim(typed.number));

  std::vector<std::string> w = Words(Upper(Trim(typed.street)));
  c.streetLineGiven = !w.empty();
  if (c.designator.empty() && c.unitNumber.empty() && !w.empty()) {
    const std::string last = w.back();
    const auto shortFull = kShortUnits.find(last);
    if (shortFull != kShortUnits.end() || IsAbbreviation(kShortUnits, last)) {
      c.designator = shortFull != kShortUnits.end() ? shortFull->second : last;
      w.pop_back();
    } else if (w.size() >= 2) {
      const std::string before = w[w.size() - 2];
      const auto shortWord = kShortUnits.find(before);
      const auto numbered = kNumberedUnits.find(before);
      const bool longFull = shortWord != kShortUnits.end() || numbered != kNumberedUnits.end();
      if (longFull || IsAbbreviation(kShortUnits, before) || IsAbbreviation(kNumberedUnits, before)) {
        c.designator = !longFull ? before : shortWord != kShortUnits.end() ? shortWord->second : numbered->second;
        c.unitNumber = last;
        w.resize(w.size() - 2);
      }
    }
  }
  if (!w.empty() && IsDirection(w.back())) {
    c.post = w.back();
    w.pop_back();
  }
  if (!w.empty() && !suffixes.Lookup(w.back()).empty()) {
    c.suffix = suffixes.Lookup(w.back());
    w.pop_back();
  }
  if (w.size() >= 2 && IsDirection(w[0])) {
    c.pre = w[0];
    w.erase(w.begin());
  }
  if (c.primary.empty() && c.pre.empty() && w.size() >= 2 && w[0].size() <= 10 && HasDigit(w[0])) {
    c.primary = w[0];
    w.erase(w.begin());
    if (!w.empty() && w[0].find('/') != std::string::npos) {
      c.primary += " " + w[0];
      w.erase(w.begin());
    }
    if (!w.empty() && IsDirection(w[0])) {
      c.pre = w[0];
      w.erase(w.begin());
    }
  }
  c.street = Join(w, 0);
  c.primary = Trim(c.primary.substr(0, 10));
  return c;
}

// ---- The input records ----

struct Record {
  std::string raw;
  uint32_t zip = 0;
  std::string firm, pre, street, suffix, post, unitAbbrev, state, city;
  int64_t primaryLow = 0, primaryHigh = 0, unitLow = 0, unitHigh = 0;
  int32_t rank = 0;
};

int64_t Stored(const std::string& raw, int offset, int length) {
  corvdb::builder::NumberFieldParts parts;
  EXPECT_TRUE(corvdb::builder::SplitNumberField(raw.substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(length)),
                                                corvdb::NumberFormat::kPlain, 0, &parts));
  return parts.number;
}

std::vector<std::string> ProductRecords(const std::string& text, std::size_t length) {
  std::vector<std::string> out;
  for (std::size_t at = length + 2; at + length <= text.size(); at += length + 2) out.push_back(text.substr(at, length));
  return out;
}

bool Begins(const std::string& value, const std::string& key) { return value.compare(0, key.size(), key) == 0; }

class SearchCrosscheck : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    corvdb::tools::SampleOptions sample;
    sample.out_dir = dir_->path();
    sample.seed = 20261207;
    sample.records = 100000;
    sample.states = {"RI", "VT", "DE", "NM"};
    std::string error;
    ASSERT_TRUE(corvdb::tools::GenerateSample(sample, &error)) << error;
    corvdb::builder::BuildOptions options;
    options.zip4.push_back({"zip4", dir_->file(corvdb::tools::kZip4FileName), nullptr});
    options.city_state.push_back({"cs", dir_->file(corvdb::tools::kCityStateFileName), nullptr});
    options.suffixes = {"suffixes", corvellan::test::SourceDir() + "/data/street_suffixes.csv", nullptr};
    options.output = dir_->file("zip.cvd");
    corvdb::builder::BuildReport report;
    ASSERT_TRUE(corvdb::builder::BuildDatabase(options, &report, &error)) << error;
    std::string table;
    ASSERT_TRUE(corvdb::builder::BuildSuffixTable(ReadFile(options.suffixes.path), "suffixes", &table, &error));
    suffixes_ = new Suffixes(table);

    corvdb::builder::CityStateTable cityStates;
    ASSERT_TRUE(cityStates.Load(options.city_state[0], &error)) << error;
    records_ = new std::vector<Record>;
    for (const std::string& raw : ProductRecords(ReadFile(options.zip4[0].path), 182)) {
      Record r;
      r.raw = raw;
      r.zip = static_cast<uint32_t>(std::stoul(raw.substr(1, 5)));
      r.pre = Trim(raw.substr(22, 2));
      r.street = Trim(raw.substr(24, 28));
      r.suffix = Trim(raw.substr(52, 4));
      r.post = Trim(raw.substr(56, 2));
      r.firm = Trim(raw.substr(79, 40));
      r.unitAbbrev = Trim(raw.substr(119, 4));
      r.state = Trim(raw.substr(157, 2));
      const char* cs = cityStates.Find(raw.substr(176, 6), raw.substr(1, 5));
      ASSERT_NE(cs, nullptr);
      r.city = Trim(std::string(cs + 62, 28));
      r.primaryLow = Stored(raw, 58, 10);
      r.primaryHigh = Stored(raw, 68, 10);
      r.unitLow = Stored(raw, 123, 8);
      r.unitHigh = Stored(raw, 131, 8);
      records_->push_back(r);
    }
    // Every non-empty key of the four indexed fields, with the ZIP codes it occurs in.
    keys_ = new std::array<std::map<std::string, std::set<uint32_t>>, 4>;
    for (const Record& r : *records_) {
      const std::string* fields[] = {&r.firm, &r.street, &r.city, &r.state};
      for (std::size_t f = 0; f < 4; ++f) {
        if (!fields[f]->empty()) (*keys_)[f][*fields[f]].insert(r.zip);
      }
    }
    // The input is sorted by ZIP code: a block is a run of records.
    blocks_ = new std::map<uint32_t, std::pair<std::size_t, std::size_t>>;
    for (std::size_t i = 0; i < records_->size(); ++i) {
      Record& r = (*records_)[i];
      auto [block, added] = blocks_->try_emplace(r.zip, i, i);
      block->second.second = i + 1;
      const std::string_view low = std::string_view(r.raw).substr(140, 4);
      const std::string_view high = std::string_view(r.raw).substr(144, 4);
      r.rank = 1;
      for (std::size_t k = block->second.first; k < i; ++k) {
        const std::string_view kLow = std::string_view((*records_)[k].raw).substr(140, 4);
        const std::string_view kHigh = std::string_view((*records_)[k].raw).substr(144, 4);
        if (kLow == low || (low == high && kLow <= low && high <= kHigh)) ++r.rank;
      }
    }
  }
  static void TearDownTestSuite() {
    delete keys_;
    delete blocks_;
    delete records_;
    delete suffixes_;
    delete dir_;
  }

  struct Expected {
    int32_t initiated = 0;
    std::vector<const Record*> records;
  };

  // The brute-force scan.
  static Expected Scan(const Typed& typed) {
    const Conditions c = Read(typed, *suffixes_);
    // The ZIP codes in which some record's key begins with (or equals) the text.
    const auto zipsWith = [](int field, const std::string& key, bool exact) {
      const std::map<std::string, std::set<uint32_t>>& index = (*keys_)[static_cast<std::size_t>(field)];
      std::set<uint32_t> zips;
      for (auto it = index.lower_bound(key); it != index.end() && (exact ? it->first == key : Begins(it->first, key));
           ++it) {
        zips.insert(it->second.begin(), it->second.end());
      }
      return zips;
    };
    std::set<uint32_t> zips;
    if (c.zipGiven) {
      for (uint32_t z = c.zipLow; z <= c.zipHigh; ++z) zips.insert(z);
    } else {
      for (const auto& block : *blocks_) zips.insert(zips.end(), block.first);
    }
    const auto narrow = [&zips](const std::set<uint32_t>& found) {
      std::set<uint32_t> both;
      std::set_intersection(zips.begin(), zips.end(), found.begin(), found.end(), std::inserter(both, both.end()));
      zips = both;
    };
    Expected e;
    struct Index {
      bool used;
      std::set<uint32_t> zips;
      int32_t failure;
    };
    const Index indexes[] = {
        {!c.firm.empty(), zipsWith(0, c.firm, false), -1},
        {c.streetLineGiven && !c.street.empty(), zipsWith(1, c.street, typed.exact), 0},
        {!c.city.empty(), zipsWith(2, c.city, false), -1},
        {!c.state.empty(), zipsWith(3, c.state, false), -1},
    };
    for (const Index& index : indexes) {
      if (!index.used) continue;
      if (index.zips.empty()) {
        e.initiated = index.failure;
        return e;
      }
      narrow(index.zips);
    }
    e.initiated = std::max<int32_t>(1, static_cast<int32_t>(zips.size()));

    const int64_t unitValue = NumberValue(c.unitNumber), primaryValue = NumberValue(c.primary);
    const char unitParity = Parity(c.unitNumber), primaryParity = Parity(c.primary);
    for (const uint32_t zip : zips) {
      const auto block = blocks_->find(zip);
      if (block == blocks_->end()) continue;
      for (std::size_t i = block->second.first; i < block->second.second; ++i) {
        const Record& r = (*records_)[i];
        const bool fits =
            Begins(r.firm, c.firm) && Begins(r.pre, c.pre) && Begins(r.post, c.post) && Begins(r.suffix, c.suffix) &&
            (c.street.empty() || (typed.exact ? r.street == c.street : Begins(r.street, c.street))) &&
            Begins(r.unitAbbrev, c.designator) &&
            (c.unitNumber.empty() || (r.unitLow <= unitValue && unitValue <= r.unitHigh)) &&
            (c.primary.empty() || (r.primaryLow <= primaryValue && primaryValue <= r.primaryHigh)) &&
            Begins(r.city, c.city) && Begins(r.state, c.state) &&
            (primaryParity == ' ' || r.raw[78] == 'B' || r.raw[78] == primaryParity) &&
            (unitParity == ' ' || r.raw[139] == 'B' || r.raw[139] == unitParity);
        if (fits) e.records.push_back(&r);
      }
    }
    return e;
  }

  static std::string Request(const Typed& t) {
    std::string r(CORVDB_SEARCH_REQUEST_SIZE, ' ');
    const auto put = [&r](std::size_t offset, std::size_t length, const std::string& v) {
      r.replace(offset, std::min(v.size(), length), v.substr(0, length));
    };
    put(0, 5, t.zip);
    put(5, 40, t.firm);
    put(45, 20, t.unit);
    put(65, 10, t.number);
    put(75, 60, t.street);
    put(135, 28, t.city);
    put(163, 2, t.state);
    return r;
  }

  // Requests made from real records, each kind in turn.
  static std::vector<Typed> Requests(int count) {
    std::mt19937 rng(77);
    const std::vector<Record>& all = *records_;
    const auto pick = [&](auto wanted) {
      for (;;) {
        const Record& r = all[rng() % all.size()];
        if (wanted(r)) return r;
      }
    };
    const auto prefix = [&](const std::string& s, std::size_t least) {
      const std::size_t n = std::min(s.size(), least + rng() % 4);
      return s.substr(0, n);
    };
    const auto mixedCase = [&](std::string s) {
      if (rng() % 4 == 0) {
        for (char& ch : s) ch = (ch >= 'A' && ch <= 'Z') ? static_cast<char>(ch + 32) : ch;
      }
      return s;
    };
    std::vector<Typed> out;
    for (int i = 0; i < count; ++i) {
      Typed t;
      switch (i % 8) {
        case 0: {  // house number, street line, city, state
          const Record& r = pick([](const Record& x) { return !x.street.empty() && HasDigit(x.raw.substr(58, 10)); });
          const std::string number = Trim(r.raw.substr(58, 10));
          std::string line = Join(Words(r.pre + " " + r.street + " " + r.suffix + " " + r.post), 0);
          if (rng() % 2) {
            t.number = number;
          } else {
            line = number + " " + line;
          }
          t.street = mixedCase(line);
          t.city = prefix(r.city, 3);
          t.state = r.state;
          t.exact = rng() % 3 == 0;
          break;
        }
        case 1: {  // street name alone, beginning of or whole
          const Record& r = pick([](const Record& x) { return !x.street.empty(); });
          t.exact = rng() % 2 == 0;
          t.street = t.exact ? r.street : prefix(r.street, 2);
          break;
        }
        case 2: {  // firm prefix, sometimes with the state
          const Record& r = pick([](const Record& x) { return !x.firm.empty(); });
          t.firm = mixedCase(prefix(r.firm, 3));
          if (rng() % 2) t.state = r.state;
          break;
        }
        case 3: {  // unit with street and ZIP code
          const Record& r = pick([](const Record& x) { return !x.unitAbbrev.empty() && !x.street.empty(); });
          t.unit = r.unitAbbrev + " " + Trim(r.raw.substr(123, 8));
          t.street = r.street + (r.suffix.empty() ? "" : " " + r.suffix);
          t.zip = r.raw.substr(1, 5);
          break;
        }
        case 4: {  // ZIP range with a street name, or a ZIP code with a number
          const Record& r = pick([](const Record& x) { return !x.street.empty(); });
          if (rng() % 2) {
            t.zip = r.raw.substr(1, 3 + rng() % 2) + "*";
            t.street = prefix(r.street, 1);
          } else {
            t.zip = r.raw.substr(1, 5);
            t.number = Trim(r.raw.substr(58, 10));
          }
          break;
        }
        case 5: {  // a unit at the end of the street line
          const Record& r = pick([](const Record& x) { return !x.unitAbbrev.empty() && !x.street.empty(); });
          t.street = Join(Words(r.street + " " + r.suffix + " " + r.unitAbbrev + " " + Trim(r.raw.substr(123, 8))), 0);
          t.state = r.state;
          break;
        }
        case 6: {  // city and a street's first letters
          const Record& r = pick([](const Record& x) { return !x.street.empty(); });
          t.city = prefix(r.city, 4);
          t.street = prefix(r.street, 1);
          break;
        }
        default: {  // odd requests: no such name, the smallest state whole, a ZIP range alone
          const int odd = (i / 8) % 4;
          const Record& r = all[rng() % all.size()];
          if (odd == 0) t.street = "QQQ" + r.street;
          if (odd == 1) t.firm = "ZZZZ NO SUCH FIRM";
          if (odd == 2) t.zip = r.raw.substr(1, 3) + "*";
          if (odd == 3 && i < 8 * 8) t.state = "DE";
          if (odd == 3 && i >= 8 * 8) t.city = "NOWHERE AT ALL";
          break;
        }
      }
      out.push_back(t);
    }
    return out;
  }

  static TempDir* dir_;
  static Suffixes* suffixes_;
  static std::vector<Record>* records_;
  // ZIP code -> its records, [first, second) of records_.
  static std::map<uint32_t, std::pair<std::size_t, std::size_t>>* blocks_;
  // Firm, street, city, state: key -> ZIP codes.
  static std::array<std::map<std::string, std::set<uint32_t>>, 4>* keys_;
};

TempDir* SearchCrosscheck::dir_ = nullptr;
Suffixes* SearchCrosscheck::suffixes_ = nullptr;
std::vector<Record>* SearchCrosscheck::records_ = nullptr;
std::map<uint32_t, std::pair<std::size_t, std::size_t>>* SearchCrosscheck::blocks_ = nullptr;
std::array<std::map<std::string, std::set<uint32_t>>, 4>* SearchCrosscheck::keys_ = nullptr;

std::string Describe(const Typed& t) {
  return "zip=" + t.zip + " firm=" + t.firm + " unit=" + t.unit + " number=" + t.number + " street=" + t.street +
         " city=" + t.city + " state=" + t.state + (t.exact ? " exact" : "");
}

TEST_F(SearchCrosscheck, EveryRequestDeliversWhatTheScanFinds) {
  TempDir config;
  ScopedEnv xdg("XDG_CONFIG_HOME", config.path());
  ASSERT_TRUE(corvellan::WriteProfileString("Corvel.ini", "Directories", "Data", dir_->path() + "/"));

  std::size_t delivered = 0;
  for (const Typed& typed : Requests(300)) {
    const std::string what = Describe(typed);
    const Expected expected = Scan(typed);
    const std::string request = Request(typed);
    const int32_t initiated = InitiateZipSearch(request.data(), typed.exact ? 1 : 0);
    ASSERT_EQ(initiated, expected.initiated) << what;
    if (initiated < 1) {
      // A street in no index entry (0) runs out with one 0; after -1 nothing runs.
      char record[CORVDB_ADDRESS_RECORD_SIZE];
      if (initiated == 0) {
        EXPECT_EQ(GetNextZipMatch(record), 0) << what;
      }
      EXPECT_EQ(GetNextZipMatch(record), -1) << what;
      continue;
    }
    int zeros = 0;
    std::size_t n = 0;
    for (;;) {
      char record[CORVDB_ADDRESS_RECORD_SIZE];
      const int32_t rc = GetNextZipMatch(record);
      if (rc < 0) break;
      if (rc == 0) {
        ++zeros;
        continue;
      }
      ASSERT_LT(n, expected.records.size()) << what << ": more records than the scan finds";
      char zip4[CORVDB_ZIP4_RECORD_SIZE];
      GetZip4Rec(zip4, nullptr, nullptr);
      ASSERT_EQ(Upper(std::string(zip4, sizeof zip4)), expected.records[n]->raw) << what << ": record " << n;
      ASSERT_EQ(rc, expected.records[n]->rank) << what << ": record " << n;
      ++n;
    }
    ASSERT_EQ(n, expected.records.size()) << what;
    EXPECT_EQ(zeros, initiated) << what;
    delivered += n;
  }
  // The requests must reach real records, not only empty answers.
  EXPECT_GT(delivered, 5000u);
}

}  // namespace
