// Address search speed of the engine against SQLite holding the same detail
// records with ordinary indexes.
//
//   search_bench SAMPLE_DIR [CVD [SQLITE_DB]] [--runs N] [--street S] [--city C]
//                [--state ST] [--firm F] [--zip-range Z] [--only LETTERS]
//                [--one-thread]
//
// SAMPLE_DIR holds zip4.txt and ctystate.txt (corvdb sample); CVD defaults to
// SAMPLE_DIR/zip.cvd and SQLITE_DB to SAMPLE_DIR/zip.sqlite. Either database
// is built from the sample files when it does not exist (and the build time
// is shown). The SQLite table holds one row per detail record: ZIP code,
// add-on low/high, firm, street name, pre-direction, suffix, post-direction,
// primary low/high/odd-even, secondary abbreviation/low/high, city (the
// preferred last-line name), state and the raw 182-byte record, with indexes
// on ZIP code, street name, firm, city and state, and ANALYZE statistics.
//
// Queries (the street, city, state and firm default to the most frequent
// ones in the data):
//   (a) street + city + state     (b) street alone, beginning of and exact
//   (c) firm, beginning of        (d) a whole state      (e) a ZIP range
// The engine runs InitiateZipSearch and GetNextZipMatch until the end; SQLite
// runs the equivalent SELECT (prefix conditions as range conditions, so that
// its indexes are used) ordered as the engine delivers (ZIP code, then input
// order) and reads every column of each row. Each query runs N times (default
// 3) and the fastest run is shown; both sides run warm (files in the page
// cache). Both must find the same number of records. --only abe runs only
// the queries (a), (b) and (e), --only e:engine only the engine side of (e).
// --one-thread: the engine decodes no block ahead on a second thread.
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "bench_sqlite.h"
#include "builder/cvd_writer.h"
#include "builder/usps_records.h"
#include "read_zip_file.h"
#include "sample/sample_generator.h"

namespace {

using Clock = std::chrono::steady_clock;
using corvdb::ReadZipFile;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "search_bench: %s\n", what.c_str());
  std::exit(2);
}

std::string SuffixList() {
#ifdef CORVELLAN_SOURCE_DIR
  return std::string(CORVELLAN_SOURCE_DIR) + "/data/street_suffixes.csv";
#else
  const auto exe = std::filesystem::read_symlink("/proc/self/exe");
  return (exe.parent_path() / ".." / ".." / "data" / "street_suffixes.csv").string();
#endif
}

std::string Trim(std::string_view s) { return std::string(corvdb::strUtil::trimmed(s)); }

// ---- SQLite ----

// The benchmark's SQLite connection; failures end the program.
class Sql : public corvellan::bench::BenchSql {
 public:
  explicit Sql(const std::string& path) : BenchSql(path, &Fail) {}
};

constexpr const char* kColumns =
    "zip, plus4_low, plus4_high, firm, street, predir, suffix, postdir, primary_low, primary_high, primary_oe, "
    "secondary_abbrev, secondary_low, secondary_high, city, state, raw";
constexpr int kColumnCount = 17;

void BuildSqlite(const std::string& sampleDir, const std::string& path) {
  const std::string temporary = path + ".tmp";
  std::filesystem::remove(temporary);
  {
    Sql sql(temporary);
    sql.exec("PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA cache_size=-262144;");
    sql.exec(std::string("CREATE TABLE detail(id INTEGER PRIMARY KEY, zip TEXT, plus4_low TEXT, plus4_high TEXT, "
                         "firm TEXT, street TEXT, predir TEXT, suffix TEXT, postdir TEXT, primary_low TEXT, "
                         "primary_high TEXT, primary_oe TEXT, secondary_abbrev TEXT, secondary_low TEXT, "
                         "secondary_high TEXT, city TEXT, state TEXT, raw TEXT)"));
    corvdb::builder::CityStateTable cityStates;
    std::string error;
    if (!cityStates.Load({"ctystate.txt", sampleDir + "/" + corvdb::tools::kCityStateFileName, nullptr}, &error)) {
      Fail(error);
    }
    corvdb::builder::ProductFileReader reader;
    if (!reader.Open({"zip4.txt", sampleDir + "/" + corvdb::tools::kZip4FileName, nullptr}, 182, &error)) Fail(error);
    sqlite3_stmt* insert = sql.prepare(std::string("INSERT INTO detail(") + kColumns +
                                       ") VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
    sql.exec("BEGIN");
    const char* r = nullptr;
    int rc;
    while ((rc = reader.Next(&r, &error)) == 1) {
      if (r[0] == 'C') continue;
      const char* cs = cityStates.Find(std::string_view(r + 176, 6), std::string_view(r + 1, 5));
      const struct {
        int offset, length;
      } fields[] = {{1, 5},   {140, 4},  {144, 4}, {79, 40},  {24, 28},  {22, 2},  {52, 4}, {56, 2},
                    {58, 10}, {68, 10}, {78, 1},  {119, 4}, {123, 8}, {131, 8}};
      int i = 1;
      for (const auto& f : fields) {
        const std::string value = Trim(std::string_view(r + f.offset, static_cast<std::size_t>(f.length)));
        sqlite3_bind_text(insert, i++, value.c_str(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
      }
      const std::string city = cs ? Trim(std::string_view(cs + 62, 28)) : std::string();
      sqlite3_bind_text(insert, i++, city.c_str(), static_cast<int>(city.size()), SQLITE_TRANSIENT);
      const std::string state = Trim(std::string_view(r + 157, 2));
      sqlite3_bind_text(insert, i++, state.c_str(), static_cast<int>(state.size()), SQLITE_TRANSIENT);
      sqlite3_bind_text(insert, i++, r, 182, SQLITE_TRANSIENT);
      if (sqlite3_step(insert) != SQLITE_DONE) Fail(std::string("insert: ") + sqlite3_errmsg(sql.db()));
      sqlite3_reset(insert);
    }
    if (rc < 0) Fail(error);
    sqlite3_finalize(insert);
    sql.exec("COMMIT");
    for (const char* column : {"zip", "street", "firm", "city", "state"}) {
      sql.exec(std::string("CREATE INDEX detail_") + column + " ON detail(" + column + ")");
    }
    sql.exec("ANALYZE");
  }
  std::filesystem::rename(temporary, path);
}

// ---- The queries ----

struct Query {
  std::string name;
  std::string zip, firm, street, city, state;
  bool exact = false;
};

std::string Request(const Query& q) {
  std::string r(corvdb::kSearchRequestSize, ' ');
  const auto put = [&r](corvdb::RequestField f, const std::string& v) { r.replace(f.offset, std::min(v.size(), f.length), v); };
  put(corvdb::kRequestZip, q.zip);
  put(corvdb::kRequestFirm, q.firm);
  put(corvdb::kRequestStreet, q.street);
  put(corvdb::kRequestCity, q.city);
  put(corvdb::kRequestState, q.state);
  return r;
}

// The text after every text that begins with `prefix`: prefix <= x < end.
std::string PrefixEnd(std::string prefix) {
  while (!prefix.empty() && static_cast<unsigned char>(prefix.back()) == 0x7F) prefix.pop_back();
  if (!prefix.empty()) prefix.back() = static_cast<char>(prefix.back() + 1);
  return prefix;
}

struct SqlQuery {
  std::string where;
  std::vector<std::string> values;
};

SqlQuery ToSql(const Query& q) {
  SqlQuery s;
  const auto prefix = [&s](const char* column, const std::string& value) {
    s.where += std::string(s.where.empty() ? "" : " AND ") + column + " >= ? AND " + column + " < ?";
    s.values.push_back(value);
    s.values.push_back(PrefixEnd(value));
  };
  if (!q.zip.empty()) {
    // A ZIP range: the digits before '*' begin every ZIP code in it.
    prefix("zip", q.zip.substr(0, q.zip.find('*')));
  }
  if (!q.firm.empty()) prefix("firm", q.firm);
  if (!q.street.empty()) {
    if (q.exact) {
      s.where += std::string(s.where.empty() ? "" : " AND ") + "street = ?";
      s.values.push_back(q.street);
    } else {
      prefix("street", q.street);
    }
  }
  if (!q.city.empty()) prefix("city", q.city);
  if (!q.state.empty()) prefix("state", q.state);
  return s;
}

struct Timing {
  double start = 0;     // InitiateZipSearch / prepare and bind
  double first100 = 0;  // from the start until 100 records were read
  double all = 0;       // from the start until the last one
  uint64_t records = 0;
};

Timing RunEngine(ReadZipFile& engine, const Query& q) {
  Timing t;
  const std::string request = Request(q);
  const auto start = Clock::now();
  const int32_t initiated = engine.initiateZipSearch(request.data(), q.exact ? 1 : 0);
  t.start = Seconds(start);
  char record[250];
  char zip4[182], cs[129], urb[129];
  if (initiated >= 1) {
    for (;;) {
      const int32_t rc = engine.getNextZipMatch(record);
      if (rc < 0) break;
      if (rc == 0) continue;
      engine.getZip4Rec(zip4, cs, urb);  // the raw records, as the program shows them
      if (++t.records == 100) t.first100 = Seconds(start);
    }
  }
  t.all = Seconds(start);
  if (t.records < 100) t.first100 = t.all;
  return t;
}

Timing RunSqlite(Sql& sql, const Query& q) {
  Timing t;
  const SqlQuery s = ToSql(q);
  const auto start = Clock::now();
  sqlite3_stmt* stmt = sql.prepare(std::string("SELECT ") + kColumns + " FROM detail WHERE " + s.where + " ORDER BY id");
  for (std::size_t i = 0; i < s.values.size(); ++i) {
    sqlite3_bind_text(stmt, static_cast<int>(i + 1), s.values[i].c_str(), -1, SQLITE_TRANSIENT);
  }
  t.start = Seconds(start);
  std::size_t bytes = 0;
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    for (int c = 0; c < kColumnCount; ++c) {
      const unsigned char* text = sqlite3_column_text(stmt, c);
      bytes += text ? static_cast<std::size_t>(sqlite3_column_bytes(stmt, c)) : 0;
    }
    if (++t.records == 100) t.first100 = Seconds(start);
  }
  sqlite3_finalize(stmt);
  t.all = Seconds(start);
  if (t.records < 100) t.first100 = t.all;
  if (bytes == 0 && t.records > 0) Fail("no column text read");
  return t;
}

Timing Best(int runs, const std::function<Timing()>& run) {
  Timing best = run();
  for (int i = 1; i < runs; ++i) {
    const Timing t = run();
    if (t.all < best.all) best = t;
  }
  return best;
}

std::string Milliseconds(double s) {
  char text[32];
  std::snprintf(text, sizeof text, s < 0.01 ? "%.3f" : s < 1 ? "%.1f" : "%.0f", s * 1000);
  return text;
}

// The most frequent value of an SQL query's first column (first row).
std::vector<std::string> FirstRow(Sql& sql, const std::string& query, const std::vector<std::string>& values = {}) {
  sqlite3_stmt* stmt = sql.prepare(query);
  for (std::size_t i = 0; i < values.size(); ++i) {
    sqlite3_bind_text(stmt, static_cast<int>(i + 1), values[i].c_str(), -1, SQLITE_TRANSIENT);
  }
  std::vector<std::string> row;
  if (sqlite3_step(stmt) == SQLITE_ROW) {
    for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
      const unsigned char* text = sqlite3_column_text(stmt, c);
      row.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
    }
  }
  sqlite3_finalize(stmt);
  return row;
}

// A frequent street name (of street records, record type S) that the engine
// reads back as the street name itself (no suffix, direction or house number
// in it).
std::string FrequentStreet(Sql& sql, const corvdb::SuffixTable& suffixes) {
  sqlite3_stmt* stmt = sql.prepare(
      "SELECT street FROM detail WHERE length(street) >= 4 AND substr(raw, 18, 1) = 'S' GROUP BY street "
      "ORDER BY count(*) DESC LIMIT 200");
  std::string chosen;
  while (chosen.empty() && sqlite3_step(stmt) == SQLITE_ROW) {
    const std::string name = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
    const corvdb::StreetParts parts = corvdb::strUtil::parseStreetLine(name, "", "", "", suffixes);
    if (parts.streetName == name && parts.primaryNumber.empty()) chosen = name;
  }
  sqlite3_finalize(stmt);
  if (chosen.empty()) Fail("no street name to search for");
  return chosen;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> positional;
  Query chosen;
  std::string zipRange = "9021*";
  int runs = 3;
  std::string only;
  bool oneThread = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto value = [&]() -> std::string {
      if (i + 1 >= argc) Fail(arg + " needs a value");
      return argv[++i];
    };
    if (arg == "--runs") {
      runs = std::max(1, std::atoi(value().c_str()));
    } else if (arg == "--street") {
      chosen.street = value();
    } else if (arg == "--city") {
      chosen.city = value();
    } else if (arg == "--state") {
      chosen.state = value();
    } else if (arg == "--firm") {
      chosen.firm = value();
    } else if (arg == "--only") {
      only = value();
    } else if (arg == "--one-thread") {
      oneThread = true;
    } else if (arg == "--zip-range") {
      zipRange = value();
    } else if (arg.rfind("--", 0) == 0) {
      Fail("unknown option " + arg);
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.empty() || positional.size() > 3) {
    std::fprintf(stderr, "usage: search_bench SAMPLE_DIR [CVD [SQLITE_DB]] [--runs N] [--street S] [--city C] "
                         "[--state ST] [--firm F] [--zip-range Z] [--only LETTERS[:engine|:sqlite]] [--one-thread]\n");
    return 2;
  }
  const std::string sampleDir = positional[0];
  const std::string cvdPath = positional.size() > 1 ? positional[1] : sampleDir + "/zip.cvd";
  const std::string sqlitePath = positional.size() > 2 ? positional[2] : sampleDir + "/zip.sqlite";

  if (!std::filesystem::exists(cvdPath)) {
    std::printf("building %s ...\n", cvdPath.c_str());
    corvdb::builder::BuildOptions options;
    options.zip4.push_back({"zip4.txt", sampleDir + "/" + corvdb::tools::kZip4FileName, nullptr});
    options.city_state.push_back({"ctystate.txt", sampleDir + "/" + corvdb::tools::kCityStateFileName, nullptr});
    options.suffixes = {"suffixes", SuffixList(), nullptr};
    options.output = cvdPath;
    corvdb::builder::BuildReport report;
    std::string error;
    const auto start = Clock::now();
    if (!corvdb::builder::BuildDatabase(options, &report, &error)) Fail(error);
    std::printf("  zip.cvd built in %.1f s\n", Seconds(start));
  }
  if (!std::filesystem::exists(sqlitePath)) {
    std::printf("building %s ...\n", sqlitePath.c_str());
    const auto start = Clock::now();
    BuildSqlite(sampleDir, sqlitePath);
    std::printf("  SQLite database built in %.1f s\n", Seconds(start));
  }

  ReadZipFile engine;
  engine.setSearchHelper(!oneThread);
  auto start = Clock::now();
  if (engine.openPath(cvdPath) != 0) Fail("cannot open " + cvdPath);
  const double openSeconds = Seconds(start);
  Sql sql(sqlitePath);
  sql.exec("PRAGMA cache_size=-262144; PRAGMA mmap_size=0;");
  const uint64_t records = std::stoull(FirstRow(sql, "SELECT count(*) FROM detail")[0]);

  if (chosen.street.empty()) chosen.street = FrequentStreet(sql, engine.suffixTable());
  if (chosen.city.empty() || chosen.state.empty()) {
    const auto row = FirstRow(sql, "SELECT city, state FROM detail WHERE street = ? GROUP BY city, state "
                                   "ORDER BY count(*) DESC LIMIT 1", {chosen.street});
    if (row.size() == 2) {
      if (chosen.city.empty()) chosen.city = row[0];
      if (chosen.state.empty()) chosen.state = row[1];
    }
  }
  if (chosen.firm.empty()) {
    const auto row = FirstRow(sql,
                              "SELECT w FROM (SELECT substr(firm, 1, instr(firm || ' ', ' ') - 1) AS w FROM detail "
                              "WHERE firm <> '') WHERE length(w) >= 4 GROUP BY w ORDER BY count(*) DESC LIMIT 1");
    chosen.firm = row.empty() ? "BANK" : row[0];
  }
  const std::string bigState = FirstRow(sql, "SELECT state FROM detail GROUP BY state ORDER BY count(*) DESC LIMIT 1")[0];

  const std::vector<Query> queries = {
      {"(a) street + city + state", "", "", chosen.street, chosen.city, chosen.state, false},
      {"(b) street, beginning of", "", "", chosen.street, "", "", false},
      {"(b) street, exact", "", "", chosen.street, "", "", true},
      {"(c) firm, beginning of", "", chosen.firm, "", "", "", false},
      {"(d) whole state", "", "", "", "", bigState, false},
      {"(e) ZIP range", zipRange, "", "", "", "", false},
  };

  std::printf("\n%llu detail records; zip.cvd %.1f MB (opened in %s ms), SQLite %.1f MB (%.1fx)\n",
              static_cast<unsigned long long>(records), std::filesystem::file_size(cvdPath) / 1e6,
              Milliseconds(openSeconds).c_str(), std::filesystem::file_size(sqlitePath) / 1e6,
              static_cast<double>(std::filesystem::file_size(sqlitePath)) /
                  static_cast<double>(std::filesystem::file_size(cvdPath)));
  std::printf("engine: %s\n", oneThread ? "one thread" : "blocks decoded ahead on a second thread");
  std::printf("street %s, city %s, state %s, firm %s, whole state %s, ZIP range %s; best of %d runs, ms\n\n",
              chosen.street.c_str(), chosen.city.c_str(), chosen.state.c_str(), chosen.firm.c_str(), bigState.c_str(),
              zipRange.c_str(), runs);
  std::printf("%-28s %9s | %9s %9s %9s %9s | %9s %9s %9s | %7s %7s\n", "query", "records", "initiate", "first100",
              "all", "rec/s", "prepare", "first100", "all", "x 100", "x all");
  std::printf("%-28s %9s | %39s | %29s | %15s\n", "", "", "engine", "SQLite", "SQLite / engine");
  const std::string letters = only.substr(0, only.find(':'));
  const std::string side = only.find(':') == std::string::npos ? "" : only.substr(only.find(':') + 1);
  for (const Query& q : queries) {
    if (!letters.empty() && letters.find(q.name[1]) == std::string::npos) continue;
    const Timing e = side == "sqlite" ? Timing{} : Best(runs, [&] { return RunEngine(engine, q); });
    const Timing s = side == "engine" ? Timing{} : Best(runs, [&] { return RunSqlite(sql, q); });
    char perSecond[32];
    std::snprintf(perSecond, sizeof perSecond, "%.0f", e.all > 0 ? static_cast<double>(e.records) / e.all : 0.0);
    std::printf("%-28s %9llu | %9s %9s %9s %9s | %9s %9s %9s | %7.1f %7.1f\n", q.name.c_str(),
                static_cast<unsigned long long>(e.records), Milliseconds(e.start).c_str(),
                Milliseconds(e.first100).c_str(), Milliseconds(e.all).c_str(), perSecond,
                Milliseconds(s.start).c_str(), Milliseconds(s.first100).c_str(), Milliseconds(s.all).c_str(),
                s.first100 / e.first100, s.all / e.all);
    if (side.empty() && s.records != e.records) {
      std::printf("  !! SQLite found %llu records\n", static_cast<unsigned long long>(s.records));
    }
    if (q.name.rfind("(d)", 0) == 0) {
      std::printf("  (d) records per second: engine %.0f, SQLite %.0f\n", static_cast<double>(e.records) / e.all,
                  static_cast<double>(s.records) / s.all);
    }
  }
  return 0;
}
