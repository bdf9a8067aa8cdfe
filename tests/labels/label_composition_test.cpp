// The label preview: the address block's line rules, the POSTNET text and
// its correction digit, and when the preview is composed again.
#include <QCheckBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTest>

#include "core/app_globals.h"
#include "core/zip_main.h"
#include "labels/label_composition.h"
#include "labels/postnet.h"
#include "qtest_registry.h"
#include "test_database.h"
#include "test_environment.h"

using namespace corvellan;

class LabelCompositionTest : public QObject {
  Q_OBJECT

  static LabelAddress Springfield(int maxChars) {
    LabelAddress a;
    a.recipient = "Acme Tool Co";
    a.primary = "100 MAIN ST";
    a.secondary = "APT 12";
    a.city = "SPRINGFIELD";
    a.state = "IL";
    a.zip = "62704";
    a.plus4 = "1234";
    a.maxChars = maxChars;
    return a;
  }

 private slots:
  void lineLimitSplitsTheDeliveryAndLastLines_data() {
    QTest::addColumn<int>("maxChars");
    QTest::addColumn<QString>("block");
    // 18 characters of delivery line, 25 of last line.
    QTest::newRow("no limit: both split") << 0
                                          << "Acme Tool Co\r\nAPT 12\r\n100 MAIN ST\r\nSPRINGFIELD IL\r\n62704-1234\r\n";
    QTest::newRow("17: delivery split") << 17
                                        << "Acme Tool Co\r\nAPT 12\r\n100 MAIN ST\r\nSPRINGFIELD IL\r\n62704-1234\r\n";
    QTest::newRow("20: delivery whole") << 20 << "Acme Tool Co\r\n100 MAIN ST APT 12\r\nSPRINGFIELD IL\r\n62704-1234\r\n";
    QTest::newRow("24: last line split") << 24
                                         << "Acme Tool Co\r\n100 MAIN ST APT 12\r\nSPRINGFIELD IL\r\n62704-1234\r\n";
    QTest::newRow("25: all whole") << 25 << "Acme Tool Co\r\n100 MAIN ST APT 12\r\nSPRINGFIELD IL 62704-1234\r\n";
  }
  void lineLimitSplitsTheDeliveryAndLastLines() {
    QFETCH(int, maxChars);
    QFETCH(QString, block);
    QCOMPARE(ComposeAddressBlock(Springfield(maxChars)), block);
  }

  void linesAppearOnlyWhenTheyHaveText() {
    LabelAddress a;
    a.primary = "  PO BOX 200 ";
    a.urbanization = "URB LAS GLADIOLAS";
    a.city = "San Juan";
    a.state = "PR";
    a.zip = "00926";
    a.plus4 = "   ";  // blank add-on: no hyphen
    a.maxChars = 40;
    // No recipient, no unit; the urbanization in display case after the
    // delivery line.
    QCOMPARE(ComposeAddressBlock(a), QStringLiteral("PO BOX 200\r\nUrb Las Gladiolas\r\nSan Juan PR 00926\r\n"));

    // The recipient is taken unchanged, blanks included.
    a.recipient = " Dr. Ames ";
    QVERIFY(ComposeAddressBlock(a).startsWith(" Dr. Ames \r\n"));

    // A unit without a street still goes above the (empty) street line.
    LabelAddress unitOnly;
    unitOnly.secondary = "STE 5";
    unitOnly.city = "X";
    QCOMPARE(ComposeAddressBlock(unitOnly), QStringLiteral("STE 5\r\n\r\nX \r\n\r\n"));
  }

  void allFieldsEmpty() {
    LabelAddress a;
    a.maxChars = 2;
    QCOMPARE(ComposeAddressBlock(a), QStringLiteral("  \r\n"));
    a.maxChars = 1;
    QCOMPARE(ComposeAddressBlock(a), QStringLiteral(" \r\n\r\n"));
    a.maxChars = 0;
    QCOMPARE(ComposeAddressBlock(a), QStringLiteral(" \r\n\r\n"));
  }

  void maxCharsValue() {
    QCOMPARE(MaxCharsValue(""), 0);
    QCOMPARE(MaxCharsValue("abc"), 0);
    QCOMPARE(MaxCharsValue(" 30 chars"), 30);
    QCOMPARE(MaxCharsValue("99999999999"), 32767);  // held, not overflowed
    QCOMPARE(MaxCharsValue("-99999999999"), -32768);
  }

  void checkDigits_data() {
    QTest::addColumn<QString>("zipPlus4");
    QTest::addColumn<int>("digit");
    QTest::newRow("sum 45") << "123456789" << 5;
    QTest::newRow("sum 22") << "902101234" << 8;
    QTest::newRow("sum a multiple of 10") << "550000000" << 0;
    QTest::newRow("blanks count nothing") << "12345    " << 5;
  }
  void checkDigits() {
    QFETCH(QString, zipPlus4);
    QFETCH(int, digit);
    QCOMPARE(PostnetCheckDigit(zipPlus4), digit);
  }

  // The barcode holds exactly the ZIP code the label's last line prints, and
  // the add-on only when the line prints one.
  void barcodeDigitsFollowThePrintedZip_data() {
    QTest::addColumn<QString>("zip");
    QTest::addColumn<QString>("plus4");
    QTest::addColumn<QString>("printed");  // the ZIP text of the last line
    QTest::addColumn<QString>("digits");   // "" : no barcode
    QTest::newRow("ZIP+4") << "62704" << "1234" << "62704-1234" << "627041234";
    QTest::newRow("ZIP alone (a range record)") << "12345" << "" << "12345" << "12345";
    QTest::newRow("blank add-on prints nothing") << "12345" << "   " << "12345" << "12345";
    QTest::newRow("ZIP+4 typed into Zip") << "62704-1234" << "" << "62704-1234" << "627041234";
    QTest::newRow("blanks around the ZIP") << " 62704 " << "" << " 62704 " << "62704";
    QTest::newRow("short ZIP") << "6270" << "" << "6270" << "";
    QTest::newRow("short add-on") << "62704" << "12" << "62704-12" << "";
    QTest::newRow("letter in the add-on") << "62704" << "12a4" << "62704-12a4" << "";
    QTest::newRow("add-on twice") << "62704-1234" << "1234" << "62704-1234-1234" << "";
    QTest::newRow("letters") << "ABCDE" << "" << "ABCDE" << "";
    QTest::newRow("wide digits") << QString::fromUtf8("６２７０４") << "" << QString::fromUtf8("６２７０４") << "";
    QTest::newRow("empty") << "" << "" << "" << "";
  }
  void barcodeDigitsFollowThePrintedZip() {
    QFETCH(QString, zip);
    QFETCH(QString, plus4);
    QFETCH(QString, printed);
    QFETCH(QString, digits);
    LabelAddress a = Springfield(40);
    a.zip = zip;
    a.plus4 = plus4;
    QCOMPARE(LabelZipText(a), printed);
    QVERIFY(ComposeAddressBlock(a).endsWith(printed + "\r\n"));
    QCOMPARE(LabelBarcodeDigits(a), digits);
  }

  void barcodeTextIsFramed() {
    QCOMPARE(PostnetText("|", "123456789", "|"), QStringLiteral("|1234567895|"));
    QCOMPARE(PostnetText("", "902101234", ""), QStringLiteral("9021012348"));
  }

  void theBarcodeFontShipsBesideTheProgram() {
    LoadBarcodeFonts();
    QVERIFY(QFontDatabase::families().contains("Corvellan POSTNET"));
    // Families match without regard to case: the settings hold it upper-cased.
    const QFont font("CORVELLAN POSTNET", 18);
    const QFontMetrics metrics(font);
    for (const QChar c : QStringLiteral("0123456789|")) QVERIFY2(metrics.inFont(c), qPrintable(QString(c)));
    // Each digit is five bars wide, the frame bar one.
    QCOMPARE(metrics.horizontalAdvance("0"), metrics.horizontalAdvance("|||||"));
  }

  // ---------------------------------------------------------------- on the window

  void thePreviewFollowsTheAddressPanel() {
    test::TestEnvironment env;
    ZipMain window;
    window.BarCodeStartChar = "|";
    window.BarCodeStopChar = "|";
    auto* useBar = window.findChild<QCheckBox*>("UseBar");
    auto* block = window.findChild<QPlainTextEdit*>("txtAddressBlock");
    auto* barcode = window.findChild<QPlainTextEdit*>("txtBarCode");
    auto* attention = window.findChild<QPlainTextEdit*>("txtAttentionLine");
    App().Address.Set(addr::kZipPlus4, "123456789");
    window.findChild<QLineEdit*>("Primary")->setText("100 MAIN ST");
    window.findChild<QLineEdit*>("Secondary")->setText("APT 12");
    window.findChild<QLineEdit*>("City")->setText("SPRINGFIELD");
    window.findChild<QLineEdit*>("State")->setText("IL");
    window.findChild<QLineEdit*>("Zip")->setText("62704");
    attention->setPlainText("Attn: Shipping");

    // A new limit recomposes at once.
    window.findChild<QLineEdit*>("MaxChars")->setText("30");
    QCOMPARE(block->toPlainText(), QStringLiteral("100 MAIN ST APT 12\nSPRINGFIELD IL 62704\n"));
    QVERIFY(barcode->toPlainText().isEmpty());
    QCOMPARE(attention->toPlainText(), QStringLiteral("Attn: Shipping"));  // never composed

    // Ticking and clearing the barcode box fills and empties the barcode,
    // which encodes the ZIP the label prints (no add-on shown: five digits).
    useBar->setChecked(true);
    QCOMPARE(barcode->toPlainText(), QStringLiteral("|627041|"));
    useBar->setChecked(false);
    QVERIFY(barcode->toPlainText().isEmpty());

    // A non-delivery record shows the marker alone, barcode or not.
    useBar->setChecked(true);
    App().Address.Set(addr::kZipPlus4, "12345ND01");
    SetLabelData(window);
    QCOMPARE(block->toPlainText(), QStringLiteral("* * * Non-Delivery Record * * *"));
    QVERIFY(barcode->toPlainText().isEmpty());
  }

  // The last lookup left ZIP+4 123451002 in the record; what the label shows
  // is what the barcode encodes.
  void theBarcodeEncodesTheZipTheLabelShows() {
    test::TestEnvironment env;
    ZipMain window;
    window.BarCodeStartChar = "|";
    window.BarCodeStopChar = "|";
    auto* block = window.findChild<QPlainTextEdit*>("txtAddressBlock");
    auto* barcode = window.findChild<QPlainTextEdit*>("txtBarCode");
    auto* zip = window.findChild<QLineEdit*>("Zip");
    auto* plus4 = window.findChild<QLineEdit*>("Plus4");
    App().Address.Set(addr::kZipPlus4, "123451002");
    window.findChild<QLineEdit*>("City")->setText("Springfield");
    window.findChild<QLineEdit*>("State")->setText("IL");
    window.findChild<QLineEdit*>("MaxChars")->setText("40");
    window.findChild<QCheckBox*>("UseBar")->setChecked(true);
    // The digits of the barcode text: frame bars and correction digit off.
    const auto encoded = [barcode] {
      const QString text = barcode->toPlainText();
      return text.size() < 3 ? QString() : text.mid(1, text.size() - 3);
    };

    // As looked up.
    zip->setText("12345");
    plus4->setText("1002");
    SetLabelData(window);
    QVERIFY(block->toPlainText().endsWith("Springfield IL 12345-1002\n"));
    QCOMPARE(barcode->toPlainText(), QStringLiteral("|1234510022|"));

    // Zip and Plus 4 edited on the Address tab.
    zip->setText("62704");
    plus4->setText("1234");
    SetLabelData(window);
    QVERIFY(block->toPlainText().endsWith("Springfield IL 62704-1234\n"));
    QCOMPARE(encoded(), QStringLiteral("627041234"));
    QCOMPARE(barcode->toPlainText(), PostnetText("|", "627041234", "|"));

    // A firm or PO box range record shows no add-on: the label prints the
    // five-digit ZIP, and so does the barcode (not the range's low add-on).
    App().Address.Set(addr::kZipPlus4, "123450100");
    zip->setText("12345");
    plus4->clear();
    SetLabelData(window);
    QVERIFY(block->toPlainText().endsWith("Springfield IL 12345\n"));
    QCOMPARE(barcode->toPlainText(), QStringLiteral("|123455|"));

    // A ZIP text that is no ZIP code gets no barcode, and the box says why.
    plus4->setText("12");
    SetLabelData(window);
    QVERIFY(block->toPlainText().endsWith("Springfield IL 12345-12\n"));
    QVERIFY(barcode->toPlainText().isEmpty());
    QVERIFY2(barcode->toolTip().contains("12345-12"), qPrintable(barcode->toolTip()));
    plus4->setText("1002");
    SetLabelData(window);
    QCOMPARE(barcode->toolTip(), QStringLiteral("POSTNET Barcode"));
  }

  // The same through the program: a PO box range record found by a search.
  void aRangeRecordPrintsAndEncodesTheFiveDigitZip() {
    test::TestEnvironment env;
    test::InstallWithTestDatabase(env);
    ZipMain window;
    QVERIFY(window.Form_Load({}));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* zipSearch = window.findChild<QLineEdit*>("SearchZip");
    zipSearch->setFocus();
    QTest::keyClicks(zipSearch, "12345");
    auto* street = window.findChild<QLineEdit*>("SearchStreet");
    street->setFocus();
    QTest::keyClicks(street, "po box");
    QTest::keyClick(street, Qt::Key_Return);
    auto* list = window.findChild<QListWidget*>("FoundList");
    QTRY_VERIFY(list->count() > 0);
    int range = -1;
    for (int i = 0; i < list->count() && range < 0; ++i) {
      if (list->item(i)->text().contains("100") && list->item(i)->text().contains("199")) range = i;
    }
    QVERIFY2(range >= 0, qPrintable(list->item(0)->text()));
    window.findChild<QLineEdit*>("MaxChars")->setText("40");
    window.findChild<QCheckBox*>("UseBar")->setChecked(true);
    list->setCurrentRow(range);
    QCOMPARE(window.findChild<QLineEdit*>("Plus4")->text(), QString());
    QCOMPARE(App().Address.Get(addr::kZipPlus4), QStringLiteral("123450100"));  // the range's low add-on
    auto* block = window.findChild<QPlainTextEdit*>("txtAddressBlock");
    QVERIFY2(block->toPlainText().endsWith(" 12345\n"), qPrintable(block->toPlainText()));
    // The shipped font's frame bars, as no settings name another.
    QCOMPARE(window.findChild<QPlainTextEdit*>("txtBarCode")->toPlainText(), QStringLiteral("|123455|"));
  }

  void leavingAnAddressBoxRecomposesOnlyAfterAnEdit() {
    test::TestEnvironment env;
    ZipMain window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* block = window.findChild<QPlainTextEdit*>("txtAddressBlock");
    auto* city = window.findChild<QLineEdit*>("City");
    auto* primary = window.findChild<QLineEdit*>("Primary");
    auto* state = window.findChild<QLineEdit*>("State");
    window.findChild<QLineEdit*>("MaxChars")->setText("40");
    block->setPlainText("typed by hand");

    // Filled by the program (as the record display does): no edit yet.
    city->setText("Springfield");
    city->setFocus();
    primary->setFocus();
    QCOMPARE(block->toPlainText(), QStringLiteral("typed by hand"));

    // Typing into State marks nothing either.
    state->setFocus();
    QTest::keyClicks(state, "IL");
    primary->setFocus();
    QCOMPARE(block->toPlainText(), QStringLiteral("typed by hand"));

    QTest::keyClicks(primary, "1 Oak Ave");
    QCOMPARE(block->toPlainText(), QStringLiteral("typed by hand"));  // not while typing
    city->setFocus();
    QCOMPARE(block->toPlainText(), QStringLiteral("1 Oak Ave\nSpringfield IL \n"));

    // From then on every address box but State recomposes as it loses focus.
    block->setPlainText("typed again");
    primary->setFocus();
    QCOMPARE(block->toPlainText(), QStringLiteral("1 Oak Ave\nSpringfield IL \n"));
    state->setFocus();
    block->setPlainText("typed again");
    city->setFocus();
    QCOMPARE(block->toPlainText(), QStringLiteral("typed again"));
  }
};

CORVELLAN_TEST_CLASS(LabelCompositionTest);

#include "label_composition_test.moc"
