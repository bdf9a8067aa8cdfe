// Typing the address into another program through the window service (a
// fake desktop here; the X server in the x11 tests): the target list, the
// insertion with its keystrokes, the failure path, and Copy.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QTest>

#include <memory>

#include "core/app_globals.h"
#include "core/desktop.h"
#include "core/settings.h"
#include "core/zip_main.h"
#include "fake_window_service.h"
#include "qtest_registry.h"
#include "search_session.h"
#include "transfer/insert_settings.h"

using namespace corvellan;
using corvellan::test::FakeDesktop;
using corvellan::test::SearchSession;

namespace {

constexpr char kFailed[] = "Unable to Insert Address: please try again";

// Recipient, Primary and City each followed by {TAB}; State and ZIP in one
// position, the ZIP after a blank.
constexpr char kCfg[] =
    "[General Settings]\nLine Squeeze=Yes\n"
    "[Recipient]\nField Order=1\nAfter Field={TAB}\nUpper Case=Yes\n"
    "[Primary]\nField Order=2\nAfter Field={TAB}\n"
    "[City]\nField Order=3\nAfter Field={TAB}\n"
    "[State]\nField Order=4\n"
    "[ZipCode]\nField Order=4\nBefore Field={ }\n"
    "[Plus4]\nField Order=4\nBefore Field=-\n";

}  // namespace

class InsertTargetTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<FakeDesktop> desktop_;
  std::unique_ptr<SearchSession> s_;

  test::FakeWindowService& fake() { return *desktop_->fake; }
  QComboBox* targets() { return s_->window.findChild<QComboBox*>("Combo1"); }

  void start() {
    s_ = std::make_unique<SearchSession>();
    QVERIFY(s_->ready());
  }
  void showAcme() {
    s_->type("SearchStreet", "main");
    s_->type("SearchCity", "springfield");
    s_->search();
    s_->clickLine(1);  // 150 Main St, Acme Tool Co, 12345-1002
    QCOMPARE(s_->text("Recipient"), QStringLiteral("ACME TOOL CO"));  // Upper Case=Yes
  }
  QString typedText(std::size_t at = 0) {
    QString text;
    if (at >= fake().sent.size()) return QStringLiteral("<nothing sent>");
    for (const KeyStroke& stroke : fake().sent[at].strokes) {
      text += stroke.kind == KeyStroke::Kind::Key ? QStringLiteral("<%1>").arg(stroke.key) : stroke.text;
    }
    return text;
  }

 private slots:
  void init() {
    desktop_ = std::make_unique<FakeDesktop>();
    fake().add("Editor");
    fake().add("Program Manager");
    fake().add("Order Entry");
    fake().add("Locked Screen", true);
  }
  void cleanup() {
    s_.reset();
    desktop_.reset();
  }

  void startUpListsTheProgramsThatCanBeActivated() {
    // The settings of the test installation must be in place before start-up.
    s_ = std::make_unique<SearchSession>();
    QVERIFY(s_->ready());
    QStringList titles;
    for (int i = 0; i < targets()->count(); ++i) titles.append(targets()->itemText(i));
    // The main window is not in the fake's stacking order: top first.
    QCOMPARE(titles, QStringList({"Order Entry", "Editor"}));
    QCOMPARE(targets()->currentText(), QStringLiteral("Order Entry"));
    QVERIFY(fake().activations.contains("Locked Screen"));

    // A stored target is chosen again when it is offered; a click on the
    // caption refreshes the list.
    WriteIni("General Settings", "Insert Target", "Editor", App().IniFile);
    fake().add("Spreadsheet");
    QTest::mouseClick(s_->window.findChild<QLabel*>("TargetApp"), Qt::LeftButton);
    QCOMPARE(targets()->count(), 3);
    QCOMPARE(targets()->currentText(), QStringLiteral("Editor"));
  }

  void insertTypesTheAddressIntoTheTarget() {
    start();
    test::TestEnvironment::writeFile(App().CfgFile, kCfg);
    LoadCfg(s_->window);
    showAcme();
    s_->edit("Recipient")->setText("SMITH + SONS (100%)");  // edited by hand
    targets()->setCurrentText("Editor");
    QTest::mouseClick(s_->button("CmdIns"), Qt::LeftButton);
    QCOMPARE(MessageBox::shownTexts(), QStringList());
    QCOMPARE(fake().sent.size(), std::size_t{1});
    QCOMPARE(fake().sent[0].window, QStringLiteral("Editor"));
    QCOMPARE(typedText(), QStringLiteral("SMITH + SONS (100%)<Tab>150 Main St<Tab>Springfield<Tab>IL 12345-1002"));
    QCOMPARE(GetIni(App().IniFile, "General Settings", "Insert Target"), QStringLiteral("Editor"));

    // A target title is matched by its beginning too; a double click in the
    // results inserts as well.
    targets()->setCurrentText("Order");
    const QListWidgetItem* line = s_->list()->item(1);
    QTest::mouseDClick(s_->list()->viewport(), Qt::LeftButton, {}, s_->list()->visualItemRect(line).center());
    QCOMPARE(fake().sent.size(), std::size_t{2});
    QCOMPARE(fake().sent[1].window, QStringLiteral("Order Entry"));
    QCOMPARE(GetIni(App().IniFile, "General Settings", "Insert Target"), QStringLiteral("Order"));
  }

  void failuresAreReportedAndRefreshTheList() {
    start();
    // No target chosen and none to find.
    fake().windows.clear();
    targets()->clear();
    s_->window.mnuEditInsert_Click();
    QCOMPARE(MessageBox::shownTexts(), QStringList({kFailed}));

    // The target has gone.
    MessageBox::clearShown();
    fake().add("Editor");
    targets()->setCurrentText("Calculator");
    s_->window.mnuEditInsert_Click();
    QCOMPARE(MessageBox::shownTexts(), QStringList({kFailed}));
    QCOMPARE(targets()->currentText(), QStringLiteral("Editor"));  // refreshed
    QVERIFY(fake().sent.empty());

    // Keystrokes that cannot be sent, malformed settings, an order outside
    // 0 to 21: nothing is typed.
    const auto expectFailure = [this](const char* why) {
      MessageBox::clearShown();
      s_->window.mnuEditInsert_Click();
      QVERIFY2(MessageBox::shownTexts().size() == 1 && MessageBox::shownTexts().front().startsWith(kFailed), why);
      QVERIFY2(fake().sent.empty(), why);
    };
    fake().sendFails = true;
    expectFailure("sending fails");
    fake().sendFails = false;
    InsertSettings& settings = CurrentInsertSettings();
    settings.FieldOrder[0] = "1";
    settings.AfterKeys[0] = "{TAB";
    s_->edit("Recipient")->setText("x");
    expectFailure("unbalanced brace");
    settings.AfterKeys[0] = "{NOKEY}";
    expectFailure("unknown key");
    settings.AfterKeys[0] = "{TAB}";
    settings.FieldOrder[0] = "25";
    expectFailure("order 25");
    settings.FieldOrder[0] = "1";
    s_->window.mnuEditInsert_Click();
    QCOMPARE(fake().sent.size(), std::size_t{1});
  }

  void withoutAnX11SessionTheReasonIsShown() {
    fake().reason = "This is a Wayland session, where one program may not type into the windows of another.";
    start();
    QCOMPARE(targets()->count(), 0);
    MessageBox::clearShown();
    s_->window.mnuEditInsert_Click();
    QCOMPARE(MessageBox::shownTexts(),
             QStringList({"Unable to Insert Address: This is a Wayland session, where one program may not type "
                          "into the windows of another."}));
    QVERIFY(fake().sent.empty());
  }

  void copyPutsOneLinePerPositionOnTheClipboard() {
    start();
    test::TestEnvironment::writeFile(App().CfgFile, kCfg);
    LoadCfg(s_->window);
    showAcme();
    s_->window.findChild<QAction*>("mnuEditCopy")->trigger();
    QCOMPARE(QApplication::clipboard()->text(),
             QStringLiteral("ACME TOOL CO\r\n150 Main St\r\nSpringfield\r\nIL123451002\r\n"));
    QVERIFY(fake().sent.empty());
  }
};

CORVELLAN_TEST_CLASS(InsertTargetTest);

#include "insert_target_test.moc"
