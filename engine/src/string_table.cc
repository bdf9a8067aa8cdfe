#include "string_table.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "record_fields.h"
#include "coding.h"
#include "vl_number.h"

namespace corvdb {

namespace {
// What one run's value and length entries cost in the block's memory budget.
constexpr uint64_t kRunCost = sizeof(std::string_view) + sizeof(uint64_t);
}  // namespace

char* ValueArena::allocate(std::size_t n) {
  if (n > kLastChunk / 4) {
    oversized_.push_back({std::make_unique<char[]>(n), n});
    held_ += n;
    return oversized_.back().data.get();
  }
  while (current_ < chunks_.size() && used_ + n > chunks_[current_].size) {
    ++current_;
    used_ = 0;
  }
  if (current_ == chunks_.size()) {
    // n is at most a quarter of the largest chunk.
    const std::size_t size = std::max(n, chunks_.empty() ? kFirstChunk : std::min(kLastChunk, chunks_.back().size * 2));
    chunks_.push_back({std::make_unique<char[]>(size), size});
    held_ += size;
    used_ = 0;
  }
  char* p = chunks_[current_].data.get() + used_;
  used_ += n;
  return p;
}

void ValueArena::reset() {
  current_ = 0;
  used_ = 0;
  for (const Chunk& c : oversized_) held_ -= c.size;
  oversized_.clear();
}

void stringTable::startBlock(const uint8_t* data, const uint8_t* limit, uint32_t rows) {
  s_.data = data;
  s_.limit = limit;
  s_.rows = rows;
  s_.cursor = data;
  s_.damaged = data == nullptr || limit == nullptr || data > limit;
  s_.values.clear();
  s_.runEnds.clear();
  s_.arena.reset();
  s_.lastRun = 0;
  s_.useLists = false;
  s_.rewinds = 0;
  s_.forwardCursor = nullptr;
  s_.forwardDamaged = false;
  s_.runBegin = 0;
  s_.runEnd = 0;
  s_.valueCount = 0;
  if (s_.recent) s_.recent->cutValue = 0;
  s_.restartGroups();
  s_.matched.clear();
  s_.matchedNext = 0;
}

bool stringTable::loadBlock() { return loadEntries(entryCount()); }

bool stringTable::loadEntries(uint64_t n) {
  s_.useLists = true;
  return ensure(std::min(n, entryCount()));
}

bool stringTable::ensure(uint64_t needed) {
  while (s_.runEnds.empty() ? needed > 0 : s_.runEnds.back() < needed) {
    if (!decodeRun()) return false;
  }
  return true;
}

namespace {
// One run of a text column: its value bytes and its length.
struct Run {
  const uint8_t* bytes;
  std::size_t n;
  uint32_t countMinusOne;
};

// Reads the run at `p`; the address after it, or nullptr when the data ends
// inside it.
const uint8_t* ReadRun(const uint8_t* p, const uint8_t* limit, Run* run) {
  const uint8_t* end = ValueBytesEnd(p, limit);
  run->bytes = p;
  run->n = static_cast<std::size_t>(end - p);
  return vlNumber::readNumber(end, limit, vlNumber::kMode2, &run->countMinusOne);
}

// A value is text and ends at a byte 0.
std::string_view CutAtZero(std::string_view v) {
  const void* nul = v.empty() ? nullptr : std::memchr(v.data(), 0, v.size());
  return nul ? v.substr(0, static_cast<std::size_t>(static_cast<const char*>(nul) - v.data())) : v;
}

// Whether a run's value bytes take parts of the previous value.
bool TakesFromPrevious(const uint8_t* bytes, std::size_t n) {
  return n >= 2 && (bytes[0] < 32 || (bytes[n - 1] >= 1 && bytes[n - 1] <= 31));
}

// The value of a run whose bytes are not a repeat, read against the previous
// value (cut at its byte 0). Literal text is read in place in the mapped file
// and returned as it stands there, to be cut at a byte 0 by the caller
// (CutAtZero); a value built from parts of the previous one goes to the
// arena, charged to the budget, and is cut. False when the budget is spent.
bool BuildValue(const Run& run, std::string_view previous, ValueArena& arena, DecodeBudget& budget,
                std::string_view* value) {
  const uint8_t* bytes = run.bytes;
  const std::size_t n = run.n;
  if (n == 1 && bytes[0] == 0) {
    *value = std::string_view();
    return true;
  }
  const char* middle = reinterpret_cast<const char*>(bytes);
  std::size_t middle_length = n;
  std::size_t pre = 0;
  std::size_t post = 0;
  if (n >= 2) {
    if (bytes[0] < 32) {
      pre = bytes[0];
      ++middle;
      --middle_length;
    }
    if (bytes[n - 1] >= 1 && bytes[n - 1] <= 31) {
      post = bytes[n - 1];
      --middle_length;
    }
  }
  // The previous value is text: it has no more characters than its length.
  pre = std::min(pre, previous.size());
  post = std::min(post, previous.size());
  if (pre == 0 && post == 0) {
    *value = std::string_view(middle, middle_length);  // not cut yet: see CutAtZero
    return true;
  }
  const std::size_t extra = pre + middle_length + post;
  if (!budget.spend(extra)) return false;
  char* out = arena.allocate(extra);
  // pre + post > 0, so `previous` is not empty.
  std::memcpy(out, previous.data(), pre);
  if (middle_length > 0) std::memcpy(out + pre, middle, middle_length);
  std::memcpy(out + pre + middle_length, previous.data() + previous.size() - post, post);
  *value = FieldText(out, extra);
  return true;
}

bool IsRepeat(const Run& run) { return run.n == 1 && run.bytes[0] >= 1 && run.bytes[0] <= 31; }

// BuildValue against the last of `count` values kept in a ring of 32 (as
// pointers and lengths, literal text not cut yet), for forward reading.
bool BuildFromRecent(const Run& run, const char* const* data, const std::size_t* size, uint64_t count,
                     ValueArena& arena, DecodeBudget& budget, std::string_view* value) {
  const uint64_t last = (count - 1) & 31;
  const std::string_view previous = count > 0 && TakesFromPrevious(run.bytes, run.n)
                                        ? CutAtZero(std::string_view(data[last], size[last]))
                                        : std::string_view();
  return BuildValue(run, previous, arena, budget, value);
}
}  // namespace

bool stringTable::decodeRun() {
  if (s_.damaged) return false;
  Run run;
  const uint8_t* after = ReadRun(s_.cursor, s_.limit, &run);
  if (after == nullptr) {
    s_.damaged = true;
    return false;
  }
  std::string_view value;
  if (IsRepeat(run)) {
    if (run.bytes[0] > s_.values.size()) {
      s_.damaged = true;  // a repeat of a value that was never decoded
      return false;
    }
    value = s_.values[s_.values.size() - run.bytes[0]];
  } else if (!BuildValue(run, s_.values.empty() ? std::string_view() : s_.values.back(), s_.arena, *budget_,
                         &value)) {
    s_.damaged = true;
    return false;
  } else {
    value = CutAtZero(value);
  }
  if (!budget_->spend(kRunCost)) {
    s_.damaged = true;
    return false;
  }
  const uint64_t end = (s_.runEnds.empty() ? 0 : s_.runEnds.back()) + uint64_t{run.countMinusOne} + 1;
  s_.values.push_back(value);
  s_.runEnds.push_back(end);
  s_.cursor = after;
  return true;
}

// Steps over runs one at a time, with the ring of pointers, while the
// current run ends at or before entry k and fewer than `until` values are
// decoded. False when the data is damaged. (On its own, so that the walk's
// position stays in registers.)
bool stringTable::stepRuns(uint64_t k, uint64_t until, TextSteps* at) {
  const uint8_t* p = at->p;
  const uint8_t* const limit = s_.limit;
  uint64_t run_begin = at->runBegin;
  uint64_t run_end = at->runEnd;
  uint64_t count = at->count;
  const char** const data = s_.recent->data.data();
  std::size_t* const size = s_.recent->size.data();
  constexpr uint64_t kMask = 31;
  bool ok = true;
  while (run_end <= k && count < until) {
    const uint64_t slot = count & kMask;
    uint64_t length = 0;
    if (limit - p >= 3 && p[0] < 0x80 && p[1] >= 0x80 && p[2] < 0x80) {
      // One value byte and a one-byte length: most runs of the code columns.
      // The value is picked without a branch: which kind comes next follows
      // no pattern (a code column repeats its last two or three values).
      const uint8_t b = p[0];
      length = uint64_t{p[1] & 0x7Fu} + 1;
      if (b != 0 && b < 32 && b > count) {
        ok = false;  // a repeat of a value that was never decoded
        break;
      }
      const uint64_t from = (count - b) & kMask;
      const char* repeated = data[from];
      const std::size_t repeated_size = size[from];
      const bool character = b >= 32;
      const bool empty = b == 0;
      data[slot] = character ? reinterpret_cast<const char*>(p) : (empty ? nullptr : repeated);
      size[slot] = character ? 1 : (empty ? 0 : repeated_size);
      p += 2;
    } else {
      Run run;
      const uint8_t* after = ReadRun(p, limit, &run);
      if (after == nullptr) {
        ok = false;
        break;
      }
      if (IsRepeat(run)) {
        if (run.bytes[0] > count) {
          ok = false;
          break;
        }
        const uint64_t from = (count - run.bytes[0]) & kMask;
        data[slot] = data[from];
        size[slot] = size[from];
      } else if (run.n >= 2 && !TakesFromPrevious(run.bytes, run.n)) {
        // Literal text (most long values): read in place, cut where it is used.
        data[slot] = reinterpret_cast<const char*>(run.bytes);
        size[slot] = run.n;
      } else {
        std::string_view value;
        if (!BuildFromRecent(run, data, size, count, s_.arena, *budget_, &value)) {
          ok = false;
          break;
        }
        data[slot] = value.data();
        size[slot] = value.size();
      }
      length = uint64_t{run.countMinusOne} + 1;
      p = after;
    }
    ++count;
    run_begin = run_end;
    run_end += length;
  }
  *at = TextSteps{p, run_begin, run_end, count};
  return ok;
}

bool stringTable::forwardTo(uint64_t k) {
  // The runs are stepped over with the position in registers. The ring of
  // recent values holds literal text as it stands in the file, cut at a byte
  // 0 only where it is used (as the entry asked for, or as the previous value
  // of a run that takes parts of it): most runs passed over are never used.
  // Where simple runs follow one another (the code columns), they are taken
  // eight at a time with the ring held as ids (text_steps.h) for as long as
  // they last, from one call to the next.
  if (s_.forwardDamaged) return false;
  if (!s_.recent) s_.recent = std::make_unique<ColumnState::RecentValues>();
  ColumnState::RecentValues& recent = *s_.recent;
  TextSteps at{s_.forwardCursor != nullptr ? s_.forwardCursor : s_.data, s_.runBegin, s_.runEnd, s_.valueCount};
#if defined(CORVDB_X86_AVX2)
  const bool groups = HasAvx2();
#else
  const bool groups = false;
#endif
  bool ok = true;
  while (ok && at.runEnd <= k) {
#if defined(CORVDB_X86_AVX2)
    if (groups && !s_.idMode && at.count >= s_.idTryAt) {
      // Worth the change of form where two groups come next and the entry
      // asked for is some way off.
      if (at.count >= 32 && k - at.runEnd >= 64 && s_.limit - at.p >= 33 && EightSimpleRuns(at.p) &&
          EightSimpleRuns(at.p + 16)) {
        if (!s_.idRing) s_.idRing = std::make_unique<IdRing>();
        RingToIds(recent.data.data(), recent.size.data(), at.count, s_.idRing.get());
        s_.idMode = true;
        s_.idSince = at.count;
      } else {
        s_.idMisses = std::min(s_.idMisses + 1, 6u);
        s_.idTryAt = at.count + (uint64_t{16} << s_.idMisses);
      }
    }
    if (s_.idMode) {
      at = StepIdRuns(at, s_.limit, k, s_.idRing.get());
      if (at.runEnd > k) break;
      // A run of another shape, or the data's end, comes next: back to the
      // ring of pointers, and the next try later where the stretch was short.
      IdsToRing(*s_.idRing, at.count, recent.data.data(), recent.size.data());
      s_.idMode = false;
      s_.idMisses = at.count - s_.idSince >= 64 ? 0 : std::min(s_.idMisses + 1, 6u);
      s_.idTryAt = at.count + (uint64_t{16} << s_.idMisses);
    }
#endif
    ok = stepRuns(k, groups ? std::max(s_.idTryAt, at.count + 1) : ~uint64_t{0}, &at);
  }
  if (s_.idMode) {
    // The current value where entry() reads it.
    const std::size_t last = (at.count - 1) & 31;
    const std::string_view value = IdValue(*s_.idRing, s_.idRing->ids[31]);
    recent.data[last] = value.data();
    recent.size[last] = value.size();
    recent.cutValue = 0;
  }
  s_.forwardCursor = at.p;
  s_.runBegin = at.runBegin;
  s_.runEnd = at.runEnd;
  s_.valueCount = at.count;
  if (!ok) s_.forwardDamaged = true;
  return ok;
}

bool stringTable::selectRuns(std::string_view key, bool exact, uint64_t rows, BitSet* selected) {
  // The runs are read as forwardTo reads them, with a ring of its own, and
  // each run's value is compared where it stands: no list is kept. As
  // loadBlock would, the whole column must decode.
  const uint64_t entries = entryCount();
  if (s_.damaged || s_.data == nullptr) return entries == 0;
  // A key of text without a byte 0 and without blanks at its end (as search
  // terms are) matches the beginning of a value by its bytes alone.
  const bool plain_key = key.find('\0') == std::string_view::npos && (key.empty() || key.back() != ' ');
  const uint8_t* p = s_.data;
  const uint8_t* const limit = s_.limit;
  const char* data[32];
  std::size_t size[32];
  constexpr uint64_t kMask = 31;
  uint64_t count = 0;
  uint64_t begin = 0;
  s_.matched.clear();
  s_.matchedNext = 0;
  // Whether a value matches. A key without a byte 0 that the value's text
  // begins with (after its leading blanks) lies before any byte 0 of the
  // value, so only a value that begins so is cut and trimmed to be compared
  // whole.
  const auto matches = [&](const char* text, std::size_t n) {
    const char* const whole = text;
    const std::size_t whole_size = n;
    while (n > 0 && *text == ' ') {
      ++text;
      --n;
    }
    bool match = n >= key.size() && (key.empty() || (text[0] == key[0] && std::memcmp(text, key.data(), key.size()) == 0));
    if (match && (exact || !plain_key)) {
      const std::string_view value = trimmed(std::string_view(whole, whole_size));
      match = exact ? value == key : value.substr(0, key.size()) == key;
    }
    return match;
  };
  static constexpr char kEmpty[] = "";
  const bool empty_matches = matches(kEmpty, 0);
  // Bit i: the value in slot i matches, so that a repeat (most runs of the
  // columns with few values) is not compared again.
  uint32_t matching = 0;
  while (begin < entries) {
    const uint64_t slot = count & kMask;
    uint64_t end = begin;
    bool match = false;
    if (limit - p >= 3 && p[0] < 0x80 && p[1] >= 0x80 && p[2] < 0x80) {
      // One value byte and a one-byte length: an empty value, a repeat or
      // one character.
      const uint8_t b = p[0];
      end = begin + uint64_t{p[1] & 0x7Fu} + 1;
      if (b >= 32) {
        data[slot] = reinterpret_cast<const char*>(p);
        size[slot] = 1;
        match = matches(data[slot], 1);
      } else if (b == 0) {
        data[slot] = kEmpty;
        size[slot] = 0;
        match = empty_matches;
      } else {
        if (b > count) return false;  // a repeat of a value that was never decoded
        const uint64_t from = (count - b) & kMask;
        data[slot] = data[from];
        size[slot] = size[from];
        match = ((matching >> from) & 1u) != 0;
      }
      p += 2;
    } else {
      Run run;
      const uint8_t* after = ReadRun(p, limit, &run);
      if (after == nullptr) return false;
      if (IsRepeat(run)) {
        if (run.bytes[0] > count) return false;
        const uint64_t from = (count - run.bytes[0]) & kMask;
        data[slot] = data[from];
        size[slot] = size[from];
        match = ((matching >> from) & 1u) != 0;
      } else if (run.n >= 2 && !TakesFromPrevious(run.bytes, run.n)) {
        // Literal text (most long values): compared where it stands.
        data[slot] = reinterpret_cast<const char*>(run.bytes);
        size[slot] = run.n;
        match = matches(data[slot], size[slot]);
      } else {
        std::string_view value;
        if (!BuildFromRecent(run, data, size, count, s_.arena, *budget_, &value)) return false;
        data[slot] = value.empty() ? kEmpty : value.data();  // literal text not cut at a byte 0 yet
        size[slot] = value.size();
        match = matches(data[slot], size[slot]);
      }
      end = begin + uint64_t{run.countMinusOne} + 1;
      p = after;
    }
    matching = (matching & ~(1u << slot)) | (uint32_t{match} << slot);
    if (match && begin < rows) {
      selected->setRange(begin, std::min(end, rows) - 1);
      if (s_.matched.size() < ColumnState::kMatchedRuns) {
        s_.matched.push_back({begin, end, CutAtZero(std::string_view(data[slot], size[slot]))});
      }
    }
    ++count;
    begin = end;
  }
  return true;
}

bool stringTable::matchedValue(uint64_t k, std::string_view* value) {
  const std::vector<ColumnState::MatchedRun>& runs = s_.matched;
  std::size_t i = s_.matchedNext;
  if (i >= runs.size() || k < runs[i].begin) i = 0;
  while (i < runs.size() && runs[i].end <= k) ++i;
  s_.matchedNext = i;
  if (i == runs.size() || k < runs[i].begin) return false;
  *value = runs[i].value;
  return true;
}

bool stringTable::entry(uint64_t k, std::string_view* value) {
  if (k >= entryCount()) return false;
  // (selectRuns decoded the whole column, so a matched run's value stands.)
  if (!s_.matched.empty() && matchedValue(k, value)) return true;
  if (!s_.useLists && s_.runEnds.empty()) {
    if (k >= s_.runBegin) {
      if (s_.runEnd <= k && !forwardTo(k)) return false;
      // The current value, cut at a byte 0 once and kept cut.
      ColumnState::RecentValues& recent = *s_.recent;
      const std::size_t last = (s_.valueCount - 1) % recent.size.size();
      if (recent.cutValue != s_.valueCount) {
        recent.size[last] = CutAtZero(std::string_view(recent.data[last], recent.size[last])).size();
        recent.cutValue = s_.valueCount;
      }
      *value = std::string_view(recent.data[last], recent.size[last]);
      return true;
    }
    if (s_.rewinds == 0) {
      // An entry before the current run: start over once.
      ++s_.rewinds;
      s_.forwardCursor = nullptr;
      s_.forwardDamaged = false;
      s_.runBegin = 0;
      s_.runEnd = 0;
      s_.valueCount = 0;
      if (s_.recent) s_.recent->cutValue = 0;
      s_.restartGroups();
      return entry(k, value);
    }
    // The block is read out of order: the lists are decoded and kept from here on.
    s_.useLists = true;
  }
  if (!ensure(k + 1)) return false;
  // Most callers walk the entries in order: try the last run and the next one
  // before searching.
  std::size_t run = s_.lastRun;
  if (run >= s_.runEnds.size()) run = 0;
  const auto covers = [this](std::size_t i, uint64_t e) {
    return e < s_.runEnds[i] && (i == 0 || e >= s_.runEnds[i - 1]);
  };
  if (!covers(run, k)) {
    if (run + 1 < s_.runEnds.size() && covers(run + 1, k)) {
      ++run;
    } else {
      run = static_cast<std::size_t>(std::upper_bound(s_.runEnds.begin(), s_.runEnds.end(), k) - s_.runEnds.begin());
    }
  }
  s_.lastRun = run;
  *value = s_.values[run];
  return true;
}

bool stringTable::getRow(char* record, uint32_t row) {
  std::string_view value;
  if (!entry(row, &value)) return false;
  const ColumnSpec& s = spec();
  PutText(record + s.offset, static_cast<std::size_t>(s.length), value, ' ');
  return true;
}

bool prefixPart::getRow(char* record, uint32_t row) {
  std::string_view low;
  std::string_view high;
  if (!entry(uint64_t{row} * 2, &low) || !entry(uint64_t{row} * 2 + 1, &high)) return false;
  const ColumnSpec& s = spec();
  PutField(record + s.offset, static_cast<std::size_t>(s.length), trimmed(low), '\0');
  PutField(record + s.highOffset, static_cast<std::size_t>(s.highLength), trimmed(high), '\0');
  return true;
}

namespace {
// The field's current text + the postfix; when that is longer than the field
// the rightmost characters are kept. Padded with blanks.
void AppendPostfix(char* field, std::size_t length, std::string_view postfix) {
  std::string text(FieldText(field, length));
  text.append(postfix);
  if (text.size() > length) text.erase(0, text.size() - length);
  PutField(field, length, text, ' ');
}
}  // namespace

bool postfixPart::getRow(char* record, uint32_t row) {
  std::string_view low;
  std::string_view high;
  if (!entry(uint64_t{row} * 2, &low) || !entry(uint64_t{row} * 2 + 1, &high)) return false;
  const ColumnSpec& s = spec();
  AppendPostfix(record + s.offset, static_cast<std::size_t>(s.length), trimmed(low));
  AppendPostfix(record + s.highOffset, static_cast<std::size_t>(s.highLength), trimmed(high));
  return true;
}

}  // namespace corvdb
