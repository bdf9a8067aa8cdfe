#include "csv.h"

namespace corvellan::matcher {

int CsvReader::get() {
  const int c = in_.get();
  if (c != std::char_traits<char>::eof()) ++bytes_;
  return c;
}

void CsvReader::skipLine() {
  for (int c = get(); c != std::char_traits<char>::eof(); c = get()) {
    if (c == '\n') {
      ++line_;
      return;
    }
  }
}

bool CsvReader::next(CsvRecord& record) {
  constexpr int kEof = std::char_traits<char>::eof();
  record.fields.clear();
  record.error.clear();
  if (!started_) {
    started_ = true;
    if (in_.peek() == 0xEF) {
      char bom[3] = {};
      in_.read(bom, 3);
      if (in_.gcount() == 3 && bom[1] == '\xBB' && bom[2] == '\xBF') {
        bytes_ += 3;
      } else {
        in_.clear();
        in_.seekg(0);
      }
    }
  }
  if (in_.peek() == kEof) return false;
  record.line = line_;
  std::string field;
  for (;;) {
    int c = get();
    if (c == '"' && field.empty()) {
      // An enclosed field: up to the closing quote, "" being one quote.
      const uint64_t startLine = line_;
      for (;;) {
        c = get();
        if (c == kEof) {
          record.fields.push_back(field);
          record.error = "quoted field opened on line " + std::to_string(startLine) + " never closes";
          return true;
        }
        if (c == '"') {
          if (in_.peek() == '"') {
            get();
            field += '"';
            continue;
          }
          break;
        }
        if (c == '\n') ++line_;
        field += static_cast<char>(c);
      }
      c = get();
      if (c == '\r' && in_.peek() == '\n') c = get();
      if (c != ',' && c != '\n' && c != kEof) {
        record.fields.push_back(field);
        record.error = "text after a closing quote";
        if (c != '\n') skipLine();
        else ++line_;
        return true;
      }
    } else {
      while (c != ',' && c != '\n' && c != kEof) {
        if (c == '"') {
          record.fields.push_back(field);
          record.error = "quote inside a field that does not start with one";
          skipLine();
          return true;
        }
        if (c == '\r' && in_.peek() == '\n') {
          c = get();
          break;
        }
        field += static_cast<char>(c);
        c = get();
      }
    }
    record.fields.push_back(std::move(field));
    field.clear();
    if (c == ',') continue;
    if (c == '\n') ++line_;
    return true;
  }
}

std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos && (text.empty() || (text.front() != ' ' && text.back() != ' ')))
    return std::string(text);
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

std::string CsvLine(const std::vector<std::string>& fields) {
  std::string line;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i) line += ',';
    line += CsvField(fields[i]);
  }
  line += "\r\n";
  return line;
}

}  // namespace corvellan::matcher
