// data/encount.dat through EncSet.
#include "battle/battle.h"
#include "fuzz/fuzz.h"
ARDO_FUZZ_TARGET(encount) {
  ardo::fuzz::Setup();
  ardo::fuzz::PutGameFile("data/encount.dat", ardo::fuzz::Bytes(data, size));
  ardo::EncSet();
  ardo::fuzz::EndInput();
  return 0;
}
