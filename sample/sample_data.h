// The facts and word lists the sample generator draws from, read from the
// project's data/ folder (see data/NOTICE.md):
//
//   zip_places.csv      zip,city,state,county_fips,county_name,latitude,longitude
//                       (header row names the columns; quoted fields allowed)
//   street_names.txt    one street name a line ("Baker Street")
//   surnames.txt        one surname a line
//   first_names.txt     one first name a line
//   firm_words.txt      "# nouns", "# adjectives", "# legal entity types"
//                       sections, one word or phrase a line
//   street_suffixes.csv name,abbreviation (any spelling -> standard abbreviation)
//
// Every file is outside input: a malformed one is reported with its name and
// line number, never trusted. Text is reduced to the upper-case ASCII that USPS
// files hold.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace corvdb::tools {

struct Place {
  std::string zip;            // 5 digits
  std::string city;           // upper case, at most 28 characters
  std::string state;          // 2 upper-case letters
  std::string county_number;  // 3 digits (last 3 of the county FIPS code); empty when unknown
  std::string county_name;    // upper case, at most 25 characters; empty when unknown
};

struct SampleData {
  std::vector<Place> places;               // sorted by ZIP code, one entry per ZIP code
  // Street names (A-Z 0-9 blank). A name that ended in a known street suffix
  // is kept without it and `suffix` holds the standard abbreviation; a name
  // that did not ("ASH CLOSE", "BROADWAY") has an empty suffix. A direction
  // before or after the name ("E 5th Street", "Main Street W") goes to `pre`
  // or `post` as its abbreviation (N S E W NE NW SE SW), as USPS records keep
  // it, unless nothing but the direction would be left of the name ("North
  // Avenue" is the street NORTH AVE). A spelled-out direction in front stays
  // in the name ("West End" is the street WEST END).
  struct StreetName {
    std::string pre;
    std::string name;
    std::string suffix;
    std::string post;
  };
  std::vector<StreetName> street_names;  // unique by (pre, name, suffix, post)
  std::vector<std::string> surnames;       // letters and apostrophes (O'HARA)
  std::vector<std::string> first_names;    // letters
  std::vector<std::string> firm_nouns;     // upper case (A-Z 0-9 blank - &)
  std::vector<std::string> firm_adjectives;
  std::vector<std::string> firm_entities;  // INC, LLC, GROUP, AND SONS ...
  std::vector<std::string> suffixes;       // standard suffix abbreviations, sorted, unique
};

// Reads the six files of `dir`. On failure returns false and sets *error to
// one line naming the file (and line) at fault.
bool LoadSampleData(const std::string& dir, SampleData* data, std::string* error);

// Upper-cases `text` and keeps letters, digits and the characters of `keep`;
// every other character becomes a blank. Runs of blanks are collapsed and the
// ends trimmed. Bytes of 0x80 and above are dropped.
std::string CleanText(std::string_view text, std::string_view keep);

}  // namespace corvdb::tools
