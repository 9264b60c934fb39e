// The title sequence: the studio logo, the title screen with its menu and the demo,
// and the hand-over of a new or loaded game to the field.
#include <array>
#include <cstdint>

#include "core/core.h"
#include "events/events.h"
#include "events/story.h"
#include "field/field.h"
#include "presentation/presentation.h"
#include "presentation/presentation_internal.h"
#include "save/save.h"
#include "sound/sound.h"
#include "ui/ui.h"

namespace ardo {

namespace presentation {

namespace {
Scene g_scene = Scene::kField;
int g_staff_page = 0;
ScrollPosition g_scroll;
}  // namespace

SceneGuard::SceneGuard(Scene scene) : saved_(g_scene) { g_scene = scene; }
SceneGuard::~SceneGuard() { g_scene = saved_; }

void SetStaffPage(int page) { g_staff_page = page; }
void SetScroll(int top, int off) { g_scroll = ScrollPosition{top, off}; }

namespace {

// The backdrop (black where there is none), then the title picture in the middle with
// its black background left out.
// The picture writes its subtitle, はるかな頂へ, in its top left corner. In English that
// corner is left out and the English subtitle written there instead, ending where it ends.
void MakeTitlePicture(platform::Surface* to, bool english) {
  constexpr int kSubtitleRight = 78;
  constexpr int kSubtitleBottom = 15;
  to->FillRect(0, 0, to->width(), to->height(), platform::Rgb(0, 0, 0));
  to->BitBlt(0, 0, picTitleBack.width(), picTitleBack.height(), &picTitleBack, 0, 0, platform::Rop::kSrcCopy);
  const int left = (to->width() - picTitle.width()) / 2;
  const int top = (to->height() - picTitle.height()) / 2;
  for (int y = 0; y < picTitle.height(); ++y) {
    for (int x = 0; x < picTitle.width(); ++x) {
      if (english && x < kSubtitleRight && y < kSubtitleBottom) continue;
      if (const platform::Color c = picTitle.At(x, y); c != 0) to->Set(left + x, top + y, c);
    }
  }
  if (!english || picTitle.width() < kSubtitleRight) return;
  to->SetTextStyle(PointFont(9, false));
  to->SetForeColor(platform::Rgb(248, 248, 248));
  const std::string subtitle = Word(Say::kSubtitle);
  to->TextOut(left + kSubtitleRight - to->TextWidth(subtitle), top + 1, subtitle);
}

}  // namespace

// The picture is made once for its pictures, language and size, then laid whole: the
// demo lays it under every frame it scrolls.
void DrawTitlePicture() {
  static platform::Surface made;
  static std::array<std::uint64_t, 5> made_of{};
  const bool english = GameLanguage() == Language::kEnglish;
  const std::array<std::uint64_t, 5> of{picTitle.version(), picTitleBack.version(), english ? 1u : 0u,
                                        static_cast<std::uint64_t>(picMain.width()),
                                        static_cast<std::uint64_t>(picMain.height())};
  if (made.empty() || of != made_of) {
    made = platform::Surface(picMain.width(), picMain.height());
    MakeTitlePicture(&made, english);
    made_of = of;
  }
  picMain.BitBlt(0, 0, made.width(), made.height(), &made, 0, 0, platform::Rop::kSrcCopy);
}

}  // namespace presentation

using presentation::SceneGuard;

Scene CurrentScene() { return presentation::g_scene; }
int StaffPage() { return presentation::g_staff_page; }
ScrollPosition NarrationScroll() { return presentation::g_scroll; }

const char* SceneName(Scene scene) {
  switch (scene) {
    case Scene::kLogo: return "logo";
    case Scene::kTitle: return "title";
    case Scene::kOpening: return "opening";
    case Scene::kDemo: return "demo";
    case Scene::kEnding: return "ending";
    case Scene::kEndingNarration: return "ending_narration";
    case Scene::kStaffRoll: return "staff";
    case Scene::kField: break;
  }
  return "field";
}

namespace {

const Trap on("Title");

// The title screen: the picture and the caption under it.
void DrawTitleScreen() {
  presentation::DrawTitlePicture();
  picMain.TextOut(110, 200, Word(Say::kPushButton));
  RefreshScreen();
}

// Continuing: true when a saved game was loaded.
bool ContinueGame() {
  on([] { Message(Word(Say::kLoadAsk)); });
  // The slot window refuses empty slots only while it is asked for a load; a save
  // made in the game before this title must not leave it open to them.
  MenuChoice = SlotPurpose::kLoad;
  const Byte s = WinDeal(win::kSaveSlots);
  bool loaded = false;
  if (s != 255) {
    on([] { WinDraw(win::kSaveSlots); });
    on([&] { Message(Word(Say::kTitleLoading, {NumberText(s, RightChars(F(s), 1))})); });
    KeyWait();
    loaded = on.Value<Byte>(255, [&] { return Load(s); }) == 0;
  }
  on([] { WinHide(win::kSaveSlots); });
  on([] { WinHide(win::kMessage); });
  return loaded;
}

// Ending the game from the title.
void QuitFromTitle() {
  on([] { ScreenFade(0); });
  if (FullScreen) {
    FullScreen = false;
    on([] { SetWindowed(); });
  }
  on([] { CloseBgm(); });
  GameRunning = false;
}

// The game set up in MapName, the hero's record, BgmName and the flags goes to the
// field: its map, its people and its music, faded in.
void HandOver() {
  ReturnToTitle = false;
  on([] { CloseBgm(); });
  on([] { PlayBgm(BgmName); });
  on([] { MapLoad(MapName); });
  on([] { CharaSet(MapName); });
  on([] { ChangeMap(MapName, Player.x, Player.y, BgmName, Flags(story::kAreaByte)); });
}

void StartNewGame() {
  on([] { Init_PlayerStatus(); });
  MapName = "town1";
  BgmName = "tender";
}

}  // namespace

void Title() {
  {
    SceneGuard scene(Scene::kTitle);
    ReturnToTitle = true;
    TitleLogo();
    BgmName = "ss_m1b";
    on([] { PlayBgm(BgmName); });
    DrawTitleScreen();
    int idle = 0;
    bool started = false;
    // A button that closed the menu must be let go before one opens it again, or a
    // held Z would cancel the menu and bring it straight back.
    bool armed = true;
    while (!started) {
      const KeyState key = Getkey();
      const KeyState pad = JoyPad();
      const bool pressed = key.btn != 0 || pad.btn != 0;
      if (!pressed) armed = true;
      if (pressed && armed) {
        KeyWait();
        armed = false;
        switch (WinDeal(win::kTitleMenu)) {
          case kTitleNewGame:
            OpeningText(0);
            StartNewGame();
            started = true;
            break;
          case kTitleContinue:
            started = ContinueGame();
            break;
          case kTitleEndGame:
            QuitFromTitle();
            break;
          default:  // cancelled: the menu closes and the title screen is as it was
            on([] { WinHide(win::kTitleMenu); });
            break;
        }
        if (started) break;
      }
      Wait(FrameWait);
      idle = (idle + FrameWait) % 11000;
      if (idle >= 8001) {
        // A menu left open would cover the poem.
        on([] { WinHide(win::kTitleMenu); });
        DemoText(-1);
        idle = 0;
        DrawTitleScreen();
      }
      on([] { LoopBgm(); });
    }
  }
  HandOver();
}

void NewGame() {
  StartNewGame();
  HandOver();
}

void TitleLogo() {
  SceneGuard scene(Scene::kLogo);
  const int w = picMain.width();
  const int h = picMain.height();
  const int lh = picVeloLogo.height();
  picMain.Clear();
  picMain.BitBlt((w - 65) / 2, (h - lh) / 2, 65, lh, &picVeloLogo, 0, 0, platform::Rop::kSrcCopy);
  ScreenFade(1);
  picMain.TextOut(w / 2 - 30, (h + lh) / 2 + 3, "Presented by");
  RefreshScreen();
  picMain.TextOut(w / 2 - 28, (h + lh) / 2 + 20, Word(Say::kStudio));
  RefreshScreen();
  auto& p = platform::GetPlatform();
  const std::uint32_t t0 = p.TimeGetTime();
  while (p.TimeGetTime() - t0 < 1500 && !BynDown()) Wait(FrameWait);
  ScreenFade(0);
  KeyWait();
}

}  // namespace ardo
