// corvdb build: USPS ZIP+4 and City-State product files to zip.cvd.
//
// Exit status: 0 built; 2 nothing built (bad input, a file that cannot be
// read or written, an output that is an input or not a regular file, or a
// usage error). Errors are one line on stderr; bad input is named as
// "FILE: record N: what". Input that loads but makes no sense gives one
// warning line per kind (its count and the first record) before the summary.
// Interrupted by SIGINT, SIGTERM or SIGHUP, the build removes its working
// folder and exits with 128 + the signal number.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "builder/cvd_writer.h"
#include "commands.h"
#include "sample/sample_generator.h"
#include "signal_cleanup.h"

namespace corvdb::tools {

namespace {

constexpr const char* kSuffixFile = "street_suffixes.csv";
constexpr uint64_t kProgressEvery = 1000000;  // records between progress lines

// The suffix list of the installed sample inputs, of the source tree, or the
// one two levels above the executable (build/bin/corvdb -> data/).
std::string DefaultSuffixes() {
  std::vector<std::filesystem::path> candidates;
  if (const std::string installed = FindSampleDataDir(); !installed.empty()) {
    candidates.emplace_back(std::filesystem::path(installed) / kSuffixFile);
  }
#ifdef CORVELLAN_SOURCE_DIR
  candidates.emplace_back(std::filesystem::path(CORVELLAN_SOURCE_DIR) / "data" / kSuffixFile);
#endif
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec) candidates.push_back(exe.parent_path() / ".." / ".." / "data" / kSuffixFile);
  for (const auto& c : candidates) {
    if (std::filesystem::is_regular_file(c, ec)) return c.lexically_normal().string();
  }
  return {};
}

struct BuildArgs {
  std::vector<std::string> zip4;
  std::vector<std::string> city_state;
  std::string suffixes;
  std::string out;
  bool quiet = false;
};

int RunBuild(const BuildArgs& args) {
  builder::BuildOptions options;
  for (const auto& p : args.zip4) options.zip4.push_back(builder::ProductSource{p, p, nullptr});
  for (const auto& p : args.city_state) options.city_state.push_back(builder::ProductSource{p, p, nullptr});
  std::string suffixes = args.suffixes.empty() ? DefaultSuffixes() : args.suffixes;
  if (suffixes.empty()) {
    std::fprintf(stderr, "corvdb build: no suffix list found; name one with --suffixes\n");
    return 2;
  }
  options.suffixes = builder::ProductSource{suffixes, suffixes, nullptr};
  options.output = args.out;
  options.progress_every = kProgressEvery;
  if (!args.quiet) {
    options.progress = [](const builder::BuildProgress& p) {
      if (p.phase == std::string("indexes")) {
        // Only after progress lines: a small build prints its summary alone.
        if (p.records >= kProgressEvery) std::fprintf(stderr, "corvdb build: writing the indexes\n");
        return;
      }
      const double percent = p.bytes_total ? 100.0 * static_cast<double>(p.bytes_read) /
                                                 static_cast<double>(p.bytes_total)
                                           : 0.0;
      std::fprintf(stderr, "corvdb build: %s: %s records (%.0f%%)\n", p.phase,
                   Thousands(p.records).c_str(), percent);
    };
  }
  std::string work_directory;
  options.work_directory_created = [&work_directory](const std::string& path) {
    work_directory = path;
    SignalCleanup::Add(path);
  };
  std::unique_ptr<SignalCleanup::CriticalSection> replacing;
  options.replacing = [&replacing](bool begin) {
    if (begin) {
      replacing = std::make_unique<SignalCleanup::CriticalSection>();
    } else {
      replacing.reset();
    }
  };
  builder::BuildReport report;
  std::string error;
  const bool built = builder::BuildDatabase(options, &report, &error);
  if (!work_directory.empty()) SignalCleanup::Remove(work_directory);
  if (!built) {
    std::fprintf(stderr, "corvdb build: %s\n", error.c_str());
    return 2;
  }
  uint64_t odd_records = 0;
  for (const builder::BuildWarning& w : report.warnings) {
    std::fprintf(stderr, "corvdb build: warning: %s records: %s (the first: %s)\n", Thousands(w.count).c_str(),
                 w.what.c_str(), w.first.c_str());
    odd_records += w.count;
  }
  const double per_record = report.detail_records
                                ? static_cast<double>(report.file_size) / static_cast<double>(report.detail_records)
                                : 0.0;
  std::fprintf(stderr,
               "corvdb build: wrote %s: %s records, %s ZIP codes, %s bytes (%.2f bytes/record), "
               "%.1f s%s, corvdb %s\n",
               args.out.c_str(), Thousands(report.detail_records).c_str(), Thousands(report.zip_codes).c_str(),
               Thousands(report.file_size).c_str(), per_record, report.seconds,
               report.regrouped ? " (input regrouped by ZIP code)" : "", CORVDB_VERSION);
  if (!report.warnings.empty()) {
    std::fprintf(stderr, "corvdb build: %zu kind%s of warning, %s records; the database holds them as they are\n",
                 report.warnings.size(), report.warnings.size() == 1 ? "" : "s", Thousands(odd_records).c_str());
  }
  return 0;
}

}  // namespace

void RegisterBuildCommand(CLI::App& app, int& exit_code) {
  auto args = std::make_shared<BuildArgs>();
  auto* cmd = app.add_subcommand("build", "Build zip.cvd from USPS ZIP+4 and City-State product files");
  cmd->add_option("--zip4", args->zip4, "ZIP+4 product file(s), 182-byte records")->required();
  cmd->add_option("--citystate", args->city_state, "City-State product file(s), 129-byte records")->required();
  // The default as this program finds it (installed: beside the sample inputs).
  const std::string suffixes = DefaultSuffixes();
  cmd->add_option("--suffixes", args->suffixes,
                  "street suffix list, CSV name,abbreviation (default: " +
                      (suffixes.empty() ? std::string("none found, so name one") : suffixes) + ")");
  cmd->add_option("--out", args->out,
                  "the database to write (replaced atomically; missing folders are created; a symbolic link keeps "
                  "pointing at the new file)")
      ->required();
  cmd->add_flag("-q,--quiet", args->quiet, "no progress lines");
  cmd->footer(
      "The new file is written beside --out and renamed over it, so programs that have the old file open "
      "keep it until they restart; it gets the old file's permissions. Its SHA-256 goes to --out.sha256 "
      "(beside the link's target when --out is a symbolic link; sha256sum -c reads it; corvdb check "
      "verifies it). Every City-State name of its ZIP codes goes to --out.places beside it, for the address "
      "matcher. --out must not be an input, a device, a pipe "
      "or a folder. Input that loads but makes no sense (unknown record type or odd/even codes, backward "
      "ranges, repeated records, a City-State key with two cities) is built and reported as warnings.\n"
      "Exit status: 0 built, 2 nothing built (the reason is one line on standard error); interrupted by "
      "a signal, the working folder is removed and the status is 128 + the signal number.");
  cmd->callback([args, &exit_code] { exit_code = RunBuild(*args); });
}

}  // namespace corvdb::tools
