// Stands in for the game under src/game/main.cpp in the 32-bit build of
// options_m32.cmake: it prints what the options came to, and what the script reader
// makes of numbers beyond 32 bits.
#include <cstdio>

#include "game/program.h"
#include "drivers/script_lines.h"
#include "platform/platform.h"

namespace ardo {

int RunProgram(const RunOptions& o) {
  std::int64_t big = 0, low = 0;
  const bool read = ParseInt("4294967295", &big) && ParseInt("-9223372036854775808", &low);
  std::printf("long %zu bytes, seed %u, frames %ld, script numbers %s %lld %lld\n", sizeof(long), o.seed,
              o.soak_frames, read ? "read" : "refused", static_cast<long long>(big), static_cast<long long>(low));
  return 0;
}

namespace platform {
void SetSoundFontOverride(const std::string&) {}
}  // namespace platform

}  // namespace ardo
