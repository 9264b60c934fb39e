// Spells, the level table, level-ups and the healing spell.
#include <gtest/gtest.h>

#include "events/events.h"
#include "support/items_fixture.h"

namespace ardo {
namespace {

class Growth : public testing::ItemsGame {
 protected:
  // Levels 2, 3, 4 and 5 at 10, 20, 30 and 1000 experience; each adds 1 to 5 to the stats.
  static void SmallTable() {
    for (auto& row : LevelTable) row = LevelRecord{999999999, 0, 0, 0, 0, 0};
    LevelTable(0) = LevelRecord{};
    LevelTable(1) = LevelRecord{};
    LevelTable(2) = LevelRecord{10, 10, 2, 3, 4, 5};
    LevelTable(3) = LevelRecord{20, 10, 2, 3, 4, 5};
    LevelTable(4) = LevelRecord{30, 10, 2, 3, 4, 5};
    LevelTable(5) = LevelRecord{1000, 10, 2, 3, 4, 5};
  }
};

TEST_F(Growth, TheSpellTable) {
  MagSet();
  const std::pair<const char*, int> spells[] = {
      {"回復", 2},       {"炎", 1},         {"氷結", 3},         {"雷", 6},   {"催眠", 7},
      {"攻撃アップ", 6}, {"防御アップ", 5}, {"素早さアップ", 3}, {"脱出", 10}, {"移動", 5}};
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(MagicTable(i).Name, spells[i].first);
    EXPECT_EQ(MagicTable(i).Cost, spells[i].second);
  }
  EXPECT_EQ(MagicTable(10).Name, "");
}

TEST_F(Growth, LevelUpAtExactlyTheThresholdAndNotBelow) {
  SmallTable();
  Player.exp = 9;
  EXPECT_EQ(Lv_Up(), 255);
  EXPECT_EQ(Player.lv, 1);

  Player.exp = 10;
  Player.hp = 100;
  Player.mp = 7;
  MessageWait = 0;
  Byte r = 255;
  TappingKey('X', [&] { r = Lv_Up(); });
  EXPECT_EQ(r, 0);
  EXPECT_EQ(Player.lv, 2);
  EXPECT_EQ(Player.mhp, 160);
  EXPECT_EQ(Player.mmp, 22);
  EXPECT_EQ(Player.ap, 38);
  EXPECT_EQ(Player.dp, 24);
  EXPECT_EQ(Player.sp, 15);
  EXPECT_EQ(Player.hp, 100);  // not refilled
  EXPECT_EQ(Player.mp, 7);
  EXPECT_EQ(MessageShown(), "レベルがあがった！");
  EXPECT_EQ(Lv_Up(), 255);
}

TEST_F(Growth, NoLevelBeyond255) {
  for (auto& row : LevelTable) row = LevelRecord{};
  Player.lv = 255;
  Player.exp = 999999999;
  EXPECT_EQ(Lv_Up(), 255);
  EXPECT_EQ(Player.lv, 255);
}

// Three thresholds passed at once: three levels, three messages, each answered.
TEST_F(Growth, ALargeGainRaisesSeveralLevelsWithAMessageEach) {
  SmallTable();
  int messages = 0;
  bool showing = false;
  Byte r = 255;
  Tapping(
      [&] {
        // Counts each time the level-up text has been typed out anew.
        const bool full = MessageShown() == "レベルがあがった！";
        if (full && !showing) ++messages;
        showing = full;
        return 'X';
      },
      [&] { r = ExpAdd(35); });
  EXPECT_EQ(r, 0);
  EXPECT_EQ(Player.exp, 35);
  EXPECT_EQ(Player.lv, 4);
  EXPECT_EQ(messages, 3);
  EXPECT_EQ(Player.mhp, 180);
  EXPECT_EQ(Player.sp, 25);
}

TEST_F(Growth, AClampedExperienceGainRaisesNoLevel) {
  SmallTable();
  Player.exp = 5;
  EXPECT_EQ(ExpAdd(2000000000), 255);
  EXPECT_EQ(Player.exp, 999999999);
  EXPECT_EQ(Player.lv, 1);
  EXPECT_EQ(ExpAdd(-1000000000), 255);
  EXPECT_EQ(Player.exp, 0);
}

TEST_F(Growth, HealingByStrength) {
  MagSet();
  MessageWait = 0;
  Player.mhp = 5000;
  const struct {
    int strength;
    int lo, hi, cost;
  } cases[] = {{0, 49, 119, 4}, {1, 175, 425, 8}, {2, 700, 1700, 12}, {3, 5000, 5000, 16}};
  for (const auto& c : cases) {
    for (int i = 0; i < 10; ++i) {
      Player.hp = 0;
      Player.mmp = Player.mp = 100;
      control().AdvanceTime(17);
      TappingKey('X', [&] { Heal(c.strength); });
      EXPECT_GE(Player.hp, c.lo) << c.strength;
      EXPECT_LE(Player.hp, c.hi) << c.strength;
      EXPECT_EQ(Player.mp, 100 - c.cost) << c.strength;
      EXPECT_EQ(MessageShown(), "ＨＰが回復した！");
      EXPECT_FALSE(picWindow(0).visible);
    }
  }
}

// ---------------------------------------------------------------------------
// The level table file.

class LevelFile : public testing::ItemsGame {};

TEST_F(LevelFile, BadRowsShowTheirIndexAndTheRestIsRead) {
  testing::ExpectFault("LvupSet", 13);
  testing::ExpectFault("LvupSet", 62);
  std::string text = "row,Exp,MaxHpUp,MaxMpUp,AttackUp,DefenceUp,SpeedUp\n";
  text += "0,0,0,0,0,0,0\n";
  text += "1,x,0,0,0,0,0\n";   // a bad number
  text += "2,9,16\n";          // too few fields
  for (int row = 3; row <= 9; ++row) {
    text += std::to_string(row) + "," + std::to_string(row * 100) + ",20,4,3,2,1\n";
  }
  WriteData("lvup.dat", text);
  LevelTable(1).Exp = 77;
  LvupSet();
  EXPECT_EQ(control().message_boxes(),
            (std::vector<std::string>{"レベルの表 data/lvup.dat の１番ほか２行が読めません"}));
  EXPECT_EQ(LevelTable(1).Exp, 0);
  EXPECT_EQ(LevelTable(2).Exp, 0);
  EXPECT_EQ(LevelTable(3).Exp, 300);
  EXPECT_EQ(LevelTable(9).Exp, 900);
  EXPECT_EQ(LevelTable(9).MaxHpUp, 20);
  EXPECT_EQ(LevelTable(9).SpeedUp, 1);
  EXPECT_EQ(LevelTable(10).Exp, 0);
  EXPECT_EQ(Count(ErrorLog(), "LvupSet Error:"), 3);
}

TEST_F(LevelFile, AMissingFileOrGarbageGivesOneBox) {
  testing::ExpectFault("LvupSet", 62);
  testing::ExpectFault("LvupSet", 53);
  UseScratchFolder();
  LvupSet();
  EXPECT_EQ(control().message_boxes(), (std::vector<std::string>{"レベルの表 data/lvup.dat が読めません"}));
  EXPECT_EQ(Count(ErrorLog(), "LvupSet Error: 53 File not found (data/lvup.dat)"), 1);
  WriteData("lvup.dat", "header\n" + std::string(2000, 'x') + "\n\x01\x02,,,\n");
  LvupSet();
  EXPECT_EQ(control().message_boxes().size(), 2u);
  EXPECT_EQ(control().message_boxes()[1], "レベルの表 data/lvup.dat の０番ほか２行が読めません");
  for (const auto& row : LevelTable) EXPECT_EQ(row.Exp, 0);
}

// The shipped curve: all 256 rows readable, rising smoothly, level 255 out of reach
// in practice but within the experience limit.
TEST_F(LevelFile, TheGamesCurve) {
  LvupSet();
  EXPECT_TRUE(control().message_boxes().empty());
  EXPECT_EQ(LevelTable(1).Exp, 0);
  EXPECT_GT(LevelTable(2).Exp, 0);
  EXPECT_LE(LevelTable(2).Exp, 20);
  for (int l = 3; l <= 255; ++l) {
    EXPECT_GE(LevelTable(l).Exp - LevelTable(l - 1).Exp, LevelTable(l - 1).Exp - LevelTable(l - 2).Exp)
        << "level " << l;
    EXPECT_GT(LevelTable(l).MaxHpUp, 0);
    EXPECT_GT(LevelTable(l).AttackUp, 0);
    EXPECT_GT(LevelTable(l).SpeedUp, 0);
  }
  EXPECT_LE(LevelTable(255).Exp, 999999999);
  EXPECT_GE(LevelTable(255).Exp, 50000000);
}

}  // namespace
}  // namespace ardo
