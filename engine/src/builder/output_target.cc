#include "builder/output_target.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "places_format.h"

namespace corvdb::builder {

namespace fs = std::filesystem;

namespace {

constexpr int kMaxLinks = 40;  // as the kernel's own limit for a path

std::string Why() { return std::strerror(errno); }

// Follows `path` through symbolic links to a name that is not a link (it may
// not exist). False when the chain is too long or a link cannot be read.
bool FollowLinks(std::string path, std::string* end, std::string* error) {
  for (int i = 0; i <= kMaxLinks; ++i) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
      *end = path;
      return true;
    }
    std::error_code ec;
    const fs::path target = fs::read_symlink(path, ec);
    if (ec) {
      *error = path + ": cannot read the symbolic link: " + ec.message();
      return false;
    }
    path = target.is_absolute() ? target.string() : (fs::path(path).parent_path() / target).string();
  }
  *error = path + ": too many levels of symbolic links";
  return false;
}

// A path that is not an existing regular file or a (replaceable) symbolic
// link: "" when it is fine.
std::string NotReplaceable(const std::string& path, const struct stat& st) {
  if (S_ISDIR(st.st_mode)) return path + ": is a folder, not a file";
  if (!S_ISREG(st.st_mode)) {
    return path + ": not a regular file (a device, pipe or socket is never replaced)";
  }
  return {};
}

}  // namespace

void OutputTarget::RemoveCreatedFolders() const {
  for (auto it = created.rbegin(); it != created.rend(); ++it) {
    if (rmdir(it->c_str()) != 0) break;
  }
}

bool PrepareOutput(const std::string& output, const std::vector<std::string>& inputs, OutputTarget* target,
                   std::string* error) {
  *target = OutputTarget();
  if (output.empty()) {
    *error = "no output file given";
    return false;
  }
  if (!FollowLinks(output, &target->path, error)) return false;
  target->checksum = target->path + ".sha256";
  target->places = target->path + kPlacesFileSuffix;

  struct stat st {};
  if (stat(target->path.c_str(), &st) == 0) {
    if (std::string why = NotReplaceable(target->path, st); !why.empty()) {
      *error = why;
      return false;
    }
    target->exists = true;
    target->mode = st.st_mode & 07777;
    target->uid = st.st_uid;
    target->gid = st.st_gid;
    for (const std::string& input : inputs) {
      struct stat in {};
      if (stat(input.c_str(), &in) == 0 && in.st_dev == st.st_dev && in.st_ino == st.st_ino) {
        *error = "the output " + output + " is the input file " + input +
                 (input == output ? "" : " under another name") + "; nothing was written";
        return false;
      }
    }
  } else if (errno != ENOENT && errno != ENOTDIR) {
    *error = target->path + ": " + Why();
    return false;
  }
  struct stat sum {};
  if (lstat(target->checksum.c_str(), &sum) == 0 && !S_ISLNK(sum.st_mode)) {
    if (std::string why = NotReplaceable(target->checksum, sum); !why.empty()) {
      *error = why;
      return false;
    }
    for (const std::string& input : inputs) {
      struct stat in {};
      if (stat(input.c_str(), &in) == 0 && in.st_dev == sum.st_dev && in.st_ino == sum.st_ino) {
        *error = "the checksum file " + target->checksum + " is the input file " + input + "; nothing was written";
        return false;
      }
    }
  }

  // Missing folders, outermost first.
  std::vector<fs::path> missing;
  for (fs::path dir = fs::path(target->path).parent_path(); !dir.empty(); dir = dir.parent_path()) {
    struct stat d {};
    if (stat(dir.c_str(), &d) == 0) {
      if (!S_ISDIR(d.st_mode)) {
        *error = dir.string() + ": not a folder, so " + target->path + " cannot be written";
        return false;
      }
      break;
    }
    if (errno != ENOENT && errno != ENOTDIR) {
      *error = dir.string() + ": " + Why();
      return false;
    }
    missing.insert(missing.begin(), dir);
    if (dir == dir.parent_path()) break;
  }
  for (const fs::path& dir : missing) {
    if (mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST) {
      *error = "cannot create the folder " + dir.string() + " for " + target->path + ": " + Why();
      target->RemoveCreatedFolders();
      return false;
    }
    target->created.push_back(dir.string());
  }
  return true;
}

}  // namespace corvdb::builder
