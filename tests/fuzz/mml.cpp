// ardo-mmlc's input: MML text, compiled and written as a MIDI file with its --info report.
#include <stdexcept>

#include "fuzz/fuzz.h"
#include "mml.h"

ARDO_FUZZ_TARGET(mml) {
  ardo::fuzz::Setup();
  try {
    const ardo::mml::Song song = ardo::mml::compile(ardo::fuzz::Bytes(data, size), "fuzz.mml");
    (void)ardo::mml::write_smf(song);
    (void)ardo::mml::info(song);
  } catch (const std::exception&) {
  }
  ardo::fuzz::EndInput();
  return 0;
}
