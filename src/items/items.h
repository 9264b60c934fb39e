// Items, magic and growth: the item table and the inventory, the spell table, the
// level table and level-ups, and the healing spell.
#pragma once

#include <string>

#include "core/core.h"

namespace ardo {

struct ItemRecord {
  std::string Name;
  Byte Kind = 0;
  Byte NoField = 0;
  Integer Value = 0;
  Byte Keep = 0;
  Long Price = 0;
};

extern VbArray<ItemRecord, 0, 255> ItemTable;
extern Byte ItemCount;

void ItemSet();
Byte ItemAdd(int id);
Byte ItemDel(int id);
Byte ItemHave(int id);
void ItemSwap(int a, int b);
// Moves the carried items up over empty slots, keeping their order (the item window
// after something was used up or thrown away).
void CloseUpItems();
void ItemDrop(int slot);
void ItemUse(int slot);

struct MagicRecord {
  std::string Name;
  Integer Cost = 0;
};
extern VbArray<MagicRecord, 0, 10> MagicTable;
void MagSet();

struct LevelRecord {
  Long Exp = 0;
  Integer MaxHpUp = 0;
  Integer MaxMpUp = 0;
  Integer AttackUp = 0;
  Integer DefenceUp = 0;
  Integer SpeedUp = 0;
};
extern VbArray<LevelRecord, 0, 255> LevelTable;
void LvupSet();
Byte Lv_Up();
void Heal(int strength);

// Back to the start-up state: the item, magic and level tables emptied.
void ResetItemState();

}  // namespace ardo
