// The player's preferences outside any save: the language, window scale, full screen
// at start, the volumes and the key bindings, in a plain commented INI file (settings.ini in the
// player's config folder).
#pragma once

#include <string>
#include <string_view>

#include "core/bindings.h"
#include "core/core.h"

namespace ardo {

struct Settings {
  int scale = 0;  // 1-8; 0: the largest that fits the desktop
  bool full_screen = false;
  int music_volume = 100;  // percent
  int effects_volume = 100;
  Bindings bindings = DefaultBindings();
  Language language = Language::kJapanese;  // of every text the player reads
  bool operator==(const Settings&) const = default;
};

// Reads a settings file's text. Every line that is not a setting, names an unknown
// setting or key, or gives a value out of range is logged under "Settings" with the
// file's name and the line number, and that setting keeps its default.
Settings ParseSettings(std::string_view text, const std::string& name);
// The whole file, commented, as the game writes it.
std::string SettingsText(const Settings& settings);
// Reads the file at path. A missing file is written with the defaults (its folder made
// first); a file that can't be read or written is logged and the defaults are used.
Settings LoadSettings(const std::string& path);

// Puts the settings into effect: bindings, volumes; full screen at the first start-up.
void ApplySettings(const Settings& settings);
// Called once the window is up (Initialize): goes full screen when the settings asked.
void EnterStartFullScreen();

}  // namespace ardo
