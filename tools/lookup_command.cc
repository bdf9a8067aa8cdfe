// corvdb lookup: one ZIP+4 lookup through the engine library, from the
// terminal.
//
//   corvdb lookup ZIP+4 [N] [--data DIR] [--raw]
//
// ZIP+4 is 12345-6789 or 123456789 (the add-on may hold letters, as USPS
// add-ons with a prefix or postfix do). N is the 1-based number of the
// covering record to show (default 1). The tool calls the real exports of
// libCorvdb.so, so it sees exactly what the program sees.
//
// --data DIR: the engine takes its data directory only from Corvel.ini. To
// point it elsewhere without touching the user's settings, the tool writes a
// Corvel.ini naming DIR into a fresh temporary profile directory, points
// XDG_CONFIG_HOME at it before the engine's first call, and removes it
// afterwards. The engine thus opens DIR/zip.cvd by its normal opening path.
//
// The record goes to standard output, messages to standard error.
//
// Exit status: 0 found, 1 not found (or N past the last covering record), 2
// error (usage, a write error on standard output, or the data file could not
// be opened: "Error opening Data Files: <path>: why").
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


struct LookupArgs {
  std::string zip4;
  int n = 1;
  std::string data;
  bool raw = false;
};

// Raw bytes for the terminal: bytes 0 (and other unprintable bytes) as '.'.
void PrintRecord(const char* r) {
  const struct {
    const char* label;
    std::size_t offset, length;
  } fields[] = {
      {"record type", 0, 1},       {"firm", 1, 40},          {"unit abbrev", 41, 4},
      {"unit low", 45, 8},         {"unit high", 53, 8},     {"unit odd/even", 61, 1},
      {"street line", 62, 60},     {"primary low", 122, 10}, {"primary high", 132, 10},
      {"primary odd/even", 142, 1}, {"urbanization", 143, 60}, {"city", 203, 28},
      {"state", 231, 2},           {"zip", 233, 5},          {"plus4", 238, 4},
      {"add-on low", 242, 4},      {"add-on high", 246, 4},
  };
  for (const auto& f : fields) std::printf("%-17s %s\n", (std::string(f.label) + ":").c_str(), Field(r, f.offset, f.length).c_str());
}

int RunLookup(const LookupArgs& args) {
  const std::optional<std::string> zip4 = ParseZip4(args.zip4);
  if (!zip4) {
    std::fprintf(stderr, "corvdb lookup: not a ZIP+4 (12345-6789 or 123456789): %s\n", args.zip4.c_str());
    return 2;
  }
  if (args.n < 1) {
    std::fprintf(stderr, "corvdb lookup: N must be 1 or more\n");
    return 2;
  }
  TemporarySettings settings;
  std::string path;
  if (!settings.pointEngineAt(args.data, "lookup", &path)) return 2;

  char record[CORVDB_ADDRESS_RECORD_SIZE] = {};
  std::copy(zip4->begin(), zip4->end(), record + 233);
  const int32_t rc = ZipcodeToAddress(record, args.n);
  if (rc == -3) {
    std::fprintf(stderr, "%s\n", settings.openErrorLine(path).c_str());
    return 2;
  }
  if (rc < 0 && args.n > 1) {
    // Past the last covering record, or no record at all: the first lookup tells.
    char first[CORVDB_ADDRESS_RECORD_SIZE] = {};
    std::copy(zip4->begin(), zip4->end(), first + 233);
    const int32_t count = ZipcodeToAddress(first, 1);
    if (count > 0) {
      const std::string shown = zip4->substr(0, 5) + "-" + zip4->substr(5);
      std::fprintf(stderr, "ZIP+4 %s has %d record%s\n", shown.c_str(), count, count == 1 ? "" : "s");
      return 1;
    }
  }
  if (rc < 0) {
    std::fprintf(stderr, "Zip Code not found: %s\n", args.zip4.c_str());
    return 1;
  }
  PrintRecord(record);
  std::printf("%d of %d\n", args.n, rc);
  if (args.raw) {
    char zip[CORVDB_ZIP4_RECORD_SIZE];
    char cs[CORVDB_CITYSTATE_RECORD_SIZE];
    char urb[CORVDB_CITYSTATE_RECORD_SIZE];
    GetZip4Rec(zip, cs, urb);
    std::printf("address record: %s\n", Printable(record, sizeof record).c_str());
    std::printf("zip+4 record:   %s\n", Printable(zip, sizeof zip).c_str());
    std::printf("city-state:     %s\n", Printable(cs, sizeof cs).c_str());
    std::printf("urbanization:   %s\n", Printable(urb, sizeof urb).c_str());
  }
  return StandardOutputOk("lookup") ? 0 : 2;
}

}  // namespace

void RegisterLookupCommand(CLI::App& app, int& exit_code) {
  auto args = std::make_shared<LookupArgs>();
  auto* cmd = app.add_subcommand("lookup", "Look up a ZIP+4 and show the n-th covering record");
  cmd->add_option("zip4", args->zip4, "ZIP+4 as 12345-6789 or 123456789")->required();
  cmd->add_option("n", args->n, "which covering record to show (1-based)");
  cmd->add_option("--data", args->data, "directory holding zip.cvd (instead of the settings)");
  cmd->add_flag("--raw", args->raw, "also show the raw 250-byte record and the three USPS records");
  cmd->footer(
      "The record goes to standard output, messages to standard error.\n"
      "Exit status: 0 found, 1 not found (or N past the last covering record), 2 error (usage, a write "
      "error, or a data file that cannot be opened).");
  cmd->callback([args, &exit_code] { exit_code = RunLookup(*args); });
}

}  // namespace corvdb::tools
