// The autopilot's battle tactics, and the reckoning of spells and items the pilot also
// uses on the field: what to do with the turn, told as the menu rows to choose.
#pragma once

#include <map>
#include <vector>

#include "ui/ui.h"

namespace ardo::autopilot {

// A row of a window to choose; a plan is the rows chosen one after another.
struct MenuStep {
  win::Id window;
  int row;
};
using MenuPlan = std::vector<MenuStep>;

// The rows of the menus the pilot uses.
namespace row {
constexpr int kFight = 0, kBattleItems = 1, kBattleMagic = 2, kRun = 3;  // the battle's commands
constexpr int kItems = 0, kMagic = 1, kSystem = 3;                       // the field menu
constexpr int kSave = 0;                                                 // the system menu
constexpr int kYes = 0, kNo = 1;                                         // the question
constexpr int kContinue = 0, kNewGame = 1;                               // the title menu
constexpr int kHeal = 0;                                                 // the spell lists
constexpr int kTrash = 15;                                               // the item list
}  // namespace row

// Item kinds: 1 heals, 2 gives magic points back, 3 to 7 make the hero grow, 8 is a bomb.
constexpr int kHealingKind = 1, kMagicWaterKind = 2, kFirstGrowthKind = 3, kLastGrowthKind = 7, kBombKind = 8;

// The strength of 回復 (0 to 3) that covers what the hero has lost, or the strongest his
// magic points allow with as much again left in hand; -1 when they allow none.
int HealStrength();
// The slot of the healing item that best covers what the hero has lost (on the field,
// one that can be used there); -1 when he has none. The route's `keep` list says what
// is kept for other ends.
int HealingItemSlot(bool battle, const std::map<int, int>& keep);
// The slot of the weakest (or the strongest) item of a kind, or -1.
int ItemSlotOfKind(int kind, bool strongest);

// The turn in battle: the careful player's, or a newcomer's (novice). `boss`: the enemy is
// one of the route's bosses; `keep`: item -> how many the route keeps; `hints`: enemy ->
// the spell people said beats it (a newcomer listens to them).
MenuPlan PlanTurn(bool novice, bool boss, const std::map<int, int>& keep, const std::map<int, int>& hints);

}  // namespace ardo::autopilot
