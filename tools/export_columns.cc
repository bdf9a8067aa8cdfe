#include "export_columns.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

namespace corvdb::tools {

namespace {

// A fixed field: up to its first byte 0, without blanks at either end.
std::string FieldAt(const char* record, std::size_t offset, std::size_t length) {
  std::string_view s(record + offset, length);
  s = s.substr(0, s.find('\0'));
  const std::size_t first = s.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return std::string(s.substr(first, s.find_last_not_of(' ') - first + 1));
}

bool AllDigits(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

// The number a text starts with (0 when it starts with none), as the
// program compares add-ons: "0012" is 12, "12A" is 12.
double LeadingNumber(const std::string& text) { return std::strtod(text.c_str(), nullptr); }

bool InAddOnRange(const std::string& low, const std::string& value, const std::string& high) {
  const double number = LeadingNumber(value);
  return LeadingNumber(low) <= number && number <= LeadingNumber(high);
}

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return s;
}

}  // namespace

std::string DisplayCase(const std::string& text) {
  std::string result = text;
  for (std::size_t i = 1; i < result.size(); ++i) {
    const char previous = result[i - 1];
    const bool keeps = previous == ' ' || previous == '(' || previous == '/' || previous == '-';
    if (!keeps && result[i] >= 'A' && result[i] <= 'Z') result[i] = static_cast<char>(result[i] + 32);
  }
  static constexpr std::pair<std::string_view, std::string_view> kDisplayWords[] = {
      {" And ", " and "}, {" On ", " on "},       {" Of ", " of "},    {" Rr ", " RR "},
      {" The ", " the "}, {" Under ", " under "}, {"Po Box", "PO Box"}};
  for (const auto& [word, replacement] : kDisplayWords) ReplaceAll(result, word, replacement);
  const std::size_t first = result.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  result = result.substr(first, result.find_last_not_of(' ') - first + 1);
  // Leading direction or rural route: "Ne Main St" -> "NE Main St", "Rr 2" -> "RR 2".
  if (result.size() >= 3) {
    const std::string head = Upper(result.substr(0, 3));
    if (head == "NE " || head == "NW " || head == "SE " || head == "SW " || head == "RR ") result.replace(0, 3, head);
  }
  // Trailing direction: "Main St Nw" -> "Main St NW".
  if (result.size() >= 2) {
    const std::string tail = Upper(result.substr(result.size() - std::min<std::size_t>(result.size(), 3)));
    const std::string last = tail.substr(tail.size() - 2);
    const bool direction = last == "NE" || last == "NW" || last == "SE" || last == "SW";
    if (direction && (tail.size() == 2 || tail[0] == ' ')) result.replace(result.size() - 2, 2, last);
  }
  return result;
}

std::string RecordTypeDescription(const std::string& code) {
  static constexpr std::pair<const char*, const char*> kDescriptions[] = {
      {"G", "General Delivery"}, {"H", "Highrise"}, {"F", "Firm"}, {"S", "Street"}, {"P", "PO Box"},
      {"R", "Rural Route/Highway Contract"}, {"M", "Multi-Carrier Route"}};
  for (const auto& [type, description] : kDescriptions)
    if (code == type) return description;
  return {};
}

std::string Latin1ToUtf8(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x80) {
      out.push_back(c);
    } else {
      out.push_back(static_cast<char>(0xC0 | (u >> 6)));
      out.push_back(static_cast<char>(0x80 | (u & 0x3F)));
    }
  }
  return out;
}

std::array<std::string, 18> ExportValues(const char* r, const TypedContext& typed) {
  const std::string type = FieldAt(r, 0, 1);
  const std::string firm = FieldAt(r, 1, 40);
  const std::string unit = FieldAt(r, 41, 4);
  const std::string secLow = FieldAt(r, 45, 8), secHigh = FieldAt(r, 53, 8), secOE = FieldAt(r, 61, 1);
  const std::string street = FieldAt(r, 62, 60);
  const std::string priLow = FieldAt(r, 122, 10), priHigh = FieldAt(r, 132, 10), priOE = FieldAt(r, 142, 1);
  const std::string urbanization = FieldAt(r, 143, 60);
  const std::string city = FieldAt(r, 203, 28), state = FieldAt(r, 231, 2);
  const std::string zip = FieldAt(r, 233, 5);
  const std::string addOnLow = FieldAt(r, 242, 4), addOnHigh = FieldAt(r, 246, 4);

  std::string secondary;
  if (!unit.empty()) {
    // The typed unit is "designator number"; its number is what a range takes.
    std::string typedUnit = typed.unit;
    if (const std::size_t blank = typedUnit.find(' '); blank != std::string::npos) typedUnit.erase(0, blank + 1);
    const std::string designator = DisplayCase(unit);
    secondary = secLow == secHigh ? designator + " " + secHigh
                : typedUnit.empty()  ? designator
                                     : designator + " " + typedUnit;
    if (!secondary.empty() && secondary.back() == ' ') secondary.pop_back();
  }

  std::string primary;
  if (!street.empty()) {
    const std::string number = priLow == priHigh && !priLow.empty() ? priLow : typed.number;
    primary = DisplayCase(number.empty() ? street : type == "P" ? street + " " + number : number + " " + street);
  }

  std::string plus4;
  if (addOnLow == addOnHigh && !addOnLow.empty()) {
    plus4 = addOnLow;
  } else if (type == "P" && AllDigits(typed.number) && InAddOnRange(addOnLow, typed.number, addOnHigh)) {
    plus4 = (std::string("0000") + typed.number);
    plus4 = plus4.substr(plus4.size() - 4);
  } else if (typed.addOn.size() == 4 && AllDigits(typed.addOn) && InAddOnRange(addOnLow, typed.addOn, addOnHigh)) {
    plus4 = typed.addOn;
  }

  std::array<std::string, 18> values{DisplayCase(firm),   secondary, secLow, secHigh, secOE,     primary,
                                     priLow, priHigh,   priOE,  DisplayCase(urbanization), DisplayCase(city), state,
                                     zip,    plus4,     addOnLow, addOnHigh, type, RecordTypeDescription(type)};
  for (std::string& v : values) v = Latin1ToUtf8(v);
  return values;
}

}  // namespace corvdb::tools
