#include "sample/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace corvdb::tools {
namespace {
constexpr size_t kBufferSize = 4 << 20;
}

OutputFile::~OutputFile() { Abandon(); }

bool OutputFile::Open(const std::string& final_path, std::string* error) {
  Abandon();
  final_path_ = final_path;
  temp_path_ = final_path + "." + std::to_string(getpid()) + ".tmp";
  fd_ = ::open(temp_path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd_ < 0) {
    *error = "cannot create " + temp_path_ + ": " + std::strerror(errno);
    temp_path_.clear();
    return false;
  }
  buffer_.resize(kBufferSize);
  used_ = 0;
  bytes_ = 0;
  write_errno_ = 0;
  committed_ = false;
  return true;
}

void OutputFile::Append(const char* data, size_t size) {
  while (size > 0) {
    if (used_ == buffer_.size()) Flush();
    const size_t n = std::min(size, buffer_.size() - used_);
    std::memcpy(buffer_.data() + used_, data, n);
    used_ += n;
    data += n;
    size -= n;
    bytes_ += n;
  }
}

void OutputFile::Flush() {
  size_t done = 0;
  while (done < used_ && write_errno_ == 0 && fd_ >= 0) {
    const ssize_t n = ::write(fd_, buffer_.data() + done, used_ - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      write_errno_ = errno;
    } else {
      done += static_cast<size_t>(n);
    }
  }
  used_ = 0;
}

bool OutputFile::Finish(std::string* error) {
  if (fd_ < 0) {
    *error = "output file is not open";
    return false;
  }
  Flush();
  if (write_errno_ == 0 && ::fsync(fd_) != 0) write_errno_ = errno;
  if (::close(fd_) != 0 && write_errno_ == 0) write_errno_ = errno;
  fd_ = -1;
  if (write_errno_ != 0) {
    *error = "cannot write " + temp_path_ + ": " + std::strerror(write_errno_);
    return false;
  }
  return true;
}

bool OutputFile::Commit(std::string* error) {
  if (fd_ >= 0 || write_errno_ != 0 || temp_path_.empty()) {
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
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!committed_ && !temp_path_.empty()) ::unlink(temp_path_.c_str());
  temp_path_.clear();
  buffer_.clear();
  buffer_.shrink_to_fit();
}

}  // namespace corvdb::tools
