// The fields batch standardization appends to each address: the chosen
// record's standard form and how it was found. The corvdb tool appends them
// to every CSV record; the Python module returns them as a dict per address.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace corvellan::matcher {

class AddressMatcher;

// The names, in order: std_delivery_line, std_city, std_state, std_zip4,
// std_record_type, match_code (exact, corrected, ambiguous, not found,
// error), match_reason.
inline constexpr std::array<const char*, 7> kStandardizedFieldNames = {
    "std_delivery_line", "std_city", "std_state", "std_zip4", "std_record_type", "match_code", "match_reason"};

// Parses and matches one address (UTF-8) and gives its seven fields. An
// address the parser refuses (not UTF-8, a character without a plain-letter
// equivalent, ...) gets the match code "error" and the parser's reason; one
// without a street gets "not found". With `explanation`, it also receives
// the line ExplainMatch tells of the address.
std::vector<std::string> StandardizedFields(AddressMatcher& matcher, std::string_view address,
                                            std::string* explanation = nullptr);

// The seven fields of an address that could not be read at all.
std::vector<std::string> StandardizedError(const std::string& why);

}  // namespace corvellan::matcher
