// vlNumber: the variable-length numbers of zip.cvd as the column classes read
// them. The byte-level readers live in coding.h; this class gives them the
// format's names and takes the limit every read must respect.
#pragma once

#include <cstdint>

#include "coding.h"

namespace corvdb {

struct vlNumber {
  // Where a number ends:
  //   0: after the first byte with bit 7 set (numeric column codes);
  //   2: before the first following byte with bit 7 clear (directory offsets,
  //      run counts, index references).
  // Mode 1 (the number ends before a byte with bit 7 set) is written by no
  // part of the format the reader uses.
  enum Mode { kMode0 = 0, kMode2 = 2 };

  // Reads one number at `p`, never looking at `limit` or beyond. Returns the
  // address after the number, or nullptr when it is not terminated in time.
  static const uint8_t* readNumber(const uint8_t* p, const uint8_t* limit, Mode mode, uint32_t* value) {
    return mode == kMode0 ? GetVarMode0(p, limit, value) : GetVarMode2(p, limit, value);
  }
};

}  // namespace corvdb
