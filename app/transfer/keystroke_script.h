// Keystroke scripts: the notation of the insert settings' "Before Field" and
// "After Field" keystrokes, and of the script sent to a target program.
//
//   {NAME} or {NAME n}   a named key, n times: {ENTER}, {TAB}, {DOWN 4}, {F4} ...
//   {c} or {c n}         the character c itself, n times: {+} {^} {%} {~} {(} {)} {{} {}}
//   ~                    Enter
//   + ^ %                Shift, Ctrl, Alt held for the next key or group
//   ( ... )              a group of keys under the modifiers before it: +(abc)
//   CR, LF, CR LF        Enter
//   anything else        typed as the character itself
//
// Named keys are matched without regard to letter case. A malformed script
// (unbalanced braces or parentheses, an unknown key name, a modifier with no
// key) is an error, never a partial script.
#pragma once

#include <QString>

#include <vector>

namespace corvellan {

enum KeyModifier : unsigned { kModShift = 1, kModCtrl = 2, kModAlt = 4 };

struct KeyStroke {
  enum class Kind {
    Text,       // `text` typed as text, whatever the keyboard layout
    Key,        // the named key `key` (an X keysym name: "Tab", "Return", "F4")
    Character,  // the character `text` pressed with `modifiers` (^c, +(ab))
  };
  Kind kind = Kind::Text;
  QString text;
  QString key;
  unsigned modifiers = 0;
  int count = 1;

  friend bool operator==(const KeyStroke&, const KeyStroke&) = default;
};

struct ParsedKeys {
  std::vector<KeyStroke> strokes;
  QString error;  // empty when the script is well formed
  bool ok() const { return error.isEmpty(); }
};

// Largest repeat count a script may ask for ({TAB 999}).
inline constexpr int kMaxKeyRepeat = 999;

ParsedKeys ParseKeystrokes(const QString& script);

// `value` with every character the notation treats as a command put in
// braces, so that it is typed as text: "100% PURE" -> "100{%} PURE".
QString EscapeKeystrokeText(const QString& value);

// The keysym name of a named key ("TAB" -> "Tab"), or empty when unknown.
QString NamedKeySym(const QString& name);

}  // namespace corvellan
