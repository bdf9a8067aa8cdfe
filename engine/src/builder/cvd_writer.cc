#include "builder/cvd_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <unordered_set>

#include "builder/block_builder.h"
#include "builder/index_builder.h"
#include "builder/output_file.h"
#include "builder/output_target.h"
#include "builder/places_file.h"
#include "builder/sha256.h"
#include "coding.h"
#include "decode_budget.h"
#include "layout.h"

namespace corvdb::builder {

namespace {

constexpr uint32_t kZipCodes = 100000;
// Regrouping spills records into one bucket file per first three ZIP digits.
constexpr uint32_t kBuckets = 1000;
constexpr uint32_t kZipsPerBucket = kZipCodes / kBuckets;
constexpr size_t kBucketBuffer = 64 << 10;
constexpr uint64_t kMaxFileSize = UINT32_MAX;  // sizes and offsets are 32-bit

std::string_view Trimmed(const char* p, int length) {
  std::string_view s(p, static_cast<size_t>(length));
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

bool IsBlank(const char* p, int length) {
  return std::all_of(p, p + length, [](char c) { return c == ' '; });
}

std::string ZipText(uint32_t zip) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%05u", zip);
  return buf;
}

// The indexed columns in file order and their field in the record buffer.
struct IndexedField {
  int column;
  int offset;
  int length;
  int k;
};
constexpr std::array<IndexedField, 4> kIndexedFields = {{
    {kStreetName, kColumns[kStreetName].offset, kColumns[kStreetName].length, kColumns[kStreetName].firstLevelK},
    {kBuildingOrFirmName, kColumns[kBuildingOrFirmName].offset, kColumns[kBuildingOrFirmName].length,
     kColumns[kBuildingOrFirmName].firstLevelK},
    {kStateAbbrev, kColumns[kStateAbbrev].offset, kColumns[kStateAbbrev].length, kColumns[kStateAbbrev].firstLevelK},
    {kCsLastLineCSName, kColumns[kCsLastLineCSName].offset, kColumns[kCsLastLineCSName].length,
     kColumns[kCsLastLineCSName].firstLevelK},
}};
static_assert(kIndexedFields[0].column == kIndexedColumnsInFileOrder[0] &&
              kIndexedFields[1].column == kIndexedColumnsInFileOrder[1] &&
              kIndexedFields[2].column == kIndexedColumnsInFileOrder[2] &&
              kIndexedFields[3].column == kIndexedColumnsInFileOrder[3]);

// Where a ZIP+4 record came from, for warnings: its file and number while
// the input is read, none while buckets are built.
struct Origin {
  const ProductFileReader* reader = nullptr;
};

// FNV-1a over a record: repeated records of one ZIP code are found by this
// 64-bit hash alone (a false match among a block's rows is about as likely as
// 1 in 10^9 for the largest block, and only changes a warning's count).
uint64_t RecordHash(const char* p, size_t n) {
  uint64_t h = 1469598103934665603ull;
  for (size_t i = 0; i < n; ++i) h = (h ^ static_cast<uint8_t>(p[i])) * 1099511628211ull;
  return h;
}

enum Zip4Warning { kRecordTypeWarning, kOddEvenWarning, kBackwardRangeWarning, kRepeatedWarning, kZip4Warnings };
constexpr const char* kZip4WarningText[kZip4Warnings] = {
    "ZIP+4 records whose record type code is not one of G H F S P R M",
    "ZIP+4 records with an odd/even code other than O, E or B",
    "ZIP+4 records whose primary number range runs backwards (low above high)",
    "ZIP+4 records that repeat an earlier record of their ZIP code",
};

class Builder {
 public:
  Builder(const BuildOptions& options, BuildReport* report) : options_(options), report_(*report) {}
  bool Run(std::string* error);
  const OutputTarget& target() const { return target_; }

 private:
  bool LoadTables(std::string* error);
  bool StartOutput(std::string* error);
  bool ResetOutput(std::string* error);
  // Reads every ZIP+4 file. Streaming: builds a block whenever the ZIP code
  // changes, and stops with *not_grouped set when a ZIP code comes back.
  // Regrouping: spills the records into bucket files.
  bool ReadZip4(bool regroup, bool* not_grouped, std::string* error);
  bool AddToBucket(uint32_t zip, const char* record, std::string* error);
  bool FlushBucket(uint32_t bucket, std::string* error);
  bool BuildBuckets(std::string* error);
  // A bucket too large for memory: one pass over its file per ZIP code.
  bool BuildBucketFromFile(uint32_t bucket, const std::string& path, std::string* error);
  // One block: StartBlock, AddRecord for each of its records in order, FinishBlock.
  void StartBlock(uint32_t zip);
  bool AddRecord(const char* record, std::string* error, Origin origin = {});
  bool FinishBlock(std::string* error);
  bool Finish(std::string* error);
  // Checksum file and the renames into place.
  bool Replace(std::string* error);
  void Progress(const char* phase, uint64_t records);
  void CollectWarnings();
  // True (with the message in *error) once the caller has asked to stop.
  bool Cancelled(std::string* error) const;

  const BuildOptions& options_;
  BuildReport& report_;
  OutputTarget target_;
  std::array<Oddity, kZip4Warnings> oddities_;
  // Hashes of the current block's records.
  std::unordered_set<uint64_t> block_hashes_;
  std::string suffix_table_;
  CityStateTable city_states_;
  WorkDirectory work_;
  OutputFile out_;
  std::array<std::unique_ptr<IndexBuilder>, 4> indexes_;
  std::vector<std::pair<uint32_t, uint32_t>> directory_;  // ZIP code, block offset
  std::vector<bool> built_;
  BlockBuilder block_;
  uint32_t block_zip_ = 0;
  std::string block_zip_text_;
  std::string block_bytes_;
  std::array<std::vector<std::string>, 4> keys_;
  std::vector<std::string> buckets_;
  std::vector<bool> bucket_on_disk_;
  uint64_t bytes_read_ = 0;
  uint64_t bytes_total_ = 0;
};

bool Builder::LoadTables(std::string* error) {
  std::string csv;
  if (options_.suffixes.memory != nullptr) {
    csv = *options_.suffixes.memory;
  } else if (!ReadWholeFile(options_.suffixes.path, &csv, error)) {
    return false;
  }
  const std::string suffix_name =
      options_.suffixes.name.empty() ? options_.suffixes.path : options_.suffixes.name;
  if (!BuildSuffixTable(csv, suffix_name, &suffix_table_, error)) return false;
  for (const ProductSource& source : options_.city_state) {
    if (!city_states_.Load(source, error)) return false;
  }
  report_.city_state_records = city_states_.size();
  return true;
}

bool Builder::StartOutput(std::string* error) {
  std::vector<std::string> inputs;
  for (const auto* list : {&options_.zip4, &options_.city_state}) {
    for (const ProductSource& s : *list) {
      if (s.memory == nullptr) inputs.push_back(s.path);
    }
  }
  if (options_.suffixes.memory == nullptr) inputs.push_back(options_.suffixes.path);
  if (!PrepareOutput(options_.output, inputs, &target_, error)) return false;
  report_.target = target_.path;
  report_.checksum_file = target_.checksum;
  if (!work_.Create(target_.path + ".tmp-", error)) return false;
  if (options_.work_directory_created) options_.work_directory_created(work_.path());
  if (!out_.Create(work_.File("zip.cvd"), error)) return false;
  return ResetOutput(error);
}

// Back to an empty file holding only the place of H.
bool Builder::ResetOutput(std::string* error) {
  if (!out_.Truncate(0, error)) return false;
  std::string h;
  PutFixed32(&h, 0);
  if (!out_.Append(h, error)) return false;
  for (size_t i = 0; i < indexes_.size(); ++i) {
    indexes_[i] = std::make_unique<IndexBuilder>(
        work_.File("index" + std::to_string(i) + "-run" + (report_.regrouped ? "b" : "a")),
        options_.index_memory);
  }
  directory_.clear();
  built_.assign(kZipCodes, false);
  report_.detail_records = 0;
  report_.header_records = 0;
  report_.largest_block = 0;
  report_.largest_block_zip.clear();
  report_.largest_block_rows = 0;
  bytes_read_ = 0;
  oddities_ = {};
  return true;
}

void Builder::Progress(const char* phase, uint64_t records) {
  if (options_.progress) options_.progress(BuildProgress{phase, records, bytes_read_, bytes_total_});
}

bool Builder::Cancelled(std::string* error) const {
  if (options_.cancel == nullptr || !options_.cancel->load(std::memory_order_relaxed)) return false;
  *error = kCancelledMessage;
  return true;
}

bool Builder::ReadZip4(bool regroup, bool* not_grouped, std::string* error) {
  const char* phase = regroup ? "regrouping" : "reading";
  const uint64_t every = std::max<uint64_t>(options_.progress_every, 1);
  bool in_block = false;
  std::string what;
  for (const ProductSource& source : options_.zip4) {
    ProductFileReader reader;
    if (!reader.Open(source, kZip4Size, error)) return false;
    const char* record = nullptr;
    int rc;
    uint64_t counted = 0;  // bytes of this file already added to bytes_read_
    while ((rc = reader.Next(&record, error)) == 1) {
      if (Cancelled(error)) return false;
      if (record[0] == 'C') {
        ++report_.header_records;
        continue;
      }
      if (!CheckZip4Record(record, city_states_, &what)) {
        *error = RecordError(reader.name(), reader.record_number(), what);
        return false;
      }
      switch (FindZip4Oddity(record)) {
        case Zip4Oddity::kNone:
          break;
        case Zip4Oddity::kRecordType:
          oddities_[kRecordTypeWarning].Note(reader.name() + ": record " + std::to_string(reader.record_number()));
          break;
        case Zip4Oddity::kOddEven:
          oddities_[kOddEvenWarning].Note(reader.name() + ": record " + std::to_string(reader.record_number()));
          break;
        case Zip4Oddity::kBackwardRange:
          oddities_[kBackwardRangeWarning].Note(reader.name() + ": record " + std::to_string(reader.record_number()));
          break;
      }
      const uint32_t zip = ZipOf(record);
      if (++report_.detail_records % every == 0) {
        bytes_read_ += reader.bytes_read() - counted;
        counted = reader.bytes_read();
        Progress(phase, report_.detail_records);
      }
      if (regroup) {
        if (!AddToBucket(zip, record, error)) return false;
        continue;
      }
      if (!in_block || zip != block_zip_) {
        if (in_block && !FinishBlock(error)) return false;
        in_block = false;
        if (built_[zip]) {
          *not_grouped = true;
          return true;
        }
        StartBlock(zip);
        in_block = true;
      }
      if (!AddRecord(record, error, Origin{&reader})) {
        *error = RecordError(reader.name(), reader.record_number(), *error);
        return false;
      }
    }
    if (rc < 0) return false;
    bytes_read_ += reader.bytes_read() - counted;
  }
  return !in_block || FinishBlock(error);
}

bool Builder::AddToBucket(uint32_t zip, const char* record, std::string* error) {
  const uint32_t bucket = zip / kZipsPerBucket;
  std::string& buffer = buckets_[bucket];
  buffer.append(record, kZip4Size);
  if (buffer.size() >= kBucketBuffer) return FlushBucket(bucket, error);
  return true;
}

bool Builder::FlushBucket(uint32_t bucket, std::string* error) {
  std::string& buffer = buckets_[bucket];
  if (buffer.empty()) return true;
  const std::string path = work_.File("bucket" + std::to_string(bucket));
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd < 0) {
    *error = path + ": cannot create: " + std::strerror(errno);
    return false;
  }
  const char* p = buffer.data();
  size_t left = buffer.size();
  while (left > 0) {
    const ssize_t n = write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *error = path + ": cannot write: " + std::strerror(errno);
      close(fd);
      return false;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  close(fd);
  bucket_on_disk_[bucket] = true;
  buffer.clear();
  return true;
}

bool Builder::BuildBuckets(std::string* error) {
  std::string data;
  std::array<std::vector<uint32_t>, kZipsPerBucket> members;
  for (uint32_t bucket = 0; bucket < kBuckets; ++bucket) {
    if (Cancelled(error) || !FlushBucket(bucket, error)) return false;
    if (!bucket_on_disk_[bucket]) continue;
    const std::string path = work_.File("bucket" + std::to_string(bucket));
    std::error_code ec;
    const uint64_t size = std::filesystem::file_size(path, ec);
    if (ec) {
      *error = path + ": " + ec.message();
      return false;
    }
    if (size > options_.bucket_memory) {
      if (!BuildBucketFromFile(bucket, path, error)) return false;
      unlink(path.c_str());
      continue;
    }
    if (!ReadWholeFile(path, &data, error)) return false;
    unlink(path.c_str());
    if (data.size() % kZip4Size != 0) {
      *error = path + ": bucket file cut short";
      return false;
    }
    for (auto& m : members) m.clear();
    const uint32_t count = static_cast<uint32_t>(data.size() / kZip4Size);
    for (uint32_t i = 0; i < count; ++i) {
      members[ZipOf(data.data() + static_cast<size_t>(i) * kZip4Size) % kZipsPerBucket].push_back(i);
    }
    for (uint32_t z = 0; z < kZipsPerBucket; ++z) {
      if (members[z].empty()) continue;
      StartBlock(bucket * kZipsPerBucket + z);
      for (uint32_t i : members[z]) {
        if (!AddRecord(data.data() + static_cast<size_t>(i) * kZip4Size, error)) return false;
      }
      if (!FinishBlock(error)) return false;
    }
    data.clear();
    data.shrink_to_fit();
  }
  return true;
}

bool Builder::BuildBucketFromFile(uint32_t bucket, const std::string& path, std::string* error) {
  std::array<bool, kZipsPerBucket> present{};
  for (int pass = -1; pass < static_cast<int>(kZipsPerBucket); ++pass) {
    if (pass >= 0 && !present[static_cast<size_t>(pass)]) continue;
    if (Cancelled(error)) return false;
    const uint32_t zip = bucket * kZipsPerBucket + static_cast<uint32_t>(std::max(pass, 0));
    if (pass >= 0) StartBlock(zip);
    ProductFileReader reader;
    if (!reader.Open(ProductSource{path, path, nullptr}, kZip4Size, error)) return false;
    const char* record = nullptr;
    int rc;
    while ((rc = reader.Next(&record, error)) == 1) {
      const uint32_t z = ZipOf(record);
      if (pass < 0) {
        present[z % kZipsPerBucket] = true;
      } else if (z == zip && !AddRecord(record, error)) {
        return false;
      }
    }
    if (rc < 0) return false;
    if (pass >= 0 && !FinishBlock(error)) return false;
  }
  return true;
}

void Builder::StartBlock(uint32_t zip) {
  block_.Reset();
  block_hashes_.clear();
  for (auto& k : keys_) k.clear();
  block_zip_ = zip;
  block_zip_text_ = ZipText(zip);
}

bool Builder::AddRecord(const char* record, std::string* error, Origin origin) {
  if (block_.rows() >= kMaxBlockRows) {
    *error = "ZIP code " + block_zip_text_ + " has more than " + std::to_string(kMaxBlockRows) +
             " detail records, the most one block may hold";
    return false;
  }
  // A repeated record (the same file given twice) is kept, but counted.
  if (!block_hashes_.insert(RecordHash(record, kZip4Size)).second) {
    oddities_[kRepeatedWarning].Note(
        origin.reader != nullptr
            ? origin.reader->name() + ": record " + std::to_string(origin.reader->record_number())
            : "ZIP code " + block_zip_text_ + ", update key " + std::string(record + 6, 10));
  }
  char row[kRecordBufferSize];
  std::memcpy(row, record, kZip4Size);
  struct Part {
    int key_offset;
    int buffer_offset;
  };
  for (const Part& part : {Part{176, kCityStateOffset}, Part{170, kUrbanizationOffset}}) {
    const char* cs = IsBlank(record + part.key_offset, 6)
                         ? nullptr
                         : city_states_.Find(std::string_view(record + part.key_offset, 6), block_zip_text_);
    if (cs != nullptr) {
      std::memcpy(row + part.buffer_offset, cs, kCityStateSize);
    } else {
      std::memset(row + part.buffer_offset, ' ', kCityStateSize);
    }
  }
  std::string what;
  if (!block_.AddRow(row, &what)) {
    *error = "ZIP code " + block_zip_text_ + ": " + what;
    return false;
  }
  for (size_t i = 0; i < kIndexedFields.size(); ++i) {
    const std::string_view key = Trimmed(row + kIndexedFields[i].offset, kIndexedFields[i].length);
    if (!key.empty() && (keys_[i].empty() || keys_[i].back() != key)) keys_[i].emplace_back(key);
  }
  return true;
}

bool Builder::FinishBlock(std::string* error) {
  const uint32_t zip = block_zip_;
  const std::string& zip_text = block_zip_text_;
  const uint32_t rows = block_.rows();
  block_bytes_.clear();
  block_.Finish(&block_bytes_);
  const uint64_t size = block_bytes_.size();
  if (size > kMaxBlockSize) {
    *error = "ZIP code " + zip_text + ": its block of " + std::to_string(size) +
             " bytes is larger than the most a block may hold (" + std::to_string(kMaxBlockSize) + ")";
    return false;
  }
  // A block of at most kMaxBlockSize bytes lies inside the 4 MB that follow
  // its start rounded down to 64 KB wherever it starts, so blocks follow one
  // another without gaps.
  static_assert(kMaxBlockSize + kWindowAlignment <= kWindowSize);
  const uint64_t start = out_.offset();
  if (start + size > kMaxFileSize) {
    *error = "the database would be larger than 4 GiB (at ZIP code " + zip_text + ")";
    return false;
  }
  if (!out_.Append(block_bytes_, error)) return false;
  directory_.emplace_back(zip, static_cast<uint32_t>(start));
  built_[zip] = true;
  if (size > report_.largest_block) {
    report_.largest_block = static_cast<uint32_t>(size);
    report_.largest_block_zip = zip_text;
    report_.largest_block_rows = rows;
  }
  for (size_t i = 0; i < kIndexedFields.size(); ++i) {
    std::sort(keys_[i].begin(), keys_[i].end());
    keys_[i].erase(std::unique(keys_[i].begin(), keys_[i].end()), keys_[i].end());
    for (const std::string& key : keys_[i]) {
      if (!indexes_[i]->Add(key, zip, error)) return false;
    }
  }
  return true;
}

bool Builder::Finish(std::string* error) {
  if (directory_.empty()) {
    *error = "the ZIP+4 input holds no detail records";
    return false;
  }
  report_.block_bytes = out_.offset() - 4;
  std::sort(directory_.begin(), directory_.end());

  std::string part;
  PutFixed32(&part, 0);  // reserved word at H - 4
  const uint64_t h = out_.offset() + 4;
  std::string directory;
  for (const auto& [zip, offset] : directory_) {
    directory += ZipText(zip);
    PutVarMode2(&directory, offset);
  }
  directory.push_back('\0');
  PutFixed32(&part, static_cast<uint32_t>(8 + directory.size()));  // T
  PutFixed32(&part, 0);                                              // reserved word at H + 4
  part += directory;
  PutFixed32(&part, static_cast<uint32_t>(4 + suffix_table_.size() + 1));  // U
  part += suffix_table_;
  part.push_back('\0');
  if (!out_.Append(part, error)) return false;

  Progress("indexes", report_.detail_records);
  const uint64_t index_start = out_.offset();
  for (size_t i = 0; i < kIndexedFields.size(); ++i) {
    if (Cancelled(error)) return false;
    report_.index_pairs[i] = indexes_[i]->pairs();
    if (!indexes_[i]->Write(kIndexedFields[i].k, &out_, error)) return false;
    indexes_[i].reset();
  }
  report_.index_bytes = out_.offset() - index_start;
  if (out_.offset() > kMaxFileSize) {
    *error = "the database would be larger than 4 GiB";
    return false;
  }
  std::string word;
  PutFixed32(&word, static_cast<uint32_t>(h));
  if (!out_.WriteAt(0, word, error)) return false;
  report_.file_size = out_.offset();
  report_.zip_codes = directory_.size();
  if (target_.exists && !out_.Adopt(target_.mode, target_.uid, target_.gid, error)) return false;
  if (!out_.SyncAndClose(error) || Cancelled(error)) return false;
  return Replace(error);
}

bool Builder::Replace(std::string* error) {
  if (!Sha256OfFile(out_.path(), &report_.sha256, error)) return false;
  const std::string sum_path = work_.File("zip.cvd.sha256");
  {
    OutputFile sum;
    const std::string name = std::filesystem::path(target_.path).filename().string();
    if (!sum.Create(sum_path, error) || !sum.Append(ChecksumLine(report_.sha256, name), error) ||
        !sum.SyncAndClose(error)) {
      return false;
    }
  }
  // The place names of the ZIP codes, for the address matcher.
  const std::string places_path = work_.File("zip.cvd.places");
  {
    const PlacesFileInfo info{report_.file_size, report_.zip_codes, report_.detail_records, report_.sha256};
    const std::string text = PlacesFileText(city_states_, built_, info, &report_.place_names);
    OutputFile places;
    if (!places.Create(places_path, error) || !places.Append(text, error) || !places.SyncAndClose(error)) {
      return false;
    }
  }
  report_.places_file = target_.places;
  if (options_.replacing) options_.replacing(true);
  bool ok = true;
  if (rename(out_.path().c_str(), target_.path.c_str()) != 0) {
    *error = target_.path + ": cannot replace: " + std::strerror(errno);
    ok = false;
  } else if (rename(sum_path.c_str(), target_.checksum.c_str()) != 0) {
    // An old checksum would call the new database damaged.
    *error = target_.path + " was written, but not its checksum file " + target_.checksum + ": " +
             std::strerror(errno);
    unlink(target_.checksum.c_str());
    unlink(target_.places.c_str());
    ok = false;
  } else if (rename(places_path.c_str(), target_.places.c_str()) != 0) {
    // The old place names belong to the old database (readers would see that
    // and ignore them), but none is clearer.
    *error = target_.path + " was written, but not its place names file " + target_.places + ": " +
             std::strerror(errno);
    unlink(target_.places.c_str());
    ok = false;
  }
  if (options_.replacing) options_.replacing(false);
  if (!ok) return false;
  // Make the renames themselves durable.
  const std::string dir = std::filesystem::path(target_.path).parent_path().string();
  const int fd = open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    fsync(fd);
    close(fd);
  }
  return true;
}

void Builder::CollectWarnings() {
  report_.warnings.clear();
  for (int i = 0; i < kZip4Warnings; ++i) {
    const Oddity& o = oddities_[static_cast<size_t>(i)];
    if (o.count > 0) report_.warnings.push_back(BuildWarning{kZip4WarningText[i], o.count, o.first});
  }
  const Oddity& renamed = city_states_.renamedKeys();
  if (renamed.count > 0) {
    report_.warnings.push_back(
        BuildWarning{"City-State records whose key is listed before with another city name", renamed.count,
                     renamed.first});
  }
  const Oddity& repeated = city_states_.repeatedRecords();
  if (repeated.count > 0) {
    report_.warnings.push_back(
        BuildWarning{"City-State records that repeat an earlier record", repeated.count, repeated.first});
  }
}

bool Builder::Run(std::string* error) {
  for (const ProductSource& s : options_.zip4) {
    bytes_total_ += s.memory != nullptr ? s.memory->size() : 0;
  }
  if (Cancelled(error) || !StartOutput(error) || !LoadTables(error) || Cancelled(error)) return false;
  for (const ProductSource& s : options_.zip4) {
    if (s.memory == nullptr) {
      ProductFileReader probe;
      if (!probe.Open(s, kZip4Size, error)) return false;
      bytes_total_ += probe.size();
    }
  }
  bool not_grouped = options_.force_regroup;
  if (!not_grouped && !ReadZip4(false, &not_grouped, error)) return false;
  if (not_grouped) {
    report_.regrouped = true;
    if (!ResetOutput(error)) return false;
    buckets_.assign(kBuckets, std::string());
    bucket_on_disk_.assign(kBuckets, false);
    if (!ReadZip4(true, &not_grouped, error) || !BuildBuckets(error)) return false;
  }
  CollectWarnings();
  return Finish(error);
}

}  // namespace

bool BuildDatabase(const BuildOptions& options, BuildReport* report, std::string* error) {
  const auto start = std::chrono::steady_clock::now();
  BuildReport local;
  BuildReport* r = report != nullptr ? report : &local;
  *r = BuildReport();
  error->clear();
  bool ok = false;
  OutputTarget target;
  {
    Builder builder(options, r);
    ok = builder.Run(error);
    target = builder.target();
  }
  // After the working directory is gone.
  if (!ok) target.RemoveCreatedFolders();
  r->seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return ok;
}

bool BuildDatabaseFromRecords(const std::vector<std::string>& zip4_records,
                              const std::vector<std::string>& city_state_records,
                              const std::string& suffix_csv, const std::string& output,
                              std::string* error, BuildReport* report) {
  std::string zip4, city_state;
  for (size_t i = 0; i < zip4_records.size(); ++i) {
    if (zip4_records[i].size() != static_cast<size_t>(kZip4Size)) {
      *error = RecordError("ZIP+4 records", i + 1, "a record must be 182 bytes long");
      return false;
    }
    zip4 += zip4_records[i];
  }
  for (size_t i = 0; i < city_state_records.size(); ++i) {
    if (city_state_records[i].size() != static_cast<size_t>(kCityStateSize)) {
      *error = RecordError("City-State records", i + 1, "a record must be 129 bytes long");
      return false;
    }
    city_state += city_state_records[i];
  }
  BuildOptions options;
  options.zip4.push_back(ProductSource{"ZIP+4 records", "", &zip4});
  options.city_state.push_back(ProductSource{"City-State records", "", &city_state});
  options.suffixes = ProductSource{"suffix list", "", &suffix_csv};
  options.output = output;
  return BuildDatabase(options, report, error);
}

}  // namespace corvdb::builder
