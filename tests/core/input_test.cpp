// Keyboard and joypad polling.
#include <gtest/gtest.h>

#include "core/core.h"
#include "support/fixture.h"

namespace ardo {
namespace {

namespace vk = platform::vk;

class InputTest : public testing::HeadlessGame {
 protected:
  void Pad(std::uint32_t x, std::uint32_t y, std::uint32_t buttons) { control().SetPad(true, x, y, buttons); }
};

TEST_F(InputTest, DirectionsAreTestedUpDownLeftRight) {
  control().SetKey(vk::kUp, true);
  control().SetKey(vk::kLeft, true);
  KeyState k = Getkey();
  EXPECT_EQ(k.dy, -1);
  EXPECT_EQ(k.dx, 0) << "up wins over every other direction";
  control().ReleaseAllKeys();
  control().SetKey(vk::kNumpad2, true);
  control().SetKey(vk::kRight, true);
  k = Getkey();
  EXPECT_EQ(k.dy, 1);
  EXPECT_EQ(k.dx, 0);
  control().ReleaseAllKeys();
  control().SetKey(vk::kNumpad4, true);
  control().SetKey(vk::kRight, true);
  EXPECT_EQ(Getkey().dx, -1) << "left wins over right";
}

TEST_F(InputTest, ButtonsAreTestedInOrder) {
  control().SetKey('Z', true);
  control().SetKey('X', true);
  EXPECT_EQ(Getkey().btn, 1);
  control().ReleaseAllKeys();
  control().SetKey(vk::kReturn, true);
  control().SetKey(vk::kShift, true);
  EXPECT_EQ(Getkey().btn, 2);
  control().ReleaseAllKeys();
  control().SetKey(vk::kShift, true);
  EXPECT_EQ(Getkey().btn, 3);
  control().ReleaseAllKeys();
  control().SetKey(vk::kSpace, true);
  EXPECT_EQ(Getkey().btn, 1);
}

TEST_F(InputTest, JoypadThresholdsAndButtonCodes) {
  EXPECT_NE(JoyInit(), 0) << "no pad plugged in";
  EXPECT_EQ(JoyCenterX, 0) << "a failed read leaves the centres";
  Pad(32768, 32768, 0);
  ASSERT_EQ(JoyInit(), 0);
  EXPECT_EQ(JoyCenterX, 32768) << "65535 / 2 rounded half to even";
  JoyThreshold = 20000;
  Pad(32768 - 20000, 32768, 0);
  EXPECT_EQ(JoyPad().dx, 0) << "the comparison is strict";
  Pad(32768 - 20001, 0, 0);
  KeyState k = JoyPad();
  EXPECT_EQ(k.dx, -1);
  EXPECT_EQ(k.dy, 0) << "first match only";
  Pad(60000, 32768, 0);
  EXPECT_EQ(JoyPad().dx, 1);
  Pad(32768, 65535, 0);
  EXPECT_EQ(JoyPad().dy, 1);
  struct {
    std::uint32_t mask;
    int btn;
  } cases[] = {{0, 0}, {1, 1}, {2, 2}, {3, 2}, {4, 3}, {5, 3}, {8, 3}};
  for (const auto& c : cases) {
    Pad(32768, 32768, c.mask);
    EXPECT_EQ(JoyPad().btn, c.btn) << "mask " << c.mask;
  }
  Integer code = 0;
  Pad(32768, 32768, 2048);
  JoyRead(0, JoyInfo, code);
  EXPECT_EQ(code, 0) << "the code is taken modulo 4096";
}

TEST_F(InputTest, JoypadOffOrMissingReadsNothing) {
  Pad(0, 0, 1);
  JoyInit();
  SetFlag(17, 1);
  KeyState k = JoyPad();
  EXPECT_EQ(k.dx | k.dy | k.btn, 0);
  SetFlag(17, 0);
  EXPECT_NE(JoyPad().btn, 0);
  control().SetPad(false, 0, 0, 1);
  k = JoyPad();
  EXPECT_EQ(k.dx | k.dy | k.btn, 0);
}

// A pad plugged in after start-up (no centres taken yet) rests centred, and its
// stick and buttons work at once.
TEST_F(InputTest, APadPluggedInLaterRestsCentred) {
  EXPECT_NE(JoyInit(), 0) << "no pad at start-up";
  Pad(32767, 32767, 2);
  KeyState k = JoyPad();
  EXPECT_EQ(k.dx, 0);
  EXPECT_EQ(k.dy, 0);
  EXPECT_EQ(k.btn, 2);
  Pad(65535, 32767, 0);
  EXPECT_EQ(JoyPad().dx, 1);
  Pad(32767, 0, 0);
  EXPECT_EQ(JoyPad().dy, -1);
}

TEST_F(InputTest, KeyboardAndPadCombineIntoTheDashCode) {
  Pad(32768, 32768, 2);
  JoyInit();
  control().SetKey('Z', true);
  EXPECT_EQ(Getkey().btn | JoyPad().btn, 3);
  EXPECT_TRUE(BynDown());
}

TEST_F(InputTest, KeyWaitReturnsOnReleaseOrAfterAbout200ms) {
  const auto t0 = now();
  KeyWait();
  EXPECT_EQ(now(), t0) << "nothing held: at once";
  control().SetKey('X', true);
  KeyWait();
  EXPECT_GT(now() - t0, 200u);
  EXPECT_LT(now() - t0, 210u);
  // Released after 50 ms: KeyWait returns then.
  const auto t1 = now();
  control().SetEventPointHook([&] {
    if (now() - t1 >= 50) control().SetKey('X', false);
  });
  KeyWait();
  EXPECT_GE(now() - t1, 50u);
  EXPECT_LT(now() - t1, 55u);
}

}  // namespace
}  // namespace ardo
