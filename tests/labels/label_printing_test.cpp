// Label printing: the page layout in twips, the quantity rules, the paper
// mapping onto CUPS options, the printer and font set-up, and the failure
// messages. LabelPrintTest prints on a real CUPS queue; it runs from
// print_to_cups.sh, which sets the queue up.
#include <QCheckBox>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QTabWidget>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <memory>
#include <tuple>

#include "core/app_globals.h"
#include "core/desktop.h"
#include "core/settings.h"
#include "core/zip_main.h"
#include "labels/label_form.h"
#include "labels/label_printing.h"
#include "labels/printer_layer.h"
#include "qtest_registry.h"
#include "test_database.h"
#include "test_environment.h"

using namespace corvellan;
using corvellan::test::TestEnvironment;

class LabelPrintingTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() {
    LabelDialogs::setPrinterHandler({});
    LabelDialogs::setFontHandler({});
    ResetPrinterLayer();
  }

  void theFrameCarriesItsCaptionsToolTipsAndAccessKeys() {
    TestEnvironment env;
    ZipMain window;
    const QList<std::tuple<const char*, const char*, const char*>> buttons = {
        {"PrintButton", "&Print", "Print the Current Mailing Label"},
        {"FSetup", "F&ont", "Choose a Label Font"},
        {"PSetup", "&Setup", "Setup the Printer"},
        {"SaveButton", "S&ave", "Save the Current Label Template Settings"}};
    for (const auto& [name, caption, tip] : buttons) {
      auto* button = window.findChild<QPushButton*>(name);
      QCOMPARE(button->text(), QString::fromLatin1(caption));
      QCOMPARE(button->toolTip(), QString::fromLatin1(tip));
    }
    auto* useBar = window.findChild<QCheckBox*>("UseBar");
    QCOMPARE(useBar->text(), QStringLiteral("Use &Barcode"));
    QCOMPARE(useBar->toolTip(), QStringLiteral("Use the Post Net  Barcode"));
    QCOMPARE(window.findChild<QComboBox*>("LabList")->toolTip(), QStringLiteral("Choose from Existing Label Templates"));
    const QList<std::tuple<const char*, const char*, const char*>> boxes = {
        {"TopMarg", "Top Mar&gin", "Label Top Margin"},
        {"LeftMarg", "&Left Margin", "Label Left Margin"},
        {"MaxChars", "&Max Chars", "Preferred Maximum Characters per Label Line"},
        {"Qty", "&Quantity", "No of Labels to Print"}};
    for (const auto& [name, caption, tip] : boxes) {
      QWidget* box = window.findChild<QLineEdit*>(name);
      QCOMPARE(box->toolTip(), QString::fromLatin1(tip));
      bool captioned = false;
      for (const QLabel* label : window.findChildren<QLabel*>()) {
        captioned = captioned || (label->buddy() == box && label->text() == QLatin1String(caption));
      }
      QVERIFY2(captioned, name);
    }

    // On the shown tab the access keys reach the controls.
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    window.findChild<QTabWidget*>("SSTab1")->setCurrentWidget(window.findChild<QWidget*>("tabMailingLabel"));
    QTest::keyClick(&window, Qt::Key_B, Qt::AltModifier);
    QTRY_VERIFY(useBar->isChecked());  // a button's access key clicks it a moment later
    QTest::keyClick(&window, Qt::Key_U, Qt::AltModifier);
    QVERIFY(window.findChild<QComboBox*>("LabList")->hasFocus());
    QTest::keyClick(&window, Qt::Key_I, Qt::AltModifier);
    QVERIFY(window.findChild<QPlainTextEdit*>("txtAttentionLine")->hasFocus());
    // Max Chars selects its text on entry, so typing replaces it.
    window.findChild<QLineEdit*>("MaxChars")->setText("25");
    QTest::keyClick(&window, Qt::Key_M, Qt::AltModifier);
    QTest::qWait(1);
    QTest::keyClicks(QApplication::focusWidget(), "40");
    QCOMPARE(window.findChild<QLineEdit*>("MaxChars")->text(), QStringLiteral("40"));
  }

  void marginsAndQuantity() {
    QCOMPARE(MarginTwips("1.5"), 2160L);
    QCOMPARE(MarginTwips(" .25in"), 360L);
    QCOMPARE(MarginTwips(""), 0L);
    QCOMPARE(MarginTwips("abc"), 0L);
    QCOMPARE(MarginTwips("1e300"), 1000000000L);  // held, not overflowed
    QCOMPARE(LabelQuantity(""), std::optional<int>(1));
    QCOMPARE(LabelQuantity("0"), std::optional<int>(1));
    QCOMPARE(LabelQuantity("3 labels"), std::optional<int>(3));
    QCOMPARE(LabelQuantity("32767"), std::optional<int>(32767));
    QCOMPARE(LabelQuantity("-2"), std::nullopt);
    QCOMPARE(LabelQuantity("32768"), std::nullopt);
    QCOMPARE(LabelQuantity("40000"), std::nullopt);
  }

  void printedLinesAreSplitAndTrimmed() {
    QCOMPARE(PrintedLines("  \n"), QStringList{"  "});  // the text itself is not trimmed
    QCOMPARE(PrintedLines("a\n  b  \n\nc"), QStringList({"a", "b  ", "", "c"}));
    QCOMPARE(PrintedLines("a\r\nb\r\n"), QStringList({"a", "b"}));
    QCOMPARE(PrintedLines(""), QStringList());
  }

  void theAddressAlwaysStartsBelowTheBarcodeBand() {
    LabelContent content{2160, 1440, true, "|1234567895|", "  Attn: Ann  \nDock 4 ", "Acme\n1 Main St\n"};
    // Line heights: barcode 250, label font 200 twips.
    QList<LabelLine> lines = LayoutLabel(content, 250, 200);
    QCOMPARE(lines.size(), 5);
    QCOMPARE(lines[0].text, QStringLiteral("|1234567895|"));
    QVERIFY(lines[0].barcode);
    QCOMPARE(lines[0].xTwips, 2160L);
    QCOMPARE(lines[0].yTwips, 1440.0);
    // 430 twips below the top margin, after one empty line of the label font.
    const QStringList texts{"Attn: Ann  ", "Dock 4", "Acme", "1 Main St"};
    for (int i = 1; i < lines.size(); ++i) {
      QCOMPARE(lines[i].text, texts[i - 1]);
      QVERIFY(!lines[i].barcode);
      QCOMPARE(lines[i].xTwips, 2160L);
      QCOMPARE(lines[i].yTwips, 1440.0 + 430 + 200 * i);
    }

    // Without the barcode the address stays where it was.
    content.useBar = false;
    const QList<LabelLine> plain = LayoutLabel(content, 250, 200);
    QCOMPARE(plain.size(), 4);
    QCOMPARE(plain.front().yTwips, 1440.0 + 430 + 200);
  }

  void paperValuesMapOntoCupsOptions() {
    using Options = std::vector<std::pair<QString, QString>>;
    QCOMPARE(JobOptionsForPaper({1, 2159, 2794, 0, 1}), (Options{{"media", "na_letter_8.5x11in"}}));
    QCOMPARE(JobOptionsForPaper({20, 0, 0, 5, 2}),
             (Options{{"media", "na_number-10_4.125x9.5in"}, {"media-source", "envelope"}}));
    QCOMPARE(JobOptionsForPaper({9, 0, 0, 8, 1}), (Options{{"media", "iso_a4_210x297mm"}, {"InputSlot", "Tractor"}}));
    QCOMPARE(JobOptionsForPaper({5, 0, 0, 0, 0}), (Options{{"media", "na_legal_8.5x14in"}}));
    // Custom sizes in tenths of a millimetre; nothing set leaves the queue's own.
    QCOMPARE(MediaForPaper({256, 620, 290, 0, 1}), QStringLiteral("custom_62x29mm_62x29mm"));
    QCOMPARE(MediaForPaper({256, 1016, 254, 0, 1}), QStringLiteral("custom_4x1in_4x1in"));
    QCOMPARE(MediaForPaper({0, 620, 290, 0, 1}), MediaForPaper({256, 620, 290, 0, 1}));
    QCOMPARE(MediaForPaper({256, 0, 254, 0, 1}), QString());
    QVERIFY(JobOptionsForPaper({}).empty());

    // What a queue reports reads back as the same code.
    QCOMPARE(PaperForMedia("na_letter_8.5x11in", 21590, 27940), (PaperSettings{1, 2159, 2794, 0, 0}));
    QCOMPARE(PaperForMedia("", 21000, 29700).size, 9);
    QCOMPARE(PaperForMedia("oe_label_4x1in", 10160, 2540), (PaperSettings{256, 1016, 254, 0, 0}));
    QCOMPARE(BinForMediaSource("auto"), 7);
    QCOMPARE(BinForMediaSource("by-pass-tray"), 0);

    const QPageLayout landscape = PageLayoutForPaper({20, 0, 0, 0, 2}, QPageSize(QPageSize::Letter));
    QCOMPARE(landscape.orientation(), QPageLayout::Landscape);
    QVERIFY(qAbs(landscape.pageSize().size(QPageSize::Inch).width() - 4.125) < 0.01);
    QCOMPARE(PageLayoutForPaper({}, QPageSize(QPageSize::A5)).pageSize().id(), QPageSize::A5);
  }

  void aPrinterThatIsNotInstalledPrintsNothing() {
    TestEnvironment env;
    ZipMain window;
    LabelForm& label = LabelForm::of(window);
    label.LabelPrinter = "corvellan-no-such-queue";
    label.LabelPort = "cups-pdf:/";
    window.findChild<QPushButton*>("PrintButton")->click();
    QCOMPARE(MessageBox::shownTexts(), QStringList{"Please setup a printer for Labels"});
    QCOMPARE(MessageBox::shown().front().icon, MessageBox::Icon::Critical);
    // Nothing is printing any more.
    QCOMPARE(window.PanelText(1), QString());

    // A quantity out of range is said before any printer is looked for.
    for (const char* quantity : {"-1", "32768", "40000"}) {
      MessageBox::clearShown();
      window.SetStatus("Ready");
      window.findChild<QLineEdit*>("Qty")->setText(quantity);
      window.findChild<QPushButton*>("PrintButton")->click();
      QCOMPARE(MessageBox::shownTexts(), QStringList{"Quantity must be 1 to 32767"});
      QCOMPARE(MessageBox::shown().front().icon, MessageBox::Icon::Critical);
      QCOMPARE(window.PanelText(1), QStringLiteral("Ready"));
    }
    window.findChild<QLineEdit*>("Qty")->setText("1");

    // A template without a port matches no printer at all.
    MessageBox::clearShown();
    label.LabelPrinter = SystemPrinterName();
    label.LabelPort.clear();
    window.findChild<QPushButton*>("PrintButton")->click();
    QCOMPARE(MessageBox::shownTexts(), QStringList{"Please setup a printer for Labels"});
  }

  void printerSetupTakesTheChosenPrinter() {
    TestEnvironment env;
    ZipMain window;
    LabelForm& label = LabelForm::of(window);
    label.LabelPrinter = "before";
    label.Paper = {1, 2159, 2794, 0, 1};

    // Cancelled: nothing changes.
    LabelDialogs::setPrinterHandler([](const QString& current) {
      return current == "before" ? std::nullopt : std::optional<QString>("wrong");
    });
    window.findChild<QPushButton*>("PSetup")->click();
    QCOMPARE(label.LabelPrinter, QStringLiteral("before"));
    QVERIFY(MessageBox::shown().isEmpty());

    // A printer whose settings cannot be read leaves the paper values 0.
    LabelDialogs::setPrinterHandler([](const QString&) { return std::optional<QString>("corvellan-gone"); });
    window.findChild<QPushButton*>("PSetup")->click();
    QCOMPARE(label.LabelPrinter, QStringLiteral("corvellan-gone"));
    QCOMPARE(window.PanelText(1), QStringLiteral("Print Labels to corvellan-gone"));
    QVERIFY(label.LabelPort.isEmpty());
    QCOMPARE(label.Paper, PaperSettings{});
    QCOMPARE(MessageBox::shownTexts(), QStringList{"Unable to Read Printer Settings"});
  }

  void theFontDialogSetsBothPreviewBoxes() {
    TestEnvironment env;
    ZipMain window;
    auto* block = window.findChild<QPlainTextEdit*>("txtAddressBlock");
    auto* attention = window.findChild<QPlainTextEdit*>("txtAttentionLine");
    const QFont before = block->font();
    QFont offered;
    LabelDialogs::setFontHandler([&offered](const QFont& current) {
      offered = current;
      return std::optional<QFont>();
    });
    window.findChild<QPushButton*>("FSetup")->click();
    QCOMPARE(offered, before);
    QCOMPARE(block->font(), before);

    LabelDialogs::setFontHandler([](const QFont&) {
      QFont font("DejaVu Serif");
      font.setPointSize(20);
      font.setBold(true);
      return std::optional<QFont>(font);
    });
    window.findChild<QPushButton*>("FSetup")->click();
    QCOMPARE(block->font().family(), QStringLiteral("DejaVu Serif"));
    QCOMPARE(block->font().pointSizeF(), 14.0);  // the dialog's range is 8 to 14
    QVERIFY(block->font().bold());
    QCOMPARE(attention->font(), block->font());
  }
};

CORVELLAN_TEST_CLASS(LabelPrintingTest);

// Prints two labels with the barcode on the queue named by
// CORVELLAN_PRINT_QUEUE, chosen through the printer set-up, and leaves the
// PDF for print_to_cups.sh to read.
class LabelPrintTest : public QObject {
  Q_OBJECT

 private slots:
  void printsTwoLabelsWithTheBarcode() {
    const QString queue = qEnvironmentVariable("CORVELLAN_PRINT_QUEUE");
    if (queue.isEmpty()) QSKIP("runs from print_to_cups.sh");
    TestEnvironment env;
    test::InstallWithTestDatabase(env);
    // No barcode settings at all, as a new user has them: the shipped font at
    // its own size and frame bars, which check_label_pdf.py measures.
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
    list->setCurrentRow(1);  // 12345-1002
    QCOMPARE(window.findChild<QLineEdit*>("Recipient")->text(), QStringLiteral("Acme Tool Co"));

    LabelDialogs::setPrinterHandler([queue](const QString&) { return std::optional<QString>(queue); });
    window.findChild<QPushButton*>("PSetup")->click();
    LabelDialogs::setPrinterHandler({});
    LabelForm& label = LabelForm::of(window);
    QCOMPARE(label.LabelPrinter, queue);
    QVERIFY(label.LabelPort.startsWith("cups-pdf:/"));
    // The queue's defaults, as print_to_cups.sh set them: Letter, no source.
    QCOMPARE(label.Paper, (PaperSettings{1, 2159, 2794, 0, 1}));

    // A negative quantity, or one beyond the 16-bit range, prints nothing
    // and says why.
    auto* qty = window.findChild<QLineEdit*>("Qty");
    auto* print = window.findChild<QPushButton*>("PrintButton");
    for (const char* quantity : {"-1", "99999"}) {
      MessageBox::clearShown();
      qty->setText(quantity);
      print->click();
      QCOMPARE(MessageBox::shownTexts(), QStringList{"Quantity must be 1 to 32767"});
      QVERIFY(window.PanelText(1) != QStringLiteral("Labels Printed"));
    }

    qty->setText("2");
    window.findChild<QLineEdit*>("MaxChars")->setText("30");
    window.findChild<QCheckBox*>("UseBar")->setChecked(true);
    QCOMPARE(window.findChild<QPlainTextEdit*>("txtBarCode")->toPlainText(), QStringLiteral("|1234510022|"));
    window.findChild<QPlainTextEdit*>("txtAttentionLine")->setPlainText("Attn: Receiving");
    MessageBox::clearShown();
    window.findChild<QPushButton*>("PrintButton")->click();
    QCOMPARE(MessageBox::shownTexts(), QStringList());
    QCOMPARE(window.PanelText(1), QStringLiteral("Labels Printed"));
  }
};

CORVELLAN_TEST_CLASS(LabelPrintTest);

#include "label_printing_test.moc"
