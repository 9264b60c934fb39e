// The program-wide game state, the flag bits, frame waiting and the new-game state.
#include <algorithm>
#include <random>

#include "core/bindings.h"
#include "core/core.h"

namespace ardo {

PlayerStatus Player;
VbArray<Byte, 0, 255> Flags;

bool GameRunning = false;
bool ReturnToTitle = false;
Integer FrameWait = 20;
Integer WalkWait = 16;
Integer MessageWait = 32;
Integer AnimClock = 0;
Integer AnimFrame = 0;
Integer StepOffset = 0;
Byte NoEncount = 0;
Integer TileSize = 24;
bool FullScreen = false;

namespace {
std::string g_app_path = ".";
std::string g_write_folder;  // empty: the game folder
std::mt19937 g_random(0);
std::vector<float> g_fixed_random;
size_t g_fixed_next = 0;
}  // namespace

const std::string& AppPath() { return g_app_path; }
void SetAppPath(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  g_app_path = path.empty() ? "." : path;
}

std::string GamePath(std::string_view relative) {
  std::string r(relative);
  for (char& c : r) {
    if (c == '\\') c = '/';
  }
  while (!r.empty() && r.front() == '/') r.erase(r.begin());
  return g_app_path + "/" + r;
}

void SetWriteFolder(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  g_write_folder = std::move(path);
}

const std::string& WriteFolder() { return g_write_folder.empty() ? g_app_path : g_write_folder; }

std::string WritePath(std::string_view relative) {
  std::string r(relative);
  while (!r.empty() && r.front() == '/') r.erase(r.begin());
  return WriteFolder() + "/" + r;
}

std::string GameRelative(const std::string& path) {
  const std::string prefix = g_app_path + "/";
  return path.starts_with(prefix) ? path.substr(prefix.size()) : path;
}

Byte Bit(Byte value, Byte n) {
  Trap on("Bit");
  return on.Value<Byte>(0, [&] {
    if (n > 7) Raise(err::kOverflow);
    return static_cast<Byte>((value >> n) & 1);
  });
}

void SetBit(Byte& target, Byte n, Byte on_) {
  Trap on("SetBit");
  on([&] {
    if (n > 7) Raise(err::kOverflow);
    if (on_ != 0) {
      target = static_cast<Byte>(target | (1u << n));
    } else {
      target = static_cast<Byte>(target & ~(1u << n));
    }
  });
}

Byte Flag(int n) {
  Trap on("Flag");
  return on.Value<Byte>(0, [&] {
    if (n < 0) Raise(err::kSubscript);
    return Bit(Flags(n / 8), static_cast<Byte>(7 - n % 8));
  });
}

void SetFlag(int n, int value) {
  Trap on("SetFlag");
  on([&] {
    if (n < 0) Raise(err::kSubscript);
    SetBit(Flags(n / 8), static_cast<Byte>(7 - n % 8), value != 0 ? 1 : 0);
  });
}

void RecomputeSpeeds() {
  WalkWait = static_cast<Integer>(24 * Flag(5) + 16 * Flag(6) + 8 * Flag(7));
  MessageWait = static_cast<Integer>(64 * Flag(2) + 32 * Flag(3) + 16 * Flag(4));
}

void Wait(long ms) {
  Trap on("Wait");
  if (ms < 0) return;
  auto& p = platform::GetPlatform();
  const std::uint32_t start = p.TimeGetTime();
  for (;;) {
    if (static_cast<long>(p.TimeGetTime() - start) >= ms) return;
    on([] { DoEvents(); });
    if (!GameRunning) throw EndProgram{};
    // Events are pumped again as soon as one arrives, else when the time is up.
    const long left = ms - static_cast<long>(p.TimeGetTime() - start);
    p.IdleUpTo(static_cast<std::uint32_t>(std::max(left, 0L)));
  }
}

void Init_PlayerStatus() {
  Trap on("Init_PlayerStatus");
  on([] {
    Player.x = 28;
    Player.y = 11;
    Player.pid = 0;
    Player.lv = 1;
    Player.mhp = 150;
    Player.mmp = 20;
    Player.hp = 150;
    Player.mp = 20;
    Player.ap = 35;
    Player.dp = 20;
    Player.sp = 10;
    Player.exp = 0;
    Player.gold = 300;
    for (int i = 0; i <= 14; ++i) Player.items(i) = i <= 4 ? 1 : 0;
    for (auto& b : Flags) b = 0;
    SetDefaultSettings();
  });
}

void SetDefaultSettings() {
  // Music and sound on, normal message speed, normal walking speed.
  const int defaults[8] = {1, 1, 0, 1, 0, 0, 1, 0};
  for (int i = 0; i < 8; ++i) SetFlag(i, defaults[i]);
}

void ResetCoreState() {
  Player = PlayerStatus{};
  SetGameLanguage(Language::kJapanese);
  for (auto& b : Flags) b = 0;
  GameRunning = true;
  ReturnToTitle = false;
  FrameWait = 20;
  WalkWait = 16;
  MessageWait = 32;
  AnimClock = 0;
  AnimFrame = 0;
  StepOffset = 0;
  NoEncount = 0;
  TileSize = 24;
  FullScreen = false;
  JoyCenterX = JoyCenterY = 0;
  JoyThreshold = 20000;
  FixRandom({});
  SeedRandom(0);
  ResetBindings();
}

void Exit_Game() {
  Trap on("Exit_Game");
  GameRunning = false;
}

float Rnd() {
  if (g_fixed_next < g_fixed_random.size()) return g_fixed_random[g_fixed_next++];
  return static_cast<float>(g_random() >> 8) * (1.0f / 16777216.0f);
}

void FixRandom(std::vector<float> values) {
  g_fixed_random = std::move(values);
  g_fixed_next = 0;
}

void SeedRandom(std::uint32_t seed) { g_random.seed(seed); }

}  // namespace ardo
