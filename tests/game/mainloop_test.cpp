// The field loop in virtual time on small maps written by the tests.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "core/core.h"
#include "field/field.h"
#include "support/fixture.h"

namespace ardo {
namespace {

namespace vk = platform::vk;

class FieldLoop : public testing::HeadlessGame {
 protected:
  void SetUp() override {
    HeadlessGame::SetUp();
    const std::string dir = UseScratchFolder();
    std::filesystem::create_directories(dir + "/map");
    Init_PlayerStatus();
    RecomputeSpeeds();
    GameRunning = true;
  }

  // Writes a W x H map of floor (tile 1) with the given special cells, and loads it.
  void Map(int w, int h, const std::map<std::pair<int, int>, MapCell>& special) {
    testing::WriteMapFile(GamePath("map/t.map"), w, h, [&](int x, int y) {
      auto it = special.find({x, y});
      return it != special.end() ? it->second : MapCell{1, 0};
    });
    MapLoad("t");
    BuffDraw();
  }

  // Runs the field loop until virtual time `until_ms`, calling probe at every event point.
  void RunFor(std::uint32_t until_ms, const std::function<void()>& probe = {}) {
    const auto end = now() + until_ms;
    control().SetEventPointHook([&] {
      if (probe) probe();
      if (now() >= end) GameRunning = false;
    });
    try {
      MainLoop();
    } catch (const EndProgram&) {
    }
    control().SetEventPointHook({});
    GameRunning = true;
  }
};

TEST_F(FieldLoop, AStepTakesTwelveFramesAndHoldingWalksOn) {
  Map(30, 30, {});
  Player.x = 10;
  Player.y = 10;
  control().SetKey(vk::kRight, true);
  std::map<std::uint32_t, int> offsets;  // frame start time -> StepOffset
  RunFor(16 * 26, [&] {
    if (now() % 16 == 0 && !offsets.count(now())) offsets[now()] = StepOffset;
  });
  // Frame 0 starts the step; frames 1-12 advance it 2 pixels each.
  EXPECT_EQ(offsets[16], -24);
  EXPECT_EQ(offsets[32], -22);
  EXPECT_EQ(offsets[16 * 12], -2);
  EXPECT_EQ(offsets[16 * 13], 0) << "arrived after twelve frames";
  EXPECT_EQ(offsets[16 * 14], -24) << "the next step starts in the very next frame";
  EXPECT_EQ(Player.x, 12);
}

TEST_F(FieldLoop, DashingFramesLastAThird) {
  Map(30, 30, {});
  Player.x = 10;
  Player.y = 10;
  control().SetKey(vk::kRight, true);
  control().SetKey('C', true);
  // One normal frame starts the step, then twelve frames of 16 \ 3 = 5 ms.
  RunFor(16 + 12 * 5 + 1);
  EXPECT_EQ(Player.x, 12) << "the second step has started";
}

TEST_F(FieldLoop, WallsTurnTheHeroWithoutMovingHim) {
  Map(30, 30, {{{11, 10}, MapCell{2, kAttrBlocked}}});
  Player.x = 10;
  Player.y = 10;
  Player.dir = 0;
  control().SetKey(vk::kRight, true);
  RunFor(200);
  EXPECT_EQ(Player.x, 10);
  EXPECT_EQ(Player.dir, 3);
  EXPECT_EQ(StepOffset, 0);
}

TEST_F(FieldLoop, FootprintsAndTheDamagingFloor) {
  Map(30, 30, {{{11, 10}, MapCell{90, 0}}, {{10, 11}, MapCell{90, 0}}});
  Player.x = 10;
  Player.y = 10;
  control().SetKey(vk::kRight, true);
  RunFor(16 * 13 + 1);
  EXPECT_EQ(MapData(11, 10).tile, 79) << "sideways";
  control().ReleaseAllKeys();
  Player.x = 10;
  Player.y = 10;
  StepOffset = 0;
  BuffDraw();
  control().SetKey(vk::kDown, true);
  RunFor(16 * 13 + 1);
  EXPECT_EQ(MapData(10, 11).tile, 78) << "up or down";
}

TEST_F(FieldLoop, TheDamagingFloorNeverTakesTheLastHitPoints) {
  std::map<std::pair<int, int>, MapCell> swamp;
  for (int x = 11; x < 20; ++x) swamp[{x, 10}] = MapCell{106, 0};
  Map(30, 30, swamp);
  Player.x = 10;
  Player.y = 10;
  Player.hp = 5;
  control().SetKey(vk::kRight, true);
  RunFor(16 * 13 * 4);
  EXPECT_EQ(Player.hp, 1);
  EXPECT_GE(Player.x, 13);
}

TEST_F(FieldLoop, MovingFloorsCarryTheHeroOn) {
  // 176 176 182 then floor: one press carries the hero to the end of the chain.
  Map(30, 30, {{{11, 10}, MapCell{176, 0}}, {{12, 10}, MapCell{176, 0}}, {{13, 10}, MapCell{182, 0}}});
  Player.x = 10;
  Player.y = 10;
  control().SetKey(vk::kRight, true);
  RunFor(16);  // the press starts the first step
  control().ReleaseAllKeys();
  RunFor(16 * 13 * 5);
  EXPECT_EQ(Player.x, 14);
  EXPECT_EQ(StepOffset, 0);
}

TEST_F(FieldLoop, StandingStillShowsTheSmallStatusAndAStepHidesIt) {
  Map(30, 30, {});
  Player.x = 10;
  Player.y = 10;
  AnimClock = 0;
  RunFor(16 * 100);
  EXPECT_EQ(AnimFrame, (AnimClock % 500) / 250);
  control().SetKey(vk::kDown, true);
  RunFor(16 * 2);
  EXPECT_EQ(Player.y, 11);
  EXPECT_LT(AnimClock, 100) << "the first step resets the clock";
}

}  // namespace
}  // namespace ardo
