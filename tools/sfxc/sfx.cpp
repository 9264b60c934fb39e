#include "sfx.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <cmath>
#include <map>
#include <numbers>
#include <set>

#include "toolcommon.h"

namespace ardo::sfx {
namespace {

using tool::SourceError;

constexpr double kTwoPi = 2 * std::numbers::pi;
constexpr std::size_t kMaxLayers = 32;

struct Token {
  std::size_t offset;
  std::string_view text;
};

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

class Parser {
public:
  Parser(const std::string& file) : file_(file) {}

  Effect run(std::string_view text) {
    for (const tool::SourceLine& source_line : tool::split_lines(text)) {
      line_ = source_line.text;
      lineno_ = source_line.number;
      const std::string_view line = line_;
      std::string_view body = line;
      if (auto h = body.find('#'); h != std::string_view::npos) body = body.substr(0, h);
      tok_.clear();
      std::size_t i = 0;
      while (i < body.size()) {
        while (i < body.size() && is_blank(body[i])) ++i;
        if (i >= body.size()) break;
        std::size_t j = i;
        while (j < body.size() && !is_blank(body[j])) ++j;
        tok_.push_back({i, body.substr(i, j - i)});
        i = j;
      }
      if (!tok_.empty()) statement();
    }
    if (effect_.layers.empty()) throw SourceError(file_, 1, 1, "no 'layer' in this file");
    double total = 0;  // the synthesis work: every layer is rendered over its own length
    for (const Layer& l : effect_.layers) {
      if (l.length() <= 0)
        throw SourceError(file_, l.line, 1, "layer has no length (attack + decay + hold + release is 0)");
      if (l.start + l.length() > kMaxSeconds)
        throw SourceError(file_, l.line, 1, "layer ends after " + std::to_string(static_cast<int>(kMaxSeconds)) +
                                                " s (start + attack + decay + hold + release)");
      total += l.length();
      if (total > kMaxLayerSeconds)
        throw SourceError(file_, l.line, 1, "the layers last more than " + std::to_string(static_cast<int>(kMaxLayerSeconds)) +
                                                " s together (attack + decay + hold + release of each)");
    }
    return std::move(effect_);
  }

private:
  [[noreturn]] void fail(std::size_t offset, const std::string& msg) const {
    throw SourceError(file_, lineno_, tool::column_of(line_, offset), msg);
  }

  std::string key() const { return std::string(tok_[0].text); }

  void args(std::size_t min, std::size_t max, const char* usage) const {
    const std::size_t n = tok_.size() - 1;
    if (n < min) fail(line_.size(), "'" + key() + "' expects: " + usage);
    if (n > max) fail(tok_[max + 1].offset, "too many values; '" + key() + "' expects: " + usage);
  }

  double num(std::size_t k, double lo, double hi) const {
    const Token& t = tok_[k];
    double v = 0;
    const char* b = t.text.data();
    const char* e = b + t.text.size();
    if (!t.text.empty() && *b == '+') ++b;
    auto [p, ec] = std::from_chars(b, e, v);
    if (ec != std::errc() || p != e || !std::isfinite(v))
      fail(t.offset, "bad number '" + std::string(t.text) + "'");
    if (v < lo || v > hi) {
      char buf[128];
      std::snprintf(buf, sizeof buf, "'%s' value must be %g to %g (got %s)", key().c_str(), lo, hi,
                    std::string(t.text).c_str());
      fail(t.offset, buf);
    }
    return v;
  }

  Layer& layer() {
    if (effect_.layers.empty())
      fail(tok_[0].offset, "'" + key() + "' belongs to a layer: start one with a line 'layer'");
    return effect_.layers.back();
  }

  // Each layer parameter once per layer (arp steps excepted).
  void once() {
    if (tok_[0].text == "arp") return;
    if (!seen_.insert(key()).second) fail(tok_[0].offset, "'" + key() + "' given twice in this layer");
  }

  void statement() {
    const std::string_view k = tok_[0].text;
    if (k == "layer") {
      args(0, 1, "layer [NAME]");
      if (effect_.layers.size() >= kMaxLayers)
        fail(tok_[0].offset, "more than " + std::to_string(kMaxLayers) + " layers");
      effect_.layers.emplace_back();
      effect_.layers.back().line = lineno_;
      seen_.clear();
      return;
    }
    if (k == "peak") {
      args(1, 1, "peak LEVEL (0.05-1)");
      if (has_peak_) fail(tok_[0].offset, "'peak' given twice");
      has_peak_ = true;
      effect_.peak = num(1, 0.05, 1);
      return;
    }
    if (k == "echo") {
      args(2, 3, "echo DELAY DECAY [COUNT]");
      if (has_echo_) fail(tok_[0].offset, "'echo' given twice");
      has_echo_ = true;
      effect_.echo_delay = num(1, 0.01, 1);
      effect_.echo_decay = num(2, 0, 0.95);
      effect_.echo_count = tok_.size() > 3 ? static_cast<int>(num(3, 1, 8)) : 3;
      return;
    }
    Layer& l = layer();
    once();
    if (k == "wave") {
      args(1, 1, "wave square|saw|triangle|sine|noise");
      static const std::map<std::string_view, Wave> waves = {{"square", Wave::Square},
                                                             {"saw", Wave::Saw},
                                                             {"triangle", Wave::Triangle},
                                                             {"sine", Wave::Sine},
                                                             {"noise", Wave::Noise}};
      auto it = waves.find(tok_[1].text);
      if (it == waves.end())
        fail(tok_[1].offset, "unknown wave '" + std::string(tok_[1].text) + "' (square, saw, triangle, sine, noise)");
      l.wave = it->second;
    } else if (k == "start") {
      args(1, 1, "start SECONDS");
      l.start = num(1, 0, kMaxSeconds);
    } else if (k == "attack" || k == "decay" || k == "hold" || k == "release") {
      args(1, 1, "SECONDS");
      const double v = num(1, 0, kMaxSeconds);
      (k == "attack" ? l.attack : k == "decay" ? l.decay : k == "hold" ? l.hold : l.release) = v;
    } else if (k == "sustain") {
      args(1, 1, "sustain LEVEL (0-1)");
      l.sustain = num(1, 0, 1);
    } else if (k == "freq") {
      args(1, 1, "freq HZ");
      l.freq = num(1, 1, 20000);
    } else if (k == "slide") {
      args(1, 1, "slide OCTAVES-PER-SECOND");
      l.slide = num(1, -100, 100);
    } else if (k == "accel") {
      args(1, 1, "accel OCTAVES-PER-SECOND-SQUARED");
      l.accel = num(1, -1000, 1000);
    } else if (k == "vibrato") {
      args(2, 2, "vibrato DEPTH-SEMITONES RATE-HZ");
      l.vib_depth = num(1, 0, 24);
      l.vib_rate = num(2, 0, 200);
    } else if (k == "duty") {
      args(1, 1, "duty FRACTION (0.05-0.95)");
      l.duty = num(1, 0.05, 0.95);
    } else if (k == "duty-sweep") {
      args(1, 1, "duty-sweep PER-SECOND");
      l.duty_sweep = num(1, -20, 20);
    } else if (k == "arp") {
      args(2, 2, "arp TIME MULTIPLIER");
      if (l.arp.size() >= 64) fail(tok_[0].offset, "more than 64 arp steps in a layer");
      const ArpStep s{num(1, 0, kMaxSeconds), num(2, 0.01, 100)};
      if (!l.arp.empty() && s.time <= l.arp.back().time)
        fail(tok_[1].offset, "arp steps must come in increasing time");
      l.arp.push_back(s);
    } else if (k == "arp-loop") {
      args(1, 1, "arp-loop SECONDS");
      l.arp_loop = num(1, 0.005, kMaxSeconds);
    } else if (k == "volume") {
      args(1, 1, "volume LEVEL (0-4)");
      l.volume = num(1, 0, 4);
    } else if (k == "lowpass") {
      args(1, 2, "lowpass HZ [SWEEP-OCTAVES-PER-SECOND]");
      l.lowpass = num(1, 20, 22050);
      if (tok_.size() > 2) l.lowpass_sweep = num(2, -100, 100);
    } else if (k == "highpass") {
      args(1, 1, "highpass HZ");
      l.highpass = num(1, 1, 20000);
    } else if (k == "tremolo") {
      args(2, 2, "tremolo DEPTH (0-1) RATE-HZ");
      l.trem_depth = num(1, 0, 1);
      l.trem_rate = num(2, 0, 200);
    } else if (k == "crackle") {
      args(1, 2, "crackle POPS-PER-SECOND [DEPTH 0-1]");
      l.crackle_rate = num(1, 0, 5000);
      if (tok_.size() > 2) l.crackle_depth = num(2, 0, 1);
    } else if (k == "seed") {
      args(1, 1, "seed N");
      l.seed = static_cast<std::uint32_t>(num(1, 0, 2147483647));
      l.has_seed = true;
    } else {
      fail(tok_[0].offset, "unknown parameter '" + key() + "'");
    }
  }

  const std::string& file_;
  Effect effect_;
  std::string_view line_;
  int lineno_ = 0;
  std::vector<Token> tok_;
  std::set<std::string> seen_;
  bool has_peak_ = false;
  bool has_echo_ = false;
};

// Deterministic noise source.
struct Rng {
  std::uint32_t s;
  explicit Rng(std::uint32_t seed) : s(seed ? seed : 0x9E3779B9u) {}
  std::uint32_t next() {
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    return s;
  }
  double uniform() { return (next() >> 8) * (1.0 / 16777216.0); }  // [0, 1)
  double bipolar() { return uniform() * 2 - 1; }
};

// Band-limiting correction for the jumps of square and saw waves.
double poly_blep(double t, double dt) {
  if (t < dt) {
    t /= dt;
    return t + t - t * t - 1;
  }
  if (t > 1 - dt) {
    t = (t - 1) / dt;
    return t * t + t + t + 1;
  }
  return 0;
}

double envelope(const Layer& l, double t) {
  if (t < 0) return 0;
  if (t < l.attack) return t / l.attack;
  t -= l.attack;
  if (t < l.decay) return 1 + (l.sustain - 1) * (t / l.decay);
  t -= l.decay;
  if (t < l.hold) return l.sustain;
  t -= l.hold;
  if (t < l.release) return l.sustain * (1 - t / l.release);
  return 0;
}

// Layers are synthesised at kOversample times the output rate and filtered down, so
// the partials of sharp waves, fast noise and steep sweeps above the output's Nyquist
// frequency are removed before they can fold back as aliases.
constexpr int kOversample = 4;
constexpr int kSynthRate = kRate * kOversample;

void render_layer(const Layer& l, int index, std::vector<double>& mix) {
  constexpr int kRate = kSynthRate;
  const auto first = static_cast<std::size_t>(std::llround(l.start * kRate));
  const auto count = static_cast<std::size_t>(std::llround(l.length() * kRate));
  Rng rng(l.has_seed ? l.seed : 0x1234567u + 7919u * static_cast<std::uint32_t>(index));
  Rng pops(rng.next());
  double phase = 0;
  double noise = rng.bipolar();
  double lp1 = 0, lp2 = 0, hp_in = 0, hp_out = 0;
  double pop = 0;
  double tri = -1;
  const double kPopFade = std::pow(0.9985, static_cast<double>(sfx::kRate) / kRate);
  for (std::size_t i = 0; i < count && first + i < mix.size(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    double mult = 1;
    if (!l.arp.empty()) {
      const double at = l.arp_loop > 0 ? std::fmod(t, l.arp_loop) : t;
      auto after = std::upper_bound(l.arp.begin(), l.arp.end(), at,
                                    [](double v, const ArpStep& s) { return v < s.time; });
      if (after != l.arp.begin()) mult = std::prev(after)->mult;
    }
    double octaves = l.slide * t + 0.5 * l.accel * t * t;
    octaves = std::clamp(octaves, -20.0, 20.0);
    double f = l.freq * mult * std::exp2(octaves);
    if (l.vib_depth > 0) f *= std::exp2(l.vib_depth / 12 * std::sin(kTwoPi * l.vib_rate * t));
    f = std::clamp(f, 1.0, 20000.0);
    const double dt = f / kRate;

    double v = 0;
    const double duty = std::clamp(l.duty + l.duty_sweep * t, 0.05, 0.95);
    switch (l.wave) {
      case Wave::Square: {
        v = phase < duty ? 1 : -1;
        v += poly_blep(phase, dt);
        double p2 = phase - duty;
        if (p2 < 0) p2 += 1;
        v -= poly_blep(p2, dt);
        break;
      }
      case Wave::Saw:
        v = 2 * phase - 1 - poly_blep(phase, dt);
        break;
      case Wave::Triangle: {
        // The integral of a band-limited square: its corners are band-limited too.
        double sq = phase < 0.5 ? 1 : -1;
        sq += poly_blep(phase, dt);
        double p2 = phase - 0.5;
        if (p2 < 0) p2 += 1;
        sq -= poly_blep(p2, dt);
        tri = tri * (1 - 0.01 * dt) + 4 * dt * sq;  // a faint leak keeps it centred
        v = tri;
        break;
      }
      case Wave::Sine:
        v = std::sin(kTwoPi * phase);
        break;
      case Wave::Noise:
        v = noise;
        break;
    }
    phase += dt;
    if (phase >= 1) {
      phase -= std::floor(phase);
      noise = rng.bipolar();
    }

    if (l.lowpass > 0) {
      const double fc = std::clamp(l.lowpass * std::exp2(std::clamp(l.lowpass_sweep * t, -20.0, 20.0)), 10.0, 20000.0);
      const double a = 1 - std::exp(-kTwoPi * fc / kRate);
      lp1 += a * (v - lp1);
      lp2 += a * (lp1 - lp2);
      v = lp2;
    }
    if (l.highpass > 0) {
      const double r = std::exp(-kTwoPi * l.highpass / kRate);
      const double out = r * (hp_out + v - hp_in);
      hp_in = v;
      hp_out = out;
      v = out;
    }
    double amp = envelope(l, t) * l.volume;
    if (l.trem_depth > 0) amp *= 1 - l.trem_depth * (0.5 + 0.5 * std::sin(kTwoPi * l.trem_rate * t));
    if (l.crackle_rate > 0) {
      if (pops.uniform() < l.crackle_rate / kRate) pop = 0.4 + 0.6 * pops.uniform();
      amp *= 1 - l.crackle_depth + l.crackle_depth * pop;
      pop = std::max(pop * kPopFade, 0.02);  // a pop dies away in ~15 ms over a faint bed
    }
    mix[first + i] += v * amp;
  }
}

// Low-pass FIR (windowed sinc, Blackman window) from kSynthRate down to kRate: flat to
// 18 kHz, at least 70 dB down from the output's Nyquist frequency on.
std::vector<double> decimate(const std::vector<double>& in) {
  constexpr int kTaps = 511;
  static const std::vector<double> h = [] {
    std::vector<double> c(kTaps);
    const double fc = 20000.0 / kSynthRate;  // cutoff, cycles per sample
    double sum = 0;
    for (int i = 0; i < kTaps; ++i) {
      const double m = i - (kTaps - 1) / 2.0;
      const double sinc = m == 0 ? 2 * fc : std::sin(kTwoPi * fc * m) / (std::numbers::pi * m);
      const double w = 0.42 - 0.5 * std::cos(kTwoPi * i / (kTaps - 1)) + 0.08 * std::cos(2 * kTwoPi * i / (kTaps - 1));
      c[static_cast<std::size_t>(i)] = sinc * w;
      sum += c[static_cast<std::size_t>(i)];
    }
    for (double& v : c) v /= sum;
    return c;
  }();
  const std::size_t n = (in.size() + kOversample - 1) / kOversample;
  std::vector<double> out(n, 0.0);
  const long half = (kTaps - 1) / 2;
  for (std::size_t o = 0; o < n; ++o) {
    const long centre = static_cast<long>(o) * kOversample;
    double acc = 0;
    for (long k = 0; k < kTaps; ++k) {
      const long j = centre + half - k;
      if (j >= 0 && j < static_cast<long>(in.size())) acc += h[static_cast<std::size_t>(k)] * in[static_cast<std::size_t>(j)];
    }
    out[o] = acc;
  }
  return out;
}

void put_le(std::string& out, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace

Effect parse(std::string_view text, const std::string& file) { return Parser(file).run(text); }

std::vector<std::int16_t> render(const Effect& effect) {
  double seconds = 0;
  for (const Layer& l : effect.layers) seconds = std::max(seconds, l.start + l.length());
  seconds += effect.echo_delay * effect.echo_count;
  const auto n = static_cast<std::size_t>(std::llround(seconds * kRate));
  std::vector<double> fine(std::max<std::size_t>(n, 1) * kOversample, 0.0);
  for (std::size_t k = 0; k < effect.layers.size(); ++k) render_layer(effect.layers[k], static_cast<int>(k), fine);
  std::vector<double> mix = decimate(fine);
  mix.resize(std::max<std::size_t>(n, 1));

  if (effect.echo_count > 0) {
    const auto d = static_cast<std::size_t>(std::llround(effect.echo_delay * kRate));
    std::vector<double> dry = mix;
    double gain = 1;
    for (int e = 1; e <= effect.echo_count; ++e) {
      gain *= effect.echo_decay;
      const std::size_t off = d * static_cast<std::size_t>(e);
      for (std::size_t i = 0; i + off < mix.size(); ++i) mix[i + off] += dry[i] * gain;
    }
  }

  // Remove any DC offset (a square wave with a narrow duty has one) so the
  // effect starts and ends at rest.
  double x1 = 0, y1 = 0;
  const double r = std::exp(-kTwoPi * 15.0 / kRate);
  for (double& v : mix) {
    const double y = v - x1 + r * y1;
    x1 = v;
    y1 = y;
    v = y;
  }
  // Short fades at both ends: no clicks.
  const std::size_t fade_in = std::min<std::size_t>(mix.size() / 4, kRate / 500);    // 2 ms
  const std::size_t fade_out = std::min<std::size_t>(mix.size() / 4, kRate / 200);  // 5 ms
  for (std::size_t i = 0; i < fade_in; ++i) mix[i] *= static_cast<double>(i) / fade_in;
  for (std::size_t i = 0; i < fade_out; ++i) mix[mix.size() - 1 - i] *= static_cast<double>(i) / fade_out;

  double peak = 0;
  for (double v : mix) peak = std::max(peak, std::fabs(v));
  const double scale = peak > 1e-9 ? effect.peak / peak : 0;
  std::vector<std::int16_t> out(mix.size());
  for (std::size_t i = 0; i < mix.size(); ++i)
    out[i] = static_cast<std::int16_t>(std::clamp(std::lround(mix[i] * scale * 32767), -32767L, 32767L));
  return out;
}

std::string wav_file(const std::vector<std::int16_t>& samples) {
  const auto data = static_cast<std::uint32_t>(samples.size() * 2);
  std::string out = "RIFF";
  put_le(out, 36 + data, 4);
  out += "WAVEfmt ";
  put_le(out, 16, 4);
  put_le(out, 1, 2);          // PCM
  put_le(out, 1, 2);          // mono
  put_le(out, kRate, 4);
  put_le(out, kRate * 2, 4);  // bytes per second
  put_le(out, 2, 2);          // block align
  put_le(out, 16, 2);         // bits per sample
  out += "data";
  put_le(out, data, 4);
  for (std::int16_t s : samples) put_le(out, static_cast<std::uint16_t>(s), 2);
  return out;
}

}  // namespace ardo::sfx
