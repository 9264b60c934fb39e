// The desktop platform under SDL's dummy video and audio drivers: the window, the
// frame, events, the clock and the audio thread's music and effects all work without
// a display or a sound card.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "core/core.h"
#include "debug/console.h"
#include "game/program.h"
#include "platform/platform.h"

namespace ardo::platform {
namespace {

TEST(SdlPlatform, RunsUnderTheDummyDrivers) {
  ::setenv("SDL_VIDEODRIVER", "dummy", 0);
  ::setenv("SDL_AUDIODRIVER", "dummy", 0);
  PlatformOptions o;
  o.scale = 1;
  std::string error;
  auto p = CreatePlatform(o, &error);
  ASSERT_TRUE(p) << error;
  EXPECT_EQ(p->headless(), nullptr);
  SetPlatform(p.get());

  // Frames of both sizes, between switches of the display mode.
  p->SetCaption("ardo (はるかな頂へ)");
  p->Present(Surface(366, 366, Rgb(0, 0, 255)));
  p->SetFullScreenMode(true);
  p->Present(Surface(640, 480, 0));
  EXPECT_TRUE(p->SetFullScreenMode(false));
  p->Present(Surface(366, 366, Rgb(0, 0, 255)));
  p->PumpEvents();
  EXPECT_FALSE(p->KeyHeld('Z'));
  EXPECT_EQ(p->TakeTypedText(), "");

  // A real clock.
  const std::uint32_t t0 = p->TimeGetTime();
  p->Sleep(30);
  EXPECT_GE(p->TimeGetTime() - t0, 25u);

  // The audio thread plays a built tune and an effect, and stops and closes cleanly.
  Audio& a = p->audio();
  a.OpenMusic(std::string(ARDO_GAME_DIR) + "/music/no-such-tune.ogg");  // refused on the audio side
  ASSERT_TRUE(a.OpenMusic(std::string(ARDO_GAME_DIR) + "/music/green.ogg"));
  a.PlayMusic();
  p->Sleep(100);
  EXPECT_FALSE(a.MusicStopped());
  a.StopMusic();
  EXPECT_TRUE(a.MusicStopped());
  a.RestartMusic();
  a.PlaySound(std::string(ARDO_GAME_DIR) + "/sound/pi.wav", false);
  a.PlaySound(std::string(ARDO_GAME_DIR) + "/sound/no-such-effect.wav", false);
  p->Sleep(50);
  a.CloseMusic();
  SetPlatform(nullptr);
}

// The debug console's own window: what is typed into it is the console's, never the game's.
TEST(SdlPlatform, TheDebugWindowTakesWhatIsTypedIntoIt) {
  ::setenv("SDL_VIDEODRIVER", "dummy", 0);
  PlatformOptions o;
  o.scale = 1;
  o.audio = false;
  std::string error;
  auto p = CreatePlatform(o, &error);
  ASSERT_TRUE(p) << error;
  SetPlatform(p.get());
  ResetAllState();
  ResetDebugConsole();
  struct Sink final : WindowEvents {
    int keys = 0;
    void OnClose() override {}
    void OnKeyDown(int, int) override { ++keys; }
    void OnMouseDown(int, int, int, int) override {}
    void OnMouseMove(int, int, int, int) override {}
    void OnMouseUp(int, int, int, int) override {}
    void OnDblClick() override {}
  } game;
  p->SetEventSink(&game);
  p->Present(Surface(366, 366, Rgb(0, 0, 255)));

  ShowDebugWindow();
  SDL_Window* w = nullptr;
  Uint32 game_id = 0;
  for (Uint32 i = 1; i < 64; ++i) {
    if (SDL_Window* x = SDL_GetWindowFromID(i)) {
      if (std::strcmp(SDL_GetWindowTitle(x), "DebugWindow") == 0) {
        w = x;
      } else {
        game_id = i;
      }
    }
  }
  ASSERT_NE(w, nullptr);
  ASSERT_NE(game_id, 0u);
  const Uint32 id = SDL_GetWindowID(w);
  const auto text = [](Uint32 win, const char* t) {
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    e.text.windowID = win;
    std::strncpy(e.text.text, t, sizeof e.text.text - 1);
    SDL_PushEvent(&e);
  };
  const auto key = [](Uint32 win, SDL_Scancode sc) {
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.windowID = win;
    e.key.state = SDL_PRESSED;
    e.key.keysym.scancode = sc;
    SDL_PushEvent(&e);
  };
  const auto pump = [&] {
    p->PumpEvents();
    PumpDebugConsole();
  };
  // Dark pixels in the output box's first line.
  const auto output_drawn = [&] {
    std::vector<Uint32> px(200 * 16);
    SDL_Rect r{8, 52, 200, 16};
    if (SDL_RenderReadPixels(SDL_GetRenderer(w), &r, SDL_PIXELFORMAT_ARGB8888, px.data(), 200 * 4) != 0) return false;
    for (Uint32 c : px) {
      if ((c & 0xFFFFFF) == 0) return true;
    }
    return false;
  };

  text(id, "hp 12");
  text(id, "あ");
  key(id, SDL_SCANCODE_BACKSPACE);  // one whole character
  text(id, "3");
  key(id, SDL_SCANCODE_Z);
  text(game_id, "9");  // typed into the game window: not the console's
  pump();
  EXPECT_EQ(DebugCommandLine(), "hp 123");
  EXPECT_EQ(game.keys, 0) << "the console's keys are not the game's";
  key(id, SDL_SCANCODE_KP_ENTER);
  pump();
  EXPECT_EQ(Player.hp, 123);
  EXPECT_EQ(DebugCommandLine(), "");
  EXPECT_FALSE(output_drawn());
  text(id, "what");
  key(id, SDL_SCANCODE_RETURN);
  key(game_id, SDL_SCANCODE_Z);  // the game keeps its own keys
  pump();
  EXPECT_EQ(DebugOutput(), "No Much!\r\n");
  EXPECT_TRUE(output_drawn());
  EXPECT_EQ(game.keys, 1);

  // Closing it only hides it; opening it again shows it.
  SDL_Event close{};
  close.type = SDL_WINDOWEVENT;
  close.window.event = SDL_WINDOWEVENT_CLOSE;
  close.window.windowID = id;
  SDL_PushEvent(&close);
  pump();
  EXPECT_FALSE(DebugWindowShown());
  EXPECT_EQ(SDL_GetWindowFlags(w) & SDL_WINDOW_SHOWN, 0u);
  ShowDebugWindow();
  EXPECT_NE(SDL_GetWindowFlags(w) & SDL_WINDOW_SHOWN, 0u);
  EXPECT_TRUE(DebugWindowShown());
  ResetDebugConsole();
  SetPlatform(nullptr);
}

}  // namespace
}  // namespace ardo::platform
