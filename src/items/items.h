// Items, magic and growth: the item table and the inventory, the spell table, the
// level table and level-ups, and the healing spell.
#pragma once

#include <string>

#include "core/core.h"
#include "ui/words.h"

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

// The effects of an item are the same in the item window and in battle; only the way
// they are shown differs.
// Kinds 1 and 2: what the item restores (taken when Value is negative): q = Value \ 4
// (toward zero), then Rnd x q + 3 x q, so between three quarters of Value and Value.
Integer ItemRestoreAmount(Integer value);
// Kinds 3 to 7: the gain, 1 or Value + 1 with even chance.
long long ItemGrowthGain(Integer value);
// Uses a growth item (kind 3 to 7) of this Value: draws the gain and adds it to its
// stat, each step under the caller's handler; returns the gain (0 when drawing it faulted).
long long UseGrowthItem(Byte kind, Integer value, const Trap& on);
// Adds a gain to the stat of growth kind 3 to 7: MHPadd, MMPadd, or attack, defence
// and speed directly, which have no limit of their own (a sum beyond the Integer range
// stops at its end).
void AddGrowth(Byte kind, long long gain);
// What growth kind 3 to 7 says it gave ({1}: how much).
Say GrowthWord(Byte kind);

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
