#include "address_parser.h"

#include <algorithm>
#include <vector>

#include "address_forms.h"
#include "str_util.h"
#include "transliterate.h"

namespace corvellan::matcher {
namespace {

using corvdb::strUtil;

bool AllDigits(std::string_view w) {
  return !w.empty() && std::all_of(w.begin(), w.end(), [](char c) { return strUtil::isDigit(c); });
}
bool HasDigit(std::string_view w) {
  return std::any_of(w.begin(), w.end(), [](char c) { return strUtil::isDigit(c); });
}

std::string Join(const Words& words, std::size_t from, std::size_t to) {
  std::string out;
  for (std::size_t i = from; i < to; ++i) {
    if (!out.empty()) out += ' ';
    out += words[i];
  }
  return out;
}

// Directions written out, with their abbreviations.
const char* AbbreviatedDirection(std::string_view w) {
  static constexpr std::pair<std::string_view, const char*> kDirections[] = {
      {"NORTH", "N"},     {"SOUTH", "S"},     {"EAST", "E"},          {"WEST", "W"},
      {"NORTHEAST", "NE"}, {"NORTHWEST", "NW"}, {"SOUTHEAST", "SE"}, {"SOUTHWEST", "SW"},
  };
  for (const auto& [full, abbr] : kDirections)
    if (w == full) return abbr;
  return nullptr;
}

// Splits the cleaned text into comma-separated segments of words. Letters and
// digits make words; '#' and '/' stay inside words; a hyphen stays between two
// digits (ZIP+4, 12-14) and is a blank elsewhere; periods and apostrophes
// vanish (N.W. -> NW, O'NEIL -> ONEIL); everything else is a blank.
std::vector<Words> Segments(const std::string& text) {
  std::vector<Words> segments(1);
  std::string word;
  auto endWord = [&] {
    if (!word.empty()) segments.back().push_back(word);
    word.clear();
  };
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (strUtil::isLetter(c) || strUtil::isDigit(c) || c == '#' || c == '/') {
      word += c;
    } else if (c == '-' && !word.empty() && strUtil::isDigit(word.back()) && i + 1 < text.size() &&
               strUtil::isDigit(text[i + 1])) {
      word += c;
    } else if (c == '.' || c == '\'') {
      // dropped
    } else if (c == ',' || c == ';') {
      endWord();
      if (!segments.back().empty()) segments.emplace_back();
    } else {
      endWord();
    }
  }
  endWord();
  if (segments.size() > 1 && segments.back().empty()) segments.pop_back();
  return segments;
}

bool IsDesignatorWord(std::string_view w, std::string* abbreviation) {
  if (auto abbr = corvdb::kLongUnits.abbreviationOf(w)) {
    *abbreviation = std::string(*abbr);
    return true;
  }
  if (corvdb::kLongUnits.isAbbreviation(w)) {
    *abbreviation = std::string(w);
    return true;
  }
  return false;
}

// A word that can be a unit number: holds a digit, or is one letter (APT B).
bool IsUnitNumber(std::string_view w) {
  if (!w.empty() && w.front() == '#') w.remove_prefix(1);
  return HasDigit(w) || (w.size() == 1 && strUtil::isLetter(w[0]));
}

// Takes a unit out of the delivery-line words: "# 5", "#5", "APT 5", "APT #5",
// "APARTMENT 5". Looks from the end; never takes the first word.
void TakeUnit(Words& words, ParsedAddress& out) {
  for (std::size_t i = words.size(); i-- > 1;) {
    const std::string& w = words[i];
    if (w == "#" && i + 1 < words.size()) {
      out.designator.assign(1, '#');  // not = "#": a false -Wrestrict of GCC 12 at -O2
      out.unitNumber = words[i + 1];
      words.erase(words.begin() + static_cast<std::ptrdiff_t>(i), words.begin() + static_cast<std::ptrdiff_t>(i + 2));
      return;
    }
    if (w.size() > 1 && w[0] == '#') {
      out.designator.assign(1, '#');  // not = "#": a false -Wrestrict of GCC 12 at -O2
      out.unitNumber = w.substr(1);
      words.erase(words.begin() + static_cast<std::ptrdiff_t>(i));
      // APT #5: the designator before it.
      std::string abbr;
      if (i >= 3 && IsDesignatorWord(words[i - 1], &abbr)) {
        out.designator = abbr;
        words.erase(words.begin() + static_cast<std::ptrdiff_t>(i - 1));
      }
      return;
    }
    std::string abbr;
    if (i >= 2 && i + 1 < words.size() && IsUnitNumber(words[i + 1]) && IsDesignatorWord(w, &abbr)) {
      out.designator = abbr;
      std::string number = words[i + 1];
      if (number[0] == '#') number.erase(0, 1);
      out.unitNumber = number;
      words.erase(words.begin() + static_cast<std::ptrdiff_t>(i), words.begin() + static_cast<std::ptrdiff_t>(i + 2));
      return;
    }
  }
}

}  // namespace

std::string ParsedAddress::streetLine() const {
  std::string line;
  for (const std::string* part : {&primaryNumber, &preDirection, &streetName, &suffix, &postDirection}) {
    if (part->empty()) continue;
    if (!line.empty()) line += ' ';
    line += *part;
  }
  return line;
}

std::string ParsedAddress::unitText() const {
  if (designator.empty()) return unitNumber;
  if (unitNumber.empty()) return designator;
  return designator + " " + unitNumber;
}

namespace {

bool IsZipWord(std::string_view w) {
  return (w.size() == 5 && AllDigits(w)) || (w.size() == 9 && AllDigits(w)) ||
         (w.size() == 10 && w[5] == '-' && AllDigits(w.substr(0, 5)) && AllDigits(w.substr(6)));
}

// A unit written as its own part: "STE 402", "#12", "APT # 3", "2ND FLR".
bool IsUnitSegment(const Words& words) {
  std::string abbr;
  if (words.size() == 1) return words[0].size() > 1 && words[0][0] == '#';
  if (words.size() == 2) {
    if (words[0] == "#") return true;
    if (IsDesignatorWord(words[0], &abbr) || words[0] == "FLAT") return IsUnitNumber(words[1]);
    return !FloorNumberOf(words[0]).empty() && (words[1] == "FL" || words[1] == "FLR" || words[1] == "FLOOR");
  }
  if (words.size() == 3) return (IsDesignatorWord(words[0], &abbr) || words[0] == "FLAT") && words[1] == "#" && IsUnitNumber(words[2]);
  return false;
}

// A grid house number of two parts (W148 N9748, N95 W17000): a direction
// letter and digits each, stored as one word.
bool IsGridPart(std::string_view w) {
  return w.size() >= 2 && w.size() <= 7 && (w[0] == 'N' || w[0] == 'S' || w[0] == 'E' || w[0] == 'W') &&
         AllDigits(w.substr(1));
}

// Rewrites the unit forms the table does not know into ones it does: a floor
// as an ordinal (2ND FLR -> FL 2), FLAT n (APT n), a designator before a
// lone "#" (APT # 109 -> APT 109).
void NormalizeUnits(Words& words) {
  for (std::size_t i = 0; i + 1 < words.size(); ++i) {
    const std::string floor = FloorNumberOf(words[i]);
    if (!floor.empty() && (words[i + 1] == "FL" || words[i + 1] == "FLR" || words[i + 1] == "FLOOR") && i >= 2) {
      words[i] = "FL";
      words[i + 1] = floor;
      continue;
    }
    std::string abbr;
    if (words[i] == "FLAT" && IsUnitNumber(words[i + 1])) words[i] = "APT";
    if (i + 2 < words.size() && words[i + 1] == "#" && IsDesignatorWord(words[i], &abbr) && IsUnitNumber(words[i + 2]))
      words.erase(words.begin() + static_cast<std::ptrdiff_t>(i + 1));
  }
}

}  // namespace

ParsedAddress AddressParser::parse(std::string_view utf8) const {
  ParsedAddress out;
  const Transliteration plain = ToMatchText(utf8);
  if (!plain.error.empty()) {
    out.error = plain.error;
    return out;
  }
  std::vector<Words> segments = Segments(plain.text);

  // From the end: country, ZIP code, state, city.
  auto lastWords = [&]() -> Words& { return segments.back(); };
  auto dropLast = [&] {
    lastWords().pop_back();
    if (lastWords().empty() && segments.size() > 1) segments.pop_back();
  };
  auto wordCount = [&] {
    std::size_t n = 0;
    for (const auto& s : segments) n += s.size();
    return n;
  };
  {
    // A country alone after a comma or line break, or at the end of the
    // last part (after a ZIP code or state when it is only "US").
    Words& last = lastWords();
    std::size_t n = CountryWordsAtEnd(last, true);
    if (n > 0 && n < last.size()) {
      const std::string& before = last[last.size() - n - 1];
      const bool postal = IsZipWord(before) || (before.size() == 2 && places_.isState(before)) ||
                          (before.size() >= 3 && before.size() <= 4 && AllDigits(before));
      if (!postal && CountryWordsAtEnd(last, false) != n) n = 0;
    }
    if (n > 0 && (n < last.size() || segments.size() > 1) && wordCount() > n) {
      for (std::size_t i = 0; i < n; ++i) dropLast();
    }
  }
  auto takeZip = [&](const std::string& w) {
    if (w.size() == 5 && AllDigits(w)) {
      out.zip = w;
    } else if (w.size() == 10 && w[5] == '-' && AllDigits(w.substr(0, 5)) && AllDigits(w.substr(6))) {
      out.zip = w.substr(0, 5);
      out.plus4 = w.substr(6);
    } else if (w.size() == 9 && AllDigits(w)) {
      out.zip = w.substr(0, 5);
      out.plus4 = w.substr(5);
    } else {
      return false;
    }
    dropLast();
    return true;
  };
  // The state that ends the last part: a two-letter code, or a name or older
  // abbreviation of up to four words. Returns the words it takes (0: none).
  auto stateAtEnd = [&](std::size_t skip, std::string* code) -> std::size_t {
    const Words& last = lastWords();
    if (last.size() <= skip) return 0;
    const std::size_t end = last.size() - skip;
    if (last[end - 1].size() == 2 && places_.isState(last[end - 1])) {
      *code = last[end - 1];
      return 1;
    }
    for (std::size_t k = std::min<std::size_t>(4, end); k >= 1; --k) {
      const std::string c = StateCodeOf(last, end - k, end);
      if (!c.empty() && places_.isState(c)) {
        *code = c;
        return k;
      }
    }
    return 0;
  };
  if (wordCount() > 1) {
    const std::string w = lastWords().back();
    if (!takeZip(w) && AllDigits(w) && (w.size() == 3 || w.size() == 4)) {
      // A ZIP code whose leading zeros a spreadsheet dropped (NJ 7030): taken
      // only when it is a ZIP code of the state before it.
      std::string code;
      if (stateAtEnd(1, &code) > 0) {
        const std::string padded = std::string(5 - w.size(), '0') + w;
        if (places_.stateOf(static_cast<uint32_t>(std::stoul(padded))) == code) {
          out.notes.push_back("ZIP code " + w + " read as " + padded);
          out.zip = padded;
          dropLast();
        }
      }
    }
  }
  if (wordCount() > 1) {
    std::string code;
    const std::size_t k = stateAtEnd(0, &code);
    if (k > 0 && wordCount() > k) {
      if (k > 1 || code != lastWords().back()) out.notes.push_back("state " + Join(lastWords(), lastWords().size() - k, lastWords().size()) + " read as " + code);
      out.state = code;
      for (std::size_t i = 0; i < k; ++i) dropLast();
    }
  }
  // A unit written after the street's part as a part of its own
  // (…, STE 402, SPRINGFIELD IL or …, SPRINGFIELD, STE 402, IL): set aside
  // so that the city is found, and put back after the street.
  Words unitAside;
  if (segments.size() > 1 && IsUnitSegment(lastWords())) {
    unitAside = lastWords();
    segments.pop_back();
  }
  auto isKnown = [&](const std::string& city) {
    return out.state.empty() ? places_.isCity(city) : places_.isCityOf(city, out.state);
  };
  // The city as the data spells it: as written, or with one of its words in
  // the other customary form (ST LOUIS for SAINT LOUIS, FT WORTH, MT VERNON).
  // A one-word city is only respelled where it stands alone after a comma
  // (123 MAIN ST W would otherwise end in the town of WEST).
  auto knownCityForm = [&](const std::string& city, bool alone) -> std::string {
    if (isKnown(city)) return city;
    if (!alone && city.find(' ') == std::string::npos) return {};
    Words cityWords;
    for (std::size_t from = 0; from <= city.size();) {
      const std::size_t blank = std::min(city.find(' ', from), city.size());
      cityWords.emplace_back(city.substr(from, blank - from));
      from = blank + 1;
    }
    for (std::size_t i = 0; i < cityWords.size(); ++i) {
      const char* other = OtherCityWordForm(cityWords[i]);
      if (other == nullptr) continue;
      Words variant = cityWords;
      variant[i] = other;
      const std::string candidate = Join(variant, 0, variant.size());
      if (isKnown(candidate)) return candidate;
    }
    return {};
  };
  if (segments.size() > 1) {
    // The part after the last comma is the city when it is one; a known city
    // at the end of it is taken otherwise (SPRINGFIELD IL after a unit).
    Words& last = lastWords();
    const std::string whole = Join(last, 0, last.size());
    std::string designator;
    if (const std::string known = knownCityForm(whole, true); !known.empty()) {
      out.city = known;
      segments.pop_back();
    } else if (!HasDigit(whole) && !IsDesignatorWord(last.front(), &designator) && !IsUnitSegment(last)) {
      out.city = whole;
      segments.pop_back();
    }
  }
  if (out.city.empty() && !lastWords().empty()) {
    Words& last = lastWords();
    const std::size_t most = std::min<std::size_t>(static_cast<std::size_t>(places_.longestCityWords()),
                                                   last.size() - (segments.size() > 1 ? 0 : 1));
    for (std::size_t k = most; k >= 1 && last.size() >= k; --k) {
      const std::string city = Join(last, last.size() - k, last.size());
      if (const std::string known = knownCityForm(city, false); !known.empty()) {
        out.city = known;
        last.resize(last.size() - k);
        if (last.empty() && segments.size() > 1) segments.pop_back();
        break;
      }
    }
  }
  if (segments.size() > 1 && unitAside.empty() && IsUnitSegment(lastWords())) {
    unitAside = lastWords();
    segments.pop_back();
  }

  // A person, firm or building before the delivery line: whole parts before
  // the first part that starts with a house number or a box. A unit among
  // them (FLAT 4, 12 HIGH ST) is kept.
  auto startsDelivery = [&](const Words& seg) {
    if (seg.empty()) return false;
    BoxAddress box;
    HighwayName highway;
    return strUtil::isDigit(seg[0][0]) || ReadBoxAddress(seg, 0, &box) || ReadHighwayName(seg, 0, &highway) ||
           seg[0] == "URB" || seg[0] == "URBANIZACION" || seg[0] == "PSC" || seg[0] == "CMR";
  };
  std::size_t first = 0;
  while (first + 1 < segments.size() && !startsDelivery(segments[first])) ++first;
  Words unitBefore;
  if (first > 0 && startsDelivery(segments[first])) {
    Words recipient;
    for (std::size_t i = 0; i < first; ++i) {
      if (IsUnitSegment(segments[i])) unitBefore = segments[i];
      else recipient.insert(recipient.end(), segments[i].begin(), segments[i].end());
    }
    out.recipient = Join(recipient, 0, recipient.size());
    segments.erase(segments.begin(), segments.begin() + static_cast<std::ptrdiff_t>(first));
  }

  // The delivery line: every segment left, in order.
  Words words;
  for (const auto& s : segments) words.insert(words.end(), s.begin(), s.end());
  words.insert(words.end(), unitBefore.begin(), unitBefore.end());
  words.insert(words.end(), unitAside.begin(), unitAside.end());
  if (words.empty()) {
    out.error = "no street address";
    return out;
  }
  if (words[0] == "URB" || words[0] == "URBANIZACION") {
    std::size_t i = 1;
    while (i < words.size() && !HasDigit(words[i])) ++i;
    if (i > 1 && i < words.size()) {
      out.urbanization = "URB " + Join(words, 1, i);
      words.erase(words.begin(), words.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
  // Military: PSC 1234 BOX 5678, UNIT 2050 BOX 4190, CMR 450 BOX 12.
  if (words.size() >= 2 && (words[0] == "PSC" || words[0] == "CMR" || words[0] == "UNIT") && AllDigits(words[1])) {
    out.streetName = words[0] + " " + words[1];
    if (words.size() >= 4 && words[2] == "BOX") out.primaryNumber = words[3];
    return out;
  }
  // A post office box or route box, possibly after a name on the same line
  // (ACME CORP PO BOX 10).
  for (std::size_t i = 0; i < words.size(); ++i) {
    BoxAddress box;
    if (ReadBoxAddress(words, i, &box)) {
      if (i > 0 && out.recipient.empty()) out.recipient = Join(words, 0, i);
      out.streetName = box.street;
      out.primaryNumber = box.number;
      return out;
    }
    // Only a name before it: stop at the first word with a digit.
    if (HasDigit(words[i])) break;
  }
  // A name before the house number on the same line (PALMER MD 12605 LAPIS
  // LN): words without digits before a number that a street follows, when
  // they do not begin a highway name.
  {
    HighwayName highway;
    std::size_t k = 0;
    while (k < words.size() && !HasDigit(words[k]) && !ReadHighwayName(words, k, &highway)) ++k;
    std::string abbr;
    // (ATTN BILLING DEPT 7201 ELM ST: DEPT before the number is a name
    // there, since the street follows the number.)
    if (k > 0 && k + 1 < words.size() && k <= 6 && strUtil::isDigit(words[k][0]) &&
        !ReadHighwayName(words, 0, &highway) && words[k - 1] != "#" &&
        (!HasDigit(words[k + 1]) || !FloorNumberOf(words[k + 1]).empty()) && !IsDesignatorWord(words[k + 1], &abbr)) {
      if (!out.recipient.empty()) out.recipient += ' ';
      out.recipient += Join(words, 0, k);
      words.erase(words.begin(), words.begin() + static_cast<std::ptrdiff_t>(k));
    }
  }
  // A unit before the house number: APT 4, 12 HIGH ST; FLAT 4 12 HIGH ST.
  {
    std::string abbr;
    if (words.size() >= 4 && (IsDesignatorWord(words[0], &abbr) || words[0] == "FLAT") && IsUnitNumber(words[1]) &&
        strUtil::isDigit(words[2][0])) {
      std::rotate(words.begin(), words.begin() + 2, words.end());
    }
  }
  // A grid house number in two parts is one stored word.
  if (words.size() >= 3 && IsGridPart(words[0]) && IsGridPart(words[1])) {
    words[0] += words[1];
    words.erase(words.begin() + 1);
  }
  NormalizeUnits(words);
  TakeUnit(words, out);

  // Highway and road names after the house number (123 US HWY 19 N).
  {
    const std::size_t at = (!words.empty() && HasDigit(words[0]) && words.size() > 1) ? 1 : 0;
    std::size_t nameAt = at;
    std::string preDirection;
    if (nameAt + 2 < words.size() && corvdb::IsDirection(words[nameAt])) {
      HighwayName probe;
      if (ReadHighwayName(words, nameAt + 1, &probe)) {
        preDirection = words[nameAt];
        ++nameAt;
      }
    }
    HighwayName highway;
    if (ReadHighwayName(words, nameAt, &highway)) {
      std::size_t after = nameAt + highway.used;
      std::string postDirection;
      if (after < words.size()) {
        if (const char* abbr = AbbreviatedDirection(words[after])) postDirection = abbr;
        else if (corvdb::IsDirection(words[after])) postDirection = words[after];
        if (!postDirection.empty()) ++after;
      }
      // A bare number after the highway's is a unit (US HWY 19 N 600).
      if (after + 1 == words.size() && out.unitNumber.empty() && IsUnitNumber(words[after])) {
        out.designator.assign(1, '#');
        out.unitNumber = words[after];
        ++after;
      }
      if (after == words.size()) {
        if (at == 1) out.primaryNumber = words[0];
        out.preDirection = preDirection;
        out.streetName = highway.names.front();
        out.postDirection = postDirection;
        for (std::size_t i = 1; i < highway.names.size(); ++i)
          out.alternates.push_back({highway.names[i], preDirection, ""});
        return out;
      }
    }
  }

  // A misspelled suffix (HGWY, CRT, CI) before an optional post-direction.
  if (words.size() >= 3) {
    std::size_t i = words.size() - 1;
    if (corvdb::IsDirection(words[i]) || AbbreviatedDirection(words[i])) --i;
    if (i >= 2 && !suffixes_.lookup(words[i])) {
      if (const char* meant = CorrectedSuffixWord(words[i])) {
        if (suffixes_.lookup(meant)) words[i] = meant;
      }
    }
  }
  // A bare number after the suffix is a unit (123 MAIN ST 600).
  if (out.designator.empty() && out.unitNumber.empty() && words.size() >= 4 && AllDigits(words.back()) &&
      HasDigit(words[0]) && suffixes_.lookup(words[words.size() - 2]).has_value()) {
    out.designator.assign(1, '#');
    out.unitNumber = words.back();
    words.pop_back();
  }

  // Written-out directions, where a street name is left beside them.
  const std::size_t start = (!words.empty() && HasDigit(words[0])) ? 1 : 0;
  const bool lastIsSuffix = !words.empty() && suffixes_.lookup(words.back()).has_value();
  const std::size_t nameWords = words.size() - start - (lastIsSuffix ? 1 : 0);
  if (start < words.size() && nameWords >= 2) {
    if (const char* abbr = AbbreviatedDirection(words[start])) {
      out.spelledPreDirection = words[start];
      words[start] = abbr;
    }
  }
  if (words.size() >= start + 3 || (words.size() >= start + 2 && !lastIsSuffix)) {
    if (const char* abbr = AbbreviatedDirection(words.back())) words.back() = abbr;
  }

  // A unit word alone at the end (REAR, BSMT) after a suffix or direction.
  if (out.designator.empty() && words.size() >= 3) {
    const std::string& last = words.back();
    std::string abbr;
    if (auto full = corvdb::kShortUnits.abbreviationOf(last)) abbr = *full;
    else if (corvdb::kShortUnits.isAbbreviation(last)) abbr = last;
    const std::string& before = words[words.size() - 2];
    if (!abbr.empty() && (suffixes_.lookup(before) || corvdb::IsDirection(before))) {
      out.designator = abbr;
      words.pop_back();
    }
  }
  // The unit is taken already: a placeholder designator keeps the street-line
  // parsing from reading the last words as one (184 E FRONT VLYS).
  static constexpr std::string_view kNoUnit = "\x01";
  const bool unitTaken = !out.designator.empty() || !out.unitNumber.empty();
  corvdb::StreetParts parts = strUtil::parseStreetLine(Join(words, 0, words.size()),
                                                       unitTaken ? std::string_view(out.designator) : kNoUnit,
                                                       out.unitNumber, "", suffixes_);
  if (!unitTaken) parts.designator.clear();
  out.primaryNumber = parts.primaryNumber;
  out.preDirection = parts.preDirection;
  out.streetName = parts.streetName;
  out.suffix = parts.suffix;
  out.postDirection = parts.postDirection;
  out.designator = parts.designator;
  out.unitNumber = parts.unitNumber;
  if (out.preDirection.empty()) out.spelledPreDirection.clear();
  if (!out.suffix.empty()) {
    for (std::size_t i = words.size(); i-- > 0;) {
      const auto abbr = suffixes_.lookup(words[i]);
      if (abbr && *abbr == out.suffix) {
        out.suffixWord = words[i];
        break;
      }
    }
  }
  // A street named by one letter that is also a direction (306 N AVE NW,
  // 641 S ST NW): the letter is the name. N WELLS (a name that is also a
  // suffix word) is tried as direction and name as well.
  // A direction written out is the name itself (1476 SOUTH AVE SE).
  if (out.streetName.empty() && !out.preDirection.empty() && !out.primaryNumber.empty()) {
    const std::string letter = out.preDirection;
    out.streetName = out.spelledPreDirection.empty() ? letter : out.spelledPreDirection;
    out.preDirection.clear();
    out.spelledPreDirection.clear();
    if (out.streetName != letter) out.alternates.push_back({letter, "", out.suffix});
    if (!out.suffixWord.empty()) out.alternates.push_back({out.suffixWord, letter, ""});
  }
  if (out.streetName.empty() && out.primaryNumber.empty()) out.error = "no street address";
  return out;
}

}  // namespace corvellan::matcher
