// Free-form address matching: accuracy on a labelled noisy set, and speed.
//
//   standardize_bench DB [--addresses N] [--seed S] [--threads T] [--write-set FILE] [--people]
//
// DB is a zip.cvd (or its folder). The labelled set is written from the
// database's own detail records (street and high-rise records, decoded as the
// USPS records they were built from), N addresses (default 20,000) from
// random ZIP codes. An address is kept only when its clean form names exactly
// one ZIP+4 among the street and high-rise records of its ZIP code (same
// directions, name and suffix, house number and unit inside the ranges with
// the right parity; without a unit, a record without units): that ZIP+4 is its
// label. Noise, each kind drawn on its own for every address:
//
//   lower case 50 %, suffix written out 30 %, directions written out 50 % of
//   those that have one, unit as #5 / # 5 / APT 5 / UNIT 5 / the designator
//   written out (high-rise records), one typo in the street name 15 % (names
//   of 5 letters or more: a letter changed, dropped, doubled or two swapped),
//   ZIP code left out 15 %, a wrong ZIP code of the same city 10 % (cities
//   with more than one), extra blanks and punctuation 30 %.
//
// With --people, the set also holds post office box addresses (a quarter of
// the P records met), and addresses written as people write them on forms
// and envelopes, each kind drawn on its own: the state written out 25 %, a
// country at the end 10 %, a person or firm before the address 15 %, the
// parts on several lines 15 %, no comma before the city 20 %, the leading
// zeros of a ZIP code dropped (as a spreadsheet does) 50 % of those that have
// them, a unit as APT # 5 or after the city 30 % of units.
//
// Printed: the share of each match code, the share standardized to the right
// ZIP+4, the share of wrong answers marked exact or corrected (overall and
// per noise kind), and addresses per second with T threads (default 2), each
// with its own reader, against the engine's own address search of the clean
// fields (InitiateZipSearch and GetNextZipMatch on one reader) in the same
// run. --write-set writes the set as CSV (address, label) for
// corvdb standardize.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "address_forms.h"
#include "address_matcher.h"
#include "csv.h"
#include "layout.h"
#include "place_names.h"
#include "read_zip_file.h"
#include "record_fields.h"
#include "str_util.h"

namespace {

using Clock = std::chrono::steady_clock;
using corvdb::ReadZipFile;
using corvdb::strUtil;
using namespace corvellan::matcher;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// CPU seconds of the whole process: on a shared machine the wall clock also
// counts other programs' turns, the CPU time only this one's work.
double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

std::string Get(const char* b, int offset, int length) {
  return std::string(strUtil::trimmed(corvdb::FieldText(b + offset, static_cast<std::size_t>(length))));
}

struct Row {
  std::string type, pre, name, suffix, post, primLow, primHigh, unitAbbr, unitLow, unitHigh, zip, plus4;
  char primParity = 'B', unitParity = 'B';
};

Row ReadRow(const char* b) {
  Row r;
  r.type = Get(b, 17, 1);
  r.pre = Get(b, 22, 2);
  r.name = Get(b, 24, 28);
  r.suffix = Get(b, 52, 4);
  r.post = Get(b, 56, 2);
  r.primLow = Get(b, 58, 10);
  r.primHigh = Get(b, 68, 10);
  r.primParity = b[78];
  r.unitAbbr = Get(b, 119, 4);
  r.unitLow = Get(b, 123, 8);
  r.unitHigh = Get(b, 131, 8);
  r.unitParity = b[139];
  r.zip = Get(b, 1, 5);
  r.plus4 = Get(b, 140, 4);
  return r;
}

bool Holds(const std::string& low, const std::string& high, char parity, uint32_t n) {
  const auto lo = strUtil::splitNumber(low);
  const auto hi = strUtil::splitNumber(high);
  if (lo.digits.empty() || !lo.prefix.empty() || !lo.postfix.empty() || !hi.postfix.empty()) return false;
  if (n < lo.value || n > hi.value) return false;
  return parity == 'B' || (parity == 'O' && n % 2 == 1) || (parity == 'E' && n % 2 == 0);
}

struct Labelled {
  std::string address;
  std::string label;  // ZIP+4, 9 digits
  unsigned noise = 0;
};

enum Noise : unsigned {
  kLower = 1, kSuffixWords = 2, kDirectionWords = 4, kUnitForm = 8, kTypo = 16, kNoZip = 32, kWrongZip = 64,
  kPunctuation = 128, kStateName = 256, kCountry = 512, kRecipient = 1024, kLines = 2048, kNoComma = 4096,
  kDroppedZero = 8192, kPoBox = 16384, kUnitPlaces = 32768,
};
constexpr std::pair<Noise, const char*> kNoiseNames[] = {
    {kLower, "lower case"},          {kSuffixWords, "suffix written out"}, {kDirectionWords, "direction written out"},
    {kUnitForm, "unit (#5, APT 5 ...)"}, {kTypo, "typo in street name"},  {kNoZip, "ZIP code left out"},
    {kWrongZip, "wrong ZIP code of the city"}, {kPunctuation, "extra blanks, punctuation"},
    {kStateName, "state written out"},   {kCountry, "country at the end"}, {kRecipient, "name before the address"},
    {kLines, "several lines"},            {kNoComma, "no comma before the city"},
    {kDroppedZero, "ZIP code without leading 0"}, {kPoBox, "PO box"}, {kUnitPlaces, "APT # 5, unit after city"},
};

class SetMaker {
 public:
  SetMaker(ReadZipFile& reader, const PlaceNames& places, uint64_t seed, bool people)
      : reader_(reader), places_(places), rng_(seed), people_(people) {
    // The longest written-out name of each suffix abbreviation (ST -> STREET).
    std::string_view t = reader.suffixTable().text();
    std::size_t p = 0;
    while ((p = t.find('!', p)) != std::string_view::npos) {
      const std::size_t dollar = t.find('$', p);
      if (dollar == std::string_view::npos) break;
      std::size_t end = t.find('!', dollar);
      if (end == std::string_view::npos) end = t.size();
      const std::string name(t.substr(p + 1, dollar - p - 1));
      const std::string abbr(t.substr(dollar + 1, end - dollar - 1));
      if (name.size() > longSuffix_[abbr].size()) longSuffix_[abbr] = name;
      p = end;
    }
    const auto& zips = reader.directoryZips();
    for (std::size_t z = zips.findFrom(0); z != corvdb::BitSet::npos; z = zips.findFrom(z + 1))
      zips_.push_back(static_cast<uint32_t>(z));
  }

  std::vector<Labelled> make(std::size_t count) {
    std::vector<Labelled> out;
    std::size_t attempts = 0;
    while (out.size() < count && attempts < count * 50) {
      ++attempts;
      const uint32_t zip = zips_[pick(zips_.size())];
      if (!reader_.loadZipBlock(zip) || reader_.blockRows() == 0) continue;
      std::vector<Row> rows;
      char buffer[corvdb::kRecordBufferSize];
      bool ok = true;
      for (uint32_t r = 0; r < reader_.blockRows() && ok; ++r) {
        std::memset(buffer, 0, sizeof buffer);
        ok = reader_.decodeRow(r, buffer);
        rows.push_back(ReadRow(buffer));
      }
      if (!ok) continue;
      // A few addresses per ZIP code.
      for (int k = 0; k < 3 && out.size() < count; ++k) {
        const Row& row = rows[pick(rows.size())];
        if (people_ && row.type == "P" && row.name == "PO BOX" && chance(25)) {
          if (auto box = poBox(rows, row, zip)) out.push_back(*box);
          continue;
        }
        if ((row.type != "S" && row.type != "H") || row.name.empty()) continue;
        const auto lo = strUtil::splitNumber(row.primLow);
        const auto hi = strUtil::splitNumber(row.primHigh);
        if (lo.digits.empty() || !lo.prefix.empty() || !lo.postfix.empty() || hi.value < lo.value) continue;
        uint32_t n = lo.value + static_cast<uint32_t>(pick(hi.value - lo.value + 1));
        if (row.primParity == 'O' && n % 2 == 0) ++n;
        if (row.primParity == 'E' && n % 2 == 1) ++n;
        if (!Holds(row.primLow, row.primHigh, row.primParity, n)) continue;
        const bool unitRange = !row.unitLow.empty();
        uint32_t u = 0;
        if (unitRange) {
          const auto ul = strUtil::splitNumber(row.unitLow);
          const auto uh = strUtil::splitNumber(row.unitHigh);
          if (ul.digits.empty() || !ul.prefix.empty() || !ul.postfix.empty() || uh.value < ul.value) continue;
          u = ul.value + static_cast<uint32_t>(pick(uh.value - ul.value + 1));
          if (row.unitParity == 'O' && u % 2 == 0) ++u;
          if (row.unitParity == 'E' && u % 2 == 1) ++u;
          if (!Holds(row.unitLow, row.unitHigh, row.unitParity, u)) continue;
        }
        // The label: the one ZIP+4 the clean address names.
        std::string label;
        bool unique = true;
        for (const Row& other : rows) {
          if ((other.type != "S" && other.type != "H") || other.pre != row.pre || other.name != row.name ||
              other.suffix != row.suffix || other.post != row.post)
            continue;
          if (!Holds(other.primLow, other.primHigh, other.primParity, n)) continue;
          const bool otherUnits = !other.unitLow.empty();
          if (unitRange != otherUnits) continue;
          if (unitRange && (other.unitAbbr != row.unitAbbr || !Holds(other.unitLow, other.unitHigh, other.unitParity, u)))
            continue;
          const std::string z4 = other.zip + other.plus4;
          if (label.empty()) label = z4;
          else if (label != z4) unique = false;
        }
        if (!unique || label.size() != 9) continue;
        out.push_back(write(row, zip, n, unitRange, u, label));
      }
    }
    return out;
  }

 private:
  std::size_t pick(std::size_t n) { return n ? static_cast<std::size_t>(rng_() % n) : 0; }
  bool chance(int percent) { return static_cast<int>(rng_() % 100) < percent; }

  // A post office box of `row`, labelled when exactly one P record of the
  // block holds its number.
  std::optional<Labelled> poBox(const std::vector<Row>& rows, const Row& row, uint32_t zip) {
    const auto lo = strUtil::splitNumber(row.primLow);
    const auto hi = strUtil::splitNumber(row.primHigh);
    if (lo.digits.empty() || !lo.prefix.empty() || !lo.postfix.empty() || hi.value < lo.value) return std::nullopt;
    const uint32_t n = lo.value + static_cast<uint32_t>(pick(hi.value - lo.value + 1));
    std::string label;
    for (const Row& other : rows) {
      if (other.type != "P" || other.name != "PO BOX" || !Holds(other.primLow, other.primHigh, other.primParity, n)) continue;
      if (!label.empty()) return std::nullopt;
      label = other.zip + other.plus4;
    }
    if (label.size() != 9) return std::nullopt;
    static const char* const kForms[] = {"PO BOX ", "P.O. BOX ", "P O BOX ", "POB ", "BOX ", "POST OFFICE BOX "};
    Labelled l;
    l.label = label;
    l.noise |= kPoBox;
    std::string line = std::string(kForms[pick(std::size(kForms))]) + std::to_string(n);
    l.address = people(line, zip, label, l);
    return l;
  }

  // The city, state and ZIP code after the delivery line, with the ways
  // people write them (--people), and a name before it.
  std::string people(const std::string& delivery, uint32_t zip, const std::string& label, Labelled& l) {
    const auto& cities = places_.citiesOf(zip);
    const std::string city = cities.empty() ? std::string() : cities.front();
    const std::string code(places_.stateOf(zip));
    std::string state = code;
    if (chance(25) && !StateNameOf(code).empty()) {
      state = StateNameOf(code);
      l.noise |= kStateName;
    }
    std::string zipText = label.substr(0, 5);
    if (zipText[0] == '0' && chance(50)) {
      zipText.erase(0, zipText.find_first_not_of('0'));
      l.noise |= kDroppedZero;
    }
    const bool lines = chance(15);
    if (lines) l.noise |= kLines;
    std::string line;
    if (chance(15)) {
      static const char* const kNames[] = {"JOHN SMITH", "MARIA GARCIA", "DR ANN LEE", "ACME SUPPLY INC", "J R DOE JR",
                                           "PHILIP PALMER MD", "ATTN BILLING DEPT"};
      line = std::string(kNames[pick(std::size(kNames))]) + (lines ? "\n" : chance(50) ? ", " : " ");
      l.noise |= kRecipient;
    }
    line += delivery;
    if (lines) line += chance(50) ? "\r\n" : "\n";
    else if (chance(20)) {
      line += " ";
      l.noise |= kNoComma;
    } else {
      line += ", ";
    }
    line += city + (chance(50) ? ", " : " ") + state + " " + zipText;
    if (chance(10)) {
      static const char* const kCountries[] = {", USA", " USA", ", United States", " US", ", U.S.A."};
      line += kCountries[pick(std::size(kCountries))];
      l.noise |= kCountry;
    }
    return line;
  }

  static std::string Direction(const std::string& d) {
    static const std::map<std::string, std::string> kWords = {
        {"N", "NORTH"}, {"S", "SOUTH"}, {"E", "EAST"}, {"W", "WEST"},
        {"NE", "NORTHEAST"}, {"NW", "NORTHWEST"}, {"SE", "SOUTHEAST"}, {"SW", "SOUTHWEST"}};
    const auto it = kWords.find(d);
    return it == kWords.end() ? d : it->second;
  }

  std::string typo(std::string name) {
    std::vector<std::size_t> letters;
    for (std::size_t i = 1; i < name.size(); ++i)
      if (strUtil::isLetter(name[i])) letters.push_back(i);
    if (letters.empty()) return name;
    const std::size_t i = letters[pick(letters.size())];
    switch (pick(4)) {
      case 0: name[i] = static_cast<char>('A' + (name[i] - 'A' + 1 + pick(25)) % 26); break;
      case 1: name.erase(i, 1); break;
      case 2: name.insert(i, 1, name[i]); break;
      default:
        if (i + 1 < name.size() && name[i + 1] != name[i] && name[i + 1] != ' ') std::swap(name[i], name[i + 1]);
        else name.erase(i, 1);
    }
    return name;
  }

  Labelled write(const Row& row, uint32_t zip, uint32_t n, bool unitRange, uint32_t u, const std::string& label) {
    Labelled l;
    l.label = label;
    std::vector<std::string> words{std::to_string(n)};
    const bool directionWords = chance(50) && (!row.pre.empty() || !row.post.empty());
    if (directionWords) l.noise |= kDirectionWords;
    if (!row.pre.empty()) words.push_back(directionWords ? Direction(row.pre) : row.pre);
    std::string name = row.name;
    if (name.size() >= 5 && chance(15)) {
      const std::string t = typo(name);
      if (t != name) {
        name = t;
        l.noise |= kTypo;
      }
    }
    words.push_back(name);
    if (!row.suffix.empty()) {
      const bool spell = chance(30) && longSuffix_.count(row.suffix) && longSuffix_[row.suffix] != row.suffix;
      if (spell) l.noise |= kSuffixWords;
      words.push_back(spell ? longSuffix_[row.suffix] : row.suffix);
    }
    if (!row.post.empty()) words.push_back(directionWords ? Direction(row.post) : row.post);
    if (unitRange) {
      l.noise |= kUnitForm;
      const std::string number = std::to_string(u);
      if (people_ && chance(30)) {
        l.noise |= kUnitPlaces;
        words.push_back(row.unitAbbr + " # " + number);
      } else switch (pick(5)) {
        case 0: words.push_back("#" + number); break;
        case 1: words.push_back("# " + number); break;
        case 2: words.push_back("APT " + number); break;
        case 3: words.push_back("UNIT " + number); break;
        default: {
          std::string full = row.unitAbbr;
          const std::string_view table = corvdb::kLongUnitTable;
          const std::size_t q = table.find("?" + row.unitAbbr + "!");
          if (q != std::string_view::npos) {
            const std::size_t bang = table.rfind('!', q);
            full = std::string(table.substr(bang + 1, q - bang - 1));
          }
          words.push_back(full + " " + number);
        }
      }
    }
    if (people_ && chance(60)) {
      // Written as people write on forms: the delivery line as typed, then
      // the rest the people's ways.
      std::string delivery;
      for (const auto& w : words) delivery += (delivery.empty() ? "" : " ") + w;
      l.address = people(delivery, zip, label, l);
      if (chance(50)) {
        l.noise |= kLower;
        for (char& c : l.address) c = strUtil::toLower(c);
      }
      return l;
    }
    const bool punctuation = chance(30);
    if (punctuation) l.noise |= kPunctuation;
    std::string line;
    for (const auto& w : words) {
      if (!line.empty()) line += punctuation && chance(30) ? "  " : " ";
      line += w;
      if (punctuation && chance(20) && !strUtil::isDigit(w.back())) line += ".";
    }
    const auto& cities = places_.citiesOf(zip);
    const std::string city = cities.empty() ? std::string() : cities.front();
    const std::string state(places_.stateOf(zip));
    std::string zipText = label.substr(0, 5);
    if (chance(15)) {
      zipText.clear();
      l.noise |= kNoZip;
    } else if (chance(12)) {
      const auto& others = places_.zipsOf(city, state);
      if (others.size() > 1) {
        uint32_t other = others[pick(others.size())];
        if (other == zip) other = others[(std::find(others.begin(), others.end(), zip) - others.begin() + 1) % others.size()];
        char buf[8];
        std::snprintf(buf, sizeof buf, "%05u", other);
        zipText = buf;
        l.noise |= kWrongZip;
      }
    }
    line += punctuation ? " ,  " : ", ";
    line += city + " " + state;
    if (!zipText.empty()) line += " " + zipText;
    if (punctuation && chance(50)) line += ".";
    if (chance(50)) {
      l.noise |= kLower;
      for (char& c : line) c = strUtil::toLower(c);
    }
    l.address = line;
    return l;
  }

  ReadZipFile& reader_;
  const PlaceNames& places_;
  std::mt19937_64 rng_;
  bool people_ = false;
  std::map<std::string, std::string> longSuffix_;
  std::vector<uint32_t> zips_;
};

}  // namespace

int main(int argc, char** argv) {
  std::string db, writeSet;
  std::size_t count = 20000;
  uint64_t seed = 15;
  int threads = 2;
  bool people = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
    if (a == "--addresses") count = std::stoul(value());
    else if (a == "--seed") seed = std::stoull(value());
    else if (a == "--threads") threads = std::max(1, std::stoi(value()));
    else if (a == "--write-set") writeSet = value();
    else if (a == "--people") people = true;
    else if (db.empty()) db = a;
    else {
      std::fprintf(stderr, "usage: standardize_bench DB [--addresses N] [--seed S] [--threads T] [--write-set FILE] [--people]\n");
      return 2;
    }
  }
  if (db.empty()) {
    std::fprintf(stderr, "usage: standardize_bench DB [--addresses N] [--seed S] [--threads T] [--write-set FILE] [--people]\n");
    return 2;
  }
  if (std::filesystem::is_directory(db)) db += "/zip.cvd";
  std::vector<std::unique_ptr<ReadZipFile>> readers;
  for (int t = 0; t < threads; ++t) {
    readers.push_back(std::make_unique<ReadZipFile>());
    if (readers.back()->openPath(db) != 0) {
      std::fprintf(stderr, "standardize_bench: cannot open %s\n", db.c_str());
      return 2;
    }
  }
  auto start = Clock::now();
  const PlaceNames places = PlaceNames::FromReader(*readers[0]);
  std::printf("database %s: %u ZIP codes; place names read in %.2f s\n", db.c_str(), readers[0]->zipCount(),
              Seconds(start));
  std::printf("%s\n", places.otherNames().describe().c_str());

  start = Clock::now();
  SetMaker maker(*readers[0], places, seed, people);
  const std::vector<Labelled> set = maker.make(count);
  std::printf("labelled set: %zu addresses (seed %llu), made in %.2f s\n", set.size(),
              static_cast<unsigned long long>(seed), Seconds(start));
  if (!writeSet.empty()) {
    std::ofstream out(writeSet, std::ios::binary);
    out << CsvLine({"address", "label"});
    for (const auto& l : set) out << CsvLine({l.address, l.label.substr(0, 5) + "-" + l.label.substr(5)});
  }

  // Baseline: the engine's own search of the clean fields, one reader.
  // (The clean fields come from parsing the noise-free label's record again
  // would be circular; the baseline searches street line and ZIP code as
  // parsed from the noisy line, which costs the engine the same work.)
  std::vector<ParsedAddress> parsed;
  parsed.reserve(set.size());
  for (const auto& l : set) parsed.push_back(AddressParser(readers[0]->suffixTable(), places).parse(l.address));
  start = Clock::now();
  std::size_t searched = 0;
  char record[250];
  for (const auto& p : parsed) {
    char request[corvdb::kSearchRequestSize];
    std::memset(request, ' ', sizeof request);
    auto put = [&](corvdb::RequestField f, const std::string& v) {
      std::memcpy(request + f.offset, v.data(), std::min(v.size(), f.length));
    };
    put(corvdb::kRequestZip, p.zip);
    put(corvdb::kRequestStreet, p.streetLine());
    put(corvdb::kRequestUnit, p.unitText());
    put(corvdb::kRequestCity, p.zip.empty() ? p.city : std::string());
    put(corvdb::kRequestState, p.zip.empty() ? p.state : std::string());
    if (readers[0]->initiateZipSearch(request, 0) > 0)
      while (readers[0]->getNextZipMatch(record) >= 0) {
      }
    ++searched;
  }
  const double baseSeconds = Seconds(start);

  // The matcher on `threads` threads.
  std::vector<MatchResult> results(set.size());
  std::atomic<std::size_t> next{0};
  const double cpuStart = CpuSeconds();
  start = Clock::now();
  {
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t) {
      pool.emplace_back([&, t] {
        AddressMatcher matcher(*readers[static_cast<std::size_t>(t)], places);
        for (std::size_t i; (i = next.fetch_add(64)) < set.size();)
          for (std::size_t k = i; k < std::min(set.size(), i + 64); ++k) results[k] = matcher.matchLine(set[k].address);
      });
    }
    for (auto& th : pool) th.join();
  }
  const double matchSeconds = Seconds(start);
  const double matchCpu = CpuSeconds() - cpuStart;
  // One thread, for the ratio with the one-reader baseline.
  start = Clock::now();
  {
    AddressMatcher matcher(*readers[0], places);
    for (const auto& l : set) (void)matcher.matchLine(l.address);
  }
  const double oneThreadSeconds = Seconds(start);

  std::size_t codes[4] = {}, right = 0, wrongConfident = 0;
  std::map<unsigned, std::array<std::size_t, 3>> byNoise;  // count, right, wrong confident
  for (std::size_t i = 0; i < set.size(); ++i) {
    const MatchResult& m = results[i];
    ++codes[static_cast<int>(m.code)];
    const bool ok = m.confident() && m.zip + m.plus4 == set[i].label;
    const bool wrong = m.confident() && !ok;
    right += ok;
    wrongConfident += wrong;
    for (const auto& [bit, name] : kNoiseNames) {
      if (!(set[i].noise & bit)) continue;
      auto& c = byNoise[bit];
      ++c[0];
      c[1] += ok;
      c[2] += wrong;
    }
  }
  const double n = static_cast<double>(set.size());
  std::printf("\nmatch code      share\n");
  for (int c = 0; c < 4; ++c)
    std::printf("%-14s %6.2f %%\n", MatchCodeName(static_cast<MatchCode>(c)), 100.0 * static_cast<double>(codes[c]) / n);
  std::printf("\nright ZIP+4                       %6.2f %%  (%zu of %zu)\n", 100.0 * static_cast<double>(right) / n, right,
              set.size());
  std::printf("wrong, marked exact or corrected  %6.3f %%  (%zu)\n\n", 100.0 * static_cast<double>(wrongConfident) / n,
              wrongConfident);
  std::printf("%-30s %8s %8s %10s\n", "noise kind", "count", "right", "wrong+conf");
  for (const auto& [bit, name] : kNoiseNames) {
    const auto& c = byNoise[bit];
    if (c[0] == 0) continue;
    std::printf("%-30s %8zu %7.2f%% %9.3f%%\n", name, c[0], 100.0 * static_cast<double>(c[1]) / static_cast<double>(c[0]),
                100.0 * static_cast<double>(c[2]) / static_cast<double>(c[0]));
  }
  std::printf("\nspeed: %.0f addresses/s on %d threads (%.2f s); one thread %.0f/s\n", n / matchSeconds, threads,
              matchSeconds, n / oneThreadSeconds);
  std::printf("CPU time: %.0f addresses per CPU second (%.2f s); on %d idle cores that is %.0f/s\n", n / matchCpu,
              matchCpu, threads, n / matchCpu * threads);
  std::printf("baseline, engine address search of the parsed fields, one reader: %.0f searches/s\n",
              static_cast<double>(searched) / baseSeconds);
  std::printf("ratio matcher (one thread) / engine search: %.2f\n", baseSeconds / oneThreadSeconds);
  // Mismatches, for a look.
  int shown = 0;
  for (std::size_t i = 0; i < set.size() && shown < (std::getenv("BENCH_SHOW") ? std::atoi(std::getenv("BENCH_SHOW")) : 0); ++i) {
    const MatchResult& m = results[i];
    if (m.confident() && m.zip + m.plus4 == set[i].label) continue;
    if (std::getenv("BENCH_SHOW") == nullptr) break;
    std::printf("  %s | %s | %s %s-%s %s\n", set[i].address.c_str(), set[i].label.c_str(), MatchCodeName(m.code),
                m.zip.c_str(), m.plus4.c_str(), m.reason.c_str());
    ++shown;
  }
  return 0;
}
