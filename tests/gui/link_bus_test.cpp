// The address link end to end on a private session bus with the shipped
// partner program. Run by link_bus_test.sh inside dbus-run-session; the
// partner's path comes in CORVELLAN_CONTACTS.
#include <QAction>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>

#include <memory>

#include "core/app_globals.h"
#include "core/desktop.h"
#include "core/settings.h"
#include "link_test_support.h"
#include "qtest_registry.h"
#include "search_session.h"
#include "transfer/dbus_link.h"
#include "transfer/dde_link.h"
#include "transfer/icon_window.h"

using namespace corvellan;
using corvellan::test::ContactsLinkSettings;
using corvellan::test::SearchSession;

namespace {

constexpr char kPartnerName[] = "org.corvellan.link.contacts";

// Counts the calls and passes them on to the bus.
class CountingTransport : public LinkTransport {
 public:
  explicit CountingTransport(int* calls) : calls_(calls) {}
  int GetItem(const QString& application, const QString& topic, const QString& item, QString& value) override {
    ++*calls_;
    return bus_.GetItem(application, topic, item, value);
  }
  int SetItem(const QString& application, const QString& topic, const QString& item,
              const QString& value) override {
    ++*calls_;
    return bus_.SetItem(application, topic, item, value);
  }

 private:
  DBusLinkTransport bus_;
  int* calls_;
};

// A partner that takes every call and never answers.
class SilentPartner : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.corvellan.Link1")

 public slots:
  QString GetItem(const QString&, const QString&) {
    setDelayedReply(true);
    return {};
  }
};

// A partner whose answers are not what the contract asks for: a number, or
// strings far too long.
class OddPartner : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.corvellan.Link1")

 public:
  bool numbers = true;

 public slots:
  void GetItem(const QString& /*topic*/, const QString& item) {
    setDelayedReply(true);
    const QVariant answer = numbers ? QVariant(42)
                                    : QVariant(item == "ZIP" ? "12345-1003" + QString(100000, QLatin1Char('9'))
                                                             : QString(100000, QLatin1Char('A')));
    connection().send(message().createReply(answer));
  }
  void SetItem(const QString&, const QString&, const QString&) {}
};

// A partner that holds its items in a table and refuses to set one of them.
class RefusingPartner : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.corvellan.Link1")

 public:
  QMap<QString, QString> items;
  QString refused;

 public slots:
  QString GetItem(const QString& /*topic*/, const QString& item) { return items.value(item.toUpper()); }
  void SetItem(const QString& /*topic*/, const QString& item, const QString& value) {
    if (item.compare(refused, Qt::CaseInsensitive) == 0) {
      sendErrorReply("org.corvellan.Link1.Error.ReadOnly", "This item cannot be changed");
      return;
    }
    items.insert(item.toUpper(), value);
  }
};

bool NameOwned(bool owned) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 10000) {
    if (QDBusConnection::sessionBus().interface()->isServiceRegistered(QLatin1String(kPartnerName)) == owned) {
      return true;
    }
    QTest::qWait(20);
  }
  return false;
}

}  // namespace

class LinkBusTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<SearchSession> s_;
  std::unique_ptr<QProcess> partner_;

  bool startPartner(const QStringList& items) {
    partner_ = std::make_unique<QProcess>();
    QStringList arguments;
    for (const QString& item : items) arguments << "--set" << item;
    partner_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    partner_->start(qEnvironmentVariable("CORVELLAN_CONTACTS"), arguments);
    return partner_->waitForStarted() && NameOwned(true);
  }
  // What the partner holds now, read the way the README shows.
  static QString partnerItem(const QString& item) {
    QProcess gdbus;
    gdbus.start("gdbus", {"call", "--session", "--dest", kPartnerName, "--object-path", "/org/corvellan/Link",
                          "--method", "org.corvellan.Link1.GetItem", "DATABASE", item});
    if (!gdbus.waitForFinished(10000) || gdbus.exitCode() != 0) return "(failed)";
    // ('value',)
    QString out = QString::fromUtf8(gdbus.readAllStandardOutput()).trimmed();
    return out.mid(2, out.size() - 5);
  }

 private slots:
  void initTestCase() {
    QVERIFY2(QDBusConnection::sessionBus().isConnected(), "run me through link_bus_test.sh");
    QVERIFY2(QFileInfo(qEnvironmentVariable("CORVELLAN_CONTACTS")).isExecutable(), "CORVELLAN_CONTACTS");
  }
  void init() {
    s_ = std::make_unique<SearchSession>();
    QVERIFY(s_->ready());
    s_->env.writeFile(s_->env.iniPath(), s_->env.readFile(s_->env.iniPath()) + ContactsLinkSettings());
    LoadDDE(s_->window);
    SetLinkTimeoutMs(kLinkDefaultTimeoutMs);
  }
  void cleanup() {
    if (partner_) {
      partner_->terminate();
      partner_->waitForFinished(5000);
      partner_.reset();
      QVERIFY(NameOwned(false));
    }
    SetLinkTransport(nullptr);
    s_.reset();
  }

  void theIconCorrectsThePartnersAddress() {
    QVERIFY(startPartner({"NAME=Pat Doe", "ADDRESS=200 main street", "ADDRESS2=apt #3", "CITY=Springfeld",
                          "STATE=il", "ZIP=12345-1003"}));
    IconWindow(s_->window).Linkit();
    QVERIFY(MessageBox::shown().isEmpty());
    // Read into the search form; the ZIP box's change handling looked it up.
    QCOMPARE(s_->text("SearchNumber"), QStringLiteral("200"));
    QCOMPARE(s_->text("SearchStreet"), QStringLiteral("MAIN STREET"));
    QCOMPARE(s_->text("SearchSecdry"), QStringLiteral("3"));
    QCOMPARE(s_->text("SearchZip"), QStringLiteral("12345-1003"));
    QCOMPARE(s_->lines().size(), 1);
    QCOMPARE(s_->text("Primary"), QStringLiteral("200 Main St"));
    // The standardized address is in the partner's fields now.
    QCOMPARE(partnerItem("ADDRESS"), QStringLiteral("200 Main St"));
    QCOMPARE(partnerItem("address2"), QStringLiteral("Apt 3"));
    QCOMPARE(partnerItem("CITY"), QStringLiteral("Springfield"));
    QCOMPARE(partnerItem("STATE"), QStringLiteral("IL"));
    QCOMPARE(partnerItem("ZIP"), QStringLiteral("12345-1003"));
    QCOMPARE(partnerItem("NAME"), QStringLiteral("Pat Doe"));
  }

  void aDoubleClickSendsTheChosenLine() {
    QVERIFY(startPartner({"ADDRESS=1 Nowhere", "ZIP=12345"}));
    s_->window.findChild<QAction*>("mnuViewIcon")->trigger();
    s_->type("SearchZip", "123451001");
    // A double click as the mouse makes it: the second press comes with the
    // double-click event.
    QWidget* viewport = s_->list()->viewport();
    const QPoint centre = s_->list()->visualItemRect(s_->list()->item(2)).center();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, centre);
    QTest::mousePress(viewport, Qt::LeftButton, {}, centre);
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, centre);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, centre);
    QCOMPARE(s_->window.PanelText(1), QStringLiteral("Address Sent"));
    QCOMPARE(partnerItem("ADDRESS"), QStringLiteral("Oak Ave"));
    QCOMPARE(partnerItem("ZIP"), QStringLiteral("12345-1001"));
  }

  void withoutAPartnerThreeTriesEndInError282() {
    int calls = 0;
    SetLinkTransport(std::make_unique<CountingTransport>(&calls));
    QElapsedTimer clock;
    clock.start();
    IconWindow(s_->window).Linkit();
    QCOMPARE(calls, 3);
    QCOMPARE(MessageBox::shownTexts(), QStringList{"DDE Link Failed (Error 282) - please check DDE Setup"});
    QVERIFY(clock.elapsed() < 2000);
  }

  void anItemThePartnerDoesNotKnowIsError285() {
    QVERIFY(startPartner({"ZIP=12345-1003"}));
    QVERIFY(WriteIni("DDE Settings", "Secondary", "APARTMENT", App().IniFile));
    LoadDDE(s_->window);
    IconWindow(s_->window).Linkit();
    QCOMPARE(MessageBox::shownTexts(), QStringList{"DDE Link Failed (Error 285) - please check DDE Setup"});
  }

  void oddAnswersAreRefusedOrCut() {
    QDBusConnection other = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "odd-partner");
    OddPartner odd;
    QVERIFY(other.registerObject("/org/corvellan/Link", &odd, QDBusConnection::ExportAllSlots));
    QVERIFY(other.registerService(kPartnerName));
    const auto leave = qScopeGuard([&other] {
      other.unregisterService(kPartnerName);
      QDBusConnection::disconnectFromBus("odd-partner");
    });

    // A number where a string belongs.
    IconWindow(s_->window).Linkit();
    QCOMPARE(MessageBox::shownTexts(), QStringList{"DDE Link Failed (Error 285) - please check DDE Setup"});

    // Values far too long are cut before they reach the search form.
    MessageBox::clearShown();
    odd.numbers = false;
    QString value;
    QCOMPARE(DBusLinkTransport().GetItem("Contacts", "Database", "ADDRESS", value), 0);
    QCOMPARE(value.size(), kLinkValueLimit);
    IconWindow(s_->window).Linkit();
    QCOMPARE(s_->text("SearchZip"), QStringLiteral("12345-1003"));
    QVERIFY(MessageBox::shown().isEmpty());
  }

  // One item refused on the bus: the partner keeps the address it had, and
  // the message names the item.
  void aRefusedItemLeavesThePartnersAddressAsItWas() {
    QDBusConnection other = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "refusing-partner");
    RefusingPartner partner;
    partner.items = {{"ADDRESS", "200 main street"}, {"ADDRESS2", "apt #3"}, {"CITY", "Springfeld"},
                     {"STATE", "il"}, {"ZIP", "12345-1003"}};
    partner.refused = "ZIP";
    const QMap<QString, QString> before = partner.items;
    QVERIFY(other.registerObject("/org/corvellan/Link", &partner, QDBusConnection::ExportAllSlots));
    QVERIFY(other.registerService(kPartnerName));
    const auto leave = qScopeGuard([&other] {
      other.unregisterService(kPartnerName);
      QDBusConnection::disconnectFromBus("refusing-partner");
    });

    IconWindow(s_->window).Linkit();
    QCOMPARE(s_->text("Primary"), QStringLiteral("200 Main St"));  // the lookup itself worked
    QCOMPARE(MessageBox::shownTexts(),
             QStringList{"DDE Link Failed (Error 285) - please check DDE Setup\n\nThe item ZIP (ZipCode) was refused. "
                         "The items sent before it were put back as they were: ADDRESS2, ADDRESS, CITY, STATE."});
    QCOMPARE(partner.items, before);
  }

  // The link finds the address it wrote itself: the firm name comes back
  // with its punctuation, the ZIP code as nine digits.
  void theLinkFindsTheAddressItWrote() {
    QVERIFY(startPartner({"COMPANY=Joe's \"Best\" Deli", "ADDRESS=40 elm street", "ADDRESS2=ste 5", "ZIP=123600040"}));
    QVERIFY(WriteIni("DDE Settings", "Recipient Check", "Yes", App().IniFile));
    LoadDDE(s_->window);
    for (int click = 1; click <= 2; ++click) {
      IconWindow(s_->window).Linkit();
      QVERIFY2(MessageBox::shown().isEmpty(), qPrintable(MessageBox::shownTexts().join(" | ")));
      QCOMPARE(s_->text("SearchZip"), QStringLiteral("12360-0040"));
      QCOMPARE(s_->lines().size(), 1);
      QCOMPARE(s_->window.PanelText(1), QStringLiteral("Address Sent"));
      QCOMPARE(partnerItem("ZIP"), QStringLiteral("12360-0040"));
      QVERIFY2(partnerItem("COMPANY").contains("'"), qPrintable(partnerItem("COMPANY")));
    }
  }

  void aPartnerThatDoesNotAnswerIsError286AfterTheTimeOut() {
    QDBusConnection other = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "silent-partner");
    SilentPartner silent;
    QVERIFY(other.registerObject("/org/corvellan/Link", &silent, QDBusConnection::ExportAllSlots));
    QVERIFY(other.registerService(kPartnerName));
    const auto leave = qScopeGuard([&other] {
      other.unregisterService(kPartnerName);
      QDBusConnection::disconnectFromBus("silent-partner");
    });
    SetLinkTimeoutMs(300);

    // The program keeps running its timers (and painting) while it waits.
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
    ticker.start(50);
    QElapsedTimer clock;
    clock.start();
    IconWindow(s_->window).Linkit();
    const qint64 elapsed = clock.elapsed();
    QCOMPARE(MessageBox::shownTexts(), QStringList{"DDE Link Failed (Error 286) - please check DDE Setup"});
    QVERIFY2(elapsed >= 850 && elapsed < 3000, qPrintable(QString::number(elapsed)));
    QVERIFY(ticks >= 5);
  }
};

CORVELLAN_TEST_CLASS(LinkBusTest);
#include "link_bus_test.moc"
