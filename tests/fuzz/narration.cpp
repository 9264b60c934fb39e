// narration/NAME.txt (the scrolled texts of the opening, the demo and the ending).
#include "fuzz/fuzz.h"
#include "presentation/presentation.h"
ARDO_FUZZ_TARGET(narration) {
  ardo::fuzz::Setup();
  ardo::fuzz::PutGameFile("narration/fuzz.txt", ardo::fuzz::Bytes(data, size));
  for (const std::string& row : ardo::LoadNarration("fuzz", 64, "fuzz")) (void)ardo::NarrationRowCells(row);
  ardo::fuzz::EndInput();
  return 0;
}
