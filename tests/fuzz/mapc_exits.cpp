// ardo-mapc's exits sources (assets/maps/*.exits) through `ardo-mapc exits`.
#include <stdexcept>

#include "exits.h"
#include "fuzz/fuzz.h"

ARDO_FUZZ_TARGET(mapc_exits) {
  ardo::fuzz::Setup();
  ardo::fuzz::PutGameFile("town1.exits", ardo::fuzz::Bytes(data, size));
  try {
    (void)ardo::mapc::compile_exits({ardo::fuzz::GameFolder() + "/town1.exits"}, "");
  } catch (const std::exception&) {
  }
  ardo::fuzz::EndInput();
  return 0;
}
