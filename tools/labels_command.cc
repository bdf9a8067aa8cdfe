// corvdb labels: mailing labels for an address list. The drawing needs Qt,
// which corvdb itself does not load, so the command runs the program
// corvdb-labels with its arguments: the one beside corvdb (a build tree),
// else the one in the installed helper folder (libexec/corvellan, found
// relative to corvdb's bin/).
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "commands.h"

namespace corvdb::tools {

namespace {

constexpr char kLabelsProgram[] = "corvdb-labels";

std::filesystem::path OwnFolder() {
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : self.parent_path();
}

}  // namespace

std::string LabelsProgram() {
  const std::filesystem::path folder = OwnFolder();
  if (folder.empty()) return {};
  for (const std::filesystem::path& candidate :
       {folder / kLabelsProgram, (folder / CORVELLAN_BIN_TO_LIBEXEC / kLabelsProgram).lexically_normal()}) {
    if (access(candidate.c_str(), X_OK) == 0) return candidate.string();
  }
  return {};
}

int RunLabelsCommand(int argc, char** argv) {
  const std::string program = LabelsProgram();
  if (program.empty()) {
    std::fprintf(stderr,
                 "corvdb labels: the label printer %s is not installed (looked beside corvdb and in %s); it comes "
                 "with the program (CORVELLAN_BUILD_APP)\n",
                 kLabelsProgram, (OwnFolder() / CORVELLAN_BIN_TO_LIBEXEC).lexically_normal().c_str());
    return 2;
  }
  std::vector<char*> args;
  args.push_back(const_cast<char*>(program.c_str()));
  for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
  args.push_back(nullptr);
  std::fflush(nullptr);
  execv(program.c_str(), args.data());
  std::fprintf(stderr, "corvdb labels: cannot run %s: %s\n", program.c_str(), std::strerror(errno));
  return 2;
}

void RegisterLabelsCommand(CLI::App& app) {
  // Listed for corvdb --help; `corvdb labels ...` never reaches the parser
  // (main hands it to RunLabelsCommand), so its own --help is the program's.
  CLI::App* cmd = app.add_subcommand("labels", "Print mailing labels (PDF or a CUPS queue) for a CSV address list");
  cmd->allow_extras();
}

}  // namespace corvdb::tools
