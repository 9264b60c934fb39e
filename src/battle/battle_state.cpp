// The battle's program-wide state back to its start-up value.
#include "battle/battle.h"

namespace ardo {

void ResetBattleState() {
  for (auto& e : EnemyTable) e = EnemyRecord{};
  EnemyCount = 0;
  EnemyId = 0;
  Enemy = EnemyRecord{};
  for (auto& row : EncountTable) row = {};
  EncountCount = 0;
  HeroBattle = BattleState{};
  EnemyBattle = BattleState{};
  SpellPower = 0;
  InBattle = false;
}

}  // namespace ardo
