// Insert settings: per address field its order, the keystrokes around it and
// its letter case, kept in .cfg profile files in the program directory.
#pragma once

namespace corvellan {

class ZipMain;

// Reads the active settings file App().CfgFile. A missing file is reported
// ("Unable to Retrieve CFG File") and the settings stay as they were.
void LoadCfg(ZipMain& form);

}  // namespace corvellan
