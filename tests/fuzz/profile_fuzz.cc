// Fuzzes the profile reader and writer with arbitrary file contents.
//
// For each input: the line list must give back the input byte for byte; the
// direct reader must agree with the line list; every read through the file
// must agree with them and respect the buffer size; a written value must read
// back as the reader presents it (first line, trimmed, unquoted), every other
// key must keep its value, and every other line its bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/profile.h"
#include "platform/profile_document.h"
#include "test_support.h"

namespace {

using corvellan::ProfileDocument;

#define FUZZ_CHECK(condition)                                                  \
  do {                                                                         \
    if (!(condition)) {                                                        \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                            \
    }                                                                          \
  } while (false)

using Probe = std::pair<std::string, std::string>;  // section, key

// Section/key pairs worth reading: fixed names plus the names the input uses.
std::vector<Probe> Probes(const ProfileDocument& doc) {
  std::vector<Probe> probes{{"General Settings", "Whats New"}, {"Directories", "Data"}, {"S", "k"}};
  std::string section;
  for (const corvellan::ProfileLine& line : doc.lines()) {
    if (probes.size() >= 40) break;
    const corvellan::ProfileLineInfo info = corvellan::ClassifyProfileLine(line.text);
    if (info.kind == corvellan::ProfileLineKind::kSection) {
      section = info.name;
      probes.emplace_back(section, "k");
    } else if (info.kind == corvellan::ProfileLineKind::kEntry && !section.empty()) {
      probes.emplace_back(section, info.name);
    }
  }
  return probes;
}

std::vector<std::optional<std::string>> ReadAll(const ProfileDocument& doc,
                                                const std::vector<Probe>& probes) {
  std::vector<std::optional<std::string>> values;
  for (const auto& [section, key] : probes) {
    const auto found = doc.Find(section, key);
    values.push_back(found ? std::optional<std::string>(std::string(*found)) : std::nullopt);
  }
  return values;
}

// The value a reader sees after `value` was written.
std::string AsRead(std::string_view value) {
  return std::string(
      corvellan::UnquoteProfileValue(corvellan::TrimProfileBlanks(corvellan::FirstProfileLine(value))));
}

// Splits the input's first bytes off as parameters of the write.
struct WriteCase {
  std::string section;
  std::string key;
  std::string value;
};

WriteCase ChooseWrite(std::string_view input, const std::vector<Probe>& probes) {
  WriteCase write{"General Settings", "Whats New", ""};
  if (input.empty()) return write;
  const unsigned char selector = static_cast<unsigned char>(input[0]);
  const std::size_t pick = selector % probes.size();
  if (corvellan::IsWritableProfileSection(probes[pick].first) &&
      corvellan::IsWritableProfileKey(probes[pick].second)) {
    write.section = probes[pick].first;
    write.key = probes[pick].second;
  }
  // The value: either raw bytes from the end of the input or a tame text.
  const std::size_t length = std::min<std::size_t>(input.size() - 1, (selector >> 3) % 24);
  const std::string_view tail = input.substr(input.size() - length);
  if (selector & 1) {
    write.value.assign(tail);
  } else {
    static constexpr char kAlphabet[] = "ABCxyz0189._/-";
    for (const char c : tail) {
      write.value.push_back(kAlphabet[static_cast<unsigned char>(c) % (sizeof kAlphabet - 1)]);
    }
  }
  return write;
}

// Changing a key alters at most its own line; adding one only inserts lines
// (and gives an unterminated last line its ending).
bool KeepsOtherLines(const ProfileDocument& original, const ProfileDocument& edited, bool key_existed) {
  const auto& old_lines = original.lines();
  const auto& new_lines = edited.lines();
  if (key_existed) {
    if (old_lines.size() != new_lines.size()) return false;
    std::size_t changed = 0;
    for (std::size_t i = 0; i < old_lines.size(); ++i) {
      if (old_lines[i].ending != new_lines[i].ending) return false;
      if (old_lines[i].text == new_lines[i].text) continue;
      const std::size_t equals = old_lines[i].text.find('=');
      if (++changed > 1 || equals == std::string::npos ||
          new_lines[i].text.compare(0, equals + 1, old_lines[i].text, 0, equals + 1) != 0) {
        return false;
      }
    }
    return true;
  }
  if (new_lines.size() <= old_lines.size()) return false;
  std::size_t j = 0;
  for (std::size_t i = 0; i < old_lines.size(); ++i, ++j) {
    const bool last = i + 1 == old_lines.size();
    auto same = [&](const corvellan::ProfileLine& line) {
      return line.text == old_lines[i].text &&
             (line.ending == old_lines[i].ending || (last && line.ending.starts_with(old_lines[i].ending)));
    };
    while (j < new_lines.size() && !same(new_lines[j])) ++j;
    if (j == new_lines.size()) return false;
  }
  return true;
}

const corvellan::test::TempDir& Scratch() {
  static const corvellan::test::TempDir dir;
  return dir;
}

}  // namespace

// Runs on its own empty settings folder, never the user's.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  corvellan::test::UsePrivateSettings();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);

  // In memory: exact round trip, and a write that changes only its own key.
  const ProfileDocument original(input);
  FUZZ_CHECK(original.Serialize() == input);
  const std::vector<Probe> probes = Probes(original);
  const auto before = ReadAll(original, probes);
  for (std::size_t i = 0; i < probes.size(); ++i) {
    const auto direct = corvellan::FindProfileValue(input, probes[i].first, probes[i].second);
    FUZZ_CHECK(direct.has_value() == before[i].has_value() && (!direct || *direct == *before[i]));
  }
  const WriteCase write = ChooseWrite(input, probes);

  ProfileDocument edited(input);
  edited.Set(write.section, write.key, write.value);
  FUZZ_CHECK(edited.Find(write.section, write.key) == std::optional<std::string_view>(AsRead(write.value)));
  const auto after = ReadAll(edited, probes);
  for (std::size_t i = 0; i < probes.size(); ++i) {
    const bool same_pair = corvellan::ProfileNamesEqual(corvellan::TrimProfileBlanks(probes[i].first),
                                                        corvellan::TrimProfileBlanks(write.section)) &&
                           corvellan::ProfileNamesEqual(corvellan::TrimProfileBlanks(probes[i].second),
                                                        corvellan::TrimProfileBlanks(write.key));
    if (!same_pair) FUZZ_CHECK(before[i] == after[i]);
  }
  FUZZ_CHECK(KeepsOtherLines(original, edited, original.Find(write.section, write.key).has_value()));
  const std::string edited_text = edited.Serialize();
  FUZZ_CHECK(ProfileDocument(edited_text).Serialize() == edited_text);

  // Through the file: reads with various buffer sizes, then the same write.
  const std::string path = Scratch().file("fuzz.ini");
  corvellan::test::WriteFile(path, input);
  for (std::size_t p = 0; p < probes.size() && p < 6; ++p) {
    for (const std::size_t buffer_size : {std::size_t{0}, std::size_t{1}, std::size_t{2}, std::size_t{16},
                                          std::size_t{128}, std::size_t{256}}) {
      const std::string value =
          corvellan::GetProfileString(path, probes[p].first, probes[p].second, "fallback", buffer_size);
      FUZZ_CHECK(value.size() + 1 <= std::max<std::size_t>(buffer_size, 1));
      const std::string expected = before[p].value_or("fallback");
      FUZZ_CHECK(value == expected.substr(0, buffer_size > 0 ? buffer_size - 1 : 0));
    }
  }
  FUZZ_CHECK(corvellan::WriteProfileString(path, write.section, write.key, write.value));
  FUZZ_CHECK(corvellan::test::ReadFile(path) == edited_text);
  FUZZ_CHECK(corvellan::GetProfileString(path, write.section, write.key, "fallback", SIZE_MAX) ==
             AsRead(write.value));
  return 0;
}
