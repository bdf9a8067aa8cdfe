// The link over the session bus (QtDBus).
#pragma once

#include "transfer/dde_link.h"

class QDBusMessage;

namespace corvellan {

// Calls the partner's GetItem and SetItem. A call waits at most
// LinkTimeoutMs() for the answer; meanwhile the program's windows keep
// painting, but user input waits until the call is over, so a click cannot
// start a second link while one runs.
//
// Errors: 282 when nobody owns the partner's name (or there is no session
// bus), 286 when the partner does not answer in time, 285 for any error the
// partner answers with or an answer that is not one string.
class DBusLinkTransport : public LinkTransport {
 public:
  int GetItem(const QString& application, const QString& topic, const QString& item, QString& value) override;
  int SetItem(const QString& application, const QString& topic, const QString& item,
              const QString& value) override;

  // The error number of a D-Bus error name.
  static int ErrorNumber(const QString& dbusErrorName);

 private:
  int Call(const QString& application, const QString& method, const QList<QVariant>& arguments,
           QDBusMessage& reply);
};

}  // namespace corvellan
