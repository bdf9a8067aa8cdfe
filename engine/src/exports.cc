// Placeholder exports until the engine is built: every lookup fails to open.
#include <cstring>

#include "corvdb.h"

extern "C" {
CORVDB_EXPORT int32_t CORVDB_CALL ZipcodeToAddress(char*, int32_t) { return -3; }
CORVDB_EXPORT int32_t CORVDB_CALL InitiateZipSearch(const char*, int32_t) { return -3; }
CORVDB_EXPORT int32_t CORVDB_CALL GetNextZipMatch(char*) { return -1; }
CORVDB_EXPORT int32_t CORVDB_CALL GetZip4Rec(char* zip4, char* cs, char* urb) {
  std::memset(zip4, 0, 182);
  std::memset(cs, 0, 129);
  std::memset(urb, 0, 129);
  return 0;
}
}
