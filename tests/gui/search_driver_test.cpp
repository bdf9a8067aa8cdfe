// The address search on the test database: typed fields, result lines and
// their record numbers, statistics, the street retries, the maximum count,
// Cancel and a click during a long search, and the pointer.
#include <QEvent>
#include <QTest>

#include <memory>

#include "core/app_globals.h"
#include "core/desktop.h"
#include "core/engine_binding.h"
#include "core/zip_main.h"
#include "qtest_registry.h"
#include "search_session.h"

using namespace corvellan;
using corvellan::test::EveryYield;
using corvellan::test::SearchSession;

namespace {

// Counts the paint events of a widget.
class PaintCounter : public QObject {
 public:
  int paints = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

}  // namespace

class SearchDriverTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<SearchSession> s_;

 private slots:
  void init() {
    s_ = std::make_unique<SearchSession>();
    QVERIFY(s_->ready());
  }
  void cleanup() { s_.reset(); }

  void streetCityAndStateListTheMatchesInOrder() {
    s_->type("SearchStreet", "main");
    s_->type("SearchCity", "springfield");
    s_->type("StateList", "il");
    s_->search();
    QCOMPARE(s_->lines(), QStringList({"12345-1001 100-198 Main St, Springfield, IL",
                                       "12345-1002 Acme Tool Co, 150 Main St, Springfield, IL",
                                       "12345 0001 - 0099  Main St, Springfield, IL",
                                       "12345-1003 200 Main St, Springfield, IL",
                                       "12345-1001 Baker Brothers, 120 Main St, Springfield, IL"}));
    QCOMPARE(s_->itemData(), QList<int>({1, 1, 1, 1, 2}));
    QCOMPARE(App().Request.Get(req::kZip), QStringLiteral("*    "));
    QCOMPARE(s_->window.PanelText(1), QStringLiteral("Search Complete"));
    QCOMPARE(s_->window.PanelText(2), QString());
    QCOMPARE(s_->window.PanelText(3), QStringLiteral("Found 5"));
    // Each line counts once for its own record type and once in the total.
    QCOMPARE(s_->stats(), QStringList({"", "1", "2", "2", "", "", "", "5"}));
    // The first line is selected and shown.
    QCOMPARE(s_->list()->currentRow(), 0);
    QCOMPARE(s_->text("Plus4"), QStringLiteral("1001"));
    QCOMPARE(s_->text("Primary"), QStringLiteral("Main St"));
    QCOMPARE(App().BusyPointer, 0);
    QCOMPARE(s_->window.cursor().shape(), Qt::ArrowCursor);
    QVERIFY(MessageBox::shown().isEmpty());

    // A second search starts from an empty list and empty statistics.
    s_->edit("SearchCity")->clear();
    s_->type("SearchCity", "shelby");
    s_->search();
    QCOMPARE(s_->lines(), QStringList({"12350-0001 1-99 Main St, Shelbyville, IL"}));
    QCOMPARE(s_->stats(), QStringList({"", "", "", "1", "", "", "", "1"}));
  }

  void boxNumbersAndBoxLines() {
    s_->type("SearchNumber", "0123");
    s_->type("SearchStreet", "po box");
    s_->search();
    QCOMPARE(TrimBlanksOf(App().Request.Get(req::kPrimary)), QStringLiteral("123"));
    QCOMPARE(s_->lines(), QStringList({"12345 0100 - 0199  PO Box 100-199, Springfield, IL"}));
    QCOMPARE(s_->text("Primary"), QStringLiteral("PO Box 123"));
    QCOMPARE(s_->text("Plus4"), QStringLiteral("0123"));

    s_->edit("SearchNumber")->clear();
    s_->type("SearchNumber", "200");
    s_->search();
    QCOMPARE(s_->lines(), QStringList({"12345-0200 PO Box 200, Springfield, IL"}));
    QCOMPARE(s_->text("Plus4"), QStringLiteral("0200"));
  }

  void streetIsRetriedWithItsFirstWordSpelledOut() {
    s_->type("SearchStreet", "ave j");
    s_->type("SearchZip", "12345");
    s_->search();
    QCOMPARE(s_->lines(), QStringList({"12345-2001 1-99 Avenue J, Springfield, IL"}));
    QCOMPARE(TrimBlanksOf(App().Request.Get(req::kStreet)), QStringLiteral("AVENUE J"));
    QCOMPARE(s_->text("SearchStreet"), QStringLiteral("AVE J"));  // the field keeps what was typed
  }

  void nothingFoundAfterEveryRewrite() {
    s_->type("SearchStreet", "north nowhere");
    s_->search();
    QVERIFY(s_->lines().isEmpty());
    QCOMPARE(MessageBox::shownTexts(), QStringList{"No Records Found for this Search"});
    QCOMPARE(MessageBox::shown().front().icon, MessageBox::Icon::Critical);
    QCOMPARE(s_->window.PanelText(1), QStringLiteral("Search Unsuccessful"));
    // The rewrites built on one another: N NOWHERE, then NOWHERE.
    QCOMPARE(TrimBlanksOf(App().Request.Get(req::kStreet)), QStringLiteral("NOWHERE"));
    QCOMPARE(App().BusyPointer, 0);
  }

  void unitFilterKeepsTheMatchingUnit() {
    s_->type("SearchStreet", "main");
    s_->type("SearchSecdry", "apt 5");
    s_->search();
    QCOMPARE(s_->lines(), QStringList({"12345-1003 200 Main St, Springfield, IL"}));
    QCOMPARE(s_->text("Secondary"), QStringLiteral("Apt 5"));

    s_->edit("SearchSecdry")->clear();
    s_->type("SearchSecdry", "4");  // even, the units are odd
    s_->search();
    QVERIFY(s_->lines().isEmpty());
    QCOMPARE(MessageBox::shownTexts(), QStringList{"No Records Found for this Search"});
  }

  void anEngineThatCannotBeLoadedEndsTheSearch() {
    Engine::setCandidatesForTesting({s_->env.root() + "/nowhere/Corvdb"});
    s_->type("SearchStreet", "main");
    s_->search();
    Engine::setCandidatesForTesting({});
    QCOMPARE(s_->env.exits, QList<int>({1}));
    QCOMPARE(MessageBox::shownTexts().size(), 2);
    QCOMPARE(MessageBox::shownTexts().back(), QStringLiteral("Error opening files"));
    QCOMPARE(s_->window.PanelText(1), QStringLiteral("Search Unsuccessful"));
    QVERIFY(s_->lines().isEmpty());
    QCOMPARE(App().BusyPointer, 0);
  }

  void emptySearchQtyBecomes100AndStopsTheList() {
    s_->edit("MaxQty")->clear();
    s_->type("SearchStreet", "broadway");
    s_->search();
    QCOMPARE(s_->text("MaxQty"), QStringLiteral("100"));
    QCOMPARE(s_->list()->count(), 100);
    QCOMPARE(s_->lines().front(), QStringLiteral("20000-0001 1-99 Broadway, Riverton, OH"));
    QCOMPARE(s_->lines().back(), QStringLiteral("20099-0001 1-99 Broadway, Riverton, OH"));
    QCOMPARE(s_->window.PanelText(1), QStringLiteral("Search Complete"));
    QCOMPARE(s_->window.PanelText(3), QStringLiteral("Found 100"));
  }

  void cancelStopsALongSearchThatKeepsTheWindowResponsive() {
    s_->edit("MaxQty")->setText("10000");
    s_->type("SearchStreet", "broadway");
    PaintCounter painted;
    s_->list()->viewport()->installEventFilter(&painted);
    int linesWhenBusy = -1;
    int linesAfterSecondSearch = -1;
    bool hourglass = false;
    bool arrowOverTheList = false;
    EveryYield driver([&](int turn) {
      if (turn == 5) {
        hourglass = App().BusyPointer == 11 && s_->window.cursor().shape() == Qt::WaitCursor;
        arrowOverTheList = s_->list()->viewport()->cursor().shape() == Qt::ArrowCursor &&
                           s_->button("CancelSearch")->cursor().shape() == Qt::ArrowCursor;
        linesWhenBusy = s_->list()->count();
        // Search again while the search runs: nothing happens.
        QTest::mouseClick(s_->button("SearchButton"), Qt::LeftButton);
        linesAfterSecondSearch = s_->list()->count();
      }
      if (turn == 40) {
        QTest::mouseClick(s_->button("CancelSearch"), Qt::LeftButton);
        return false;
      }
      return true;
    });
    s_->search();
    QVERIFY(hourglass);
    QVERIFY(arrowOverTheList);
    QVERIFY(linesWhenBusy > 0);
    QCOMPARE(linesAfterSecondSearch, linesWhenBusy);
    QVERIFY(s_->list()->count() > linesWhenBusy);
    QVERIFY(s_->list()->count() < corvellan::test::kBroadwayZipCodes);
    QVERIFY(painted.paints > 1);
    QCOMPARE(s_->window.PanelText(1), QStringLiteral("Search Interrupted"));
    QCOMPARE(s_->window.PanelText(2), QString());
    QCOMPARE(s_->list()->currentRow(), -1);
    QCOMPARE(App().BusyPointer, 0);
    QCOMPARE(s_->window.cursor().shape(), Qt::ArrowCursor);
    QVERIFY(MessageBox::shown().isEmpty());
  }

  void clickOnALineStopsTheSearchAndShowsThatLine() {
    s_->edit("MaxQty")->setText("10000");
    s_->type("SearchStreet", "broadway");
    int linesAtTheClick = -1;
    EveryYield driver([&](int turn) {
      if (turn < 20) return true;
      linesAtTheClick = s_->list()->count();
      s_->clickLine(2);
      return false;
    });
    s_->search();
    // The click looked its record up, which moves the engine away from the
    // search: nothing is listed after it.
    QCOMPARE(s_->list()->count(), linesAtTheClick);
    QCOMPARE(s_->list()->currentRow(), 2);
    QCOMPARE(s_->text("Zip"), QStringLiteral("20002"));
    QCOMPARE(s_->text("City"), QStringLiteral("Riverton"));
    QCOMPARE(s_->window.PanelText(1), QStringLiteral("Search Interrupted"));
  }

  void focusOnTheListIsNoClick() {
    QVERIFY(QTest::qWaitForWindowActive(&s_->window));
    s_->edit("MaxQty")->setText("150");
    s_->type("SearchStreet", "broadway");
    int currentRowAfterFocus = 0;
    EveryYield driver([&](int turn) {
      if (turn < 20) return true;
      s_->list()->setFocus(Qt::TabFocusReason);
      currentRowAfterFocus = s_->list()->currentRow();
      return false;
    });
    s_->search();
    // The search ran on to its end, as if the list had not been entered.
    QCOMPARE(currentRowAfterFocus, -1);
    QCOMPARE(s_->list()->count(), 150);
    QCOMPARE(s_->window.PanelText(1), QStringLiteral("Search Complete"));

    // A list without a current line (an interrupted search) entered by Tab:
    // nothing shown until an arrow key moves in it.
    s_->edit("SearchStreet")->setFocus(Qt::MouseFocusReason);
    s_->window.ClearScreen(1);
    auto* item = new QListWidgetItem(QStringLiteral("20005-0001 1-99 Broadway, Riverton, OH"));
    item->setData(Qt::UserRole, 1);
    s_->list()->addItem(item);
    QCOMPARE(s_->list()->currentRow(), -1);
    s_->list()->setFocus(Qt::TabFocusReason);
    QVERIFY(s_->list()->hasFocus());
    QCOMPARE(s_->list()->currentRow(), -1);
    QCOMPARE(s_->text("Zip"), QString());
    QTest::keyClick(s_->list(), Qt::Key_Down);
    QCOMPARE(s_->list()->currentRow(), 0);
    QCOMPARE(s_->text("Zip"), QStringLiteral("20005"));
  }

 private:
  static QString TrimBlanksOf(const QString& text) { return text.trimmed(); }
};

CORVELLAN_TEST_CLASS(SearchDriverTest);

#include "search_driver_test.moc"
