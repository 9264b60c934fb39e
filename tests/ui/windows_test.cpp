// The window table: placement, frames, stacking and the values each window shows.
#include "events/events.h"
#include "items/items.h"
#include "save/save.h"
#include "support/ui_fixture.h"

namespace ardo::testing {
namespace {

using WindowTest = UiTest;

TEST_F(WindowTest, SetUpPlacesEveryWindowAndHidesIt) {
  EXPECT_EQ(Windows(0).X, 360 / 2 - 137);
  EXPECT_EQ(Windows(0).Y, 360 - 125);
  EXPECT_EQ(picWindow(0).width(), 275);
  EXPECT_EQ(picWindow(0).height(), 115);
  EXPECT_EQ(picWindow(0).left, 43);
  EXPECT_EQ(picWindow(0).top, 235);
  EXPECT_EQ(Windows(3).X, (360 - 90) / 2);
  EXPECT_EQ(Windows(6).X, 360 - 140);
  EXPECT_EQ(Windows(13).Y, 360 - 200);
  EXPECT_EQ(picMes_Buff.width(), 275);
  EXPECT_EQ(picMes_Buff.height(), 135);
  EXPECT_FALSE(picMes_Buff.visible);
  for (int n = 0; n <= 17; ++n) {
    EXPECT_FALSE(picWindow(n).visible) << n;
    EXPECT_EQ(picWindow(n).width(), Windows(n).W) << n;
    EXPECT_EQ(picWindow(n).height(), Windows(n).H) << n;
  }
  for (int n = 18; n <= 20; ++n) EXPECT_EQ(Windows(n).W, 0) << n;
  EXPECT_EQ(Windows(8).Count, 10);
  EXPECT_EQ(Windows(8).Item(5), "攻撃アップ");
  EXPECT_EQ(Windows(13).Count, 8);
  EXPECT_EQ(Windows(13).Item(5), "攻撃力アップ");
}

TEST_F(WindowTest, FrameIsBuiltFromTheNineTilesOfTheFrameSheet) {
  // A frame sheet whose nine tiles each have a colour of their own.
  for (int ty = 0; ty < 3; ++ty) {
    for (int tx = 0; tx < 3; ++tx) picWaku.FillRect(tx * 5, ty * 5, 5, 5, platform::Rgb(10 + tx, 20 + ty, 30));
  }
  for (int n : {3, 14, 4}) {
    WinDraw(n);
    const platform::Surface& s = picWindow(n);
    const int w = s.width(), h = s.height();
    int wrong = 0;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        const int tx = x < 5 ? 0 : x >= w - 5 ? 2 : 1;
        const int ty = y < 5 ? 0 : y >= h - 5 ? 2 : 1;
        if (tx == 1 && ty == 1) continue;
        wrong += s.At(x, y) != platform::Rgb(10 + tx, 20 + ty, 30) ? 1 : 0;
      }
    }
    EXPECT_EQ(wrong, 0) << "window " << n;
    EXPECT_EQ(s.At(w - 6, h - 6), kNavy) << "window " << n;
  }
}

TEST_F(WindowTest, TheLastDrawnWindowIsInFrontAndHidingKeepsThePicture) {
  WinDraw(1);
  WinDraw(2);
  EXPECT_GT(picWindow(2).z, picWindow(1).z);
  WinDraw(1);
  EXPECT_GT(picWindow(1).z, picWindow(2).z);
  EXPECT_TRUE(picWindow(1).visible);
  const auto pixels = picWindow(1).pixels();
  WinHide(1);
  EXPECT_FALSE(picWindow(1).visible);
  EXPECT_EQ(picWindow(1).pixels(), pixels);
  EXPECT_TRUE(Text(picWindow(1), 27, 10, "アイテム"));
  EXPECT_TRUE(Text(picWindow(1), 27, 90, "終了"));
}

TEST_F(WindowTest, StatusShowsTheMaximumInAFourCharacterField) {
  Player.hp = 99;
  Player.mhp = 150;
  WinDraw(5);
  EXPECT_TRUE(Text(picWindow(5), 165, 30, "／\u3000１５０"));
  Player.mhp = 1000;
  Player.hp = 999;
  WinDraw(5);
  EXPECT_TRUE(Text(picWindow(5), 165, 30, "／１０００"));
  EXPECT_TRUE(Text(picWindow(5), 91, 30, "９９９"));  // F(hp) at 75: the space sits on the label's colon
  EXPECT_TRUE(Text(picWindow(5), 27, 10, "レベル："));
}

TEST_F(WindowTest, SmallStatusNumbersEndAtTheSameEdge) {
  Player.lv = 5;
  Player.hp = 150;
  Player.mp = 20;
  WinDraw(6);
  const platform::Surface& s = picWindow(6);
  EXPECT_TRUE(Text(s, 10, 10, "ＬＶ："));
  EXPECT_TRUE(Text(s, 77, 10, "\u3000５"));  // a one-digit level at x = 77
  EXPECT_TRUE(Text(s, 45, 30, "\u3000１５０"));  // three digits at x = 45
  EXPECT_TRUE(Text(s, 61, 50, "\u3000２０"));
  EXPECT_EQ(Ink(s, 109, 10, 6, 60), 0) << "nothing right of the common edge";
}

// Whatever changes the hero's numbers (a spell's cost after 移動, say), the small
// status on screen shows them, in its place among the windows.
TEST_F(WindowTest, SmallStatusOnScreenFollowsTheHerosNumbers) {
  Player.lv = 5;
  Player.hp = 150;
  Player.mp = 24;
  WinDraw(6);
  WinDraw(1);
  const auto z = picWindow(6).z;
  EXPECT_FALSE(KeepStatusCurrent());
  Player.mp = 19;
  EXPECT_TRUE(KeepStatusCurrent());
  EXPECT_TRUE(Text(picWindow(6), 61, 50, "\u3000１９"));
  EXPECT_EQ(picWindow(6).z, z) << "not brought to the front";
  EXPECT_FALSE(KeepStatusCurrent());
  WinHide(6);
  Player.mp = 3;
  EXPECT_FALSE(KeepStatusCurrent()) << "a hidden window is left alone";
}

TEST_F(WindowTest, InventoryRepeatsShowDittoButNeverForEmptySlots) {
  ItemTable(0).Name = "－";  // what an empty slot shows
  ItemTable(1).Name = "薬草";
  ItemTable(2).Name = "上薬草";
  const Byte items[15] = {1, 1, 0, 0, 2, 2, 2, 0, 1, 0, 0, 0, 0, 0, 2};
  for (int i = 0; i < 15; ++i) Player.items(i) = items[i];
  WinDraw(7);
  const platform::Surface& s = picWindow(7);
  const char* rows[] = {"薬草", "〃", "－", "－", "上薬草", "〃", "〃", "－", "薬草", "－"};
  for (int row = 0; row < 10; ++row) {
    EXPECT_TRUE(Text(s, 27, 10 + 20 * row, rows[row])) << "row " << row;
  }
  EXPECT_TRUE(Text(s, 27, 10 + 20 * 14, "上薬草"));
  EXPECT_TRUE(Text(s, 27, 10 + 20 * 15, "∪\u3000ごみ箱"));
  EXPECT_EQ(Windows(7).Item(1), "薬草");  // the label keeps the name; only the picture says "〃"
}

TEST_F(WindowTest, TravelListFollowsTheDestinationFlags) {
  WinDraw(17);
  EXPECT_EQ(Windows(17).Count, 1);
  EXPECT_EQ(Windows(17).H, 40);
  EXPECT_EQ(picWindow(17).height(), 40);

  SetFlag(33, 1);
  SetFlag(36, 1);
  WinDraw(17);
  ASSERT_EQ(Windows(17).Count, 3);
  EXPECT_EQ(Windows(17).Item(0), "さいはての村");
  EXPECT_EQ(Windows(17).Item(1), "ゴミの洞窟");
  EXPECT_EQ(Windows(17).Item(2), "大空洞");
  EXPECT_EQ(picWindow(17).height(), 80);

  for (int f = 32; f <= 37; ++f) SetFlag(f, 1);
  WinDraw(17);
  ASSERT_EQ(Windows(17).Count, 7);
  EXPECT_EQ(Windows(17).H, 160);
  EXPECT_EQ(picWindow(17).height(), 160);
  const char* all[] = {"さいはての村", "浮き島村", "ゴミの洞窟", "谷間の村", "ゾンビパラダイス", "大空洞", "山頂への道"};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(Windows(17).Item(i), all[i]);
  EXPECT_TRUE(Text(picWindow(17), 27, 130, "山頂への道"));
  // The frame's bottom edge moved with the height.
  EXPECT_EQ(picWindow(17).At(0, 159), picWaku.At(0, 14));
}

TEST_F(WindowTest, SaveSlotsShowLevelAndPlaceOrDashes) {
  SaveList(0) = SaveEntry{5, "town1"};
  SaveList(1) = SaveEntry{100, "dngn2"};
  WinDraw(4);
  const platform::Surface& s = picWindow(4);
  // "　ＬＶ" and the last three characters of F(level) from x = 40.
  EXPECT_TRUE(Text(s, 56, 10, "ＬＶ\u3000５"));
  EXPECT_TRUE(Text(s, 56, 30, "ＬＶ１００"));
  EXPECT_TRUE(Text(s, 155, 10, "さいはての村"));
  EXPECT_TRUE(Text(s, 155, 30, "潮風の洞穴"));
  EXPECT_TRUE(Text(s, 155, 50, "－－－－－－－－－"));
  EXPECT_TRUE(Text(s, 27, 50, "３："));
}

TEST_F(WindowTest, ShopPricesAreRightAligned) {
  ItemTable(1) = ItemRecord{"薬草", 1, 0, 40, 0, 8};
  ItemTable(9) = ItemRecord{"万能薬", 1, 0, 3000, 0, 900};
  Windows(15).Count = 2;
  Windows(15).Item(0) = "薬草";
  Windows(15).Item(1) = "万能薬";
  ShopStock(0) = 1;
  ShopStock(1) = 9;
  WinDraw(15);
  const platform::Surface& s = picWindow(15);
  // x = 240 - 18.5 x length: 203 for " 8", 166 for " 900".
  EXPECT_TRUE(Text(s, 203, 10, "\u3000８"));
  EXPECT_TRUE(Text(s, 166, 30, "\u3000９００"));
  EXPECT_TRUE(Text(s, 27, 30, "万能薬"));
}

// English windows write plain digits in the font's regular weight, each column of
// numbers ending at one edge.
TEST_F(WindowTest, EnglishNumbersArePlainDigitsEndingAtOneEdge) {
  SetGameLanguage(Language::kEnglish);
  WinSet();
  Player.hp = 999;
  Player.mhp = 1000;
  Player.gold = 123456;
  SaveList(0) = SaveEntry{5, "town1"};
  SaveList(1) = SaveEntry{100, "dngn2"};
  ItemTable(1) = ItemRecord{"薬草", 1, 0, 40, 0, 8};
  ItemTable(9) = ItemRecord{"万能薬", 1, 0, 3000, 0, 900};
  Windows(15).Count = 2;
  ShopStock(0) = 1;
  ShopStock(1) = 9;
  for (int n : {4, 5, 6, 15}) WinDraw(n);
  SetGameLanguage(Language::kJapanese);
  struct Case {
    int window, x, y;
    const char* text;
  };
  const Case cases[] = {
      {5, 139, 10, "1"},   {5, 123, 30, "999"},  {5, 155, 30, "/"},    {5, 171, 30, "1000"}, {5, 187, 50, "20"},
      {5, 99, 170, "123456"}, {6, 101, 10, "1"},   {6, 85, 30, "999"},   {4, 27, 10, "1:"},  {4, 56, 10, "LV   5"},
      {4, 56, 30, "LV 100"}, {15, 222, 10, "8"},  {15, 206, 30, "900"},
  };
  for (const Case& c : cases) {
    // The text's eight pixels a letter, and four clear on either side.
    const int w = 8 * static_cast<int>(std::string(c.text).size());
    platform::Surface ref(w + 8, 24, 0);
    ref.SetForeColor(kSilver);
    ref.SetTextStyle(platform::TextStyle{16, false});
    ref.TextOut(4, 0, c.text);
    int differ = 0;
    for (int dy = 0; dy < 20; ++dy) {
      for (int dx = 0; dx < w + 8; ++dx) {
        differ += (ref.At(dx, dy) == kSilver) != (picWindow(c.window).At(c.x - 4 + dx, c.y + dy) == kSilver);
      }
    }
    EXPECT_EQ(differ, 0) << "window " << c.window << " at (" << c.x << ", " << c.y << "): " << c.text;
  }
}

TEST_F(WindowTest, RedWhileHitPointsAreLowThenSilverAgain) {
  Player.mhp = 150;
  Player.hp = 29;
  WinDraw(5);
  EXPECT_TRUE(Text(picWindow(5), 27, 10, "レベル：", kRed));
  EXPECT_EQ(picWindow(5).fore_color(), kSilver);
  Player.hp = 30;
  WinDraw(5);
  EXPECT_TRUE(Text(picWindow(5), 27, 10, "レベル：", kSilver));
}

TEST_F(WindowTest, MessageWindowClearsToItsBackgroundPicture) {
  ASSERT_TRUE(picMesBackground);
  ASSERT_TRUE(Run([] { Message("あいう"); }));
  ASSERT_TRUE(Run([] { Message(""); }));
  const platform::Surface& s = picWindow(0);
  int differ = 0;
  for (int y = 5; y < 110; ++y) {
    for (int x = 5; x < 269; ++x) differ += s.At(x, y) != picMesBackground->At(x, y) ? 1 : 0;
  }
  EXPECT_EQ(differ, 0);
}

}  // namespace
}  // namespace ardo::testing
