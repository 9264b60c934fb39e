// The autopilot's route (--route FILE) through its reader.
#include "drivers/drivers.h"
#include "fuzz/fuzz.h"
ARDO_FUZZ_TARGET(route) {
  ardo::fuzz::Setup();
  ardo::fuzz::PutGameFile("autopilot/route.txt", ardo::fuzz::Bytes(data, size));
  std::string error;
  (void)ardo::LoadAutopilot(ardo::fuzz::GameFolder() + "/autopilot/route.txt", &error);
  ardo::fuzz::EndInput();
  return 0;
}
