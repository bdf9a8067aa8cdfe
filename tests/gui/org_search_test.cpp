// The "List Organizations" tab on the test database: the record types and
// list options, the maximum count, appending, the lines' records, Cancel,
// the messages and the access keys.
#include <QCheckBox>
#include <QTabWidget>
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

namespace {

const QStringList kEastonFirms = {"12360-0010  Zephyr Labs", "12360-0012  Acorn Bakery",
                                  "12360-0040  Joe's \"best\" Deli", "12360-0050  Bright Ideas Co"};

}  // namespace

class OrgSearchTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<SearchSession> s_;

  QListWidget* orgList() const { return s_->window.findChild<QListWidget*>("OrgList"); }
  QCheckBox* box(const QString& name) const { return s_->window.findChild<QCheckBox*>(name); }
  QTabWidget* tabs() const { return s_->window.findChild<QTabWidget*>("SSTab1"); }
  QStringList orgLines() const {
    QStringList lines;
    for (int i = 0; i < orgList()->count(); ++i) lines.append(orgList()->item(i)->text());
    return lines;
  }
  // Only the record types of `letters` checked.
  void checkTypes(const QString& letters) {
    for (int i = 0; i < 7; ++i) {
      QCheckBox* type = box(QStringLiteral("RecSel_%1").arg(i));
      // The record type's letter begins the caption.
      type->setChecked(letters.contains(QString(type->text()).remove('&').at(0)));
    }
  }
  void list(const QString& zip) {
    tabs()->setCurrentIndex(3);
    s_->edit("OrgZip")->setText(zip);
    QTest::keyClick(s_->edit("OrgZip"), Qt::Key_Return);
  }
  void clickOrgLine(int row) {
    QListWidgetItem* item = orgList()->item(row);
    orgList()->scrollToItem(item);
    QTest::mouseClick(orgList()->viewport(), Qt::LeftButton, {}, orgList()->visualItemRect(item).center());
  }

 private slots:
  void init() {
    s_ = std::make_unique<SearchSession>();
    QVERIFY(s_->ready());
  }
  void cleanup() { s_.reset(); }

  void theDefaultsListEachFirmOnceInOrder() {
    // As designed: only firms, apartments removed, repeats suppressed, no appending.
    QStringList checked;
    for (int i = 0; i < 7; ++i) {
      if (box(QStringLiteral("RecSel_%1").arg(i))->isChecked()) checked.append(QString::number(i));
    }
    QCOMPARE(checked, QStringList{"2"});
    QVERIFY(box("AppNames")->isChecked());
    QVERIFY(box("ClearDup")->isChecked());
    QVERIFY(!box("Chk_Append")->isChecked());
    QCOMPARE(s_->edit("OrgZip")->maxLength(), 5);

    list("12360");
    // The second ACORN BAKERY follows the first: suppressed. MAPLE APTS,
    // APT RENTALS and APTITUDE INC arrive in display case and are removed.
    QCOMPARE(orgLines(), kEastonFirms);
    QCOMPARE(App().Request.Get(req::kZip), QStringLiteral("12360"));
    QCOMPARE(s_->window.PanelText(1), QStringLiteral("Organization Search"));
    QCOMPARE(s_->window.PanelText(2), QString());
    QCOMPARE(s_->window.PanelText(3), QStringLiteral("Found: 4"));
    // The first line is selected and its address shown.
    QCOMPARE(orgList()->currentRow(), 0);
    QCOMPARE(s_->text("Recipient"), QStringLiteral("Zephyr Labs"));
    QCOMPARE(s_->text("Primary"), QStringLiteral("10 Elm St"));
    QCOMPARE(App().BusyPointer, 0);
    QVERIFY(MessageBox::shown().isEmpty());

    // A new search without appending starts from an empty list.
    list("12340");
    QCOMPARE(orgLines(), QStringList({"12340-0005  Omega Supply", "12340-0006  Alpha Widgets"}));
  }

  void recordTypesAndListOptions() {
    checkTypes("GHFSPRM");
    box("AppNames")->setChecked(false);
    box("ClearDup")->setChecked(false);
    list("12360");
    // Every named record; street records without a name give no line.
    QCOMPARE(orgLines(), QStringList({"12360-0010  Zephyr Labs", "12360-0012  Acorn Bakery", "12360-0012  Acorn Bakery",
                                      "12360-0020  Maple Apts", "12360-0021  Apt Rentals", "12360-0022  Aptitude Inc",
                                      "12360-0030  Elm Tower", "12360-0040  Joe's \"best\" Deli",
                                      "12360-0050  Bright Ideas Co"}));

    checkTypes("H");
    list("12360");
    QCOMPARE(orgLines(), QStringList{"12360-0030  Elm Tower"});

    // No type checked: every record is skipped, without a message.
    checkTypes("");
    list("12360");
    QVERIFY(orgLines().isEmpty());
    QVERIFY(MessageBox::shown().isEmpty());
    QCOMPARE(s_->window.PanelText(2), QString());
  }

  void searchQtyStopsTheList() {
    s_->edit("MaxQty")->setText("2");
    list("12360");
    QCOMPARE(orgLines(), kEastonFirms.mid(0, 2));
    QCOMPARE(s_->window.PanelText(3), QStringLiteral("Found: 2"));

    // A maximum of 0 (or one that is not a number) lists nothing and says
    // nothing: no record was looked at, for a known code or an unknown one.
    for (const char* maximum : {"0", "", "-5", "none"}) {
      for (const char* zip : {"12360", "99999"}) {
        MessageBox::clearShown();
        s_->edit("MaxQty")->setText(maximum);
        list(zip);
        QVERIFY2(orgLines().isEmpty(), maximum);
        QVERIFY2(MessageBox::shown().isEmpty(), maximum);
        QCOMPARE(App().BusyPointer, 0);
      }
    }
  }

  void appendingKeepsTheListSorted() {
    list("12360");
    box("Chk_Append")->setChecked(true);
    list("12340");
    // The lower ZIP code comes first although it was listed last.
    QCOMPARE(orgLines(), QStringList({"12340-0005  Omega Supply", "12340-0006  Alpha Widgets"}) + kEastonFirms);
    QCOMPARE(s_->window.PanelText(3), QStringLiteral("Found: 6"));
    QCOMPARE(orgList()->currentRow(), 0);
    QCOMPARE(s_->text("Recipient"), QStringLiteral("Omega Supply"));
  }

  void aLineShowsItsOwnRecordAndADoubleClickGoesToTheAddress() {
    list("12360");
    // 12360-0050 holds the CEDAR ST street record first, then the firm.
    clickOrgLine(3);
    QCOMPARE(s_->text("Recipient"), QStringLiteral("Bright Ideas Co"));
    QCOMPARE(s_->text("Primary"), QStringLiteral("50 Cedar St"));
    QCOMPARE(s_->text("Plus4"), QStringLiteral("0050"));
    // The add-on range 0001-0099 of ELM ST covers 0050 too: the firm is the
    // third record of the code.
    QCOMPARE(App().CurrentRecord, 3);
    QCOMPARE(tabs()->currentIndex(), 3);

    // The arrow keys move through the list and show each line.
    orgList()->setFocus();
    QTest::keyClick(orgList(), Qt::Key_Up);
    QCOMPARE(s_->text("Recipient"), QStringLiteral("Joe's \"best\" Deli"));
    QCOMPARE(s_->text("Secondary"), QStringLiteral("Ste 5"));

    clickOrgLine(1);
    QTest::mouseDClick(orgList()->viewport(), Qt::LeftButton, {},
                       orgList()->visualItemRect(orgList()->item(1)).center());
    QCOMPARE(tabs()->currentIndex(), 0);
    QCOMPARE(s_->text("Recipient"), QStringLiteral("Acorn Bakery"));
    QCOMPARE(s_->text("OrgZip"), QStringLiteral("12360"));
  }

  void focusOnTheListIsNoClick() {
    list("12360");
    s_->edit("Recipient")->clear();
    orgList()->setCurrentRow(-1);
    orgList()->setFocus(Qt::TabFocusReason);
    QVERIFY(orgList()->hasFocus());
    QCOMPARE(orgList()->currentRow(), -1);
    QCOMPARE(s_->text("Recipient"), QString());
    QTest::keyClick(orgList(), Qt::Key_Down);
    QCOMPARE(s_->text("Recipient"), QStringLiteral("Zephyr Labs"));
  }

  void unknownCodesAreReported() {
    list("99999");
    QVERIFY(orgLines().isEmpty());
    QCOMPARE(MessageBox::shownTexts(), QStringList{"No Records Found for this Search"});
    QCOMPARE(MessageBox::shown().front().icon, MessageBox::Icon::Critical);
    QCOMPARE(App().BusyPointer, 0);

    // A line whose ZIP+4 code the database does not hold.
    MessageBox::clearShown();
    orgList()->addItem(QStringLiteral("99999-0001  Nowhere Inc"));
    clickOrgLine(0);
    QCOMPARE(MessageBox::shownTexts(), QStringList{"Zip Code not found"});
    QCOMPARE(MessageBox::shown().front().icon, MessageBox::Icon::Critical);
    // The program's own title, not the "Error" of a results-list click.
    QVERIFY(MessageBox::shown().front().title != QStringLiteral("Error"));
  }

  void cancelStopsTheSearchWithoutSelecting() {
    // Every ZIP code of the database: thousands of engine calls.
    s_->edit("MaxQty")->setText("10000");
    int linesAtCancel = -1;
    bool busy = false;
    EveryYield driver([&](int turn) {
      if (turn < 40) return true;
      busy = App().BusyPointer == 11;
      linesAtCancel = orgList()->count();
      QTest::mouseClick(s_->button("CancelSearch"), Qt::LeftButton);
      return false;
    });
    list("");
    QVERIFY(busy);
    QCOMPARE(orgList()->count(), linesAtCancel);
    QVERIFY(linesAtCancel > 0);
    QCOMPARE(orgList()->currentRow(), -1);
    QCOMPARE(s_->window.PanelText(2), QString());
    QCOMPARE(App().BusyPointer, 0);
    QVERIFY(MessageBox::shown().isEmpty());
  }

  void accessKeysReachTheTab() {
    s_->window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&s_->window));
    tabs()->setCurrentIndex(3);
    s_->edit("OrgZip")->setText("12360");
    s_->edit("OrgZip")->setFocus();
    QTest::keyClick(s_->edit("OrgZip"), Qt::Key_G, Qt::AltModifier);
    // A button pressed by its access key is clicked after a short delay.
    QTRY_VERIFY(box("RecSel_0")->isChecked());
    QTest::keyClick(s_->edit("OrgZip"), Qt::Key_X, Qt::AltModifier);
    QTRY_VERIFY(box("Chk_Append")->isChecked());
    QTest::keyClick(s_->edit("OrgZip"), Qt::Key_L, Qt::AltModifier);
    QTRY_COMPARE(orgLines(), kEastonFirms);
  }
};

CORVELLAN_TEST_CLASS(OrgSearchTest);

#include "org_search_test.moc"
