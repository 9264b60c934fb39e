// Key bindings: which keys and controller buttons make each of the game's actions.
// The game's own keys are the defaults; the player's settings add or replace keys
// per action. Getkey and the window's key handler ask here instead of naming keys.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace ardo {

enum class Action { kUp, kDown, kLeft, kRight, kChoose, kCancel, kDash, kFullScreen };
constexpr int kActionCount = 8;

// A keyboard key (a vk code) with the modifiers that must be held with it
// (platform::kShiftMask and friends; none: any).
struct KeyInput {
  int key = 0;
  int mods = 0;
  bool operator==(const KeyInput&) const = default;
};

struct Bindings {
  std::array<std::vector<KeyInput>, kActionCount> keys;
  std::array<std::uint32_t, kActionCount> pad{};  // platform::PadBit masks
  bool operator==(const Bindings&) const = default;
};

// The game's own keys: arrows and keypad 8/2/4/6, X or Enter to choose, Z or Space to
// cancel, C or Shift to dash, F or Alt+Enter for full screen; on a pad A chooses,
// B or Start cancels, X or Y dash and the d-pad walks.
const Bindings& DefaultBindings();
const Bindings& CurrentBindings();
// Takes these bindings and hands their pad part to the platform.
void SetBindings(const Bindings& bindings);
// Back to the defaults (part of ResetCoreState; the platform's pad map is left alone).
void ResetBindings();

// Names as the settings file writes them.
const char* ActionName(Action a);  // "up", "choose", "full_screen", ...
bool ParseAction(std::string_view name, Action* out);
// "W", "Up", "Keypad8", "F5", "Alt+Enter" (letters in any case); false for an unknown key.
bool ParseKey(std::string_view name, KeyInput* out);
std::string KeyName(const KeyInput& k);
// "A", "B", "Start", "DpadUp", ...; false for an unknown button.
bool ParsePadButton(std::string_view name, platform::PadButton* out);
const char* PadButtonName(platform::PadButton b);

// While the keyboard is taken (the debug console's command line in the game window has
// the focus), no key of the game counts as held.
void SetKeyboardTaken(bool taken);
// The keys held now count for nothing until each is let go: the Enter that ran a console
// command is not also the game's button.
void IgnoreHeldKeys();

// Is a key of this action held (keyboard)?
bool ActionHeld(Action a);
// Does this key-down event (a vk code or vk::PadKey, with its shift state) trigger it?
bool ActionKeyDown(Action a, int key, int shift);

}  // namespace ardo
