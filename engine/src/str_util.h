// String routines of the engine. The casing and trimming routines work in
// place on single-byte text that is ended by a byte 0 (or by a field length
// where one is given). The splitting and parsing routines read a text and
// return its parts; they stop at a byte 0 as the in-place routines do. Letters
// are A-Z and a-z only; casing changes nothing else. Only ' ' is a blank.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "unit_tables.h"

namespace corvdb {

// A text cut at one blank: the word on one side and the rest on the other.
struct WordSplit {
  std::string_view word;
  std::string_view rest;
};

// A number field: non-digit prefix, the digits, whatever follows them.
struct NumberParts {
  std::string prefix;
  std::string digits;
  std::string postfix;
  // The value of `digits`, 0 when there are none. A typed number can be longer
  // than any stored one: the value is clamped at kMaxNumberValue (the largest
  // stored number) instead of wrapping, so 4294967297 never matches a range
  // that holds 1.
  uint32_t value = 0;
};

// The unit field of a search: designator (APT, BSMT, ...) and unit number.
struct UnitParts {
  std::string designator;
  std::string number;
};

// The parts of a street line.
struct StreetParts {
  std::string preDirection;
  std::string streetName;
  std::string suffix;
  std::string postDirection;
  std::string designator;
  std::string unitNumber;
  std::string primaryNumber;
};

struct strUtil {
  // Stored numbers are signed 32-bit.
  static constexpr uint32_t kMaxNumberValue = 0x7FFFFFFF;

  // Mixed case over at most `length` characters (stops early at a byte 0):
  // first letter of each word upper, the rest lower; "Mc" keeps the next letter
  // upper; digits and apostrophes keep the next letter lower; "(/." capitalise
  // the next letter; the first hyphen of a text does not capitalise, later ones
  // do; " OF ", " AND ", " THE " stay lower case. Look-ahead stays within the
  // field.
  static void titleCase(char* text, std::size_t length);

  // Removes leading blanks by moving the rest to the front.
  static void trimLeft(char* text);
  // Replaces trailing blanks by bytes 0.
  static void trimRight(char* text);
  // trimLeft then trimRight.
  static void trim(char* text);
  // From the first byte 0 up to `length`, writes blanks (no terminator).
  static void padBlanks(char* text, std::size_t length);
  // Upper-cases every letter up to the terminating byte 0.
  static void upperCase(char* text);

  // The text up to its first byte 0.
  static std::string_view cutAtNul(std::string_view text);
  // Without blanks at either end (and cut at a byte 0).
  static std::string_view trimmed(std::string_view text);
  // A fixed-length request field as matching uses it: cut at a byte 0,
  // trimmed, upper-cased.
  static std::string cleanField(std::string_view field);

  // `word` = the characters up to the first blank, `rest` = what follows it
  // after skipping blanks. Without a blank: the whole text and an empty rest.
  static WordSplit splitFirst(std::string_view text);
  // With a blank: `word` = what follows the last blank, `rest` = what precedes
  // it with the blanks before it removed. Without one: `word` = the whole text
  // and `rest` = empty.
  static WordSplit splitLast(std::string_view text);

  // Trims the field, skips leading zeros, then takes the prefix (every
  // character up to the first digit, plus the zeros that follow it: A012 gives
  // A0 and 12), the digits, and the postfix (the rest). A field of zeros or
  // blanks gives three empty parts.
  static NumberParts splitNumber(std::string_view field);

  // 'O' when the last character is an odd digit, 'E' when it is an even
  // digit, ' ' (no parity condition) otherwise. The caller passes trimmed text.
  static char parity(std::string_view number);

  // The unit field (trimmed, upper-cased): the first word is the designator,
  // the rest the unit number. A full word of the short table becomes its
  // abbreviation (BASEMENT -> BSMT); any other word is cut to 5 characters
  // (APARTMENT -> APART, #5 -> #5).
  static UnitParts parseUnit(std::string_view field);

  // The street line (trimmed, upper-cased) with the designator, unit number
  // and primary number of the request. Recognised, in this order:
  //  1. when designator and unit number are both empty, a unit at the end:
  //     a short-table word alone (REAR), or a long-table word and a number
  //     (APT 5, APARTMENT 5);
  //  2. a post-direction (last word);
  //  3. a suffix (the last word, when the suffix table lists it); the words
  //     before it are the street name;
  //  4. a pre-direction, when at least one word follows it;
  //  5. when no primary number was given and no pre-direction found, a house
  //     number at the front (a word of at most 10 characters with a digit,
  //     followed by at least one word), an optional fraction (1/2) and a
  //     direction after it.
  // Outputs that were not recognised are empty; designator, unit number and
  // primary number keep the given values unless the line supplies them.
  static StreetParts parseStreetLine(std::string_view line, std::string_view designator,
                                     std::string_view unitNumber, std::string_view primaryNumber,
                                     const SuffixTable& suffixes);

  static bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
  static bool isDigit(char c) { return c >= '0' && c <= '9'; }
  static char toUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
  static char toLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
};

}  // namespace corvdb
