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

// Makes the fonts in the "fonts" folder beside the program available to the
// program (once per process). Returns the families that were added.
QStringList LoadBarcodeFonts();

}  // namespace corvellan
