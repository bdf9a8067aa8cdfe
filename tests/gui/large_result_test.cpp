// A search that lists 20,000 records of one state: the list, the counts and
// the statistics equal what the engine delivers for the same request; the
// lines show while the search runs, with far fewer repaints than lines;
// Cancel and a click in the middle keep the list the user saw.
#include <QEvent>
#include <QTest>

#include <array>
#include <memory>

#include "core/app_globals.h"
#include "core/engine_binding.h"
#include "core/result_lines.h"
#include "core/search_driver.h"
#include "qtest_registry.h"
#include "search_session.h"

using namespace corvellan;
using corvellan::test::EveryYield;
using corvellan::test::SearchSession;

namespace {

constexpr int kLargeState = corvellan::test::kLargeStateZipCodes * corvellan::test::kLargeStateRecordsPerZip;

class PaintCounter : public QObject {
 public:
  int paints = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

// What the engine delivers for a search of the state, as the program would
// list it: the lines and the statistics column.
struct EngineResult {
  QStringList lines;
  QStringList stats;
};

EngineResult SearchThroughTheEngine(const QString& state) {
  SearchRequest request;
  FillSearchRequest(request, {QString(), QString(), QString(), QString(), QString(), state});
  EngineResult result;
  std::array<int, kStatsTotalRow + 1> counts{};
  if (Engine::InitiateZipSearch(request.data(), 0) <= 0) return result;
  AddressRecord record;
  for (std::int32_t rank = 0; (rank = Engine::GetNextZipMatch(record.data())) >= 0;) {
    if (rank == 0) continue;
    result.lines.append(ResultLine(record));
    const int row = StatsRow(record.Get(addr::kRecordType).trimmed());
    if (row >= 0) ++counts[static_cast<std::size_t>(row)];
    ++counts[kStatsTotalRow];
  }
  for (const int count : counts) result.stats.append(count > 0 ? QString::number(count) : QString());
  return result;
}

}  // namespace

class LargeResultTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<SearchSession> s_;

  void searchTheLargeState() {
    s_->edit("MaxQty")->setText("99999");
    s_->type("StateList", "ky");
    s_->search();
  }

 private slots:
  void init() {
    s_ = std::make_unique<SearchSession>();
    QVERIFY(s_->ready());
  }
  void cleanup() { s_.reset(); }

  void theWholeListArrivesWithTheEnginesCounts() {
    const EngineResult engine = SearchThroughTheEngine(QStringLiteral("KY"));
    QCOMPARE(engine.lines.size(), kLargeState);

    PaintCounter painted;
    s_->list()->viewport()->installEventFilter(&painted);
    int linesMidway = -1;
    QString foundMidway;
    EveryYield watcher([&](int) {
      if (s_->list()->count() < 2000) return true;
      linesMidway = s_->list()->count();
      foundMidway = s_->window.PanelText(3);
      return false;
    });
    searchTheLargeState();

    QCOMPARE(s_->lines(), engine.lines);
    QCOMPARE(s_->stats(), engine.stats);
    QCOMPARE(s_->window.PanelText(3), QStringLiteral("Found %1").arg(kLargeState));
    QCOMPARE(s_->window.PanelText(1), QStringLiteral("Search Complete"));
    QCOMPARE(s_->list()->currentRow(), 0);
    // The lines found so far were in the list while the search ran, and the
    // counter said how many.
    QVERIFY(linesMidway >= 2000 && linesMidway < kLargeState);
    QCOMPARE(foundMidway, QStringLiteral("Found %1").arg(linesMidway));
    // Repainted at a pace, not once per line.
    QVERIFY2(painted.paints > 1 && painted.paints < kLargeState / 20, qPrintable(QString::number(painted.paints)));
  }

  void cancelInTheMiddleKeepsTheLinesShown() {
    const EngineResult engine = SearchThroughTheEngine(QStringLiteral("KY"));
    int linesAtCancel = -1;
    EveryYield canceller([&](int) {
      if (s_->list()->count() < 3000) return true;
      linesAtCancel = s_->list()->count();
      QTest::mouseClick(s_->button("CancelSearch"), Qt::LeftButton);
      return false;
    });
    searchTheLargeState();

    QVERIFY(linesAtCancel >= 3000 && linesAtCancel < kLargeState);
    QCOMPARE(s_->list()->count(), linesAtCancel);
    QCOMPARE(s_->lines(), engine.lines.mid(0, linesAtCancel));
    QCOMPARE(s_->window.PanelText(1), QStringLiteral("Search Interrupted"));
    QCOMPARE(s_->window.PanelText(2), QString());
    QCOMPARE(s_->window.PanelText(3), QStringLiteral("Found %1").arg(linesAtCancel));
    QCOMPARE(s_->stats().last(), QString::number(linesAtCancel));
    QCOMPARE(s_->list()->currentRow(), -1);
    QCOMPARE(App().BusyPointer, 0);
  }

  void aClickDuringTheSearchShowsItsLineAndListsNothingWrong() {
    const EngineResult engine = SearchThroughTheEngine(QStringLiteral("KY"));
    constexpr int kClicked = 1234;
    int linesAtClick = -1;
    EveryYield clicker([&](int) {
      if (s_->list()->count() <= kClicked) return true;
      linesAtClick = s_->list()->count();
      s_->clickLine(kClicked);
      return false;
    });
    searchTheLargeState();

    QCOMPARE(s_->list()->count(), linesAtClick);
    QCOMPARE(s_->lines(), engine.lines.mid(0, linesAtClick));
    QCOMPARE(s_->list()->currentRow(), kClicked);
    // Line 1234 is record 34 (from 0) of ZIP code 40012, a firm (34 % 8 = 2).
    QCOMPARE(engine.lines.at(kClicked), QStringLiteral("40012-0035 Larch Works 34, 341 Larch St, Bellwood, KY"));
    QCOMPARE(s_->text("Zip"), QStringLiteral("40012"));
    QCOMPARE(s_->text("Plus4"), QStringLiteral("0035"));
    QCOMPARE(s_->text("Recipient"), QStringLiteral("Larch Works 34"));
    QCOMPARE(s_->window.PanelText(1), QStringLiteral("Search Interrupted"));
  }
};

CORVELLAN_TEST_CLASS(LargeResultTest);

#include "large_result_test.moc"
