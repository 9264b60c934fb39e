#include "render.h"

#include <fluidsynth.h>
#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>

namespace ardo::oggc {

const std::vector<std::string>& SoundFontCandidates() {
  static const std::vector<std::string> candidates = {
      "/usr/share/sounds/sf2/FluidR3_GM.sf2",
      "/usr/share/sounds/sf2/TimGM6mb.sf2",
      "/usr/share/sounds/sf2/default-GM.sf2",
  };
  return candidates;
}

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
  if (note != nullptr) *note = "no soundfont found (install fluid-soundfont-gm or timgm6mb-soundfont)";
  return {};
}

namespace {

struct Synth {
  fluid_settings_t* settings = nullptr;
  fluid_synth_t* synth = nullptr;
  fluid_player_t* player = nullptr;
  ~Synth() {
    if (player != nullptr) {
      fluid_player_stop(player);
      delete_fluid_player(player);
    }
    if (synth != nullptr) delete_fluid_synth(synth);
    if (settings != nullptr) delete_fluid_settings(settings);
  }
  // A new player at the tune's beginning; the synthesiser keeps its sounding notes.
  bool Start(const std::vector<char>& midi) {
    if (player != nullptr) delete_fluid_player(player);
    player = new_fluid_player(synth);
    return player != nullptr && fluid_player_add_mem(player, midi.data(), midi.size()) == FLUID_OK &&
           fluid_player_play(player) == FLUID_OK;
  }
  // The last event of the tune has been played (the player itself says so only later).
  bool AtEnd() const {
    const int total = fluid_player_get_total_ticks(player);
    return total > 0 && fluid_player_get_current_tick(player) >= total;
  }
};

}  // namespace

bool RenderTune(const std::string& soundfont, const std::vector<char>& midi, double tail_seconds,
                Rendered* out, std::string* error) {
  if (midi.size() < 14 || std::memcmp(midi.data(), "MThd", 4) != 0) {
    *error = "not a MIDI file";
    return false;
  }
  fluid_set_log_function(FLUID_WARN, nullptr, nullptr);
  fluid_set_log_function(FLUID_INFO, nullptr, nullptr);
  Synth s;
  s.settings = new_fluid_settings();
  if (s.settings == nullptr) {
    *error = "cannot start the synthesiser";
    return false;
  }
  fluid_settings_setnum(s.settings, "synth.sample-rate", kRate);
  fluid_settings_setnum(s.settings, "synth.gain", kMusicGain);
  fluid_settings_setint(s.settings, "player.reset-synth", 0);
  fluid_settings_setint(s.settings, "synth.dynamic-sample-loading", 1);
  s.synth = new_fluid_synth(s.settings);
  if (s.synth == nullptr || fluid_synth_sfload(s.synth, soundfont.c_str(), 1) == FLUID_FAILED) {
    *error = soundfont + ": cannot load the soundfont";
    return false;
  }
  if (!s.Start(midi)) {
    *error = "the synthesiser cannot play it";
    return false;
  }
  constexpr int kBlock = 64;  // the synthesiser's own block: the loop is exact to 1.5 ms
  constexpr std::int64_t kLongest = 15LL * 60 * kRate;
  std::vector<float>& pcm = out->stereo;
  pcm.clear();
  pcm.reserve(static_cast<size_t>(2 * 200 * kRate));
  std::int64_t frames = 0, length = -1, tail = 0;
  while (length < 0 || frames < length + tail) {
    pcm.resize(static_cast<size_t>(2 * (frames + kBlock)));
    float* at = pcm.data() + 2 * frames;
    fluid_synth_write_float(s.synth, kBlock, at, 0, 2, at, 1, 2);
    frames += kBlock;
    if (length < 0 && s.AtEnd()) {
      length = frames;
      tail = std::min<std::int64_t>(static_cast<std::int64_t>(tail_seconds * kRate), length / 2);
      if (!s.Start(midi)) {
        *error = "the synthesiser cannot play it again";
        return false;
      }
    }
    if (frames > kLongest) {
      *error = "the tune never ends (longer than 15 minutes)";
      return false;
    }
  }
  if (length < 4096) {
    *error = "the tune is too short to loop";
    return false;
  }
  pcm.resize(static_cast<size_t>(2 * (length + tail)));
  // The loop's end is blended into what precedes its start, so the jump back joins two
  // stretches of the same sound (the synthesiser's chorus and reverb never repeat exactly).
  const std::int64_t blend = std::min<std::int64_t>(2048, tail);
  for (std::int64_t i = 0; i < blend; ++i) {
    const float w = (static_cast<float>(i) + 0.5f) / static_cast<float>(blend);
    for (int c = 0; c < 2; ++c) {
      float& end = pcm[static_cast<size_t>(2 * (length + tail - blend + i) + c)];
      const float before = pcm[static_cast<size_t>(2 * (tail - blend + i) + c)];
      end = end * (1 - w) + before * w;
    }
  }
  out->loop_start = tail;
  out->loop_length = length;
  return true;
}

bool EncodeOgg(const Rendered& tune, float quality, const std::string& title, std::string* bytes,
               std::string* error) {
  vorbis_info vi;
  vorbis_info_init(&vi);
  if (vorbis_encode_init_vbr(&vi, 2, kRate, quality) != 0) {
    vorbis_info_clear(&vi);
    *error = "the encoder refuses quality " + std::to_string(quality);
    return false;
  }
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  vorbis_comment_add_tag(&vc, "TITLE", title.c_str());
  vorbis_comment_add_tag(&vc, "LOOPSTART", std::to_string(tune.loop_start).c_str());
  vorbis_comment_add_tag(&vc, "LOOPLENGTH", std::to_string(tune.loop_length).c_str());
  vorbis_dsp_state vd;
  vorbis_block vb;
  vorbis_analysis_init(&vd, &vi);
  vorbis_block_init(&vd, &vb);
  ogg_stream_state os;
  std::uint32_t serial = 2166136261u;  // from the title: the same bytes every build
  for (const char ch : title) serial = (serial ^ static_cast<unsigned char>(ch)) * 16777619u;
  ogg_stream_init(&os, static_cast<int>(serial & 0x7fffffffu));
  ogg_packet header, comments, codebooks;
  vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
  ogg_stream_packetin(&os, &header);
  ogg_stream_packetin(&os, &comments);
  ogg_stream_packetin(&os, &codebooks);
  ogg_page page;
  bytes->clear();
  const auto put = [&](const ogg_page& p) {
    bytes->append(reinterpret_cast<const char*>(p.header), static_cast<size_t>(p.header_len));
    bytes->append(reinterpret_cast<const char*>(p.body), static_cast<size_t>(p.body_len));
  };
  while (ogg_stream_flush(&os, &page) != 0) put(page);  // the headers on pages of their own

  const std::int64_t frames = static_cast<std::int64_t>(tune.stereo.size() / 2);
  constexpr std::int64_t kChunk = 1024;
  bool end = false;
  for (std::int64_t at = 0; !end;) {
    const std::int64_t n = std::min(kChunk, frames - at);
    if (n > 0) {
      float** buffer = vorbis_analysis_buffer(&vd, static_cast<int>(n));
      for (std::int64_t i = 0; i < n; ++i) {
        buffer[0][i] = std::clamp(tune.stereo[static_cast<size_t>(2 * (at + i))], -1.0f, 1.0f);
        buffer[1][i] = std::clamp(tune.stereo[static_cast<size_t>(2 * (at + i) + 1)], -1.0f, 1.0f);
      }
      vorbis_analysis_wrote(&vd, static_cast<int>(n));
      at += n;
    } else {
      vorbis_analysis_wrote(&vd, 0);  // the end of the stream
    }
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
      vorbis_analysis(&vb, nullptr);
      vorbis_bitrate_addblock(&vb);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&vd, &packet) != 0) {
        ogg_stream_packetin(&os, &packet);
        while (ogg_stream_pageout(&os, &page) != 0) {
          put(page);
          end = end || ogg_page_eos(&page) != 0;
        }
      }
    }
  }
  ogg_stream_clear(&os);
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  return true;
}

}  // namespace ardo::oggc
