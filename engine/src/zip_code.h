// zipCode: the 37 columns of zip.cvd, the ZIP directory and the current block.
//
// ZIP directory (read once at opening into a table of block offsets):
//
//   directory := entry* 0x00
//   entry     := zip:digit{5} offset:mode2       absolute file offset of the block
//
// ZIP block (all integers little-endian, 32-bit):
//
//   block  := reserved:fixed32 rows:fixed32 columnOffset:fixed32{37} columnData
//
// Column offsets count from the end of the header (block offset 156). A block
// lies between file offset 4 and the directory (H - 4), and inside the 4 MB
// window that follows its start rounded down to 64 KB: a reader that maps only
// that window must be able to read all of it. A block that breaks either rule,
// whose header claims more than kMaxBlockRows rows, or whose column data does
// not produce the entries a request needs is damaged: its ZIP code is not found.
//
// A row is decoded by every column writing its field(s) into the 440-byte
// record buffer, in list order (column 36 down to 0). The order matters:
//  - the prefix (25, 19, 15), number (24, 18, 14) and postfix (23, 17, 13)
//    columns build each low/high number field together, in that order;
//  - the byte 0 that UpdateKeyNoNumeric (33) writes after its field falls on
//    the action code, which ActionCode (32) writes afterwards;
//  - csLastLineCSName (2) writes the preferred last line name into the
//    City-State record, which csTable (1) then overwrites whole.
#pragma once

#include <array>
#include <memory>
#include <cstdint>
#include <string_view>
#include <vector>

#include "batch.h"
#include "block_cache.h"
#include "decode_budget.h"
#include "layout.h"
#include "number_table.h"
#include "string_table.h"

namespace corvdb {

class zipCode {
  // What the current block's decoded lists may take; shared by the columns
  // (declared before them, which are built with it).
  DecodeBudget budget_;

 public:
  zipCode();
  virtual ~zipCode();
  zipCode(const zipCode&) = delete;
  zipCode& operator=(const zipCode&) = delete;

  // The column with index `i` (0..36) and the head of the column list (36).
  batch& column(int i) { return *columns_[static_cast<std::size_t>(i)]; }
  batch* columnList() { return columns_[kColumnCount - 1]; }

  // ZIP directory, filled at opening.
  bool hasZip(uint32_t zip) const { return zip < blockOffsets_.size() && blockOffsets_[zip] != 0; }
  uint32_t blockOffset(uint32_t zip) const { return hasZip(zip) ? blockOffsets_[zip] : 0; }
  uint32_t zipCount() const { return zipCount_; }
  // Size of the mapped data file (0 when none is open).
  uint64_t dataFileSize() const { return fileSize_; }
  // The ZIP codes of the directory as a set.
  const ZipBits& directoryZips() const { return directoryZips_; }

  // Makes the block of a ZIP code the current block: reads and checks its
  // header and points every column at its data (decoded on demand). Loading
  // the current block again keeps what is already decoded. False when the
  // ZIP code is not five digits, not in the directory, or its block header is
  // damaged; there is then no current block.
  bool loadZipBlock(std::string_view zip);
  bool loadZipBlock(uint32_t zip);

  // The decoded-block cache: its capacity in bytes (default 64 MB; 0 keeps
  // no block), and what it holds.
  void setBlockCacheBytes(std::size_t bytes) { cache_.setCapacity(bytes); }
  const BlockCache& blockCache() const { return cache_; }

  bool blockLoaded() const { return currentZip_ >= 0; }
  // The current block's ZIP code (-1 when none) and row count.
  int32_t currentZip() const { return currentZip_; }
  uint32_t blockRows() const { return blockRows_; }

  // Fills the 440-byte record buffer with row `row` of the current block. False
  // when there is no such row or a column's data is damaged before it; the
  // buffer may then hold part of the row.
  bool decodeRow(uint32_t row, char* buffer);

  // The columns, named after the USPS fields, in column index order.
  stringTable urbTable{kUrbTable, &budget_};
  stringTable csTable{kCsTable, &budget_};
  stringTable csLastLineCSName{kCsLastLineCSName, &budget_};
  stringTable PrefdLastLineKey{kPrefdLastLineKey, &budget_};
  stringTable UrbanizationKey{kUrbanizationKey, &budget_};
  stringTable MunicipalityKey{kMunicipalityKey, &budget_};
  stringTable CongressDistrictNo{kCongressDistrictNo, &budget_};
  stringTable CountyNo{kCountyNo, &budget_};
  stringTable StateAbbrev{kStateAbbrev, &budget_};
  stringTable FinanceNo{kFinanceNo, &budget_};
  stringTable GovtBuildingInd{kGovtBuildingInd, &budget_};
  stringTable LACSStatusInd{kLACSStatusInd, &budget_};
  stringTable BaseAltCode{kBaseAltCode, &budget_};
  postfixPart CorvdbOnPostfix{kCorvdbOnPostfix, &budget_};
  numberPart CorvdbOnNumber{kCorvdbOnNumber, &budget_};
  prefixPart CorvdbOnPrefix{kCorvdbOnPrefix, &budget_};
  stringTable SecondaryOddEvenCode{kSecondaryOddEvenCode, &budget_};
  postfixPart SecondaryNumPostfix{kSecondaryNumPostfix, &budget_};
  numberPart SecondaryNum{kSecondaryNum, &budget_};
  prefixPart SecondaryNumPrefix{kSecondaryNumPrefix, &budget_};
  stringTable SecondaryAbbrev{kSecondaryAbbrev, &budget_};
  stringTable BuildingOrFirmName{kBuildingOrFirmName, &budget_};
  stringTable PrimaryOddEvenCode{kPrimaryOddEvenCode, &budget_};
  postfixPart PrimaryNumberPostfix{kPrimaryNumberPostfix, &budget_};
  numberPart PrimaryNumber{kPrimaryNumber, &budget_};
  prefixPart PrimaryNumberPrefix{kPrimaryNumberPrefix, &budget_};
  stringTable PostDrctnAbbrev{kPostDrctnAbbrev, &budget_};
  stringTable SuffixAbbrev{kSuffixAbbrev, &budget_};
  stringTable StreetName{kStreetName, &budget_};
  stringTable PreDrctnAbbrev{kPreDrctnAbbrev, &budget_};
  stringTable CarrierRouteId{kCarrierRouteId, &budget_};
  stringTable RecordTypeCode{kRecordTypeCode, &budget_};
  stringTable ActionCode{kActionCode, &budget_};
  numberTable UpdateKeyNoNumeric{kUpdateKeyNoNumeric, &budget_};
  stringTable UpdateKeyNoAlpha{kUpdateKeyNoAlpha, &budget_};
  stringTable ZipCode{kZipCode, &budget_};
  stringTable CopyrightDetailCode{kCopyrightDetailCode, &budget_};

 protected:
  // The mapped file the blocks are read from; `dataEnd` is the directory's
  // offset (H - 4), where the blocks end.
  void attachFile(const uint8_t* base, uint64_t size, uint32_t dataEnd);
  void detachFile();

  // Reads the ZIP directory at `p` (up to its byte 0, which must come before
  // `limit`) into the table of block offsets. False when an entry is not five
  // digits followed by a mode-2 offset, an offset lies outside the file, or
  // the byte 0 is missing; the table is then empty.
  bool readDirectory(const uint8_t* p, const uint8_t* limit);

  // The address of a file offset. The whole file is mapped, so every offset
  // below the file size is addressable (a reader that maps 4 MB windows moves
  // its window here).
  const uint8_t* mapWindow(uint32_t offset) const { return fileBase_ + offset; }

  // The add-on index of the current block (built on its second lookup) and
  // the number of lookups it has served.
  AddOnIndex addOnIndex_;
  uint32_t blockLookups_ = 0;

  const uint8_t* fileBase_ = nullptr;
  uint64_t fileSize_ = 0;
  uint32_t dataEnd_ = 0;
  // Address of the current block's column data (block offset 156).
  const uint8_t* blockBase_ = nullptr;

 private:
  // Moves what is decoded of the current block into the cache.
  void stashCurrentBlock();

  std::array<batch*, kColumnCount> columns_{};
  BlockCache cache_;
  // Storage of a block that left the cache, reused for the next one stashed.
  std::unique_ptr<DecodedBlock> spare_;
  // A block is kept when it is left again within this many block changes, or
  // when its decoded lists hold this much.
  static constexpr uint32_t kRevisitWindow = 1024;
  static constexpr uint64_t kCostlyBlockBytes = 1 << 20;
  std::vector<uint32_t> lastLeft_;  // by ZIP code: the count of block changes when it was last left; 0 = never
  uint32_t leaves_ = 0;
  std::vector<uint32_t> blockOffsets_;  // by ZIP code; 0 = not in the directory
  ZipBits directoryZips_{kZipCodeCount};
  uint32_t zipCount_ = 0;
  int32_t currentZip_ = -1;
  uint32_t blockRows_ = 0;
};

}  // namespace corvdb
