// Making written files last (see persist.cpp).
#pragma once

namespace ardo::platform {

// Makes the files just written lasting. On the desktop they already are; in a browser the
// saves and settings are copied into its storage, and false means that failed.
bool PersistWrites();

}  // namespace ardo::platform
