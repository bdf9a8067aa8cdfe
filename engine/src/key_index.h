// Key index of one column: maps a key (street, firm, state, city) to the ZIP
// codes in which it occurs. Read in place in the mapped data file.
//
// Index area grammar (all areas of all indexed columns lie back to back):
//
//   area        := length:fixed32 entries [0x00]
//                  (length counts its own 4 bytes, the entries and the 0x00)
//   main entry  := key:byte{bytes < 0x80} zip:mode2        zip in 0..99,999
//   first-level := prefix:byte{K} distance:mode2
//
// Main entries are sorted by key (bytes), one per ZIP code in which the key
// occurs. A first-level entry holds the first K characters of a group of keys
// (blank padded when the keys are shorter than K) and the byte distance from
// the start of the main entries to the first entry of that group. A mode-2
// number ends before the next byte with bit 7 clear (the next entry's text, or
// a 0x00 that ends the entries) or at the end of its area: an area whose last
// number runs up to its last byte has no 0x00, and that last entry counts like
// any other. Our writer puts a 0x00 at the end of every area; a walk stops at
// it as it stops at the end of the area. A column with K = 0 has the main
// area only; otherwise its first-level area comes first.
//
// Every read is bounded by the end of its area: a damaged area ends the walk
// (no match) and never makes the reader look outside it.
#pragma once

#include <cstdint>
#include <string_view>

#include "bit_set.h"

namespace corvdb {

class KeyIndex {
 public:
  // Takes this column's areas starting at `p`: the first-level area when
  // k > 0, then the main area. Returns the address after them, or nullptr when
  // the areas are damaged (a length word below 4, or an area running past
  // `fileEnd`); the data file must then be treated as unreadable. On nullptr
  // the index stays detached.
  const uint8_t* attach(const uint8_t* p, const uint8_t* fileEnd, int k);

  // Sets in `bits` the bit of every ZIP code in which a matching key occurs
  // and returns true when there was at least one. `exact`: an index key
  // matches when it equals `key`; otherwise when it begins with `key`. An
  // empty key matches every index key unless `exact` is set. Entries whose ZIP
  // code is 100,000 or more are damaged and skipped. A detached index finds
  // nothing.
  bool findKey(std::string_view key, ZipBits& bits, bool exact) const;

  bool attached() const { return main_begin_ != nullptr; }
  int k() const { return k_; }

 private:
  // Where the main walk starts for `key`, or nullptr when the first-level
  // list says the key is absent.
  const uint8_t* mainStart(std::string_view key) const;

  int k_ = 0;
  const uint8_t* first_begin_ = nullptr;  // first-level entries
  const uint8_t* first_end_ = nullptr;    // end of the first-level area
  const uint8_t* main_begin_ = nullptr;   // main entries
  const uint8_t* main_end_ = nullptr;     // end of the main area
};

}  // namespace corvdb
