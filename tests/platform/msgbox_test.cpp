// The message box the game draws in its own window: answered by key and by mouse,
// drawn in the game's font over the frame.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/msgbox.h"
#include "platform/platform.h"

namespace ardo::platform {
namespace {

class MessageBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // The headless platform sets up the game's font.
    std::string error;
    PlatformOptions o;
    o.headless = true;
    platform_ = CreatePlatform(o, &error);
    ASSERT_TRUE(platform_) << error;
  }
  std::unique_ptr<Platform> platform_;
};

TEST_F(MessageBoxTest, KeysAnswerOkOrCancel) {
  const struct {
    std::vector<int> keys;
    MsgBoxKind kind;
    MsgBoxResult want;
  } cases[] = {
      {{vk::kReturn}, MsgBoxKind::kOkCancelQuestion, MsgBoxResult::kOk},
      {{'X'}, MsgBoxKind::kOkCancelQuestion, MsgBoxResult::kOk},
      {{vk::kEscape}, MsgBoxKind::kOkCancelQuestion, MsgBoxResult::kCancel},
      {{'Z'}, MsgBoxKind::kOkCancelQuestion, MsgBoxResult::kCancel},
      {{vk::kRight, vk::kReturn}, MsgBoxKind::kOkCancelQuestion, MsgBoxResult::kCancel},
      {{vk::kRight, vk::kRight, vk::kLeft, 'X'}, MsgBoxKind::kOkCancelQuestion, MsgBoxResult::kOk},
      {{vk::kEscape}, MsgBoxKind::kOk, MsgBoxResult::kOk},
      {{vk::kRight, vk::kReturn}, MsgBoxKind::kOk, MsgBoxResult::kOk},
  };
  for (const auto& c : cases) {
    DrawnMessageBox box("終了しますか？", "ardo", c.kind, 366, 366);
    for (size_t i = 0; i < c.keys.size(); ++i) {
      EXPECT_FALSE(box.answered());
      box.KeyDown(c.keys[i]);
    }
    ASSERT_TRUE(box.answered());
    EXPECT_EQ(box.result(), c.want) << "case with " << c.keys.size() << " keys, first " << c.keys[0];
  }
  DrawnMessageBox box("終了しますか？", "ardo", MsgBoxKind::kOkCancelQuestion, 366, 366);
  box.KeyDown('A');
  box.KeyDown(vk::kF1);
  EXPECT_FALSE(box.answered()) << "other keys do nothing";
}

TEST_F(MessageBoxTest, AClickOnAButtonAnswers) {
  DrawnMessageBox box("終了しますか？", "ardo", MsgBoxKind::kOkCancelQuestion, 640, 480);
  ASSERT_EQ(box.button_count(), 2);
  const Rect ok = box.button(0);
  const Rect cancel = box.button(1);
  EXPECT_LE(ok.x + ok.w, cancel.x) << "OK, then Cancel";
  // Pressed on Cancel but released elsewhere: nothing; a click outside: nothing.
  box.MouseDown(cancel.x + 2, cancel.y + 2);
  box.MouseUp(5, 5);
  box.MouseDown(5, 5);
  box.MouseUp(cancel.x + 2, cancel.y + 2);
  EXPECT_FALSE(box.answered());
  box.MouseDown(cancel.x + cancel.w - 1, cancel.y + cancel.h - 1);
  box.MouseUp(cancel.x + 1, cancel.y + 1);
  ASSERT_TRUE(box.answered());
  EXPECT_EQ(box.result(), MsgBoxResult::kCancel);

  DrawnMessageBox again("終了しますか？", "ardo", MsgBoxKind::kOkCancelQuestion, 640, 480);
  again.MouseDown(ok.x + ok.w / 2, ok.y + ok.h / 2);
  again.MouseUp(ok.x + ok.w / 2, ok.y + ok.h / 2);
  ASSERT_TRUE(again.answered());
  EXPECT_EQ(again.result(), MsgBoxResult::kOk);
}

TEST_F(MessageBoxTest, DrawnInTheGamesFontOverTheFrame) {
  const Color back = Rgb(10, 200, 30);
  for (const auto& [w, h] : {std::pair{366, 366}, std::pair{640, 480}}) {
    Surface frame(w, h, back);
    // A long text is wrapped inside the window.
    const std::string text = "レベルの表 data/lvup.dat の０番ほか２３行が読めません";
    DrawnMessageBox box(text, "ardo はるかな頂へ", MsgBoxKind::kOk, w, h);
    box.Draw(&frame);
    const Rect r = box.box();
    EXPECT_GE(r.x, 0);
    EXPECT_LE(r.x + r.w, w);
    EXPECT_LE(std::abs(r.x - (w - r.x - r.w)), 1) << "centred";
    int outside_changed = 0, white = 0;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        if (!r.Contains(x, y)) {
          outside_changed += frame.At(x, y) != back ? 1 : 0;
        } else if (y > r.y + 24 && y < box.button(0).y && x > r.x + 4 && x < r.x + r.w - 4) {
          white += frame.At(x, y) == Rgb(255, 255, 255) ? 1 : 0;
        }
      }
    }
    EXPECT_EQ(outside_changed, 0);
    // Drawn the same way as the game's own text of the first characters.
    Surface ref(64, 20, 0);
    ref.SetForeColor(Rgb(255, 255, 255));
    ref.TextOut(0, 0, "レベル");
    int differ = 0;
    for (int y = 0; y < 20; ++y) {
      for (int x = 0; x < 48; ++x) {
        differ += (ref.At(x, y) == Rgb(255, 255, 255)) != (frame.At(r.x + 12 + x, r.y + 34 + y) == Rgb(255, 255, 255));
      }
    }
    EXPECT_EQ(differ, 0);
    EXPECT_GT(white, 300) << "the whole text is there";
  }
}

}  // namespace
}  // namespace ardo::platform
