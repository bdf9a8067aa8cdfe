// Encoders for the two kinds of column data in a zip.cvd block, and the
// splitting of USPS number fields into the prefix / number / postfix parts
// that the pair columns store.
//
// Text column data (stringTable, prefixPart, postfixPart):
//
//   text-column := run* 0x00
//   run         := value count:mode2            count = run length - 1
//   value       := 0x00                          the empty value
//                | c                             1 <= c <= 31: repeat of the c-th most
//                                                recent value of the value list
//                | c                             c >= 32: the one-character value c
//                | [pre] middle:byte* [post]     2 or more bytes; pre (1..31) takes the
//                                                first pre characters of the previous
//                                                value P, post (1..31) its last post
//                                                characters
//
// Every decoded value (a repeat too) is appended to the value list and becomes
// P. Text bytes are 0x20..0x7F, so a value can only start with pre and end
// with post, and the count's first byte (bit 7 set) ends the value. The 0x00
// after the last run ends the last count.
//
// Numeric column data (numberTable, numberPart):
//
//   numeric-column := length:fixed32 code:mode0* 0x00
//
// `length` counts the whole column data (itself, the codes and the 0x00); the
// reader skips it. Each code c is g = c / 4 and tag = c % 4, applied to a
// running value v and step d, both 0 at the start:
//   tag 0: d = g,  v += g, emit v          tag 1: d = -g, v -= g, emit v
//   tag 2: d = g % 2, then g / 2 + 1 times v += d, emit v
//   tag 3: g times v += d, emit v
// The writer keeps every number in 0 .. 2^30 - 1, so every step fits a 32-bit
// code and no arithmetic wraps.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "layout.h"

namespace corvdb::builder {

// Numbers stored in numeric columns are below this bound.
inline constexpr uint32_t kMaxStoredNumber = (1u << 30) - 1;
// How far back a one-byte repeat reaches, and the largest shared front/back.
inline constexpr int kMaxBackReference = 31;
inline constexpr int kMaxShared = 31;

class TextColumnEncoder {
 public:
  // Forgets everything: a new column of a new block.
  void Reset();
  // Appends one entry. The value holds bytes 0x20..0x7F only (the caller
  // validates its input).
  void Add(std::string_view value);
  // Appends the column data (runs and the final 0x00) to `out` and resets.
  void Finish(std::string* out);

  // The bytes that encode `value` after `previous` with `recent` the most
  // recent values of the value list (recent[0] the most recent, which is
  // `previous`). Exposed for tests.
  static void EncodeValue(std::string_view value, const std::vector<std::string>& recent,
                          std::string* out);

 private:
  void FlushRun();
  void Remember(std::string_view value);

  std::string current_;  // value of the open run
  uint32_t run_length_ = 0;
  std::string data_;
  // The last kMaxBackReference values of the value list, most recent first.
  std::vector<std::string> recent_;
};

class NumberColumnEncoder {
 public:
  void Reset();
  // Appends one entry; `value` must not exceed kMaxStoredNumber.
  void Add(uint32_t value) { values_.push_back(value); }
  // Appends the column data (length word, codes, 0x00) to `out` and resets.
  void Finish(std::string* out);

  // Appends the codes (no length word, no 0x00) for `values`. Exposed for tests.
  static void EncodeCodes(const std::vector<uint32_t>& values, std::string* out);

 private:
  std::vector<uint32_t> values_;
};

// A USPS number field (primary, secondary or add-on low/high) as the three
// pair columns store it.
struct NumberFieldParts {
  std::string prefix;   // stored in the prefix column (trimmed)
  uint32_t number = 0;  // stored in the number column (0 when the field has no number)
  std::string postfix;  // stored in the postfix column (trimmed)
};

// The field of `length` bytes a reader assembles from the parts: the trimmed
// prefix padded with bytes 0; the number formatted (plain or zero padded to
// `width`; a formatted "0" adds nothing) appended and cut at `length`; the
// trimmed postfix appended, the front dropped beyond `length`, blank padded.
std::string AssembleNumberField(const NumberFieldParts& parts, NumberFormat format, int width,
                                int length);

// Chooses parts that assemble to exactly `field`. Tried in order, the first
// exact one wins:
//   1. prefix = the characters before the first digit, number = the digit run,
//      postfix = the rest ("N123A" -> N, 123, A; "0012" zero padded -> 12);
//   2. the zeros that open the digit run go to the prefix ("007" -> 00, 7;
//      "0" -> prefix 0, no number);
//   3. the whole field in the prefix, no number ("12 1/2", "N 12", numbers of
//      2^30 and more);
//   4. no prefix, no number, postfix = '#' + field: the reader keeps the
//      rightmost characters, so the '#' falls off ("    12" keeps its blanks).
// Returns false when none is exact: a field with blanks on both sides of its
// text, and add-on fields with trailing blanks.
bool SplitNumberField(std::string_view field, NumberFormat format, int width,
                      NumberFieldParts* parts);

}  // namespace corvdb::builder
