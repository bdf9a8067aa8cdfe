#include "core/settings.h"

#include <string>

#include "core/app_globals.h"
#include "core/desktop.h"
#include "platform/profile.h"

namespace corvellan {

namespace {

// Drops an incomplete UTF-8 sequence left at the end by the byte limit.
void DropPartialUtf8Tail(std::string& bytes) {
  std::size_t lead = bytes.size();
  int continuation = 0;
  while (lead > 0 && continuation < 4 && (static_cast<unsigned char>(bytes[lead - 1]) & 0xC0) == 0x80) {
    --lead;
    ++continuation;
  }
  if (lead == 0) return;
  const auto first = static_cast<unsigned char>(bytes[lead - 1]);
  int expected = 0;
  if ((first & 0xE0) == 0xC0) {
    expected = 1;
  } else if ((first & 0xF0) == 0xE0) {
    expected = 2;
  } else if ((first & 0xF8) == 0xF0) {
    expected = 3;
  } else {
    return;  // ASCII or a stray byte: nothing to repair
  }
  if (continuation < expected) bytes.resize(lead - 1);
}

// A settings file too large or unreadable to use: the profile functions ignore
// it and refuse to rewrite it; the user hears of it once per file, in words.
void ShowProfileNotice(const std::string& message) {
  QString text = QString::fromStdString(message);
  if (!text.isEmpty()) text[0] = text[0].toUpper();
  MessageBox::show(nullptr, MessageBox::Icon::Warning, text + QStringLiteral("."));
}

void UseMessageBoxForProfileNotices() {
  static const bool installed = (SetProfileNoticeHandler(&ShowProfileNotice), true);
  (void)installed;
}

}  // namespace

QString GetIni(const QString& file, const QString& section, const QString& key) {
  UseMessageBoxForProfileNotices();
  std::string value = GetProfileString(file.toStdString(), section.toStdString(), key.toStdString(), {},
                                       kIniValueBytes + 1);
  App().LastIniLength = static_cast<int>(value.size());
  DropPartialUtf8Tail(value);
  return QString::fromStdString(value).trimmed();
}

bool WriteIni(const QString& section, const QString& key, const QString& value, const QString& file) {
  UseMessageBoxForProfileNotices();
  return WriteProfileString(file.toStdString(), section.toStdString(), key.toStdString(), value.toStdString());
}

bool IniYes(const QString& value) { return ProfileYes(value.toStdString()); }

long IniNumber(const QString& value) { return ProfileNumber(value.toStdString()); }

}  // namespace corvellan
