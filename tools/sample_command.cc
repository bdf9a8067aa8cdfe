#include <cstdio>

#include "commands.h"

namespace corvdb::tools {

// Placeholder until the subcommand is built.
void RegisterSampleCommand(CLI::App& app, int& exit_code) {
  auto* cmd = app.add_subcommand("sample", "(not built yet)");
  cmd->allow_extras();
  cmd->callback([&exit_code] {
    std::fprintf(stderr, "corvdb sample: not built yet\n");
    exit_code = 2;
  });
}

}  // namespace corvdb::tools
