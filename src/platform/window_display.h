// Puts finished frames into the game window, scaled by whole pixels with black around
// them where the window is larger.
//
// Two ways to the screen: SDL's renderer, where a graphics card scales the frame for
// free; or, where the only OpenGL is a software rasteriser (a desktop without a GPU
// driver, a virtual display), the window's own pixels, scaled here. The rasteriser
// spends milliseconds a frame drawing one textured square; scaling ourselves and
// handing the rows that changed to the window system costs a small part of that.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/display_scale.h"
#include "platform/surface.h"

namespace ardo::platform {

class WindowDisplay {
 public:
  WindowDisplay() = default;
  WindowDisplay(const WindowDisplay&) = delete;
  WindowDisplay& operator=(const WindowDisplay&) = delete;
  ~WindowDisplay();

  // Chooses the way for this window. False (with SDL's reason) when neither works.
  // ARDO_DISPLAY=renderer or =window in the environment forces one way (for measuring).
  bool Open(SDL_Window* window, std::string* error);

  // Shows `frame`, of which only rows [y0, y1) differ from the frame shown before (the
  // whole frame is drawn anyway after a change of size, mode or window).
  void Show(const Surface& frame, int y0, int y1);
  // The window lost its picture (uncovered, resized, mode changed): the next Show draws
  // everything, and Redraw puts `last` back at once.
  void Invalidate() { stale_ = true; }
  void Redraw(const Surface& last);

  // A point of the window in the frame's pixels (may lie outside the frame).
  void WindowToFrame(int wx, int wy, float* fx, float* fy) const;

 private:
  void ShowByRenderer(const Surface& frame, int y0, int y1);
  void ShowInWindowPixels(const Surface& frame, int y0, int y1);

  SDL_Window* window_ = nullptr;
  SDL_Renderer* renderer_ = nullptr;
  SDL_Texture* texture_ = nullptr;
  int frame_w_ = 0, frame_h_ = 0;  // the size last shown
  Placement placed_;               // where it went (window pixels)
  bool stale_ = true;
  FrameScaler scaler_;
  std::vector<std::uint32_t> staging_;  // for a window whose pixels are not 32-bit RGB
  std::vector<Color> uploading_;        // the rows of a laid frame, for the renderer's texture
  const SDL_Surface* pixels_ = nullptr;  // the window's pixels drawn into last, and their size
  int pixels_w_ = 0, pixels_h_ = 0;
};

}  // namespace ardo::platform
