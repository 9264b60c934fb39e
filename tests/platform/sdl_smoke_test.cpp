// The desktop platform under SDL's dummy video and audio drivers: the window, the
// frame, events, the clock and the audio thread's music and effects all work without
// a display or a sound card.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

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
  EXPECT_FALSE(a.OpenMusic(std::string(ARDO_GAME_DIR) + "/music/no-such-tune.mid"));
  ASSERT_TRUE(a.OpenMusic(std::string(ARDO_GAME_DIR) + "/music/green.mid"));
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

}  // namespace
}  // namespace ardo::platform
