// TEMPORARY: items, magic and levels, until the items work lands.
#include "items/items.h"

namespace ardo {

VbArray<ItemRecord, 0, 255> ItemTable;
Byte ItemCount = 0;
VbArray<MagicRecord, 0, 10> MagicTable;
VbArray<LevelRecord, 0, 255> LevelTable;

void ItemSet() {}
Byte ItemAdd(int) { return 255; }
Byte ItemDel(int) { return 255; }
Byte ItemHave(int) { return 255; }
void ItemSwap(int, int) {}
void ItemDrop(int) {}
void ItemUse(int) {}
void MagSet() {}
void LvupSet() {}
Byte Lv_Up() { return 255; }
void Heal(int) {}

}  // namespace ardo
