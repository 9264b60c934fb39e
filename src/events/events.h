// Characters and events: the people of each map and their wandering, the hero's
// step test, the event processor, conversations, and the services and stat changes
// that scripts call (shops, inns, treasure, money, experience, HP and the rest).
#pragma once

#include <string>
#include <vector>

#include "core/core.h"

namespace ardo {

struct CharRecord {
  Byte talk = 0;
  Integer x = 0;
  Integer y = 0;
  Integer pic = 0;
  Byte walks = 0;
  Integer dx = 0;
  Integer dy = 0;
  Byte dir = 0;
  Integer canMove = 0;
  Integer step = 0;
};

extern VbArray<CharRecord, 0, 255> Chars;
extern Byte CharCount;

void CharaSet(const std::string& map);
void ChrMove();
void ChrDraw(int i, int pdx, int pdy, int refresh);
int TryStep(int dx, int dy);
void PlayerMove(int dx, int dy);
// Turns character k toward the hero, draws the field, runs its conversation and turns
// it back (the talk button, and walking into someone with auto-talk on).
void TalkFacingHero(int k);
// What the hero's cell does when he arrives on it: snow takes footprints (90 becomes 79
// after a sideways step, 78 otherwise), the damaging floor 106 costs 2 HP while he has more.
void ArrivalTileEffects();

// The position script: runs the event of cell (x, y) of the current map; 255 when handled.
Byte EventProc(int x, int y, bool enabled);
// Runs the conversation of character index.
void Talk(int index);

// Services and stat changes.
extern VbArray<Byte, 0, 7> ShopStock;
Byte Shop(const std::vector<int>& goods);
Byte Yado(int price);
void ShowGold();
Byte Treasure(int goods, int flag);
void BoxOpen(int index);
Byte GOLDAdd(long long n);
Byte ExpAdd(long long n);
Byte HPadd(int n);
Byte MPadd(int n);
Byte MHPadd(int n);
Byte MMPadd(int n);
Byte PowAdd(int n);
Byte DefAdd(int n);
Byte SpdAdd(int n);
// An amount of money as full-width digits.
std::string MoneyText(long long amount);

// Back to the start-up state: no characters, an empty shop.
void ResetEventState();

}  // namespace ardo
