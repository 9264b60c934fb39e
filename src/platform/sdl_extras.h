// Small helpers of the desktop platform: the keys beyond the game's own, the window's
// icon and real size. Private to the platform.
#pragma once

#include <SDL.h>

#include <string>

namespace ardo::platform {

// The scancode of a bindable key that the game itself does not use (vk code), and back.
SDL_Scancode ExtraScancodeFor(int key);
int ExtraKeyFor(SDL_Scancode sc);

// The window's real size in pixels, as the window system has it. SDL reports the size it
// asked for: without a window manager a full-screen request changes SDL's idea of the
// size, not the window. Falls back to SDL's own when the system can't be asked.
void ActualWindowSize(SDL_Window* window, int* w, int* h);

// Sets the window's icon from a PNG; false (and nothing changed) when it can't be read.
bool SetWindowIconFrom(SDL_Window* window, const std::string& path);

}  // namespace ardo::platform
