// Subcommands of the corvdb tool. Each registers itself on the CLI11 app and
// sets `exit_code` when it has run.
#pragma once

#include <CLI/CLI.hpp>

namespace corvdb::tools {

void RegisterSampleCommand(CLI::App& app, int& exit_code);
void RegisterBuildCommand(CLI::App& app, int& exit_code);
void RegisterLookupCommand(CLI::App& app, int& exit_code);
void RegisterSearchCommand(CLI::App& app, int& exit_code);
void RegisterCheckCommand(CLI::App& app, int& exit_code);
void RegisterStandardizeCommand(CLI::App& app, int& exit_code);

}  // namespace corvdb::tools
