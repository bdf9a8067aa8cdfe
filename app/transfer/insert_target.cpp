#include "transfer/insert_target.h"

namespace corvellan {

int CheckTarget(ZipMain& /*form*/) { return 0; }

void InsertAddress(ZipMain& /*form*/) {}

}  // namespace corvellan
