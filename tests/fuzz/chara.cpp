// data/chara.dat through CharaSet (its caller logs what it throws).
#include "events/events.h"
#include "fuzz/fuzz.h"
ARDO_FUZZ_TARGET(chara) {
  ardo::fuzz::Setup();
  ardo::fuzz::PutGameFile("data/chara.dat", ardo::fuzz::Bytes(data, size));
  const ardo::Trap on("fuzz");
  on([] { ardo::CharaSet("town1"); });
  on([] { ardo::CharaSet("field"); });
  ardo::fuzz::EndInput();
  return 0;
}
