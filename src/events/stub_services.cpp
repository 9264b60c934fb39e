// TEMPORARY: services and stat changes, until the items work lands.
#include "events/events.h"

namespace ardo {

VbArray<Byte, 0, 7> ShopStock;

Byte Shop(const std::vector<int>&) { return 0; }
Byte Yado(int) { return 0; }
void ShowGold() {}
Byte Treasure(int, int) { return 0; }
void BoxOpen(int) {}
Byte GOLDAdd(long long) { return 0; }
Byte ExpAdd(long long) { return 0; }
Byte HPadd(int n) {
  const int s = Player.hp + n;
  if (s <= 0) { Player.hp = 0; return 255; }
  if (s > Player.mhp) { Player.hp = Player.mhp; return 255; }
  Player.hp = static_cast<Integer>(s);
  return 0;
}
Byte MPadd(int) { return 0; }
Byte MHPadd(int) { return 0; }
Byte MMPadd(int) { return 0; }
Byte PowAdd(int) { return 0; }
Byte DefAdd(int) { return 0; }
Byte SpdAdd(int) { return 0; }
std::string MoneyText(long long amount) { return std::to_string(amount); }

}  // namespace ardo
