#include "builder/places_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <tuple>

#include "places_format.h"

namespace corvdb::builder {

namespace {

std::string_view Trimmed(const char* p, size_t length) {
  std::string_view s(p, length);
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

// The kinds in file order.
constexpr std::string_view kKindOrder = "PANU";

char KindOf(const char* record) {
  if (record[54] == 'U') return 'U';                        // facility code
  if (std::memcmp(record + 6, record + 56, 6) == 0) return 'P';  // its own preferred last line
  return record[55] == 'N' ? 'N' : 'A';                     // mailing name indicator
}

struct Entry {
  uint32_t zip;
  std::string_view state;
  size_t kind;  // index in kKindOrder
  std::string_view name;
};

}  // namespace

std::string PlacesFileText(const CityStateTable& city_states, const std::vector<bool>& in_database,
                           const PlacesFileInfo& info, uint64_t* names) {
  std::vector<Entry> entries;
  for (size_t i = 0; i < city_states.size(); ++i) {
    const char* r = city_states.record(i);
    uint32_t zip = 0;
    bool digits = true;
    for (int k = 1; k <= 5; ++k) {
      digits = digits && r[k] >= '0' && r[k] <= '9';
      zip = zip * 10 + static_cast<uint32_t>(r[k] - '0');
    }
    if (!digits || zip >= in_database.size() || !in_database[zip]) continue;
    const std::string_view state(r + 99, 2);
    if (!std::all_of(state.begin(), state.end(), [](char c) { return c >= 'A' && c <= 'Z'; })) continue;
    const std::string_view name = Trimmed(r + 13, 28);
    if (name.empty()) continue;
    entries.push_back(Entry{zip, state, kKindOrder.find(KindOf(r)), name});
  }
  const auto key = [](const Entry& e) { return std::tie(e.zip, e.state, e.name, e.kind); };
  std::sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) { return key(a) < key(b); });
  // One line per name of a ZIP code and state: its first kind.
  entries.erase(std::unique(entries.begin(), entries.end(),
                            [](const Entry& a, const Entry& b) {
                              return a.zip == b.zip && a.state == b.state && a.name == b.name;
                            }),
                entries.end());
  std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    return std::tie(a.zip, a.kind, a.name, a.state) < std::tie(b.zip, b.kind, b.name, b.state);
  });

  std::string text = std::string(kPlacesFormatName) + " " + std::to_string(kPlacesFormatVersion) +
                     " size=" + std::to_string(info.size) + " zips=" + std::to_string(info.zips) +
                     " records=" + std::to_string(info.records) + " names=" + std::to_string(entries.size()) +
                     " sha256=" + info.sha256 + "\n";
  text.reserve(text.size() + entries.size() * 24);
  char zip_text[8];
  for (const Entry& e : entries) {
    std::snprintf(zip_text, sizeof zip_text, "%05u", e.zip);
    text += zip_text;
    text += '\t';
    text += e.state;
    text += '\t';
    text += kKindOrder[e.kind];
    text += '\t';
    text += e.name;
    text += '\n';
  }
  *names = entries.size();
  return text;
}

}  // namespace corvdb::builder
