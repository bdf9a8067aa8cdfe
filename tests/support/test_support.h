// Small helpers shared by the tests: temporary directories, files, processes.
#pragma once

#include <string>
#include <vector>

namespace corvellan::test {

// $TMPDIR, or /tmp when it is not set.
std::string TempRoot();

// A fresh directory under $TMPDIR, removed with everything in it on destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Sets an environment variable for the lifetime of the object, then restores it.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::string old_;
  bool had_old_;
};

// Points HOME and XDG_CONFIG_HOME at a fresh empty folder under $TMPDIR for
// the rest of the process (removed at exit), so that nothing reads or writes
// the user's settings. For programs that do not run under CTest's
// environment, such as the fuzz targets run by hand.
void UsePrivateSettings();

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);
bool FileExists(const std::string& path);

struct CommandResult {
  int exit_code = -1;  // -1 when the process did not exit normally
  std::string out;     // stdout
  std::string err;     // stderr
};
// Runs argv[0] with the arguments (no shell), capturing both streams.
CommandResult RunCommand(const std::vector<std::string>& argv);

// Paths of the source tree and of the build's bin directory.
std::string SourceDir();
std::string BinDir();

}  // namespace corvellan::test
