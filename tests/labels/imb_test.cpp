// The Intelligent Mail barcode: bar states, routing and tracking codes, the
// mailer settings and their serial numbers, and the barcode kind of a template.
#include <QCheckBox>
#include <QImage>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <cmath>
#include <memory>
#include <set>

#include "core/app_globals.h"
#include "core/desktop.h"
#include "core/settings.h"
#include "core/zip_main.h"
#include "labels/drawing/imb.h"
#include "labels/drawing/label_products.h"
#include "labels/label_composition.h"
#include "labels/label_form.h"
#include "labels/label_options.h"
#include "labels/label_templates.h"
#include "qtest_registry.h"
#include "test_environment.h"

using namespace corvellan;
using corvellan::test::TestEnvironment;

namespace {

// ImbSerialWorker: rounds, serials per round; ImbTest starts this many at once.
constexpr int kWorkerRounds = 150;
constexpr int kWorkerSerials = 3;
constexpr int kWorkers = 4;

}  // namespace

class ImbTest : public QObject {
  Q_OBJECT

 private slots:
  // The examples of USPS-B-3200 (appendix) for one tracking code and each
  // routing length, and one made with the Postal Service's own encoder.
  void barStatesMatchThePublishedExamples_data() {
    QTest::addColumn<QString>("tracking");
    QTest::addColumn<QString>("routing");
    QTest::addColumn<QString>("bars");
    QTest::newRow("no routing") << "01234567094987654321" << ""
                                << "ATTFATTDTTADTAATTDTDTATTDAFDDFADFDFTFFFFFTATFAAAATDFFTDAADFTFDTDT";
    QTest::newRow("ZIP") << "01234567094987654321" << "01234"
                         << "DTTAFADDTTFTDTFTFDTDDADADAFADFATDDFTAAAFDTTADFAAATDFDTDFADDDTDFFT";
    QTest::newRow("ZIP+4") << "01234567094987654321" << "012345678"
                           << "ADFTTAFDTTTTFATTADTAAATFTFTATDAAAFDDADATATDTDTTDFDTDATADADTDFFTFA";
    QTest::newRow("ZIP+4+DP") << "01234567094987654321" << "01234567891"
                              << "AADTFFDFTDADTAADAATFDTDDAAADDTDTTDAFADADDDTFFFDDTTTADFAAADFTDAADA";
    QTest::newRow("postal encoder") << "23270592831482031240" << "96713024817"
                                    << "DDADATADTAATDTTTDFDTTFTFFADTFTDFTATAAFTTFATDAATATDATATFADAADDTFDT";
  }
  void barStatesMatchThePublishedExamples() {
    QFETCH(QString, tracking);
    QFETCH(QString, routing);
    QFETCH(QString, bars);
    const ImbEncoding code = EncodeImb(tracking, routing);
    QCOMPARE(code.error, QString());
    QCOMPARE(code.bars, bars);
  }

  void codesThatCannotBeEncodedAreRefused() {
    QVERIFY(!EncodeImb("05234567094987654321", "01234").error.isEmpty());  // barcode ID 05
    QVERIFY(!EncodeImb("0123456709498765432", "01234").error.isEmpty());   // 19 digits
    QVERIFY(!EncodeImb("01234567094987654321", "0123456").error.isEmpty());
    QVERIFY(!EncodeImb("01234567094987654321", "01234-5678").error.isEmpty());
    QVERIFY(EncodeImb("01234567094987654321", "0123456").bars.isEmpty());
  }

  void routingCodeIsWhatTheLabelShowsWithTheDeliveryPoint_data() {
    QTest::addColumn<QString>("zip");
    QTest::addColumn<QString>("primary");
    QTest::addColumn<QString>("routing");
    QTest::newRow("house number") << "123451002" << "150 Main St" << "12345100250";
    QTest::newRow("one digit") << "123451002" << "7 Elm St" << "12345100207";
    QTest::newRow("long number") << "123451002" << "12345 Oak Ave" << "12345100245";
    QTest::newRow("letter after") << "123451002" << "123A Elm St" << "12345100223";
    QTest::newRow("hyphenated") << "113541234" << "37-12 Main St" << "11354123412";
    QTest::newRow("PO box") << "123451002" << "PO Box 4201" << "12345100201";
    QTest::newRow("rural route box") << "123451002" << "RR 2 Box 15" << "12345100215";
    QTest::newRow("no number") << "123451002" << "General Delivery" << "123451002";
    QTest::newRow("ZIP only") << "12345" << "150 Main St" << "12345";
    QTest::newRow("no ZIP") << "" << "150 Main St" << "";
    QTest::newRow("not digits") << "1234X1002" << "150 Main St" << "";
  }
  void routingCodeIsWhatTheLabelShowsWithTheDeliveryPoint() {
    QFETCH(QString, zip);
    QFETCH(QString, primary);
    QFETCH(QString, routing);
    QCOMPARE(ImbRoutingCode(zip, primary), routing);
  }

  void mailerSettingsAreChecked_data() {
    QTest::addColumn<QString>("barcodeId");
    QTest::addColumn<QString>("serviceType");
    QTest::addColumn<QString>("mailerId");
    QTest::addColumn<bool>("valid");
    QTest::newRow("6-digit MID") << "00" << "270" << "592831" << true;
    QTest::newRow("9-digit MID") << "14" << "040" << "912345678" << true;
    QTest::newRow("second ID digit 5") << "05" << "270" << "592831" << false;
    QTest::newRow("one-digit ID") << "0" << "270" << "592831" << false;
    QTest::newRow("service type short") << "00" << "27" << "592831" << false;
    QTest::newRow("7-digit MID") << "00" << "270" << "5928310" << false;
    QTest::newRow("9 digits not from 9") << "00" << "270" << "812345678" << false;
    QTest::newRow("6 digits from 9") << "00" << "270" << "912345" << false;
    QTest::newRow("letters") << "00" << "27O" << "592831" << false;
  }
  void mailerSettingsAreChecked() {
    QFETCH(QString, barcodeId);
    QFETCH(QString, serviceType);
    QFETCH(QString, mailerId);
    QFETCH(bool, valid);
    QCOMPARE(ImbMailerError({barcodeId, serviceType, mailerId}).isEmpty(), valid);
  }

  void trackingCodeHasTwentyDigitsAndHumanReadableGroups() {
    const ImbMailer six{"00", "270", "592831"};
    QCOMPARE(ImbTrackingCode(six, 42), QStringLiteral("00270592831000000042"));
    QCOMPARE(ImbTrackingCode(six, 1000000000 + 7), QStringLiteral("00270592831000000007"));
    const ImbMailer nine{"00", "270", "912345678"};
    QCOMPARE(ImbTrackingCode(nine, 42), QStringLiteral("00270912345678000042"));
    QCOMPARE(ImbSerialCount("912345678"), 1000000);
    QCOMPARE(ImbHumanReadable("00270592831000000042", 6, "12345100250"),
             QStringLiteral("00 270 592831 000000042 12345 1002 50"));
    QCOMPARE(ImbHumanReadable("00270912345678000042", 9, "12345"), QStringLiteral("00 270 912345678 000042 12345"));
  }

  // Where the bars go on a label of a sheet: every bar on the label, at the
  // usual pitch where it fits, else the closest allowed, else squeezed.
  void barsStayOnTheirLabel_data() {
    QTest::addColumn<double>("wanted");
    QTest::addColumn<double>("left");
    QTest::addColumn<double>("right");
    QTest::addColumn<double>("barsPerInch");
    QTest::addColumn<double>("start");
    QTest::addColumn<bool>("squeezed");
    // A 4 in label (Avery 5161): at the margin, 22 to the inch.
    QTest::newRow("wide label") << 0.35 << 0.25 << 4.25 << 22.0 << 0.35 << false;
    // 3 in: too narrow from a 0.5 in margin at 22, fits at 24 moved left.
    QTest::newRow("moved left") << 0.6 << 0.1 << 3.1 << 24.0 << 3.1 - kImbEdgeInches - ImbWidthInches(1.0 / 24) << false;
    // 2.8 in: at 24 from the margin, not moved.
    QTest::newRow("closest pitch") << 0.12 << 0.1 << 2.9 << 24.0 << 0.12 << false;
    // A margin closer to the edge than the bars may come: moved in to it.
    QTest::newRow("margin at the edge") << 0.105 << 0.1 << 2.9 << 24.0 << 0.1 + kImbEdgeInches << false;
    // Avery 5160 (2.625 in) is narrower than any barcode allowed.
    QTest::newRow("5160") << 0.25625 << 0.15625 << 2.78125 << 64 / (2.625 - 2 * kImbEdgeInches - kImbBarWidthInches)
                          << 0.15625 + kImbEdgeInches << true;
  }
  void barsStayOnTheirLabel() {
    QFETCH(double, wanted);
    QFETCH(double, left);
    QFETCH(double, right);
    QFETCH(double, barsPerInch);
    QFETCH(double, start);
    QFETCH(bool, squeezed);
    const ImbPlacement place = PlaceImbOnLabel(wanted, left, right);
    QVERIFY(std::abs(1 / place.pitchInches - barsPerInch) < 1e-6);
    QVERIFY(std::abs(place.leftInches - start) < 1e-6);
    QCOMPARE(place.squeezed, squeezed);
    QVERIFY(place.leftInches >= left + kImbEdgeInches - 1e-9);
    QVERIFY(place.leftInches + ImbWidthInches(place.pitchInches) <= right - kImbEdgeInches + 1e-9);
  }

  // Serial numbers are taken before printing and never handed out twice,
  // also by a later run of the program reading the same settings file.
  void serialNumbersAdvanceAndPersist() {
    TestEnvironment env;
    env.installDefault();
    const QString ini = App().IniFile;
    ImbMailer mailer;
    QString error;
    QVERIFY(!ReserveImbSerials(ini, 1, &mailer, &error));  // no Mailer ID yet
    QVERIFY(error.startsWith("Intelligent Mail barcode: "));

    QVERIFY(WriteImbMailer(ini, {"00", "270", "592831"}));
    QCOMPARE(ReserveImbSerials(ini, 3, &mailer, &error), std::optional<std::int64_t>(0));
    QCOMPARE(mailer.mailerId, QStringLiteral("592831"));
    QCOMPARE(ReserveImbSerials(ini, 35, &mailer, &error), std::optional<std::int64_t>(3));
    QCOMPARE(GetIni(ini, "Intelligent Mail Barcode", "Next Serial 592831"), QStringLiteral("38"));

    // Another Mailer ID has serial numbers of its own; the first keeps its.
    QVERIFY(WriteImbMailer(ini, {"00", "270", "912345678"}));
    QVERIFY(SetNextImbSerial(ini, "912345678", 999999));
    QCOMPARE(ReserveImbSerials(ini, 2, &mailer, &error), std::optional<std::int64_t>(999999));
    QCOMPARE(NextImbSerial(ini, "912345678"), 1);  // past the last number: from 0 again
    QCOMPARE(NextImbSerial(ini, "592831"), 38);
    QVERIFY(!ReserveImbSerials(ini, 1000001, &mailer, &error));
    QCOMPARE(NextImbSerial(ini, "912345678"), 1);
  }

  // The settings window refuses what cannot make a tracking code, and a
  // serial longer than the Mailer ID leaves room for.
  void theSettingsWindowChecksTheMailer() {
    TestEnvironment env;
    env.installDefault();
    LabelOptionsDialog::Values values;
    values.kind = BarcodeKind::Imb;
    values.mailer = {"00", "270", "592831"};
    values.nextSerial = 123456789;
    LabelOptionsDialog dialog(values, nullptr);
    QCOMPARE(dialog.problem(), QString());
    auto* mailerId = dialog.findChild<QLineEdit*>("ImbMailerId");
    mailerId->setText("912345678");  // 9 digits leave 6 for the serial
    QVERIFY(dialog.problem().contains("at most 6 digits"));
    dialog.findChild<QLineEdit*>("ImbSerial")->setText("42");
    QCOMPARE(dialog.problem(), QString());
    dialog.findChild<QLineEdit*>("ImbBarcodeId")->setText("07");
    QVERIFY(dialog.problem().contains("0 to 4"));
    MessageBox::setTestMode(true);
    dialog.accept();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));  // stays open with the reason
    QCOMPARE(MessageBox::shownTexts().size(), 1);
    // POSTNET needs no mailer; an unknown sheet is refused whatever the kind.
    dialog.findChild<QComboBox*>("BarKind")->setCurrentIndex(0);
    QCOMPARE(dialog.problem(), QString());
    QVERIFY(!dialog.findChild<QLineEdit*>("ImbMailerId")->isEnabled());
    dialog.findChild<QComboBox*>("LabelProduct")->setCurrentText("Nobody 0000");
    QVERIFY(!dialog.problem().isEmpty());
  }

  // Two programs printing at once read and move on the same stored serial:
  // real processes, started together, each taking serials many times from
  // one settings file, must never get the same number (past the last one
  // the serials start again at 0).
  void programsPrintingAtOnceTakeDifferentSerials() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString ini = dir.filePath("Corvel.ini");
    QVERIFY(WriteImbMailer(ini, {"00", "270", "592831"}));
    const std::int64_t start = 999999500;
    QVERIFY(SetNextImbSerial(ini, "592831", start));
    const QString go = dir.filePath("go");
    std::vector<std::unique_ptr<QProcess>> workers;
    for (int i = 0; i < kWorkers; ++i) {
      auto worker = std::make_unique<QProcess>();
      QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
      environment.insert("CORVELLAN_SERIAL_INI", ini);
      environment.insert("CORVELLAN_SERIAL_OUT", dir.filePath(QStringLiteral("serials%1").arg(i)));
      environment.insert("CORVELLAN_SERIAL_GO", go);
      environment.insert("QT_QPA_PLATFORM", "offscreen");
      worker->setProcessEnvironment(environment);
      worker->setProcessChannelMode(QProcess::ForwardedErrorChannel);
      worker->start(QCoreApplication::applicationFilePath(), {"ImbSerialWorker"});
      QVERIFY(worker->waitForStarted(10000));
      workers.push_back(std::move(worker));
    }
    // All of them take their first serials at the same moment.
    TestEnvironment::writeFile(go, "go");
    for (const auto& worker : workers) {
      if (!worker->waitForFinished(120000)) worker->kill();
      QCOMPARE(worker->exitStatus(), QProcess::NormalExit);
      QCOMPARE(worker->exitCode(), 0);
    }
    const std::int64_t count = ImbSerialCount("592831");
    std::set<std::int64_t> taken;
    for (int i = 0; i < kWorkers; ++i) {
      const QList<QByteArray> lines =
          TestEnvironment::readFile(dir.filePath(QStringLiteral("serials%1").arg(i))).split('\n');
      int rounds = 0;
      for (const QByteArray& line : lines) {
        if (line.isEmpty()) continue;
        ++rounds;
        for (int k = 0; k < kWorkerSerials; ++k) {
          const std::int64_t serial = (line.toLongLong() + k) % count;
          QVERIFY2(taken.insert(serial).second, qPrintable(QStringLiteral("serial %1 taken twice").arg(serial)));
        }
      }
      QCOMPARE(rounds, kWorkerRounds);
    }
    const std::int64_t total = std::int64_t{kWorkers} * kWorkerRounds * kWorkerSerials;
    QCOMPARE(static_cast<std::int64_t>(taken.size()), total);
    QCOMPARE(NextImbSerial(ini, "592831"), (start + total) % count);
    QVERIFY(!QFileInfo::exists(ini + ".serials.lock"));  // no lock file stays behind
  }

  // The settings window says when a sheet's labels are narrower than the
  // barcode at 24 to the inch, and at what pitch the bars print instead.
  void narrowLabelsAreNamed_data() {
    QTest::addColumn<double>("width");
    QTest::addColumn<QString>("notice");
    QTest::newRow("Avery 5160") << 2.625
                                << "Avery 5160 labels are 2.625 in wide, less than an Intelligent Mail barcode needs "
                                   "(2.69 in and 0.015 in at each edge): its bars print at 24.85 to the inch to stay "
                                   "on the label.";
    // Wider than the bars, but not with the room at the edges.
    QTest::newRow("2.7 in") << 2.7
                            << "Avery 5160 labels are 2.7 in wide, less than an Intelligent Mail barcode needs "
                               "(2.69 in and 0.015 in at each edge): its bars print at 24.15 to the inch to stay on "
                               "the label.";
    QTest::newRow("2.75 in") << 2.75 << "";
    QTest::newRow("4 in") << 4.0 << "";
    QTest::newRow("no room") << 0.04
                             << "Avery 5160 labels are 0.04 in wide, less than an Intelligent Mail barcode needs "
                                "(2.69 in and 0.015 in at each edge): its bars cannot be printed on it.";
  }
  void narrowLabelsAreNamed() {
    QFETCH(double, width);
    QFETCH(QString, notice);
    QCOMPARE(NarrowLabelNotice("Avery 5160", width), notice);
  }

  void theSettingsWindowNamesANarrowSheet() {
    TestEnvironment env;
    env.installDefault();
    if (!FindLabelProduct("Avery 5160")) QSKIP("glabels-data is not installed");
    LabelOptionsDialog::Values values;
    values.kind = BarcodeKind::Imb;
    values.product = "Avery 5160";
    values.mailer = {"00", "270", "592831"};
    LabelOptionsDialog dialog(values, nullptr);
    auto* info = dialog.findChild<QLabel*>("ProductInfo");
    const QString notice = NarrowLabelNotice("Avery 5160", 2.625);
    QVERIFY2(info->text().contains(notice), qPrintable(info->text()));
    QVERIFY2(info->text().contains("30 labels of 2.625 x 1 in"), qPrintable(info->text()));
    // POSTNET prints no such bars; a 4 in label takes them as they are.
    auto* kind = dialog.findChild<QComboBox*>("BarKind");
    kind->setCurrentIndex(0);
    QVERIFY(!info->text().contains("Intelligent Mail"));
    kind->setCurrentIndex(1);
    QVERIFY(info->text().contains(notice));
    dialog.findChild<QComboBox*>("LabelProduct")->setCurrentText("Avery 5161");
    QVERIFY(!info->text().isEmpty());
    QVERIFY(!info->text().contains("Intelligent Mail"));
    const QString shots = qEnvironmentVariable("CORVELLAN_SCREENSHOT_DIR");
    if (!shots.isEmpty()) {
      dialog.findChild<QComboBox*>("LabelProduct")->setCurrentText("Avery 5160");
      dialog.show();
      QVERIFY(QTest::qWaitForWindowExposed(&dialog));
      QVERIFY(dialog.grab().save(QDir(shots).filePath("label_options_5160.png")));
    }
  }

  // The label tab's bars are drawn at the pitch they print at: 22 to the
  // inch one to a page or on a 4 in label, closer on an Avery 5160.
  void thePreviewDrawsTheBarsAsTheyPrint_data() {
    QTest::addColumn<QString>("product");
    QTest::addColumn<double>("barsPerInch");
    QTest::newRow("one to a page") << "" << 22.0;
    QTest::newRow("Avery 5161") << "Avery 5161" << 22.0;
    QTest::newRow("Avery 5160") << "Avery 5160" << 64 / (2.625 - 2 * kImbEdgeInches - kImbBarWidthInches);
  }
  void thePreviewDrawsTheBarsAsTheyPrint() {
    QFETCH(QString, product);
    QFETCH(double, barsPerInch);
    if (!product.isEmpty() && !FindLabelProduct(product)) QSKIP("glabels-data is not installed");
    TestEnvironment env;
    env.installDefault();
    QVERIFY(WriteImbMailer(App().IniFile, {"00", "270", "592831"}));
    ZipMain window;
    QVERIFY(window.Form_Load({}));
    LabelForm& label = LabelForm::of(window);
    window.findChild<QCheckBox*>("UseBar")->setChecked(true);
    window.findChild<QLineEdit*>("Primary")->setText("150 Main St");
    window.findChild<QLineEdit*>("Zip")->setText("12345");
    window.findChild<QLineEdit*>("Plus4")->setText("1002");
    window.findChild<QLineEdit*>("LeftMarg")->setText("0.1");
    label.Product = product;
    label.SetBarcodeKind(BarcodeKind::Imb);
    SetLabelData(window);
    auto* preview = window.findChild<QWidget*>("ImbPreview");
    preview->setFixedSize(600, 60);
    const QImage image = preview->grab().toImage();
    // The first and last dark columns of the full bars' band.
    int first = -1, last = -1;
    for (int x = 0; x < image.width(); ++x) {
      for (int y = 0; y < image.height() / 2; ++y) {
        if (qGray(image.pixel(x, y)) < 128) {
          if (first < 0) first = x;
          last = x;
          break;
        }
      }
    }
    QVERIFY(first >= 0);
    const double dpi = preview->logicalDpiX() * image.devicePixelRatio();
    const double expected = ImbWidthInches(1 / barsPerInch) * dpi;
    QVERIFY2(std::abs((last - first + 1) - expected) <= 3,
             qPrintable(QStringLiteral("%1 px, expected %2").arg(last - first + 1).arg(expected)));
  }

  void barcodeKindIsATemplateSetting() {
    TestEnvironment env;
    env.installDefault();
    QVERIFY(WriteIni("imb", "Barcode", "IMb", "Corvel.ini"));
    QVERIFY(WriteIni("imb", "Barcode Digits", "True", "Corvel.ini"));
    QVERIFY(WriteIni("imb", "Label Product", "Avery 5160", "Corvel.ini"));
    QVERIFY(WriteIni("Label Settings", "No of Labels", "2", "Corvel.ini"));
    QVERIFY(WriteIni("Label Settings", "Label No 0", "imb", "Corvel.ini"));
    QVERIFY(WriteIni("Label Settings", "Label No 1", "plain", "Corvel.ini"));
    QVERIFY(WriteIni("Label Settings", "Default Label", "plain", "Corvel.ini"));
    ZipMain window;
    QVERIFY(window.Form_Load({}));
    LabelForm& label = LabelForm::of(window);
    // The window is reached from the tab with Alt+K.
    auto* options = window.findChild<QPushButton*>("LabelOptions");
    QVERIFY(options);
    QCOMPARE(options->text(), QStringLiteral("Barcode &Kind && Sheet..."));
    auto* useBar = window.findChild<QCheckBox*>("UseBar");
    auto* list = window.findChild<QComboBox*>("LabList");
    QCOMPARE(label.Barcode, BarcodeKind::Postnet);
    QCOMPARE(label.Product, QString());
    useBar->setChecked(true);

    window.findChild<QLineEdit*>("Primary")->setText("150 Main St");
    window.findChild<QLineEdit*>("Zip")->setText("12345");
    window.findChild<QLineEdit*>("Plus4")->setText("1002");
    list->setCurrentIndex(list->findText("imb"));
    LabList_Click(window);
    QCOMPARE(label.Barcode, BarcodeKind::Imb);
    QVERIFY(label.ImbDigits);
    QCOMPARE(label.Product, QStringLiteral("Avery 5160"));
    QVERIFY(useBar->isChecked());
    // The barcode box holds the routing code: ZIP+4 and delivery point; the
    // preview shows the bars in its place.
    QCOMPARE(window.findChild<QPlainTextEdit*>("txtBarCode")->toPlainText(), QStringLiteral("12345100250"));
    QVERIFY(window.findChild<QPlainTextEdit*>("txtBarCode")->isHidden());
    QVERIFY(!window.findChild<QWidget*>("ImbPreview")->isHidden());

    // Back to a template without the keys: POSTNET, one label per page; its
    // saved section gets none of the new keys.
    list->setCurrentIndex(list->findText("plain"));
    LabList_Click(window);
    QCOMPARE(label.Barcode, BarcodeKind::Postnet);
    QCOMPARE(label.Product, QString());
    QCOMPARE(window.findChild<QPlainTextEdit*>("txtBarCode")->toPlainText(), QStringLiteral("|1234510022|"));
    QVERIFY(!window.findChild<QPlainTextEdit*>("txtBarCode")->isHidden());
    QVERIFY(window.findChild<QWidget*>("ImbPreview")->isHidden());
    QVERIFY(SaveLabel(window));
    QCOMPARE(GetIni("Corvel.ini", "plain", "Barcode"), QString());
    QCOMPARE(GetIni("Corvel.ini", "plain", "Label Product"), QString());

    // A template turned to IMb keeps it, with Use Barcode off saved as None.
    label.SetBarcodeKind(BarcodeKind::Imb);
    useBar->setChecked(false);
    QVERIFY(SaveLabel(window));
    QCOMPARE(GetIni("Corvel.ini", "plain", "Barcode"), QStringLiteral("None"));
  }
};

// Takes serial numbers again and again from the settings file named by
// CORVELLAN_SERIAL_INI once the file CORVELLAN_SERIAL_GO appears, and writes
// the first of each round to CORVELLAN_SERIAL_OUT, one a line. Started by
// ImbTest, several at once; not run on its own.
class ImbSerialWorker : public QObject {
  Q_OBJECT

 private slots:
  void takesSerials() {
    const QString ini = qEnvironmentVariable("CORVELLAN_SERIAL_INI");
    const QString out = qEnvironmentVariable("CORVELLAN_SERIAL_OUT");
    const QString go = qEnvironmentVariable("CORVELLAN_SERIAL_GO");
    if (ini.isEmpty() || out.isEmpty() || go.isEmpty()) QSKIP("started by ImbTest");
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(go), 30000);
    QFile file(out);
    QVERIFY(file.open(QIODevice::WriteOnly));
    for (int round = 0; round < kWorkerRounds; ++round) {
      ImbMailer mailer;
      QString error;
      const std::optional<std::int64_t> first = ReserveImbSerials(ini, kWorkerSerials, &mailer, &error);
      QVERIFY2(first, qPrintable(error));
      file.write(QByteArray::number(static_cast<qlonglong>(*first)) + '\n');
    }
  }
};

CORVELLAN_TEST_CLASS(ImbTest);
CORVELLAN_TEST_CLASS(ImbSerialWorker);

#include "imb_test.moc"
