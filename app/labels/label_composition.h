// The label preview of the mailing-label tab: the delivery address block and
// the barcode text, composed from the address panel.
#pragma once

namespace corvellan {

class ZipMain;

// Rebuilds the address block and the barcode text from the address panel
// (and shows the non-delivery marker for a record IsNonDeliveryRecord finds).
// (Label composition is not built yet: the preview stays as it is.)
void SetLabelData(ZipMain& form);

}  // namespace corvellan
