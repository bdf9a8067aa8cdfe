#include "str_util.h"

#include <algorithm>
#include <cstring>

#include "record_fields.h"

namespace corvdb {

namespace {
// True when the text from position i (a blank) begins with word, within n.
// The words are matched as written: the text is upper-case USPS data, and a
// text already in mixed case is left to its own capitals.
bool LowerWordFollows(const char* text, std::size_t i, std::size_t n, std::string_view word) {
  return i + word.size() <= n && std::memcmp(text + i, word.data(), word.size()) == 0;
}
}  // namespace

void strUtil::titleCase(char* text, std::size_t length) {
  bool capital = true;
  bool hyphen_seen = false;
  std::size_t n = FieldText(text, length).size();
  // Trailing blanks (the padding of a field) change nothing.
  const std::size_t end = n;
  while (n > 0 && text[n - 1] == ' ') --n;
  // The look-ahead for the lower-case words still sees the blank after them.
  const std::size_t visible = std::min(end, n + 1);
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
      // Most blanks are padding or start an ordinary word: look at the next
      // character before comparing whole words.
      const char next = i + 1 < n ? text[i + 1] : '\0';
      capital = !((next == 'O' && LowerWordFollows(text, i, visible, " OF ")) ||
                  (next == 'A' && LowerWordFollows(text, i, visible, " AND ")) ||
                  (next == 'T' && LowerWordFollows(text, i, visible, " THE ")));
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

std::string_view strUtil::cutAtNul(std::string_view text) { return text.substr(0, text.find('\0')); }

std::string_view strUtil::trimmed(std::string_view text) {
  // Called for every value a search compares and every number field a row
  // decodes, mostly on a few characters: plain loops cost less than the
  // library's searches there.
  const char* const data = text.data();
  std::size_t end = text.size();
  if (end > 32) {
    text = cutAtNul(text);
    end = text.size();
  } else {
    for (std::size_t i = 0; i < end; ++i) {
      if (data[i] == '\0') {
        end = i;
        break;
      }
    }
  }
  std::size_t first = 0;
  while (first < end && data[first] == ' ') ++first;
  while (end > first && data[end - 1] == ' ') --end;
  return std::string_view(data + first, end - first);
}

std::string strUtil::cleanField(std::string_view field) {
  std::string out(trimmed(field));
  for (char& c : out) c = toUpper(c);
  return out;
}

WordSplit strUtil::splitFirst(std::string_view text) {
  text = cutAtNul(text);
  const std::size_t blank = text.find(' ');
  if (blank == std::string_view::npos) return {text, {}};
  std::string_view rest = text.substr(blank);
  const std::size_t next = rest.find_first_not_of(' ');
  rest = next == std::string_view::npos ? std::string_view{} : rest.substr(next);
  return {text.substr(0, blank), rest};
}

WordSplit strUtil::splitLast(std::string_view text) {
  text = cutAtNul(text);
  const std::size_t blank = text.rfind(' ');
  if (blank == std::string_view::npos) return {text, {}};
  std::string_view rest = text.substr(0, blank);
  const std::size_t end = rest.find_last_not_of(' ');
  rest = end == std::string_view::npos ? std::string_view{} : rest.substr(0, end + 1);
  return {text.substr(blank + 1), rest};
}

NumberParts strUtil::splitNumber(std::string_view field) {
  NumberParts parts;
  std::string_view text = trimmed(field);
  const std::size_t nonzero = text.find_first_not_of('0');
  if (nonzero == std::string_view::npos) return parts;
  text.remove_prefix(nonzero);

  std::size_t i = 0;
  if (!isDigit(text[0])) {
    while (i < text.size() && !isDigit(text[i])) ++i;
    while (i < text.size() && text[i] == '0') ++i;
    parts.prefix.assign(text.substr(0, i));
  }
  const std::size_t digits_begin = i;
  uint64_t value = 0;
  while (i < text.size() && isDigit(text[i])) {
    value = value * 10 + static_cast<uint64_t>(text[i] - '0');
    if (value > kMaxNumberValue) value = uint64_t{kMaxNumberValue} + 1;  // stays bounded
    ++i;
  }
  parts.digits.assign(text.substr(digits_begin, i - digits_begin));
  parts.postfix.assign(text.substr(i));
  parts.value = static_cast<uint32_t>(value > kMaxNumberValue ? kMaxNumberValue : value);
  return parts;
}

char strUtil::parity(std::string_view number) {
  number = cutAtNul(number);
  if (number.empty() || !isDigit(number.back())) return ' ';
  return ((number.back() - '0') % 2 != 0) ? 'O' : 'E';
}

UnitParts strUtil::parseUnit(std::string_view field) {
  const WordSplit split = splitFirst(field);
  UnitParts unit;
  unit.number.assign(split.rest);
  if (split.word.empty()) return unit;
  if (const auto abbreviation = kShortUnits.abbreviationOf(split.word)) {
    unit.designator.assign(*abbreviation);
  } else {
    unit.designator.assign(split.word.substr(0, 5));
  }
  return unit;
}

StreetParts strUtil::parseStreetLine(std::string_view line, std::string_view designator,
                                     std::string_view unitNumber, std::string_view primaryNumber,
                                     const SuffixTable& suffixes) {
  StreetParts out;
  out.designator.assign(cutAtNul(designator));
  out.unitNumber.assign(cutAtNul(unitNumber));
  out.primaryNumber.assign(cutAtNul(primaryNumber));
  std::string_view s = cutAtNul(line);

  // 1. A unit at the end of the line, unless the request has one.
  if (out.designator.empty() && out.unitNumber.empty()) {
    const WordSplit last = splitLast(s);
    if (const auto abbreviation = kShortUnits.abbreviationOf(last.word)) {
      out.designator.assign(*abbreviation);
      s = last.rest;
    } else if (kShortUnits.isAbbreviation(last.word)) {
      out.designator.assign(last.word);
      s = last.rest;
    } else {
      const WordSplit before = splitLast(last.rest);
      if (const auto long_abbreviation = kLongUnits.abbreviationOf(before.word)) {
        out.designator.assign(*long_abbreviation);
        out.unitNumber.assign(last.word);
        s = before.rest;
      } else if (kLongUnits.isAbbreviation(before.word)) {
        out.designator.assign(before.word);
        out.unitNumber.assign(last.word);
        s = before.rest;
      }
    }
  }

  // 2. Post-direction.
  WordSplit tail = splitLast(s);
  if (IsDirection(tail.word)) {
    out.postDirection.assign(tail.word);
    s = tail.rest;
    tail = splitLast(s);
  }

  // 3. Suffix; what precedes it is the street name.
  std::string_view street;
  if (!tail.word.empty()) {
    if (const auto abbreviation = suffixes.lookup(tail.word)) {
      out.suffix.assign(*abbreviation);
      street = tail.rest;
    } else {
      street = s;
    }
  }

  // 4. Pre-direction, only when a street name follows it.
  WordSplit head = splitFirst(street);
  if (!head.word.empty() && !head.rest.empty() && IsDirection(head.word)) {
    out.preDirection.assign(head.word);
    street = head.rest;
  }

  // 5. House number at the front, only when a street name follows it.
  if (out.primaryNumber.empty() && out.preDirection.empty()) {
    head = splitFirst(street);
    const bool has_digit = head.word.find_first_of("0123456789") != std::string_view::npos;
    if (!head.word.empty() && !head.rest.empty() && head.word.size() <= 10 && has_digit) {
      out.primaryNumber.assign(head.word);
      street = head.rest;
      head = splitFirst(street);
      if (head.word.find('/') != std::string_view::npos) {  // 12 1/2
        out.primaryNumber.append(" ").append(head.word);
        street = head.rest;
        head = splitFirst(street);
      }
      if (IsDirection(head.word)) {
        out.preDirection.assign(head.word);
        street = head.rest;
      }
    }
  }

  out.streetName.assign(street);
  return out;
}

}  // namespace corvdb
