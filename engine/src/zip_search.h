// Address search: the search request record, the conditions read from it, and
// the rank of a delivered row.
//
// Search request (165 bytes of single-byte text, fixed fields, blank or 0
// filled, no terminators):
//
//   offset length field
//        0      5 ZIP code, or a range: the digits before a '*' are the
//                 leading digits of every ZIP code in it (123* = 12300..12399,
//                 * = all); digits without '*' are the ZIP code (123 = 00123)
//        5     40 firm or building name (beginning of the name)
//       45     20 unit: designator and number (APT 5)
//       65     10 primary (house) number
//       75     60 street line: [house number] [pre-direction] name [suffix]
//                 [post-direction] [unit]
//      135     28 city (beginning of the preferred last-line name)
//      163      2 state abbreviation
//
// Every field is cut at its length and at a byte 0, trimmed and upper-cased;
// an empty field sets no condition, and so does a part of the unit or street
// line that comes out empty (a street line without suffix sets no suffix
// condition).
//
// A search runs in two stages. InitiateZipSearch narrows the candidate ZIP
// codes with the ZIP field and the key indexes (firm, street name, city,
// state: ZIP codes only). GetNextZipMatch then visits the candidates in
// ascending order; for each it loads the block and narrows its rows column by
// column, in this order: firm (beginning of), pre-direction, post-direction,
// suffix, street name (equal with the exact flag, else beginning of),
// designator (beginning of), unit number (low <= n <= high), primary number
// (low <= n <= high), city, state (beginning of). A text condition is tested
// once per run of equal values and takes the run's rows whole; a number
// condition reads the decoded number lists. Stored values are compared
// trimmed. Rows are then delivered one per call in block order; a row whose
// odd/even code (O, E; B fits both) does not fit the parity of the typed
// house or unit number is passed over within the same call. A block whose
// data does not decode (a column read by a condition, or any column up to
// the last selected row) contributes no row at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "str_util.h"
#include "unit_tables.h"

namespace corvdb {

inline constexpr std::size_t kSearchRequestSize = 165;

struct RequestField {
  std::size_t offset;
  std::size_t length;
};
inline constexpr RequestField kRequestZip{0, 5};
inline constexpr RequestField kRequestFirm{5, 40};
inline constexpr RequestField kRequestUnit{45, 20};
inline constexpr RequestField kRequestPrimary{65, 10};
inline constexpr RequestField kRequestStreet{75, 60};
inline constexpr RequestField kRequestCity{135, 28};
inline constexpr RequestField kRequestState{163, 2};

// The conditions of a search request, read once when the search starts.
struct SearchTerms {
  // ZIP codes zipLow..zipHigh (both included) when the ZIP field is not empty.
  bool zipGiven = false;
  uint32_t zipLow = 0;
  uint32_t zipHigh = 0;
  std::string firm;
  std::string city;
  std::string state;
  // The street line was not empty: its street name (when it has one) narrows
  // the ZIP codes through the street index.
  bool streetLineGiven = false;
  // Pre-direction, street name, suffix, post-direction, designator and unit
  // number from the unit field and the street line; primaryNumber is the
  // house number (from its field or the front of the street line) cut to 10
  // characters and trimmed.
  StreetParts street;
  // Values of the unit and house numbers for the range tests, and their
  // parities (' ', 'O', 'E').
  uint32_t unitValue = 0;
  uint32_t primaryValue = 0;
  char unitParity = ' ';
  char primaryParity = ' ';
};

SearchTerms ParseSearchRequest(const char* request, const SuffixTable& suffixes);

// Add-on fields of one row as 4-byte texts packed big-endian, so that
// comparing the numbers compares the texts byte by byte.
inline uint32_t PackAddOn(const char* field) {
  return (uint32_t{static_cast<unsigned char>(field[0])} << 24) |
         (uint32_t{static_cast<unsigned char>(field[1])} << 16) |
         (uint32_t{static_cast<unsigned char>(field[2])} << 8) | uint32_t{static_cast<unsigned char>(field[3])};
}

// The rank of a row of a block: the number a ZIP+4 lookup of the row's
// add-on takes to deliver that row. Row r's rank is 1 plus the count of the
// earlier rows k that have the same add-on low, or, when row r covers a
// single add-on x (low = high), whose low is x or whose range covers x
// (low_k <= x <= high_k). RankOfRow counts for one row, in O(r); RankRows
// gives every row's rank at once, in O(n log n).
uint32_t RankOfRow(const std::vector<uint32_t>& lows, const std::vector<uint32_t>& highs, std::size_t row);
std::vector<uint32_t> RankRows(const std::vector<uint32_t>& lows, const std::vector<uint32_t>& highs);
// For add-ons that are numbers below 10000, read where the add-on column's
// list holds them: row r's low at pairs[2r], its high at pairs[2r + 1].
// AllDigitAddOns: whether rows 0..rows-1 all hold such numbers. RankOfDigitRow:
// RankOfRow, four rows at a time. RankDigitRows: RankRows in O(rows), into
// *ranks; `scratch` holds counts kept between calls (all zero between them).
bool AllDigitAddOns(const int32_t* pairs, std::size_t rows);
uint32_t RankOfDigitRow(const int32_t* pairs, std::size_t row);
struct RankScratch {
  std::vector<uint32_t> sameLow;
  std::vector<uint32_t> rangeLows;
  std::vector<uint32_t> rangeHighs;
};
void RankDigitRows(const int32_t* pairs, std::size_t rows, RankScratch* scratch, std::vector<uint32_t>* ranks);

}  // namespace corvdb
