// The POSTNET barcode as text: the ZIP+4 digits with their correction digit,
// framed by start and stop characters, printed in a font whose glyphs are the
// bar patterns ("Corvellan POSTNET", shipped in fonts/ beside the program).
#pragma once

#include <QString>

namespace corvellan {

// The correction digit of a POSTNET code: the decimal digits among the
// characters are added up, and the digit brings the sum to a multiple of 10
// (123456789 -> 5). Characters that are not digits count for nothing.
int PostnetCheckDigit(const QString& zipPlus4);

// start + the nine characters exactly as given + the correction digit + stop.
QString PostnetText(const QString& start, const QString& zipPlus4, const QString& stop);

// The barcode settings of "General Settings" in the settings file.
//
// BarCodeFont names the font (held upper-cased; families match without
// regard to case). A missing key means the font shipped with the program,
// "Corvellan POSTNET"; a key that is there but empty turns the barcode off.
// BarCodeFontSize, BarCodeStartChar and BarCodeStopChar, when missing, take
// the shipped font's values: 18 points (the size at which its bars have the
// USPS dimensions) and "|" (its frame bar) at both ends. A size that is not a
// positive number counts as missing; a start or stop key that is there but
// empty means no frame character. Without its size and frame bars a POSTNET
// font prints bars no scanner reads.
inline constexpr char kShippedBarcodeFont[] = "Corvellan POSTNET";
inline constexpr int kShippedBarcodeFontSize = 18;
inline constexpr char kShippedFrameBar[] = "|";

struct BarcodeSettings {
  QString font;  // upper-cased; empty: the barcode is off
  int fontSize = 0;
  QString startChar;
  QString stopChar;
  QString offReason;  // why the barcode is off, for the user
};

// Reads the barcode settings of the profile file `ini` (see above). The
// other keys are not read when the barcode is off.
BarcodeSettings ReadBarcodeSettings(const QString& ini);

// Makes the fonts in the "fonts" folder beside the program available to the
// program (once per process). Returns the families that were added.
QStringList LoadBarcodeFonts();

}  // namespace corvellan
