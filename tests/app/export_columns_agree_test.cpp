// corvdb serve names and cases an address's fields as File, Export does,
// without Qt: its column list and its display casing must agree with the
// program's own.
#include <QTest>

#include "core/query_prep.h"
#include "core/record_display.h"
#include "core/result_export.h"
#include "export_columns.h"
#include "qtest_registry.h"

using namespace corvellan;

class ExportColumnsAgreeTest : public QObject {
  Q_OBJECT

 private slots:
  void columnNamesAreTheExportHeader() {
    QStringList names;
    for (const char* name : corvdb::tools::kExportColumns) names.append(QString::fromLatin1(name));
    QCOMPARE(names, ExportHeader());
  }

  void displayCaseIsTheProgramsProperCase_data() {
    QTest::addColumn<QString>("text");
    for (const char* text : {"MAIN ST", "Main St", "AVENUE OF THE STARS", "PO BOX", "Po Box 12", "NE MAIN ST NW",
                             "RR 2 BOX 5", "NW", "N", "  ELM  ", "", "O'MALLEY-SMITH (REAR)/A", "UNDER THE HILL ON THE RR",
                             "MAIN ST SE", "A SW", "SEA", "NEW ST"}) {
      QTest::newRow(text) << QString::fromLatin1(text);
    }
  }
  void displayCaseIsTheProgramsProperCase() {
    QFETCH(QString, text);
    QCOMPARE(QString::fromStdString(corvdb::tools::DisplayCase(text.toStdString())), ProperCase(text));
  }

  void recordTypeDescriptionsAgree() {
    for (const char* code : {"G", "H", "F", "S", "P", "R", "M", "X", ""}) {
      QCOMPARE(QString::fromStdString(corvdb::tools::RecordTypeDescription(code)),
               RecordTypeDescription(QString::fromLatin1(code)));
    }
  }
};

CORVELLAN_TEST_CLASS(ExportColumnsAgreeTest);

#include "export_columns_agree_test.moc"
