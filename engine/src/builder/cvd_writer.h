// Builds a zip.cvd from USPS ZIP+4 and City-State product files and a street
// suffix list.
//
//   file        := H:fixed32 block* reserved:fixed32 directory-part tables-part index-areas
//                  (H is the offset of directory-part; reserved lies at H - 4)
//   directory-part := T:fixed32 reserved:fixed32 (zip:digit{5} offset:mode2)* 0x00
//                  (T counts from H to tables-part; entries in ascending ZIP order,
//                   offset = absolute file offset of the ZIP code's block)
//   tables-part := U:fixed32 suffix-text 0x00
//                  (U counts from the tables part to index-areas)
//   index-areas := StreetName areas, BuildingOrFirmName areas, StateAbbrev area,
//                  csLastLineCSName area (index_builder.h)
//
// The reserved words are written as 0. Blocks (block_builder.h) follow one
// another from offset 4 without gaps, in the order they are built. A block is
// at most kMaxBlockSize (4 MB - 64 KB) long, so it lies inside the 4 MB that
// follow its start rounded down to 64 KB, which is what a reader with one
// 4 MB window needs; a larger block is an error. The file stays below 4 GiB.
//
// Rows of a block are the ZIP code's detail records in input order. Input
// that is grouped by ZIP code (all records of a ZIP code together; the usual
// case, sorted or not) is streamed into the blocks record by record. Input in
// which a ZIP code comes back after another one is read a second time and
// spilled into bucket files by the first three ZIP digits, which are then
// built bucket by bucket. A block holds at most kMaxBlockRows rows, the most
// the engine accepts.
//
// The output is checked first (output_target.h): never an input, never a
// device, FIFO or folder; a symbolic link is followed and its target
// replaced. The new database and every temporary file live in a working
// directory "<target>.tmp-XXXXXX" beside it; on success the database gets the
// replaced file's mode (and owner where allowed), is synced, its SHA-256 is
// written as "<target>.sha256" (the format sha256sum -c reads) and every
// City-State name of its ZIP codes as "<target>.places" (places_format.h),
// and the three are renamed into place, the database first; the directory is
// removed in any case. A running reader of the old file keeps its mapping.
//
// Input that loads but makes no sense (a record type or odd/even code
// outside the USPS codes, a primary range that runs backwards, a record
// repeated within its ZIP code, a City-State key listed again with another
// city) is built as it is and counted in BuildReport::warnings.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "builder/usps_records.h"

namespace corvdb::builder {

struct BuildProgress {
  const char* phase;        // "reading", "regrouping", "indexes"
  uint64_t records;         // detail records read so far in this phase
  uint64_t bytes_read;      // of the ZIP+4 input
  uint64_t bytes_total;
};

struct BuildOptions {
  std::vector<ProductSource> zip4;
  std::vector<ProductSource> city_state;
  ProductSource suffixes;   // the suffix list (CSV)
  std::string output;       // path of zip.cvd
  // Memory for the (key, ZIP code) pairs of each index before they are sorted
  // into run files; bucket buffers of the regrouping use 64 KB each.
  size_t index_memory = 32u << 20;
  // A bucket file larger than this is built without loading it: one pass
  // over the file per ZIP code in it.
  uint64_t bucket_memory = 256u << 20;
  // Group through bucket files even when the input is grouped (tests).
  bool force_regroup = false;
  std::function<void(const BuildProgress&)> progress;
  uint64_t progress_every = 1000000;  // detail records between two progress calls
  // Called with the working directory's path as soon as it exists, so that
  // the caller can remove it if the process is interrupted.
  std::function<void(const std::string&)> work_directory_created;
  // Called with true before the database, its checksum and its place names
  // are renamed into place and with false after: the renames belong together.
  std::function<void(bool)> replacing;
  // Set from another thread to stop the build: it is tested once per record
  // and between the steps of the build, and the build then fails with
  // kCancelledMessage, leaving nothing behind (an existing output is kept).
  // Once the new file is being renamed over the output the build is done and
  // the flag no longer matters.
  const std::atomic<bool>* cancel = nullptr;
};

// One kind of input that loads but makes no sense.
struct BuildWarning {
  std::string what;   // "ZIP+4 records whose record type code is not ..."
  uint64_t count = 0;
  std::string first;  // "FILE: record N", or "ZIP code Z, update key K"
};

inline constexpr const char* kCancelledMessage = "the build was cancelled";

struct BuildReport {
  uint64_t detail_records = 0;
  uint64_t header_records = 0;      // copyright records skipped
  uint64_t city_state_records = 0;
  uint64_t zip_codes = 0;
  uint64_t file_size = 0;
  uint64_t block_bytes = 0;         // all blocks
  uint64_t index_bytes = 0;         // the index areas
  std::array<uint64_t, 4> index_pairs{};  // street, firm, state, city
  uint32_t largest_block = 0;
  std::string largest_block_zip;
  uint32_t largest_block_rows = 0;
  bool regrouped = false;           // the input was not grouped by ZIP code
  double seconds = 0;
  std::string target;               // the file written (the output, links followed)
  std::string checksum_file;        // target + ".sha256"
  std::string sha256;               // of the new database, hex
  std::string places_file;          // target + ".places"
  uint64_t place_names = 0;         // name lines in it
  std::vector<BuildWarning> warnings;  // the kinds met, in a fixed order
};

// Builds options.output. On failure *error holds one line ("FILE: record N:
// what" for bad input) and nothing is left at the output path or beside it
// (an existing file there is kept).
bool BuildDatabase(const BuildOptions& options, BuildReport* report, std::string* error);

// Builds `output` from records held in memory: 182-byte ZIP+4 records and
// 129-byte City-State records (any other length is an error), with the suffix
// list as CSV text.
bool BuildDatabaseFromRecords(const std::vector<std::string>& zip4_records,
                              const std::vector<std::string>& city_state_records,
                              const std::string& suffix_csv, const std::string& output,
                              std::string* error, BuildReport* report = nullptr);

}  // namespace corvdb::builder
