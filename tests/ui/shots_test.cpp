// Pictures for reviewers: the message window at a prompt and the main windows of
// the field menu, over the test map, saved under ${ARDO_BINARY_DIR}/shots/. Each
// picture must show its windows' texts at their places and the field around them.
#include <filesystem>

#include "items/items.h"
#include "save/save.h"
#include "support/ui_fixture.h"

namespace ardo::testing {
namespace {

class ShotTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    LoadPictures();
    WinSet();
    ItemSet();
    MagSet();
    picMain.left = picMain.top = 3;
    MapLoad("test");
    Player.x = Player.y = 10;
    BuffDraw();
    MapDraw(0, 0, 1, 0);
    std::filesystem::create_directories(Dir());
  }
  void TearDown() override {
    picMain.left = picMain.top = 0;
    UiTest::TearDown();
  }

  static std::string Dir() { return std::string(ARDO_BINARY_DIR) + "/shots"; }

  // A text of window n at (x, y) within it (one character of the message window).
  struct Shown {
    int window, x, y;
    std::string text;
  };

  // Saves the screen once when `when` first holds at an event point, and checks the picture.
  void ShootWhen(std::string file, std::function<bool()> when, std::vector<Shown> shows) {
    shots_.push_back({std::move(file), std::move(when), std::move(shows), false});
    probe = [this] {
      for (auto& s : shots_) {
        if (s.done || !s.when()) continue;
        platform::Surface frame;
        ComposeScreen(&frame);
        std::string error;
        EXPECT_TRUE(platform::SavePng(frame, Dir() + "/" + s.file, &error)) << error;
        for (const Shown& w : s.shows) {
          const platform::Surface& win = picWindow(w.window);
          EXPECT_TRUE(Text(frame, picMain.left + win.left + w.x, picMain.top + win.top + w.y, w.text)) << s.file;
        }
        EXPECT_TRUE(FieldAroundTheWindows(frame)) << s.file;
        s.done = true;
      }
    };
  }
  void ExpectAllTaken() {
    for (const auto& s : shots_) EXPECT_TRUE(s.done) << s.file;
  }

  // Wherever no shown window covers the view, the picture is the field as drawn.
  static ::testing::AssertionResult FieldAroundTheWindows(const platform::Surface& frame) {
    int open = 0, differ = 0;
    for (int y = 0; y < picMain.height(); ++y) {
      for (int x = 0; x < picMain.width(); ++x) {
        bool covered = false;
        for (int i = 0; i <= 17 && !covered; ++i) {
          const platform::Surface& w = picWindow(i);
          covered = w.visible && x >= w.left && x < w.left + w.width() && y >= w.top && y < w.top + w.height();
        }
        if (covered) continue;
        ++open;
        differ += frame.At(picMain.left + x, picMain.top + y) != picMain.At(x, y) ? 1 : 0;
      }
    }
    if (open > 0 && differ == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << differ << " of the " << open << " pixels of the field around differ";
  }

 private:
  struct Shot {
    std::string file;
    std::function<bool()> when;
    std::vector<Shown> shows;
    bool done;
  };
  std::vector<Shot> shots_;
};

TEST_F(ShotTest, MessageWithAPrompt) {
  Player.hp = 120;
  ShootWhen("message.png", [] { return MessageWaiting() && Ink(picWindow(0), 129, 90, 17, 20) > 0; },
            {{0, 10, 10, "よ"}, {0, 10, 30, "こ"}, {0, 10, 70, "な"}});
  ShootWhen("message-scrolled.png", [] { return MessageWaiting() && MessageShown().ends_with("HP3"); },
            {{0, 10, 10, "な"}, {0, 10, 50, "き"}});
  Answer();
  Answer();
  ASSERT_TRUE(Run([] {
    Message("ようこそ、さいはての村へ。／ここは世界の果ての村。／北の山には誰も登ったことが／ないそうです。￥"
            "でも、あなたなら／きっと行けるでしょう。／ｶﾞﾝﾊﾞｯﾃ! HP3￥");
  }));
  ExpectAllTaken();
}

TEST_F(ShotTest, FieldMenuWindows) {
  Player.lv = 12;
  Player.hp = 143;
  Player.mhp = 210;
  Player.mp = 38;
  Player.mmp = 45;
  Player.ap = 58;
  Player.dp = 41;
  Player.sp = 33;
  Player.exp = 12480;
  Player.gold = 1530;
  const Byte items[15] = {1, 1, 2, 4, 7, 18, 24, 24, 0, 0, 0, 0, 0, 0, 0};
  for (int i = 0; i < 15; ++i) Player.items(i) = items[i];
  SaveList(0) = SaveEntry{12, "town2"};
  SaveList(3) = SaveEntry{5, "town1"};
  SaveList(4) = SaveEntry{9, "dngn1"};

  WinDraw(6);
  ShootWhen("menu.png", [] { return Front(1); },
            {{1, 8, 10, "⇒"}, {1, 27, 10, "アイテム"}, {1, 27, 90, "終了"}, {6, 10, 10, "ＬＶ："}});
  ShootWhen("items.png", [] { return Front(7) && Ink(picWindow(7), 8, 70, 18, 20) > 0; },
            {{7, 27, 10, "薬草"}, {7, 8, 70, "⇒"}, {7, 27, 70, "魔法の水"}, {7, 27, 310, "∪\u3000ごみ箱"}});
  ShootWhen("status.png", [] { return Front(5); }, {{5, 27, 10, "レベル："}, {5, 27, 170, "お金\u3000："}});
  ShootWhen("saves.png", [] { return Front(4); },
            {{4, 8, 10, "⇒"}, {4, 27, 10, "１："}, {4, 155, 10, "浮き島村"}, {4, 155, 70, "さいはての村"}});
  Pick(1);  // "アイテム"
  Down(7, 3);
  Cancel(7);
  Down(1, 2);  // "つよさ"
  Pick(1);
  Press('C', [] { return Front(5); }, 40);
  Down(1);  // "システム"
  Pick(1);
  Pick(2);  // "セーブ"
  Cancel(4);
  Cancel(2);
  Cancel(1);
  ASSERT_TRUE(Run([] { WinDeal(1); }));
  ExpectAllTaken();
}

}  // namespace
}  // namespace ardo::testing
