#include "platform/profile.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

#include "platform/profile_document.h"

namespace corvellan {

namespace {

constexpr char kProfileSubdirectory[] = "corvellan";

// A file descriptor closed on destruction.
class UniqueFd {
 public:
  explicit UniqueFd(int fd = -1) : fd_(fd) {}
  ~UniqueFd() { Reset(); }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Closes now, reporting whether close succeeded (a failed close can mean lost data).
  bool Close() {
    if (fd_ < 0) return true;
    const int fd = fd_;
    fd_ = -1;
    return close(fd) == 0;
  }
  void Reset(int fd = -1) {
    Close();
    fd_ = fd;
  }

 private:
  int fd_;
};

std::string EnvOrEmpty(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

std::string PasswdHome() {
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
  passwd entry{};
  passwd* result = nullptr;
  while (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &result) == ERANGE &&
         buffer.size() < (1u << 20)) {
    buffer.resize(buffer.size() * 2);
  }
  if (result == nullptr || result->pw_dir == nullptr) return {};
  return result->pw_dir;
}

std::string ParentDirectory(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// mkdir -p: creates each missing directory of `dir` with mode 0700.
bool MakeDirectories(const std::string& dir) {
  struct stat st {};
  if (stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  std::size_t pos = 0;
  while (pos != std::string::npos) {
    pos = dir.find('/', pos + 1);
    const std::string prefix = dir.substr(0, pos);
    if (prefix.empty() || prefix.back() == '/') continue;
    if (mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

static_assert(kMaxProfileBytes == std::size_t{1} << 20, "the messages and documents say 1 MiB");

enum class ReadResult { kRead, kMissing, kFailed, kTooLarge };

// Reads a whole regular file of at most kMaxProfileBytes. `mode` receives its
// permission bits. A larger file is not read beyond the limit (kTooLarge),
// also when it grows while being read; `*problem`, when given, says what kept
// a file from being read (kFailed, kTooLarge).
ReadResult ReadRegularFile(const std::string& path, std::string* bytes, mode_t* mode,
                           std::string* problem = nullptr) {
  const auto fail = [&](ReadResult result, const std::string& why) {
    if (problem != nullptr) *problem = why;
    return result;
  };
  // O_NONBLOCK keeps a FIFO in the file's place from blocking the open.
  UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!fd.valid()) {
    if (errno == ENOENT) return ReadResult::kMissing;
    return fail(ReadResult::kFailed, std::strerror(errno));
  }
  struct stat st {};
  if (fstat(fd.get(), &st) != 0) return fail(ReadResult::kFailed, std::strerror(errno));
  if (!S_ISREG(st.st_mode)) return fail(ReadResult::kFailed, "not a regular file");
  const auto too_large = [&](unsigned long long size) {
    return fail(ReadResult::kTooLarge, "it holds " + std::to_string(size) + " bytes, more than the 1 MiB (" +
                                           std::to_string(kMaxProfileBytes) + " bytes) a settings file may hold");
  };
  if (static_cast<unsigned long long>(st.st_size) > kMaxProfileBytes) return too_large(st.st_size);
  if (mode != nullptr) *mode = st.st_mode & 07777;
  bytes->clear();
  bytes->reserve(static_cast<std::size_t>(st.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t n = read(fd.get(), buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail(ReadResult::kFailed, std::strerror(errno));
    }
    bytes->append(buffer, static_cast<std::size_t>(n));
    if (bytes->size() > kMaxProfileBytes) {
      const std::size_t seen = bytes->size();
      bytes->clear();
      return too_large(seen);
    }
  }
  return ReadResult::kRead;
}

// Files whose problem has been reported, each once per process.
std::mutex& NoticeMutex() {
  static std::mutex* mutex = new std::mutex;
  return *mutex;
}
std::set<std::string>& NoticedFiles() {
  static std::set<std::string>* files = new std::set<std::string>;
  return *files;
}

void PrintNotice(const std::string& message) { std::fprintf(stderr, "corvellan: %s\n", message.c_str()); }
std::atomic<ProfileNoticeHandler> notice_handler{&PrintNotice};

// Reports, once per file, that `path` could not be read and is therefore
// neither used nor rewritten.
void Notice(const std::string& path, const std::string& problem) {
  {
    const std::lock_guard hold(NoticeMutex());
    if (!NoticedFiles().insert(path).second) return;
  }
  notice_handler.load()("the settings file " + path + " cannot be read (" + problem +
                        "): its settings are not used and it is left as it is, nothing is saved to it");
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Holds an exclusive flock on the lock file `path` for its lifetime, and
// removes the file when done, so that no lock file stays behind.
//
// Removing a lock file races with writers that opened it and wait for its
// lock: once they get it, the file they hold may have been unlinked (or
// replaced by the next writer's). So after taking the lock, the holder checks
// that `path` still names the inode it locked, and starts over otherwise. The
// holder unlinks the file before it releases the lock; a writer then locks
// either the new file at `path` or a stale one it will give up.
class FileLock {
 public:
  explicit FileLock(const std::string& path) : path_(path) {
    // Each retry means another writer took and released the lock meanwhile.
    for (int attempt = 0; attempt < 10000; ++attempt) {
      fd_.Reset(open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666));
      if (!fd_.valid()) return;
      int locked = 0;
      while ((locked = flock(fd_.get(), LOCK_EX)) != 0 && errno == EINTR) {
      }
      if (locked != 0) break;
      struct stat held {}, named {};
      if (fstat(fd_.get(), &held) == 0 && stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
          held.st_ino == named.st_ino) {
        return;
      }
    }
    fd_.Reset();
  }
  ~FileLock() {
    // Unlinked while still locked; a directory we may not write keeps it.
    if (fd_.valid()) unlink(path_.c_str());
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool locked() const { return fd_.valid(); }

 private:
  std::string path_;
  UniqueFd fd_;  // closing it (after the unlink) releases the lock
};

// Writes `bytes` to a new file beside `path` and renames it over `path`.
// `mode` is applied to the new file when given (else 0666 less the umask).
// On failure the temporary file is removed and `path` is untouched.
bool ReplaceFile(const std::string& path, std::string_view bytes, std::optional<mode_t> mode) {
  static std::atomic<unsigned> counter{0};
  const std::string dir = ParentDirectory(path);
  const std::string prefix = dir + "/." + BaseName(path) + "." + std::to_string(getpid()) + "-";
  std::string temp;
  UniqueFd fd;
  for (int attempt = 0; attempt < 100 && !fd.valid(); ++attempt) {
    temp = prefix + std::to_string(counter.fetch_add(1)) + ".tmp";
    fd.Reset(open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!fd.valid() && errno != EEXIST) return false;
  }
  if (!fd.valid()) return false;
  const bool written = (!mode || fchmod(fd.get(), *mode) == 0) && WriteAll(fd.get(), bytes) &&
                       fsync(fd.get()) == 0;
  if (!fd.Close() || !written || rename(temp.c_str(), path.c_str()) != 0) {
    unlink(temp.c_str());
    return false;
  }
  // Make the rename itself durable. The file is already replaced, so a failure
  // here changes nothing for the caller.
  UniqueFd dir_fd(open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir_fd.valid()) fsync(dir_fd.get());
  return true;
}

// The file to update for `path`: the target when `path` is a symbolic link.
std::string ResolveLink(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char* resolved = realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return path;
  std::string target(resolved);
  std::free(resolved);
  return target;
}

}  // namespace

std::string ProfileDirectory() {
  const std::string config = EnvOrEmpty("XDG_CONFIG_HOME");
  if (!config.empty() && config.front() == '/') return config + "/" + kProfileSubdirectory;
  std::string home = EnvOrEmpty("HOME");
  if (home.empty()) home = PasswdHome();
  return home + "/.config/" + kProfileSubdirectory;
}

std::string ProfilePath(std::string_view file) {
  if (file.find('/') != std::string_view::npos) return std::string(file);
  return ProfileDirectory() + "/" + std::string(file);
}

std::string GetProfileString(std::string_view file, std::string_view section, std::string_view key,
                             std::string_view fallback, std::size_t buffer_size) {
  std::string value(fallback);
  std::string bytes, problem;
  const std::string path = ProfilePath(file);
  const ReadResult read = ReadRegularFile(path, &bytes, nullptr, &problem);
  if (read == ReadResult::kRead) {
    if (const auto found = FindProfileValue(bytes, section, key)) value.assign(*found);
  } else if (read != ReadResult::kMissing) {
    Notice(path, problem);
  }
  value.resize(std::min(value.size(), buffer_size > 0 ? buffer_size - 1 : 0));
  return value;
}

bool WriteProfileString(std::string_view file, std::string_view section, std::string_view key,
                        std::string_view value) {
  if (!IsWritableProfileSection(section) || !IsWritableProfileKey(key)) return false;
  const std::string path = ResolveLink(ProfilePath(file));
  if (BaseName(path).empty() || !MakeDirectories(ParentDirectory(path))) return false;

  const FileLock lock(path + ".lock");
  if (!lock.locked()) return false;

  // A file that could not be read whole is never replaced: the new text
  // would lose what was not read.
  std::string bytes, problem;
  mode_t mode = 0;
  const ReadResult read = ReadRegularFile(path, &bytes, &mode, &problem);
  if (read == ReadResult::kFailed || read == ReadResult::kTooLarge) {
    Notice(path, problem);
    return false;
  }
  ProfileDocument document(bytes);
  if (!document.Set(section, key, value) && read == ReadResult::kRead) return true;
  return ReplaceFile(path, document.Serialize(),
                     read == ReadResult::kRead ? std::optional<mode_t>(mode) : std::nullopt);
}

std::string ProfileFileProblem(std::string_view file) {
  std::string bytes, problem;
  const ReadResult read = ReadRegularFile(ProfilePath(file), &bytes, nullptr, &problem);
  return read == ReadResult::kFailed || read == ReadResult::kTooLarge ? problem : std::string();
}

ProfileNoticeHandler SetProfileNoticeHandler(ProfileNoticeHandler handler) {
  return notice_handler.exchange(handler != nullptr ? handler : &PrintNotice);
}

void ForgetProfileNoticesForTesting() {
  const std::lock_guard hold(NoticeMutex());
  NoticedFiles().clear();
}

bool ProfileYes(std::string_view value) {
  return !value.empty() && (value.front() == 'Y' || value.front() == 'y');
}

long ProfileNumber(std::string_view value) {
  value = TrimProfileBlanks(value);
  std::size_t i = 0;
  bool negative = false;
  if (i < value.size() && (value[i] == '+' || value[i] == '-')) negative = value[i++] == '-';
  long number = 0;
  for (; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
    const int digit = value[i] - '0';
    if (negative) {
      number = number < (LONG_MIN + digit) / 10 ? LONG_MIN : number * 10 - digit;
    } else {
      number = number > (LONG_MAX - digit) / 10 ? LONG_MAX : number * 10 + digit;
    }
  }
  return number;
}

}  // namespace corvellan
