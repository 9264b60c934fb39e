// A headless game with the windows set up, and a key tapper that answers the
// message prompts and menus of blocking procedures the way a player would.
#pragma once

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "core/core.h"
#include "field/field.h"
#include "items/items.h"
#include "support/fixture.h"
#include "ui/ui.h"

namespace ardo::testing {

class ItemsGame : public HeadlessGame {
 protected:
  void SetUp() override {
    HeadlessGame::SetUp();
    Init_PlayerStatus();
    RecomputeSpeeds();
    picMain.Resize(360, 360);
    picBuff.Resize(408, 408);
    picFlash.Resize(360, 360);
    WinSet();
  }
  void TearDown() override {
    control().SetEventPointHook({});
    control().ReleaseAllKeys();
    HeadlessGame::TearDown();
  }

  // Runs `body` while the key that `key()` names is tapped: down for 50 ms, up for
  // 50 ms, again and again ('X' answers prompts and picks, 'Z' answers prompts and
  // cancels; 0 taps nothing). A body still waiting after two virtual minutes fails
  // the test instead of hanging it.
  void Tapping(const std::function<int()>& key, const std::function<void()>& body) {
    constexpr std::uint32_t kLimitMs = 120000;
    const std::uint32_t start = now();
    int held = 0;
    control().SetEventPointHook([&] {
      const std::uint32_t t = now() - start;
      const int k = key();
      const bool down = (t / 50) % 2 == 0;
      if (held != 0 && (held != k || !down)) {
        control().SetKey(held, false);
        held = 0;
      }
      if (k != 0 && down && held == 0) {
        control().SetKey(k, true);
        held = k;
      }
      if (t > kLimitMs) GameRunning = false;
    });
    try {
      body();
    } catch (const EndProgram&) {
      ADD_FAILURE() << "still waiting for input after " << kLimitMs << " ms of game time";
    }
    control().SetEventPointHook({});
    control().ReleaseAllKeys();
    GameRunning = true;
  }
  void TappingKey(int key, const std::function<void()>& body) {
    Tapping([key] { return key; }, body);
  }

  static bool Shows(const std::string& text) {
    return MessageShown().find(text) != std::string::npos;
  }

  static void EmptyInventory() {
    for (auto& s : Player.items) s = 0;
  }

  // The error log of the current game folder (empty when there is none).
  static std::string ErrorLog() {
    std::ifstream in(ErrorLogPath());
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  static int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
  }

  // A scratch game folder with data/<name> holding `text`.
  void WriteData(const std::string& name, const std::string& text) {
    if (scratch_.empty()) UseScratchFolder();
    std::filesystem::create_directories(scratch_ + "/data");
    std::ofstream(scratch_ + "/data/" + name, std::ios::binary) << text;
  }
};

}  // namespace ardo::testing
