#include "transfer/dbus_link.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QEventLoop>
#include <QTimer>

namespace corvellan {

int DBusLinkTransport::ErrorNumber(const QString& dbusErrorName) {
  static const QStringList kNoPartner = {
      QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown"),
      QStringLiteral("org.freedesktop.DBus.Error.NameHasNoOwner"),
      QStringLiteral("org.freedesktop.DBus.Error.Disconnected"),
  };
  static const QStringList kTimedOut = {
      QStringLiteral("org.freedesktop.DBus.Error.NoReply"),
      QStringLiteral("org.freedesktop.DBus.Error.Timeout"),
      QStringLiteral("org.freedesktop.DBus.Error.TimedOut"),
  };
  if (kNoPartner.contains(dbusErrorName)) return kLinkNoPartner;
  if (kTimedOut.contains(dbusErrorName)) return kLinkTimedOut;
  return kLinkPartnerError;
}

int DBusLinkTransport::Call(const QString& application, const QString& method, const QList<QVariant>& arguments,
                            QDBusMessage& reply) {
  const QString service = LinkBusName(application);
  if (service.isEmpty()) return kLinkNoPartner;
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return kLinkNoPartner;

  QDBusMessage message = QDBusMessage::createMethodCall(service, QLatin1String(kLinkObjectPath),
                                                        QLatin1String(kLinkInterface), method);
  message.setArguments(arguments);
  // A partner is a running program; the bus is not asked to start one.
  message.setAutoStartService(false);
  const int timeout = LinkTimeoutMs();
  QDBusPendingCallWatcher watcher(bus.asyncCall(message, timeout));
  if (!watcher.isFinished()) {
    QEventLoop loop;
    QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
    // The bus reports the time-out itself; this guard only keeps a lost
    // report from holding the program.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
    guard.start(timeout + 1000);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!watcher.isFinished()) return kLinkTimedOut;
  }
  reply = watcher.reply();
  if (reply.type() == QDBusMessage::ErrorMessage) return ErrorNumber(reply.errorName());
  if (reply.type() != QDBusMessage::ReplyMessage) return kLinkPartnerError;
  return 0;
}

int DBusLinkTransport::GetItem(const QString& application, const QString& topic, const QString& item,
                               QString& value) {
  QDBusMessage reply;
  const int error = Call(application, QStringLiteral("GetItem"), {topic, item}, reply);
  if (error != 0) return error;
  const QList<QVariant> answer = reply.arguments();
  if (answer.size() != 1 || answer.front().metaType().id() != QMetaType::QString) return kLinkPartnerError;
  value = answer.front().toString().left(kLinkValueLimit);
  return 0;
}

int DBusLinkTransport::SetItem(const QString& application, const QString& topic, const QString& item,
                               const QString& value) {
  QDBusMessage reply;
  return Call(application, QStringLiteral("SetItem"), {topic, item, value}, reply);
}

}  // namespace corvellan
