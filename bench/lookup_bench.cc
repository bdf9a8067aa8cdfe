// ZIP+4 lookup speed of the engine, against SQLite holding the same records.
//
//   lookup_bench [--records N] [--seed S] [--db FILE] [--seconds T]
//                [--cache-mb M] [--sqlite FILE] [--only abc]
//
// Without --db, a sample of N detail records (default 1,000,000) is generated
// and built into a temporary zip.cvd with the project's own writer. Then:
//  - lookups of random existing ZIP+4 codes across all ZIP codes, each in a
//    different block than the one before (every lookup loads and decodes a
//    block);
//  - repeated lookups of random existing add-ons in one ZIP code (the block
//    with the most rows; the block stays loaded);
//  - the time to load a block and decode all its columns, against its rows.
// Each timed loop runs for T seconds (default 2). --cache-mb sets the
// engine's decoded-block cache (default: the engine's default; 0 = none).
//
// With --sqlite FILE, the first two loops run again with the same sequence of
// ZIP+4 codes against SQLite, called from this process: one table row per
// detail record (ZIP code, add-on low and high as text, the raw 182-byte
// record and the ids of its two City-State records in a second table) with a
// covering index on (ZIP code, add-on low, add-on high). A lookup counts the
// covering rows in the index, ordered as the engine's block order, and reads
// the n-th row's three raw records, as ZipcodeToAddress delivers them. FILE is
// built from the engine's rows when it does not exist. The two sides must
// count the same records for every ZIP+4 (checked for the first 10,000).
// --only ab runs only the first two parts (c: the block decoding).
//
// (d) The cost of the exports' process-wide lock: the lookups of (a) and of
// (b) through the ZipcodeToAddress export, which takes the lock for each
// call, and the same lookups on the same process engine called directly,
// without it. The two sides alternate in rounds of the same ZIP+4 codes on
// this one thread (the lock is never contended), and each round's difference
// is shown so that the noise can be seen beside it.
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench_sqlite.h"
#include "builder/cvd_writer.h"
#include "corvdb.h"
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

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "lookup_bench: %s\n", what.c_str());
  std::exit(2);
}

// ---- SQLite ----

// The benchmark's SQLite connection; failures end the program.
class Sql : public corvellan::bench::BenchSql {
 public:
  explicit Sql(const std::string& path) : BenchSql(path, &Fail) {}
};

// Fills the SQLite database while the engine's rows are read.
class SqlWriter {
 public:
  explicit SqlWriter(Sql& sql) : sql_(sql) {
    sql_.exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA cache_size=-262144;");
    sql_.exec("CREATE TABLE zip4(zip TEXT, plus4_low TEXT, plus4_high TEXT, raw BLOB, cs INTEGER, urb INTEGER)");
    sql_.exec("CREATE TABLE citystate(id INTEGER PRIMARY KEY, raw BLOB)");
    insert_ = sql_.prepareKept("INSERT INTO zip4 VALUES (?,?,?,?,?,?)");
    insertCs_ = sql_.prepareKept("INSERT INTO citystate VALUES (?,?)");
    sql_.exec("BEGIN");
  }
  void add(const char* row) {
    sqlite3_bind_text(insert_, 1, row + 1, 5, SQLITE_STATIC);
    sqlite3_bind_text(insert_, 2, row + 140, 4, SQLITE_STATIC);
    sqlite3_bind_text(insert_, 3, row + 144, 4, SQLITE_STATIC);
    sqlite3_bind_blob(insert_, 4, row, 182, SQLITE_STATIC);
    sqlite3_bind_int64(insert_, 5, cityState(row + 182));
    sqlite3_bind_int64(insert_, 6, cityState(row + 311));
    if (sqlite3_step(insert_) != SQLITE_DONE) Fail(std::string("insert: ") + sqlite3_errmsg(sql_.db()));
    sqlite3_reset(insert_);
  }
  void finish() {
    sql_.exec("COMMIT");
    sql_.exec("CREATE INDEX zip4_addon ON zip4(zip, plus4_low, plus4_high)");
    sql_.exec("ANALYZE");
  }

 private:
  int64_t cityState(const char* record) {
    const std::string key(record, 129);
    const auto found = ids_.find(key);
    if (found != ids_.end()) return found->second;
    const int64_t id = static_cast<int64_t>(ids_.size()) + 1;
    ids_.emplace(key, id);
    sqlite3_bind_int64(insertCs_, 1, id);
    sqlite3_bind_blob(insertCs_, 2, record, 129, SQLITE_STATIC);
    if (sqlite3_step(insertCs_) != SQLITE_DONE) Fail(std::string("insert: ") + sqlite3_errmsg(sql_.db()));
    sqlite3_reset(insertCs_);
    return id;
  }

  Sql& sql_;
  sqlite3_stmt* insert_ = nullptr;
  sqlite3_stmt* insertCs_ = nullptr;
  std::map<std::string, int64_t> ids_;
};

// ZipcodeToAddress on SQLite: the count of covering records, the n-th one's
// three raw records into `out` (440 bytes).
class SqlLookup {
 public:
  explicit SqlLookup(Sql& sql)
      : find_(sql.prepareKept("SELECT rowid FROM zip4 WHERE zip = ?1 AND plus4_low <= ?2 AND plus4_high >= ?2 "
                          "ORDER BY rowid")),
        fetch_(sql.prepareKept("SELECT raw, cs, urb FROM zip4 WHERE rowid = ?1")),
        cityState_(sql.prepareKept("SELECT raw FROM citystate WHERE id = ?1")) {}

  int32_t lookUp(const char zip[5], const char addOn[4], int32_t n, char* out) {
    sqlite3_bind_text(find_, 1, zip, 5, SQLITE_STATIC);
    sqlite3_bind_text(find_, 2, addOn, 4, SQLITE_STATIC);
    int32_t count = 0;
    int64_t chosen = -1;
    while (sqlite3_step(find_) == SQLITE_ROW) {
      if (++count == n) chosen = sqlite3_column_int64(find_, 0);
    }
    sqlite3_reset(find_);
    if (chosen < 0) return -1;
    sqlite3_bind_int64(fetch_, 1, chosen);
    if (sqlite3_step(fetch_) != SQLITE_ROW) Fail("row vanished");
    std::memcpy(out, sqlite3_column_blob(fetch_, 0), 182);
    const int64_t ids[2] = {sqlite3_column_int64(fetch_, 1), sqlite3_column_int64(fetch_, 2)};
    sqlite3_reset(fetch_);
    for (int i = 0; i < 2; ++i) {
      sqlite3_bind_int64(cityState_, 1, ids[i]);
      if (sqlite3_step(cityState_) != SQLITE_ROW) Fail("City-State record vanished");
      std::memcpy(out + 182 + 129 * i, sqlite3_column_blob(cityState_, 0), 129);
      sqlite3_reset(cityState_);
    }
    return count;
  }

 private:
  sqlite3_stmt* find_;
  sqlite3_stmt* fetch_;
  sqlite3_stmt* cityState_;
};

// Every row's ZIP code and add-on low, read back through the engine (and
// written to SQLite when `sql` is given).
std::vector<Zip4> AllZip4(ReadZipFile& engine, std::map<uint32_t, uint32_t>* rowsByZip, SqlWriter* sql) {
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
      if (sql != nullptr) sql->add(buffer);
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

// The same lookup through the export (the process engine, under its lock).
int32_t LookUpExported(const Zip4& k) {
  char record[250] = {};
  std::snprintf(record + 233, 6, "%05u", k.zip);
  std::memcpy(record + 238, k.addOn, 4);
  return ZipcodeToAddress(record, 1);
}

// Part (d): `keys` looked up directly and through the export in alternating
// rounds; prints the rates and the difference of each round.
void CompareExportLock(const char* what, const std::vector<Zip4>& keys, double seconds) {
  ReadZipFile& shared = corvdb::ProcessEngine();
  constexpr int kRounds = 10;
  // Each side gets about seconds / 2 in all; a round is one pass over `keys`.
  double direct = 0, exported = 0;
  uint64_t passes = 0;
  std::vector<double> differences;
  for (int round = 0; round < kRounds; ++round) {
    double side[2] = {0, 0};
    for (int k = 0; k < 2; ++k) {
      const int which = (round + k) % 2;  // which side goes first alternates
      const auto t0 = Clock::now();
      for (const Zip4& z : keys) {
        if ((which == 0 ? LookUp(shared, z) : LookUpExported(z)) < 1) Fail("lookup failed");
      }
      side[which] = Seconds(t0);
    }
    direct += side[0];
    exported += side[1];
    ++passes;
    differences.push_back((side[1] / side[0] - 1) * 100);
    if (direct + exported > seconds) break;
  }
  const double n = static_cast<double>(keys.size() * passes);
  std::printf("%s: directly %.3f us, through the export (locked) %.3f us per lookup: %+.1f %%\n", what,
              direct / n * 1e6, exported / n * 1e6, (exported / direct - 1) * 100);
  std::printf("  by round (%zu lookups each side):", keys.size());
  for (const double d : differences) std::printf(" %+.1f", d);
  std::printf(" %%\n");
}

}  // namespace

int main(int argc, char** argv) {
  uint64_t records = 1000000;
  uint64_t seed = 1;
  double seconds = 2;
  double cacheMegabytes = -1;  // the engine's default
  std::string db;
  std::string only = "abcd";
  std::string sqlitePath;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    if (a == "--records") records = std::strtoull(argv[i + 1], nullptr, 10);
    else if (a == "--seed") seed = std::strtoull(argv[i + 1], nullptr, 10);
    else if (a == "--db") db = argv[i + 1];
    else if (a == "--seconds") seconds = std::atof(argv[i + 1]);
    else if (a == "--cache-mb") cacheMegabytes = std::atof(argv[i + 1]);
    else if (a == "--only") only = argv[i + 1];
    else if (a == "--sqlite") sqlitePath = argv[i + 1];
    else {
      std::fprintf(stderr,
                   "usage: lookup_bench [--records N] [--seed S] [--db FILE] [--seconds T] [--cache-mb M] "
                   "[--sqlite FILE] [--only abcd]\n");
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
  std::unique_ptr<Sql> sql;
  std::unique_ptr<SqlWriter> sqlWriter;
  if (!sqlitePath.empty()) {
    const bool exists = std::filesystem::exists(sqlitePath);
    if (!exists) std::filesystem::remove(sqlitePath + ".tmp");
    sql = std::make_unique<Sql>(exists ? sqlitePath : sqlitePath + ".tmp");
    if (!exists) sqlWriter = std::make_unique<SqlWriter>(*sql);
  }
  t0 = Clock::now();
  const std::vector<Zip4> keys = AllZip4(engine, &rowsByZip, sqlWriter.get());
  if (sqlWriter) {
    sqlWriter->finish();
    sqlWriter.reset();
    sql.reset();
    std::filesystem::rename(sqlitePath + ".tmp", sqlitePath);
    sql = std::make_unique<Sql>(sqlitePath);
    std::printf("SQLite database built in %.1f s: %.1f MB\n", Seconds(t0),
                std::filesystem::file_size(sqlitePath) / 1e6);
  }
  std::unique_ptr<SqlLookup> sqlLookup;
  if (sql) {
    sqlLookup = std::make_unique<SqlLookup>(*sql);
    // Both sides count the same covering records.
    std::mt19937_64 pick(seed + 1);
    uint64_t differ = 0;
    char out[440];
    for (int i = 0; i < 10000; ++i) {
      const Zip4& k = keys[pick() % keys.size()];
      char zip[6];
      std::snprintf(zip, sizeof zip, "%05u", k.zip);
      differ += LookUp(engine, k) != sqlLookup->lookUp(zip, k.addOn, 1, out);
    }
    if (differ > 0) Fail(std::to_string(differ) + " of 10000 lookups count differently in SQLite");
  }
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
  const double acrossRate = n / t;
  std::printf("lookups across all ZIP codes (a new block each): %.0f per second (%.1f us each, %llu lookups)\n",
              n / t, t / n * 1e6, static_cast<unsigned long long>(n));
  if (sqlLookup && only.find('a') != std::string::npos) {
    // The same sequence of ZIP+4 codes.
    std::mt19937_64 again(seed);
    char out[440];
    uint64_t m = 0;
    previous = 100000;
    t0 = Clock::now();
    while (Seconds(t0) < seconds) {
      for (int i = 0; i < 256; ++i) {
        const Zip4& k = keys[again() % keys.size()];
        if (k.zip == previous) continue;
        previous = k.zip;
        char zip[6];
        std::snprintf(zip, sizeof zip, "%05u", k.zip);
        if (sqlLookup->lookUp(zip, k.addOn, 1, out) < 1) Fail("SQLite lookup failed");
        ++m;
      }
    }
    t = Seconds(t0);
    std::printf("  SQLite, the same lookups: %.0f per second (%.1f us each); engine / SQLite = %.1f\n", m / t,
                t / m * 1e6, acrossRate / (m / t));
  }

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
  const double withinRate = n / t;
  std::printf("lookups in one ZIP code (%05u, %u rows): %.0f per second (%.1f us each)\n", largest->first,
              largest->second, n / t, t / n * 1e6);
  if (sqlLookup && only.find('b') != std::string::npos) {
    std::mt19937_64 again(seed);
    char out[440];
    char zip[6];
    std::snprintf(zip, sizeof zip, "%05u", largest->first);
    uint64_t m = 0;
    t0 = Clock::now();
    while (Seconds(t0) < seconds) {
      for (int i = 0; i < 256; ++i, ++m) sqlLookup->lookUp(zip, inZip[again() % inZip.size()].addOn, 1, out);
    }
    t = Seconds(t0);
    std::printf("  SQLite, random add-ons of that ZIP code: %.0f per second (%.1f us each); engine / SQLite = %.1f\n", m / t,
                t / m * 1e6, withinRate / (m / t));
  }
  // The exports' lock: the same lookups with and without it, on one thread.
  if (only.find('d') != std::string::npos) {
    ReadZipFile& shared = corvdb::ProcessEngine();
    if (cacheMegabytes >= 0) shared.setBlockCacheBytes(static_cast<std::size_t>(cacheMegabytes * (1 << 20)));
    if (shared.openPath(db) != 0) Fail("cannot open " + db + " in the process engine");
    std::mt19937_64 pick(seed + 2);
    std::vector<Zip4> across, within;
    uint32_t last = 100000;
    while (across.size() < 20000) {
      const Zip4& k = keys[pick() % keys.size()];
      if (k.zip == last) continue;
      last = k.zip;
      across.push_back(k);
    }
    for (int i = 0; i < 200000; ++i) within.push_back(inZip[pick() % inZip.size()]);
    CompareExportLock("exports' lock, lookups across all ZIP codes", across, seconds);
    CompareExportLock("exports' lock, lookups in one ZIP code", within, seconds);
  }
  std::printf("decoded-block cache: %.1f of %.1f MB, %zu blocks\n", engine.blockCache().used() / 1048576.0,
              engine.blockCache().capacity() / 1048576.0, engine.blockCache().size());

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
