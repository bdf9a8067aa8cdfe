// Builds the block of one ZIP code: one row per ZIP+4 detail record, each
// field kept in its own column.
//
//   block   := length:fixed32 rows:fixed32 offset:fixed32{37} column-data{37}
//
// `length` counts the whole block (the reader skips it), `rows` is N, offset[i]
// is where column i's data starts, counted from the end of the 156-byte
// header. Column data lies in the reader's walking order, column 36 first and
// column 0 last, so that decoding a block reads forward.
// The grammar of the column data is in column_encoders.h.
//
// A row is the engine's 440-byte record buffer: the ZIP+4 detail record, the
// City-State record of its preferred last line key and the City-State record
// of its urbanization key (blanks where the key is blank). Text columns store
// their field with trailing blanks removed (the reader pads with blanks);
// csLastLineCSName stores the preferred last line name of the City-State
// record (buffer offset 244), which csTable's whole record overwrites when a
// row is decoded; the pair columns store the split of each number field
// (SplitNumberField); UpdateKeyNoNumeric stores its 9 digits as a number.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "builder/column_encoders.h"
#include "layout.h"

namespace corvdb::builder {

class BlockBuilder {
 public:
  void Reset();
  // Adds one row (440 bytes). The ZIP+4 part must have passed
  // CheckZip4Record; returns false with *error otherwise.
  bool AddRow(const char* row, std::string* error);
  uint32_t rows() const { return rows_; }
  // Appends the block to *out and resets the builder.
  void Finish(std::string* out);

 private:
  bool AddNumberField(int number_column, const char* low, const char* high, std::string* error);

  std::array<TextColumnEncoder, kColumnCount> text_;
  std::array<NumberColumnEncoder, kColumnCount> numbers_;
  uint32_t rows_ = 0;
};

}  // namespace corvdb::builder
