// Profile (settings) files: "[section]" and "key=value" lines.
//
// A bare file name (no '/') lives in the profile directory,
// $XDG_CONFIG_HOME/corvellan/ (default ~/.config/corvellan/); a name with '/'
// is a path used as given. Sections and keys match without regard to letter
// case; text is bytes, with no character-set conversion.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace corvellan {

// The directory that holds profile files addressed by bare name (no trailing '/').
std::string ProfileDirectory();

// The file a profile name refers to.
std::string ProfilePath(std::string_view file);

// Reads section/key of `file`. Missing file, section or key give `fallback`.
// The value is trimmed of blanks and tabs, loses one pair of enclosing matching
// quotes, and is cut to buffer_size - 1 bytes (the reading program's buffer).
std::string GetProfileString(std::string_view file, std::string_view section, std::string_view key,
                             std::string_view fallback = {}, std::size_t buffer_size = 256);

// Writes section/key = value into `file`, creating directory, file, section and
// key as needed and keeping every other line. The file is replaced atomically
// and writers of the same file are serialised. Returns false when the file
// could not be written (it is then unchanged).
bool WriteProfileString(std::string_view file, std::string_view section, std::string_view key,
                        std::string_view value);

// Settings helpers: yes/no by the first letter after upper-casing ("Y" = yes);
// numbers by their leading numeric part ("12pt" -> 12, "" and "abc" -> 0).
bool ProfileYes(std::string_view value);
long ProfileNumber(std::string_view value);

}  // namespace corvellan
