// data/lvup.dat through LvupSet.
#include "fuzz/fuzz.h"
#include "items/items.h"
ARDO_FUZZ_TARGET(lvup) {
  ardo::fuzz::Setup();
  ardo::fuzz::PutGameFile("data/lvup.dat", ardo::fuzz::Bytes(data, size));
  ardo::LvupSet();
  ardo::fuzz::EndInput();
  return 0;
}
