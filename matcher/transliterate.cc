#include "transliterate.h"

#include <cstdint>
#include <cstdio>

namespace corvellan::matcher {
namespace {

// ASCII forms of U+00C0..U+017F (Latin-1 letters and Latin Extended-A), upper
// case; "" where there is no clear equivalent (× ÷).
const char* const kLatinLetters[] = {
    // U+00C0
    "A", "A", "A", "A", "A", "A", "AE", "C", "E", "E", "E", "E", "I", "I", "I", "I",
    "D", "N", "O", "O", "O", "O", "O", "", "O", "U", "U", "U", "U", "Y", "TH", "SS",
    // U+00E0
    "A", "A", "A", "A", "A", "A", "AE", "C", "E", "E", "E", "E", "I", "I", "I", "I",
    "D", "N", "O", "O", "O", "O", "O", "", "O", "U", "U", "U", "U", "Y", "TH", "Y",
    // U+0100
    "A", "A", "A", "A", "A", "A", "C", "C", "C", "C", "C", "C", "C", "C", "D", "D",
    "D", "D", "E", "E", "E", "E", "E", "E", "E", "E", "E", "E", "G", "G", "G", "G",
    "G", "G", "G", "G", "H", "H", "H", "H", "I", "I", "I", "I", "I", "I", "I", "I",
    "I", "I", "IJ", "IJ", "J", "J", "K", "K", "K", "L", "L", "L", "L", "L", "L", "L",
    "L", "L", "L", "N", "N", "N", "N", "N", "N", "N", "N", "N", "O", "O", "O", "O",
    "O", "O", "OE", "OE", "R", "R", "R", "R", "R", "R", "S", "S", "S", "S", "S", "S",
    "S", "S", "T", "T", "T", "T", "T", "T", "U", "U", "U", "U", "U", "U", "U", "U",
    "U", "U", "U", "U", "W", "W", "Y", "Y", "Y", "Z", "Z", "Z", "Z", "Z", "Z", "S",
};

// Punctuation and blanks outside ASCII that have a plain form.
const char* Punctuation(uint32_t c) {
  switch (c) {
    case 0x00A0: case 0x2002: case 0x2003: case 0x2009: case 0x202F: return " ";
    case 0x2010: case 0x2011: case 0x2012: case 0x2013: case 0x2014: case 0x2212: return "-";
    case 0x2018: case 0x2019: case 0x201A: case 0x2032: return "'";
    case 0x201C: case 0x201D: case 0x201E: case 0x00AB: case 0x00BB: return "\"";
    case 0x00BA: case 0x00B0: case 0x2116: return "#";  // nº, n° used as "number"
    case 0x00B7: case 0x2022: return " ";
    case 0x00BD: return " 1/2";
    default: return nullptr;
  }
}

std::string Describe(uint32_t c) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "U+%04X", static_cast<unsigned>(c));
  return buf;
}

}  // namespace

Transliteration ToMatchText(std::string_view in) {
  Transliteration out;
  out.text.reserve(in.size());
  std::size_t i = 0;
  while (i < in.size()) {
    const auto b0 = static_cast<unsigned char>(in[i]);
    uint32_t c = 0;
    std::size_t len = 0;
    if (b0 < 0x80) {
      c = b0;
      len = 1;
    } else if ((b0 & 0xE0) == 0xC0) {
      c = b0 & 0x1F;
      len = 2;
    } else if ((b0 & 0xF0) == 0xE0) {
      c = b0 & 0x0F;
      len = 3;
    } else if ((b0 & 0xF8) == 0xF0) {
      c = b0 & 0x07;
      len = 4;
    } else {
      out.error = "not UTF-8 text";
      return out;
    }
    if (i + len > in.size()) {
      out.error = "not UTF-8 text";
      return out;
    }
    for (std::size_t k = 1; k < len; ++k) {
      const auto b = static_cast<unsigned char>(in[i + k]);
      if ((b & 0xC0) != 0x80) {
        out.error = "not UTF-8 text";
        return out;
      }
      c = (c << 6) | (b & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are malformed.
    static constexpr uint32_t kMinForLength[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kMinForLength[len] || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
      out.error = "not UTF-8 text";
      return out;
    }
    i += len;
    if (c < 0x80) {
      if (c < 0x20 || c == 0x7F) {
        if (c == '\t') {
          out.text += ' ';
          continue;
        }
        if (c == '\n' || c == '\r') {
          // A line break separates parts of the address as a comma does.
          out.text += ',';
          continue;
        }
        out.error = "control character " + Describe(c);
        return out;
      }
      const char ch = static_cast<char>(c);
      out.text += (ch >= 'a' && ch <= 'z') ? static_cast<char>(ch - 32) : ch;
      continue;
    }
    if (c >= 0xC0 && c <= 0x17F && kLatinLetters[c - 0xC0][0] != '\0') {
      out.text += kLatinLetters[c - 0xC0];
      continue;
    }
    if (const char* p = Punctuation(c)) {
      out.text += p;
      continue;
    }
    out.error = "character " + Describe(c) + " has no plain-letter equivalent";
    return out;
  }
  return out;
}

}  // namespace corvellan::matcher
