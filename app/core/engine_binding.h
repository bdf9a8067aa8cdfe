// The lookup engine, bound by name at its first use.
//
// The library Corvdb (libCorvdb.so.1) is looked for in the program's own
// directory first, then in the library directory of an installed tree
// (../lib/<multiarch> from the program), then through the normal library
// search; each of the four
// entry points is resolved at its own first call, and the library stays loaded
// until the process ends. Nothing is loaded at start-up. A library or entry
// point that cannot be found is reported in a critical message box and ends
// the program; should the end be intercepted (tests), the call returns
// kEngineUnavailable (GetNextZipMatch: -1, "finished", so that search loops
// end) without touching the caller's records.
//
// The records are the fixed-length single-byte records of engine/include/corvdb.h.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

namespace corvellan {

inline constexpr std::int32_t kEngineUnavailable = -3;

class Engine {
 public:
  static std::int32_t ZipcodeToAddress(char* record, std::int32_t n);
  static std::int32_t InitiateZipSearch(const char* request, std::int32_t flags);
  static std::int32_t GetNextZipMatch(char* record);
  static std::int32_t GetZip4Rec(char* zip4, char* cityState, char* urbanization);

  // Whether the library has been loaded (it is loaded at the first call).
  static bool loaded();

  // Makes the engine open zip.cvd again at its next lookup (a new database
  // renamed over the old one, a changed data directory). True when done or
  // when nothing is open yet; false when the library lacks the entry point
  // ReopenZipDatabase (an older library: the new file is used after a
  // restart). Must not be called while a search is under way.
  static bool reopen();

  // Test seam: the library files to try instead of the usual ones; an empty
  // list restores them. Unloads a library loaded before.
  static void setCandidatesForTesting(const QStringList& files);
};

}  // namespace corvellan
