// A file written under a temporary name beside its final name and renamed
// onto it only when complete, so a reader never sees half a file under the
// final name. Writing and buffering are the writer's OutputFile; the first
// write error is kept and reported by Finish().
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "builder/output_file.h"

namespace corvdb::tools {

class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();  // removes the temporary file unless Commit() succeeded
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Creates "<final_path>.<pid>.tmp" (never an existing file).
  bool Open(const std::string& final_path, std::string* error);
  void Append(const char* data, size_t size);
  // Writes what is buffered, syncs to disk and closes.
  bool Finish(std::string* error);
  // Renames the finished file onto its final name.
  bool Commit(std::string* error);
  // Closes and removes the temporary file.
  void Abandon();

  uint64_t bytes() const { return file_.offset(); }
  const std::string& temp_path() const { return temp_path_; }

 private:
  builder::OutputFile file_;
  bool open_ = false;
  std::string final_path_;
  std::string temp_path_;
  std::string write_error_;  // the first write error, empty while all is well
  bool committed_ = false;
};

}  // namespace corvdb::tools
