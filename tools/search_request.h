// The 165-byte address search request of the engine, filled from typed
// values, and the ZIP+4 key of a lookup: shared by corvdb lookup, corvdb
// search and corvdb serve, so that the terminal and the HTTP service accept
// and refuse the same values.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace corvdb::tools {

// The typed conditions of a search, as given (untrimmed).
struct SearchValues {
  std::string zip, firm, unit, number, street, city, state;
};

struct SearchRequest {
  std::string bytes;    // the request, blank padded (CORVDB_SEARCH_REQUEST_SIZE bytes)
  bool any = false;     // at least one condition is given
  std::string problem;  // why a value cannot be searched for; empty when all are fine
};

// Trims each value of blanks and tabs, checks it (too long for its field, a
// ZIP code that is not 1-5 digits with an optional trailing '*', a state that
// is not one or two letters, a house number without a digit) and fills the
// request. A problem names the value as `prefix` + its name ("--zip: ..." for
// the command line, "zip: ..." for a query parameter).
SearchRequest MakeSearchRequest(const SearchValues& values, const char* prefix);

// "12345-6789" or "123456789" -> the nine characters (the add-on may hold
// letters, as add-ons with a prefix or postfix do), or nothing.
std::optional<std::string> ParseZip4(std::string_view text);

}  // namespace corvdb::tools
