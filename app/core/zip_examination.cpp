#include "core/zip_examination.h"

#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>

#include <cstdint>

#include "core/app_globals.h"
#include "core/desktop.h"
#include "core/engine_binding.h"
#include "core/line_record.h"
#include "core/paced_listing.h"
#include "core/query_prep.h"
#include "core/result_lines.h"
#include "core/search_driver.h"
#include "core/zip_main.h"
#include "ui_zip_main.h"

namespace corvellan {

namespace {

constexpr int kZipPlus4Length = 10;

}  // namespace

QString ExaminationKey(const QString& typed) { return TrimBlanks(typed.left(5)) + TrimBlanks(typed.right(4)); }

namespace examination {

void SearchZip_Change(ZipMain& window) {
  Ui::ZipMain& ui = window.form();
  const QString typed = TrimBlanks(ui.SearchZip->text());
  if (typed.size() != kZipPlus4Length) return;

  // A search still running is replaced: it stops at its next yield.
  const LookupScope scope;
  AppGlobals& app = App();
  window.ClearScreen(1);
  app.CurrentRecord = 1;
  ui.FoundList->clear();
  window.SetStatus(QStringLiteral("Looking up Zip+4"));
  window.SetBusyPointer(kBusyPointerHourglass);

  const QString key = ExaminationKey(typed);
  const QString addon = typed.mid(6, 4);
  app.Address.Clear();
  app.Address.Set(addr::kZipPlus4, key);
  app.CancelFlag = false;
  const std::int32_t count = Engine::ZipcodeToAddress(app.Address.data(), 1);
  app.LastCount = count;
  if (count < -1) {
    window.ShowEngineError(count);
    window.SetStatus(QString());
    window.SetBusyPointer(0);
    return;
  }

  // The event loop runs after every record; the lines reach the list at the
  // listing's pace.
  PacedListing listing(ui.FoundList);
  for (std::int32_t i = 1; i <= count; ++i) {
    app.Address.Set(addr::kZipPlus4, key);
    const std::int32_t result = Engine::ZipcodeToAddress(app.Address.data(), i);
    app.LastCount = result;
    // A failed call leaves the previous record in place: it is not listed
    // a second time under this number.
    if (result > 0 && TestIfValid(app.Address, CurrentFilters())) {
      auto* item = new QListWidgetItem(CodeLine(app.Address, addon));
      item->setData(Qt::UserRole, i);
      StoreLineIdentity(*item, app.Address);
      listing.add(item);
    }
    if (app.CancelFlag) break;
    if (listing.due()) listing.flush();
    PacedListing::yield();
    if (scope.superseded()) return;
    if (app.CancelFlag) break;
  }
  // Stopped by a click: the list stays as the user saw it.
  if (app.CancelFlag) listing.discard();
  listing.flush();

  if (ui.FoundList->count() > 0) {
    // A line the user clicked during the listing stays the one shown.
    if (ui.FoundList->currentItem() == nullptr) {
      {
        const QSignalBlocker blocker(ui.FoundList);
        ui.FoundList->setCurrentRow(0);
      }
      window.FoundList_Click();
    }
    window.SetPanelText(3, QStringLiteral("Found:") + QString::number(ui.FoundList->count()));
  } else {
    MessageBox::critical(window.dialogParent(), QStringLiteral("No Valid ZipCode Found"));
  }
  window.SetStatus(QString());
  window.SetBusyPointer(0);
}

}  // namespace examination

}  // namespace corvellan
