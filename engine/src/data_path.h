// Where the engine finds its data file: the settings file Corvel.ini in the
// profile directory (its name matched without regard to letter case, as the
// program finds its other files), section [Directories], key Data (default
// "./"), with "zip.cvd" appended. A directory written without its trailing
// '/' gets one, so "Data=/srv/corvellan/data" names /srv/corvellan/data/zip.cvd.
#pragma once

#include <string>

namespace corvdb {

struct DataLocation {
  std::string settingsFile;     // the settings file that was read, or looked for
  bool settingsFound = false;   // it exists and is a regular file
  std::string directory;        // the data directory, ending in '/' unless empty
  std::string path;             // directory + "zip.cvd"
};

// The settings file's path: an existing file of that name in any letter case
// (the exact spelling first), otherwise the exact name in the profile directory.
std::string SettingsFilePath();

// The directory with a '/' added when it has none; "" stays "" (the current
// directory, as "./").
std::string WithSeparator(std::string directory);

// Reads the settings and works out the data file's path.
DataLocation LocateDataFile();

}  // namespace corvdb
