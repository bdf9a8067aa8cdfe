// The exports of libCorvdb.so. Each runs on the one process-wide engine and
// never lets an exception out: a failure inside a lookup is reported as "not
// found".
#include <cstring>
#include <new>

#include "corvdb.h"
#include "read_zip_file.h"

extern "C" {

CORVDB_EXPORT int32_t CORVDB_CALL ZipcodeToAddress(char* record, int32_t n) {
  if (record == nullptr) return corvdb::kNotFound;
  try {
    return corvdb::ProcessEngine().zipcodeToAddress(record, n);
  } catch (...) {
    return corvdb::kNotFound;
  }
}

// The address search is built on the engine's block and column classes next;
// until then no search starts.
CORVDB_EXPORT int32_t CORVDB_CALL InitiateZipSearch(const char*, int32_t) { return corvdb::kOpenError; }
CORVDB_EXPORT int32_t CORVDB_CALL GetNextZipMatch(char*) { return corvdb::kNotFound; }

CORVDB_EXPORT int32_t CORVDB_CALL GetZip4Rec(char* zip4, char* cityState, char* urbanization) {
  return corvdb::ProcessEngine().getZip4Rec(zip4, cityState, urbanization);
}

}  // extern "C"
