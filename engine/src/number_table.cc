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
  while (s_.numbers.size() < needed) {
    if (!decodeCode()) return false;
  }
  return true;
}

bool numberTable::decodeCode() {
  if (s_.damaged) return false;
  uint32_t code = 0;
  const uint8_t* after = readNumber(s_.cursor, s_.limit, kMode0, &code);
  if (after == nullptr) {
    s_.damaged = true;
    return false;
  }
  s_.cursor = after;
  const uint32_t g = code / 4;
  uint64_t times = 0;
  switch (code % 4) {
    case 0:
      s_.step = g;
      times = 1;
      break;
    case 1:
      s_.step = 0u - g;
      times = 1;
      break;
    case 2:
      s_.step = g % 2;
      times = uint64_t{g / 2} + 1;
      break;
    default:
      times = g;
      break;
  }
  // Entries beyond the block's count are never read: a run is kept only up to it.
  times = std::min<uint64_t>(times, entryCount() - s_.numbers.size());
  if (!budget_->spend(times * sizeof(int32_t))) {
    s_.damaged = true;
    return false;
  }
  for (uint64_t i = 0; i < times; ++i) {
    s_.value += s_.step;
    s_.numbers.push_back(static_cast<int32_t>(s_.value));
  }
  return true;
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
