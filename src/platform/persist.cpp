// In a browser the save and settings folders live in memory, mirrored into the browser's
// storage (IndexedDB) by the page (web/ardo-pre.js): after every write the copy is made
// and waited for, so a reload keeps what the game said it saved. The music is fetched by
// the page after the game has started; a tune wanted before it is there is waited for.
#include "platform/persist.h"

#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif

namespace ardo::platform {

bool PersistWrites() {
#ifdef __EMSCRIPTEN__
  // Under node (the tests) the files are the machine's own and the game cannot wait.
  if (!emscripten_has_asyncify()) return true;
  // 0: no storage to copy to, 1: copying, 2: done, 3: failed.
  int state = EM_ASM_INT({ return Module.ardoPersistStart ? Module.ardoPersistStart() : 0; });
  while (state == 1) {
    emscripten_sleep(5);
    state = EM_ASM_INT({ return Module.ardoPersistState(); });
  }
  return state != 3;
#else
  return true;
#endif
}

void AwaitArrival(const std::string& path, int most_ms) {
#ifdef __EMSCRIPTEN__
  if (!emscripten_has_asyncify()) return;
  // 1 while the page is still fetching the file (it then fetches that one next).
  for (int waited = 0; waited < most_ms; waited += 10) {
    if (EM_ASM_INT({ return Module.ardoArriving ? Module.ardoArriving(UTF8ToString($0)) : 0; }, path.c_str()) == 0) {
      return;
    }
    emscripten_sleep(10);
  }
#else
  (void)path;
  (void)most_ms;
#endif
}

}  // namespace ardo::platform
