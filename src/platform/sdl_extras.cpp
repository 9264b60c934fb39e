// Bindable keys, the window icon and the window's real size.
#include "platform/sdl_extras.h"

#include <SDL_image.h>
#include <SDL_syswm.h>
#ifdef ARDO_HAVE_X11
#include <X11/Xlib.h>
#endif

#include "platform/platform.h"

namespace ardo::platform {

namespace {

struct KeyPair {
  int key;
  SDL_Scancode sc;
};
constexpr KeyPair kExtraKeys[] = {
    {vk::kBack, SDL_SCANCODE_BACKSPACE}, {vk::kTab, SDL_SCANCODE_TAB},
    {vk::kPageUp, SDL_SCANCODE_PAGEUP},  {vk::kPageDown, SDL_SCANCODE_PAGEDOWN},
    {vk::kEnd, SDL_SCANCODE_END},        {vk::kHome, SDL_SCANCODE_HOME},
    {vk::kInsert, SDL_SCANCODE_INSERT},  {vk::kDelete, SDL_SCANCODE_DELETE},
    {'0', SDL_SCANCODE_0},               {vk::kNumpad0, SDL_SCANCODE_KP_0},
    {vk::kNumpad0 + 1, SDL_SCANCODE_KP_1}, {vk::kNumpad0 + 3, SDL_SCANCODE_KP_3},
    {vk::kNumpad0 + 5, SDL_SCANCODE_KP_5}, {vk::kNumpad0 + 7, SDL_SCANCODE_KP_7},
    {vk::kNumpad0 + 9, SDL_SCANCODE_KP_9},
};

}  // namespace

SDL_Scancode ExtraScancodeFor(int key) {
  if (key >= '1' && key <= '9') return static_cast<SDL_Scancode>(SDL_SCANCODE_1 + (key - '1'));
  if (key >= vk::kF1 && key <= vk::kF12) return static_cast<SDL_Scancode>(SDL_SCANCODE_F1 + (key - vk::kF1));
  for (const KeyPair& p : kExtraKeys) {
    if (p.key == key) return p.sc;
  }
  return SDL_SCANCODE_UNKNOWN;
}

int ExtraKeyFor(SDL_Scancode sc) {
  if (sc >= SDL_SCANCODE_1 && sc <= SDL_SCANCODE_9) return '1' + (sc - SDL_SCANCODE_1);
  if (sc >= SDL_SCANCODE_F1 && sc <= SDL_SCANCODE_F12) return vk::kF1 + (sc - SDL_SCANCODE_F1);
  // Shift, Ctrl and Alt as keys of their own (a binding may name them).
  if (sc == SDL_SCANCODE_LSHIFT || sc == SDL_SCANCODE_RSHIFT) return vk::kShift;
  if (sc == SDL_SCANCODE_LCTRL || sc == SDL_SCANCODE_RCTRL) return vk::kControl;
  if (sc == SDL_SCANCODE_LALT || sc == SDL_SCANCODE_RALT) return vk::kMenu;
  for (const KeyPair& p : kExtraKeys) {
    if (p.sc == sc) return p.key;
  }
  return 0;
}

bool SetWindowIconFrom(SDL_Window* window, const std::string& path) {
  if (window == nullptr || path.empty()) return false;
  SDL_Surface* icon = IMG_Load(path.c_str());
  if (icon == nullptr) return false;
  SDL_SetWindowIcon(window, icon);
  SDL_FreeSurface(icon);
  return true;
}

void ActualWindowSize(SDL_Window* window, int* w, int* h) {
  SDL_GetWindowSize(window, w, h);
#ifdef ARDO_HAVE_X11
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_GetWindowWMInfo(window, &info) && info.subsystem == SDL_SYSWM_X11) {
    XWindowAttributes a;
    XSync(info.info.x11.display, False);
    if (XGetWindowAttributes(info.info.x11.display, info.info.x11.window, &a) != 0) {
      *w = a.width;
      *h = a.height;
    }
  }
#endif
}

}  // namespace ardo::platform
