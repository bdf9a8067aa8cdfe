#include "check/cvd_check.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string_view>

#include "builder/output_file.h"
#include "builder/sha256.h"
#include "coding.h"
#include "layout.h"
#include "mapped_data_file.h"
#include "read_zip_file.h"

namespace corvdb::tools {

namespace {

constexpr size_t kProblemsPerZip = 3;      // shown per ZIP code; the rest are counted
constexpr size_t kProblemsPerArea = 10;    // shown per index area
constexpr uint64_t kZipBits = 17;          // ZIP codes < 2^17 in a packed entry

// An index entry as a number: the high 47 bits of the key's hash, then the
// ZIP code. Two keys of one ZIP code collide with a chance of about 2^-47.
uint64_t Pack(std::string_view key, uint32_t zip) {
  const uint64_t h = std::hash<std::string_view>{}(key);
  return (h & ~((uint64_t{1} << kZipBits) - 1)) | zip;
}
uint32_t ZipOfPacked(uint64_t packed) { return static_cast<uint32_t>(packed & ((uint64_t{1} << kZipBits) - 1)); }

std::string Quoted(std::string_view text) {
  std::string s = "\"";
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u >= 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%02X", u);
      s += buf;
    } else {
      s += c;
    }
  }
  return s + "\"";
}

std::string ZipText(uint32_t zip) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%05u", zip);
  return buf;
}

// The trimmed text of a decoded field (blanks, and the bytes 0 that pad
// number fields).
std::string_view FieldKey(const char* buffer, int offset, int length) {
  std::string_view s(buffer + offset, static_cast<size_t>(length));
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.remove_suffix(1);
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  return s;
}

struct IndexArea {
  const char* name;
  int column;
  int k;
  std::vector<uint64_t> entries;  // sorted packed entries
  std::vector<bool> matched;
};

class Checker {
 public:
  Checker(const std::string& path, const CheckOptions& options, CheckReport* report)
      : path_(path), options_(options), report_(*report) {}
  void Run();

 private:
  void CheckChecksum();
  void ZipProblem(uint32_t zip, const std::string& what);
  void AreaProblem(IndexArea& area, size_t* shown, const std::string& what);
  // Walks the index areas; false when they cannot be found at all.
  bool WalkIndexes();
  // One area at `p`; returns the address after it or nullptr.
  const uint8_t* TakeArea(const uint8_t* p, const uint8_t** begin, const uint8_t** end);
  void WalkMain(IndexArea& area, const uint8_t* begin, const uint8_t* end,
                std::vector<std::pair<std::string, uint32_t>>* groups);
  void WalkFirstLevel(IndexArea& area, const uint8_t* begin, const uint8_t* end,
                      const std::vector<std::pair<std::string, uint32_t>>& groups);
  void CheckBlocks();
  void CheckBlock(uint32_t zip);
  void CheckUnmatchedEntries();

  const std::string& path_;
  const CheckOptions& options_;
  CheckReport& report_;
  ReadZipFile engine_;
  MappedDataFile file_;
  std::vector<IndexArea> areas_;
  std::map<uint32_t, size_t> more_problems_;  // per ZIP code, beyond those shown
  ZipBits undecoded_{kZipCodeCount};           // ZIP codes whose rows could not all be read
  uint64_t next_progress_ = 0;
};

void Checker::ZipProblem(uint32_t zip, const std::string& what) {
  auto& list = report_.damaged_zips[zip];
  if (list.size() < kProblemsPerZip) {
    list.push_back(what);
  } else {
    ++more_problems_[zip];
  }
}

void Checker::AreaProblem(IndexArea& area, size_t* shown, const std::string& what) {
  if ((*shown)++ < kProblemsPerArea) report_.file_problems.push_back(std::string(area.name) + " index: " + what);
  if (*shown == kProblemsPerArea + 1) {
    report_.file_problems.push_back(std::string(area.name) + " index: more problems like these are not shown");
  }
}

void Checker::CheckChecksum() {
  std::error_code ec;
  std::string target = path_;
  const auto resolved = std::filesystem::canonical(path_, ec);
  if (!ec) target = resolved.string();
  report_.checksum_file = target + ".sha256";
  struct stat st {};
  if (stat(report_.checksum_file.c_str(), &st) != 0) return;  // none: nothing to verify
  std::string text, error, expected, name;
  if (!builder::ReadWholeFile(report_.checksum_file, &text, &error)) {
    report_.checksum = CheckReport::Checksum::kUnusable;
    report_.checksum_problem = error;
    return;
  }
  if (!builder::ParseChecksumLine(text, &expected, &name)) {
    report_.checksum = CheckReport::Checksum::kUnusable;
    report_.checksum_problem = report_.checksum_file + ": not one line \"SHA-256  NAME\" as sha256sum writes it";
    return;
  }
  std::string actual;
  if (!builder::Sha256OfFile(path_, &actual, &error)) {
    report_.checksum = CheckReport::Checksum::kUnusable;
    report_.checksum_problem = error;
    return;
  }
  if (actual == expected) {
    report_.checksum = CheckReport::Checksum::kMatches;
  } else {
    report_.checksum = CheckReport::Checksum::kDiffers;
    report_.checksum_problem = "the file's SHA-256 is not the one in " + report_.checksum_file +
                               ": it changed after it was built";
  }
}

const uint8_t* Checker::TakeArea(const uint8_t* p, const uint8_t** begin, const uint8_t** end) {
  const uint8_t* file_end = file_.view() + file_.fileSize();
  if (p == nullptr || p > file_end || file_end - p < 4) return nullptr;
  const uint32_t length = DecodeFixed32(p);
  if (length < 4 || length > static_cast<uint64_t>(file_end - p)) return nullptr;
  *begin = p + 4;
  *end = p + length;
  return p + length;
}

void Checker::WalkMain(IndexArea& area, const uint8_t* begin, const uint8_t* end,
                       std::vector<std::pair<std::string, uint32_t>>* groups) {
  size_t shown = 0;
  const ZipBits& directory = engine_.directoryZips();
  std::string previous_key;
  int64_t previous_zip = -1;
  std::string previous_prefix;
  const uint8_t* p = begin;
  while (p < end && *p != 0) {
    const uint8_t* text = p;
    while (p < end && *p != 0 && *p < 0x80) ++p;
    const std::string key(reinterpret_cast<const char*>(text), static_cast<size_t>(p - text));
    const size_t at = static_cast<size_t>(text - begin);
    if (p >= end || *p == 0 || key.empty()) {
      AreaProblem(area, &shown,
                  "damaged at byte " + std::to_string(at) + " of its main list (" +
                      (key.empty() ? "an entry without key text" : "key " + Quoted(key) + " without its ZIP code") +
                      "); the entries after it cannot be read");
      return;
    }
    uint32_t zip = 0;
    const uint8_t* next = GetVarMode2(p, end, &zip);
    if (next == nullptr) {
      AreaProblem(area, &shown, "the ZIP code of key " + Quoted(key) + " runs past the end of the area");
      return;
    }
    if (std::any_of(key.begin(), key.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; })) {
      AreaProblem(area, &shown, "key " + Quoted(key) + " holds a control character");
    }
    if (zip >= kZipCodeCount || !directory.test(zip)) {
      AreaProblem(area, &shown,
                  "key " + Quoted(key) + " names ZIP code " + std::to_string(zip) + ", which is not in the directory");
    } else {
      area.entries.push_back(Pack(key, zip));
    }
    if (previous_zip >= 0 && (key < previous_key || (key == previous_key && zip <= previous_zip))) {
      AreaProblem(area, &shown,
                  "key " + Quoted(key) + " (ZIP code " + ZipText(zip) + ") is out of order after " +
                      Quoted(previous_key) + " (ZIP code " + ZipText(static_cast<uint32_t>(previous_zip)) + ")");
    }
    if (area.k > 0) {
      std::string prefix = key.substr(0, static_cast<size_t>(area.k));
      prefix.resize(static_cast<size_t>(area.k), ' ');
      if (groups->empty() || prefix != previous_prefix) groups->emplace_back(prefix, static_cast<uint32_t>(at));
      previous_prefix = prefix;
    }
    previous_key = key;
    previous_zip = zip;
    p = next;
  }
  if (p >= end && end > begin && end[-1] != 0 && p != end) {
    AreaProblem(area, &shown, "its main list does not end inside its area");
  }
}

void Checker::WalkFirstLevel(IndexArea& area, const uint8_t* begin, const uint8_t* end,
                             const std::vector<std::pair<std::string, uint32_t>>& groups) {
  size_t shown = 0;
  const size_t k = static_cast<size_t>(area.k);
  size_t i = 0;
  const uint8_t* p = begin;
  while (p < end && *p != 0) {
    if (static_cast<size_t>(end - p) <= k) {
      AreaProblem(area, &shown, "its first-level list ends inside an entry");
      return;
    }
    const std::string prefix(reinterpret_cast<const char*>(p), k);
    uint32_t distance = 0;
    const uint8_t* next = GetVarMode2(p + k, end, &distance);
    if (next == nullptr) {
      AreaProblem(area, &shown, "its first-level entry " + Quoted(prefix) + " runs past the end of the area");
      return;
    }
    if (i >= groups.size()) {
      AreaProblem(area, &shown, "its first-level list has an entry " + Quoted(prefix) +
                                    " for which the main list has no key");
      return;
    }
    if (prefix != groups[i].first || distance != groups[i].second) {
      AreaProblem(area, &shown,
                  "its first-level entry " + std::to_string(i + 1) + " is " + Quoted(prefix) + " at " +
                      std::to_string(distance) + ", where the main list needs " + Quoted(groups[i].first) + " at " +
                      std::to_string(groups[i].second) + "; searches for keys from there on may find nothing");
      return;
    }
    ++i;
    p = next;
  }
  if (i < groups.size()) {
    AreaProblem(area, &shown, "its first-level list lacks the entry " + Quoted(groups[i].first) +
                                  " and any after it; searches for those keys find nothing");
  }
}

bool Checker::WalkIndexes() {
  const uint8_t* base = file_.view();
  // The reader has opened the file, so H, T and U point inside it.
  const uint64_t h = DecodeFixed32(base);
  const int64_t tables = static_cast<int64_t>(h) + static_cast<int32_t>(DecodeFixed32(base + h));
  const int64_t indexes = tables + static_cast<int32_t>(DecodeFixed32(base + tables));
  const uint8_t* p = base + indexes;
  for (int column : kIndexedColumnsInFileOrder) {
    IndexArea area{kColumns[static_cast<size_t>(column)].name, column, kColumns[static_cast<size_t>(column)].firstLevelK,
                   {}, {}};
    const uint8_t* first_begin = nullptr;
    const uint8_t* first_end = nullptr;
    if (area.k > 0) p = TakeArea(p, &first_begin, &first_end);
    const uint8_t* main_begin = nullptr;
    const uint8_t* main_end = nullptr;
    if (p != nullptr) p = TakeArea(p, &main_begin, &main_end);
    if (p == nullptr) {
      report_.file_problems.push_back(std::string(area.name) + " index: its areas run past the end of the file");
      return false;
    }
    std::vector<std::pair<std::string, uint32_t>> groups;
    WalkMain(area, main_begin, main_end, &groups);
    if (area.k > 0) WalkFirstLevel(area, first_begin, first_end, groups);
    std::sort(area.entries.begin(), area.entries.end());
    area.matched.assign(area.entries.size(), false);
    report_.index_entries += area.entries.size();
    areas_.push_back(std::move(area));
  }
  return true;
}

void Checker::CheckBlock(uint32_t zip) {
  if (!engine_.loadZipBlock(zip)) {
    ZipProblem(zip, "its block header is damaged (row count or column offsets out of bounds)");
    undecoded_.set(zip);
    return;
  }
  bool columns_ok = true;
  for (int i = 0; i < kColumnCount; ++i) {
    if (!engine_.column(i).loadBlock()) {
      ZipProblem(zip, std::string("its column ") + kColumns[static_cast<size_t>(i)].name + " cannot be decoded");
      columns_ok = false;
    }
  }
  if (!columns_ok) {
    undecoded_.set(zip);
    return;
  }
  const uint32_t rows = engine_.blockRows();
  if (rows == 0) ZipProblem(zip, "its block holds no records");
  const std::string zip_text = ZipText(zip);
  std::vector<std::vector<std::string>> keys(areas_.size());
  char buffer[kRecordBufferSize];
  for (uint32_t row = 0; row < rows; ++row) {
    if (!engine_.decodeRow(row, buffer)) {
      ZipProblem(zip, "record " + std::to_string(row + 1) + " cannot be decoded");
      undecoded_.set(zip);
      return;
    }
    ++report_.records;
    if (std::string_view(buffer + 1, 5) != zip_text) {
      ZipProblem(zip, "record " + std::to_string(row + 1) + " holds ZIP code " + Quoted(std::string_view(buffer + 1, 5)));
    }
    for (int i = 0; i < kZip4Size; ++i) {
      const auto c = static_cast<unsigned char>(buffer[i]);
      if ((c > 0 && c < 0x20) || c >= 0x80) {
        ZipProblem(zip, "record " + std::to_string(row + 1) + " holds the byte " + Quoted(std::string(1, buffer[i])) +
                            " at position " + std::to_string(i));
        break;
      }
    }
    for (size_t a = 0; a < areas_.size(); ++a) {
      const ColumnSpec& spec = kColumns[static_cast<size_t>(areas_[a].column)];
      const std::string_view key = FieldKey(buffer, spec.offset, spec.length);
      if (!key.empty() && (keys[a].empty() || keys[a].back() != key)) keys[a].emplace_back(key);
    }
  }
  for (size_t a = 0; a < areas_.size(); ++a) {
    IndexArea& area = areas_[a];
    std::sort(keys[a].begin(), keys[a].end());
    keys[a].erase(std::unique(keys[a].begin(), keys[a].end()), keys[a].end());
    for (const std::string& key : keys[a]) {
      const uint64_t packed = Pack(key, zip);
      const auto it = std::lower_bound(area.entries.begin(), area.entries.end(), packed);
      if (it == area.entries.end() || *it != packed) {
        ZipProblem(zip, std::string(area.name) + " " + Quoted(key) + " of its records is not in the " + area.name +
                            " index");
      } else {
        area.matched[static_cast<size_t>(it - area.entries.begin())] = true;
      }
    }
  }
}

void Checker::CheckBlocks() {
  const ZipBits& zips = engine_.directoryZips();
  const uint64_t total = engine_.zipCount();
  uint64_t done = 0;
  next_progress_ = options_.progress_every;
  for (size_t zip = zips.findFrom(0); zip != BitSet::npos; zip = zips.findFrom(zip + 1)) {
    CheckBlock(static_cast<uint32_t>(zip));
    ++done;
    if (options_.progress && options_.progress_every > 0 && report_.records >= next_progress_) {
      options_.progress(done, total, report_.records);
      next_progress_ = (report_.records / options_.progress_every + 1) * options_.progress_every;
    }
  }
}

void Checker::CheckUnmatchedEntries() {
  for (IndexArea& area : areas_) {
    for (size_t i = 0; i < area.entries.size(); ++i) {
      if (area.matched[i]) continue;
      const uint32_t zip = ZipOfPacked(area.entries[i]);
      // A ZIP code whose rows could not be read is reported already.
      if (undecoded_.test(zip)) continue;
      ZipProblem(zip, std::string("the ") + area.name + " index lists a key that none of its records holds");
    }
  }
}

void Checker::Run() {
  CheckChecksum();
  if (engine_.openPath(path_) != 0 || !file_.map(path_)) {
    report_.open_problem =
        "the reader refuses it: its header, ZIP directory, suffix table or index areas are damaged";
    return;
  }
  report_.opened = true;
  report_.zip_codes = engine_.zipCount();
  if (!WalkIndexes()) areas_.clear();
  CheckBlocks();
  if (!areas_.empty()) CheckUnmatchedEntries();
  for (const auto& [zip, more] : more_problems_) {
    report_.damaged_zips[zip].push_back("and " + std::to_string(more) + " more problem" + (more == 1 ? "" : "s"));
  }
}

}  // namespace

bool CheckDatabase(const std::string& path, const CheckOptions& options, CheckReport* report, std::string* error) {
  *report = CheckReport();
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) {
    *error = path + ": " + (errno == ENOENT ? std::string("no such file") : std::strerror(errno));
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    *error = path + ": not a regular file";
    return false;
  }
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = path + ": " + std::strerror(errno);
    return false;
  }
  close(fd);
  Checker(path, options, report).Run();
  return true;
}

}  // namespace corvdb::tools
