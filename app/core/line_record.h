// Fetching the record a line of a results list stands for.
//
// A line names its record by a ZIP+4 key (the ZIP code and the line's add-on,
// the low one for a range) and a number to pass to ZipcodeToAddress. For a
// line written by the address search that number is the rank GetNextZipMatch
// returned, and the two functions count differently for a record that covers
// a range of add-ons: the search counts only the earlier records with the
// same low add-on, the lookup counts every earlier record that covers the
// key's add-on. Example: in one ZIP code record B covers 8750-8759 and a
// later record A covers 8752-8760; A's line carries rank 1, but 8752 number 1
// is B. The engine's numbers are part of its interface, so the program
// corrects for them here: every line also carries the identifying values of
// its record, and the lookup checks the delivered record against them.
//
// Every list that clicks through its lines (the results list, the
// organization list, the export) fetches a line's record with
// FetchLineRecord, and stores the identity when it adds the line
// (StoreLineIdentity).
#pragma once

#include <QString>
#include <QStringList>
#include <Qt>

#include <cstdint>
#include <optional>

#include "core/address_record.h"

class QListWidgetItem;

namespace corvellan {

// The values that tell the records of one ZIP+4 code apart: record type,
// add-on range, primary and secondary ranges with their odd/even codes,
// secondary designator, street line and firm. They are compared trimmed and
// without regard to letter case, so an identity taken from a record the
// engine delivered also matches that record once it is in display form.
class LineIdentity {
 public:
  LineIdentity() = default;
  // The identity of the address in `record`.
  static LineIdentity Of(const AddressRecord& record);

  bool Matches(const AddressRecord& record) const;
  bool operator==(const LineIdentity& other) const;

  // As stored on a list line (a list of texts), and back. A value that is
  // not a stored identity gives nothing.
  QStringList ToValues() const { return values_; }
  static std::optional<LineIdentity> FromValues(const QStringList& values);

 private:
  QStringList values_;
};

// The item-data role of a line that holds its identity (the rank is the
// line's ordinary item value, Qt::UserRole).
inline constexpr int kLineIdentityRole = Qt::UserRole + 1;

// Stores the identity of `record` on a line as it is added.
void StoreLineIdentity(QListWidgetItem& item, const AddressRecord& record);
// The identity stored on a line, if any.
std::optional<LineIdentity> StoredLineIdentity(const QListWidgetItem& item);

// Looks up record `n` of the ZIP+4 code in the first 9 characters of `key`
// into `record` (ZipcodeToAddress). When `identity` is given and the
// delivered record is not that record, the records covering the key are
// taken in turn (numbers 1 to the count) and the first one that is becomes
// the result; `n` is then set to its number. If none is, record `n` stays
// the result. Returns the lookup's result: the number of records of the
// ZIP+4 code (> 0), or the engine's negative code, with `record` unchanged
// but for the key.
std::int32_t FetchLineRecord(AddressRecord& record, const QString& key, std::int32_t& n,
                             const std::optional<LineIdentity>& identity);

}  // namespace corvellan
