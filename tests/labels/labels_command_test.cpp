// corvdb labels: option checks and exit statuses, rows that give no label,
// standardized rows printed without the database, the Intelligent Mail
// serial numbers, and a sheet of labels read back from a 600 dpi raster by
// check_label_pdf.py. The tool runs as a user runs it: `corvdb labels ...`.
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "labels/drawing/imb.h"
#include "labels/drawing/label_products.h"
#include "qtest_registry.h"
#include "test_database.h"

using namespace corvellan;

namespace {

const QString kBin = QStringLiteral(CORVELLAN_BIN_DIR);

struct Run {
  int status = -1;
  QString out, err;
};

Run Corvdb(const QStringList& args, const QString& program = kBin + QStringLiteral("/corvdb")) {
  QProcess process;
  process.start(program, args);
  Run run;
  if (!process.waitForFinished(120000)) return run;
  run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  run.out = QString::fromUtf8(process.readAllStandardOutput());
  run.err = QString::fromUtf8(process.readAllStandardError());
  return run;
}

void Write(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

// The text of a PDF page by page (pdftotext -layout), lines trimmed, empty
// lines left out.
QList<QStringList> PdfPages(const QString& pdf) {
  QProcess process;
  process.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
  process.waitForFinished(60000);
  QList<QStringList> pages;
  for (const QString& page : QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\f'))) {
    QStringList lines;
    for (const QString& line : page.split(QLatin1Char('\n'))) {
      if (!line.trimmed().isEmpty()) lines << line.trimmed();
    }
    if (!lines.isEmpty()) pages << lines;
  }
  return pages;
}

bool HasPoppler() { return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty(); }

// Matched in the test database (see test_database.h): 12345-1001 and, with
// its unit, 12345-1003.
constexpr char kGoodList[] =
    "recipient,address\r\n"
    "Ann Archer,\"110 Main St, Springfield IL 12345\"\r\n"
    "Bob Baker,\"200 Main St Apt 3, Springfield IL 12345\"\r\n";

}  // namespace

class LabelsCommandTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QVERIFY(QFile::exists(kBin + QStringLiteral("/corvdb-labels"))); }

  // {in}, {out} and {db} stand for the list, the PDF and the database folder.
  void optionsAndExitStatus_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    const QByteArray good = kGoodList;
    const QStringList base = {"--data", "{db}", "--in", "{in}"};
    const QStringList imb = base + QStringList{"--out", "{out}", "--barcode", "imb", "--service-type", "270"};
    QTest::newRow("no output") << base << good << 2 << "give either --out or --printer";
    QTest::newRow("both outputs") << base + QStringList{"--out", "{out}", "--printer", "x"} << good << 2
                                  << "give either --out or --printer";
    QTest::newRow("unknown option") << base + QStringList{"--out", "{out}", "--colour"} << good << 2 << "--colour";
    QTest::newRow("no list option") << QStringList{"--out", "{out}"} << good << 2 << "--in is required";
    QTest::newRow("barcode kind") << base + QStringList{"--out", "{out}", "--barcode", "qr"} << good << 2
                                  << "--barcode must be none, postnet or imb";
    QTest::newRow("start beyond a page") << base + QStringList{"--out", "{out}", "--start", "2"} << good << 2
                                         << "--start must be 1 to 1";
    QTest::newRow("start 0") << base + QStringList{"--out", "{out}", "--start", "0"} << good << 2
                             << "--start must be 1 to 1";
    QTest::newRow("max chars") << base + QStringList{"--out", "{out}", "--max-chars", "0"} << good << 2
                               << "--max-chars must be 1 to 32767";
    QTest::newRow("font size") << base + QStringList{"--out", "{out}", "--font-size", "200"} << good << 2
                               << "--font-size must be 4 to 72";
    QTest::newRow("margin off the label")
        << base + QStringList{"--out", "{out}", "--left", "5"} << good << 2 << "must lie on the label";
    QTest::newRow("unknown product") << base + QStringList{"--out", "{out}", "--product", "Nobody 1"} << good << 2
                                     << "label product";
    QTest::newRow("imb without mailer") << imb << good << 2 << "needs --service-type, --mailer-id and --serial";
    QTest::newRow("imb barcode id") << imb + QStringList{"--mailer-id", "592831", "--serial", "0", "--barcode-id", "05"}
                                    << good << 2 << "The second digit of the barcode ID must be 0 to 4.";
    QTest::newRow("imb 6-digit id with 9") << imb + QStringList{"--mailer-id", "912345", "--serial", "0"} << good << 2
                                           << "A nine-digit Mailer ID starts with 9";
    QTest::newRow("imb serial range") << imb + QStringList{"--mailer-id", "912345678", "--serial", "1000000"} << good
                                      << 2 << "--serial must be 0 to 999999";
    QTest::newRow("serial without imb") << base + QStringList{"--out", "{out}", "--serial", "4"} << good << 2
                                        << "belong to --barcode imb";
    QTest::newRow("missing list") << QStringList{"--data", "{db}", "--in", "{in}.missing", "--out", "{out}"} << good
                                  << 2 << "cannot read";
    QTest::newRow("output is the list") << QStringList{"--data", "{db}", "--in", "{in}", "--out", "{in}"} << good << 2
                                        << "is the input list";
    QTest::newRow("output is the database")
        << QStringList{"--data", "{db}", "--in", "{in}", "--out", "{db}/zip.cvd"} << good << 2 << "is the database";
    QTest::newRow("output folder missing")
        << base + QStringList{"--out", "{out}.d/x/labels.pdf"} << good << 2 << "does not exist";
    QTest::newRow("database missing") << QStringList{"--data", "{out}.none", "--in", "{in}", "--out", "{out}"} << good
                                      << 2 << "Error opening Data Files";
    QTest::newRow("no address column") << base + QStringList{"--out", "{out}"}
                                       << QByteArray("name,street\r\nA,1 Main\r\n") << 2
                                       << "has no column named \"address\"";
    QTest::newRow("empty list") << base + QStringList{"--out", "{out}"} << QByteArray() << 2 << "is empty";
    QTest::newRow("header only") << base + QStringList{"--out", "{out}"} << QByteArray("address\r\n") << 1
                                 << "no label: the list has no rows";
    QTest::newRow("nothing matches") << base + QStringList{"--out", "{out}"}
                                     << QByteArray("address\r\n\"999 Nowhere Rd, Springfield IL 12345\"\r\n") << 1
                                     << "none of the 1 rows gave one";
    QTest::newRow("printed") << base + QStringList{"--out", "{out}"} << good << 0 << "2 labels on 2 pages";
    QTest::newRow("text past the label") << base + QStringList{"--out", "{out}", "--font-size", "24"} << good << 0
                                         << "warning: the text of 2 labels runs past the bottom of the label";
  }

  void optionsAndExitStatus() {
    QFETCH(QStringList, args);
    QFETCH(QByteArray, list);
    QFETCH(int, status);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString in = dir.filePath("list.csv");
    const QString out = dir.filePath("labels.pdf");
    Write(in, list);
    for (QString& arg : args) {
      arg.replace("{in}", in).replace("{out}", out).replace("{db}", test::TestDatabaseDir());
    }
    const Run run = Corvdb(QStringList{"labels"} + args);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QCOMPARE(run.status, status);
    // Only a good run leaves a file, and never a temporary one.
    QCOMPARE(QFile::exists(out), status == 0);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), status == 0 ? 2 : 1);
    QCOMPARE(QFile(in).size(), list.size());
  }

  void rowsWithoutALabelAreListedAndSkipped() {
    if (!HasPoppler()) QSKIP("pdftotext (poppler-utils) is not installed");
    QTemporaryDir dir;
    Write(dir.filePath("list.csv"),
          "name,address\r\n"
          "Ann Archer,\"110 Main St, Springfield IL 12345\"\r\n"
          "Nobody,\"999 Nowhere Rd, Springfield IL 12345\"\r\n"
          "Broken,\"150 Main\"St\"\r\n"
          "Bob Baker,\"200 Main St Apt 3, Springfield IL 12345\"\r\n");
    const Run run = Corvdb({"labels", "--data", test::TestDatabaseDir(), "--in", dir.filePath("list.csv"), "--out",
                            dir.filePath("labels.pdf"), "--barcode", "none"});
    QCOMPARE(run.status, 0);
    QVERIFY2(run.err.contains("row 2 (line 3) skipped: not matched (not found"), qPrintable(run.err));
    QVERIFY2(run.err.contains("row 3 (line 4) skipped: cannot be read"), qPrintable(run.err));
    QVERIFY2(run.err.contains("2 labels on 2 pages; 2 of 4 rows skipped"), qPrintable(run.err));
    QVERIFY2(run.err.contains("2 of 2 labels"), qPrintable(run.err));
    const QList<QStringList> pages = PdfPages(dir.filePath("labels.pdf"));
    QCOMPARE(pages, (QList<QStringList>{{"Ann Archer", "110 MAIN ST", "SPRINGFIELD IL 12345-1001"},
                                        {"Bob Baker", "200 MAIN ST APT 3", "SPRINGFIELD IL 12345-1003"}}));
  }

  // The columns corvdb standardize appends are printed as they stand: no
  // database is opened, and the program's line rules apply.
  void standardizedRowsNeedNoDatabase() {
    if (!HasPoppler()) QSKIP("pdftotext (poppler-utils) is not installed");
    QTemporaryDir dir;
    Write(dir.filePath("list.csv"),
          "Recipient,address,std_delivery_line,std_city,std_state,std_zip4,std_record_type,match_code,match_reason\r\n"
          "Ann Archer,x,150 MAIN ST STE 12,SPRINGFIELD,IL,12345-1002,F,exact,\r\n"
          "Nobody,y,,,,,,not found,street NOWHERE not found\r\n"
          "Cy Cole,z,PO BOX 150,SPRINGFIELD,IL,12345,P,corrected,ZIP code\r\n"
          "Di Dunn,w,100 N PIER POINT RD,SPRINGFIELD,IL,12345-1001,S,exact,\r\n"
          "Ed Eng,v,12 W SIDE DR REAR,SPRINGFIELD,IL,12345-1001,H,exact,\r\n");
    const Run run = Corvdb({"labels", "--data", dir.filePath("no-such-folder"), "--in", dir.filePath("list.csv"),
                            "--out", dir.filePath("labels.pdf"), "--max-chars", "16", "--barcode", "none"});
    QCOMPARE(run.status, 0);
    QVERIFY2(run.err.contains("row 2 (line 3) skipped: no ZIP code in std_zip4 (not found: street NOWHERE not found)"),
             qPrintable(run.err));
    // Longer than 16: the unit above the delivery line, the ZIP code on a line of its own.
    QCOMPARE(PdfPages(dir.filePath("labels.pdf")),
             (QList<QStringList>{{"Ann Archer", "STE 12", "150 MAIN ST", "SPRINGFIELD IL", "12345-1002"},
                                 {"Cy Cole", "PO BOX 150", "SPRINGFIELD IL", "12345"},
                                 // A designator word in the street's name is not a unit.
                                 {"Di Dunn", "100 N PIER POINT RD", "SPRINGFIELD IL", "12345-1001"},
                                 {"Ed Eng", "REAR", "12 W SIDE DR", "SPRINGFIELD IL", "12345-1001"}}));
  }

  void serialsFollowEachOther_data() {
    QTest::addColumn<QString>("mailerId");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("told");
    QTest::newRow("6-digit id") << "592831"
                                << "41"
                                << "serials 41 to 43 of Mailer ID 592831 used; next serial 44";
    QTest::newRow("6-digit id wraps") << "592831"
                                      << "999999998"
                                      << "serials 999999998 to 0 of Mailer ID 592831 used; next serial 1";
    QTest::newRow("9-digit id wraps") << "912345678"
                                      << "999999"
                                      << "serials 999999 to 1 of Mailer ID 912345678 used; next serial 2";
  }

  void serialsFollowEachOther() {
    QFETCH(QString, mailerId);
    QFETCH(QString, first);
    QFETCH(QString, told);
    QTemporaryDir dir;
    Write(dir.filePath("list.csv"), QByteArray(kGoodList) + "Cy Cole,\"112 Main St, Springfield IL 12345\"\r\n");
    const Run run = Corvdb({"labels", "--data", test::TestDatabaseDir(), "--in", dir.filePath("list.csv"), "--out",
                            dir.filePath("labels.pdf"), "--barcode", "imb", "--service-type", "270", "--mailer-id",
                            mailerId, "--serial", first, "--digits"});
    QCOMPARE(run.status, 0);
    QVERIFY2(run.err.contains(told), qPrintable(run.err));
    if (!HasPoppler()) return;
    // The digits under the bars carry the serials in turn.
    const QList<QStringList> pages = PdfPages(dir.filePath("labels.pdf"));
    QCOMPARE(pages.size(), 3);
    const qint64 count = ImbSerialCount(mailerId);
    const int width = 20 - 5 - int(mailerId.size());
    for (int i = 0; i < 3; ++i) {
      const QString groups = QStringLiteral("00 270 %1 %2 ")
                                 .arg(mailerId)
                                 .arg((first.toLongLong() + i) % count, width, 10, QLatin1Char('0'));
      QVERIFY2(pages[i].first().startsWith(groups), qPrintable(pages[i].first() + " / " + groups));
    }
  }

  // Three labels from label 29 of an Avery 5160 sheet: two pages, each
  // label's 65 bars read back from a raster of the PDF.
  void sheetWithIntelligentMailBarcodes() {
    const std::optional<LabelProduct> product = FindLabelProduct("Avery 5160");
    if (!product) QSKIP("glabels-data is not installed");
    if (!HasPoppler() || QStandardPaths::findExecutable("pdftoppm").isEmpty()) QSKIP("poppler-utils is not installed");
    QTemporaryDir dir;
    Write(dir.filePath("list.csv"), QByteArray(kGoodList) + "Cy Cole,\"PO Box 150, Springfield IL 12345\"\r\n");
    const Run run = Corvdb({"labels",
                            "--data",
                            test::TestDatabaseDir(),
                            "--in",
                            dir.filePath("list.csv"),
                            "--out",
                            dir.filePath("sheet.pdf"),
                            "--product",
                            "Avery 5160",
                            "--start",
                            "29",
                            "--barcode",
                            "imb",
                            "--service-type",
                            "270",
                            "--mailer-id",
                            "592831",
                            "--serial",
                            "41",
                            "--digits"});
    QCOMPARE(run.status, 0);
    QVERIFY2(run.err.contains("3 labels on 2 pages of Avery 5160"), qPrintable(run.err));
    QVERIFY2(!run.err.contains("warning"), qPrintable(run.err));

    const QStringList firstWords = {"Ann", "Bob", "Cy"};
    const QStringList lines = {"110 MAIN ST", "200 MAIN ST APT 3", "PO BOX 150"};
    // The routing codes: ZIP+4 of the match and the delivery point.
    QStringList routings;
    // (Labels side by side share the lines of pdftotext, left to right.)
    QString text;
    for (const QStringList& page : PdfPages(dir.filePath("sheet.pdf"))) text += page.join('\n') + '\n';
    QRegularExpressionMatchIterator zips = QRegularExpression("SPRINGFIELD IL (\\d{5})-(\\d{4})").globalMatch(text);
    while (zips.hasNext()) {
      const QRegularExpressionMatch zip = zips.next();
      routings << zip.captured(1) + zip.captured(2);
    }
    QCOMPARE(routings.size(), 3);
    QJsonArray labels;
    const int cells[] = {28, 29, 0};
    for (int i = 0; i < 3; ++i) {
      const QString routing = ImbRoutingCode(routings[i], lines[i]);
      const QString tracking = ImbTrackingCode({"00", "270", "592831"}, 41 + i);
      const QPointF cell = product->cells[cells[i]];
      const double right = cell.x() + product->label.width();
      // A 5160 label is narrower than the shortest barcode at 24 bars to the
      // inch: its bars are squeezed to stay on it (PlaceImbOnLabel).
      const ImbPlacement place = PlaceImbOnLabel(cell.x() + 0.1, cell.x(), right);
      QJsonObject label{{"page", i < 2 ? 1 : 2},
                        {"x", cell.x() + 0.1},
                        {"y", cell.y() + 0.1},
                        {"bars_x", place.leftInches},
                        {"cell_left", cell.x()},
                        {"cell_right", right},
                        {"cell_top", cell.y()},
                        {"cell_bottom", cell.y() + product->label.height()},
                        {"first_word", firstWords[i]},
                        {"digits", ImbHumanReadable(tracking, 6, routing)},
                        {"bars", EncodeImb(tracking, routing).bars}};
      if (place.squeezed) label.insert("pitch", 1 / place.pitchInches);
      labels.append(label);
    }
    Write(dir.filePath("sheet.json"), QJsonDocument(QJsonObject{{"labels", labels}}).toJson());
    QProcess check;
    check.setProcessChannelMode(QProcess::MergedChannels);
    check.start("python3", {CORVELLAN_LABEL_CHECK, "--sheet", dir.filePath("sheet.pdf"), dir.filePath("sheet.json")});
    QVERIFY(check.waitForFinished(120000));
    const QString report = QString::fromUtf8(check.readAll());
    qInfo().noquote() << report.trimmed();
    QVERIFY2(check.exitCode() == 0, qPrintable(report));
  }

  void corvdbRunsTheLabelsProgram() {
    const Run help = Corvdb({"labels", "--help"});
    QCOMPARE(help.status, 0);
    QVERIFY2(help.out.contains("--barcode") && help.out.contains("--serial"), qPrintable(help.out));
    QVERIFY(Corvdb({"--help"}).out.contains("labels"));

    // A corvdb without the program beside it or in its libexec folder.
    QTemporaryDir dir;
    QVERIFY(QDir().mkpath(dir.filePath("bin")));
    QVERIFY(QFile::copy(kBin + "/corvdb", dir.filePath("bin/corvdb")));
    QFile::setPermissions(dir.filePath("bin/corvdb"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    for (const QString& library : QDir(kBin).entryList({"libCorvdb.so*"})) {
      QVERIFY(QFile::copy(kBin + "/" + library, dir.filePath("bin/" + library)));
    }
    const Run missing = Corvdb({"labels", "--in", "x.csv", "--out", "x.pdf"}, dir.filePath("bin/corvdb"));
    QCOMPARE(missing.status, 2);
    QVERIFY2(missing.err.contains("corvdb-labels is not installed"), qPrintable(missing.err));
  }
};

CORVELLAN_TEST_CLASS(LabelsCommandTest);

#include "labels_command_test.moc"
