// Labels with Intelligent Mail barcodes on a sheet of Avery 5160, printed on
// a real CUPS queue (run by print_to_cups.sh, which reads the PDF back with
// check_label_pdf.py --sheet and the expectations this test writes).
#include <QCheckBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "core/app_globals.h"
#include "core/desktop.h"
#include "core/zip_main.h"
#include "labels/drawing/imb.h"
#include "labels/drawing/label_products.h"
#include "labels/label_form.h"
#include "labels/label_options.h"
#include "labels/label_printing.h"
#include "qtest_registry.h"
#include "test_database.h"
#include "test_environment.h"

using namespace corvellan;
using corvellan::test::TestEnvironment;

class LabelSheetPrintTest : public QObject {
  Q_OBJECT

 private slots:
  void printsThreeLabelsFromLabel29() {
    const QString queue = qEnvironmentVariable("CORVELLAN_PRINT_QUEUE");
    const QString expectFile = qEnvironmentVariable("CORVELLAN_EXPECT_FILE");
    if (queue.isEmpty() || expectFile.isEmpty()) QSKIP("runs from print_to_cups.sh");
    const std::optional<LabelProduct> product = FindLabelProduct("Avery 5160");
    if (!product) QSKIP("glabels-data is not installed");
    TestEnvironment env;
    test::InstallWithTestDatabase(env);
    const QString ini = App().IniFile;
    QVERIFY(WriteImbMailer(ini, {"00", "270", "592831"}));
    QVERIFY(SetNextImbSerial(ini, "592831", 41));
    ZipMain window;
    QVERIFY(window.Form_Load({}));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    auto* street = window.findChild<QLineEdit*>("SearchStreet");
    auto* city = window.findChild<QLineEdit*>("SearchCity");
    city->setFocus();
    QTest::keyClicks(city, "springfield");
    street->setFocus();
    QTest::keyClicks(street, "main");
    QTest::keyClick(street, Qt::Key_Return);
    auto* list = window.findChild<QListWidget*>("FoundList");
    QTRY_COMPARE(list->count(), 5);
    list->setCurrentRow(1);  // Acme Tool Co, 150 Main St, 12345-1002

    LabelDialogs::setPrinterHandler([queue](const QString&) { return std::optional<QString>(queue); });
    window.findChild<QPushButton*>("PSetup")->click();
    LabelDialogs::setPrinterHandler({});
    LabelForm& label = LabelForm::of(window);
    label.Product = QStringLiteral("Avery 5160");
    label.StartLabel = 29;
    label.ImbDigits = true;
    label.SetBarcodeKind(BarcodeKind::Imb);
    window.findChild<QCheckBox*>("UseBar")->setChecked(true);
    auto* barcode = window.findChild<QPlainTextEdit*>("txtBarCode");
    QCOMPARE(barcode->toPlainText(), QStringLiteral("12345100250"));
    // Margins from the label's corner; a font that fits a one-inch label.
    window.findChild<QLineEdit*>("TopMarg")->setText("0.1");
    window.findChild<QLineEdit*>("LeftMarg")->setText("0.1");
    window.findChild<QLineEdit*>("Qty")->setText("3");
    window.findChild<QLineEdit*>("MaxChars")->setText("30");
    auto* address = window.findChild<QPlainTextEdit*>("txtAddressBlock");
    QFont font = address->font();
    font.setPointSizeF(8);
    address->setFont(font);

    MessageBox::clearShown();
    window.findChild<QPushButton*>("PrintButton")->click();
    QCOMPARE(MessageBox::shownTexts(), QStringList());
    QCOMPARE(window.PanelText(1), QStringLiteral("Labels Printed"));
    QCOMPARE(NextImbSerial(ini, "592831"), 44);

    // What check_label_pdf.py looks for: each label's page, cell and bars.
    QJsonArray labels;
    const int cells[] = {28, 29, 0};
    for (int i = 0; i < 3; ++i) {
      const QString tracking = ImbTrackingCode({"00", "270", "592831"}, 41 + i);
      const QPointF cell = product->cells[cells[i]];
      // A 5160 label (2 5/8 in) is narrower than the bars at 22 to the inch:
      // they print at 24 to the inch from the label's left edge.
      labels.append(QJsonObject{{"page", i < 2 ? 1 : 2},
                                {"x", cell.x() + 0.1},
                                {"y", cell.y() + 0.1},
                                {"bars_x", cell.x()},
                                {"cell_right", cell.x() + product->label.width()},
                                {"first_word", "Acme"},
                                {"digits", ImbHumanReadable(tracking, 6, "12345100250")},
                                {"bars", EncodeImb(tracking, "12345100250").bars}});
    }
    const QJsonObject expect{{"labels", labels}};
    QFile out(expectFile);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(QJsonDocument(expect).toJson());
  }
};

// Every line of a selection gets a label of its own, composed from its own
// record with its own barcode, filling the sheet from label 27: two pages.
class LabelSelectionPrintTest : public QObject {
  Q_OBJECT

 private slots:
  void printsOneLabelPerSelectedLine() {
    const QString queue = qEnvironmentVariable("CORVELLAN_PRINT_QUEUE");
    const QString expectFile = qEnvironmentVariable("CORVELLAN_EXPECT_FILE");
    if (queue.isEmpty() || expectFile.isEmpty()) QSKIP("runs from print_to_cups.sh");
    const std::optional<LabelProduct> product = FindLabelProduct("Avery 5160");
    if (!product) QSKIP("glabels-data is not installed");
    TestEnvironment env;
    test::InstallWithTestDatabase(env);
    const QString ini = App().IniFile;
    QVERIFY(WriteImbMailer(ini, {"00", "270", "592831"}));
    QVERIFY(SetNextImbSerial(ini, "592831", 999999998));  // the serials wrap to 0 on the way
    ZipMain window;
    QVERIFY(window.Form_Load({}));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* street = window.findChild<QLineEdit*>("SearchStreet");
    auto* city = window.findChild<QLineEdit*>("SearchCity");
    city->setFocus();
    QTest::keyClicks(city, "springfield");
    street->setFocus();
    QTest::keyClicks(street, "main");
    QTest::keyClick(street, Qt::Key_Return);
    auto* list = window.findChild<QListWidget*>("FoundList");
    QTRY_COMPARE(list->count(), 5);

    LabelDialogs::setPrinterHandler([queue](const QString&) { return std::optional<QString>(queue); });
    window.findChild<QPushButton*>("PSetup")->click();
    LabelDialogs::setPrinterHandler({});
    LabelForm& label = LabelForm::of(window);
    label.Product = QStringLiteral("Avery 5160");
    label.StartLabel = 27;
    label.SetBarcodeKind(BarcodeKind::Imb);
    window.findChild<QCheckBox*>("UseBar")->setChecked(true);
    window.findChild<QLineEdit*>("TopMarg")->setText("0.1");
    window.findChild<QLineEdit*>("LeftMarg")->setText("0.1");
    window.findChild<QLineEdit*>("MaxChars")->setText("30");
    auto* address = window.findChild<QPlainTextEdit*>("txtAddressBlock");
    QFont font = address->font();
    font.setPointSizeF(8);
    address->setFont(font);

    // Each line's routing code and first word, as a click on it shows them.
    auto* barcode = window.findChild<QPlainTextEdit*>("txtBarCode");
    QStringList routings, firstWords;
    for (int row = 0; row < list->count(); ++row) {
      list->setCurrentRow(row);
      routings << barcode->toPlainText();
      firstWords << address->toPlainText().section(QLatin1Char(' '), 0, 0).section(QLatin1Char('\n'), 0, 0);
    }
    list->setCurrentRow(2);
    const QString shownBlock = address->toPlainText();
    list->selectAll();

    // The count comes first; No prints nothing.
    MessageBox::clearShown();
    auto* print = window.findChild<QPushButton*>("PrintButton");
    MessageBox::setNextAnswer(MessageBox::Answer::No);
    print->click();
    QCOMPARE(MessageBox::shownTexts(), QStringList{"Print 5 labels, one for each selected line?"});
    QCOMPARE(window.PanelText(1), QStringLiteral("Printing Cancelled"));
    QCOMPARE(NextImbSerial(ini, "592831"), 999999998);

    MessageBox::clearShown();
    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    print->click();
    QCOMPARE(MessageBox::shownTexts(), QStringList{"Print 5 labels, one for each selected line?"});
    QCOMPARE(window.PanelText(1), QStringLiteral("Labels Printed"));
    QCOMPARE(NextImbSerial(ini, "592831"), 3);
    // The line shown before is shown again.
    QCOMPARE(list->currentRow(), 2);
    QCOMPARE(address->toPlainText(), shownBlock);

    QJsonArray labels;
    const std::int64_t serials[] = {999999998, 999999999, 0, 1, 2};
    for (int i = 0; i < 5; ++i) {
      const int cell = (26 + i) % 30;
      const QPointF corner = product->cells[cell];
      const QString tracking = ImbTrackingCode({"00", "270", "592831"}, serials[i]);
      labels.append(QJsonObject{{"page", i < 4 ? 1 : 2},
                                {"x", corner.x() + 0.1},
                                {"y", corner.y() + 0.1},
                                {"bars_x", corner.x()},
                                {"cell_right", corner.x() + product->label.width()},
                                {"first_word", firstWords[i]},
                                {"bars", EncodeImb(tracking, routings[i]).bars}});
    }
    const QJsonObject expect{{"labels", labels}};
    QFile out(expectFile);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(QJsonDocument(expect).toJson());
  }
};

CORVELLAN_TEST_CLASS(LabelSheetPrintTest);
CORVELLAN_TEST_CLASS(LabelSelectionPrintTest);

#include "label_sheet_print_test.moc"
