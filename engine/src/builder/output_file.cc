#include "builder/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace corvdb::builder {

namespace {
constexpr size_t kBufferSize = 1 << 20;
}

OutputFile::~OutputFile() { Close(); }

bool OutputFile::Fail(const char* what, std::string* error) const {
  *error = path_ + ": " + what + ": " + std::strerror(errno);
  return false;
}

bool OutputFile::Create(const std::string& path, std::string* error) {
  path_ = path;
  fd_ = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd_ < 0) return Fail("cannot create", error);
  buffer_.clear();
  buffer_.reserve(kBufferSize);
  offset_ = 0;
  return true;
}

bool OutputFile::Flush(std::string* error) {
  const char* p = buffer_.data();
  size_t left = buffer_.size();
  while (left > 0) {
    const ssize_t n = write(fd_, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return Fail("cannot write", error);
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  buffer_.clear();
  return true;
}

bool OutputFile::Append(std::string_view data, std::string* error) {
  offset_ += data.size();
  if (buffer_.size() + data.size() > kBufferSize) {
    if (!Flush(error)) return false;
    if (data.size() >= kBufferSize) {
      buffer_.assign(data);
      return Flush(error);
    }
  }
  buffer_.append(data);
  return true;
}

bool OutputFile::WriteAt(uint64_t offset, std::string_view data, std::string* error) {
  if (!Flush(error)) return false;
  while (!data.empty()) {
    const ssize_t n = pwrite(fd_, data.data(), data.size(), static_cast<off_t>(offset));
    if (n < 0) {
      if (errno == EINTR) continue;
      return Fail("cannot write", error);
    }
    data.remove_prefix(static_cast<size_t>(n));
    offset += static_cast<uint64_t>(n);
  }
  return true;
}

bool OutputFile::Truncate(uint64_t size, std::string* error) {
  buffer_.clear();
  if (ftruncate(fd_, static_cast<off_t>(size)) != 0) return Fail("cannot truncate", error);
  if (lseek(fd_, static_cast<off_t>(size), SEEK_SET) < 0) return Fail("cannot seek", error);
  offset_ = size;
  return true;
}

bool OutputFile::Adopt(unsigned mode, unsigned uid, unsigned gid, std::string* error) {
  // Owner first: a change of owner clears set-user-ID bits. Only root (or
  // the owner, for a group it belongs to) may change it; otherwise the
  // new file stays the builder's own.
  if (fchown(fd_, static_cast<uid_t>(uid), static_cast<gid_t>(gid)) != 0 && errno != EPERM) {
    return Fail("cannot set the owner", error);
  }
  if (fchmod(fd_, static_cast<mode_t>(mode)) != 0) return Fail("cannot set the permissions", error);
  return true;
}

bool OutputFile::SyncAndClose(std::string* error) {
  if (!Flush(error)) return false;
  if (fsync(fd_) != 0) return Fail("cannot sync", error);
  const int fd = fd_;
  fd_ = -1;
  if (close(fd) != 0) return Fail("cannot close", error);
  return true;
}

void OutputFile::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

WorkDirectory::~WorkDirectory() {
  if (path_.empty()) return;
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

bool WorkDirectory::Create(const std::string& prefix, std::string* error) {
  std::string tmpl = prefix + "XXXXXX";
  if (mkdtemp(tmpl.data()) == nullptr) {
    *error = tmpl + ": cannot create a working directory: " + std::strerror(errno);
    return false;
  }
  path_ = tmpl;
  return true;
}

bool ReadWholeFile(const std::string& path, std::string* data, std::string* error) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = path + ": cannot open: " + std::strerror(errno);
    return false;
  }
  data->clear();
  char buf[65536];
  for (;;) {
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      *error = path + ": cannot read: " + std::strerror(errno);
      close(fd);
      return false;
    }
    if (n == 0) break;
    data->append(buf, static_cast<size_t>(n));
  }
  close(fd);
  return true;
}

}  // namespace corvdb::builder
