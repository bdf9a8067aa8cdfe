#include "sample/sample_data.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <utility>

namespace corvdb::tools {
namespace {

// The shipped files are well under 2 MB; anything far larger is not ours.
constexpr std::streamoff kMaxFileSize = 64 << 20;
constexpr size_t kMaxCityLength = 28;
constexpr size_t kMaxCountyLength = 25;
constexpr size_t kMaxStreetLength = 28;
constexpr size_t kMaxWordLength = 30;
constexpr size_t kMaxSuffixLength = 4;

bool ReadWholeFile(const std::string& path, std::string* text, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0 || size > kMaxFileSize) {
    *error = path + ": not a data file (size)";
    return false;
  }
  in.seekg(0);
  text->assign(static_cast<size_t>(size), '\0');
  in.read(text->data(), size);
  if (!in) {
    *error = "cannot read " + path;
    return false;
  }
  return true;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

// One CSV line: fields separated by commas, a field may be quoted ("" inside
// quotes is a quote). Returns false on an unterminated quote.
bool SplitCsv(const std::string& line, std::vector<std::string>* fields) {
  fields->clear();
  if (line.find('"') == std::string::npos) {  // the common case: no quoting
    size_t start = 0;
    for (size_t comma; (comma = line.find(',', start)) != std::string::npos; start = comma + 1) {
      fields->emplace_back(line, start, comma - start);
    }
    fields->emplace_back(line, start);
    return true;
  }
  std::string field;
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c == '"') {
        if (i + 1 < line.size() && line[i + 1] == '"') {
          field += '"';
          ++i;
        } else {
          quoted = false;
        }
      } else {
        field += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      fields->push_back(std::move(field));
      field.clear();
    } else {
      field += c;
    }
  }
  if (quoted) return false;
  fields->push_back(std::move(field));
  return true;
}

bool AllDigits(std::string_view s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string Cut(std::string s, size_t length) {
  if (s.size() > length) {
    s.resize(length);
    while (!s.empty() && s.back() == ' ') s.pop_back();
  }
  return s;
}

std::string Where(const std::string& path, size_t line_index) {
  return path + " line " + std::to_string(line_index + 1) + ": ";
}

bool LoadPlaces(const std::string& dir, SampleData* data, std::string* error) {
  const std::string path = dir + "/zip_places.csv";
  std::string text;
  if (!ReadWholeFile(path, &text, error)) return false;
  const std::vector<std::string> lines = SplitLines(text);
  std::vector<std::string> fields;
  if (lines.empty() || !SplitCsv(lines[0], &fields)) {
    *error = path + ": no header line";
    return false;
  }
  // Columns by header name, so extra or reordered columns do no harm.
  const char* const wanted[] = {"zip", "city", "state", "county_fips", "county_name"};
  size_t column[5];
  for (int k = 0; k < 5; ++k) {
    const auto it = std::find(fields.begin(), fields.end(), wanted[k]);
    if (it == fields.end()) {
      *error = path + ": header lacks the column " + wanted[k];
      return false;
    }
    column[k] = static_cast<size_t>(it - fields.begin());
  }
  const size_t needed = *std::max_element(column, column + 5) + 1;
  std::vector<size_t> line_of;  // line index of each place, for the duplicate check
  for (size_t i = 1; i < lines.size(); ++i) {
    if (lines[i].empty()) continue;
    if (!SplitCsv(lines[i], &fields)) {
      *error = Where(path, i) + "unterminated quote";
      return false;
    }
    if (fields.size() < needed) {
      *error = Where(path, i) + "too few fields";
      return false;
    }
    Place p;
    p.zip = fields[column[0]];
    if (p.zip.size() != 5 || !AllDigits(p.zip)) {
      *error = Where(path, i) + "ZIP code is not 5 digits";
      return false;
    }
    p.city = Cut(CleanText(fields[column[1]], "&-/.'"), kMaxCityLength);
    if (p.city.empty()) {
      *error = Where(path, i) + "empty city";
      return false;
    }
    p.state = CleanText(fields[column[2]], "");
    if (p.state.size() != 2 || !std::isupper(static_cast<unsigned char>(p.state[0])) ||
        !std::isupper(static_cast<unsigned char>(p.state[1]))) {
      *error = Where(path, i) + "state is not two letters";
      return false;
    }
    const std::string& fips = fields[column[3]];
    if (!fips.empty()) {
      if (fips.size() < 3 || fips.size() > 5 || !AllDigits(fips)) {
        *error = Where(path, i) + "county FIPS code is not 3 to 5 digits";
        return false;
      }
      p.county_number = fips.substr(fips.size() - 3);
      p.county_name = Cut(CleanText(fields[column[4]], "&-/.'"), kMaxCountyLength);
    }
    data->places.push_back(std::move(p));
    line_of.push_back(i);
  }
  if (data->places.empty()) {
    *error = path + ": no ZIP codes";
    return false;
  }
  std::vector<size_t> order(data->places.size());
  for (size_t k = 0; k < order.size(); ++k) order[k] = k;
  std::stable_sort(order.begin(), order.end(),
                   [data](size_t a, size_t b) { return data->places[a].zip < data->places[b].zip; });
  std::vector<Place> sorted;
  sorted.reserve(order.size());
  for (size_t k = 0; k < order.size(); ++k) {
    // Compare with the copy already taken: the place it came from was moved from.
    if (!sorted.empty() && data->places[order[k]].zip == sorted.back().zip) {
      *error = Where(path, line_of[order[k]]) + "ZIP code " + data->places[order[k]].zip + " listed twice";
      return false;
    }
    sorted.push_back(std::move(data->places[order[k]]));
  }
  data->places = std::move(sorted);
  return true;
}

// A word list: one entry a line; blank lines and lines starting with # are
// skipped unless `sections` is given, in which case "# name" starts the
// section `name`.
bool LoadWords(const std::string& path, std::string_view keep, size_t max_length,
               std::map<std::string, std::vector<std::string>>* sections, std::string* error) {
  std::string text;
  if (!ReadWholeFile(path, &text, error)) return false;
  std::string section;
  std::set<std::pair<std::string, std::string>> seen;
  for (const std::string& line : SplitLines(text)) {
    if (!line.empty() && line[0] == '#') {
      section = CleanText(std::string_view(line).substr(1), "");
      continue;
    }
    std::string word = CleanText(line, keep);
    if (word.empty() || word.size() > max_length) continue;
    if (seen.insert({section, word}).second) (*sections)[section].push_back(std::move(word));
  }
  return true;
}

bool LoadList(const std::string& dir, const char* name, std::string_view keep,
              std::vector<std::string>* out, std::string* error) {
  std::map<std::string, std::vector<std::string>> sections;
  const std::string path = dir + "/" + name;
  if (!LoadWords(path, keep, kMaxWordLength, &sections, error)) return false;
  for (auto& [section, words] : sections) out->insert(out->end(), words.begin(), words.end());
  if (out->empty()) {
    *error = path + ": no entries";
    return false;
  }
  return true;
}

bool LoadSuffixes(const std::string& dir, std::map<std::string, std::string>* by_name,
                  SampleData* data, std::string* error) {
  const std::string path = dir + "/street_suffixes.csv";
  std::string text;
  if (!ReadWholeFile(path, &text, error)) return false;
  const std::vector<std::string> lines = SplitLines(text);
  std::vector<std::string> fields;
  std::set<std::string> abbreviations;
  for (size_t i = 1; i < lines.size(); ++i) {
    if (lines[i].empty()) continue;
    if (!SplitCsv(lines[i], &fields) || fields.size() < 2) {
      *error = Where(path, i) + "expected name,abbreviation";
      return false;
    }
    const std::string name = CleanText(fields[0], "");
    const std::string abbreviation = CleanText(fields[1], "");
    if (name.empty() || abbreviation.empty() || abbreviation.size() > kMaxSuffixLength ||
        abbreviation.find(' ') != std::string::npos) {
      *error = Where(path, i) + "bad suffix entry";
      return false;
    }
    (*by_name)[name] = abbreviation;
    abbreviations.insert(abbreviation);
  }
  if (abbreviations.empty()) {
    *error = path + ": no entries";
    return false;
  }
  data->suffixes.assign(abbreviations.begin(), abbreviations.end());
  return true;
}

// The USPS abbreviation of a direction word (NORTH or N -> N, NORTHEAST or
// NE -> NE), or empty when `w` is none.
std::string_view DirectionAbbreviation(std::string_view w) {
  static constexpr std::pair<std::string_view, std::string_view> kDirections[] = {
      {"N", "N"},   {"S", "S"},   {"E", "E"},   {"W", "W"},   {"NE", "NE"},        {"NW", "NW"},
      {"SE", "SE"}, {"SW", "SW"}, {"NORTH", "N"}, {"SOUTH", "S"}, {"EAST", "E"},   {"WEST", "W"},
      {"NORTHEAST", "NE"}, {"NORTHWEST", "NW"}, {"SOUTHEAST", "SE"}, {"SOUTHWEST", "SW"}};
  for (const auto& [word, abbreviation] : kDirections) {
    if (w == word) return abbreviation;
  }
  return {};
}

bool LoadStreetNames(const std::string& dir, const std::map<std::string, std::string>& suffixes,
                     SampleData* data, std::string* error) {
  // Apostrophes vanish (KING'S -> KINGS); street names hold A-Z 0-9 blank only.
  std::map<std::string, std::vector<std::string>> sections;
  const std::string path = dir + "/street_names.txt";
  if (!LoadWords(path, "'", 60, &sections, error)) return false;
  std::set<std::string> seen;
  for (auto& [section, words] : sections) {
    for (std::string word : words) {
      word.erase(std::remove(word.begin(), word.end(), '\''), word.end());
      std::vector<std::string> parts;
      std::istringstream split(word);
      for (std::string w; split >> w;) parts.push_back(w);
      SampleData::StreetName street;
      // The name is what is left between the directions and the suffix; it
      // keeps at least one word.
      if (parts.size() > 1 && !DirectionAbbreviation(parts.back()).empty()) {
        street.post = DirectionAbbreviation(parts.back());
        parts.pop_back();
      }
      if (parts.size() > 1) {
        const auto it = suffixes.find(parts.back());
        if (it != suffixes.end()) {
          street.suffix = it->second;
          parts.pop_back();
        }
      }
      // A spelled-out word in front is part of the name (WEST END, NORTH
      // SHORE); only the abbreviation in front is a pre-direction.
      if (parts.size() > 1 && DirectionAbbreviation(parts.front()) == parts.front()) {
        street.pre = parts.front();
        parts.erase(parts.begin());
      }
      for (const auto& w : parts) street.name += (street.name.empty() ? "" : " ") + w;
      if (street.name.empty() || street.name.size() > kMaxStreetLength) continue;
      if (!seen.insert(street.pre + "|" + street.name + "|" + street.suffix + "|" + street.post).second) continue;
      data->street_names.push_back(std::move(street));
    }
  }
  if (data->street_names.empty()) {
    *error = path + ": no entries";
    return false;
  }
  return true;
}

bool LoadFirmWords(const std::string& dir, SampleData* data, std::string* error) {
  std::map<std::string, std::vector<std::string>> sections;
  const std::string path = dir + "/firm_words.txt";
  if (!LoadWords(path, "-&", kMaxWordLength, &sections, error)) return false;
  data->firm_nouns = sections["NOUNS"];
  data->firm_adjectives = sections["ADJECTIVES"];
  data->firm_entities = sections["LEGAL ENTITY TYPES"];
  if (data->firm_nouns.empty() || data->firm_adjectives.empty() || data->firm_entities.empty()) {
    *error = path + ": needs the sections # nouns, # adjectives and # legal entity types";
    return false;
  }
  return true;
}

}  // namespace

std::string CleanText(std::string_view text, std::string_view keep) {
  std::string out;
  out.reserve(text.size());
  bool pending_blank = false;
  for (const char ch : text) {
    const auto u = static_cast<unsigned char>(ch);
    if (u >= 0x80) continue;
    char c = ch;
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    const bool kept = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      (c != ' ' && keep.find(c) != std::string_view::npos);
    if (!kept) {
      pending_blank = true;
      continue;
    }
    if (pending_blank && !out.empty()) out += ' ';
    pending_blank = false;
    out += c;
  }
  return out;
}

bool LoadSampleData(const std::string& dir, SampleData* data, std::string* error) {
  *data = SampleData();
  std::map<std::string, std::string> suffixes;
  return LoadPlaces(dir, data, error) && LoadSuffixes(dir, &suffixes, data, error) &&
         LoadStreetNames(dir, suffixes, data, error) &&
         LoadList(dir, "surnames.txt", "'", &data->surnames, error) &&
         LoadList(dir, "first_names.txt", "", &data->first_names, error) &&
         LoadFirmWords(dir, data, error);
}

}  // namespace corvdb::tools
