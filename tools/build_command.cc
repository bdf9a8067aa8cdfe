#include <cstdio>

#include "commands.h"

namespace corvdb::tools {

// Placeholder until the subcommand is built.
void RegisterBuildCommand(CLI::App& app, int& exit_code) {
  auto* cmd = app.add_subcommand("build", "(not built yet)");
  cmd->allow_extras();
  cmd->callback([&exit_code] {
    std::fprintf(stderr, "corvdb build: not built yet\n");
    exit_code = 2;
  });
}

}  // namespace corvdb::tools
