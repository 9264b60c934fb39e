// The event processor and conversations arrive with the story; until then no cell
// has an event and nobody has anything to say.
#include "events/events.h"

namespace ardo {

Byte EventProc(int, int, bool) { return 0; }
void Talk(int) {}

}  // namespace ardo
