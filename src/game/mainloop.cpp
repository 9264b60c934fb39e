// Start-up, the main window and the field loop.
#include <algorithm>
#include <cstdio>

#include "battle/battle.h"
#include "core/core.h"
#include "game/program.h"
#include "debug/console.h"
#include "events/events.h"
#include "field/field.h"
#include "items/items.h"
#include "presentation/presentation.h"
#include "save/save.h"
#include "sound/sound.h"
#include "ui/ui.h"

namespace ardo {

const char* const kGameTitle = "ardo はるかな頂へ";
const char* const kGameCaption = "ardo (はるかな頂へ)";

namespace {

namespace vk = platform::vk;

// The main window: its background, size and saved placement.
struct MainForm {
  bool loaded = false;
  platform::Color back = platform::Rgb(0, 0, 255);
  int width = 366;
  int height = 366;
  int saved_width = 366;
  int saved_height = 366;
  int drag_x0 = 0;
  int drag_y0 = 0;
  bool dirty = true;
};
MainForm g_form;

void Form_Unload();

void frmMain_Load() {
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
    picMain.left = 3;
    picMain.top = 3;
    g_form.back = platform::Rgb(0, 0, 255);
    g_form.width = picMain.width() + 6;
    g_form.height = picMain.height() + 6;
    g_form.saved_width = g_form.width;
    g_form.saved_height = g_form.height;
    platform::GetPlatform().SetCaption(kGameCaption);
    g_form.loaded = true;
  });
  LoadPictures();
}

void ToggleFullScreen() {
  if (FullScreen) {
    FullScreen = false;
    SetWindowed();
  } else {
    FullScreen = true;
    g_form.saved_width = g_form.width;
    g_form.saved_height = g_form.height;
    SetFullScreen();
  }
}

void picMain_KeyDown(int key, int shift) {
  Trap on("picMain_KeyDown");
  on([&] {
    if (shift == platform::kCtrlMask && key == 68) ShowDebugWindow();
  });
  on([&] {
    const bool alt_enter = (key == vk::kReturn || key == vk::kSeparator) && (shift & platform::kAltMask) != 0;
    if (key == 70 || alt_enter) ToggleFullScreen();
  });
}

void Form_Unload() {
  Trap on("Form_Unload");
  on([] {
    if (FullScreen) platform::GetPlatform().SetFullScreenMode(false);
  });
  on([] { CloseBgm(); });
  Exit_Game();
}

// Window events arrive here at the event points. A fault that gets this far is
// logged and dropped: it never ends the program.
class FormEvents final : public platform::WindowEvents {
 public:
  void OnClose() override { Guard("Form_Unload", [] { Form_Unload(); }); }
  void OnKeyDown(int key, int shift) override { Guard("picMain_KeyDown", [&] { picMain_KeyDown(key, shift); }); }
  void OnDblClick() override {
    Guard("picMain_DblClick", [] {
      if (!FullScreen) platform::GetPlatform().Minimize();
    });
  }
  void OnMouseDown(int button, int, int x, int y) override {
    Guard("picMain_MouseDown", [&] {
      if (button == platform::kMouseLeft && !FullScreen) {
        platform::GetPlatform().SetPointer(15);
        g_form.drag_x0 = x;
        g_form.drag_y0 = y;
      }
    });
  }
  void OnMouseMove(int button, int, int x, int y) override {
    Guard("picMain_MouseMove", [&] {
      if ((button & platform::kMouseLeft) != 0 && !FullScreen) {
        platform::GetPlatform().MoveWindowBy(x - g_form.drag_x0, y - g_form.drag_y0);
      }
    });
  }
  void OnMouseUp(int button, int, int, int) override {
    Guard("picMain_MouseUp", [&] {
      auto& p = platform::GetPlatform();
      if (button == platform::kMouseLeft) {
        p.SetPointer(0);
        return;
      }
      if (p.MessageBox("終了しますか？", kGameTitle, platform::MsgBoxKind::kOkCancelQuestion) ==
          platform::MsgBoxResult::kOk) {
        Form_Unload();
      }
    });
  }

 private:
  template <class F>
  static void Guard(const char* source, F&& f) {
    try {
      f();
    } catch (const Fault& fault) {
      LogError(source, fault);
    }
  }
};

FormEvents g_events;

void ShowForm() {
  if (!g_form.loaded) frmMain_Load();
  platform::GetPlatform().SetEventSink(&g_events);
  RefreshScreen();
}

// Step 6.3 of the field loop: what a step attempt's result means.
void HandleStepResult(int r) {
  if (r == 0) {
    BuffDraw();
    StepOffset = static_cast<Integer>(-TileSize);
    Debugging(0);
  } else if (r == -1) {
    MapDraw(Player.dx * StepOffset, Player.dy * StepOffset, 1, 1);
    RefreshScreen();
    EventProc(Player.x + Player.dx, Player.y + Player.dy, true);
  } else if (r > 0 && Flag(16) == 1) {
    TalkFacingHero(r - 1);
  }
}


}  // namespace

void SetFullScreen() {
  auto& p = platform::GetPlatform();
  g_form.back = platform::Rgb(0, 0, 0);
  if (p.SetFullScreenMode(true)) {
    g_form.width = 640;
    g_form.height = 480;
  }
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

void RefreshScreen() { g_form.dirty = true; }

void ComposeScreen(platform::Surface* out) {
  std::vector<const platform::Surface*> windows;
  for (int i = 0; i <= 17; ++i) windows.push_back(&picWindow(i));
  std::stable_sort(windows.begin(), windows.end(),
                   [](const platform::Surface* a, const platform::Surface* b) { return a->z < b->z; });
  platform::ComposeFrame(g_form.back, g_form.width, g_form.height, picMain, windows, out);
}

void DoEvents() {
  auto& p = platform::GetPlatform();
  p.PumpEvents();
  if (g_form.dirty && g_form.loaded && p.headless() == nullptr) {
    static platform::Surface frame;
    ComposeScreen(&frame);
    p.Present(frame);
  }
  g_form.dirty = false;
}

void SubMain() {
  Trap on("Sub Main");
  FrameWait = 20;
  NoEncount = 0;
  GameRunning = true;
  try {
    while (GameRunning) {
      Initialize();
      MainLoop();
    }
  } catch (const EndProgram&) {
    // Wait found the game over: close down below.
  }
  on([] {
    if (FullScreen) platform::GetPlatform().SetFullScreenMode(false);
  });
  on([] { CloseBgm(); });
}

void Initialize() {
  Trap on("Initialize");
  on([] { JoyInit(); });
  GameRunning = true;
  ReturnToTitle = false;
  on([] { ScanSaves(); });
  on([] { Init_PlayerStatus(); });
  const int defaults[8] = {1, 1, 0, 1, 0, 0, 1, 0};
  for (int i = 0; i < 8; ++i) SetFlag(i, defaults[i]);
  JoyThreshold = 20000;
  on([] { RecomputeSpeeds(); });
  TileSize = 24;
  on([] { ShowForm(); });
  on([] { WinSet(); });
  on([] { EnemySet(); });
  on([] { ItemSet(); });
  on([] { LvupSet(); });
  on([] { EncSet(); });
  on([] { MagSet(); });
  on([] { StartFirstScene(); });
  if (!GameRunning) return;
  on([] { BuffDraw(); });
  on([] { MapDraw(0, 0, 1, 1); });
  on([] { ScreenFade(1); });
  RefreshScreen();
}

void MainLoop() {
  Trap on("MainLoop");
  auto& p = platform::GetPlatform();
  ReturnToTitle = false;
  bool fast = false;
  while (GameRunning && !ReturnToTitle) {
    const std::uint32_t t0 = p.TimeGetTime();
    on([] { DoEvents(); });
    if (!GameRunning) break;
    on([] { LoopBgm(); });
    const KeyState key = Getkey();
    const KeyState pad = JoyPad();
    if (StepOffset != 0) {
      on([&] {
        StepOffset = CInt(StepOffset + 2);
        MapDraw(Player.dx * StepOffset, Player.dy * StepOffset, 1, 1);
      });
      const KeyState pad2 = JoyPad();
      fast = ((key.btn | pad2.btn) == 3);
      if (StepOffset >= 0) {
        on([] { ArrivalTileEffects(); });
        on([] {
          if (EventProc(Player.x, Player.y, true) != 255) EncounterRoll();
        });
        on([] {
          const Byte t = MapData(Player.x, Player.y).tile;
          if (t == 176 || t == 182 || (t == 183 && Player.dx + Player.dy != 0)) {
            HandleStepResult(TryStep(Player.dx, Player.dy));
          }
        });
      }
    } else if (key.dx != 0 || key.dy != 0 || pad.dx != 0 || pad.dy != 0) {
      on([] {
        if (picWindow(6).visible) {
          WinHide(6);
          AnimClock = 0;
        }
      });
      Player.dx = static_cast<Integer>(key.dx | pad.dx);
      Player.dy = static_cast<Integer>(key.dy | pad.dy);
      on([] { HandleStepResult(TryStep(Player.dx, Player.dy)); });
      on([] { MapDraw(Player.dx * StepOffset, Player.dy * StepOffset, 1, 1); });
    } else {
      const int b = key.btn | pad.btn;
      if (b == 2) {
        on([] {
          if (CharCount == 0) return;
          Player.dx = static_cast<Integer>(((Player.dir % 2) * 2 - 1) * (Player.dir / 2));
          Player.dy = static_cast<Integer>((1 - (Player.dir % 2) * 2) * (1 - Player.dir / 2));
          for (int k = 0; k < CharCount; ++k) {
            if (Chars(k).x == Player.x + Player.dx && Chars(k).y == Player.y + Player.dy) {
              TalkFacingHero(k);
              break;
            }
          }
          KeyWait();
        });
      } else if (b == 1) {
        on([] { PlaySe("pi", 1); });
        on([] { KeyWait(); });
        on([] { WinDraw(6); });
        on([] { WinDeal(1); });
        on([] { KeyWait(); });
      } else if (AnimClock > 1950) {
        on([] { WinDraw(6); });
      }
      on([] { MapDraw(Player.dx * StepOffset, Player.dy * StepOffset, 1, 1); });
    }
    RefreshScreen();
    AnimClock = static_cast<Integer>((AnimClock + FrameWait) % 2000);
    AnimFrame = static_cast<Integer>((AnimClock % 500) / 250);
    const std::uint32_t t1 = p.TimeGetTime();
    if (fast) {
      Wait(WalkWait / 3 - static_cast<long>(t1 - t0));
      fast = false;
    } else {
      Wait(WalkWait - static_cast<long>(t1 - t0));
    }
  }
}

}  // namespace ardo
