// Reading the place names file beside a zip.cvd (places_format.h). The file
// comes from outside, so every line is checked: a line longer than the
// format allows, a header that is not the format's or more or fewer lines
// than the header announces make the whole file unusable; a line that is
// not "zip TAB state TAB kind TAB name" with a ZIP code of the database is
// skipped and counted. Memory and time stay bounded by kPlacesMaxLine and
// kPlacesMaxNames whatever the file holds.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace corvellan::matcher {

struct PlacesHeader {
  uint64_t size = 0;     // of the database, bytes
  uint64_t zips = 0;     // its ZIP codes
  uint64_t records = 0;  // its detail records
  uint64_t names = 0;    // name lines that follow
  std::string sha256;    // of the database, hex
};

struct PlaceEntry {
  uint32_t zip = 0;
  std::string state;
  char kind = 'P';  // P A N U (places_format.h)
  std::string name;
};

struct PlacesFile {
  std::string path;
  bool present = false;  // a file is there
  bool usable = false;   // its header is good and it holds the lines it announces
  std::string problem;   // why it is not usable
  PlacesHeader header;
  std::vector<PlaceEntry> entries;  // the good name lines, in file order
  uint64_t badLines = 0;
  std::vector<std::string> firstBad;  // "line N: what" for the first few bad lines
};

// The place names file of a data file: beside the file its path names once
// symbolic links are followed, where the build writes it.
std::string PlacesFilePath(const std::string& dataFile);

// Reads `path`. `zipKnown` says whether a ZIP code is in the database; a line
// with another ZIP code is a bad line.
PlacesFile ReadPlacesFile(const std::string& path, const std::function<bool(uint32_t)>& zipKnown);

// Why the header does not describe the database ("" when it does). The
// record count and the SHA-256 are compared when given.
std::string PlacesMismatch(const PlacesHeader& header, uint64_t size, uint64_t zips, const uint64_t* records = nullptr,
                           const std::string* sha256 = nullptr);

}  // namespace corvellan::matcher
