#include "string_table.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "record_fields.h"
#include "vl_number.h"

namespace corvdb {

namespace {
// What one run's value and length entries cost in the block's memory budget.
constexpr uint64_t kRunCost = sizeof(std::string_view) + sizeof(uint64_t);
}  // namespace

char* ValueArena::allocate(std::size_t n) {
  if (n > kLastChunk / 4) {
    oversized_.push_back({std::make_unique<char[]>(n), n});
    held_ += n;
    return oversized_.back().data.get();
  }
  while (current_ < chunks_.size() && used_ + n > chunks_[current_].size) {
    ++current_;
    used_ = 0;
  }
  if (current_ == chunks_.size()) {
    // n is at most a quarter of the largest chunk.
    const std::size_t size = std::max(n, chunks_.empty() ? kFirstChunk : std::min(kLastChunk, chunks_.back().size * 2));
    chunks_.push_back({std::make_unique<char[]>(size), size});
    held_ += size;
    used_ = 0;
  }
  char* p = chunks_[current_].data.get() + used_;
  used_ += n;
  return p;
}

void ValueArena::reset() {
  current_ = 0;
  used_ = 0;
  for (const Chunk& c : oversized_) held_ -= c.size;
  oversized_.clear();
}

void stringTable::startBlock(const uint8_t* data, const uint8_t* limit, uint32_t rows) {
  s_.data = data;
  s_.limit = limit;
  s_.rows = rows;
  s_.cursor = data;
  s_.damaged = data == nullptr || limit == nullptr || data > limit;
  s_.values.clear();
  s_.runEnds.clear();
  s_.arena.reset();
  s_.lastRun = 0;
}

bool stringTable::loadBlock() { return ensure(entryCount()); }

bool stringTable::ensure(uint64_t needed) {
  while (s_.runEnds.empty() ? needed > 0 : s_.runEnds.back() < needed) {
    if (!decodeRun()) return false;
  }
  return true;
}

bool stringTable::decodeRun() {
  if (s_.damaged) return false;
  const uint8_t* p = s_.cursor;
  const uint8_t* bytes = p;
  while (p < s_.limit && *p < 0x80) ++p;
  const std::size_t n = static_cast<std::size_t>(p - bytes);
  uint32_t count_minus_one = 0;
  const uint8_t* after = vlNumber::readNumber(p, s_.limit, vlNumber::kMode2, &count_minus_one);
  if (after == nullptr) {
    s_.damaged = true;
    return false;
  }

  const std::string_view previous = s_.values.empty() ? std::string_view() : s_.values.back();
  std::string_view value;
  std::size_t extra = 0;  // bytes this value takes in the arena
  if (n == 1 && bytes[0] >= 1 && bytes[0] <= 31) {
    if (bytes[0] > s_.values.size()) {
      s_.damaged = true;  // a repeat of a value that was never decoded
      return false;
    }
    value = s_.values[s_.values.size() - bytes[0]];
  } else if (n == 1 && bytes[0] == 0) {
    value = std::string_view();
  } else {
    const char* middle = reinterpret_cast<const char*>(bytes);
    std::size_t middle_length = n;
    std::size_t pre = 0;
    std::size_t post = 0;
    if (n >= 2) {
      if (bytes[0] < 32) {
        pre = bytes[0];
        ++middle;
        --middle_length;
      }
      if (bytes[n - 1] >= 1 && bytes[n - 1] <= 31) {
        post = bytes[n - 1];
        --middle_length;
      }
    }
    // The previous value is text: it has no more characters than its length.
    pre = std::min(pre, previous.size());
    post = std::min(post, previous.size());
    if (pre == 0 && post == 0) {
      // Read in place in the mapped file; a value is text and ends at a byte 0.
      std::size_t length = 0;
      while (length < middle_length && middle[length] != 0) ++length;
      value = std::string_view(middle, length);
    } else {
      extra = pre + middle_length + post;
      if (!budget_->spend(extra)) {
        s_.damaged = true;
        return false;
      }
      char* out = s_.arena.allocate(extra);
      // pre + post > 0, so `previous` is not empty.
      std::memcpy(out, previous.data(), pre);
      if (middle_length > 0) std::memcpy(out + pre, middle, middle_length);
      std::memcpy(out + pre + middle_length, previous.data() + previous.size() - post, post);
      value = FieldText(out, extra);
    }
  }
  if (!budget_->spend(kRunCost)) {
    s_.damaged = true;
    return false;
  }
  const uint64_t end = (s_.runEnds.empty() ? 0 : s_.runEnds.back()) + uint64_t{count_minus_one} + 1;
  s_.values.push_back(value);
  s_.runEnds.push_back(end);
  s_.cursor = after;
  return true;
}

bool stringTable::entry(uint64_t k, std::string_view* value) {
  if (k >= entryCount() || !ensure(k + 1)) return false;
  // Most callers walk the entries in order: try the last run and the next one
  // before searching.
  std::size_t run = s_.lastRun;
  if (run >= s_.runEnds.size()) run = 0;
  const auto covers = [this](std::size_t i, uint64_t e) {
    return e < s_.runEnds[i] && (i == 0 || e >= s_.runEnds[i - 1]);
  };
  if (!covers(run, k)) {
    if (run + 1 < s_.runEnds.size() && covers(run + 1, k)) {
      ++run;
    } else {
      run = static_cast<std::size_t>(std::upper_bound(s_.runEnds.begin(), s_.runEnds.end(), k) - s_.runEnds.begin());
    }
  }
  s_.lastRun = run;
  *value = s_.values[run];
  return true;
}

bool stringTable::getRow(char* record, uint32_t row) {
  std::string_view value;
  if (!entry(row, &value)) return false;
  const ColumnSpec& s = spec();
  PutText(record + s.offset, static_cast<std::size_t>(s.length), value, ' ');
  return true;
}

bool prefixPart::getRow(char* record, uint32_t row) {
  std::string_view low;
  std::string_view high;
  if (!entry(uint64_t{row} * 2, &low) || !entry(uint64_t{row} * 2 + 1, &high)) return false;
  const ColumnSpec& s = spec();
  PutField(record + s.offset, static_cast<std::size_t>(s.length), trimmed(low), '\0');
  PutField(record + s.highOffset, static_cast<std::size_t>(s.highLength), trimmed(high), '\0');
  return true;
}

namespace {
// The field's current text + the postfix; when that is longer than the field
// the rightmost characters are kept. Padded with blanks.
void AppendPostfix(char* field, std::size_t length, std::string_view postfix) {
  std::string text(FieldText(field, length));
  text.append(postfix);
  if (text.size() > length) text.erase(0, text.size() - length);
  PutField(field, length, text, ' ');
}
}  // namespace

bool postfixPart::getRow(char* record, uint32_t row) {
  std::string_view low;
  std::string_view high;
  if (!entry(uint64_t{row} * 2, &low) || !entry(uint64_t{row} * 2 + 1, &high)) return false;
  const ColumnSpec& s = spec();
  AppendPostfix(record + s.offset, static_cast<std::size_t>(s.length), trimmed(low));
  AppendPostfix(record + s.highOffset, static_cast<std::size_t>(s.highLength), trimmed(high));
  return true;
}

}  // namespace corvdb
