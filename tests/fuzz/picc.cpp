// ardo-picc's input: a picture source (palette, pixel grids, generators).
#include "fuzz/fuzz.h"
#include "picc.h"

ARDO_FUZZ_TARGET(picc) {
  ardo::fuzz::Setup();
  ardo::picc::Result result;
  ardo::picc::Error error;
  // `use` and `include` are looked up beside the source: in the empty scratch folder.
  // The program catches nothing: whatever escapes CompileText would end it abnormally.
  if (ardo::picc::CompileText(ardo::fuzz::Bytes(data, size), ardo::fuzz::GameFolder() + "/fuzz.txt", &result,
                              &error)) {
    (void)ardo::picc::FigureMask(result.picture);
  }
  ardo::fuzz::EndInput();
  return 0;
}
