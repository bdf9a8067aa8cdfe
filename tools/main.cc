// corvdb: build, generate, look up and search zip.cvd databases from the terminal.
#include <cstdio>
#include <exception>

#include "commands.h"

int main(int argc, char** argv) {
  CLI::App app{"corvdb: build and query Corvellan ZIP+4 databases"};
  app.require_subcommand(1);
  int exit_code = 0;
  corvdb::tools::RegisterSampleCommand(app, exit_code);
  corvdb::tools::RegisterBuildCommand(app, exit_code);
  corvdb::tools::RegisterLookupCommand(app, exit_code);
  corvdb::tools::RegisterSearchCommand(app, exit_code);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // Usage errors: CLI11 prints help or one error line; keep exit status 2.
    const int rc = app.exit(e);
    return rc == 0 ? 0 : 2;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "corvdb: %s\n", e.what());
    return 2;
  }
  return exit_code;
}
