// The program's icon: an envelope on a blue tile, drawn at run time so that
// it is sharp at every size without image files.
#pragma once

#include <QIcon>

namespace corvellan {

QIcon ProgramIcon();

}  // namespace corvellan
