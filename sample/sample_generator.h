// Sample USPS product files: a ZIP+4 file and a City-State file with the
// shape of the national product, made from the facts and word lists of the
// project's data/ folder and a seed.
//
//   DIR/zip4.txt      a copyright record, then ZIP+4 detail records (182 bytes)
//   DIR/ctystate.txt  a copyright record, then City-State records (129 bytes)
//
// Every record is followed by CR LF; both files are sorted by ZIP code; the
// layouts are in sample/usps_records.h. Directions are in the pre- and
// post-direction fields, never in the street name. Beside each ZIP code's
// preferred name, the City-State file lists other names of the place
// (facility N: other spellings such as ST LOUIS for SAINT LOUIS, nearby
// communities), each pointing at the preferred last line and marked
// acceptable (mailing name indicator Y) or not (N). Every detail record's preferred last
// line key (and urbanization and municipality key when present) names a
// City-State record of the same file pair. The same options give byte-identical
// files.
//
// Use from C++ (tests, benchmarks, database fixtures):
//
//   corvdb::tools::SampleOptions options;
//   options.out_dir = dir;
//   options.records = 20000;        // exactly this many detail records
//   options.states = {"RI", "VT"};  // every ZIP code of these states
//   std::string error;
//   if (!corvdb::tools::GenerateSample(options, &error)) ... error is one line
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace corvdb::tools {

inline constexpr uint64_t kDefaultSampleRecords = 1000000;
// Twice the national product; more is a typing error, not a sample.
inline constexpr uint64_t kMaxSampleRecords = 100000000;
inline constexpr const char* kZip4FileName = "zip4.txt";
inline constexpr const char* kCityStateFileName = "ctystate.txt";

struct SampleOptions {
  std::string out_dir;              // created when missing
  uint64_t seed = 1;
  // Detail records to write, exactly. Every chosen ZIP code gets at least one,
  // so this must be at least the number of chosen ZIP codes.
  uint64_t records = kDefaultSampleRecords;
  std::vector<std::string> states;  // two-letter codes (any case); empty = all
  std::string data_dir;             // empty = FindSampleDataDir()
  bool progress = false;            // progress line on stderr while writing
};

// Record types in the order of the statistics display: G H F S P R M.
inline constexpr char kRecordTypes[] = {'G', 'H', 'F', 'S', 'P', 'R', 'M'};

struct SampleSummary {
  enum class Failure { kNone, kBadOptions, kBadData, kOutput };
  Failure failure = Failure::kNone;
  uint64_t zip_codes = 0;
  uint64_t detail_records = 0;      // without the copyright record
  uint64_t city_state_records = 0;  // without the copyright record
  std::array<uint64_t, 7> by_type{};  // counts in kRecordTypes order
  uint64_t zip4_bytes = 0;
  uint64_t city_state_bytes = 0;
};

// Writes both files under temporary names in options.out_dir and renames them
// into place when both are complete; on failure no file is left behind under
// either name. Returns false with one line in *error; summary->failure then
// tells bad options or data (before anything was written) from an output
// failure.
bool GenerateSample(const SampleOptions& options, std::string* error,
                    SampleSummary* summary = nullptr);

// The data/ folder to use when none is given: the installed one
// (<directory of the running program>/../share/corvellan/data), the source
// tree's, <directory of the running program>/../../data, then
// /usr/share/corvellan/data (the first that holds zip_places.csv). Empty when
// none does.
std::string FindSampleDataDir();

}  // namespace corvdb::tools
