#include "labels/label_composition.h"

namespace corvellan {

void SetLabelData(ZipMain& /*form*/) {}

}  // namespace corvellan
