// Conversations arrive with the story; until then nobody has anything to say.
#include "events/events.h"

namespace ardo {

void Talk(int) {}

}  // namespace ardo
