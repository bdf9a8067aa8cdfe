#include "standardized_fields.h"

#include "address_matcher.h"

namespace corvellan::matcher {

std::vector<std::string> StandardizedFields(AddressMatcher& matcher, std::string_view address,
                                            std::string* explanation) {
  const ParsedAddress parsed = matcher.parser().parse(address);
  if (!parsed.error.empty() && parsed.error != "no street address") {
    if (explanation) *explanation = ExplainMatch(parsed, MatchResult{});
    return StandardizedError(parsed.error);
  }
  const MatchResult m = matcher.match(parsed);
  if (explanation) *explanation = ExplainMatch(parsed, m);
  if (m.code == MatchCode::kExact || m.code == MatchCode::kCorrected) {
    return {m.deliveryLine, m.city,   m.state, m.zip + (m.plus4.empty() ? "" : "-" + m.plus4),
            m.recordType,   MatchCodeName(m.code), m.reason};
  }
  return {"", "", "", "", "", MatchCodeName(m.code), m.reason};
}

std::vector<std::string> StandardizedError(const std::string& why) { return {"", "", "", "", "", "error", why}; }

}  // namespace corvellan::matcher
