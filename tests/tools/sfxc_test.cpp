// ardo-sfxc: the WAV it writes, what the synthesiser parameters do, errors,
// and the game's own effects.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "tool_test_util.h"

namespace {

using namespace tooltest;

struct Wav {
  int format = 0, channels = 0, rate = 0, byte_rate = 0, align = 0, bits = 0;
  std::vector<std::int16_t> samples;
};

// Reads the canonical 44-byte-header PCM WAV; fails the test if it is not one.
Wav parse_wav(const std::string& s) {
  Wav w;
  EXPECT_GE(s.size(), 44u);
  if (s.size() < 44) return w;
  EXPECT_EQ(s.substr(0, 4), "RIFF");
  EXPECT_EQ(le(s, 4, 4), s.size() - 8);
  EXPECT_EQ(s.substr(8, 8), "WAVEfmt ");
  EXPECT_EQ(le(s, 16, 4), 16u);
  w.format = static_cast<int>(le(s, 20, 2));
  w.channels = static_cast<int>(le(s, 22, 2));
  w.rate = static_cast<int>(le(s, 24, 4));
  w.byte_rate = static_cast<int>(le(s, 28, 4));
  w.align = static_cast<int>(le(s, 32, 2));
  w.bits = static_cast<int>(le(s, 34, 2));
  EXPECT_EQ(s.substr(36, 4), "data");
  EXPECT_EQ(le(s, 40, 4), s.size() - 44);
  for (std::size_t i = 44; i + 1 < s.size(); i += 2) w.samples.push_back(static_cast<std::int16_t>(le(s, i, 2)));
  return w;
}

int peak(const std::vector<std::int16_t>& v, std::size_t from = 0, std::size_t to = SIZE_MAX) {
  int p = 0;
  for (std::size_t i = from; i < std::min(to, v.size()); ++i) p = std::max(p, std::abs(static_cast<int>(v[i])));
  return p;
}

// Sign changes between samples [from, to): twice the frequency of a clean tone.
int crossings(const std::vector<std::int16_t>& v, std::size_t from, std::size_t to) {
  int n = 0;
  for (std::size_t i = from + 1; i < to && i < v.size(); ++i) n += (v[i - 1] < 0) != (v[i] < 0);
  return n;
}

class Sfxc : public ScratchTest {
protected:
  Wav render(const std::string& source) {
    const std::string in = file("t.sfx", source);
    const Result r = run(sfxc(), {in, path("t.wav").string()});
    EXPECT_EQ(r.code, 0) << r.err;
    raw = read_bytes(path("t.wav"));
    return parse_wav(raw);
  }
  std::string raw;
};

const char* kTone =
    "peak 0.5\n"
    "layer\n"
    "wave sine\n"
    "freq 1000\n"
    "attack 0.01\n"
    "hold 0.08\n"
    "release 0.01\n";

TEST_F(Sfxc, WavHeaderSampleCountAndNormalisedPeak) {
  const Wav w = render(kTone);
  EXPECT_EQ(w.format, 1);
  EXPECT_EQ(w.channels, 1);
  EXPECT_EQ(w.rate, 44100);
  EXPECT_EQ(w.byte_rate, 88200);
  EXPECT_EQ(w.align, 2);
  EXPECT_EQ(w.bits, 16);
  EXPECT_EQ(w.samples.size(), 4410u);  // 0.1 s
  EXPECT_NEAR(peak(w.samples), 16384, 1);
  EXPECT_EQ(w.samples.front(), 0);
  EXPECT_EQ(w.samples.back(), 0);
  EXPECT_NEAR(crossings(w.samples, 0, w.samples.size()), 200, 2);
}

TEST_F(Sfxc, RenderingIsDeterministicAndSeeded) {
  const std::string noise = "layer\nwave noise\nfreq 20000\nhold 0.05\n";
  render(noise);
  const std::string first = raw;
  render(noise);
  EXPECT_EQ(raw, first);
  render(noise + "seed 99\n");
  EXPECT_NE(raw, first);
  EXPECT_EQ(raw.size(), first.size());
}

TEST_F(Sfxc, StartSequencesLayersAndEchoExtendsTheEffect) {
  const Wav w = render(
      "layer\nwave square\nfreq 500\nattack 0\nhold 0.1\nrelease 0\n"
      "layer\nwave square\nstart 0.3\nfreq 500\nattack 0\nhold 0.1\nrelease 0\n");
  ASSERT_EQ(w.samples.size(), 17640u);  // 0.4 s
  EXPECT_GT(peak(w.samples, 0, 4000), 20000);
  EXPECT_LT(peak(w.samples, 6600, 13000), 300);  // only the fading tail of the DC filter between the notes
  EXPECT_GT(peak(w.samples, 13300, 17000), 20000);

  const Wav e = render("echo 0.1 0.5 2\nlayer\nwave sine\nfreq 800\nattack 0.001\nhold 0.05\nrelease 0.001\n");
  ASSERT_EQ(e.samples.size(), static_cast<std::size_t>(std::lround(0.252 * 44100)));
  const int dry = peak(e.samples, 0, 2200);
  EXPECT_NEAR(peak(e.samples, 4410, 6600), dry / 2, dry / 20);
  EXPECT_NEAR(peak(e.samples, 8820, 11000), dry / 4, dry / 20);
}

TEST_F(Sfxc, SlideAndArpeggioMoveThePitch) {
  const Wav slide = render("layer\nwave sine\nfreq 500\nslide 1\nattack 0.001\nhold 1\nrelease 0.001\n");
  const int low = crossings(slide.samples, 0, 4410);
  const int high = crossings(slide.samples, 39690, 44100);
  EXPECT_NEAR(low, 2 * 50 * std::exp2(0.05), 3);
  EXPECT_NEAR(high, 2 * 50 * std::exp2(0.95), 3);

  const Wav arp = render("layer\nwave sine\nfreq 400\narp 0.25 1.5\narp 0.5 2\nattack 0.001\nhold 0.75\nrelease 0.001\n");
  EXPECT_NEAR(crossings(arp.samples, 0, 11025), 200, 2);
  EXPECT_NEAR(crossings(arp.samples, 11025, 22050), 300, 2);
  EXPECT_NEAR(crossings(arp.samples, 22050, 33075), 400, 2);

  const Wav trill = render("layer\nwave sine\nfreq 400\narp 0.1 2\narp-loop 0.2\nattack 0.001\nhold 0.8\nrelease 0.001\n");
  // 0.5-0.6 s is the second half of a loop (doubled), 0.6-0.7 s the first half again.
  EXPECT_NEAR(crossings(trill.samples, 22100, 26400), 2 * 800 * 4300 / 44100.0, 3);
  EXPECT_NEAR(crossings(trill.samples, 26500, 30800), 2 * 400 * 4300 / 44100.0, 3);
}

TEST_F(Sfxc, EnvelopeShapesTheLevel) {
  const Wav w = render("layer\nwave square\nfreq 2000\nattack 0.1\ndecay 0.1\nsustain 0.25\nhold 0.1\nrelease 0.1\n");
  ASSERT_EQ(w.samples.size(), 17640u);
  const int full = peak(w.samples, 4000, 4800);
  EXPECT_NEAR(peak(w.samples, 2100, 2300), full / 2, full / 10);       // half way up the attack
  EXPECT_NEAR(peak(w.samples, 9000, 13000), full / 4, full / 20);      // sustain
  EXPECT_NEAR(peak(w.samples, 15300, 15500), full / 8, full / 20);     // half way down the release
}

struct ErrorCase {
  const char* source;
  int line, col;
  const char* message;
};

TEST_F(Sfxc, ErrorsNameLineAndColumnAndWriteNothing) {
  const ErrorCase cases[] = {
      {"freq 440\n", 1, 1, "start one with a line 'layer'"},
      {"layer\nwave sawtooth\n", 2, 6, "unknown wave"},
      {"layer\nfreq 0\n", 2, 6, "1 to 20000"},
      {"layer\nfreq 4x0\n", 2, 6, "bad number"},
      {"layer\nfreq nan\n", 2, 6, "bad number"},
      {"layer\n  freq 440 880\n", 2, 12, "too many values"},
      {"layer\nvibrato 1\n", 2, 10, "expects"},
      {"layer\nfreq 440\nfreq 220\n", 3, 1, "twice"},
      {"layer\nsparkle 1\n", 2, 1, "unknown parameter"},
      {"layer\narp 0.2 2\narp 0.1 3\n", 3, 5, "increasing"},
      {"peak 0\nlayer\n", 1, 6, "0.05 to 1"},
      {"peak 0.5\npeak 0.6\nlayer\n", 2, 1, "twice"},
      {"layer\nattack 0\nrelease 0\n", 1, 1, "no length"},
      {"layer\nstart 9.5\nhold 1\n", 1, 1, "10 s"},
      {"# nothing\n", 1, 1, "no 'layer'"},
  };
  for (const ErrorCase& c : cases) {
    const std::string in = file("bad.sfx", c.source);
    const fs::path out = path("bad.wav");
    const Result r = run(sfxc(), {in, out.string()});
    const std::string where = in + ":" + std::to_string(c.line) + ":" + std::to_string(c.col) + ": ";
    EXPECT_EQ(r.code, 1) << c.source;
    EXPECT_FALSE(r.crashed) << c.source << r.err;
    EXPECT_EQ(r.err.rfind(where, 0), 0u) << "source: " << c.source << "\nstderr: " << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << "source: " << c.source << "\nstderr: " << r.err;
    EXPECT_FALSE(fs::exists(out)) << c.source;
  }
}

// Power spectrum of `n` samples from `from` (Blackman-Harris window), bins 0..n/2.
std::vector<double> spectrum(const std::vector<std::int16_t>& v, std::size_t from, std::size_t n) {
  std::vector<double> x(n);
  for (std::size_t i = 0; i < n; ++i) {
    const double a = 2 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(n - 1);
    const double w = 0.35875 - 0.48829 * std::cos(a) + 0.14128 * std::cos(2 * a) - 0.01168 * std::cos(3 * a);
    x[i] = (from + i < v.size() ? v[from + i] : 0) * w;
  }
  std::vector<double> power(n / 2 + 1);
  for (std::size_t k = 0; k <= n / 2; ++k) {
    double re = 0, im = 0;
    const double step = 2 * std::numbers::pi * static_cast<double>(k) / static_cast<double>(n);
    // Rotating phasor, renormalised now and then: exact enough for a -90 dB floor.
    double c = 1, s = 0;
    const double cs = std::cos(step), sn = std::sin(step);
    for (std::size_t i = 0; i < n; ++i) {
      re += x[i] * c;
      im -= x[i] * s;
      const double c2 = c * cs - s * sn;
      s = s * cs + c * sn;
      c = c2;
      if ((i & 255) == 255) {
        const double m = std::sqrt(c * c + s * s);
        c /= m;
        s /= m;
      }
    }
    power[k] = re * re + im * im;
  }
  return power;
}

// Sharp waves high up have partials far above the output's Nyquist frequency; none may
// fold back between the true harmonics.
TEST_F(Sfxc, SharpWavesHaveNoAliasedPartials) {
  constexpr std::size_t kN = 4096;
  for (const char* wave : {"square", "saw", "triangle"}) {
    const Wav w = render(std::string("peak 0.5\nlayer\nwave ") + wave + "\nfreq 3951\nattack 0.01\nhold 0.2\nrelease 0.01\n");
    ASSERT_GT(w.samples.size(), 2000 + kN);
    const std::vector<double> p = spectrum(w.samples, 2000, kN);
    double harmonic = 0, folded = 0;
    for (std::size_t k = 1; k < p.size(); ++k) {
      const double hz = static_cast<double>(k) * 44100 / kN;
      const double h = hz / 3951;
      const bool near_harmonic = std::fabs(h - std::round(h)) * 3951 < 60;  // window main lobe
      (near_harmonic ? harmonic : folded) += p[k];
    }
    EXPECT_LT(10 * std::log10(folded / harmonic), -60) << wave << ": aliased partials";
  }
}

TEST_F(Sfxc, TheGamesEffectsHaveNothingNearTheNyquistFold) {
  constexpr std::size_t kN = 2048;
  for (const char* name : {"pi", "movc", "heal", "hit", "attack", "magic", "sleep", "up1", "vanish", "ice", "fire",
                           "thunder", "bomb", "encount2"}) {
    const Wav w = parse_wav(read_bytes(fs::path(ARDO_GAME_DIR) / "sound" / (std::string(name) + ".wav")));
    double total = 0, top = 0;
    for (std::size_t from = 0; from < w.samples.size(); from += kN) {
      const std::vector<double> p = spectrum(w.samples, from, kN);
      for (std::size_t k = 1; k < p.size(); ++k) {
        total += p[k];
        if (static_cast<double>(k) * 44100 / kN > 20500) top += p[k];
      }
    }
    ASSERT_GT(total, 0) << name;
    EXPECT_LT(10 * std::log10(top / total + 1e-30), -60) << name << ": energy at the fold (aliasing)";
  }
}

TEST_F(Sfxc, TheGamesEffectsAreShortCleanAndSafelyLoud) {
  struct Limit {
    const char* name;
    double max_seconds;
  };
  const Limit effects[] = {{"pi", 0.15},     {"movc", 0.06},  {"heal", 1.0},   {"hit", 0.4},     {"attack", 0.4},
                           {"magic", 1.2},   {"sleep", 1.2},  {"up1", 1.0},    {"vanish", 1.0},  {"ice", 1.0},
                           {"fire", 0.25},   {"thunder", 2.0}, {"bomb", 0.35}, {"encount2", 1.5}};
  for (const Limit& e : effects) {
    const fs::path p = fs::path(ARDO_GAME_DIR) / "sound" / (std::string(e.name) + ".wav");
    ASSERT_TRUE(fs::exists(p)) << p;
    const Wav w = parse_wav(read_bytes(p));
    EXPECT_EQ(w.rate, 44100) << e.name;
    EXPECT_EQ(w.channels, 1) << e.name;
    EXPECT_EQ(w.bits, 16) << e.name;
    const double seconds = static_cast<double>(w.samples.size()) / 44100;
    EXPECT_GT(seconds, 0.01) << e.name;
    EXPECT_LE(seconds, e.max_seconds) << e.name;
    const int p_all = peak(w.samples);
    EXPECT_GT(p_all, 32767 * 0.25) << e.name;
    EXPECT_LE(p_all, 29205) << e.name << " peaks above -1 dBFS";
    EXPECT_LT(std::abs(w.samples.front()), 100) << e.name << " starts with a click";
    EXPECT_LT(std::abs(w.samples.back()), 100) << e.name << " ends with a click";
  }
}

}  // namespace
