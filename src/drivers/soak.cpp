// The soak: random play of the whole game, as a restless player would play it: walking
// and dashing, talking, the menus and their settings, battles, saving and loading, full
// screen on and off; from the title it always starts or continues a game, never quits.
#include "drivers/soak.h"

#include <unistd.h>

#ifdef __EMSCRIPTEN__
#include <malloc.h>
#endif

#include <cstdio>
#include <fstream>

#include "battle/battle.h"
#include "core/core.h"
#include "debug/console.h"
#include "drivers/drivers.h"
#include "events/story.h"
#include "field/field.h"
#include "presentation/presentation.h"
#include "ui/ui.h"

namespace ardo {

namespace {

long g_frames_override = 0;

constexpr int kEnemies = 51;     // enemy.dat has rows 0 to 50
constexpr long kFrameMs = 20;    // the field loop's frame
constexpr long kRssEvery = 1000;  // frames between two samples of resident memory
// Resident memory may still grow this much over the last quarter of a run (allocator
// and sanitizer caches settling); a leak of a few bytes a frame grows past it.
constexpr long kLastQuarterGrowthKb = 4096;

long ResidentKb() {
#ifdef __EMSCRIPTEN__
  // A WebAssembly program has no process of its own to ask (/proc/self is its host's):
  // the memory it holds from its allocator.
  return static_cast<long>(mallinfo().uordblks / 1024);
#endif
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  if (!(statm >> size >> resident)) return 0;
  return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

bool AnyWindow() {
  for (int i = 0; i <= win::kLast; ++i) {
    if (picWindow(i).visible) return true;
  }
  return false;
}

}  // namespace

void SetSoakFrames(long frames) { g_frames_override = frames; }
long SoakFrames(long scripted) { return g_frames_override > 0 ? g_frames_override : scripted; }

SoakDriver::SoakDriver(long frames, std::uint32_t seed) : frames_(frames), seed_(seed), random_(seed) {}

void SoakDriver::Press(const std::string& key, long hold, long gap) {
  queue_.push_back({Step::kDown, key});
  queue_.push_back({Step::kWait, "", hold});
  queue_.push_back({Step::kUp, key});
  queue_.push_back({Step::kWait, "", gap});
}

void SoakDriver::Plan() {
  static const char* kDirections[] = {"up", "down", "left", "right"};
  const Scene scene = CurrentScene();
  if (scene == Scene::kTitle) {
    // The title menu (続きから, 初めから, 終わる) opens on its first row: at most one
    // step down keeps the cursor off 終わる.
    if (picWindow(win::kSaveSlots).visible) {
      const int r = Roll(4);
      Press(r < 2 ? "x" : r == 2 ? "down" : "z");
    } else if (picWindow(win::kTitleMenu).visible && !title_moved_ && Roll(2) == 0) {
      title_moved_ = true;
      Press("down");
    } else {
      Press("x");
    }
    return;
  }
  if (scene != Scene::kField) {
    Press(Roll(2) == 0 ? "x" : "z", 80, 200);
    return;
  }
  if (InBattle || AnyWindow() || MessageWaiting() || DebugConsoleFocused()) {
    if (DebugConsoleFocused()) {
      queue_.push_back({Step::kType, "back\n"});
      queue_.push_back({Step::kWait, "", 100});
      return;
    }
    const int r = Roll(100);
    if (r < 45) Press("x");
    else if (r < 65) Press("z");
    else if (r < 97) Press(kDirections[Roll(4)]);
    else Press(Roll(2) == 0 ? "f" : "alt+enter");
    return;
  }
  // The open field. A start with --map (or the escape from the first cave) has no
  // battles: the debug console puts the field's first encounter area back.
  if (MapName == "field" && Flags(story::kAreaByte) == 0) {
    Press("ctrl+d");
    queue_.push_back({Step::kType, "set array 001 1\n"});
    queue_.push_back({Step::kWait, "", 100});
    return;
  }
  const int r = Roll(100);
  if (r < 52) {
    const std::string dir = kDirections[Roll(4)];
    const bool dash = Roll(3) == 0;
    if (dash) queue_.push_back({Step::kDown, "c"});
    Press(dir, 100 + Roll(1400), 40);
    if (dash) queue_.push_back({Step::kUp, "c"});
  } else if (r < 64) {
    Press("x");
  } else if (r < 76) {
    Press(Roll(2) == 0 ? "z" : "space");
  } else if (r < 86) {
    // Save or load through the menus: field menu, システム, セーブ or ロード, a slot, はい.
    // The waits let each question be typed out before it is answered.
    const bool save = r < 82;
    constexpr long kRead = 900;
    Press("z", 80, kRead);
    for (int i = 0; i < 3; ++i) Press("down", 80, 150);
    Press("x", 80, kRead);
    if (!save) Press("down", 80, 150);
    Press("x", 80, kRead);
    for (int i = Roll(9); i > 0; --i) Press("down", 80, 150);
    Press("x", 80, kRead * 2);
    Press("x", 80, kRead * 2);
    Press("x", 80, kRead);
  } else if (r < 89) {
    Press(Roll(2) == 0 ? "f" : "alt+enter", 80, 300);
  } else if (r < 91) {
    // A battle against any enemy of the table, through the debug console.
    char line[16];
    std::snprintf(line, sizeof line, "btl %03d\n", Roll(kEnemies));
    Press("ctrl+d");
    queue_.push_back({Step::kType, line});
    queue_.push_back({Step::kWait, "", 100});
  } else {
    static const char* kAny[] = {"up", "down", "left", "right", "x", "z", "c", "space", "enter",
                                 "kp2", "kp4", "kp6", "kp8", "pad1", "pad2", "padup", "padleft"};
    Press(kAny[Roll(static_cast<int>(std::size(kAny)))], 40 + Roll(300), 60);
  }
}

void SoakDriver::Observe() {
  const bool title_menu = picWindow(win::kTitleMenu).visible;
  if (title_menu && !title_menu_) title_moved_ = false;
  title_menu_ = title_menu;
  if (InBattle && !battle_) ++battles_;
  battle_ = InBattle;
  if (FullScreen != full_screen_) ++switches_;
  full_screen_ = FullScreen;
  if (MapName != map_) {
    ++maps_;
    map_ = MapName;
  }
  const std::string& m = MessageShown();
  if (m != message_) {
    if (message_.empty() || m.rfind(message_, 0) != 0) ++messages_;
    auto appeared = [&](Say word) {
      const std::string text = WordStem(word);
      return m.find(text) != std::string::npos && message_.find(text) == std::string::npos;
    };
    if (appeared(Say::kSaved)) ++saves_;
    if (appeared(Say::kLoaded)) ++loads_;
    message_ = m;
  }
  const bool title = CurrentScene() == Scene::kTitle;
  if (title && !title_) ++titles_;
  title_ = title;
}

bool SoakDriver::Tick(std::uint32_t now, platform::HeadlessControl& control, const KeyFn& key) {
  if (!started_) {
    started_ = true;
    start_ms_ = now;
  }
  // A frame is one field frame of game time; event points come far more often.
  const long frame = static_cast<long>((now - start_ms_) / kFrameMs);
  while (frame_ <= frame && frame_ <= frames_) {
    if (frame_ % kRssEvery == 0) rss_kb_.push_back(ResidentKb());
    ++frame_;
  }
  if (frame >= frames_) {
    for (const auto& k : held_) key(k, false);
    held_.clear();
    end_ms_ = now;
    frame_ = frames_;
    return true;
  }
  Observe();
  while (true) {
    if (now < wait_until_) return false;
    if (next_ >= queue_.size()) {
      queue_.clear();
      next_ = 0;
      Plan();
    }
    const Step& s = queue_[next_++];
    switch (s.kind) {
      case Step::kDown:
        key(s.text, true);
        held_.push_back(s.text);
        break;
      case Step::kUp:
        key(s.text, false);
        std::erase(held_, s.text);
        break;
      case Step::kWait:
        wait_until_ = now + static_cast<std::uint32_t>(s.ms);
        break;
      case Step::kType:
        control.TypeText(s.text);
        break;
    }
  }
}

std::string SoakDriver::Summary() const {
  char line[512];
  std::snprintf(line, sizeof line,
                "soak: %ld frames, %.1f min of game time (seed %u): %d battles, %d saves, %d loads, "
                "%d full-screen switches, %d map changes, %d messages, %d titles; resident MB",
                frame_, (end_ms_ - start_ms_) / 60000.0, seed_, battles_, saves_, loads_, switches_, maps_, messages_,
                titles_);
  std::string s = line;
  // At the start and after each quarter of the run.
  const size_t n = rss_kb_.size();
  for (int q = 0; q <= 4 && n > 0; ++q) {
    std::snprintf(line, sizeof line, " %.1f", rss_kb_[(n - 1) * q / 4] / 1024.0);
    s += line;
  }
  return s;
}

std::string SoakDriver::Verdict() const {
  const size_t n = rss_kb_.size();
  if (n < 8) return "";
  const long growth = rss_kb_[n - 1] - rss_kb_[(n - 1) * 3 / 4];
  if (growth <= kLastQuarterGrowthKb) return "";
  return "resident memory grew " + std::to_string(growth) + " KB over the last quarter of the soak (at most " +
         std::to_string(kLastQuarterGrowthKb) + " KB)";
}

}  // namespace ardo
