// The icon window and the sending of addresses, on the test database, with a
// recording link in place of the bus (the bus itself: LinkBusTest).
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QTest>

#include <memory>

#include "core/app_globals.h"
#include "core/desktop.h"
#include "core/form_placement.h"
#include "core/settings.h"
#include "link_test_support.h"
#include "qtest_registry.h"
#include "search_session.h"
#include "transfer/dde_link.h"
#include "transfer/icon_window.h"

using namespace corvellan;
using corvellan::test::ContactsLinkSettings;
using corvellan::test::RecordedLink;
using corvellan::test::SearchSession;

class IconWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<SearchSession> s_;
  std::unique_ptr<RecordedLink> link_;

  frmIcon& icon() { return IconWindow(s_->window); }
  QAction* iconItem() { return s_->window.findChild<QAction*>("mnuViewIcon"); }
  void useSettings(const QByteArray& dde) {
    s_->env.writeFile(s_->env.iniPath(), s_->env.readFile(s_->env.iniPath()) + dde);
    LoadDDE(s_->window);
  }
  void change(const QList<std::pair<QString, QString>>& keys) {
    for (const auto& [key, value] : keys) QVERIFY(WriteIni("DDE Settings", key, value, App().IniFile));
    LoadDDE(s_->window);
  }
  void partnerHolds(const QString& address, const QString& unit, const QString& zip) {
    link_->table->items = {{"ADDRESS", address}, {"ADDRESS2", unit}, {"ZIP", zip}, {"COMPANY", "Ignored Inc"}};
  }
  // A double click as the mouse makes it: the second press comes with the
  // double-click event.
  void doubleClickLine(int row) {
    QWidget* viewport = s_->list()->viewport();
    const QPoint centre = s_->list()->visualItemRect(s_->list()->item(row)).center();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, centre);
    QTest::mousePress(viewport, Qt::LeftButton, {}, centre);
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, centre);
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, centre);
  }
  void fillPanel(const QStringList& texts) {
    const char* names[] = {"Recipient", "Secondary", "Primary", "Urbanization", "City", "State", "Zip", "Plus4"};
    for (int i = 0; i < 8; ++i) s_->edit(names[i])->setText(texts.value(i));
  }

 private slots:
  void init() {
    s_ = std::make_unique<SearchSession>();
    QVERIFY(s_->ready());
    link_ = std::make_unique<RecordedLink>();
    useSettings(ContactsLinkSettings());
  }
  void cleanup() {
    s_.reset();
    link_.reset();
  }

  void theWindowIsASmallFramelessIconOnTop() {
    frmIcon& window = icon();
    const int side = TwipsToPixels(&window, 480);
    QCOMPARE(window.size(), QSize(side, side));
    QVERIFY(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(window.windowFlags().testFlag(Qt::FramelessWindowHint));
    QVERIFY(!window.Image1->pixmap().isNull());
    QVERIFY(!window.isVisible());

    iconItem()->trigger();
    QVERIFY(iconItem()->isChecked());
    QVERIFY(window.isVisible());
    iconItem()->trigger();
    QVERIFY(!iconItem()->isChecked());
    QVERIFY(!window.isVisible());

    // Closed another way, the menu item follows.
    iconItem()->trigger();
    window.close();
    QVERIFY(!window.isVisible());
    QVERIFY(!iconItem()->isChecked());
    QCOMPARE(FindIconWindow(s_->window), &window);
  }

  void theStoredPlaceIsRestoredButNotTheSize() {
    s_->env.writeFile(s_->env.iniPath(), s_->env.readFile(s_->env.iniPath()) +
                                             "[General Settings]\nIcon Form Left=1500\nIcon Form Top=3000\n"
                                             "Icon Form Width=9000\nIcon Form Height=9000\n");
    frmIcon& window = icon();
    QCOMPARE(window.pos(), QPoint(TwipsToPixels(&window, 1500), TwipsToPixels(&window, 3000)));
    QCOMPARE(window.width(), TwipsToPixels(&window, 480));
  }

  void loadingAppliesTheSettingsToTheLinkFields() {
    const frmIcon& window = icon();
    for (const DdeLinkField& field : window.LinkField) {
      QCOMPARE(field.LinkTopic, QStringLiteral("Contacts|Database"));
      QCOMPARE(field.linkMode(), int(kLinkModeNone));
    }
    QCOMPARE(window.LinkField[kLinkZipCode].LinkItem, QStringLiteral("ZIP"));
    QVERIFY(!window.LinkField[kLinkRecipient].Enabled);
    QVERIFY(window.LinkField[kLinkCity].Enabled);
    QVERIFY(window.LinkField[kLinkPlus4].Merge);
    QVERIFY(!window.LinkField[kLinkSecondary].Merge);
    QVERIFY(!window.LinkField[kLinkZipCode].Merge);  // only elements 1, 5 and 7 merge
  }

  void sendingPokesEnabledFieldsWithTheirMerges() {
    fillPanel({"Acme Tool Co", "Apt 3", "200 Main St", "", "Springfield", "IL", "12345", ""});
    QCOMPARE(icon().SendBackData(), 0);
    // Add to ZipCode with no add-on: a trailing hyphen; Plus4 is not poked.
    QCOMPARE(link_->table->pokes(), QStringList({"ADDRESS2=Apt 3", "ADDRESS=200 Main St", "CITY=Springfield",
                                                 "STATE=IL", "ZIP=12345-"}));
    // Every item poked was read first, before anything was written.
    QCOMPARE(link_->table->reads(), QStringList({"ADDRESS2", "ADDRESS", "CITY", "STATE", "ZIP"}));
    for (int i = 0; i < 5; ++i) QCOMPARE(link_->table->calls.at(i).method, QStringLiteral("GetItem"));
    QCOMPARE(link_->table->calls.front().application, QStringLiteral("Contacts"));
    QCOMPARE(link_->table->calls.front().topic, QStringLiteral("Database"));

    // Add to Primary and Add to City: the secondary and state items are
    // never poked, even though they are enabled.
    change({{"add to primary", "yes"}, {"Add To City", "YES"}, {"Add to ZipCode", "no"}, {"Recipient Check", "Yes"},
            {"Plus4", "PLUS4"}, {"Plus4 Check", "Yes"}});
    link_->table->calls.clear();
    fillPanel({"Acme Tool Co", "Apt 3", "200 Main St", "", "Springfield", "IL", "12345", "1003"});
    QCOMPARE(icon().SendBackData(), 0);
    QCOMPARE(link_->table->pokes(), QStringList({"COMPANY=Acme Tool Co", "ADDRESS=200 Main St Apt 3",
                                                 "CITY=Springfield IL", "ZIP=12345", "PLUS4=1003"}));
  }

  // A refused item stops the sending; the items written before it get their
  // earlier values back, and the failure names the item.
  void aFailedSendPutsBackWhatItHadWritten() {
    const QMap<QString, QString> before{{"ADDRESS2", "Apt 9"}, {"ADDRESS", "1 Old Rd"}, {"CITY", "Oldtown"},
                                        {"STATE", "OH"}, {"ZIP", "20000"}};
    fillPanel({"", "", "200 Main St", "", "Springfield", "IL", "12345", ""});
    link_->table->items = before;
    link_->table->errors = {0, 0, 0, 0, 0, 0, kLinkPartnerError};  // five reads, then ADDRESS is refused
    QCOMPARE(icon().SendBackData(), kLinkPartnerError);
    QCOMPARE(link_->table->pokes(), QStringList({"ADDRESS2=", "ADDRESS=200 Main St", "ADDRESS2=Apt 9"}));
    QCOMPARE(link_->table->items, before);
    QCOMPARE(icon().SendFailure(), QStringLiteral("The item ADDRESS (Primary) was refused. The items sent before it "
                                                  "were put back as they were: ADDRESS2."));

    // Refused at CITY; putting back ADDRESS fails too: the message says so.
    link_->table->calls.clear();
    link_->table->errors = {0, 0, 0, 0, 0, 0, 0, kLinkPartnerError, kLinkPartnerError, 0};
    QCOMPARE(icon().SendBackData(), kLinkPartnerError);
    QCOMPARE(link_->table->pokes(), QStringList({"ADDRESS2=", "ADDRESS=200 Main St", "CITY=Springfield",
                                                 "ADDRESS=1 Old Rd", "ADDRESS2=Apt 9"}));
    QCOMPARE(link_->table->items.value("ADDRESS"), QStringLiteral("200 Main St"));
    QCOMPARE(link_->table->items.value("ADDRESS2"), QStringLiteral("Apt 9"));
    QCOMPARE(icon().SendFailure(),
             QStringLiteral("The item CITY (City) was refused. The items sent before it were put back as they were: "
                            "ADDRESS2. These could not be put back and hold the new address: ADDRESS."));

    // An item that cannot be read: nothing is written at all.
    link_->table->items = before;
    link_->table->calls.clear();
    link_->table->errors = {0, 0, kLinkTimedOut};
    QCOMPARE(icon().SendBackData(), kLinkTimedOut);
    QVERIFY(link_->table->pokes().isEmpty());
    QCOMPARE(icon().SendFailure(), QStringLiteral("The item CITY (City) could not be read; nothing was sent."));
  }

  void linkitReportsWhichItemWasRefused() {
    partnerHolds("200 main st", "apt 3", "12345-1003");
    // Three reads by the link, five read back, ADDRESS2 written, ADDRESS
    // refused three times, ADDRESS2 put back.
    link_->table->errors = {0, 0, 0, 0, 0, 0, 0, 0, 0, kLinkPartnerError, kLinkPartnerError, kLinkPartnerError};
    icon().Linkit();
    QCOMPARE(MessageBox::shownTexts(),
             QStringList{"DDE Link Failed (Error 285) - please check DDE Setup\n\nThe item ADDRESS (Primary) was "
                         "refused. The items sent before it were put back as they were: ADDRESS2."});
    QCOMPARE(link_->table->items.value("ADDRESS2"), QStringLiteral("apt 3"));
    QCOMPARE(link_->table->items.value("ADDRESS"), QStringLiteral("200 main st"));
  }

  // The partner's ZIP item holds nine digits: examined as a ZIP+4, as typing
  // them would be.
  void linkitTakesNineDigitsAsAZipPlus4() {
    partnerHolds("200 main st", "apt 3", "123451003");
    icon().Linkit();
    QVERIFY(MessageBox::shown().isEmpty());
    QCOMPARE(s_->text("SearchZip"), QStringLiteral("12345-1003"));
    QCOMPARE(s_->lines().size(), 1);
    QVERIFY(link_->table->pokes().contains("ZIP=12345-1003"));
  }

  void linkitLooksUpThePartnersAddressAndSendsTheResultBack() {
    partnerHolds("200 main st", "apt 3", "12345-1003");
    icon().Linkit();
    QVERIFY(MessageBox::shown().isEmpty());
    // Only enabled items are read; the recipient item is neither read nor poked.
    // Read for the search, then read back before the sending.
    QCOMPARE(link_->table->reads(),
             QStringList({"ADDRESS2", "ADDRESS", "ZIP", "ADDRESS2", "ADDRESS", "CITY", "STATE", "ZIP"}));
    QCOMPARE(s_->text("SearchNumber"), QStringLiteral("200"));
    QCOMPARE(s_->text("SearchStreet"), QStringLiteral("MAIN ST"));
    QCOMPARE(s_->text("SearchSecdry"), QStringLiteral("3"));
    QCOMPARE(s_->text("SearchRecipient"), QString());
    QCOMPARE(s_->text("SearchZip"), QStringLiteral("12345-1003"));
    QCOMPARE(s_->lines().size(), 1);
    QCOMPARE(link_->table->pokes(), QStringList({"ADDRESS2=Apt 3", "ADDRESS=200 Main St", "CITY=Springfield",
                                                 "STATE=IL", "ZIP=12345-1003"}));
    QCOMPARE(s_->window.PanelText(1), QStringLiteral("Address Sent"));
  }

  void linkitEmptiesTheSearchFormFirst() {
    s_->type("SearchCity", "SHELBYVILLE");
    s_->type("SearchRecipient", "ACME");
    s_->window.findChild<QComboBox*>("StateList")->setEditText("OH");
    partnerHolds("PO BOX 150", "", "12345-0150");
    icon().Linkit();
    QCOMPARE(s_->text("SearchCity"), QString());
    QCOMPARE(s_->text("SearchRecipient"), QString());
    QCOMPARE(s_->text("SearchNumber"), QString());
    QCOMPARE(s_->text("SearchStreet"), QString());
    QCOMPARE(s_->window.findChild<QComboBox*>("StateList")->currentText(), QString());
    QCOMPARE(s_->lines(), QStringList({"12345-0150 PO Box 100-199, Springfield, IL"}));
    QVERIFY(link_->table->pokes().contains("ADDRESS=PO Box"));
  }

  void linkitSendsNothingWithoutAnAddressOfItsOwn() {
    // An earlier address in the panel must not replace the partner's.
    fillPanel({"", "", "1 Elsewhere Rd", "", "Riverton", "OH", "20000", "0001"});
    partnerHolds("200 Main St", "", "12345");
    icon().Linkit();
    QCOMPARE(s_->text("SearchZip"), QStringLiteral("12345"));
    QCOMPARE(s_->text("SearchNumber"), QStringLiteral("200"));
    QVERIFY(link_->table->pokes().isEmpty());
    QCOMPARE(s_->window.PanelText(1), QStringLiteral("Choose the address and double click it to send it back"));

    // A ZIP+4 that lists nothing empties the panel: nothing is sent either.
    MessageBox::clearShown();
    partnerHolds("200 Main St", "", "12345-5555");
    icon().Linkit();
    QCOMPARE(MessageBox::shownTexts(), QStringList{"No Valid ZipCode Found"});
    QVERIFY(link_->table->pokes().isEmpty());

    // A disabled ZIP code item is not read: no lookup, nothing sent.
    change({{"ZipCode Check", "No"}});
    link_->table->calls.clear();
    icon().Linkit();
    QCOMPARE(link_->table->reads(), QStringList({"ADDRESS2", "ADDRESS"}));
    QVERIFY(link_->table->pokes().isEmpty());
  }

  void threeErrorsEndLinkitWithTheMessage() {
    partnerHolds("200 Main St", "", "12345-1003");
    link_->table->errors = {kLinkNoPartner, kLinkNoPartner, kLinkNoPartner};
    s_->type("SearchStreet", "OAK");
    icon().Linkit();
    QCOMPARE(link_->table->reads(), QStringList({"ADDRESS2", "ADDRESS2", "ADDRESS2"}));
    QCOMPARE(MessageBox::shownTexts(), QStringList{"DDE Link Failed (Error 282) - please check DDE Setup"});
    QCOMPARE(MessageBox::shown().front().icon, MessageBox::Icon::Critical);
    // Nothing was read: the search form is as it was.
    QCOMPARE(s_->text("SearchStreet"), QStringLiteral("OAK"));

    // The errors of one run add up across its steps; the failing step is
    // tried again, the ones before it are not.
    MessageBox::clearShown();
    link_->table->calls.clear();
    link_->table->errors = {kLinkTimedOut, 0, 0, kLinkTimedOut, kLinkPartnerError};
    icon().Linkit();
    QCOMPARE(link_->table->reads(), QStringList({"ADDRESS2", "ADDRESS2", "ADDRESS", "ZIP", "ZIP"}));
    QCOMPARE(MessageBox::shownTexts(), QStringList{"DDE Link Failed (Error 285) - please check DDE Setup"});

    // Each run starts counting afresh; two errors are survived.
    MessageBox::clearShown();
    link_->table->calls.clear();
    link_->table->errors = {kLinkTimedOut, kLinkTimedOut};
    icon().Linkit();
    QVERIFY(MessageBox::shown().isEmpty());
    QCOMPARE(link_->table->pokes().size(), 5);
  }

  void aDoubleClickSendsTheChosenAddressWhileTheIconIsShown() {
    iconItem()->trigger();
    s_->type("SearchZip", "123451001");
    QCOMPARE(s_->lines().size(), 3);
    doubleClickLine(1);
    QCOMPARE(link_->table->pokes(), QStringList({"ADDRESS2=", "ADDRESS=120 Main St", "CITY=Springfield",
                                                 "STATE=IL", "ZIP=12345-1001"}));
    QCOMPARE(s_->window.PanelText(1), QStringLiteral("Address Sent"));

    // A failure goes to the status bar, and the program goes on.
    link_->table->calls.clear();
    link_->table->errors = {kLinkTimedOut};
    doubleClickLine(1);
    QCOMPARE(link_->table->calls.size(), 1);
    QCOMPARE(s_->window.PanelText(1), QStringLiteral("DDE Link Failed (Error 286) - please check DDE Setup The item "
                                                     "ADDRESS2 (Secondary) could not be read; nothing was sent."));
    QVERIFY(MessageBox::shown().isEmpty());

    // With the icon hidden, the double click inserts instead: nothing is sent.
    iconItem()->trigger();
    link_->table->calls.clear();
    doubleClickLine(1);
    QVERIFY(link_->table->calls.isEmpty());
  }
};

CORVELLAN_TEST_CLASS(IconWindowTest);
#include "icon_window_test.moc"
