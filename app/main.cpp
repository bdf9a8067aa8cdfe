// Corvellan: looks up United States postal addresses.
#include <QApplication>

#include "core/program_icon.h"
#include "core/zip_main.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Corvellan"));
  QApplication::setOrganizationName(QStringLiteral("Corvellan"));
  QApplication::setApplicationVersion(QStringLiteral(CORVELLAN_VERSION));
  QApplication::setWindowIcon(corvellan::ProgramIcon());

  corvellan::ZipMain window;
  // The first argument names the insert-settings file.
  if (!window.Form_Load(QApplication::arguments().mid(1))) return 1;
  window.show();
  return QApplication::exec();
}
