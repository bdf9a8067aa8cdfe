// A complete ZIP+4 code typed into the ZIP field lists every record of the
// code, numbered by its place among them, through the result filters.
#include <QTest>

#include <memory>

#include "core/app_globals.h"
#include "core/desktop.h"
#include "core/zip_main.h"
#include "qtest_registry.h"
#include "search_session.h"

using namespace corvellan;
using corvellan::test::EveryYield;
using corvellan::test::SearchSession;

class ZipExaminationTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<SearchSession> s_;

 private slots:
  void init() {
    s_ = std::make_unique<SearchSession>();
    QVERIFY(s_->ready());
  }
  void cleanup() { s_.reset(); }

  void aCompleteCodeListsEveryRecordOfIt() {
    s_->type("SearchZip", "12345");
    QVERIFY(s_->lines().isEmpty());
    s_->type("SearchZip", "1001");
    QCOMPARE(s_->text("SearchZip"), QStringLiteral("12345-1001"));
    QCOMPARE(s_->lines(), QStringList({"12345-1001 100-198 Main St, Springfield, IL",
                                       "12345-1001 Baker Brothers, 120 Main St, Springfield, IL",
                                       "12345-1001 1-99 Oak Ave, Springfield, IL"}));
    QCOMPARE(s_->itemData(), QList<int>({1, 2, 3}));
    QCOMPARE(s_->window.PanelText(3), QStringLiteral("Found:3"));
    QCOMPARE(s_->window.PanelText(1), QString());
    QCOMPARE(s_->list()->currentRow(), 0);
    QCOMPARE(s_->text("Primary"), QStringLiteral("Main St"));
    QCOMPARE(App().BusyPointer, 0);
    QVERIFY(MessageBox::shown().isEmpty());

    // The range record (1000-1099) shows the typed add-on.
    s_->clickLine(2);
    QCOMPARE(s_->text("Primary"), QStringLiteral("Oak Ave"));
    QCOMPARE(s_->text("Plus4"), QStringLiteral("1001"));
    QCOMPARE(s_->text("ZipLow"), QStringLiteral("1000"));

    // Taking a character away leaves the list.
    QTest::keyClick(s_->edit("SearchZip"), Qt::Key_Backspace);
    QCOMPARE(s_->list()->count(), 3);
  }

  void filtersLeaveGapsInTheRecordNumbers() {
    s_->type("SearchRecipient", "baker");
    s_->type("SearchZip", "123451001");
    QCOMPARE(s_->lines(), QStringList({"12345-1001 Baker Brothers, 120 Main St, Springfield, IL"}));
    QCOMPARE(s_->itemData(), QList<int>({2}));
    QCOMPARE(s_->window.PanelText(3), QStringLiteral("Found:1"));
    QCOMPARE(s_->text("Recipient"), QStringLiteral("Baker Brothers"));
    QCOMPARE(App().CurrentRecord, 2);
  }

  void aBoxCodeNamesTheStreetOnce() {
    s_->type("SearchZip", "123450150");
    QCOMPARE(s_->lines(), QStringList({"12345-0150 PO Box 100-199, Springfield, IL"}));
    QCOMPARE(s_->text("Plus4"), QStringLiteral("0150"));
  }

  void nothingToListIsReported() {
    s_->type("SearchZip", "123455555");
    QVERIFY(s_->lines().isEmpty());
    QCOMPARE(MessageBox::shownTexts(), QStringList{"No Valid ZipCode Found"});
    QCOMPARE(MessageBox::shown().front().icon, MessageBox::Icon::Critical);

    // The code exists, but the filter takes every record away.
    MessageBox::clearShown();
    s_->type("SearchRecipient", "zebra");
    s_->edit("SearchZip")->clear();
    s_->type("SearchZip", "123451001");
    QVERIFY(s_->lines().isEmpty());
    QCOMPARE(MessageBox::shownTexts(), QStringList{"No Valid ZipCode Found"});
    QCOMPARE(s_->window.PanelText(1), QString());
  }

  void aCodeTypedDuringASearchReplacesIt() {
    s_->edit("MaxQty")->setText("10000");
    s_->type("SearchStreet", "broadway");
    EveryYield driver([&](int turn) {
      if (turn < 10) return true;
      s_->edit("SearchZip")->setText("12345-1001");
      return false;
    });
    QTest::keyClick(s_->edit("SearchStreet"), Qt::Key_Return);
    // The search stopped at its next yield and left the list to the listing.
    QCOMPARE(s_->itemData(), QList<int>({1, 2, 3}));
    QCOMPARE(s_->lines().front(), QStringLiteral("12345-1001 100-198 Main St, Springfield, IL"));
    QCOMPARE(s_->window.PanelText(3), QStringLiteral("Found:3"));
    QCOMPARE(App().LookupsRunning, 0);
    QCOMPARE(App().BusyPointer, 0);
  }

  void aClickDuringTheListingStopsItAndStaysShown() {
    EveryYield driver([&](int turn) {
      if (turn < 1 || s_->list()->count() == 0) return true;
      s_->clickLine(0);
      return false;
    });
    s_->type("SearchZip", "123451001");
    QCOMPARE(s_->list()->count(), 1);
    QCOMPARE(s_->list()->currentRow(), 0);
    QCOMPARE(s_->window.PanelText(3), QStringLiteral("Found:1"));
    QCOMPARE(s_->text("Primary"), QStringLiteral("Main St"));
  }
};

CORVELLAN_TEST_CLASS(ZipExaminationTest);

#include "zip_examination_test.moc"
