// The insert target: the running program the address is typed into.
#pragma once

namespace corvellan {

class ZipMain;

// Re-activates the chosen target window or, when none is chosen, refreshes
// the list of candidate windows. Returns 1 when it refreshed the list, else 0.
// (Target selection is not built yet: nothing is chosen or refreshed.)
int CheckTarget(ZipMain& form);

// Types the address of the address panel into the insert target (Edit,
// Insert; a double click in the results).
// (Insertion is not built yet: nothing is typed.)
void InsertAddress(ZipMain& form);

}  // namespace corvellan
