#include "engine_session.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "data_path.h"
#include "platform/profile.h"
#include "signal_cleanup.h"

namespace corvdb::tools {

bool TemporarySettings::create(const std::string& dataDirectory) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/corvdb-settings-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) return false;
  dir_ = pattern;
  SignalCleanup::Add(dir_);
  if (const char* old = std::getenv("XDG_CONFIG_HOME")) old_ = old;
  setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
  return corvellan::WriteProfileString("Corvel.ini", "Directories", "Data", dataDirectory);
}

bool TemporarySettings::pointEngineAt(const std::string& data, const char* command, std::string* dataFile) {
  if (!data.empty()) {
    if (data.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
      std::fprintf(stderr, "corvdb %s: --data: a directory name without line breaks, please\n", command);
      return false;
    }
    if (!create(WithTrailingSlash(data))) {
      std::fprintf(stderr, "corvdb %s: cannot write temporary settings for --data\n", command);
      return false;
    }
  }
  fromSettings_ = data.empty();
  // The engine library reads the same settings file when the command opens
  // the database and reports a file it cannot use; this read stays quiet so
  // that the user is told once.
  const corvellan::ProfileNoticeHandler previous = corvellan::SetProfileNoticeHandler([](const std::string&) {});
  const DataLocation where = LocateDataFile();
  corvellan::SetProfileNoticeHandler(previous);
  settingsFound_ = where.settingsFound;
  settingsFile_ = where.settingsFile;
  *dataFile = where.path;
  return true;
}

std::string TemporarySettings::openErrorLine(const std::string& dataFile) const {
  std::string line = "Error opening Data Files: " + dataFile + ": " + DescribeUnopenableDataFile(dataFile);
  if (fromSettings_ && !settingsFound_) {
    line += " (no settings file " + settingsFile_ + ", so the current directory was used; name the folder with --data)";
  }
  return line;
}

std::string DescribeUnopenableDataFile(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT) {
      const std::string folder = std::filesystem::path(path).parent_path().string();
      struct stat dir {};
      if (!folder.empty() && ::stat(folder.c_str(), &dir) != 0 && errno == ENOENT) return "no such folder " + folder;
      return "no such file";
    }
    if (errno == EACCES) return "permission denied";
    if (errno == ENOTDIR) return "a part of the path is not a folder";
    return std::strerror(errno);
  }
  if (!S_ISREG(st.st_mode)) return "not a regular file";
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return errno == EACCES ? "permission denied" : std::strerror(errno);
  ::close(fd);
  // The smallest zip.cvd: H, the reserved word, T, the second reserved word
  // and the directory's byte 0, then the tables area.
  if (st.st_size < 17) return "empty or too short to be a zip.cvd";
  if (static_cast<uint64_t>(st.st_size) > UINT32_MAX) return "4 GiB or larger, too large to be a zip.cvd";
  return "damaged (not a readable zip.cvd; corvdb check " + path + " tells more)";
}

bool StandardOutputOk(const char* command) {
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
  const int error = errno;
  std::fprintf(stderr, "corvdb %s: cannot write to standard output: %s\n", command,
               error != 0 ? std::strerror(error) : "write error");
  return false;
}

TemporarySettings::~TemporarySettings() {
  if (dir_.empty()) return;
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
  SignalCleanup::Remove(dir_);
  if (old_) {
    setenv("XDG_CONFIG_HOME", old_->c_str(), 1);
  } else {
    unsetenv("XDG_CONFIG_HOME");
  }
}

std::string WithTrailingSlash(std::string dir) {
  if (dir.empty() || dir.back() != '/') dir += '/';
  return dir;
}

std::string Field(const char* record, std::size_t offset, std::size_t length) {
  std::string s(record + offset, length);
  s = s.substr(0, s.find('\0'));
  const std::size_t first = s.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

std::string Printable(const char* bytes, std::size_t n) {
  std::string s(bytes, n);
  for (char& c : s) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u >= 0x7F) c = '.';
  }
  return s;
}

}  // namespace corvdb::tools
