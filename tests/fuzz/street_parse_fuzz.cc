// Fuzzes the string routines that see typed text and the data file's suffix
// table. Input: a byte giving the suffix table's length, the table, then the
// typed text, split into line, unit and number by the bytes 0x01.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "str_util.h"
#include "unit_tables.h"
#include "test_support.h"

namespace {
void Check(bool ok) {
  if (!ok) std::abort();
}
}  // namespace

// Runs on its own empty settings folder, never the user's.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  corvellan::test::UsePrivateSettings();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const size_t table_length = data[0];
  ++data;
  --size;
  if (size < table_length) return 0;
  std::vector<uint8_t> table(data, data + table_length);  // exact size: no slack to read
  const corvdb::SuffixTable suffixes = corvdb::SuffixTable::FromMapped(table.data(), table.data() + table.size());
  const std::string_view text(reinterpret_cast<const char*>(data + table_length), size - table_length);

  std::string_view parts[3];
  std::string_view rest = text;
  for (auto& part : parts) {
    const size_t cut = rest.find('\x01');
    part = rest.substr(0, cut);
    rest = cut == std::string_view::npos ? std::string_view{} : rest.substr(cut + 1);
  }

  const corvdb::UnitParts unit = corvdb::strUtil::parseUnit(parts[1]);
  const corvdb::StreetParts street =
      corvdb::strUtil::parseStreetLine(parts[0], unit.designator, unit.number, parts[2], suffixes);
  // Every piece of the line comes from the line (or the request fields).
  const std::string_view line = corvdb::strUtil::cutAtNul(parts[0]);
  Check(street.streetName.size() <= line.size());
  Check(street.streetName.empty() || line.find(street.streetName) != std::string_view::npos);

  const corvdb::NumberParts number = corvdb::strUtil::splitNumber(parts[2]);
  Check(number.value <= corvdb::strUtil::kMaxNumberValue);
  const std::string_view trimmed = corvdb::strUtil::trimmed(parts[2]);
  const std::string joined = number.prefix + number.digits + number.postfix;
  Check(trimmed.size() >= joined.size() && trimmed.substr(trimmed.size() - joined.size()) == joined);
  corvdb::strUtil::parity(parts[2]);

  std::string title(text);
  corvdb::strUtil::titleCase(title.data(), title.size());
  Check(title.size() == text.size());
  return 0;
}
