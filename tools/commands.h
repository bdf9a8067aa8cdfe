// Subcommands of the corvdb tool. Each registers itself on the CLI11 app and
// sets `exit_code` when it has run.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>
#include <string>

namespace corvdb::tools {

void RegisterSampleCommand(CLI::App& app, int& exit_code);
void RegisterBuildCommand(CLI::App& app, int& exit_code);
void RegisterLookupCommand(CLI::App& app, int& exit_code);
void RegisterSearchCommand(CLI::App& app, int& exit_code);
void RegisterCheckCommand(CLI::App& app, int& exit_code);
void RegisterStandardizeCommand(CLI::App& app, int& exit_code);
void RegisterServeCommand(CLI::App& app, int& exit_code);
void RegisterLabelsCommand(CLI::App& app);
// corvdb labels ARGS...: runs corvdb-labels with the arguments after
// "labels" (argv[0] is "labels"); 2 when it is not installed.
int RunLabelsCommand(int argc, char** argv);
// Where corvdb-labels is ("" when it is not installed).
std::string LabelsProgram();

// 1234567 -> "1,234,567" for counts in progress and summary lines. Appends
// digit by digit: inserting into the string trips a false -Wrestrict of
// GCC 12 at -O2 and above.
inline std::string Thousands(uint64_t v) {
  const std::string digits = std::to_string(v);
  std::string s;
  s.reserve(digits.size() + digits.size() / 3);
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) s.push_back(',');
    s.push_back(digits[i]);
  }
  return s;
}

}  // namespace corvdb::tools
