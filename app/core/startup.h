// The start-up decisions of the main window that need no window: directory
// values, the insert-settings file, date stamps, and the texts of the
// engine's and the desktop's error codes.
#pragma once

#include <QDateTime>
#include <QString>
#include <QUrl>

#include <optional>

namespace corvellan {

// A configured directory as the program uses it: letter case kept, '/' at the
// end. An empty value gives "/" (the root directory).
QString DirectoryWithSlash(const QString& value);

// `relative` below `dir`, each name matched without regard to letter case
// ("docs/Zip_new.htm" finds docs/zip_new.htm). Nothing when there is no match.
std::optional<QString> FindNoCase(const QString& dir, const QString& relative);

// Name of the insert-settings file that marks the program directory.
inline constexpr char kProgramMarker[] = "Corvellan.Cfg";

// The active insert-settings file for the command-line argument: the argument
// is a file name relative to `programDir` (an absolute path is taken as given);
// ".cfg" is appended when the file name holds no period. No argument selects
// Corvellan.Cfg. An existing file of that name in another letter case is used.
QString ChooseCfgFile(const QString& programDir, const QString& argument);

// A file date as the settings store it: "dd mmm yyyy" with English month
// abbreviations (05 Mar 2024).
QString FormatStampDate(const QDateTime& when);

// Text of a negative engine result: 1 "Search Unsuccessful", 2 "Profile or
// data Files not Found", 3 "Error opening files", others "Error No n"
// (sign dropped).
QString EngineErrorText(int code);

// Result codes of opening a document, in the numbering the messages use.
// Values above 32 mean success.
enum DocResult : int {
  kDocOutOfMemory = 0,
  kDocFileNotFound = 2,
  kDocPathNotFound = 3,
  kDocAccessDenied = 5,
  kDocNoAssociation = 31,
  kDocOpened = 42,
};

// The message for a failed opening (code below 33).
QString DocErrorText(int code);

// The message for a web address nothing could open: says so and gives the
// address on a line of its own, to be copied into a browser elsewhere.
QString NoBrowserText(const QUrl& address);

}  // namespace corvellan
