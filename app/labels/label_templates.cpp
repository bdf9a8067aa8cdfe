#include "labels/label_templates.h"

namespace corvellan {

void LoadLabFiles(ZipMain& /*form*/) {}

}  // namespace corvellan
