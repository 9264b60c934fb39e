// The music player between the game and the audio thread: the game's commands count at
// once, what the decoder makes of them once a buffer has been rendered.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/music_player.h"
#include "platform/platform.h"

namespace ardo::platform {
namespace {

class MusicPlayerTest : public ::testing::Test {
 protected:
  void SetUp() override { music.Start(); }
  // One buffer of the audio thread; true when it held sound.
  bool Render() {
    std::vector<std::int16_t> buf(2 * 1024);
    music.Render(buf.data(), static_cast<int>(buf.size()), 2);
    for (std::int16_t s : buf) {
      if (s != 0) return true;
    }
    return false;
  }
  static std::string Tune(const char* name) { return std::string(ARDO_GAME_DIR) + "/music/" + name + ".ogg"; }

  MusicPlayer music;
};

TEST_F(MusicPlayerTest, CommandsCountAtOnceAndTheAudioSideAgrees) {
  // A missing file is found out on the audio side: refused, silent, never restarted.
  ASSERT_TRUE(music.Open(Tune("no-such-tune")));
  music.Play();
  Render();
  EXPECT_FALSE(music.Stopped()) << "nothing open";
  ASSERT_TRUE(music.Open(Tune("green")));
  EXPECT_TRUE(music.Stopped()) << "open and not playing, before the audio side has seen it";
  music.Play();
  EXPECT_FALSE(music.Stopped()) << "playing, still before the audio side has seen it";
  bool sound = false;
  for (int i = 0; i < 40; ++i) sound = Render() || sound;
  EXPECT_TRUE(sound);
  EXPECT_FALSE(music.Stopped()) << "playing, as the audio side says";
  music.Stop();
  EXPECT_TRUE(music.Stopped());
  Render();
  EXPECT_TRUE(music.Stopped()) << "paused, as the audio side says";
  music.Play();
  Render();
  EXPECT_FALSE(music.Stopped()) << "resumed";
  music.Close();
  EXPECT_FALSE(music.Stopped());
  Render();
  EXPECT_FALSE(music.Stopped()) << "closed: not a stopped tune";
  music.Play();
  EXPECT_FALSE(music.Stopped()) << "play without a tune does nothing";
}

TEST_F(MusicPlayerTest, AFileTheDecoderRefusesIsClosedAndNotRestartedEveryFrame) {
  const std::string path = ::testing::TempDir() + "/ardo-refused.ogg";
  // An Ogg page's mark and nothing after it: passes our check, and the decoder gives up on it.
  std::ofstream(path, std::ios::binary) << std::string("OggS\0\2 and no Vorbis stream", 26);
  ASSERT_TRUE(music.Open(path));
  music.Play();
  for (int i = 0; i < 4; ++i) Render();
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(music.Stopped()) << "refused: closed, so the loop check never restarts it";
  music.Restart();
  Render();
  EXPECT_FALSE(music.Stopped());
  const std::string said = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(said.find("can't play this music"), std::string::npos) << said;
  EXPECT_EQ(said.find("can't play"), said.rfind("can't play")) << "said once";
  // A good tune afterwards plays.
  ASSERT_TRUE(music.Open(Tune("green")));
  music.Play();
  Render();
  EXPECT_FALSE(music.Stopped());
  std::remove(path.c_str());
}

TEST_F(MusicPlayerTest, TheGameAndTheAudioThreadRunTogether) {
  std::atomic<bool> done{false};
  std::thread audio([&] {
    while (!done) Render();
  });
  const char* tunes[] = {"green", "fight4", "peace"};
  for (int i = 0; i < 60; ++i) {
    ASSERT_TRUE(music.Open(Tune(tunes[i % 3])));
    music.Play();
    if (music.Stopped()) music.Restart();
    if (i % 7 == 0) music.Stop();
  }
  done = true;
  audio.join();
  music.Close();
  Render();
  EXPECT_FALSE(music.Stopped());
}

}  // namespace
}  // namespace ardo::platform
