#include "address_forms.h"

#include <algorithm>
#include <utility>

#include "str_util.h"

namespace corvellan::matcher {
namespace {

using corvdb::strUtil;

bool AllDigits(std::string_view w) {
  return !w.empty() && std::all_of(w.begin(), w.end(), [](char c) { return strUtil::isDigit(c); });
}

// A house, box or route number: digits, or digits with one letter (12A).
bool IsBoxNumber(std::string_view w) {
  if (w.empty() || w.size() > 10) return false;
  if (w.front() == '#') w.remove_prefix(1);
  return !w.empty() && strUtil::isDigit(w.front()) &&
         std::all_of(w.begin(), w.end(), [](char c) { return strUtil::isDigit(c) || strUtil::isLetter(c); });
}

std::string Join(const Words& words, std::size_t from, std::size_t to) {
  std::string out;
  for (std::size_t i = from; i < to; ++i) {
    if (!out.empty()) out += ' ';
    out += words[i];
  }
  return out;
}

// State names, and the abbreviations other than the two-letter codes that
// people still write (the older abbreviations of the Government Printing
// Office style, and their usual variants).
constexpr std::pair<std::string_view, std::string_view> kStateNames[] = {
    {"ALABAMA", "AL"}, {"ALA", "AL"},
    {"ALASKA", "AK"},
    {"ARIZONA", "AZ"}, {"ARIZ", "AZ"},
    {"ARKANSAS", "AR"}, {"ARK", "AR"},
    {"CALIFORNIA", "CA"}, {"CALIF", "CA"}, {"CAL", "CA"},
    {"COLORADO", "CO"}, {"COLO", "CO"},
    {"CONNECTICUT", "CT"}, {"CONN", "CT"},
    {"DELAWARE", "DE"}, {"DEL", "DE"},
    {"DISTRICT OF COLUMBIA", "DC"}, {"WASHINGTON DC", "DC"}, {"D C", "DC"},
    {"FLORIDA", "FL"}, {"FLA", "FL"},
    {"GEORGIA", "GA"},
    {"HAWAII", "HI"},
    {"IDAHO", "ID"},
    {"ILLINOIS", "IL"}, {"ILL", "IL"},
    {"INDIANA", "IN"}, {"IND", "IN"},
    {"IOWA", "IA"},
    {"KANSAS", "KS"}, {"KANS", "KS"}, {"KAN", "KS"},
    {"KENTUCKY", "KY"},
    {"LOUISIANA", "LA"},
    {"MAINE", "ME"},
    {"MARYLAND", "MD"},
    {"MASSACHUSETTS", "MA"}, {"MASS", "MA"},
    {"MICHIGAN", "MI"}, {"MICH", "MI"},
    {"MINNESOTA", "MN"}, {"MINN", "MN"},
    {"MISSISSIPPI", "MS"},
    {"MISSOURI", "MO"},
    {"MONTANA", "MT"}, {"MONT", "MT"},
    {"NEBRASKA", "NE"}, {"NEBR", "NE"}, {"NEB", "NE"},
    {"NEVADA", "NV"}, {"NEV", "NV"},
    {"NEW HAMPSHIRE", "NH"}, {"N H", "NH"},
    {"NEW JERSEY", "NJ"}, {"N J", "NJ"},
    {"NEW MEXICO", "NM"}, {"N MEX", "NM"}, {"N M", "NM"},
    {"NEW YORK", "NY"}, {"N Y", "NY"},
    {"NORTH CAROLINA", "NC"}, {"N CAROLINA", "NC"}, {"N C", "NC"},
    {"NORTH DAKOTA", "ND"}, {"N DAK", "ND"}, {"N DAKOTA", "ND"}, {"N D", "ND"},
    {"OHIO", "OH"},
    {"OKLAHOMA", "OK"}, {"OKLA", "OK"},
    {"OREGON", "OR"}, {"OREG", "OR"}, {"ORE", "OR"},
    {"PENNSYLVANIA", "PA"}, {"PENN", "PA"}, {"PENNA", "PA"},
    {"RHODE ISLAND", "RI"}, {"R I", "RI"},
    {"SOUTH CAROLINA", "SC"}, {"S CAROLINA", "SC"}, {"S C", "SC"},
    {"SOUTH DAKOTA", "SD"}, {"S DAK", "SD"}, {"S DAKOTA", "SD"}, {"S D", "SD"},
    {"TENNESSEE", "TN"}, {"TENN", "TN"},
    {"TEXAS", "TX"}, {"TEX", "TX"},
    {"UTAH", "UT"},
    {"VERMONT", "VT"},
    {"VIRGINIA", "VA"},
    {"WASHINGTON", "WA"}, {"WASH", "WA"},
    {"WEST VIRGINIA", "WV"}, {"W VA", "WV"}, {"W VIRGINIA", "WV"},
    {"WISCONSIN", "WI"}, {"WIS", "WI"}, {"WISC", "WI"},
    {"WYOMING", "WY"}, {"WYO", "WY"},
    {"PUERTO RICO", "PR"}, {"P R", "PR"},
    {"VIRGIN ISLANDS", "VI"}, {"US VIRGIN ISLANDS", "VI"}, {"U S VIRGIN ISLANDS", "VI"},
    {"GUAM", "GU"},
    {"AMERICAN SAMOA", "AS"},
    {"NORTHERN MARIANA ISLANDS", "MP"},
    {"FEDERATED STATES OF MICRONESIA", "FM"},
    {"MARSHALL ISLANDS", "MH"},
    {"PALAU", "PW"},
};

// A highway word and what it means for the stored name.
enum class Road { kUs, kState, kCounty, kInterstate, kFarmToMarket, kHighway, kRoute };

}  // namespace

std::string StateCodeOf(const Words& words, std::size_t from, std::size_t to) {
  if (from >= to || to > words.size() || to - from > 4) return {};
  const std::string text = Join(words, from, to);
  for (const auto& [name, code] : kStateNames)
    if (text == name) return std::string(code);
  return {};
}

std::string StateNameOf(std::string_view code) {
  // The table lists each state's written-out name first.
  for (const auto& [name, c] : kStateNames)
    if (c == code) return std::string(name);
  return {};
}

std::size_t CountryWordsAtEnd(const Words& words, bool afterPostalPart) {
  const std::size_t n = words.size();
  auto endsWith = [&](std::initializer_list<std::string_view> tail) {
    if (tail.size() > n) return false;
    std::size_t i = n - tail.size();
    for (std::string_view w : tail)
      if (words[i++] != w) return false;
    return true;
  };
  if (endsWith({"UNITED", "STATES", "OF", "AMERICA"})) return 4;
  if (endsWith({"U", "S", "A"})) return 3;
  if (endsWith({"UNITED", "STATES"})) return 2;
  if (endsWith({"USA"})) return 1;
  if (afterPostalPart && (endsWith({"US"}) || endsWith({"U", "S"}))) return words.back() == "US" ? 1 : 2;
  return 0;
}

bool ReadBoxAddress(const Words& words, std::size_t at, BoxAddress* box) {
  const std::size_t n = words.size();
  auto word = [&](std::size_t i) -> std::string_view { return i < n ? std::string_view(words[i]) : std::string_view(); };
  // Post office boxes: the words before the number.
  std::size_t i = at;
  bool postOffice = false;
  if (word(i) == "PO" || word(i) == "POB" || word(i) == "POBOX") {
    postOffice = true;
    ++i;
  } else if (word(i) == "P" && word(i + 1) == "O") {
    postOffice = true;
    i += 2;
  } else if (word(i) == "POST" && (word(i + 1) == "OFFICE" || word(i + 1) == "OFC")) {
    postOffice = true;
    i += 2;
  }
  const bool boxWord = word(i) == "BOX" || word(i) == "BX" || word(i) == "LOCKBOX" || word(i) == "DRAWER" ||
                       word(i) == "DRAWR" || word(i) == "CALLER";
  if (boxWord) ++i;
  if ((postOffice && (boxWord || word(at) != "PO")) || (!postOffice && boxWord)) {
    if (word(i) == "NO" || word(i) == "NUMBER") ++i;
    if (IsBoxNumber(word(i))) {
      std::string number(word(i));
      if (number.front() == '#') number.erase(0, 1);
      box->street = "PO BOX";
      box->number = number;
      box->used = i + 1 - at;
      return true;
    }
    return false;
  }
  // Rural routes and highway contract routes: ROUTE n BOX m.
  i = at;
  std::string route;
  if (word(i) == "RR" || word(i) == "RFD" || word(i) == "RT" || word(i) == "RTE" || word(i) == "ROUTE") {
    route = "RR";
    ++i;
  } else if (word(i) == "R" && word(i + 1) == "R") {
    route = "RR";
    i += 2;
  } else if (word(i) == "RURAL" && (word(i + 1) == "ROUTE" || word(i + 1) == "RT" || word(i + 1) == "RTE")) {
    route = "RR";
    i += 2;
  } else if (word(i) == "HC" || word(i) == "HCR") {
    route = "HC";
    ++i;
  } else if (word(i) == "HIGHWAY" && word(i + 1) == "CONTRACT") {
    route = "HC";
    i += 2;
    if (word(i) == "ROUTE") ++i;
  }
  if (route.empty() || !AllDigits(word(i))) return false;
  const std::string routeNumber(word(i));
  ++i;
  if (word(i) != "BOX" && word(i) != "BX") {
    // RR 3 alone is a route without its box; ROUTE 9 is a road.
    return false;
  }
  ++i;
  if (!IsBoxNumber(word(i))) return false;
  std::string number(word(i));
  if (number.front() == '#') number.erase(0, 1);
  // Stored route numbers carry no leading zeros (RR 3).
  box->street = route + " " + std::to_string(std::stoul(routeNumber.substr(0, 9)));
  box->number = number;
  box->used = i + 1 - at;
  return true;
}

bool ReadHighwayName(const Words& words, std::size_t at, HighwayName* highway) {
  const std::size_t n = words.size();
  auto word = [&](std::size_t i) -> std::string_view { return i < n ? std::string_view(words[i]) : std::string_view(); };
  auto highwayWord = [](std::string_view w) {
    return w == "HWY" || w == "HIGHWAY" || w == "HIWAY" || w == "HGWY" || w == "HWAY" || w == "HY";
  };
  auto roadWord = [](std::string_view w) { return w == "RD" || w == "ROAD"; };
  auto routeWord = [](std::string_view w) { return w == "RT" || w == "RTE" || w == "ROUTE"; };
  std::size_t i = at;
  Road road;
  std::string kind;  // for state roads: HIGHWAY, ROAD or ROUTE as written
  if (word(i) == "US" || (word(i) == "U" && word(i + 1) == "S")) {
    i += word(i) == "US" ? 1 : 2;
    road = Road::kUs;
    if (highwayWord(word(i)) || routeWord(word(i))) ++i;
  } else if (word(i) == "SR" || word(i) == "SH" || word(i) == "SRT") {
    road = Road::kState;
    kind = word(i) == "SH" ? "HIGHWAY" : "";
    ++i;
  } else if (word(i) == "STATE" || (word(i) == "ST" && (highwayWord(word(i + 1)) || roadWord(word(i + 1)) ||
                                                        routeWord(word(i + 1))))) {
    ++i;
    road = Road::kState;
    if (highwayWord(word(i))) kind = "HIGHWAY";
    else if (roadWord(word(i))) kind = "ROAD";
    else if (routeWord(word(i))) kind = "ROUTE";
    else return false;
    ++i;
  } else if (word(i) == "CR" || (word(i) == "CO" && (roadWord(word(i + 1)) || highwayWord(word(i + 1)))) ||
             (word(i) == "COUNTY" && (roadWord(word(i + 1)) || highwayWord(word(i + 1)) || routeWord(word(i + 1))))) {
    road = Road::kCounty;
    kind = word(i) == "CR" ? "ROAD" : highwayWord(word(i + 1)) ? "HIGHWAY" : routeWord(word(i + 1)) ? "ROUTE" : "ROAD";
    i += word(i) == "CR" ? 1 : 2;
  } else if (word(i) == "I" || word(i) == "INTERSTATE" || word(i) == "IH") {
    road = Road::kInterstate;
    ++i;
    if (highwayWord(word(i))) ++i;
  } else if (word(i) == "FM" || (word(i) == "FARM" && word(i + 1) == "TO" && word(i + 2) == "MARKET")) {
    road = Road::kFarmToMarket;
    i += word(i) == "FM" ? 1 : 3;
    if (roadWord(word(i))) ++i;
  } else if (highwayWord(word(i))) {
    road = Road::kHighway;
    ++i;
  } else if (routeWord(word(i))) {
    road = Road::kRoute;
    ++i;
  } else {
    return false;
  }
  // The road's number (or, for county roads, letters: COUNTY ROAD MM).
  const std::string_view number = word(i);
  if (number.empty() || number.size() > 6) return false;
  const bool digits = AllDigits(number);
  if (!digits) {
    const bool letters = std::all_of(number.begin(), number.end(), [](char c) { return strUtil::isLetter(c); });
    // Only county roads are named by letters, and only a letter word that is
    // not a direction or suffix-like word would be read that way.
    if (road != Road::kCounty || !letters || number.size() > 3) return false;
  }
  std::string num(number);
  if (digits) num = std::to_string(std::stoul(num));
  ++i;
  auto& names = highway->names;
  switch (road) {
    case Road::kUs:
      names = {"US HIGHWAY " + num, "US ROUTE " + num, "HIGHWAY " + num, "US " + num};
      break;
    case Road::kState:
      if (kind == "HIGHWAY") names = {"STATE HIGHWAY " + num, "STATE ROUTE " + num, "STATE ROAD " + num, "HIGHWAY " + num};
      else if (kind == "ROAD") names = {"STATE ROAD " + num, "STATE ROUTE " + num, "STATE HIGHWAY " + num};
      else if (kind == "ROUTE") names = {"STATE ROUTE " + num, "STATE HIGHWAY " + num, "STATE ROAD " + num, "ROUTE " + num};
      else names = {"STATE ROUTE " + num, "STATE HIGHWAY " + num, "STATE ROAD " + num, "HIGHWAY " + num};
      break;
    case Road::kCounty:
      if (kind == "HIGHWAY") names = {"COUNTY HIGHWAY " + num, "COUNTY ROAD " + num};
      else if (kind == "ROUTE") names = {"COUNTY ROUTE " + num, "COUNTY ROAD " + num};
      else names = {"COUNTY ROAD " + num, "COUNTY HIGHWAY " + num, "COUNTY ROUTE " + num};
      break;
    case Road::kInterstate:
      names = {"INTERSTATE " + num, "INTERSTATE HIGHWAY " + num};
      break;
    case Road::kFarmToMarket:
      names = {"FM " + num, "FARM TO MARKET ROAD " + num};
      break;
    case Road::kHighway:
      names = {"HIGHWAY " + num, "STATE HIGHWAY " + num, "US HIGHWAY " + num};
      break;
    case Road::kRoute:
      names = {"ROUTE " + num, "STATE ROUTE " + num, "US HIGHWAY " + num};
      break;
  }
  highway->used = i - at;
  return true;
}

const char* CorrectedSuffixWord(std::string_view word) {
  // Misspellings seen in typed addresses, beside the forms of the suffix
  // table (which already holds CIRC, HIWAY, AV and the like).
  static constexpr std::pair<std::string_view, const char*> kMisspelled[] = {
      {"HGWY", "HWY"},   {"HWAY", "HWY"},  {"HIGWAY", "HWY"}, {"HIGHWY", "HWY"}, {"CRT", "CT"},
      {"COUR", "CT"},    {"CI", "CIR"},    {"CIRLE", "CIR"},  {"CRICLE", "CIR"}, {"STR", "ST"},
      {"STREE", "ST"},   {"SRTEET", "ST"}, {"STRET", "ST"},   {"STEET", "ST"},   {"AVNUE", "AVE"},
      {"AVEN", "AVE"},   {"AVENEU", "AVE"}, {"AVEUNE", "AVE"}, {"BLV", "BLVD"}, {"BVD", "BLVD"},
      {"BOULVARD", "BLVD"}, {"BOULEVRD", "BLVD"}, {"DRV", "DR"}, {"DRIV", "DR"}, {"DIRVE", "DR"},
      {"DRIEV", "DR"},   {"LNE", "LN"},     {"LA", "LN"},      {"PKY", "PKWY"},
      {"PKWAY", "PKWY"}, {"PRKWY", "PKWY"}, {"TERR", "TER"},  {"TERACE", "TER"}, {"PLC", "PL"},
      {"PLCE", "PL"},    {"RAOD", "RD"},    {"ROD", "RD"},     {"WY", "WAY"},
      {"TRAL", "TRL"},   {"CNTR", "CTR"},   {"SQR", "SQ"},     {"EXPWY", "EXPY"},
      {"EXPRESWAY", "EXPY"}, {"FRWY", "FWY"}, {"FRWAY", "FWY"},
  };
  for (const auto& [typed, meant] : kMisspelled)
    if (word == typed) return meant;
  return nullptr;
}

const char* OtherCityWordForm(std::string_view word) {
  static constexpr std::pair<std::string_view, const char*> kForms[] = {
      {"ST", "SAINT"},     {"SAINT", "ST"},     {"STE", "SAINTE"},  {"SAINTE", "STE"},  {"FT", "FORT"},
      {"FORT", "FT"},      {"MT", "MOUNT"},     {"MOUNT", "MT"},    {"MTN", "MOUNTAIN"}, {"MOUNTAIN", "MTN"},
      {"PT", "POINT"},     {"POINT", "PT"},     {"HTS", "HEIGHTS"}, {"HEIGHTS", "HTS"}, {"SPGS", "SPRINGS"},
      {"SPRINGS", "SPGS"}, {"SPG", "SPRING"},   {"JCT", "JUNCTION"}, {"JUNCTION", "JCT"}, {"VLG", "VILLAGE"},
      {"VILLAGE", "VLG"},  {"TWP", "TOWNSHIP"}, {"TOWNSHIP", "TWP"}, {"CTR", "CENTER"}, {"CENTER", "CTR"},
      {"N", "NORTH"},      {"NORTH", "N"},      {"S", "SOUTH"},     {"SOUTH", "S"},     {"E", "EAST"},
      {"EAST", "E"},       {"W", "WEST"},       {"WEST", "W"},      {"BCH", "BEACH"},   {"BEACH", "BCH"},
      {"LK", "LAKE"},      {"LAKE", "LK"},      {"IS", "ISLAND"},   {"ISL", "ISLAND"},  {"ISLAND", "IS"},
      {"VLY", "VALLEY"},   {"VALLEY", "VLY"},   {"PK", "PARK"},     {"CY", "CITY"},     {"CTY", "CITY"},
  };
  for (const auto& [typed, other] : kForms)
    if (word == typed) return other;
  return nullptr;
}

std::string FloorNumberOf(std::string_view word) {
  if (word.size() < 3) return {};
  const std::string_view tail = word.substr(word.size() - 2);
  if (tail != "ST" && tail != "ND" && tail != "RD" && tail != "TH") return {};
  const std::string_view digits = word.substr(0, word.size() - 2);
  if (!AllDigits(digits) || digits.size() > 3) return {};
  return std::string(digits);
}

}  // namespace corvellan::matcher
