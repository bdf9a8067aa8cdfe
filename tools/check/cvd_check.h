// A full check of a zip.cvd: what the reader tolerates silently (a block that
// cannot be decoded is "not found", an index that has lost an entry finds
// nothing) is listed here, ZIP code by ZIP code.
//
// The check opens the file with the engine's own reader and
//   - verifies "<file>.sha256" beside it (the file named by the path after
//     following symbolic links), when there is one;
//   - loads every block of the directory, decodes every column whole and
//     every row, and checks that every row holds the block's ZIP code and
//     only text bytes in its ZIP+4 record;
//   - walks every index area from end to end: each main entry must be key
//     text and a ZIP code, in strictly ascending order, naming a ZIP code of
//     the directory; each first-level list must be exactly one entry per
//     3-character prefix of the main keys, pointing at the first of them;
//   - checks that every key of every ZIP code's rows is in its index under
//     that ZIP code, and every index entry is a key of that ZIP code's rows.
// Memory: 8 bytes per index entry plus one decoded block.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace corvdb::tools {

struct CheckReport {
  enum class Checksum { kNone, kMatches, kDiffers, kUnusable };
  Checksum checksum = Checksum::kNone;
  std::string checksum_file;    // looked for (or found) beside the file
  std::string checksum_problem; // for kDiffers and kUnusable

  bool opened = false;          // the reader opened the file
  std::string open_problem;     // why not

  uint64_t zip_codes = 0;
  uint64_t records = 0;
  uint64_t index_entries = 0;
  // Damage tied to ZIP codes: the problems of each (the first few).
  std::map<uint32_t, std::vector<std::string>> damaged_zips;
  // Damage of the file or an index that no single ZIP code carries.
  std::vector<std::string> file_problems;

  bool clean() const {
    return opened && damaged_zips.empty() && file_problems.empty() &&
           (checksum == Checksum::kNone || checksum == Checksum::kMatches);
  }
};

struct CheckOptions {
  // Called every `progress_every` decoded records with the ZIP codes done and
  // the records decoded so far.
  std::function<void(uint64_t zips_done, uint64_t zips_total, uint64_t records)> progress;
  uint64_t progress_every = 1000000;
};

// Returns false only when the file cannot be read at all (no such file,
// permission, not a regular file); *error then says why. Damage, including
// a file the reader refuses to open, is in *report.
bool CheckDatabase(const std::string& path, const CheckOptions& options, CheckReport* report, std::string* error);

}  // namespace corvdb::tools
