// String routines of the engine. They work in place on single-byte text that
// is ended by a byte 0 (or by a field length where one is given). Letters are
// A-Z and a-z only; casing changes nothing else.
#pragma once

#include <cstddef>

namespace corvdb {

struct strUtil {
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

  static bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
  static bool isDigit(char c) { return c >= '0' && c <= '9'; }
  static char toUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
  static char toLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
};

}  // namespace corvdb
