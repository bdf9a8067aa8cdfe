// corvdb search: one address search through the engine library, from the
// terminal.
//
//   corvdb search [--zip Z] [--firm F] [--unit U] [--number N] [--street S]
//                 [--city C] [--state ST] [--exact] [--max N] [--data DIR] [--raw]
//
// The options fill the 165-byte search request as the program does (each
// value cut at its field's length, the rest blank), the tool calls
// InitiateZipSearch and then GetNextZipMatch until the search ends or --max
// records were shown. One line per record:
//
//   ZIP+4 (or ZIP code and add-on range) | firm | primary low-high odd/even |
//   street line | unit abbreviation low-high odd/even | city | state | rank
//
// then the number of candidate ZIP codes and of records. --raw adds the raw
// address record and the three USPS records behind each line. --data points
// the engine at DIR/zip.cvd through a temporary Corvel.ini, as corvdb lookup
// does.
//
// Exit status: 0 something found, 1 nothing found, 2 error (usage, or the data
// file could not be opened: "Error opening Data Files: <path>").
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "commands.h"
#include "engine_session.h"
#include "corvdb.h"

namespace corvdb::tools {

namespace {


struct SearchArgs {
  std::string zip, firm, unit, number, street, city, state;
  bool exact = false;
  long max = 0;
  std::string data;
  bool raw = false;
};

// The request fields: offset, length.
struct RequestField {
  std::size_t offset, length;
};
constexpr RequestField kZip{0, 5}, kFirm{5, 40}, kUnit{45, 20}, kNumber{65, 10}, kStreet{75, 60},
    kCity{135, 28}, kState{163, 2};

// Writes the value into its field, cut at the field's length, blank padded.
void Put(std::string& request, RequestField field, const std::string& value) {
  std::string text = value.substr(0, field.length);
  text.resize(field.length, ' ');
  request.replace(field.offset, field.length, text);
}

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
  TemporarySettings settings;
  std::string path;
  if (!settings.pointEngineAt(args.data, "search", &path)) return 2;

  std::string request(CORVDB_SEARCH_REQUEST_SIZE, ' ');
  Put(request, kZip, args.zip);
  Put(request, kFirm, args.firm);
  Put(request, kUnit, args.unit);
  Put(request, kNumber, args.number);
  Put(request, kStreet, args.street);
  Put(request, kCity, args.city);
  Put(request, kState, args.state);

  const int32_t candidates = InitiateZipSearch(request.data(), args.exact ? 1 : 0);
  if (candidates == -3) {
    std::fprintf(stderr, "Error opening Data Files: %s\n", path.c_str());
    return 2;
  }
  if (candidates == 0) {
    std::printf("no street of that name\n");
    return 1;
  }
  if (candidates < 0) {
    std::printf("no such firm, city or state\n");
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
    ++shown;
  }
  std::printf("candidate ZIP codes: %d, records: %ld%s\n", candidates, shown,
              args.max > 0 && shown >= args.max ? " (stopped at --max)" : "");
  return shown > 0 ? 0 : 1;
}

}  // namespace

void RegisterSearchCommand(CLI::App& app, int& exit_code) {
  auto args = std::make_shared<SearchArgs>();
  auto* cmd = app.add_subcommand("search", "Search addresses: one line per matching ZIP+4 record");
  cmd->add_option("--zip", args->zip, "ZIP code, or a range such as 123* (12300-12399)");
  cmd->add_option("--firm", args->firm, "beginning of a firm or building name");
  cmd->add_option("--unit", args->unit, "unit: designator and number, e.g. \"APT 5\"");
  cmd->add_option("--number", args->number, "primary (house) number");
  cmd->add_option("--street", args->street, "street line, e.g. \"123 N MAIN ST APT 5\"");
  cmd->add_option("--city", args->city, "beginning of the city name");
  cmd->add_option("--state", args->state, "state abbreviation");
  cmd->add_flag("--exact", args->exact, "the street name must be a whole name (not the beginning of one)");
  cmd->add_option("--max", args->max, "show at most this many records (0: all; the default)");
  cmd->add_option("--data", args->data, "directory holding zip.cvd (instead of the settings)");
  cmd->add_flag("--raw", args->raw, "also show the raw 250-byte record and the three USPS records");
  cmd->callback([args, &exit_code] { exit_code = RunSearch(*args); });
}

}  // namespace corvdb::tools
