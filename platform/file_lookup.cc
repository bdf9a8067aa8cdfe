#include "platform/file_lookup.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <string_view>
#include <vector>

#include "platform/profile_document.h"

namespace corvellan {

namespace {

enum class Need { kAnything, kDirectory };

bool Exists(const std::string& path, Need need) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return false;
  return need == Need::kAnything || S_ISDIR(st.st_mode);
}

std::string Join(const std::string& base, const std::string& name) {
  if (base.empty()) return name;
  if (base.back() == '/') return base + name;
  return base + "/" + name;
}

// Names in `dir` (the current directory when empty) equal to `name` without
// regard to case, other than `name` itself, in byte order.
std::vector<std::string> CaseVariants(const std::string& dir, const std::string& name) {
  std::vector<std::string> variants;
  DIR* stream = opendir(dir.empty() ? "." : dir.c_str());
  if (stream == nullptr) return variants;
  while (const dirent* entry = readdir(stream)) {
    const std::string_view candidate(entry->d_name);
    if (candidate != name && ProfileNamesEqual(candidate, name)) variants.emplace_back(candidate);
  }
  closedir(stream);
  std::sort(variants.begin(), variants.end());
  return variants;
}

std::optional<std::string> Walk(const std::string& base, const std::vector<std::string>& components,
                                std::size_t index) {
  if (index == components.size()) return base;
  const Need need = index + 1 == components.size() ? Need::kAnything : Need::kDirectory;
  const std::string& name = components[index];
  std::vector<std::string> candidates{name};
  for (std::string& variant : CaseVariants(base, name)) candidates.push_back(std::move(variant));
  for (const std::string& candidate : candidates) {
    const std::string path = Join(base, candidate);
    if (!Exists(path, need)) continue;
    if (auto found = Walk(path, components, index + 1)) return found;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> FindFileNoCase(const std::string& dir, const std::string& relative) {
  std::vector<std::string> components;
  std::size_t start = 0;
  while (start <= relative.size()) {
    std::size_t slash = relative.find('/', start);
    if (slash == std::string::npos) slash = relative.size();
    const std::string component = relative.substr(start, slash - start);
    if (!component.empty() && component != ".") components.push_back(component);
    start = slash + 1;
  }
  if (components.empty()) return std::nullopt;
  return Walk(dir, components, 0);
}

}  // namespace corvellan
