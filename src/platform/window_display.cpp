#include "platform/window_display.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace ardo::platform {

namespace {

// True when the renderer draws on the CPU: SDL's own software renderer, or OpenGL
// through Mesa's software rasterisers.
bool DrawsOnTheCpu(SDL_Renderer* renderer) {
  SDL_RendererInfo info{};
  if (SDL_GetRendererInfo(renderer, &info) != 0) return false;
  if ((info.flags & SDL_RENDERER_SOFTWARE) != 0 || std::strcmp(info.name, "software") == 0) return true;
  if (std::strncmp(info.name, "opengl", 6) != 0 || SDL_GL_GetCurrentContext() == nullptr) return false;
  using GetString = const unsigned char* (*)(unsigned int);
  const auto get = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
  if (get == nullptr) return false;
  constexpr unsigned int kGlRenderer = 0x1F01;
  const auto* name = reinterpret_cast<const char*>(get(kGlRenderer));
  if (name == nullptr) return false;
  for (const char* software : {"llvmpipe", "softpipe", "Software Rasterizer", "SWR", "lavapipe"}) {
    if (std::strstr(name, software) != nullptr) return true;
  }
  return false;
}

// Whether the renderer is tried at all (ARDO_DISPLAY=renderer or =window decides for it).
// A machine with no graphics device can only draw on the CPU: there it is not even tried
// (trying it loads the software rasteriser, tens of MB). In a browser the page scales the
// picture itself and the window's pixels go to the canvas as they are: a WebGL context
// would cost time at start-up and on every frame.
bool TryRenderer(const std::string& force) {
  if (force == "renderer") return true;
  if (force == "window") return false;
#if defined(__EMSCRIPTEN__)
  return false;
#elif defined(__linux__)
  std::error_code ec;
  return std::filesystem::exists("/dev/dri", ec) || std::filesystem::exists("/dev/nvidia0", ec);
#else
  return true;
#endif
}

bool IsRgb32(const SDL_PixelFormat* f) {
  return f->BytesPerPixel == 4 && f->Rmask == 0x00FF0000u && f->Gmask == 0x0000FF00u && f->Bmask == 0x000000FFu;
}

}  // namespace

WindowDisplay::~WindowDisplay() {
  if (texture_) SDL_DestroyTexture(texture_);
  if (renderer_) SDL_DestroyRenderer(renderer_);
}

bool WindowDisplay::Open(SDL_Window* window, std::string* error) {
  window_ = window;
  const char* forced = std::getenv("ARDO_DISPLAY");
  const std::string force = forced != nullptr ? forced : "";
  if (TryRenderer(force)) {
    renderer_ = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED);
    if (renderer_ != nullptr && force != "renderer" && DrawsOnTheCpu(renderer_)) {
      SDL_DestroyRenderer(renderer_);
      renderer_ = nullptr;
    }
  }
  // The window's own pixels straight to the window system, not through a texture
  // drawn by OpenGL again (SDL's choice for window pixels where it finds OpenGL).
  if (renderer_ == nullptr) SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  if (renderer_ == nullptr && SDL_GetWindowSurface(window) == nullptr) {
    // No window pixels either: SDL's software renderer is the last way.
    renderer_ = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
    if (renderer_ == nullptr) {
      if (error) *error = std::string("cannot draw into the game window: ") + SDL_GetError();
      return false;
    }
  }
  stale_ = true;
  return true;
}

void WindowDisplay::Show(const Surface& frame, int y0, int y1) {
  if (frame.empty()) return;
  if (frame.width() != frame_w_ || frame.height() != frame_h_) {
    frame_w_ = frame.width();
    frame_h_ = frame.height();
    stale_ = true;
  }
  if (stale_) {
    y0 = 0;
    y1 = frame_h_;
  }
  if (y0 >= y1) return;
  if (renderer_ != nullptr) {
    ShowByRenderer(frame, y0, y1);
  } else {
    ShowInWindowPixels(frame, y0, y1);
  }
}

void WindowDisplay::ShowByRenderer(const Surface& frame, int y0, int y1) {
  if (stale_ || texture_ == nullptr) {
    int tw = 0, th = 0;
    if (texture_ == nullptr || SDL_QueryTexture(texture_, nullptr, nullptr, &tw, &th) != 0 || tw != frame_w_ ||
        th != frame_h_) {
      if (texture_) SDL_DestroyTexture(texture_);
      texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, frame_w_,
                                   frame_h_);
      if (texture_ == nullptr) return;
    }
    int ow = 0, oh = 0;
    SDL_GetRendererOutputSize(renderer_, &ow, &oh);
    placed_ = FitPicture(ow, oh, frame_w_, frame_h_);
    SDL_RenderSetLogicalSize(renderer_, frame_w_, frame_h_);
    SDL_RenderSetIntegerScale(renderer_, placed_.whole ? SDL_TRUE : SDL_FALSE);
    stale_ = false;
  }
  const SDL_Rect rows{0, y0, frame_w_, y1 - y0};
  if (frame.laid()) {
    // Read through the block it is laid from, rather than copying that into the frame.
    uploading_.resize(static_cast<size_t>(frame_w_) * static_cast<size_t>(y1 - y0));
    frame.ReadInto(Rect{0, y0, frame_w_, y1 - y0}, uploading_.data(), static_cast<size_t>(frame_w_));
    SDL_UpdateTexture(texture_, &rows, uploading_.data(), frame_w_ * 4);
  } else {
    SDL_UpdateTexture(texture_, &rows, frame.pixels().data() + static_cast<size_t>(y0) * frame_w_, frame_w_ * 4);
  }
  SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
  SDL_RenderClear(renderer_);
  SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
  SDL_RenderPresent(renderer_);
}

void WindowDisplay::ShowInWindowPixels(const Surface& frame, int y0, int y1) {
  SDL_Surface* s = SDL_GetWindowSurface(window_);
  if (s == nullptr) return;
  const bool rgb32 = IsRgb32(s->format);
  // A window resized behind our back (the event not read yet) has new pixels: all again.
  if (s != pixels_ || s->w != pixels_w_ || s->h != pixels_h_) {
    stale_ = true;
    y0 = 0;
    y1 = frame_h_;
    pixels_ = s;
    pixels_w_ = s->w;
    pixels_h_ = s->h;
  }
  if (stale_) {
    placed_ = FitPicture(s->w, s->h, frame_w_, frame_h_);
    SDL_FillRect(s, nullptr, SDL_MapRGB(s->format, 0, 0, 0));
    if (!rgb32) staging_.assign(static_cast<size_t>(placed_.w) * placed_.h, 0);
  }
  int first = 0, end = 0;
  FrameScaler::Rows(frame_h_, placed_, y0, y1, &first, &end);
  if (SDL_MUSTLOCK(s)) SDL_LockSurface(s);
  if (rgb32) {
    scaler_.Scale(frame, y0, y1, placed_, static_cast<std::uint32_t*>(s->pixels), s->pitch / 4);
  } else if (!staging_.empty() && end > first) {
    // Scaled into 32-bit rows beside the window, then converted into its format.
    Placement at = placed_;
    at.x = at.y = 0;
    scaler_.Scale(frame, y0, y1, at, staging_.data(), placed_.w);
    auto* to = static_cast<std::uint8_t*>(s->pixels) + static_cast<std::ptrdiff_t>(placed_.y + first) * s->pitch +
               static_cast<std::ptrdiff_t>(placed_.x) * s->format->BytesPerPixel;
    SDL_ConvertPixels(placed_.w, end - first, SDL_PIXELFORMAT_RGB888, staging_.data() + static_cast<size_t>(first) * placed_.w,
                      placed_.w * 4, s->format->format, to, s->pitch);
  }
  if (SDL_MUSTLOCK(s)) SDL_UnlockSurface(s);
  if (stale_) {
    SDL_UpdateWindowSurface(window_);
  } else if (end > first) {
    const SDL_Rect rows{placed_.x, placed_.y + first, placed_.w, end - first};
    SDL_UpdateWindowSurfaceRects(window_, &rows, 1);
  }
  stale_ = false;
}

void WindowDisplay::Redraw(const Surface& last) {
  stale_ = true;
  if (!last.empty()) Show(last, 0, last.height());
}

void WindowDisplay::WindowToFrame(int wx, int wy, float* fx, float* fy) const {
  if (renderer_ != nullptr) {
    SDL_RenderWindowToLogical(renderer_, wx, wy, fx, fy);
    return;
  }
  if (placed_.w <= 0 || placed_.h <= 0) {
    *fx = static_cast<float>(wx);
    *fy = static_cast<float>(wy);
    return;
  }
  *fx = static_cast<float>(wx - placed_.x) * static_cast<float>(frame_w_) / static_cast<float>(placed_.w);
  *fy = static_cast<float>(wy - placed_.y) * static_cast<float>(frame_h_) / static_cast<float>(placed_.h);
}

}  // namespace ardo::platform
