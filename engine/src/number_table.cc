#include "number_table.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>
#include <string>

#include "record_fields.h"

namespace corvdb {

namespace {
// What code `code` does: the step it sets (tags 0, 1, 2; tag 3 keeps the
// step) and how many entries it emits. Tags 0 and 1 are nearly all codes and
// follow no pattern a branch predictor could learn (house numbers going up
// and down), so they are told apart without a branch.
inline void ApplyCode(uint32_t code, uint32_t* step, uint64_t* times) {
  const uint32_t g = code / 4;
  const uint32_t tag = code % 4;
  if (tag < 2) {
    const uint32_t negate = 0u - tag;  // all ones for tag 1
    *step = (g ^ negate) - negate;
    *times = 1;
  } else if (tag == 2) {
    *step = g % 2;
    *times = uint64_t{g / 2} + 1;
  } else {
    *times = g;
  }
}

constexpr uint64_t kHighBits = 0x8080808080808080ull;
constexpr uint64_t kTagTwoBits = 0x0202020202020202ull;
constexpr uint64_t kTagOneBits = 0x0101010101010101ull;

// The sum of the eight bytes of x, each below 128.
inline uint32_t ByteSum(uint64_t x) {
  const uint64_t pairs = (x & 0x00FF00FF00FF00FFull) + ((x >> 8) & 0x00FF00FF00FF00FFull);
  return static_cast<uint32_t>((pairs * 0x0001000100010001ull) >> 48);
}

// Steps over codes of one or two bytes with tags 0 and 1 (a delta each:
// nearly every code of the house, unit and update key columns), eight bytes
// at a time. A two-byte code is a lead byte L (bit 7 clear) and a final byte F
// (bit 7 set) and its delta is L * 32 + F's bits 2 to 6; a one-byte code is F
// alone; tag 1 (F's bit 0) makes the delta negative. The words are taken one
// after the other whatever the code boundaries (a lead at the end of a word
// is added with its final in the next word), so that nothing but the address
// carries from one word to the next. Stops before a word with another kind of
// code, before fewer than eight bytes remain, or when fewer than eight more
// codes are allowed; returns where the next code starts, having added the
// deltas to *value, the codes to *codes and left the last code's step in
// *step.
inline const uint8_t* SkipShortCodes(const uint8_t* p, const uint8_t* limit, uint64_t allowed, uint32_t* value,
                                     uint32_t* step, uint64_t* codes) {
  if constexpr (std::endian::native != std::endian::little) return p;
  constexpr uint64_t kLow7 = ~kHighBits;
  uint64_t n = 0;
  uint32_t v = *value;
  uint32_t last_step = *step;
  uint32_t carry = 0;  // the lead byte that ended the previous word, if any
  bool carrying = false;
  while (allowed - n >= 8 && limit - p >= 8) {
    uint64_t w;
    std::memcpy(&w, p, sizeof w);
    uint64_t stops = w & kHighBits;
    uint64_t leads = ~w & kHighBits;
    // A code of another kind (a final of tag 2 or 3, a lead followed by a
    // lead: three bytes or more) ends the steps: the codes before it are taken.
    const uint64_t bad = ((w & ((stops >> 7) * 0xFF) & kTagTwoBits) << 6) | (leads & (leads >> 8)) |
                         (carrying ? leads & 0x80 : 0);
    int cut = 8;  // the bytes of this word taken
    if (bad != 0) {
      const int b = std::countr_zero(bad) / 8;
      cut = (b > 0 && ((leads >> (8 * (b - 1))) & 0x80) != 0) ? b - 1 : b;  // where that code starts
      if (cut == 0) break;  // (with a carried lead, that lead is read again below)
      const uint64_t taken = (uint64_t{1} << (8 * cut)) - 1;
      stops &= taken;
      leads &= taken;
    }
    const uint64_t final_bytes = (stops >> 7) * 0xFF;
    const uint64_t paired_leads = ((leads & 0x0080808080808080ull) >> 7) * 0xFF;  // each followed by its final
    const uint64_t down_finals = (w & kTagOneBits & (stops >> 7)) * 0xFF;
    const uint64_t down_leads = (down_finals >> 8) & paired_leads;
    const uint64_t finals = ((w & kLow7) >> 2) & 0x1F1F1F1F1F1F1F1Full & final_bytes;
    const uint64_t lead_bits = w & kLow7 & paired_leads;
    uint32_t sum = ByteSum(finals) - 2 * ByteSum(finals & down_finals) +
                   32 * (ByteSum(lead_bits) - 2 * ByteSum(lead_bits & down_leads));
    if (carrying) sum += (w & 1) ? 0u - 32 * carry : 32 * carry;  // byte 0 is the carried lead's final
    v += sum;
    n += ByteSum(stops >> 7);
    // The step of the word's last code (a tag 3 run further on repeats it).
    const int e = 7 - std::countl_zero(stops) / 8;
    const uint32_t f = static_cast<uint32_t>(w >> (8 * e)) & 0x7Fu;
    uint32_t lead = 0;
    if (e > 0) {
      if (((leads >> (8 * (e - 1))) & 0x80) != 0) lead = static_cast<uint32_t>(w >> (8 * (e - 1))) & 0x7Fu;
    } else if (carrying) {
      lead = carry;
    }
    const uint32_t g = lead * 32 + (f >> 2);
    last_step = (f & 1) ? 0u - g : g;
    if (cut < 8) {
      // The code at `cut` is left to the caller; the byte before it ended a code.
      carrying = false;
      p += cut;
      break;
    }
    carrying = (w >> 63) == 0;
    carry = static_cast<uint32_t>(w >> 56) & 0x7Fu;
    p += 8;
  }
  if (carrying) --p;  // that code is read again
  *value = v;
  *step = last_step;
  *codes = n;
  return p;
}
}  // namespace

void numberTable::startBlock(const uint8_t* data, const uint8_t* limit, uint32_t rows) {
  s_.data = data;
  s_.limit = limit;
  s_.rows = rows;
  s_.numbers.clear();
  s_.value = 0;
  s_.step = 0;
  s_.damaged = data == nullptr || limit == nullptr || data > limit || limit - data < 4;
  s_.cursor = s_.damaged ? nullptr : data + 4;
  s_.useLists = false;
  s_.rewinds = 0;
  rewind();
}

void numberTable::rewind() {
  s_.forwardDamaged = s_.data == nullptr || s_.limit == nullptr || s_.data > s_.limit || s_.limit - s_.data < 4;
  s_.forwardCursor = s_.forwardDamaged ? nullptr : s_.data + 4;
  s_.produced = 0;
  s_.pending = 0;
  s_.forwardValue = 0;
  s_.forwardStep = 0;
}

bool numberTable::loadBlock() { return loadEntries(entryCount()); }

bool numberTable::loadEntries(uint64_t n) {
  s_.useLists = true;
  return ensure(std::min(n, entryCount()));
}

bool numberTable::ensure(uint64_t needed) {
  if (s_.numbers.size() >= needed) return true;
  if (s_.damaged) return false;
  // The codes are read in one tight loop with the running value and step in
  // registers: this is the hottest loop of a lookup.
  const uint64_t count = entryCount();
  Mode0Reader codes(s_.cursor, s_.limit);
  uint32_t value = s_.value;
  uint32_t step = s_.step;
  std::vector<int32_t>& numbers = s_.numbers;
  bool ok = true;
  while (numbers.size() < needed) {
    // Eight one-byte deltas in a row (the add-on column is nearly all such).
    uint64_t w = 0;
    if (count - numbers.size() >= 8 && codes.peekEight(&w) && (w & kHighBits) == kHighBits &&
        (w & kTagTwoBits) == 0) {
      if (!budget_->spend(8 * sizeof(int32_t))) {
        ok = false;
        break;
      }
      const std::size_t from = numbers.size();
      numbers.resize(from + 8);
      int32_t* out = numbers.data() + from;
      for (int i = 0; i < 8; ++i) {
        const uint32_t c = static_cast<uint32_t>(w >> (8 * i)) & 0x7Fu;
        step = (c & 1) ? 0u - (c >> 2) : c >> 2;
        value += step;
        out[i] = static_cast<int32_t>(value);
      }
      codes.skip(8);
      continue;
    }
    uint32_t code = 0;
    if (!codes.next(&code)) {
      ok = false;
      break;
    }
    uint64_t times = 1;
    ApplyCode(code, &step, &times);
    // Entries beyond the block's count are never read: a run is kept only up to it.
    times = std::min<uint64_t>(times, count - numbers.size());
    if (!budget_->spend(times * sizeof(int32_t))) {
      ok = false;
      break;
    }
    if (times == 1) {
      value += step;
      numbers.push_back(static_cast<int32_t>(value));
    } else {
      const std::size_t from = numbers.size();
      numbers.resize(from + times);
      for (std::size_t i = from; i < numbers.size(); ++i) {
        value += step;
        numbers[i] = static_cast<int32_t>(value);
      }
    }
  }
  s_.cursor = codes.position();
  s_.value = value;
  s_.step = step;
  if (!ok) s_.damaged = true;
  return ok;
}

bool numberTable::forwardTo(uint64_t k, int32_t* out) {
  // Codes are stepped over without storing what they emit: a whole run is one
  // multiplication, so only the codes between the two entries cost anything.
  const uint64_t count = entryCount();
  Mode0Reader codes(s_.forwardCursor, s_.limit);
  uint64_t produced = s_.produced;
  uint64_t pending = s_.pending;
  uint32_t value = s_.forwardValue;
  uint32_t step = s_.forwardStep;
  bool ok = true;
  while (produced + pending <= k) {
    value += step * static_cast<uint32_t>(pending);
    produced += pending;
    pending = 0;
    // Whole words of short deltas at once, while entry k is not among them.
    if (k + 1 - produced >= 8 && count - produced >= 8) {
      const uint8_t* from = codes.position();
      uint64_t n = 0;
      const uint8_t* to =
          SkipShortCodes(from, s_.limit, std::min(k + 1 - produced, count - produced), &value, &step, &n);
      if (n > 0) {
        produced += n;
        codes.skip(to - from);
        continue;
      }
    }
    uint32_t code = 0;
    if (!codes.next(&code)) {
      ok = false;
      pending = 0;
      break;
    }
    uint64_t times = 1;
    ApplyCode(code, &step, &times);
    // Entries beyond the block's count are never read: a run is kept only up to it.
    pending = std::min<uint64_t>(times, count - produced);
  }
  if (ok) {
    const uint64_t t = k + 1 - produced;
    value += step * static_cast<uint32_t>(t);
    produced += t;
    pending -= t;
    *out = static_cast<int32_t>(value);
  }
  s_.forwardCursor = codes.position();
  s_.produced = produced;
  s_.pending = pending;
  s_.forwardValue = value;
  s_.forwardStep = step;
  if (!ok) s_.forwardDamaged = true;
  return ok;
}

bool numberTable::number(uint64_t k, int32_t* value) {
  if (k >= entryCount()) return false;
  if (k < s_.numbers.size()) {
    *value = s_.numbers[k];
    return true;
  }
  if (!s_.useLists && s_.numbers.empty()) {
    // In increasing order the entries are stepped to; the first one asked for
    // out of order has the block's list decoded, which serves from then on.
    if (k + 1 >= s_.produced) return !s_.forwardDamaged && forwardTo(k, value);
    if (s_.rewinds == 0) {
      ++s_.rewinds;
      rewind();
      return !s_.forwardDamaged && forwardTo(k, value);
    }
    s_.useLists = true;
  }
  if (!ensure(k + 1)) return false;
  *value = s_.numbers[k];
  return true;
}

std::size_t numberTable::formatNumber(int32_t value, char* out) const {
  char digits[16];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  std::size_t n = static_cast<std::size_t>(result.ptr - digits);
  const std::size_t width = static_cast<std::size_t>(spec().width);
  std::size_t pos = 0;
  if (spec().format == NumberFormat::kZeroPadded && n < width) {
    std::size_t d = 0;
    if (digits[0] == '-') out[pos++] = digits[d++];  // the sign goes before the zeros
    for (std::size_t i = n; i < width; ++i) out[pos++] = '0';
    std::memcpy(out + pos, digits + d, n - d);
    return pos + n - d;
  }
  if (spec().format == NumberFormat::kBlankPadded && n < width) {
    for (std::size_t i = n; i < width; ++i) out[pos++] = ' ';
  }
  std::memcpy(out + pos, digits, n);
  return pos + n;
}

bool numberTable::getRow(char* record, uint32_t row) {
  int32_t value = 0;
  if (!number(row, &value)) return false;
  char text[64];
  const std::size_t n = formatNumber(value, text);
  const std::size_t offset = static_cast<std::size_t>(spec().offset);
  const std::size_t room = kRecordBufferSize - offset;
  std::memcpy(record + offset, text, std::min(n, room));
  if (n < room) record[offset + n] = '\0';
  return true;
}

namespace {
void AppendNumber(char* field, std::size_t length, const char* text, std::size_t n) {
  std::string out(FieldText(field, length));
  if (!(n == 1 && text[0] == '0')) out.append(text, n);
  PutField(field, length, out, '\0');
}
}  // namespace

bool numberPart::getRow(char* record, uint32_t row) {
  int32_t low = 0;
  int32_t high = 0;
  if (!number(uint64_t{row} * 2, &low) || !number(uint64_t{row} * 2 + 1, &high)) return false;
  const ColumnSpec& s = spec();
  char text[64];
  std::size_t n = formatNumber(low, text);
  AppendNumber(record + s.offset, static_cast<std::size_t>(s.length), text, n);
  n = formatNumber(high, text);
  AppendNumber(record + s.highOffset, static_cast<std::size_t>(s.highLength), text, n);
  return true;
}

}  // namespace corvdb
