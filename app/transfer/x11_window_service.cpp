// The window service on an X server: the stacking order from the window
// manager (EWMH _NET_CLIENT_LIST_STACKING) or, where none runs, from the
// window tree; titles from _NET_WM_NAME (UTF-8) or WM_NAME; activation
// through the window manager (_NET_ACTIVE_WINDOW) or, without one, by raising
// the window and giving it the input focus; keystrokes through the XTEST
// extension, so that they reach the focused window as typed ones.
//
// Keys are found in the keyboard mapping as it is at the moment of sending
// (XKB, the group in use): each character is typed with the key and the
// modifiers (Shift, AltGr ...) that give it in the current layout. A
// character the layout lacks gets a key that holds nothing, which is mapped
// to it before the first key goes down and keeps it afterwards, so that the
// receiving program reads the same mapping whenever it gets to the key.
#include <QByteArray>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QStringList>
#include <QThread>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <optional>
#include <utility>

#include "transfer/window_service.h"

// Xlib defines macros (None, Bool, Status, KeyPress ...) that clash with Qt:
// every Qt header comes before this point.
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace corvellan {

namespace {

// Pause between typed characters; some programs drop keys that come faster.
constexpr useconds_t kKeyDelayMicroseconds = 8000;
// After keys were mapped to characters the layout lacks: time for the
// programs to take in the changed mapping before the first key comes.
constexpr int kRemapSettleMilliseconds = 60;
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

// The keysyms that give a character: Latin-1 characters are their own
// keysyms; every character also has its Unicode keysym.
std::pair<KeySym, KeySym> KeySymsOf(char32_t c) {
  const KeySym unicode = 0x01000000 | static_cast<KeySym>(c);
  const bool latin1 = (c >= 0x20 && c <= 0x7e) || (c >= 0xa0 && c <= 0xff);
  return {latin1 ? static_cast<KeySym>(c) : unicode, unicode};
}

// Modifier keys that may be pressed to reach a level: they act while held
// and change nothing afterwards (no Caps Lock, Num Lock or group switch).
bool HoldingModifier(KeySym sym) {
  switch (sym) {
    case XK_Shift_L:
    case XK_Shift_R:
    case XK_Control_L:
    case XK_Control_R:
    case XK_Alt_L:
    case XK_Alt_R:
    case XK_Meta_L:
    case XK_Meta_R:
    case XK_Super_L:
    case XK_Super_R:
    case XK_Hyper_L:
    case XK_Hyper_R:
    case XK_ISO_Level3_Shift:
    case XK_ISO_Level5_Shift:
      return true;
    default:
      return false;
  }
}

// A key and the real modifiers to hold with it.
struct KeyPlace {
  KeyCode code = 0;
  unsigned modifiers = 0;
};

// One key press: the key, and the modifier keys held while it goes down.
struct Press {
  KeyCode code = 0;
  std::vector<KeyCode> modifiers;
};

// The keyboard mapping of the X server at one moment (XKB): where a keysym
// is in the group in use, with which modifiers, and which keys hold nothing.
class Keyboard {
 public:
  explicit Keyboard(Display* display) : display_(display) { read(); }
  ~Keyboard() { release(); }
  Keyboard(const Keyboard&) = delete;
  Keyboard& operator=(const Keyboard&) = delete;

  // Reads the mapping, the group and the locked modifiers again.
  void read() {
    release();
    xkb_ = XkbGetMap(display_, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd);
    XkbStateRec state{};
    if (XkbGetState(display_, XkbUseCoreKbd, &state) == Success) {
      group_ = state.group;
      locked_ = static_cast<unsigned>(state.locked_mods | state.latched_mods);
    }
    modifierMap_ = XGetModifierMapping(display_);
    modifierKeys_.fill(0);
    if (xkb_ == nullptr || modifierMap_ == nullptr) return;
    for (int bit = 0; bit < 8; ++bit) {
      for (int i = 0; i < modifierMap_->max_keypermod; ++i) {
        const KeyCode code = modifierMap_->modifiermap[bit * modifierMap_->max_keypermod + i];
        if (code != 0 && HoldingModifier(symAt(code, 0, 0))) {
          modifierKeys_[static_cast<std::size_t>(bit)] = code;
          break;
        }
      }
    }
  }

  bool valid() const { return xkb_ != nullptr && modifierMap_ != nullptr; }

  // The key giving `sym` (or `alternative`) with the fewest modifiers held,
  // lowest level first; nullopt when the layout in use lacks it.
  std::optional<KeyPlace> find(KeySym sym, KeySym alternative = NoSymbol) const {
    if (!valid()) return std::nullopt;
    std::optional<KeyPlace> best;
    int bestLevel = 0;
    for (int code = xkb_->min_key_code; code <= xkb_->max_key_code; ++code) {
      const int groups = XkbKeyNumGroups(xkb_, code);
      if (groups == 0) continue;
      const int group = static_cast<int>(group_) < groups ? static_cast<int>(group_) : static_cast<int>(group_) % groups;
      const int width = XkbKeyGroupWidth(xkb_, code, group);
      for (int level = 0; level < width; ++level) {
        const KeySym at = XkbKeySymEntry(xkb_, code, level, group);
        if (at == NoSymbol || (at != sym && at != alternative)) continue;
        const std::optional<unsigned> modifiers = modifiersFor(XkbKeyKeyType(xkb_, code, group), level);
        if (!modifiers) continue;
        const bool better = !best || std::popcount(*modifiers) < std::popcount(best->modifiers) ||
                            (std::popcount(*modifiers) == std::popcount(best->modifiers) && level < bestLevel);
        if (better) {
          best = KeyPlace{static_cast<KeyCode>(code), *modifiers};
          bestLevel = level;
        }
      }
    }
    return best;
  }

  // Keys that hold no keysym at all.
  std::vector<KeyCode> emptyKeys() const {
    std::vector<KeyCode> keys;
    if (!valid()) return keys;
    for (int code = xkb_->min_key_code; code <= xkb_->max_key_code; ++code) {
      if (XkbKeyNumGroups(xkb_, code) == 0) keys.push_back(static_cast<KeyCode>(code));
    }
    return keys;
  }

  // The first keysym of a key, NoSymbol for an empty one.
  KeySym symAt(int code, int level, int group) const {
    if (xkb_ == nullptr || code < xkb_->min_key_code || code > xkb_->max_key_code) return NoSymbol;
    if (XkbKeyNumGroups(xkb_, code) <= group || XkbKeyGroupWidth(xkb_, code, group) <= level) return NoSymbol;
    return XkbKeySymEntry(xkb_, code, level, group);
  }

  // The key that holds real modifier `bit` (0 Shift ... 7 Mod5) while
  // pressed; 0 when there is none.
  KeyCode modifierKey(int bit) const { return modifierKeys_[static_cast<std::size_t>(bit)]; }

  // Every key of the modifier map (for releasing held modifiers).
  std::vector<KeyCode> allModifierKeys() const {
    std::vector<KeyCode> keys;
    if (modifierMap_ == nullptr) return keys;
    for (int bit = 0; bit < 8; ++bit) {
      if (bit == 1) continue;  // Lock: releasing Caps Lock changes nothing
      for (int i = 0; i < modifierMap_->max_keypermod; ++i) {
        const KeyCode code = modifierMap_->modifiermap[bit * modifierMap_->max_keypermod + i];
        if (code != 0) keys.push_back(code);
      }
    }
    return keys;
  }

 private:
  void release() {
    if (xkb_ != nullptr) XkbFreeKeyboard(xkb_, 0, True);
    xkb_ = nullptr;
    if (modifierMap_ != nullptr) XFreeModifiermap(modifierMap_);
    modifierMap_ = nullptr;
  }

  // The level a key type gives for the effective modifiers.
  static int levelOf(const XkbKeyTypeRec* type, unsigned effective) {
    for (int i = 0; i < type->map_count; ++i) {
      const XkbKTMapEntryRec& entry = type->map[i];
      if (entry.active && entry.mods.mask == effective) return entry.level;
    }
    return 0;
  }

  // Real modifiers that, held together with those locked now, select
  // `level` of a key of `type`; nullopt when no holdable set does. Only the
  // sets the type names are tried (with and without the locked ones), which
  // covers Shift, AltGr and Caps Lock on every layout.
  std::optional<unsigned> modifiersFor(const XkbKeyTypeRec* type, int level) const {
    std::vector<unsigned> candidates{0};
    for (int i = 0; i < type->map_count; ++i) {
      if (!type->map[i].active) continue;
      candidates.push_back(type->map[i].mods.mask);
      candidates.push_back(type->map[i].mods.mask & ~locked_);
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](unsigned a, unsigned b) { return std::popcount(a) < std::popcount(b); });
    for (const unsigned held : candidates) {
      bool holdable = true;
      for (int bit = 0; bit < 8; ++bit) {
        if ((held & (1U << bit)) != 0 && modifierKeys_[static_cast<std::size_t>(bit)] == 0) holdable = false;
      }
      if (holdable && levelOf(type, (held | locked_) & type->mods.mask) == level) return held;
    }
    return std::nullopt;
  }

  Display* display_;
  XkbDescPtr xkb_ = nullptr;
  XModifierKeymap* modifierMap_ = nullptr;
  unsigned group_ = 0;
  unsigned locked_ = 0;
  std::array<KeyCode, 8> modifierKeys_{};
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
    int xkbOpcode = 0;
    int xkbEvent = 0;
    int xkbError = 0;
    int major = XkbMajorVersion;
    int minor = XkbMinorVersion;
    if (!XkbQueryExtension(display_, &xkbOpcode, &xkbEvent, &xkbError, &major, &minor)) {
      reason_ = QStringLiteral("The X server has no XKEYBOARD extension, which typing into other programs needs.");
    }
  }

  ~X11WindowService() override {
    if (display_ != nullptr) {
      restoreSpareKeys();
      XCloseDisplay(display_);
    }
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
    sendError_.clear();
    if (!reason_.isEmpty()) return false;
    TrapErrors trap(display_);
    // The layout is read again for every insertion: it may have been
    // switched (setxkbmap, a desktop's layout switcher) since the last one.
    Keyboard keyboard(display_);
    std::vector<Press> presses;
    if (!plan(keyboard, strokes, presses)) return false;

    // A Shift, Ctrl or Alt still held from the key that started the insertion
    // (Alt+I) would change every key; they are released first.
    releaseHeldModifiers(keyboard);
    for (const Press& press : presses) {
      for (const KeyCode modifier : press.modifiers) XTestFakeKeyEvent(display_, modifier, True, CurrentTime);
      XTestFakeKeyEvent(display_, press.code, True, CurrentTime);
      XFlush(display_);
      usleep(kKeyDelayMicroseconds / 2);
      XTestFakeKeyEvent(display_, press.code, False, CurrentTime);
      for (auto it = press.modifiers.rbegin(); it != press.modifiers.rend(); ++it) {
        XTestFakeKeyEvent(display_, *it, False, CurrentTime);
      }
      XFlush(display_);
      usleep(kKeyDelayMicroseconds / 2);
    }
    XSync(display_, False);
    if (trap.failed()) {
      sendError_ = QStringLiteral("The X server refused the keystrokes.");
      return false;
    }
    return true;
  }

  QString sendError() const override { return sendError_; }

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

  // The key presses of a script on the keyboard as it is now. Characters
  // the layout lacks are mapped to free keys first. False, with the reason
  // in sendError_, when a key cannot be typed: nothing has been typed then.
  bool plan(Keyboard& keyboard, const std::vector<KeyStroke>& strokes, std::vector<Press>& presses) {
    if (!keyboard.valid()) {
      sendError_ = QStringLiteral("The keyboard mapping of the X server cannot be read.");
      return false;
    }
    struct Wanted {
      KeySym sym;
      KeySym alternative;
      unsigned scriptModifiers;
      QString shown;  // for messages
    };
    std::vector<Wanted> wanted;
    const auto character = [&wanted](char32_t c, unsigned modifiers) {
      const auto [sym, unicode] = KeySymsOf(c);
      wanted.push_back({sym, unicode, modifiers, QString::fromUcs4(&c, 1)});
    };
    for (const KeyStroke& stroke : strokes) {
      for (int i = 0; i < stroke.count; ++i) {
        switch (stroke.kind) {
          case KeyStroke::Kind::Text:
            for (const char32_t c : stroke.text.toUcs4()) character(c, 0);
            break;
          case KeyStroke::Kind::Character:
            for (const char32_t c : stroke.text.toUcs4()) character(c, stroke.modifiers);
            break;
          case KeyStroke::Kind::Key: {
            const KeySym sym = XStringToKeysym(stroke.key.toLatin1().constData());
            if (sym == NoSymbol) {
              sendError_ = QStringLiteral("The key %1 is not known to the X server.").arg(stroke.key);
              return false;
            }
            wanted.push_back({sym, NoSymbol, stroke.modifiers, QStringLiteral("{%1}").arg(stroke.key)});
            break;
          }
        }
      }
    }

    std::vector<KeySym> missing;
    QStringList missingShown;
    for (const Wanted& key : wanted) {
      if (keyboard.find(key.sym, key.alternative)) continue;
      if (std::find(missing.begin(), missing.end(), key.sym) != missing.end()) continue;
      missing.push_back(key.sym);
      missingShown.append(key.shown);
    }
    if (!missing.empty()) {
      std::vector<KeySym> kept;
      for (const Wanted& key : wanted) kept.push_back(key.sym);
      if (!mapSpareKeys(keyboard, missing, kept)) {
        sendError_ = QStringLiteral("The keyboard layout in use has no key for %1, and too few free keys are left "
                                    "to type it with.")
                         .arg(missingShown.join(QStringLiteral(" ")));
        return false;
      }
      keyboard.read();
    }

    const KeyCode shift = keyboard.modifierKey(0);
    const KeyCode control = keyboard.modifierKey(2);
    const std::optional<KeyPlace> alt = keyboard.find(XK_Alt_L, XK_Alt_R);
    for (const Wanted& key : wanted) {
      const std::optional<KeyPlace> place = keyboard.find(key.sym, key.alternative);
      if (!place) {
        sendError_ = QStringLiteral("%1 cannot be typed with the keyboard layout in use.").arg(key.shown);
        return false;
      }
      Press press{place->code, {}};
      const auto hold = [&press](KeyCode code) {
        if (code != 0 && std::find(press.modifiers.begin(), press.modifiers.end(), code) == press.modifiers.end()) {
          press.modifiers.push_back(code);
        }
      };
      if ((key.scriptModifiers & kModShift) != 0) {
        if (shift == 0) return noModifierKey(QStringLiteral("Shift"));
        hold(shift);
      }
      if ((key.scriptModifiers & kModCtrl) != 0) {
        if (control == 0) return noModifierKey(QStringLiteral("Ctrl"));
        hold(control);
      }
      if ((key.scriptModifiers & kModAlt) != 0) {
        if (!alt || alt->modifiers != 0) return noModifierKey(QStringLiteral("Alt"));
        hold(alt->code);
      }
      for (int bit = 0; bit < 8; ++bit) {
        if ((place->modifiers & (1U << bit)) != 0) hold(keyboard.modifierKey(bit));
      }
      presses.push_back(std::move(press));
    }
    return true;
  }

  bool noModifierKey(const QString& name) {
    sendError_ = QStringLiteral("The keyboard layout in use has no %1 key.").arg(name);
    return false;
  }

  // Maps each keysym of `missing` to a key of its own: keys that hold
  // nothing first, then keys mapped by earlier insertions (the longest
  // unused first) whose keysym `kept` does not need. The mapping stays after
  // the keys are typed: a program that reads the mapping only when it gets
  // to the key still finds the character there.
  bool mapSpareKeys(const Keyboard& keyboard, const std::vector<KeySym>& missing, const std::vector<KeySym>& kept) {
    std::vector<KeyCode> free = keyboard.emptyKeys();
    // Keys mapped before, which the layout still shows with our keysym.
    for (const auto& [code, sym] : spareKeys_) {
      if (keyboard.symAt(code, 0, 0) == sym && std::find(kept.begin(), kept.end(), sym) == kept.end()) {
        free.push_back(code);
      }
    }
    if (free.size() < missing.size()) return false;
    for (std::size_t i = 0; i < missing.size(); ++i) {
      const KeyCode code = free[i];
      KeySym syms[2] = {missing[i], missing[i]};
      XChangeKeyboardMapping(display_, code, 2, syms, 1);
      std::erase_if(spareKeys_, [code](const auto& entry) { return entry.first == code; });
      spareKeys_.emplace_back(code, missing[i]);
    }
    XSync(display_, False);
    QThread::msleep(kRemapSettleMilliseconds);
    return true;
  }

  // Gives the keys mapped for missing characters back their empty mapping,
  // unless a new layout has put something else there meanwhile.
  void restoreSpareKeys() {
    if (spareKeys_.empty()) return;
    TrapErrors trap(display_);
    const Keyboard keyboard(display_);
    for (const auto& [code, sym] : spareKeys_) {
      if (keyboard.symAt(code, 0, 0) != sym) continue;
      KeySym nothing = NoSymbol;
      XChangeKeyboardMapping(display_, code, 1, &nothing, 1);
    }
    spareKeys_.clear();
  }

  // Releases every modifier key that is down (Alt of the Alt+I that started
  // the insertion, a Shift still held).
  void releaseHeldModifiers(const Keyboard& keyboard) {
    char down[32] = {};
    XQueryKeymap(display_, down);
    for (const KeyCode code : keyboard.allModifierKeys()) {
      if ((down[code / 8] & (1 << (code % 8))) != 0) XTestFakeKeyEvent(display_, code, False, CurrentTime);
    }
    XFlush(display_);
  }

  QString reason_;
  Display* display_ = nullptr;
  QString sendError_;
  // Keys mapped to characters the layout lacked, oldest first.
  std::vector<std::pair<KeyCode, KeySym>> spareKeys_;
};

}  // namespace

std::unique_ptr<WindowService> MakeX11WindowService() { return std::make_unique<X11WindowService>(); }

}  // namespace corvellan
