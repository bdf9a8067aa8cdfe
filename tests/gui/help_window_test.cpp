// The program's own help window, used when no program opens HTML: it shows
// the document asked for, follows links to sections and to other documents,
// goes back, hands web links to the desktop, and is reused.
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>

#include "core/app_globals.h"
#include "core/desktop.h"
#include "core/help_window.h"
#include "core/zip_main.h"
#include "qtest_registry.h"
#include "test_environment.h"

using namespace corvellan;
using corvellan::test::TestEnvironment;

namespace {

// Activates the `n`th link of the page (1-based) from the keyboard, as a
// user without a mouse does: Tab moves from link to link, Enter follows it.
void FollowLink(QTextBrowser* browser, int n) {
  browser->setFocus();
  for (int i = 0; i < n; ++i) QTest::keyClick(browser, Qt::Key_Tab);
  QTest::keyClick(browser, Qt::Key_Return);
}

}  // namespace

class HelpWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void withoutAProgramForHtmlTheDocumentsOpenInTheHelpWindow() {
    TestEnvironment env;
    env.installDefault();
    env.writeFile(env.programDir() + "docs/zip_ins.htm",
                  "<html><head><title>Instructions</title></head><body><p>How to search.</p>"
                  "<p><a href=\"zip_api.htm#calls\">Programming interface</a></p>"
                  "<p><a href=\"https://www.corvellan.example/\">Home page</a></p></body></html>\n");
    env.writeFile(env.programDir() + "docs/zip_api.htm",
                  "<html><head><title>Interface</title></head><body><h2 id=\"calls\">Calls</h2>"
                  "<p>Four exports.</p></body></html>\n");
    env.openUrlSucceeds = false;
    ZipMain window;
    QVERIFY(window.Form_Load({}));
    window.show();

    window.MnuHelpWWW_Click(0);
    QVERIFY(MessageBox::shown().isEmpty());
    auto* help = window.findChild<HelpWindow*>("HelpWindow");
    QVERIFY(help != nullptr);
    QVERIFY(help->isVisible());
    QTextBrowser* browser = help->browser();
    QVERIFY(browser->toPlainText().contains("How to search."));
    QCOMPARE(help->windowTitle(), QStringLiteral("Instructions - Corvellan"));

    // A link to another document, and back.
    FollowLink(browser, 1);
    QCOMPARE(browser->source().fileName(), QStringLiteral("zip_api.htm"));
    QCOMPARE(browser->source().fragment(), QStringLiteral("calls"));
    QVERIFY(browser->toPlainText().contains("Four exports."));
    QCOMPARE(help->windowTitle(), QStringLiteral("Interface - Corvellan"));
    auto* back = help->findChild<QPushButton*>("HelpBack");
    QVERIFY(back->isEnabled());
    QVERIFY(QTest::qWaitForWindowExposed(help));
    help->activateWindow();
    QVERIFY(QTest::qWaitFor([help] { return help->isActiveWindow(); }));
    QTest::keyClick(help, Qt::Key_B, Qt::AltModifier);
    QTRY_COMPARE(browser->source().fileName(), QStringLiteral("zip_ins.htm"));

    // A web link goes to the desktop, which has no browser either.
    env.openedUrls.clear();
    FollowLink(browser, 2);
    QCOMPARE(env.openedUrls, QList<QUrl>{QUrl("https://www.corvellan.example/")});
    QCOMPARE(MessageBox::shownTexts(),
             QStringList{"No web browser found. To visit the page, copy its address into a browser:\n\n"
                         "https://www.corvellan.example/"});
    QVERIFY(MessageBox::shown().front().selectable);
    QCOMPARE(browser->source().fileName(), QStringLiteral("zip_ins.htm"));

    // Another document asked for from the menu comes into the same window.
    MessageBox::clearShown();
    window.MnuHelpWWW_Click(1);
    QCOMPARE(window.findChildren<HelpWindow*>().size(), 1);
    QCOMPARE(browser->source().fileName(), QStringLiteral("zip_api.htm"));

    // A document that is missing is still reported, and the window stays.
    window.MnuHelpWWW_Click(5);
    QCOMPARE(MessageBox::shownTexts(), QStringList{"File not found"});
    QCOMPARE(browser->source().fileName(), QStringLiteral("zip_api.htm"));
  }

  void aLinkToAMissingDocumentIsReported() {
    TestEnvironment env;
    env.installDefault();
    env.writeFile(env.programDir() + "docs/zip_ins.htm",
                  "<html><body><p><a href=\"gone.htm\">Gone</a></p></body></html>\n");
    env.openUrlSucceeds = false;
    ZipMain window;
    QVERIFY(window.Form_Load({}));
    window.show();
    window.MnuHelpWWW_Click(0);
    QTextBrowser* browser = window.findChild<HelpWindow*>("HelpWindow")->browser();
    FollowLink(browser, 1);
    QCOMPARE(MessageBox::shownTexts(), QStringList{"File not found"});
    QCOMPARE(browser->source().fileName(), QStringLiteral("zip_ins.htm"));
  }
};

CORVELLAN_TEST_CLASS(HelpWindowTest);

#include "help_window_test.moc"
