// Insert settings: per address field its place in the text sent to another
// program or copied, the keystrokes around it and its letter case, kept in
// .cfg profile files in the program directory.
//
// File format (profile syntax), one section per field named by the field's
// name ("Recipient", "SecondaryLow" ...):
//   Field Order   position in the output, 1 to 21; 0 leaves the field out
//   Before Field  keystrokes sent before the field ({TAB}, {ENTER}, {DOWN 4})
//   After Field   keystrokes sent after the field
//   Upper Case    "Yes" (1), "N/A" (2) or "No" (0); any other text reads as 0
// and section "General Settings":
//   Description   free text
//   Line Squeeze  "Yes" leaves empty fields out with their keystrokes; any
//                 other text means no
#pragma once

#include <QString>

#include <array>

namespace corvellan {

class ZipMain;

// Field numbers 0 to 20 have settings; 0 to 17 are address fields.
inline constexpr int kInsertFieldCount = 21;
inline constexpr int kInsertFieldsUsed = 18;

// CaseOption values.
inline constexpr int kCaseNo = 0;
inline constexpr int kCaseUpper = 1;
inline constexpr int kCaseNotApplicable = 2;

// Fixed by the field number: fields whose values are codes are always upper
// case, numbers have no case, names are the user's choice.
enum class CaseClass { UserChoice, AlwaysUpper, NotApplicable };
CaseClass CaseClassOf(int field);

// "Recipient", "SecondaryLow" ... (empty outside 0..17).
QString InsertFieldName(int field);
// The address panel's text box the field is read from ("Recipient", "SecLow" ...).
QString InsertFieldSource(int field);

struct InsertSettings {
  std::array<QString, kInsertFieldCount> FieldOrder;
  std::array<QString, kInsertFieldCount> BeforeKeys;
  std::array<QString, kInsertFieldCount> AfterKeys;
  std::array<int, kInsertFieldCount> CaseOption{};
  bool LineSqueeze = false;
  QString Description;
};

// The settings of this process, edited by the settings window.
InsertSettings& CurrentInsertSettings();

// The integer value of an order number (0 when empty or not numeric).
long OrderNumber(const QString& text);

// Reads a settings file into `settings` (every field, the description and
// Line Squeeze). The case option follows the field's case class.
void ReadCfgFile(const QString& path, InsertSettings& settings);
// Writes `settings` to a settings file; an order number below 1 is first set
// to "0" in `settings`. False when the file could not be written.
bool WriteCfgFile(const QString& path, InsertSettings& settings);

// Reads the active settings file App().CfgFile into the process's settings
// and the settings window. A missing file is reported ("Unable to Retrieve
// CFG File") and the settings stay as they were.
void LoadCfg(ZipMain& form);

// Whether the Upper Case option of insert field `index` is on (an index
// outside 0..20 has none).
bool InsertFieldUpperCase(int index);

}  // namespace corvellan
