#include "core/startup.h"

#include <QFileInfo>
#include <QLocale>

#include <cstdlib>

#include "platform/file_lookup.h"

namespace corvellan {

QString DirectoryWithSlash(const QString& value) {
  if (value.endsWith(QLatin1Char('/'))) return value;
  return value + QLatin1Char('/');
}

std::optional<QString> FindNoCase(const QString& dir, const QString& relative) {
  if (dir.isEmpty()) return std::nullopt;  // never the current directory by accident
  if (auto found = FindFileNoCase(dir.toStdString(), relative.toStdString())) {
    return QString::fromStdString(*found);
  }
  return std::nullopt;
}

QString ChooseCfgFile(const QString& programDir, const QString& argument) {
  if (argument.isEmpty()) {
    if (auto found = FindNoCase(programDir, QLatin1String(kProgramMarker))) return *found;
    return programDir + QLatin1String(kProgramMarker);
  }
  QString path = argument.startsWith(QLatin1Char('/')) ? argument : programDir + argument;
  // Only the file's own name decides: a period in a directory name
  // (corvellan-1.2/, .local/) is no extension.
  if (!QFileInfo(path).fileName().contains(QLatin1Char('.'))) path += QLatin1String(".cfg");
  if (QFileInfo::exists(path)) return path;
  const QFileInfo info(path);
  if (auto found = FindNoCase(info.path(), info.fileName())) return *found;
  return path;
}

QString FormatStampDate(const QDateTime& when) {
  return QLocale::c().toString(when.date(), QStringLiteral("dd MMM yyyy"));
}

QString EngineErrorText(int code) {
  const long long magnitude = std::llabs(static_cast<long long>(code));
  switch (magnitude) {
    case 1:
      return QStringLiteral("Search Unsuccessful");
    case 2:
      return QStringLiteral("Profile or data Files not Found");
    case 3:
      return QStringLiteral("Error opening files");
    default:
      return QStringLiteral("Error No ") + QString::number(magnitude);
  }
}

QString DocErrorText(int code) {
  switch (code) {
    case 0:
    case 8:
      return QStringLiteral("Out of memory");
    case 2:
      return QStringLiteral("File not found");
    case 3:
      return QStringLiteral("Path not found");
    case 5:
      return QStringLiteral("Access denied");
    case 11:
      return QStringLiteral("Invalid EXE file or error in EXE image");
    case 26:
      return QStringLiteral("A sharing violation occurred");
    case 27:
      return QStringLiteral("Incomplete or invalid file association");
    case 28:
      return QStringLiteral("DDE Time out");
    case 29:
      return QStringLiteral("DDE transaction failed");
    case 30:
      return QStringLiteral("DDE busy");
    case 31:
      return QStringLiteral("No association for file extension");
    case 32:
      return QStringLiteral("DLL not found");
    default:
      return QStringLiteral("Unknown error");
  }
}

QString NoBrowserText(const QUrl& address) {
  return QStringLiteral("No web browser found. To visit the page, copy its address into a browser:\n\n") +
         address.toString();
}

}  // namespace corvellan
