#include "sample/names.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <utility>

namespace corvdb::tools {
namespace {

constexpr size_t kStreetLength = 28;
constexpr size_t kFirmLength = 40;
constexpr size_t kCityLength = 28;
constexpr size_t kAbbrevLength = 13;

// Most streets carry one of a few suffixes; the rest of the table appears now
// and then. Only abbreviations present in street_suffixes.csv are used.
constexpr std::pair<std::string_view, uint32_t> kCommonSuffixes[] = {
    {"ST", 180}, {"AVE", 130}, {"RD", 120}, {"DR", 120}, {"LN", 80}, {"CT", 70},
    {"WAY", 50}, {"PL", 50},   {"BLVD", 40}, {"CIR", 40}, {"TER", 20}, {"PKWY", 20},
    {"TRL", 20}, {"LOOP", 10}, {"HWY", 10}, {"RUN", 8},   {"PATH", 8}, {"ROW", 6},
    {"SQ", 6},   {"PIKE", 5},  {"XING", 5}, {"HL", 5},    {"CV", 5},   {"PT", 5}};
constexpr uint32_t kOtherSuffixesWeight = 60;  // spread over the whole table

constexpr std::string_view kTrades[] = {
    "PLUMBING",        "PLUMBING AND HEATING", "FUNERAL HOME",   "INSURANCE AGENCY",
    "AUTO REPAIR",     "HARDWARE",             "FLORIST",        "BAKERY",
    "PHARMACY",        "DENTAL GROUP",         "REALTY",         "CONSTRUCTION",
    "ELECTRIC",        "VETERINARY CLINIC",    "MOTORS",         "LUMBER CO",
    "FEED AND SUPPLY", "TIRE AND BATTERY",     "PRINTING",       "CLEANERS",
    "MARKET",          "TRUCKING",             "LANDSCAPING",    "ROOFING",
    "ACCOUNTING",      "TITLE COMPANY",        "HOME CENTER",    "OPTICAL"};
constexpr std::string_view kProfessions[] = {"DDS", "MD", "CPA", "PC", "DVM", "ATTY", "OD", "PA"};
constexpr std::string_view kCityBusinesses[] = {
    "BANK OF ",         "FIRST NATIONAL BANK OF ", "FIRST BAPTIST CHURCH OF ",
    "CHURCH OF CHRIST", "CITY OF ",                "UNIVERSITY OF "};
constexpr std::string_view kCitySuffixBusinesses[] = {
    " CHAMBER OF COMMERCE", " PUBLIC LIBRARY",      " SAVINGS BANK",  " MEDICAL CENTER",
    " COUNTRY CLUB",        " HOUSING AUTHORITY",   " FIRE DEPT",     " FAMILY YMCA",
    " DAILY NEWS",          " COMMUNITY HOSPITAL"};
constexpr std::string_view kBuildingWords[] = {
    "TOWERS", "PLAZA",     "ARMS",         "MANOR",           "COURT",           "HOUSE",
    "APTS",   "APARTMENTS", "CONDOMINIUMS", "OFFICE BUILDING", "PROFESSIONAL CENTER",
    "MEDICAL CENTER",       "BUILDING",     "COMMONS",         "LOFTS",           "PARK APTS"};
constexpr std::string_view kPlaceWords[] = {
    "HEIGHTS", "MILLS",  "CORNERS", "CROSSING", "SPRINGS", "VALLEY", "JUNCTION", "STATION",
    "CENTER",  "PARK",   "GROVE",   "FALLS",    "RIDGE",   "HILLS",  "HOLLOW",   "LANDING"};
constexpr std::string_view kUrbanizationBases[] = {
    "LAS LOMAS",   "SAN ANTONIO",  "LOS ALMENDROS", "VISTA HERMOSA", "EL PARAISO",  "LAS FLORES",
    "SANTA RITA",  "LOS PINOS",    "SAN JOSE",      "LA CUMBRE",     "LOS MAESTROS", "EL SENORIAL",
    "LAS AMERICAS", "SANTA MARIA", "LOS CAOBOS",    "EL MADRIGAL",   "LA RIVIERA",  "SAN GERARDO",
    "BELLA VISTA", "LOMAS VERDES", "LOS ROBLES",    "SAN IGNACIO",   "DEL CARMEN",  "LA ALAMEDA",
    "MONTE BRISAS", "PUERTO NUEVO", "COUNTRY CLUB", "SANTA JUANITA", "LAS VEGAS",   "EL CONQUISTADOR",
    "CAPARRA",     "ALTAMIRA",     "LEVITTOWN",     "VILLA FONTANA", "LOS DOMINICOS", "ROYAL TOWN",
    "SANTA ELENA", "LA MARINA",    "VALLE ARRIBA",  "LOS FLAMBOYANES"};
constexpr std::pair<std::string_view, uint32_t> kUrbanizationKinds[] = {
    {"URB ", 60}, {"EXT ", 8}, {"JARD DE ", 6}, {"BO ", 8},
    {"COND ", 5}, {"RES ", 5}, {"PARC ", 4},    {"SECT ", 4}};
constexpr std::string_view kPrStreetWords[] = {
    "LUNA",      "SOL",      "ROBLE",    "CEIBA",     "FLAMBOYAN", "AMAPOLA", "MARGARITA",
    "ORQUIDEA",  "ESTRELLA", "DIAMANTE", "RUBI",      "PERLA",     "SAN JUAN", "LAS FLORES",
    "LOS PINOS", "PRINCIPAL", "DEL PARQUE", "BALDORIOTY", "LOIZA",   "TAFT",   "COMERIO"};
constexpr std::string_view kPrAvenues[] = {
    "PONCE DE LEON", "MUNOZ RIVERA", "BARBOSA",  "ROOSEVELT", "DE DIEGO",
    "LAS AMERICAS",  "HOSTOS",       "ESMERALDA", "LOS CHALETS", "FERNANDEZ JUNCOS"};

constexpr std::pair<std::string_view, std::string_view> kCityWordAbbrevs[] = {
    {"SAINT", "ST"},      {"FORT", "FT"},       {"MOUNT", "MT"},      {"MOUNTAIN", "MTN"},
    {"NORTH", "N"},       {"SOUTH", "S"},       {"EAST", "E"},        {"WEST", "W"},
    {"SPRINGS", "SPGS"},  {"SPRING", "SPG"},    {"HEIGHTS", "HTS"},   {"CENTER", "CTR"},
    {"VILLAGE", "VLG"},   {"JUNCTION", "JCT"},  {"BEACH", "BCH"},     {"ISLAND", "IS"},
    {"LAKE", "LK"},       {"LAKES", "LKS"},     {"PARK", "PK"},       {"PORT", "PT"},
    {"POINT", "PT"},      {"FALLS", "FLS"},     {"CITY", "CY"},       {"STATION", "STA"},
    {"VALLEY", "VLY"},    {"GROVE", "GRV"},     {"HARBOR", "HBR"},    {"CREEK", "CRK"},
    {"RIVER", "RIV"},     {"CROSSING", "XING"}, {"TOWNSHIP", "TWP"},  {"GARDENS", "GDNS"},
    {"HILLS", "HLS"},     {"HILL", "HL"},       {"PLAINS", "PLNS"},   {"RAPIDS", "RPDS"},
    {"BRIDGE", "BRG"},    {"BLUFF", "BLF"},     {"AIR", "A"},         {"FORCE", "F"},
    {"BASE", "B"},        {"MILLS", "MLS"},     {"CORNERS", "CORS"},  {"RIDGE", "RDG"}};

std::string Ordinal(uint64_t n) {
  const uint64_t tens = n % 100, ones = n % 10;
  const char* tail = "TH";
  if (tens < 11 || tens > 13) {
    if (ones == 1) tail = "ST";
    if (ones == 2) tail = "ND";
    if (ones == 3) tail = "RD";
  }
  return std::to_string(n) + tail;
}

// Joins words with single blanks. The parts are evaluated in order (a braced
// list is), unlike the operands of a chain of +, whose order of evaluation is
// unspecified: two random draws in one + chain would make the output depend
// on the compiler.
std::string Words(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (const std::string_view part : parts) {
    if (part.empty()) continue;
    if (!out.empty()) out += ' ';
    out += part;
  }
  return out;
}

template <size_t N>
std::string_view PickFrom(Rng& rng, const std::string_view (&items)[N]) {
  return items[rng.Below(N)];
}

}  // namespace

std::string CutText(std::string_view text, size_t length) {
  if (text.size() <= length) return std::string(text);
  size_t end = length;
  if (text[length] != ' ') {
    const size_t blank = text.rfind(' ', length);
    if (blank != std::string_view::npos && blank >= length / 2) end = blank;
  }
  while (end > 0 && text[end - 1] == ' ') --end;
  return std::string(text.substr(0, end));
}

std::string AbbreviateCityName(std::string_view name) {
  if (name.size() <= kAbbrevLength) return "";
  std::vector<std::string> words;
  for (size_t pos = 0; pos < name.size();) {
    size_t end = name.find(' ', pos);
    if (end == std::string_view::npos) end = name.size();
    if (end > pos) words.emplace_back(name.substr(pos, end - pos));
    pos = end + 1;
  }
  for (auto& w : words) {
    for (const auto& [full, abbrev] : kCityWordAbbrevs) {
      if (w == full) {
        w = abbrev;
        break;
      }
    }
  }
  auto joined = [&words] {
    std::string s;
    for (const auto& w : words) s += (s.empty() ? "" : " ") + w;
    return s;
  };
  std::string result = joined();
  // Drop vowels after the first letter, longest word first, until it fits.
  while (result.size() > kAbbrevLength) {
    bool changed = false;
    std::vector<size_t> order(words.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&words](size_t a, size_t b) { return words[a].size() > words[b].size(); });
    for (const size_t i : order) {
      std::string& w = words[i];
      std::string shorter = w.substr(0, 1);
      for (size_t k = 1; k < w.size(); ++k) {
        if (std::string_view("AEIOU").find(w[k]) == std::string_view::npos) shorter += w[k];
      }
      if (shorter != w) {
        w = shorter;
        changed = true;
        break;
      }
    }
    result = joined();
    if (!changed) break;
  }
  if (result.size() > kAbbrevLength) {
    result.resize(kAbbrevLength);
    while (!result.empty() && result.back() == ' ') result.pop_back();
  }
  return result;
}

std::vector<std::string> OtherCityForms(std::string_view name, size_t max) {
  static constexpr std::pair<std::string_view, std::string_view> kForms[] = {
      {"SAINT", "ST"}, {"SAINTE", "STE"}, {"FORT", "FT"}, {"MOUNT", "MT"}};
  static constexpr std::pair<std::string_view, std::string_view> kLeadingForms[] = {
      {"NORTH", "N"}, {"SOUTH", "S"}, {"EAST", "E"}, {"WEST", "W"}};
  std::vector<std::string> words;
  for (size_t pos = 0; pos < name.size();) {
    size_t end = name.find(' ', pos);
    if (end == std::string_view::npos) end = name.size();
    if (end > pos) words.emplace_back(name.substr(pos, end - pos));
    pos = end + 1;
  }
  // For each word that has another form: its index and that form.
  std::vector<std::pair<size_t, std::string_view>> swaps;
  for (size_t i = 0; i < words.size() && swaps.size() < 4; ++i) {
    // A lone word is the whole name (a town called NORTH), not a direction or a title.
    if (words.size() < 2) break;
    for (const auto& [full, short_form] : kForms) {
      if (words[i] == full) swaps.emplace_back(i, short_form);
      if (words[i] == short_form) swaps.emplace_back(i, full);
    }
    if (i != 0) continue;
    for (const auto& [full, short_form] : kLeadingForms) {
      if (words[i] == full) swaps.emplace_back(i, short_form);
      if (words[i] == short_form) swaps.emplace_back(i, full);
    }
  }
  std::vector<std::string> out;
  for (uint32_t mask = 1; mask < (1u << swaps.size()) && out.size() < max; ++mask) {
    std::vector<std::string> form = words;
    for (size_t k = 0; k < swaps.size(); ++k) {
      if (mask & (1u << k)) form[swaps[k].first] = std::string(swaps[k].second);
    }
    std::string text;
    for (const auto& w : form) text += (text.empty() ? "" : " ") + w;
    if (text.size() <= kCityLength) out.push_back(std::move(text));
  }
  return out;
}

NameMaker::NameMaker(const SampleData& data) : data_(data) {
  for (const auto& [abbrev, weight] : kCommonSuffixes) {
    if (std::binary_search(data.suffixes.begin(), data.suffixes.end(), abbrev)) {
      suffixes_.Add(std::string(abbrev), weight);
    }
  }
  const uint32_t each = std::max<uint32_t>(1, kOtherSuffixesWeight / static_cast<uint32_t>(data.suffixes.size()));
  for (const auto& s : data.suffixes) suffixes_.Add(s, each);
}

std::string NameMaker::PlainSurname(Rng& rng) const {
  std::string s = Surname(rng);
  s.erase(std::remove(s.begin(), s.end(), '\''), s.end());
  return s;
}

std::string NameMaker::NumberedStreet(Rng& rng) const {
  // Low numbers are far more common than high ones.
  const uint64_t n = rng.Chance(700) ? rng.Range(1, 20) : rng.Range(21, 160);
  return Ordinal(n);
}

StreetParts NameMaker::Street(Rng& rng) const {
  StreetParts s;
  const uint64_t kind = rng.Below(100);
  if (kind < 45) {
    const auto& listed = rng.Pick(data_.street_names);
    s.pre = listed.pre;
    s.name = listed.name;
    s.post = listed.post;
    // A listed name keeps its own suffix half of the time; names listed
    // without one ("BROADWAY") never get one.
    if (listed.suffix.empty()) return s;
    s.suffix = rng.Chance(500) ? listed.suffix : Suffix(rng);
    return s;
  }
  if (kind < 75) {
    s.name = PlainSurname(rng);
  } else if (kind < 87) {
    s.name = NumberedStreet(rng);
  } else if (kind < 93) {
    s.name = rng.Pick(data_.first_names);
  } else {
    s.name = CutText(Words({PlainSurname(rng), PickFrom(rng, kPlaceWords)}), kStreetLength);
  }
  if (!rng.Chance(30)) s.suffix = Suffix(rng);
  return s;
}

std::string NameMaker::PuertoRicoStreet(Rng& rng) const {
  const uint64_t kind = rng.Below(100);
  if (kind < 45) return "CALLE " + std::to_string(rng.Range(1, 30));
  if (kind < 80) return "CALLE " + std::string(PickFrom(rng, kPrStreetWords));
  if (kind < 92) return "AVE " + std::string(PickFrom(rng, kPrAvenues));
  return "CARR " + std::to_string(rng.Range(1, 199));
}

StreetParts NameMaker::StreetAlias(Rng& rng, std::string_view state) const {
  StreetParts s;
  const uint64_t kind = rng.Below(100);
  if (kind < 25) {
    s.name = "STATE HIGHWAY " + std::to_string(rng.Range(1, 299));
  } else if (kind < 40) {
    s.name = "US HIGHWAY " + std::to_string(rng.Range(1, 99));
  } else if (kind < 60) {
    s.name = "COUNTY ROAD " + std::to_string(rng.Range(1, 999));
  } else if (kind < 72) {
    s.name = (state == "TX" ? "FM " : "STATE ROUTE ") + std::to_string(rng.Range(1, 2999));
  } else if (kind < 80) {
    s.name = "HIGHWAY " + std::to_string(rng.Range(1, 199));
  } else {
    StreetParts old = Street(rng);
    s.name = CutText("OLD " + old.name, kStreetLength);
    s.suffix = old.suffix;
  }
  return s;
}

std::string NameMaker::Firm(Rng& rng, std::string_view city, char* government) const {
  *government = ' ';
  for (const auto special : kTitleCaseFirms) {
    if (rng.Chance(2)) return std::string(special);
  }
  std::string name;
  const uint64_t kind = rng.Below(100);
  if (kind < 22) {
    name = Words({rng.Pick(data_.firm_adjectives), rng.Pick(data_.firm_nouns), rng.Pick(data_.firm_entities)});
  } else if (kind < 36) {
    name = Words({Surname(rng), rng.Pick(data_.firm_entities)});
  } else if (kind < 45) {
    name = Words({Surname(rng), "&", Surname(rng)});
    if (rng.Chance(400)) name += rng.Chance(500) ? " LLP" : " PC";
  } else if (kind < 53) {
    name = Words({Surname(rng), rng.Pick(data_.firm_nouns), rng.Pick(data_.firm_entities)});
  } else if (kind < 61) {
    name = Words({rng.Pick(data_.first_names), Surname(rng), PickFrom(rng, kProfessions)});
  } else if (kind < 66) {
    name = Words({"THE", Surname(rng), rng.Chance(500) ? "COMPANY" : "GROUP"});
  } else if (kind < 73) {
    if (rng.Chance(500)) {
      const std::string_view front = PickFrom(rng, kCityBusinesses);
      name = std::string(front) + (front.back() == ' ' ? std::string(city) : "");
      if (front == "CITY OF ") *government = 'A';
    } else {
      name = std::string(city) + std::string(PickFrom(rng, kCitySuffixBusinesses));
    }
  } else if (kind < 88) {
    name = Words({Surname(rng), PickFrom(rng, kTrades)});
  } else if (kind < 91) {
    name = Words({rng.Chance(500) ? "1ST CHOICE" : "24 HOUR", PickFrom(rng, kTrades)});
  } else if (kind < 94) {
    name = Words({"LAW OFFICES OF", rng.Pick(data_.first_names), Surname(rng)});
  } else {
    switch (rng.Below(6)) {
      case 0: name = "CITY HALL"; *government = 'A'; break;
      case 1: name = "FEDERAL BUILDING"; *government = 'B'; break;
      case 2: name = "US COURTHOUSE"; *government = 'B'; break;
      case 3: name = "STATE OFFICE BUILDING"; *government = 'C'; break;
      case 4: name = "COUNTY COURTHOUSE"; *government = 'D'; break;
      default: name = std::string(city) + " HIGH SCHOOL"; *government = 'E'; break;
    }
  }
  return CutText(name, kFirmLength);
}

std::string NameMaker::Building(Rng& rng, std::string_view street) const {
  const uint64_t kind = rng.Below(100);
  std::string name;
  if (kind < 55) {
    name = Words({PlainSurname(rng), PickFrom(rng, kBuildingWords)});
  } else if (kind < 80) {
    name = std::string(street) + " " + std::string(PickFrom(rng, kBuildingWords));
  } else if (kind < 90) {
    name = "THE " + PlainSurname(rng);
  } else {
    name = Words({rng.Pick(data_.firm_adjectives), PickFrom(rng, kBuildingWords)});
  }
  return CutText(name, kFirmLength);
}

std::string NameMaker::Organization(Rng& rng, std::string_view city) const {
  std::string name;
  switch (rng.Below(6)) {
    case 0: name = PlainSurname(rng) + " UNIVERSITY"; break;
    case 1: name = std::string(city) + " REGIONAL MEDICAL CENTER"; break;
    case 2: name = "DEPARTMENT OF REVENUE"; break;
    case 3: name = PlainSurname(rng) + " INSURANCE CO"; break;
    case 4: name = Words({rng.Pick(data_.firm_adjectives), rng.Pick(data_.firm_nouns), "INC"}); break;
    default: name = Words({PlainSurname(rng), rng.Pick(data_.firm_nouns), "CORP"}); break;
  }
  return CutText(name, kFirmLength);
}

std::string NameMaker::Urbanization(Rng& rng) const {
  uint32_t total = 0;
  for (const auto& [prefix, weight] : kUrbanizationKinds) total += weight;
  uint64_t x = rng.Below(total);
  std::string_view prefix = "URB ";
  for (const auto& [p, weight] : kUrbanizationKinds) {
    if (x < weight) {
      prefix = p;
      break;
    }
    x -= weight;
  }
  return CutText(std::string(prefix) + std::string(PickFrom(rng, kUrbanizationBases)), kCityLength);
}

std::string NameMaker::Community(Rng& rng, std::string_view city) const {
  static constexpr std::string_view kDirections[] = {"NORTH ", "SOUTH ", "EAST ", "WEST "};
  std::string name;
  switch (rng.Below(8)) {
    case 0: name = std::string(PickFrom(rng, kDirections)) + std::string(city); break;
    case 1: name = std::string(city) + " HEIGHTS"; break;
    case 2: name = "FORT " + PlainSurname(rng); break;
    case 3: name = "MOUNT " + PlainSurname(rng); break;
    case 4: name = PlainSurname(rng) + "VILLE"; break;
    case 5: name = "SAINT " + rng.Pick(data_.first_names); break;
    case 6: name = "LAKE " + PlainSurname(rng); break;
    default: name = Words({PlainSurname(rng), PickFrom(rng, kPlaceWords)}); break;
  }
  return CutText(name, kCityLength);
}

std::string NameMaker::MilitaryUnit(Rng& rng) const {
  static constexpr std::string_view kKinds[] = {"UNIT", "UNIT", "PSC", "CMR"};
  return Words({PickFrom(rng, kKinds), std::to_string(rng.Range(100, 9999))});
}

}  // namespace corvdb::tools
