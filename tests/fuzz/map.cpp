// data/map/NAME.map through MapLoad, the loader the game and the console use.
#include "field/field.h"
#include "fuzz/fuzz.h"
ARDO_FUZZ_TARGET(map) {
  ardo::fuzz::Setup();
  ardo::fuzz::PutGameFile("map/fuzz.map", ardo::fuzz::Bytes(data, size));
  ardo::MapLoad("fuzz");
  ardo::fuzz::EndInput();
  return 0;
}
