// Text columns: stringTable (one text field per row) and the two halves of a
// number field that are text, prefixPart and postfixPart (a low and a high
// field per row).
//
// Column data in a block:
//
//   column := run*                      until the run lengths add up to the
//                                       entry count (N, or 2N for pairs)
//   run    := value:byte{< 0x80}* (length - 1):mode2
//
// Pair columns store row r's low value as entry 2r and its high value as
// entry 2r + 1. The value bytes are read against the values decoded so far in
// this column and block (V of them; P is the last, empty at the start):
//
//   exactly one byte 0x00             the empty value
//   exactly one byte c, 1 <= c <= 31  a repeat of value V - c
//   exactly one byte c >= 32          the one-character value c
//   anything else                     a first byte < 32 is `pre`, a last byte
//                                     1..31 is `post`; both are removed and
//                                     value = first pre characters of P
//                                     + the remaining bytes
//                                     + last post characters of P
//
// Every value (a repeat too) is appended to the value list and its run length
// to the run list; values are text ended by a byte 0, so a value stops at one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "batch.h"
#include "str_util.h"

namespace corvdb {

class stringTable : public strUtil, public batch {
 public:
  stringTable(int index, DecodeBudget* budget) : batch(index, budget) {}

  void startBlock(const uint8_t* data, const uint8_t* limit, uint32_t rows) override;
  bool loadBlock() override;
  // Decodes the first n entries of the current block into the values()/runEnds()
  // lists, as loadBlock() does for all of them.
  bool loadEntries(uint64_t n);
  bool getRow(char* record, uint32_t row) override;

  // Entry k of the current block (row k, or 2r / 2r + 1 of a pair column): the
  // value of the run that holds it. Decodes as far as needed; false when k is
  // beyond the block or the data ends or is damaged before it. Entries asked
  // for in increasing order are reached by stepping over the runs between
  // them, keeping no list; the first entry asked for out of order has the
  // block's lists decoded, and they serve from then on (O(1) in order, a
  // binary search otherwise).
  bool entry(uint64_t k, std::string_view* value);

  // Sets in `selected` the rows below `rows` whose value, trimmed, equals
  // `key` (exact) or begins with it, reading the column's runs without
  // keeping its lists. False when the column does not decode whole (as
  // loadBlock()).
  bool selectRuns(std::string_view key, bool exact, uint64_t rows, BitSet* selected);

  // The lists of the current block after loadBlock(): run i has value
  // values()[i] and covers entries runEnds()[i - 1] (0 for i = 0) up to, not
  // including, runEnds()[i]. The last run may end beyond the entry count.
  const std::vector<std::string_view>& values() const { return s_.values; }
  const std::vector<uint64_t>& runEnds() const { return s_.runEnds; }

 protected:
  // Decodes runs until the entries [0, needed) are covered.
  bool ensure(uint64_t needed);
  bool decodeRun();
  // Steps over runs without the lists (see ColumnState) until the current
  // run covers entry k.
  bool forwardTo(uint64_t k);
  bool stepRuns(uint64_t k, uint64_t until, TextSteps* at);
  // Entry k's value when it lies in a run selectRuns kept (ColumnState::matched).
  bool matchedValue(uint64_t k, std::string_view* value);
};

// The non-digit front of a low/high number field (the A of A12). getRow writes
// it first: trimmed, into the field, padded with bytes 0 so that the number and
// then the postfix can be appended.
class prefixPart : public stringTable {
 public:
  using stringTable::stringTable;
  bool getRow(char* record, uint32_t row) override;
};

// The non-digit back of a low/high number field (the A of 12A). getRow appends
// it to what the prefix and number wrote, keeps the rightmost characters when
// the field overflows, and pads the field with blanks.
class postfixPart : public stringTable {
 public:
  using stringTable::stringTable;
  bool getRow(char* record, uint32_t row) override;
};

}  // namespace corvdb
