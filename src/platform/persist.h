// Files in a browser (see persist.cpp): written ones made lasting, late ones waited for.
#pragma once

#include <string>

namespace ardo::platform {

// Makes the files just written lasting. On the desktop they already are; in a browser the
// saves and settings are copied into its storage, and false means that failed.
bool PersistWrites();

// Waits, at most `most_ms`, for a file the page fetches after the game has started (in a
// browser the music comes after the rest, so the first picture need not wait for it).
// Elsewhere, and for a file that is not on its way, it returns at once.
void AwaitArrival(const std::string& path, int most_ms = 10000);

}  // namespace ardo::platform
