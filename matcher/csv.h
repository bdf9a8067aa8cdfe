// Comma-separated values as RFC 4180 writes them: fields separated by commas,
// records ended by CRLF (a bare LF is accepted), a field that holds a comma,
// a quote or a line end enclosed in double quotes with its quotes doubled. A
// UTF-8 byte order mark before the first record is skipped, and so are blank
// lines (no record has no field; a record of one empty field is written "").
//
// A record that breaks the rules (a quote inside an unenclosed field, text
// after a closing quote, a quoted field that never closes, more fields or a
// longer field than the limits allow) is returned with its error and the
// fields read before it; reading goes on at the next record, so one bad
// record never stops a file. The limits keep one record's memory bounded
// whatever the input holds: beyond them the rest of the record is read and
// dropped.
#pragma once

#include <cstddef>
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

struct CsvLimits {
  std::size_t maxFields = 1024;        // fields of one record
  std::size_t maxFieldBytes = 65536;   // bytes of one field
};

class CsvReader {
 public:
  explicit CsvReader(std::istream& in, CsvLimits limits = {}) : in_(in), limits_(limits) {}
  // The next record; false at the end of the input.
  bool next(CsvRecord& record);
  // Bytes consumed so far (for progress).
  uint64_t bytesRead() const { return bytes_; }
  // Blank lines skipped so far.
  uint64_t blankLines() const { return blank_; }

 private:
  int get();
  int peek();
  void unget(char c);
  void skipLine();
  std::istream& in_;
  CsvLimits limits_;
  std::string pushedBack_;  // bytes read ahead and given back, the next one last
  uint64_t line_ = 1;
  uint64_t bytes_ = 0;
  uint64_t blank_ = 0;
  bool started_ = false;
};

// One field as a record field: enclosed in quotes when it needs them.
std::string CsvField(std::string_view text);
// A whole record, fields joined by commas, ended by CRLF.
std::string CsvLine(const std::vector<std::string>& fields);

// Why the first bytes of a file show it is not UTF-8 text that this reader
// can read (a UTF-16 or UTF-32 byte order mark, zero bytes), or "" when
// nothing is wrong with them.
std::string CsvEncodingProblem(std::string_view head);
// True when `text` is well-formed UTF-8.
bool IsUtf8(std::string_view text);

}  // namespace corvellan::matcher
