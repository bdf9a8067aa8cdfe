// The read-only mapping of zip.cvd.
//
// The whole file is mapped once, so every byte of it is addressable for the
// life of the engine. The format was made for readers that map one 4 MB window
// at a time; that is why a block must fit in the 4 MB that follow its start
// rounded down to 64 KB (zip_code.h checks it), but this reader never moves a
// window and so never meets a window that cannot be mapped.
//
// Offsets inside the file are 32-bit: a file of 4 GB or more is not a zip.cvd.
// A file that shrinks while it is mapped raises SIGBUS in the reader: a
// database is replaced by renaming a new file over it, never rewritten in place.
#pragma once

#include <cstdint>
#include <string>

namespace corvdb {

class MappedDataFile {
 public:
  MappedDataFile() = default;
  ~MappedDataFile();
  MappedDataFile(const MappedDataFile&) = delete;
  MappedDataFile& operator=(const MappedDataFile&) = delete;

  // Opens and maps `path`; false (nothing mapped) when the file cannot be
  // opened or mapped, is empty, or is 4 GB or larger.
  bool map(const std::string& path);
  // Reads another object's mapping without owning it: that object must keep
  // it mapped for as long as this one is used (a search helper's engine).
  void borrow(const MappedDataFile& owner);
  void unmap();

  const uint8_t* view() const { return view_; }
  uint64_t fileSize() const { return fileSize_; }

 private:
  const uint8_t* view_ = nullptr;
  uint64_t fileSize_ = 0;
  bool owned_ = false;
};

}  // namespace corvdb
