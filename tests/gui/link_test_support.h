// Helpers of the link tests: settings for the shipped partner, and a
// transport that records the calls and answers from a table (for the logic
// above the bus; the bus itself is tested with the real partner).
#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

#include <memory>

#include "transfer/dde_link.h"

namespace corvellan::test {

// "DDE Settings" for the Contacts partner: every field but Recipient and
// Urbanization linked, the add-on merged into the ZIP code.
inline QByteArray ContactsLinkSettings() {
  return "[DDE Settings]\n"
         "Application Name=CONTACTS\nDDE Topic=DATABASE\n"
         "Recipient=COMPANY\nRecipient Check=No\n"
         "Secondary=ADDRESS2\nSecondary Check=Yes\n"
         "Primary=ADDRESS\nPrimary Check=Yes\n"
         "Urbanization=\nUrbanization Check=No\n"
         "City=CITY\nCity Check=Yes\n"
         "State=STATE\nState Check=Yes\n"
         "ZipCode=ZIP\nZipCode Check=Yes\n"
         "Plus4=\nPlus4 Check=No\n"
         "Add to Primary=No\nAdd to City=No\nAdd to ZipCode=Yes\n";
}

struct LinkCall {
  QString method;  // "GetItem" or "SetItem"
  QString application;
  QString topic;
  QString item;
  QString value;
};

// What the recording transport knows and has seen; shared with the test.
struct LinkTable {
  QMap<QString, QString> items;  // item name (upper case) -> value
  QList<int> errors;             // results of the next calls; empty = success
  QList<LinkCall> calls;

  QStringList pokes() const {
    QStringList list;
    for (const LinkCall& call : calls) {
      if (call.method == QLatin1String("SetItem")) list.append(call.item + "=" + call.value);
    }
    return list;
  }
  QStringList reads() const {
    QStringList list;
    for (const LinkCall& call : calls) {
      if (call.method == QLatin1String("GetItem")) list.append(call.item);
    }
    return list;
  }
};

class RecordingTransport : public LinkTransport {
 public:
  explicit RecordingTransport(std::shared_ptr<LinkTable> table) : table_(std::move(table)) {}

  int GetItem(const QString& application, const QString& topic, const QString& item, QString& value) override {
    table_->calls.append({QStringLiteral("GetItem"), application, topic, item, {}});
    if (const int error = next()) return error;
    value = table_->items.value(item.toUpper());
    return 0;
  }
  int SetItem(const QString& application, const QString& topic, const QString& item,
              const QString& value) override {
    table_->calls.append({QStringLiteral("SetItem"), application, topic, item, value});
    if (const int error = next()) return error;
    table_->items.insert(item.toUpper(), value);
    return 0;
  }

 private:
  int next() { return table_->errors.isEmpty() ? 0 : table_->errors.takeFirst(); }
  std::shared_ptr<LinkTable> table_;
};

// Puts a recording transport in place for the life of the object.
class RecordedLink {
 public:
  RecordedLink() : table(std::make_shared<LinkTable>()) {
    SetLinkTransport(std::make_unique<RecordingTransport>(table));
  }
  ~RecordedLink() { SetLinkTransport(nullptr); }
  RecordedLink(const RecordedLink&) = delete;
  RecordedLink& operator=(const RecordedLink&) = delete;

  std::shared_ptr<LinkTable> table;
};

}  // namespace corvellan::test
