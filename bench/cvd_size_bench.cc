// zip.cvd size and build cost on a sample (or given) set of product files:
// file size against the raw detail records and against gzip -9 of the ZIP+4
// file, build time, bytes per record, the build's peak memory, and a check
// that the engine decodes every row back to its records.
//
//   cvd_size_bench [--records N] [--seed S] [--dir DIR] [--keep] [--no-gzip] [--no-verify]
//   cvd_size_bench --zip4 FILE --citystate FILE [--dir DIR] [--no-gzip] [--no-verify]
//
// Without --zip4 a sample of N detail records (default 1,000,000) is written
// to DIR (default: a temporary directory, removed unless --keep). The build
// runs in a child process so that its peak resident size is its own.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "builder/cvd_writer.h"
#include "builder/usps_records.h"
#include "read_zip_file.h"
#include "sample/sample_generator.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

std::string SourceSuffixes() {
#ifdef CORVELLAN_SOURCE_DIR
  return std::string(CORVELLAN_SOURCE_DIR) + "/data/street_suffixes.csv";
#else
  const auto exe = std::filesystem::read_symlink("/proc/self/exe");
  return (exe.parent_path() / ".." / ".." / "data" / "street_suffixes.csv").string();
#endif
}

uint64_t GzipSize(const std::string& path) {
  const std::string command = "gzip -9 -c '" + path + "' | wc -c";
  FILE* p = popen(command.c_str(), "r");
  if (p == nullptr) return 0;
  unsigned long long n = 0;
  if (std::fscanf(p, "%llu", &n) != 1) n = 0;
  pclose(p);
  return n;
}

// Every row of every block against the input records, in input order (the
// input must be grouped by ZIP code). Returns the number of rows checked, or
// -1 after printing the first difference.
int64_t Verify(const std::string& cvd, const std::vector<std::string>& zip4_files,
               const std::vector<std::string>& city_state_files) {
  using namespace corvdb;
  builder::CityStateTable city_states;
  std::string error;
  for (const auto& f : city_state_files) {
    if (!city_states.Load({f, f, nullptr}, &error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return -1;
    }
  }
  ReadZipFile engine;
  if (engine.openPath(cvd) != 0) {
    std::fprintf(stderr, "verify: the engine cannot open %s\n", cvd.c_str());
    return -1;
  }
  int64_t checked = 0;
  int32_t zip = -1;
  uint32_t row = 0;
  char buffer[kRecordBufferSize];
  std::string want(kRecordBufferSize, ' ');
  for (const auto& f : zip4_files) {
    builder::ProductFileReader reader;
    if (!reader.Open({f, f, nullptr}, kZip4Size, &error)) return -1;
    const char* record = nullptr;
    while (reader.Next(&record, &error) == 1) {
      if (record[0] == 'C') continue;
      const int32_t z = static_cast<int32_t>(builder::ZipOf(record));
      if (z != zip) {
        if (!engine.loadZipBlock(static_cast<uint32_t>(z))) {
          std::fprintf(stderr, "verify: ZIP code %05d not found\n", z);
          return -1;
        }
        zip = z;
        row = 0;
      }
      want.replace(0, kZip4Size, record, kZip4Size);
      const std::string zip_text(record + 1, 5);
      for (const auto& [key, at] : {std::pair{176, kCityStateOffset}, std::pair{170, kUrbanizationOffset}}) {
        const char* cs = city_states.Find(std::string_view(record + key, 6), zip_text);
        want.replace(static_cast<size_t>(at), kCityStateSize,
                     cs != nullptr ? std::string(cs, kCityStateSize) : std::string(kCityStateSize, ' '));
      }
      if (!engine.decodeRow(row, buffer) || want.compare(0, kRecordBufferSize, buffer, kRecordBufferSize) != 0) {
        std::fprintf(stderr, "verify: %s record %llu (ZIP code %05d row %u) differs\n", f.c_str(),
                     static_cast<unsigned long long>(reader.record_number()), z, row);
        return -1;
      }
      ++row;
      ++checked;
    }
  }
  return checked;
}

}  // namespace

int main(int argc, char** argv) {
  uint64_t records = corvdb::tools::kDefaultSampleRecords;
  uint64_t seed = 1;
  std::string dir;
  bool keep = false, gzip = true, verify = true;
  std::vector<std::string> zip4, city_state;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "%s needs a value\n", a.c_str());
        std::exit(2);
      }
      return argv[++i];
    };
    if (a == "--records") {
      records = std::strtoull(value().c_str(), nullptr, 10);
    } else if (a == "--seed") {
      seed = std::strtoull(value().c_str(), nullptr, 10);
    } else if (a == "--dir") {
      dir = value();
    } else if (a == "--zip4") {
      zip4.push_back(value());
    } else if (a == "--citystate") {
      city_state.push_back(value());
    } else if (a == "--keep") {
      keep = true;
    } else if (a == "--no-gzip") {
      gzip = false;
    } else if (a == "--no-verify") {
      verify = false;
    } else {
      std::fprintf(stderr, "usage: %s [--records N] [--seed S] [--dir DIR] [--keep] [--no-gzip] [--no-verify]\n"
                           "       %s --zip4 FILE --citystate FILE [--dir DIR] [--no-gzip] [--no-verify]\n",
                   argv[0], argv[0]);
      return 2;
    }
  }
  const bool generated = zip4.empty();
  if (dir.empty()) {
    char tmpl[] = "/tmp/cvd-size-bench-XXXXXX";
    if (mkdtemp(tmpl) == nullptr) return 1;
    dir = tmpl;
  }
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);

  if (generated) {
    corvdb::tools::SampleOptions options;
    options.out_dir = dir;
    options.records = records;
    options.seed = seed;
    std::string error;
    const auto start = Clock::now();
    if (!corvdb::tools::GenerateSample(options, &error)) {
      std::fprintf(stderr, "sample: %s\n", error.c_str());
      return 1;
    }
    std::printf("sample                 %llu records, %.1f s\n", static_cast<unsigned long long>(records),
                Seconds(start));
    zip4 = {dir + "/" + corvdb::tools::kZip4FileName};
    city_state = {dir + "/" + corvdb::tools::kCityStateFileName};
  }
  const std::string out = dir + "/zip.cvd";

  // The build, in a child process.
  std::fflush(stdout);
  const auto start = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    corvdb::builder::BuildOptions options;
    for (const auto& f : zip4) options.zip4.push_back({f, f, nullptr});
    for (const auto& f : city_state) options.city_state.push_back({f, f, nullptr});
    const std::string suffixes = SourceSuffixes();
    options.suffixes = {suffixes, suffixes, nullptr};
    options.output = out;
    corvdb::builder::BuildReport report;
    std::string error;
    if (!corvdb::builder::BuildDatabase(options, &report, &error)) {
      std::fprintf(stderr, "build: %s\n", error.c_str());
      _exit(1);
    }
    const double n = static_cast<double>(report.detail_records);
    std::printf("detail records         %llu in %llu ZIP codes%s\n",
                static_cast<unsigned long long>(report.detail_records),
                static_cast<unsigned long long>(report.zip_codes), report.regrouped ? " (regrouped)" : "");
    std::printf("zip.cvd                %llu bytes, %.2f bytes/record\n",
                static_cast<unsigned long long>(report.file_size), static_cast<double>(report.file_size) / n);
    std::printf("  blocks               %llu bytes (%.2f bytes/record; headers %.2f)\n",
                static_cast<unsigned long long>(report.block_bytes), static_cast<double>(report.block_bytes) / n,
                156.0 * static_cast<double>(report.zip_codes) / n);
    std::printf("  index areas          %llu bytes (pairs: street %llu, firm %llu, state %llu, city %llu)\n",
                static_cast<unsigned long long>(report.index_bytes),
                static_cast<unsigned long long>(report.index_pairs[0]),
                static_cast<unsigned long long>(report.index_pairs[1]),
                static_cast<unsigned long long>(report.index_pairs[2]),
                static_cast<unsigned long long>(report.index_pairs[3]));
    std::printf("  largest block        %u bytes (ZIP code %s, %u rows)\n", report.largest_block,
                report.largest_block_zip.c_str(), report.largest_block_rows);
    std::printf("raw detail records     %llu bytes (182 each): zip.cvd is %.1f%%\n",
                static_cast<unsigned long long>(182 * report.detail_records),
                100.0 * static_cast<double>(report.file_size) / (182.0 * n));
    std::fflush(stdout);
    _exit(0);
  }
  int status = 0;
  struct rusage usage {};
  wait4(pid, &status, 0, &usage);
  const double build_seconds = Seconds(start);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return 1;
  std::printf("build                  %.1f s, peak resident %.1f MB\n", build_seconds,
              static_cast<double>(usage.ru_maxrss) / 1024.0);
  const uint64_t cvd_size = std::filesystem::file_size(out, ec);

  if (gzip) {
    uint64_t input = 0, compressed = 0;
    for (const auto& f : zip4) {
      input += std::filesystem::file_size(f, ec);
      compressed += GzipSize(f);
    }
    std::printf("gzip -9 of ZIP+4 input %llu bytes (of %llu): zip.cvd is %.2fx that\n",
                static_cast<unsigned long long>(compressed), static_cast<unsigned long long>(input),
                compressed ? static_cast<double>(cvd_size) / static_cast<double>(compressed) : 0.0);
  }
  if (verify) {
    const auto vstart = Clock::now();
    const int64_t checked = Verify(out, zip4, city_state);
    if (checked < 0) return 1;
    std::printf("verify                 %lld rows decoded by the engine, all equal, %.1f s\n",
                static_cast<long long>(checked), Seconds(vstart));
  }
  if (generated && !keep) {
    std::filesystem::remove_all(dir, ec);
  } else {
    std::printf("files in               %s\n", dir.c_str());
  }
  return 0;
}
