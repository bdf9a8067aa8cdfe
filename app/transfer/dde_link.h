// The D-Bus link to a partner program (application name, object path, one
// item per address field), configured in section "DDE Settings".
#pragma once

namespace corvellan {

class ZipMain;

// Loads the link settings into the settings window and the link fields.
// (The link is not built yet: nothing to load.)
void LoadDDE(ZipMain& form);

}  // namespace corvellan
