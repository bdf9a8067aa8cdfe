#include "sample/output_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace corvdb::tools {

OutputFile::~OutputFile() { Abandon(); }

bool OutputFile::Open(const std::string& final_path, std::string* error) {
  Abandon();
  final_path_ = final_path;
  temp_path_ = final_path + "." + std::to_string(getpid()) + ".tmp";
  if (!file_.Create(temp_path_, error)) {
    temp_path_.clear();
    return false;
  }
  open_ = true;
  write_error_.clear();
  committed_ = false;
  return true;
}

void OutputFile::Append(const char* data, size_t size) {
  if (!open_ || !write_error_.empty()) return;
  file_.Append(std::string_view(data, size), &write_error_);
}

bool OutputFile::Finish(std::string* error) {
  if (!open_) {
    *error = "output file is not open";
    return false;
  }
  open_ = false;
  if (write_error_.empty()) file_.SyncAndClose(&write_error_);
  file_.Close();
  if (!write_error_.empty()) {
    *error = write_error_;
    return false;
  }
  return true;
}

bool OutputFile::Commit(std::string* error) {
  if (open_ || !write_error_.empty() || temp_path_.empty()) {
    *error = "cannot commit " + final_path_ + ": file not finished";
    return false;
  }
  if (std::rename(temp_path_.c_str(), final_path_.c_str()) != 0) {
    *error = "cannot rename " + temp_path_ + " to " + final_path_ + ": " + std::strerror(errno);
    return false;
  }
  committed_ = true;
  temp_path_.clear();
  return true;
}

void OutputFile::Abandon() {
  file_.Close();
  open_ = false;
  if (!committed_ && !temp_path_.empty()) ::unlink(temp_path_.c_str());
  temp_path_.clear();
}

}  // namespace corvdb::tools
