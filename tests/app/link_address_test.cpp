// The text rules of the address link: reading the partner's items into
// search values, merging the panel into the items sent back, the partner's
// bus name and the error numbers of bus errors. No window, no bus.
#include <QTest>

#include "qtest_registry.h"
#include "transfer/dbus_link.h"
#include "transfer/dde_link.h"
#include "transfer/link_address.h"

using namespace corvellan;

class LinkAddressTest : public QObject {
  Q_OBJECT

 private slots:
  void capitalizeFirstShowsNamesInOneForm() {
    QCOMPARE(CapitalizeFirst("MYAPP"), QStringLiteral("Myapp"));
    QCOMPARE(CapitalizeFirst("database"), QStringLiteral("Database"));
    QCOMPARE(CapitalizeFirst("mY aPP"), QStringLiteral("My app"));
    QCOMPARE(CapitalizeFirst(""), QString());
    QCOMPARE(CapitalizeFirst("   "), QStringLiteral("   "));
    QCOMPARE(CapitalizeFirst("x"), QStringLiteral("X"));
  }

  void filterCharsKeepsTheSetOfItsMode() {
    const QString text = QStringLiteral("  Apt #4b, (N) 12/3-A+é ");
    QCOMPARE(FilterChars(text, 1), QStringLiteral("AptbNA"));
    QCOMPARE(FilterChars(text, 2), QStringLiteral("Apt b N A"));
    QCOMPARE(FilterChars(text, 3), QStringLiteral("Apt4bN123A"));
    QCOMPARE(FilterChars(text, 4), QStringLiteral("Apt 4b (N) 12/3-A+"));
    QCOMPARE(FilterChars(text, 0), QString());
    QCOMPARE(FilterChars(text, 5), QString());
    // Trimmed before filtering: inner blanks stay, outer ones go.
    QCOMPARE(FilterChars("  a  b  ", 2), QStringLiteral("a  b"));
  }

  void searchSecDataSplitsAUnitWordOffTheStreet() {
    QString line = QStringLiteral("MAIN ST APPT 4");
    QCOMPARE(SearchSecData(line), QStringLiteral("4"));
    QCOMPARE(line, QStringLiteral("MAIN ST"));

    // The words are tried in the order STE, FLAT, APPT, not by position;
    // the line keeps its letter case.
    line = QStringLiteral("Oak Ave Flat 2 Ste 9");
    QCOMPARE(SearchSecData(line), QStringLiteral("9"));
    QCOMPARE(line, QStringLiteral("Oak Ave Flat 2"));

    // Only as a word with a blank on each side.
    for (const char* unchanged : {"STEWART ST", "MAIN ST APPT", "APPT 4 MAIN", "MAIN ST APT 4"}) {
      line = QLatin1String(unchanged);
      QCOMPARE(SearchSecData(line), QString());
      QCOMPARE(line, QLatin1String(unchanged));
    }
  }

  void aPrimaryItemGivesNumberStreetAndUnit() {
    LinkSearchValues values;
    SplitPrimary("12 main st appt 4", values);
    QCOMPARE(values.number, QStringLiteral("12"));
    QCOMPARE(values.street, QStringLiteral("MAIN ST"));
    QCOMPARE(values.secondary, QStringLiteral("4"));

    // A unit read from the secondary item wins over one in the street.
    values = {};
    values.secondary = QStringLiteral("7");
    SplitPrimary("12 Main St Appt 4", values);
    QCOMPARE(values.street, QStringLiteral("MAIN ST APPT 4"));
    QCOMPARE(values.secondary, QStringLiteral("7"));

    // No leading number, or no blank: number and street stay empty.
    for (const char* item : {"PO BOX 5", "12", "0 MAIN ST", "", "-3 MAIN ST"}) {
      values = {};
      values.number = QStringLiteral("old");
      SplitPrimary(QLatin1String(item), values);
      QCOMPARE(values.number, QString());
      QCOMPARE(values.street, QString());
      QCOMPARE(values.secondary, QString());
    }

    // Characters outside the set are dropped before splitting.
    values = {};
    SplitPrimary("  12B, Elm  St. ", values);
    QCOMPARE(values.number, QStringLiteral("12B"));
    QCOMPARE(values.street, QStringLiteral("ELM  ST"));
  }

  void aSecondaryItemGivesTheUnitFromItsNumber() {
    QCOMPARE(SecondaryFromItem("Apt 3b"), QStringLiteral("3B"));
    QCOMPARE(SecondaryFromItem("#12"), QStringLiteral("12"));
    QCOMPARE(SecondaryFromItem("Suite 0"), QString());
    QCOMPARE(SecondaryFromItem("Rear"), QString());
    QCOMPARE(SecondaryFromItem(""), QString());
  }

  // Nine digits are a ZIP+4 code, as they are when typed into the ZIP box;
  // anything else reaches the box unchanged.
  void aZipItemOfNineDigitsIsAZipPlus4() {
    QCOMPARE(ZipFromItem("530012812"), QStringLiteral("53001-2812"));
    QCOMPARE(ZipFromItem(" 530012812 "), QStringLiteral("53001-2812"));
    QCOMPARE(ZipFromItem("53001-2812"), QStringLiteral("53001-2812"));
    QCOMPARE(ZipFromItem("53001"), QStringLiteral("53001"));
    QCOMPARE(ZipFromItem("5300128120"), QStringLiteral("5300128120"));
    QCOMPARE(ZipFromItem("53001281A"), QStringLiteral("53001281A"));
    QCOMPARE(ZipFromItem(""), QString());
  }

  void sendBackTextsFollowTheMergeRules() {
    const PanelAddress panel{"Acme Co", "Apt 3", "200 Main St", "", "Springfield", "IL", "12345", "1003"};
    auto texts = SendBackTexts(panel, {});
    QCOMPARE(QStringList(texts.begin(), texts.end()),
             QStringList({"Acme Co", "Apt 3", "200 Main St", "", "Springfield", "IL", "12345", "1003"}));

    texts = SendBackTexts(panel, {true, true, true});
    QCOMPARE(QStringList(texts.begin(), texts.end()),
             QStringList({"Acme Co", "", "200 Main St Apt 3", "", "Springfield IL", "", "12345-1003", ""}));

    // Nothing to merge: no trailing blank, but the ZIP code keeps its hyphen.
    const PanelAddress bare{"", "", "200 Main St", "", "Springfield", "", "12345", ""};
    texts = SendBackTexts(bare, {true, true, true});
    QCOMPARE(texts[kLinkPrimary], QStringLiteral("200 Main St"));
    QCOMPARE(texts[kLinkCity], QStringLiteral("Springfield"));
    QCOMPARE(texts[kLinkZipCode], QStringLiteral("12345-"));
  }

  void aPartnersBusNameIgnoresLetterCase() {
    QCOMPARE(LinkBusName("Contacts"), QStringLiteral("org.corvellan.link.contacts"));
    QCOMPARE(LinkBusName("CONTACTS"), LinkBusName("contacts"));
    QCOMPARE(LinkBusName(" My App-2.0 "), QStringLiteral("org.corvellan.link.my_app_2_0"));
    QCOMPARE(LinkBusName("Café"), QStringLiteral("org.corvellan.link.caf_"));
    // A bus name element must not start with a digit.
    QCOMPARE(LinkBusName("3com"), QStringLiteral("org.corvellan.link._3com"));
    QCOMPARE(LinkBusName("  "), QString());
    QCOMPARE(LinkBusName(QString(400, QLatin1Char('a'))).size(), 255);
  }

  void busErrorsKeepTheirNumbers() {
    QCOMPARE(DBusLinkTransport::ErrorNumber("org.freedesktop.DBus.Error.ServiceUnknown"), kLinkNoPartner);
    QCOMPARE(DBusLinkTransport::ErrorNumber("org.freedesktop.DBus.Error.NameHasNoOwner"), kLinkNoPartner);
    QCOMPARE(DBusLinkTransport::ErrorNumber("org.freedesktop.DBus.Error.NoReply"), kLinkTimedOut);
    QCOMPARE(DBusLinkTransport::ErrorNumber("org.freedesktop.DBus.Error.UnknownMethod"), kLinkPartnerError);
    QCOMPARE(DBusLinkTransport::ErrorNumber("com.example.Whatever"), kLinkPartnerError);
    QCOMPARE(LinkFailedText(-282), QStringLiteral("DDE Link Failed (Error -282) - please check DDE Setup"));
    QCOMPARE(LinkFailedText(286), QStringLiteral("DDE Link Failed (Error 286) - please check DDE Setup"));
  }
};

CORVELLAN_TEST_CLASS(LinkAddressTest);
#include "link_address_test.moc"
