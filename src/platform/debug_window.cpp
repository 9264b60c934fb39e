// The debug console's desktop window: shows what the console drew and routes the
// events addressed to it.
#include "platform/debug_window.h"

#include <cstdio>

namespace ardo::platform {

SdlConsoleWindow::~SdlConsoleWindow() {
  if (texture_) SDL_DestroyTexture(texture_);
  if (renderer_) SDL_DestroyRenderer(renderer_);
  if (window_) SDL_DestroyWindow(window_);
}

bool SdlConsoleWindow::Open() {
  if (failed_) return false;
  if (window_ == nullptr) {
    // The IME's composition in one event however long it grows.
    SDL_SetHint(SDL_HINT_IME_SUPPORT_EXTENDED_TEXT, "1");
    int gx = 0, gy = 0, gw = 0;
    SDL_GetWindowPosition(game_, &gx, &gy);
    SDL_GetWindowSize(game_, &gw, nullptr);
    // Beside the game window, so neither hides the other.
    window_ = SDL_CreateWindow("DebugWindow", gx + gw + 8, gy, kConsoleWidth * scale_, kConsoleHeight * scale_,
                               SDL_WINDOW_HIDDEN);
    if (window_ != nullptr) {
      renderer_ = SDL_CreateRenderer(window_, -1, 0);
      if (renderer_ == nullptr) renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    }
    if (renderer_ != nullptr) {
      SDL_RenderSetLogicalSize(renderer_, kConsoleWidth, kConsoleHeight);
      texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, kConsoleWidth,
                                   kConsoleHeight);
    }
    if (texture_ == nullptr) {
      // The console goes on without a window of its own, as in a headless run.
      std::fprintf(stderr, "ardo: cannot open the debug window (%s)\n", SDL_GetError());
      if (renderer_) SDL_DestroyRenderer(renderer_);
      if (window_) SDL_DestroyWindow(window_);
      renderer_ = nullptr;
      window_ = nullptr;
      failed_ = true;
      return false;
    }
    id_ = SDL_GetWindowID(window_);
  }
  SDL_ShowWindow(window_);
  SDL_RaiseWindow(window_);
  open_ = true;
  focus_ = true;
  StartTyping();
  Redraw();
  return true;
}

void SdlConsoleWindow::StartTyping() {
  // The IME's candidate list opens under the command box.
  SDL_Rect box{4 * scale_, 24 * scale_, (kConsoleWidth - 8) * scale_, 22 * scale_};
  SDL_SetTextInputRect(&box);
  SDL_StartTextInput();
}

void SdlConsoleWindow::Hide() {
  if (window_) SDL_HideWindow(window_);
  open_ = false;
  focus_ = false;
  composition_.clear();
  SDL_StopTextInput();
}

void SdlConsoleWindow::GiveFocusToGame() {
  focus_ = false;
  composition_.clear();
  SDL_RaiseWindow(game_);
}

bool SdlConsoleWindow::TakeClick(int* x, int* y) {
  if (clicks_.empty()) return false;
  *x = clicks_.front().first;
  *y = clicks_.front().second;
  clicks_.pop_front();
  return true;
}

void SdlConsoleWindow::Present(const Surface& contents) {
  if (texture_ == nullptr || contents.width() != kConsoleWidth || contents.height() != kConsoleHeight) return;
  SDL_UpdateTexture(texture_, nullptr, contents.pixels().data(), kConsoleWidth * 4);
  Redraw();
}

void SdlConsoleWindow::Redraw() {
  if (!open_ || renderer_ == nullptr) return;
  SDL_SetRenderDrawColor(renderer_, 212, 208, 200, 255);
  SDL_RenderClear(renderer_);
  SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
  SDL_RenderPresent(renderer_);
}

SdlConsoleWindow::Routed SdlConsoleWindow::Route(const SDL_Event& e, std::string* typed) {
  if (window_ == nullptr) {
    if (e.type == SDL_TEXTEDITING_EXT) SDL_free(e.editExt.text);
    return e.type == SDL_TEXTEDITING_EXT ? Routed::kTaken : Routed::kNotMine;
  }
  switch (e.type) {
    case SDL_WINDOWEVENT:
      if (e.window.windowID != id_) {
        return e.window.event == SDL_WINDOWEVENT_CLOSE ? Routed::kGameClosed : Routed::kNotMine;
      }
      switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
          Hide();
          break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
          focus_ = open_;
          if (open_) StartTyping();
          break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
          focus_ = false;
          composition_.clear();
          SDL_StopTextInput();
          break;
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_SIZE_CHANGED:
          Redraw();
          break;
        default:
          break;
      }
      return Routed::kTaken;
    case SDL_TEXTINPUT:
      // Text typed into the game window is the game's (which reads no text): dropped.
      if (e.text.windowID == id_) {
        *typed += e.text.text;
        composition_.clear();
      }
      return Routed::kTaken;
    case SDL_TEXTEDITING:
      if (e.edit.windowID == id_) composition_ = e.edit.text;
      return e.edit.windowID == id_ ? Routed::kTaken : Routed::kNotMine;
    case SDL_TEXTEDITING_EXT:
      if (e.editExt.windowID == id_) composition_ = e.editExt.text != nullptr ? e.editExt.text : "";
      SDL_free(e.editExt.text);
      return Routed::kTaken;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      if (e.key.windowID != id_) return Routed::kNotMine;
      // While the IME composes, its keys are its own.
      if (e.type == SDL_KEYDOWN && composition_.empty()) {
        const SDL_Scancode sc = e.key.keysym.scancode;
        if ((sc == SDL_SCANCODE_RETURN || sc == SDL_SCANCODE_KP_ENTER) && !e.key.repeat) *typed += '\r';
        if (sc == SDL_SCANCODE_BACKSPACE) *typed += '\b';
      }
      return Routed::kTaken;
    case SDL_MOUSEBUTTONDOWN:
      if (e.button.windowID != id_) return Routed::kNotMine;
      if (e.button.button == SDL_BUTTON_LEFT && clicks_.size() < 16) {
        int w = 0;
        int h = 0;
        SDL_GetWindowSize(window_, &w, &h);
        if (w > 0 && h > 0) clicks_.emplace_back(e.button.x * kConsoleWidth / w, e.button.y * kConsoleHeight / h);
      }
      return Routed::kTaken;
    case SDL_MOUSEBUTTONUP:
      return e.button.windowID == id_ ? Routed::kTaken : Routed::kNotMine;
    case SDL_MOUSEMOTION:
      return e.motion.windowID == id_ ? Routed::kTaken : Routed::kNotMine;
    case SDL_MOUSEWHEEL:
      return e.wheel.windowID == id_ ? Routed::kTaken : Routed::kNotMine;
    default:
      return Routed::kNotMine;
  }
}

}  // namespace ardo::platform
