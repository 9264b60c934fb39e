// data/enemy.dat through EnemySet.
#include "battle/battle.h"
#include "fuzz/fuzz.h"
ARDO_FUZZ_TARGET(enemy) {
  ardo::fuzz::Setup();
  ardo::fuzz::PutGameFile("data/enemy.dat", ardo::fuzz::Bytes(data, size));
  ardo::EnemySet();
  ardo::fuzz::EndInput();
  return 0;
}
