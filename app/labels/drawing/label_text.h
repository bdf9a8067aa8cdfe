// The text of a mailing label, composed from an address: the delivery
// address block and the digits its barcode encodes. Pure functions on
// strings (QtCore only), shared by the program's label preview and by the
// command-line label printer.
#pragma once

#include <QString>
#include <QStringList>

namespace corvellan {

// What a label is composed from: the boxes of the address panel as they
// stand (or the fields of a standardized record), and the line limit
// ("Max Chars").
struct LabelAddress {
  QString recipient, secondary, primary, urbanization, city, state, zip, plus4;
  int maxChars = 0;
};

// The delivery address block, each line followed by CR LF: recipient; the
// delivery line (primary and unit on one line, or the unit above the primary
// when that line is longer than the limit); the urbanization in display case;
// city, state and ZIP on one line when it fits the limit, else the ZIP on a
// line of its own.
QString ComposeAddressBlock(const LabelAddress& address);

// The ZIP text of the label's last line: `zip`, then "-" and `plus4` when
// the add-on is not blank.
QString LabelZipText(const LabelAddress& address);

// The digits the label's barcode encodes: the ZIP code the label prints,
// followed by its add-on only when the label prints one (5 or 9 digits).
// Empty when the printed ZIP text is not a ZIP code (five digits, or five,
// a hyphen and four): such a label gets no barcode rather than one that
// contradicts it.
QString LabelBarcodeDigits(const LabelAddress& address);

// The line limit of the "Max Chars" text: its leading whole number, held to
// the range of a 16-bit integer (0 when there is none).
int MaxCharsValue(const QString& text);

// The text without leading and trailing blanks (' ' only, not tabs).
QString TrimLabelBlanks(const QString& text);

// Display case for upper-case names: MAIN ST NW -> Main St NW,
// PO BOX 12 -> PO Box 12, RR 2 BOX 5 -> RR 2 Box 5, URB LAS GLADIOLAS ->
// Urb Las Gladiolas; "and", "of", "on", "the", "under" inside a name stay
// lower case.
QString DisplayCase(const QString& text);

// The lines of a label text as printed: the text is split at its line
// breaks, and each rest after a break loses its leading and trailing blanks;
// a last part that is empty is not printed.
QStringList PrintedLines(const QString& text);

}  // namespace corvellan
