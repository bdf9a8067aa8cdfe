#include "address_parser.h"

#include <algorithm>
#include <vector>

#include "str_util.h"
#include "transliterate.h"

namespace corvellan::matcher {
namespace {

using corvdb::strUtil;
using Words = std::vector<std::string>;

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

ParsedAddress AddressParser::parse(std::string_view utf8) const {
  ParsedAddress out;
  const Transliteration plain = ToMatchText(utf8);
  if (!plain.error.empty()) {
    out.error = plain.error;
    return out;
  }
  std::vector<Words> segments = Segments(plain.text);

  // From the end: ZIP code, state, city.
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
  if (wordCount() > 1) {
    const std::string& w = lastWords().back();
    if (w.size() == 5 && AllDigits(w)) {
      out.zip = w;
      dropLast();
    } else if (w.size() == 10 && w[5] == '-' && AllDigits(w.substr(0, 5)) && AllDigits(w.substr(6))) {
      out.zip = w.substr(0, 5);
      out.plus4 = w.substr(6);
      dropLast();
    } else if (w.size() == 9 && AllDigits(w)) {
      out.zip = w.substr(0, 5);
      out.plus4 = w.substr(5);
      dropLast();
    }
  }
  if (wordCount() > 1 && !lastWords().empty() && lastWords().back().size() == 2 && places_.isState(lastWords().back())) {
    out.state = lastWords().back();
    dropLast();
  }
  auto knownCity = [&](const std::string& city) {
    return out.state.empty() ? places_.isCity(city) : places_.isCityOf(city, out.state);
  };
  if (segments.size() > 1) {
    // The part after the last comma is the city when it is one; a known city
    // at the end of it is taken otherwise (SPRINGFIELD IL after a unit).
    Words& last = lastWords();
    const std::string whole = Join(last, 0, last.size());
    std::string designator;
    if (knownCity(whole) || (!HasDigit(whole) && !IsDesignatorWord(last.front(), &designator))) {
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
      if (knownCity(city)) {
        out.city = city;
        last.resize(last.size() - k);
        if (last.empty() && segments.size() > 1) segments.pop_back();
        break;
      }
    }
  }

  // The delivery line: every segment left, in order.
  Words words;
  for (const auto& s : segments) words.insert(words.end(), s.begin(), s.end());
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
  TakeUnit(words, out);

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
  if (out.streetName.empty() && out.primaryNumber.empty()) out.error = "no street address";
  return out;
}

}  // namespace corvellan::matcher
