// Start-up, the main window's events and the field loop.
#include <cstdio>
#include <functional>
#include <utility>

#include "battle/battle.h"
#include "core/bindings.h"
#include "debug/console.h"
#include "events/events.h"
#include "events/story.h"
#include "field/field.h"
#include "game/program.h"
#include "game/settings.h"
#include "items/items.h"
#include "presentation/presentation.h"
#include "save/save.h"
#include "sound/sound.h"
#include "ui/ui.h"

namespace ardo {

namespace {

// Where a drag of the window began.
int g_drag_x0 = 0;
int g_drag_y0 = 0;

void Form_Unload();

void picMain_KeyDown(int key, int shift) {
  Trap on("picMain_KeyDown");
  // While the console has the focus, Enter and Backspace edit its command line.
  if (DebugConsoleKey(key)) return;
  on([&] {
    if (shift == platform::kCtrlMask && key == 68) ShowDebugWindow();
  });
  on([&] {
    if (ActionKeyDown(Action::kFullScreen, key, shift)) ToggleFullScreen();
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
        g_drag_x0 = x;
        g_drag_y0 = y;
      }
    });
  }
  void OnMouseMove(int button, int, int x, int y) override {
    Guard("picMain_MouseMove", [&] {
      if ((button & platform::kMouseLeft) != 0 && !FullScreen) {
        platform::GetPlatform().MoveWindowBy(x - g_drag_x0, y - g_drag_y0);
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
      if (p.MessageBox(Word(Say::kBoxQuit), Word(Say::kGameTitle), platform::MsgBoxKind::kOkCancelQuestion) ==
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
    } catch (const std::exception& e) {
      LogError(source, FaultOf(e));
    }
  }
};

FormEvents g_events;
// True during the event point at the top of a field frame, where the keys are read next.
bool g_field_waiting = false;
std::function<void()> g_frame_observer;

void ShowForm() {
  if (!ScreenLoaded()) ScreenLoad();
  platform::GetPlatform().SetEventSink(&g_events);
  SetFramePresenter([](bool refreshed) {
    PumpDebugConsole();
    // Whatever changed the hero's numbers, a status window on screen shows them.
    if (KeepStatusCurrent()) refreshed = true;
    PresentScreen(refreshed);
    if (g_frame_observer) g_frame_observer();
  });
  RefreshScreen();
}

}  // namespace

void SetEventPointObserver(std::function<void()> observer) { g_frame_observer = std::move(observer); }

bool FieldLoopWaiting() { return g_field_waiting; }

namespace {
FirstScene g_first_scene;
}  // namespace

void SetFirstScene(FirstScene scene) { g_first_scene = std::move(scene); }

void StartFirstScene() {
  // The chosen start is for the first cycle only: after a game over, the ending or
  // "終了" the logo and the title come back, and with them "続きから".
  const FirstScene first = std::exchange(g_first_scene, FirstScene{});
  if (first.new_game) {
    NewGame();
    return;
  }
  if (first.map.empty()) {
    Title();
    return;
  }
  // Straight onto a map, as a new game would be placed there.
  Init_PlayerStatus();
  if (first.x >= 0) Player.x = static_cast<Integer>(first.x);
  if (first.y >= 0) Player.y = static_cast<Integer>(first.y);
  ReturnToTitle = false;
  MapLoad(first.map);
  CharaSet(first.map);
  Flags(story::kAreaByte) = 0;
}

void ResetAllState() {
  ResetCoreState();
  ResetFieldState();
  ResetEventState();
  ResetUiState();
  ResetItemState();
  ResetBattleState();
  ResetSaveState();
  ResetSoundState();
  ResetDebugConsole();
  SetFramePresenter({});
  SetEventPointObserver({});
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
  SetDefaultSettings();
  JoyThreshold = 20000;
  on([] { RecomputeSpeeds(); });
  TileSize = 24;
  on([] { ShowForm(); });
  on([] { EnterStartFullScreen(); });
  // A new game starts from empty tables, no characters and no battle.
  ResetEventState();
  ResetBattleState();
  ResetItemState();
  on([] { WinSet(); });
  on([] { EnemySet(); });
  on([] { ItemSet(); });
  on([] { LvupSet(); });
  on([] { EncSet(); });
  on([] { MagSet(); });
  on([] { ExitSet(); });
  on([] { StartFirstScene(); });
  if (!GameRunning) return;
  on([] { BuffDraw(); });
  on([] { MapDraw(0, 0, 1, 1); });
  on([] { ScreenFade(1); });
  RefreshScreen();
}

void MainLoop() {
  Trap on("MainLoop");
  ReturnToTitle = false;
  bool fast = false;
  while (GameRunning && !ReturnToTitle) {
    FramePace frame;
    g_field_waiting = true;
    on([] { DoEvents(); });
    g_field_waiting = false;
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
        on([&] {
          const Byte t = MapData(Player.x, Player.y).tile;
          if (t == 176 || t == 182 || (t == 183 && Player.dx + Player.dy != 0)) {
            HandleStepResult(TryStep(Player.dx, Player.dy), on);
          }
        });
      }
    } else if (key.dx != 0 || key.dy != 0 || pad.dx != 0 || pad.dy != 0) {
      on([] {
        if (picWindow(win::kSmallStatus).visible) {
          WinHide(6);
          AnimClock = 0;
        }
      });
      Player.dx = static_cast<Integer>(key.dx | pad.dx);
      Player.dy = static_cast<Integer>(key.dy | pad.dy);
      on([&] { HandleStepResult(TryStep(Player.dx, Player.dy), on); });
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
    frame.Finish(fast ? WalkWait / 3 : WalkWait);
    fast = false;
  }
}

}  // namespace ardo
