// A small zip.cvd writer for the reader's tests: rows in, file bytes out, with
// hooks to put handcrafted bytes where a test needs them (a column's data, a
// block's row count, the index areas). It encodes every text value literally
// (one run per change of value) and every number as a tag-0/1 delta, which is
// enough to exercise the reader without depending on the real writer.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "coding.h"
#include "layout.h"
#include "read_zip_file.h"
#include "str_util.h"
#include "test_support.h"

namespace corvdb::testfile {

// The three parts of a low or high number field as the pair columns store them.
struct NumberParts3 {
  std::string prefix;
  int32_t number = 0;
  std::string postfix;
};

// One row: the 440-byte record buffer it must decode to, and the parts of its
// three number fields (low, high).
struct Row {
  std::string record = std::string(kRecordBufferSize, ' ');
  NumberParts3 primary[2];
  NumberParts3 secondary[2];
  NumberParts3 addOn[2];

  void put(int offset, std::string_view text, int length) {
    std::string field(text.substr(0, static_cast<std::size_t>(length)));
    field.resize(static_cast<std::size_t>(length), ' ');
    record.replace(static_cast<std::size_t>(offset), static_cast<std::size_t>(length), field);
  }
  std::string field(int offset, int length) const {
    return record.substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(length));
  }
};

inline NumberParts3 Split(std::string_view text) {
  const NumberParts p = strUtil::splitNumber(text);
  return {p.prefix, static_cast<int32_t>(p.value), p.postfix};
}

// Readable row fields; MakeRow turns them into a Row.
struct Fields {
  std::string zip = "12345";
  std::string addOnLow = "1234";
  std::string addOnHigh = "1234";
  std::string recordType = "S";
  std::string preDirection;
  std::string street = "MAIN";
  std::string suffix = "ST";
  std::string postDirection;
  std::string primaryLow = "100";
  std::string primaryHigh = "198";
  std::string primaryOddEven = "E";
  std::string firm;
  std::string unitAbbrev;
  std::string unitLow;
  std::string unitHigh;
  std::string unitOddEven;
  std::string state = "CA";
  std::string city = "SPRINGFIELD";
  std::string county = "LAKE";
  std::string urbanization;
  uint32_t updateKey = 1;
};

inline Row MakeRow(const Fields& f) {
  Row r;
  r.put(0, "D", 1);
  r.put(1, f.zip, 5);
  r.put(6, "A", 1);
  char key[16];
  std::snprintf(key, sizeof key, "%09u", f.updateKey);
  r.put(7, key, 9);
  r.put(16, "A", 1);
  r.put(17, f.recordType, 1);
  r.put(18, "C001", 4);
  r.put(22, f.preDirection, 2);
  r.put(24, f.street, 28);
  r.put(52, f.suffix, 4);
  r.put(56, f.postDirection, 2);
  r.put(58, f.primaryLow, 10);
  r.put(68, f.primaryHigh, 10);
  r.put(78, f.primaryOddEven, 1);
  r.put(79, f.firm, 40);
  r.put(119, f.unitAbbrev, 4);
  r.put(123, f.unitLow, 8);
  r.put(131, f.unitHigh, 8);
  r.put(139, f.unitOddEven, 1);
  r.put(140, f.addOnLow, 4);
  r.put(144, f.addOnHigh, 4);
  r.put(148, "B", 1);
  r.put(149, " ", 1);
  r.put(150, " ", 1);
  r.put(151, "123456", 6);
  r.put(157, f.state, 2);
  r.put(159, "001", 3);
  r.put(162, "01", 2);
  r.put(164, "C00001", 6);
  r.put(170, f.urbanization.empty() ? "" : "U00001", 6);
  r.put(176, "C00001", 6);
  // City-State record of the last line.
  r.put(182, "2", 1);
  r.put(182 + 1, f.zip, 5);
  r.put(182 + 6, "C00001", 6);
  r.put(182 + 12, "D", 1);
  r.put(182 + 13, f.city, 28);
  r.put(182 + 62, f.city, 28);
  r.put(182 + 101, "001", 3);
  r.put(182 + 104, f.county, 25);
  if (!f.urbanization.empty()) {
    r.put(311, "2", 1);
    r.put(311 + 1, f.zip, 5);
    r.put(311 + 6, "U00001", 6);
    r.put(311 + 12, "U", 1);
    r.put(311 + 13, f.urbanization, 28);
  }
  r.primary[0] = Split(f.primaryLow);
  r.primary[1] = Split(f.primaryHigh);
  r.secondary[0] = Split(f.unitLow);
  r.secondary[1] = Split(f.unitHigh);
  r.addOn[0] = Split(f.addOnLow);
  r.addOn[1] = Split(f.addOnHigh);
  return r;
}

struct Block {
  std::string zip;
  std::vector<Row> rows;
  std::map<int, std::string> rawColumns;  // column index -> data used instead of the encoded one
  std::optional<uint32_t> rowCount;       // written instead of rows.size()
};

// Where things landed in the last built file.
struct Layout {
  uint32_t h = 0;
  uint32_t tables = 0;
  uint32_t indexes = 0;
  std::map<std::string, uint32_t> blockOffsets;
};

inline void PutRun(std::string* out, std::string_view value, uint32_t length) {
  if (value.empty()) {
    out->push_back('\0');
  } else {
    out->append(value);
  }
  PutVarMode2(out, length - 1);
}

inline std::string_view Trailing(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// Text entries of column `c` for the rows, in entry order.
inline std::vector<std::string> TextEntries(int c, const std::vector<Row>& rows) {
  const ColumnSpec& s = kColumns[static_cast<std::size_t>(c)];
  std::vector<std::string> out;
  for (const Row& r : rows) {
    if (IsPair(s.cls)) {
      const NumberParts3* parts = c == kPrimaryNumberPrefix || c == kPrimaryNumberPostfix ? r.primary
                                  : c == kSecondaryNumPrefix || c == kSecondaryNumPostfix ? r.secondary
                                                                                           : r.addOn;
      const bool prefix = s.cls == ColumnClass::kPrefixPart;
      out.push_back(prefix ? parts[0].prefix : parts[0].postfix);
      out.push_back(prefix ? parts[1].prefix : parts[1].postfix);
    } else {
      out.emplace_back(Trailing(r.field(s.offset, s.length)));
    }
  }
  return out;
}

inline std::vector<int32_t> NumberEntries(int c, const std::vector<Row>& rows) {
  std::vector<int32_t> out;
  for (const Row& r : rows) {
    if (c == kUpdateKeyNoNumeric) {
      out.push_back(static_cast<int32_t>(std::stol(r.field(7, 9))));
    } else {
      const NumberParts3* parts = c == kPrimaryNumber ? r.primary : c == kSecondaryNum ? r.secondary : r.addOn;
      out.push_back(parts[0].number);
      out.push_back(parts[1].number);
    }
  }
  return out;
}

inline std::string EncodeText(const std::vector<std::string>& entries) {
  std::string out;
  for (std::size_t i = 0; i < entries.size();) {
    std::size_t j = i + 1;
    while (j < entries.size() && entries[j] == entries[i]) ++j;
    PutRun(&out, entries[i], static_cast<uint32_t>(j - i));
    i = j;
  }
  out.push_back('\0');
  return out;
}

inline std::string EncodeNumbers(const std::vector<int32_t>& entries) {
  std::string out(4, '\0');
  int64_t previous = 0;
  for (int32_t v : entries) {
    const int64_t delta = v - previous;
    PutVarMode0(&out, static_cast<uint32_t>(delta >= 0 ? delta * 4 : -delta * 4 + 1));
    previous = v;
  }
  out.push_back('\0');
  return out;
}

// Columns given as raw data go after the encoded ones, so that a test's
// handcrafted data ends the block (and, in the last block, the blocks).
inline std::string EncodeBlock(const Block& b) {
  std::string data;
  uint32_t offsets[kColumnCount];
  for (int c = 0; c < kColumnCount; ++c) {
    if (b.rawColumns.count(c)) continue;
    offsets[c] = static_cast<uint32_t>(data.size());
    if (IsNumeric(kColumns[static_cast<std::size_t>(c)].cls)) {
      data += EncodeNumbers(NumberEntries(c, b.rows));
    } else {
      data += EncodeText(TextEntries(c, b.rows));
    }
  }
  for (const auto& [c, raw] : b.rawColumns) {
    offsets[c] = static_cast<uint32_t>(data.size());
    data += raw;
  }
  std::string out;
  PutFixed32(&out, static_cast<uint32_t>(kBlockHeaderSize + data.size()));
  PutFixed32(&out, b.rowCount.value_or(static_cast<uint32_t>(b.rows.size())));
  for (uint32_t o : offsets) PutFixed32(&out, o);
  return out + data;
}

// The six index areas of an empty index: a length word and the closing 0x00.
inline std::string EmptyIndexAreas() {
  std::string out;
  for (int i = 0; i < 6; ++i) {
    PutFixed32(&out, 5);
    out.push_back('\0');
  }
  return out;
}

struct Options {
  std::string suffixes = "!AVENUE$AVE!AVE$AVE!STREET$ST!ST$ST!";
  std::optional<std::string> indexAreas;  // instead of six empty areas
  std::optional<std::string> directory;   // instead of the entries and their 0x00
};

inline std::string BuildFile(const std::vector<Block>& blocks, Layout* layout = nullptr,
                             const Options& options = {}) {
  Layout l;
  std::string file(4, '\0');
  std::string directory;
  for (const Block& b : blocks) {
    l.blockOffsets[b.zip] = static_cast<uint32_t>(file.size());
    directory += b.zip;
    PutVarMode2(&directory, static_cast<uint32_t>(file.size()));
    file += EncodeBlock(b);
  }
  directory.push_back('\0');
  if (options.directory) directory = *options.directory;
  l.h = static_cast<uint32_t>(file.size() + 4);
  PutFixed32(&file, 0);  // reserved, H - 4
  l.tables = l.h + 8 + static_cast<uint32_t>(directory.size());
  PutFixed32(&file, l.tables - l.h);
  PutFixed32(&file, 0);  // reserved, H + 4
  file += directory;
  l.indexes = l.tables + 4 + static_cast<uint32_t>(options.suffixes.size()) + 1;
  PutFixed32(&file, l.indexes - l.tables);
  file += options.suffixes;
  file.push_back('\0');
  file += options.indexAreas.value_or(EmptyIndexAreas());
  EncodeFixed32(reinterpret_cast<uint8_t*>(file.data()), l.h);
  if (layout != nullptr) *layout = l;
  return file;
}

// A block of `count` rows of ZIP code `zip`, add-ons 0000, 0001, ... each
// covering one add-on.
inline Block SimpleBlock(const std::string& zip, int count) {
  Block b{zip, {}, {}, {}};
  for (int i = 0; i < count; ++i) {
    Fields f;
    f.zip = zip;
    char addOn[8];
    std::snprintf(addOn, sizeof addOn, "%04d", i % 10000);
    f.addOnLow = f.addOnHigh = addOn;
    f.street = i % 3 == 0 ? "MAIN" : i % 3 == 1 ? "OAK" : "ELM";
    f.primaryLow = std::to_string(100 + 2 * i);
    f.primaryHigh = std::to_string(100 + 2 * i);
    f.updateKey = static_cast<uint32_t>(1000 + i);
    b.rows.push_back(MakeRow(f));
  }
  return b;
}

// Writes `bytes` as zip.cvd in `dir` and opens it with `engine`.
inline int32_t OpenBytes(ReadZipFile& engine, const corvellan::test::TempDir& dir, const std::string& bytes) {
  corvellan::test::WriteFile(dir.file("zip.cvd"), bytes);
  return engine.openPath(dir.file("zip.cvd"));
}

// An output address record carrying a ZIP code and add-on, as a caller passes it.
inline std::string Request(std::string_view zip, std::string_view addOn) {
  std::string record(250, '\0');
  record.replace(233, zip.size(), zip);
  record.replace(238, addOn.size(), addOn);
  return record;
}

}  // namespace corvdb::testfile
