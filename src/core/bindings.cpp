// Key bindings: the names of keys and buttons, and the tests the input code asks.
#include "core/bindings.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace ardo {

namespace vk = platform::vk;

namespace {

constexpr const char* kActionNames[kActionCount] = {"up",     "down",   "left", "right",
                                                    "choose", "cancel", "dash", "full_screen"};

constexpr const char* kPadNames[platform::kPadButtonCount] = {
    "A",         "B",          "X",            "Y",             "Back",   "Guide",    "Start",   "LeftStick",
    "RightStick", "LeftShoulder", "RightShoulder", "DpadUp", "DpadDown", "DpadLeft", "DpadRight"};

struct NamedKey {
  const char* name;
  int key;
};
constexpr NamedKey kNamedKeys[] = {
    {"Up", vk::kUp},         {"Down", vk::kDown},       {"Left", vk::kLeft},         {"Right", vk::kRight},
    {"Enter", vk::kReturn},  {"Space", vk::kSpace},     {"Shift", vk::kShift},       {"Ctrl", vk::kControl},
    {"Alt", vk::kMenu},      {"Escape", vk::kEscape},   {"Tab", vk::kTab},           {"Backspace", vk::kBack},
    {"PageUp", vk::kPageUp}, {"PageDown", vk::kPageDown}, {"Home", vk::kHome},      {"End", vk::kEnd},
    {"Insert", vk::kInsert}, {"Delete", vk::kDelete},
};

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

bool ParseSmallNumber(std::string_view s, int lo, int hi, int* out) {
  if (s.empty() || s.size() > 2) return false;
  int v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
  }
  if (v < lo || v > hi) return false;
  *out = v;
  return true;
}

bool ParsePlainKey(std::string_view name, int* key) {
  if (name.size() == 1) {
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
      *key = c;
      return true;
    }
    return false;
  }
  for (const NamedKey& n : kNamedKeys) {
    if (SameName(name, n.name)) {
      *key = n.key;
      return true;
    }
  }
  int n = 0;
  if (name.size() > 6 && SameName(name.substr(0, 6), "Keypad") && ParseSmallNumber(name.substr(6), 0, 9, &n)) {
    *key = vk::kNumpad0 + n;
    return true;
  }
  if (name.size() > 1 && (name[0] == 'F' || name[0] == 'f') && ParseSmallNumber(name.substr(1), 1, 12, &n)) {
    *key = vk::kF1 + n - 1;
    return true;
  }
  return false;
}

Bindings MakeDefaults() {
  using platform::PadBit;
  Bindings b;
  auto set = [&](Action a, std::vector<KeyInput> keys) { b.keys[static_cast<int>(a)] = std::move(keys); };
  set(Action::kUp, {{vk::kUp}, {vk::kNumpad8}});
  set(Action::kDown, {{vk::kDown}, {vk::kNumpad2}});
  set(Action::kLeft, {{vk::kLeft}, {vk::kNumpad4}});
  set(Action::kRight, {{vk::kRight}, {vk::kNumpad6}});
  set(Action::kChoose, {{'X'}, {vk::kReturn}});
  set(Action::kCancel, {{'Z'}, {vk::kSpace}});
  set(Action::kDash, {{'C'}, {vk::kShift}});
  set(Action::kFullScreen, {{'F'}, {vk::kReturn, platform::kAltMask}});
  const platform::PadMap pad;
  b.pad = {pad.up, pad.down, pad.left, pad.right, pad.choose, pad.cancel, pad.dash, 0};
  return b;
}

Bindings g_bindings = MakeDefaults();
// The debug console's command line has the keyboard.
bool g_keyboard_taken = false;
// Keys that belong to something else until they are let go.
std::vector<int> g_ignored;

}  // namespace

const Bindings& DefaultBindings() {
  static const Bindings defaults = MakeDefaults();
  return defaults;
}

const Bindings& CurrentBindings() { return g_bindings; }

void ResetBindings() {
  g_bindings = DefaultBindings();
  g_keyboard_taken = false;
  g_ignored.clear();
}

void SetKeyboardTaken(bool taken) { g_keyboard_taken = taken; }

void IgnoreHeldKeys() {
  auto& p = platform::GetPlatform();
  for (const auto& keys : g_bindings.keys) {
    for (const KeyInput& k : keys) {
      if (p.KeyHeld(k.key) && std::find(g_ignored.begin(), g_ignored.end(), k.key) == g_ignored.end()) {
        g_ignored.push_back(k.key);
      }
    }
  }
}

void SetBindings(const Bindings& bindings) {
  g_bindings = bindings;
  auto pad = [&](Action a) { return bindings.pad[static_cast<int>(a)]; };
  platform::PadMap map;
  map.up = pad(Action::kUp);
  map.down = pad(Action::kDown);
  map.left = pad(Action::kLeft);
  map.right = pad(Action::kRight);
  map.choose = pad(Action::kChoose);
  map.cancel = pad(Action::kCancel);
  map.dash = pad(Action::kDash);
  platform::GetPlatform().SetPadMap(map);
}

const char* ActionName(Action a) { return kActionNames[static_cast<int>(a)]; }

bool ParseAction(std::string_view name, Action* out) {
  for (int i = 0; i < kActionCount; ++i) {
    if (SameName(name, kActionNames[i])) {
      *out = static_cast<Action>(i);
      return true;
    }
  }
  return false;
}

bool ParseKey(std::string_view name, KeyInput* out) {
  KeyInput k;
  // Modifiers first: "Ctrl+Shift+X".
  for (;;) {
    const size_t plus = name.find('+');
    if (plus == std::string_view::npos || plus + 1 >= name.size()) break;
    const std::string_view mod = name.substr(0, plus);
    if (SameName(mod, "Shift")) {
      k.mods |= platform::kShiftMask;
    } else if (SameName(mod, "Ctrl")) {
      k.mods |= platform::kCtrlMask;
    } else if (SameName(mod, "Alt")) {
      k.mods |= platform::kAltMask;
    } else {
      return false;
    }
    name = name.substr(plus + 1);
  }
  if (!ParsePlainKey(name, &k.key)) return false;
  *out = k;
  return true;
}

std::string KeyName(const KeyInput& k) {
  std::string s;
  if (k.mods & platform::kCtrlMask) s += "Ctrl+";
  if (k.mods & platform::kAltMask) s += "Alt+";
  if (k.mods & platform::kShiftMask) s += "Shift+";
  if ((k.key >= 'A' && k.key <= 'Z') || (k.key >= '0' && k.key <= '9')) return s + static_cast<char>(k.key);
  for (const NamedKey& n : kNamedKeys) {
    if (n.key == k.key) return s + n.name;
  }
  if (k.key >= vk::kNumpad0 && k.key <= vk::kNumpad0 + 9) return s + "Keypad" + std::to_string(k.key - vk::kNumpad0);
  if (k.key >= vk::kF1 && k.key <= vk::kF12) return s + "F" + std::to_string(k.key - vk::kF1 + 1);
  return s + "?";
}

bool ParsePadButton(std::string_view name, platform::PadButton* out) {
  for (int i = 0; i < platform::kPadButtonCount; ++i) {
    if (SameName(name, kPadNames[i])) {
      *out = static_cast<platform::PadButton>(i);
      return true;
    }
  }
  return false;
}

const char* PadButtonName(platform::PadButton b) { return kPadNames[b]; }

bool ActionHeld(Action a) {
  if (g_keyboard_taken) return false;
  auto& p = platform::GetPlatform();
  for (const KeyInput& k : g_bindings.keys[static_cast<int>(a)]) {
    if (!p.KeyHeld(k.key)) {
      std::erase(g_ignored, k.key);  // let go: it counts again from the next press
      continue;
    }
    if (std::find(g_ignored.begin(), g_ignored.end(), k.key) != g_ignored.end()) continue;
    if ((k.mods & platform::kShiftMask) && !p.KeyHeld(vk::kShift)) continue;
    if ((k.mods & platform::kCtrlMask) && !p.KeyHeld(vk::kControl)) continue;
    if ((k.mods & platform::kAltMask) && !p.KeyHeld(vk::kMenu)) continue;
    return true;
  }
  return false;
}

bool ActionKeyDown(Action a, int key, int shift) {
  const int i = static_cast<int>(a);
  if (key >= vk::kPadBase && key < vk::kPadBase + platform::kPadButtonCount) {
    return (g_bindings.pad[i] & (1u << (key - vk::kPadBase))) != 0;
  }
  // The keypad's Enter is Enter.
  if (key == vk::kSeparator) key = vk::kReturn;
  for (const KeyInput& k : g_bindings.keys[i]) {
    if (k.key == key && (shift & k.mods) == k.mods) return true;
  }
  return false;
}

}  // namespace ardo
