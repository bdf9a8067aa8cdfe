// ZIP+4 lookup and record delivery.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>

#include "corvdb.h"
#include "read_zip_file.h"
#include "record_fields.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace corvdb {

// Output address record (250 bytes, fixed text fields without terminators).
namespace {
constexpr std::size_t kOutRecordType = 0;
constexpr std::size_t kOutFirm = 1;            // 40, title case
constexpr std::size_t kOutUnitAbbrev = 41;     // 4, title case
constexpr std::size_t kOutUnitLow = 45;        // 8
constexpr std::size_t kOutUnitHigh = 53;       // 8
constexpr std::size_t kOutUnitOddEven = 61;    // 1
constexpr std::size_t kOutStreetLine = 62;     // 60, blank padded
constexpr std::size_t kOutPrimaryLow = 122;    // 10
constexpr std::size_t kOutPrimaryHigh = 132;   // 10
constexpr std::size_t kOutPrimaryOddEven = 142;
constexpr std::size_t kOutUrbanization = 143;  // 60, title case, blank padded
constexpr std::size_t kOutCity = 203;          // 28, title case
constexpr std::size_t kOutState = 231;         // 2
constexpr std::size_t kOutZip = 233;           // 5
constexpr std::size_t kOutPlus4 = 238;         // 4
constexpr std::size_t kOutAddOnLow = 242;      // 4
constexpr std::size_t kOutAddOnHigh = 246;     // 4
constexpr std::size_t kOutCleared = 9;         // bytes 9..249 are cleared before filling

// ZIP+4 detail record fields.
constexpr std::size_t kZipZip = 1;
constexpr std::size_t kZipAddOn = 6;  // where a lookup's add-on sits (the update key's place)
constexpr std::size_t kZipRecordType = 17;
constexpr std::size_t kZipPreDirection = 22;
constexpr std::size_t kZipStreetName = 24;
constexpr std::size_t kZipSuffix = 52;
constexpr std::size_t kZipPostDirection = 56;
constexpr std::size_t kZipPrimaryLow = 58;
constexpr std::size_t kZipPrimaryHigh = 68;
constexpr std::size_t kZipPrimaryOddEven = 78;
constexpr std::size_t kZipFirm = 79;
constexpr std::size_t kZipUnitAbbrev = 119;
constexpr std::size_t kZipUnitLow = 123;
constexpr std::size_t kZipUnitHigh = 131;
constexpr std::size_t kZipUnitOddEven = 139;
constexpr std::size_t kZipAddOnLow = 140;
constexpr std::size_t kZipAddOnHigh = 144;
constexpr std::size_t kZipState = 157;

// City-State record fields.
constexpr std::size_t kCsName = 13;           // 28
constexpr std::size_t kCsPreferredName = 62;  // 28
constexpr std::size_t kCsCounty = 104;        // 25
}  // namespace

namespace {
// Appends the rows r < rows with bounds[2r] <= x <= bounds[2r + 1], in order.
void CoveringRows(const int32_t* bounds, uint32_t rows, int64_t x, std::vector<uint32_t>* out) {
  uint32_t row = 0;
#if defined(__SSE2__)
  if (x >= INT32_MIN && x <= INT32_MAX) {
    // Four rows at a time: their lows and highs taken apart, compared with x,
    // and the rows that cover it picked from a four-bit mask.
    const __m128i wanted = _mm_set1_epi32(static_cast<int32_t>(x));
    for (; row + 4 <= rows; row += 4) {
      const __m128 a = _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bounds + 2 * std::size_t{row})));
      const __m128 b =
          _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bounds + 2 * std::size_t{row} + 4)));
      const __m128i lows = _mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
      const __m128i highs = _mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
      const __m128i outside = _mm_or_si128(_mm_cmpgt_epi32(lows, wanted), _mm_cmpgt_epi32(wanted, highs));
      uint32_t covering = ~static_cast<uint32_t>(_mm_movemask_ps(_mm_castsi128_ps(outside))) & 0xFu;
      while (covering != 0) {
        out->push_back(row + static_cast<uint32_t>(std::countr_zero(covering)));
        covering &= covering - 1;
      }
    }
  }
#endif
  for (; row < rows; ++row) {
    if (bounds[2 * std::size_t{row}] <= x && x <= bounds[2 * std::size_t{row} + 1]) out->push_back(row);
  }
}
}  // namespace

int32_t ReadZipFile::zipcodeToAddress(char* record, int32_t n) {
  if (!opened_) {
    const int32_t rc = openDatabase();
    if (rc != 0) return rc;
  }
  char addOn[4];
  std::memcpy(addOn, record + kOutPlus4, sizeof addOn);
  // The ZIP code and add-on travel in the ZIP+4 buffer, where GetZip4Rec shows
  // them even when the lookup fails.
  CopyField(zip4Record() + kZipZip, record + kOutZip, 9);
  const int32_t result = lookup(n);
  if (result < 0) return result;
  fillAddressRecord(record);
  std::memcpy(record + kOutPlus4, addOn, sizeof addOn);
  return result;
}

int32_t ReadZipFile::lookup(int32_t n) {
  if (errorCode_ != 0) return errorCode_;
  const std::string_view zip = FieldText(zip4Record() + kZipZip, 5);
  std::string addOn(FieldText(zip4Record() + kZipAddOn, 4));
  upperCase(addOn.data());

  // Only a whole five-digit ZIP code of the directory selects a block.
  if (!loadZipBlock(zip)) return kNotFound;
  if (n < 1) return kNotFound;

  const NumberParts typed = splitNumber(addOn);
  const int64_t number = typed.value;
  if (!CorvdbOnNumber.loadBlock()) return kNotFound;
  const NumberList& bounds = CorvdbOnNumber.numbers();

  // The rows whose add-on number range covers the number, in block order: a
  // pass over the block, or, once a large block has served a few lookups, its
  // add-on index.
  const uint32_t rows = blockRows();
  ++blockLookups_;
  if (!addOnIndex_.built() && blockLookups_ >= kIndexedBlockLookups && rows >= kIndexedBlockRows) {
    addOnIndex_.build(bounds, rows);
  }
  covering_.clear();
  if (addOnIndex_.built()) {
    addOnIndex_.covering(number, &covering_);
  } else {
    CoveringRows(bounds.data(), rows, number, &covering_);
  }

  int32_t count = 0;
  int64_t chosen = -1;
  for (const uint32_t row : covering_) {
    std::string_view value;
    if (!typed.prefix.empty()) {
      if (!CorvdbOnPrefix.entry(uint64_t{row} * 2, &value)) return kNotFound;
      if (trimmed(value) != typed.prefix) continue;
    }
    if (!typed.postfix.empty()) {
      if (!CorvdbOnPostfix.entry(uint64_t{row} * 2, &value)) return kNotFound;
      if (trimmed(value.substr(0, 4)) != typed.postfix) continue;
    }
    if (++count == n) chosen = row;
  }
  if (chosen < 0) return kNotFound;
  if (!deliverRow(static_cast<uint32_t>(chosen))) return kNotFound;
  return count;
}

void ReadZipFile::fillAddressRecord(char* out) {
  char* zip4 = zip4Record();
  char* cs = cityStateRecord();
  char* urb = urbanizationRecord();

  titleCase(zip4 + kZipStreetName, 28);
  titleCase(zip4 + kZipFirm, 40);
  titleCase(zip4 + kZipSuffix, 4);
  // A City-State record is the same for most records of a block: it is cased
  // once and the cased record kept for the next one with the same bytes.
  const auto caseOnce = [](char* record, CasedRecord& kept, auto caseFields) {
    if (kept.valid && std::memcmp(record, kept.raw, kCityStateSize) == 0) {
      std::memcpy(record, kept.cased, kCityStateSize);
      return;
    }
    std::memcpy(kept.raw, record, kCityStateSize);
    caseFields(record);
    std::memcpy(kept.cased, record, kCityStateSize);
    kept.valid = true;
  };
  caseOnce(cs, casedCityState_, [](char* r) {
    titleCase(r + kCsName, 28);
    titleCase(r + kCsCounty, 25);
    titleCase(r + kCsPreferredName, 28);
  });
  caseOnce(urb, casedUrbanization_, [](char* r) { titleCase(r + kCsName, 28); });
  titleCase(zip4 + kZipUnitAbbrev, 4);

  std::memset(out + kOutCleared, 0, std::size_t{CORVDB_ADDRESS_RECORD_SIZE} - kOutCleared);

  CopyField(out + kOutZip, zip4 + kZipZip, 5);
  if (std::memcmp(zip4 + kZipAddOnLow, zip4 + kZipAddOnHigh, 4) == 0) {
    CopyField(out + kOutPlus4, zip4 + kZipAddOnLow, 4);
  }
  CopyField(out + kOutAddOnLow, zip4 + kZipAddOnLow, 4);
  CopyField(out + kOutAddOnHigh, zip4 + kZipAddOnHigh, 4);

  CopyField(out + kOutRecordType, zip4 + kZipRecordType, 1);
  CopyField(out + kOutFirm, zip4 + kZipFirm, 40);

  // Street line: pre-direction, name, suffix, each joined by one blank and
  // trimmed, so empty parts add no blank; the post-direction goes on as stored.
  // (Built on the stack: 2 + 1 + 28 + 1 + 4 + 1 + 2 characters at most.)
  char line[48];
  std::size_t length = 0;
  const auto append = [&](std::string_view text) {
    std::memcpy(line + length, text.data(), text.size());
    length += text.size();
  };
  const auto trim = [&] {
    const std::string_view kept = trimmed(std::string_view(line, length));
    std::memmove(line, kept.data(), kept.size());
    length = kept.size();
  };
  append(trimmed(FieldText(zip4 + kZipPreDirection, 2)));
  if (length > 0) append(" ");
  append(FieldText(zip4 + kZipStreetName, 28));
  trim();
  append(" ");
  append(FieldText(zip4 + kZipSuffix, 4));
  trim();
  append(" ");
  append(FieldText(zip4 + kZipPostDirection, 2));
  PutField(out + kOutStreetLine, 60, std::string_view(line, length), ' ');

  CopyField(out + kOutPrimaryLow, zip4 + kZipPrimaryLow, 10);
  CopyField(out + kOutPrimaryHigh, zip4 + kZipPrimaryHigh, 10);
  CopyField(out + kOutPrimaryOddEven, zip4 + kZipPrimaryOddEven, 1);
  CopyField(out + kOutUnitLow, zip4 + kZipUnitLow, 8);
  CopyField(out + kOutUnitHigh, zip4 + kZipUnitHigh, 8);
  CopyField(out + kOutUnitOddEven, zip4 + kZipUnitOddEven, 1);
  CopyField(out + kOutUnitAbbrev, zip4 + kZipUnitAbbrev, 4);

  CopyField(out + kOutCity, cs + kCsName, 28);
  CopyField(out + kOutState, zip4 + kZipState, 2);

  CopyField(out + kOutUrbanization, urb + kCsName, 28);
  padBlanks(out + kOutUrbanization, 60);
}

int32_t ReadZipFile::getZip4Rec(char* zip4, char* cityState, char* urbanization) const {
  if (zip4 != nullptr) std::memcpy(zip4, record_, kZip4Size);
  if (cityState != nullptr) std::memcpy(cityState, record_ + kCityStateOffset, kCityStateSize);
  if (urbanization != nullptr) std::memcpy(urbanization, record_ + kUrbanizationOffset, kCityStateSize);
  return 0;
}

}  // namespace corvdb
