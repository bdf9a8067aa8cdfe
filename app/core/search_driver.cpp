#include "core/search_driver.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>

#include <algorithm>
#include <array>
#include <limits>
#include <vector>

#include "core/app_globals.h"
#include "core/desktop.h"
#include "core/engine_binding.h"
#include "core/line_record.h"
#include "core/paced_listing.h"
#include "core/query_prep.h"
#include "core/result_lines.h"
#include "core/settings.h"
#include "core/zip_main.h"
#include "ui_zip_main.h"

namespace corvellan {

namespace {

constexpr char kSearching[] = "Searching";
constexpr int kLongestProgressText = 30;
constexpr int kDefaultMaxLines = 100;
constexpr int kFirstRewrite = 2;
constexpr int kLastRewrite = 6;
constexpr int kAttemptsExhausted = 7;

// Adds `count` to a statistics box (an empty box counts as 0).
void CountIn(QLineEdit* box, long count) {
  const long shown = IniNumber(box->text());
  box->setText(QString::number(shown <= std::numeric_limits<long>::max() - count ? shown + count : shown));
}

class SearchRun {
 public:
  explicit SearchRun(ZipMain& window) : window_(window), ui_(window.form()), listing_(ui_.FoundList) {}

  void Run();

 private:
  // The match loop of one attempt with `candidates` candidate ZIP codes.
  // False when the run was superseded and must stop at once.
  bool Collect(std::int32_t candidates);
  void AddLine(std::int32_t rank);
  // Puts the lines and counts gathered since the last refresh on the screen.
  void Show();
  void Finish();
  void EndWithoutRecords();

  ZipMain& window_;
  Ui::ZipMain& ui_;
  LookupScope scope_;
  PacedListing listing_;
  QString progress_ = QLatin1String(kSearching);
  std::int32_t maxLines_ = kDefaultMaxLines;
  std::int32_t exact_ = 0;
  std::int32_t candidates_ = 0;
  std::int64_t checked_ = 0;
  // The statistics row (StatsRow) of each line waiting in the listing.
  std::vector<int> waitingRows_;
};

void SearchRun::Run() {
  AppGlobals& app = App();
  app.CancelFlag = false;
  window_.SetStatus(progress_);

  QString boxText = ui_.MaxQty->text();
  maxLines_ = MaxLines(boxText, &boxText);
  if (boxText != ui_.MaxQty->text()) ui_.MaxQty->setText(boxText);

  window_.ClearScreen(1);
  exact_ = ui_.mnuEditExact->isChecked() ? 1 : 0;
  FillSearchRequest(app.Request, {ui_.SearchZip->text(), ui_.SearchRecipient->text(), ui_.SearchNumber->text(),
                                  ui_.SearchStreet->text(), ui_.SearchCity->text(), ui_.StateList->currentText()});

  std::int32_t candidates = Engine::InitiateZipSearch(app.Request.data(), exact_);
  if (candidates < -1) {
    window_.ShowEngineError(candidates);
    // "Searching" would stay in the status bar of a search that never ran.
    window_.SetStatus(QStringLiteral("Search Unsuccessful"));
    window_.SetBusyPointer(0);
    return;
  }
  for (int attempt = 1;;) {
    if (candidates > 0 && !Collect(candidates)) return;
    ++attempt;
    if (ui_.FoundList->count() > 0) break;
    if (attempt >= kAttemptsExhausted) {
      EndWithoutRecords();
      return;
    }
    // The rewrites build on one another: each works on the street as the
    // earlier attempts left it in the request.
    candidates = 0;
    const QString street = RewriteStreet(attempt, app.Request.Get(req::kStreet));
    if (!street.isEmpty()) {
      app.Request.Set(req::kStreet, street);
      candidates = Engine::InitiateZipSearch(app.Request.data(), exact_);
    }
  }
  Finish();
}

bool SearchRun::Collect(std::int32_t candidates) {
  AppGlobals& app = App();
  window_.SetBusyPointer(kBusyPointerHourglass);
  candidates_ = candidates;
  checked_ = 0;
  window_.SetPanelText(2, QStringLiteral("Checking 1 of") + SignedText(candidates));
  // Every match is counted as it arrives and the event loop runs after each
  // one; the lines and the counts reach the screen at the listing's pace.
  while (listing_.count() < maxLines_) {
    const std::int32_t rank = Engine::GetNextZipMatch(app.Address.data());
    if (rank < 0) break;
    if (rank == 0) {
      ++checked_;
    } else {
      progress_ = NextProgressText(progress_);
      if (TestIfValid(app.Address, CurrentFilters())) AddLine(rank);
    }
    if (app.CancelFlag) break;
    if (listing_.due()) Show();
    PacedListing::yield();
    if (scope_.superseded()) return false;
    // A click on a line during the yield has looked its record up, which
    // moved the engine away from this search: no further call.
    if (app.CancelFlag) break;
  }
  // Stopped by the user: the list stays as they saw it.
  if (app.CancelFlag) {
    listing_.discard();
    waitingRows_.clear();
  }
  Show();
  return true;
}

void SearchRun::AddLine(std::int32_t rank) {
  const AddressRecord& record = App().Address;
  auto* item = new QListWidgetItem(ResultLine(record));
  item->setData(Qt::UserRole, rank);
  StoreLineIdentity(*item, record);
  listing_.add(item);
  waitingRows_.push_back(StatsRow(TrimBlanks(record.Get(addr::kRecordType))));
}

void SearchRun::Show() {
  listing_.flush();
  // After Cancel (or a click on a line) the status bar keeps what they wrote.
  if (!App().CancelFlag) window_.SetStatus(progress_);
  if (checked_ > 0) {
    window_.SetPanelText(2, QStringLiteral("Checking ") + QString::number(checked_) + QStringLiteral(" of") +
                                SignedText(candidates_));
  }
  window_.SetPanelText(3, QStringLiteral("Found") + SignedText(ui_.FoundList->count()));
  if (waitingRows_.empty()) return;
  std::array<long, kStatsTotalRow + 1> added{};
  for (const int row : waitingRows_) {
    if (row >= 0) ++added[static_cast<std::size_t>(row)];
  }
  added[kStatsTotalRow] = static_cast<long>(waitingRows_.size());
  waitingRows_.clear();
  const std::array<QLineEdit*, kStatsTotalRow + 1> stats = {ui_.StatsLab_0, ui_.StatsLab_1, ui_.StatsLab_2,
                                                            ui_.StatsLab_3, ui_.StatsLab_4, ui_.StatsLab_5,
                                                            ui_.StatsLab_6, ui_.StatsLab_7};
  for (std::size_t row = 0; row < stats.size(); ++row) {
    if (added[row] > 0) CountIn(stats[row], added[row]);
  }
}

void SearchRun::Finish() {
  window_.SetBusyPointer(0);
  if (App().CancelFlag) {
    window_.SetStatus(QStringLiteral("Search Interrupted"));
  } else if (ui_.FoundList->count() > 0) {
    {
      // Selecting is not a click: the record is shown once, below.
      const QSignalBlocker blocker(ui_.FoundList);
      ui_.FoundList->setCurrentRow(0);
    }
    window_.FoundList_Click();
    window_.SetStatus(QStringLiteral("Search Complete"));
  }
  window_.SetPanelText(2, QString());
}

void SearchRun::EndWithoutRecords() {
  MessageBox::critical(window_.dialogParent(), QStringLiteral("No Records Found for this Search"));
  window_.SetStatus(QStringLiteral("Search Unsuccessful"));
  window_.SetBusyPointer(0);
}

}  // namespace

QString RequestZip(const QString& typedZip) { return TrimBlanks((typedZip + QLatin1Char('*')).left(5)); }

void FillSearchRequest(SearchRequest& request, const SearchInputs& inputs) {
  request.Clear();
  request.Set(req::kZip, RequestZip(inputs.zip));
  request.Set(req::kFirm, inputs.recipient);
  request.Set(req::kUnit, QString());
  request.Set(req::kPrimary, StripLeadingZeros(inputs.number));
  request.Set(req::kStreet, inputs.street);
  request.Set(req::kCity, inputs.city);
  request.Set(req::kState, inputs.state);
}

QString RewriteStreet(int attempt, const QString& street) {
  switch (attempt) {
    case 2:
      return ExpandFirstWord(street);
    case 3:
      return AbbreviateFirstWord(street);
    case 4:
      return DropLeadingDirection(street);
    case 5:
      return AbbreviateDirections(street);
    case 6:
      return DropTrailingDirection(street);
    default:
      return {};
  }
}

QString NextProgressText(const QString& text) {
  const QString longer = text + QLatin1Char('.');
  return longer.size() > kLongestProgressText ? QString(QLatin1String(kSearching)) : longer;
}

std::int32_t MaxLines(const QString& text, QString* boxText) {
  bool whole = false;
  const qlonglong value = TrimBlanks(text).toLongLong(&whole);
  if (!whole) {
    *boxText = QString::number(kDefaultMaxLines);
    return kDefaultMaxLines;
  }
  return static_cast<std::int32_t>(std::clamp<qlonglong>(value, std::numeric_limits<std::int32_t>::min(),
                                                         std::numeric_limits<std::int32_t>::max()));
}

LookupScope::LookupScope() : generation_(++App().LookupGeneration) { ++App().LookupsRunning; }

LookupScope::~LookupScope() { --App().LookupsRunning; }

bool LookupScope::superseded() const { return App().LookupGeneration != generation_ || App().Closing; }

namespace search {

void SearchButton_Click(ZipMain& window) {
  // One search at a time: the engine keeps a single search state, and a
  // second search inside the first (through its yields) would take it over.
  if (App().LookupsRunning > 0) return;
  SearchRun(window).Run();
}

}  // namespace search

}  // namespace corvellan
