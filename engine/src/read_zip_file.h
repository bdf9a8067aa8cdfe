// ReadZipFile: the engine. One object per process serves the exports
// (ProcessEngine()); tests make their own.
//
// zip.cvd, top level (integers little-endian; offsets from the file start):
//
//   0          H:fixed32          the directory starts at H - 4
//   4 ..       ZIP blocks         reached through the directory (zip_code.h)
//   H - 4      reserved:fixed32
//   H          T:int32            the tables area starts at H + T
//   H + 4      reserved:fixed32
//   H + 8      ZIP directory      entries, then a byte 0 (zip_code.h)
//   H + T      U:int32            the index areas start at H + T + U
//   H + T + 4  suffix table       text, then a byte 0 (unit_tables.h)
//   H + T + U  index areas        StreetName (first-level, main),
//                                 BuildingOrFirmName (first-level, main),
//                                 StateAbbrev (main), csLastLineCSName (main)
//                                 (key_index.h)
//
// Opening checks that every one of these lies inside the file, that the
// directory and the suffix table end before the end of the file and that
// every index area's length word stays inside it; a file that fails any check
// is not opened (-3), as is one that cannot be mapped.
#pragma once

#include <cstdint>
#include <string>

#include "layout.h"
#include "mapped_data_file.h"
#include "str_util.h"
#include "unit_tables.h"
#include "zip_code.h"

namespace corvdb {

// Return codes of the exports.
inline constexpr int32_t kNotFound = -1;
inline constexpr int32_t kOpenError = -3;

// The longest data directory that fits the path field with "zip.cvd" after it.
inline constexpr std::size_t kMaxDataDirectory = kPathFieldSize - 1 - 7;  // 247

class ReadZipFile : public zipCode, public strUtil {
 public:
  ReadZipFile();
  ~ReadZipFile() override;

  // Opens the data file named by the settings: Corvel.ini, [Directories]
  // Data (default "./"), with "zip.cvd" appended as it is (so the directory
  // must end with '/'). Runs only while the engine is not open. 0 = open,
  // -3 = the file could not be opened, mapped, or is not a readable zip.cvd.
  int32_t openDatabase();
  // The same opening for an explicit file path (tests, tools).
  int32_t openPath(const std::string& path);

  bool opened() const { return opened_; }
  // The outcome of the last opening attempt: 0 or -3.
  int32_t errorCode() const { return errorCode_; }
  // The path of the data file of the last opening attempt.
  const std::string& path() const { return path_; }

  const SuffixTable& suffixTable() const { return suffixTable_; }
  const DesignatorTable& shortUnitTable() const { return kShortUnits; }
  const DesignatorTable& longUnitTable() const { return kLongUnits; }

  // ZipcodeToAddress: delivers the n-th record covering the ZIP+4 carried in
  // the 250-byte record (ZIP code at 233, add-on at 238). Returns the count of
  // covering records, -1 (none / n out of range / ZIP code not found) or -3.
  int32_t zipcodeToAddress(char* record, int32_t n);

  // The lookup behind zipcodeToAddress, on the ZIP+4 held in the ZIP+4
  // buffer at offset 1 (ZIP code) and 6 (add-on).
  int32_t lookup(int32_t n);

  // Fills the 250-byte output address record from the three record buffers,
  // title-casing the names in the buffers first.
  void fillAddressRecord(char* record);

  // GetZip4Rec: copies the three record buffers (182, 129, 129 bytes).
  int32_t getZip4Rec(char* zip4, char* cityState, char* urbanization) const;

  // Decodes row `row` of the current block into the three record buffers.
  // False (buffers unchanged) when the row cannot be decoded.
  bool deliverRow(uint32_t row);

  char* zip4Record() { return record_; }
  char* cityStateRecord() { return record_ + kCityStateOffset; }
  char* urbanizationRecord() { return record_ + kUrbanizationOffset; }

 private:
  int32_t open(std::string path);
  int32_t failOpening();

  MappedDataFile file_;
  std::string path_;
  int32_t errorCode_ = 0;
  bool opened_ = false;
  SuffixTable suffixTable_;
  // ZIP+4 detail record, City-State record, urbanization City-State record of
  // the last delivered record.
  char record_[kRecordBufferSize] = {};
};

// The engine the exports use, built at first use and kept for the process.
ReadZipFile& ProcessEngine();
// Replaces the process engine by a fresh, unopened one (tests).
void ResetProcessEngineForTesting();

}  // namespace corvdb
