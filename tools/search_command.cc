// corvdb search: one address search through the engine library, from the
// terminal.
//
//   corvdb search [--zip Z] [--firm F] [--unit U] [--number N] [--street S]
//                 [--city C] [--state ST] [--exact] [--max N] [--data DIR] [--raw]
//
// Each value is trimmed of blanks and checked first (too long for its field,
// a ZIP code that is not 1-5 digits with an optional trailing '*', a state
// that is not one or two letters, a house number without a digit: exit 2,
// naming the option). The values fill the 165-byte search request as the
// program does (the rest of each field blank), the tool calls
// InitiateZipSearch and then GetNextZipMatch until the search ends or --max
// records were shown. A search without any condition lists nothing unless
// --all is given. One line per record on standard output:
//
//   ZIP+4 (or ZIP code and add-on range) | firm | primary low-high odd/even |
//   street line | unit abbreviation low-high odd/even | city | state | rank
//
// then, on standard error, the number of candidate ZIP codes and of records
// (every message goes to standard error). --raw adds the raw
// address record and the three USPS records behind each line. --data points
// the engine at DIR/zip.cvd through a temporary Corvel.ini, as corvdb lookup
// does.
//
// Exit status: 0 something found, 1 nothing found, 2 error (usage, a value
// that is not allowed, a write error on standard output, or the data file
// could not be opened: "Error opening Data Files: <path>: why").
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "commands.h"
#include "engine_session.h"
#include "search_request.h"
#include "corvdb.h"

namespace corvdb::tools {

namespace {


struct SearchArgs {
  std::string zip, firm, unit, number, street, city, state;
  bool exact = false;
  bool all = false;
  long max = 0;
  std::string data;
  bool raw = false;
};

// "low-high code", "low code" when both ends are equal, empty when all are.
std::string Range(const std::string& low, const std::string& high, const std::string& code) {
  std::string s = low == high ? low : low + "-" + high;
  if (!code.empty()) s += (s.empty() ? "" : " ") + code;
  return s;
}

void PrintRecord(const char* r, int32_t rank, bool raw) {
  const std::string zip = Field(r, 233, 5);
  const std::string plus4 = Field(r, 238, 4);
  const std::string where =
      plus4.empty() ? zip + " " + Field(r, 242, 4) + "-" + Field(r, 246, 4) : zip + "-" + plus4;
  const std::string unit = Field(r, 41, 4);
  const std::string unitRange = Range(Field(r, 45, 8), Field(r, 53, 8), Field(r, 61, 1));
  std::printf("%s | %s | %s | %s | %s | %s | %s | %d\n", where.c_str(), Field(r, 1, 40).c_str(),
              Range(Field(r, 122, 10), Field(r, 132, 10), Field(r, 142, 1)).c_str(), Field(r, 62, 60).c_str(),
              (unit.empty() || unitRange.empty() ? unit + unitRange : unit + " " + unitRange).c_str(),
              Field(r, 203, 28).c_str(), Field(r, 231, 2).c_str(), rank);
  if (!raw) return;
  char zip4[CORVDB_ZIP4_RECORD_SIZE];
  char cs[CORVDB_CITYSTATE_RECORD_SIZE];
  char urb[CORVDB_CITYSTATE_RECORD_SIZE];
  GetZip4Rec(zip4, cs, urb);
  std::printf("  address record: %s\n", Printable(r, CORVDB_ADDRESS_RECORD_SIZE).c_str());
  std::printf("  zip+4 record:   %s\n", Printable(zip4, sizeof zip4).c_str());
  std::printf("  city-state:     %s\n", Printable(cs, sizeof cs).c_str());
  std::printf("  urbanization:   %s\n", Printable(urb, sizeof urb).c_str());
}

int RunSearch(const SearchArgs& args) {
  if (args.max < 0) {
    std::fprintf(stderr, "corvdb search: --max must be 0 (no limit) or more\n");
    return 2;
  }
  const SearchRequest request =
      MakeSearchRequest({args.zip, args.firm, args.unit, args.number, args.street, args.city, args.state}, "--");
  if (!request.problem.empty()) {
    std::fprintf(stderr, "corvdb search: %s\n", request.problem.c_str());
    return 2;
  }
  if (!request.any && !args.all) {
    std::fprintf(stderr,
                 "corvdb search: no condition: give at least one of --zip, --firm, --unit, --number, --street, "
                 "--city, --state, or --all to list the whole database\n");
    return 2;
  }

  TemporarySettings settings;
  std::string path;
  if (!settings.pointEngineAt(args.data, "search", &path)) return 2;

  const int32_t candidates = InitiateZipSearch(request.bytes.data(), args.exact ? 1 : 0);
  if (candidates == -3) {
    std::fprintf(stderr, "%s\n", settings.openErrorLine(path).c_str());
    return 2;
  }
  if (candidates == 0) {
    std::fprintf(stderr, "no street of that name\n");
    return 1;
  }
  if (candidates < 0) {
    std::fprintf(stderr, "no such firm, city or state\n");
    return 1;
  }

  char record[CORVDB_ADDRESS_RECORD_SIZE] = {};
  long shown = 0;
  for (;;) {
    if (args.max > 0 && shown >= args.max) break;
    const int32_t rc = GetNextZipMatch(record);
    if (rc < 0) break;
    if (rc == 0) continue;
    PrintRecord(record, rc, args.raw);
    // A full disk or a closed file stops the search at once.
    if (std::ferror(stdout)) break;
    ++shown;
  }
  if (!StandardOutputOk("search")) return 2;
  std::fprintf(stderr, "candidate ZIP codes: %d, records: %ld%s\n", candidates, shown,
               args.max > 0 && shown >= args.max ? " (stopped at --max)" : "");
  return shown > 0 ? 0 : 1;
}

}  // namespace

void RegisterSearchCommand(CLI::App& app, int& exit_code) {
  auto args = std::make_shared<SearchArgs>();
  auto* cmd = app.add_subcommand("search", "Search addresses: one line per matching ZIP+4 record");
  cmd->add_option("--zip", args->zip,
                  "ZIP code of 1 to 5 digits (627 is 00627), or a range such as 627* (62700-62799)");
  cmd->add_option("--firm", args->firm, "beginning of a firm or building name (at most 40 characters)");
  cmd->add_option("--unit", args->unit, "unit: designator and number, e.g. \"APT 5\" (at most 20 characters)");
  cmd->add_option("--number", args->number, "primary (house) number, holding a digit (12, 12A, N123)");
  cmd->add_option("--street", args->street, "street line, e.g. \"123 N MAIN ST APT 5\" (at most 60 characters)");
  cmd->add_option("--city", args->city, "beginning of the city name (at most 28 characters)");
  cmd->add_option("--state", args->state, "state abbreviation, one or two letters");
  cmd->add_flag("--exact", args->exact, "the street name must be a whole name (not the beginning of one)");
  cmd->add_flag("--all", args->all, "allow a search without any condition: list the whole database");
  cmd->add_option("--max", args->max, "show at most this many records (0: all; the default)");
  cmd->add_option("--data", args->data, "directory holding zip.cvd (instead of the settings)");
  cmd->add_flag("--raw", args->raw, "also show the raw 250-byte record and the three USPS records");
  cmd->footer(
      "Values are trimmed of blanks. Records go to standard output, one line each; the counts and every "
      "message go to standard error.\n"
      "Exit status: 0 something found, 1 nothing found, 2 error (a value that is not allowed, no condition "
      "without --all, a write error, or a data file that cannot be opened).");
  cmd->callback([args, &exit_code] { exit_code = RunSearch(*args); });
}

}  // namespace corvdb::tools
