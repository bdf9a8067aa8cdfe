// Numeric columns: numberTable (one number field per row) and numberPart (the
// digits of a low/high number field; row r's low number is entry 2r, its high
// number entry 2r + 1).
//
// Column data in a block:
//
//   column := reserved:byte{4} code:mode0*   until the entry count is reached
//
// With a running value v and step d (both 0 at the start of the column), each
// code c gives g = c / 4 and acts by its tag c % 4:
//
//   0   d = g;  v += g; emit v
//   1   d = -g; v -= g; emit v
//   2   d = g % 2; then g / 2 + 1 times: v += d; emit v
//   3   g times: v += d; emit v            (d of the last tag 0, 1 or 2)
//
// Values are signed 32-bit; arithmetic wraps modulo 2^32. The 4 reserved
// bytes are the writer's (a length, for instance) and are not read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "batch.h"
#include "str_util.h"
#include "vl_number.h"

namespace corvdb {

class numberTable : public vlNumber, public strUtil, public batch {
 public:
  numberTable(int index, DecodeBudget* budget) : batch(index, budget) {}

  void startBlock(const uint8_t* data, const uint8_t* limit, uint32_t rows) override;
  bool loadBlock() override;
  // Decodes the first n entries of the current block into the numbers()
  // lists, as loadBlock() does for all of them.
  bool loadEntries(uint64_t n);
  // Writes number `row` formatted with the column's format at the field
  // offset, followed by a byte 0 (which falls on the next field, written later
  // in list order).
  bool getRow(char* record, uint32_t row) override;

  // Entry k of the current block; decodes as far as needed. False when k is
  // beyond the block or the data ends or is damaged before it. Entries asked
  // for in increasing order are stepped to without keeping a list; the first
  // one asked for out of order has the list decoded, which serves from then
  // on.
  bool number(uint64_t k, int32_t* value);

  // The number list of the current block after loadBlock(): entry k is
  // numbers()[k]. It may hold more than the entry count (a run of tag 2 or 3
  // is kept whole up to the count, never beyond it).
  const NumberList& numbers() const { return s_.numbers; }

  // The column's number text: plain ("%ld"), zero padded to the width
  // ("%0<width>ld") or blank padded ("%<width>ld"). Returns the length written
  // to `out`, which must hold 12 + width bytes.
  std::size_t formatNumber(int32_t value, char* out) const;

 protected:
  bool ensure(uint64_t needed);
  bool forwardTo(uint64_t k, int32_t* out);
  // Starts forward decoding over from the block's first entry.
  void rewind();
};

// getRow appends the number to what the prefix wrote (a number that formats as
// exactly "0" adds nothing, so an empty field stays empty), cut at the field
// length and padded with bytes 0; the postfix is appended afterwards.
class numberPart : public numberTable {
 public:
  using numberTable::numberTable;
  bool getRow(char* record, uint32_t row) override;
};

}  // namespace corvdb
