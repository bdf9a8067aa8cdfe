#include "core/app_globals.h"

namespace corvellan {

AppGlobals& App() {
  static AppGlobals globals;
  return globals;
}

void ResetAppGlobals() { App() = AppGlobals{}; }

}  // namespace corvellan
