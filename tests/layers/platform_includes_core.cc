// layers: platform core
// Must not build: the platform cannot see the foundation.
#include "core/core.h"
