// ardo-oggc: renders a tune's MIDI file into loopable Ogg Vorbis for the game's music/
// (see assets/music/README.md).
//
//   ardo-oggc [--soundfont FILE] [--quality Q] IN.mid OUT.ogg
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>

#include "render.h"
#include "toolcommon.h"

namespace {

constexpr const char* kUsage = "usage: ardo-oggc [--soundfont FILE] [--quality Q] IN.mid OUT.ogg\n";
// libvorbis's quality 0 (about 64 kbit/s for these tunes): clean strings and brass at a
// size a download can carry. The notes ring on for up to four seconds after the last bar.
constexpr float kQuality = 0.0f;
constexpr double kTailSeconds = 4.0;

int body(int argc, char** argv) {
  using namespace ardo;
  std::string wanted;
  float quality = kQuality;
  int i = 1;
  for (; i < argc && argv[i][0] == '-'; ++i) {
    const std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      std::cout << kUsage << "The soundfont is FluidR3 when installed (fluid-soundfont-gm), else TimGM6mb.\n";
      return 0;
    }
    if ((a == "--soundfont" || a == "--quality") && i + 1 < argc) {
      const std::string v = argv[++i];
      if (a == "--soundfont") {
        wanted = v;
      } else {
        try {
          quality = std::stof(v);
        } catch (...) {
          std::cerr << kUsage;
          return 2;
        }
      }
      continue;
    }
    std::cerr << kUsage;
    return 2;
  }
  if (argc - i != 2) {
    std::cerr << kUsage;
    return 2;
  }
  const std::string in = argv[i], out = argv[i + 1];
  std::string note;
  const std::string sf = oggc::ChooseSoundFont(wanted, oggc::SoundFontCandidates(), &note);
  if (!note.empty()) std::cerr << "ardo-oggc: " << note << '\n';
  if (sf.empty()) return 1;
  if (sf != oggc::SoundFontCandidates().front() && wanted.empty()) {
    std::cerr << "ardo-oggc: " << in << ": rendered with " << sf
              << " (the levels are set for FluidR3: install fluid-soundfont-gm)\n";
  }
  std::string text, err;
  if (!tool::read_file(in, text, err)) {
    std::cerr << "ardo-oggc: " << err << '\n';
    return 1;
  }
  oggc::Rendered tune;
  std::string ogg;
  const std::vector<char> midi(text.begin(), text.end());
  if (!oggc::RenderTune(sf, midi, kTailSeconds, &tune, &err) ||
      !oggc::EncodeOgg(tune, quality, std::filesystem::path(in).stem().string(), &ogg, &err) ||
      !tool::write_file_atomic(out, ogg, err)) {
    std::cerr << "ardo-oggc: " << in << ": " << err << '\n';
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) { return ardo::tool::run_main("ardo-oggc", argc, argv, body); }
