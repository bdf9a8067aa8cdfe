// Made-up names for sample records: streets, firms, buildings, organizations,
// Puerto Rico urbanizations, community (alternate city) names. All results are
// upper-case ASCII cut to the width of the field they go into.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "sample/random.h"
#include "sample/sample_data.h"

namespace corvdb::tools {

// Firm names that every default sample carries at least once: they exercise
// the title-case rules of the engine (" OF ", " THE ", Mc, apostrophes, the
// first and later hyphens, periods).
inline constexpr std::string_view kTitleCaseFirms[] = {
    "BANK OF THE WEST", "MCDONALDS", "O'NEIL & SONS", "ST. JOHN'S-ON-THE-LAKE"};

struct StreetParts {
  std::string pre;     // direction abbreviation or empty
  std::string name;    // at most 28 characters, never starting with a direction abbreviation
  std::string suffix;  // standard abbreviation or empty
  std::string post;    // direction abbreviation or empty
};

class NameMaker {
 public:
  explicit NameMaker(const SampleData& data);

  // An ordinary street: a listed street name (with the directions it is
  // listed with), a surname, a numbered street (1ST, 22ND) or a first name,
  // with a street suffix (sometimes none).
  StreetParts Street(Rng& rng) const;
  // A Puerto Rico street: CALLE 5, CALLE LAS FLORES, AVE PONCE DE LEON; no suffix.
  std::string PuertoRicoStreet(Rng& rng) const;
  // Another name of a street, as alternate records carry it: STATE HIGHWAY 12,
  // COUNTY ROAD 140, US HIGHWAY 9, OLD MILL RD.
  StreetParts StreetAlias(Rng& rng, std::string_view state) const;
  // A firm name (at most 40 characters). *government is set to the government
  // building indicator the firm's records carry (blank for most firms): A city,
  // B federal, C state, D county, E public school.
  std::string Firm(Rng& rng, std::string_view city, char* government) const;
  // A building name for a high-rise (at most 40 characters).
  std::string Building(Rng& rng, std::string_view street) const;
  // The organization that owns a unique ZIP code (at most 40 characters).
  std::string Organization(Rng& rng, std::string_view city) const;
  // A Puerto Rico urbanization: URB LAS LOMAS, EXT SANTA RITA, JARD DE CAPARRA.
  std::string Urbanization(Rng& rng) const;
  // A community name near `city`: NORTH <CITY>, <SURNAME> HEIGHTS, FORT <SURNAME>.
  std::string Community(Rng& rng, std::string_view city) const;
  // A military unit street name: UNIT 2050, PSC 1005, CMR 480.
  std::string MilitaryUnit(Rng& rng) const;

  const std::string& Suffix(Rng& rng) const { return suffixes_.Pick(rng); }
  const std::string& Surname(Rng& rng) const { return rng.Pick(data_.surnames); }

 private:
  std::string PlainSurname(Rng& rng) const;  // without apostrophes, for places and streets
  std::string NumberedStreet(Rng& rng) const;

  const SampleData& data_;
  WeightedTable<std::string> suffixes_;
};

// The USPS-style 13-character abbreviation of a city name, or empty when the
// name fits in 13 characters: common words are abbreviated (SAINT ST, FORT FT,
// SPRINGS SPGS, HEIGHTS HTS ...), then vowels are dropped from the longest
// words, then the text is cut.
std::string AbbreviateCityName(std::string_view name);

// Other customary spellings of a city name, as the City-State file lists them
// beside the preferred one: each word with a customary other form (SAINT ST,
// SAINTE STE, FORT FT, MOUNT MT, and a leading NORTH SOUTH EAST WEST as N S E
// W) written either way, every combination but `name` itself, in a fixed
// order, at most `max` of them, none longer than 28 characters. Empty when
// the name has no such word: EAST SAINT LOUIS gives E SAINT LOUIS, EAST ST
// LOUIS, E ST LOUIS.
std::vector<std::string> OtherCityForms(std::string_view name, size_t max);

// `text` cut to at most `length` characters, at a word boundary when one lies
// in the second half, with no trailing blank.
std::string CutText(std::string_view text, size_t length);

}  // namespace corvdb::tools
