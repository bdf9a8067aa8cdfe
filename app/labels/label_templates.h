// Label templates: margins, line limit, quantity, printer, paper and font,
// one section of the settings file per template.
//
// Section "Label Settings": "Default Label" (the template chosen at start-up),
// "No of Labels" and "Label No 0" ... "Label No n-1" (the template names).
// Each template is a section named after it, in lower case, with the keys
// "Left Margin", "Top Margin", "Max Chars", "Quantity", "Printer",
// "Printer Port", "Paper Size", "Paper Width", "Paper Length", "Paper Bin",
// "Paper Orientation", "Font Name", "Font Size", "Font Bold", "Font Italic".
#pragma once

#include <QString>

#include <optional>

namespace corvellan {

class ZipMain;

// Fills the template box of the mailing-label tab and loads the default
// template.
void LoadLabFiles(ZipMain& form);
// Loads the template chosen in the template box.
void LabList_Click(ZipMain& form);
// Stores the current settings under the name in the template box; false
// when the settings file could not be written.
bool SaveLabel(ZipMain& form);
void SaveButton_Click(ZipMain& form);

// A stored "True"/"False" (any letter case, or a number: 0 is false);
// nothing for other text.
std::optional<bool> TemplateFlag(const QString& value);

}  // namespace corvellan
