// Byte-level helpers shared by the zip.cvd reader and writer.
//
// Variable-length numbers are unsigned, written big-endian in 7-bit groups,
// one group per byte in the low 7 bits. Two terminations are used:
//   mode 0: the last byte has bit 7 set, every earlier byte has it clear
//           (numeric column codes);
//   mode 2: every byte has bit 7 set and the number ends before the first
//           byte with bit 7 clear (directory offsets, run counts, index
//           references), so it can sit between two texts of bytes < 0x80.
// Readers take a `limit` and never look at or past it. A number that is not
// terminated before the limit is corrupt: the reader returns nullptr.
// Arithmetic is modulo 2^32, as in the 32-bit reader the format was made for.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace corvdb {

inline uint32_t DecodeFixed32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline void EncodeFixed32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

inline void PutFixed32(std::string* dst, uint32_t v) {
  uint8_t b[4];
  EncodeFixed32(b, v);
  dst->append(reinterpret_cast<const char*>(b), 4);
}

// Mode 0: stops after the first byte with bit 7 set.
inline const uint8_t* GetVarMode0(const uint8_t* p, const uint8_t* limit, uint32_t* value) {
  uint32_t v = 0;
  while (p < limit) {
    const uint8_t b = *p++;
    v += b & 0x7Fu;
    if (b & 0x80u) {
      *value = v;
      return p;
    }
    v *= 128u;
  }
  return nullptr;
}

namespace detail {
inline uint64_t Load64(const uint8_t* p) {
  uint64_t w;
  std::memcpy(&w, p, sizeof w);
  return w;
}

inline uint64_t ByteSwap64(uint64_t w) {
#if defined(__GNUC__) || defined(__clang__)
  return __builtin_bswap64(w);
#else
  uint64_t r = 0;
  for (int i = 0; i < 8; ++i, w >>= 8) r = (r << 8) | (w & 0xFFu);
  return r;
#endif
}

constexpr uint64_t kHighBits = 0x8080808080808080ull;
}  // namespace detail

// Reads consecutive mode-0 numbers (the codes of a numeric column), eight
// bytes at a time where eight can be read: every code ending inside the loaded
// word is cut out of it with shifts, with no branch per byte and no second
// load, which keeps the chain from one code to the next short. Same values as
// GetVarMode0, modulo 2^32 included.
class Mode0Reader {
 public:
  Mode0Reader(const uint8_t* p, const uint8_t* limit) : p_(p), limit_(limit) {}

  // The next number; false when the data ends before it is terminated.
  bool next(uint32_t* value) {
    if constexpr (std::endian::native == std::endian::little) {
      if (stops_ != 0 || refill()) {
        const int end = std::countr_zero(stops_) / 8;
        stops_ &= stops_ - 1;
        // Byte i of the number goes to byte end - i; bytes before the number
        // are shifted out first, bytes after it last.
        const uint64_t y = detail::ByteSwap64(word_ >> (8 * start_)) >> (8 * (7 - end + start_));
        // Groups five and later weigh 2^35 and more: nothing modulo 2^32.
        *value = static_cast<uint32_t>((y & 0x7Fu) | ((y >> 1) & (0x7Fu << 7)) | ((y >> 2) & (0x7Fu << 14)) |
                                       ((y >> 3) & (0x7Fu << 21)) | ((y >> 4) & (uint64_t{0x7Fu} << 28)));
        start_ = end + 1;
        return true;
      }
    }
    const uint8_t* after = GetVarMode0(p_ + start_, limit_, value);
    if (after == nullptr) return false;
    p_ = after;
    start_ = 0;
    return true;
  }

  // Where the next number starts, and the bytes from there to the limit.
  const uint8_t* position() const { return p_ + start_; }
  std::ptrdiff_t remaining() const { return limit_ - (p_ + start_); }

  // The eight bytes at position() (the first in the lowest byte); false when
  // fewer remain. skip() passes bytes that end a number.
  bool peekEight(uint64_t* w) const {
    if constexpr (std::endian::native == std::endian::little) {
      const uint8_t* p = p_ + start_;
      if (limit_ - p >= 8) {
        *w = detail::Load64(p);
        return true;
      }
    }
    return false;
  }
  void skip(std::ptrdiff_t bytes) {
    p_ += start_ + bytes;
    start_ = 0;
    stops_ = 0;
  }

 private:
  // Loads the eight bytes at the next number; false when fewer remain or no
  // number ends inside them.
  bool refill() {
    p_ += start_;
    start_ = 0;
    if (limit_ - p_ < 8) return false;
    const uint64_t w = detail::Load64(p_);
    stops_ = w & detail::kHighBits;
    word_ = w & ~detail::kHighBits;
    return stops_ != 0;
  }

  const uint8_t* p_;
  const uint8_t* limit_;
  uint64_t word_ = 0;   // the loaded bytes, bit 7 cleared
  uint64_t stops_ = 0;  // bit 7 of the bytes that end a number not read yet
  int start_ = 0;       // bytes of the loaded word already read
};

// The end of a text run's value bytes: the first byte at or after `p` with bit
// 7 set, or `limit`.
inline const uint8_t* ValueBytesEnd(const uint8_t* p, const uint8_t* limit) {
#if defined(__SSE2__)
  while (limit - p >= 16) {
    const int high = _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    if (high != 0) return p + std::countr_zero(static_cast<unsigned>(high));
    p += 16;
  }
#endif
  if constexpr (std::endian::native == std::endian::little) {
    while (limit - p >= 8) {
      const uint64_t high = detail::Load64(p) & detail::kHighBits;
      if (high != 0) return p + std::countr_zero(high) / 8;
      p += 8;
    }
  }
  while (p < limit && *p < 0x80) ++p;
  return p;
}

// Mode 2: every byte of the number is taken until the following byte has bit 7
// clear. The first byte is taken whatever its bit 7, as the format's reader does.
inline const uint8_t* GetVarMode2(const uint8_t* p, const uint8_t* limit, uint32_t* value) {
  uint32_t v = 0;
  while (p < limit) {
    const uint8_t b = *p++;
    v += b & 0x7Fu;
    if (p >= limit) return nullptr;  // the terminating byte is not there
    if ((*p & 0x80u) == 0) {
      *value = v;
      return p;
    }
    v *= 128u;
  }
  return nullptr;
}

// Mode 2 at the end of an index area: the end of the area also ends a number,
// so an area whose last entry's number runs up to its last byte (nothing
// follows it inside the area) still yields that number. Empty input has no
// number: nullptr.
inline const uint8_t* GetVarMode2ToEnd(const uint8_t* p, const uint8_t* end, uint32_t* value) {
  if (p >= end) return nullptr;
  uint32_t v = 0;
  for (;;) {
    const uint8_t b = *p++;
    v += b & 0x7Fu;
    if (p == end || (*p & 0x80u) == 0) {
      *value = v;
      return p;
    }
    v *= 128u;
  }
}

namespace detail {
inline int Groups7(uint32_t v) {
  int n = 1;
  while (v >= 128u) {
    v >>= 7;
    ++n;
  }
  return n;
}
}  // namespace detail

inline void PutVarMode0(std::string* dst, uint32_t v) {
  const int n = detail::Groups7(v);
  for (int i = n - 1; i >= 0; --i) {
    uint8_t b = static_cast<uint8_t>((v >> (7 * i)) & 0x7Fu);
    if (i == 0) b |= 0x80u;
    dst->push_back(static_cast<char>(b));
  }
}

// The caller must make sure a byte with bit 7 clear follows.
inline void PutVarMode2(std::string* dst, uint32_t v) {
  const int n = detail::Groups7(v);
  for (int i = n - 1; i >= 0; --i) {
    dst->push_back(static_cast<char>(((v >> (7 * i)) & 0x7Fu) | 0x80u));
  }
}

inline int VarLength(uint32_t v) { return detail::Groups7(v); }

}  // namespace corvdb
