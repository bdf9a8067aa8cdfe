#include "csv.h"

namespace corvellan::matcher {

namespace {
constexpr int kEof = std::char_traits<char>::eof();
}

int CsvReader::get() {
  if (!pushedBack_.empty()) {
    const unsigned char c = static_cast<unsigned char>(pushedBack_.back());
    pushedBack_.pop_back();
    ++bytes_;
    return c;
  }
  const int c = in_.get();
  if (c != kEof) ++bytes_;
  return c;
}

int CsvReader::peek() {
  if (!pushedBack_.empty()) return static_cast<unsigned char>(pushedBack_.back());
  return in_.peek();
}

void CsvReader::unget(char c) {
  pushedBack_.push_back(c);
  --bytes_;
}

void CsvReader::skipLine() {
  for (int c = get(); c != kEof; c = get()) {
    if (c == '\n') {
      ++line_;
      return;
    }
  }
}

bool CsvReader::next(CsvRecord& record) {
  record.fields.clear();
  record.error.clear();
  if (!started_) {
    started_ = true;
    // A byte order mark is EF BB BF; a start that is not one is given back
    // (the input need not be able to seek: it may be a pipe).
    if (peek() == 0xEF) {
      std::string seen(1, static_cast<char>(get()));
      while (seen.size() < 3 && peek() == (seen.size() == 1 ? 0xBB : 0xBF)) seen += static_cast<char>(get());
      if (seen.size() < 3) {
        for (auto it = seen.rbegin(); it != seen.rend(); ++it) unget(*it);
      }
    }
  }
  // Blank lines (LF or CRLF alone) hold no record.
  for (;;) {
    const int c = peek();
    if (c == '\n') {
      get();
    } else if (c == '\r') {
      get();
      if (peek() != '\n') {
        unget('\r');
        break;
      }
      get();
    } else {
      break;
    }
    ++line_;
    ++blank_;
  }
  if (peek() == kEof) return false;
  record.line = line_;
  std::string field;
  // Beyond a limit the record keeps the fields before the one that crossed
  // it; its other bytes are still read (so that the next record starts
  // where it should) but no longer kept.
  bool dropping = false;
  const auto add = [&](int ch) {
    if (dropping) return;
    if (field.size() < limits_.maxFieldBytes) {
      field += static_cast<char>(ch);
      return;
    }
    dropping = true;
    record.error = "field " + std::to_string(record.fields.size() + 1) + " is longer than " +
                   std::to_string(limits_.maxFieldBytes) + " bytes (the limit of one field)";
    std::string().swap(field);
  };
  const auto pushField = [&] {
    if (!dropping && record.fields.size() == limits_.maxFields) {
      dropping = true;
      record.error = "record has more than " + std::to_string(limits_.maxFields) + " fields (the limit)";
    }
    if (!dropping) record.fields.push_back(std::move(field));
    field.clear();
  };
  for (;;) {
    int c = get();
    if (c == '"' && field.empty()) {
      // An enclosed field: up to the closing quote, "" being one quote.
      const uint64_t startLine = line_;
      for (;;) {
        c = get();
        if (c == kEof) {
          pushField();
          record.error = "quoted field opened on line " + std::to_string(startLine) + " never closes";
          return true;
        }
        if (c == '"') {
          if (peek() == '"') {
            get();
            add('"');
            continue;
          }
          break;
        }
        if (c == '\n') ++line_;
        add(c);
      }
      c = get();
      if (c == '\r' && peek() == '\n') c = get();
      if (c != ',' && c != '\n' && c != kEof) {
        pushField();
        record.error = "text after a closing quote";
        if (c != '\n') skipLine();
        else ++line_;
        return true;
      }
    } else {
      while (c != ',' && c != '\n' && c != kEof) {
        if (c == '"') {
          pushField();
          record.error = "quote inside a field that does not start with one";
          skipLine();
          return true;
        }
        if (c == '\r' && peek() == '\n') {
          c = get();
          break;
        }
        add(c);
        c = get();
      }
    }
    pushField();
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
  // One empty field alone would be a blank line, which holds no record.
  if (fields.size() == 1 && fields[0].empty()) return "\"\"\r\n";
  std::string line;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i) line += ',';
    line += CsvField(fields[i]);
  }
  line += "\r\n";
  return line;
}

std::string CsvEncodingProblem(std::string_view head) {
  const auto starts = [head](std::string_view prefix) { return head.substr(0, prefix.size()) == prefix; };
  using namespace std::string_view_literals;
  if (starts("\xFF\xFE\0\0"sv) || starts("\0\0\xFE\xFF"sv)) return "is UTF-32 text (it starts with a UTF-32 byte order mark)";
  if (starts("\xFF\xFE"sv) || starts("\xFE\xFF"sv)) return "is UTF-16 text (it starts with a UTF-16 byte order mark)";
  if (head.find('\0') != std::string_view::npos)
    return "holds zero bytes (UTF-16 or UTF-32 text without a byte order mark, or not text at all)";
  return {};
}

bool IsUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    std::size_t extra = 0;
    uint32_t cp = 0, min = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      extra = 1, cp = c & 0x1F, min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2, cp = c & 0x0F, min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3, cp = c & 0x07, min = 0x10000;
    } else {
      return false;
    }
    if (i + extra >= text.size()) return false;  // cut short
    for (std::size_t k = 1; k <= extra; ++k) {
      const unsigned char d = static_cast<unsigned char>(text[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (d & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += extra + 1;
  }
  return true;
}

}  // namespace corvellan::matcher
