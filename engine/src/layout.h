// The shape of zip.cvd shared by its reader and its writer: file-level
// constants, the block header and the 37 columns in construction order.
// docs/zip-cvd-format.md describes the format in full.
#pragma once

#include <array>
#include <cstdint>

namespace corvdb {

// Data windows: every view starts at a multiple of 64 KB and is 4 MB long (cut
// at the end of the file), so a block must fit in the 4 MB that follow its
// start rounded down to 64 KB.
inline constexpr uint32_t kWindowSize = 0x400000;
inline constexpr uint32_t kWindowAlignment = 0x10000;
inline constexpr uint32_t kMaxBlockSize = kWindowSize - kWindowAlignment;  // 4,128,768

inline constexpr int kColumnCount = 37;
// Block: 4 bytes free for the writer, row count N, 37 column offsets counted
// from the end of this header.
inline constexpr uint32_t kBlockHeaderSize = 8 + 4 * kColumnCount;  // 156

// The engine's record buffer: ZIP+4 detail record, City-State record of the
// last line, City-State record of the urbanization.
inline constexpr int kZip4Size = 182;
inline constexpr int kCityStateSize = 129;
inline constexpr int kCityStateOffset = 182;
inline constexpr int kUrbanizationOffset = 311;
inline constexpr int kRecordBufferSize = 440;

// Settings the engine reads to find its data file.
inline constexpr const char* kSettingsFile = "Corvel.ini";
inline constexpr const char* kSettingsSection = "Directories";
inline constexpr const char* kSettingsKey = "Data";
inline constexpr const char* kSettingsDefault = "./";
inline constexpr const char* kDataFileName = "zip.cvd";
inline constexpr int kPathFieldSize = 255;  // including the terminating byte 0

enum class ColumnClass : uint8_t {
  kStringTable,  // one text field, run-length dictionary of values
  kPrefixPart,   // text pair: non-digit prefix of a low/high number field
  kPostfixPart,  // text pair: non-digit postfix of a low/high number field
  kNumberTable,  // one number field, delta/run codes
  kNumberPart,   // number pair: the digits of a low/high number field
};

enum class NumberFormat : uint8_t {
  kNone,
  kPlain,        // "%ld"
  kZeroPadded,   // "%0<width>ld"
  kBlankPadded,  // "%<width>ld"
};

// Index kinds: 0 none; 1 the ZipCode column, through which the index areas are
// attached; 2 CorvdbOnNumber (owns nothing); 3 a key index with index areas.
struct ColumnSpec {
  const char* name;
  ColumnClass cls;
  int offset;       // field offset in the 440-byte record buffer (low field for pairs)
  int length;       // field length (low field for pairs)
  int highOffset;   // pairs only
  int highLength;   // pairs only
  int indexKind;
  int firstLevelK;  // first-level key length of a kind-3 index, 0 = main list only
  NumberFormat format;
  int width;        // number width for padded formats
};

bool constexpr IsPair(ColumnClass c) {
  return c == ColumnClass::kPrefixPart || c == ColumnClass::kPostfixPart ||
         c == ColumnClass::kNumberPart;
}
bool constexpr IsNumeric(ColumnClass c) {
  return c == ColumnClass::kNumberTable || c == ColumnClass::kNumberPart;
}

using CC = ColumnClass;
using NF = NumberFormat;

// Construction order = column index. Readers walk the columns from 36 down to 0.
inline constexpr std::array<ColumnSpec, kColumnCount> kColumns = {{
    {"urbTable", CC::kStringTable, 311, 129, 0, 0, 0, 0, NF::kNone, 0},
    {"csTable", CC::kStringTable, 182, 129, 0, 0, 0, 0, NF::kNone, 0},
    {"csLastLineCSName", CC::kStringTable, 244, 28, 0, 0, 3, 0, NF::kNone, 0},
    {"PrefdLastLineKey", CC::kStringTable, 176, 6, 0, 0, 0, 0, NF::kNone, 0},
    {"UrbanizationKey", CC::kStringTable, 170, 6, 0, 0, 0, 0, NF::kNone, 0},
    {"MunicipalityKey", CC::kStringTable, 164, 6, 0, 0, 0, 0, NF::kNone, 0},
    {"CongressDistrictNo", CC::kStringTable, 162, 2, 0, 0, 0, 0, NF::kNone, 0},
    {"CountyNo", CC::kStringTable, 159, 3, 0, 0, 0, 0, NF::kNone, 0},
    {"StateAbbrev", CC::kStringTable, 157, 2, 0, 0, 3, 0, NF::kNone, 0},
    {"FinanceNo", CC::kStringTable, 151, 6, 0, 0, 0, 0, NF::kNone, 0},
    {"GovtBuildingInd", CC::kStringTable, 150, 1, 0, 0, 0, 0, NF::kNone, 0},
    {"LACSStatusInd", CC::kStringTable, 149, 1, 0, 0, 0, 0, NF::kNone, 0},
    {"BaseAltCode", CC::kStringTable, 148, 1, 0, 0, 0, 0, NF::kNone, 0},
    {"CorvdbOnPostfix", CC::kPostfixPart, 140, 4, 144, 4, 0, 0, NF::kNone, 0},
    {"CorvdbOnNumber", CC::kNumberPart, 140, 4, 144, 4, 2, 0, NF::kZeroPadded, 4},
    {"CorvdbOnPrefix", CC::kPrefixPart, 140, 4, 144, 4, 0, 0, NF::kNone, 0},
    {"SecondaryOddEvenCode", CC::kStringTable, 139, 1, 0, 0, 0, 0, NF::kNone, 0},
    {"SecondaryNumPostfix", CC::kPostfixPart, 123, 8, 131, 8, 0, 0, NF::kNone, 0},
    {"SecondaryNum", CC::kNumberPart, 123, 8, 131, 8, 0, 0, NF::kPlain, 0},
    {"SecondaryNumPrefix", CC::kPrefixPart, 123, 8, 131, 8, 0, 0, NF::kNone, 0},
    {"SecondaryAbbrev", CC::kStringTable, 119, 4, 0, 0, 0, 0, NF::kNone, 0},
    {"BuildingOrFirmName", CC::kStringTable, 79, 40, 0, 0, 3, 3, NF::kNone, 0},
    {"PrimaryOddEvenCode", CC::kStringTable, 78, 1, 0, 0, 0, 0, NF::kNone, 0},
    {"PrimaryNumberPostfix", CC::kPostfixPart, 58, 10, 68, 10, 0, 0, NF::kNone, 0},
    {"PrimaryNumber", CC::kNumberPart, 58, 10, 68, 10, 0, 0, NF::kPlain, 0},
    {"PrimaryNumberPrefix", CC::kPrefixPart, 58, 10, 68, 10, 0, 0, NF::kNone, 0},
    {"PostDrctnAbbrev", CC::kStringTable, 56, 2, 0, 0, 0, 0, NF::kNone, 0},
    {"SuffixAbbrev", CC::kStringTable, 52, 4, 0, 0, 0, 0, NF::kNone, 0},
    {"StreetName", CC::kStringTable, 24, 28, 0, 0, 3, 3, NF::kNone, 0},
    {"PreDrctnAbbrev", CC::kStringTable, 22, 2, 0, 0, 0, 0, NF::kNone, 0},
    {"CarrierRouteId", CC::kStringTable, 18, 4, 0, 0, 0, 0, NF::kNone, 0},
    {"RecordTypeCode", CC::kStringTable, 17, 1, 0, 0, 0, 0, NF::kNone, 0},
    {"ActionCode", CC::kStringTable, 16, 1, 0, 0, 0, 0, NF::kNone, 0},
    {"UpdateKeyNoNumeric", CC::kNumberTable, 7, 9, 0, 0, 0, 0, NF::kZeroPadded, 9},
    {"UpdateKeyNoAlpha", CC::kStringTable, 6, 1, 0, 0, 0, 0, NF::kNone, 0},
    {"ZipCode", CC::kStringTable, 1, 5, 0, 0, 1, 0, NF::kNone, 0},
    {"CopyrightDetailCode", CC::kStringTable, 0, 1, 0, 0, 0, 0, NF::kNone, 0},
}};

// Column indexes by name, for code that addresses one column directly.
enum ColumnIndex : int {
  kUrbTable = 0, kCsTable, kCsLastLineCSName, kPrefdLastLineKey, kUrbanizationKey,
  kMunicipalityKey, kCongressDistrictNo, kCountyNo, kStateAbbrev, kFinanceNo,
  kGovtBuildingInd, kLACSStatusInd, kBaseAltCode, kCorvdbOnPostfix, kCorvdbOnNumber,
  kCorvdbOnPrefix, kSecondaryOddEvenCode, kSecondaryNumPostfix, kSecondaryNum,
  kSecondaryNumPrefix, kSecondaryAbbrev, kBuildingOrFirmName, kPrimaryOddEvenCode,
  kPrimaryNumberPostfix, kPrimaryNumber, kPrimaryNumberPrefix, kPostDrctnAbbrev,
  kSuffixAbbrev, kStreetName, kPreDrctnAbbrev, kCarrierRouteId, kRecordTypeCode,
  kActionCode, kUpdateKeyNoNumeric, kUpdateKeyNoAlpha, kZipCode, kCopyrightDetailCode,
};
static_assert(kCopyrightDetailCode == kColumnCount - 1);

// Index areas follow one another in the order of the column list (descending
// column index): StreetName (first-level, main), BuildingOrFirmName
// (first-level, main), StateAbbrev (main), csLastLineCSName (main).
inline constexpr std::array<int, 4> kIndexedColumnsInFileOrder = {
    kStreetName, kBuildingOrFirmName, kStateAbbrev, kCsLastLineCSName};

}  // namespace corvdb
