// The autopilot's battle tactics: heal in danger, run from what he cannot heal in,
// spells against bosses, and the sword for the rest.
#include "drivers/tactics.h"

#include <algorithm>

#include "battle/battle.h"
#include "events/story.h"
#include "items/items.h"

namespace ardo::autopilot {

namespace {

// In danger: heal with 回復, else with a healing item, else run from an ordinary
// battle. False when none of them can be done (a boss is fought on).
bool PlanRescue(bool boss, const std::map<int, int>& keep, MenuPlan* plan) {
  const int s = HealStrength();
  if (s >= 0) {
    *plan = {{win::kBattleCommands, row::kBattleMagic}, {win::kBattleSpells, row::kHeal}, {win::kHealStrength, s}};
    return true;
  }
  const int slot = HealingItemSlot(true, keep);
  if (slot >= 0) {
    *plan = {{win::kBattleCommands, row::kBattleItems}, {win::kItems, slot}};
    return true;
  }
  if (!boss) {
    *plan = {{win::kBattleCommands, row::kRun}};
    return true;
  }
  return false;
}

MenuPlan CarefulTurn(bool boss, const std::map<int, int>& keep) {
  MenuPlan plan;
  // Heal below a third; against a boss, whose blows are heavier, below a half.
  if (Player.hp * (boss ? 2 : 3) < Player.mhp) {
    if (PlanRescue(boss, keep, &plan)) return plan;
  }
  if (boss) {
    // The strongest attack spell the magic points allow, keeping one healing back.
    const int reserve = MagicTable(0).Cost * 2;
    int best_row = -1, best_power = 0, best_score = 0;
    for (int spell = 1; spell <= 3; ++spell) {
      const int cost = MagicTable(spell).Cost;
      for (int p = 0; p <= 3; ++p) {
        if (Player.mp < cost * (p + 1) * 2 || Player.mp - cost * (2 * p + 1) < reserve) break;
        const int score = (2 * p + 1 + spell) * spell;
        if (score > best_score) {
          best_score = score;
          best_row = spell;
          best_power = p;
        }
      }
    }
    if (best_row >= 0) {
      return {
          {win::kBattleCommands, row::kBattleMagic}, {win::kBattleSpells, best_row}, {win::kHealStrength, best_power}};
    }
    // Out of magic: a drink when healing would soon be needed, else the biggest bomb.
    const int water = ItemSlotOfKind(kMagicWaterKind, false);
    if (Player.mp < reserve * 2 && Player.hp * 2 < Player.mhp && water >= 0) {
      return {{win::kBattleCommands, row::kBattleItems}, {win::kItems, water}};
    }
    const int bomb = ItemSlotOfKind(kBombKind, true);
    if (bomb >= 0) return {{win::kBattleCommands, row::kBattleItems}, {win::kItems, bomb}};
  }
  return {{win::kBattleCommands, row::kFight}};
}

// The largest plain blow of the enemy at the hero (the top of the damage roll).
double EnemyWorstBlow() {
  const double a = Enemy.stats.ap, d = std::max<double>(1, Player.dp);
  return std::max(1.0, ((a / d) / 5 + 0.5) * a - d / 5);
}

// Heals when the next blows could fell him; runs from an ordinary battle he cannot heal
// in; casts the spell people told him about against that enemy; otherwise fights with
// the sword. Bosses as the careful player fights them.
MenuPlan NoviceTurn(bool boss, const std::map<int, int>& keep, const std::map<int, int>& hints) {
  MenuPlan plan;
  const double worst = EnemyWorstBlow();
  const bool danger = Player.hp < worst * 1.5 || Player.hp * 3 < Player.mhp || (boss && Player.hp * 2 < Player.mhp);
  if (danger) {
    if (PlanRescue(boss, keep, &plan)) return plan;
  }
  const auto hint = hints.find(EnemyId);
  if (!boss && hint != hints.end()) {
    const int cost = MagicTable(hint->second).Cost;
    const int reserve = MagicTable(0).Cost * 2;
    if (Player.mp >= cost * 2 && Player.mp - cost * 2 >= reserve) {
      return {{win::kBattleCommands, row::kBattleMagic}, {win::kBattleSpells, hint->second}, {win::kHealStrength, 0}};
    }
  }
  if (boss) return CarefulTurn(boss, keep);
  return {{win::kBattleCommands, row::kFight}};
}

}  // namespace

int HealStrength() {
  const int cost = MagicTable(0).Cost;
  const int missing = Player.mhp - Player.hp;
  static constexpr int kLeast[4] = {49, 175, 700, 9999};
  int best = -1;
  for (int s = 0; s < 4; ++s) {
    if (Player.mp < (s + 1) * cost * 2) break;
    best = s;
    if (kLeast[s] >= missing) break;
  }
  return best;
}

int HealingItemSlot(bool battle, const std::map<int, int>& keep) {
  int best = -1, best_value = 0;
  const int missing = Player.mhp - Player.hp;
  for (int s = 0; s <= 14; ++s) {
    const int id = Player.items(s);
    if (id == 0) continue;
    const ItemRecord& it = ItemTable(id);
    if (it.Kind != kHealingKind || it.Value <= 0 || (!battle && it.NoField != 0)) continue;
    if (keep.count(id) && id == story::kGuardGift) continue;  // the guard's gift is not a snack
    // The smallest that covers what is missing, else the largest.
    const bool covers = it.Value * 3 / 4 >= missing;
    const bool best_covers = best >= 0 && best_value * 3 / 4 >= missing;
    if (best < 0 || (covers && (!best_covers || it.Value < best_value)) ||
        (!covers && !best_covers && it.Value > best_value)) {
      best = s;
      best_value = it.Value;
    }
  }
  return best;
}

int ItemSlotOfKind(int kind, bool strongest) {
  int best = -1, best_value = 0;
  for (int s = 0; s <= 14; ++s) {
    const int id = Player.items(s);
    if (id == 0 || ItemTable(id).Kind != kind) continue;
    const int v = ItemTable(id).Value;
    if (best < 0 || (strongest ? v > best_value : v < best_value)) {
      best = s;
      best_value = v;
    }
  }
  return best;
}

MenuPlan PlanTurn(bool novice, bool boss, const std::map<int, int>& keep, const std::map<int, int>& hints) {
  return novice ? NoviceTurn(boss, keep, hints) : CarefulTurn(boss, keep);
}

}  // namespace ardo::autopilot
