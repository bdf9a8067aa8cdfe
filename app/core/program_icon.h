// The program's icon: an envelope on a blue tile, drawn at run time so that
// it is sharp at every size without image files.
#pragma once

#include <QIcon>
#include <QImage>

namespace corvellan {

// The icon at the sizes desktops ask for (16 to 256 pixels).
QIcon ProgramIcon();

// The icon drawn at `size` x `size` pixels; needs no application object.
// packaging/icons/org.corvellan.Corvellan.svg is the same drawing for the scalable icon.
QImage ProgramIconImage(int size);

}  // namespace corvellan
