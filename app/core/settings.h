// Reading and writing profile files (Corvel.ini, the .cfg insert settings)
// value by value. A bare file name lives in the profile directory; a name with
// '/' is a path (see platform/profile.h).
#pragma once

#include <QString>

namespace corvellan {

// Longest value GetIni returns, in bytes (its read buffer holds one more).
inline constexpr int kIniValueBytes = 127;

// The trimmed value of section/key in `file`, cut to 127 bytes (never inside a
// UTF-8 sequence). Missing file, section or key give the empty text. Records
// the length read in App().LastIniLength.
QString GetIni(const QString& file, const QString& section, const QString& key);

// Writes one value, creating file, section and key as needed; the file is
// replaced atomically. Note the order: the file comes last. Returns false
// when the file could not be written.
bool WriteIni(const QString& section, const QString& key, const QString& value, const QString& file);

// "Yes"/"No" settings: yes when the first letter, upper-cased, is "Y".
bool IniYes(const QString& value);

// Numeric settings: the leading number of the trimmed text ("12pt" -> 12;
// "", "abc" -> 0).
long IniNumber(const QString& value);

}  // namespace corvellan
