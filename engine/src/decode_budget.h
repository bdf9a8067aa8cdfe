// Memory a block may take while its columns are decoded.
//
// A block header may claim up to kMaxBlockRows rows, and a few bytes of column
// data can stand for many entries (a run length, a run of numbers) or for long
// values (a shared front and back copied from the previous value). A damaged
// or hostile file could make one block expand to gigabytes. Every column
// charges what it keeps for the current block to one budget; a block that
// exceeds it is treated as damaged (its ZIP code is not found). Real blocks use
// a few megabytes at most.
#pragma once

#include <cstdint>

namespace corvdb {

// Rows a block may hold. Far above any ZIP code (the largest have a few tens of
// thousands of ZIP+4 records); a larger count in a block header is damage.
inline constexpr uint32_t kMaxBlockRows = 1u << 20;

class DecodeBudget {
 public:
  static constexpr uint64_t kBlockBytes = uint64_t{256} << 20;

  void reset() { used_ = 0; }
  // Goes on with a block decoded earlier, which had used `bytes`.
  void restore(uint64_t bytes) { used_ = bytes; }
  // Charges `bytes`; false once the block has used more than its share.
  bool spend(uint64_t bytes) {
    used_ += bytes;
    return used_ <= kBlockBytes;
  }
  uint64_t used() const { return used_; }

 private:
  uint64_t used_ = 0;
};

}  // namespace corvdb
