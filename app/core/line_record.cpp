#include "core/line_record.h"

#include <QListWidgetItem>
#include <QVariant>

#include <array>

#include "core/engine_binding.h"
#include "core/query_prep.h"

namespace corvellan {

namespace {

// The fields of an identity, in the order they are stored.
constexpr std::array<FieldSpec, 13> kIdentityFields{{
    addr::kRecordType,
    addr::kAddonLow,
    addr::kAddonHigh,
    addr::kPriLow,
    addr::kPriHigh,
    addr::kPriOddEven,
    addr::kSecAbbrev,
    addr::kSecLow,
    addr::kSecHigh,
    addr::kSecOddEven,
    addr::kStreet,
    addr::kFirm,
    addr::kState,
}};

QString IdentityValue(const AddressRecord& record, FieldSpec field) {
  // The engine delivers names in title case, the display keeps them in its
  // own case: letter case does not tell records apart.
  return TrimBlanks(record.Get(field)).toUpper();
}

}  // namespace

LineIdentity LineIdentity::Of(const AddressRecord& record) {
  LineIdentity identity;
  for (const FieldSpec field : kIdentityFields) identity.values_.append(IdentityValue(record, field));
  return identity;
}

bool LineIdentity::Matches(const AddressRecord& record) const { return *this == Of(record); }

bool LineIdentity::operator==(const LineIdentity& other) const { return values_ == other.values_; }

std::optional<LineIdentity> LineIdentity::FromValues(const QStringList& values) {
  if (values.size() != static_cast<qsizetype>(kIdentityFields.size())) return std::nullopt;
  LineIdentity identity;
  identity.values_ = values;
  return identity;
}

void StoreLineIdentity(QListWidgetItem& item, const AddressRecord& record) {
  item.setData(kLineIdentityRole, LineIdentity::Of(record).ToValues());
}

std::optional<LineIdentity> StoredLineIdentity(const QListWidgetItem& item) {
  const QVariant stored = item.data(kLineIdentityRole);
  if (!stored.isValid()) return std::nullopt;
  return LineIdentity::FromValues(stored.toStringList());
}

std::int32_t FetchLineRecord(AddressRecord& record, const QString& key, std::int32_t& n,
                             const std::optional<LineIdentity>& identity) {
  const auto lookUp = [&record, &key](std::int32_t number) {
    record.Set(addr::kZipPlus4, key.left(9));
    return Engine::ZipcodeToAddress(record.data(), number);
  };
  const std::int32_t count = lookUp(n);
  if (count <= 0 || !identity || identity->Matches(record)) return count;
  for (std::int32_t number = 1; number <= count; ++number) {
    if (number == n) continue;
    if (lookUp(number) > 0 && identity->Matches(record)) {
      n = number;
      return count;
    }
  }
  // Not among the covering records (it cannot be, short of a different
  // database): the record the number names, as before.
  return lookUp(n);
}

}  // namespace corvellan
