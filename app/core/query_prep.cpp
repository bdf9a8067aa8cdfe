#include "core/query_prep.h"

#include <array>
#include <utility>

#include "labels/drawing/label_text.h"

namespace corvellan {

namespace {

using Rewrite = std::pair<const char*, const char*>;

// First words the search driver spells out in full (attempt 2).
constexpr std::array<Rewrite, 5> kExpandedFirstWords{{
    {"AVE", "AVENUE"},
    {"RD", "ROAD"},
    {"TER", "TERRACE"},
    {"TR", "TERRACE"},
    {"BLVD", "BOULEVARD"},
}};

// First words the search driver abbreviates (attempt 3), whole words, exact.
// EIGTH and NINETH are kept beside the correct spellings: users type both.
constexpr std::array<Rewrite, 15> kAbbreviatedFirstWords{{
    {"NORTH", "N"},
    {"EAST", "E"},
    {"WEST", "W"},
    {"SOUTH", "S"},
    {"FIRST", "1ST"},
    {"SECOND", "2ND"},
    {"THIRD", "3RD"},
    {"FOURTH", "4TH"},
    {"FIFTH", "5TH"},
    {"SIXTH", "6TH"},
    {"SEVENTH", "7TH"},
    {"EIGHTH", "8TH"},
    {"EIGTH", "8TH"},
    {"NINTH", "9TH"},
    {"NINETH", "9TH"},
}};

// Whole-word substitutions of attempt 5, compound directions first so that
// NORTH EAST becomes NE and not N E.
constexpr std::array<Rewrite, 8> kDirectionWords{{
    {"NORTH EAST", "NE"},
    {"NORTH WEST", "NW"},
    {"SOUTH EAST", "SE"},
    {"SOUTH WEST", "SW"},
    {"NORTH", "N"},
    {"WEST", "W"},
    {"EAST", "E"},
    {"SOUTH", "S"},
}};

// Splits a trimmed street at its first blank. False for a single word.
bool SplitFirstWord(const QString& street, QString* first, QString* rest) {
  const qsizetype blank = street.indexOf(QLatin1Char(' '));
  if (blank < 1) return false;
  *first = street.left(blank);
  *rest = TrimBlanks(street.mid(blank + 1));
  return true;
}

template <std::size_t N>
QString RewriteFirstWord(const QString& street, const std::array<Rewrite, N>& table) {
  QString first;
  QString rest;
  if (!SplitFirstWord(TrimBlanks(street), &first, &rest)) return {};
  for (const auto& [word, replacement] : table) {
    if (first == QLatin1String(word)) return QLatin1String(replacement) + QLatin1Char(' ') + rest;
  }
  return {};
}

bool IsWordCharacter(QChar c) { return c.isLetterOrNumber(); }

// Replaces `find` where it stands as whole words: not preceded or followed by
// a letter or digit (EASTERN and WESTMINSTER keep their spelling). Inserted
// text is never searched again.
void ReplaceWholeWords(QString& text, const QString& find, const QString& replacement) {
  qsizetype at = text.indexOf(find);
  while (at >= 0) {
    const qsizetype end = at + find.size();
    const bool whole = (at == 0 || !IsWordCharacter(text.at(at - 1))) &&
                       (end == text.size() || !IsWordCharacter(text.at(end)));
    qsizetype resume = at + 1;
    if (whole) {
      text.replace(at, find.size(), replacement);
      resume = at + replacement.size();
    }
    at = resume <= text.size() ? text.indexOf(find, resume) : -1;
  }
}

}  // namespace

char32_t UpperSingleByte(char32_t c) {
  const char32_t upper = QChar::toUpper(c);
  return upper <= 0xFF ? upper : c;
}

QString TrimBlanks(const QString& text) {
  qsizetype begin = 0;
  qsizetype end = text.size();
  while (begin < end && text.at(begin) == QLatin1Char(' ')) ++begin;
  while (end > begin && text.at(end - 1) == QLatin1Char(' ')) --end;
  return text.mid(begin, end - begin);
}

QString StripLeadingZeros(const QString& text) {
  const QString trimmed = TrimBlanks(text);
  qsizetype zeros = 0;
  while (zeros < trimmed.size() && trimmed.at(zeros) == QLatin1Char('0')) ++zeros;
  return trimmed.mid(zeros);
}

QString ExpandFirstWord(const QString& street) { return RewriteFirstWord(street, kExpandedFirstWords); }

QString AbbreviateFirstWord(const QString& street) { return RewriteFirstWord(street, kAbbreviatedFirstWords); }

QString DropLeadingDirection(const QString& street) {
  QString first;
  QString rest;
  if (!SplitFirstWord(TrimBlanks(street), &first, &rest)) return {};
  if (first == QLatin1String("N") || first == QLatin1String("E") || first == QLatin1String("W") ||
      first == QLatin1String("S")) {
    return rest;
  }
  return {};
}

QString AbbreviateDirections(const QString& street) {
  const QString before = TrimBlanks(street);
  if (before.isEmpty()) return {};
  QString text = street;
  for (const auto& [word, replacement] : kDirectionWords) {
    ReplaceWholeWords(text, QLatin1String(word), QLatin1String(replacement));
  }
  const QString after = TrimBlanks(text);
  return after != before ? after : QString();
}

QString DropTrailingDirection(const QString& street) {
  const QString text = TrimBlanks(street);
  // A blank at the second position or later: the text has at least two words.
  if (text.indexOf(QLatin1Char(' '), 1) < 0) return {};
  const QString tail = text.right(2);
  if (tail == QLatin1String(" N") || tail == QLatin1String(" E") || tail == QLatin1String(" W") ||
      tail == QLatin1String(" S")) {
    return TrimBlanks(text.left(text.size() - 2));
  }
  return {};
}

QString& ReplaceText(QString& text, const QString& find, const QString& replacement) {
  if (find.isEmpty()) return text;
  qsizetype at = text.indexOf(find);
  while (at >= 0) {
    text.replace(at, find.size(), replacement);
    const qsizetype resume = at + replacement.size();
    at = resume <= text.size() ? text.indexOf(find, resume) : -1;
  }
  return text;
}

// The label text and the program share one display case.
QString ProperCase(const QString& text) { return DisplayCase(text); }

QString AppendField(const QString& line, const QString& piece, const QString& separator) {
  QString result = TrimBlanks(line);
  const QString addition = TrimBlanks(piece);
  if (!addition.isEmpty()) result = TrimBlanks(result + separator + QLatin1Char(' ') + addition);
  // Only a one-character separator can equal a single character of the line.
  if (separator.size() == 1) {
    const QChar mark = separator.at(0);
    if (!result.isEmpty() && result.back() == mark) result = TrimBlanks(result.chopped(1));
    if (!result.isEmpty() && result.front() == mark) result = TrimBlanks(result.mid(1));
  }
  return result;
}

}  // namespace corvellan
