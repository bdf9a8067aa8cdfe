// corvdb check: a full check of a zip.cvd (check/cvd_check.h).
//
//   corvdb check FILE [-q]
//
// One line per problem on standard output: "ZIP code 12345: what" for each
// damaged ZIP code (its first problems), "StreetName index: what" for damage
// no single ZIP code carries, "checksum: what" when FILE.sha256 does not
// match, "place names: what" for a place names file beside it that is
// damaged or belongs to another database. The summary and progress lines go
// to standard error.
//
// Only the checksum covers every byte: a file without FILE.sha256 that passes
// every structural check is reported as "structure OK; content not verified"
// (exit 0 still), since a changed byte in a record's text reads as well as
// the original.
//
// Exit status: 0 clean (or structure OK without a checksum file), 1 damaged (or a checksum file that does not match or
// cannot be read), 2 the file cannot be read at all, a usage error, or a
// write error on standard output.
#include <cstdio>
#include <memory>
#include <string>

#include "check/cvd_check.h"
#include "check/places_check.h"
#include "commands.h"
#include "engine_session.h"

namespace corvdb::tools {

namespace {

struct CheckArgs {
  std::string file;
  bool quiet = false;
};

// The place names file beside the database (check/places_check.h): its
// problems on standard output as "place names: what", one line about it on
// standard error. True when it is clean or absent.
bool ReportPlacesFile(const std::string& file, const CheckReport& report) {
  const PlacesCheck places = CheckPlacesFile(file, report);
  for (const std::string& problem : places.problems) std::printf("place names: %s\n", problem.c_str());
  if (!places.present) {
    std::fprintf(stderr, "corvdb check: no place names file %s (built before there was one: a city is found by "
                 "its last-line name only)\n", places.path.c_str());
  } else if (places.clean()) {
    std::fprintf(stderr, "corvdb check: place names file %s: %s names of %s ZIP codes, written for this database\n",
                 places.path.c_str(), Thousands(places.names).c_str(), Thousands(places.zips).c_str());
  } else if (places.ignored) {
    std::fprintf(stderr, "corvdb check: place names file %s: damaged or stale (the matcher ignores it); rebuild "
                 "the database to renew it\n", places.path.c_str());
  } else {
    std::fprintf(stderr, "corvdb check: place names file %s: %s names of %s ZIP codes; bad lines (the matcher "
                 "leaves them out)\n", places.path.c_str(), Thousands(places.names).c_str(),
                 Thousands(places.zips).c_str());
  }
  return places.clean();
}

int RunCheck(const CheckArgs& args) {
  CheckOptions options;
  if (!args.quiet) {
    options.progress = [](uint64_t zips_done, uint64_t zips_total, uint64_t records) {
      std::fprintf(stderr, "corvdb check: %s of %s ZIP codes, %s records\n", Thousands(zips_done).c_str(),
                   Thousands(zips_total).c_str(), Thousands(records).c_str());
    };
  }
  CheckReport report;
  std::string error;
  if (!CheckDatabase(args.file, options, &report, &error)) {
    std::fprintf(stderr, "corvdb check: %s\n", error.c_str());
    return 2;
  }
  using Checksum = CheckReport::Checksum;
  if (report.checksum == Checksum::kDiffers || report.checksum == Checksum::kUnusable) {
    std::printf("checksum: %s\n", report.checksum_problem.c_str());
  }
  if (!report.opened) std::printf("%s: %s\n", args.file.c_str(), report.open_problem.c_str());
  for (const std::string& problem : report.file_problems) std::printf("%s\n", problem.c_str());
  for (const auto& [zip, problems] : report.damaged_zips) {
    for (const std::string& problem : problems) std::printf("ZIP code %05u: %s\n", zip, problem.c_str());
  }
  const bool places_clean = !report.opened || ReportPlacesFile(args.file, report);
  if (!StandardOutputOk("check")) return 2;

  const char* checksum = report.checksum == Checksum::kMatches  ? "checksum matches"
                         : report.checksum == Checksum::kNone   ? "no checksum file"
                         : report.checksum == Checksum::kDiffers ? "checksum differs"
                                                                 : "checksum file unusable";
  if (!report.opened) {
    std::fprintf(stderr, "corvdb check: %s: damaged: the reader cannot open it; %s\n", args.file.c_str(), checksum);
    return 1;
  }
  // Without the checksum only the structure has been seen: say so, and how
  // to get a checksum.
  const bool unverified = report.clean() && report.checksum == Checksum::kNone;
  std::string verdict = unverified ? "structure OK; content not verified" : report.clean() ? "clean" : "damaged";
  std::string checksum_note = checksum;
  if (unverified) {
    checksum_note = "no checksum file " + report.checksum_file +
                    " (corvdb build writes it beside the database it builds; only it covers every byte)";
  }
  if (!report.damaged_zips.empty()) verdict += ", " + Thousands(report.damaged_zips.size()) + " damaged ZIP codes";
  if (!report.file_problems.empty()) {
    verdict += ", " + Thousands(report.file_problems.size()) + " index problem" +
               (report.file_problems.size() == 1 ? "" : "s");
  }
  std::fprintf(stderr, "corvdb check: %s: %s: %s ZIP codes, %s records, %s index entries; %s\n", args.file.c_str(),
               verdict.c_str(), Thousands(report.zip_codes).c_str(), Thousands(report.records).c_str(),
               Thousands(report.index_entries).c_str(), checksum_note.c_str());
  return report.clean() && places_clean ? 0 : 1;
}

}  // namespace

void RegisterCheckCommand(CLI::App& app, int& exit_code) {
  auto args = std::make_shared<CheckArgs>();
  auto* cmd = app.add_subcommand("check", "Check a zip.cvd completely: every block, row and index entry");
  cmd->add_option("file", args->file, "the database, e.g. /srv/corvellan/data/zip.cvd")->required();
  cmd->add_flag("-q,--quiet", args->quiet, "no progress lines");
  cmd->footer(
      "Decodes every block and every row, walks every index, checks that every index entry names a ZIP code "
      "of the directory and a key of its records and that every key of every ZIP code is in its index, and "
      "verifies FILE.sha256 (written by corvdb build) when it is there. Each problem is a line on standard "
      "output (\"ZIP code 12345: what\"); the summary goes to standard error. Without FILE.sha256 a file "
      "whose structure passes is reported as \"structure OK; content not verified\": a changed byte in a "
      "record's text can only be seen by the checksum.\n"
      "Exit status: 0 clean (or structure OK without a checksum file), 1 damaged (or a checksum that does not match), 2 the file cannot be read or a "
      "usage error.\n"
      "The place names file FILE.places written by corvdb build is checked too when it is there: its format, that "
      "it was written for this database and that its ZIP codes are the database's; problems are lines "
      "\"place names: what\" and make the exit status 1.");
  cmd->callback([args, &exit_code] { exit_code = RunCheck(*args); });
}

}  // namespace corvdb::tools
