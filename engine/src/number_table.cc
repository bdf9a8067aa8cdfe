#include "number_table.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>
#include <string>

#include "record_fields.h"
#include "short_codes.h"

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
  // registers, writing into room made once (what a call asks for, and a
  // little more), which is cut back to what was decoded at the end.
  const uint64_t count = entryCount();
  Mode0Reader codes(s_.cursor, s_.limit);
  uint32_t value = s_.value;
  uint32_t step = s_.step;
  NumberList& numbers = s_.numbers;
  std::size_t size = numbers.size();
  numbers.resize(static_cast<std::size_t>(std::min<uint64_t>(count, needed + 16)));
  int32_t* out = numbers.data();
  bool ok = true;
  std::size_t try_from = size;  // where to look for one-byte deltas again
  while (size < needed) {
    // Sixteen (or eight) one-byte deltas in a row: the add-on column is
    // nearly all such. Where they are not, the next sixteen entries are
    // decoded one code at a time before looking again.
    if (size >= try_from && count - size >= 16) {
      const std::size_t n = DecodeSingleByteDeltas(codes, &value, &step, out + size);
      if (n > 0) {
        if (!budget_->spend(n * sizeof(int32_t))) {
          ok = false;
          break;
        }
        size += n;
        continue;
      }
      try_from = size + 16;
    }
    uint32_t code = 0;
    if (!codes.next(&code)) {
      ok = false;
      break;
    }
    uint64_t times = 1;
    ApplyCode(code, &step, &times);
    // Entries beyond the block's count are never read: a run is kept only up to it.
    times = std::min<uint64_t>(times, count - size);
    if (!budget_->spend(times * sizeof(int32_t))) {
      ok = false;
      break;
    }
    if (times == 1 && size < numbers.size()) {
      value += step;
      out[size++] = static_cast<int32_t>(value);
      continue;
    }
    if (size + times > numbers.size()) {
      numbers.resize(size + times);
      out = numbers.data();
    }
    for (uint64_t i = 0; i < times; ++i) {
      value += step;
      out[size++] = static_cast<int32_t>(value);
    }
  }
  numbers.resize(size);
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
          SkipShortCodesFast(from, s_.limit, std::min(k + 1 - produced, count - produced), &value, &step, &n);
      if (to != from) {
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
