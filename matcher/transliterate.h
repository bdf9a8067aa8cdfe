// Turning outside text (UTF-8) into the single-byte upper-case text the
// engine matches on.
#pragma once

#include <string>
#include <string_view>

namespace corvellan::matcher {

struct Transliteration {
  std::string text;   // ASCII, letters upper-cased
  std::string error;  // empty on success, else why the text was refused
};

// Decodes UTF-8 and maps every character to ASCII: letters with accents to
// their base letter (É -> E, Ñ -> N, ß -> SS, Æ -> AE), typographic quotes,
// dashes and blanks to their plain forms. Malformed UTF-8, control
// characters other than tab, and characters without a clear equivalent
// (Ω, 中, emoji) give an error naming the first of them.
Transliteration ToMatchText(std::string_view utf8);

}  // namespace corvellan::matcher
