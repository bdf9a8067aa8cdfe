#include "number_table.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string>

#include "record_fields.h"

namespace corvdb {

void numberTable::startBlock(const uint8_t* data, const uint8_t* limit, uint32_t rows) {
  s_.data = data;
  s_.limit = limit;
  s_.rows = rows;
  s_.numbers.clear();
  s_.value = 0;
  s_.step = 0;
  s_.damaged = data == nullptr || limit == nullptr || data > limit || limit - data < 4;
  s_.cursor = s_.damaged ? nullptr : data + 4;
}

bool numberTable::loadBlock() { return ensure(entryCount()); }

bool numberTable::ensure(uint64_t needed) {
  if (s_.numbers.size() >= needed) return true;
  if (s_.damaged) return false;
  // The codes are read in one tight loop with the running value and step in
  // registers: this is the hottest loop of a lookup.
  const uint64_t count = entryCount();
  const uint8_t* p = s_.cursor;
  const uint8_t* const limit = s_.limit;
  uint32_t value = s_.value;
  uint32_t step = s_.step;
  std::vector<int32_t>& numbers = s_.numbers;
  bool ok = true;
  while (numbers.size() < needed) {
    uint32_t code = 0;
    const uint8_t* after = GetVarMode0(p, limit, &code);
    if (after == nullptr) {
      ok = false;
      break;
    }
    p = after;
    const uint32_t g = code / 4;
    uint64_t times = 1;
    switch (code % 4) {
      case 0:
        step = g;
        break;
      case 1:
        step = 0u - g;
        break;
      case 2:
        step = g % 2;
        times = uint64_t{g / 2} + 1;
        break;
      default:
        times = g;
        break;
    }
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
  s_.cursor = p;
  s_.value = value;
  s_.step = step;
  if (!ok) s_.damaged = true;
  return ok;
}

bool numberTable::number(uint64_t k, int32_t* value) {
  if (k >= entryCount() || !ensure(k + 1)) return false;
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
