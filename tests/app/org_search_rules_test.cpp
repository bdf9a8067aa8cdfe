// The rules of the organization search: the record-type selection, the
// apartment names, the line, the maximum count.
#include <QTest>

#include <limits>

#include "core/address_record.h"
#include "core/org_search.h"
#include "qtest_registry.h"

using namespace corvellan;

class OrgSearchRulesTest : public QObject {
  Q_OBJECT

 private slots:
  void selectionTakesTheLetterOfEachCheckedCaption() {
    const QStringList captions = {"&G = General Delivery", "&H = Highrise", "&F = Firm", "&S = Street",
                                  "&P = PO Box", "&R = Rural Route/Highway Contract", "&M = Multi Carrier"};
    QCOMPARE(RecordTypeSelection(captions, {false, false, true, false, false, false, false}), QStringLiteral("F"));
    QCOMPARE(RecordTypeSelection(captions, {true, true, false, false, false, false, true}), QStringLiteral("GHM"));
    QCOMPARE(RecordTypeSelection(captions, QList<bool>(7, false)), QString());
    // The letter a caption begins with, wherever its access key is.
    const QStringList keyed = {"G = General Delivery", "H = Highrise", "F = F&irm", "&S = Street",
                               "&P = PO Box", "R = Rural Route/Highwa&y Contract", "&M = Multi Carrier"};
    QCOMPARE(RecordTypeSelection(keyed, QList<bool>(7, true)), QStringLiteral("GHFSPRM"));
    QCOMPARE(RecordTypeSelection({"&&F", "", "&"}, {true, true, true}), QStringLiteral("&"));
  }

  void apartmentNamesInDisplayCase() {
    for (const char* name : {"Maple Apts", "Apt Rentals", "Aptitude Inc", "Apts"}) QVERIFY2(IsApartmentName(name), name);
    // Binary comparisons: upper case or a word inside the name is not caught.
    for (const char* name : {"MAPLE APTS", "APT RENTALS", "Rapt Studio", "Maple Apts Office", "Acme Apt", ""}) {
      QVERIFY2(!IsApartmentName(name), name);
    }
  }

  void lineOfARecord() {
    AddressRecord record;
    record.Set(addr::kFirm, "ACME TOOL CO");
    record.Set(addr::kZipPlus4, "123456789");
    record.Set(addr::kAddonLow, "6789");
    QCOMPARE(OrgLine(record), QStringLiteral("12345-6789  Acme Tool Co"));
    // The add-on trimmed.
    record.Set(addr::kAddonLow, "12");
    QCOMPARE(OrgLine(record), QStringLiteral("12345-12  Acme Tool Co"));
  }

  void maximumIsTheLeadingNumber() {
    QCOMPARE(OrgMaximum("10"), 10);
    QCOMPARE(OrgMaximum(" 25abc"), 25);
    QCOMPARE(OrgMaximum("2.5"), 2);  // rounded half to even
    QCOMPARE(OrgMaximum(""), 0);
    QCOMPARE(OrgMaximum("abc"), 0);
    QCOMPARE(OrgMaximum("99999999999"), std::numeric_limits<std::int32_t>::max());
  }
};

CORVELLAN_TEST_CLASS(OrgSearchRulesTest);

#include "org_search_rules_test.moc"
