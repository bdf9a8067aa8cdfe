#include "core/search_fields.h"

#include <QChar>

#include <array>

#include "core/query_prep.h"

namespace corvellan {

namespace {

bool OneOf(int keyCode, const char* allowed) {
  for (const char* c = allowed; *c != '\0'; ++c) {
    if (keyCode == static_cast<unsigned char>(*c)) return true;
  }
  return false;
}

}  // namespace

int KeyFilter(int keyClass, int keyCode) {
  switch (keyClass) {
    case kKeyClassUpper:
      return static_cast<int>(UpperSingleByte(static_cast<char32_t>(keyCode)));
    case kKeyClassZip:
      return keyCode == kKeyBackspace || OneOf(keyCode, "0123456789-/. ") ? keyCode : 0;
    case kKeyClassDigits:
      return keyCode == kKeyBackspace || OneOf(keyCode, "0123456789") ? keyCode : 0;
    default:
      return keyCode;
  }
}

KeyEffect TypedKeyEffect(Qt::KeyboardModifiers modifiers) {
  if (modifiers & (Qt::AltModifier | Qt::MetaModifier)) return KeyEffect::Nothing;
  // Text fields type nothing for exactly these two; with the keypad
  // modifier added, Control and a keypad key types its character.
  if (modifiers == Qt::ControlModifier || modifiers == (Qt::ControlModifier | Qt::ShiftModifier)) {
    return KeyEffect::Command;
  }
  return KeyEffect::Types;
}

bool ZipWantsHyphen(const QString& text, int caret, int keyCode) {
  return text.size() == 5 && caret == 5 && keyCode >= '0' && keyCode <= '9';
}

bool StateBoxTakesKey(const QString& textBefore, int keyCode) {
  return keyCode == kKeyBackspace || textBefore.size() <= 2;
}

const QStringList& StateCodes() {
  static const QStringList codes = {
      "AA", "AE", "AK", "AL", "AP", "AR", "AS", "AZ", "CA", "CO", "CT", "DC", "DE", "FL", "FM", "GA",
      "GU", "HI", "IA", "ID", "IL", "IN", "KS", "KY", "LA", "MA", "MD", "ME", "MH", "MI", "MN", "MO",
      "MP", "MS", "MT", "NC", "ND", "NE", "NH", "NJ", "NM", "NV", "NY", "OH", "OK", "OR", "PA", "PR",
      "PW", "RI", "SC", "SD", "TN", "TX", "UT", "VA", "VI", "VT", "WA", "WI", "WV", "WY"};
  return codes;
}

QString NextSearchQty(const QString& current) {
  static const std::array<const char*, 6> kCycle{"10", "100", "1000", "2500", "5000", "10000"};
  for (std::size_t i = 0; i < kCycle.size(); ++i) {
    if (current == QLatin1String(kCycle[i])) return QLatin1String(kCycle[(i + 1) % kCycle.size()]);
  }
  return current;
}

}  // namespace corvellan
