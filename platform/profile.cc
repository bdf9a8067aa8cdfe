// Placeholder; the profile module is built in this file.
#include "platform/profile.h"
