#include "check/places_check.h"

#include <set>

#include "builder/output_file.h"
#include "builder/sha256.h"
#include "places_file.h"
#include "read_zip_file.h"

namespace corvdb::tools {

namespace {

// The database's SHA-256: from its checksum file when the check found that
// it matches, else computed.
bool DatabaseSha256(const std::string& database, const CheckReport& report, std::string* hex, std::string* error) {
  if (report.checksum == CheckReport::Checksum::kMatches) {
    std::string text, name;
    if (builder::ReadWholeFile(report.checksum_file, &text, error) && builder::ParseChecksumLine(text, hex, &name)) {
      return true;
    }
  }
  return builder::Sha256OfFile(database, hex, error);
}

}  // namespace

PlacesCheck CheckPlacesFile(const std::string& database, const CheckReport& report) {
  PlacesCheck check;
  check.path = corvellan::matcher::PlacesFilePath(database);
  ReadZipFile engine;
  if (!report.opened || engine.openPath(database) != 0) {
    // Nothing to hold it against; only whether it is there.
    check.present = corvellan::matcher::ReadPlacesFile(check.path, [](uint32_t) { return true; }).present;
    return check;
  }
  const corvellan::matcher::PlacesFile file =
      corvellan::matcher::ReadPlacesFile(check.path, [&engine](uint32_t zip) { return engine.hasZip(zip); });
  check.present = file.present;
  if (!file.present) return check;
  if (!file.usable) {
    check.problems.push_back(check.path + ": " + file.problem);
    check.ignored = true;
    return check;
  }
  std::string sha256, error;
  if (!DatabaseSha256(database, report, &sha256, &error)) {
    check.problems.push_back(check.path + ": not compared with the database: " + error);
  } else {
    const uint64_t* records = report.damaged_zips.empty() ? &report.records : nullptr;
    const std::string mismatch =
        corvellan::matcher::PlacesMismatch(file.header, engine.dataFileSize(), engine.zipCount(), records, &sha256);
    if (!mismatch.empty()) {
      check.problems.push_back(check.path + ": " + mismatch);
      check.ignored = true;
    }
  }
  for (const std::string& bad : file.firstBad) check.problems.push_back(check.path + ": " + bad);
  if (file.badLines > file.firstBad.size()) {
    check.problems.push_back(check.path + ": " + std::to_string(file.badLines - file.firstBad.size()) +
                             " more bad lines");
  }
  std::set<uint32_t> zips;
  for (const auto& e : file.entries) zips.insert(e.zip);
  check.names = file.entries.size();
  check.zips = zips.size();
  return check;
}

}  // namespace corvdb::tools
