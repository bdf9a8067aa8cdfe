// Comma-separated values as RFC 4180 writes them: fields separated by commas,
// records ended by CRLF (a bare LF is accepted), a field that holds a comma,
// a quote or a line end enclosed in double quotes with its quotes doubled. A
// UTF-8 byte order mark before the first record is skipped.
//
// A record that breaks the rules (a quote inside an unenclosed field, text
// after a closing quote, a quoted field that never closes) is returned with
// its error and the fields read so far; reading goes on at the next line, so
// one bad record never stops a file.
#pragma once

#include <cstdint>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace corvellan::matcher {

struct CsvRecord {
  std::vector<std::string> fields;
  std::string error;       // empty for a good record
  uint64_t line = 0;       // line number where the record starts (1-based)
};

class CsvReader {
 public:
  explicit CsvReader(std::istream& in) : in_(in) {}
  // The next record; false at the end of the input.
  bool next(CsvRecord& record);
  // Bytes consumed so far (for progress).
  uint64_t bytesRead() const { return bytes_; }

 private:
  int get();
  void skipLine();
  std::istream& in_;
  uint64_t line_ = 1;
  uint64_t bytes_ = 0;
  bool started_ = false;
};

// One field as a record field: enclosed in quotes when it needs them.
std::string CsvField(std::string_view text);
// A whole record, fields joined by commas, ended by CRLF.
std::string CsvLine(const std::vector<std::string>& fields);

}  // namespace corvellan::matcher
