#include "transfer/insert_target.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
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

// Gives the keyboard to the main window the moment it is first shown (the
// target list is filled at start-up, before the window is up, and without a
// window manager nobody else gives a new window the keyboard).
class ActivateWhenShown : public QObject {
 public:
  explicit ActivateWhenShown(ZipMain& form) : QObject(&form), form_(form) {
    setObjectName(QStringLiteral("ActivateWhenShown"));
    form.installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == &form_ && event->type() == QEvent::Show) {
      form_.activateWindow();
      form_.removeEventFilter(this);
      deleteLater();
    }
    return false;
  }

 private:
  ZipMain& form_;
};

// After the list was filled by activating each candidate: the keyboard goes
// back to the program's window that had it (the last candidate would keep
// it otherwise), or to the main window once it is shown.
void ReturnFocus(ZipMain& form, QWidget* hadFocus) {
  if (!form.isVisible()) {
    if (form.findChild<QObject*>(QStringLiteral("ActivateWhenShown"), Qt::FindDirectChildrenOnly) == nullptr) {
      new ActivateWhenShown(form);
    }
    return;
  }
  if (hadFocus == nullptr || !hadFocus->isVisible()) return;
  if (!Windows().activate(hadFocus->winId())) hadFocus->activateWindow();
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

namespace {

bool Kept(char32_t code) { return (code >= 32 && code <= 126) || code == 13 || code == 10 || code == 174; }

// The nearest text from blank to "~" for a character CleanText does not
// keep: letters without their accents (compatibility decomposition, marks
// dropped), a few letters that do not decompose, typographic quotes, dashes
// and blanks; empty when there is none.
QString Transliterate(char32_t code) {
  switch (code) {
    case U'\u00df': return QStringLiteral("ss");
    case U'\u1e9e': return QStringLiteral("SS");
    case U'\u00c6': return QStringLiteral("AE");
    case U'\u00e6': return QStringLiteral("ae");
    case U'\u0152': return QStringLiteral("OE");
    case U'\u0153': return QStringLiteral("oe");
    case U'\u00d8': return QStringLiteral("O");
    case U'\u00f8': return QStringLiteral("o");
    case U'\u0110': case U'\u00d0': return QStringLiteral("D");
    case U'\u0111': case U'\u00f0': return QStringLiteral("d");
    case U'\u00de': return QStringLiteral("TH");
    case U'\u00fe': return QStringLiteral("th");
    case U'\u0141': return QStringLiteral("L");
    case U'\u0142': return QStringLiteral("l");
    case U'\u0131': return QStringLiteral("i");
    case U'\u0126': return QStringLiteral("H");
    case U'\u0127': return QStringLiteral("h");
    case U'\u2018': case U'\u2019': case U'\u201a': case U'\u201b': case U'\u2032': case U'\u00b4':
      return QStringLiteral("'");
    case U'\u201c': case U'\u201d': case U'\u201e': case U'\u201f': case U'\u2033': case U'\u00ab':
    case U'\u00bb':
      return QStringLiteral("\"");
    case U'\u2010': case U'\u2011': case U'\u2012': case U'\u2013': case U'\u2014': case U'\u2015':
    case U'\u2212':
      return QStringLiteral("-");
    case U'\u00a0': case U'\u2007': case U'\u202f': case U'\u3000':
      return QStringLiteral(" ");
    default:
      break;
  }
  const QString decomposed = QString::fromUcs4(&code, 1).normalized(QString::NormalizationForm_KD);
  QString plain;
  for (const char32_t part : decomposed.toUcs4()) {
    if (QChar::category(part) == QChar::Mark_NonSpacing) continue;
    // Only plain printable characters: "1/2" is not made of a fraction.
    if (part < 32 || part > 126) return {};
    plain += QChar(static_cast<char16_t>(part));
  }
  return plain;
}

}  // namespace

QString CleanText(const QString& text) {
  QString kept;
  kept.reserve(text.size());
  for (const char32_t code : text.toUcs4()) {
    if (Kept(code)) {
      kept += QChar(static_cast<char16_t>(code));
    } else {
      kept += Transliterate(code);
    }
  }
  return TrimBlanks(kept);
}

std::vector<TopWindow> TargetWindows(const std::vector<TopWindow>& stacking, const std::vector<std::uint64_t>& own) {
  std::vector<TopWindow> windows;
  for (const TopWindow& window : stacking) {
    if (std::find(own.begin(), own.end(), window.id) != own.end()) continue;
    if (!ValidApp(CleanText(window.title).toUpper())) continue;
    windows.push_back(window);
  }
  return windows;
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
  QWidget* hadFocus = QApplication::activeWindow();
  const std::vector<TopWindow> stacking = windows.stackingOrder();
  const std::vector<std::uint64_t> own = OwnWindows();
  const QStringList candidates = CandidateTitles(stacking, form.internalWinId(), own);
  const std::vector<TopWindow> targets = TargetWindows(stacking, own);
  for (const QString& title : candidates) {
    // Only windows that can be activated are offered.
    if (ActivateByTitle(windows, title, targets)) list->addItem(title);
  }
  if (!candidates.isEmpty()) ReturnFocus(form, hadFocus);
  if (list->count() == 0) return;
  const QString stored = GetIni(App().IniFile, QLatin1String(kGeneral), QLatin1String(kInsertTarget));
  const int storedAt = stored.isEmpty() ? -1 : list->findText(stored, Qt::MatchExactly | Qt::MatchCaseSensitive);
  list->setCurrentIndex(storedAt >= 0 ? storedAt : 0);
}

int CheckTarget(ZipMain& form) {
  const QString target = TargetList(form)->currentText();
  if (!target.isEmpty()) {
    WindowService& windows = Windows();
    ActivateByTitle(windows, target, TargetWindows(windows.stackingOrder(), OwnWindows()));
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
  // A typed title obeys the rules of the list: the program never types into
  // its own windows (its controls would take the address as commands).
  const std::vector<TopWindow> stacking = windows.stackingOrder();
  const std::vector<TopWindow> targets = TargetWindows(stacking, OwnWindows());
  if (FindByTitle(target, targets) == nullptr) {
    if (FindByTitle(target, stacking) != nullptr) {
      return fail(QStringLiteral("\"%1\" is a window of Corvellan itself or one it never types into; choose "
                                 "another program under Target Application.")
                      .arg(target));
    }
    return fail({});
  }
  if (!ActivateByTitle(windows, target, targets)) return fail({});
  if (!windows.send(keys.strokes)) return fail(windows.sendError());

  WriteIni(QLatin1String(kGeneral), QLatin1String(kInsertTarget), target, App().IniFile);
  form.unsetCursor();
}

}  // namespace corvellan
