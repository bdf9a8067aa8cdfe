// The desktop's windows as the insert target needs them: the top-level
// windows of running programs in stacking order, their titles, activation,
// and keystrokes sent to the active window. One implementation talks to the
// X server (x11_window_service.cpp); tests install their own.
#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

#include "transfer/keystroke_script.h"

namespace corvellan {

struct TopWindow {
  std::uint64_t id = 0;
  QString title;
};

class WindowService {
 public:
  virtual ~WindowService() = default;

  // Empty when windows can be listed, activated and typed into; otherwise a
  // sentence saying why not (shown to the user).
  virtual QString unavailableReason() const = 0;
  // Top-level windows of running programs, the bottom of the stacking order
  // first.
  virtual std::vector<TopWindow> stackingOrder() = 0;
  // Brings a window to the front and gives it the keyboard; false when the
  // window is gone or cannot take the keyboard.
  virtual bool activate(std::uint64_t window) = 0;
  // Sends the keystrokes to the active window; false when they could not be
  // sent. Returns without waiting for the window to process them. A script
  // with a key that cannot be typed is refused before any key is sent.
  virtual bool send(const std::vector<KeyStroke>& strokes) = 0;
  // Why the last send failed, in a sentence for the user (may be empty).
  virtual QString sendError() const { return {}; }
};

// The service of this process: the X server of the session, unless a test
// installed another one.
WindowService& Windows();
// Test seam: replaces the service (nullptr: back to the session's own).
void SetWindowServiceForTesting(std::unique_ptr<WindowService> service);

// Activates the window titled `title`: the topmost window with exactly that
// title, else the topmost one whose title begins with it. A title is also
// matched in its cleaned form (CleanText), as the target list shows it.
// False when there is none or it cannot be activated.
bool ActivateByTitle(WindowService& service, const QString& title);
// The same among the windows of `stacking` (a stacking order just read).
bool ActivateByTitle(WindowService& service, const QString& title, const std::vector<TopWindow>& stacking);
// The window ActivateByTitle would activate, or nullptr.
const TopWindow* FindByTitle(const QString& title, const std::vector<TopWindow>& stacking);

// The X11 implementation (no display: every call fails, with the reason).
std::unique_ptr<WindowService> MakeX11WindowService();

}  // namespace corvellan
