#include "labels/postnet.h"

#include <QCoreApplication>
#include <QDir>
#include <QFontDatabase>
#include <QStringList>

namespace corvellan {

int PostnetCheckDigit(const QString& zipPlus4) {
  int sum = 0;
  for (const QChar c : zipPlus4) {
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) sum += c.unicode() - '0';
  }
  return (10 - sum % 10) % 10;
}

QString PostnetText(const QString& start, const QString& zipPlus4, const QString& stop) {
  return start + zipPlus4 + QString::number(PostnetCheckDigit(zipPlus4)) + stop;
}

QStringList LoadBarcodeFonts() {
  static QStringList families;
  static bool loaded = false;
  if (loaded) return families;
  loaded = true;
  // fonts/ beside the program (the build tree), then the installed program
  // files' fonts/ (share/corvellan/fonts).
  const QDir program(QCoreApplication::applicationDirPath());
  for (const QString& dir : {program.filePath(QStringLiteral("fonts")),
                             QDir::cleanPath(program.filePath(QStringLiteral(CORVELLAN_BIN_TO_DATA "/fonts")))}) {
    const QDir fonts(dir);
    for (const QString& name : fonts.entryList({QStringLiteral("*.ttf"), QStringLiteral("*.otf")}, QDir::Files)) {
      const int id = QFontDatabase::addApplicationFont(fonts.filePath(name));
      if (id >= 0) families += QFontDatabase::applicationFontFamilies(id);
    }
    if (!families.isEmpty()) break;
  }
  return families;
}

}  // namespace corvellan
