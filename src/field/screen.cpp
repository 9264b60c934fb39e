// The main window round the field view: its background, size and saved placement,
// full screen and windowed, and the frame as the player sees it.
#include <algorithm>
#include <vector>

#include "field/field.h"
#include "platform/compose.h"
#include "ui/ui.h"

namespace ardo {

namespace {

struct MainForm {
  bool loaded = false;
  platform::Color back = platform::Rgb(0, 0, 255);
  int width = 366;
  int height = 366;
  int saved_width = 366;
  int saved_height = 366;
};
MainForm g_form;

}  // namespace

void ScreenLoad() {
  Trap on("frmMain_Load");
  on([] {
    // PicSet: the view and the two hidden work surfaces.
    Trap pic("PicSet");
    pic([] {
      picMain.Resize(15 * TileSize, 15 * TileSize);
      picMain.left = 0;
      picMain.top = 0;
      picBuff.Resize(picMain.width() + 2 * TileSize, picMain.height() + 2 * TileSize);
      picBuff.visible = false;
      picFlash.Resize(picMain.width(), picMain.height());
      picFlash.visible = false;
    });
    picMain.SetForeColor(kViewGrey);
    picMain.SetTextStyle(PointFont(9, false));
    picMain.left = 3;
    picMain.top = 3;
    g_form.back = platform::Rgb(0, 0, 255);
    g_form.width = picMain.width() + 6;
    g_form.height = picMain.height() + 6;
    g_form.saved_width = g_form.width;
    g_form.saved_height = g_form.height;
    platform::GetPlatform().SetCaption(Word(Say::kGameCaption));
    g_form.loaded = true;
  });
  LoadPictures();
}

bool ScreenLoaded() { return g_form.loaded; }

void ToggleFullScreen() {
  if (FullScreen) {
    FullScreen = false;
    SetWindowed();
  } else {
    FullScreen = true;
    SetFullScreen();
  }
}

void SetFullScreen() {
  auto& p = platform::GetPlatform();
  if (!p.SetFullScreenMode(true)) {
    // The window did not become full screen (no window manager to grant it, say): the
    // windowed picture stays as it is.
    FullScreen = false;
    LogError("SetFullScreen", Fault{err::kInvalidCall, "the window could not be made full screen"});
    RefreshScreen();
    return;
  }
  g_form.saved_width = g_form.width;
  g_form.saved_height = g_form.height;
  g_form.back = platform::Rgb(0, 0, 0);
  g_form.width = 640;
  g_form.height = 480;
  picMain.left = (640 - picMain.width()) / 2;
  picMain.top = (480 - picMain.height()) / 2;
  RefreshScreen();
}

void SetWindowed() {
  platform::GetPlatform().SetFullScreenMode(false);
  g_form.width = g_form.saved_width;
  g_form.height = g_form.saved_height;
  g_form.back = platform::Rgb(0, 0, 255);
  picMain.left = 3;
  picMain.top = 3;
  RefreshScreen();
}

void ComposeScreen(platform::Surface* out) {
  // Kept from frame to frame, so composing allocates nothing; a stable insertion sort by z.
  static std::vector<const platform::Surface*> windows;
  windows.reserve(win::kLast + 1);
  windows.clear();
  for (int i = 0; i <= win::kLast; ++i) {
    const platform::Surface* w = &picWindow(i);
    if (!w->visible) continue;
    auto at = windows.end();
    while (at != windows.begin() && (*(at - 1))->z > w->z) --at;
    windows.insert(at, w);
  }
  // What the last frame drew is kept: a still screen copies almost nothing again.
  static platform::FrameComposer composer;
  composer.Compose(g_form.back, g_form.width, g_form.height, picMain, windows, out);
}

void PresentScreen(bool refreshed) {
  auto& p = platform::GetPlatform();
  if (!refreshed || !g_form.loaded || p.headless() != nullptr) return;
  static platform::Surface frame;
  ComposeScreen(&frame);
  p.Present(frame);
}

void ResetScreenState() { g_form = MainForm{}; }

}  // namespace ardo
