/* Corvdb: lookup engine over the zip.cvd column store.
 *
 * Four exports, C linkage. Records cross as fixed-length single-byte text
 * without terminators; the caller owns every record and the engine writes into
 * it only during the call. All exports return a signed 32-bit code:
 *   > 0  success (meaning per export)
 *     0  see the export
 *    -1  not found / search finished / engine not opened
 *    -3  the data file could not be opened or mapped
 *
 * Threads: the library holds one engine per process, and every export takes a
 * process-wide lock for the length of its call, so exports called from several
 * threads at once are served one after another (never side by side). The
 * engine's state is shared by all threads: a search started on one thread is
 * the search GetNextZipMatch continues on any other, and GetZip4Rec returns the
 * records of the last delivery, whichever thread asked for it. Callers that
 * run their own searches side by side must take turns between
 * InitiateZipSearch and the last GetNextZipMatch themselves.
 */
#ifndef CORVDB_H
#define CORVDB_H

#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#define CORVDB_CALL __stdcall
#else
#define CORVDB_CALL
#endif

#if defined(_WIN32)
#define CORVDB_EXPORT __declspec(dllexport)
#else
#define CORVDB_EXPORT __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

enum {
  CORVDB_ADDRESS_RECORD_SIZE = 250, /* output address record */
  CORVDB_SEARCH_REQUEST_SIZE = 165, /* search request record */
  CORVDB_ZIP4_RECORD_SIZE = 182,    /* USPS ZIP+4 detail record */
  CORVDB_CITYSTATE_RECORD_SIZE = 129 /* USPS City-State record */
};

/* Looks up the ZIP+4 carried in `record` (ZIP code at offset 233, add-on at
 * 238) and delivers the n-th (1-based) covering detail record into `record`.
 * Returns the number of covering records, -1 when record n does not exist,
 * -3 when the data file cannot be opened. A null record gives -1. */
CORVDB_EXPORT int32_t CORVDB_CALL ZipcodeToAddress(char *record, int32_t n);

/* Starts an address search from the 165-byte request. Bit 0 of `flags`: the
 * street name must equal an indexed name (set) or may begin one (clear).
 * Returns the number of candidate ZIP codes (>= 1), 0 when the street is in no
 * index entry, -1 when firm, city or state is in no index entry, -3 on an
 * opening failure. After a result below 1 there is nothing to deliver: after
 * 0 the next GetNextZipMatch returns 0 (running out) and then -1; after -1 or
 * -3 it returns -1. A null request gives -1. */
CORVDB_EXPORT int32_t CORVDB_CALL InitiateZipSearch(const char *request, int32_t flags);

/* Delivers the next match of the running search into the 250-byte record.
 * Returns the record's rank (> 0), 0 when nothing was delivered on this call
 * (call again), -1 when the search has finished, none was started, or nothing
 * is open. Each candidate ZIP code after the first costs one 0, running out one
 * more. A ZipcodeToAddress between calls does not disturb the search. */
CORVDB_EXPORT int32_t CORVDB_CALL GetNextZipMatch(char *record);

/* Copies the raw USPS records behind the last delivered record into the
 * caller's buffers of 182, 129 and 129 bytes. Always returns 0. */
CORVDB_EXPORT int32_t CORVDB_CALL GetZip4Rec(char *zip4, char *cityState, char *urbanization);

/* Closes the database and forgets the running search, the last delivered
 * records and a failed opening, as if the library had just been loaded: the
 * next ZipcodeToAddress or InitiateZipSearch opens zip.cvd again from the
 * settings. A program calls it after a new database has been renamed over the
 * old one (or the data directory has changed) to answer from the new file;
 * without it the engine keeps the file it opened until the process ends.
 * Not one of the original four exports: resolve it by name and treat its
 * absence as "cannot switch before a restart". Returns 0, or -3 when no
 * memory was left for a fresh engine (the old state then stays). */
CORVDB_EXPORT int32_t CORVDB_CALL ReopenZipDatabase(void);

#ifdef __cplusplus
}
#endif

#endif /* CORVDB_H */
