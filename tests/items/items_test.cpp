// The inventory, using and throwing away items, and the item table file.
#include <gtest/gtest.h>

#include <set>

#include "events/events.h"
#include "support/items_fixture.h"

namespace ardo {
namespace {

class Items : public testing::ItemsGame {
 protected:
  void SetUp() override {
    ItemsGame::SetUp();
    MessageWait = 0;  // text appears at once; prompts still wait for the key
    EmptyInventory();
    Player.mhp = 9999;
    Player.hp = 1;
  }
  // Puts item `id` with the given record into slot `slot`.
  static void Give(int slot, int id, ItemRecord r) {
    ItemTable(id) = std::move(r);
    Player.items(slot) = static_cast<Byte>(id);
  }
};

TEST_F(Items, AddFillsTheLowestHoleAndRefusesAFullInventory) {
  Player.items(0) = 1;
  Player.items(2) = 1;
  EXPECT_EQ(ItemAdd(7), 0);
  EXPECT_EQ(Player.items(1), 7);
  EXPECT_EQ(Player.items(3), 0);

  for (int s = 0; s <= 14; ++s) Player.items(s) = 2;
  EXPECT_EQ(ItemAdd(7), 255);
  for (int s = 0; s <= 14; ++s) EXPECT_EQ(Player.items(s), 2);
}

TEST_F(Items, DelEmptiesOnlyTheLowerOfTwoAndHaveFollows) {
  Player.items(3) = 9;
  Player.items(8) = 9;
  EXPECT_EQ(ItemHave(9), 0);
  EXPECT_EQ(ItemDel(9), 0);
  EXPECT_EQ(Player.items(3), 0);
  EXPECT_EQ(Player.items(8), 9);
  EXPECT_EQ(ItemHave(9), 0);
  EXPECT_EQ(ItemDel(9), 0);
  EXPECT_EQ(ItemHave(9), 255);
  EXPECT_EQ(ItemDel(9), 255);
}

TEST_F(Items, SwapExchangesSlotsAndABadSlotIsLoggedNotFatal) {
  testing::ExpectFault("ItemSwap", 9);
  UseScratchFolder();
  Player.items(0) = 4;
  Player.items(14) = 6;
  ItemSwap(0, 14);
  EXPECT_EQ(Player.items(0), 6);
  EXPECT_EQ(Player.items(14), 4);
  ItemSwap(0, 15);
  EXPECT_EQ(Player.items(0), 6);
  EXPECT_EQ(Count(ErrorLog(), "ItemSwap Error: 9"), 1);
}

TEST_F(Items, HealingOfValue100RestoresThreeQuartersToAllAndIsUsedUp) {
  std::set<int> amounts;
  for (int i = 0; i < 80; ++i) {
    Give(0, 1, {"薬草", 1, 0, 100, 0, 8});
    Player.hp = 1;
    control().AdvanceTime(37);  // the item reseeds from the clock
    TappingKey('X', [] { ItemUse(0); });
    const int healed = Player.hp - 1;
    ASSERT_GE(healed, 75);
    ASSERT_LE(healed, 100);
    amounts.insert(healed);
    EXPECT_EQ(Player.items(0), 0);
    EXPECT_TRUE(Shows("ＨＰが回復した！"));
  }
  EXPECT_GT(amounts.size(), 10u);  // really random, not one fixed amount
}

TEST_F(Items, HealingOfValue3RestoresNothingButIsStillUsedUp) {
  Give(0, 1, {"薬草", 1, 0, 3, 0, 8});
  Player.hp = 50;
  TappingKey('X', [] { ItemUse(0); });
  EXPECT_EQ(Player.hp, 50);
  EXPECT_EQ(Player.items(0), 0);
  EXPECT_TRUE(Shows("ＨＰが回復した！"));
}

TEST_F(Items, HarmfulAndMagicItems) {
  Give(0, 1, {"毒キノコ", 1, 0, -40, 0, 0});
  Player.hp = 100;
  TappingKey('X', [] { ItemUse(0); });
  EXPECT_GE(Player.hp, 60);
  EXPECT_LE(Player.hp, 70);
  EXPECT_TRUE(Shows("ダメージを受けた！"));

  Give(1, 4, {"魔法の水", 2, 0, 40, 0, 40});
  Player.mmp = 999;
  Player.mp = 0;
  TappingKey('X', [] { ItemUse(1); });
  EXPECT_GE(Player.mp, 30);
  EXPECT_LE(Player.mp, 40);
  EXPECT_TRUE(Shows("ＭＰが回復した！"));
  EXPECT_EQ(Player.items(1), 0);
}

TEST_F(Items, NoFieldItemsWaitForBattleAndKeptItemsStay) {
  Give(0, 1, {"戦場の薬", 1, 1, 100, 0, 8});
  TappingKey('X', [] { ItemUse(0); });
  EXPECT_EQ(Player.hp, 1);
  EXPECT_EQ(Player.items(0), 1);
  EXPECT_TRUE(Shows("今はつかえない"));

  Give(1, 2, {"湧き水の瓶", 1, 0, 100, 1, 8});
  TappingKey('X', [] { ItemUse(1); });
  EXPECT_GE(Player.hp, 76);
  EXPECT_EQ(Player.items(1), 2);
}

TEST_F(Items, EmptySlotsDoNothing) {
  Message("まえの話");
  WinHide(0);
  TappingKey('X', [] {
    ItemUse(3);
    ItemDrop(3);
  });
  EXPECT_EQ(MessageShown(), "まえの話");
  EXPECT_FALSE(picWindow(0).visible);
  EXPECT_EQ(Player.hp, 1);
}

TEST_F(Items, GrowthGainsOneOrValuePlusOneForEveryStat) {
  struct Case {
    Byte kind;
    Integer PlayerStatus::*field;
    const char* word;
  };
  const Case cases[] = {{3, &PlayerStatus::mhp, "最大ＨＰが"}, {4, &PlayerStatus::mmp, "最大ＭＰが"},
                        {5, &PlayerStatus::ap, "ちからが"},   {6, &PlayerStatus::dp, "丈夫さが"},
                        {7, &PlayerStatus::sp, "すばやさが"}};
  for (const Case& c : cases) {
    std::set<int> gains;
    for (int i = 0; i < 24; ++i) {
      Player.mhp = 150;
      Player.mmp = 20;
      Give(0, 7, {"種", c.kind, 0, 4, 0, 400});
      const int before = Player.*c.field;
      control().AdvanceTime(53);
      TappingKey('X', [] { ItemUse(0); });
      const int gain = Player.*c.field - before;
      ASSERT_TRUE(gain == 1 || gain == 5) << "kind " << int(c.kind) << " gained " << gain;
      gains.insert(gain);
      EXPECT_EQ(MessageShown(),
                std::string(c.word) + (gain == 1 ? "　１" : "　５") + "増えた！");
      EXPECT_EQ(Player.items(0), 0);
    }
    EXPECT_EQ(gains.size(), 2u) << "kind " << int(c.kind);
  }
}

TEST_F(Items, SpecialItemsDescribeThemselvesAndOtherKindsDoNothing) {
  Give(0, 18, {"削岩ドリル", 0, 0, 0, 1, 1000});
  TappingKey('X', [] { ItemUse(0); });
  EXPECT_EQ(MessageShown(), "茶色い岩を壊せるようになります");
  EXPECT_EQ(Player.items(0), 18);

  Give(1, 30, {"ただの石", 0, 0, 0, 0, 0});
  TappingKey('X', [] { ItemUse(1); });
  EXPECT_EQ(MessageShown(), "使えません。");
  EXPECT_EQ(Player.items(1), 30);

  Give(2, 20, {"爆弾", 8, 0, 120, 0, 80});
  TappingKey('X', [] { ItemUse(2); });
  EXPECT_EQ(MessageShown(), "効果がなかった・・・");
  EXPECT_EQ(Player.items(2), 20);
}

TEST_F(Items, DropAsksAndThrowsAwayOnlyOnYes) {
  Give(4, 1, {"薬草", 1, 0, 40, 0, 8});
  TappingKey('Z', [] { ItemDrop(4); });
  EXPECT_EQ(Player.items(4), 1);
  EXPECT_EQ(MessageShown(), "薬草を捨てますか？");

  TappingKey('X', [] { ItemDrop(4); });
  EXPECT_EQ(Player.items(4), 0);
  EXPECT_EQ(MessageShown(), "捨てました。");
  EXPECT_FALSE(picWindow(0).visible);
}

// ---------------------------------------------------------------------------
// The item table file.

class ItemFile : public testing::ItemsGame {};

TEST_F(ItemFile, BadRowsAreLoggedAndTheRestIsRead) {
  testing::ExpectFault("ItemSet", 62);
  testing::ExpectFault("ItemSet", 9);
  testing::ExpectFault("ItemSet", 13);
  WriteData("item.dat",
            "number,Name,Kind,NoField,Value,Keep,Price\n"
            "1,\"薬草\",1,0,40,0,8\n"
            "2,\"短い行\",1,0\n"                  // too few fields
            "300,\"大きすぎる番号\",1,0,1,0,1\n"  // beyond the table
            "3,\"種類が文字\",abc,0,1,0,1\n"      // not a number
            "4,\"長い行\",1,0,1,0,1,9\n"          // too many fields
            "\n"
            "6,\"えだ, 小\",0,0,0,1,5\r\n"        // CR LF, a comma inside quotes
            "5,\"魔法の水\",2,0,30,0,40");        // no line end at the end
  ItemSet();
  EXPECT_EQ(ItemTable(1).Name, "薬草");
  EXPECT_EQ(ItemTable(1).Value, 40);
  EXPECT_EQ(ItemTable(1).Price, 8);
  EXPECT_EQ(ItemTable(2).Name, "");
  EXPECT_EQ(ItemTable(3).Name, "");
  EXPECT_EQ(ItemTable(4).Name, "");
  EXPECT_EQ(ItemTable(5).Name, "魔法の水");
  EXPECT_EQ(ItemTable(5).Kind, 2);
  EXPECT_EQ(ItemTable(6).Name, "えだ, 小");
  EXPECT_EQ(ItemTable(6).Keep, 1);
  EXPECT_EQ(ItemCount, 2);  // three rows read

  const std::string log = ErrorLog();
  EXPECT_EQ(Count(log, "ItemSet Error:"), 4) << log;
  EXPECT_EQ(Count(log, "ItemSet Error: 9 "), 1) << log;  // the number 300
  EXPECT_EQ(Count(log, "ItemSet Error: 13 "), 2) << log;
  EXPECT_EQ(Count(log, "ItemSet Error: 62 "), 1) << log;
  EXPECT_NE(log.find("data/item.dat line 3"), std::string::npos) << log;
}

TEST_F(ItemFile, AMissingFileLeavesAnEmptyTable) {
  testing::ExpectFault("ItemSet", 53);
  UseScratchFolder();
  ItemTable(1).Name = "前の表";
  ItemSet();
  EXPECT_EQ(ItemTable(1).Name, "");
  EXPECT_EQ(ItemCount, 0);
  EXPECT_EQ(Count(ErrorLog(), "ItemSet Error: 53 "), 1);
}

// The shipped table holds every item the story names, on its number, and every shop
// good has a name that fits the shop window and a price.
TEST_F(ItemFile, TheGamesTableHasTheStorysItems) {
  ItemSet();
  EXPECT_EQ(ItemCount, 28);
  EXPECT_EQ(ItemTable(0).Name, "");
  const std::pair<int, const char*> named[] = {
      {16, "財布"},     {18, "削岩ドリル"}, {19, "月下の剣"},     {24, "浮島まんじゅう"},
      {25, "華の帽子"}, {26, "不死鳥の衣"}, {27, "風のリング"}, {28, "万能まないた"}};
  for (const auto& [id, name] : named) {
    EXPECT_EQ(ItemTable(id).Name, name);
    if (id != 24) {
      EXPECT_EQ(ItemTable(id).Kind, 0) << id;
      EXPECT_NE(ItemTable(id).Keep, 0) << id;  // battle use must not lose them
    }
  }
  EXPECT_EQ(ItemTable(1).Kind, 1);
  for (int id = 20; id <= 23; ++id) EXPECT_EQ(ItemTable(id).Kind, 8) << id;
  for (int id = 1; id <= 28; ++id) EXPECT_FALSE(ItemTable(id).Name.empty()) << id;

  const std::vector<std::vector<int>> shops = {
      {1, 2, 3, 4, 5, 20, 7, 10},       {1, 2, 4, 7, 20, 21},
      {24, 1, 2, 4, 5, 20, 21, 15},     {24, 7, 8, 10, 11, 13, 14, 15},
      {1, 2, 4, 5, 7, 10, 20, 21},      {2, 4, 5, 13, 14, 15, 22},
      {20, 21, 22, 23, 18, 1, 4},       {2, 3, 5, 8, 9, 11, 13, 14}};
  for (const auto& goods : shops) {
    for (const int id : goods) {
      const ItemRecord& r = ItemTable(id);
      EXPECT_GT(r.Price, 0) << id;
      // Name and price share the 240-pixel shop row: 17 pixels a character from x = 27.
      const int price_x = static_cast<int>(RoundHalfEven(240 - 18.5 * CharLength(F(r.Price))));
      EXPECT_LE(27 + 17 * static_cast<int>(CharLength(r.Name)), price_x) << r.Name;
    }
  }
}

TEST_F(ItemFile, EverySpecialItemOfTheGameDescribesItself) {
  ItemSet();
  MessageWait = 0;
  for (int id = 0; id <= 255; ++id) {
    if (ItemTable(id).Kind != 0 || ItemTable(id).Name.empty()) continue;
    EmptyInventory();
    Player.items(0) = static_cast<Byte>(id);
    TappingKey('X', [] { ItemUse(0); });
    EXPECT_NE(MessageShown(), "使えません。") << ItemTable(id).Name;
  }
}

}  // namespace
}  // namespace ardo
