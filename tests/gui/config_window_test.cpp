// The insert settings window: showing a field's settings by its case class,
// the Order box's rules, saving and reloading, new files, switching files,
// the access keys, and the missing-file messages.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <memory>

#include "core/app_globals.h"
#include "core/desktop.h"
#include "core/settings.h"
#include "core/zip_main.h"
#include "fake_window_service.h"
#include "qtest_registry.h"
#include "test_environment.h"
#include "transfer/config_window.h"
#include "transfer/insert_settings.h"

using namespace corvellan;

namespace {

constexpr char kCfg[] =
    "[General Settings]\nDescription=Order screen\nLine Squeeze=Yes\n"
    "[Recipient]\nField Order=1\nBefore Field={HOME}\nAfter Field={TAB}\nUpper Case=yes\n"
    "[Secondary]\nField Order=2\nUpper Case=Yes\n"
    "[State]\nField Order=4\nUpper Case=No\n"
    "[ZipCode]\nField Order=5\nUpper Case=Yes\n";

enum Field { kRecipient = 0, kSecondary = 1, kState = 11, kZip = 12 };

}  // namespace

class ConfigWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<test::FakeDesktop> desktop_;
  std::unique_ptr<test::TestEnvironment> env_;
  std::unique_ptr<ZipMain> main_;
  Config* config_ = nullptr;

  struct Controls {
    QListWidget* FieldList;
    QLineEdit* Order;
    QLineEdit* Before;
    QLineEdit* After;
    QCheckBox* CaseOpt;
    QLineEdit* Description;
    QComboBox* IniFile;
    QPushButton* SaveButton;
    QCheckBox* SetupOption_2;
  };
  Controls ui() const {
    return {config_->findChild<QListWidget*>("FieldList"),    config_->findChild<QLineEdit*>("Order"),
            config_->findChild<QLineEdit*>("Before"),         config_->findChild<QLineEdit*>("After"),
            config_->findChild<QCheckBox*>("CaseOpt"),        config_->findChild<QLineEdit*>("Description"),
            config_->findChild<QComboBox*>("IniFile"),        config_->findChild<QPushButton*>("SaveButton"),
            config_->findChild<QCheckBox*>("SetupOption_2")};
  }
  void choose(int field) { ui().FieldList->setCurrentRow(field); }
  // Types into the Order box and leaves it.
  void typeOrder(const QString& text) {
    ui().Order->setFocus();
    ui().Order->selectAll();
    QTest::keyClicks(ui().Order, text);
    ui().Before->setFocus();
  }

 private slots:
  void init() {
    desktop_ = std::make_unique<test::FakeDesktop>();
    env_ = std::make_unique<test::TestEnvironment>();
    env_->installDefault();
    test::TestEnvironment::writeFile(env_->programDir() + "Corvellan.Cfg", kCfg);
    test::TestEnvironment::writeFile(env_->programDir() + "Labels.cfg", "[Recipient]\nField Order=7\n");
    main_ = std::make_unique<ZipMain>();
    QVERIFY(main_->Form_Load({}));
    main_->show();
    QVERIFY(QTest::qWaitForWindowActive(main_.get()));
    main_->findChild<QAction*>("mnuViewSetting")->trigger();
    config_ = Config::existing();
    QVERIFY(config_ != nullptr);
    QVERIFY(config_->isVisible());
    QVERIFY(QTest::qWaitForWindowActive(config_));
    QTRY_VERIFY(QApplication::activeWindow() == config_);
  }
  void cleanup() {
    main_.reset();  // the settings window goes with it
    env_.reset();
    desktop_.reset();
  }

  void fieldsShowTheirSettingsAndCaseClass() {
    QCOMPARE(ui().FieldList->count(), 18);
    QCOMPARE(ui().FieldList->item(17)->text(), QStringLiteral("RecordDescr"));
    QCOMPARE(ui().IniFile->currentText(), QStringLiteral("Corvellan"));
    QCOMPARE(ui().Description->text(), QStringLiteral("Order screen"));
    QVERIFY(ui().SetupOption_2->isChecked());
    QCOMPARE(config_->CurrentField(), 0);
    QCOMPARE(ui().Order->text(), QStringLiteral("1"));
    QCOMPARE(ui().Before->text(), QStringLiteral("{HOME}"));
    QCOMPARE(ui().After->text(), QStringLiteral("{TAB}"));
    // "yes" in lower case is not Yes.
    QVERIFY(ui().CaseOpt->isEnabled());
    QVERIFY(!ui().CaseOpt->isChecked());

    choose(kSecondary);
    QVERIFY(ui().CaseOpt->isEnabled() && ui().CaseOpt->isChecked());
    choose(kState);  // always upper, whatever the file says
    QVERIFY(!ui().CaseOpt->isEnabled() && ui().CaseOpt->isChecked());
    choose(kZip);  // no letter case
    QVERIFY(!ui().CaseOpt->isEnabled() && !ui().CaseOpt->isChecked());

    // The user's choice takes effect at once.
    choose(kRecipient);
    QTest::mouseClick(ui().CaseOpt, Qt::LeftButton);
    QVERIFY(InsertFieldUpperCase(kRecipient));
    QTest::mouseClick(ui().SetupOption_2, Qt::LeftButton);
    QVERIFY(!CurrentInsertSettings().LineSqueeze);
  }

  void orderTakesOnlyPositions() {
    choose(kSecondary);
    typeOrder("25");
    QCOMPARE(ui().Order->text(), QStringLiteral("0"));
    QCOMPARE(CurrentInsertSettings().FieldOrder[kSecondary], QStringLiteral("0"));
    typeOrder("abc");
    QCOMPARE(ui().Order->text(), QStringLiteral("0"));
    typeOrder("21");
    QCOMPARE(ui().Order->text(), QStringLiteral("21"));
    QCOMPARE(CurrentInsertSettings().FieldOrder[kSecondary], QStringLiteral("21"));
    typeOrder("0");
    QCOMPARE(ui().Order->text(), QStringLiteral("0"));
    typeOrder(" 3 ");
    QCOMPARE(CurrentInsertSettings().FieldOrder[kSecondary], QStringLiteral("3"));

    ui().Before->setFocus();
    QTest::keyClicks(ui().Before, "{DOWN 4}");
    QCOMPARE(CurrentInsertSettings().BeforeKeys[kSecondary], QStringLiteral("{DOWN 4}"));
  }

  void saveWritesAndANewNameMakesANewFile() {
    choose(kState);
    ui().Order->clear();  // an empty order is saved as 0
    ui().Description->setText("Changed");
    QTest::mouseClick(ui().SaveButton, Qt::LeftButton);
    QCOMPARE(MessageBox::shownTexts(), QStringList());
    const QString file = env_->programDir() + "Corvellan.Cfg";
    QCOMPARE(GetIni(file, "State", "Field Order"), QStringLiteral("0"));
    QCOMPARE(GetIni(file, "State", "Upper Case"), QStringLiteral("Yes"));
    QCOMPARE(GetIni(file, "ZipCode", "Upper Case"), QStringLiteral("N/A"));
    QCOMPARE(GetIni(file, "Recipient", "Upper Case"), QStringLiteral("No"));
    QCOMPARE(GetIni(file, "Recipient", "Before Field"), QStringLiteral("{HOME}"));
    QCOMPARE(GetIni(file, "General Settings", "Description"), QStringLiteral("Changed"));
    QCOMPARE(GetIni(file, "General Settings", "Line Squeeze"), QStringLiteral("Yes"));

    // A new name creates a new file; the active file stays.
    ui().IniFile->setCurrentText("Order Entry");
    QTest::mouseClick(ui().SaveButton, Qt::LeftButton);
    QVERIFY(QFileInfo::exists(env_->programDir() + "Order Entry.cfg"));
    QCOMPARE(App().CfgFile, file);
    QCOMPARE(ui().IniFile->currentText(), QStringLiteral("Order Entry"));
    QCOMPARE(ui().IniFile->findText("Order Entry"), 2);  // Corvellan, Labels, Order Entry

    // Choosing a file from the list makes it the active one and reads it.
    ui().IniFile->setCurrentIndex(1);
    emit ui().IniFile->activated(1);
    QCOMPARE(App().CfgFile, env_->programDir() + "Labels.cfg");
    QCOMPARE(CurrentInsertSettings().FieldOrder[kRecipient], QStringLiteral("7"));
    QCOMPARE(ui().Order->text(), QStringLiteral("7"));
    QCOMPARE(ui().IniFile->currentText(), QStringLiteral("Labels"));
    QVERIFY(!ui().SetupOption_2->isChecked());

    // And back: the edits saved before are read again.
    ui().IniFile->setCurrentIndex(0);
    emit ui().IniFile->activated(0);
    QCOMPARE(ui().Description->text(), QStringLiteral("Changed"));
    QCOMPARE(CurrentInsertSettings().FieldOrder[kState], QStringLiteral("0"));

    // A name that is no file name is refused.
    ui().IniFile->setCurrentText("../elsewhere");
    QTest::mouseClick(ui().SaveButton, Qt::LeftButton);
    QCOMPARE(MessageBox::shownTexts().size(), 1);
    QVERIFY(!QFileInfo::exists(env_->root() + "/elsewhere.cfg"));
  }

  void everyControlHasItsAccessKey() {
    const QList<QPair<Qt::Key, QWidget*>> keys = {
        {Qt::Key_O, ui().Order},       {Qt::Key_B, ui().Before},      {Qt::Key_A, ui().After},
        {Qt::Key_D, ui().Description}, {Qt::Key_N, ui().IniFile},     {Qt::Key_F, ui().FieldList},
    };
    for (const auto& [key, widget] : keys) {
      QTest::keyClick(config_, key, Qt::AltModifier);
      QVERIFY2(widget->hasFocus() || widget->isAncestorOf(QApplication::focusWidget()),
               qPrintable(widget->objectName()));
    }
    // Buttons and boxes act on their keys.
    QTest::keyClick(config_, Qt::Key_U, Qt::AltModifier);
    QTRY_VERIFY(ui().CaseOpt->isChecked());
    QVERIFY(InsertFieldUpperCase(kRecipient));
    QTest::keyClick(config_, Qt::Key_L, Qt::AltModifier);
    QTRY_VERIFY(!ui().SetupOption_2->isChecked());
    QTest::keyClick(config_, Qt::Key_S, Qt::AltModifier);
    QTRY_COMPARE(GetIni(env_->programDir() + "Corvellan.Cfg", "General Settings", "Line Squeeze"), QStringLiteral("No"));
  }

  // A settings file copied into the program folder while the program runs
  // is offered when the window is shown again or the list is opened.
  void filesCopiedInAreOffered() {
    const auto names = [this] {
      QStringList list;
      for (int i = 0; i < ui().IniFile->count(); ++i) list.append(ui().IniFile->itemText(i));
      return list;
    };
    QCOMPARE(names(), QStringList({"Corvellan", "Labels"}));
    test::TestEnvironment::writeFile(env_->programDir() + "Invoices.cfg", "[Recipient]\nField Order=3\n");
    QTest::mouseClick(ui().IniFile, Qt::LeftButton);
    QCOMPARE(names(), QStringList({"Corvellan", "Invoices", "Labels"}));
    QCOMPARE(ui().IniFile->currentText(), QStringLiteral("Corvellan"));  // the name shown stays
    if (QApplication::activePopupWidget() != nullptr) QApplication::activePopupWidget()->close();

    test::TestEnvironment::writeFile(env_->programDir() + "Shipping.CFG", "[Recipient]\nField Order=4\n");
    QTest::keyClick(ui().IniFile, Qt::Key_F4);
    QVERIFY(names().contains("Shipping"));
    if (QApplication::activePopupWidget() != nullptr) QApplication::activePopupWidget()->close();

    QFile::remove(env_->programDir() + "Invoices.cfg");
    config_->hide();
    main_->mnuViewSetting_Click();
    QCOMPARE(names(), QStringList({"Corvellan", "Labels", "Shipping"}));

    // Every file gone while the window is up: the list stays as it was and
    // the program goes on.
    for (const char* file : {"Corvellan.Cfg", "Labels.cfg", "Shipping.CFG"}) QFile::remove(env_->programDir() + file);
    MessageBox::clearShown();
    config_->hide();
    main_->mnuViewSetting_Click();
    QCOMPARE(names(), QStringList({"Corvellan", "Labels", "Shipping"}));
    QVERIFY(MessageBox::shown().isEmpty());
    QVERIFY(env_->exits.isEmpty());
  }

  void missingFilesAreReported() {
    // The active file has gone: the settings stay as they were.
    App().CfgFile = env_->programDir() + "Gone.cfg";
    MessageBox::clearShown();
    LoadCfg(*main_);
    QCOMPARE(MessageBox::shownTexts(), QStringList({"Unable to Retrieve CFG File"}));
    QCOMPARE(CurrentInsertSettings().FieldOrder[kRecipient], QStringLiteral("1"));

    // No settings file at all when the window opens: the program ends.
    main_.reset();
    QVERIFY(Config::existing() == nullptr);
    QFile::remove(env_->programDir() + "Corvellan.Cfg");
    QFile::remove(env_->programDir() + "Labels.cfg");
    ZipMain bare;
    MessageBox::clearShown();
    bare.mnuViewSetting_Click();
    QCOMPARE(MessageBox::shownTexts(), QStringList({"Cannot find working files"}));
    QCOMPARE(env_->exits, QList<int>({1}));
    QVERIFY(Config::existing() == nullptr);
  }
};

CORVELLAN_TEST_CLASS(ConfigWindowTest);

#include "config_window_test.moc"
