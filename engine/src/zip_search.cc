// The address search: InitiateZipSearch and GetNextZipMatch.
#include "zip_search.h"

#include "cpu_features.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <exception>
#include <thread>

#include "cpu_features.h"
#include "read_zip_file.h"
#include "record_fields.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace corvdb {

namespace {

std::string Field(const char* request, RequestField field) {
  return strUtil::cleanField(FieldText(request + field.offset, field.length));
}

// The ZIP field: the value v of its leading digits; with a '*' at position k
// the range v * 10^(5-k) .. v * 10^(5-k) + 10^(5-k) - 1, without one v alone.
// The digits before the '*' number at most k, so the range stays below
// 100,000.
void ParseZipField(const std::string& text, SearchTerms* terms) {
  if (text.empty()) return;
  uint32_t value = 0;
  for (std::size_t i = 0; i < text.size() && strUtil::isDigit(text[i]); ++i) {
    value = value * 10 + static_cast<uint32_t>(text[i] - '0');
  }
  uint32_t span = 1;
  const std::size_t star = text.find('*');
  if (star != std::string::npos) {
    for (std::size_t k = star; k < kRequestZip.length; ++k) span *= 10;
  }
  terms->zipGiven = true;
  terms->zipLow = value * span;
  terms->zipHigh = value * span + span - 1;
}

// Counts of inserted positions, by position, answering "how many below i".
class PrefixCounts {
 public:
  explicit PrefixCounts(std::size_t n) : tree_(n + 1, 0) {}
  void add(std::size_t i) {
    for (++i; i < tree_.size(); i += i & (~i + 1)) ++tree_[i];
  }
  uint32_t below(std::size_t i) const {
    uint32_t sum = 0;
    for (; i > 0; i -= i & (~i + 1)) sum += tree_[i];
    return sum;
  }

 private:
  std::vector<uint32_t> tree_;
};

}  // namespace

SearchTerms ParseSearchRequest(const char* request, const SuffixTable& suffixes) {
  SearchTerms terms;
  ParseZipField(Field(request, kRequestZip), &terms);
  terms.firm = Field(request, kRequestFirm);
  terms.city = Field(request, kRequestCity);
  terms.state = Field(request, kRequestState);

  const UnitParts unit = strUtil::parseUnit(Field(request, kRequestUnit));
  const std::string primary = Field(request, kRequestPrimary);
  const std::string line = Field(request, kRequestStreet);
  terms.streetLineGiven = !line.empty();
  if (!line.empty() || !unit.designator.empty() || !unit.number.empty()) {
    terms.street = strUtil::parseStreetLine(line, unit.designator, unit.number, primary, suffixes);
  } else {
    terms.street.primaryNumber = primary;
  }

  // A house number taken from the street line may be longer than the field.
  StreetParts& s = terms.street;
  s.primaryNumber = std::string(strUtil::trimmed(std::string_view(s.primaryNumber).substr(0, kRequestPrimary.length)));
  terms.primaryValue = strUtil::splitNumber(s.primaryNumber).value;
  terms.primaryParity = strUtil::parity(s.primaryNumber);
  terms.unitValue = strUtil::splitNumber(s.unitNumber).value;
  terms.unitParity = strUtil::parity(s.unitNumber);
  return terms;
}

uint32_t RankOfRow(const std::vector<uint32_t>& lows, const std::vector<uint32_t>& highs, std::size_t row) {
  const uint32_t low = lows[row];
  const uint32_t high = highs[row];
  uint32_t rank = 1;
  if (low == high) {
    for (std::size_t k = 0; k < row; ++k) rank += lows[k] == low || (lows[k] <= low && high <= highs[k]);
  } else {
    for (std::size_t k = 0; k < row; ++k) rank += lows[k] == low;
  }
  return rank;
}

#if defined(CORVDB_X86_AVX2)
namespace {
// AllDigitAddOns over the first `entries` (a multiple of eight), eight at a time.
__attribute__((target("avx2"))) bool AllDigitEntriesAvx2(const int32_t* pairs, std::size_t entries) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i above = _mm256_set1_epi32(9999);
  __m256i outside = _mm256_setzero_si256();
  for (std::size_t i = 0; i < entries; i += 8) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pairs + i));
    outside = _mm256_or_si256(outside, _mm256_or_si256(_mm256_cmpgt_epi32(zero, v), _mm256_cmpgt_epi32(v, above)));
  }
  return _mm256_testz_si256(outside, outside) != 0;
}

// The rows of RankOfDigitRow before `rows` (a multiple of eight) that count,
// eight at a time: shuffling two vectors of four pairs gives their lows and
// their highs, in an order that does not matter to a count.
__attribute__((target("avx2"))) uint32_t CountDigitRowsAvx2(const int32_t* pairs, std::size_t rows, int32_t low,
                                                            int32_t high) {
  const __m256i x = _mm256_set1_epi32(low);
  const __m256i single = _mm256_set1_epi32(low == high ? -1 : 0);
  __m256i counts = _mm256_setzero_si256();
  for (std::size_t k = 0; k < rows; k += 8) {
    const __m256 a = _mm256_castsi256_ps(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(pairs + 2 * k)));
    const __m256 b = _mm256_castsi256_ps(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(pairs + 2 * k + 8)));
    const __m256i l = _mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
    const __m256i h = _mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
    const __m256i covers =
        _mm256_andnot_si256(_mm256_or_si256(_mm256_cmpgt_epi32(l, x), _mm256_cmpgt_epi32(x, h)), single);
    counts = _mm256_sub_epi32(counts, _mm256_or_si256(_mm256_cmpeq_epi32(l, x), covers));
  }
  const __m128i half = _mm_add_epi32(_mm256_castsi256_si128(counts), _mm256_extracti128_si256(counts, 1));
  const __m128i pair = _mm_add_epi32(half, _mm_srli_si128(half, 8));
  return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_add_epi32(pair, _mm_srli_si128(pair, 4))));
}
}  // namespace
#endif

bool AllDigitAddOns(const int32_t* pairs, std::size_t rows) {
  const std::size_t entries = 2 * rows;
  std::size_t i = 0;
#if defined(CORVDB_X86_AVX2)
  if (entries >= 64 && HasAvx2()) {
    i = entries / 8 * 8;
    if (!AllDigitEntriesAvx2(pairs, i)) return false;
  }
#endif
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i above = _mm_set1_epi32(9999);
  __m128i outside = _mm_setzero_si128();
  for (; i + 4 <= entries; i += 4) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pairs + i));
    outside = _mm_or_si128(outside, _mm_or_si128(_mm_cmpgt_epi32(zero, v), _mm_cmpgt_epi32(v, above)));
  }
  if (_mm_movemask_epi8(outside) != 0) return false;
#endif
  for (; i < entries; ++i) {
    if (pairs[i] < 0 || pairs[i] > 9999) return false;
  }
  return true;
}

uint32_t RankOfDigitRow(const int32_t* pairs, std::size_t row) {
  const int32_t low = pairs[2 * row];
  const int32_t high = pairs[2 * row + 1];
  uint32_t rank = 1;
  std::size_t k = 0;
#if defined(CORVDB_X86_AVX2)
  if (row >= 32 && HasAvx2()) {
    k = row / 8 * 8;
    rank += CountDigitRowsAvx2(pairs, k, low, high);
  }
#endif
#if defined(__SSE2__)
  // Four rows at a time: their pairs split into lows and highs. The values
  // are below 10000, so signed comparisons order them as unsigned ones. Each
  // lane of `counts` counts its rows (a comparison gives -1 per row found).
  const __m128i x = _mm_set1_epi32(low);
  const __m128i single = _mm_set1_epi32(low == high ? -1 : 0);
  __m128i counts = _mm_setzero_si128();
  for (; k + 4 <= row; k += 4) {
    const __m128 a = _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(pairs + 2 * k)));
    const __m128 b = _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(pairs + 2 * k + 4)));
    const __m128i l = _mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
    const __m128i h = _mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
    const __m128i covers = _mm_andnot_si128(_mm_or_si128(_mm_cmpgt_epi32(l, x), _mm_cmpgt_epi32(x, h)), single);
    counts = _mm_sub_epi32(counts, _mm_or_si128(_mm_cmpeq_epi32(l, x), covers));
  }
  alignas(16) uint32_t lanes[4];
  _mm_store_si128(reinterpret_cast<__m128i*>(lanes), counts);
  rank += lanes[0] + lanes[1] + lanes[2] + lanes[3];
#endif
  for (; k < row; ++k) {
    const int32_t l = pairs[2 * k];
    rank += l == low || (low == high && l <= low && high <= pairs[2 * k + 1]);
  }
  return rank;
}

std::vector<uint32_t> RankRows(const std::vector<uint32_t>& lows, const std::vector<uint32_t>& highs) {
  const std::size_t n = std::min(lows.size(), highs.size());
  std::vector<uint32_t> keys(lows.begin(), lows.begin() + static_cast<std::ptrdiff_t>(n));
  keys.insert(keys.end(), highs.begin(), highs.begin() + static_cast<std::ptrdiff_t>(n));
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  const auto position = [&keys](uint32_t key) {
    return static_cast<std::size_t>(std::lower_bound(keys.begin(), keys.end(), key) - keys.begin());
  };

  // Walking the rows in order, for the rows seen so far: how many have each
  // low; and of those that cover a true range (low < high), the lows and the
  // highs. A single add-on x lies inside such a range exactly when low < x
  // and not high < x (high < x implies low < x), so the ranges covering it
  // are (ranges with low < x) - (ranges with high < x); ranges with low = x
  // are already counted among the equal lows.
  std::vector<uint32_t> sameLow(keys.size(), 0);
  PrefixCounts rangeLows(keys.size());
  PrefixCounts rangeHighs(keys.size());
  std::vector<uint32_t> ranks(n);
  for (std::size_t r = 0; r < n; ++r) {
    const std::size_t low = position(lows[r]);
    uint32_t rank = 1 + sameLow[low];
    if (lows[r] == highs[r]) rank += rangeLows.below(low) - rangeHighs.below(low);
    ranks[r] = rank;
    ++sameLow[low];
    if (lows[r] < highs[r]) {
      rangeLows.add(low);
      rangeHighs.add(position(highs[r]));
    }
  }
  return ranks;
}

void RankDigitRows(const int32_t* pairs, std::size_t rows, RankScratch* scratch, std::vector<uint32_t>* ranks) {
  // RankRows with the add-ons as their own positions (0..9999): no sorting.
  // The counts live in `scratch` and are set back to zero afterwards, touching
  // only what the rows touched.
  constexpr std::size_t kValues = 10000;
  const std::size_t n = rows;
  scratch->sameLow.resize(kValues, 0);
  scratch->rangeLows.resize(kValues + 1, 0);
  scratch->rangeHighs.resize(kValues + 1, 0);
  const auto add = [](std::vector<uint32_t>& tree, std::size_t i, uint32_t d) {
    for (++i; i < tree.size(); i += i & (~i + 1)) tree[i] += d;
  };
  const auto below = [](const std::vector<uint32_t>& tree, std::size_t i) {
    uint32_t sum = 0;
    for (; i > 0; i -= i & (~i + 1)) sum += tree[i];
    return sum;
  };
  ranks->resize(n);
  bool ranges = false;
  for (std::size_t r = 0; r < n; ++r) {
    const uint32_t low = static_cast<uint32_t>(pairs[2 * r]);
    const uint32_t high = static_cast<uint32_t>(pairs[2 * r + 1]);
    uint32_t rank = 1 + scratch->sameLow[low];
    if (ranges && low == high) rank += below(scratch->rangeLows, low) - below(scratch->rangeHighs, low);
    (*ranks)[r] = rank;
    ++scratch->sameLow[low];
    if (low < high) {
      ranges = true;
      add(scratch->rangeLows, low, 1);
      add(scratch->rangeHighs, high, 1);
    }
  }
  for (std::size_t r = 0; r < n; ++r) {
    const uint32_t low = static_cast<uint32_t>(pairs[2 * r]);
    const uint32_t high = static_cast<uint32_t>(pairs[2 * r + 1]);
    scratch->sameLow[low] = 0;
    if (low < high) {
      add(scratch->rangeLows, low, 0u - 1u);
      add(scratch->rangeHighs, high, 0u - 1u);
    }
  }
}

void ReadZipFile::abandonSearch() {
  searchFinished_ = true;
  zipSet_.clear();
  rowSet_.resize(0);
  searchZip_ = -1;
  rankZip_ = -1;
  ranks_.clear();
  capturedZip_ = -1;
  stopSearchHelper();
  aheadZips_.clear();
  aheadIndex_ = 0;
  aheadMatches_ = nullptr;
  helperPending_ = false;
}

int32_t ReadZipFile::initiateZipSearch(const char* request, int32_t flags) {
  abandonSearch();
  if (!opened_) {
    const int32_t rc = openDatabase();
    if (rc != 0) return rc;
  }
  exactStreet_ = (flags & 1) != 0;
  std::memcpy(request_, request, kSearchRequestSize);
  terms_ = ParseSearchRequest(request_, suffixTable_);
  primaryParity_ = terms_.primaryParity;
  unitParity_ = terms_.unitParity;

  if (terms_.zipGiven) {
    // The range may name ZIP codes that are not in the directory: each costs
    // one empty visit, as the count returned below promises.
    zipSet_.setRange(terms_.zipLow, terms_.zipHigh);
  } else {
    zipSet_ = directoryZips();
  }

  ZipBits found(kZipCodeCount);
  const auto narrow = [&](const batch& column, const std::string& key, bool exact) {
    found.clear();
    if (!column.findKey(key, found, exact)) return false;
    zipSet_.andWith(found);
    return true;
  };
  if (!terms_.firm.empty() && !narrow(BuildingOrFirmName, terms_.firm, false)) {
    abandonSearch();
    return kNotFound;
  }
  if (terms_.streetLineGiven && !terms_.street.streetName.empty() &&
      !narrow(StreetName, terms_.street.streetName, exactStreet_)) {
    // No candidate, but the search runs: the next call finds the set empty
    // and returns 0 (running out), then -1, as for any search that ends.
    abandonSearch();
    searchFinished_ = false;
    return 0;
  }
  if ((!terms_.city.empty() && !narrow(csLastLineCSName, terms_.city, false)) ||
      (!terms_.state.empty() && !narrow(StateAbbrev, terms_.state, false))) {
    abandonSearch();
    return kNotFound;
  }

  searchFinished_ = false;
  const std::size_t candidates = zipSet_.count();
  advanceZip();
  // The helper starts when the search moves on from its first block, so that
  // starting a search (and the first block's records) costs what it did
  // without one.
  helperPending_ = searchHelper_ && candidates >= std::max<std::size_t>(searchHelperMinimum_, 2);
  // With no candidate at all this is 1, and the one call that finds the set
  // empty returns 0.
  return static_cast<int32_t>(std::max<std::size_t>(candidates, 1));
}

bool ReadZipFile::startSearchHelper() {
  // (Asked once: it may cost a system call.)
  static const unsigned processors = std::thread::hardware_concurrency();
  if (processors < 2) return false;
  try {
    if (!helper_) {
      auto helper = std::make_unique<ReadZipFile>();
      if (helper->openShared(*this) != 0) return false;
      // Its blocks are each decoded once.
      helper->setBlockCacheBytes(0);
      helper_ = std::move(helper);
    }
    if (!helperThread_) helperThread_ = std::make_unique<HelperThread>();
    helper_->terms_ = terms_;
    helper_->exactStreet_ = exactStreet_;
    helper_->primaryParity_ = primaryParity_;
    helper_->unitParity_ = unitParity_;
    helper_->capturedRowLimit_ = capturedRowLimit_;
    helper_->aheadRowLimit_ = aheadRowLimit_;
    std::vector<uint32_t> zips;
    zips.reserve(zipSet_.count());
    for (std::size_t zip = zipSet_.takeLowest(); zip != BitSet::npos; zip = zipSet_.takeLowest()) {
      zips.push_back(static_cast<uint32_t>(zip));
    }
    aheadZips_ = std::move(zips);
    aheadIndex_ = 0;
    ReadZipFile* helper = helper_.get();
    ahead_ = std::make_unique<SearchAhead>(
        aheadZips_.size(),
        [helper, zips = aheadZips_.data()](std::size_t index, BlockMatches* out) {
          helper->collectMatches(zips[index], out);
        },
        helperThread_.get());
    helper_->cancelled_ = ahead_->stopping();
    ahead_->start();
  } catch (const std::exception&) {
    // (No memory or no thread:) the search goes on without a helper, with
    // the candidates taken so far given back.
    ahead_.reset();
    for (const uint32_t zip : aheadZips_) zipSet_.set(zip);
    aheadZips_.clear();
    return false;
  }
  return true;
}

void ReadZipFile::stopSearchHelper() {
  ahead_.reset();
  if (helper_) helper_->cancelled_ = nullptr;
}

void ReadZipFile::collectMatches(uint32_t zip, BlockMatches* out) {
  out->clear();
  rowSet_.clear();
  searchZip_ = -1;
  rankZip_ = -1;
  if (!loadZipBlock(zip)) return;
  searchZip_ = static_cast<int32_t>(zip);
  if (selectRows(aheadRowLimit_)) {
    if (capturedZip_ < 0) {
      out->dense = true;
    } else {
      // The rows as getNextZipMatch delivers them (every selected row is kept).
      uint32_t row = 0;
      const char* kept = nullptr;
      for (uint32_t rank = nextMatchingRow(&row, &kept); rank != 0; rank = nextMatchingRow(&row, &kept)) {
        if (kept == nullptr) continue;
        out->records.insert(out->records.end(), kept, kept + kRecordBufferSize);
        out->ranks.push_back(rank);
      }
    }
  }
  rowSet_.clear();
  searchZip_ = -1;
  capturedZip_ = -1;
}

int32_t ReadZipFile::getNextZipMatch(char* record) {
  if (!opened_ || searchFinished_) return kNotFound;
  if (aheadMatches_ != nullptr) {
    // The block was decoded ahead.
    if (aheadNext_ < aheadMatches_->ranks.size()) {
      std::memcpy(record_, aheadMatches_->records.data() + aheadNext_ * kRecordBufferSize, kRecordBufferSize);
      const uint32_t rank = aheadMatches_->ranks[aheadNext_++];
      fillAddressRecord(record);
      return static_cast<int32_t>(rank);
    }
    if (advanceZip() == Advance::kNoMoreZipCodes) searchFinished_ = true;
    return 0;
  }
  // A lookup since the last call may have loaded another block: load the
  // search's block again and go on with the rows not yet delivered.
  if (searchZip_ >= 0 && currentZip() != searchZip_) {
    // (The add-ons ranks read may have gone with the block's lists.)
    rankZip_ = -1;
    if (!loadZipBlock(static_cast<uint32_t>(searchZip_))) {
      rowSet_.clear();
      searchZip_ = -1;
    }
  }
  for (;;) {
    uint32_t row = 0;
    const char* kept = nullptr;
    const uint32_t rank = nextMatchingRow(&row, &kept);
    if (rank == 0) {
      if (advanceZip() == Advance::kNoMoreZipCodes) searchFinished_ = true;
      return 0;
    }
    if (kept != nullptr) {
      std::memcpy(record_, kept, kRecordBufferSize);
    } else if (!deliverRow(row)) {
      continue;
    }
    fillAddressRecord(record);
    return static_cast<int32_t>(rank);
  }
}

uint32_t ReadZipFile::nextMatchingRow(uint32_t* row, const char** kept) {
  for (;;) {
    const std::size_t next = rowSet_.takeLowest();
    if (next == BitSet::npos) return 0;
    const uint32_t r = static_cast<uint32_t>(next);
    const char* record = capturedRecord(r);
    if (record != nullptr ? !parityFits(record) : !parityFits(r)) continue;
    const uint32_t rank = rankOf(r);
    if (rank == 0) continue;
    *row = r;
    *kept = record;
    return rank;
  }
}

ReadZipFile::Advance ReadZipFile::advanceZip() {
  rowSet_.clear();
  searchZip_ = -1;
  aheadMatches_ = nullptr;
  if (helperPending_) {
    helperPending_ = false;
    if (zipSet_.count() >= 2) startSearchHelper();
  }
  std::size_t zip = BitSet::npos;
  if (ahead_) {
    if (aheadIndex_ == aheadZips_.size()) {
      stopSearchHelper();  // the helper's work is over
      return Advance::kNoMoreZipCodes;
    }
    const std::size_t index = aheadIndex_++;
    zip = aheadZips_[index];
    const BlockMatches* matches =
        ahead_->arrive(index, [this](std::size_t later, BlockMatches* out) { collectMatches(aheadZips_[later], out); });
    if (matches != nullptr) {
      aheadMatches_ = matches;
      aheadNext_ = 0;
      return matches->ranks.empty() ? Advance::kNothingHere : Advance::kRowsReady;
    }
  } else {
    zip = zipSet_.takeLowest();
  }
  if (zip == BitSet::npos) return Advance::kNoMoreZipCodes;
  if (!loadZipBlock(static_cast<uint32_t>(zip))) return Advance::kNothingHere;
  searchZip_ = static_cast<int32_t>(zip);
  if (!selectRows()) {
    rowSet_.clear();
    return Advance::kNothingHere;
  }
  return Advance::kRowsReady;
}

bool ReadZipFile::selectRows(std::size_t keepRows) {
  const uint32_t rows = blockRows();
  rowSet_.resize(rows);
  if (rows == 0) return false;
  rowSet_.setRange(0, rows - 1);

  const SearchTerms& t = terms_;
  const StreetParts& s = t.street;
  if (!t.firm.empty() && !selectText(BuildingOrFirmName, t.firm, false)) return false;
  if (!s.preDirection.empty() && !selectText(PreDrctnAbbrev, s.preDirection, false)) return false;
  if (!s.postDirection.empty() && !selectText(PostDrctnAbbrev, s.postDirection, false)) return false;
  if (!s.suffix.empty() && !selectText(SuffixAbbrev, s.suffix, false)) return false;
  if (!s.streetName.empty() && !selectText(StreetName, s.streetName, exactStreet_)) return false;
  if (!s.designator.empty() && !selectText(SecondaryAbbrev, s.designator, false)) return false;
  if (!s.unitNumber.empty() && !selectRange(SecondaryNum, t.unitValue)) return false;
  if (!s.primaryNumber.empty() && !selectRange(PrimaryNumber, t.primaryValue)) return false;
  if (!t.city.empty() && !selectText(csLastLineCSName, t.city, false)) return false;
  if (!t.state.empty() && !selectText(StateAbbrev, t.state, false)) return false;

  // Every selected row must decode before one is delivered, so that a block
  // with damaged data contributes nothing rather than part of its rows.
  // Columns decode in order: when the last selected row decodes, every row
  // before it does. A few selected rows are decoded here, one after the
  // other in a single pass, and kept for delivery.
  capturedZip_ = -1;
  capturedRows_.clear();
  capturedNext_ = 0;
  // Every row delivered needs its rank, which reads the add-on columns' lists
  // up to the last selected row: reading them first lets the decoding below
  // take the add-ons from them instead of walking those columns twice. (Where
  // they do not decode, rankOf finds out again and delivers nothing.)
  prepareRanks(0);
  // Worth it where the selected rows lie far apart: the decoding between them
  // is then done once instead of twice. Rows close together are decoded as
  // they are delivered, so that a search's first records come at once.
  const std::size_t selected = rowSet_.count();
  if (selected <= keepRows || (selected <= capturedRowLimit_ && rowSet_.findLast() + 1 >= 8 * selected)) {
    captured_.resize(selected * kRecordBufferSize);
    for (std::size_t r = rowSet_.findFrom(0); r != BitSet::npos; r = rowSet_.findFrom(r + 1)) {
      capturedRows_.push_back(static_cast<uint32_t>(r));
    }
    // Column by column (each row's fields still written in decodeRow's
    // order), so that each column's reading state stays at hand from one
    // row to the next.
    for (batch* c = columnList(); c != nullptr; c = c->next()) {
      if (cancelled_ != nullptr && cancelled_->load(std::memory_order_relaxed)) return false;
      char* out = captured_.data();
      for (const uint32_t r : capturedRows_) {
        if (!c->getRow(out, r)) return false;
        out += kRecordBufferSize;
      }
    }
    capturedZip_ = currentZip();
    return true;
  }
  char scratch[kRecordBufferSize];
  return decodeRow(static_cast<uint32_t>(rowSet_.findLast()), scratch);
}

const char* ReadZipFile::capturedRecord(uint32_t row) {
  if (capturedZip_ < 0 || capturedZip_ != searchZip_) return nullptr;
  // Rows are asked for in increasing order.
  while (capturedNext_ < capturedRows_.size() && capturedRows_[capturedNext_] < row) ++capturedNext_;
  if (capturedNext_ == capturedRows_.size() || capturedRows_[capturedNext_] != row) return nullptr;
  return captured_.data() + capturedNext_ * kRecordBufferSize;
}

bool ReadZipFile::selectText(stringTable& column, std::string_view key, bool exact) {
  const uint64_t rows = blockRows();
  selected_.resize(rows);
  if (!column.isPair() && column.runEnds().empty()) {
    // The column's lists are not decoded: its runs are compared as they are read.
    if (!column.selectRuns(key, exact, rows, &selected_)) return false;
    rowSet_.andWith(selected_);
    return rowSet_.any();
  }
  if (!column.loadBlock()) return false;
  const std::vector<std::string_view>& values = column.values();
  const std::vector<uint64_t>& ends = column.runEnds();
  uint64_t begin = 0;
  for (std::size_t i = 0; i < values.size() && begin < rows; ++i) {
    const uint64_t end = std::min(ends[i], rows);
    const std::string_view value = trimmed(values[i]);
    if (exact ? value == key : value.substr(0, key.size()) == key) selected_.setRange(begin, end - 1);
    begin = ends[i];
  }
  rowSet_.andWith(selected_);
  return rowSet_.any();
}

bool ReadZipFile::selectRange(numberPart& column, uint32_t value) {
  if (!column.loadBlock()) return false;
  const NumberList& numbers = column.numbers();
  const int64_t n = value;
  for (std::size_t r = rowSet_.findFrom(0); r != BitSet::npos; r = rowSet_.findFrom(r + 1)) {
    if (!(numbers[2 * r] <= n && n <= numbers[2 * r + 1])) rowSet_.reset(r);
  }
  return rowSet_.any();
}

bool ReadZipFile::parityFits(const char* decoded) const {
  // The odd/even codes as the decoded record holds them.
  const auto fits = [](char code, char parity) { return parity == ' ' || code == 'B' || code == parity; };
  return fits(decoded[kPrimaryOddEvenOffset], primaryParity_) && fits(decoded[kSecondaryOddEvenOffset], unitParity_);
}

bool ReadZipFile::parityFits(uint32_t row) {
  const auto fits = [row](stringTable& code, char parity) {
    if (parity == ' ') return true;
    std::string_view value;
    if (!code.entry(row, &value)) return false;
    // The code as the decoded one-character field holds it.
    const char c = value.empty() ? ' ' : value[0];
    return c == 'B' || c == parity;
  };
  return fits(PrimaryOddEvenCode, primaryParity_) && fits(SecondaryOddEvenCode, unitParity_);
}

bool ReadZipFile::readAddOns(uint32_t rows) {
  addOnDigits_ = false;
  addOnRows_ = rows;
  if (rows == 0) return true;
  const uint64_t entries = uint64_t{rows} * 2;
  if (!CorvdbOnNumber.loadEntries(entries) || !CorvdbOnPrefix.loadEntries(entries) ||
      !CorvdbOnPostfix.loadEntries(entries)) {
    return false;
  }

  // Most blocks hold add-ons of four digits only, without prefix or postfix:
  // their texts (zero padded) then order and compare as the numbers do, and
  // the numbers serve as the keys of the whole block.
  const auto blank = [entries](const stringTable& column) {
    for (std::size_t i = 0; i < column.values().size(); ++i) {
      if (!trimmed(column.values()[i]).empty()) return false;
      if (column.runEnds()[i] >= entries) break;
    }
    return true;
  };
  const NumberList& numbers = CorvdbOnNumber.numbers();
  if (blank(CorvdbOnPrefix) && blank(CorvdbOnPostfix) && AllDigitAddOns(numbers.data(), rows)) {
    // They are read where the list holds them (valid while the block stays
    // current: getNextZipMatch reads them again after reloading it).
    addOnDigits_ = true;
    return true;
  }
  addOnLows_.resize(rows);
  addOnHighs_.resize(rows);

  // Otherwise each field as the three add-on columns build it when a row is
  // decoded: the trimmed prefix, the number (zero padded to four digits)
  // appended and the whole cut at four characters, the trimmed postfix
  // appended keeping the rightmost four, blanks after.
  char formatted[32];
  const auto field = [&](uint64_t entry, uint32_t* key) {
    std::string_view prefix;
    std::string_view postfix;
    if (!CorvdbOnPrefix.entry(entry, &prefix) || !CorvdbOnPostfix.entry(entry, &postfix)) return false;
    prefix = trimmed(prefix);
    postfix = trimmed(postfix).substr(0, 64);
    char built[4 + sizeof formatted + 64];
    std::size_t n = std::min<std::size_t>(prefix.size(), 4);
    if (n > 0) std::memcpy(built, prefix.data(), n);
    const std::size_t digits = CorvdbOnNumber.formatNumber(numbers[entry], formatted);
    if (!(digits == 1 && formatted[0] == '0')) {
      std::memcpy(built + n, formatted, digits);
      n += digits;
    }
    n = std::min<std::size_t>(n, 4);
    if (!postfix.empty()) std::memcpy(built + n, postfix.data(), postfix.size());
    n += postfix.size();
    char packed[4] = {' ', ' ', ' ', ' '};
    std::memcpy(packed, n > 4 ? built + n - 4 : built, std::min<std::size_t>(n, 4));
    *key = PackAddOn(packed);
    return true;
  };
  for (uint32_t r = 0; r < rows; ++r) {
    if (!field(uint64_t{r} * 2, &addOnLows_[r]) || !field(uint64_t{r} * 2 + 1, &addOnHighs_[r])) return false;
  }
  return true;
}

uint32_t ReadZipFile::rankOf(uint32_t row) {
  if ((rankZip_ != searchZip_ || searchZip_ < 0) && !prepareRanks(row)) return 0;
  if (row >= addOnRows_) return 0;
  if (!ranks_.empty()) return ranks_[row];
  return addOnDigits_ ? RankOfDigitRow(CorvdbOnNumber.numbers().data(), row) : RankOfRow(addOnLows_, addOnHighs_, row);
}

bool ReadZipFile::prepareRanks(uint32_t row) {
  rankZip_ = -1;
  ranks_.clear();
  // A rank depends on the rows before it only: the add-ons of the rows up
  // to the last one still to deliver are all that is needed.
  const std::size_t last = rowSet_.findLast();
  const std::size_t rows = std::max<std::size_t>(row, last == BitSet::npos ? 0 : last) + 1;
  if (!readAddOns(static_cast<uint32_t>(rows))) return false;
  const std::size_t wanted = rowSet_.count();
  if (addOnDigits_ && wanted >= 96) {
    // Add-ons of four digits are their own positions: one pass ranks them
    // all (for fewer rows, counting for each, four rows at a time, costs
    // less).
    RankDigitRows(CorvdbOnNumber.numbers().data(), rows, &rankScratch_, &ranks_);
  } else if (wanted >= kRanksByTable && wanted >= 12 * static_cast<std::size_t>(std::bit_width(2 * rows))) {
    // Otherwise the table sorts the rows' add-ons, which costs about as
    // much as counting for a dozen rows times the logarithm of the rows;
    // for fewer rows each is counted on its own (O(rows) each).
    ranks_ = RankRows(addOnLows_, addOnHighs_);
  }
  rankZip_ = searchZip_;
  return true;
}

}  // namespace corvdb
