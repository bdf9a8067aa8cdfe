#include <cstdio>

#include "commands.h"

namespace corvdb::tools {

// Placeholder until the subcommand is built.
void RegisterLookupCommand(CLI::App& app, int& exit_code) {
  auto* cmd = app.add_subcommand("lookup", "(not built yet)");
  cmd->allow_extras();
  cmd->callback([&exit_code] {
    std::fprintf(stderr, "corvdb lookup: not built yet\n");
    exit_code = 2;
  });
}

}  // namespace corvdb::tools
