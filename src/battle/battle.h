// Battle: the encounter and enemy tables, the encounter roll, the battle loop with
// its commands, actions and effects.
#pragma once

#include <string>

#include "core/core.h"

namespace ardo {

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

extern VbArray<EnemyRecord, 0, 200> EnemyTable;
extern Byte EnemyCount;
extern Integer EnemyId;
extern EnemyRecord Enemy;
extern VbArray<VbArray<Byte, 0, 10>, 0, 20> EncountTable;
extern Byte EncountCount;
// True while a battle runs (for the harness).
extern bool InBattle;

void EncSet();
void EnemySet();
// The random-encounter roll after a completed step.
void EncounterRoll();
Byte BtlMain(bool escapable, const std::string& music);
// One line in the one-line panel, window 14.
void BtlText(const std::string& text);

// Back to the start-up state: enemy and encounter tables emptied, no battle.
void ResetBattleState();

}  // namespace ardo
