// Private to the platform layer: the debug console's own desktop window.
//
// The game draws the window's contents; this shows them and takes every event
// addressed to the window (by window ID), so what is typed there never reaches the
// game: text and the IME's finished input go to the console text channel, Enter and
// the keypad's Enter as '\r', Backspace as '\b'. Closing it only hides it.
#pragma once

#include <SDL.h>

#include <deque>
#include <string>
#include <utility>

#include "platform/platform.h"

namespace ardo::platform {

class SdlConsoleWindow final : public ConsoleWindow {
 public:
  SdlConsoleWindow(SDL_Window* game, int scale) : game_(game), scale_(scale) {}
  ~SdlConsoleWindow() override;

  bool Open() override;
  bool IsOpen() const override { return open_; }
  bool HasFocus() const override { return open_ && focus_; }
  void Present(const Surface& contents) override;
  const std::string& Composition() const override { return composition_; }
  void GiveFocusToGame() override;
  bool TakeClick(int* x, int* y) override;

  // True while the keyboard belongs to this window: the game's held keys are not held then.
  bool OwnsKeyboard() const { return window_ != nullptr && SDL_GetKeyboardFocus() == window_; }

  enum class Routed { kNotMine, kTaken, kGameClosed };
  // Takes the events addressed to this window; text typed into it is appended to `typed`.
  // With two windows SDL sends no quit when the game window is closed: kGameClosed says so.
  Routed Route(const SDL_Event& e, std::string* typed);

 private:
  void Hide();
  void Redraw();
  void StartTyping();

  SDL_Window* game_;
  int scale_;
  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  Uint32 id_ = 0;
  bool open_ = false;
  bool focus_ = false;
  bool failed_ = false;
  std::string composition_;
  std::deque<std::pair<int, int>> clicks_;
};

}  // namespace ardo::platform
