// The fixed-length single-byte records the program exchanges with the engine
// (engine/include/corvdb.h): the output address record, the search request
// and the three raw USPS records behind a delivered address.
//
// A record is held as its bytes; fields are read and written as text. Reading
// decodes Latin-1 and shows a byte 0 (the engine pads some fields with zeros)
// as a blank, so every field reads as blank-padded text of its full width.
// Writing cuts the text at the field's width or pads it with blanks; a
// character that has no single-byte form is written as "?".
#pragma once

#include <QString>

#include <array>
#include <cstddef>

namespace corvellan {

struct FieldSpec {
  int offset;
  int length;
};

template <std::size_t Size>
class FixedRecord {
 public:
  static constexpr int kSize = static_cast<int>(Size);

  FixedRecord() { Clear(); }

  // Every byte a blank.
  void Clear() { bytes_.fill(' '); }

  QString Get(FieldSpec field) const { return DecodeField(bytes_.data(), kSize, field); }
  void Set(FieldSpec field, const QString& text) { EncodeField(bytes_.data(), kSize, field, text); }

  char* data() { return bytes_.data(); }
  const char* data() const { return bytes_.data(); }

 private:
  std::array<char, Size> bytes_;
};

// The field's text (see the file comment). A field that does not lie inside
// the record reads as its part that does.
QString DecodeField(const char* bytes, int size, FieldSpec field);
void EncodeField(char* bytes, int size, FieldSpec field, const QString& text);

// The 250-byte output address record: the engine delivers an address in it,
// and ZipcodeToAddress reads the ZIP code and add-on to look up from it.
inline constexpr std::size_t kAddressRecordSize = 250;
inline constexpr std::size_t kSearchRequestSize = 165;
inline constexpr std::size_t kZip4RecordSize = 182;
inline constexpr std::size_t kCityStateRecordSize = 129;

using AddressRecord = FixedRecord<kAddressRecordSize>;
namespace addr {
inline constexpr FieldSpec kRecordType{0, 1};
inline constexpr FieldSpec kFirm{1, 40};  // building or firm name
inline constexpr FieldSpec kSecAbbrev{41, 4};
inline constexpr FieldSpec kSecLow{45, 8};
inline constexpr FieldSpec kSecHigh{53, 8};
inline constexpr FieldSpec kSecOddEven{61, 1};
inline constexpr FieldSpec kStreet{62, 60};  // pre-direction, name, suffix, post-direction
inline constexpr FieldSpec kPriLow{122, 10};
inline constexpr FieldSpec kPriHigh{132, 10};
inline constexpr FieldSpec kPriOddEven{142, 1};
inline constexpr FieldSpec kUrbanization{143, 60};
inline constexpr FieldSpec kCity{203, 28};
inline constexpr FieldSpec kState{231, 2};
// The 5-digit ZIP code followed by the 4-character add-on (one field).
inline constexpr FieldSpec kZipPlus4{233, 9};
inline constexpr FieldSpec kAddonLow{242, 4};
inline constexpr FieldSpec kAddonHigh{246, 4};
}  // namespace addr

// The 165-byte request of an address search. The engine trims and
// upper-cases every field itself; an empty field sets no condition.
using SearchRequest = FixedRecord<kSearchRequestSize>;
namespace req {
inline constexpr FieldSpec kZip{0, 5};  // a ZIP code, or a range written with "*"
inline constexpr FieldSpec kFirm{5, 40};
inline constexpr FieldSpec kUnit{45, 20};
inline constexpr FieldSpec kPrimary{65, 10};
inline constexpr FieldSpec kStreet{75, 60};
inline constexpr FieldSpec kCity{135, 28};
inline constexpr FieldSpec kState{163, 2};
}  // namespace req

// The USPS ZIP+4 detail record (182 bytes) and City-State record (129 bytes)
// behind the last delivered address, as GetZip4Rec hands them out.
using Zip4Record = FixedRecord<kZip4RecordSize>;
using CityStateRecord = FixedRecord<kCityStateRecordSize>;

}  // namespace corvellan
