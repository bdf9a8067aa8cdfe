// The two USPS product record layouts the sample generator writes, and a small
// fixed-length record builder.
//
// ZIP+4 detail record: 182 bytes. City-State record: 129 bytes. Both are
// single-byte upper-case text, every field blank padded: text and the
// primary/secondary numbers left-justified, fixed-width numeric codes (ZIP
// code, add-ons, update key digits, county number, finance number) zero
// padded to their width. In the product files every record is followed by
// CR LF; the first record of a file is a copyright record (copyright detail
// code "C"), every other record is a detail record (code "D").
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace corvdb::tools::usps {

struct Field {
  uint16_t offset;
  uint16_t length;
};

inline constexpr size_t kZip4RecordSize = 182;
inline constexpr size_t kCityStateRecordSize = 129;
inline constexpr char kLineEnd[] = "\r\n";

// ZIP+4 detail record.
namespace zip4 {
inline constexpr Field kCopyrightCode{0, 1};
inline constexpr Field kZipCode{1, 5};
inline constexpr Field kUpdateKeyAlpha{6, 1};
inline constexpr Field kUpdateKeyNumber{7, 9};
inline constexpr Field kActionCode{16, 1};
inline constexpr Field kRecordType{17, 1};  // G H F S P R M
inline constexpr Field kCarrierRoute{18, 4};
inline constexpr Field kPreDirection{22, 2};
inline constexpr Field kStreetName{24, 28};
inline constexpr Field kSuffix{52, 4};
inline constexpr Field kPostDirection{56, 2};
inline constexpr Field kPrimaryLow{58, 10};
inline constexpr Field kPrimaryHigh{68, 10};
inline constexpr Field kPrimaryOddEven{78, 1};  // O, E, B
inline constexpr Field kFirmName{79, 40};       // building or firm name
inline constexpr Field kSecondaryAbbrev{119, 4};
inline constexpr Field kSecondaryLow{123, 8};
inline constexpr Field kSecondaryHigh{131, 8};
inline constexpr Field kSecondaryOddEven{139, 1};
inline constexpr Field kAddonLow{140, 4};
inline constexpr Field kAddonHigh{144, 4};
inline constexpr Field kBaseAlternate{148, 1};  // B base, A alternate
inline constexpr Field kLacs{149, 1};           // blank or L
inline constexpr Field kGovernmentBuilding{150, 1};
inline constexpr Field kFinanceNumber{151, 6};
inline constexpr Field kState{157, 2};
inline constexpr Field kCountyNumber{159, 3};
inline constexpr Field kCongressDistrict{162, 2};
inline constexpr Field kMunicipalityKey{164, 6};
inline constexpr Field kUrbanizationKey{170, 6};
inline constexpr Field kLastLineKey{176, 6};
}  // namespace zip4

// City-State record.
namespace city_state {
inline constexpr Field kCopyrightCode{0, 1};
inline constexpr Field kZipCode{1, 5};
inline constexpr Field kKey{6, 6};
inline constexpr Field kZipClass{12, 1};  // blank standard, P PO box only, U unique, M military
inline constexpr Field kName{13, 28};
inline constexpr Field kNameAbbrev{41, 13};
inline constexpr Field kFacility{54, 1};
inline constexpr Field kMailingNameInd{55, 1};
inline constexpr Field kLastLineKey{56, 6};
inline constexpr Field kLastLineName{62, 28};
inline constexpr Field kCityDeliveryInd{90, 1};
inline constexpr Field kRouteSortationInd{91, 1};
inline constexpr Field kUniqueZipNameInd{92, 1};
inline constexpr Field kFinanceNumber{93, 6};
inline constexpr Field kState{99, 2};
inline constexpr Field kCountyNumber{101, 3};
inline constexpr Field kCountyName{104, 25};
}  // namespace city_state

// A record being built: starts all blanks; text is written left-justified and
// cut at the field length.
template <size_t N>
class FixedRecord {
 public:
  FixedRecord() { Clear(); }
  void Clear() { std::memset(bytes_, ' ', N); }

  void Set(Field f, std::string_view text) {
    const size_t n = text.size() < f.length ? text.size() : f.length;
    std::memcpy(bytes_ + f.offset, text.data(), n);
    std::memset(bytes_ + f.offset + n, ' ', f.length - n);
  }
  void Set(Field f, char c) {
    bytes_[f.offset] = c;
    std::memset(bytes_ + f.offset + 1, ' ', f.length - 1);
  }
  // The number as left-justified decimal text.
  void SetNumber(Field f, uint64_t value) {
    char digits[24];
    Set(f, std::string_view(digits, FormatDecimal(value, digits)));
  }
  // The number zero padded to the whole field (the low digits are kept).
  void SetPadded(Field f, uint64_t value) {
    for (int i = f.length - 1; i >= 0; --i) {
      bytes_[f.offset + i] = static_cast<char>('0' + value % 10);
      value /= 10;
    }
  }
  std::string_view Get(Field f) const { return std::string_view(bytes_ + f.offset, f.length); }
  const char* data() const { return bytes_; }
  static constexpr size_t size() { return N; }

  // Writes `value` in decimal into `out` (at least 20 bytes); returns the length.
  static size_t FormatDecimal(uint64_t value, char* out) {
    char tmp[24];
    size_t n = 0;
    do {
      tmp[n++] = static_cast<char>('0' + value % 10);
      value /= 10;
    } while (value != 0);
    for (size_t i = 0; i < n; ++i) out[i] = tmp[n - 1 - i];
    return n;
  }

 private:
  char bytes_[N];
};

using Zip4Record = FixedRecord<kZip4RecordSize>;
using CityStateRecord = FixedRecord<kCityStateRecordSize>;

}  // namespace corvdb::tools::usps
