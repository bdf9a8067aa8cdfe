#include "key_index.h"

#include <cstring>

#include "coding.h"

namespace corvdb {

namespace {

// One area at `p`: its entries are [*begin, *end). Returns the address after
// the area, or nullptr when the length word is missing, below 4 or runs past
// `fileEnd`.
const uint8_t* TakeArea(const uint8_t* p, const uint8_t* fileEnd, const uint8_t** begin,
                        const uint8_t** end) {
  if (p == nullptr || fileEnd == nullptr || p > fileEnd || fileEnd - p < 4) return nullptr;
  const uint32_t length = DecodeFixed32(p);
  if (length < 4 || length > static_cast<std::size_t>(fileEnd - p)) return nullptr;
  *begin = p + 4;
  *end = p + length;
  return p + length;
}

std::string_view Text(const uint8_t* p, std::size_t n) {
  return std::string_view(reinterpret_cast<const char*>(p), n);
}

}  // namespace

const uint8_t* KeyIndex::attach(const uint8_t* p, const uint8_t* fileEnd, int k) {
  *this = KeyIndex();
  if (k < 0) return nullptr;
  const uint8_t* first_begin = nullptr;
  const uint8_t* first_end = nullptr;
  if (k > 0) {
    p = TakeArea(p, fileEnd, &first_begin, &first_end);
    if (p == nullptr) return nullptr;
  }
  const uint8_t* main_begin = nullptr;
  const uint8_t* main_end = nullptr;
  p = TakeArea(p, fileEnd, &main_begin, &main_end);
  if (p == nullptr) return nullptr;
  k_ = k;
  first_begin_ = first_begin;
  first_end_ = first_end;
  main_begin_ = main_begin;
  main_end_ = main_end;
  return p;
}

const uint8_t* KeyIndex::mainStart(std::string_view key) const {
  if (k_ == 0) return main_begin_;
  const std::size_t k = static_cast<std::size_t>(k_);
  // A key shorter than K is looked for by its first n characters, so that MA
  // finds the group "MA " (the key MA itself) and also MAA, MAB ...; the list
  // is sorted, so the walk stops at the first greater entry. A longer key is
  // looked for by its first K characters, equal to a whole entry.
  const bool short_key = key.size() < k;
  const std::size_t compared = short_key ? key.size() : k;

  // Entries are matched only where they start: a key holding bytes of 0x80 or
  // more could otherwise match the tail of one entry and its distance bytes.
  const uint8_t* p = first_begin_;
  while (p < first_end_ && *p != 0) {
    if (static_cast<std::size_t>(first_end_ - p) <= k) return nullptr;  // no room for the distance
    const int cmp = Text(p, compared).compare(key.substr(0, compared));
    uint32_t distance = 0;
    const uint8_t* next = GetVarMode2ToEnd(p + k, first_end_, &distance);
    if (next == nullptr) return nullptr;
    if (cmp == 0) {
      if (distance > static_cast<std::size_t>(main_end_ - main_begin_)) return nullptr;
      return main_begin_ + distance;
    }
    if (cmp > 0 && short_key) return nullptr;
    p = next;
  }
  return nullptr;
}

bool KeyIndex::findKey(std::string_view key, ZipBits& bits, bool exact) const {
  if (!attached()) return false;
  key = key.substr(0, key.find('\0'));
  const uint8_t* p = mainStart(key);
  if (p == nullptr) return false;

  bool found = false;
  while (p < main_end_ && *p != 0) {
    const uint8_t* text = p;
    while (p < main_end_ && *p != 0 && *p < 0x80) ++p;
    if (p >= main_end_ || *p == 0) break;  // a key text without its ZIP code
    std::string_view entry = Text(text, static_cast<std::size_t>(p - text));
    // Beginning-of-key match: the entry cut to the key's length; an entry
    // shorter than the key compares as itself (MAIN < MAINE, the walk goes on).
    if (!exact) entry = entry.substr(0, key.size());
    const int cmp = entry.compare(key);
    if (cmp > 0) break;
    uint32_t zip = 0;
    const uint8_t* next = GetVarMode2ToEnd(p, main_end_, &zip);
    if (next == nullptr) break;
    if (cmp == 0 && zip < kZipCodeCount) {
      bits.set(zip);
      found = true;
    }
    p = next;
  }
  return found;
}

}  // namespace corvdb
