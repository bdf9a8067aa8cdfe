#include "labels/postnet.h"

#include <QCoreApplication>
#include <QDir>
#include <QFontDatabase>
#include <QStringList>

#include <algorithm>
#include <limits>
#include <string>

#include "core/settings.h"
#include "platform/profile.h"

namespace corvellan {

namespace {

constexpr char kGeneralSection[] = "General Settings";

// Whether section/key is in the file at all, whatever its value (empty
// included): a missing key gives back the fallback, and no value can equal
// two different fallbacks.
bool IniHasKey(const QString& file, const QString& section, const QString& key) {
  const std::string f = file.toStdString();
  const std::string s = section.toStdString();
  const std::string k = key.toStdString();
  return GetProfileString(f, s, k, "\x01", 2) != "\x01" || GetProfileString(f, s, k, "\x02", 2) != "\x02";
}

// The value of a General Settings key; `fallback` when the key is missing.
QString GeneralValue(const QString& ini, const char* key, const QString& fallback) {
  const QString section = QLatin1String(kGeneralSection);
  const QString name = QLatin1String(key);
  return IniHasKey(ini, section, name) ? GetIni(ini, section, name) : fallback;
}

bool FontFamilyInstalled(const QString& family) {
  LoadBarcodeFonts();
  const QStringList families = QFontDatabase::families();
  return std::any_of(families.cbegin(), families.cend(),
                     [&family](const QString& f) { return f.compare(family, Qt::CaseInsensitive) == 0; });
}

}  // namespace

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

BarcodeSettings ReadBarcodeSettings(const QString& ini) {
  BarcodeSettings settings;
  const QString shipped = QLatin1String(kShippedBarcodeFont);
  if (!IniHasKey(ini, QLatin1String(kGeneralSection), QStringLiteral("BarCodeFont"))) {
    if (!FontFamilyInstalled(shipped)) {
      settings.offReason = QStringLiteral("Barcode off: the barcode font \"%1\" that comes with Corvellan was not "
                                          "found in its fonts folder")
                               .arg(shipped);
      return settings;
    }
    settings.font = shipped.toUpper();
  } else {
    settings.font = GetIni(ini, QLatin1String(kGeneralSection), QStringLiteral("BarCodeFont")).toUpper();
    if (settings.font.isEmpty()) {
      settings.offReason = QStringLiteral("Barcode off: BarCodeFont is empty in [General Settings] of Corvel.ini "
                                          "(remove the line to use the \"%1\" font)")
                               .arg(shipped);
      return settings;
    }
  }
  const long size = IniNumber(GeneralValue(ini, "BarCodeFontSize", QString()));
  settings.fontSize = size > 0 ? static_cast<int>(std::min<long>(size, std::numeric_limits<int>::max()))
                               : kShippedBarcodeFontSize;
  settings.startChar = GeneralValue(ini, "BarCodeStartChar", QLatin1String(kShippedFrameBar));
  settings.stopChar = GeneralValue(ini, "BarCodeStopChar", QLatin1String(kShippedFrameBar));
  return settings;
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
