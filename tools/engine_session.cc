#include "engine_session.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/profile.h"

namespace corvdb::tools {

bool TemporarySettings::create(const std::string& dataDirectory) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/corvdb-settings-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) return false;
  dir_ = pattern;
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
  *dataFile = corvellan::GetProfileString("Corvel.ini", "Directories", "Data", "./", 256) + "zip.cvd";
  return true;
}

TemporarySettings::~TemporarySettings() {
  if (dir_.empty()) return;
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
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
