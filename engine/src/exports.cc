// The exports of libCorvdb.so. Each runs on the one process-wide engine and
// never lets an exception out: a failure inside a lookup is reported as "not
// found", one inside a search ends the search.
//
// The engine keeps its state between calls (the loaded block and its decoded
// columns, the running search, the last delivered records), so two threads
// inside it at once would grow and read the same buffers. Every export holds
// one process-wide lock for its whole call: callers on several threads are
// served one at a time. Uncontended, the lock costs two atomic operations per
// call, well within the noise of a lookup (bench/lookup_bench, part d).
#include <cstring>
#include <mutex>
#include <new>

#include "corvdb.h"
#include "read_zip_file.h"

namespace {

// Built on first use, never destroyed: an export called while the process
// exits still finds it.
std::mutex& ExportLock() {
  static std::mutex* lock = new std::mutex;
  return *lock;
}

}  // namespace

extern "C" {

CORVDB_EXPORT int32_t CORVDB_CALL ZipcodeToAddress(char* record, int32_t n) {
  if (record == nullptr) return corvdb::kNotFound;
  const std::lock_guard hold(ExportLock());
  try {
    return corvdb::ProcessEngine().zipcodeToAddress(record, n);
  } catch (...) {
    return corvdb::kNotFound;
  }
}

// A null request starts nothing (-1, and any running search ends); a null
// record leaves the search where it is (-1).
CORVDB_EXPORT int32_t CORVDB_CALL InitiateZipSearch(const char* request, int32_t flags) {
  const std::lock_guard hold(ExportLock());
  corvdb::ReadZipFile& engine = corvdb::ProcessEngine();
  if (request == nullptr) {
    engine.abandonSearch();
    return corvdb::kNotFound;
  }
  try {
    return engine.initiateZipSearch(request, flags);
  } catch (...) {
    engine.abandonSearch();
    return corvdb::kNotFound;
  }
}

CORVDB_EXPORT int32_t CORVDB_CALL GetNextZipMatch(char* record) {
  if (record == nullptr) return corvdb::kNotFound;
  const std::lock_guard hold(ExportLock());
  corvdb::ReadZipFile& engine = corvdb::ProcessEngine();
  try {
    return engine.getNextZipMatch(record);
  } catch (...) {
    engine.abandonSearch();
    return corvdb::kNotFound;
  }
}

CORVDB_EXPORT int32_t CORVDB_CALL GetZip4Rec(char* zip4, char* cityState, char* urbanization) {
  const std::lock_guard hold(ExportLock());
  return corvdb::ProcessEngine().getZip4Rec(zip4, cityState, urbanization);
}

// A fresh engine: nothing mapped, no search, sticky error cleared. The old
// engine's mapping goes with it.
CORVDB_EXPORT int32_t CORVDB_CALL ReopenZipDatabase(void) {
  const std::lock_guard hold(ExportLock());
  try {
    corvdb::ReplaceProcessEngine();
  } catch (...) {
    return corvdb::kOpenError;
  }
  return 0;
}

}  // extern "C"
