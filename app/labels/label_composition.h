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

// The line limit of the "Max Chars" text: its leading whole number, held to
// the range of a 16-bit integer (0 when there is none).
int MaxCharsValue(const QString& text);

// The marker a non-delivery record shows instead of an address.
inline constexpr char kNonDeliveryBlock[] = "* * * Non-Delivery Record * * *";

// Rebuilds the address block and the barcode text from the address panel
// and the ZIP+4 of the last lookup (a non-delivery record shows the marker
// and no barcode).
void SetLabelData(ZipMain& form);

}  // namespace corvellan
