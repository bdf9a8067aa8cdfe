// Pseudo-random numbers for the sample generator. Everything here is integer
// arithmetic of our own (splitmix64 for seeding, xoshiro256** for the stream),
// so one seed gives the same files with every compiler and standard library;
// std::random_device and the std distributions are deliberately not used.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace corvdb::tools {

inline uint64_t SplitMix64(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

// Combines a seed with a value (a ZIP code, a purpose tag) into the seed of an
// independent stream.
inline uint64_t MixSeed(uint64_t seed, uint64_t value) {
  uint64_t s = seed ^ (value * 0xD1B54A32D192ED03ull + 0x8CB92BA72F3D8DD7ull);
  SplitMix64(s);
  return SplitMix64(s);
}

class Rng {
 public:
  explicit Rng(uint64_t seed) {
    for (auto& w : s_) w = SplitMix64(seed);
  }

  uint64_t Next() {
    const uint64_t result = Rotl(s_[1] * 5, 7) * 9;
    const uint64_t t = s_[1] << 17;
    s_[2] ^= s_[0];
    s_[3] ^= s_[1];
    s_[1] ^= s_[2];
    s_[0] ^= s_[3];
    s_[2] ^= t;
    s_[3] = Rotl(s_[3], 45);
    return result;
  }

  // Uniform in [0, n); n must be positive. Multiply-shift with rejection, so
  // there is no modulo bias.
  uint64_t Below(uint64_t n) {
    unsigned __int128 m = static_cast<unsigned __int128>(Next()) * n;
    uint64_t low = static_cast<uint64_t>(m);
    if (low < n) {
      const uint64_t threshold = (0 - n) % n;
      while (low < threshold) {
        m = static_cast<unsigned __int128>(Next()) * n;
        low = static_cast<uint64_t>(m);
      }
    }
    return static_cast<uint64_t>(m >> 64);
  }

  // Uniform in [lo, hi]; hi >= lo.
  uint64_t Range(uint64_t lo, uint64_t hi) { return lo + Below(hi - lo + 1); }

  // True with probability per_mille / 1000.
  bool Chance(uint32_t per_mille) { return Below(1000) < per_mille; }

  template <class T>
  const T& Pick(const std::vector<T>& items) {
    return items[static_cast<size_t>(Below(items.size()))];
  }

 private:
  static uint64_t Rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
  uint64_t s_[4];
};

// Items drawn with integer weights.
template <class T>
class WeightedTable {
 public:
  void Add(T item, uint32_t weight) {
    if (weight == 0) return;
    total_ += weight;
    items_.push_back({std::move(item), total_});
  }
  bool empty() const { return items_.empty(); }

  const T& Pick(Rng& rng) const {
    const uint64_t x = rng.Below(total_);
    size_t lo = 0, hi = items_.size() - 1;
    while (lo < hi) {
      const size_t mid = (lo + hi) / 2;
      if (items_[mid].second > x) {
        hi = mid;
      } else {
        lo = mid + 1;
      }
    }
    return items_[lo].first;
  }

 private:
  std::vector<std::pair<T, uint64_t>> items_;  // item, cumulative weight
  uint64_t total_ = 0;
};

}  // namespace corvdb::tools
