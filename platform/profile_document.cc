#include "platform/profile_document.h"

#include <utility>

namespace corvellan {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

}  // namespace

std::string_view TrimProfileBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::string_view UnquoteProfileValue(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

bool ProfileNamesEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

bool IsWritableProfileSection(std::string_view section) {
  section = TrimProfileBlanks(section);
  return !section.empty() && !HasLineBreak(section);
}

bool IsWritableProfileKey(std::string_view key) {
  key = TrimProfileBlanks(key);
  return !key.empty() && !HasLineBreak(key) && key.find('=') == std::string_view::npos &&
         key.front() != ';' && key.front() != '[';
}

std::string_view FirstProfileLine(std::string_view value) {
  return value.substr(0, value.find_first_of("\r\n"));
}

ProfileLineInfo ClassifyProfileLine(std::string_view text) {
  ProfileLineInfo info;
  const std::string_view trimmed = TrimProfileBlanks(text);
  if (trimmed.empty()) {
    info.kind = ProfileLineKind::kBlank;
    return info;
  }
  if (trimmed.front() == ';') {
    info.kind = ProfileLineKind::kComment;
    return info;
  }
  if (trimmed.front() == '[') {
    const std::size_t close = trimmed.rfind(']');
    if (close != std::string_view::npos) {
      info.kind = ProfileLineKind::kSection;
      info.name = TrimProfileBlanks(trimmed.substr(1, close - 1));
      return info;
    }
    // An unclosed "[" is no header; the line is read like any other.
  }
  const std::size_t equals = text.find('=');
  if (equals == std::string_view::npos) return info;
  const std::string_view key = TrimProfileBlanks(text.substr(0, equals));
  if (key.empty()) return info;
  std::size_t offset = equals + 1;
  while (offset < text.size() && IsBlank(text[offset])) ++offset;
  info.kind = ProfileLineKind::kEntry;
  info.name = key;
  info.value_offset = offset;
  info.value = TrimProfileBlanks(text.substr(offset));
  return info;
}

ProfileLineView NextProfileLine(std::string_view bytes, std::size_t* pos) {
  const std::size_t start = *pos;
  const std::size_t newline = bytes.find('\n', start);
  ProfileLineView line;
  if (newline == std::string_view::npos) {
    std::size_t end = bytes.size();
    // A lone CR at the very end is a CR LF that was never finished.
    if (end > start && bytes[end - 1] == '\r') --end;
    line.text = bytes.substr(start, end - start);
    line.ending = bytes.substr(end);
    *pos = bytes.size();
  } else {
    const std::size_t end = newline > start && bytes[newline - 1] == '\r' ? newline - 1 : newline;
    line.text = bytes.substr(start, end - start);
    line.ending = bytes.substr(end, newline + 1 - end);
    *pos = newline + 1;
  }
  return line;
}

ProfileLocator::ProfileLocator(std::string_view section, std::string_view key)
    : section_(TrimProfileBlanks(section)), key_(TrimProfileBlanks(key)) {
  done_ = section_.empty() || key_.empty();
}

bool ProfileLocator::Feed(std::string_view text) {
  const std::size_t index = index_++;
  if (done_) return false;
  const ProfileLineInfo info = ClassifyProfileLine(text);
  if (info.kind == ProfileLineKind::kSection) {
    if (inside_) {
      // Only the first section of the name counts; its end is the end of the search.
      done_ = true;
      return false;
    }
    if (ProfileNamesEqual(info.name, section_)) {
      inside_ = true;
      header_ = last_content_ = index;
    }
    return true;
  }
  if (!inside_) return true;
  if (info.kind != ProfileLineKind::kBlank && info.kind != ProfileLineKind::kComment) last_content_ = index;
  if (info.kind == ProfileLineKind::kEntry && entry_ == kNone && ProfileNamesEqual(info.name, key_)) {
    entry_ = index;
    entry_info_ = info;
  }
  return true;
}

std::optional<std::string_view> FindProfileValue(std::string_view bytes, std::string_view section,
                                                 std::string_view key) {
  ProfileLocator locator(section, key);
  std::size_t pos = 0;
  while (pos < bytes.size() && locator.entry() == ProfileLocator::kNone) {
    if (!locator.Feed(NextProfileLine(bytes, &pos).text)) break;
  }
  if (locator.entry() == ProfileLocator::kNone) return std::nullopt;
  return UnquoteProfileValue(locator.entry_info().value);
}

ProfileDocument::ProfileDocument(std::string_view bytes) {
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    const ProfileLineView line = NextProfileLine(bytes, &pos);
    if (lines_.empty() && line.ending.ends_with('\n')) line_ending_ = line.ending;
    lines_.push_back({std::string(line.text), std::string(line.ending)});
  }
}

std::string ProfileDocument::Serialize() const {
  std::size_t size = 0;
  for (const ProfileLine& line : lines_) size += line.text.size() + line.ending.size();
  std::string bytes;
  bytes.reserve(size);
  for (const ProfileLine& line : lines_) {
    bytes += line.text;
    bytes += line.ending;
  }
  return bytes;
}

ProfileLocator ProfileDocument::Locate(std::string_view section, std::string_view key) const {
  ProfileLocator locator(section, key);
  for (const ProfileLine& line : lines_) {
    if (!locator.Feed(line.text)) break;
  }
  return locator;
}

std::optional<std::string_view> ProfileDocument::Find(std::string_view section, std::string_view key) const {
  const ProfileLocator locator = Locate(section, key);
  if (locator.entry() == ProfileLocator::kNone) return std::nullopt;
  return UnquoteProfileValue(locator.entry_info().value);
}

void ProfileDocument::Terminate(std::size_t index) {
  std::string& ending = lines_[index].ending;
  if (ending.empty()) {
    ending = line_ending_;
  } else if (ending == "\r") {
    ending = "\r\n";
  }
}

bool ProfileDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
  if (!IsWritableProfileSection(section) || !IsWritableProfileKey(key)) return false;
  section = TrimProfileBlanks(section);
  key = TrimProfileBlanks(key);
  value = FirstProfileLine(value);
  const ProfileLocator locator = Locate(section, key);

  if (locator.header() == ProfileLocator::kNone) {
    if (!lines_.empty()) {
      Terminate(lines_.size() - 1);
      if (ClassifyProfileLine(lines_.back().text).kind != ProfileLineKind::kBlank) {
        lines_.push_back({"", line_ending_});
      }
    }
    // Appended piece by piece: GCC 12 warns (-Wrestrict, a false positive) on
    // "[" + std::string(...) once the concatenation is inlined at -O2 and above.
    std::string header;
    header.reserve(section.size() + 2);
    header.push_back('[');
    header.append(section);
    header.push_back(']');
    lines_.push_back({std::move(header), line_ending_});
    lines_.push_back({std::string(key) + "=" + std::string(value), line_ending_});
    return true;
  }

  if (locator.entry() != ProfileLocator::kNone) {
    std::string& text = lines_[locator.entry()].text;
    const std::size_t offset = locator.entry_info().value_offset;
    if (std::string_view(text).substr(offset) == value) return false;
    text.replace(offset, std::string::npos, value);
    return true;
  }

  const std::size_t last = locator.last_content();
  Terminate(last);
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(last + 1),
                ProfileLine{std::string(key) + "=" + std::string(value), line_ending_});
  return true;
}

}  // namespace corvellan
