#include "labels/drawing/label_text.h"

#include <algorithm>
#include <array>
#include <utility>

#include "platform/profile.h"

namespace corvellan {

namespace {

constexpr char kLineEnd[] = "\r\n";

// Lower-case words inside a display name, and upper-case abbreviations.
constexpr std::array<std::pair<const char*, const char*>, 7> kDisplayWords{{
    {" And ", " and "},
    {" On ", " on "},
    {" Of ", " of "},
    {" Rr ", " RR "},
    {" The ", " the "},
    {" Under ", " under "},
    {"Po Box", "PO Box"},
}};

bool AllAsciiDigits(QStringView text) {
  return std::all_of(text.begin(), text.end(), [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
}

// A letter after one of these starts a word and keeps its case.
bool KeepsCaseAfter(QChar previous) {
  return previous == QLatin1Char(' ') || previous == QLatin1Char('(') || previous == QLatin1Char('/') ||
         previous == QLatin1Char('-');
}

// Replaces every `find`, never searching inserted text again.
void ReplaceAll(QString& text, const QString& find, const QString& replacement) {
  qsizetype at = text.indexOf(find);
  while (at >= 0) {
    text.replace(at, find.size(), replacement);
    const qsizetype resume = at + replacement.size();
    at = resume <= text.size() ? text.indexOf(find, resume) : -1;
  }
}

}  // namespace

QString TrimLabelBlanks(const QString& text) {
  qsizetype begin = 0;
  qsizetype end = text.size();
  while (begin < end && text.at(begin) == QLatin1Char(' ')) ++begin;
  while (end > begin && text.at(end - 1) == QLatin1Char(' ')) --end;
  return text.mid(begin, end - begin);
}

QString DisplayCase(const QString& text) {
  QString result = text;
  for (qsizetype i = 1; i < result.size(); ++i) {
    if (!KeepsCaseAfter(result.at(i - 1))) result[i] = result.at(i).toLower();
  }
  for (const auto& [word, replacement] : kDisplayWords) {
    ReplaceAll(result, QLatin1String(word), QLatin1String(replacement));
  }
  result = TrimLabelBlanks(result);

  // Leading direction or rural route: "Ne Main St" -> "NE Main St", "Rr 2" -> "RR 2".
  static const QString kLeading = QStringLiteral("NE $NW $SE $SW $RR ");
  const QString head = result.left(3).toUpper();
  if (head.size() == 3 && kLeading.contains(head)) result.replace(0, 3, head);

  // Trailing direction: "Main St Nw" -> "Main St NW".
  static const QString kTrailing = QStringLiteral(" NE$ NW$ SE$ SW$");
  const QString tail = result.right(3).toUpper();
  if (tail.size() >= 2 && kTrailing.contains(tail)) result = result.left(result.size() - 2) + TrimLabelBlanks(tail);
  return result;
}

int MaxCharsValue(const QString& text) {
  // A typed limit beyond the 16-bit range would have overflowed; it is held
  // at the end of the range instead (every line then fits).
  return static_cast<int>(std::clamp<long>(ProfileNumber(text.toStdString()), -32768, 32767));
}

QString ComposeAddressBlock(const LabelAddress& a) {
  const int limit = a.maxChars;
  QString block;
  const auto append = [&block](const QString& line) { block += line + QLatin1String(kLineEnd); };

  if (!a.recipient.isEmpty()) append(a.recipient);

  const QString unit = TrimLabelBlanks(a.secondary);
  const QString primary = TrimLabelBlanks(a.primary);
  const QString delivery = TrimLabelBlanks(primary + QLatin1Char(' ') + unit);
  if (delivery.size() > limit && !unit.isEmpty()) {
    append(unit);
    append(primary);
  } else if (!delivery.isEmpty()) {
    append(delivery);
  }

  const QString urbanization = DisplayCase(a.urbanization);
  if (!urbanization.isEmpty()) append(urbanization);

  const QString zipPart = LabelZipText(a);
  const QString cityPart = a.city + QLatin1Char(' ') + a.state;
  const QString oneLine = cityPart + QLatin1Char(' ') + zipPart;
  if (oneLine.size() <= limit) {
    append(oneLine);
  } else {
    append(cityPart);
    append(zipPart);
  }
  return block;
}

QString LabelZipText(const LabelAddress& a) {
  return TrimLabelBlanks(a.plus4).isEmpty() ? a.zip : a.zip + QLatin1Char('-') + a.plus4;
}

QString LabelBarcodeDigits(const LabelAddress& a) {
  // Read from the printed text itself, so a ZIP+4 typed whole into the Zip
  // box counts as one, and blanks around it (invisible on paper) do not.
  const QString printed = TrimLabelBlanks(LabelZipText(a));
  const QStringView zip = QStringView(printed).left(5);
  if (zip.size() != 5 || !AllAsciiDigits(zip)) return {};
  if (printed.size() == 5) return printed;
  const QStringView addon = QStringView(printed).mid(6);
  if (printed.size() != 10 || printed[5] != QLatin1Char('-') || !AllAsciiDigits(addon)) return {};
  return zip.toString() + addon.toString();
}

QStringList PrintedLines(const QString& text) {
  QStringList lines;
  QString rest = text;
  rest.remove(QLatin1Char('\r'));
  qsizetype lineBreak;
  while ((lineBreak = rest.indexOf(QLatin1Char('\n'))) >= 0) {
    lines.append(rest.left(lineBreak));
    rest = TrimLabelBlanks(rest.mid(lineBreak + 1));
  }
  if (!rest.isEmpty()) lines.append(rest);
  return lines;
}

}  // namespace corvellan
