#include "transfer/keystroke_script.h"

#include <array>
#include <utility>

namespace corvellan {

namespace {

constexpr std::array<std::pair<const char*, const char*>, 35> kNamedKeys{{
    {"BACKSPACE", "BackSpace"}, {"BS", "BackSpace"},      {"BKSP", "BackSpace"},  {"BREAK", "Break"},
    {"CAPSLOCK", "Caps_Lock"},  {"CLEAR", "Clear"},       {"DELETE", "Delete"},   {"DEL", "Delete"},
    {"DOWN", "Down"},           {"END", "End"},           {"ENTER", "Return"},    {"ESC", "Escape"},
    {"ESCAPE", "Escape"},       {"HELP", "Help"},         {"HOME", "Home"},       {"INSERT", "Insert"},
    {"INS", "Insert"},          {"LEFT", "Left"},         {"NUMLOCK", "Num_Lock"}, {"PGDN", "Next"},
    {"PGUP", "Prior"},          {"PRTSC", "Print"},       {"RIGHT", "Right"},     {"SCROLLLOCK", "Scroll_Lock"},
    {"TAB", "Tab"},             {"UP", "Up"},             {"ADD", "KP_Add"},      {"SUBTRACT", "KP_Subtract"},
    {"MULTIPLY", "KP_Multiply"}, {"DIVIDE", "KP_Divide"}, {"SPACE", "space"},     {"PAUSE", "Pause"},
    {"MENU", "Menu"},           {"APPS", "Menu"},         {"RETURN", "Return"},
}};

constexpr char kCommandCharacters[] = "+^%~(){}";

class Parser {
 public:
  explicit Parser(const QString& script) : s_(script) {}

  ParsedKeys run() {
    while (i_ < s_.size() && out_.error.isEmpty()) step();
    if (out_.error.isEmpty()) {
      if (pending_ != 0) {
        fail(QStringLiteral("a Shift, Ctrl or Alt sign (+ ^ %) at the end has no key to go with"));
      } else if (inGroup_) {
        fail(QStringLiteral("a group opened with ( is not closed"));
      }
    }
    if (!out_.error.isEmpty()) out_.strokes.clear();
    return std::move(out_);
  }

 private:
  void fail(const QString& why) {
    if (out_.error.isEmpty()) out_.error = why;
  }

  unsigned takeModifiers() {
    const unsigned modifiers = pending_ | groupModifiers_;
    pending_ = 0;
    return modifiers;
  }

  void emitCharacter(QString character, int count) {
    const unsigned modifiers = takeModifiers();
    if (count <= 0) return;
    if (modifiers == 0) {
      const QString text = character.repeated(count);
      if (!out_.strokes.empty() && out_.strokes.back().kind == KeyStroke::Kind::Text) {
        out_.strokes.back().text += text;
      } else {
        out_.strokes.push_back({KeyStroke::Kind::Text, text, {}, 0, 1});
      }
      return;
    }
    out_.strokes.push_back({KeyStroke::Kind::Character, std::move(character), {}, modifiers, count});
  }

  void emitKey(const QString& keysym, int count) {
    const unsigned modifiers = takeModifiers();
    if (count <= 0) return;
    out_.strokes.push_back({KeyStroke::Kind::Key, {}, keysym, modifiers, count});
  }

  // One code point starting at i_ (a surrogate pair stays whole).
  QString codePointAt(qsizetype at) const {
    const qsizetype length = s_.at(at).isHighSurrogate() && at + 1 < s_.size() ? 2 : 1;
    return s_.mid(at, length);
  }

  void braces() {
    const qsizetype open = i_;
    // The first character after "{" may itself be "}" ("{}}" types "}").
    const qsizetype close = open + 2 <= s_.size() ? s_.indexOf(QLatin1Char('}'), open + 2) : -1;
    if (close < 0 || open + 1 >= s_.size()) {
      fail(QStringLiteral("a { at position %1 is not closed").arg(open + 1));
      return;
    }
    const QString content = s_.mid(open + 1, close - open - 1);
    i_ = close + 1;
    QString name = content;
    int count = 1;
    const qsizetype space = content.lastIndexOf(QLatin1Char(' '));
    if (space > 0) {
      const QString countText = content.mid(space + 1);
      bool digits = !countText.isEmpty() && countText.size() <= 4;
      for (const QChar c : countText) digits = digits && c >= QLatin1Char('0') && c <= QLatin1Char('9');
      if (!digits) {
        fail(QStringLiteral("{%1} is not a key name followed by a repeat count").arg(content));
        return;
      }
      count = countText.toInt();
      if (count > kMaxKeyRepeat) {
        fail(QStringLiteral("the repeat count of {%1} is above %2").arg(content).arg(kMaxKeyRepeat));
        return;
      }
      name = content.left(space);
    }
    if (name.size() == 1 || (name.size() == 2 && name.at(0).isHighSurrogate())) {
      emitCharacter(name, count);
      return;
    }
    const QString keysym = NamedKeySym(name);
    if (keysym.isEmpty()) {
      fail(QStringLiteral("{%1} is not a known key name").arg(content));
      return;
    }
    emitKey(keysym, count);
  }

  void step() {
    const QChar c = s_.at(i_);
    switch (c.unicode()) {
      case '+':
        pending_ |= kModShift;
        ++i_;
        return;
      case '^':
        pending_ |= kModCtrl;
        ++i_;
        return;
      case '%':
        pending_ |= kModAlt;
        ++i_;
        return;
      case '(':
        if (inGroup_) {
          fail(QStringLiteral("a group ( at position %1 lies inside another group").arg(i_ + 1));
          return;
        }
        inGroup_ = true;
        groupKeys_ = out_.strokes.size();
        groupModifiers_ = pending_;
        pending_ = 0;
        ++i_;
        return;
      case ')':
        if (!inGroup_) {
          fail(QStringLiteral("a ) at position %1 closes no group").arg(i_ + 1));
          return;
        }
        if (pending_ != 0) {
          fail(QStringLiteral("a Shift, Ctrl or Alt sign before ) at position %1 has no key").arg(i_ + 1));
          return;
        }
        if (groupModifiers_ != 0 && out_.strokes.size() == groupKeys_) {
          fail(QStringLiteral("the group closed at position %1 holds no key").arg(i_ + 1));
          return;
        }
        inGroup_ = false;
        groupModifiers_ = 0;
        ++i_;
        return;
      case '{':
        braces();
        return;
      case '}':
        fail(QStringLiteral("a } at position %1 closes no {").arg(i_ + 1));
        return;
      case '~':
        ++i_;
        emitKey(QStringLiteral("Return"), 1);
        return;
      case '\r':
        ++i_;
        if (i_ < s_.size() && s_.at(i_) == QLatin1Char('\n')) ++i_;
        emitKey(QStringLiteral("Return"), 1);
        return;
      case '\n':
        ++i_;
        emitKey(QStringLiteral("Return"), 1);
        return;
      default: {
        const QString character = codePointAt(i_);
        i_ += character.size();
        emitCharacter(character, 1);
        return;
      }
    }
  }

  const QString& s_;
  qsizetype i_ = 0;
  unsigned pending_ = 0;
  unsigned groupModifiers_ = 0;
  bool inGroup_ = false;
  std::size_t groupKeys_ = 0;  // strokes before the open group
  ParsedKeys out_;
};

}  // namespace

ParsedKeys ParseKeystrokes(const QString& script) { return Parser(script).run(); }

QString EscapeKeystrokeText(const QString& value) {
  QString escaped;
  escaped.reserve(value.size());
  for (const QChar c : value) {
    if (QLatin1String(kCommandCharacters).contains(c)) {
      escaped += QLatin1Char('{');
      escaped += c;
      escaped += QLatin1Char('}');
    } else {
      escaped += c;
    }
  }
  return escaped;
}

QString NamedKeySym(const QString& name) {
  const QString upper = name.toUpper();
  for (const auto& [sendKeysName, keysym] : kNamedKeys) {
    if (upper == QLatin1String(sendKeysName)) return QLatin1String(keysym);
  }
  // F1 to F16.
  if (upper.size() >= 2 && upper.size() <= 3 && upper.at(0) == QLatin1Char('F')) {
    bool ok = false;
    const int number = upper.mid(1).toInt(&ok);
    if (ok && number >= 1 && number <= 16 && upper.at(1) != QLatin1Char('0')) return QStringLiteral("F%1").arg(number);
  }
  return {};
}

}  // namespace corvellan
