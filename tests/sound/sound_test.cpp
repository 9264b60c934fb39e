// Music and effects through the recording back-end: what the game asks of the audio
// device under the music and effects switches (flags 0 and 1).
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sound/sound.h"
#include "support/fixture.h"

namespace ardo {
namespace {

using Log = std::vector<std::string>;

class SoundTest : public testing::HeadlessGame {
 protected:
  void SetUp() override {
    HeadlessGame::SetUp();
    const std::string folder = UseScratchFolder();
    std::filesystem::create_directories(folder + "/music");
    std::filesystem::create_directories(folder + "/sound");
    for (const char* name : {"tender", "fight4"}) std::ofstream(folder + "/music/" + name + ".ogg") << "MThd";
    for (const char* name : {"pi", "bomb"}) std::ofstream(folder + "/sound/" + name + ".wav") << "RIFF";
    SetFlag(0, 1);
    SetFlag(1, 1);
  }
  std::string Music(const std::string& name) { return GamePath("music/" + name + ".ogg"); }
  std::string Sound(const std::string& name) { return GamePath("sound/" + name + ".wav"); }
  const Log& log() { return audio().state().log; }
};

TEST_F(SoundTest, MusicOnOpensAndPlaysTheTune) {
  PlayBgm("tender");
  EXPECT_EQ(log(), (Log{"open " + Music("tender"), "play"}));
  EXPECT_TRUE(audio().state().playing);

  CloseBgm();
  EXPECT_EQ(log(), (Log{"open " + Music("tender"), "play", "stop", "close"}));
  EXPECT_TRUE(audio().state().music_path.empty());
}

TEST_F(SoundTest, MusicOffStillOpensTheTuneAndMusicOnResumesIt) {
  SetFlag(0, 0);
  PlayBgm("tender");
  EXPECT_EQ(log(), (Log{"open " + Music("tender")}));
  EXPECT_FALSE(audio().state().playing);
  // A stopped tune is not restarted while the music is off.
  LoopBgm();
  EXPECT_EQ(log().size(), 1u);

  // The settings menu turns it on: play with an empty name, no second open.
  SetFlag(0, 1);
  PlayBgm("");
  EXPECT_EQ(log(), (Log{"open " + Music("tender"), "play"}));
  EXPECT_EQ(audio().state().opens, 1);
  EXPECT_TRUE(audio().state().playing);

  // And off again: stopped, still open for the next resume.
  SetFlag(0, 0);
  StopBgm();
  EXPECT_FALSE(audio().state().playing);
  EXPECT_EQ(audio().state().music_path, Music("tender"));
  SetFlag(0, 1);
  PlayBgm("");
  EXPECT_TRUE(audio().state().playing);
  EXPECT_EQ(audio().state().opens, 1);
}

TEST_F(SoundTest, LoopBgmRestartsATuneThatRanOut) {
  PlayBgm("fight4");
  LoopBgm();
  EXPECT_EQ(audio().state().restarts, 0) << "still playing";

  audio().FinishMusic();
  LoopBgm();
  EXPECT_EQ(log().back(), "play from 0");
  EXPECT_EQ(audio().state().restarts, 1);
  EXPECT_TRUE(audio().state().playing);

  // With the music switched off (by the debug console) an ended tune stays ended.
  SetFlag(0, 0);
  audio().FinishMusic();
  LoopBgm();
  EXPECT_EQ(audio().state().restarts, 1);

  // Nothing open: nothing to restart.
  SetFlag(0, 1);
  CloseBgm();
  LoopBgm();
  EXPECT_EQ(audio().state().restarts, 1);
}

TEST_F(SoundTest, MissingMusicIsSilence) {
  PlayBgm("nosuchtune");
  EXPECT_TRUE(audio().state().music_path.empty());
  EXPECT_FALSE(audio().state().playing);
  LoopBgm();
  EXPECT_EQ(audio().state().restarts, 0);
  // The next tune plays as usual.
  CloseBgm();
  PlayBgm("tender");
  EXPECT_TRUE(audio().state().playing);
}

TEST_F(SoundTest, EffectsFollowTheirSwitchAndFlags) {
  PlaySe("pi", 1);
  PlaySe("bomb", 17);  // leaves an effect still playing alone
  EXPECT_EQ(log(), (Log{"sound " + Sound("pi"), "sound-nowait " + Sound("bomb")}));

  // A missing effect is silence.
  PlaySe("nosuchsound", 1);
  EXPECT_EQ(log().size(), 2u);

  // Effects off: no request at all, whatever the file.
  SetFlag(1, 0);
  PlaySe("pi", 1);
  PlaySe("bomb", 17);
  PlaySe("nosuchsound", 1);
  EXPECT_EQ(log().size(), 2u);
  EXPECT_EQ(audio().state().sounds.size(), 2u);
}

}  // namespace
}  // namespace ardo
