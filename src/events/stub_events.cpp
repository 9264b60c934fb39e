// The event processor arrives with the story; until then no cell has an event.
#include "events/events.h"

namespace ardo {

Byte EventProc(int, int, bool) { return 0; }

}  // namespace ardo
