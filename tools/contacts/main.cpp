// Contacts: the link partner that ships with Corvellan.
//   corvellan-contacts [--name NAME] [--set ITEM=VALUE]...
// --name gives the application name the link settings use (default
// Contacts); --set fills an item of the card at start.
#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusError>

#include <cstdio>
#include <cstring>

#include "contact_card.h"

namespace {

const QCommandLineOption kNameOption(QStringLiteral("name"),
                                     QStringLiteral("Application name on the link (default Contacts)."),
                                     QStringLiteral("name"), QStringLiteral("Contacts"));
const QCommandLineOption kSetOption(QStringLiteral("set"), QStringLiteral("Fills an item at start (ZIP=62701)."),
                                    QStringLiteral("item=value"));

void Describe(QCommandLineParser& parser) {
  QCoreApplication::setApplicationName(QStringLiteral("Contacts"));
  QCoreApplication::setApplicationVersion(QStringLiteral(CONTACTS_VERSION));
  parser.setApplicationDescription(
      QStringLiteral("A contact card that serves the Corvellan address link.\n\n"
                     "In Corvellan, View, DDE Settings: Application Name Contacts (or the --name given), "
                     "DDE Topic %1, and the items NAME, COMPANY, ADDRESS, ADDRESS2, CITY, STATE, ZIP "
                     "(for example Recipient COMPANY, Secondary ADDRESS2, Primary ADDRESS, City CITY, "
                     "State STATE, ZipCode ZIP with Add to ZipCode).")
          .arg(QLatin1String(contacts::kTopic)));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addOption(kNameOption);
  parser.addOption(kSetOption);
}

// Whether the arguments ask only for the help or the version text, which is
// printed without opening a window (and so without a display).
bool AsksForText(int argc, char* argv[]) {
  for (int i = 1; i < argc; ++i) {
    for (const char* option : {"-h", "-?", "--help", "--help-all", "-v", "--version"}) {
      if (std::strcmp(argv[i], option) == 0) return true;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (AsksForText(argc, argv)) {
    QCoreApplication core(argc, argv);
    QCommandLineParser parser;
    Describe(parser);
    parser.process(core);  // prints the text and ends the program
    return 0;
  }

  QApplication app(argc, argv);
  QCommandLineParser parser;
  Describe(parser);
  parser.process(app);
  const QCommandLineOption& nameOption = kNameOption;
  const QCommandLineOption& setOption = kSetOption;

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
