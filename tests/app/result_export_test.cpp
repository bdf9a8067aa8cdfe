// The export file's line format and the error numbers of the export file.
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

#include "core/result_export.h"
#include "qtest_registry.h"

using namespace corvellan;

class ResultExportTest : public QObject {
  Q_OBJECT

 private slots:
  void valuesAreQuotedWithInnerQuotesDoubled() {
    QCOMPARE(ExportLine({"Acme Tool Co", "", "150 Main St"}), QByteArray("\"Acme Tool Co\",\"\",\"150 Main St\"\r\n"));
    // A quote inside a value is doubled, at either end too; commas and
    // blanks stay as they are.
    QCOMPARE(ExportLine({"Joe's \"Best\" Deli", "\"", "\"X\"", " a, b "}),
             QByteArray("\"Joe's \"\"Best\"\" Deli\",\"\"\"\",\"\"\"X\"\"\",\" a, b \"\r\n"));
    QCOMPARE(ExportLine({}), QByteArray("\r\n"));
  }

  void textIsWrittenInSingleBytes() {
    QCOMPARE(ExportLine({QStringLiteral("Caf\u00e9")}), QByteArray("\"Caf\xe9\"\r\n"));
    // No single-byte form: a question mark, as in the engine's records.
    QCOMPARE(ExportLine({QStringLiteral("\u0178")}), QByteArray("\"?\"\r\n"));
  }

  void headerAndErrorText() {
    const QStringList header = ExportHeader();
    QCOMPARE(header.size(), 18);
    QCOMPARE(header.front(), QStringLiteral("Recipient"));
    QCOMPARE(header.back(), QStringLiteral("RecDesc"));
    QCOMPARE(ExportErrorText(13), QStringLiteral("Unable to complete export - Error  13"));
  }

  void failuresCarryTheSystemsErrorNumber() {
    QTemporaryDir dir;
    ExportFile missing;
    QVERIFY(!missing.open(dir.path() + "/no/such/dir/out.txt"));
    QCOMPARE(missing.error(), ENOENT);
    QVERIFY(!missing.write({"x"}));

    ExportFile file;
    QVERIFY(file.open(dir.path() + "/out.txt"));
    QVERIFY(file.write({"a"}));
    QVERIFY(file.close());
    QCOMPARE(file.error(), 0);
    QFile written(dir.path() + "/out.txt");
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), QByteArray("\"a\"\r\n"));

    if (QFile::exists("/dev/full")) {
      ExportFile full;
      QVERIFY(full.open("/dev/full"));
      QVERIFY(full.write({"a"}));  // buffered
      QVERIFY(!full.close());
      QCOMPARE(full.error(), ENOSPC);
    }
  }
};

CORVELLAN_TEST_CLASS(ResultExportTest);

#include "result_export_test.moc"
