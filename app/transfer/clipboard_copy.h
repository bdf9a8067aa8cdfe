// Edit, Copy: the address of the address panel on the clipboard as plain
// text, one line per output position of the insert settings.
#pragma once

#include <QString>
#include <QStringList>

#include "transfer/insert_settings.h"

namespace corvellan {

class ZipMain;

// The text for the address fields 0 to 17 (`values` as shown): each output
// position 1 to 18 one line ending in CR LF, fields of one position run
// together; with Line Squeeze empty fields and empty lines are left out.
// Keystrokes play no part. A field whose order number lies outside 0 to 21
// is left out.
QString BuildCopyText(const InsertSettings& settings, const QStringList& values);

void mnuEditCopy_Click(ZipMain& form);

}  // namespace corvellan
