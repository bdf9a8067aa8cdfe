// Contacts: a small contact-card program that serves the address link of
// Corvellan, so that the link can be tried and tested without any other
// program. Its items (topic "DATABASE"): NAME, COMPANY, ADDRESS, ADDRESS2,
// CITY, STATE, ZIP. Topic and item names match without regard to letter case.
#pragma once

#include <QDBusContext>
#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QObject>
#include <QString>
#include <QWidget>

namespace contacts {

inline constexpr char kTopic[] = "DATABASE";
inline constexpr char kObjectPath[] = "/org/corvellan/Link";
inline constexpr char kInterface[] = "org.corvellan.Link1";
// Longest value the card keeps for an item.
inline constexpr int kValueLimit = 255;

// The bus name a partner called `application` owns (see docs/link-contract.md).
QString BusName(const QString& application);

class ContactCard : public QWidget {
  Q_OBJECT

 public:
  ContactCard();

  // The box of an item (any letter case), or nullptr for an unknown item.
  QLineEdit* itemBox(const QString& item) const;
  QStringList itemNames() const;
  void showNote(const QString& text);

 private:
  struct Item {
    QString name;
    QLineEdit* box;
  };
  QList<Item> items_;
  QLabel* note_;
};

// The object the partner serves on the bus.
class LinkService : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.corvellan.Link1")

 public:
  explicit LinkService(ContactCard& card) : card_(card) {}

 public slots:
  QString GetItem(const QString& topic, const QString& item);
  void SetItem(const QString& topic, const QString& item, const QString& value);

 private:
  // The item's box; nullptr after an error reply has been sent.
  QLineEdit* Find(const QString& topic, const QString& item);

  ContactCard& card_;
  // Items set since the partner last read one: an exchange reads, then sets.
  QStringList setItems_;
};

}  // namespace contacts
