// The label set-up: which barcode the settings file asks for (missing keys
// mean the shipped font at its own size and frame bars), the template's paper
// through a printer's page layout and back, and the printer set-up dialog on
// a real CUPS queue (LabelSetupDialogTest, run from print_to_cups.sh).
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <functional>

#include "core/app_globals.h"
#include "core/zip_main.h"
#include "labels/label_form.h"
#include "labels/label_printing.h"
#include "labels/postnet.h"
#include "labels/printer_layer.h"
#include "qtest_registry.h"
#include "test_environment.h"

using namespace corvellan;
using corvellan::test::TestEnvironment;

Q_DECLARE_METATYPE(corvellan::PaperSettings)

class LabelSetupTest : public QObject {
  Q_OBJECT

 private slots:
  void barcodeSettings_data() {
    QTest::addColumn<QByteArray>("general");  // the [General Settings] lines
    QTest::addColumn<QString>("font");        // "" : barcode off
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("stop");
    QTest::newRow("no keys: the shipped font") << QByteArray() << "CORVELLAN POSTNET" << 18 << "|" << "|";
    QTest::newRow("font alone") << QByteArray("BarCodeFont=Corvellan POSTNET\n") << "CORVELLAN POSTNET" << 18 << "|"
                                << "|";
    QTest::newRow("all given") << QByteArray("BarCodeFont=PostNet\nBarCodeFontSize=12pt\nBarCodeStartChar=s\n"
                                             "BarCodeStopChar=e\n")
                               << "POSTNET" << 12 << "s" << "e";
    QTest::newRow("size not a positive number") << QByteArray("BarCodeFontSize=abc\n") << "CORVELLAN POSTNET" << 18
                                                << "|" << "|";
    QTest::newRow("size 0") << QByteArray("BarCodeFontSize=0\n") << "CORVELLAN POSTNET" << 18 << "|" << "|";
    QTest::newRow("frame bars set empty") << QByteArray("BarCodeStartChar=\nBarCodeStopChar=\"\"\n")
                                          << "CORVELLAN POSTNET" << 18 << "" << "";
    QTest::newRow("font set empty: off") << QByteArray("BarCodeFont=\nBarCodeFontSize=18\n") << "" << 0 << "" << "";
    QTest::newRow("font set blank: off") << QByteArray("BarCodeFont=   \n") << "" << 0 << "" << "";
  }
  void barcodeSettings() {
    QFETCH(QByteArray, general);
    QFETCH(QString, font);
    QFETCH(int, size);
    QFETCH(QString, start);
    QFETCH(QString, stop);
    TestEnvironment env;
    env.installDefault();
    env.writeIni(TestEnvironment::readFile(env.iniPath()) + "[General Settings]\nWhats New=x\n" + general);
    const BarcodeSettings settings = ReadBarcodeSettings("Corvel.ini");
    QCOMPARE(settings.font, font);
    QCOMPARE(settings.fontSize, size);
    QCOMPARE(settings.startChar, start);
    QCOMPARE(settings.stopChar, stop);
    QCOMPARE(settings.offReason.isEmpty(), !font.isEmpty());

    // The window at start-up: Use Barcode usable, or greyed out saying why.
    ZipMain window;
    QVERIFY(window.Form_Load({}));
    auto* useBar = window.findChild<QCheckBox*>("UseBar");
    QCOMPARE(useBar->isEnabled(), !font.isEmpty());
    QCOMPARE(window.BarCodeFont, font);
    QCOMPARE(window.BarCodeFontSize, size);
    if (font.isEmpty()) {
      QVERIFY2(useBar->toolTip().contains("BarCodeFont is empty"), qPrintable(useBar->toolTip()));
      QVERIFY(!useBar->isChecked());
    } else {
      QCOMPARE(useBar->toolTip(), QStringLiteral("Use the Post Net  Barcode"));
      QCOMPARE(window.findChild<QPlainTextEdit*>("txtBarCode")->font().family(), font);
    }
  }

  // Out of the box the barcode is the shipped font's, and it renders: the
  // digits and the frame bar are glyphs of that font.
  void theDefaultBarcodeIsTheShippedFont() {
    TestEnvironment env;
    env.installDefault();
    ZipMain window;
    QVERIFY(window.Form_Load({}));
    const QFont font(window.BarCodeFont, window.BarCodeFontSize);
    const QFontMetrics metrics(font);
    QCOMPARE(QFontInfo(font).family().toUpper(), QStringLiteral("CORVELLAN POSTNET"));
    for (const QChar c : window.BarCodeStartChar + "0123456789" + window.BarCodeStopChar) QVERIFY(metrics.inFont(c));
  }

  // A template's paper set on a printer comes back as the same paper.
  void paperSurvivesThePrinterPageLayout_data() {
    QTest::addColumn<PaperSettings>("paper");
    QTest::addColumn<PaperSettings>("back");
    QTest::newRow("Letter") << PaperSettings{1, 0, 0, 0, 1} << PaperSettings{1, 2159, 2794, 0, 1};
    QTest::newRow("Legal") << PaperSettings{5, 2159, 3556, 0, 1} << PaperSettings{5, 2159, 3556, 0, 1};
    QTest::newRow("A4") << PaperSettings{9, 2100, 2970, 0, 1} << PaperSettings{9, 2100, 2970, 0, 1};
    QTest::newRow("A5 landscape") << PaperSettings{11, 0, 0, 0, 2} << PaperSettings{11, 1480, 2100, 0, 2};
    QTest::newRow("Envelope #10 landscape") << PaperSettings{20, 1048, 2413, 0, 2}
                                            << PaperSettings{20, 1048, 2413, 0, 2};
    QTest::newRow("Envelope DL") << PaperSettings{27, 1100, 2200, 0, 1} << PaperSettings{27, 1100, 2200, 0, 1};
    QTest::newRow("Monarch") << PaperSettings{37, 0, 0, 0, 1} << PaperSettings{37, 984, 1905, 0, 1};
    QTest::newRow("custom label 62x29mm") << PaperSettings{256, 620, 290, 0, 1}
                                          << PaperSettings{256, 620, 290, 0, 1};
    QTest::newRow("custom label 4x1in landscape") << PaperSettings{256, 1016, 254, 0, 2}
                                                  << PaperSettings{256, 1016, 254, 0, 2};
    QTest::newRow("custom by width and length") << PaperSettings{0, 1016, 1524, 0, 1}
                                                << PaperSettings{256, 1016, 1524, 0, 1};
  }
  void paperSurvivesThePrinterPageLayout() {
    QFETCH(PaperSettings, paper);
    QFETCH(PaperSettings, back);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    QVERIFY(printer.setPageLayout(PageLayoutForPaper(paper, QPageSize(QPageSize::A4))));
    QCOMPARE(PaperForLayout(printer.pageLayout()), back);
    // And once more: the way back is stable.
    QVERIFY(printer.setPageLayout(PageLayoutForPaper(back, QPageSize(QPageSize::A4))));
    QCOMPARE(PaperForLayout(printer.pageLayout()), back);
  }
};

CORVELLAN_TEST_CLASS(LabelSetupTest);

// The printer set-up dialog itself, on the queue named by
// CORVELLAN_PRINT_QUEUE, whose default paper is A4 (print_to_cups.sh sets it
// so): it opens on the template's paper, and OK keeps it. Pictures of the
// dialog go to CORVELLAN_SCREENSHOT_DIR when that is set.
class LabelSetupDialogTest : public QObject {
  Q_OBJECT

  QString queue_;

  // Runs `step` on the next modal dialog once it is open.
  static void OnNextDialog(const std::function<void(QDialog&)>& step) {
    QTimer::singleShot(50, [step] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return OnNextDialog(step);
      step(*dialog);
    });
  }

  static void Picture(QWidget& window, const QString& name) {
    const QString dir = qEnvironmentVariable("CORVELLAN_SCREENSHOT_DIR");
    if (!dir.isEmpty()) window.grab().save(QDir(dir).filePath(name + ".png"));
  }

  static void ClickOk(QDialog& dialog) {
    for (QDialogButtonBox* box : dialog.findChildren<QDialogButtonBox*>()) {
      for (QAbstractButton* button : box->buttons()) {
        if (box->buttonRole(button) == QDialogButtonBox::AcceptRole) return button->click();
      }
    }
    QFAIL("no OK button");
  }

  struct Shown {
    QString pageSize;
    bool landscape = false;
    double width = 0, height = 0;
    bool optionsButton = true, pagesPerSheet = true;
  };

 private slots:
  void initTestCase() {
    queue_ = qEnvironmentVariable("CORVELLAN_PRINT_QUEUE");
    if (queue_.isEmpty()) QSKIP("runs from print_to_cups.sh");
  }
  void cleanup() { ResetPrinterLayer(); }

  void setupKeepsTheTemplatesPaper_data() {
    QTest::addColumn<PaperSettings>("paper");
    QTest::addColumn<QString>("shownSize");  // what the paper size list shows
    QTest::newRow("Letter") << PaperSettings{1, 2159, 2794, 7, 1} << "US Letter";
    QTest::newRow("Envelope #10 landscape") << PaperSettings{20, 1048, 2413, 0, 2} << "Envelope #10";
    QTest::newRow("custom 62x29mm") << PaperSettings{256, 620, 290, 0, 1} << "Custom";
  }
  void setupKeepsTheTemplatesPaper() {
    QFETCH(PaperSettings, paper);
    QFETCH(QString, shownSize);
    const QString tag = QString::fromLatin1(QTest::currentDataTag()).replace(' ', '-').remove('#');
    TestEnvironment env;
    ZipMain window;
    LabelForm& label = LabelForm::of(window);
    label.LabelPrinter = queue_;
    label.LabelPort = PrinterPort(queue_);
    label.Paper = paper;
    auto* setup = window.findChild<QPushButton*>("PSetup");

    // OK at once: the template's paper stays, bin included.
    bool optionsButtonShown = true;
    OnNextDialog([&](QDialog& dialog) {
      for (QDialogButtonBox* box : dialog.findChildren<QDialogButtonBox*>()) {
        for (QAbstractButton* button : box->buttons()) {
          if (box->buttonRole(button) == QDialogButtonBox::ResetRole) optionsButtonShown = button->isVisible();
        }
      }
      Picture(dialog, "setup-" + tag);
      ClickOk(dialog);
    });
    setup->click();
    QCOMPARE(label.LabelPrinter, queue_);
    QCOMPARE(label.Paper, paper);
    QVERIFY(!optionsButtonShown);  // page range and copies are not offered

    // Properties opened: it shows the template's paper; OK there and in the
    // dialog keeps it.
    Shown shown;
    OnNextDialog([&](QDialog& dialog) {
      OnNextDialog([&](QDialog& properties) {
        auto* sizes = properties.findChild<QComboBox*>("pageSizeCombo");
        shown.pageSize = sizes != nullptr ? sizes->currentText() : QString();
        auto* landscape = properties.findChild<QRadioButton*>("landscape");
        shown.landscape = landscape != nullptr && landscape->isChecked();
        auto* units = properties.findChild<QComboBox*>("unitCombo");
        if (units != nullptr) units->setCurrentIndex(0);  // millimetres
        if (auto* width = properties.findChild<QDoubleSpinBox*>("pageWidth")) shown.width = width->value();
        if (auto* height = properties.findChild<QDoubleSpinBox*>("pageHeight")) shown.height = height->value();
        auto* nUp = properties.findChild<QWidget*>("pagesPerSheetButtonGroup");
        shown.pagesPerSheet = nUp != nullptr && nUp->isVisible();
        Picture(properties, "properties-" + tag);
        ClickOk(properties);
        ClickOk(dialog);
      });
      dialog.findChild<QPushButton*>("properties")->click();
    });
    setup->click();
    QCOMPARE(shown.pageSize, shownSize);
    if (paper.size == kPaperCustom) {
      QVERIFY2(qAbs(shown.width - paper.width / 10.0) < 0.5 && qAbs(shown.height - paper.length / 10.0) < 0.5,
               qPrintable(QString("%1 x %2 mm").arg(shown.width).arg(shown.height)));
    }
    QCOMPARE(shown.landscape, paper.orientation == kOrientationLandscape);
    QVERIFY(!shown.pagesPerSheet);
    const PaperSettings back = label.Paper;
    QCOMPARE(back.size, paper.size);
    QCOMPARE(back.orientation, paper.orientation);
    QCOMPARE(back.bin, paper.bin);
    QVERIFY2(qAbs(back.width - paper.width) <= 1 && qAbs(back.length - paper.length) <= 1,
             qPrintable(QString("%1 x %2").arg(back.width).arg(back.length)));
  }

  // A paper chosen in Properties is the one stored.
  void setupTakesAChosenPaper() {
    TestEnvironment env;
    ZipMain window;
    LabelForm& label = LabelForm::of(window);
    label.LabelPrinter = queue_;
    label.LabelPort = PrinterPort(queue_);
    label.Paper = {1, 2159, 2794, 0, 1};
    OnNextDialog([&](QDialog& dialog) {
      OnNextDialog([&](QDialog& properties) {
        auto* sizes = properties.findChild<QComboBox*>("pageSizeCombo");
        for (int i = 0; i < sizes->count(); ++i) {
          if (sizes->itemData(i).value<QPageSize>().key() == "Legal") sizes->setCurrentIndex(i);
        }
        properties.findChild<QRadioButton*>("landscape")->click();
        ClickOk(properties);
        ClickOk(dialog);
      });
      dialog.findChild<QPushButton*>("properties")->click();
    });
    window.findChild<QPushButton*>("PSetup")->click();
    QCOMPARE(label.Paper.size, 5);
    QCOMPARE(label.Paper.orientation, kOrientationLandscape);
  }
};

CORVELLAN_TEST_CLASS(LabelSetupDialogTest);

#include "label_setup_test.moc"
