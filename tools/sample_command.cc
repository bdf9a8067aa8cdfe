// corvdb sample: writes realistic USPS ZIP+4 and City-State product files.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "commands.h"
#include "sample/sample_generator.h"

namespace corvdb::tools {
namespace {

// Digits only, no sign, no overflow.
bool ParseCount(const std::string& text, uint64_t* value) {
  if (text.empty() || text.size() > 19) return false;
  uint64_t v = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<uint64_t>(c - '0');
  }
  *value = v;
  return true;
}

std::vector<std::string> SplitList(const std::string& text) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(',', start);
    if (end == std::string::npos) end = text.size();
    std::string item = text.substr(start, end - start);
    const size_t first = item.find_first_not_of(' ');
    const size_t last = item.find_last_not_of(' ');
    if (first != std::string::npos) items.push_back(item.substr(first, last - first + 1));
    start = end + 1;
  }
  return items;
}

struct SampleArgs {
  std::string out;
  std::string seed = "1";
  std::string records = std::to_string(kDefaultSampleRecords);
  std::string states;
  std::string data;
};

int RunSample(const SampleArgs& args) {
  auto bad = [](const std::string& message) {
    std::fprintf(stderr, "corvdb sample: %s\n", message.c_str());
    return 2;
  };
  SampleOptions options;
  if (args.out.empty()) return bad("--out DIR is required");
  options.out_dir = args.out;
  if (!ParseCount(args.seed, &options.seed)) return bad("--seed must be a whole number, not '" + args.seed + "'");
  if (!ParseCount(args.records, &options.records) || options.records == 0 ||
      options.records > kMaxSampleRecords) {
    return bad("--records must be a whole number from 1 to " + std::to_string(kMaxSampleRecords) + ", not '" +
               args.records + "'");
  }
  options.states = SplitList(args.states);
  if (!args.states.empty() && options.states.empty()) return bad("--states lists no state");
  options.data_dir = args.data;
  options.progress = true;

  std::string error;
  SampleSummary summary;
  if (!GenerateSample(options, &error, &summary)) {
    std::fprintf(stderr, "corvdb sample: %s\n", error.c_str());
    return summary.failure == SampleSummary::Failure::kOutput ? 1 : 2;
  }
  std::string types;
  for (size_t i = 0; i < summary.by_type.size(); ++i) {
    types += (i ? " " : "") + std::string(1, kRecordTypes[i]) + " " + std::to_string(summary.by_type[i]);
  }
  std::fprintf(stderr,
               "corvdb sample: %llu ZIP codes, %llu ZIP+4 records (%s), %llu City-State records in %s\n",
               static_cast<unsigned long long>(summary.zip_codes),
               static_cast<unsigned long long>(summary.detail_records), types.c_str(),
               static_cast<unsigned long long>(summary.city_state_records), options.out_dir.c_str());
  return 0;
}

}  // namespace

void RegisterSampleCommand(CLI::App& app, int& exit_code) {
  auto* cmd = app.add_subcommand("sample", "Write sample USPS ZIP+4 and City-State product files");
  auto args = std::make_shared<SampleArgs>();
  // Numbers are taken as text and checked here, so that every mistake gives
  // one line and exit status 2.
  cmd->add_option("--out", args->out, "Directory for zip4.txt and ctystate.txt (created if missing)")
      ->type_name("DIR");
  cmd->add_option("--seed", args->seed, "Seed; the same seed gives the same files (default 1)")->type_name("N");
  cmd->add_option("--records", args->records, "Number of ZIP+4 detail records (default 1000000)")->type_name("N");
  cmd->add_option("--states", args->states, "Only these states, comma separated (e.g. CA,NY)")->type_name("LIST");
  cmd->add_option("--data", args->data, "Directory with zip_places.csv and the word lists")
      ->type_name("DIR");
  cmd->footer(
      "Exit status: 0 written, 1 the files could not be written, 2 usage error or unreadable sample data.");
  cmd->callback([args, &exit_code] { exit_code = RunSample(*args); });
}

}  // namespace corvdb::tools
