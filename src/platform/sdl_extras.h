// Small helpers of the desktop platform: the keys beyond the game's own, the window's
// icon. Private to the platform.
#pragma once

#include <SDL.h>

#include <string>

namespace ardo::platform {

// The scancode of a bindable key that the game itself does not use (vk code), and back.
SDL_Scancode ExtraScancodeFor(int key);
int ExtraKeyFor(SDL_Scancode sc);

// Sets the window's icon from a PNG; false (and nothing changed) when it can't be read.
bool SetWindowIconFrom(SDL_Window* window, const std::string& path);

}  // namespace ardo::platform
