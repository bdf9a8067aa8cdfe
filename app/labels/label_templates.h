// Label templates: margins, line limit, quantity, printer and font, one
// section of the settings file per template.
#pragma once

namespace corvellan {

class ZipMain;

// Fills the template box of the mailing-label tab and loads the default
// template. (Templates are not built yet: the box keeps its design text.)
void LoadLabFiles(ZipMain& form);

}  // namespace corvellan
