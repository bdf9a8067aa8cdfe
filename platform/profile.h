// Profile (settings) files: "[section]" and "key=value" lines.
//
// A bare file name (no '/') lives in the profile directory,
// $XDG_CONFIG_HOME/corvellan/ (default ~/.config/corvellan/); a name with '/'
// is a path used as given. Sections and keys match without regard to letter
// case; text is bytes, with no character-set conversion. The exact reading and
// editing rules are in platform/profile_document.h.
//
// A profile file is read whole, up to kMaxProfileBytes (1 MiB, hundreds of
// times what the program's settings need). A larger file, or one that cannot
// be read (permissions, not a regular file), is not used: its values read as
// missing, writes to it fail and leave it as it is (a write would replace it
// with what could be read), and the problem is reported once per file and
// process through the notice handler (standard error unless the program sets
// its own).
//
// Writing is safe against crashes and against other writers:
//   - writers of one file are serialised by an advisory lock (flock) on
//     "<file>.lock" beside it, held from reading the old text to renaming the
//     new one into place; the lock file is created for the write and removed
//     by the writer before it lets go of the lock (a writer that finds it
//     locked a lock file no longer in place starts over);
//   - the new text is written to a temporary file in the same directory
//     (".<name>.<pid>-<n>.tmp"), flushed to disk and renamed over the file, so
//     a reader sees either the old or the new file, never a part of one;
//   - the file keeps its permission bits; a new file gets 0666 less the umask,
//     and missing directories are created with 0700;
//   - a file that is a symbolic link is updated where the link points;
//   - when the value is already there the file is not rewritten.
// Readers take no lock: thanks to the rename they never see a half-written file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace corvellan {

// The largest profile file that is read (and therefore may be rewritten).
inline constexpr std::size_t kMaxProfileBytes = std::size_t{1} << 20;

// The directory that holds profile files addressed by bare name (no trailing '/'):
// $XDG_CONFIG_HOME/corvellan when XDG_CONFIG_HOME is an absolute path, else
// $HOME/.config/corvellan, else <home directory of the user's passwd entry>/.config/corvellan.
std::string ProfileDirectory();

// The file a profile name refers to.
std::string ProfilePath(std::string_view file);

// Reads section/key of `file`. Missing file, section or key give `fallback`.
// The value is trimmed of blanks and tabs, loses one pair of enclosing matching
// quotes, and is cut to buffer_size - 1 bytes (the reading program's buffer);
// the fallback is cut the same way. A file that cannot be read counts as missing.
std::string GetProfileString(std::string_view file, std::string_view section, std::string_view key,
                             std::string_view fallback = {}, std::size_t buffer_size = 256);

// Writes section/key = value into `file`, creating directory, file, section and
// key as needed and keeping every other line. The value is cut at its first
// line break (CR or LF) and written as given otherwise (no quotes are added).
// The file is replaced atomically and writers of the same file are serialised
// (see above). Returns false when the file could not be written (it is then
// unchanged) or when section or key cannot be written (empty; a line break;
// a key with "=" or starting with ";" or "[").
bool WriteProfileString(std::string_view file, std::string_view section, std::string_view key,
                        std::string_view value);

// Why the profile file `file` cannot be used: empty when it is missing or can
// be read whole; else the reason (too large, permission, not a regular file).
std::string ProfileFileProblem(std::string_view file);

// Receives, once per file and process, a sentence naming a profile file that
// could not be read and saying that it is neither used nor rewritten. The
// default handler prints it on standard error. Returns the previous handler;
// nullptr restores the default. Called on the thread that read or wrote.
using ProfileNoticeHandler = void (*)(const std::string& message);
ProfileNoticeHandler SetProfileNoticeHandler(ProfileNoticeHandler handler);
// Lets every file be reported again.
void ForgetProfileNoticesForTesting();

// Settings helpers: yes/no by the first letter after upper-casing ("Y" = yes);
// numbers by their leading numeric part ("12pt" -> 12, "" and "abc" -> 0): the
// text trimmed of blanks and tabs, an optional sign, then digits; values beyond
// the range of long give LONG_MAX or LONG_MIN.
bool ProfileYes(std::string_view value);
long ProfileNumber(std::string_view value);

}  // namespace corvellan
