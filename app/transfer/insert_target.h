// The insert target: the running program the address is typed into. The
// target list (Combo1) offers the titles of the other programs' windows; the
// address panel's fields are put into one keystroke script in the order and
// with the keystrokes of the insert settings, and typed into the target.
#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "transfer/insert_settings.h"
#include "transfer/window_service.h"

namespace corvellan {

class ZipMain;

// The output positions 0 to 21 an insertion or a copy collects fields in;
// positions 1 to 18 are sent.
inline constexpr int kOutputSlots = 22;
inline constexpr int kSentSlots = 18;
using OutputSlots = std::array<QString, kOutputSlots>;

// The most windows the target list offers.
inline constexpr int kMaxTargets = 99;

// Re-activates the chosen target window or, when none is chosen, refreshes
// the list of candidate windows. Returns 1 when it refreshed the list, else 0.
int CheckTarget(ZipMain& form);

// Refills the target list with the titles of other programs' windows: from
// the main window up the stacking order, then down from it; at most 99, only
// windows that can be activated. The stored "Insert Target" is selected when
// it is among them, else the first entry. The keyboard goes back to the
// program's window that had it before (at start-up: to the main window once
// it is shown).
void RefreshTargetList(ZipMain& form);

// Edit, Insert (also the Insert button and a double click in the results):
// types the address of the address panel into the insert target. Failures
// are reported and refresh the list.
void InsertAddress(ZipMain& form);

// Whether a window title (upper-cased) may be offered: not the program's own
// windows ("CORVEL..."), not "EXPLORING...", nothing with "MANAGER",
// "CONTROL PANEL" or "SHORTCUT" in it.
bool ValidApp(const QString& upperTitle);

// Keeps the characters from blank to "~", CR, LF and "®"; writes other
// letters without their accents ("ñ" -> "n", "ß" -> "ss") and typographic
// quotes, dashes and blanks as their plain forms; drops the rest; trims
// blanks at both ends.
QString CleanText(const QString& text);

// The windows a chosen or typed target title may name: the stacking order
// without the program's own windows (`own`) and without those ValidApp
// rules out.
std::vector<TopWindow> TargetWindows(const std::vector<TopWindow>& stacking, const std::vector<std::uint64_t>& own);

// The candidate titles of a stacking order (bottom first), `self` being the
// main window: the cleaned, valid titles above it (nearest first), then
// those below it (nearest first); all from the top when `self` is not in
// the list. Windows in `own` (the program's) are left out. At most 99.
QStringList CandidateTitles(const std::vector<TopWindow>& stacking, std::uint64_t self,
                            const std::vector<std::uint64_t>& own = {});

// Adds field `field` with its keystrokes to its output position. The value is
// escaped so that it is typed as text. False when the field's order number
// lies outside 0 to 21.
bool InsertField(OutputSlots& output, const InsertSettings& settings, int field, const QString& value);

// The keystroke script for the address fields 0 to 17 (`values` as shown),
// or nullopt when an order number lies outside 0 to 21.
std::optional<QString> BuildInsertScript(const InsertSettings& settings, const QStringList& values);

// The texts of the address panel's fields 0 to 17, as shown.
QStringList AddressPanelValues(ZipMain& form);

}  // namespace corvellan
