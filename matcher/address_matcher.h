// Finding the record of a parsed free-form address.
//
// The search goes through the reader's own classes: candidate ZIP codes come
// from the typed ZIP code, from the city and state (the data file's City-State
// names) and from the street-name index; inside a ZIP code the street name
// column gives the rows of the street, whose number columns are read before a
// row is decoded whole. It relaxes step by step and stops at the first step
// that finds a record that fits:
//
//   1. the street as written (and its rewritten forms: AVE J -> AVENUE J,
//      FIRST -> 1ST, a written-out direction kept in the name) in the typed
//      ZIP code and in the ZIP codes of the typed city and state where the
//      street index lists it (a wrong or missing ZIP code);
//   2. a street name one typo away (one letter changed, added, dropped, or two
//      neighbours swapped; names of four letters or more) in the typed ZIP
//      code and the city's first 200 ZIP codes (each block is read whole);
//   3. without city and ZIP code: the ZIP codes of the state where the street
//      name is indexed.
//
// The typed ZIP code earns no points: when the same address fits in two ZIP
// codes of the city, the answer is ambiguous rather than a guess.
//
// A row fits when its house-number range holds the typed number with the
// right parity (O, E; B fits both), its directions do not contradict the typed
// ones and, for a typed unit, its unit range holds the unit (or it is the
// building's record without units). Fitting rows are scored:
//
//   pre- and post-direction    +2 each when equal, -1 typed but absent
//   suffix                     +2 equal, -1 typed but absent, -2 different
//   unit typed                 +4 unit range holds it (+1 same designator),
//                              +1 record without units
//   no unit typed              +2 record without units, -5 a unit record
//   urbanization typed         +3 equal, -3 different
//   city typed                 +1 one of the ZIP code's cities or other names
//                              (another name counts as a changed city)
//   firm record                -3 (no firm name is typed in an address line)
//
// The highest score wins when all rows with that score share one ZIP+4;
// otherwise the answer is ambiguous and no record is chosen. The answer is
// exact when nothing typed had to change, corrected when the street name, the
// ZIP code, the city, the suffix or a direction did (the reason lists them).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "address_parser.h"
#include "place_names.h"

namespace corvdb {
class ReadZipFile;
}

namespace corvellan::matcher {

enum class MatchCode { kExact, kCorrected, kAmbiguous, kNotFound };

// "exact", "corrected", "ambiguous", "not found".
const char* MatchCodeName(MatchCode code);

struct MatchResult {
  MatchCode code = MatchCode::kNotFound;
  // Corrected: what was changed ("street name MIAN -> MAIN; ZIP code"); ambiguous
  // and not found: why.
  std::string reason;
  // The chosen record (exact and corrected only), upper case.
  std::string deliveryLine;  // 123 N MAIN ST APT 5
  std::string street;        // N MAIN ST: the street line without number and unit
  std::string streetName;    // MAIN: the stored street name
  std::string unit;          // APT 5: the unit as delivered, empty without one
  std::string city;
  std::string state;
  std::string zip;      // 5 digits
  std::string plus4;    // 4 digits
  std::string recordType;  // S, H, F, ...
  // Where the answer came from: "typed ZIP code", "ZIP codes of the city",
  // "one typo, typed ZIP code or city", "street index of the state"; empty
  // when nothing was searched.
  std::string stage;
  bool confident() const { return code == MatchCode::kExact || code == MatchCode::kCorrected; }
};

// One line telling how an address was read and matched, for a person who
// wants to know why it was (not) found:
//   read: number=12 street="N MAIN ST" unit="APT 5" city=SPRINGFIELD state=IL
//   zip=62704 (state ILLINOIS read as IL) -> exact via typed ZIP code:
//   62704-1001 S "12 N MAIN ST APT 5"
std::string ExplainMatch(const ParsedAddress& address, const MatchResult& result);

// Edit distance with neighbour swaps counted as one edit, cut at 2.
int TypoDistance(std::string_view a, std::string_view b);

class AddressMatcher {
 public:
  // The reader must be open; it is used by this matcher alone (one per
  // thread) and its current block moves with every match.
  AddressMatcher(corvdb::ReadZipFile& reader, const PlaceNames& places);

  MatchResult match(const ParsedAddress& address);
  // Parses and matches one line (UTF-8).
  MatchResult matchLine(std::string_view line);

  const AddressParser& parser() const { return parser_; }

 private:
  struct Candidate;
  struct SearchName;
  struct Search;
  bool searchZip(Search& s, uint32_t zip);
  void scoreRow(Search& s, uint32_t zip, uint32_t row, const SearchName& form, std::string_view foundName);
  bool runStage(Search& s, const std::vector<uint32_t>& zips);
  MatchResult decide(Search& s, const ParsedAddress& address);

  corvdb::ReadZipFile& reader_;
  const PlaceNames& places_;
  AddressParser parser_;
};

}  // namespace corvellan::matcher
