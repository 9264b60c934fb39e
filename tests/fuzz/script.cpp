// The harness script (--script FILE) through its parser.
#include "drivers/drivers.h"
#include "fuzz/fuzz.h"
ARDO_FUZZ_TARGET(script) {
  ardo::fuzz::Setup();
  std::string error;
  (void)ardo::ParseScript(std::string(ardo::fuzz::Bytes(data, size)), "fuzz", &error);
  ardo::fuzz::EndInput();
  return 0;
}
