// The headless script harness: drives the real program in virtual time from a
// script of waits, key presses, conditions, screenshots and state dumps.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>

#include "battle/battle.h"
#include "debug/console.h"
#include "drivers/drivers.h"
#include "drivers/script_lines.h"
#include "drivers/soak.h"
#include "events/events.h"
#include "events/story.h"
#include "field/field.h"
#include "game/program.h"
#include "platform/headless_captions.h"
#include "presentation/presentation.h"
#include "sound/sound.h"
#include "ui/ui.h"

namespace ardo {

namespace {

namespace vk = platform::vk;

// A key name: a keyboard key (with the shift state its key-down event carries) or a pad input.
struct KeySpec {
  int key = 0;
  int shift = 0;
  int pad_button = 0;  // bit mask
  int pad_dir = -1;    // 0 up, 1 down, 2 left, 3 right
};

constexpr int kPadButtonLimit = 32;

bool LookupKey(const std::string& name, KeySpec* out) {
  static const std::map<std::string, KeySpec> kKeys = {
      {"up", {vk::kUp}},          {"down", {vk::kDown}},       {"left", {vk::kLeft}},
      {"right", {vk::kRight}},    {"z", {'Z'}},                {"x", {'X'}},
      {"c", {'C'}},               {"f", {'F'}},                {"space", {vk::kSpace}},
      {"enter", {vk::kReturn}},   {"shift", {vk::kShift, platform::kShiftMask}},
      {"kp2", {vk::kNumpad2}},    {"kp4", {vk::kNumpad4}},     {"kp6", {vk::kNumpad6}},
      {"kp8", {vk::kNumpad8}},    {"ctrl+d", {'D', platform::kCtrlMask}},
      {"ctrl+shift+d", {'D', platform::kCtrlMask | platform::kShiftMask}},
      {"alt+enter", {vk::kReturn, platform::kAltMask}},       {"escape", {vk::kEscape}},
      {"pad1", {0, 0, 1}},        {"pad2", {0, 0, 2}},         {"pad3", {0, 0, 4}},
      {"pad4", {0, 0, 8}},        {"padup", {0, 0, 0, 0}},     {"paddown", {0, 0, 0, 1}},
      {"padleft", {0, 0, 0, 2}},  {"padright", {0, 0, 0, 3}},
  };
  auto it = kKeys.find(name);
  if (it != kKeys.end()) {
    *out = it->second;
    return true;
  }
  // Any other letter or digit key (for keys bound in a settings file).
  if (name.size() == 1 && ((name[0] >= 'a' && name[0] <= 'z') || (name[0] >= '0' && name[0] <= '9'))) {
    *out = KeySpec{vk::Letter(name[0])};
    return true;
  }
  // Any key by its code (recorded sessions name keys without a name so).
  std::int64_t code = 0;
  if (name.starts_with("vk") && ParseInt(name.substr(2), &code) && code > 0 && code < vk::PadKey(kPadButtonLimit)) {
    *out = KeySpec{static_cast<int>(code)};
    return true;
  }
  return false;
}

// The longest stretch of game time one command may ask for: an hour runs in seconds,
// anything much longer would keep the run going for hours of real time.
constexpr std::int64_t kMaxScriptMs = 3600000;
// Mouse positions are on or near the 640 x 480 canvas.
constexpr std::int64_t kMaxMouseCoordinate = 10000;

bool ParseMs(const std::string& s, std::int64_t* v) { return ParseInt(s, v) && *v >= 0 && *v <= kMaxScriptMs; }

struct Command {
  int line = 0;
  std::string op;
  std::vector<std::string> args;
  std::vector<KeySpec> keys;
  std::int64_t ms = 0;
  std::int64_t x = 0, y = 0;  // mouse
  std::string rest;  // the text after the command word (for type)
  std::int64_t seed = 1;     // soak
  std::vector<std::pair<std::uint32_t, std::uint32_t>> ticks;  // tick: (ms, event points)
  std::vector<bool> held;    // keys: held or let go, one per key
  std::int64_t button = 0, shift = 0;  // event, pad (button: the pad's buttons)
};

const std::vector<std::string> kConditionNames = {"map", "pos", "window", "nowindow", "text", "flag", "noflag",
                                                  "bgm", "battle", "nobattle", "hp", "gold", "fullscreen",
                                                  "windowed", "title", "field", "chars", "standing", "prompt",
                                                  "music", "nomusic", "sound", "scene"};

class Runner final : public ScriptRunner {
 public:
  Runner(std::vector<Command> commands, std::string name) : commands_(std::move(commands)), name_(std::move(name)) {}

  void Attach(platform::HeadlessControl* control) override {
    control_ = control;
    control_->SetEventPointHook([this] { Step(); });
    // Answers the game needs before its first event point (a recording says them first).
    while (pc_ < commands_.size() && (commands_[pc_].op == "answer" || commands_[pc_].op == "fullscreen")) {
      Answer(commands_[pc_++]);
    }
  }
  int exit_status() const override { return status_; }

 private:
  void Fail(const Command& c, const std::string& why) {
    std::fprintf(stderr, "%s:%d: %s\n", name_.c_str(), c.line, why.c_str());
    status_ = 1;
    Finish();
  }
  void Finish() {
    done_ = true;
    GameRunning = false;
  }

  void ApplyKeys(const std::vector<KeySpec>& keys, bool down) {
    for (const KeySpec& k : keys) {
      if (k.key != 0) {
        control_->SetKey(k.key, down);
        if (k.shift == platform::kCtrlMask) control_->SetKey(vk::kControl, down);
        if (k.shift == platform::kAltMask) control_->SetKey(vk::kMenu, down);
        if (down) control_->QueueKeyDown(k.key, k.shift);
      } else {
        if (down) pad_buttons_ |= k.pad_button;
        else pad_buttons_ &= ~k.pad_button;
        if (k.pad_dir >= 0) {
          if (down) pad_dir_ = k.pad_dir;
          else if (pad_dir_ == k.pad_dir) pad_dir_ = -1;
        }
        std::uint32_t x = 32767, y = 32767;
        if (pad_dir_ == 0) y = 0;
        if (pad_dir_ == 1) y = 65535;
        if (pad_dir_ == 2) x = 0;
        if (pad_dir_ == 3) x = 65535;
        control_->SetPad(true, x, y, static_cast<std::uint32_t>(pad_buttons_));
      }
    }
  }

  void Answer(const Command& c) {
    if (c.op == "answer") {
      control_->QueueMessageBoxAnswer(c.args[0] == "ok" ? platform::MsgBoxResult::kOk
                                                        : platform::MsgBoxResult::kCancel);
    } else {
      control_->RefuseFullScreen(c.args[0] == "refuse");
    }
  }

  // A recorded window event.
  void QueueEvent(const Command& c) {
    const std::string& kind = c.args[0];
    const int b = static_cast<int>(c.button), sh = static_cast<int>(c.shift);
    using M = platform::HeadlessControl::MouseEvent;
    if (kind == "key") control_->QueueKeyDown(c.keys[0].key, sh);
    if (kind == "down") control_->QueueMouseEvent(M::kDown, b, sh, static_cast<int>(c.x), static_cast<int>(c.y));
    if (kind == "move") control_->QueueMouseEvent(M::kMove, b, sh, static_cast<int>(c.x), static_cast<int>(c.y));
    if (kind == "up") control_->QueueMouseEvent(M::kUp, b, sh, static_cast<int>(c.x), static_cast<int>(c.y));
    if (kind == "double") control_->QueueMouse(platform::kMouseLeft, 0, 0, true);
    if (kind == "close") control_->QueueClose();
  }

  // Runs commands until one has to wait for time or a condition.
  void Step() {
    if (done_ || busy_) return;
    busy_ = true;
    bool ticked = false;  // this event point's tick is taken
    const std::uint32_t now = platform::GetPlatform().TimeGetTime();
    while (!done_ && pc_ < commands_.size()) {
      Command& c = commands_[pc_];
      if (started_ != pc_) {
        started_ = pc_;
        start_time_ = now;
        if (c.op == "press") ApplyKeys(c.keys, true);
      }
      if (c.op == "wait") {
        if (now - start_time_ < static_cast<std::uint32_t>(c.ms)) break;
      } else if (c.op == "tick") {
        // One event point each: the clock moves on by the recorded time, then this event
        // point's inputs (the commands up to the next tick) are set.
        if (ticked) break;
        ticked = true;
        control_->AdvanceTime(c.ticks[tick_at_].first);
        if (++tick_repeat_ < c.ticks[tick_at_].second) break;
        tick_repeat_ = 0;
        if (++tick_at_ < c.ticks.size()) break;
        tick_at_ = 0;
      } else if (c.op == "keys") {
        for (size_t i = 0; i < c.keys.size(); ++i) control_->SetKey(c.keys[i].key, c.held[i]);
      } else if (c.op == "pad") {
        pad_buttons_ = c.args[0] == "off" ? 0 : static_cast<int>(c.button);
        pad_dir_ = -1;
        control_->SetPad(c.args[0] != "off", static_cast<std::uint32_t>(c.x), static_cast<std::uint32_t>(c.y),
                         static_cast<std::uint32_t>(pad_buttons_));
      } else if (c.op == "event") {
        QueueEvent(c);
      } else if (c.op == "fullscreen") {
        Answer(c);
      } else if (c.op == "press") {
        if (now - start_time_ < static_cast<std::uint32_t>(c.ms)) break;
        ApplyKeys(c.keys, false);
      } else if (c.op == "hold") {
        ApplyKeys(c.keys, true);
      } else if (c.op == "release") {
        if (c.args.size() == 1 && c.args[0] == "all") {
          control_->ReleaseAllKeys();
          control_->SetKey(vk::kControl, false);
          pad_buttons_ = 0;
          pad_dir_ = -1;
        } else {
          ApplyKeys(c.keys, false);
        }
      } else if (c.op == "until") {
        bool all = true;
        for (const std::string& cond : c.args) {
          bool ok = true;
          if (!EvalCondition(cond, &ok)) {
            all = false;
            break;
          }
        }
        if (!all) {
          if (now - start_time_ > static_cast<std::uint32_t>(c.ms)) {
            std::string conds;
            for (const auto& a : c.args) conds += " " + a;
            Fail(c, "until" + conds + ": not reached within " + std::to_string(c.ms) + " ms (map=" + MapName +
                        " pos=" + std::to_string(Player.x) + "," + std::to_string(Player.y) + " message=\"" +
                        MessageShown() + "\")");
          }
          break;
        }
      } else if (c.op == "shot") {
        platform::Surface frame;
        ComposeScreen(&frame);
        std::string error;
        if (!platform::SavePng(frame, c.args[0], &error)) {
          Fail(c, error);
          break;
        }
      } else if (c.op == "dump") {
        std::ofstream out(c.args[0], std::ios::binary);
        out << DumpState() << "\n";
        if (!out) {
          Fail(c, c.args[0] + ": cannot write the dump");
          break;
        }
      } else if (c.op == "answer") {
        Answer(c);
      } else if (c.op == "typehex") {
        control_->TypeText(c.rest);
      } else if (c.op == "type") {
        // A backslash and an "n" in the typed text make a line break: it runs the console's command line.
        std::string text = c.rest;
        for (size_t at = text.find("\\n"); at != std::string::npos; at = text.find("\\n", at + 1)) {
          text.replace(at, 2, "\n");
        }
        control_->TypeText(text);
      } else if (c.op == "mouse") {
        const std::string& b = c.args[0];
        const int button = b == "right" ? platform::kMouseRight : b == "middle" ? platform::kMouseMiddle
                                                                               : platform::kMouseLeft;
        control_->QueueMouse(button, static_cast<int>(c.x), static_cast<int>(c.y), b == "double");
      } else if (c.op == "soak") {
        if (!soak_) soak_ = std::make_unique<SoakDriver>(SoakFrames(static_cast<long>(c.ms)), static_cast<std::uint32_t>(c.seed));
        if (!soak_->Tick(now, *control_, [this](const std::string& name, bool down) {
              KeySpec k;
              if (LookupKey(name, &k)) ApplyKeys({k}, down);
            })) {
          break;
        }
        std::fprintf(stderr, "%s\n", soak_->Summary().c_str());
        const std::string why = soak_->Verdict();
        soak_.reset();
        if (!why.empty()) {
          Fail(c, why);
          break;
        }
      } else if (c.op == "quit") {
        Finish();
        break;
      }
      ++pc_;
    }
    if (!done_ && pc_ >= commands_.size()) Finish();
    // Between recorded ticks the clock stands still: only they move it.
    control_->FollowScriptClock(!done_ && commands_[pc_].op == "tick");
    busy_ = false;
  }

  std::vector<Command> commands_;
  std::string name_;
  platform::HeadlessControl* control_ = nullptr;
  size_t pc_ = 0;
  size_t started_ = static_cast<size_t>(-1);
  std::uint32_t start_time_ = 0;
  int status_ = 0;
  bool done_ = false;
  bool busy_ = false;
  int pad_buttons_ = 0;
  int pad_dir_ = -1;
  size_t tick_at_ = 0;          // the current tick command's number in hand
  std::uint32_t tick_repeat_ = 0;  // and event points of it passed
  std::unique_ptr<SoakDriver> soak_;
};

// Checks a condition's form when the script is read, so a run never waits on one it
// cannot evaluate. Empty when it is sound, else what is wrong.
std::string CheckCondition(const std::string& cond) {
  const size_t sep = cond.find_first_of("=~<>!");
  const std::string key = cond.substr(0, sep);
  bool known = false;
  for (const auto& n : kConditionNames) known = known || n == key;
  if (!known) return "unknown condition '" + cond + "'";
  static const std::vector<std::string> kBare = {"battle", "nobattle", "fullscreen", "windowed", "title", "field",
                                                 "standing", "prompt", "music", "nomusic"};
  for (const auto& n : kBare) {
    if (n == key) return sep == std::string::npos ? "" : "condition '" + key + "' takes no value";
  }
  const char want = key == "text" ? '~' : '=';
  if (sep == std::string::npos || cond[sep] != want || sep + 1 >= cond.size()) {
    return "condition '" + cond + "' must be written " + key + want + "VALUE";
  }
  const std::string value = cond.substr(sep + 1);
  std::int64_t v = 0;
  auto in_range = [&](std::int64_t lo, std::int64_t hi) { return ParseInt(value, &v) && v >= lo && v <= hi; };
  if (key == "pos") {
    const size_t comma = value.find(',');
    std::int64_t x = 0, y = 0;
    if (comma == std::string::npos || !ParseInt(value.substr(0, comma), &x) ||
        !ParseInt(value.substr(comma + 1), &y) || x < 0 || x > 255 || y < 0 || y > 255) {
      return "pos needs X,Y from 0 to 255";
    }
  } else if (key == "window" || key == "nowindow") {
    if (!in_range(0, win::kLast)) return key + " needs a window number from 0 to " + std::to_string(win::kLast);
  } else if (key == "flag" || key == "noflag") {
    if (!in_range(0, 2047)) return key + " needs a flag number from 0 to 2047";
  } else if (key == "chars") {
    if (!in_range(0, 256)) return "chars needs a number from 0 to 256";
  } else if (key == "hp" || key == "gold") {
    if (!in_range(INT32_MIN, INT32_MAX)) return key + " needs a number";
  }
  return "";
}

}  // namespace

std::unique_ptr<ScriptRunner> ParseScript(const std::string& text, const std::string& name, std::string* error) {
  std::vector<Command> commands;
  ScriptLines lines(text, name);
  auto bad = [&](const std::string& why) { lines.Bad(why); };
  while (lines.Next("type")) {
    const std::string& raw = lines.raw();
    const std::vector<std::string>& words = lines.words();
    Command c;
    c.line = lines.number();
    c.op = words[0];
    c.args.assign(words.begin() + 1, words.end());
    if (c.op == "wait") {
      if (c.args.size() != 1 || !ParseMs(c.args[0], &c.ms)) {
        bad("wait needs a number of milliseconds from 0 to " + std::to_string(kMaxScriptMs));
      }
    } else if (c.op == "hold" || c.op == "release" || c.op == "press") {
      std::vector<std::string> names = c.args;
      if (c.op == "press") {
        c.ms = 100;
        std::int64_t v = 0;
        if (!names.empty() && ParseInt(names.back(), &v)) {
          if (!ParseMs(names.back(), &c.ms)) bad("press holds for 0 to " + std::to_string(kMaxScriptMs) + " ms");
          names.pop_back();
        }
      }
      if (names.empty()) bad(c.op + " needs at least one key");
      if (c.op == "release" && names.size() == 1 && names[0] == "all") names.clear();
      for (const auto& n : names) {
        KeySpec k;
        if (!LookupKey(n, &k)) {
          bad("unknown key '" + n + "'");
        } else {
          c.keys.push_back(k);
        }
      }
    } else if (c.op == "until") {
      c.ms = 60000;
      if (c.args.size() >= 2 && c.args[c.args.size() - 2] == "timeout") {
        if (!ParseMs(c.args.back(), &c.ms)) {
          bad("timeout needs a number of milliseconds from 0 to " + std::to_string(kMaxScriptMs));
        }
        c.args.resize(c.args.size() - 2);
      }
      if (c.args.empty()) bad("until needs at least one condition");
      for (const auto& cond : c.args) {
        const std::string why = CheckCondition(cond);
        if (!why.empty()) bad(why);
      }
    } else if (c.op == "shot" || c.op == "dump") {
      if (c.args.size() != 1) bad(c.op + " needs one file name");
    } else if (c.op == "answer") {
      if (c.args.size() != 1 || (c.args[0] != "ok" && c.args[0] != "cancel")) bad("answer takes ok or cancel");
    } else if (c.op == "type") {
      const size_t p = raw.find("type");
      c.rest = p + 5 <= raw.size() ? raw.substr(p + 5) : "";
    } else if (c.op == "mouse") {
      auto coordinate = [](const std::string& a, std::int64_t* v) {
        return ParseInt(a, v) && *v >= -kMaxMouseCoordinate && *v <= kMaxMouseCoordinate;
      };
      if (c.args.size() != 3 || !coordinate(c.args[1], &c.x) || !coordinate(c.args[2], &c.y) ||
          (c.args[0] != "left" && c.args[0] != "right" && c.args[0] != "middle" && c.args[0] != "double")) {
        bad("mouse takes left|right|middle|double X Y (X and Y within " + std::to_string(kMaxMouseCoordinate) +
            ")");
      }
    } else if (c.op == "soak") {
      std::int64_t seed = 1;
      if (c.args.empty() || c.args.size() > 2 || !ParseInt(c.args[0], &c.ms) || c.ms < 1 || c.ms > 1000000000 ||
          (c.args.size() == 2 && (!ParseInt(c.args[1], &seed) || seed < 0 || seed > UINT32_MAX))) {
        bad("soak takes a number of frames from 1 to 1000000000 and an optional seed");
      }
      c.seed = seed;
    } else if (c.op == "tick") {
      // tick MS... : one event point per number; DxN is N event points of D ms.
      for (const std::string& a : c.args) {
        const size_t x = a.find('x');
        std::int64_t ms = 0, n = 1;
        if (!ParseMs(a.substr(0, x), &ms) || (x != std::string::npos && (!ParseInt(a.substr(x + 1), &n) || n < 1 ||
                                                                          n > 1000000000))) {
          bad("tick takes milliseconds from 0 to " + std::to_string(kMaxScriptMs) + ", each maybe xN (N event points)");
          break;
        }
        c.ticks.push_back({static_cast<std::uint32_t>(ms), static_cast<std::uint32_t>(n)});
      }
      if (c.args.empty()) bad("tick needs at least one time");
    } else if (c.op == "keys") {
      for (const std::string& a : c.args) {
        KeySpec k;
        if (a.size() < 2 || (a[0] != '+' && a[0] != '-') || !LookupKey(a.substr(1), &k) || k.key == 0) {
          bad("keys takes +KEY (held) and -KEY (let go), keyboard keys only");
          break;
        }
        c.keys.push_back(k);
        c.held.push_back(a[0] == '+');
      }
      if (c.args.empty()) bad("keys needs at least one key");
    } else if (c.op == "pad") {
      if (!(c.args.size() == 1 && c.args[0] == "off") &&
          (c.args.size() != 3 || !ParseInt(c.args[0], &c.x) || !ParseInt(c.args[1], &c.y) ||
           !ParseInt(c.args[2], &c.button) || c.x < 0 || c.x > 65535 || c.y < 0 || c.y > 65535 || c.button < 0 ||
           c.button > 4095)) {
        bad("pad takes X Y (0 to 65535) and BUTTONS (0 to 4095), or off");
      }
    } else if (c.op == "event") {
      const std::string kind = c.args.empty() ? "" : c.args[0];
      auto number = [](const std::string& a, std::int64_t* v, std::int64_t limit) {
        return ParseInt(a, v) && *v >= -limit && *v <= limit;
      };
      KeySpec k;
      if (kind == "key" && c.args.size() == 3 && LookupKey(c.args[1], &k) && k.key != 0 &&
          number(c.args[2], &c.shift, 7) && c.shift >= 0) {
        c.keys.push_back(k);
      } else if ((kind == "down" || kind == "move" || kind == "up") && c.args.size() == 5 &&
                 number(c.args[1], &c.button, 7) && c.button >= 0 && number(c.args[2], &c.shift, 7) &&
                 c.shift >= 0 && number(c.args[3], &c.x, kMaxMouseCoordinate) &&
                 number(c.args[4], &c.y, kMaxMouseCoordinate)) {
        // a mouse event
      } else if (!((kind == "double" || kind == "close") && c.args.size() == 1)) {
        bad("event takes key KEY SHIFT, down|move|up BUTTON SHIFT X Y, double or close");
      }
    } else if (c.op == "typehex") {
      const std::string hex = c.args.size() == 1 ? c.args[0] : "";
      auto digit = [](char ch) { return ch >= '0' && ch <= '9' ? ch - '0' : ch >= 'a' && ch <= 'f' ? ch - 'a' + 10 : -1; };
      for (size_t i = 0; i + 1 < hex.size() && digit(hex[i]) >= 0 && digit(hex[i + 1]) >= 0; i += 2) {
        c.rest += static_cast<char>(digit(hex[i]) * 16 + digit(hex[i + 1]));
      }
      if (hex.empty() || c.rest.size() * 2 != hex.size()) bad("typehex takes the typed bytes as pairs of hex digits");
    } else if (c.op == "fullscreen") {
      if (c.args.size() != 1 || (c.args[0] != "allow" && c.args[0] != "refuse")) bad("fullscreen takes allow or refuse");
    } else if (c.op == "quit") {
      // nothing to check
    } else {
      bad("unknown command '" + c.op + "'");
    }
    commands.push_back(std::move(c));
  }
  if (!lines.errors().empty()) {
    if (error) *error = lines.errors();
    return nullptr;
  }
  return std::make_unique<Runner>(std::move(commands), name);
}

std::unique_ptr<ScriptRunner> LoadScript(const std::string& path, std::string* error) {
  // Plain files of a bounded size only, like the game's own files.
  std::string text;
  std::string why;
  if (ReadGameFile(path, &text, &why) != FileStatus::kOk) {
    if (error) *error = path + ": cannot read the script\n";
    return nullptr;
  }
  return ParseScript(text, path, error);
}

bool EvalCondition(const std::string& cond, bool* ok) {
  *ok = true;
  const size_t eq = cond.find_first_of("=~");
  const std::string key = cond.substr(0, eq);
  const std::string value = eq == std::string::npos ? "" : cond.substr(eq + 1);
  auto num = [&](std::int64_t* v) { return ParseInt(value, v); };
  std::int64_t v = 0;
  if (key == "map") return MapName == value;
  if (key == "bgm") return BgmName == value;
  if (key == "pos") {
    const size_t comma = value.find(',');
    std::int64_t x, y;
    if (comma == std::string::npos || !ParseInt(value.substr(0, comma), &x) || !ParseInt(value.substr(comma + 1), &y)) {
      *ok = false;
      return false;
    }
    return Player.x == x && Player.y == y && StepOffset == 0;
  }
  if (key == "window" && num(&v) && v >= 0 && v <= win::kLast) return picWindow(v).visible;
  if (key == "nowindow" && num(&v) && v >= 0 && v <= win::kLast) return !picWindow(v).visible;
  if (key == "text") return MessageShown().find(value) != std::string::npos;
  if (key == "flag" && num(&v)) return Flag(static_cast<int>(v)) != 0;
  if (key == "noflag" && num(&v)) return Flag(static_cast<int>(v)) == 0;
  if (key == "battle") return InBattle;
  if (key == "nobattle") return !InBattle;
  if (key == "hp" && num(&v)) return Player.hp == v;
  if (key == "gold" && num(&v)) return Player.gold == v;
  if (key == "fullscreen") return FullScreen;
  if (key == "windowed") return !FullScreen;
  if (key == "title") return ReturnToTitle;
  if (key == "field") return !ReturnToTitle && !InBattle;
  if (key == "chars" && num(&v)) return CharCount == v;
  if (key == "standing") return StepOffset == 0;
  if (key == "prompt") return MessageWaiting();
  if (key == "scene") {
    const Scene s = CurrentScene();
    if (value == "narration") {
      return s == Scene::kOpening || s == Scene::kDemo || s == Scene::kEndingNarration;
    }
    return value == SceneName(s);
  }
  auto* rec = dynamic_cast<platform::RecordingAudio*>(&platform::GetPlatform().audio());
  if (key == "music") return rec != nullptr && rec->state().playing;
  if (key == "nomusic") return rec == nullptr || !rec->state().playing;
  if (key == "sound" && rec != nullptr) {
    for (const auto& s : rec->state().sounds) {
      if (s.find("/" + value + ".wav") != std::string::npos) return true;
    }
    return false;
  }
  *ok = false;
  return false;
}

std::string DumpState() {
  using nlohmann::json;
  json j;
  j["time_ms"] = platform::GetPlatform().TimeGetTime();
  j["map"] = MapName;
  j["map_title"] = MapTitle(MapName);
  j["bgm"] = BgmName;
  json p;
  p["x"] = Player.x;
  p["y"] = Player.y;
  p["pid"] = Player.pid;
  p["dx"] = Player.dx;
  p["dy"] = Player.dy;
  p["dir"] = Player.dir;
  p["lv"] = Player.lv;
  p["hp"] = Player.hp;
  p["mhp"] = Player.mhp;
  p["mp"] = Player.mp;
  p["mmp"] = Player.mmp;
  p["exp"] = Player.exp;
  p["gold"] = Player.gold;
  p["ap"] = Player.ap;
  p["dp"] = Player.dp;
  p["sp"] = Player.sp;
  json items = json::array();
  for (Byte b : Player.items) items.push_back(b);
  p["items"] = items;
  j["player"] = p;
  static const char* kHex = "0123456789abcdef";
  std::string flags;
  for (Byte b : Flags) {
    flags += kHex[b >> 4];
    flags += kHex[b & 15];
  }
  j["flags"] = flags;
  std::vector<std::pair<std::uint64_t, int>> shown;
  for (int i = 0; i <= win::kLast; ++i) {
    if (picWindow(i).visible) shown.push_back({picWindow(i).z, i});
  }
  std::sort(shown.begin(), shown.end());
  json windows = json::array();
  for (auto& [z, i] : shown) windows.push_back(i);
  j["windows"] = windows;
  j["message"] = MessageShown();
  json chars = json::array();
  for (int i = 0; i < CharCount; ++i) {
    const CharRecord& c = Chars(i);
    chars.push_back({{"x", c.x}, {"y", c.y}, {"pic", c.pic}, {"dir", c.dir}, {"talk", c.talk}, {"walks", c.walks}});
  }
  j["chars"] = chars;
  if (InBattle) {
    j["enemy"] = {{"id", EnemyId}, {"name", Enemy.name}, {"hp", Enemy.stats.hp}};
  } else {
    j["enemy"] = nullptr;
  }
  j["step_offset"] = StepOffset;
  j["full_screen"] = FullScreen;
  j["return_to_title"] = ReturnToTitle;
  j["walk_wait"] = WalkWait;
  j["message_wait"] = MessageWait;
  j["encounter_area"] = Flags(story::kAreaByte);
  // What the presentation shows: the scene, the staff page, the narration's scroll.
  j["scene"] = SceneName(CurrentScene());
  j["console"] = {{"shown", DebugWindowShown()},
                  {"focus", DebugConsoleFocused()},
                  {"command", DebugCommandLine()},
                  {"output", DebugOutput()},
                  {"menu", DebugMenuRows()}};
  j["staff_page"] = StaffPage();
  j["scroll"] = {{"top", NarrationScroll().top}, {"off", NarrationScroll().off}};
  // The message boxes shown so far, their captions and the window's (headless runs).
  if (auto* headless = platform::GetPlatform().headless()) j["message_boxes"] = headless->message_boxes();
  if (const auto* captions = platform::HeadlessMessageBoxCaptions(platform::GetPlatform())) {
    j["message_box_captions"] = *captions;
  }
  if (const auto* caption = platform::HeadlessWindowCaption(platform::GetPlatform())) j["window_caption"] = *caption;
  // What the sound back-end was asked, when it is the recording one (headless runs).
  if (auto* rec = dynamic_cast<platform::RecordingAudio*>(&platform::GetPlatform().audio())) {
    const auto& a = rec->state();
    json sounds = json::array();
    for (const auto& s : a.sounds) sounds.push_back(std::filesystem::path(s).stem().string());
    j["audio"] = {{"music", a.music_path.empty() ? "" : std::filesystem::path(a.music_path).stem().string()},
                  {"playing", a.playing},
                  {"opens", a.opens},
                  {"restarts", a.restarts},
                  {"sounds", sounds}};
  }
  // Names come from files and the command line: text that is not UTF-8 is shown with
  // replacement characters rather than refused.
  return j.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace ardo
