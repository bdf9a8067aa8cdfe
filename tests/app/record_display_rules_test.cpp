// The rules of the record display that need no window: the Primary and
// Plus4 boxes, record-type descriptions, non-delivery records and messages.
#include <QTest>

#include "core/address_record.h"
#include "core/record_display.h"
#include "core/zip_examination.h"
#include "qtest_registry.h"

using namespace corvellan;

class RecordDisplayRulesTest : public QObject {
  Q_OBJECT

 private slots:
  void primaryLine_data() {
    QTest::addColumn<QString>("street");
    QTest::addColumn<QString>("low");
    QTest::addColumn<QString>("high");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("numberFilter");
    QTest::addColumn<QString>("line");
    QTest::newRow("one house number") << "MAIN ST" << "100" << "100" << "S" << "" << "100 Main St";
    QTest::newRow("a range alone") << "MAIN ST" << "100" << "198" << "S" << "" << "Main St";
    QTest::newRow("a range takes the typed number") << "MAIN ST" << "100" << "198" << "S" << "124" << "124 Main St";
    QTest::newRow("one box") << "PO BOX" << "200" << "200" << "P" << "" << "PO Box 200";
    QTest::newRow("box of a range") << "PO BOX" << "100" << "199" << "P" << "123" << "PO Box 123";
    QTest::newRow("no street") << "" << "100" << "100" << "S" << "5" << "";
  }
  void primaryLine() {
    QFETCH(QString, street);
    QFETCH(QString, low);
    QFETCH(QString, high);
    QFETCH(QString, type);
    QFETCH(QString, numberFilter);
    QFETCH(QString, line);
    QCOMPARE(BuildPrimaryLine(street, low, high, type, numberFilter), line);
  }

  void plus4_data() {
    QTest::addColumn<QString>("low");
    QTest::addColumn<QString>("high");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("numberFilter");
    QTest::addColumn<QString>("typedZip");
    QTest::addColumn<QString>("plus4");
    QTest::newRow("one add-on") << "1234" << "1234" << "S" << "" << "" << "1234";
    QTest::newRow("box in the range") << "0100" << "0199" << "P" << "123" << "" << "0123";
    QTest::newRow("box outside the range") << "0100" << "0199" << "P" << "250" << "" << "";
    QTest::newRow("no box, range from 0000") << "0000" << "0099" << "P" << "" << "" << "0000";
    QTest::newRow("box with letters") << "0000" << "0099" << "P" << "12B" << "" << "";
    QTest::newRow("street range, typed ZIP+4") << "1000" << "1099" << "S" << "" << "12345-1050" << "1050";
    QTest::newRow("typed ZIP+4 outside") << "1000" << "1099" << "S" << "" << "12345-2050" << "";
    QTest::newRow("typed ZIP+4 not digits") << "0000" << "0099" << "S" << "" << "12345-1/2." << "";
    QTest::newRow("a range without either") << "0001" << "0099" << "S" << "5" << "12345" << "";
  }
  void plus4() {
    QFETCH(QString, low);
    QFETCH(QString, high);
    QFETCH(QString, type);
    QFETCH(QString, numberFilter);
    QFETCH(QString, typedZip);
    QFETCH(QString, plus4);
    QCOMPARE(DerivePlus4(low, high, type, numberFilter, typedZip), plus4);
  }

  void recordTypes() {
    const QList<QPair<QString, QString>> descriptions = {
        {"G", "General Delivery"}, {"H", "Highrise"}, {"F", "Firm"}, {"S", "Street"}, {"P", "PO Box"},
        {"R", "Rural Route/Highway Contract"}, {"M", "Multi-Carrier Route"}, {" S ", "Street"}, {"X", ""}, {"s", ""}};
    for (const auto& [code, description] : descriptions) QCOMPARE(RecordTypeDescription(code), description);
  }

  void nonDeliveryRecords() {
    AddressRecord record;
    record.Set(addr::kZipPlus4, QStringLiteral("12345ND01"));
    QVERIFY(IsNonDeliveryRecord(record));
    record.Set(addr::kZipPlus4, QStringLiteral("123456789"));
    QVERIFY(!IsNonDeliveryRecord(record));
    record.Set(addr::kCity, QStringLiteral("ND"));  // elsewhere in the record it does not count
    QVERIFY(!IsNonDeliveryRecord(record));
  }

  void messagesAndKeys() {
    QCOMPARE(FindAddressErrorText(-1), QStringLiteral("Zip Code not found"));
    QCOMPARE(FindAddressErrorText(-2), QStringLiteral("Missing Profile entry"));
    QCOMPARE(FindAddressErrorText(-3), QStringLiteral("Error opening Data Files"));
    QCOMPARE(FindAddressErrorText(-7), QStringLiteral("Error No 7"));
    QCOMPARE(ExaminationKey(QStringLiteral("12345-6789")), QStringLiteral("123456789"));
    QCOMPARE(ExaminationKey(QStringLiteral("1234 -6789")), QStringLiteral("12346789"));
  }
};

CORVELLAN_TEST_CLASS(RecordDisplayRulesTest);

#include "record_display_rules_test.moc"
