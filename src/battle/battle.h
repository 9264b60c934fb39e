// Battle: the encounter and enemy tables, the encounter roll, the battle loop with
// its commands, actions and effects.
#pragma once

#include <string>

#include "core/core.h"

namespace ardo {

// The fighting part of a combatant. The hero's record holds the same members in
// the same order from lv to sp (HeroStats copies them), so CalcDamage takes either side.
struct BattleStats {
  Byte lv = 0;
  Integer hp = 0;
  Integer mhp = 0;
  Integer mp = 0;
  Integer mmp = 0;
  Long exp = 0;
  Long gold = 0;
  Integer ap = 0;
  Integer dp = 0;
  Integer sp = 0;
};

struct EnemyRecord {
  std::string name;
  Integer srcX = 0;
  Integer srcY = 0;
  Integer spare = 0;
  Integer x = 0;
  Integer y = 0;
  BattleStats stats;
  Long w = 0;
  Long h = 0;
  Integer sleepResist = 0;
  Integer wakeChance = 0;
  VbArray<std::string, 0, 9> skills;
};

// One side's state for the length of a battle; all zero at its start.
struct BattleState {
  Byte asleep = 0;
  Byte spare = 0;
  Integer apBonus = 0;
  Integer dpBonus = 0;
  Integer spBonus = 0;
};

extern VbArray<EnemyRecord, 0, 200> EnemyTable;
extern Byte EnemyCount;
extern Integer EnemyId;
extern EnemyRecord Enemy;
extern VbArray<VbArray<Byte, 0, 10>, 0, 20> EncountTable;
extern Byte EncountCount;
extern BattleState HeroBattle;
extern BattleState EnemyBattle;
// The strength (0-3) chosen for spells 0-3.
extern Integer SpellPower;
// True while a battle runs (for the harness).
extern bool InBattle;

// Battle command codes returned by btldeal.
constexpr Byte kCmdFight = 0;
constexpr Byte kCmdRun = 3;
constexpr Byte kCmdSpell = 32;  // + the row of window 13
constexpr Byte kCmdItem = 48;   // + the inventory slot

// ---- Tables and the encounter roll.
void EncSet();
void EnemySet();
// The random-encounter roll after a completed step (the field loop's hook): the
// pick, then the battle.
void EncounterRoll();
// The pick alone: true, with EnemyId and Enemy set, when a battle is to start.
bool EncounterPick();

// ---- The battle.
// Runs one battle against Enemy (already copied from EnemyTable(EnemyId)): 0 when
// the hero is still alive at its end (won or escaped), 255 when he was defeated.
Byte BtlMain(bool escapable, const std::string& music);
// BtlMain's first steps: reseed, then vary Enemy's values for this battle.
void RandomiseEnemy();
void BtlEnt(const std::string& music);
void BtlDrawBack(int withStatus);
void BtlDrawEnemy(int row, int pose, int dx, int dy);
void BtlDrawHero(int pose, int dx, int dy);
// One line in the one-line panel, window 14.
void BtlText(const std::string& text);
Byte btldeal(int window);
Integer CalcDamage(const BattleStats& att, const BattleState& attState, const BattleStats& def,
                   const BattleState& defState, int divisor);
void Attack();
void Escape();
void BtlWin(int pose);
void GameOver();
// The hero's fighting values as BattleStats.
BattleStats HeroStats();
// A number over the enemy (or "MISS!" when d <= 0) for one frame of the shake, in the
// battle's red 14-point style, then the surface's style back to grey 9 point.
void DrawBattleNumber(const std::string& text, int x, int y, platform::Color colour);

// ---- Actions: what a spell, an item and the enemy's turn do.
void BtlMagic(int row);
void BtlUsePose();
Byte BtlItemUse(int slot);
void EnemyAct();
// The enemy takes d (already subtracted): the hit sound and seven frames of it shaking
// with d over it, or "MISS!" for a moment when d < 1. Faults go to `on`.
void EnemyTakes(const Trap& on, Integer d);
void EnemyFlash(int n);
// Enemy.stats.hp += n, no higher than its maximum.
void EnemyHeal(int n);

// ---- Effects; onHero 0 plays it on the enemy, 1 on the hero.
void EffIce(int onHero);
void EffFire(int onHero);
void EffThunder(int onHero);
void EffBomb(int onHero);
// The hero's healing spell at SpellPower, with the amount in blue over him.
void EffHeal();
// Up to `count` growing arcs around (cx, cy), each to radius 300.
void EffRing(int cx, int cy, int count, platform::Color colour, double aspect);

// Back to the start-up state: enemy and encounter tables emptied, no battle.
void ResetBattleState();

}  // namespace ardo
