#include "block_cache.h"

#include <algorithm>
#include <limits>

namespace corvdb {

void AddOnIndex::build(std::span<const int32_t> bounds, uint32_t rows) {
  const std::size_t n = std::min<std::size_t>(rows, bounds.size() / 2);
  // Sorted as one 64-bit key per row, the low number (moved to unsigned
  // order) above the row: equal lows keep block order.
  std::vector<uint64_t> keys(n);
  for (std::size_t i = 0; i < n; ++i) {
    const uint32_t low = static_cast<uint32_t>(bounds[2 * i]) ^ 0x80000000u;
    keys[i] = (uint64_t{low} << 32) | i;
  }
  std::sort(keys.begin(), keys.end());
  order_.resize(n);
  for (std::size_t i = 0; i < n; ++i) order_[i] = static_cast<uint32_t>(keys[i]);
  lows_.resize(n);
  for (std::size_t i = 0; i < n; ++i) lows_[i] = bounds[2 * std::size_t{order_[i]}];
  leaves_ = 1;
  while (leaves_ < n) leaves_ *= 2;
  maxHigh_.assign(2 * leaves_, std::numeric_limits<int32_t>::min());
  for (std::size_t i = 0; i < n; ++i) maxHigh_[leaves_ + i] = bounds[2 * std::size_t{order_[i]} + 1];
  for (std::size_t i = leaves_; i-- > 1;) maxHigh_[i] = std::max(maxHigh_[2 * i], maxHigh_[2 * i + 1]);
  built_ = true;
}

void AddOnIndex::clear() {
  built_ = false;
  lows_.clear();
  order_.clear();
  maxHigh_.clear();
  leaves_ = 0;
}

void AddOnIndex::collect(std::size_t node, std::size_t from, std::size_t to, std::size_t end, int64_t x,
                         std::vector<uint32_t>* rows) const {
  // Node covers positions [from, to); only positions below `end` have low <= x.
  if (from >= end || maxHigh_[node] < x) return;
  if (node >= leaves_) {
    rows->push_back(order_[from]);
    return;
  }
  const std::size_t middle = from + (to - from) / 2;
  collect(2 * node, from, middle, end, x, rows);
  collect(2 * node + 1, middle, to, end, x, rows);
}

void AddOnIndex::covering(int64_t x, std::vector<uint32_t>* rows) const {
  rows->clear();
  if (!built_ || lows_.empty()) return;
  const std::size_t end = static_cast<std::size_t>(
      std::upper_bound(lows_.begin(), lows_.end(), x, [](int64_t v, int32_t low) { return v < low; }) -
      lows_.begin());
  collect(1, 0, leaves_, end, x, rows);
  std::sort(rows->begin(), rows->end());
}

void BlockCache::setCapacity(std::size_t bytes) {
  capacity_ = bytes;
  while (used_ > capacity_) dropOldest();
}

std::unique_ptr<DecodedBlock> BlockCache::take(uint32_t zip) {
  const auto found = byZip_.find(zip);
  if (found == byZip_.end()) return nullptr;
  std::unique_ptr<DecodedBlock> block = std::move(*found->second);
  lru_.erase(found->second);
  byZip_.erase(found);
  used_ -= block->bytes;
  return block;
}

std::unique_ptr<DecodedBlock> BlockCache::put(std::unique_ptr<DecodedBlock> block) {
  block->bytes = block->measure();
  if (block->bytes > capacity_) return block;
  // A block of the same ZIP code left from an earlier visit is outdated.
  if (auto old = take(block->zip)) old.reset();
  used_ += block->bytes;
  const uint32_t zip = block->zip;
  lru_.push_front(std::move(block));
  byZip_[zip] = lru_.begin();
  std::unique_ptr<DecodedBlock> spare;
  while (used_ > capacity_) spare = dropOldest();
  return spare;
}

std::unique_ptr<DecodedBlock> BlockCache::dropOldest() {
  if (lru_.empty()) return nullptr;
  std::unique_ptr<DecodedBlock> block = std::move(lru_.back());
  lru_.pop_back();
  byZip_.erase(block->zip);
  used_ -= block->bytes;
  return block;
}

void BlockCache::clear() {
  lru_.clear();
  byZip_.clear();
  used_ = 0;
}

}  // namespace corvdb
