// The main window as designed: every named control, its caption and Tag,
// clearing by Tag, the status panels, help documents and engine messages.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include "core/about_dialog.h"
#include "core/app_globals.h"
#include "core/desktop.h"
#include "core/zip_main.h"
#include "qtest_registry.h"
#include "test_environment.h"

using namespace corvellan;
using corvellan::test::TestEnvironment;

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void everyNamedControlExists() {
    ZipMain window;
    const QStringList lineEdits = {
        "SearchZip", "SearchRecipient", "SearchSecdry", "SearchNumber", "SearchStreet", "SearchCity", "MaxQty",
        "Recipient", "Secondary", "Primary", "Urbanization", "City", "State", "Zip", "Plus4", "SecLow", "SecHigh",
        "SecOE", "PriLow", "PriHigh", "PriOE", "ZipLow", "ZipHigh", "RecType", "RecDescr", "OrgZip", "CopyRight",
        "Zip4Zip", "UpdateKeyNo", "ActionCode", "RecTypeCode", "RecTypeDesc", "CarrierRteID", "StrPreDirAbbrev",
        "StreetName", "StreetSuffAbbrev", "StrPostDirAbbrev", "AddrPrimarylowNum", "AddrPrimaryHighNum",
        "PrimaryOddEvenCode", "BiuldingOrFirmName", "AddrSecAbbrev", "AddrSecondaryLowNum", "AddrSecondaryHighNum",
        "SecOECode", "CorvdbOnLowNum", "CorvdbOnHighNum", "BaseALtCode", "LACSStatusIDInd", "GOVBuildInd",
        "FinanceNum", "StateAbbrev", "CountyNumber", "CongressDistNum", "MStateKey", "UrbStateKey", "PrefStateKey",
        "csCopyrightDetailCode", "csZipCode", "csCityStateKey", "csZipClassificationCode", "csCityStateName",
        "csCityStateNameAbbrev", "csCityStateNameFacilityCode", "csCityStateMailingNameInd",
        "csPrefdLastLineCityStateKey", "csPrefdLastLineCityStateName", "csCityDelvInd", "csCarrRteRateSortationInd",
        "csUniqueZipNameInd", "csFinanceNo", "csStateAbbrev", "csCountyNo", "csCountyName", "TopMarg", "LeftMarg",
        "MaxChars", "Qty"};
    for (const QString& name : lineEdits) QVERIFY2(window.findChild<QLineEdit*>(name), qPrintable(name));
    for (int i = 0; i < 8; ++i) QVERIFY(window.findChild<QLineEdit*>(QStringLiteral("StatsLab_%1").arg(i)));
    for (int i = 0; i < 7; ++i) QVERIFY(window.findChild<QCheckBox*>(QStringLiteral("RecSel_%1").arg(i)));
    for (const char* name : {"AppNames", "ClearDup", "Chk_Append", "UseBar"}) QVERIFY2(window.findChild<QCheckBox*>(name), name);
    for (const char* name : {"SearchButton", "CancelSearch", "OrgSearch", "CmdIns", "PrintButton", "FSetup", "PSetup",
                             "SaveButton"}) {
      QVERIFY2(window.findChild<QPushButton*>(name), name);
    }
    for (const char* name : {"StateList", "Combo1", "LabList"}) QVERIFY2(window.findChild<QComboBox*>(name), name);
    for (const char* name : {"FoundList", "OrgList"}) QVERIFY2(window.findChild<QListWidget*>(name), name);
    for (const char* name : {"txtAttentionLine", "txtAddressBlock", "txtBarCode"}) {
      QVERIFY2(window.findChild<QPlainTextEdit*>(name), name);
    }
    for (const char* name : {"fmSearch", "fmresult", "Frame2", "Frame3", "SSTab1", "TargetApp", "QtyLab", "Label15"}) {
      QVERIFY2(window.findChild<QWidget*>(name), name);
    }
    QVERIFY(window.findChild<QStatusBar*>("StatusBar1"));
  }

  void tabsInTheirOrder() {
    ZipMain window;
    auto* tabs = window.findChild<QTabWidget*>("SSTab1");
    QStringList titles;
    for (int i = 0; i < tabs->count(); ++i) titles.append(tabs->tabText(i));
    QCOMPARE(titles, QStringList({"Address", "Zip + 4", "City State", "List Organizations", "Search Statistics",
                                  "Mailing Label"}));
  }

  void menusCarryTheirCaptionsAndShortcuts() {
    ZipMain window;
    const QList<QPair<const char*, const char*>> items = {
        {"mnuEditExact", "E&xact Street Match"},  {"mnuEditOnTop", "&On Top"},
        {"mnuEditInsert", "&Insert"},             {"mnuEditCopy", "&Copy"},
        {"mnuViewSetting", "Insert &Settings"},   {"mnuViewDDE", "&DDE Settings"},
        {"mnuViewIcon", "&Icon for DDE"},         {"mnuHelpWWW_0", "Corvellan Instructions"},
        {"mnuHelpWWW_1", "Corvellan &API"},       {"mnuHelpWWW_2", "&What's New"},
        {"mnuHelpWWW_3", "Corvellan &Home Page"}, {"mnuHelpWWW_4", "Corvellan &Support"},
        {"mnuHelpWWW_5", "End User &License Agreement"}};
    for (const auto& [name, caption] : items) {
      auto* action = window.findChild<QAction*>(name);
      QVERIFY2(action != nullptr, name);
      QCOMPARE(action->text(), QString::fromUtf8(caption));
    }
    QCOMPARE(window.findChild<QAction*>("mnuEditExact")->shortcut(), QKeySequence("Ctrl+X"));
    QVERIFY(window.findChild<QAction*>("mnuEditExact")->isCheckable());
    QCOMPARE(window.findChild<QLabel*>("QtyLab")->text(), QStringLiteral("Search &Qty  "));
    QCOMPARE(window.findChild<QLabel*>("SearchLab_0")->toolTip(), QStringLiteral("Click to Clear Zip Code"));
    QCOMPARE(window.findChild<QLineEdit*>("SearchZip")->toolTip(), QStringLiteral("Enter the Zipcode or Zip+4 Code"));
  }

  void clearScreenEmptiesBoxesBelowTheLevel() {
    ZipMain window;
    for (QLineEdit* edit : window.findChildren<QLineEdit*>()) edit->setText("x");
    window.findChild<QPlainTextEdit*>("txtAddressBlock")->setPlainText("1 Main St");
    window.findChild<QListWidget*>("FoundList")->addItem("12345-6789 line");
    window.findChild<QListWidget*>("OrgList")->addItem("12345-6789  Acme");
    window.findChild<QComboBox*>("StateList")->setEditText("OH");
    window.findChild<QComboBox*>("Combo1")->setEditText("Editor");
    window.SetStatus("Searching");
    window.SetPanelText(2, "Checking 1 of 5");
    window.SetPanelText(3, "Found 3");

    window.ClearScreen(1);
    QVERIFY(window.findChild<QLineEdit*>("Recipient")->text().isEmpty());
    QVERIFY(window.findChild<QLineEdit*>("StatsLab_7")->text().isEmpty());
    QVERIFY(window.findChild<QLineEdit*>("OrgZip")->text().isEmpty());
    QVERIFY(window.findChild<QPlainTextEdit*>("txtAddressBlock")->toPlainText().isEmpty());
    QCOMPARE(window.findChild<QLineEdit*>("SearchCity")->text(), QStringLiteral("x"));
    QCOMPARE(window.findChild<QLineEdit*>("MaxQty")->text(), QStringLiteral("x"));
    QCOMPARE(window.findChild<QComboBox*>("StateList")->currentText(), QStringLiteral("OH"));
    QCOMPARE(window.findChild<QListWidget*>("FoundList")->count(), 0);
    QCOMPARE(window.findChild<QListWidget*>("OrgList")->count(), 0);
    QCOMPARE(window.PanelText(1), QStringLiteral("Searching"));
    QVERIFY(window.PanelText(2).isEmpty() && window.PanelText(3).isEmpty());

    window.ClearScreen(10);
    QVERIFY(window.findChild<QLineEdit*>("SearchCity")->text().isEmpty());
    QVERIFY(window.findChild<QComboBox*>("StateList")->currentText().isEmpty());
    QCOMPARE(window.findChild<QLineEdit*>("MaxQty")->text(), QStringLiteral("x"));
    QCOMPARE(window.findChild<QLineEdit*>("Qty")->text(), QStringLiteral("x"));
    QCOMPARE(window.findChild<QComboBox*>("Combo1")->currentText(), QStringLiteral("Editor"));
  }

  void editClearLeavesNoStateBehind() {
    ZipMain window;
    window.findChild<QComboBox*>("StateList")->setEditText("TX");
    window.findChild<QLineEdit*>("SearchStreet")->setText("MAIN");
    window.findChild<QAction*>("mnuEditClear")->trigger();
    QVERIFY(window.findChild<QLineEdit*>("SearchStreet")->text().isEmpty());
    QVERIFY(window.findChild<QComboBox*>("StateList")->currentText().isEmpty());
  }

  void activationShowsTheAddressTabAndFocusesTheZipField() {
    TestEnvironment env;
    env.installDefault();
    ZipMain window;
    QVERIFY(window.Form_Load({}));
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    window.findChild<QTabWidget*>("SSTab1")->setCurrentIndex(4);
    window.aboutWindow()->show();
    window.Form_Activate();
    QCOMPARE(window.findChild<QTabWidget*>("SSTab1")->currentIndex(), 0);
    QVERIFY(!window.aboutWindow()->isVisible());
    QCOMPARE(window.focusWidget(), window.findChild<QLineEdit*>("SearchZip"));
  }

  void cancelSetsTheFlags() {
    TestEnvironment env;
    ZipMain window;
    App().BusyPointer = 11;
    QTest::mouseClick(window.findChild<QPushButton*>("CancelSearch"), Qt::LeftButton);
    QVERIFY(App().CancelFlag);
    QVERIFY(App().ExportCancelled);
    QCOMPARE(App().BusyPointer, 0);
    QCOMPARE(window.PanelText(1), QStringLiteral("Cancelled"));
  }

  void engineErrorsAreReported() {
    TestEnvironment env;
    ZipMain window;
    window.ShowEngineError(-3);
    window.ShowEngineError(-7);
    QCOMPARE(MessageBox::shownTexts(), QStringList({"Error opening files", "Error No 7"}));
    QCOMPARE(MessageBox::shown().front().icon, MessageBox::Icon::Critical);
    QCOMPARE(MessageBox::shown().front().title, QStringLiteral("Corvellan"));
  }

  void helpDocumentsOpenThroughTheDesktop() {
    TestEnvironment env;
    env.installDefault();
    TestEnvironment::writeFile(env.programDir() + "docs/Zip_API.htm", "x");
    ZipMain window;
    QVERIFY(window.Form_Load({}));
    window.MnuHelpWWW_Click(0);
    window.findChild<QAction*>("mnuHelpWWW_1")->trigger();
    window.MnuHelpWWW_Click(3);
    window.MnuHelpWWW_Click(6);
    QCOMPARE(env.openedUrls.size(), 4);
    QCOMPARE(env.openedUrls[0], QUrl::fromLocalFile(env.programDir() + "docs/zip_ins.htm"));
    QCOMPARE(env.openedUrls[1], QUrl::fromLocalFile(env.programDir() + "docs/Zip_API.htm"));
    QCOMPARE(env.openedUrls[2].scheme(), QStringLiteral("https"));
    QVERIFY(env.openedUrls[3].toString().contains("order"));
    QVERIFY(MessageBox::shown().isEmpty());
  }

  void helpDocumentFailuresAreReported() {
    TestEnvironment env;
    env.installDefault();
    ZipMain window;
    QVERIFY(window.Form_Load({}));
    window.MnuHelpWWW_Click(5);  // no licence document
    QCOMPARE(MessageBox::shownTexts(), QStringList{"File not found"});
    QVERIFY(env.openedUrls.isEmpty());

    MessageBox::clearShown();
    App().ProgramDir = env.root() + "/gone/";
    window.MnuHelpWWW_Click(0);
    QCOMPARE(MessageBox::shownTexts(), QStringList{"Path not found"});

    MessageBox::clearShown();
    App().ProgramDir = env.programDir();
    env.openUrlSucceeds = false;
    // Home Page and Support without a browser: the address is given, and
    // can be selected to be copied.
    for (const int page : {3, 4}) {
      MessageBox::clearShown();
      window.MnuHelpWWW_Click(page);
      QCOMPARE(MessageBox::shown().size(), 1);
      const MessageBox::Shown box = MessageBox::shown().front();
      QVERIFY(box.text.startsWith("No web browser found."));
      QVERIFY(box.text.endsWith("\n" + env.openedUrls.back().toString()));
      QVERIFY(box.selectable);
      QCOMPARE(box.icon, MessageBox::Icon::Critical);
    }
    QCOMPARE(env.openedUrls.back(), QUrl("https://www.corvellan.example/support/"));
    // A help document opens in the program's own window instead.
    MessageBox::clearShown();
    window.MnuHelpWWW_Click(0);
    QVERIFY(MessageBox::shown().isEmpty());
    QVERIFY(window.findChild<QWidget*>("HelpWindow") != nullptr);
  }

  void aSelectableMessageIsARealBoxWhoseTextCanBeSelected() {
    TestEnvironment env;
    MessageBox::setTestMode(false);
    Qt::TextInteractionFlags selectable;
    Qt::TextInteractionFlags plain;
    QString text;
    // Reads the box that is up and closes it.
    const auto closeNextBox = [&text](Qt::TextInteractionFlags* flags) {
      auto* timer = new QTimer;
      QObject::connect(timer, &QTimer::timeout, [timer, flags, &text] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        auto* label = box->findChild<QLabel*>("qt_msgbox_label");
        *flags = label != nullptr ? label->textInteractionFlags() : Qt::TextInteractionFlags();
        text = box->text();
        box->accept();
        timer->deleteLater();
      });
      timer->start(10);
    };
    closeNextBox(&selectable);
    MessageBox::criticalSelectable(nullptr, "No web browser found.\n\nhttps://example.org/");
    QVERIFY(selectable.testFlag(Qt::TextSelectableByMouse));
    QVERIFY(selectable.testFlag(Qt::TextSelectableByKeyboard));
    QCOMPARE(text, QStringLiteral("No web browser found.\n\nhttps://example.org/"));
    // Only that box: the next one is as before.
    closeNextBox(&plain);
    MessageBox::critical(nullptr, "Plain");
    QVERIFY(!plain.testFlag(Qt::TextSelectableByKeyboard));
    MessageBox::setTestMode(true);
  }
};

CORVELLAN_TEST_CLASS(MainWindowTest);

#include "main_window_test.moc"
