// File, Print Preview: where it sits in the menu, the messages it shares
// with Print, and (on a real CUPS queue, from labels_command_cups.sh) the
// pages it shows: the pages Print would print, without taking Intelligent
// Mail serial numbers; its Print button prints as Print does.
#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QTest>
#include <QToolBar>

#include "core/app_globals.h"
#include "core/desktop.h"
#include "core/zip_main.h"
#include "labels/drawing/label_products.h"
#include "labels/label_form.h"
#include "labels/label_options.h"
#include "labels/label_printing.h"
#include "labels/printer_layer.h"
#include "qtest_registry.h"
#include "test_database.h"
#include "test_environment.h"

using namespace corvellan;
using corvellan::test::TestEnvironment;

namespace {

QAction* PreviewAction(ZipMain& window) { return window.findChild<QAction*>("mnuFilePrintPreview"); }

// Finds the Springfield Main St lines (five) and shows the second one.
void FindMainStreet(ZipMain& window) {
  auto* street = window.findChild<QLineEdit*>("SearchStreet");
  auto* city = window.findChild<QLineEdit*>("SearchCity");
  city->setFocus();
  QTest::keyClicks(city, "springfield");
  street->setFocus();
  QTest::keyClicks(street, "main");
  QTest::keyClick(street, Qt::Key_Return);
  auto* list = window.findChild<QListWidget*>("FoundList");
  QTRY_COMPARE(list->count(), 5);
  list->setCurrentRow(1);
}

}  // namespace

class LabelPreviewTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() {
    LabelDialogs::setPreviewHandler({});
    ResetPrinterLayer();
  }

  void theMenuItemFollowsExport() {
    TestEnvironment env;
    ZipMain window;
    auto* file = window.findChild<QMenu*>("mnuFile");
    const QList<QAction*> actions = file->actions();
    const qsizetype at = actions.indexOf(PreviewAction(window));
    QVERIFY(at > 0);
    QCOMPARE(actions[at - 1]->objectName(), QStringLiteral("MnuFileExport"));
    QCOMPARE(PreviewAction(window)->text(), QStringLiteral("Print Pre&view..."));
    // Its access key is its own in the File menu.
    for (const QAction* action : actions) {
      if (action == PreviewAction(window) || action->isSeparator()) continue;
      QVERIFY2(!action->text().contains("&v", Qt::CaseInsensitive), qPrintable(action->text()));
    }
  }

  // The preview refuses what Print refuses, with the same words, and shows
  // nothing then.
  void messagesAsPrintGivesThem_data() {
    QTest::addColumn<QString>("quantity");
    QTest::addColumn<QString>("printer");
    QTest::addColumn<QString>("message");
    QTest::newRow("quantity too large") << "40000"
                                        << ""
                                        << "Quantity must be 1 to 32767";
    QTest::newRow("quantity below 0") << "-3"
                                      << ""
                                      << "Quantity must be 1 to 32767";
    QTest::newRow("no printer") << "2"
                                << ""
                                << "Please setup a printer for Labels";
    QTest::newRow("printer gone") << "2"
                                  << "no-such-queue"
                                  << "Please setup a printer for Labels";
  }

  void messagesAsPrintGivesThem() {
    QFETCH(QString, quantity);
    QFETCH(QString, printer);
    QFETCH(QString, message);
    TestEnvironment env;
    test::InstallWithTestDatabase(env);
    ZipMain window;
    QVERIFY(window.Form_Load({}));
    LabelForm::of(window).LabelPrinter = printer;
    window.findChild<QLineEdit*>("Qty")->setText(quantity);
    bool shown = false;
    LabelDialogs::setPreviewHandler([&shown](QPrintPreviewDialog&) { shown = true; });
    for (const bool preview : {true, false}) {
      MessageBox::clearShown();
      if (preview) {
        PreviewAction(window)->trigger();
      } else {
        window.findChild<QPushButton*>("PrintButton")->click();
      }
      QCOMPARE(MessageBox::shownTexts(), QStringList{message});
    }
    QVERIFY(!shown);
  }

  // On a real queue: as many pages as Print would print, the serials left
  // alone, and the preview's Print printing with them.
  void showsThePagesPrintWouldPrint() {
    const QString queue = qEnvironmentVariable("CORVELLAN_PRINT_QUEUE");
    if (queue.isEmpty()) QSKIP("runs from labels_command_cups.sh");
    TestEnvironment env;
    test::InstallWithTestDatabase(env);
    const QString ini = App().IniFile;
    QVERIFY(WriteImbMailer(ini, {"00", "270", "592831"}));
    QVERIFY(SetNextImbSerial(ini, "592831", 41));
    ZipMain window;
    QVERIFY(window.Form_Load({}));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    FindMainStreet(window);
    LabelDialogs::setPrinterHandler([queue](const QString&) { return std::optional<QString>(queue); });
    window.findChild<QPushButton*>("PSetup")->click();
    LabelDialogs::setPrinterHandler({});
    LabelForm& label = LabelForm::of(window);
    label.SetBarcodeKind(BarcodeKind::Imb);
    label.ImbDigits = true;
    window.findChild<QCheckBox*>("UseBar")->setChecked(true);
    window.findChild<QLineEdit*>("TopMarg")->setText("0.1");
    window.findChild<QLineEdit*>("LeftMarg")->setText("0.1");

    int pages = -1;
    QString title;
    bool previewPrint = false;  // the preview's own Print button, shown
    QStringList visibleActions;
    LabelDialogs::setPreviewHandler([&](QPrintPreviewDialog& dialog) {
      auto* widget = dialog.findChild<QPrintPreviewWidget*>();
      widget->updatePreview();
      pages = widget->pageCount();
      title = dialog.windowTitle();
      previewPrint = false;
      visibleActions.clear();
      for (QAction* action : dialog.findChild<QToolBar*>()->actions()) {
        if (action->isVisible() && !action->isSeparator()) visibleActions << action->text().remove('&');
        if (action->objectName() == QLatin1String("LabelPreviewPrint")) previewPrint = action->isVisible();
      }
    });
    const std::optional<LabelProduct> product = FindLabelProduct("Avery 5160");
    struct Case {
      QString product;
      int start;
      QString quantity;
      bool selectAll;
      int pages;
      QString title;
    };
    QList<Case> cases = {{"", 1, "3", false, 3, "Print Preview - 3 labels"},
                         {"", 1, "0", false, 1, "Print Preview - 1 label"},
                         {"", 1, "1", true, 5, "Print Preview - 5 labels"}};
    if (product)
      cases += QList<Case>{{"Avery 5160", 29, "3", false, 2, "Print Preview - 3 labels"},
                           {"Avery 5160", 1, "31", false, 2, "Print Preview - 31 labels"},
                           {"Avery 5160", 27, "1", true, 2, "Print Preview - 5 labels"}};
    auto* list = window.findChild<QListWidget*>("FoundList");
    for (const Case& c : cases) {
      label.Product = c.product;
      label.StartLabel = c.start;
      window.findChild<QLineEdit*>("Qty")->setText(c.quantity);
      if (c.selectAll) {
        list->selectAll();
      } else {
        list->clearSelection();
        list->setCurrentRow(1);
      }
      MessageBox::clearShown();
      pages = -1;
      PreviewAction(window)->trigger();
      QCOMPARE(MessageBox::shownTexts(), QStringList());
      QVERIFY2(pages == c.pages, qPrintable(QStringLiteral("%1 from %2, quantity %3: %4 pages")
                                                .arg(c.product)
                                                .arg(c.start)
                                                .arg(c.quantity)
                                                .arg(pages)));
      QCOMPARE(title, c.title);
      QCOMPARE(NextImbSerial(ini, "592831"), 41);
    }
    // The dialog's own Print (which would take no serials) and Page Setup
    // are hidden; one Print is left, which prints as Print does.
    QCOMPARE(visibleActions.count("Print"), 1);
    QVERIFY(!visibleActions.contains("Page setup"));
    QVERIFY(previewPrint);

    // Print from the preview: three labels, serials 41 to 43 taken.
    label.Product.clear();
    list->clearSelection();
    list->setCurrentRow(1);
    window.findChild<QLineEdit*>("Qty")->setText("3");
    LabelDialogs::setPreviewHandler([](QPrintPreviewDialog& dialog) {
      for (QAction* action : dialog.findChildren<QAction*>()) {
        if (action->objectName() == QLatin1String("LabelPreviewPrint")) action->trigger();
      }
    });
    MessageBox::clearShown();
    PreviewAction(window)->trigger();
    QCOMPARE(MessageBox::shownTexts(), QStringList());
    QCOMPARE(window.PanelText(1), QStringLiteral("Labels Printed"));
    QCOMPARE(NextImbSerial(ini, "592831"), 44);
  }
};

CORVELLAN_TEST_CLASS(LabelPreviewTest);

#include "label_preview_test.moc"
