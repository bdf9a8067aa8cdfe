// The SQLite connection of the benchmarks that compare the engine with SQLite:
// every failure ends the program through the benchmark's own `fail`.
#pragma once

#include <sqlite3.h>

#include <string>
#include <vector>

namespace corvellan::bench {

class BenchSql {
 public:
  using FailFunction = void (*)(const std::string&);  // does not return

  BenchSql(const std::string& path, FailFunction fail) : fail_(fail) {
    if (sqlite3_open(path.c_str(), &db_) != SQLITE_OK) fail_("cannot open " + path + ": " + sqlite3_errmsg(db_));
  }
  ~BenchSql() {
    for (sqlite3_stmt* s : kept_) sqlite3_finalize(s);
    sqlite3_close(db_);
  }
  BenchSql(const BenchSql&) = delete;
  BenchSql& operator=(const BenchSql&) = delete;

  void exec(const std::string& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
      const std::string message = error ? error : "?";
      sqlite3_free(error);
      fail_(sql.substr(0, 60) + ": " + message);
    }
  }
  // A statement the caller finalizes.
  sqlite3_stmt* prepare(const std::string& sql) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
      fail_(sql.substr(0, 60) + ": " + sqlite3_errmsg(db_));
    }
    return stmt;
  }
  // A statement finalized with the connection.
  sqlite3_stmt* prepareKept(const std::string& sql) {
    sqlite3_stmt* stmt = prepare(sql);
    kept_.push_back(stmt);
    return stmt;
  }
  sqlite3* db() { return db_; }

 private:
  FailFunction fail_;
  sqlite3* db_ = nullptr;
  std::vector<sqlite3_stmt*> kept_;
};

}  // namespace corvellan::bench
