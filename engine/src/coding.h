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

#include <cstdint>
#include <cstring>
#include <string>

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
