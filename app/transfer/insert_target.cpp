#include "transfer/insert_target.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>

#include <algorithm>

#include "core/app_globals.h"
#include "core/desktop.h"
#include "core/query_prep.h"
#include "core/settings.h"
#include "core/zip_main.h"
#include "transfer/keystroke_script.h"

namespace corvellan {

namespace {

constexpr char kGeneral[] = "General Settings";
constexpr char kInsertTarget[] = "Insert Target";
constexpr char kInsertFailed[] = "Unable to Insert Address: please try again";

QComboBox* TargetList(ZipMain& form) { return form.findChild<QComboBox*>(QStringLiteral("Combo1")); }

std::vector<std::uint64_t> OwnWindows() {
  std::vector<std::uint64_t> ids;
  for (const QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->internalWinId() != 0) ids.push_back(widget->internalWinId());
  }
  return ids;
}

}  // namespace

bool ValidApp(const QString& upperTitle) {
  if (upperTitle.startsWith(QLatin1String("CORVEL")) || upperTitle.startsWith(QLatin1String("CORVELLAN")) ||
      upperTitle.startsWith(QLatin1String("EXPLORING"))) {
    return false;
  }
  return !upperTitle.contains(QLatin1String("MANAGER")) && !upperTitle.contains(QLatin1String("CONTROL PANEL")) &&
         !upperTitle.contains(QLatin1String("SHORTCUT"));
}

QString CleanText(const QString& text) {
  QString kept;
  kept.reserve(text.size());
  for (const QChar c : text) {
    const char16_t code = c.unicode();
    if ((code >= 32 && code <= 126) || code == 13 || code == 10 || code == 174) kept += c;
  }
  return TrimBlanks(kept);
}

QStringList CandidateTitles(const std::vector<TopWindow>& stacking, std::uint64_t self,
                            const std::vector<std::uint64_t>& own) {
  std::vector<const TopWindow*> order;
  const auto at = std::find_if(stacking.begin(), stacking.end(),
                               [self](const TopWindow& window) { return self != 0 && window.id == self; });
  if (at != stacking.end()) {
    // Up the stacking order from the main window, then down from it.
    for (auto it = at + 1; it != stacking.end(); ++it) order.push_back(&*it);
    for (auto it = std::make_reverse_iterator(at); it != stacking.rend(); ++it) order.push_back(&*it);
  } else {
    for (auto it = stacking.rbegin(); it != stacking.rend(); ++it) order.push_back(&*it);
  }
  QStringList titles;
  for (const TopWindow* window : order) {
    if (titles.size() >= kMaxTargets) break;
    if (std::find(own.begin(), own.end(), window->id) != own.end()) continue;
    const QString title = CleanText(window->title);
    if (!title.isEmpty() && ValidApp(title.toUpper())) titles.append(title);
  }
  return titles;
}

bool InsertField(OutputSlots& output, const InsertSettings& settings, int field, const QString& value) {
  if (field < 0 || field >= kInsertFieldCount) return false;
  const auto at = static_cast<std::size_t>(field);
  const long k = OrderNumber(settings.FieldOrder[at]);
  if (k < 0 || k >= kOutputSlots) return false;
  if (settings.LineSqueeze && TrimBlanks(value).isEmpty()) return true;
  // The value is typed as text: a "+" or "%" in a name must not press Shift
  // or Alt in the target program. The configured keystrokes keep their meaning.
  output[static_cast<std::size_t>(k)] += settings.BeforeKeys[at] + EscapeKeystrokeText(value) + settings.AfterKeys[at];
  return true;
}

std::optional<QString> BuildInsertScript(const InsertSettings& settings, const QStringList& values) {
  OutputSlots output;
  for (int field = 0; field < kInsertFieldsUsed; ++field) {
    if (!InsertField(output, settings, field, values.value(field))) return std::nullopt;
  }
  // Position 0 collects the omitted fields; 19 to 21 are never sent.
  QString script;
  for (int k = 1; k <= kSentSlots; ++k) script += TrimBlanks(output[static_cast<std::size_t>(k)]);
  return CleanText(script);
}

QStringList AddressPanelValues(ZipMain& form) {
  QStringList values;
  for (int field = 0; field < kInsertFieldsUsed; ++field) {
    const auto* box = form.findChild<QLineEdit*>(InsertFieldSource(field));
    values.append(box != nullptr ? box->text() : QString());
  }
  return values;
}

void RefreshTargetList(ZipMain& form) {
  QComboBox* list = TargetList(form);
  list->clear();
  WindowService& windows = Windows();
  if (!windows.unavailableReason().isEmpty()) return;
  const std::vector<TopWindow> stacking = windows.stackingOrder();
  const QStringList candidates = CandidateTitles(stacking, form.internalWinId(), OwnWindows());
  for (const QString& title : candidates) {
    // Only windows that can be activated are offered; the last one
    // activated stays in front.
    if (ActivateByTitle(windows, title, stacking)) list->addItem(title);
  }
  if (list->count() == 0) return;
  const QString stored = GetIni(App().IniFile, QLatin1String(kGeneral), QLatin1String(kInsertTarget));
  const int storedAt = stored.isEmpty() ? -1 : list->findText(stored, Qt::MatchExactly | Qt::MatchCaseSensitive);
  list->setCurrentIndex(storedAt >= 0 ? storedAt : 0);
}

int CheckTarget(ZipMain& form) {
  const QString target = TargetList(form)->currentText();
  if (!target.isEmpty()) {
    ActivateByTitle(Windows(), target);
    form.repaint();
    return 0;
  }
  RefreshTargetList(form);
  form.repaint();
  return 1;
}

void InsertAddress(ZipMain& form) {
  WindowService& windows = Windows();
  const QString unavailable = windows.unavailableReason();
  if (!unavailable.isEmpty()) {
    MessageBox::critical(form.dialogParent(), QStringLiteral("Unable to Insert Address: ") + unavailable);
    form.unsetCursor();
    return;
  }
  const auto fail = [&form](const QString& detail) {
    QString message = QLatin1String(kInsertFailed);
    if (!detail.isEmpty()) message += QStringLiteral("\n\n") + detail;
    MessageBox::critical(form.dialogParent(), message);
    RefreshTargetList(form);
    form.unsetCursor();
  };

  CheckTarget(form);
  const QString target = TargetList(form)->currentText();
  if (target.isEmpty()) return fail({});
  const std::optional<QString> script = BuildInsertScript(CurrentInsertSettings(), AddressPanelValues(form));
  if (!script) return fail(QStringLiteral("A field order number in the insert settings lies outside 0 to 21."));
  const ParsedKeys keys = ParseKeystrokes(*script);
  if (!keys.ok()) return fail(QStringLiteral("The keystrokes of the insert settings cannot be sent: ") + keys.error);
  if (!ActivateByTitle(windows, target) || !windows.send(keys.strokes)) return fail({});

  WriteIni(QLatin1String(kGeneral), QLatin1String(kInsertTarget), target, App().IniFile);
  form.unsetCursor();
}

}  // namespace corvellan
