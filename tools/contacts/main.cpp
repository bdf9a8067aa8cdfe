// Contacts: the link partner that ships with Corvellan.
//   corvellan-contacts [--name NAME] [--set ITEM=VALUE]...
// --name gives the application name the link settings use (default
// Contacts); --set fills an item of the card at start.
#include <QApplication>
#include <QCommandLineParser>
#include <QDBusConnection>
#include <QDBusError>

#include <cstdio>

#include "contact_card.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Contacts"));

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("A contact card that serves the Corvellan address link."));
  parser.addHelpOption();
  const QCommandLineOption nameOption(QStringLiteral("name"),
                                      QStringLiteral("Application name on the link (default Contacts)."),
                                      QStringLiteral("name"), QStringLiteral("Contacts"));
  const QCommandLineOption setOption(QStringLiteral("set"), QStringLiteral("Fills an item at start (ZIP=62701)."),
                                     QStringLiteral("item=value"));
  parser.addOption(nameOption);
  parser.addOption(setOption);
  parser.process(app);

  contacts::ContactCard card;
  for (const QString& assignment : parser.values(setOption)) {
    const qsizetype equals = assignment.indexOf(QLatin1Char('='));
    QLineEdit* box = equals > 0 ? card.itemBox(assignment.left(equals)) : nullptr;
    if (box == nullptr) {
      std::fprintf(stderr, "corvellan-contacts: --set wants ITEM=VALUE with one of the items %s, not '%s'\n",
                   qPrintable(card.itemNames().join(", ")), qPrintable(assignment));
      return 2;
    }
    box->setText(assignment.mid(equals + 1));
  }

  const QString application = parser.value(nameOption);
  const QString service = contacts::BusName(application);
  if (service.isEmpty()) {
    std::fprintf(stderr, "corvellan-contacts: the application name must not be empty\n");
    return 2;
  }
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    std::fprintf(stderr, "corvellan-contacts: no session bus (%s)\n", qPrintable(bus.lastError().message()));
    return 1;
  }
  contacts::LinkService link(card);
  if (!bus.registerObject(QLatin1String(contacts::kObjectPath), &link, QDBusConnection::ExportAllSlots)) {
    std::fprintf(stderr, "corvellan-contacts: cannot serve %s\n", contacts::kObjectPath);
    return 1;
  }
  if (!bus.registerService(service)) {
    std::fprintf(stderr, "corvellan-contacts: another program already owns %s\n", qPrintable(service));
    return 1;
  }
  card.showNote(QStringLiteral("Link: %1, topic %2").arg(application, QLatin1String(contacts::kTopic)));
  card.show();
  return QApplication::exec();
}
