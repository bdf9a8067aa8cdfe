// Build helper: writes the program icon as PNG files for the hicolor theme.
//
//   corvellan_icon_png DIR SIZE...   writes DIR/SIZExSIZE.png for each SIZE
#include <QImage>
#include <QString>

#include <cstdio>
#include <cstdlib>

#include "core/program_icon.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: corvellan_icon_png DIR SIZE...\n");
    return 2;
  }
  const QString dir = QString::fromLocal8Bit(argv[1]);
  for (int i = 2; i < argc; ++i) {
    const int size = std::atoi(argv[i]);
    if (size < 8 || size > 1024) {
      std::fprintf(stderr, "corvellan_icon_png: bad size '%s'\n", argv[i]);
      return 2;
    }
    const QString path = QStringLiteral("%1/%2x%2.png").arg(dir).arg(size);
    if (!corvellan::ProgramIconImage(size).save(path, "PNG")) {
      std::fprintf(stderr, "corvellan_icon_png: cannot write %s\n", qPrintable(path));
      return 1;
    }
  }
  return 0;
}
