#include "places_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string_view>

#include "places_format.h"

namespace corvellan::matcher {

namespace {

constexpr std::size_t kShownBadLines = 5;

bool ParseCount(std::string_view token, std::string_view key, uint64_t* value) {
  if (token.size() <= key.size() + 1 || token.substr(0, key.size()) != key || token[key.size()] != '=') return false;
  const std::string_view digits = token.substr(key.size() + 1);
  if (digits.size() > 19) return false;
  uint64_t v = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<uint64_t>(c - '0');
  }
  *value = v;
  return true;
}

// "" or what is wrong with the header line.
std::string ParseHeader(std::string_view line, PlacesHeader* h) {
  std::vector<std::string_view> tokens;
  for (std::size_t from = 0; from <= line.size();) {
    const std::size_t blank = std::min(line.find(' ', from), line.size());
    tokens.push_back(line.substr(from, blank - from));
    from = blank + 1;
  }
  if (tokens.size() < 2 || tokens[0] != corvdb::kPlacesFormatName)
    return std::string("its first line is not a \"") + corvdb::kPlacesFormatName + "\" header";
  if (tokens[1] != std::to_string(corvdb::kPlacesFormatVersion))
    return "its format version \"" + std::string(tokens[1].substr(0, 16)) + "\" is not " +
           std::to_string(corvdb::kPlacesFormatVersion);
  if (tokens.size() != 7 || !ParseCount(tokens[2], "size", &h->size) || !ParseCount(tokens[3], "zips", &h->zips) ||
      !ParseCount(tokens[4], "records", &h->records) || !ParseCount(tokens[5], "names", &h->names) ||
      tokens[6].substr(0, 7) != "sha256=")
    return "its header is not \"size=S zips=Z records=R names=N sha256=HEX\"";
  const std::string_view hex = tokens[6].substr(7);
  if (hex.size() != 64 ||
      !std::all_of(hex.begin(), hex.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }))
    return "its header's SHA-256 is not 64 hex digits";
  h->sha256 = std::string(hex);
  if (h->names > corvdb::kPlacesMaxNames)
    return "it announces " + std::to_string(h->names) + " names, more than the " +
           std::to_string(corvdb::kPlacesMaxNames) + " a database has room for";
  return {};
}

// "" or what is wrong with a name line.
std::string ParseEntry(std::string_view line, const std::function<bool(uint32_t)>& zipKnown, PlaceEntry* e) {
  std::string_view fields[4];
  std::size_t from = 0;
  for (int i = 0; i < 3; ++i) {
    const std::size_t tab = line.find('\t', from);
    if (tab == std::string_view::npos) return "not four fields separated by tabs";
    fields[i] = line.substr(from, tab - from);
    from = tab + 1;
  }
  fields[3] = line.substr(from);
  const std::string_view zip = fields[0], state = fields[1], kind = fields[2], name = fields[3];
  if (zip.size() != 5 || !std::all_of(zip.begin(), zip.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return "the ZIP code is not 5 digits";
  e->zip = 0;
  for (char c : zip) e->zip = e->zip * 10 + static_cast<uint32_t>(c - '0');
  if (!zipKnown(e->zip)) return "ZIP code " + std::string(zip) + " is not in the database";
  if (state.size() != 2 || !std::all_of(state.begin(), state.end(), [](char c) { return c >= 'A' && c <= 'Z'; }))
    return "the state is not two capital letters";
  if (kind.size() != 1 || std::string_view("PANU").find(kind[0]) == std::string_view::npos)
    return "the kind is not one of P A N U";
  if (name.empty() || name.size() > corvdb::kPlacesMaxName || name.front() == ' ' || name.back() == ' ' ||
      !std::all_of(name.begin(), name.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b >= 0x20 && b <= 0x7F;
      }))
    return "the name is not 1 to 28 characters of text without blanks at its ends";
  e->state = std::string(state);
  e->kind = kind[0];
  e->name = std::string(name);
  return {};
}

}  // namespace

std::string PlacesFilePath(const std::string& dataFile) {
  std::error_code ec;
  const auto resolved = std::filesystem::canonical(dataFile, ec);
  return (ec ? dataFile : resolved.string()) + corvdb::kPlacesFileSuffix;
}

PlacesFile ReadPlacesFile(const std::string& path, const std::function<bool(uint32_t)>& zipKnown) {
  PlacesFile f;
  f.path = path;
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (ec || !std::filesystem::exists(status)) return f;
  f.present = true;
  auto unusable = [&f](const std::string& why) {
    f.problem = why;
    f.entries.clear();
    return f;
  };
  if (!std::filesystem::is_regular_file(status)) return unusable("it is not a regular file");
  std::ifstream in(path, std::ios::binary);
  if (!in) return unusable(std::string("it cannot be read: ") + std::strerror(errno));

  char buffer[corvdb::kPlacesMaxLine + 2];
  uint64_t lineNumber = 0;
  bool headerRead = false;
  while (in.getline(buffer, sizeof buffer)) {
    ++lineNumber;
    std::string_view line(buffer, static_cast<std::size_t>(in.gcount()) - (in.eof() ? 0 : 1));
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.size() > corvdb::kPlacesMaxLine)
      return unusable("line " + std::to_string(lineNumber) + " is longer than " +
                      std::to_string(corvdb::kPlacesMaxLine) + " bytes");
    // Every line ends with LF: a last line without one was cut (and what is
    // left of it may look like a whole name).
    if (in.eof()) return unusable("it is cut short: line " + std::to_string(lineNumber) + " has no line end");
    if (!headerRead) {
      if (std::string why = ParseHeader(line, &f.header); !why.empty()) return unusable(why);
      headerRead = true;
      f.entries.reserve(static_cast<std::size_t>(std::min<uint64_t>(f.header.names, 1u << 20)));
      continue;
    }
    if (lineNumber - 1 > f.header.names)
      return unusable("it holds more than the " + std::to_string(f.header.names) + " names its header announces");
    PlaceEntry e;
    if (std::string why = ParseEntry(line, zipKnown, &e); !why.empty()) {
      if (f.firstBad.size() < kShownBadLines) f.firstBad.push_back("line " + std::to_string(lineNumber) + ": " + why);
      ++f.badLines;
      continue;
    }
    f.entries.push_back(std::move(e));
  }
  if (!in.eof()) {
    if (in.bad()) return unusable(std::string("it cannot be read: ") + std::strerror(errno));
    // getline stopped at a full buffer without the line's end.
    return unusable("line " + std::to_string(lineNumber + 1) + " is longer than " +
                    std::to_string(corvdb::kPlacesMaxLine) + " bytes");
  }
  if (!headerRead) return unusable("it is empty");
  if (lineNumber - 1 < f.header.names)
    return unusable("it is cut short: " + std::to_string(lineNumber - 1) + " of the " +
                    std::to_string(f.header.names) + " names its header announces");
  f.usable = true;
  return f;
}

std::string PlacesMismatch(const PlacesHeader& header, uint64_t size, uint64_t zips, const uint64_t* records,
                           const std::string* sha256) {
  auto differs = [](const char* what, uint64_t file, uint64_t database) {
    return std::string("it was written for another database (") + what + " " + std::to_string(file) +
           ", this one has " + std::to_string(database) + ")";
  };
  if (header.size != size) return differs("size", header.size, size);
  if (header.zips != zips) return differs("ZIP codes", header.zips, zips);
  if (records != nullptr && header.records != *records) return differs("records", header.records, *records);
  if (sha256 != nullptr && header.sha256 != *sha256)
    return "it was written for another database (its SHA-256 is not this one's)";
  return {};
}

}  // namespace corvellan::matcher
