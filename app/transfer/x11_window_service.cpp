// The window service on an X server: the stacking order from the window
// manager (EWMH _NET_CLIENT_LIST_STACKING) or, where none runs, from the
// window tree; titles from _NET_WM_NAME (UTF-8) or WM_NAME; activation
// through the window manager (_NET_ACTIVE_WINDOW) or, without one, by raising
// the window and giving it the input focus; keystrokes through the XTEST
// extension (libxdo), so that they reach the focused window as typed ones.
#include <QByteArray>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QThread>

#include <cstdlib>
#include <optional>

#include "transfer/window_service.h"

// Xlib defines macros (None, Bool, Status, KeyPress ...) that clash with Qt:
// every Qt header comes before this point.
extern "C" {
#include <xdo.h>
}
#include <X11/Xatom.h>
#include <X11/Xutil.h>

namespace corvellan {

namespace {

// Pause between typed characters; some programs drop keys that come faster.
constexpr useconds_t kKeyDelayMicroseconds = 8000;
// How long an activated window may take to become the active one.
constexpr int kActivationMilliseconds = 1500;
constexpr int kActivationRetryMilliseconds = 300;

// Xlib's default error handler ends the process; a window that disappears
// between listing and reading is an ordinary event here. While an instance
// lives, errors are counted instead.
class TrapErrors {
 public:
  explicit TrapErrors(Display* display) : display_(display) {
    XSync(display_, False);
    errors_ = 0;
    previous_ = XSetErrorHandler(&TrapErrors::count);
  }
  ~TrapErrors() {
    XSync(display_, False);
    XSetErrorHandler(previous_);
  }
  bool failed() {
    XSync(display_, False);
    return errors_ != 0;
  }

 private:
  static int count(Display*, XErrorEvent*) {
    ++errors_;
    return 0;
  }
  static inline int errors_ = 0;
  Display* display_;
  int (*previous_)(Display*, XErrorEvent*) = nullptr;
};

class X11WindowService final : public WindowService {
 public:
  X11WindowService() {
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("wayland")) {
      reason_ = QStringLiteral(
          "This is a Wayland session, where one program may not type into the windows of another. "
          "Start Corvellan in an X11 session to insert addresses; Copy still works.");
      return;
    }
    if (platform != QLatin1String("xcb")) {
      reason_ = QStringLiteral("Corvellan runs without an X11 display (window system \"%1\"), so it cannot "
                               "type into other programs; Copy still works.")
                    .arg(platform);
      return;
    }
    display_ = XOpenDisplay(nullptr);
    if (display_ == nullptr) {
      reason_ = QStringLiteral("The X11 display %1 cannot be opened.")
                    .arg(QString::fromLocal8Bit(qgetenv("DISPLAY")));
      return;
    }
    int opcode = 0;
    int event = 0;
    int error = 0;
    if (!XQueryExtension(display_, "XTEST", &opcode, &event, &error)) {
      reason_ = QStringLiteral("The X server has no XTEST extension, which typing into other programs needs.");
      return;
    }
    xdo_ = xdo_new_with_opened_display(display_, nullptr, 0);
    if (xdo_ == nullptr) reason_ = QStringLiteral("The keyboard of the X server cannot be used.");
  }

  ~X11WindowService() override {
    if (xdo_ != nullptr) xdo_free(xdo_);
    if (display_ != nullptr) XCloseDisplay(display_);
  }

  QString unavailableReason() const override { return reason_; }

  std::vector<TopWindow> stackingOrder() override {
    std::vector<TopWindow> windows;
    if (!reason_.isEmpty()) return windows;
    TrapErrors trap(display_);
    for (const Window window : stackingWindows()) windows.push_back({window, title(window)});
    return windows;
  }

  bool activate(std::uint64_t id) override {
    if (!reason_.isEmpty() || id == 0) return false;
    const auto window = static_cast<Window>(id);
    // A window manager may still be busy with a window of its own choosing
    // (one just mapped takes the focus): the request is repeated until the
    // window is active or the time is up.
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < kActivationMilliseconds) {
      if (!requestActivation(window)) return false;
      QElapsedTimer round;
      round.start();
      while (round.elapsed() < kActivationRetryMilliseconds) {
        if (isActive(window)) return true;
        QThread::msleep(10);
      }
    }
    return false;
  }

  bool send(const std::vector<KeyStroke>& strokes) override {
    if (!reason_.isEmpty()) return false;
    TrapErrors trap(display_);
    // A Shift, Ctrl or Alt still held from the key that started the insertion
    // (Alt+I) would change every key; they are released first.
    charcodemap_t* held = nullptr;
    int heldCount = 0;
    if (xdo_get_active_modifiers(xdo_, &held, &heldCount) == XDO_SUCCESS && heldCount > 0) {
      xdo_clear_active_modifiers(xdo_, CURRENTWINDOW, held, heldCount);
    }
    std::free(held);

    bool ok = true;
    for (const KeyStroke& stroke : strokes) {
      for (int i = 0; i < stroke.count && ok; ++i) {
        if (stroke.kind == KeyStroke::Kind::Text) {
          const QByteArray text = stroke.text.toUtf8();
          ok = xdo_enter_text_window(xdo_, CURRENTWINDOW, text.constData(), kKeyDelayMicroseconds) == XDO_SUCCESS;
        } else {
          const QByteArray sequence = keySequence(stroke);
          ok = !sequence.isEmpty() &&
               xdo_send_keysequence_window(xdo_, CURRENTWINDOW, sequence.constData(), kKeyDelayMicroseconds) ==
                   XDO_SUCCESS;
        }
      }
      if (!ok) break;
    }
    XFlush(display_);
    return ok && !trap.failed();
  }

 private:
  Atom atom(const char* name) { return XInternAtom(display_, name, False); }

  // Asks for `window` to become the active window; false when it is gone or
  // cannot take the keyboard.
  bool requestActivation(Window window) {
    TrapErrors trap(display_);
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display_, window, &attributes) || trap.failed()) return false;
    if (windowManagerRuns()) {
      // EWMH: a client message to the root window, sent as a pager would
      // (source 2), which window managers honour without focus-stealing
      // checks; the manager switches desktops itself where needed.
      XEvent event{};
      event.xclient.type = ClientMessage;
      event.xclient.display = display_;
      event.xclient.window = window;
      event.xclient.message_type = atom("_NET_ACTIVE_WINDOW");
      event.xclient.format = 32;
      event.xclient.data.l[0] = 2;
      event.xclient.data.l[1] = CurrentTime;
      const Window root = DefaultRootWindow(display_);
      XSendEvent(display_, root, False, SubstructureNotifyMask | SubstructureRedirectMask, &event);
      XFlush(display_);
      return !trap.failed();
    }
    if (attributes.map_state != IsViewable) return false;
    XRaiseWindow(display_, window);
    XSetInputFocus(display_, window, RevertToParent, CurrentTime);
    return !trap.failed();
  }

  // The window ids of a property of type WINDOW on `owner`; nullopt when the
  // property is missing.
  std::optional<std::vector<Window>> windowList(Window owner, const char* property) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display_, owner, atom(property), 0, 1L << 16, False, XA_WINDOW, &type, &format, &count,
                           &after, &data) != Success) {
      return std::nullopt;
    }
    std::optional<std::vector<Window>> list;
    if (type == XA_WINDOW && format == 32) {
      const auto* ids = reinterpret_cast<const unsigned long*>(data);  // format 32 arrives as longs
      list.emplace(ids, ids + count);
    }
    if (data != nullptr) XFree(data);
    return list;
  }

  // A window manager that follows EWMH names a check window on the root,
  // which names itself; a property left behind by a manager that has ended
  // names a window that no longer carries it.
  bool windowManagerRuns() {
    TrapErrors trap(display_);
    const auto root = windowList(DefaultRootWindow(display_), "_NET_SUPPORTING_WM_CHECK");
    if (!root || root->size() != 1) return false;
    const auto self = windowList(root->front(), "_NET_SUPPORTING_WM_CHECK");
    return !trap.failed() && self && self->size() == 1 && self->front() == root->front();
  }

  std::vector<Window> stackingWindows() {
    const Window root = DefaultRootWindow(display_);
    if (windowManagerRuns()) {
      if (auto list = windowList(root, "_NET_CLIENT_LIST_STACKING")) return *list;
    }
    // No window manager: the root's children, bottom first, that are shown
    // and not pop-ups (menus, tool tips).
    std::vector<Window> windows;
    Window rootReturn = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display_, root, &rootReturn, &parent, &children, &count)) return windows;
    for (unsigned int i = 0; i < count; ++i) {
      XWindowAttributes attributes;
      if (XGetWindowAttributes(display_, children[i], &attributes) && attributes.map_state == IsViewable &&
          !attributes.override_redirect) {
        windows.push_back(children[i]);
      }
    }
    if (children != nullptr) XFree(children);
    return windows;
  }

  QString title(Window window) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    QString text;
    if (XGetWindowProperty(display_, window, atom("_NET_WM_NAME"), 0, 1024, False, atom("UTF8_STRING"), &type,
                           &format, &count, &after, &data) == Success &&
        data != nullptr && format == 8) {
      text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(count));
    }
    if (data != nullptr) XFree(data);
    if (!text.isEmpty()) return text;

    XTextProperty property{};
    if (XGetWMName(display_, window, &property) && property.value != nullptr) {
      if (property.encoding == XA_STRING) {
        text = QString::fromLatin1(reinterpret_cast<const char*>(property.value),
                                   static_cast<qsizetype>(property.nitems));
      } else {
        char** list = nullptr;
        int pieces = 0;
        if (Xutf8TextPropertyToTextList(display_, &property, &list, &pieces) >= Success && list != nullptr) {
          for (int i = 0; i < pieces; ++i) text += QString::fromUtf8(list[i]);
          XFreeStringList(list);
        }
      }
      XFree(property.value);
    }
    return text;
  }

  bool isActive(Window window) {
    TrapErrors trap(display_);
    if (windowManagerRuns()) {
      const auto active = windowList(DefaultRootWindow(display_), "_NET_ACTIVE_WINDOW");
      return active && active->size() == 1 && active->front() == window;
    }
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display_, &focus, &revert);
    return focus == window;
  }

  // "shift+ctrl+Tab" for libxdo's key sequences.
  static QByteArray keySequence(const KeyStroke& stroke) {
    QByteArray sequence;
    if (stroke.modifiers & kModShift) sequence += "shift+";
    if (stroke.modifiers & kModCtrl) sequence += "ctrl+";
    if (stroke.modifiers & kModAlt) sequence += "alt+";
    if (stroke.kind == KeyStroke::Kind::Key) return sequence + stroke.key.toLatin1();
    const QList<uint> code = stroke.text.toUcs4();
    if (code.size() != 1) return {};
    // Latin-1 characters are their own keysyms; others have the Unicode ones.
    const KeySym keysym = (code.front() >= 0x20 && code.front() <= 0x7e) || (code.front() >= 0xa0 && code.front() <= 0xff)
                              ? code.front()
                              : 0x01000000 | code.front();
    const char* name = XKeysymToString(keysym);
    if (name == nullptr) return {};
    return sequence + name;
  }

  QString reason_;
  Display* display_ = nullptr;
  xdo_t* xdo_ = nullptr;
};

}  // namespace

std::unique_ptr<WindowService> MakeX11WindowService() { return std::make_unique<X11WindowService>(); }

}  // namespace corvellan
