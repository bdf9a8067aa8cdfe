// corvdb: build, generate, check, look up and search zip.cvd databases from
// the terminal.
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "commands.h"
#include "signal_cleanup.h"

int main(int argc, char** argv) {
  CLI::App app{"corvdb: build and query Corvellan ZIP+4 databases"};
  app.require_subcommand(1);
  app.set_version_flag("--version", std::string("corvdb ") + CORVDB_VERSION, "Print the version and exit");
  app.footer("Exit status: 0 success, 1 not found (lookup, search), damaged (check), files not written (sample) "
             "or no label (labels), "
             "2 error. Each command's --help says more.");
  int exit_code = 0;
  corvdb::tools::RegisterSampleCommand(app, exit_code);
  corvdb::tools::RegisterBuildCommand(app, exit_code);
  corvdb::tools::RegisterLookupCommand(app, exit_code);
  corvdb::tools::RegisterSearchCommand(app, exit_code);
  corvdb::tools::RegisterCheckCommand(app, exit_code);
  corvdb::tools::RegisterStandardizeCommand(app, exit_code);
  corvdb::tools::RegisterServeCommand(app, exit_code);
  corvdb::tools::RegisterLabelsCommand(app);
  // The label printer is a program of its own (it needs Qt): everything
  // after "labels" is its arguments, its --help included.
  if (argc > 1 && std::strcmp(argv[1], "labels") == 0) return corvdb::tools::RunLabelsCommand(argc - 1, argv + 1);
  // Temporary files and folders go with the process on Ctrl-C, kill or hang-up.
  corvdb::tools::SignalCleanup::Install();

  // CLI11 says only "A subcommand is required" for a misspelt command.
  std::string names;
  bool known = false;
  for (const CLI::App* sub : app.get_subcommands({})) {
    names += (names.empty() ? "" : ", ") + sub->get_name();
    known = known || (argc > 1 && sub->get_name() == argv[1]);
  }
  if (argc > 1 && argv[1][0] != '-' && !known) {
    std::fprintf(stderr, "corvdb: unknown command '%s' (commands: %s; corvdb --help says more)\n", argv[1],
                 names.c_str());
    return 2;
  }
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
