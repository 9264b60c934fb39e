// ardo-mmlc: compiles a music macro language source into a Standard MIDI File.
//
//   ardo-mmlc IN.mml OUT.mid     compile
//   ardo-mmlc --info IN.mml      note counts and durations per track
#include <cstring>
#include <iostream>

#include "mml.h"
#include "toolcommon.h"

namespace {

constexpr const char* kUsage =
    "usage: ardo-mmlc IN.mml OUT.mid\n"
    "       ardo-mmlc --info IN.mml\n"
    "The dialect is described in assets/music/MML.md.\n";

int body(int argc, char** argv) {
  using namespace ardo;
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::cout << kUsage;
    return 0;
  }
  const bool info = argc == 3 && std::strcmp(argv[1], "--info") == 0;
  if (!info && (argc != 3 || argv[1][0] == '-')) {
    std::cerr << kUsage;
    return 2;
  }
  const std::string in = argv[info ? 2 : 1];
  std::string source, err;
  if (!tool::read_file(in, source, err)) {
    std::cerr << "ardo-mmlc: " << err << '\n';
    return 1;
  }
  const mml::Song song = mml::compile(source, in);
  if (info) {
    std::cout << mml::info(song);
    return 0;
  }
  if (!tool::write_file_atomic(argv[2], mml::write_smf(song), err)) {
    std::cerr << "ardo-mmlc: " << err << '\n';
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) { return ardo::tool::run_main("ardo-mmlc", argc, argv, body); }
