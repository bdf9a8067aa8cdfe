#include "search_request.h"

#include <algorithm>
#include <cstddef>

#include "corvdb.h"

namespace corvdb::tools {

namespace {

// The request fields: offset, length.
struct RequestField {
  std::size_t offset, length;
};
constexpr RequestField kZip{0, 5}, kFirm{5, 40}, kUnit{45, 20}, kNumber{65, 10}, kStreet{75, 60},
    kCity{135, 28}, kState{163, 2};

// Writes the (checked) value into its field, blank padded.
void Put(std::string& request, RequestField field, const std::string& value) {
  std::string text = value;
  text.resize(field.length, ' ');
  request.replace(field.offset, field.length, text);
}

std::string Trim(const std::string& value) {
  const std::size_t first = value.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return value.substr(first, value.find_last_not_of(" \t") - first + 1);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// The reason a (trimmed) value cannot be searched for, or "".
std::string CheckValue(const std::string& name, const std::string& label, const std::string& value,
                       std::size_t length) {
  if (value.empty()) return {};
  if (name == "zip") {
    const std::size_t digits = value.back() == '*' ? value.size() - 1 : value.size();
    const bool ok = digits >= 1 && digits <= 5 &&
                    std::all_of(value.begin(), value.begin() + static_cast<long>(digits), IsDigit);
    if (!ok) return label + ": a ZIP code is 1 to 5 digits, optionally followed by * (627, 62701, 627*): " + value;
    return {};
  } else if (name == "state") {
    if (value.size() > 2 || !std::all_of(value.begin(), value.end(), IsLetter)) {
      return label + ": a state is one or two letters (IL): " + value;
    }
  } else if (name == "number") {
    if (!std::any_of(value.begin(), value.end(), IsDigit) || !(IsDigit(value[0]) || IsLetter(value[0]))) {
      return label + ": a house number starts with a letter or digit and holds a digit (12, 12A, N123): " + value;
    }
  }
  if (value.size() > length) {
    return label + ": at most " + std::to_string(length) + " characters, not " + std::to_string(value.size()) +
           ": " + value;
  }
  return {};
}

bool IsDigits(std::string_view s) { return std::all_of(s.begin(), s.end(), IsDigit); }

bool IsAlnum(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return IsDigit(c) || IsLetter(c); });
}

}  // namespace

SearchRequest MakeSearchRequest(const SearchValues& values, const char* prefix) {
  struct Condition {
    const char* name;
    const std::string& value;
    RequestField field;
  };
  const Condition conditions[] = {
      {"zip", values.zip, kZip},          {"firm", values.firm, kFirm},     {"unit", values.unit, kUnit},
      {"number", values.number, kNumber}, {"street", values.street, kStreet}, {"city", values.city, kCity},
      {"state", values.state, kState},
  };
  SearchRequest out;
  out.bytes.assign(CORVDB_SEARCH_REQUEST_SIZE, ' ');
  for (const Condition& c : conditions) {
    const std::string value = Trim(c.value);
    out.problem = CheckValue(c.name, std::string(prefix) + c.name, value, c.field.length);
    if (!out.problem.empty()) return out;
    out.any = out.any || !value.empty();
    // Five digits and a '*' do not fit the field; the range is the ZIP code itself.
    Put(out.bytes, c.field, value.size() > c.field.length ? value.substr(0, c.field.length) : value);
  }
  return out;
}

std::optional<std::string> ParseZip4(std::string_view text) {
  std::string_view zip = text.substr(0, 5);
  std::string_view addOn;
  if (text.size() == 10 && text[5] == '-') {
    addOn = text.substr(6);
  } else if (text.size() == 9) {
    addOn = text.substr(5);
  } else {
    return std::nullopt;
  }
  if (!IsDigits(zip) || !IsAlnum(addOn)) return std::nullopt;
  return std::string(zip) + std::string(addOn);
}

}  // namespace corvdb::tools
