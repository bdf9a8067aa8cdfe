#include "read_zip_file.h"

#include <cstring>
#include <memory>

#include "coding.h"
#include "data_path.h"

namespace corvdb {

ReadZipFile::ReadZipFile() = default;

ReadZipFile::~ReadZipFile() {
  // The helper thread reads this engine's candidates and mapping.
  ahead_.reset();
  helperThread_.reset();
  helper_.reset();
}

int32_t ReadZipFile::openDatabase() {
  if (opened_) return 0;
  const DataLocation where = LocateDataFile();
  if (where.directory.size() > kMaxDataDirectory) {
    path_ = where.path;
    return failOpening();
  }
  return open(where.path);
}

int32_t ReadZipFile::openPath(const std::string& path) {
  if (opened_) return 0;
  return open(path);
}

int32_t ReadZipFile::failOpening() {
  file_.unmap();
  detachFile();
  suffixTable_ = SuffixTable();
  errorCode_ = kOpenError;
  return kOpenError;
}

int32_t ReadZipFile::open(std::string path) {
  path_ = std::move(path);
  if (!file_.map(path_)) return failOpening();
  return attach();
}

int32_t ReadZipFile::openShared(const ReadZipFile& owner) {
  if (opened_ || !owner.opened_) return kOpenError;
  path_ = owner.path_;
  file_.borrow(owner.file_);
  return attach();
}

int32_t ReadZipFile::attach() {
  const uint8_t* base = file_.view();
  const uint64_t size = file_.fileSize();
  const uint8_t* end = base + size;

  // H: the directory starts at H - 4, after at least the 4 bytes of H itself;
  // T and the reserved word follow at H and H + 4, the directory at H + 8.
  if (size < 4) return failOpening();
  const uint64_t h = DecodeFixed32(base);
  if (h < 8 || h + 8 > size) return failOpening();
  const int64_t tables = static_cast<int64_t>(h) + static_cast<int32_t>(DecodeFixed32(base + h));
  if (tables < 0 || static_cast<uint64_t>(tables) + 4 > size) return failOpening();
  const int64_t indexes = tables + static_cast<int32_t>(DecodeFixed32(base + tables));
  if (indexes < 0 || static_cast<uint64_t>(indexes) > size) return failOpening();

  attachFile(base, size, static_cast<uint32_t>(h - 4));
  if (!readDirectory(base + h + 8, end)) return failOpening();

  const uint8_t* suffixes = base + tables + 4;
  if (std::memchr(suffixes, 0, static_cast<std::size_t>(end - suffixes)) == nullptr) return failOpening();
  suffixTable_ = SuffixTable::FromMapped(suffixes, end);

  if (ZipCode.attachIndexes(base + indexes, end) == nullptr) return failOpening();

  opened_ = true;
  errorCode_ = 0;
  return 0;
}

bool ReadZipFile::deliverRow(uint32_t row) {
  char buffer[kRecordBufferSize];
  if (!decodeRow(row, buffer)) return false;
  std::memcpy(record_, buffer, sizeof buffer);
  return true;
}

namespace {
std::unique_ptr<ReadZipFile>& ProcessEngineHolder() {
  static std::unique_ptr<ReadZipFile> engine = std::make_unique<ReadZipFile>();
  return engine;
}

// Built when the library is loaded, as the exports expect.
[[maybe_unused]] const bool kEngineBuiltAtLoad = (ProcessEngineHolder(), true);
}  // namespace

ReadZipFile& ProcessEngine() { return *ProcessEngineHolder(); }

void ReplaceProcessEngine() { ProcessEngineHolder() = std::make_unique<ReadZipFile>(); }

void ResetProcessEngineForTesting() { ReplaceProcessEngine(); }

}  // namespace corvdb
