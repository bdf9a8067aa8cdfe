// Labels with Intelligent Mail barcodes on a sheet of Avery 5160, printed on
// a real CUPS queue (run by print_to_cups.sh, which reads the PDF back with
// check_label_pdf.py --sheet and the expectations this test writes).
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <functional>
#include <tuple>

#include "core/app_globals.h"
#include "core/desktop.h"
#include "core/settings.h"
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

namespace {

// What check_label_pdf.py --sheet looks for on one label: its page and cell,
// the corner of its text (`margin` in from the cell's), where its bars go
// (see PlaceImbOnLabel; with the pitch when the label is too narrow for 24
// to the inch) and their states.
QJsonObject ExpectedLabel(const LabelProduct& product, int page, int cell, double margin, const QString& firstWord,
                          const QString& bars) {
  const QPointF corner = product.cells[cell];
  const double right = corner.x() + product.label.width();
  const ImbPlacement place = PlaceImbOnLabel(corner.x() + margin, corner.x(), right);
  QJsonObject label{{"page", page},
                    {"x", corner.x() + margin},
                    {"y", corner.y() + margin},
                    {"bars_x", place.leftInches},
                    {"cell_left", corner.x()},
                    {"cell_right", right},
                    {"cell_top", corner.y()},
                    {"cell_bottom", corner.y() + product.label.height()},
                    {"first_word", firstWord},
                    {"bars", bars}};
  if (place.squeezed) label.insert("pitch", 1 / place.pitchInches);
  return label;
}

// Makes the program's settings file a link to `shared` (an absolute path),
// which keeps what earlier runs stored there (the serial numbers) and gets
// this run's folders.
bool UseSharedSettings(const TestEnvironment& env, const QString& shared) {
  const QString ini = env.iniPath();
  const QString data = GetIni(ini, "Directories", "Data");
  const QString program = GetIni(ini, "Directories", "Program");
  // A link to a missing file would be replaced by the first write.
  if (!QFileInfo::exists(shared)) TestEnvironment::writeFile(shared, {});
  if (!QFile::remove(ini) || !QFile::link(shared, ini)) return false;
  return WriteIni("Directories", "Data", data, ini) && WriteIni("Directories", "Program", program, ini);
}

bool WriteExpectations(const QString& path, const QJsonArray& labels) {
  QFile out(path);
  return out.open(QIODevice::WriteOnly) && out.write(QJsonDocument(QJsonObject{{"labels", labels}}).toJson()) > 0;
}

}  // namespace

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
      // A 5160 label (2 5/8 in) is narrower than the bars at 24 to the inch:
      // they are squeezed to stay on it, the digits start under the first.
      QJsonObject expected =
          ExpectedLabel(*product, i < 2 ? 1 : 2, cells[i], 0.1, "Acme", EncodeImb(tracking, "12345100250").bars);
      QVERIFY(expected.contains("pitch"));
      expected.insert("digits", ImbHumanReadable(tracking, 6, "12345100250"));
      labels.append(expected);
    }
    QVERIFY(WriteExpectations(expectFile, labels));
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
      const QString tracking = ImbTrackingCode({"00", "270", "592831"}, serials[i]);
      labels.append(ExpectedLabel(*product, i < 4 ? 1 : 2, (26 + i) % 30, 0.1, firstWords[i],
                                  EncodeImb(tracking, routings[i]).bars));
    }
    QVERIFY(WriteExpectations(expectFile, labels));
  }
};


// What a clerk does: in the Barcode Kind & Sheet window picks the Intelligent
// Mail barcode and Avery 5160 by keyboard, finds ZIP 40000 (100 lines),
// selects 35 of them and prints: 30 labels on the first sheet and 5 on the
// second, each with its own line's routing code and a serial of its own.
// With CORVELLAN_SHARED_SETTINGS the program uses that settings file
// (print_to_cups.sh runs this twice on one: the second run's serials follow
// the first's).
class LabelClerkPrintTest : public QObject {
  Q_OBJECT

  // Runs `step` on the next modal dialog once it is open.
  static void OnNextDialog(const std::function<void(QDialog&)>& step) {
    QTimer::singleShot(50, [step] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return OnNextDialog(step);
      step(*dialog);
    });
  }

  // A key as the user presses it in `window`: to an open completion list,
  // else to the widget with the focus.
  static QWidget* KeyTarget(QWidget& window) {
    if (QWidget* popup = QApplication::activePopupWidget()) return popup;
    return window.focusWidget() != nullptr ? window.focusWidget() : &window;
  }
  static void Press(QWidget& window, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(KeyTarget(window), static_cast<Qt::Key>(key), modifiers);
  }
  // Alt+`key`, then waits until the focus is in the control named `name`.
  static bool Reach(QWidget& window, int key, const char* name) {
    Press(window, key, Qt::AltModifier);
    QWidget* control = window.findChild<QWidget*>(QLatin1String(name));
    return QTest::qWaitFor([&] {
      QWidget* focus = window.focusWidget();
      return focus != nullptr && (focus == control || control->isAncestorOf(focus));
    }, 2000);
  }
  static void Type(QWidget& window, const QString& text) {
    for (const QChar c : text) QTest::keyClicks(KeyTarget(window), QString(c));
  }

 private slots:
  void printsThirtyFiveSelectedLines() {
    const QString queue = qEnvironmentVariable("CORVELLAN_PRINT_QUEUE");
    const QString expectFile = qEnvironmentVariable("CORVELLAN_EXPECT_FILE");
    if (queue.isEmpty() || expectFile.isEmpty()) QSKIP("runs from print_to_cups.sh");
    const std::optional<LabelProduct> product = FindLabelProduct("Avery 5160");
    if (!product) QSKIP("glabels-data is not installed");
    TestEnvironment env;
    test::InstallWithTestDatabase(env);
    const QString shared = qEnvironmentVariable("CORVELLAN_SHARED_SETTINGS");
    if (!shared.isEmpty()) QVERIFY(UseSharedSettings(env, shared));
    const QString ini = App().IniFile;
    const ImbMailer mailer{"00", "270", "592831"};
    ZipMain window;
    QVERIFY(window.Form_Load({}));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    // Up to 100 lines found (the box holds 10 at first), then ZIP 40000.
    auto* maxQty = window.findChild<QLineEdit*>("MaxQty");
    maxQty->setFocus();
    maxQty->selectAll();
    QTest::keyClicks(maxQty, "100");
    auto* zip = window.findChild<QLineEdit*>("SearchZip");
    zip->setFocus();
    QTest::keyClicks(zip, "40000");
    QTest::keyClick(zip, Qt::Key_Return);
    auto* list = window.findChild<QListWidget*>("FoundList");
    QTRY_COMPARE_WITH_TIMEOUT(window.PanelText(1), QStringLiteral("Search Complete"), 60000);
    QStringList lines;
    for (int row = 0; row < list->count(); ++row) lines << list->item(row)->text();
    QVERIFY2(list->count() == 100, qPrintable(lines.join('\n')));

    LabelDialogs::setPrinterHandler([queue](const QString&) { return std::optional<QString>(queue); });
    window.findChild<QPushButton*>("PSetup")->click();
    LabelDialogs::setPrinterHandler({});

    // Barcode Kind & Sheet (Alt+K on the label tab), all by keyboard.
    window.findChild<QTabWidget*>("SSTab1")->setCurrentWidget(window.findChild<QWidget*>("tabMailingLabel"));
    QString sheetInfo, notTaken;
    bool chosen = false;
    OnNextDialog([&](QDialog& dialog) {
      if (!QTest::qWaitForWindowActive(&dialog)) notTaken = QStringLiteral("the window did not become active");
      QStringList missed;
      if (!Reach(dialog, Qt::Key_B, "BarKind")) missed << "Barcode";
      Press(dialog, Qt::Key_Down);  // the next kind, Intelligent Mail
      if (!Reach(dialog, Qt::Key_S, "LabelProduct")) missed << "Label sheet";
      Press(dialog, Qt::Key_A, Qt::ControlModifier);  // typed over, its list closed
      Type(dialog, "Avery 5160");
      if (QApplication::activePopupWidget() != nullptr) Press(dialog, Qt::Key_Escape);
      sheetInfo = dialog.findChild<QLabel*>("ProductInfo")->text();
      for (const auto& [key, name, text] : {std::tuple{Qt::Key_I, "ImbBarcodeId", mailer.barcodeId},
                                            std::tuple{Qt::Key_T, "ImbServiceType", mailer.serviceType},
                                            std::tuple{Qt::Key_M, "ImbMailerId", mailer.mailerId}}) {
        if (!Reach(dialog, key, name)) missed << name;
        Press(dialog, Qt::Key_A, Qt::ControlModifier);
        Type(dialog, text);
      }
      if (!missed.isEmpty()) notTaken = QStringLiteral("access keys that reached nothing: ") + missed.join(", ");
      Press(dialog, Qt::Key_Return);  // OK
      if (dialog.isVisible() && notTaken.isEmpty()) {  // not taken: say why, and do not wait for it
        notTaken = QStringLiteral("focus %1, kind %2, sheet '%3', problem '%4', messages %5")
                       .arg(QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString())
                       .arg(dialog.findChild<QComboBox*>("BarKind")->currentIndex())
                       .arg(dialog.findChild<QComboBox*>("LabelProduct")->currentText(),
                            static_cast<LabelOptionsDialog&>(dialog).problem(), MessageBox::shownTexts().join(" / "));
      }
      if (dialog.isVisible()) dialog.reject();
      chosen = true;
    });
    QTest::keyClick(&window, Qt::Key_K, Qt::AltModifier);
    QTRY_VERIFY(chosen);
    QTRY_VERIFY(QApplication::activeModalWidget() == nullptr);
    QVERIFY2(notTaken.isEmpty(), qPrintable(notTaken));
    LabelForm& label = LabelForm::of(window);
    QCOMPARE(label.Barcode, BarcodeKind::Imb);
    QCOMPARE(label.Product, QStringLiteral("Avery 5160"));
    QCOMPARE(label.StartLabel, 1);
    QCOMPARE(ReadImbMailer(ini).mailerId, mailer.mailerId);
    // The window said the bars are squeezed onto the label.
    QVERIFY2(sheetInfo.contains(NarrowLabelNotice("Avery 5160", product->label.width())), qPrintable(sheetInfo));

    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    auto* useBar = window.findChild<QCheckBox*>("UseBar");
    if (!useBar->isChecked()) QTest::keyClick(&window, Qt::Key_B, Qt::AltModifier);
    QTRY_VERIFY(useBar->isChecked());
    window.findChild<QLineEdit*>("TopMarg")->setText("0.1");
    window.findChild<QLineEdit*>("LeftMarg")->setText("0.1");
    window.findChild<QLineEdit*>("MaxChars")->setText("30");
    auto* address = window.findChild<QPlainTextEdit*>("txtAddressBlock");
    QFont font = address->font();
    font.setPointSizeF(8);
    address->setFont(font);

    // Each line's routing code and first word, as a click on it shows them.
    constexpr int kLabels = 35;
    auto* barcode = window.findChild<QPlainTextEdit*>("txtBarCode");
    QStringList routings, firstWords;
    for (int row = 0; row < kLabels; ++row) {
      list->setCurrentRow(row);
      routings << barcode->toPlainText();
      firstWords << address->toPlainText().section(QLatin1Char('\n'), 0, 0).section(QLatin1Char(' '), 0, 0);
      QVERIFY2(!routings.last().isEmpty() && !firstWords.last().isEmpty(), qPrintable(list->item(row)->text()));
    }

    // The first 35 lines: Home, then Shift+Down.
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Home);
    for (int i = 1; i < kLabels; ++i) QTest::keyClick(list, Qt::Key_Down, Qt::ShiftModifier);
    QCOMPARE(list->selectedItems().size(), kLabels);

    const std::int64_t firstSerial = NextImbSerial(ini, mailer.mailerId);
    MessageBox::clearShown();
    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    QTest::keyClick(&window, Qt::Key_P, Qt::AltModifier);  // Print
    QTRY_COMPARE_WITH_TIMEOUT(window.PanelText(1), QStringLiteral("Labels Printed"), 120000);
    QCOMPARE(MessageBox::shownTexts(), QStringList{"Print 35 labels, one for each selected line?"});
    QCOMPARE(NextImbSerial(ini, mailer.mailerId), firstSerial + kLabels);

    QJsonArray labels;
    for (int i = 0; i < kLabels; ++i) {
      const std::int64_t serial = firstSerial + i;
      QJsonObject expected = ExpectedLabel(*product, i / 30 + 1, i % 30, 0.1, firstWords[i],
                                           EncodeImb(ImbTrackingCode(mailer, serial), routings[i]).bars);
      expected.insert("serial", static_cast<qint64>(serial));
      expected.insert("routing", routings[i]);
      labels.append(expected);
    }
    QVERIFY(WriteExpectations(expectFile, labels));
  }
};

CORVELLAN_TEST_CLASS(LabelSheetPrintTest);
CORVELLAN_TEST_CLASS(LabelSelectionPrintTest);
CORVELLAN_TEST_CLASS(LabelClerkPrintTest);

#include "label_sheet_print_test.moc"
