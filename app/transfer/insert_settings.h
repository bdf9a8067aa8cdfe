// Insert settings: per address field its order, the keystrokes around it and
// its letter case, kept in .cfg profile files in the program directory.
#pragma once

namespace corvellan {

class ZipMain;

// Reads the active settings file App().CfgFile. A missing file is reported
// ("Unable to Retrieve CFG File") and the settings stay as they were.
void LoadCfg(ZipMain& form);

// Insert fields by index: 0 Recipient, 1 Secondary, 5 Primary, 9 Urbanization,
// 10 City, 17 RecordDescr (0 to 20 in all).
inline constexpr int kInsertFieldCount = 21;

// Whether the Upper Case option of insert field `index` is on (an index
// outside 0..20 has none). (The options are not read yet: every one is off.)
bool InsertFieldUpperCase(int index);

}  // namespace corvellan
