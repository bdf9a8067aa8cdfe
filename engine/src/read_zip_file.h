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

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "bit_set.h"
#include "layout.h"
#include "mapped_data_file.h"
#include "search_ahead.h"
#include "str_util.h"
#include "unit_tables.h"
#include "zip_code.h"
#include "zip_search.h"

namespace corvdb {

// Return codes of the exports.
inline constexpr int32_t kNotFound = -1;
inline constexpr int32_t kOpenError = -3;

// The longest data directory (with its '/') that fits the path field with
// "zip.cvd" after it.
inline constexpr std::size_t kMaxDataDirectory = kPathFieldSize - 1 - 7;  // 247

class ReadZipFile : public zipCode, public strUtil {
 public:
  ReadZipFile();
  ~ReadZipFile() override;

  // Opens the data file named by the settings (data_path.h): Corvel.ini,
  // [Directories] Data (default "./"), a '/' added when the directory lacks
  // one, then "zip.cvd". Runs only while the engine is not open. 0 = open,
  // -3 = the file could not be opened, mapped, or is not a readable zip.cvd.
  int32_t openDatabase();
  // The same opening for an explicit file path (tests, tools).
  int32_t openPath(const std::string& path);
  // Opens the file another open engine has mapped, reading its mapping (the
  // search helper's engine); that engine must outlive this one.
  int32_t openShared(const ReadZipFile& owner);

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

  // InitiateZipSearch: starts an address search from the 165-byte request
  // (zip_search.h), discarding any earlier one. Bit 0 of `flags` set: the
  // street name must equal an indexed name; clear: it may begin one.
  // Returns the number of candidate ZIP codes (the first one is already
  // loaded; 1 when there is none), 0 when the street name is in no index
  // entry, -1 when the firm, city or state is in no index entry, -3 when the
  // data file cannot be opened. After 0 the search has no candidate: the next
  // getNextZipMatch returns 0 (running out), then -1. After -1 or -3 the search
  // holds nothing: the next getNextZipMatch returns -1.
  int32_t initiateZipSearch(const char* request, int32_t flags);

  // GetNextZipMatch: delivers the next matching record into the 250-byte
  // output record and returns its rank (> 0); returns 0 when this call moved
  // on to the next candidate ZIP code or has just run out (call again), and
  // -1 when nothing is open, no search was started or the search has
  // finished. Each candidate after the first costs one 0, running out one
  // more. A ZIP+4 lookup between two calls moves the current block away; the
  // search reloads its own block and goes on where it was.
  int32_t getNextZipMatch(char* record);

  // Ends the running search: getNextZipMatch returns -1 until the next
  // initiateZipSearch.
  void abandonSearch();

  // The most selected rows of a block that a search decodes in one pass and
  // keeps for delivery, when they lie far apart (default 64; 0: every row is
  // decoded when it is delivered). The answers are the same either way.
  void setCapturedRowLimit(std::size_t rows) { capturedRowLimit_ = rows; }

  // Whether a search with at least `minimumCandidates` candidate ZIP codes
  // decodes blocks ahead on a second thread (search_ahead.h); on by default
  // from 16 candidates where the machine has two processors or more. A block
  // with more than `keepRows` selected rows is not decoded ahead. The answers
  // are the same either way.
  void setSearchHelper(bool on, std::size_t minimumCandidates = kSearchHelperMinimum,
                       std::size_t keepRows = SearchAhead::kRowLimit) {
    searchHelper_ = on;
    searchHelperMinimum_ = minimumCandidates;
    aheadRowLimit_ = keepRows;
  }
  // The running search's helper, nullptr when it has none (tests).
  const SearchAhead* searchAhead() const { return ahead_.get(); }

  char* zip4Record() { return record_; }
  char* cityStateRecord() { return record_ + kCityStateOffset; }
  char* urbanizationRecord() { return record_ + kUrbanizationOffset; }

 private:
  int32_t open(std::string path);
  int32_t attach();
  int32_t failOpening();

  // Address search (zip_search.cc).
  enum class Advance { kNoMoreZipCodes, kNothingHere, kRowsReady };
  // Takes the lowest candidate ZIP code, loads its block and selects its rows.
  Advance advanceZip();
  // Narrows rowSet_ (all rows of the current block) with the row conditions;
  // false when no row is left or the block's data is damaged. The selected
  // rows are decoded and kept (capturedRecord) when there are at most
  // `keepRows` of them, or few and far apart.
  bool selectRows(std::size_t keepRows = 0);
  // The records block `zip` delivers, with their ranks, into *out; `dense`
  // when more than aheadRowLimit_ rows are selected (search_ahead.h).
  void collectMatches(uint32_t zip, BlockMatches* out);
  // Starts the helper for the candidates left in zipSet_ (taking them from
  // it); false when it cannot be started.
  bool startSearchHelper();
  // Stops the helper (after the block it is decoding) and drops its work.
  void stopSearchHelper();
  bool selectText(stringTable& column, std::string_view key, bool exact);
  bool selectRange(numberPart& column, uint32_t value);
  // Takes the next selected row of the search's block that fits the typed
  // parities and has a rank: returns the rank (0 when no row is left), with
  // the row and its kept record (nullptr when it has none).
  uint32_t nextMatchingRow(uint32_t* row, const char** kept);
  bool parityFits(uint32_t row);
  bool parityFits(const char* decoded) const;  // the same for a decoded record
  static constexpr std::size_t kPrimaryOddEvenOffset = 78;
  static constexpr std::size_t kSecondaryOddEvenOffset = 139;
  // The rank of a row of the search's block, 0 when the add-on columns
  // cannot be decoded.
  uint32_t rankOf(uint32_t row);
  // Reads the add-ons of the search's block up to its last selected row (and
  // `row`) and ranks them when many rows are to be delivered; false when the
  // add-on columns cannot be decoded.
  bool prepareRanks(uint32_t row);
  // The add-on low and high fields of rows 0..rows-1 of the current block:
  // when they are all numbers below 10000 (addOnDigits_), the add-on
  // column's list up to them; otherwise packed (PackAddOn) into addOnLows_
  // and addOnHighs_.
  bool readAddOns(uint32_t rows);

  // Blocks of fewer rows are passed over whole by every lookup: that is
  // cheaper than ordering their add-ons.
  static constexpr uint32_t kIndexedBlockRows = 256;
  // Ordering a block's add-ons costs some forty passes over it: a block gets
  // its add-on index at its 32nd lookup (kept with it in the block cache),
  // so that lookups spread over the nation, which come back to a block now
  // and then, do not pay for one they would hardly use.
  static constexpr uint32_t kIndexedBlockLookups = 32;
  std::vector<uint32_t> covering_;  // scratch: the rows a lookup's add-on falls in

  MappedDataFile file_;
  std::string path_;
  int32_t errorCode_ = 0;
  bool opened_ = false;
  SuffixTable suffixTable_;
  // ZIP+4 detail record, City-State record, urbanization City-State record of
  // the last delivered record.
  char record_[kRecordBufferSize] = {};
  // The last City-State and urbanization records fillAddressRecord cased, as
  // they were and as cased.
  struct CasedRecord {
    bool valid = false;
    char raw[kCityStateSize];
    char cased[kCityStateSize];
  };
  CasedRecord casedCityState_;
  CasedRecord casedUrbanization_;

  // Search state. The request is copied when the search starts; terms_ are
  // its conditions. zipSet_: candidate ZIP codes not yet visited; rowSet_:
  // rows of the search's block (searchZip_, -1 = none) not yet delivered,
  // one bit per row of that block.
  char request_[kSearchRequestSize] = {};
  SearchTerms terms_;
  ZipBits zipSet_{kZipCodeCount};
  BitSet rowSet_;
  BitSet selected_;  // scratch: the rows one condition selects
  bool exactStreet_ = false;
  char primaryParity_ = ' ';
  char unitParity_ = ' ';
  bool searchFinished_ = true;
  int32_t searchZip_ = -1;
  // The add-ons of the first rows of block rankZip_ (-1 = none), read on
  // first need, and the ranks of those rows when many are to be delivered
  // (empty otherwise: each rank is then counted when asked for).
  static constexpr std::size_t kRanksByTable = 16;
  int32_t rankZip_ = -1;
  std::vector<uint32_t> addOnLows_;
  std::vector<uint32_t> addOnHighs_;
  std::vector<uint32_t> ranks_;
  bool addOnDigits_ = false;  // the add-ons read are numbers below 10000
  uint32_t addOnRows_ = 0;     // the rows whose add-ons were read
  RankScratch rankScratch_;
  // The decoded records of the selected rows of block capturedZip_ (-1 =
  // none), in row order, when there are at most capturedRowLimit_ of them: the
  // pass that checks that every selected row decodes keeps them, so that
  // delivering them decodes nothing again. capturedNext_: the first not yet
  // delivered.
  std::size_t capturedRowLimit_ = 64;
  int32_t capturedZip_ = -1;
  std::vector<uint32_t> capturedRows_;
  std::vector<char> captured_;
  std::size_t capturedNext_ = 0;
  // The captured record of `row` of the search's block, nullptr when it has none.
  const char* capturedRecord(uint32_t row);

  // Decoding ahead (search_ahead.h): the candidates in order, the next one to
  // visit, and the matches being delivered (nullptr: the search's block
  // delivers its rows as it goes) with the next one to deliver. helper_ is
  // the helper thread's engine, kept from search to search.
  static constexpr std::size_t kSearchHelperMinimum = 16;
  bool searchHelper_ = true;
  std::size_t searchHelperMinimum_ = kSearchHelperMinimum;
  std::size_t aheadRowLimit_ = SearchAhead::kRowLimit;
  bool helperPending_ = false;  // the helper starts at the search's second block
  // The helper engine's: set when its search is dropped (stops decoding a
  // block's selected rows early).
  const std::atomic<bool>* cancelled_ = nullptr;
  std::unique_ptr<ReadZipFile> helper_;
  std::unique_ptr<HelperThread> helperThread_;
  std::vector<uint32_t> aheadZips_;
  std::size_t aheadIndex_ = 0;
  const BlockMatches* aheadMatches_ = nullptr;
  std::size_t aheadNext_ = 0;
  // Declared last: destroyed (its thread stopped) before what it reads.
  std::unique_ptr<SearchAhead> ahead_;
};

// The engine the exports use, built at first use and kept for the process.
ReadZipFile& ProcessEngine();
// Replaces the process engine by a fresh, unopened one (ReopenZipDatabase).
// Throws std::bad_alloc, leaving the old one in place, when memory runs out.
void ReplaceProcessEngine();
// The same, for tests.
void ResetProcessEngineForTesting();

}  // namespace corvdb
