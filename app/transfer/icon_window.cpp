#include "transfer/icon_window.h"

namespace corvellan {

void IconSendAddress(ZipMain& /*form*/) {}

}  // namespace corvellan
