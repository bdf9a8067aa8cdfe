// The place names file beside a zip.cvd (places_format.h), checked against
// the database: its format, that its header names this database (size, ZIP
// codes, detail records and SHA-256), and that every line names a ZIP code of
// the database. A database without one is fine (databases built before the
// file existed); the address matcher then knows the last-line names only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "check/cvd_check.h"

namespace corvdb::tools {

struct PlacesCheck {
  std::string path;
  bool present = false;
  std::vector<std::string> problems;  // one line each
  bool ignored = false;               // the matcher does not use it (unusable, or another database's)
  uint64_t names = 0;                 // good name lines
  uint64_t zips = 0;                  // ZIP codes they name
  bool clean() const { return problems.empty(); }
};

// `report` is the database's own check (CheckDatabase): its record count is
// compared when no ZIP code is damaged, and the SHA-256 of a matching
// checksum file is taken instead of reading the file again.
PlacesCheck CheckPlacesFile(const std::string& database, const CheckReport& report);

}  // namespace corvdb::tools
