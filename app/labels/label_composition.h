// The label preview of the mailing-label tab: the delivery address block and
// the barcode text, composed from the address panel.
#pragma once

#include <QString>

// The composition itself (LabelAddress, ComposeAddressBlock, LabelZipText,
// LabelBarcodeDigits, MaxCharsValue) is shared with the command-line tool.
#include "labels/drawing/label_text.h"

namespace corvellan {

class ZipMain;

// The marker a non-delivery record shows instead of an address.
inline constexpr char kNonDeliveryBlock[] = "* * * Non-Delivery Record * * *";

// Rebuilds the address block and the barcode text from the address panel
// (a non-delivery record, as the last lookup left it, shows the marker and
// no barcode). The barcode encodes the ZIP text of the composed block, so an
// edited Zip or Plus 4 box changes both alike.
void SetLabelData(ZipMain& form);

}  // namespace corvellan
