// The title sequence. Until the title screen exists, a new game starts at once in
// the home village.
#include "core/core.h"
#include "events/events.h"
#include "field/field.h"
#include "presentation/presentation.h"
#include "sound/sound.h"

namespace ardo {

void Title() {
  ReturnToTitle = false;
  Init_PlayerStatus();
  MapName = "town1";
  BgmName = "tender";
  CloseBgm();
  PlayBgm(BgmName);
  MapLoad(MapName);
  CharaSet(MapName);
  Flags(1) = 0;
}

void Ending() {}
void StaffRoll() {}

}  // namespace ardo
