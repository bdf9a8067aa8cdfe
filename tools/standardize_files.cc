#include "standardize_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <random>

#include "signal_cleanup.h"

namespace corvdb::tools {

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kReadBuffer = 1 << 16;
constexpr std::size_t kWriteBuffer = 1 << 20;
constexpr int kMaxLinks = 40;  // as the kernel's own limit for a path

std::string Why(int error) { return std::strerror(error); }

bool Same(const struct stat& st, const FileId& id) { return st.st_dev == id.dev && st.st_ino == id.ino; }

// N of "/dev/fd/N" and "/proc/self/fd/N" (names of a descriptor this process
// already has open), else -1.
int DescriptorName(std::string_view path) {
  for (std::string_view prefix : {std::string_view("/dev/fd/"), std::string_view("/proc/self/fd/")}) {
    if (path.substr(0, prefix.size()) != prefix) continue;
    const std::string_view digits = path.substr(prefix.size());
    int n = -1;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (ec == std::errc() && end == digits.data() + digits.size() && !digits.empty()) return n;
  }
  return -1;
}

std::string RandomSuffix() {
  static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  static std::mt19937_64 generator{std::random_device{}()};
  std::string s(6, ' ');
  for (char& c : s) c = kLetters[generator() % (sizeof kLetters - 1)];
  return s;
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

FdReadBuffer::FdReadBuffer(int fd) : fd_(fd), buffer_(kReadBuffer) {
  setg(buffer_.data(), buffer_.data(), buffer_.data());
}

bool FdReadBuffer::Fill() {
  std::size_t kept = static_cast<std::size_t>(egptr() - gptr());
  if (egptr() == buffer_.data() + buffer_.size()) {
    // Move what is unread to the front; grow only for a Peek wider than the buffer.
    std::memmove(buffer_.data(), gptr(), kept);
    if (kept == buffer_.size()) buffer_.resize(buffer_.size() * 2);
    setg(buffer_.data(), buffer_.data(), buffer_.data() + kept);
  }
  char* end = egptr();
  const std::size_t room = static_cast<std::size_t>(buffer_.data() + buffer_.size() - end);
  for (;;) {
    const ssize_t n = read(fd_, end, room);
    if (n > 0) {
      setg(eback(), gptr(), end + n);
      return true;
    }
    if (n == 0) return false;
    if (errno == EINTR) continue;
    error_ = errno;
    return false;
  }
}

FdReadBuffer::int_type FdReadBuffer::underflow() {
  if (gptr() == egptr()) {
    setg(buffer_.data(), buffer_.data(), buffer_.data());
    if (!Fill()) return traits_type::eof();
  }
  return traits_type::to_int_type(*gptr());
}

std::string_view FdReadBuffer::Peek(std::size_t want) {
  while (static_cast<std::size_t>(egptr() - gptr()) < want && Fill()) {
  }
  return std::string_view(gptr(), static_cast<std::size_t>(egptr() - gptr()));
}

InputList::~InputList() {
  if (owned_ && fd_ >= 0) close(fd_);
}

bool InputList::Open(const std::string& name, std::string* error) {
  if (name == "-") {
    fd_ = 0;
    name_ = "standard input";
  } else {
    fd_ = open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
      *error = "cannot read " + name + ": " + Why(errno);
      return false;
    }
    owned_ = true;
    name_ = name;
  }
  struct stat st {};
  if (fstat(fd_, &st) != 0) {
    *error = "cannot read " + name_ + ": " + Why(errno);
    return false;
  }
  if (S_ISDIR(st.st_mode)) {
    *error = name_ + " is a folder, not a list";
    return false;
  }
  regular_ = S_ISREG(st.st_mode);
  size_ = regular_ ? static_cast<uint64_t>(st.st_size) : 0;
  id_ = FileId{st.st_dev, st.st_ino};
  buffer_ = std::make_unique<FdReadBuffer>(fd_);
  return true;
}

ResultFile::~ResultFile() { Abandon(); }

bool ResultFile::Prepare(const std::string& name, const std::vector<std::pair<FileId, std::string>>& inputs,
                         std::string* error) {
  name_ = name;
  // An output that reads or replaces an input would destroy it: compared by
  // identity, so that hard links, symbolic links and /dev/stdout count.
  const auto isInput = [&](const struct stat& st) {
    for (const auto& [id, what] : inputs) {
      if (!Same(st, id)) continue;
      *error = "the output " + name + " is " + what + "; nothing was written";
      return true;
    }
    return false;
  };
  const auto useDescriptor = [&](int fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0) {
      *error = "cannot write " + name + ": " + Why(errno);
      return false;
    }
    if ((S_ISREG(st.st_mode) || S_ISFIFO(st.st_mode)) && isInput(st)) return false;
    direct_ = true;
    directFd_ = fd;
    target_ = name == "-" ? "standard output" : name;
    return true;
  };
  if (name.empty()) {
    *error = "no output file given";
    return false;
  }
  if (name == "-") return useDescriptor(STDOUT_FILENO);

  // Follow symbolic links, so that the new file lands where they point.
  std::string path = name;
  for (int depth = 0;; ++depth) {
    if (const int fd = DescriptorName(path); fd >= 0) return useDescriptor(fd);
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) break;
    if (depth == kMaxLinks) {
      *error = name + ": too many levels of symbolic links";
      return false;
    }
    std::error_code ec;
    const fs::path link = fs::read_symlink(path, ec);
    if (ec) {
      *error = path + ": cannot read the symbolic link: " + ec.message();
      return false;
    }
    path = link.is_absolute() ? link.string() : (fs::path(path).parent_path() / link).string();
  }
  target_ = path;
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) {
    if (errno != ENOENT) {
      *error = "cannot write " + path + ": " + Why(errno);
      return false;
    }
    // A new file, in a folder that must be there already.
    const std::string dir = fs::path(path).parent_path().string();
    if (struct stat d {}; stat(dir.empty() ? "." : dir.c_str(), &d) != 0 || !S_ISDIR(d.st_mode)) {
      *error = "cannot write " + path + ": the folder " + dir + " does not exist";
      return false;
    }
    return true;
  }
  if (S_ISDIR(st.st_mode)) {
    *error = "the output " + path + " is a folder, not a file";
    return false;
  }
  if (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode)) {
    if (S_ISFIFO(st.st_mode) && isInput(st)) return false;
    direct_ = true;
    return true;
  }
  if (!S_ISREG(st.st_mode)) {
    *error = "the output " + path + " is not a regular file, FIFO or character device; it is never replaced";
    return false;
  }
  if (isInput(st)) return false;
  exists_ = true;
  mode_ = st.st_mode & 07777;
  uid_ = st.st_uid;
  gid_ = st.st_gid;
  return true;
}

bool ResultFile::Open(std::string* error) {
  pending_.reserve(kWriteBuffer);
  if (directFd_ >= 0) {
    fd_ = fcntl(directFd_, F_DUPFD_CLOEXEC, 3);
    if (fd_ < 0) {
      *error = "cannot write " + target_ + ": " + Why(errno);
      return false;
    }
    return true;
  }
  if (direct_) {
    // A FIFO waits here for its reader.
    fd_ = open(target_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd_ < 0) {
      *error = "cannot write " + target_ + ": " + Why(errno);
      return false;
    }
    return true;
  }
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string candidate = target_ + ".tmp-" + RandomSuffix();
    // Registered in the same breath: a signal finds it either registered or
    // not yet there, and a name that was taken is never registered.
    SignalCleanup::CriticalSection hold;
    fd_ = open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd_ >= 0) {
      temporary_ = candidate;
      SignalCleanup::Add(temporary_);
      break;
    }
    if (errno != EEXIST) {
      *error = "cannot create a file beside " + target_ + ": " + Why(errno);
      return false;
    }
  }
  if (fd_ < 0) {
    *error = "cannot create a file of a name of its own beside " + target_;
    return false;
  }
  if (exists_) {
    // The replaced file's owner (where the process may give it) and mode,
    // before anything is written: a private list stays private.
    if (fchown(fd_, uid_, gid_) != 0 && errno != EPERM) {
      *error = temporary_ + ": cannot set the owner: " + Why(errno);
      Abandon();
      return false;
    }
    if (fchmod(fd_, mode_) != 0) {
      *error = temporary_ + ": cannot set the permissions: " + Why(errno);
      Abandon();
      return false;
    }
  }
  return true;
}

bool ResultFile::Flush(std::string* error) {
  if (!WriteAll(fd_, pending_)) {
    *error = "cannot write " + (temporary_.empty() ? target_ : temporary_) + ": " + Why(errno);
    return false;
  }
  pending_.clear();
  return true;
}

bool ResultFile::Write(std::string_view data, std::string* error) {
  pending_.append(data);
  return pending_.size() < kWriteBuffer || Flush(error);
}

bool ResultFile::Commit(std::string* error) {
  if (!Flush(error)) return false;
  if (direct_) {
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0) {
      *error = "cannot write " + target_ + ": " + Why(errno);
      return false;
    }
    return true;
  }
  if (fsync(fd_) != 0) {
    *error = "cannot write " + temporary_ + ": " + Why(errno);
    return false;
  }
  const int fd = fd_;
  fd_ = -1;
  if (close(fd) != 0) {
    *error = "cannot write " + temporary_ + ": " + Why(errno);
    return false;
  }
  {
    SignalCleanup::CriticalSection hold;
    if (rename(temporary_.c_str(), target_.c_str()) != 0) {
      *error = "cannot replace " + target_ + ": " + Why(errno);
      return false;
    }
    SignalCleanup::Remove(temporary_);
    temporary_.clear();
  }
  // Make the rename itself durable.
  const std::string dir = fs::path(target_).parent_path().string();
  const int dirFd = open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    fsync(dirFd);
    close(dirFd);
  }
  return true;
}

void ResultFile::Abandon() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  if (temporary_.empty()) return;
  SignalCleanup::CriticalSection hold;
  unlink(temporary_.c_str());
  SignalCleanup::Remove(temporary_);
  temporary_.clear();
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return out;
}

std::string Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return std::string(s);
}

}  // namespace corvdb::tools
