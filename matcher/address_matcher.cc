#include "address_matcher.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "layout.h"
#include "read_zip_file.h"
#include "record_fields.h"
#include "str_util.h"

namespace corvellan::matcher {
namespace {

using corvdb::strUtil;

// Fields of the decoded record buffer (ZIP+4 detail record, then the
// City-State records of the last line and of the urbanization).
struct Field {
  int offset;
  int length;
};
constexpr Field kZipField{1, 5};
constexpr Field kRecordType{17, 1};
constexpr Field kPreDirection{22, 2};
constexpr Field kSuffix{52, 4};
constexpr Field kPostDirection{56, 2};
constexpr Field kPrimaryLow{58, 10};
constexpr Field kPrimaryHigh{68, 10};
constexpr int kPrimaryParity = 78;
constexpr Field kUnitDesignator{119, 4};
constexpr Field kUnitLow{123, 8};
constexpr Field kUnitHigh{131, 8};
constexpr int kUnitParity = 139;
constexpr Field kAddOnLow{140, 4};
constexpr Field kState{157, 2};
// The city name field of a City-State record lies 62 bytes into it.
constexpr Field kCity{corvdb::kCityStateOffset + 62, 28};
constexpr Field kUrbanization{corvdb::kUrbanizationOffset + 62, 28};

std::string Get(const char* buffer, Field f) {
  return std::string(strUtil::trimmed(corvdb::FieldText(buffer + f.offset, static_cast<std::size_t>(f.length))));
}

bool ParityFits(char code, char parity) {
  if (parity == ' ') return true;
  return code == parity || code == 'B' || code == ' ' || code == '\0';
}

// A house or unit number split for range comparison: the letters before the
// first digit, every digit (leading zeros included, so "0" is the number 0 and
// not an empty one), and what follows. The engine's own splitting drops a
// number made of zeros, which would leave a range starting at 0 unmatchable.
corvdb::NumberParts RangeNumber(std::string_view field) {
  corvdb::NumberParts parts;
  const std::string_view text = strUtil::trimmed(field);
  std::size_t i = 0;
  while (i < text.size() && !strUtil::isDigit(text[i])) ++i;
  parts.prefix.assign(text.substr(0, i));
  const std::size_t digitsBegin = i;
  uint64_t value = 0;
  while (i < text.size() && strUtil::isDigit(text[i])) {
    value = std::min<uint64_t>(value * 10 + static_cast<uint64_t>(text[i] - '0'), uint64_t{strUtil::kMaxNumberValue} + 1);
    ++i;
  }
  parts.digits.assign(text.substr(digitsBegin, i - digitsBegin));
  parts.postfix.assign(text.substr(i));
  parts.value = static_cast<uint32_t>(std::min<uint64_t>(value, strUtil::kMaxNumberValue));
  return parts;
}

// A typed number inside a stored low..high range. Numbers with digits compare
// by value, with the letters before them equal (N123, A5 in A0..A9); numbers
// without digits (unit B) compare as text of the same length.
bool InRange(const corvdb::NumberParts& typed, std::string_view low, std::string_view high) {
  const auto lo = RangeNumber(low);
  const auto hi = RangeNumber(high);
  if (typed.digits.empty()) {
    const std::string text = typed.prefix + typed.postfix;
    if (text.empty()) return false;
    const std::string loText = lo.prefix + lo.digits + lo.postfix;
    const std::string hiText = hi.prefix + hi.digits + hi.postfix;
    return loText.size() == text.size() && hiText.size() == text.size() && loText <= text && text <= hiText;
  }
  if (typed.prefix != lo.prefix || lo.digits.empty()) return false;
  // A high end without digits (damaged or blank) stands for the low end.
  const uint32_t highValue = hi.digits.empty() ? lo.value : hi.value;
  return lo.value <= typed.value && typed.value <= highValue;
}

std::string StripZeros(std::string_view number) {
  while (number.size() > 1 && number.front() == '0') number.remove_prefix(1);
  return std::string(number);
}

// The program's first-word rewrites: AVE J -> AVENUE J, NORTH -> N, FIRST -> 1ST.
std::string RewriteFirstWord(const std::string& name) {
  static constexpr std::pair<std::string_view, std::string_view> kRewrites[] = {
      {"AVE", "AVENUE"}, {"RD", "ROAD"},    {"TER", "TERRACE"}, {"TR", "TERRACE"}, {"BLVD", "BOULEVARD"},
      {"FIRST", "1ST"},  {"SECOND", "2ND"}, {"THIRD", "3RD"},   {"FOURTH", "4TH"}, {"FIFTH", "5TH"},
      {"SIXTH", "6TH"},  {"SEVENTH", "7TH"}, {"EIGHTH", "8TH"}, {"NINTH", "9TH"},  {"TENTH", "10TH"},
  };
  const std::size_t blank = name.find(' ');
  const std::string_view first = std::string_view(name).substr(0, blank);
  for (const auto& [from, to] : kRewrites) {
    if (first == from) return std::string(to) + (blank == std::string::npos ? "" : name.substr(blank));
  }
  return {};
}

enum Correction : unsigned {
  kCorrectedStreet = 1,
  kCorrectedZip = 2,
  kCorrectedCity = 4,
  kCorrectedSuffix = 8,
  kCorrectedDirection = 16,
};

constexpr std::size_t kMostCityZips = 200;
constexpr std::size_t kMostIndexZips = 300;

}  // namespace

const char* MatchCodeName(MatchCode code) {
  switch (code) {
    case MatchCode::kExact: return "exact";
    case MatchCode::kCorrected: return "corrected";
    case MatchCode::kAmbiguous: return "ambiguous";
    case MatchCode::kNotFound: return "not found";
  }
  return "not found";
}

int TypoDistance(std::string_view a, std::string_view b) {
  if (a == b) return 0;
  const std::size_t n = a.size();
  const std::size_t m = b.size();
  if (n + 1 < m || m + 1 < n) return 2;
  std::size_t i = 0;
  while (i < n && i < m && a[i] == b[i]) ++i;
  std::string_view ra = a.substr(i);
  std::string_view rb = b.substr(i);
  if (n == m) {
    if (ra.substr(1) == rb.substr(1)) return 1;  // one changed
    if (ra.size() >= 2 && ra[0] == rb[1] && ra[1] == rb[0] && ra.substr(2) == rb.substr(2)) return 1;  // swap
    return 2;
  }
  if (n > m) return ra.substr(1) == rb ? 1 : 2;  // one dropped from b
  return rb.substr(1) == ra ? 1 : 2;             // one added in b
}

struct AddressMatcher::Candidate {
  int score = 0;
  unsigned corrections = 0;
  bool unitNeeded = false;
  std::string zip, plus4, recordType, city, state;
  std::string preDirection, streetName, suffix, postDirection;
  std::string unitDesignator;
  bool unitRange = false;
};

struct AddressMatcher::SearchName {
  std::string text;
  std::string preDirection;  // the typed pre-direction this form goes with
  std::string suffix;        // the typed suffix this form goes with
  bool rewritten = false;
};

struct AddressMatcher::Search {
  const ParsedAddress* address = nullptr;
  using Name = SearchName;
  std::vector<Name> names;
  bool typo = false;
  bool streetSeen = false;  // some row carried a name that was looked for
  corvdb::NumberParts number;
  bool numberGiven = false;
  char numberParity = ' ';
  corvdb::NumberParts unit;
  bool unitGiven = false;
  char unitParity = ' ';
  std::vector<Candidate> candidates;
  std::set<uint32_t> visited;  // ZIP codes searched in the current name mode
};

AddressMatcher::AddressMatcher(corvdb::ReadZipFile& reader, const PlaceNames& places)
    : reader_(reader), places_(places), parser_(reader.suffixTable(), places) {}

MatchResult AddressMatcher::matchLine(std::string_view line) { return match(parser_.parse(line)); }

void AddressMatcher::scoreRow(Search& s, uint32_t zip, uint32_t row, const SearchName& form,
                              std::string_view foundName) {
  char buffer[corvdb::kRecordBufferSize];
  std::memset(buffer, 0, sizeof buffer);
  if (s.numberGiven) {
    // The house number first, from its three columns only.
    if (!reader_.PrimaryNumberPrefix.getRow(buffer, row) || !reader_.PrimaryNumber.getRow(buffer, row) ||
        !reader_.PrimaryNumberPostfix.getRow(buffer, row))
      return;
    if (!InRange(s.number, Get(buffer, kPrimaryLow), Get(buffer, kPrimaryHigh))) return;
  }
  if (!reader_.decodeRow(row, buffer)) return;
  const ParsedAddress& a = *s.address;
  if (s.numberGiven && !ParityFits(buffer[kPrimaryParity], s.numberParity)) return;

  Candidate c;
  c.streetName = std::string(foundName);
  c.preDirection = Get(buffer, kPreDirection);
  c.suffix = Get(buffer, kSuffix);
  c.postDirection = Get(buffer, kPostDirection);
  c.recordType = Get(buffer, kRecordType);
  c.zip = Get(buffer, kZipField);
  c.plus4 = Get(buffer, kAddOnLow);
  c.city = Get(buffer, kCity);
  c.state = Get(buffer, kState);
  c.unitDesignator = Get(buffer, kUnitDesignator);
  if (s.typo || form.rewritten) c.corrections |= kCorrectedStreet;
  // The typed pre-direction this name form goes with (WEST END has none).
  const std::string& typedPre = form.preDirection;
  auto direction = [&](const std::string& typed, const std::string& stored) {
    if (typed == stored) return 2;
    if (typed.empty()) return 0;
    if (stored.empty()) {
      c.corrections |= kCorrectedDirection;
      return -1;
    }
    return -100;  // N MAIN is not S MAIN
  };
  const int pre = direction(typedPre, c.preDirection);
  const int post = direction(a.postDirection, c.postDirection);
  if (pre < -1 || post < -1) return;
  c.score += pre + post;

  if (form.suffix == c.suffix) {
    c.score += 2;
  } else if (!form.suffix.empty()) {
    c.corrections |= kCorrectedSuffix;
    c.score += c.suffix.empty() ? -1 : -2;
  }

  const std::string unitLow = Get(buffer, kUnitLow);
  const std::string unitHigh = Get(buffer, kUnitHigh);
  c.unitRange = !unitLow.empty() || !unitHigh.empty();
  if (s.unitGiven) {
    if (c.unitRange) {
      if (!InRange(s.unit, unitLow, unitHigh) || !ParityFits(buffer[kUnitParity], s.unitParity)) return;
      // APT 5 for what the data calls STE 5 still names that unit.
      c.score += (a.designator == c.unitDesignator) ? 5 : 4;
    } else {
      c.score += 1;
    }
  } else if (c.unitRange) {
    c.score -= 5;
    c.unitNeeded = true;
  } else {
    c.score += 2;
  }

  if (!a.urbanization.empty()) c.score += (Get(buffer, kUrbanization) == a.urbanization) ? 3 : -3;
  if (!a.zip.empty()) {
    if (a.zip != c.zip) c.corrections |= kCorrectedZip;
  }
  if (!a.city.empty()) {
    const auto& cities = places_.citiesOf(zip);
    if (a.city == c.city || std::find(cities.begin(), cities.end(), a.city) != cities.end()) {
      c.score += 1;
    } else if (places_.isOtherNameOf(zip, a.city)) {
      // Another City-State name of the ZIP code: the record's city is
      // delivered instead, and the reason says so like any changed city.
      c.score += 1;
      c.corrections |= kCorrectedCity;
    } else {
      c.corrections |= kCorrectedCity;
    }
  }
  if (c.recordType == "F") c.score -= 3;
  s.candidates.push_back(std::move(c));
}

bool AddressMatcher::searchZip(Search& s, uint32_t zip) {
  if (!s.visited.insert(zip).second) return false;
  if (!reader_.loadZipBlock(zip)) return false;
  corvdb::stringTable& column = reader_.StreetName;
  if (!column.loadBlock()) return false;
  // Copy the runs that match first: scoring decodes rows, which may decode
  // further into the same column.
  struct Run {
    uint64_t begin, end;
    std::string name;
    const Search::Name* form;  // the typed form it was found for
  };
  std::vector<Run> runs;
  const auto& values = column.values();
  const auto& ends = column.runEnds();
  const uint64_t rows = reader_.blockRows();
  uint64_t begin = 0;
  for (std::size_t i = 0; i < values.size() && begin < rows; ++i) {
    const uint64_t end = std::min<uint64_t>(ends[i], rows);
    const std::string_view name = strUtil::trimmed(values[i]);
    for (const auto& n : s.names) {
      const bool hit = s.typo ? n.text.size() >= 4 && name.size() >= 4 && TypoDistance(name, n.text) == 1
                              : name == n.text;
      if (hit) {
        runs.push_back({begin, end, std::string(name), &n});
        break;
      }
    }
    begin = end;
  }
  const std::size_t before = s.candidates.size();
  for (const Run& run : runs) {
    s.streetSeen = true;
    for (uint64_t r = run.begin; r < run.end; ++r) scoreRow(s, zip, static_cast<uint32_t>(r), *run.form, run.name);
  }
  return s.candidates.size() > before;
}

bool AddressMatcher::runStage(Search& s, const std::vector<uint32_t>& zips) {
  bool found = false;
  for (uint32_t zip : zips) found |= searchZip(s, zip);
  return found;
}

MatchResult AddressMatcher::match(const ParsedAddress& a) {
  MatchResult result;
  if (!a.error.empty()) {
    result.reason = a.error;
    return result;
  }
  if (a.streetName.empty()) {
    result.reason = "no street name";
    return result;
  }
  Search s;
  s.address = &a;
  s.names.push_back({a.streetName, a.preDirection, a.suffix, false});
  if (std::string r = RewriteFirstWord(a.streetName); !r.empty()) s.names.push_back({r, a.preDirection, a.suffix, true});
  if (!a.preDirection.empty()) {
    // A street whose name begins with a direction word: WEST END AVE, N BROADWAY.
    if (!a.spelledPreDirection.empty())
      s.names.push_back({a.spelledPreDirection + " " + a.streetName, "", a.suffix, false});
    s.names.push_back({a.preDirection + " " + a.streetName, "", a.suffix, false});
  }
  if (!a.suffixWord.empty()) {
    // A street that carries its suffix word in its name: JACOBSON MILLS.
    s.names.push_back({a.streetName + " " + a.suffixWord, a.preDirection, "", false});
    if (!a.preDirection.empty())
      s.names.push_back({a.preDirection + " " + a.streetName + " " + a.suffixWord, "", "", false});
  }
  for (const AlternateStreet& alt : a.alternates) s.names.push_back({alt.name, alt.preDirection, alt.suffix, false});
  s.numberGiven = !a.primaryNumber.empty();
  if (s.numberGiven) {
    s.number = RangeNumber(a.primaryNumber);
    s.numberParity = s.number.digits.empty() ? ' ' : strUtil::parity(s.number.digits);
  }
  s.unitGiven = !a.unitNumber.empty();
  if (s.unitGiven) {
    s.unit = RangeNumber(a.unitNumber);
    s.unitParity = s.unit.digits.empty() ? ' ' : strUtil::parity(s.unit.digits);
  }

  // Candidate ZIP codes: the typed one, then those of the typed city.
  std::vector<uint32_t> typedZip;
  if (a.zip.size() == 5) {
    const auto z = static_cast<uint32_t>(std::stoul(a.zip));
    if (reader_.hasZip(z)) typedZip.push_back(z);
  }
  std::vector<uint32_t> cityZips;
  if (!a.city.empty()) cityZips = places_.zipsOf(a.city, a.state);

  // The city's ZIP codes where one of the names is indexed.
  corvdb::ZipBits bits(corvdb::kZipCodeCount);
  auto indexed = [&](const std::vector<uint32_t>& zips) {
    bits.clear();
    for (const auto& n : s.names) reader_.column(corvdb::kStreetName).findKey(n.text, bits, true);
    std::vector<uint32_t> out;
    for (uint32_t z : zips)
      if (bits.test(z)) out.push_back(z);
    return out;
  };

  // The typed ZIP code and the city's ZIP codes are searched together, so
  // that the same address in another ZIP code of the city makes the answer
  // ambiguous instead of trusting a ZIP code that may be wrong.
  // A box number is unique only inside its ZIP code (every post office
  // has a box 24): a box found in the typed ZIP code is the answer.
  const bool box = a.streetName == "PO BOX";
  bool found = runStage(s, typedZip);
  if (found) result.stage = "typed ZIP code";
  if (!(box && found)) {
    const bool inCity = runStage(s, indexed(cityZips));
    if (inCity) result.stage = found ? "typed ZIP code and the city's ZIP codes" : "ZIP codes of the city";
    found = inCity || found;
  }
  if (!found) {
    s.typo = true;
    s.visited.clear();
    found = runStage(s, typedZip);
    // Every block of the city is read here: a large city is cut short.
    std::vector<uint32_t> someCityZips(cityZips.begin(),
                                       cityZips.begin() + static_cast<std::ptrdiff_t>(std::min(cityZips.size(), kMostCityZips)));
    found = runStage(s, someCityZips) || found;
    s.typo = false;
    if (found) result.stage = "street name with one typo, typed ZIP code or city";
  }
  if (!found && typedZip.empty() && cityZips.empty() && (!a.state.empty() || a.zip.empty())) {
    // No usable ZIP code or city: the street index, narrowed to the state
    // (a ZIP code that is not in the data and no state: not found).
    std::vector<uint32_t> zips;
    bits.clear();
    for (const auto& n : s.names) reader_.column(corvdb::kStreetName).findKey(n.text, bits, true);
    for (std::size_t z = bits.findFrom(0); z != corvdb::BitSet::npos && zips.size() <= kMostIndexZips;
         z = bits.findFrom(z + 1)) {
      if (a.state.empty() || places_.stateOf(static_cast<uint32_t>(z)) == a.state) zips.push_back(static_cast<uint32_t>(z));
    }
    if (zips.size() > kMostIndexZips) {
      result.code = MatchCode::kAmbiguous;
      result.reason = "street name in too many ZIP codes; add the city or the ZIP code";
      return result;
    }
    s.visited.clear();
    found = runStage(s, zips);
    if (found) result.stage = a.state.empty() ? "street index" : "street index of the state";
  }
  if (!found) {
    if (!a.zip.empty() && typedZip.empty() && cityZips.empty())
      result.reason = "ZIP code " + a.zip + " not in the data";
    else if (typedZip.empty() && cityZips.empty() && !a.city.empty())
      result.reason = "city " + a.city + (a.state.empty() ? "" : " " + a.state) + " not in the data";
    else if (s.streetSeen)
      result.reason = "no house number or unit range of the street holds the address";
    else
      result.reason = "street " + a.streetName + " not found";
    return result;
  }
  MatchResult decided = decide(s, a);
  decided.stage = result.stage;
  return decided;
}

MatchResult AddressMatcher::decide(Search& s, const ParsedAddress& a) {
  MatchResult result;
  int best = s.candidates.front().score;
  for (const auto& c : s.candidates) best = std::max(best, c.score);
  std::set<std::string> zip4s;
  const Candidate* chosen = nullptr;
  for (const auto& c : s.candidates) {
    if (c.score != best) continue;
    if (zip4s.insert(c.zip + c.plus4).second && !chosen) chosen = &c;
  }
  if (zip4s.size() > 1) {
    result.code = MatchCode::kAmbiguous;
    result.reason = std::to_string(zip4s.size()) + " records fit equally";
    return result;
  }
  if (chosen->unitNeeded) {
    result.code = MatchCode::kAmbiguous;
    result.reason = "the address needs a unit";
    return result;
  }
  const Candidate& c = *chosen;
  std::string street;
  for (const std::string* part : {&c.preDirection, &c.streetName, &c.suffix, &c.postDirection}) {
    if (part->empty()) continue;
    if (!street.empty()) street += ' ';
    street += *part;
  }
  std::string unit;
  if (s.unitGiven) {
    const std::string designator = c.unitRange && !c.unitDesignator.empty() ? c.unitDesignator
                                   : a.designator.empty()                   ? std::string("#")
                                                                            : a.designator;
    unit = designator + " " + a.unitNumber;
  } else if (!a.designator.empty()) {
    unit = a.designator;
  }
  std::string line = StripZeros(a.primaryNumber);
  for (const std::string* part : {&street, &unit}) {
    if (part->empty()) continue;
    if (!line.empty()) line += ' ';
    line += *part;
  }
  // Boxes are written with the number last: PO BOX 12, RR 3 BOX 45.
  if (!a.primaryNumber.empty() && unit.empty()) {
    if (c.recordType == "P" && street == "PO BOX") line = "PO BOX " + StripZeros(a.primaryNumber);
    else if (c.recordType == "R") line = street + " BOX " + StripZeros(a.primaryNumber);
  }
  result.deliveryLine = line;
  result.street = street;
  result.streetName = c.streetName;
  result.unit = unit;
  result.city = c.city;
  result.state = c.state;
  result.zip = c.zip;
  result.plus4 = c.plus4;
  result.recordType = c.recordType;
  std::string reason;
  auto add = [&](const std::string& what) {
    if (!reason.empty()) reason += "; ";
    reason += what;
  };
  if (c.corrections & kCorrectedStreet) add("street name " + a.streetName + " -> " + c.streetName);
  if (c.corrections & kCorrectedZip) add("ZIP code " + a.zip + " -> " + c.zip);
  if (c.corrections & kCorrectedCity) add("city " + a.city + " -> " + c.city);
  if (c.corrections & kCorrectedSuffix) add("suffix " + a.suffix + " -> " + (c.suffix.empty() ? "none" : c.suffix));
  if (c.corrections & kCorrectedDirection) add("direction");
  result.code = c.corrections ? MatchCode::kCorrected : MatchCode::kExact;
  result.reason = reason;
  return result;
}

std::string ExplainMatch(const ParsedAddress& a, const MatchResult& m) {
  std::string out = "read:";
  auto field = [&](const char* name, const std::string& value) {
    if (value.empty()) return;
    out += ' ';
    out += name;
    out += '=';
    if (value.find(' ') != std::string::npos) out += '"' + value + '"';
    else out += value;
  };
  std::string street = a.streetLine();
  if (!a.primaryNumber.empty()) street.erase(0, std::min(street.size(), a.primaryNumber.size() + 1));
  field("recipient", a.recipient);
  field("urbanization", a.urbanization);
  field("number", a.primaryNumber);
  field("street", street);
  field("unit", a.unitText());
  field("city", a.city);
  field("state", a.state);
  field("zip", a.plus4.empty() ? a.zip : a.zip + "-" + a.plus4);
  for (const AlternateStreet& alt : a.alternates) field("or", alt.preDirection.empty() ? alt.name : alt.preDirection + " " + alt.name);
  if (!a.notes.empty()) {
    out += " (";
    for (std::size_t i = 0; i < a.notes.size(); ++i) out += (i ? "; " : "") + a.notes[i];
    out += ')';
  }
  if (!a.error.empty() && a.error != "no street address") return out + " -> error: " + a.error;
  out += " -> ";
  out += MatchCodeName(m.code);
  if (!m.stage.empty()) out += " via " + m.stage;
  if (m.confident()) out += ": " + m.zip + "-" + m.plus4 + " " + m.recordType + " \"" + m.deliveryLine + "\"";
  if (!m.reason.empty()) out += (m.confident() ? " (" + m.reason + ")" : ": " + m.reason);
  return out;
}

}  // namespace corvellan::matcher
