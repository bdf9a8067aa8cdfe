// Pieces the lookup and search commands share: pointing the engine library at
// a data directory, and printing fixed-length record fields.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace corvdb::tools {

// The engine takes its data directory only from Corvel.ini. To point it
// elsewhere without touching the user's settings, this writes a Corvel.ini
// naming the directory into a fresh temporary profile directory and points
// XDG_CONFIG_HOME at it; it must be created before the engine's first call.
// The directory is removed and XDG_CONFIG_HOME restored on destruction.
class TemporarySettings {
 public:
  TemporarySettings() = default;
  TemporarySettings(const TemporarySettings&) = delete;
  TemporarySettings& operator=(const TemporarySettings&) = delete;
  ~TemporarySettings();

  // `dataDirectory` should end with '/'. False when nothing could be written.
  bool create(const std::string& dataDirectory);

  // For a command's --data option: does nothing when `data` is empty,
  // otherwise checks it and creates the settings. On failure prints one line
  // "corvdb <command>: ..." to stderr and returns false. `dataFile` receives
  // the path the engine will open, as it reads it from the settings.
  bool pointEngineAt(const std::string& data, const char* command, std::string* dataFile);

  // The line for an engine that could not open `dataFile`: "Error opening
  // Data Files: PATH: why". Without --data and without a settings file it
  // also says where the settings file was looked for.
  std::string openErrorLine(const std::string& dataFile) const;

 private:
  std::string dir_;
  std::optional<std::string> old_;
  bool fromSettings_ = true;    // no --data: the user's settings were read
  bool settingsFound_ = false;
  std::string settingsFile_;
};

// The data directory as the engine wants it: with a trailing '/'.
std::string WithTrailingSlash(std::string dir);

// Why a data file cannot be used: "no such file", "no such folder DIR",
// "permission denied", "not a regular file", "empty or too short to be a
// zip.cvd", or "damaged (not a readable zip.cvd)" when the file itself looks
// fine, which leaves its content.
std::string DescribeUnopenableDataFile(const std::string& path);

// Writes a message line to stderr and says whether standard output has taken
// everything so far (false after a write error, with one line on stderr
// naming the command and the reason).
bool StandardOutputOk(const char* command);

// A fixed field as text: up to its first byte 0, without blanks at either end.
std::string Field(const char* record, std::size_t offset, std::size_t length);

// The bytes with everything outside printable ASCII shown as '.'.
std::string Printable(const char* bytes, std::size_t n);

}  // namespace corvdb::tools
