#include "data_path.h"

#include <sys/stat.h>

#include "layout.h"
#include "platform/file_lookup.h"
#include "platform/profile.h"
#include "str_util.h"

namespace corvdb {

std::string SettingsFilePath() {
  const std::string dir = corvellan::ProfileDirectory();
  if (auto found = corvellan::FindFileNoCase(dir, kSettingsFile)) return *found;
  return corvellan::ProfilePath(kSettingsFile);
}

std::string WithSeparator(std::string directory) {
  if (!directory.empty() && directory.back() != '/') directory += '/';
  return directory;
}

DataLocation LocateDataFile() {
  DataLocation where;
  where.settingsFile = SettingsFilePath();
  struct stat st {};
  where.settingsFound = ::stat(where.settingsFile.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  std::string directory =
      corvellan::GetProfileString(where.settingsFile, kSettingsSection, kSettingsKey, kSettingsDefault, 256);
  // The value is text: a byte 0 in the settings file ends it.
  directory = std::string(strUtil::cutAtNul(directory));
  where.directory = WithSeparator(std::move(directory));
  where.path = where.directory + kDataFileName;
  return where;
}

}  // namespace corvdb
