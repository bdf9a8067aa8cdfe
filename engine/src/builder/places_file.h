// The place names file the build writes beside zip.cvd (places_format.h):
// every City-State name of each ZIP code of the database, so that the
// address matcher knows a ZIP code's other names, not only the last-line name
// its ZIP+4 records point to.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "builder/usps_records.h"

namespace corvdb::builder {

// The database the file belongs to, for its header.
struct PlacesFileInfo {
  uint64_t size = 0;
  uint64_t zips = 0;
  uint64_t records = 0;
  std::string sha256;  // hex
};

// The whole file for the City-State records whose ZIP code is in the
// database (`in_database[zip]`). Records with a ZIP code that is not 5
// digits, a state that is not two capital letters or a blank name are left
// out. *names gets the number of name lines.
std::string PlacesFileText(const CityStateTable& city_states, const std::vector<bool>& in_database,
                           const PlacesFileInfo& info, uint64_t* names);

}  // namespace corvdb::builder
