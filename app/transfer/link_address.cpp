#include "transfer/link_address.h"

#include "core/query_prep.h"
#include "core/result_lines.h"

namespace corvellan {

namespace {

QString TrimTrailingBlanks(QString text) {
  qsizetype end = text.size();
  while (end > 0 && text.at(end - 1) == QLatin1Char(' ')) --end;
  text.truncate(end);
  return text;
}

bool InFilterSet(QChar upper, int mode) {
  const bool letter = upper >= QLatin1Char('A') && upper <= QLatin1Char('Z');
  const bool digit = upper >= QLatin1Char('0') && upper <= QLatin1Char('9');
  switch (mode) {
    case 1:
      return letter;
    case 2:
      return letter || upper == QLatin1Char(' ');
    case 3:
      return letter || digit;
    case 4:
      return letter || digit || QStringLiteral("/-+() ").contains(upper);
    default:
      return false;
  }
}

}  // namespace

QString LinkFieldName(int i) {
  static const std::array<const char*, kLinkFieldCount> kNames{"Recipient", "Secondary", "Primary", "Urbanization",
                                                               "City",      "State",     "ZipCode", "Plus4"};
  if (i < 0 || i >= kLinkFieldCount) return {};
  return QLatin1String(kNames[static_cast<std::size_t>(i)]);
}

QString CapitalizeFirst(const QString& text) {
  if (TrimBlanks(text).isEmpty()) return text;
  QString result = text.toLower();
  result[0] = result.at(0).toUpper();
  return result;
}

QString FilterChars(const QString& text, int mode) {
  const QString trimmed = TrimBlanks(text);
  QString kept;
  kept.reserve(trimmed.size());
  for (const QChar c : trimmed) {
    if (InFilterSet(c.toUpper(), mode)) kept.append(c);
  }
  return kept;
}

QString SearchSecData(QString& line) {
  const QString upper = line.toUpper();
  for (const char* word : {" STE ", " FLAT ", " APPT "}) {
    const QLatin1String blanked(word);
    const qsizetype p = upper.indexOf(blanked);
    if (p < 0) continue;
    const QString secondary = TrimBlanks(line.mid(p + blanked.size()));
    line = TrimBlanks(line.left(p));
    return secondary;
  }
  return {};
}

QString SecondaryFromItem(const QString& item) {
  const QString unit = FilterChars(item, 4).toUpper();
  for (qsizetype i = 0; i < unit.size(); ++i) {
    if (LeadingNumber(unit.mid(i)) > 0) return TrimBlanks(unit.mid(i));
  }
  return {};
}

void SplitPrimary(const QString& item, LinkSearchValues& values) {
  const QString primary = FilterChars(item, 4).toUpper();
  const qsizetype blank = primary.indexOf(QLatin1Char(' '));
  if (LeadingNumber(primary) <= 0 || blank < 0) {
    values.number.clear();
    values.street.clear();
    return;
  }
  values.number = TrimBlanks(primary.left(blank));
  values.street = TrimBlanks(primary.mid(blank + 1));
  if (values.secondary.isEmpty()) values.secondary = SearchSecData(values.street);
}

QString ZipFromItem(const QString& item) {
  const QString code = TrimBlanks(item);
  if (code.size() != 9) return item;
  for (const QChar c : code) {
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return item;
  }
  return code.left(5) + QLatin1Char('-') + code.mid(5);
}

std::array<QString, kLinkFieldCount> SendBackTexts(const PanelAddress& panel, const LinkMerges& merges) {
  std::array<QString, kLinkFieldCount> texts;
  texts[kLinkRecipient] = panel.recipient;
  texts[kLinkUrbanization] = panel.urbanization;
  if (merges.secondaryIntoPrimary) {
    texts[kLinkPrimary] = panel.primary + TrimTrailingBlanks(QLatin1Char(' ') + panel.secondary);
  } else {
    texts[kLinkSecondary] = panel.secondary;
    texts[kLinkPrimary] = panel.primary;
  }
  if (merges.stateIntoCity) {
    texts[kLinkCity] = panel.city + TrimTrailingBlanks(QLatin1Char(' ') + panel.state);
  } else {
    texts[kLinkCity] = panel.city;
    texts[kLinkState] = panel.state;
  }
  if (merges.plus4IntoZip) {
    texts[kLinkZipCode] = panel.zip + TrimTrailingBlanks(QLatin1Char('-') + panel.plus4);
  } else {
    texts[kLinkZipCode] = panel.zip;
    texts[kLinkPlus4] = panel.plus4;
  }
  return texts;
}

}  // namespace corvellan
