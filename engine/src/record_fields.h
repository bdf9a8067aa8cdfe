// Copies between text fields of the fixed-length records. Fields are not
// terminated: a field's text ends at its first byte 0 or at its length.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string_view>

namespace corvdb {

// The text of a field: its bytes up to the first byte 0, at most `length`.
inline std::string_view FieldText(const char* field, std::size_t length) {
  if (length > 64) {
    const void* nul = std::memchr(field, 0, length);
    return std::string_view(field, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - field) : length);
  }
  // Record fields are short: a plain loop costs less than a library call.
  std::size_t n = 0;
  while (n < length && field[n] != '\0') ++n;
  return std::string_view(field, n);
}

// Writes `text` into a field of `length` bytes, cut at the field length and
// at a byte 0 in `text`, and fills the rest of the field with `pad`.
inline void PutField(char* field, std::size_t length, std::string_view text, char pad) {
  const std::size_t n = FieldText(text.data(), std::min(text.size(), length)).size();
  if (n > 0) std::memcpy(field, text.data(), n);
  std::memset(field + n, pad, length - n);
}

// PutField for text known to hold no byte 0 (a decoded column value).
inline void PutText(char* field, std::size_t length, std::string_view text, char pad) {
  const std::size_t n = std::min(text.size(), length);
  if (n > 0) std::memcpy(field, text.data(), n);
  std::memset(field + n, pad, length - n);
}

// Copies a field that stops at a byte 0 in the source and pads with bytes 0.
inline void CopyField(char* dst, const char* src, std::size_t length) {
  const std::size_t n = FieldText(src, length).size();
  if (n > 0) std::memmove(dst, src, n);
  std::memset(dst + n, 0, length - n);
}

}  // namespace corvdb
