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

// The request fields: offset, length.
struct RequestField {
  std::size_t offset, length;
};
constexpr RequestField kZip{0, 5}, kFirm{5, 40}, kUnit{45, 20}, kNumber{65, 10}, kStreet{75, 60},
    kCity{135, 28}, kState{163, 2};

// Writes the (checked) value into its field, blank padded.
void Put(std::string& request, RequestField field, const std::string& value) {
  std::string text = value;
  text.resize(field.length, ' ');
  request.replace(field.offset, field.length, text);
}

std::string Trim(const std::string& value) {
  const std::size_t first = value.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return value.substr(first, value.find_last_not_of(" \t") - first + 1);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// The reason a (trimmed) value cannot be searched for, or "".
std::string CheckValue(const std::string& option, const std::string& value, std::size_t length) {
  if (value.empty()) return {};
  if (option == "--zip") {
    const std::size_t digits = value.back() == '*' ? value.size() - 1 : value.size();
    const bool ok = digits >= 1 && digits <= 5 &&
                    std::all_of(value.begin(), value.begin() + static_cast<long>(digits), IsDigit);
    if (!ok) return "--zip: a ZIP code is 1 to 5 digits, optionally followed by * (627, 62701, 627*): " + value;
    return {};
  } else if (option == "--state") {
    if (value.size() > 2 || !std::all_of(value.begin(), value.end(), IsLetter)) {
      return "--state: a state is one or two letters (IL): " + value;
    }
  } else if (option == "--number") {
    if (!std::any_of(value.begin(), value.end(), IsDigit) || !(IsDigit(value[0]) || IsLetter(value[0]))) {
      return "--number: a house number starts with a letter or digit and holds a digit (12, 12A, N123): " + value;
    }
  }
  if (value.size() > length) {
    return option + ": at most " + std::to_string(length) + " characters, not " + std::to_string(value.size()) +
           ": " + value;
  }
  return {};
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
  struct Condition {
    const char* option;
    const std::string& value;
    RequestField field;
  };
  const Condition conditions[] = {
      {"--zip", args.zip, kZip},          {"--firm", args.firm, kFirm},     {"--unit", args.unit, kUnit},
      {"--number", args.number, kNumber}, {"--street", args.street, kStreet}, {"--city", args.city, kCity},
      {"--state", args.state, kState},
  };
  std::string request(CORVDB_SEARCH_REQUEST_SIZE, ' ');
  bool any = false;
  for (const Condition& c : conditions) {
    const std::string value = Trim(c.value);
    const std::string problem = CheckValue(c.option, value, c.field.length);
    if (!problem.empty()) {
      std::fprintf(stderr, "corvdb search: %s\n", problem.c_str());
      return 2;
    }
    any = any || !value.empty();
    // Five digits and a '*' do not fit the field; the range is the ZIP code itself.
    Put(request, c.field, value.size() > c.field.length ? value.substr(0, c.field.length) : value);
  }
  if (!any && !args.all) {
    std::fprintf(stderr,
                 "corvdb search: no condition: give at least one of --zip, --firm, --unit, --number, --street, "
                 "--city, --state, or --all to list the whole database\n");
    return 2;
  }

  TemporarySettings settings;
  std::string path;
  if (!settings.pointEngineAt(args.data, "search", &path)) return 2;

  const int32_t candidates = InitiateZipSearch(request.data(), args.exact ? 1 : 0);
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
