// The soak: the headless game played by seeded random input for a number of frames
// (the harness's `soak FRAMES [SEED]` command), with a watch on resident memory.
#pragma once

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace ardo {

// The frames a soak runs: its own count, unless --frames gave one (SetSoakFrames).
long SoakFrames(long scripted);

class SoakDriver {
 public:
  // Presses (down) or lets go of a key by its script name ("up", "x", "ctrl+d", ...).
  using KeyFn = std::function<void(const std::string& key, bool down)>;

  SoakDriver(long frames, std::uint32_t seed);

  // One event point (a frame): plays the next bit of input. True when all frames ran;
  // the keys are let go then.
  bool Tick(std::uint32_t now, platform::HeadlessControl& control, const KeyFn& key);

  // One line: the frames, what happened and the resident memory over the run.
  std::string Summary() const;
  // Empty when the run is sound, else why not (memory still growing at the end).
  std::string Verdict() const;

 private:
  struct Step {
    enum Kind { kDown, kUp, kWait, kType } kind;
    std::string text;  // key name or typed text
    long ms = 0;
  };
  void Plan();
  void Press(const std::string& key, long hold = 80, long gap = 120);
  void Observe();
  int Roll(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }

  long frames_;
  std::uint32_t seed_;
  std::mt19937 random_;
  bool started_ = false;
  long frame_ = 0;
  std::vector<Step> queue_;
  size_t next_ = 0;
  std::uint32_t wait_until_ = 0;
  std::vector<std::string> held_;
  std::vector<long> rss_kb_;  // sampled every kRssEvery frames

  // What the run saw.
  bool title_ = false;
  bool title_menu_ = false;
  bool title_moved_ = false;
  bool battle_ = false;
  bool full_screen_ = false;
  std::string map_;
  std::string message_;
  int battles_ = 0, saves_ = 0, loads_ = 0, switches_ = 0, maps_ = 0, messages_ = 0, titles_ = 0;
  std::uint32_t start_ms_ = 0, end_ms_ = 0;
};

}  // namespace ardo
