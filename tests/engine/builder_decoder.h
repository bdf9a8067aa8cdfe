// A small reader of zip.cvd for the writer's tests. It decodes the bytes the
// way the engine reads them (ZIP directory by substring search, runs and
// back references, numeric codes, row assembly in descending column order,
// key index walks) without sharing code with the writer, so that a writer
// bug cannot hide behind the same bug in the check. Every read is bounds
// checked; a malformed file makes the calls return false.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "coding.h"
#include "layout.h"

namespace corvdb::builder_test {

class CvdDecoder {
 public:
  struct Column {
    std::vector<std::string> values;  // text columns: one value per run
    std::vector<uint32_t> runs;       // text columns: run lengths
    std::vector<int32_t> numbers;     // numeric columns
    uint32_t data_offset = 0;         // from the end of the block header
  };

  bool Open(std::string bytes, std::string* error) {
    data_ = std::move(bytes);
    if (data_.size() < 8) return Fail("file too small", error);
    h_ = Fixed(0);
    if (h_ < 8 || h_ + 8 > data_.size()) return Fail("H out of range", error);
    const uint32_t t = Fixed(h_);
    tables_ = h_ + t;
    if (t < 9 || tables_ + 4 > data_.size()) return Fail("T out of range", error);
    directory_begin_ = h_ + 8;
    // Directory entries: 5 digits, mode-2 block offset; then a byte 0.
    uint32_t p = directory_begin_;
    while (p < tables_ && data_[p] != '\0') {
      if (p + 5 >= tables_) return Fail("directory entry cut short", error);
      const std::string zip = data_.substr(p, 5);
      uint32_t offset = 0;
      const uint8_t* next = GetVarMode2(U(p + 5), U(tables_), &offset);
      if (next == nullptr) return Fail("directory offset not terminated", error);
      directory.emplace_back(zip, offset);
      p = static_cast<uint32_t>(next - U(0));
    }
    if (p >= tables_) return Fail("directory without its byte 0", error);
    directory_end_ = p;
    const uint32_t u = Fixed(tables_);
    if (u < 5 || tables_ + u > data_.size()) return Fail("U out of range", error);
    const size_t nul = data_.find('\0', tables_ + 4);
    if (nul == std::string::npos || nul >= tables_ + u) return Fail("suffix table not terminated", error);
    suffix_table = data_.substr(tables_ + 4, nul - tables_ - 4);
    // Index areas in column-list order.
    uint32_t a = tables_ + u;
    for (int column : kIndexedColumnsInFileOrder) {
      Index index;
      index.k = kColumns[static_cast<size_t>(column)].firstLevelK;
      if (index.k > 0 && !TakeArea(&a, &index.first_begin, &index.first_end)) {
        return Fail("first-level area out of range", error);
      }
      if (!TakeArea(&a, &index.main_begin, &index.main_end)) return Fail("main area out of range", error);
      indexes_[column] = index;
    }
    if (a != data_.size()) return Fail("bytes after the index areas", error);
    return true;
  }

  // Finds the ZIP code by a substring search over the directory text.
  bool LoadBlock(const std::string& zip, std::string* error) {
    const std::string text = data_.substr(directory_begin_, directory_end_ - directory_begin_);
    const size_t at = text.find(zip);
    if (zip.empty() || at == std::string::npos) return Fail("ZIP code not in the directory", error);
    uint32_t offset = 0;
    if (GetVarMode2(U(directory_begin_ + static_cast<uint32_t>(at + zip.size())), U(directory_end_ + 1), &offset) ==
        nullptr) {
      return Fail("bad directory offset", error);
    }
    if (offset + kBlockHeaderSize > data_.size()) return Fail("block out of range", error);
    block_offset_ = offset;
    block_length_ = Fixed(offset);
    rows = Fixed(offset + 4);
    const uint32_t base = offset + kBlockHeaderSize;
    const uint32_t end = offset + block_length_;
    if (end > data_.size() || block_length_ < kBlockHeaderSize) return Fail("block length out of range", error);
    for (int c = kColumnCount - 1; c >= 0; --c) {
      Column& col = columns[c];
      col = Column();
      col.data_offset = Fixed(offset + 8 + 4 * static_cast<uint32_t>(c));
      const ColumnSpec& spec = kColumns[static_cast<size_t>(c)];
      const uint32_t count = IsPair(spec.cls) ? 2 * rows : rows;
      if (base + col.data_offset >= end) return Fail(std::string(spec.name) + ": data out of range", error);
      const bool ok = IsNumeric(spec.cls) ? DecodeNumbers(base + col.data_offset, end, count, &col)
                                          : DecodeText(base + col.data_offset, end, count, &col);
      if (!ok) return Fail(std::string(spec.name) + ": bad column data", error);
    }
    return true;
  }

  // Entry k of a text column: the value of the run that holds it.
  const std::string* Entry(int column, uint32_t k) const {
    const Column& col = columns[column];
    uint32_t total = 0;
    for (size_t i = 0; i < col.runs.size(); ++i) {
      total += col.runs[i];
      if (k < total) return &col.values[i];
    }
    return nullptr;
  }

  // The 440-byte record buffer of `row`, written column by column from 36 down to 0.
  bool GetRow(uint32_t row, std::string* buffer) {
    if (row >= rows) return false;
    std::string buf(kRecordBufferSize + 16, '\0');
    for (int c = kColumnCount - 1; c >= 0; --c) {
      const ColumnSpec& spec = kColumns[static_cast<size_t>(c)];
      switch (spec.cls) {
        case ColumnClass::kStringTable: {
          const std::string* v = Entry(c, row);
          if (v == nullptr) return false;
          Put(&buf, spec.offset, spec.length, *v, ' ');
          break;
        }
        case ColumnClass::kPrefixPart:
          for (int side = 0; side < 2; ++side) {
            const std::string* v = Entry(c, 2 * row + static_cast<uint32_t>(side));
            if (v == nullptr) return false;
            Put(&buf, side ? spec.highOffset : spec.offset, side ? spec.highLength : spec.length, Trim(*v), '\0');
          }
          break;
        case ColumnClass::kNumberPart:
          for (int side = 0; side < 2; ++side) {
            const int off = side ? spec.highOffset : spec.offset;
            const int len = side ? spec.highLength : spec.length;
            const size_t k = 2 * row + static_cast<size_t>(side);
            if (k >= columns[c].numbers.size()) return false;
            std::string text = Current(buf, off, len);
            const std::string number = Format(spec, columns[c].numbers[k]);
            if (number != "0") text += number;
            Put(&buf, off, len, text, '\0');
          }
          break;
        case ColumnClass::kPostfixPart:
          for (int side = 0; side < 2; ++side) {
            const int off = side ? spec.highOffset : spec.offset;
            const int len = side ? spec.highLength : spec.length;
            const std::string* v = Entry(c, 2 * row + static_cast<uint32_t>(side));
            if (v == nullptr) return false;
            std::string text = Current(buf, off, len) + Trim(*v);
            if (text.size() > static_cast<size_t>(len)) text.erase(0, text.size() - static_cast<size_t>(len));
            Put(&buf, off, len, text, ' ');
          }
          break;
        case ColumnClass::kNumberTable: {
          if (row >= columns[c].numbers.size()) return false;
          const std::string number = Format(spec, columns[c].numbers[row]);
          std::memcpy(&buf[static_cast<size_t>(spec.offset)], number.data(), number.size());
          buf[static_cast<size_t>(spec.offset) + number.size()] = '\0';
          break;
        }
      }
    }
    buffer->assign(buf.data(), kRecordBufferSize);
    return true;
  }

  // The index lookup: first-level list (K > 0), then a walk of the main list.
  std::set<uint32_t> FindKey(int column, const std::string& key, bool exact) const {
    std::set<uint32_t> zips;
    const Index& index = indexes_.at(column);
    uint32_t p = index.main_begin;
    const size_t n = key.size();
    if (index.k > 0) {
      const size_t k = static_cast<size_t>(index.k);
      uint32_t entry = 0;
      bool found = false;
      if (n < k) {
        uint32_t q = index.first_begin;
        while (q < index.first_end && data_[q] != '\0') {
          const int cmp = data_.compare(q, n, key);
          uint32_t distance = 0;
          const uint8_t* next = GetVarMode2(U(q + static_cast<uint32_t>(k)), U(index.first_end), &distance);
          if (next == nullptr || cmp > 0) break;
          if (cmp == 0) {
            entry = q;
            found = true;
            break;
          }
          q = static_cast<uint32_t>(next - U(0));
        }
      } else {
        const std::string text = data_.substr(index.first_begin, index.first_end - index.first_begin);
        const size_t at = text.find(key.substr(0, k));
        if (at != std::string::npos) {
          entry = index.first_begin + static_cast<uint32_t>(at);
          found = true;
        }
      }
      if (!found) return zips;
      uint32_t distance = 0;
      if (GetVarMode2(U(entry + static_cast<uint32_t>(k)), U(index.first_end), &distance) == nullptr) return zips;
      p = index.main_begin + distance;
    }
    while (p < index.main_end && data_[p] != '\0') {
      uint32_t q = p;
      while (q < index.main_end && static_cast<uint8_t>(data_[q]) < 0x80 && data_[q] != '\0') ++q;
      std::string entry = data_.substr(p, q - p);
      if (!exact) entry = entry.substr(0, n);
      const int cmp = entry.compare(key);
      if (cmp > 0) break;
      uint32_t zip = 0;
      const uint8_t* next = GetVarMode2(U(q), U(index.main_end), &zip);
      if (next == nullptr) break;
      if (cmp == 0) zips.insert(zip);
      p = static_cast<uint32_t>(next - U(0));
    }
    return zips;
  }

  // Every (key, ZIP code) entry of a main list, and every first-level entry.
  std::vector<std::pair<std::string, uint32_t>> MainEntries(int column) const {
    const Index& index = indexes_.at(column);
    return Entries(index.main_begin, index.main_end, 0);
  }
  std::vector<std::pair<std::string, uint32_t>> FirstLevelEntries(int column) const {
    const Index& index = indexes_.at(column);
    return Entries(index.first_begin, index.first_end, static_cast<size_t>(index.k));
  }
  // Offset of a main entry from the start of the main entries, by entry number.
  uint32_t MainEntryOffset(int column, size_t n) const {
    const Index& index = indexes_.at(column);
    uint32_t p = index.main_begin;
    for (size_t i = 0; i < n; ++i) {
      while (static_cast<uint8_t>(data_[p]) < 0x80) ++p;
      while (static_cast<uint8_t>(data_[p]) >= 0x80) ++p;
    }
    return p - index.main_begin;
  }
  // The byte before the end of each area (must be 0).
  std::vector<char> AreaLastBytes() const {
    std::vector<char> out;
    for (const auto& [column, index] : indexes_) {
      if (index.k > 0) out.push_back(data_[index.first_end - 1]);
      out.push_back(data_[index.main_end - 1]);
    }
    return out;
  }

  // Decodes one column's data on its own (`bytes` = the column data).
  static bool DecodeTextData(const std::string& bytes, uint32_t count, Column* col) {
    CvdDecoder d;
    d.data_ = bytes;
    return d.DecodeText(0, static_cast<uint32_t>(bytes.size()), count, col);
  }
  static bool DecodeNumberData(const std::string& bytes, uint32_t count, Column* col) {
    CvdDecoder d;
    d.data_ = bytes;
    return d.DecodeNumbers(0, static_cast<uint32_t>(bytes.size()), count, col);
  }

  uint32_t block_offset() const { return block_offset_; }
  uint32_t block_length() const { return block_length_; }
  uint32_t h() const { return h_; }
  uint32_t tables() const { return tables_; }
  const std::string& bytes() const { return data_; }

  std::vector<std::pair<std::string, uint32_t>> directory;
  std::string suffix_table;
  uint32_t rows = 0;
  Column columns[kColumnCount];

 private:
  struct Index {
    int k = 0;
    uint32_t first_begin = 0, first_end = 0, main_begin = 0, main_end = 0;
  };

  static bool Fail(const std::string& what, std::string* error) {
    *error = what;
    return false;
  }
  const uint8_t* U(uint32_t offset) const { return reinterpret_cast<const uint8_t*>(data_.data()) + offset; }
  uint32_t Fixed(uint32_t offset) const { return offset + 4 <= data_.size() ? DecodeFixed32(U(offset)) : 0; }

  bool TakeArea(uint32_t* at, uint32_t* begin, uint32_t* end) const {
    const uint32_t length = Fixed(*at);
    if (length < 5 || *at + static_cast<uint64_t>(length) > data_.size()) return false;
    *begin = *at + 4;
    *end = *at + length;
    *at += length;
    return true;
  }

  std::vector<std::pair<std::string, uint32_t>> Entries(uint32_t p, uint32_t end, size_t k) const {
    std::vector<std::pair<std::string, uint32_t>> out;
    while (p < end && data_[p] != '\0') {
      uint32_t q = p;
      if (k > 0) {
        q = p + static_cast<uint32_t>(k);
      } else {
        while (q < end && static_cast<uint8_t>(data_[q]) < 0x80) ++q;
      }
      uint32_t v = 0;
      const uint8_t* next = GetVarMode2(U(q), U(end), &v);
      if (next == nullptr) break;
      out.emplace_back(data_.substr(p, q - p), v);
      p = static_cast<uint32_t>(next - U(0));
    }
    return out;
  }

  bool DecodeText(uint32_t p, uint32_t end, uint32_t count, Column* col) const {
    uint32_t total = 0;
    std::string previous;
    while (total < count) {
      uint32_t q = p;
      while (q < end && static_cast<uint8_t>(data_[q]) < 0x80) ++q;
      if (q >= end) return false;
      const std::string bytes = data_.substr(p, q - p);
      std::string value;
      if (bytes.size() == 1 && bytes[0] == 0) {
        value.clear();
      } else if (bytes.size() == 1 && bytes[0] <= 31) {
        const size_t c = static_cast<size_t>(bytes[0]);
        if (c > col->values.size()) return false;
        value = col->values[col->values.size() - c];
      } else if (bytes.size() == 1) {
        value = bytes;
      } else {
        std::string middle = bytes;
        size_t pre = 0, post = 0;
        if (!middle.empty() && static_cast<uint8_t>(middle.front()) < 32) {
          pre = static_cast<uint8_t>(middle.front());
          middle.erase(0, 1);
        }
        if (!middle.empty() && middle.back() >= 1 && middle.back() <= 31) {
          post = static_cast<uint8_t>(middle.back());
          middle.pop_back();
        }
        if (pre > previous.size() || post > previous.size()) return false;
        value = previous.substr(0, pre) + middle + previous.substr(previous.size() - post);
      }
      uint32_t n = 0;
      const uint8_t* next = GetVarMode2(U(q), U(end), &n);
      if (next == nullptr) return false;
      col->values.push_back(value);
      col->runs.push_back(n + 1);
      total += n + 1;
      previous = value;
      p = static_cast<uint32_t>(next - U(0));
    }
    return true;
  }

  bool DecodeNumbers(uint32_t p, uint32_t end, uint32_t count, Column* col) const {
    p += 4;
    uint32_t v = 0, d = 0;
    while (col->numbers.size() < count) {
      uint32_t c = 0;
      const uint8_t* next = GetVarMode0(U(p), U(end), &c);
      if (next == nullptr) return false;
      p = static_cast<uint32_t>(next - U(0));
      const uint32_t g = c / 4;
      switch (c % 4) {
        case 0:
          d = g;
          v += g;
          col->numbers.push_back(static_cast<int32_t>(v));
          break;
        case 1:
          d = 0u - g;
          v -= g;
          col->numbers.push_back(static_cast<int32_t>(v));
          break;
        case 2:
          d = g % 2;
          for (uint32_t i = 0; i < g / 2 + 1; ++i) {
            v += d;
            col->numbers.push_back(static_cast<int32_t>(v));
          }
          break;
        default:
          for (uint32_t i = 0; i < g; ++i) {
            v += d;
            col->numbers.push_back(static_cast<int32_t>(v));
          }
          break;
      }
    }
    return true;
  }

  static std::string Trim(const std::string& s) {
    const size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
  }
  // The field's text up to its first byte 0.
  static std::string Current(const std::string& buf, int off, int len) {
    std::string s = buf.substr(static_cast<size_t>(off), static_cast<size_t>(len));
    return s.substr(0, s.find('\0'));
  }
  static void Put(std::string* buf, int off, int len, const std::string& text, char pad) {
    for (int i = 0; i < len; ++i) {
      (*buf)[static_cast<size_t>(off + i)] = i < static_cast<int>(text.size()) ? text[static_cast<size_t>(i)] : pad;
    }
  }
  static std::string Format(const ColumnSpec& spec, int32_t n) {
    char b[32];
    if (spec.format == NumberFormat::kZeroPadded) {
      std::snprintf(b, sizeof b, "%0*ld", spec.width, static_cast<long>(n));
    } else {
      std::snprintf(b, sizeof b, "%ld", static_cast<long>(n));
    }
    return b;
  }

  std::string data_;
  uint32_t h_ = 0, tables_ = 0, directory_begin_ = 0, directory_end_ = 0;
  uint32_t block_offset_ = 0, block_length_ = 0;
  std::map<int, Index> indexes_;
};

}  // namespace corvdb::builder_test
