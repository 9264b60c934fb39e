// The events' program-wide state back to its start-up value.
#include "events/events.h"

namespace ardo {

void ResetEventState() {
  for (auto& c : Chars) c = CharRecord{};
  CharCount = 0;
  for (auto& s : ShopStock) s = 0;
  ExitTable.clear();
}

}  // namespace ardo
