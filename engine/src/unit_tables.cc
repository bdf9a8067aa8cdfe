#include "unit_tables.h"

#include <cstring>
#include <string>

namespace corvdb {

namespace {

// Finds open + word + mid in the table and returns what follows up to the
// next `close` (or the end of the table). Words holding a separator never
// match, so a match always covers exactly one entry's name.
std::optional<std::string_view> Lookup(std::string_view table, char open, std::string_view word, char mid,
                                       char close) {
  if (word.find_first_of(std::string{open, mid, close}) != std::string_view::npos) return std::nullopt;
  std::string needle;
  needle.reserve(word.size() + 2);
  needle.push_back(open);
  needle.append(word);
  needle.push_back(mid);
  const std::size_t at = table.find(needle);
  if (at == std::string_view::npos) return std::nullopt;
  std::string_view tail = table.substr(at + needle.size());
  const std::size_t end = tail.find(close);
  return end == std::string_view::npos ? tail : tail.substr(0, end);
}

}  // namespace

std::optional<std::string_view> DesignatorTable::abbreviationOf(std::string_view fullWord) const {
  return Lookup(text_, '!', fullWord, '?', '!');
}

bool DesignatorTable::isAbbreviation(std::string_view word) const {
  // "?" A "!": the same search with the roles of the separators swapped.
  return Lookup(text_, '?', word, '!', '?').has_value();
}

SuffixTable::SuffixTable(std::string_view text) : text_(text.substr(0, text.find('\0'))) {}

SuffixTable SuffixTable::FromMapped(const uint8_t* p, const uint8_t* limit) {
  if (p == nullptr || limit == nullptr || limit <= p) return SuffixTable();
  const std::size_t available = static_cast<std::size_t>(limit - p);
  const void* nul = std::memchr(p, 0, available);
  const std::size_t length =
      nul == nullptr ? available : static_cast<std::size_t>(static_cast<const uint8_t*>(nul) - p);
  return SuffixTable(std::string_view(reinterpret_cast<const char*>(p), length));
}

std::optional<std::string_view> SuffixTable::lookup(std::string_view word) const {
  return Lookup(text_, '!', word, '$', '!');
}

bool IsDirection(std::string_view word) {
  return word.find('!') == std::string_view::npos && kDirectionList.find(word) != std::string_view::npos;
}

}  // namespace corvdb
