// TEMPORARY: characters and the step test, until the characters work lands.
#include "events/events.h"
#include "field/field.h"

namespace ardo {

VbArray<CharRecord, 0, 255> Chars;
Byte CharCount = 0;

void CharaSet(const std::string&) {}
void ChrMove() {}
void ChrDraw(int, int, int, int) {}

int TryStep(int dx, int dy) {
  if (dy == 1) Player.dir = 0;
  else if (dy == -1) Player.dir = 1;
  else if (dx == 1) Player.dir = 3;
  else if (dx == -1) Player.dir = 2;
  const int tx = Player.x + dx, ty = Player.y + dy;
  if ((MapData(tx, ty).attr & kAttrBlocked) != 0) return -1;
  Player.x = CInt(tx);
  Player.y = CInt(ty);
  return 0;
}

void PlayerMove(int, int) {}

}  // namespace ardo
