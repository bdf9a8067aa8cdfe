// A result line shows its own record even where the search's rank and the
// lookup's number differ (add-on ranges that overlap, ZIP code 30301 of the
// test database).
#include <QTest>

#include <memory>

#include "core/app_globals.h"
#include "core/engine_binding.h"
#include "core/line_record.h"
#include "core/zip_main.h"
#include "qtest_registry.h"
#include "search_session.h"

using namespace corvellan;
using corvellan::test::SearchSession;

namespace {

const QString kKey8752 = QStringLiteral("303018752");

// Looks record `n` of `key` up the way the engine numbers it.
AddressRecord LookedUp(const QString& key, std::int32_t n) {
  AddressRecord record;
  record.Set(addr::kZipPlus4, key);
  Engine::ZipcodeToAddress(record.data(), n);
  return record;
}

QString Trimmed(const AddressRecord& record, FieldSpec field) { return record.Get(field).trimmed(); }

}  // namespace

class LineRecordTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<SearchSession> s_;

 private slots:
  void init() {
    s_ = std::make_unique<SearchSession>();
    QVERIFY(s_->ready());
  }
  void cleanup() { s_.reset(); }

  void eachLineOfOverlappingRangesShowsItsOwnRecord() {
    s_->type("SearchZip", "30301");
    s_->type("SearchStreet", "elm");
    s_->search();
    QCOMPARE(s_->lines(), QStringList({"30301 8750 - 8759  Elm St, Lakeview, GA",
                                       "30301 8752 - 8760  Elm St, Lakeview, GA",
                                       "30301 8752 - 8753  Elm St, Lakeview, GA"}));
    QCOMPARE(s_->itemData(), QList<int>({1, 1, 2}));  // the engine's ranks, kept as item values

    struct Expected {
      const char* priLow;
      const char* zipLow;
      const char* zipHigh;
      const char* recipient;
      std::int32_t number;  // the record's number among those covering the line's add-on
      const char* status;
    };
    const QList<Expected> expected = {{"100", "8750", "8759", "", 1, "Zip+4 has 1 Record(s)"},
                                      {"101", "8752", "8760", "", 2, "Zip+4 has 3 Record(s)"},
                                      {"150", "8752", "8753", "Lakeview Clinic", 3, "Zip+4 has 3 Record(s)"}};
    // Backwards, so that every click makes another line current.
    for (int row = 2; row >= 0; --row) {
      s_->clickLine(row);
      const Expected& e = expected[row];
      QCOMPARE(s_->text("PriLow"), QString::fromLatin1(e.priLow));
      QCOMPARE(s_->text("ZipLow"), QString::fromLatin1(e.zipLow));
      QCOMPARE(s_->text("ZipHigh"), QString::fromLatin1(e.zipHigh));
      QCOMPARE(s_->text("Recipient"), QString::fromLatin1(e.recipient));
      QCOMPARE(s_->text("AddrPrimarylowNum"), QString::fromLatin1(e.priLow));  // the raw record agrees
      QCOMPARE(App().CurrentRecord, e.number);
      QCOMPARE(s_->window.PanelText(1), QString::fromLatin1(e.status));
      // The identity still matches the record once it is in display form.
      QVERIFY(StoredLineIdentity(*s_->list()->item(row))->Matches(App().Address));
    }
  }

  void fetchingTakesTheCoveringRecordThatIsTheLines() {
    // Without an identity the number is taken as it is: 8752 number 1 is
    // the record covering 8750-8759.
    AddressRecord record;
    std::int32_t n = 1;
    QCOMPARE(FetchLineRecord(record, kKey8752, n, std::nullopt), 3);
    QCOMPARE(Trimmed(record, addr::kAddonLow), QStringLiteral("8750"));
    QCOMPARE(n, 1);

    // The record covering 8752-8760 asked for by its search rank, 1.
    const AddressRecord wanted = LookedUp(kKey8752, 2);
    QCOMPARE(Trimmed(wanted, addr::kAddonHigh), QStringLiteral("8760"));
    record.Clear();
    QCOMPARE(FetchLineRecord(record, kKey8752, n, LineIdentity::Of(wanted)), 3);
    QCOMPARE(n, 2);
    QCOMPARE(Trimmed(record, addr::kPriLow), QStringLiteral("101"));
    QCOMPARE(Trimmed(record, addr::kAddonHigh), QStringLiteral("8760"));

    // An identity no covering record has: the numbered record, as before.
    AddressRecord other = wanted;
    other.Set(addr::kFirm, QStringLiteral("NOBODY"));
    n = 3;
    QCOMPARE(FetchLineRecord(record, kKey8752, n, LineIdentity::Of(other)), 3);
    QCOMPARE(n, 3);
    QCOMPARE(Trimmed(record, addr::kFirm), QStringLiteral("Lakeview Clinic"));

    // A failed lookup returns the engine's code and keeps the number.
    n = 1;
    QCOMPARE(FetchLineRecord(record, QStringLiteral("999990000"), n, LineIdentity::Of(wanted)), -1);
    QCOMPARE(n, 1);
  }
};

CORVELLAN_TEST_CLASS(LineRecordTest);

#include "line_record_test.moc"
