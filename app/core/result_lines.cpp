#include "core/result_lines.h"

#include <array>
#include <cmath>
#include <cstring>
#include <limits>

#include "core/app_globals.h"
#include "core/query_prep.h"

namespace corvellan {

namespace {

QString Trimmed(const AddressRecord& record, FieldSpec field) { return TrimBlanks(record.Get(field)); }

QString Proper(const AddressRecord& record, FieldSpec field) { return ProperCase(record.Get(field)); }

// The leading number rounded to a whole number, half to even, kept within
// the 32-bit range.
std::int64_t RoundedNumber(const QString& text) {
  const double value = std::nearbyint(LeadingNumber(text));
  constexpr double kLow = std::numeric_limits<std::int32_t>::min();
  constexpr double kHigh = std::numeric_limits<std::int32_t>::max();
  if (!(value >= kLow)) return static_cast<std::int64_t>(kLow);
  if (value > kHigh) return static_cast<std::int64_t>(kHigh);
  return static_cast<std::int64_t>(value);
}

// One range filter: `filter` against the record's low and high numbers and
// their odd/even code (all upper-cased and trimmed).
bool InRange(const QString& filter, const QString& low, const QString& high, const QString& oddEven) {
  if (filter.isEmpty() || filter == low || filter == high) return true;
  const std::int64_t value = RoundedNumber(filter);
  if (value != 0) {
    if (static_cast<double>(value) < LeadingNumber(low) || static_cast<double>(value) > LeadingNumber(high)) {
      return false;
    }
    const bool odd = value % 2 != 0;
    if (oddEven == QLatin1String("O") && !odd) return false;
    if (oddEven == QLatin1String("E") && odd) return false;
    return true;
  }
  return filter.compare(low) >= 0 && filter.compare(high) <= 0;
}

// The house or box numbers of a line: "100" when low and high are the same,
// else "100-198".
QString Numbers(const AddressRecord& record) {
  const QString low = Trimmed(record, addr::kPriLow);
  const QString high = Trimmed(record, addr::kPriHigh);
  return low == high ? high : low + QLatin1Char('-') + high;
}

}  // namespace

ResultFilters CurrentFilters() {
  const AppGlobals& app = App();
  return {app.RecipientFilter, app.UnitFilter, app.NumberFilter};
}

double LeadingNumber(const QString& text) {
  qsizetype i = 0;
  while (i < text.size() && text.at(i) == QLatin1Char(' ')) ++i;
  bool negative = false;
  if (i < text.size() && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+'))) {
    negative = text.at(i) == QLatin1Char('-');
    ++i;
  }
  double value = 0;
  while (i < text.size() && text.at(i) >= QLatin1Char('0') && text.at(i) <= QLatin1Char('9')) {
    value = value * 10 + (text.at(i).unicode() - u'0');
    ++i;
  }
  if (i < text.size() && text.at(i) == QLatin1Char('.')) {
    double scale = 0.1;
    for (++i; i < text.size() && text.at(i) >= QLatin1Char('0') && text.at(i) <= QLatin1Char('9'); ++i) {
      value += (text.at(i).unicode() - u'0') * scale;
      scale /= 10;
    }
  }
  return negative ? -value : value;
}

QString UnitFilterValue(const QString& unitFilter) {
  QString unit = TrimBlanks(unitFilter.toUpper());
  for (const char* designator : {"APT ", "STE ", "FLAT "}) {
    if (unit.startsWith(QLatin1String(designator))) return TrimBlanks(unit.mid(qsizetype(std::strlen(designator))));
  }
  return unit;
}

namespace {

// A firm name as the recipient filter compares it: upper case, letters and
// digits only. "ST. JOHN'S-ON-THE-LAKE" and "ST JOHNS ON THE LAKE" (a name
// that went through a program that keeps no apostrophes) are the same name.
QString RecipientKey(const QString& text) {
  QString key;
  key.reserve(text.size());
  for (const QChar c : text) {
    if (c.isLetterOrNumber()) key += c.toUpper();
  }
  return key;
}

}  // namespace

bool TestIfValid(const AddressRecord& record, const ResultFilters& filters) {
  const auto field = [&record](FieldSpec spec) { return TrimBlanks(record.Get(spec).toUpper()); };
  const QString recipient = RecipientKey(filters.recipient);
  if (!recipient.isEmpty() && !RecipientKey(record.Get(addr::kFirm)).contains(recipient)) return false;
  if (!InRange(UnitFilterValue(filters.unit), field(addr::kSecLow), field(addr::kSecHigh),
               field(addr::kSecOddEven))) {
    return false;
  }
  return InRange(TrimBlanks(filters.number.toUpper()), field(addr::kPriLow), field(addr::kPriHigh),
                 field(addr::kPriOddEven));
}

QString ResultLine(const AddressRecord& record) {
  if (record.Get(addr::kAddonLow) != record.Get(addr::kAddonHigh)) return RangeLine(record);
  return CodeLine(record, record.Get(addr::kZipPlus4).mid(5, 4));
}

QString RangeLine(const AddressRecord& record) {
  QString line = record.Get(addr::kZipPlus4).left(5) + QLatin1Char(' ') + Trimmed(record, addr::kAddonLow) +
                 QLatin1String(" - ") + Trimmed(record, addr::kAddonHigh) + QLatin1String("  ") +
                 Proper(record, addr::kStreet);
  if (record.Get(addr::kRecordType) == QLatin1String("P")) {
    line += QLatin1Char(' ') + Trimmed(record, addr::kPriLow) + QLatin1Char('-') + Trimmed(record, addr::kPriHigh);
  }
  return line + QLatin1String(", ") + Proper(record, addr::kCity) + QLatin1String(", ") + record.Get(addr::kState);
}

QString CodeLine(const AddressRecord& record, const QString& addon) {
  const QString none;
  const QString comma = QStringLiteral(",");
  QString line = record.Get(addr::kZipPlus4).left(5) + QLatin1Char('-') + addon;
  QString separator;
  if (!Trimmed(record, addr::kFirm).isEmpty()) {
    line = AppendField(line, Proper(record, addr::kFirm), none);
    separator = comma;
  }
  if (record.Get(addr::kRecordType) == QLatin1String("P")) {
    line = AppendField(line, Proper(record, addr::kStreet), separator);
    line = AppendField(line, Numbers(record), none);
  } else {
    line = AppendField(line, Numbers(record), separator);
    line = AppendField(line, Proper(record, addr::kStreet), none);
  }
  line = AppendField(line, Proper(record, addr::kCity), comma);
  return AppendField(line, record.Get(addr::kState), comma);
}

QString LineKey(const QString& line) { return line.left(5) + line.mid(6, 4); }

int StatsRow(const QString& recordType) {
  static const std::array<const char*, 7> kCodes{"G", "H", "F", "S", "P", "R", "M"};
  for (std::size_t i = 0; i < kCodes.size(); ++i) {
    if (recordType == QLatin1String(kCodes[i])) return static_cast<int>(i);
  }
  return -1;
}

QString SignedText(std::int64_t value) {
  return value >= 0 ? QLatin1Char(' ') + QString::number(value) : QString::number(value);
}

}  // namespace corvellan
