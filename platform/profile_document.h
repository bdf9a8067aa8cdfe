// The text of a profile (settings) file as a list of lines, for reading values
// and for editing the file without disturbing anything else in it.
//
// Format, as read here (text is bytes; no character-set conversion):
//
//   file    = *line
//   line    = text ending       ending = LF | CR LF
//                                        (the last line may also end in a lone CR or nothing)
//   text    = blank | comment | section | entry | other
//   blank   = *(SP | TAB)
//   comment = *(SP | TAB) ";" *byte
//   section = *(SP | TAB) "[" name "]" *byte      the LAST "]" of the line closes the name
//   entry   = key "=" value                        split at the FIRST "="; key not empty
//   other   = anything else (no "=", or nothing before it): ignored
//
// Names (of sections and keys) and values lose their surrounding blanks and
// tabs; a value that is then enclosed in a matching pair of double or single
// quotes loses that pair. Names match without regard to ASCII letter case.
// Entries before the first section belong to no section and are never found.
// Only the first section of a given name counts (a repeated section header is
// ignored, with its entries), and within it the first entry of a given key.
//
// Editing keeps every byte of every line it does not touch:
//   - an existing entry keeps its text up to the "=" and the blanks after it;
//     only the rest of the line (the old value) is replaced;
//   - a new entry "key=value" goes after the last line of its section that is
//     neither blank nor a comment (so trailing blank lines and comments, which
//     usually introduce the next section, stay in front of the next section);
//   - a new section goes at the end of the file, after one blank line unless
//     the file is empty or already ends in a blank line, as "[section]" then
//     "key=value";
//   - added lines take the line ending of the file's first line (LF when the
//     file has no complete line); a last line without an ending gets one before
//     anything is added after it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvellan {

// One line of a profile file: its bytes and the line ending that followed them.
struct ProfileLine {
  std::string text;    // without the line ending
  std::string ending;  // "\n" or "\r\n"; for the last line of a file also "\r" or ""
};

enum class ProfileLineKind { kBlank, kComment, kSection, kEntry, kOther };

// What a line means. The views point into the text that was classified.
struct ProfileLineInfo {
  ProfileLineKind kind = ProfileLineKind::kOther;
  std::string_view name;          // kSection, kEntry: trimmed section or key name
  std::string_view value;         // kEntry: trimmed value, quotes still on
  std::size_t value_offset = 0;   // kEntry: where the value starts (after "=" and blanks)
};

ProfileLineInfo ClassifyProfileLine(std::string_view text);

// Removes surrounding blanks and tabs.
std::string_view TrimProfileBlanks(std::string_view text);

// Removes one pair of enclosing matching double or single quotes.
std::string_view UnquoteProfileValue(std::string_view value);

// Splits off the line that starts at byte `*pos` of `bytes` and moves `*pos`
// past its ending. Call while *pos < bytes.size().
struct ProfileLineView {
  std::string_view text;
  std::string_view ending;
};
ProfileLineView NextProfileLine(std::string_view bytes, std::size_t* pos);

// Finds the lines that matter for one section/key while the lines of a file
// are fed to it in order: the first header of the section, the first entry of
// the key within that section, and the section's last line that is neither
// blank nor a comment. Reading and editing both use it, so they agree on which
// line holds a value.
class ProfileLocator {
 public:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  // Names are trimmed; an empty name is never found.
  ProfileLocator(std::string_view section, std::string_view key);
  // Takes the next line; returns false once later lines cannot change the result.
  bool Feed(std::string_view text);

  std::size_t header() const { return header_; }
  std::size_t entry() const { return entry_; }
  // The section's last line that is neither blank nor a comment (the header at least).
  std::size_t last_content() const { return last_content_; }
  // kEntry information of the entry line (valid while that line's text lives).
  const ProfileLineInfo& entry_info() const { return entry_info_; }

 private:
  std::string_view section_;
  std::string_view key_;
  std::size_t index_ = 0;
  bool inside_ = false;
  bool done_ = false;
  std::size_t header_ = kNone;
  std::size_t entry_ = kNone;
  std::size_t last_content_ = kNone;
  ProfileLineInfo entry_info_;
};

// The value of section/key in the profile text `bytes` (trimmed, unquoted, not
// cut), or nothing when the section or the key is missing. Reads without
// copying the text.
std::optional<std::string_view> FindProfileValue(std::string_view bytes, std::string_view section,
                                                 std::string_view key);

// Whether two names are equal without regard to ASCII letter case.
bool ProfileNamesEqual(std::string_view a, std::string_view b);

// Whether a section or key name (after trimming) can be written so that it
// reads back as itself: not empty, no line break; a key also has no "=" and
// does not start with ";" or "[".
bool IsWritableProfileSection(std::string_view section);
bool IsWritableProfileKey(std::string_view key);

// The part of a value that can be written on one line: up to its first CR or LF.
std::string_view FirstProfileLine(std::string_view value);

class ProfileDocument {
 public:
  ProfileDocument() = default;
  // Splits `bytes` into lines; Serialize() gives back exactly these bytes.
  explicit ProfileDocument(std::string_view bytes);

  std::string Serialize() const;
  const std::vector<ProfileLine>& lines() const { return lines_; }
  // The line ending that added lines get.
  const std::string& line_ending() const { return line_ending_; }

  // The value of section/key (trimmed, unquoted, not cut), or nothing when the
  // section or the key is missing. The view is valid until the next Set().
  std::optional<std::string_view> Find(std::string_view section, std::string_view key) const;

  // Sets section/key to the first line of `value` as described at the top.
  // Names are trimmed; names that are not writable change nothing. Returns
  // whether the text changed.
  bool Set(std::string_view section, std::string_view key, std::string_view value);

 private:
  ProfileLocator Locate(std::string_view section, std::string_view key) const;
  // Gives line `index` a line ending if it has none (only the last line can lack one).
  void Terminate(std::size_t index);

  std::vector<ProfileLine> lines_;
  std::string line_ending_ = "\n";
};

}  // namespace corvellan
