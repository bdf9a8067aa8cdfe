#include "sample/sample_generator.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <set>
#include <system_error>

#include "sample/output_file.h"
#include "sample/random.h"
#include "sample/sample_data.h"
#include "sample/usps_records.h"
#include "sample/zip_generator.h"

namespace corvdb::tools {
namespace {

namespace fs = std::filesystem;
using Failure = SampleSummary::Failure;

// Sizes of ZIP codes. A tier is drawn with its weight (out of 10,000), then a
// value uniformly within it. Standard ZIP codes get a relative weight (their
// share of the records); the others an absolute record count, since a PO-box
// or one-firm ZIP code stays small however big the sample is.
struct Tier {
  uint32_t weight;
  uint64_t low, high;
};
// The last tier makes a few very large ZIP codes: at national scale (10
// million records and more) they hold over 20,000 records each.
constexpr Tier kStandardWeights[] = {{800, 1, 10},     {2200, 10, 40},  {3700, 40, 150},
                                     {2700, 150, 400}, {595, 400, 1000}, {5, 14000, 17000}};
constexpr Tier kPoBoxSizes[] = {{2500, 1, 1}, {4000, 2, 5}, {2800, 6, 30}, {700, 31, 150}};
constexpr Tier kUniqueSizes[] = {{4000, 1, 1}, {4000, 2, 10}, {2000, 11, 60}};
constexpr Tier kMilitarySizes[] = {{5000, 5, 40}, {5000, 40, 200}};

template <size_t N>
uint64_t Draw(Rng& rng, const Tier (&tiers)[N]) {
  uint64_t x = rng.Below(10000);
  for (const Tier& t : tiers) {
    if (x < t.weight) return rng.Range(t.low, t.high);
    x -= t.weight;
  }
  return tiers[N - 1].low;
}

ZipClass ChooseClass(Rng& rng, const Place& p) {
  if (p.state == "AA" || p.state == "AE" || p.state == "AP") return ZipClass::kMilitary;
  // ZIP codes without a county in the list are mostly PO-box and unique
  // ZIP codes; give them a higher share of those classes.
  const bool no_county = p.county_number.empty();
  const uint64_t x = rng.Below(1000);
  if (x < (no_county ? 450u : 90u)) return ZipClass::kPoBoxOnly;
  if (x < (no_county ? 600u : 105u)) return ZipClass::kUnique;
  return ZipClass::kStandard;
}

// Adds `amount` to the entries of `out` listed in `which` in proportion to
// `weights`, exactly (cumulative rounding: no remainder is lost).
void Distribute(uint64_t amount, const std::vector<size_t>& which, const std::vector<uint64_t>& weights,
                std::vector<uint64_t>* out) {
  unsigned __int128 total = 0;
  for (const size_t i : which) total += weights[i];
  if (total == 0 || amount == 0) return;
  unsigned __int128 cumulative = 0;
  uint64_t given = 0;
  for (const size_t i : which) {
    cumulative += weights[i];
    const auto share = static_cast<uint64_t>(cumulative * amount / total);
    (*out)[i] += share - given;
    given = share;
  }
}

class FileSink : public RecordSink {
 public:
  FileSink(OutputFile* zip4, OutputFile* city_state, SampleSummary* summary)
      : zip4_(zip4), city_state_(city_state), summary_(summary) {}

  void Detail(const usps::Zip4Record& record) override {
    zip4_->Append(record.data(), record.size());
    zip4_->Append(usps::kLineEnd, 2);
    ++summary_->detail_records;
    const char type = record.data()[usps::zip4::kRecordType.offset];
    for (size_t i = 0; i < std::size(kRecordTypes); ++i) {
      if (kRecordTypes[i] == type) ++summary_->by_type[i];
    }
  }
  void CityState(const usps::CityStateRecord& record) override {
    city_state_->Append(record.data(), record.size());
    city_state_->Append(usps::kLineEnd, 2);
    ++summary_->city_state_records;
  }

 private:
  OutputFile* zip4_;
  OutputFile* city_state_;
  SampleSummary* summary_;
};

template <size_t N>
void WriteCopyright(OutputFile* file, std::string_view product, uint64_t seed) {
  usps::FixedRecord<N> r;
  r.Set({0, 1}, 'C');
  const std::string text = "COPYRIGHT (C) CORVELLAN SAMPLE " + std::string(product) +
                           " DATA - SYNTHETIC ADDRESSES, NOT A USPS PRODUCT - SEED " + std::to_string(seed);
  r.Set({1, static_cast<uint16_t>(N - 1)}, text);
  file->Append(r.data(), N);
  file->Append(usps::kLineEnd, 2);
}

class Progress {
 public:
  Progress(bool enabled, uint64_t total) : enabled_(enabled), total_(total), tty_(isatty(2) != 0) {
    last_ = std::chrono::steady_clock::now();
  }
  void Update(uint64_t done) {
    if (!enabled_ || total_ == 0) return;
    const uint64_t percent = done * 100 / total_;
    if (tty_) {
      if (percent == shown_) return;
      shown_ = percent;
      std::fprintf(stderr, "\rcorvdb sample: %3llu%% of %llu ZIP codes", static_cast<unsigned long long>(percent),
                   static_cast<unsigned long long>(total_));
      std::fflush(stderr);
      return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ < std::chrono::seconds(5)) return;
    last_ = now;
    std::fprintf(stderr, "corvdb sample: %llu%% of %llu ZIP codes\n", static_cast<unsigned long long>(percent),
                 static_cast<unsigned long long>(total_));
  }
  void Done() {
    if (enabled_ && tty_ && shown_ != UINT64_MAX) std::fputc('\n', stderr);
  }

 private:
  bool enabled_;
  uint64_t total_;
  bool tty_;
  uint64_t shown_ = UINT64_MAX;
  std::chrono::steady_clock::time_point last_;
};

bool Fail(Failure kind, const std::string& message, std::string* error, SampleSummary* summary) {
  *error = message;
  summary->failure = kind;
  return false;
}

bool HasPlaces(const fs::path& dir) {
  std::error_code ec;
  return fs::is_regular_file(dir / "zip_places.csv", ec);
}

}  // namespace

std::string FindSampleDataDir() {
  std::vector<fs::path> candidates;
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
#ifdef CORVELLAN_BIN_TO_DATA
  // An installed program first, so that an installed tree never reads the
  // source tree it was built from.
  if (!ec) candidates.push_back(exe.parent_path() / CORVELLAN_BIN_TO_DATA / "data");
#endif
#ifdef CORVELLAN_SOURCE_DIR
  candidates.push_back(fs::path(CORVELLAN_SOURCE_DIR) / "data");
#endif
  if (!ec) candidates.push_back(exe.parent_path() / ".." / ".." / "data");
  candidates.push_back("/usr/share/corvellan/data");
  for (const auto& dir : candidates) {
    if (HasPlaces(dir)) return fs::weakly_canonical(dir, ec).string();
  }
  return "";
}

bool GenerateSample(const SampleOptions& options, std::string* error, SampleSummary* summary_out) {
  SampleSummary local_summary;
  SampleSummary* summary = summary_out ? summary_out : &local_summary;
  *summary = SampleSummary();

  if (options.out_dir.empty()) return Fail(Failure::kBadOptions, "no output directory given", error, summary);
  if (options.records == 0 || options.records > kMaxSampleRecords) {
    return Fail(Failure::kBadOptions,
                "record count must be between 1 and " + std::to_string(kMaxSampleRecords), error, summary);
  }
  std::set<std::string> wanted;
  for (const std::string& s : options.states) {
    const std::string state = CleanText(s, "");
    if (state.size() != 2 || !std::all_of(state.begin(), state.end(), [](char c) { return c >= 'A' && c <= 'Z'; })) {
      return Fail(Failure::kBadOptions, "bad state code '" + s + "' (expected two letters such as CA)", error,
                  summary);
    }
    wanted.insert(state);
  }

  std::string data_dir = options.data_dir.empty() ? FindSampleDataDir() : options.data_dir;
  if (data_dir.empty()) {
    return Fail(Failure::kBadData, "no data directory with zip_places.csv found; give one with --data", error,
                summary);
  }
  SampleData data;
  if (!LoadSampleData(data_dir, &data, error)) {
    summary->failure = Failure::kBadData;
    return false;
  }

  std::vector<size_t> chosen;
  std::set<std::string> found;
  for (size_t i = 0; i < data.places.size(); ++i) {
    if (wanted.empty() || wanted.count(data.places[i].state)) {
      chosen.push_back(i);
      found.insert(data.places[i].state);
    }
  }
  for (const std::string& s : wanted) {
    if (!found.count(s)) {
      return Fail(Failure::kBadOptions, "unknown state " + s + " (not in zip_places.csv)", error, summary);
    }
  }
  if (options.records < chosen.size()) {
    return Fail(Failure::kBadOptions,
                "record count " + std::to_string(options.records) + " is below the number of ZIP codes (" +
                    std::to_string(chosen.size()) + "); ask for more records or fewer states",
                error, summary);
  }

  // Plan: a class and a size for every ZIP code. Every ZIP code has one
  // record; the rest is shared out.
  std::vector<ZipPlan> plans(chosen.size());
  std::vector<uint64_t> weights(chosen.size()), extra(chosen.size(), 0);
  std::vector<size_t> standard, others;
  uint64_t others_wanted = 0;
  for (size_t k = 0; k < chosen.size(); ++k) {
    const Place& p = data.places[chosen[k]];
    Rng rng(MixSeed(options.seed ^ 0x504C414E, std::stoull(p.zip)));
    plans[k] = {chosen[k], ChooseClass(rng, p), 1};
    switch (plans[k].zip_class) {
      case ZipClass::kStandard: weights[k] = Draw(rng, kStandardWeights); break;
      case ZipClass::kPoBoxOnly: weights[k] = Draw(rng, kPoBoxSizes) - 1; break;
      case ZipClass::kUnique: weights[k] = Draw(rng, kUniqueSizes) - 1; break;
      case ZipClass::kMilitary: weights[k] = Draw(rng, kMilitarySizes) - 1; break;
    }
    if (plans[k].zip_class == ZipClass::kStandard) {
      standard.push_back(k);
    } else {
      others.push_back(k);
      others_wanted += weights[k];
    }
  }
  const uint64_t spare = options.records - chosen.size();
  // The small ZIP codes get their wanted sizes unless that would take more
  // than a fifth of the records; then they shrink in proportion.
  const uint64_t others_budget = standard.empty() ? spare : std::min(others_wanted, spare / 5);
  Distribute(others_budget, others, weights, &extra);
  if (standard.empty()) {
    if (others_wanted == 0) {  // every ZIP code wanted one record: spread evenly
      std::vector<uint64_t> ones(chosen.size(), 1);
      Distribute(spare, others, ones, &extra);
    }
  } else {
    Distribute(spare - others_budget, standard, weights, &extra);
  }
  for (size_t k = 0; k < plans.size(); ++k) plans[k].records += extra[k];

  // Output files.
  std::error_code ec;
  fs::create_directories(options.out_dir, ec);
  if (!fs::is_directory(options.out_dir, ec)) {
    return Fail(Failure::kBadOptions, "cannot use output directory " + options.out_dir, error, summary);
  }
  OutputFile zip4, city_state;
  const fs::path out(options.out_dir);
  if (!zip4.Open((out / kZip4FileName).string(), error) ||
      !city_state.Open((out / kCityStateFileName).string(), error)) {
    summary->failure = Failure::kBadOptions;
    return false;
  }
  WriteCopyright<usps::kZip4RecordSize>(&zip4, "ZIP+4", options.seed);
  WriteCopyright<usps::kCityStateRecordSize>(&city_state, "CITY-STATE", options.seed);

  FileSink sink(&zip4, &city_state, summary);
  ZipGenerator generator(data, options.seed, options.records);
  Progress progress(options.progress, plans.size());
  for (size_t k = 0; k < plans.size(); ++k) {
    generator.Generate(plans[k], &sink);
    ++summary->zip_codes;
    progress.Update(k + 1);
  }
  progress.Done();

  summary->zip4_bytes = zip4.bytes();
  summary->city_state_bytes = city_state.bytes();
  if (!zip4.Finish(error) || !city_state.Finish(error) || !city_state.Commit(error) || !zip4.Commit(error)) {
    summary->failure = Failure::kOutput;
    return false;
  }
  return true;
}

}  // namespace corvdb::tools
