#include "core/org_search.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>
#include <QTabWidget>

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/access_keys.h"
#include "core/app_globals.h"
#include "core/desktop.h"
#include "core/engine_binding.h"
#include "core/line_record.h"
#include "core/paced_listing.h"
#include "core/query_prep.h"
#include "core/record_display.h"
#include "core/result_lines.h"
#include "core/search_driver.h"
#include "core/zip_main.h"
#include "ui_zip_main.h"

namespace corvellan {

namespace {

constexpr char kNoRecords[] = "No Records Found for this Search";
constexpr int kAddressTab = 0;

// Characters 7-10 of a line hold the add-on.
constexpr int kAddonStart = 6;

QList<QCheckBox*> RecordTypeBoxes(Ui::ZipMain& ui) {
  return {ui.RecSel_0, ui.RecSel_1, ui.RecSel_2, ui.RecSel_3, ui.RecSel_4, ui.RecSel_5, ui.RecSel_6};
}

class OrgSearchRun {
 public:
  explicit OrgSearchRun(ZipMain& window) : window_(window), ui_(window.form()), listing_(ui_.OrgList) {}

  void Run();

 private:
  // The match loop; false when the run was superseded and must stop at once.
  bool Collect(const QString& selection);
  void Consider(std::int32_t rank, const QString& selection);
  // Puts the lines and counts gathered since the last refresh on the screen.
  void Show();

  ZipMain& window_;
  Ui::ZipMain& ui_;
  LookupScope scope_;
  PacedListing listing_;
  std::int64_t examined_ = 0;
  bool dropApartments_ = true;
  bool dropRepeats_ = true;
  std::int32_t listed_ = 0;
  bool delivered_ = false;
  // The engine said it had no more records (not stopped by the maximum).
  bool exhausted_ = false;
  QString previous_;
};

void OrgSearchRun::Run() {
  AppGlobals& app = App();
  if (!ui_.Chk_Append->isChecked()) ui_.OrgList->clear();
  app.CancelFlag = false;
  window_.SetStatus(QStringLiteral("Organization Search"));
  const std::int32_t exact = ui_.mnuEditExact->isChecked() ? 1 : 0;

  QStringList captions;
  QList<bool> checked;
  for (const QCheckBox* box : RecordTypeBoxes(ui_)) {
    captions.append(box->text());
    checked.append(box->isChecked());
  }
  const QString selection = RecordTypeSelection(captions, checked);

  window_.ClearsRec();
  app.Request.Set(req::kZip, ui_.OrgZip->text().left(5));
  const std::int32_t candidates = Engine::InitiateZipSearch(app.Request.data(), exact);
  if (candidates < -1) {
    window_.ShowEngineError(candidates);
    window_.SetBusyPointer(kBusyPointerDefault);
    return;
  }
  if (candidates == -1) {
    MessageBox::critical(window_.dialogParent(), QLatin1String(kNoRecords));
    return;
  }

  dropApartments_ = ui_.AppNames->isChecked();
  dropRepeats_ = ui_.ClearDup->isChecked();
  window_.SetBusyPointer(kBusyPointerHourglass);
  if (!Collect(selection)) return;
  window_.SetBusyPointer(kBusyPointerDefault);

  if (!app.CancelFlag) {
    if (ui_.OrgList->count() > 0) {
      {
        // Selecting is not a click: the record is shown once, below.
        const QSignalBlocker blocker(ui_.OrgList);
        ui_.OrgList->setCurrentRow(0);
      }
      window_.OrgList_Click();
    } else if (exhausted_ && !delivered_) {
      // The engine counts a ZIP code it does not hold as a candidate and then
      // delivers nothing: without this the user would see no answer at all.
      // A maximum of 0 asks for nothing, and nothing was looked at.
      MessageBox::critical(window_.dialogParent(), QLatin1String(kNoRecords));
    }
  }
  window_.SetPanelText(2, QString());
}

bool OrgSearchRun::Collect(const QString& selection) {
  AppGlobals& app = App();
  const std::int32_t maximum = OrgMaximum(ui_.MaxQty->text());
  // The event loop runs after every engine call; the lines and the counts
  // reach the screen at the listing's pace.
  while (listed_ < maximum) {
    const std::int32_t rank = Engine::GetNextZipMatch(app.Address.data());
    if (rank < 0) {
      exhausted_ = true;
      break;
    }
    if (rank > 0) Consider(rank, selection);
    if (app.CancelFlag) break;
    ++examined_;
    if (listing_.due()) Show();
    PacedListing::yield();
    if (scope_.superseded()) return false;
  }
  // Stopped by the user: the list stays as they saw it.
  if (app.CancelFlag) listing_.discard();
  Show();
  return true;
}

void OrgSearchRun::Show() {
  const bool added = listing_.flush() > 0;
  if (examined_ > 0) window_.SetPanelText(2, QStringLiteral("Checking") + SignedText(examined_));
  if (added) window_.SetPanelText(3, QStringLiteral("Found:") + SignedText(ui_.OrgList->count()));
}

void OrgSearchRun::Consider(std::int32_t rank, const QString& selection) {
  const AddressRecord& record = App().Address;
  delivered_ = true;
  const QString type = record.Get(addr::kRecordType);
  if (selection.isEmpty() || type.trimmed().isEmpty() || !selection.contains(type)) return;

  const QString firm = ProperCase(record.Get(addr::kFirm));
  bool keep = !firm.isEmpty();
  if (dropApartments_ && IsApartmentName(firm)) keep = false;
  const QString line = OrgLine(record);
  if (dropRepeats_ && line == previous_) keep = false;
  previous_ = line;
  if (!keep) return;

  auto* item = new QListWidgetItem(line);
  item->setData(Qt::UserRole, rank);
  StoreLineIdentity(*item, record);
  listing_.add(item);  // the list sorts itself as the line is added
  ++listed_;
}

}  // namespace

QString RecordTypeSelection(const QStringList& captions, const QList<bool>& checked) {
  QString selection;
  for (qsizetype i = 0; i < captions.size() && i < checked.size(); ++i) {
    if (!checked[i]) continue;
    const QString caption = PlainCaption(captions[i]);
    if (!caption.isEmpty()) selection += caption.at(0);
  }
  return selection;
}

bool IsApartmentName(const QString& firm) {
  return firm.endsWith(QLatin1String("Apts")) || firm.startsWith(QLatin1String("Apt"));
}

QString OrgLine(const AddressRecord& record) {
  return record.Get(addr::kZipPlus4).left(5) + QLatin1Char('-') + TrimBlanks(record.Get(addr::kAddonLow)) +
         QStringLiteral("  ") + ProperCase(record.Get(addr::kFirm));
}

std::int32_t OrgMaximum(const QString& text) {
  const double value = std::nearbyint(LeadingNumber(text));
  if (std::isnan(value)) return 0;
  return static_cast<std::int32_t>(std::clamp<double>(value, std::numeric_limits<std::int32_t>::min(),
                                                      std::numeric_limits<std::int32_t>::max()));
}

namespace org {

void OrgSearch_Click(ZipMain& window) {
  // The engine keeps one search state: a search started inside another
  // (through its yields) would take it over.
  if (App().LookupsRunning > 0) return;
  OrgSearchRun(window).Run();
}

void OrgList_Click(ZipMain& window) {
  AppGlobals& app = App();
  const QListWidgetItem* item = window.form().OrgList->currentItem();
  if (item == nullptr) return;
  const QString line = item->text();
  const QString key = line.left(5) + line.mid(kAddonStart, 4);
  // The first record of the ZIP+4 code need not be the organization's: the
  // line's own record is fetched (a line without a rank takes the first).
  std::int32_t n = std::max(1, item->data(Qt::UserRole).toInt());
  const std::int32_t count = FetchLineRecord(app.Address, key, n, StoredLineIdentity(*item));
  app.CurrentRecord = n;
  app.LastCount = count;
  if (count >= 1) {
    window.ShowData();
    return;
  }
  if (count == -1 || count == -2 || count == -3) {
    MessageBox::critical(window.dialogParent(), FindAddressErrorText(count));
  }
}

void OrgList_DblClick(ZipMain& window) { window.form().SSTab1->setCurrentIndex(kAddressTab); }

}  // namespace org

}  // namespace corvellan
