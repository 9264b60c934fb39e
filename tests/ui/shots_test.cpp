// Pictures for reviewers: the message window at a prompt and the main windows of
// the field menu, over the test map, saved under ${ARDO_BINARY_DIR}/shots/.
#include <filesystem>

#include "items/items.h"
#include "save/save.h"
#include "ui_fixture.h"

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

  // Saves the screen once when `when` first holds at an event point.
  void ShootWhen(std::string file, std::function<bool()> when) {
    shots_.push_back({std::move(file), std::move(when), false});
    probe = [this] {
      for (auto& s : shots_) {
        if (s.done || !s.when()) continue;
        platform::Surface frame;
        ComposeScreen(&frame);
        std::string error;
        EXPECT_TRUE(platform::SavePng(frame, Dir() + "/" + s.file, &error)) << error;
        s.done = true;
      }
    };
  }
  void ExpectAllTaken() {
    for (const auto& s : shots_) EXPECT_TRUE(s.done) << s.file;
  }

 private:
  struct Shot {
    std::string file;
    std::function<bool()> when;
    bool done;
  };
  std::vector<Shot> shots_;
};

TEST_F(ShotTest, MessageWithAPrompt) {
  Player.hp = 120;
  ShootWhen("message.png", [] { return MessageWaiting() && Ink(picWindow(0), 129, 90, 17, 20) > 0; });
  ShootWhen("message-scrolled.png", [] { return MessageWaiting() && MessageShown().ends_with("HP3"); });
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
  ShootWhen("menu.png", [] { return Front(1); });
  ShootWhen("items.png", [] { return Front(7) && Ink(picWindow(7), 8, 70, 18, 20) > 0; });
  ShootWhen("status.png", [] { return Front(5); });
  ShootWhen("saves.png", [] { return Front(4); });
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
