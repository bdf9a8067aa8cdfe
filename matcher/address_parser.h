// Splitting a free-form address line ("123 n main street apt 5, springfield
// il 62704") into the parts the data file stores.
//
// The line is read from its end, where the parts come from known sets: a ZIP
// code (5 digits, ZIP+4 as 5-4 or 9 digits), a state abbreviation and a city
// name of the data file. What is left is the delivery line: an urbanization
// (Puerto Rico: URB ... before the house number), a unit (APT 5, UNIT 5, # 5,
// #5, STE 100, anywhere after the street name), the house number and the
// street, which the engine's own street-line parsing splits into
// pre-direction, name, suffix (the data file's suffix table) and
// post-direction. Directions written out (NORTH, SOUTHWEST) become their
// abbreviations where at least one other word is left as the street name.
//
// Beyond the clerk's line it reads what people write on envelopes and forms:
// several lines, a country at the end, a state written out or abbreviated
// the old way, a ZIP code whose leading zeros were dropped by a spreadsheet,
// a person or firm before the delivery line, post office boxes, rural and
// highway contract routes, highway and county road names, units written
// before the number, after the city or as a floor (2ND FLR), grid house
// numbers (W148 N9748), and common misspellings of suffixes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "place_names.h"
#include "unit_tables.h"

namespace corvellan::matcher {

// Another stored form of the street to try: a highway written US 19 may be
// stored US HIGHWAY 19 or US ROUTE 19; N WELLS may be N + WELLS.
struct AlternateStreet {
  std::string name;
  std::string preDirection;
  std::string suffix;
};

struct ParsedAddress {
  std::string primaryNumber;
  std::string preDirection;
  std::string streetName;
  std::string suffix;
  std::string postDirection;
  std::string designator;  // APT, STE, # ...
  std::string unitNumber;
  std::string urbanization;
  std::string city;
  std::string state;
  std::string zip;    // 5 digits or empty
  std::string plus4;  // 4 digits or empty
  // A direction that was written out and abbreviated (WEST for W), so that a
  // street named WEST END can still be found.
  std::string spelledPreDirection;
  // The suffix word as written (MILLS for MLS): some streets carry it in
  // their name (JACOBSON MILLS without a suffix).
  std::string suffixWord;
  // Other stored forms of the street, most likely first.
  std::vector<AlternateStreet> alternates;
  // Text before the delivery line: a person, firm or building.
  std::string recipient;
  // What the parser read differently from how it was written (a full state
  // name, a ZIP code with its leading zero restored), for explanations.
  std::vector<std::string> notes;
  // Empty when the line could be read; otherwise why not.
  std::string error;

  // The street line as the search fields take it: number, directions, name,
  // suffix ("123 N MAIN ST").
  std::string streetLine() const;
  // The unit as the search fields take it ("APT 5").
  std::string unitText() const;
};

class AddressParser {
 public:
  AddressParser(const corvdb::SuffixTable& suffixes, const PlaceNames& places)
      : suffixes_(suffixes), places_(places) {}

  ParsedAddress parse(std::string_view utf8) const;

 private:
  const corvdb::SuffixTable& suffixes_;
  const PlaceNames& places_;
};

}  // namespace corvellan::matcher
