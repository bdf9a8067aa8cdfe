#include "str_util.h"

#include <cstring>

namespace corvdb {

namespace {
// True when the text from position i (a blank) begins with word, within n.
bool LowerWordFollows(const char* text, std::size_t i, std::size_t n, const char* word) {
  const std::size_t len = std::strlen(word);
  if (i + len > n) return false;
  for (std::size_t k = 0; k < len; ++k) {
    if (text[i + k] == '\0' || strUtil::toUpper(text[i + k]) != word[k]) return false;
  }
  return true;
}
}  // namespace

void strUtil::titleCase(char* text, std::size_t length) {
  bool capital = true;
  bool hyphen_seen = false;
  std::size_t n = 0;
  while (n < length && text[n] != '\0') ++n;
  for (std::size_t i = 0; i < n; ++i) {
    const char c = text[i];
    if (isLetter(c)) {
      if (capital) {
        text[i] = toUpper(c);
        capital = false;
      } else if (i >= 2 && text[i - 2] == 'M' && text[i - 1] == 'c') {
        // McDONALD: the letter after "Mc" keeps its case.
      } else {
        text[i] = toLower(c);
      }
    } else if (isDigit(c) || c == '\'') {
      capital = false;
    } else if (c == '(' || c == '/' || c == '.') {
      capital = true;
    } else if (c == '-') {
      if (hyphen_seen) capital = true;
      hyphen_seen = true;
    } else if (c == ' ') {
      capital = !(LowerWordFollows(text, i, n, " OF ") || LowerWordFollows(text, i, n, " AND ") ||
                  LowerWordFollows(text, i, n, " THE "));
    }
  }
}

void strUtil::trimLeft(char* text) {
  std::size_t i = 0;
  while (text[i] == ' ') ++i;
  if (i > 0) std::memmove(text, text + i, std::strlen(text + i) + 1);
}

void strUtil::trimRight(char* text) {
  std::size_t n = std::strlen(text);
  while (n > 0 && text[n - 1] == ' ') text[--n] = '\0';
}

void strUtil::trim(char* text) {
  trimLeft(text);
  trimRight(text);
}

void strUtil::padBlanks(char* text, std::size_t length) {
  std::size_t i = 0;
  while (i < length && text[i] != '\0') ++i;
  for (; i < length; ++i) text[i] = ' ';
}

void strUtil::upperCase(char* text) {
  for (; *text; ++text) *text = toUpper(*text);
}

}  // namespace corvdb
