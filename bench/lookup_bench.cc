// ZIP+4 lookup speed of the engine.
//
//   lookup_bench [--records N] [--seed S] [--db FILE] [--seconds T]
//
// Without --db, a sample of N detail records (default 1,000,000) is generated
// and built into a temporary zip.cvd with the project's own writer. Then:
//  - lookups of random existing ZIP+4 codes across all ZIP codes, each in a
//    different block than the one before (every lookup loads and decodes a
//    block);
//  - repeated lookups of random existing add-ons in one ZIP code (the block
//    with the most rows; the block stays loaded);
//  - the time to load a block and decode all its columns, against its rows.
// Each timed loop runs for T seconds (default 2).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "builder/cvd_writer.h"
#include "read_zip_file.h"
#include "sample/sample_generator.h"

namespace {

using Clock = std::chrono::steady_clock;
using corvdb::ReadZipFile;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

struct Zip4 {
  uint32_t zip;
  char addOn[4];
};

// Every row's ZIP code and add-on low, read back through the engine.
std::vector<Zip4> AllZip4(ReadZipFile& engine, std::map<uint32_t, uint32_t>* rowsByZip) {
  std::vector<Zip4> out;
  char buffer[corvdb::kRecordBufferSize];
  for (uint32_t z = 0; z < 100000; ++z) {
    if (!engine.hasZip(z) || !engine.loadZipBlock(z)) continue;
    (*rowsByZip)[z] = engine.blockRows();
    for (uint32_t row = 0; row < engine.blockRows(); ++row) {
      if (!engine.decodeRow(row, buffer)) break;
      Zip4 k{z, {}};
      std::memcpy(k.addOn, buffer + 140, 4);
      out.push_back(k);
    }
  }
  return out;
}

int32_t LookUp(ReadZipFile& engine, const Zip4& k) {
  char record[250] = {};
  std::snprintf(record + 233, 6, "%05u", k.zip);
  std::memcpy(record + 238, k.addOn, 4);
  return engine.zipcodeToAddress(record, 1);
}

}  // namespace

int main(int argc, char** argv) {
  uint64_t records = 1000000;
  uint64_t seed = 1;
  double seconds = 2;
  double cacheMegabytes = -1;  // the engine's default
  std::string db;
  std::string only = "abc";
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    if (a == "--records") records = std::strtoull(argv[i + 1], nullptr, 10);
    else if (a == "--seed") seed = std::strtoull(argv[i + 1], nullptr, 10);
    else if (a == "--db") db = argv[i + 1];
    else if (a == "--seconds") seconds = std::atof(argv[i + 1]);
    else if (a == "--cache-mb") cacheMegabytes = std::atof(argv[i + 1]);
    else if (a == "--only") only = argv[i + 1];
    else {
      std::fprintf(stderr, "usage: lookup_bench [--records N] [--seed S] [--db FILE] [--seconds T]\n");
      return 2;
    }
  }

  std::string tmp;
  if (db.empty()) {
    char dir[] = "/tmp/lookup-bench-XXXXXX";
    if (mkdtemp(dir) == nullptr) return 2;
    tmp = dir;
    corvdb::tools::SampleOptions sample;
    sample.out_dir = tmp;
    sample.records = records;
    sample.seed = seed;
    std::string error;
    auto t0 = Clock::now();
    if (!corvdb::tools::GenerateSample(sample, &error)) {
      std::fprintf(stderr, "sample: %s\n", error.c_str());
      return 2;
    }
    corvdb::builder::BuildOptions options;
    options.zip4.push_back({"zip4", tmp + "/" + corvdb::tools::kZip4FileName, nullptr});
    options.city_state.push_back({"cs", tmp + "/" + corvdb::tools::kCityStateFileName, nullptr});
    options.suffixes = {"suffixes", corvdb::tools::FindSampleDataDir() + "/street_suffixes.csv", nullptr};
    options.output = tmp + "/zip.cvd";
    corvdb::builder::BuildReport report;
    if (!corvdb::builder::BuildDatabase(options, &report, &error)) {
      std::fprintf(stderr, "build: %s\n", error.c_str());
      return 2;
    }
    std::printf("database: %llu records, %llu ZIP codes, %.1f MB, sample and build %.1f s\n",
                static_cast<unsigned long long>(report.detail_records),
                static_cast<unsigned long long>(report.zip_codes), report.file_size / 1e6, Seconds(t0));
    db = options.output;
  }

  ReadZipFile engine;
  if (cacheMegabytes >= 0) engine.setBlockCacheBytes(static_cast<std::size_t>(cacheMegabytes * (1 << 20)));
  auto t0 = Clock::now();
  if (engine.openPath(db) != 0) {
    std::fprintf(stderr, "cannot open %s\n", db.c_str());
    return 2;
  }
  std::printf("open: %.2f ms\n", Seconds(t0) * 1e3);
  std::map<uint32_t, uint32_t> rowsByZip;
  const std::vector<Zip4> keys = AllZip4(engine, &rowsByZip);
  if (keys.empty() || rowsByZip.size() < 2) {
    std::fprintf(stderr, "the database needs at least two ZIP codes\n");
    return 2;
  }
  std::mt19937_64 random(seed);

  // Across all ZIP codes, never the same block twice in a row.
  uint64_t n = 0;
  uint32_t previous = 100000;
  t0 = Clock::now();
  while (only.find('a') != std::string::npos && Seconds(t0) < seconds) {
    for (int i = 0; i < 256; ++i) {
      const Zip4& k = keys[random() % keys.size()];
      if (k.zip == previous) continue;
      previous = k.zip;
      if (LookUp(engine, k) < 1) {
        std::fprintf(stderr, "lookup failed\n");
        return 1;
      }
      ++n;
    }
  }
  double t = Seconds(t0);
  std::printf("lookups across all ZIP codes (a new block each): %.0f per second (%.1f us each, %llu lookups)\n",
              n / t, t / n * 1e6, static_cast<unsigned long long>(n));

  // One ZIP code, the largest block.
  const auto largest = std::max_element(rowsByZip.begin(), rowsByZip.end(),
                                        [](const auto& a, const auto& b) { return a.second < b.second; });
  std::vector<Zip4> inZip;
  for (const Zip4& k : keys) {
    if (k.zip == largest->first) inZip.push_back(k);
  }
  n = 0;
  t0 = Clock::now();
  while (only.find('b') != std::string::npos && Seconds(t0) < seconds) {
    for (int i = 0; i < 256; ++i, ++n) LookUp(engine, inZip[random() % inZip.size()]);
  }
  t = Seconds(t0);
  std::printf("lookups in one ZIP code (%05u, %u rows): %.0f per second (%.1f us each)\n", largest->first,
              largest->second, n / t, t / n * 1e6);

  // Block load and full decode, by block size.
  struct Bucket {
    uint32_t upTo;
    double seconds = 0;
    uint64_t blocks = 0;
    uint64_t rows = 0;
  };
  std::vector<Bucket> buckets = {{10}, {100}, {1000}, {5000}, {20000}, {UINT32_MAX}};
  std::vector<uint32_t> zips;
  for (const auto& [z, rows] : rowsByZip) zips.push_back(z);
  t0 = Clock::now();
  for (int round = 0; only.find('c') != std::string::npos && Seconds(t0) < seconds; ++round) {
    for (std::size_t i = 0; i < zips.size(); ++i) {
      // Load a neighbour first, so that the block is really loaded again.
      engine.loadZipBlock(zips[(i + 1) % zips.size()]);
      const auto s = Clock::now();
      engine.loadZipBlock(zips[i]);
      for (int c = 0; c < corvdb::kColumnCount; ++c) engine.column(c).loadBlock();
      const double d = Seconds(s);
      const uint32_t rows = rowsByZip[zips[i]];
      for (Bucket& b : buckets) {
        if (rows <= b.upTo) {
          b.seconds += d;
          ++b.blocks;
          b.rows += rows;
          break;
        }
      }
    }
  }
  std::printf("block load + decode of all 37 columns:\n");
  std::printf("  %-14s %8s %12s %12s %12s\n", "rows", "blocks", "avg rows", "us/block", "ns/row");
  uint32_t from = 1;
  for (const Bucket& b : buckets) {
    if (b.blocks > 0) {
      char range[32];
      if (b.upTo == UINT32_MAX) std::snprintf(range, sizeof range, "%u+", from);
      else std::snprintf(range, sizeof range, "%u-%u", from, b.upTo);
      std::printf("  %-14s %8llu %12.0f %12.1f %12.1f\n", range, static_cast<unsigned long long>(b.blocks),
                  double(b.rows) / b.blocks, b.seconds / b.blocks * 1e6, b.seconds / b.rows * 1e9);
    }
    from = b.upTo + 1;
  }

  if (!tmp.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(tmp, ec);
  }
  return 0;
}
