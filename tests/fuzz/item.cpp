// data/item.dat through ItemSet.
#include "fuzz/fuzz.h"
#include "items/items.h"
ARDO_FUZZ_TARGET(item) {
  ardo::fuzz::Setup();
  ardo::fuzz::PutGameFile("data/item.dat", ardo::fuzz::Bytes(data, size));
  ardo::ItemSet();
  ardo::fuzz::EndInput();
  return 0;
}
