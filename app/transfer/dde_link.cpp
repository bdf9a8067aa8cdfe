#include "transfer/dde_link.h"

#include <QList>

#include "transfer/dbus_link.h"

namespace corvellan {

namespace {

std::unique_ptr<LinkTransport>& TransportSlot() {
  static std::unique_ptr<LinkTransport> transport;
  return transport;
}

int& TimeoutSlot() {
  static int milliseconds = kLinkDefaultTimeoutMs;
  return milliseconds;
}

}  // namespace

QString LinkBusName(const QString& application) {
  const QString lower = application.trimmed().toLower();
  if (lower.isEmpty()) return {};
  QString element;
  for (const char32_t c : lower.toUcs4()) {
    const bool kept = (c >= U'a' && c <= U'z') || (c >= U'0' && c <= U'9') || c == U'_';
    element.append(kept ? QChar(static_cast<char16_t>(c)) : QLatin1Char('_'));
  }
  if (element.at(0).isDigit()) element.prepend(QLatin1Char('_'));
  // A bus name is at most 255 characters long.
  const QString prefix = QLatin1String(kLinkBusPrefix);
  return prefix + element.left(255 - prefix.size());
}

QString LinkFailedText(int error) {
  return QStringLiteral("DDE Link Failed (Error ") + QString::number(error) +
         QStringLiteral(") - please check DDE Setup");
}

LinkTransport& ActiveLinkTransport() {
  std::unique_ptr<LinkTransport>& transport = TransportSlot();
  if (!transport) transport = std::make_unique<DBusLinkTransport>();
  return *transport;
}

void SetLinkTransport(std::unique_ptr<LinkTransport> transport) { TransportSlot() = std::move(transport); }

int LinkTimeoutMs() { return TimeoutSlot(); }

void SetLinkTimeoutMs(int milliseconds) { TimeoutSlot() = milliseconds > 0 ? milliseconds : kLinkDefaultTimeoutMs; }

QString DdeLinkField::application() const { return LinkTopic.section(QLatin1Char('|'), 0, 0); }

QString DdeLinkField::topic() const { return LinkTopic.section(QLatin1Char('|'), 1); }

int DdeLinkField::SetLinkMode(int mode) {
  if (mode == kLinkModeAutomatic) {
    QString value;
    const int error = ActiveLinkTransport().GetItem(application(), topic(), LinkItem, value);
    if (error != 0) return error;
    Text = value;
  }
  mode_ = mode;
  return 0;
}

int DdeLinkField::LinkRequest(QString& value) const {
  return ActiveLinkTransport().GetItem(application(), topic(), LinkItem, value);
}

int DdeLinkField::LinkPoke() { return ActiveLinkTransport().SetItem(application(), topic(), LinkItem, Text); }

}  // namespace corvellan
