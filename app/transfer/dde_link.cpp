#include "transfer/dde_link.h"

namespace corvellan {

void LoadDDE(ZipMain& /*form*/) {}

}  // namespace corvellan
