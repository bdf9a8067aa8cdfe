// A fixed-size set of bits numbered 0..size()-1, kept in 64-bit words.
//
// Used for the candidate ZIP codes of a search (one bit per ZIP code, 100,000
// bits) and for row sets of a block (any size). Taking the lowest set bit is
// the hot operation of the search loop, so the set remembers the index of the
// lowest word that may hold a bit and never rescans the empty words below it.
// Indexes at or beyond size() are ignored by set/reset and read as clear.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace corvdb {

class BitSet {
 public:
  static constexpr std::size_t npos = static_cast<std::size_t>(-1);

  BitSet() = default;
  explicit BitSet(std::size_t bits) : bits_(bits), words_((bits + 63) / 64, 0), low_word_(words_.size()) {}

  std::size_t size() const { return bits_; }

  // Changes the size; every bit is clear afterwards.
  void resize(std::size_t bits) {
    bits_ = bits;
    words_.assign((bits + 63) / 64, 0);
    low_word_ = words_.size();
  }

  void set(std::size_t i) {
    if (i >= bits_) return;
    words_[i / 64] |= Bit(i);
    low_word_ = std::min(low_word_, i / 64);
  }
  void reset(std::size_t i) {
    if (i >= bits_) return;
    words_[i / 64] &= ~Bit(i);
  }
  bool test(std::size_t i) const { return i < bits_ && (words_[i / 64] & Bit(i)) != 0; }

  // Sets bits lo..hi, both included, cut at size().
  void setRange(std::size_t lo, std::size_t hi) {
    if (bits_ == 0 || lo > hi || lo >= bits_) return;
    hi = std::min(hi, bits_ - 1);
    const std::size_t first = lo / 64;
    const std::size_t last = hi / 64;
    const uint64_t first_mask = ~uint64_t{0} << (lo % 64);
    const uint64_t last_mask = ~uint64_t{0} >> (63 - hi % 64);
    if (first == last) {
      words_[first] |= first_mask & last_mask;
    } else {
      words_[first] |= first_mask;
      for (std::size_t w = first + 1; w < last; ++w) words_[w] = ~uint64_t{0};
      words_[last] |= last_mask;
    }
    low_word_ = std::min(low_word_, first);
  }

  // Clears every bit (the size stays).
  void clear() {
    std::fill(words_.begin(), words_.end(), 0);
    low_word_ = words_.size();
  }

  bool any() const { return findFrom(0) != npos; }
  bool none() const { return !any(); }

  std::size_t count() const {
    std::size_t n = 0;
    for (std::size_t w = low_word_; w < words_.size(); ++w) n += static_cast<std::size_t>(std::popcount(words_[w]));
    return n;
  }

  // The lowest set bit at index >= i, or npos.
  std::size_t findFrom(std::size_t i) const {
    if (i >= bits_) return npos;
    std::size_t w = i / 64;
    uint64_t word = 0;
    if (w < low_word_) {
      w = low_word_;
      if (w >= words_.size()) return npos;
      word = words_[w];
    } else {
      word = words_[w] & (~uint64_t{0} << (i % 64));
    }
    while (word == 0) {
      if (++w >= words_.size()) return npos;
      word = words_[w];
    }
    return w * 64 + static_cast<std::size_t>(std::countr_zero(word));
  }

  // The highest set bit, or npos.
  std::size_t findLast() const {
    for (std::size_t w = words_.size(); w-- > low_word_;) {
      if (words_[w] != 0) return w * 64 + 63 - static_cast<std::size_t>(std::countl_zero(words_[w]));
    }
    return npos;
  }

  // Clears the lowest set bit and returns its index, or npos when none is set.
  std::size_t takeLowest() {
    while (low_word_ < words_.size() && words_[low_word_] == 0) ++low_word_;
    if (low_word_ >= words_.size()) return npos;
    uint64_t& word = words_[low_word_];
    const std::size_t i = low_word_ * 64 + static_cast<std::size_t>(std::countr_zero(word));
    word &= word - 1;
    return i;
  }

  // Keeps only the bits that are also set in `other`; bits beyond other's size
  // are cleared.
  void andWith(const BitSet& other) {
    const std::size_t common = std::min(words_.size(), other.words_.size());
    for (std::size_t w = 0; w < common; ++w) words_[w] &= other.words_[w];
    // Words beyond other's are cleared; within them, other never holds a bit
    // at or above its size.
    for (std::size_t w = common; w < words_.size(); ++w) words_[w] = 0;
  }

  // Adds the bits of `other` that lie within this set's size.
  void orWith(const BitSet& other) {
    const std::size_t common = std::min(words_.size(), other.words_.size());
    for (std::size_t w = 0; w < common; ++w) {
      words_[w] |= other.words_[w];
      if (words_[w] != 0) low_word_ = std::min(low_word_, w);
    }
    if (common > 0 && bits_ % 64 != 0 && common == words_.size()) {
      words_[common - 1] &= ~uint64_t{0} >> (64 - bits_ % 64);
    }
  }

  bool operator==(const BitSet& other) const {
    return bits_ == other.bits_ && words_ == other.words_;
  }

 private:
  static uint64_t Bit(std::size_t i) { return uint64_t{1} << (i % 64); }

  std::size_t bits_ = 0;
  std::vector<uint64_t> words_;
  // Every word below this index is zero.
  std::size_t low_word_ = 0;
};

// One bit per ZIP code 00000..99999.
inline constexpr std::size_t kZipCodeCount = 100000;
using ZipBits = BitSet;

}  // namespace corvdb
