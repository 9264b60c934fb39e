// save/N.vkd, a save slot, through the start-up scan (the reading and checking that
// Load shares).
#include "fuzz/fuzz.h"
#include "save/save.h"
ARDO_FUZZ_TARGET(slot) {
  ardo::fuzz::Setup();
  ardo::fuzz::PutGameFile("save/1.vkd", ardo::fuzz::Bytes(data, size));
  ardo::ScanSaves();
  ardo::fuzz::EndInput();
  return 0;
}
