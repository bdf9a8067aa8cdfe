#include "builder/column_encoders.h"

#include <algorithm>
#include <cstdio>

#include "coding.h"

namespace corvdb::builder {

namespace {

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

std::string_view TrimRightBlanks(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The digits as a number, or false when it exceeds what a numeric column stores.
bool ParseDigits(std::string_view digits, uint32_t* value) {
  uint64_t v = 0;
  for (char c : digits) {
    v = v * 10 + static_cast<uint64_t>(c - '0');
    if (v > kMaxStoredNumber) return false;
  }
  *value = static_cast<uint32_t>(v);
  return true;
}

std::string FormatNumber(uint32_t number, NumberFormat format, int width) {
  char buf[32];
  switch (format) {
    case NumberFormat::kZeroPadded:
      std::snprintf(buf, sizeof buf, "%0*ld", width, static_cast<long>(number));
      break;
    case NumberFormat::kBlankPadded:
      std::snprintf(buf, sizeof buf, "%*ld", width, static_cast<long>(number));
      break;
    default:
      std::snprintf(buf, sizeof buf, "%ld", static_cast<long>(number));
      break;
  }
  return buf;
}

}  // namespace

// ---------------------------------------------------------------------------
// Text columns

void TextColumnEncoder::Reset() {
  current_.clear();
  run_length_ = 0;
  data_.clear();
  recent_.clear();
}

void TextColumnEncoder::Add(std::string_view value) {
  if (run_length_ > 0 && value == current_) {
    ++run_length_;
    return;
  }
  if (run_length_ > 0) FlushRun();
  current_.assign(value);
  run_length_ = 1;
}

void TextColumnEncoder::FlushRun() {
  EncodeValue(current_, recent_, &data_);
  PutVarMode2(&data_, run_length_ - 1);
  Remember(current_);
  run_length_ = 0;
}

void TextColumnEncoder::Remember(std::string_view value) {
  // The value list grows by one value per run, repeats included, so the window
  // of one-byte repeats is simply the last kMaxBackReference runs.
  if (recent_.size() < static_cast<size_t>(kMaxBackReference)) recent_.emplace_back();
  std::rotate(recent_.rbegin(), recent_.rbegin() + 1, recent_.rend());
  recent_.front().assign(value);
}

void TextColumnEncoder::Finish(std::string* out) {
  if (run_length_ > 0) FlushRun();
  data_.push_back('\0');
  out->append(data_);
  Reset();
}

void TextColumnEncoder::EncodeValue(std::string_view value, const std::vector<std::string>& recent,
                                    std::string* out) {
  if (value.empty()) {
    out->push_back('\0');
    return;
  }
  const size_t window = std::min(recent.size(), static_cast<size_t>(kMaxBackReference));
  for (size_t c = 1; c <= window; ++c) {
    if (recent[c - 1] == value) {
      out->push_back(static_cast<char>(c));
      return;
    }
  }
  if (value.size() == 1) {
    out->push_back(value[0]);
    return;
  }

  // Share a front and a back with the previous value. A one-byte encoding
  // would read as a repeat or a one-character value, so every choice must
  // leave at least two bytes; a literal always does.
  const std::string_view previous = recent.empty() ? std::string_view() : recent.front();
  const size_t len = value.size();
  size_t front = 0;
  while (front < previous.size() && front < len && front < static_cast<size_t>(kMaxShared) &&
         previous[front] == value[front]) {
    ++front;
  }
  size_t back = 0;
  while (back < previous.size() && back < len && back < static_cast<size_t>(kMaxShared) &&
         previous[previous.size() - 1 - back] == value[len - 1 - back]) {
    ++back;
  }
  size_t best_pre = 0, best_post = 0, best_cost = len;
  for (size_t pre = 0; pre <= front; ++pre) {
    const size_t max_post = std::min(back, len - pre);
    const size_t tries[3] = {max_post, max_post > 0 ? max_post - 1 : 0, 0};
    for (size_t post : tries) {
      const size_t cost = len - pre - post + (pre > 0) + (post > 0);
      if (cost >= 2 && cost < best_cost) {
        best_cost = cost;
        best_pre = pre;
        best_post = post;
      }
    }
  }
  if (best_pre > 0) out->push_back(static_cast<char>(best_pre));
  out->append(value.substr(best_pre, len - best_pre - best_post));
  if (best_post > 0) out->push_back(static_cast<char>(best_post));
}

// ---------------------------------------------------------------------------
// Numeric columns

void NumberColumnEncoder::Reset() { values_.clear(); }

void NumberColumnEncoder::Finish(std::string* out) {
  const size_t start = out->size();
  PutFixed32(out, 0);
  EncodeCodes(values_, out);
  out->push_back('\0');
  EncodeFixed32(reinterpret_cast<uint8_t*>(&(*out)[start]), static_cast<uint32_t>(out->size() - start));
  Reset();
}

void NumberColumnEncoder::EncodeCodes(const std::vector<uint32_t>& values, std::string* out) {
  int64_t v = 0, d = 0;
  size_t i = 0;
  const size_t n = values.size();
  // How many of the next values continue v with `step`.
  auto run_with = [&](int64_t step) {
    size_t r = 0;
    int64_t x = v;
    while (i + r < n) {
      x += step;
      if (static_cast<int64_t>(values[i + r]) != x) break;
      ++r;
    }
    return r;
  };
  while (i < n) {
    struct Option {
      size_t count;
      uint64_t code;
    };
    // Runs: tag 3 continues the current step; tag 2 repeats (step 0) or counts
    // up (step 1). Otherwise one delta (tag 0 up, tag 1 down) that also sets
    // the step for a later tag 3.
    const size_t r3 = run_with(d);
    const size_t r0 = d == 0 ? r3 : run_with(0);
    const size_t r1 = d == 1 ? r3 : run_with(1);
    const int64_t delta = static_cast<int64_t>(values[i]) - v;
    const uint64_t magnitude = static_cast<uint64_t>(delta < 0 ? -delta : delta);
    Option options[4] = {
        {r3, 4 * static_cast<uint64_t>(r3) + 3},
        {r0, r0 ? 4 * (2 * static_cast<uint64_t>(r0 - 1)) + 2 : 0},
        {r1, r1 ? 4 * (2 * static_cast<uint64_t>(r1 - 1) + 1) + 2 : 0},
        {1, 4 * magnitude + (delta < 0 ? 1 : 0)},
    };
    int best = 3;
    for (int k = 0; k < 3; ++k) {
      const Option& o = options[k];
      if (o.count == 0) continue;
      const Option& b = options[best];
      if (o.count > b.count ||
          (o.count == b.count && VarLength(static_cast<uint32_t>(o.code)) <
                                     VarLength(static_cast<uint32_t>(b.code)))) {
        best = k;
      }
    }
    PutVarMode0(out, static_cast<uint32_t>(options[best].code));
    switch (best) {
      case 0:
        v += d * static_cast<int64_t>(r3);
        break;
      case 1:
        d = 0;
        break;
      case 2:
        d = 1;
        v += static_cast<int64_t>(r1);
        break;
      default:
        d = delta;
        v = values[i];
        break;
    }
    i += options[best].count;
  }
}

// ---------------------------------------------------------------------------
// Number fields

std::string AssembleNumberField(const NumberFieldParts& parts, NumberFormat format, int width,
                                int length) {
  const size_t limit = static_cast<size_t>(length);
  std::string text(TrimBlanks(parts.prefix).substr(0, limit));
  const std::string number = FormatNumber(parts.number, format, width);
  if (number != "0") {
    text += number;
    if (text.size() > limit) text.resize(limit);
  }
  text += TrimBlanks(parts.postfix);
  if (text.size() > limit) text.erase(0, text.size() - limit);
  text.resize(limit, ' ');
  return text;
}

bool SplitNumberField(std::string_view field, NumberFormat format, int width,
                      NumberFieldParts* parts) {
  const int length = static_cast<int>(field.size());
  NumberFieldParts candidate;
  auto exact = [&](std::string_view prefix, uint32_t number, std::string_view postfix) {
    candidate.prefix.assign(TrimBlanks(prefix));
    candidate.number = number;
    candidate.postfix.assign(TrimBlanks(postfix));
    if (AssembleNumberField(candidate, format, width, length) != field) return false;
    *parts = std::move(candidate);
    return true;
  };

  const std::string_view text = TrimRightBlanks(field);
  const size_t first = std::find_if(text.begin(), text.end(), IsDigit) - text.begin();
  if (first < text.size()) {
    size_t end = first;
    while (end < text.size() && IsDigit(text[end])) ++end;
    uint32_t number = 0;
    if (ParseDigits(text.substr(first, end - first), &number) &&
        exact(text.substr(0, first), number, text.substr(end))) {
      return true;
    }
    size_t zeros = first;
    while (zeros < end && text[zeros] == '0') ++zeros;
    if (zeros > first && ParseDigits(text.substr(zeros, end - zeros), &number) &&
        exact(text.substr(0, zeros), number, text.substr(end))) {
      return true;
    }
  }
  if (exact(text, 0, {})) return true;
  // Built by appending: GCC 12 reports a false -Wrestrict on "#" + std::string
  // once the concatenation is inlined at -O2 and above.
  std::string marked;
  marked.reserve(text.size() + 1);
  marked.push_back('#');
  marked.append(text);
  return exact({}, 0, marked);
}

}  // namespace corvdb::builder
