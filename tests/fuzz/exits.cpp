// data/exits.dat through ExitSet.
#include "events/events.h"
#include "fuzz/fuzz.h"
ARDO_FUZZ_TARGET(exits) {
  ardo::fuzz::Setup();
  ardo::fuzz::PutGameFile("data/exits.dat", ardo::fuzz::Bytes(data, size));
  ardo::ExitSet();
  ardo::fuzz::EndInput();
  return 0;
}
