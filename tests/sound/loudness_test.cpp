// What the player hears: the soundfont the music is rendered with, and the loudness of every
// tune and effect as the game plays them (tunes as the game's music player decodes their
// Ogg files, looping; effects as their WAV files on both channels).
#include <gtest/gtest.h>
#include <unistd.h>
#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numbers>
#include <ostream>
#include <string>
#include <vector>

#include "platform/music_player.h"
#include "platform/platform.h"
#include "render.h"

namespace ardo {
namespace {

namespace fs = std::filesystem;

// Integrated loudness (ITU-R BS.1770: K-weighting, 400 ms blocks, absolute and relative
// gates) of 16-bit interleaved audio at 44100 Hz, in LUFS. With `max_momentary`, the
// loudest 400 ms block instead: the measure for sounds shorter than a block.
double Loudness(const std::vector<std::int16_t>& pcm, int channels, bool max_momentary = false) {
  constexpr double kRate = 44100;
  struct Biquad {
    double b0, b1, b2, a1, a2, z1 = 0, z2 = 0;
    double operator()(double x) {
      const double y = b0 * x + z1;
      z1 = b1 * x - a1 * y + z2;
      z2 = b2 * x - a2 * y;
      return y;
    }
  };
  auto shelf = [] {
    const double k = std::tan(std::numbers::pi * 1681.974450955533 / kRate), q = 0.7071752369554196;
    const double vh = std::pow(10, 3.999843853973347 / 20), vb = std::pow(vh, 0.4996667741545416);
    const double a0 = 1 + k / q + k * k;
    return Biquad{(vh + vb * k / q + k * k) / a0, 2 * (k * k - vh) / a0, (vh - vb * k / q + k * k) / a0,
                  2 * (k * k - 1) / a0, (1 - k / q + k * k) / a0};
  };
  auto highpass = [] {
    const double k = std::tan(std::numbers::pi * 38.13547087602444 / kRate), q = 0.5003270373238773;
    const double a0 = 1 + k / q + k * k;
    return Biquad{1, -2, 1, 2 * (k * k - 1) / a0, (1 - k / q + k * k) / a0};
  };
  const std::size_t frames = pcm.size() / static_cast<std::size_t>(channels);
  const std::size_t block = 17640, hop = 4410;  // 400 ms, 75 % overlap
  std::vector<double> power(frames + block, 0.0);  // silence after a short sound
  for (int c = 0; c < channels; ++c) {
    Biquad s = shelf(), h = highpass();
    for (std::size_t f = 0; f < frames; ++f) {
      const double y = h(s(pcm[f * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] / 32768.0));
      power[f] += y * y;
    }
  }
  std::vector<double> blocks;
  for (std::size_t at = 0; at + block <= power.size() && (at < frames || blocks.empty()); at += hop) {
    double sum = 0;
    for (std::size_t i = at; i < at + block; ++i) sum += power[i];
    blocks.push_back(sum / block);
  }
  auto lufs = [](double p) { return -0.691 + 10 * std::log10(p + 1e-20); };
  if (max_momentary) {
    double best = 0;
    for (double b : blocks) best = std::max(best, b);
    return lufs(best);
  }
  auto gated_mean = [&](double gate) {
    double sum = 0;
    int n = 0;
    for (double b : blocks)
      if (lufs(b) > gate) sum += b, ++n;
    return n > 0 ? sum / n : 0.0;
  };
  return lufs(gated_mean(lufs(gated_mean(-70)) - 10));
}

std::vector<std::int16_t> ReadWavSamples(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  const std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::int16_t> out;
  for (std::size_t i = 44; i + 1 < s.size(); i += 2)
    out.push_back(static_cast<std::int16_t>(static_cast<unsigned char>(s[i]) | (static_cast<unsigned char>(s[i + 1]) << 8)));
  return out;
}

int PeakOf(const std::vector<std::int16_t>& v) {
  int p = 0;
  for (std::int16_t s : v) p = std::max(p, std::abs(static_cast<int>(s)));
  return p;
}

constexpr int kMinus1dBFS = 29205;

TEST(SoundFont, PrefersTheFullerSetAndFallsBackWhenItIsMissing) {
  const std::string scratch = (fs::temp_directory_path() / ("ardo_sf_" + std::to_string(::getpid()))).string();
  fs::create_directories(scratch);
  const std::string fluid = scratch + "/FluidR3_GM.sf2", tim = scratch + "/TimGM6mb.sf2", mine = scratch + "/mine.sf2";
  for (const std::string& f : {tim, mine}) std::ofstream(f) << "RIFF";
  const std::vector<std::string> candidates = {fluid, tim};
  std::string note;
  using oggc::ChooseSoundFont;

  EXPECT_EQ(ChooseSoundFont("", candidates, &note), tim);  // FluidR3 missing
  EXPECT_EQ(note, "");
  std::ofstream(fluid) << "RIFF";
  EXPECT_EQ(ChooseSoundFont("", candidates, &note), fluid);
  EXPECT_EQ(ChooseSoundFont(mine, candidates, &note), mine);  // the player's own choice wins
  EXPECT_EQ(ChooseSoundFont(scratch + "/gone.sf2", candidates, &note), fluid);
  EXPECT_NE(note.find("gone.sf2: soundfont not found"), std::string::npos) << note;
  note.clear();
  EXPECT_EQ(ChooseSoundFont(scratch, candidates, &note), fluid) << "a folder is not a soundfont";
  fs::remove_all(scratch);
  EXPECT_EQ(ChooseSoundFont("", candidates, &note), "");
  EXPECT_NE(note.find("no soundfont found"), std::string::npos) << note;

  EXPECT_EQ(oggc::SoundFontCandidates().front(), "/usr/share/sounds/sf2/FluidR3_GM.sf2");
}

// Loudness bands, LUFS: towns, houses and caves sit lowest, the open road in the middle,
// battles highest. Effects sit just above the music they play over.
constexpr double kQuiet = -21, kRoad = -19, kBattle = -16, kEffect = -15, kTick = -24;
constexpr double kTuneBand = 2, kEffectBand = 2;

struct Tune {
  const char* name;
  double target;
};
void PrintTo(const Tune& t, std::ostream* os) { *os << t.name; }

class TuneLoudness : public testing::TestWithParam<Tune> {};

// The loop an Ogg file's comments give, in samples: {start, length}.
std::pair<std::int64_t, std::int64_t> LoopOf(const std::string& path) {
  OggVorbis_File f;
  if (ov_fopen(path.c_str(), &f) != 0) return {-1, -1};
  std::int64_t start = -1, length = -1;
  const vorbis_comment* vc = ov_comment(&f, -1);
  for (int i = 0; i < vc->comments; ++i) {
    const std::string c = vc->user_comments[i];
    if (c.rfind("LOOPSTART=", 0) == 0) start = std::stoll(c.substr(10));
    if (c.rfind("LOOPLENGTH=", 0) == 0) length = std::stoll(c.substr(11));
  }
  ov_clear(&f);
  return {start, length};
}

// Each tune as the game plays it, round its loop and on: the loop is measured once
// through, and the jump back to its start must be no step the music doesn't take anyway.
TEST_P(TuneLoudness, SitsInItsBandNeverClipsAndLoopsWithoutASeam) {
  const Tune& t = GetParam();
  const std::string path = std::string(ARDO_GAME_DIR) + "/music/" + t.name + ".ogg";
  const auto [start, length] = LoopOf(path);
  ASSERT_GE(start, 0) << t.name << ": no LOOPSTART";
  ASSERT_GT(length, 44100 * 30) << t.name << ": no LOOPLENGTH, or a loop too short";
  platform::MusicPlayer player;
  player.Start();
  ASSERT_TRUE(player.Open(path));
  player.Play();
  const std::int64_t wrap = start + length, frames = wrap + 44100;
  std::vector<std::int16_t> played(static_cast<size_t>(2 * ((frames + 1023) / 1024) * 1024));
  for (size_t at = 0; at < played.size(); at += 2048) player.Render(played.data() + at, 2048, 2);
  const std::vector<std::int16_t> loop(played.begin() + 2 * start, played.begin() + 2 * wrap);
  const double lufs = Loudness(loop, 2);
  const int peak = PeakOf(played);
  std::printf("tune %-9s %6.1f LUFS  peak %6.1f dBFS  loop %5.1f s from %.1f s\n", t.name, lufs,
              20 * std::log10(peak / 32768.0), static_cast<double>(length) / 44100, static_cast<double>(start) / 44100);
  EXPECT_NEAR(lufs, t.target, kTuneBand) << t.name;
  EXPECT_LE(peak, kMinus1dBFS) << t.name << " peaks above -1 dBFS";
  // The largest step between neighbouring samples in the 20 ms before the wrap, against the
  // steps across it.
  int before = 1, across = 0;
  for (std::int64_t f = wrap - 882; f < wrap - 1; ++f)
    for (int c = 0; c < 2; ++c)
      before = std::max(before, std::abs(played[static_cast<size_t>(2 * (f + 1) + c)] - played[static_cast<size_t>(2 * f + c)]));
  for (std::int64_t f = wrap - 1; f < wrap + 2; ++f)
    for (int c = 0; c < 2; ++c)
      across = std::max(across, std::abs(played[static_cast<size_t>(2 * (f + 1) + c)] - played[static_cast<size_t>(2 * f + c)]));
  EXPECT_LE(across, 2 * before) << t.name << ": a click where the loop starts again";
}

INSTANTIATE_TEST_SUITE_P(
    EveryTune, TuneLoudness,
    testing::Values(Tune{"tender", kQuiet}, Tune{"green", kQuiet}, Tune{"t_song", kQuiet}, Tune{"peace", kQuiet},
                    Tune{"hr_sddd", kQuiet}, Tune{"tower", kQuiet}, Tune{"stranger", kQuiet},
                    Tune{"i-castle", kQuiet}, Tune{"plants", kQuiet}, Tune{"ruin", kQuiet}, Tune{"ss_m1b", kRoad},
                    Tune{"letsgo", kRoad}, Tune{"haison", kRoad}, Tune{"w-road", kRoad}, Tune{"holy3", kRoad},
                    Tune{"spring", kRoad}, Tune{"boss2", kBattle}, Tune{"fight4", kBattle},
                    Tune{"fight6", kBattle}),
    [](const testing::TestParamInfo<Tune>& info) {
      std::string n = info.param.name;
      for (char& c : n)
        if (c == '-') c = '_';
      return n;
    });

TEST(Loudness, EveryEffectSitsJustAboveTheMusic) {
  struct Effect {
    const char* name;
    double target;
  };
  const Effect effects[] = {{"pi", kEffect},      {"movc", kTick},     {"heal", kEffect},   {"hit", kEffect},
                            {"attack", kEffect},  {"magic", kEffect},  {"sleep", kEffect},  {"up1", kEffect},
                            {"vanish", kEffect},  {"ice", kEffect},    {"fire", kEffect},   {"thunder", kEffect},
                            {"bomb", kEffect},    {"encount2", kEffect}};
  for (const Effect& e : effects) {
    const std::vector<std::int16_t> mono = ReadWavSamples(fs::path(ARDO_GAME_DIR) / "sound" / (std::string(e.name) + ".wav"));
    ASSERT_FALSE(mono.empty()) << e.name;
    std::vector<std::int16_t> stereo;  // the mixer plays a mono effect on both channels
    for (std::int16_t s : mono) stereo.insert(stereo.end(), {s, s});
    const double lufs = Loudness(stereo, 2, true);
    std::printf("effect %-9s %6.1f LUFS (loudest 400 ms)  peak %6.1f dBFS\n", e.name, lufs,
                20 * std::log10(PeakOf(mono) / 32768.0));
    EXPECT_NEAR(lufs, e.target, kEffectBand) << e.name;
    EXPECT_LE(PeakOf(mono), kMinus1dBFS) << e.name;
  }
}

}  // namespace
}  // namespace ardo
