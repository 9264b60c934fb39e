// Battles arrive with their own work; until then the tables stay empty and no
// encounter can start.
#include "battle/battle.h"

namespace ardo {

VbArray<EnemyRecord, 0, 200> EnemyTable;
Byte EnemyCount = 0;
Integer EnemyId = 0;
EnemyRecord Enemy;
VbArray<VbArray<Byte, 0, 10>, 0, 20> EncountTable;
Byte EncountCount = 0;
bool InBattle = false;

void EncSet() {}
void EnemySet() {}
void EncounterRoll() {}
Byte BtlMain(bool, const std::string&) { return 0; }

}  // namespace ardo
