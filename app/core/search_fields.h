// Keystroke rules of the search fields.
//
// Each field carries a key class in its dynamic property "HelpContextID"; one
// filter reads the class of the field a key was typed into. Key codes are the
// character codes of typed characters, 8 for Backspace; 0 discards the key.
// Only typed characters are filtered: pasted text arrives unchanged.
#pragma once

#include <QString>
#include <QStringList>
#include <Qt>

namespace corvellan {

inline constexpr char kKeyClassProperty[] = "HelpContextID";

enum KeyClass : int {
  kKeyClassUpper = 1,    // converted to upper case (UpperSingleByte)
  kKeyClassZip = 4,      // digits, "-", "/", ".", blank
  kKeyClassDigits = 6,   // digits only
};

inline constexpr int kKeyBackspace = 8;

// The key code after the rules of `keyClass`; any other class keeps the key.
int KeyFilter(int keyClass, int keyCode);

// What a printable key does in a search field with these modifiers held.
// Alt (or Meta) with a key is an access key; the window takes those before
// the field sees them, so one that reaches a field is no access key and types
// nothing. Control alone or with Shift is a command of the field (paste,
// select all, undo); the field types no character for it, and the key goes
// through unfiltered. Everything else types its character, which then goes
// through the field's key rules: Shift, the keypad, and the level-three
// shift of keyboard layouts, which the toolkit reports as a group switch.
enum class KeyEffect { Types, Command, Nothing };
KeyEffect TypedKeyEffect(Qt::KeyboardModifiers modifiers);

// Whether a digit typed into the ZIP field gets a hyphen in front of it: the
// text is exactly five characters long and the caret stands behind them.
bool ZipWantsHyphen(const QString& text, int caret, int keyCode);

// Whether the state box takes another key: not once its text is longer than
// two characters, except Backspace, which always works.
bool StateBoxTakesKey(const QString& textBefore, int keyCode);

// The 62 two-letter codes of the state box, sorted.
const QStringList& StateCodes();

// The next maximum-results value when "Search Qty" is clicked:
// 10, 100, 1000, 2500, 5000, 10000, then 10 again; other text stays.
QString NextSearchQty(const QString& current);

}  // namespace corvellan
