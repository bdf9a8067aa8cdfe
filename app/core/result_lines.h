// What a delivered address becomes in the results list: the program's own
// result filters (recipient, unit, house number), the one-line text of a
// result, and the search statistics rows.
//
// Result lines always hold the five-digit ZIP code in characters 1-5 and an
// add-on (the only one, or the low one of a range) in characters 7-10; a
// click on a line looks its record up again from there (LineKey).
//
//   range of add-ons, PO Box:   12345 0100 - 0199  PO Box 100-199, Springfield, IL
//   range of add-ons, other:    12345 0001 - 0099  Main St, Springfield, IL
//   one add-on, with a firm:    12345-6789 Acme Tool Co, 100-198 Main St, Springfield, IL
//   one add-on, without one:    12345-6789 100-198 Main St, Springfield, IL
//   one add-on, PO Box:         12345-6789 PO Box 1-99, Springfield, IL
#pragma once

#include <QString>

#include <cstdint>

#include "core/address_record.h"

namespace corvellan {

// The result filters as the search fields keep them (trimmed texts; the
// number without leading zeros). An empty filter imposes nothing.
struct ResultFilters {
  QString recipient;
  QString unit;
  QString number;
};

// The filters of the search fields now (App()).
ResultFilters CurrentFilters();

// The numeric value of the leading number of a text, as range comparisons
// use it: optional blanks, sign, digits and decimals ("12B" -> 12,
// "5.5" -> 5.5, "A" -> 0). Exponents and other notations are not numbers here.
double LeadingNumber(const QString& text);

// The unit filter as it is compared: upper-cased, without a unit designator
// typed in front of the number ("APT 5", "STE 5" and "FLAT 5" give "5").
QString UnitFilterValue(const QString& unitFilter);

// Whether the record passes the three filters (binary comparisons on
// upper-cased copies of filters and fields):
//   recipient  the firm name contains it, both compared by their letters and
//              digits alone (punctuation and blanks ignored);
//   unit       it equals the secondary low or high number, or else it lies in
//              their range: numerically, with the odd/even code respected,
//              when it starts with a number other than 0; as text otherwise;
//   number     the same with the primary (house or box) numbers.
bool TestIfValid(const AddressRecord& record, const ResultFilters& filters);

// The line of a record from an address search: the range form when the
// record covers several add-ons, else the single-code form with the record's
// own add-on.
QString ResultLine(const AddressRecord& record);
QString RangeLine(const AddressRecord& record);
// The single-code form: ZIP code, "-", `addon`, then firm, numbers, street,
// city and state.
QString CodeLine(const AddressRecord& record, const QString& addon);

// The key a line stands for: its characters 1-5 and 7-10.
QString LineKey(const QString& line);

// Statistics row of a record type code: G 0, H 1, F 2, S 3, P 4, R 5, M 6;
// -1 for any other code. Row 7 counts every listed line.
inline constexpr int kStatsTotalRow = 7;
int StatsRow(const QString& recordType);

// A number as a count message shows it: one blank before a number that is
// not negative (" 57"), the sign before one that is ("-3").
QString SignedText(std::int64_t value);

}  // namespace corvellan
