// Decoded blocks kept for later: a bounded cache, least recently used first
// out.
//
// Decoding a block is the main cost of a lookup or a search, and work often
// comes back to a block: the ZIP+4 lookups of one ZIP code, a result line
// looked up while a search runs (the search then goes back to its own block),
// the street forms a search retries over the same ZIP codes. When the engine
// leaves a block, what its columns have decoded so far is moved here whole
// (no copy); going back to it moves it back, and decoding goes on from where
// it stopped. The answers are the same with or without the cache: a column
// decodes its data the same way whether it starts over or goes on.
//
// The engine puts in only blocks worth keeping (zip_code.h): one left again
// soon after it was left before, or one that was costly to decode. The cache
// holds at most its capacity in decoded bytes (lists as reserved,
// value storage, the add-on index); a block larger than the capacity is not
// kept. Capacity 0 keeps nothing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <unordered_map>
#include <span>
#include <vector>

#include "column_state.h"
#include "layout.h"

namespace corvdb {

// The rows of one block ordered by their add-on number low, with the highest
// add-on number high of every stretch of that order (a max tree), so that the
// rows whose range covers a number are found in O(log n) per row found
// instead of a pass over the whole block. Built for a block that is looked up
// more than once.
class AddOnIndex {
 public:
  // `bounds` holds 2 * rows numbers: row r's low at 2r, its high at 2r + 1.
  void build(std::span<const int32_t> bounds, uint32_t rows);
  void clear();
  bool built() const { return built_; }
  // The rows r with low_r <= x <= high_r, in ascending order, into `rows`.
  void covering(int64_t x, std::vector<uint32_t>* rows) const;
  std::size_t bytes() const {
    return lows_.capacity() * sizeof(int32_t) + order_.capacity() * sizeof(uint32_t) +
           maxHigh_.capacity() * sizeof(int32_t);
  }

 private:
  void collect(std::size_t node, std::size_t from, std::size_t to, std::size_t end, int64_t x,
               std::vector<uint32_t>* rows) const;

  bool built_ = false;
  std::vector<int32_t> lows_;      // ascending
  std::vector<uint32_t> order_;    // the row at each position of lows_
  std::vector<int32_t> maxHigh_;   // node 1 = all; node i has children 2i, 2i + 1; leaves from leaves_
  std::size_t leaves_ = 0;
};

// Everything the engine knows of one block besides the file: its columns'
// decoded state, the add-on index and how often it was looked up.
struct DecodedBlock {
  uint32_t zip = 0;
  uint32_t rows = 0;
  const uint8_t* base = nullptr;  // the column data (block offset 156)
  uint64_t budgetUsed = 0;
  std::array<ColumnState, kColumnCount> columns;
  AddOnIndex addOns;
  uint32_t lookups = 0;
  std::size_t bytes = 0;  // memory held, set when it is put in the cache

  std::size_t measure() const {
    std::size_t n = sizeof(DecodedBlock) + addOns.bytes();
    for (const ColumnState& c : columns) n += c.bytes();
    return n;
  }
};

class BlockCache {
 public:
  static constexpr std::size_t kDefaultMegabytes = 64;

  explicit BlockCache(std::size_t capacityBytes = kDefaultMegabytes << 20) : capacity_(capacityBytes) {}

  // Changes the capacity, dropping blocks beyond it.
  void setCapacity(std::size_t bytes);
  std::size_t capacity() const { return capacity_; }
  // Bytes held by the blocks in the cache, and their number.
  std::size_t used() const { return used_; }
  std::size_t size() const { return byZip_.size(); }

  // Takes the block of `zip` out of the cache (the caller makes it current),
  // or nullptr when it is not kept.
  std::unique_ptr<DecodedBlock> take(uint32_t zip);

  // Keeps `block` as the most recently used (its bytes are measured here) and
  // drops the least recently used ones beyond the capacity. Returns a block
  // whose storage the caller may reuse: one dropped, or `block` itself when
  // it is larger than the capacity; nullptr when none.
  std::unique_ptr<DecodedBlock> put(std::unique_ptr<DecodedBlock> block);

  void clear();

 private:
  using List = std::list<std::unique_ptr<DecodedBlock>>;
  std::unique_ptr<DecodedBlock> dropOldest();

  std::size_t capacity_;
  std::size_t used_ = 0;
  List lru_;  // most recently used first
  std::unordered_map<uint32_t, List::iterator> byZip_;
};

}  // namespace corvdb
