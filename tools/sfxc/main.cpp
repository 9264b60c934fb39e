// ardo-sfxc: renders a sound effect parameter file into a WAV file
// (16-bit mono PCM, 44100 Hz). The format is described in assets/sound/README.md.
//
//   ardo-sfxc IN.sfx OUT.wav
#include <cstring>
#include <iostream>

#include "sfx.h"
#include "toolcommon.h"

namespace {

constexpr const char* kUsage = "usage: ardo-sfxc IN.sfx OUT.wav\n";

int body(int argc, char** argv) {
  using namespace ardo;
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::cout << kUsage << "The parameter format is described in assets/sound/README.md.\n";
    return 0;
  }
  if (argc != 3 || argv[1][0] == '-') {
    std::cerr << kUsage;
    return 2;
  }
  std::string text, err;
  if (!tool::read_file(argv[1], text, err)) {
    std::cerr << "ardo-sfxc: " << err << '\n';
    return 1;
  }
  const sfx::Effect effect = sfx::parse(text, argv[1]);
  if (!tool::write_file_atomic(argv[2], sfx::wav_file(sfx::render(effect)), err)) {
    std::cerr << "ardo-sfxc: " << err << '\n';
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) { return ardo::tool::run_main("ardo-sfxc", argc, argv, body); }
