// A headless game with the windows set up, a player who presses keys when the
// screen asks for them, and a log of every message shown.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "field/field.h"
#include "support/fixture.h"
#include "ui/ui.h"

namespace ardo::testing {

class UiTest : public HeadlessGame {
 protected:
  void SetUp() override {
    HeadlessGame::SetUp();
    LoadWindowArt();
    WinSet();
    Player.lv = 1;
    Player.hp = Player.mhp = 150;
    Player.mp = Player.mmp = 20;
    Player.ap = 35;
    Player.dp = 20;
    Player.sp = 10;
    Player.gold = 300;
    for (int i = 0; i < 8; ++i) SetFlag(i, i == 0 || i == 1 || i == 3 || i == 6 ? 1 : 0);
    RecomputeSpeeds();
    control().SetEventPointHook([this] { OnEventPoint(); });
  }
  void TearDown() override {
    control().SetEventPointHook(nullptr);
    HeadlessGame::TearDown();
  }

  // The frame sheet and the message background, as the game loads them (left
  // blank when the art is missing, as in the game).
  static void LoadWindowArt() {
    std::string error;
    picWaku = platform::Surface(15, 15);
    if (auto p = platform::LoadPicture(GamePath("graphics/waku.png"), &error)) {
      picWaku.BitBlt(0, 0, 15, 15, p.get(), 0, 0, platform::Rop::kSrcCopy);
    }
    auto bg = std::make_shared<platform::Surface>(274, 116, kNavy);
    if (auto p = platform::LoadPicture(GamePath("graphics/mesbg.png"), &error)) {
      bg->BitBlt(0, 0, 274, 116, p.get(), 0, 0, platform::Rop::kSrcCopy);
    }
    picMesBackground = bg;
  }

  // ---- The player. Each step waits until its condition holds (and the previous
  // keys have been up for a moment), then holds its keys for `hold` ms.
  struct Step {
    std::vector<int> keys;
    std::uint32_t pad_buttons = 0;
    std::function<bool()> when;
    std::uint32_t hold = 40;
  };
  void Press(Step s) { steps_.push_back(std::move(s)); }
  void Press(int key, std::function<bool()> when, std::uint32_t hold = 40) {
    Press(Step{{key}, 0, std::move(when), hold});
  }
  // Menu keys for window n, pressed when n is the front window.
  void Pick(int n) { Press('X', [this, n] { return Front(n); }); }
  void Cancel(int n) { Press('Z', [this, n] { return Front(n); }); }
  void Down(int n, int times = 1) {
    for (int i = 0; i < times; ++i) Press(platform::vk::kDown, [this, n] { return Front(n); });
  }
  void Up(int n, int times = 1) {
    for (int i = 0; i < times; ++i) Press(platform::vk::kUp, [this, n] { return Front(n); });
  }
  void Yes() { Pick(3); }
  void No() {
    Down(3);
    Pick(3);
  }
  // Answers the prompt of a "￥".
  void Answer() { Press('X', [] { return MessageWaiting(); }); }

  // Window n is shown and in front of every other shown window.
  static bool Front(int n) {
    if (!picWindow(n).visible) return false;
    for (int i = 0; i <= 17; ++i) {
      if (i != n && picWindow(i).visible && picWindow(i).z > picWindow(n).z) return false;
    }
    return true;
  }

  // Runs a blocking call with the steps queued so far. Fails when the call is still
  // running after `limit_ms` of game time, or when steps were left unused.
  template <class F>
  ::testing::AssertionResult Run(F&& call, std::uint32_t limit_ms = 300000) {
    deadline_ = now() + limit_ms;
    bool timed_out = false;
    try {
      call();
    } catch (const EndProgram&) {
      timed_out = true;
    }
    GameRunning = true;
    deadline_ = 0;
    control().ReleaseAllKeys();
    holding_ = false;
    const size_t left = steps_.size();
    steps_.clear();
    if (timed_out) {
      return ::testing::AssertionFailure() << "still running after " << limit_ms << " ms with " << left
                                           << " key steps left; message: " << MessageShown();
    }
    if (left != 0) return ::testing::AssertionFailure() << left << " key steps were never pressed";
    return ::testing::AssertionSuccess();
  }

  // Every message shown, in order, as far as it was typed.
  std::vector<std::string> messages;

  // Calls `probe` at every event point while a blocking call runs.
  std::function<void()> probe;

  // ---- Pixels.
  static int Ink(const platform::Surface& s, int x, int y, int w, int h, platform::Color c = kSilver) {
    int n = 0;
    for (int yy = y; yy < y + h; ++yy) {
      for (int xx = x; xx < x + w; ++xx) n += s.At(xx, yy) == c ? 1 : 0;
    }
    return n;
  }
  // The text a window draws in one piece: 16 pixels a character from (x, y), each
  // pixel in colour c exactly where the text has ink.
  static ::testing::AssertionResult Text(const platform::Surface& s, int x, int y, const std::string& text,
                                         platform::Color c = kSilver) {
    const int w = 16 * static_cast<int>(CharLength(text));
    platform::Surface ref(w + 8, 24, 0);
    ref.SetForeColor(c);
    ref.TextOut(0, 0, text);
    int differ = 0;
    for (int dy = 0; dy < 20; ++dy) {
      for (int dx = 0; dx < w; ++dx) differ += (ref.At(dx, dy) == c) != (s.At(x + dx, y + dy) == c) ? 1 : 0;
    }
    if (differ == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "at (" << x << ", " << y << ") \"" << text << "\" differs in " << differ
                                         << " pixels";
  }
  // The 17 x 20 cell at (x, y) of the message window holds exactly the glyph of ch in colour c.
  static ::testing::AssertionResult Glyph(const platform::Surface& s, int x, int y, const std::string& ch,
                                          platform::Color c = kSilver) {
    platform::Surface ref(24, 24, 0);
    ref.SetForeColor(c);
    ref.TextOut(0, 0, ch);
    int differ = 0;
    for (int dy = 0; dy < 20; ++dy) {
      for (int dx = 0; dx < 17; ++dx) differ += (ref.At(dx, dy) == c) != (s.At(x + dx, y + dy) == c) ? 1 : 0;
    }
    if (differ == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "cell (" << x << ", " << y << ") differs from \"" << ch << "\" in "
                                         << differ << " pixels";
  }

 private:
  void OnEventPoint() {
    const std::string& cur = MessageShown();
    if (cur != last_seen_) {
      if (!messages.empty() && !last_seen_.empty() && cur.rfind(last_seen_, 0) == 0) {
        messages.back() = cur;
      } else if (!cur.empty()) {
        messages.push_back(cur);
      }
      last_seen_ = cur;
    }
    if (probe) probe();
    const std::uint32_t t = now();
    if (deadline_ != 0 && t > deadline_) GameRunning = false;
    if (holding_) {
      if (t < release_at_) return;
      control().ReleaseAllKeys();
      holding_ = false;
      idle_since_ = t;
      return;
    }
    if (steps_.empty() || t - idle_since_ < 30) return;
    Step& s = steps_.front();
    if (s.when && !s.when()) return;
    for (int k : s.keys) control().SetKey(k, true);
    if (s.pad_buttons != 0) control().SetPad(true, 32767, 32767, s.pad_buttons);
    holding_ = true;
    release_at_ = t + s.hold;
    steps_.pop_front();
  }

  std::deque<Step> steps_;
  bool holding_ = false;
  std::uint32_t release_at_ = 0;
  std::uint32_t idle_since_ = 0;
  std::uint32_t deadline_ = 0;
  std::string last_seen_;
};

}  // namespace ardo::testing
