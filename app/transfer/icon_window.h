// The floating icon window: fetches an address from the link partner, looks
// it up and sends the result back.
#pragma once

namespace corvellan {

class ZipMain;

// Sends the address of the address panel to the link partner through the
// icon window (a double click in the results while View, Icon for DDE is on).
// (The icon window is not built yet: nothing is sent.)
void IconSendAddress(ZipMain& form);

}  // namespace corvellan
