// The label preview of the mailing-label tab: the delivery address block and
// the barcode text, composed from the address panel.
#pragma once

#include <QString>

namespace corvellan {

class ZipMain;

// What a label is composed from: the boxes of the address panel as they
// stand, and the line limit ("Max Chars").
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

// The marker a non-delivery record shows instead of an address.
inline constexpr char kNonDeliveryBlock[] = "* * * Non-Delivery Record * * *";

// Rebuilds the address block and the barcode text from the address panel
// (a non-delivery record, as the last lookup left it, shows the marker and
// no barcode). The barcode encodes the ZIP text of the composed block, so an
// edited Zip or Plus 4 box changes both alike.
void SetLabelData(ZipMain& form);

}  // namespace corvellan
