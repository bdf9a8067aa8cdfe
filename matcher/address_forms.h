// The ways people write the parts of an address, mapped onto the forms the
// USPS records use: state names and their customary abbreviations, a country
// at the end, post office box, rural route and highway contract forms,
// highway and road names, and common misspellings of street suffixes.
//
// Every function takes upper-case words as the parser splits them (periods
// and apostrophes already removed: "N.Y." is "NY", "P.O." is "PO").
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace corvellan::matcher {

using Words = std::vector<std::string>;

// A state, district or territory written out or abbreviated ("GEORGIA",
// "RHODE ISLAND", "CALIF", "N Y") in words[from, to): its two-letter code, or
// empty. "N Y" is two one-letter words of a written "N. Y.".
std::string StateCodeOf(const Words& words, std::size_t from, std::size_t to);

// The written-out name of a two-letter code (GA -> GEORGIA); empty when the
// table has none.
std::string StateNameOf(std::string_view code);

// The number of words at the end of `words` that name a country of the
// addresses (USA, US, U S A, UNITED STATES, UNITED STATES OF AMERICA); 0 when
// none. A lone "US" only counts when `afterPostalPart` (it follows a ZIP code
// or a state), since US 19 is a highway.
std::size_t CountryWordsAtEnd(const Words& words, bool afterPostalPart);

// A post office box or a route box read from the start of `words` at `at`:
// PO BOX 10, P O BOX 10, POB 10, POBOX 10, POST OFFICE BOX 10, BOX 10,
// LOCKBOX 10, DRAWER 10, PO DRAWER 10; RR 3 BOX 45, RURAL ROUTE 3 BOX 45,
// RT 3 BOX 45, HC 2 BOX 7, HIGHWAY CONTRACT 2 BOX 7. `street` becomes the
// stored street name ("PO BOX", "RR 3", "HC 2"), `number` the box number, and
// `used` the count of words read. False when no such form starts at `at`.
struct BoxAddress {
  std::string street;
  std::string number;
  std::size_t used = 0;
};
bool ReadBoxAddress(const Words& words, std::size_t at, BoxAddress* box);

// A highway or road name written at words[at]: "US 19", "US HWY 19",
// "U S HIGHWAY 19", "HWY 7", "SR 7", "STATE RD 7", "CR 561", "COUNTY ROAD MM",
// "I 95", "INTERSTATE 95", "FM 1960", "FARM TO MARKET RD 1960", "ROUTE 9".
// `names` receives the stored forms to try, most likely first ("US HIGHWAY 19",
// then others the records may use); `used` the count of words read.
struct HighwayName {
  std::vector<std::string> names;
  std::size_t used = 0;
};
bool ReadHighwayName(const Words& words, std::size_t at, HighwayName* highway);

// A misspelled street suffix (HGWY, CRT, CI): the suffix word it stands for,
// which the suffix table knows; nullptr when the word is not one.
const char* CorrectedSuffixWord(std::string_view word);

// The other customary form of a word of a city name (ST and SAINT, FT and
// FORT, MT and MOUNT, HTS and HEIGHTS ...); nullptr when it has none.
const char* OtherCityWordForm(std::string_view word);

// An ordinal floor number (2ND, 41ST, 3RD): its digits; empty otherwise.
std::string FloorNumberOf(std::string_view word);

}  // namespace corvellan::matcher
