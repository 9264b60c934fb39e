// The sound effect synthesiser: a parameter file of layers in, 16-bit mono
// 44100 Hz WAV out. The parameter format is described in assets/sound/README.md.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ardo::sfx {

constexpr int kRate = 44100;
constexpr double kMaxSeconds = 10.0;
// The lengths of all layers added up: bounds the time a render takes.
constexpr double kMaxLayerSeconds = 20.0;

enum class Wave { Square, Saw, Triangle, Sine, Noise };

struct ArpStep {
  double time;  // seconds from the layer's start
  double mult;  // frequency multiplier from then on
};

struct Layer {
  int line = 0;
  Wave wave = Wave::Square;
  double start = 0;
  double attack = 0.005, decay = 0, sustain = 1, hold = 0, release = 0.05;
  double freq = 440;
  double slide = 0;   // octaves per second
  double accel = 0;   // octaves per second per second
  double vib_depth = 0, vib_rate = 0;  // semitones, Hz
  double duty = 0.5, duty_sweep = 0;   // fraction, per second
  std::vector<ArpStep> arp;
  double arp_loop = 0;                 // seconds, 0 = no loop
  double volume = 1;
  double lowpass = 0, lowpass_sweep = 0;  // Hz (0 = off), octaves per second
  double highpass = 0;                    // Hz (0 = off)
  double trem_depth = 0, trem_rate = 0;
  double crackle_rate = 0, crackle_depth = 1;
  std::uint32_t seed = 0;
  bool has_seed = false;

  double length() const { return attack + decay + hold + release; }
};

struct Effect {
  double peak = 0.8;
  double echo_delay = 0, echo_decay = 0;
  int echo_count = 0;
  std::vector<Layer> layers;
};

// Reads a parameter file; throws ardo::tool::SourceError on any fault.
Effect parse(std::string_view text, const std::string& file);

// Renders the effect: mixed, filtered, faded at both ends, peak-normalised.
std::vector<std::int16_t> render(const Effect& effect);

// A complete RIFF/WAVE file: PCM, mono, 16 bit, 44100 Hz.
std::string wav_file(const std::vector<std::int16_t>& samples);

}  // namespace ardo::sfx
