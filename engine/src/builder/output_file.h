// Small file helpers of the writer: a buffered sequential output file that
// knows its offset, and a working directory that disappears with everything
// in it unless the build succeeds.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace corvdb::builder {

class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Creates a new file (it must not exist); permissions follow the umask.
  bool Create(const std::string& path, std::string* error);
  bool Append(std::string_view data, std::string* error);
  // Overwrites bytes already written.
  bool WriteAt(uint64_t offset, std::string_view data, std::string* error);
  // Cuts the file back to `size` bytes and continues writing there.
  bool Truncate(uint64_t size, std::string* error);
  bool Flush(std::string* error);
  // Gives the file the permission bits and, where the process may, the owner
  // of the file it is going to replace.
  bool Adopt(unsigned mode, unsigned uid, unsigned gid, std::string* error);
  // Flushes, fsyncs and closes.
  bool SyncAndClose(std::string* error);
  void Close();

  uint64_t offset() const { return offset_; }
  const std::string& path() const { return path_; }

 private:
  bool Fail(const char* what, std::string* error) const;

  std::string path_;
  int fd_ = -1;
  std::string buffer_;
  uint64_t offset_ = 0;  // bytes written, buffered ones included
};

// mkdtemp(`prefix` + "XXXXXX"); removed recursively on destruction.
class WorkDirectory {
 public:
  WorkDirectory() = default;
  ~WorkDirectory();
  WorkDirectory(const WorkDirectory&) = delete;
  WorkDirectory& operator=(const WorkDirectory&) = delete;

  bool Create(const std::string& prefix, std::string* error);
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Reads a whole file (small inputs such as the suffix list).
bool ReadWholeFile(const std::string& path, std::string* data, std::string* error);

}  // namespace corvdb::builder
