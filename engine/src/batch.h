// The column base classes.
//
// zip.cvd keeps every field of the USPS ZIP+4 record as a column: one block per
// ZIP code, and in each block the column's data compressed for its kind (see
// string_table.h and number_table.h). The engine holds one object per column
// (zip_code.h). Every column knows its place in the 440-byte record buffer and
// writes its field(s) of a row into it (getRow); the indexed columns also own
// their key index at the end of the file (key_index.h).
//
// Columns form a list in descending column index (36 first, 0 last). Every walk
// over the columns follows it; the order matters when a row is decoded, because
// the three columns of a number field build the field together (prefix first,
// then the number, then the postfix) and because a later column may overwrite
// bytes an earlier one wrote (see zip_code.h).
#pragma once

#include <cstdint>
#include <string_view>
#include <utility>

#include "bit_set.h"
#include "column_state.h"
#include "decode_budget.h"
#include "key_index.h"
#include "layout.h"

namespace corvdb {

class ioRecord {
 public:
  explicit ioRecord(int index) : index_(index) {}
  int index() const { return index_; }

 private:
  int index_;
};

class batch : public ioRecord {
 public:
  batch(int index, DecodeBudget* budget);
  virtual ~batch();
  batch(const batch&) = delete;
  batch& operator=(const batch&) = delete;

  // Key lookup in this column's index: sets the bit of every ZIP code in which
  // a matching key occurs; true when at least one was set. `exact`: the key
  // must equal an index key; otherwise it may begin one. Columns without an
  // index find nothing.
  virtual bool findKey(std::string_view key, ZipBits& zipBits, bool exact) const;

  // Takes this column's index areas starting at `address` and returns the
  // address after them; columns without an index return `address`. nullptr
  // when the areas are damaged (a length word running past `fileEnd`).
  virtual const uint8_t* attachIndex(const uint8_t* address, const uint8_t* fileEnd);

  // Walks the whole column list, calling attachIndex with the running address.
  // Returns the address after the last area, or nullptr when an area is damaged.
  const uint8_t* attachIndexes(const uint8_t* address, const uint8_t* fileEnd);

  // Points the column at its data in a newly loaded block of `rows` rows. The
  // data may be read up to, not including, `limit`. Nothing is decoded yet.
  virtual void startBlock(const uint8_t* data, const uint8_t* limit, uint32_t rows) = 0;

  // Decodes all of the column's data in the current block, so that its lists
  // can be read. False when the data is damaged: it ends (or reaches the
  // limit) before the block's entries are all produced, or it would take more
  // memory than a block may.
  virtual bool loadBlock() = 0;

  // Writes this column's field(s) of row `row` of the current block into the
  // 440-byte record buffer. Decodes only as far as the row needs. False when
  // the row lies beyond the block or the data ends before it.
  virtual bool getRow(char* record, uint32_t row) = 0;

  const ColumnSpec& spec() const { return kColumns[static_cast<std::size_t>(index())]; }
  const char* name() const { return spec().name; }
  int indexKind() const { return spec().indexKind; }
  int firstLevelK() const { return spec().firstLevelK; }
  bool isPair() const { return IsPair(spec().cls); }
  // Entries per block: one per row, two (low, high) for pair columns.
  uint64_t entryCount() const { return isPair() ? uint64_t{s_.rows} * 2 : s_.rows; }

  const KeyIndex& keyIndex() const { return keyIndex_; }
  // Forgets the index areas (the file they were read from is gone).
  void detachIndex() { keyIndex_ = KeyIndex(); }

  // Exchanges what the column has decoded of the current block with `other`
  // (the block cache keeps it for later, or hands back an earlier block's).
  void exchangeState(ColumnState& other) { std::swap(s_, other); }
  std::size_t stateBytes() const { return s_.bytes(); }

  batch* next() const { return next_; }
  // Linked by the owner of the columns: `head` is the first column of the list.
  void link(batch* head, batch* next) {
    head_ = head;
    next_ = next;
  }

 protected:
  DecodeBudget* budget_;
  ColumnState s_;  // what is decoded of the current block

 private:
  KeyIndex keyIndex_;
  batch* head_ = nullptr;
  batch* next_ = nullptr;
};

}  // namespace corvdb
