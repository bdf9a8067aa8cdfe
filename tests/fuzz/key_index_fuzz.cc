// Fuzzes the key index reader over arbitrary area bytes and keys.
// Input: flags byte (bit 0 exact, bit 1 first-level list with K = 3, bit 2
// well-formed areas), key length byte, the key, then either the raw index
// areas of the four indexed columns, or (bit 2) keys separated by '\n' from
// which well-formed areas are written and then cut at a length taken from the
// flags byte, so that the walks reach deep into valid lists.
#include <cstddef>
#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "coding.h"

#include "bit_set.h"
#include "key_index.h"
#include "test_support.h"

namespace {

void PutArea(std::string* out, const std::string& entries) {
  corvdb::PutFixed32(out, static_cast<uint32_t>(4 + entries.size() + 1));
  *out += entries;
  out->push_back('\0');
}

// Sorted main entries and, for k > 0, blank-padded first-level prefixes.
std::string WellFormedAreas(std::string_view text, int k, std::vector<std::pair<std::string, uint32_t>>& entries) {
  uint32_t zip = 0;
  while (!text.empty()) {
    const size_t cut = text.find('\n');
    std::string key(text.substr(0, cut));
    // Index keys are text: bytes 0x20..0x7F. (Blank padding keeps the
    // first-level list sorted only when no key byte sorts below the blank.)
    for (char& c : key) c = static_cast<char>(0x20 + (static_cast<uint8_t>(c) & 0x7F) % 0x60);
    // An empty key cannot be written: its ZIP code would run into the one
    // before it (a mode-2 number ends only at a byte below 0x80).
    if (!key.empty()) entries.emplace_back(key, zip);
    zip = (zip * 7919 + 13) % 100000;
    text = cut == std::string_view::npos ? std::string_view{} : text.substr(cut + 1);
  }
  std::sort(entries.begin(), entries.end());
  std::string main;
  std::string first;
  std::string last;
  for (const auto& [key, z] : entries) {
    if (k > 0) {
      std::string prefix = key.substr(0, static_cast<size_t>(k));
      prefix.resize(static_cast<size_t>(k), ' ');
      if (first.empty() || prefix != last) {
        first += prefix;
        corvdb::PutVarMode2(&first, static_cast<uint32_t>(main.size()));
        last = prefix;
      }
    }
    main += key;
    corvdb::PutVarMode2(&main, z);
  }
  std::string out;
  if (k > 0) PutArea(&out, first);
  PutArea(&out, main);
  return out;
}

}  // namespace

// Runs on its own empty settings folder, never the user's.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  corvellan::test::UsePrivateSettings();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const unsigned flags = data[0];
  const bool exact = (flags & 1) != 0;
  const int first_k = (flags & 2) != 0 ? 3 : 0;
  const size_t key_length = data[1] % 48;
  data += 2;
  size -= 2;
  if (size < key_length) return 0;
  const std::string_view key(reinterpret_cast<const char*>(data), key_length);
  const std::string_view body(reinterpret_cast<const char*>(data + key_length), size - key_length);
  std::string bytes(body);
  std::vector<std::pair<std::string, uint32_t>> entries;
  const bool whole = (flags >> 3) == 31;
  if ((flags & 4) != 0) {
    bytes = WellFormedAreas(body, first_k, entries);
    const size_t cut = bytes.size() * (flags >> 3) / 31;  // 31 = the whole
    bytes.resize(std::min(bytes.size(), cut));
  }
  // A buffer of exactly the area bytes, so any read past them is caught.
  std::vector<uint8_t> areas(bytes.begin(), bytes.end());
  const uint8_t* end = areas.data() + areas.size();

  corvdb::ZipBits bits(corvdb::kZipCodeCount);
  const uint8_t* p = areas.data();
  for (int k : {first_k, first_k, 0, 0}) {
    corvdb::KeyIndex index;
    p = index.attach(p, end, k);
    if (p == nullptr) break;
    if (p < areas.data() || p > end) std::abort();
    bits.clear();
    const bool found = index.findKey(key, bits, exact);
    if (found != bits.any()) std::abort();
    // Intact well-formed areas: every written key is found with its ZIP code.
    if (whole && k == first_k) {
      for (size_t i = 0; i < entries.size() && i < 16; ++i) {
        for (bool e : {true, false}) {
          bits.clear();
          if (!index.findKey(entries[i].first, bits, e) || !bits.test(entries[i].second)) std::abort();
        }
      }
    }
    // Every shorter key too: the walk of the first-level list for short keys.
    for (size_t n = 0; n < key.size() && n < 4; ++n) {
      bits.clear();
      if (index.findKey(key.substr(0, n), bits, !exact) != bits.any()) std::abort();
    }
  }
  return 0;
}
