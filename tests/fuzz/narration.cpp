// narration/NAME.txt (the scrolled texts of the opening, the demo and the ending).
#include "fuzz/fuzz.h"
#include "presentation/presentation.h"
ARDO_FUZZ_TARGET(narration) {
  ardo::fuzz::Setup();
  ardo::fuzz::PutGameFile("narration/fuzz.txt", ardo::fuzz::Bytes(data, size));
  ardo::LoadNarration("fuzz", 64, "fuzz");
  ardo::fuzz::EndInput();
  return 0;
}
