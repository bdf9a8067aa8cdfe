#include "zip_code.h"

#include <algorithm>

#include "coding.h"
#include "str_util.h"
#include "vl_number.h"

namespace corvdb {

namespace {
constexpr uint32_t kZipCodes = 100000;
}  // namespace

zipCode::zipCode() : lastLeft_(kZipCodes, 0), blockOffsets_(kZipCodes, 0) {
  batch* const all[kColumnCount] = {
      &urbTable, &csTable, &csLastLineCSName, &PrefdLastLineKey, &UrbanizationKey, &MunicipalityKey,
      &CongressDistrictNo, &CountyNo, &StateAbbrev, &FinanceNo, &GovtBuildingInd, &LACSStatusInd,
      &BaseAltCode, &CorvdbOnPostfix, &CorvdbOnNumber, &CorvdbOnPrefix, &SecondaryOddEvenCode,
      &SecondaryNumPostfix, &SecondaryNum, &SecondaryNumPrefix, &SecondaryAbbrev, &BuildingOrFirmName,
      &PrimaryOddEvenCode, &PrimaryNumberPostfix, &PrimaryNumber, &PrimaryNumberPrefix, &PostDrctnAbbrev,
      &SuffixAbbrev, &StreetName, &PreDrctnAbbrev, &CarrierRouteId, &RecordTypeCode, &ActionCode,
      &UpdateKeyNoNumeric, &UpdateKeyNoAlpha, &ZipCode, &CopyrightDetailCode};
  std::copy(std::begin(all), std::end(all), columns_.begin());
  batch* head = columns_[kColumnCount - 1];
  for (int i = 0; i < kColumnCount; ++i) {
    columns_[static_cast<std::size_t>(i)]->link(head, i > 0 ? columns_[static_cast<std::size_t>(i - 1)] : nullptr);
  }
}

zipCode::~zipCode() = default;

void zipCode::attachFile(const uint8_t* base, uint64_t size, uint32_t dataEnd) {
  // Decoded blocks belong to the file they came from.
  cache_.clear();
  std::fill(lastLeft_.begin(), lastLeft_.end(), 0);
  leaves_ = 0;
  addOnIndex_.clear();
  blockLookups_ = 0;
  fileBase_ = base;
  fileSize_ = size;
  dataEnd_ = dataEnd;
  currentZip_ = -1;
  blockBase_ = nullptr;
}

void zipCode::detachFile() {
  attachFile(nullptr, 0, 0);
  for (batch* c = columnList(); c != nullptr; c = c->next()) c->detachIndex();
  std::fill(blockOffsets_.begin(), blockOffsets_.end(), 0);
  directoryZips_.clear();
  zipCount_ = 0;
}

bool zipCode::readDirectory(const uint8_t* p, const uint8_t* limit) {
  std::fill(blockOffsets_.begin(), blockOffsets_.end(), 0);
  directoryZips_.clear();
  zipCount_ = 0;
  const auto fail = [this] {
    std::fill(blockOffsets_.begin(), blockOffsets_.end(), 0);
    directoryZips_.clear();
    zipCount_ = 0;
    return false;
  };
  while (p < limit && *p != 0) {
    uint32_t zip = 0;
    for (int i = 0; i < 5; ++i, ++p) {
      if (p >= limit || !strUtil::isDigit(static_cast<char>(*p))) return fail();
      zip = zip * 10 + static_cast<uint32_t>(*p - '0');
    }
    uint32_t offset = 0;
    if (p >= limit || (*p & 0x80) == 0) return fail();  // every byte of the offset has bit 7 set
    p = vlNumber::readNumber(p, limit, vlNumber::kMode2, &offset);
    // Blocks start after the 4 bytes of H.
    if (p == nullptr || offset < 4 || offset >= fileSize_) return fail();
    // Of two entries for one ZIP code, the first counts: it is the one a
    // search of the directory text finds.
    if (blockOffsets_[zip] == 0) {
      blockOffsets_[zip] = offset;
      directoryZips_.set(zip);
      ++zipCount_;
    }
  }
  if (p >= limit) return fail();  // no byte 0 before the limit
  return true;
}

bool zipCode::loadZipBlock(std::string_view zip) {
  if (zip.size() != 5 || !std::all_of(zip.begin(), zip.end(), strUtil::isDigit)) {
    currentZip_ = -1;
    return false;
  }
  uint32_t number = 0;
  for (char c : zip) number = number * 10 + static_cast<uint32_t>(c - '0');
  return loadZipBlock(number);
}

void zipCode::stashCurrentBlock() {
  if (!blockLoaded()) return;
  // Only a block that work comes back to, or one that was costly to decode,
  // is kept. Keeping every block would hand each new block the cold storage
  // of an old one and slow down work that never comes back (lookups spread
  // over the nation, a search passing over thousands of blocks once).
  const uint32_t zip = static_cast<uint32_t>(currentZip_);
  ++leaves_;
  const bool revisited = lastLeft_[zip] != 0 && leaves_ - lastLeft_[zip] <= kRevisitWindow;
  lastLeft_[zip] = leaves_;
  if (cache_.capacity() == 0 || !(revisited || budget_.used() >= kCostlyBlockBytes)) return;

  std::unique_ptr<DecodedBlock> block = spare_ ? std::move(spare_) : std::make_unique<DecodedBlock>();
  block->zip = static_cast<uint32_t>(currentZip_);
  block->rows = blockRows_;
  block->base = blockBase_;
  block->budgetUsed = budget_.used();
  for (int i = 0; i < kColumnCount; ++i) column(i).exchangeState(block->columns[static_cast<std::size_t>(i)]);
  std::swap(block->addOns, addOnIndex_);
  block->lookups = blockLookups_;
  spare_ = cache_.put(std::move(block));
}

bool zipCode::loadZipBlock(uint32_t zip) {
  if (blockLoaded() && static_cast<uint32_t>(currentZip_) == zip) return true;
  stashCurrentBlock();
  currentZip_ = -1;
  blockBase_ = nullptr;
  blockRows_ = 0;
  addOnIndex_.clear();
  blockLookups_ = 0;
  if (fileBase_ == nullptr || !hasZip(zip)) return false;

  if (std::unique_ptr<DecodedBlock> cached = cache_.size() > 0 ? cache_.take(zip) : nullptr) {
    for (int i = 0; i < kColumnCount; ++i) column(i).exchangeState(cached->columns[static_cast<std::size_t>(i)]);
    std::swap(cached->addOns, addOnIndex_);
    blockLookups_ = cached->lookups;
    budget_.restore(cached->budgetUsed);
    blockBase_ = cached->base;
    blockRows_ = cached->rows;
    currentZip_ = static_cast<int32_t>(zip);
    spare_ = std::move(cached);
    return true;
  }

  const uint32_t start = blockOffsets_[zip];
  // What a block may occupy: up to the directory, and within the window a
  // 4 MB-window reader maps for it.
  const uint64_t window_end = uint64_t{start & ~(kWindowAlignment - 1)} + kWindowSize;
  const uint64_t end = std::min<uint64_t>({window_end, dataEnd_, fileSize_});
  if (start < 4 || end < start || end - start < kBlockHeaderSize) return false;

  const uint8_t* block = mapWindow(start);
  const uint8_t* limit = mapWindow(static_cast<uint32_t>(end));
  const uint32_t rows = DecodeFixed32(block + 4);
  if (rows > kMaxBlockRows) return false;
  const uint8_t* base = block + kBlockHeaderSize;
  const uint64_t room = static_cast<uint64_t>(limit - base);
  for (int i = 0; i < kColumnCount; ++i) {
    if (DecodeFixed32(block + 8 + 4 * i) > room) return false;
  }

  budget_.reset();
  for (int i = 0; i < kColumnCount; ++i) {
    column(i).startBlock(base + DecodeFixed32(block + 8 + 4 * i), limit, rows);
  }
  blockBase_ = base;
  blockRows_ = rows;
  currentZip_ = static_cast<int32_t>(zip);
  return true;
}

bool zipCode::decodeRow(uint32_t row, char* buffer) {
  if (!blockLoaded() || row >= blockRows_) return false;
  for (batch* c = columnList(); c != nullptr; c = c->next()) {
    if (!c->getRow(buffer, row)) return false;
  }
  return true;
}

}  // namespace corvdb
