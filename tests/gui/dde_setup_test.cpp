// The link settings window: loading, the changed flag, saving and closing,
// and its keyboard access.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

#include "core/app_globals.h"
#include "core/desktop.h"
#include "core/settings.h"
#include "core/zip_main.h"
#include "link_test_support.h"
#include "qtest_registry.h"
#include "test_environment.h"
#include "transfer/dde_setup.h"
#include "transfer/icon_window.h"

using namespace corvellan;
using corvellan::test::TestEnvironment;

namespace {

QString Dde(const char* key) { return GetIni(App().IniFile, "DDE Settings", key); }

// The access key of a caption ("S&econdary" -> "E"); empty when it has none.
QString AccessKey(const QString& caption) {
  const qsizetype amp = caption.indexOf(QLatin1Char('&'));
  return amp >= 0 && amp + 1 < caption.size() ? caption.mid(amp + 1, 1).toUpper() : QString();
}

}  // namespace

class DdeSetupTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TestEnvironment> env_;
  std::unique_ptr<ZipMain> main_;

  DDESetup& setup() { return DdeSetupWindow(*main_); }
  QLineEdit* edit(const char* name) { return setup().findChild<QLineEdit*>(name); }
  QCheckBox* check(const char* name) { return setup().findChild<QCheckBox*>(name); }
  void open() {
    main_->findChild<QAction*>("mnuViewDDE")->trigger();
    QVERIFY(setup().isVisible());
  }

 private slots:
  void init() {
    env_ = std::make_unique<TestEnvironment>();
    env_->installDefault();
    env_->writeFile(env_->iniPath(), env_->readFile(env_->iniPath()) +
                                         "[DDE Settings]\nApplication Name=MYAPP\nDDE Topic=database\n"
                                         "City=TOWN\ncity check=YES\nState=ST\nState Check=yes please\n"
                                         "Recipient Check=Y\nADD TO CITY=Yes\nAdd to ZipCode=No\n");
    main_ = std::make_unique<ZipMain>();
    QVERIFY(main_->Form_Load({}));
  }
  void cleanup() {
    main_.reset();
    env_.reset();
  }

  void startUpLoadsTheSettingsIntoTheWindow() {
    // Made hidden at start-up, with the settings in it.
    auto* made = main_->findChild<DDESetup*>("DDESetup");
    QVERIFY(made != nullptr);
    QVERIFY(!made->isVisible());
    QCOMPARE(edit("DDEAppname")->text(), QStringLiteral("Myapp"));
    QCOMPARE(edit("DDETopic")->text(), QStringLiteral("Database"));
    QCOMPARE(edit("Item_4")->text(), QStringLiteral("TOWN"));
    QCOMPARE(edit("Item_0")->text(), QString());
    QVERIFY(check("DdeCheck_4")->isChecked());
    // Only "YES" in any letter case counts: not "yes please", not "Y".
    QVERIFY(!check("DdeCheck_5")->isChecked());
    QVERIFY(!check("DdeCheck_0")->isChecked());
    QVERIFY(check("DDESpecial_1")->isChecked());
    QVERIFY(!check("DDESpecial_2")->isChecked());
    QVERIFY(!setup().changed());

    // The icon window takes the same settings when it is made.
    const frmIcon& icon = IconWindow(*main_);
    QCOMPARE(icon.LinkField[kLinkCity].LinkTopic, QStringLiteral("Myapp|Database"));
    QCOMPARE(icon.LinkField[kLinkCity].LinkItem, QStringLiteral("TOWN"));
    QVERIFY(icon.LinkField[kLinkCity].Enabled);
    QVERIFY(icon.LinkField[kLinkState].Merge);
  }

  void theViewMenuOpensTheWindow() {
    open();
    QCOMPARE(setup().windowTitle(), QStringLiteral("Corvellan: DDE Setup"));
    QCOMPARE(check("DdeCheck_6")->text(), QStringLiteral("&ZipCode"));
    QCOMPARE(check("DDESpecial_0")->toolTip(),
             QStringLiteral("Check to Add Secondary to the end of Primary - Secondary Item Name will be Ignored"));
    QCOMPARE(check("DdeCheck_3")->toolTip(), QStringLiteral("Enable or Disable this Item by Clicking the Checkbox"));
    QCOMPARE(edit("Item_4")->toolTip(), QStringLiteral("Enter the DDE Name your Application uses for City - eg CITY"));
    QVERIFY(edit("DDETopic")->toolTip().startsWith("Enter the DDE Topic of your application - eg DATABASE"));
  }

  void closingWithoutChangesAsksNothingAndOnlyHides() {
    open();
    DDESetup* before = &setup();
    setup().findChild<QPushButton*>("CloseButton")->click();
    QVERIFY(!setup().isVisible());
    QVERIFY(MessageBox::shown().isEmpty());
    QCOMPARE(&setup(), before);
  }

  void closingWithChangesAsksToSave() {
    open();
    edit("Item_6")->setFocus();
    QTest::keyClicks(edit("Item_6"), "ZIP");
    QVERIFY(setup().changed());

    // Cancel keeps the window open with the edit.
    MessageBox::setNextAnswer(MessageBox::Answer::Cancel);
    setup().close();
    QCOMPARE(MessageBox::shownTexts(), QStringList{"Save Changes?"});
    QCOMPARE(MessageBox::shown().front().icon, MessageBox::Icon::Question);
    QVERIFY(setup().isVisible());
    QCOMPARE(edit("Item_6")->text(), QStringLiteral("ZIP"));

    // Yes writes every value and loads them again.
    QTest::mouseClick(check("DdeCheck_6"), Qt::LeftButton);
    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    setup().close();
    QVERIFY(!setup().isVisible());
    QCOMPARE(Dde("ZipCode"), QStringLiteral("ZIP"));
    QCOMPARE(Dde("ZipCode Check"), QStringLiteral("Yes"));
    QCOMPARE(Dde("State Check"), QStringLiteral("No"));
    QCOMPARE(Dde("Add to City"), QStringLiteral("Yes"));
    QCOMPARE(Dde("Add to Primary"), QStringLiteral("No"));
    QCOMPARE(Dde("Application Name"), QStringLiteral("Myapp"));
    QVERIFY(!setup().changed());
  }

  void answeringNoDropsTheEdits() {
    open();
    QTest::mouseClick(check("DDESpecial_2"), Qt::LeftButton);
    QVERIFY(setup().changed());
    MessageBox::setNextAnswer(MessageBox::Answer::No);
    setup().close();
    QVERIFY(!setup().isVisible());
    QCOMPARE(Dde("Add to ZipCode"), QStringLiteral("No"));
    open();
    QVERIFY(!check("DDESpecial_2")->isChecked());
  }

  void comingBackToTheWindowKeepsUnsavedEdits() {
    open();
    edit("DDEAppname")->setFocus();
    QTest::keyClicks(edit("DDEAppname"), "X");
    setup().Form_Activate();
    QCOMPARE(edit("DDEAppname")->text(), QStringLiteral("MyappX"));
    // Without edits, coming back shows what is stored now.
    MessageBox::setNextAnswer(MessageBox::Answer::No);
    setup().close();
    QVERIFY(WriteIni("DDE Settings", "DDE Topic", "SHEET", App().IniFile));
    setup().Form_Activate();
    QCOMPARE(edit("DDETopic")->text(), QStringLiteral("Sheet"));
  }

  void aSettingsFileThatCannotBeWrittenKeepsTheEdits() {
    open();
    QTest::keyClicks(edit("Item_1"), "ADDRESS2");
    // A directory in the settings file's place: the file cannot be replaced.
    QFile::remove(env_->iniPath());
    QVERIFY(QDir().mkpath(env_->iniPath() + "/blocked"));
    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    setup().close();
    // The settings file that cannot be read is reported once, before the
    // failed save.
    const QStringList shown = MessageBox::shownTexts();
    QCOMPARE(shown.size(), 3);
    QCOMPARE(shown[0], QStringLiteral("Save Changes?"));
    QVERIFY2(shown[1].startsWith(QStringLiteral("The settings file ")) && shown[1].contains(QStringLiteral("nothing is saved")),
             qPrintable(shown[1]));
    QCOMPARE(shown[2], QStringLiteral("Unable to Save the DDE Settings"));
    QVERIFY(setup().isVisible());
    QCOMPARE(edit("Item_1")->text(), QStringLiteral("ADDRESS2"));
    QVERIFY(setup().changed());
  }

  void atShutdownTheWindowIsClosedForGood() {
    open();
    QTest::keyClicks(edit("Item_0"), "COMPANY");
    MessageBox::setNextAnswer(MessageBox::Answer::Yes);
    main_->close();
    QCOMPARE(MessageBox::shownTexts(), QStringList{"Save Changes?"});
    QCOMPARE(Dde("Recipient"), QStringLiteral("COMPANY"));
    QVERIFY(!setup().isVisible());
  }

  void everyControlHasItsOwnAccessKey() {
    main_->show();
    QVERIFY(QTest::qWaitForWindowExposed(main_.get()));
    open();
    QStringList keys;
    for (const QLabel* label : setup().findChildren<QLabel*>()) {
      if (label->buddy() == nullptr) continue;
      keys.append(AccessKey(label->text()));
    }
    for (const QAbstractButton* button : setup().findChildren<QAbstractButton*>()) {
      keys.append(AccessKey(button->text()));
      QVERIFY2(!keys.back().isEmpty(), qPrintable(button->objectName()));
    }
    // Each text box is the buddy of a label with an access key.
    for (QLineEdit* box : setup().findChildren<QLineEdit*>()) {
      bool labelled = false;
      for (const QLabel* label : setup().findChildren<QLabel*>()) {
        labelled = labelled || (label->buddy() == box && !AccessKey(label->text()).isEmpty());
      }
      QVERIFY2(labelled, qPrintable(box->objectName()));
    }
    QCOMPARE(keys.size(), 8 + 2 + 8 + 3 + 1);
    QCOMPARE(QSet<QString>(keys.begin(), keys.end()).size(), keys.size());

    // Alt with a key works the control.
    setup().activateWindow();
    QVERIFY(QTest::qWaitFor([this] { return setup().isActiveWindow(); }));
    edit("DDEAppname")->setFocus();
    QTest::keyClick(&setup(), Qt::Key_7, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), edit("Item_6"));
    QTest::keyClick(&setup(), Qt::Key_T, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), edit("DDETopic"));
    QTest::keyClick(&setup(), Qt::Key_Z, Qt::AltModifier);
    QTRY_VERIFY(check("DdeCheck_6")->isChecked());
  }
};

CORVELLAN_TEST_CLASS(DdeSetupTest);
#include "dde_setup_test.moc"
