// The word tables the street and unit parsing works with: the two
// unit-designator tables and the direction list built into the engine, and the
// street-suffix table that comes with the data file.
//
// Designator tables are one text of entries "!" full word "?" abbreviation,
// ended by "!". A full word W is found as "!" W "?", its abbreviation being
// what follows up to the next "!"; an abbreviation A is recognised as
// "?" A "!". The suffix table is one text of entries "!" name "$" abbreviation,
// each abbreviation ended by the next "!" (or by the end of the text); it may
// list full names and abbreviations alike as names.
//
// The lookups are substring searches over the table text. A word that itself
// contains one of a table's separator characters never matches: such a word
// could otherwise match across entries ("SIDE?SIDE!UPPER" would find UPPR).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace corvdb {

// Designators used without a number (REAR, BASEMENT ...).
inline constexpr std::string_view kShortUnitTable =
    "!BASEMENT?BSMT!FRONT?FRNT!LOBBY?LBBY!LOWER?LOWR!OFFICE?OFC!PENTHOUSE?PH!REAR?REAR!SIDE?SIDE!"
    "UPPER?UPPR!";

// All designators: the short table followed by those that take a number.
inline constexpr std::string_view kLongUnitTable =
    "!BASEMENT?BSMT!FRONT?FRNT!LOBBY?LBBY!LOWER?LOWR!OFFICE?OFC!PENTHOUSE?PH!REAR?REAR!SIDE?SIDE!"
    "UPPER?UPPR!APARTMENT?APT!BUILDING?BLDG!DEPARTMENT?DEPT!FLOOR?FL!HANGAR?HNGR!LOT?LOT!PIER?PIER!"
    "ROOM?RM!SLIP?SLIP!SPACE?SPC!STOP?STOP!SUITE?STE!TRAILER?TRLR!UNIT?UNIT!";

inline constexpr std::string_view kDirectionList = "N!S!E!W!NE!NW!SE!SW!";

// A unit-designator table ("!" full "?" abbreviation ... "!").
class DesignatorTable {
 public:
  constexpr explicit DesignatorTable(std::string_view text) : text_(text) {}

  // The abbreviation of a full word (APARTMENT -> APT), if the table lists it.
  std::optional<std::string_view> abbreviationOf(std::string_view fullWord) const;
  // True when the word is one of the table's abbreviations (APT).
  bool isAbbreviation(std::string_view word) const;

 private:
  std::string_view text_;
};

inline constexpr DesignatorTable kShortUnits{kShortUnitTable};
inline constexpr DesignatorTable kLongUnits{kLongUnitTable};

// The street-suffix table of the data file. It is read in place in the mapped
// file, so it carries its own end and no lookup looks past it.
class SuffixTable {
 public:
  // An empty table: no word is a suffix.
  SuffixTable() = default;
  // A table over `text`, cut at its first byte 0.
  explicit SuffixTable(std::string_view text);
  // The table that starts at `p` and ends at its terminating byte 0, or at
  // `limit` when no byte 0 comes before it (a damaged file).
  static SuffixTable FromMapped(const uint8_t* p, const uint8_t* limit);

  // The stored form (abbreviation) of a street suffix, if the word is one.
  std::optional<std::string_view> lookup(std::string_view word) const;

  std::string_view text() const { return text_; }

 private:
  std::string_view text_;
};

// True when the word occurs in the direction list: N S E W NE NW SE SW, and the
// empty word. Words never contain blanks (they come from blank-split text); a
// word containing "!" is not a direction.
bool IsDirection(std::string_view word);

}  // namespace corvdb
