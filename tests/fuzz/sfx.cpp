// ardo-sfxc's input: a sound effect's parameters, rendered and written as a WAV file.
#include <stdexcept>

#include "fuzz/fuzz.h"
#include "sfx.h"

ARDO_FUZZ_TARGET(sfx) {
  ardo::fuzz::Setup();
  try {
    const ardo::sfx::Effect effect = ardo::sfx::parse(ardo::fuzz::Bytes(data, size), "fuzz.sfx");
    (void)ardo::sfx::wav_file(ardo::sfx::render(effect));
  } catch (const std::exception&) {
  }
  ardo::fuzz::EndInput();
  return 0;
}
