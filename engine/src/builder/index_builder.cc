#include "builder/index_builder.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <queue>

#include "coding.h"

namespace corvdb::builder {

namespace {

struct Pair {
  std::string_view key;
  uint32_t zip;
};

Pair PairAt(const std::string& arena, uint32_t offset) {
  const size_t length = static_cast<uint8_t>(arena[offset]);
  return {std::string_view(arena.data() + offset + 1, length),
          DecodeFixed32(reinterpret_cast<const uint8_t*>(arena.data() + offset + 1 + length))};
}

bool Less(const Pair& a, const Pair& b) {
  const int c = a.key.compare(b.key);
  return c < 0 || (c == 0 && a.zip < b.zip);
}

// Sequential reader of one sorted run file.
class RunReader {
 public:
  ~RunReader() {
    if (file_ != nullptr) std::fclose(file_);
  }
  bool Open(const std::string& path, std::string* error) {
    file_ = std::fopen(path.c_str(), "rb");
    if (file_ == nullptr) {
      *error = path + ": cannot open: " + std::strerror(errno);
      return false;
    }
    std::setvbuf(file_, nullptr, _IOFBF, 1 << 18);
    return true;
  }
  // False at the end of the run.
  bool Next() {
    const int length = std::fgetc(file_);
    if (length == EOF) return false;
    key_.resize(static_cast<size_t>(length));
    uint8_t zip[4];
    if (std::fread(key_.data(), 1, key_.size(), file_) != key_.size() || std::fread(zip, 1, 4, file_) != 4) {
      truncated_ = true;
      return false;
    }
    zip_ = DecodeFixed32(zip);
    return true;
  }
  Pair pair() const { return {key_, zip_}; }
  bool truncated() const { return truncated_; }

 private:
  std::FILE* file_ = nullptr;
  std::string key_;
  uint32_t zip_ = 0;
  bool truncated_ = false;
};

}  // namespace

IndexBuilder::IndexBuilder(std::string run_prefix, size_t memory_limit)
    : run_prefix_(std::move(run_prefix)), memory_limit_(std::max<size_t>(memory_limit, 1024)) {}

IndexBuilder::~IndexBuilder() {
  for (const std::string& run : runs_) unlink(run.c_str());
}

bool IndexBuilder::Add(std::string_view key, uint32_t zip, std::string* error) {
  if (key.empty() || key.size() > 255) {
    *error = "index key of " + std::to_string(key.size()) + " bytes";
    return false;
  }
  entries_.push_back(static_cast<uint32_t>(arena_.size()));
  arena_.push_back(static_cast<char>(key.size()));
  arena_.append(key);
  PutFixed32(&arena_, zip);
  ++pairs_;
  if (arena_.size() + entries_.size() * sizeof(uint32_t) >= memory_limit_) return SpillRun(error);
  return true;
}

void IndexBuilder::SortMemory() {
  std::sort(entries_.begin(), entries_.end(),
            [this](uint32_t a, uint32_t b) { return Less(PairAt(arena_, a), PairAt(arena_, b)); });
}

bool IndexBuilder::SpillRun(std::string* error) {
  SortMemory();
  const std::string path = run_prefix_ + std::to_string(runs_.size());
  OutputFile run;
  if (!run.Create(path, error)) return false;
  runs_.push_back(path);
  for (size_t i = 0; i < entries_.size(); ++i) {
    const uint32_t at = entries_[i];
    const size_t length = 1 + static_cast<uint8_t>(arena_[at]) + 4;
    if (!run.Append(std::string_view(arena_.data() + at, length), error)) return false;
  }
  if (!run.SyncAndClose(error)) return false;
  arena_.clear();
  entries_.clear();
  return true;
}

bool IndexBuilder::ForEach(const Visitor& visit, std::string* error) {
  bool have_last = false;
  std::string last_key;
  uint32_t last_zip = 0;
  auto emit = [&](const Pair& p) {
    if (have_last && p.zip == last_zip && p.key == last_key) return true;
    have_last = true;
    last_key.assign(p.key);
    last_zip = p.zip;
    return visit(p.key, p.zip);
  };

  if (runs_.empty()) {
    SortMemory();
    for (uint32_t at : entries_) {
      if (!emit(PairAt(arena_, at))) return false;
    }
    return true;
  }
  if (!entries_.empty() && !SpillRun(error)) return false;

  std::vector<std::unique_ptr<RunReader>> readers;
  auto greater = [&readers](size_t a, size_t b) { return Less(readers[b]->pair(), readers[a]->pair()); };
  std::priority_queue<size_t, std::vector<size_t>, decltype(greater)> heap(greater);
  for (const std::string& run : runs_) {
    readers.push_back(std::make_unique<RunReader>());
    if (!readers.back()->Open(run, error)) return false;
    if (readers.back()->Next()) heap.push(readers.size() - 1);
  }
  while (!heap.empty()) {
    const size_t i = heap.top();
    heap.pop();
    if (!emit(readers[i]->pair())) return false;
    if (readers[i]->Next()) heap.push(i);
  }
  for (size_t i = 0; i < readers.size(); ++i) {
    if (readers[i]->truncated()) {
      *error = runs_[i] + ": run file cut short";
      return false;
    }
  }
  return true;
}

bool IndexBuilder::Write(int k, OutputFile* out, std::string* error) {
  error->clear();
  // First pass: the first-level list needs the offsets of the main entries.
  std::string first_level;
  std::string last_prefix;
  bool have_prefix = false;
  uint64_t main_size = 0;
  const size_t width = static_cast<size_t>(k);
  std::string prefix;
  bool ok = ForEach(
      [&](std::string_view key, uint32_t zip) {
        if (k > 0) {
          prefix.assign(key.substr(0, width));
          prefix.resize(width, ' ');
          if (!have_prefix || prefix != last_prefix) {
            if (main_size > UINT32_MAX) return false;
            first_level += prefix;
            PutVarMode2(&first_level, static_cast<uint32_t>(main_size));
            last_prefix = prefix;
            have_prefix = true;
          }
        }
        main_size += key.size() + static_cast<uint64_t>(VarLength(zip));
        return true;
      },
      error);
  if (!ok) {
    if (error->empty()) *error = "an index is larger than 4 GiB";
    return false;
  }
  if (main_size + 5 > UINT32_MAX) {
    *error = "an index is larger than 4 GiB";
    return false;
  }
  std::string word;
  if (k > 0) {
    PutFixed32(&word, static_cast<uint32_t>(4 + first_level.size() + 1));
    first_level.push_back('\0');
    if (!out->Append(word, error) || !out->Append(first_level, error)) return false;
  }
  word.clear();
  PutFixed32(&word, static_cast<uint32_t>(4 + main_size + 1));
  if (!out->Append(word, error)) return false;

  // Second pass: the main entries.
  std::string chunk;
  ok = ForEach(
      [&](std::string_view key, uint32_t zip) {
        chunk.append(key);
        PutVarMode2(&chunk, zip);
        if (chunk.size() >= (1 << 16)) {
          if (!out->Append(chunk, error)) return false;
          chunk.clear();
        }
        return true;
      },
      error);
  if (!ok) return false;
  chunk.push_back('\0');
  return out->Append(chunk, error);
}

}  // namespace corvdb::builder
