#include "engine_session.h"

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
