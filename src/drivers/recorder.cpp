// The session recorder (--record FILE): a desktop session written as a harness script,
// so it replays headless with the same seed and start to reproduce what the player saw.
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "drivers/drivers.h"

namespace ardo {

namespace {

namespace vk = platform::vk;

// The keys the game polls, by their script names.
struct RecordedKey {
  std::string name;
  int key;
};
const RecordedKey kKeys[] = {
    {"up", vk::kUp},
    {"down", vk::kDown},
    {"left", vk::kLeft},
    {"right", vk::kRight},
    {"z", 'Z'},
    {"x", 'X'},
    {"c", 'C'},
    {"f", 'F'},
    {"space", vk::kSpace},
    {"enter", vk::kReturn},
    {"shift", vk::kShift},
    {"kp2", vk::kNumpad2},
    {"kp4", vk::kNumpad4},
    {"kp6", vk::kNumpad6},
    {"kp8", vk::kNumpad8},
    {"escape", vk::kEscape},
};

class Recorder {
 public:
  explicit Recorder(std::ofstream out) : out_(std::move(out)) {
    keys_.assign(std::begin(kKeys), std::end(kKeys));
    // Every other letter and digit too: the player's settings may bind them.
    for (char c : std::string("abdeghijklmnopqrstuvwy0123456789")) {
      keys_.push_back({std::string(1, c), vk::Letter(c)});
    }
    held_.assign(keys_.size(), false);
  }

  void Poll() {
    auto& p = platform::GetPlatform();
    const std::uint32_t now = p.TimeGetTime();
    for (size_t i = 0; i < keys_.size(); ++i) {
      const bool down = p.KeyHeld(keys_[i].key);
      if (down == held_[i]) continue;
      held_[i] = down;
      if (now != last_) out_ << "wait " << (now - last_) << "\n";
      last_ = now;
      out_ << (down ? "hold " : "release ") << keys_[i].name << "\n";
    }
    out_.flush();
  }
  void Close() {
    out_ << "quit\n";
    out_.flush();
  }

 private:
  std::ofstream out_;
  std::vector<RecordedKey> keys_;
  std::vector<bool> held_;
  std::uint32_t last_ = 0;
};

std::unique_ptr<Recorder> g_recorder;

}  // namespace

bool StartRecording(const std::string& path, const std::string& options, std::string* error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << "# ardo:" << options << "\n"
      << "# A recorded session: replay it with  ardo --headless" << options << " --script " << path << "\n";
  if (!out) {
    *error = path + ": cannot write the recording";
    return false;
  }
  g_recorder = std::make_unique<Recorder>(std::move(out));
  return true;
}

void RecordEventPoint() {
  if (g_recorder) g_recorder->Poll();
}

void StopRecording() {
  if (!g_recorder) return;
  g_recorder->Close();
  g_recorder.reset();
}

}  // namespace ardo
