// Remembered window placement, the "on top" state and centring of windows.
//
// A window that remembers its placement names itself by its dynamic property
// "Tag": "1" is the main window (keys "Main Form ..."), "4" the floating icon
// window ("Icon Form ..."). Keys live in section "General Settings" of the
// settings file: prefix + "Left", "Top", "Height", "Width" (the outer window
// rectangle in twips, 1440 per inch at the screen's logical DPI) and, for the
// main window only, prefix + "On Top" ("Yes"/"No").
#pragma once

#include <QPoint>
#include <QRect>
#include <QString>

class QAction;
class QWidget;

namespace corvellan {

inline constexpr int kTwipsPerInch = 1440;

// Conversions at the logical DPI of the screen the widget is on (the primary
// screen when it has none yet).
int PixelsToTwips(const QWidget* widget, int pixels);
int TwipsToPixels(const QWidget* widget, int twips);

// "Main Form " for Tag 1, "Icon Form " for Tag 4, empty for other windows.
QString PlacementPrefix(const QWidget* form);

// Reads the stored on-top state (main window: checks or unchecks `onTopItem`
// and applies it when the window is visible) and, when the window is neither
// minimised nor maximised, the stored rectangle; each coordinate that is
// missing, 0 or outside the 16-bit range keeps the current value. A rectangle
// that would put the window entirely off every screen is not applied.
// Returns the outer rectangle asked for (null when none was applied), so that
// a window restored before it was first shown can correct its size once the
// window manager's frame is known.
QRect RestoreFormPlacement(QWidget* form, QAction* onTopItem);

// Resizes a shown window so that its outer rectangle gets `outer`'s size.
void ApplyOuterSize(QWidget* form, const QRect& outer);

// For a window just shown whose placement was restored before: the window
// manager's frame was unknown then, so the window was placed as if it had
// none (the inside at the outer rectangle). Once the frame is known the
// window is placed again so that its outer rectangle is `outer`. Without a
// frame within `waitMs` (no window manager) the placement stays as it is.
void FinishRestoredPlacement(QWidget* form, const QRect& outer, int waitMs = 3000);

// Writes the on-top state (main window) and, when the window is neither
// minimised nor maximised, its rectangle.
void SaveFormPlacement(const QWidget* form, const QAction* onTopItem);

// Makes a visible window stay on top of other windows, or not; keeps its
// place and size and does not activate it. Nothing happens to a hidden window.
void ApplyOnTop(QWidget* form, bool onTop);

// Places a window in the middle of its screen horizontally; vertically the
// free space above it is divided by 2 (mode 0), 1.2 (mode 1) or 4 (mode 2).
// Other modes leave the window where it is. A window larger than the screen
// is put at the screen's top or left edge.
void CenterForm(QWidget* form, int mode);

// The centred top-left corner of a window of `size` on a screen area.
QPoint CenteredPosition(const QRect& screen, const QSize& size, int mode, bool* applies);

}  // namespace corvellan
