// Reading and checking the USPS product files a zip.cvd is built from:
// ZIP+4 detail records (182 bytes), City-State records (129 bytes) and the
// street suffix list (CSV).
//
// Product files hold fixed-length records, either back to back or each
// followed by LF or CR LF. The framing is taken from the first record of each
// file and must hold for every record of that file; the last record may lack
// its line end. Line ends and blanks after the last record are ignored (an
// editor's extra line end, a padded tape file). Records whose copyright detail code (byte 0) is "C" are
// headers and are skipped. Every other record must consist of bytes
// 0x20..0x7F: the column store cannot hold control characters or bytes of
// 0x80 and more.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "layout.h"

namespace corvdb::builder {

// A product file: on disk (`path`) or in memory (`memory`, when not null).
// `name` is the file's name in messages.
struct ProductSource {
  std::string name;
  std::string path;
  const std::string* memory = nullptr;
};

// Reads the records of one product file in order.
class ProductFileReader {
 public:
  ProductFileReader() = default;
  ~ProductFileReader();
  ProductFileReader(const ProductFileReader&) = delete;
  ProductFileReader& operator=(const ProductFileReader&) = delete;

  // Opens the file and works out its framing. `record_size` is 182 or 129.
  bool Open(const ProductSource& source, int record_size, std::string* error);
  // 1: *record points at the next record (valid until the next call);
  // 0: no more records; -1: *error says what is wrong (file and record).
  int Next(const char** record, std::string* error);

  // 1-based number of the record last returned (headers count).
  uint64_t record_number() const { return record_number_; }
  const std::string& name() const { return name_; }
  uint64_t size() const { return size_; }
  uint64_t bytes_read() const { return consumed_; }
  int stride() const { return stride_; }

 private:
  bool Fill(std::string* error);
  // True when every byte from the next record to the end of the file is a
  // blank, CR or LF; false also when the rest cannot be read.
  bool RestIsBlank();

  std::string name_;
  int fd_ = -1;
  const std::string* memory_ = nullptr;
  int record_size_ = 0;
  int stride_ = 0;  // record size plus its line end
  uint64_t size_ = 0;
  uint64_t consumed_ = 0;  // bytes handed out as records
  uint64_t record_number_ = 0;
  std::string buffer_;
  size_t pos_ = 0;  // next record in buffer_
};

// "NAME: record N: what".
std::string RecordError(const std::string& name, uint64_t record, const std::string& what);

// Index of the first byte outside 0x20..0x7F, or -1.
int FindBadByte(const char* p, int n);
// "byte 0x0A at position 17 (field ...)" for messages.
std::string DescribeBadByte(const char* record, int position, bool zip4);

// Input that loads but makes no sense: how many records of one kind, and
// where the first of them is ("FILE: record N").
struct Oddity {
  uint64_t count = 0;
  std::string first;
  void Note(const std::string& where) {
    if (count++ == 0) first = where;
  }
};

// The City-State records, found by City-State key (record offset 6, 6 bytes).
// One key may occur in several records (one per ZIP code it serves); a lookup
// prefers the record of the requesting ZIP code (record offset 1, 5 bytes)
// and otherwise takes the first record of the key in input order.
class CityStateTable {
 public:
  // Adds the records of one file; copyright headers are skipped.
  bool Load(const ProductSource& source, std::string* error);
  // Adds one record (129 bytes, checked by the caller).
  void Add(const char* record);
  const char* Find(std::string_view key, std::string_view zip) const;
  size_t size() const { return records_.size() / kCityStateSize; }
  // Record i (0 <= i < size()) in input order.
  const char* record(size_t i) const { return records_.data() + i * kCityStateSize; }

  // Met while loading: a key listed again with another city-state name
  // (record offset 13, 28 bytes), and a record equal to an earlier one.
  const Oddity& renamedKeys() const { return renamed_keys_; }
  const Oddity& repeatedRecords() const { return repeated_records_; }

 private:
  Oddity renamed_keys_;
  Oddity repeated_records_;
  std::string records_;
  std::unordered_map<std::string, uint32_t> by_key_;
  std::unordered_map<std::string, uint32_t> by_key_and_zip_;
};

// Checks one ZIP+4 detail record: text bytes, a ZIP code of 5 digits, update
// key digits of 9 digits, number fields the pair columns can hold, and the
// City-State records of its preferred last line and urbanization keys (a
// blank key needs none). Returns false with *what describing the problem.
bool CheckZip4Record(const char* record, const CityStateTable& city_states, std::string* what);

// Fields of a checked ZIP+4 record that load but make no sense.
enum class Zip4Oddity {
  kNone,
  kRecordType,     // record type code not one of G H F S P R M
  kOddEven,        // an odd/even code not O, E or B (blank only with an empty range)
  kBackwardRange,  // a numeric primary range whose low is above its high
};
Zip4Oddity FindZip4Oddity(const char* record);

// The ZIP code (record offset 1) as a number; the record must be checked.
inline uint32_t ZipOf(const char* record) {
  uint32_t z = 0;
  for (int i = 1; i <= 5; ++i) z = z * 10 + static_cast<uint32_t>(record[i] - '0');
  return z;
}

// The suffix table text from the suffix list: a CSV of "name,abbreviation"
// lines (a header line "name,abbreviation" is skipped). Every name and every
// abbreviation becomes an entry "!NAME$ABBR", upper-cased, abbreviations
// mapping to themselves unless listed otherwise; the text ends with "!".
// A name listed twice with different abbreviations, an empty field, or a
// character other than 0x21..0x7E (or one of "!$") is an error
// "NAME: line N: what".
bool BuildSuffixTable(std::string_view csv, const std::string& name, std::string* table,
                      std::string* error);

}  // namespace corvdb::builder
