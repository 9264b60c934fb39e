// Which General MIDI soundfont the music player loads.
#include "platform/music_synth.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/platform.h"

namespace ardo::platform {

namespace {
std::string g_soundfont_override;
}  // namespace

const std::vector<std::string>& SoundFontCandidates() {
  // FluidR3 (fluid-soundfont-gm) is the fuller set; TimGM6mb is small and always there.
  static const std::vector<std::string> candidates = {
      "/usr/share/sounds/sf2/FluidR3_GM.sf2",
      "/usr/share/sounds/sf2/TimGM6mb.sf2",
      "/usr/share/sounds/sf2/default-GM.sf2",
  };
  return candidates;
}

void SetSoundFontOverride(const std::string& path) { g_soundfont_override = path; }
const std::string& SoundFontOverride() { return g_soundfont_override; }

std::string ChooseSoundFont(const std::string& wanted, const std::vector<std::string>& candidates,
                            std::string* note) {
  std::error_code ec;
  if (!wanted.empty()) {
    if (std::filesystem::is_regular_file(wanted, ec)) return wanted;
    if (note != nullptr) *note = wanted + ": soundfont not found; using the system's";
  }
  for (const std::string& c : candidates) {
    if (std::filesystem::is_regular_file(c, ec)) return c;
  }
  if (note != nullptr) {
    *note = "no soundfont found (install fluid-soundfont-gm or timgm6mb-soundfont); music is silent";
  }
  return {};
}

fluid_settings_t* NewMusicSettings(double rate) {
  fluid_settings_t* settings = new_fluid_settings();
  if (settings == nullptr) return nullptr;
  fluid_settings_setnum(settings, "synth.sample-rate", rate);
  fluid_settings_setnum(settings, "synth.gain", kMusicGain);
  fluid_settings_setint(settings, "player.reset-synth", 0);  // opening a tune resets instead
  // Only the instruments a tune uses are read into memory (FluidR3 is 140 MB).
  fluid_settings_setint(settings, "synth.dynamic-sample-loading", 1);
  return settings;
}

bool RenderMusicOffline(const std::string& soundfont, const std::string& midi_path, double seconds,
                        std::vector<std::int16_t>* stereo, std::string* error) {
  std::ifstream in(midi_path, std::ios::binary);
  std::vector<char> midi((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in.is_open() || midi.size() < 14 || std::memcmp(midi.data(), "MThd", 4) != 0) {
    *error = midi_path + ": not a MIDI file";
    return false;
  }
  fluid_settings_t* settings = NewMusicSettings(44100);
  fluid_synth_t* synth = settings != nullptr ? new_fluid_synth(settings) : nullptr;
  bool ok = synth != nullptr && fluid_synth_sfload(synth, soundfont.c_str(), 1) != FLUID_FAILED;
  if (!ok) *error = soundfont + ": cannot load the soundfont";
  fluid_player_t* player = ok ? new_fluid_player(synth) : nullptr;
  if (ok && (player == nullptr || fluid_player_add_mem(player, midi.data(), midi.size()) != FLUID_OK ||
             fluid_player_play(player) != FLUID_OK)) {
    *error = midi_path + ": cannot play";
    ok = false;
  }
  if (ok) {
    const auto frames = static_cast<std::size_t>(seconds * 44100);
    stereo->assign(2 * frames, 0);
    constexpr std::size_t kBlock = 1024;  // as the game's audio callback
    std::size_t f = 0;
    for (; f < frames; f += kBlock) {
      const int n = static_cast<int>(std::min(kBlock, frames - f));
      fluid_synth_write_s16(synth, n, stereo->data() + 2 * f, 0, 2, stereo->data() + 2 * f, 1, 2);
      const int total = fluid_player_get_total_ticks(player);
      if (total > 0 && fluid_player_get_current_tick(player) >= total) break;  // the game restarts it here
    }
    stereo->resize(2 * std::min(frames, f + kBlock));
  }
  if (player != nullptr) {
    fluid_player_stop(player);
    delete_fluid_player(player);
  }
  if (synth != nullptr) delete_fluid_synth(synth);
  if (settings != nullptr) delete_fluid_settings(settings);
  return ok;
}

}  // namespace ardo::platform
