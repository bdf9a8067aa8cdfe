// Corvellan: looks up United States postal addresses.
#include <QApplication>

#include <cstdio>
#include <cstring>

#include "core/program_icon.h"
#include "core/zip_main.h"

int main(int argc, char* argv[]) {
  // Answered before any window system is needed, so they work on a terminal
  // without a display.
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("Corvellan %s\n", CORVELLAN_VERSION);
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    std::printf(
        "Usage: Corvellan [SETTINGS]\n"
        "Looks up United States postal addresses in a ZIP+4 database.\n\n"
        "SETTINGS  insert-settings file, relative to the program directory\n"
        "          (\".cfg\" is added when the name has no period; default Corvellan.Cfg)\n"
        "--version print the version and exit\n\n"
        "Settings: $XDG_CONFIG_HOME/corvellan/Corvel.ini. See the Corvellan(1) manual page.\n");
    return 0;
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Corvellan"));
  QApplication::setOrganizationName(QStringLiteral("Corvellan"));
  QApplication::setApplicationVersion(QStringLiteral(CORVELLAN_VERSION));
  QApplication::setWindowIcon(corvellan::ProgramIcon());
  // Ties the windows to the installed desktop entry (task bars, Wayland).
  QGuiApplication::setDesktopFileName(QStringLiteral("org.corvellan.Corvellan"));

  corvellan::ZipMain window;
  // The first argument names the insert-settings file.
  if (!window.Form_Load(QApplication::arguments().mid(1))) return 1;
  window.show();
  return QApplication::exec();
}
