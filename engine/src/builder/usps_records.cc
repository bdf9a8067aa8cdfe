#include "builder/usps_records.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

#include "builder/column_encoders.h"

namespace corvdb::builder {

namespace {

constexpr size_t kReadChunk = 4 << 20;

std::string ErrnoText() { return std::strerror(errno); }

bool IsBlank(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c == ' '; });
}

// The ZIP+4 field that holds byte `position`, by its column name.
const char* Zip4FieldName(int position) {
  for (const ColumnSpec& c : kColumns) {
    if (c.offset >= kZip4Size) continue;
    if (position >= c.offset && position < c.offset + c.length) return c.name;
    if (IsPair(c.cls) && position >= c.highOffset && position < c.highOffset + c.highLength) {
      return c.name;
    }
  }
  return "?";
}

struct NumberField {
  const char* what;
  int column;  // the numberPart column, for its format
  int offset;
  int length;
};
constexpr NumberField kNumberFields[] = {
    {"primary number low", kPrimaryNumber, 58, 10},
    {"primary number high", kPrimaryNumber, 68, 10},
    {"secondary number low", kSecondaryNum, 123, 8},
    {"secondary number high", kSecondaryNum, 131, 8},
    {"ZIP add-on low", kCorvdbOnNumber, 140, 4},
    {"ZIP add-on high", kCorvdbOnNumber, 144, 4},
};

}  // namespace

std::string RecordError(const std::string& name, uint64_t record, const std::string& what) {
  return name + ": record " + std::to_string(record) + ": " + what;
}

int FindBadByte(const char* p, int n) {
  for (int i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(p[i]);
    if (c < 0x20 || c >= 0x80) return i;
  }
  return -1;
}

std::string DescribeBadByte(const char* record, int position, bool zip4) {
  const unsigned char c = static_cast<unsigned char>(record[position]);
  char buf[160];
  if (c == '\n' || c == '\r') {
    std::snprintf(buf, sizeof buf,
                  "line end at position %d: every record of a file must be %d bytes long", position,
                  zip4 ? kZip4Size : kCityStateSize);
  } else if (zip4) {
    std::snprintf(buf, sizeof buf, "byte 0x%02X at position %d (%s): only ASCII text is allowed", c,
                  position, Zip4FieldName(position));
  } else {
    std::snprintf(buf, sizeof buf, "byte 0x%02X at position %d: only ASCII text is allowed", c,
                  position);
  }
  return buf;
}

// ---------------------------------------------------------------------------
// ProductFileReader

ProductFileReader::~ProductFileReader() {
  if (fd_ >= 0) close(fd_);
}

bool ProductFileReader::Open(const ProductSource& source, int record_size, std::string* error) {
  name_ = source.name.empty() ? source.path : source.name;
  record_size_ = record_size;
  memory_ = source.memory;
  std::string head;
  if (memory_ != nullptr) {
    size_ = memory_->size();
    head = memory_->substr(0, static_cast<size_t>(record_size) + 2);
  } else {
    fd_ = open(source.path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
      *error = name_ + ": cannot open: " + ErrnoText();
      return false;
    }
    struct stat st;
    if (fstat(fd_, &st) != 0) {
      *error = name_ + ": cannot read: " + ErrnoText();
      return false;
    }
    if (!S_ISREG(st.st_mode)) {
      *error = name_ + ": not a regular file";
      return false;
    }
    size_ = static_cast<uint64_t>(st.st_size);
    head.resize(std::min<uint64_t>(size_, static_cast<uint64_t>(record_size) + 2));
    if (!head.empty() && pread(fd_, head.data(), head.size(), 0) != static_cast<ssize_t>(head.size())) {
      *error = name_ + ": cannot read: " + ErrnoText();
      return false;
    }
#ifdef POSIX_FADV_SEQUENTIAL
    posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
  }
  const size_t r = static_cast<size_t>(record_size);
  stride_ = record_size;
  if (head.size() > r && head[r] == '\n') {
    stride_ = record_size + 1;
  } else if (head.size() > r + 1 && head[r] == '\r' && head[r + 1] == '\n') {
    stride_ = record_size + 2;
  }
  return true;
}

bool ProductFileReader::Fill(std::string* error) {
  buffer_.erase(0, pos_);
  pos_ = 0;
  const size_t want = kReadChunk - kReadChunk % static_cast<size_t>(stride_) + static_cast<size_t>(stride_);
  size_t have = buffer_.size();
  buffer_.resize(want);
  while (have < want) {
    const ssize_t n = read(fd_, buffer_.data() + have, want - have);
    if (n < 0) {
      if (errno == EINTR) continue;
      *error = name_ + ": cannot read: " + ErrnoText();
      return false;
    }
    if (n == 0) break;
    have += static_cast<size_t>(n);
  }
  buffer_.resize(have);
  return true;
}

bool ProductFileReader::RestIsBlank() {
  const auto blank = [](const char* p, size_t n) {
    return std::all_of(p, p + n, [](char c) { return c == ' ' || c == '\n' || c == '\r'; });
  };
  if (memory_ != nullptr) return blank(memory_->data() + consumed_, static_cast<size_t>(size_ - consumed_));
  // What is buffered, then the rest of the file (read without disturbing the buffer).
  const size_t buffered = buffer_.size() - pos_;
  if (!blank(buffer_.data() + pos_, buffered)) return false;
  char chunk[65536];
  for (uint64_t offset = consumed_ + buffered; offset < size_;) {
    const ssize_t n = pread(fd_, chunk, static_cast<size_t>(std::min<uint64_t>(sizeof chunk, size_ - offset)),
                            static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    if (!blank(chunk, static_cast<size_t>(n))) return false;
    offset += static_cast<uint64_t>(n);
  }
  return true;
}

int ProductFileReader::Next(const char** record, std::string* error) {
  if (consumed_ >= size_) return 0;
  const uint64_t remaining = size_ - consumed_;
  // Line ends and blanks after the last record end the file. A blank record
  // followed by real ones is read (and refused) as a record.
  const char* next = memory_ != nullptr ? memory_->data() + consumed_
                                        : (pos_ < buffer_.size() ? buffer_.data() + pos_ : nullptr);
  const bool looks_blank = next == nullptr || *next == ' ' || *next == '\n' || *next == '\r';
  if (looks_blank && RestIsBlank()) {
    consumed_ = size_;
    return 0;
  }
  ++record_number_;
  if (remaining < static_cast<uint64_t>(record_size_)) {
    *error = RecordError(name_, record_number_,
                         "incomplete record of " + std::to_string(remaining) + " bytes (a record has " +
                             std::to_string(record_size_) + ")");
    return -1;
  }
  const size_t take = static_cast<size_t>(std::min<uint64_t>(remaining, static_cast<uint64_t>(stride_)));
  const char* p = nullptr;
  if (memory_ != nullptr) {
    p = memory_->data() + consumed_;
  } else {
    if (buffer_.size() - pos_ < take && !Fill(error)) return -1;
    if (buffer_.size() - pos_ < take) {
      *error = name_ + ": the file shrank while it was read";
      return -1;
    }
    p = buffer_.data() + pos_;
    pos_ += take;
  }
  // The line end, where the file has them: the bytes present must be the
  // expected line end (the last record may lack it).
  static constexpr char kLf[] = "\n";
  static constexpr char kCrLf[] = "\r\n";
  const char* expected = stride_ == record_size_ + 1 ? kLf : kCrLf;
  for (size_t i = static_cast<size_t>(record_size_); i < take; ++i) {
    if (p[i] != expected[i - static_cast<size_t>(record_size_)]) {
      *error = RecordError(name_, record_number_,
                           "no line end after " + std::to_string(record_size_) +
                               " bytes: every record of a file must be " +
                               std::to_string(record_size_) + " bytes long, with the same line end");
      return -1;
    }
  }
  consumed_ += take;
  *record = p;
  return 1;
}

// ---------------------------------------------------------------------------
// City-State records

void CityStateTable::Add(const char* record) {
  const uint32_t index = static_cast<uint32_t>(size());
  records_.append(record, kCityStateSize);
  std::string key(record + 6, 6);
  by_key_.emplace(key, index);
  key.append(record + 1, 5);
  by_key_and_zip_.emplace(std::move(key), index);
}

bool CityStateTable::Load(const ProductSource& source, std::string* error) {
  ProductFileReader reader;
  if (!reader.Open(source, kCityStateSize, error)) return false;
  const char* record = nullptr;
  int rc;
  while ((rc = reader.Next(&record, error)) == 1) {
    if (record[0] == 'C') continue;
    const int bad = FindBadByte(record, kCityStateSize);
    if (bad >= 0) {
      *error = RecordError(reader.name(), reader.record_number(), DescribeBadByte(record, bad, false));
      return false;
    }
    const std::string where = reader.name() + ": record " + std::to_string(reader.record_number());
    if (const char* same_key = Find(std::string_view(record + 6, 6), std::string_view(record + 1, 5))) {
      if (std::memcmp(same_key, record, kCityStateSize) == 0) {
        repeated_records_.Note(where);
      } else if (std::memcmp(same_key + 13, record + 13, 28) != 0) {
        renamed_keys_.Note(where);
      }
    }
    Add(record);
  }
  return rc == 0;
}

const char* CityStateTable::Find(std::string_view key, std::string_view zip) const {
  std::string k(key);
  k.append(zip);
  auto it = by_key_and_zip_.find(k);
  if (it == by_key_and_zip_.end()) {
    k.resize(key.size());
    it = by_key_.find(k);
    if (it == by_key_.end()) return nullptr;
  }
  return records_.data() + static_cast<size_t>(it->second) * kCityStateSize;
}

// ---------------------------------------------------------------------------
// ZIP+4 detail records

bool CheckZip4Record(const char* record, const CityStateTable& city_states, std::string* what) {
  const int bad = FindBadByte(record, kZip4Size);
  if (bad >= 0) {
    *what = DescribeBadByte(record, bad, true);
    return false;
  }
  const std::string_view zip(record + 1, 5);
  if (!std::all_of(zip.begin(), zip.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    *what = "ZIP code \"" + std::string(zip) + "\" is not 5 digits";
    return false;
  }
  const std::string_view update_key(record + 7, 9);
  if (!std::all_of(update_key.begin(), update_key.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    *what = "update key number \"" + std::string(update_key) + "\" is not 9 digits";
    return false;
  }
  NumberFieldParts parts;
  for (const NumberField& f : kNumberFields) {
    const ColumnSpec& c = kColumns[static_cast<size_t>(f.column)];
    if (!SplitNumberField(std::string_view(record + f.offset, static_cast<size_t>(f.length)), c.format,
                          c.width, &parts)) {
      *what = std::string(f.what) + " \"" + std::string(record + f.offset, static_cast<size_t>(f.length)) +
              "\" cannot be stored (" +
              (f.column == kCorvdbOnNumber ? "an add-on may not end in blanks"
                                           : "blanks on both sides of the text") +
              ")";
      return false;
    }
  }
  struct KeyField {
    const char* what;
    int offset;
  };
  for (const KeyField& k : {KeyField{"preferred last line key", 176}, KeyField{"urbanization key", 170}}) {
    const std::string_view key(record + k.offset, 6);
    if (IsBlank(key)) continue;
    if (city_states.Find(key, zip) == nullptr) {
      *what = std::string(k.what) + " \"" + std::string(key) + "\" has no City-State record";
      return false;
    }
  }
  return true;
}

Zip4Oddity FindZip4Oddity(const char* record) {
  if (std::strchr("GHFSPRM", record[17]) == nullptr || record[17] == '\0') return Zip4Oddity::kRecordType;
  struct Range {
    int low, high, length, code;
  };
  for (const Range& r : {Range{58, 68, 10, 78}, Range{123, 131, 8, 139}}) {
    const char code = record[r.code];
    if (code == 'O' || code == 'E' || code == 'B') continue;
    const bool empty = IsBlank(std::string_view(record + r.low, static_cast<size_t>(r.length))) &&
                       IsBlank(std::string_view(record + r.high, static_cast<size_t>(r.length)));
    if (code != ' ' || !empty) return Zip4Oddity::kOddEven;
  }
  // Only plain numbers compare; "12A" and "12 1/2" have no order here.
  const auto number = [](const char* p, uint64_t* value) {
    std::string_view s(p, 10);
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    if (s.empty()) return false;
    *value = 0;
    for (char c : s) {
      if (c < '0' || c > '9') return false;
      *value = *value * 10 + static_cast<uint64_t>(c - '0');
    }
    return true;
  };
  uint64_t low = 0, high = 0;
  if (number(record + 58, &low) && number(record + 68, &high) && low > high) return Zip4Oddity::kBackwardRange;
  return Zip4Oddity::kNone;
}

// ---------------------------------------------------------------------------
// Suffix table

bool BuildSuffixTable(std::string_view csv, const std::string& name, std::string* table,
                      std::string* error) {
  std::vector<std::pair<std::string, std::string>> entries;
  std::map<std::string, std::string> abbreviation_of;
  size_t line_number = 0;
  auto clean = [](std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    if (s.size() >= 2 && s.front() == '"' && s.back() == '"') s = s.substr(1, s.size() - 2);
    std::string out(s);
    for (char& c : out) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
  };
  auto bad_word = [](const std::string& w) {
    if (w.empty()) return true;
    for (char c : w) {
      const unsigned char u = static_cast<unsigned char>(c);
      if (u <= 0x20 || u >= 0x7F || c == '!' || c == '$') return true;
    }
    return false;
  };
  auto fail = [&](const std::string& what) {
    *error = name + ": line " + std::to_string(line_number) + ": " + what;
    return false;
  };
  while (!csv.empty()) {
    const size_t eol = csv.find('\n');
    std::string_view line = csv.substr(0, eol);
    csv = eol == std::string_view::npos ? std::string_view() : csv.substr(eol + 1);
    ++line_number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.find_first_not_of(" \t") == std::string_view::npos) continue;
    const size_t comma = line.find(',');
    if (comma == std::string_view::npos || line.find(',', comma + 1) != std::string_view::npos) {
      return fail("expected two fields, name and abbreviation");
    }
    const std::string suffix = clean(line.substr(0, comma));
    const std::string abbreviation = clean(line.substr(comma + 1));
    if (line_number == 1 && suffix == "NAME" && abbreviation == "ABBREVIATION") continue;
    if (bad_word(suffix) || bad_word(abbreviation)) {
      return fail("a suffix and its abbreviation must be single words of printable ASCII "
                  "without \"!\" or \"$\"");
    }
    auto [it, added] = abbreviation_of.emplace(suffix, abbreviation);
    if (!added) {
      if (it->second != abbreviation) {
        return fail(suffix + " is listed with two abbreviations, " + it->second + " and " + abbreviation);
      }
      continue;
    }
    entries.emplace_back(suffix, abbreviation);
  }
  // Abbreviations are suffixes too ("AVE" is as good as "AVENUE").
  const size_t listed = entries.size();
  for (size_t i = 0; i < listed; ++i) {
    const std::string abbreviation = entries[i].second;
    if (abbreviation_of.emplace(abbreviation, abbreviation).second) {
      entries.emplace_back(abbreviation, abbreviation);
    }
  }
  table->assign("!");
  for (const auto& [suffix, abbreviation] : entries) {
    table->append(suffix).append("$").append(abbreviation).append("!");
  }
  return true;
}

}  // namespace corvdb::builder
