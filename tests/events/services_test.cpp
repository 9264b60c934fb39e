// The stat changes with their limits, treasure, chests, the inn and the shop.
#include <gtest/gtest.h>

#include <limits>

#include "events/events.h"
#include "support/items_fixture.h"

namespace ardo {
namespace {

class Services : public testing::ItemsGame {
 protected:
  void SetUp() override {
    ItemsGame::SetUp();
    MessageWait = 0;
  }
};

// Every rule of the stat table: the lower rule (sum 0 included), the strict upper
// test, the plain store, and sums far beyond the field's type.
TEST_F(Services, StatChangesClampByTheirOwnRules) {
  const auto check = [](const char* what, auto& field, long long start, auto add, long long n,
                        long long expect, Byte result) {
    field = static_cast<std::remove_reference_t<decltype(field)>>(start);
    EXPECT_EQ(add(n), result) << what << " " << start << " + " << n;
    EXPECT_EQ(field, expect) << what << " " << start << " + " << n;
  };
  const auto gold = [](long long n) { return GOLDAdd(n); };
  const auto exp = [](long long n) { return ExpAdd(n); };
  const auto hp = [](long long n) { return HPadd(static_cast<int>(n)); };
  const auto mp = [](long long n) { return MPadd(static_cast<int>(n)); };
  const auto mhp = [](long long n) { return MHPadd(static_cast<int>(n)); };
  const auto mmp = [](long long n) { return MMPadd(static_cast<int>(n)); };
  const auto pow = [](long long n) { return PowAdd(static_cast<int>(n)); };
  const auto def = [](long long n) { return DefAdd(static_cast<int>(n)); };
  const auto spd = [](long long n) { return SpdAdd(static_cast<int>(n)); };
  constexpr long long kBig = std::numeric_limits<long long>::max();

  check("gold", Player.gold, 300, gold, -300, 0, 255);
  check("gold", Player.gold, 300, gold, -301, 0, 255);
  check("gold", Player.gold, 999999999, gold, 1, 999999999, 255);
  check("gold", Player.gold, 999999998, gold, 1, 999999999, 0);
  check("gold", Player.gold, 300, gold, 50, 350, 0);
  check("gold", Player.gold, 300, gold, kBig, 999999999, 255);
  check("gold", Player.gold, 300, gold, -kBig - 1, 0, 255);

  for (auto& row : LevelTable) row.Exp = std::numeric_limits<Long>::max();  // no level-ups here
  check("exp", Player.exp, 10, exp, -10, 0, 255);
  check("exp", Player.exp, 10, exp, 999999989, 999999999, 0);
  check("exp", Player.exp, 10, exp, 999999990, 999999999, 255);
  check("exp", Player.exp, 10, exp, std::numeric_limits<long long>::min(), 0, 255);

  Player.mhp = 150;
  check("hp", Player.hp, 50, hp, -50, 0, 255);
  check("hp", Player.hp, 50, hp, -2, 48, 0);
  check("hp", Player.hp, 1, hp, -2, 0, 255);
  check("hp", Player.hp, 50, hp, 100, 150, 0);
  check("hp", Player.hp, 150, hp, 9999, 150, 255);
  check("hp", Player.hp, 50, hp, 101, 150, 255);

  Player.mmp = 20;
  check("mp", Player.mp, 5, mp, -5, 0, 255);
  check("mp", Player.mp, 5, mp, 15, 20, 0);
  check("mp", Player.mp, 5, mp, 9999, 20, 255);

  check("mhp", Player.mhp, 150, mhp, -150, 0, 255);
  check("mhp", Player.mhp, 150, mhp, 9849, 9999, 0);
  check("mhp", Player.mhp, 150, mhp, 9850, 9999, 255);

  check("mmp", Player.mmp, 20, mmp, -20, 0, 0);  // no lower rule
  check("mmp", Player.mmp, 20, mmp, -50, -30, 0);
  check("mmp", Player.mmp, 20, mmp, 9979, 9999, 0);
  check("mmp", Player.mmp, 20, mmp, 9980, 9999, 255);
  check("mmp", Player.mmp, -30000, mmp, -30000, -32768, 255);

  // The maxima leave the current points alone.
  Player.hp = 150;
  Player.mp = 20;
  MHPadd(-100);
  MMPadd(-10);
  EXPECT_EQ(Player.hp, 150);
  EXPECT_EQ(Player.mp, 20);

  check("ap", Player.ap, 35, pow, -35, 0, 255);
  check("ap", Player.ap, 35, pow, 29965, 30000, 0);
  check("ap", Player.ap, 35, pow, 29966, 30000, 255);
  check("dp", Player.dp, 20, def, -20, 0, 255);
  check("dp", Player.dp, 20, def, 29980, 30000, 0);
  check("dp", Player.dp, 20, def, 29981, 30000, 255);
  check("sp", Player.sp, 10, spd, -10, 0, 255);
  check("sp", Player.sp, 10, spd, 29990, 30000, 0);
  check("sp", Player.sp, 10, spd, 29991, 30000, 255);
  check("sp", Player.sp, 10, spd, std::numeric_limits<int>::max(), 30000, 255);
}

TEST_F(Services, MoneyPanelInFullWidthDigits) {
  EXPECT_EQ(MoneyText(300), "３００");
  EXPECT_EQ(MoneyText(0), "０");
  EXPECT_EQ(MoneyText(999999999), "９９９９９９９９９");
  Player.gold = 300;
  ShowGold();
  EXPECT_EQ(Windows(14).Item(0), "お金：３００");
  EXPECT_EQ(Windows(14).W, 20 * 6 + 40);
  EXPECT_TRUE(picWindow(14).visible);
}

TEST_F(Services, TreasureOnASetFlagGivesNothing) {
  ItemTable(5) = {"魔法の聖水", 2, 0, 100, 0, 150};
  EmptyInventory();
  SetFlag(270, 1);
  TappingKey('X', [] { Treasure(5, 270); });
  EXPECT_EQ(MessageShown(), "もうなにもない・・・");
  EXPECT_EQ(ItemHave(5), 255);
}

TEST_F(Services, TreasureOfMoney) {
  Player.gold = 300;
  TappingKey('X', [] { Treasure(-300, 271); });
  EXPECT_EQ(MessageShown(), "お金３００を見つけた！");
  EXPECT_EQ(Player.gold, 600);
  EXPECT_EQ(Flag(271), 1);
}

TEST_F(Services, TreasureWithAFullInventoryStaysForTheNextVisit) {
  ItemTable(21) = {"爆弾", 8, 0, 120, 0, 80};
  for (auto& s : Player.items) s = 1;
  TappingKey('X', [] { Treasure(21, 274); });
  EXPECT_EQ(MessageShown(), "持ち物がいっぱいだよ・・・");
  EXPECT_EQ(Flag(274), 0);
  EXPECT_EQ(ItemHave(21), 255);

  Player.items(9) = 0;
  TappingKey('X', [] { Treasure(21, 274); });
  EXPECT_EQ(MessageShown(), "爆弾を見つけた！");
  EXPECT_EQ(Player.items(9), 21);
  EXPECT_EQ(Flag(274), 1);
}

TEST_F(Services, TreasureOfAnItemBeyondTheTableIsLoggedAndSkipped) {
  testing::ExpectFault("Treasure", 9);
  UseScratchFolder();
  EmptyInventory();
  Message("まえの話");
  TappingKey('X', [] { Treasure(300, 275); });
  EXPECT_EQ(MessageShown(), "まえの話");
  EXPECT_EQ(Player.items(0), 0);
  EXPECT_EQ(Flag(275), 0);
  EXPECT_EQ(Count(ErrorLog(), "Treasure Error: 9 "), 1);
}

TEST_F(Services, BoxOpenOpensOnlyClosedChests) {
  testing::ExpectFault("BoxOpen", 9);
  UseScratchFolder();
  Chars(3).pic = 16;
  Chars(4).pic = 17;
  Chars(5).pic = 2;
  BoxOpen(3);
  BoxOpen(4);
  BoxOpen(5);
  BoxOpen(300);
  EXPECT_EQ(Chars(3).pic, 17);
  EXPECT_EQ(Chars(4).pic, 17);
  EXPECT_EQ(Chars(5).pic, 2);
  EXPECT_EQ(Count(ErrorLog(), "BoxOpen Error: 9 "), 1);
}

TEST_F(Services, InnWithExactlyThePriceAccepts) {
  UseScratchFolder();  // the night redraws a field that was never loaded
  Player.gold = 50;
  Player.hp = 3;
  Player.mp = 0;
  TappingKey('X', [] { Yado(50); });
  EXPECT_EQ(Player.gold, 0);
  EXPECT_EQ(Player.hp, Player.mhp);
  EXPECT_EQ(Player.mp, Player.mmp);
  EXPECT_EQ(MessageShown(), "おはようございます。では、いってらっしゃいませ。");
  EXPECT_FALSE(picWindow(0).visible);
  EXPECT_FALSE(picWindow(14).visible);
}

TEST_F(Services, InnWithOneLessRefuses) {
  Player.gold = 49;
  Player.hp = 3;
  TappingKey('X', [] { Yado(50); });
  EXPECT_EQ(Player.gold, 49);
  EXPECT_EQ(Player.hp, 3);
  EXPECT_EQ(MessageShown(), "お金が足りません。またのご利用をお待ち申しております。");
}

TEST_F(Services, InnDeclined) {
  Player.gold = 500;
  Player.hp = 3;
  TappingKey('Z', [] { Yado(25); });
  EXPECT_EQ(Player.gold, 500);
  EXPECT_EQ(Player.hp, 3);
  EXPECT_EQ(MessageShown(), "そうですか、残念です。またのご利用をお待ち申しております。");
}

TEST_F(Services, ShopWithSixGoodsLeavesTheLastRowsEmpty) {
  ItemSet();
  ShopStock(6) = 9;
  Windows(15).Item(7) = "古い品";
  const std::vector<int> goods = {1, 2, 4, 7, 20, 21};
  Byte r = 255;
  TappingKey('Z', [&] { r = Shop(goods); });
  EXPECT_EQ(r, 0);
  EXPECT_EQ(Windows(15).Count, 6);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(ShopStock(i), goods[static_cast<size_t>(i)]);
    EXPECT_EQ(Windows(15).Item(i), ItemTable(goods[static_cast<size_t>(i)]).Name);
  }
  EXPECT_EQ(ShopStock(6), 0);
  EXPECT_EQ(ShopStock(7), 0);
  EXPECT_EQ(Windows(15).Item(6), "");
  EXPECT_EQ(Windows(15).Item(7), "");
  EXPECT_EQ(MessageShown(), "ありがとうございました。またいらしてください。");
  EXPECT_FALSE(picWindow(14).visible);
  EXPECT_FALSE(picWindow(15).visible);
}

// Buying the first good once: the stock the shop set up is what the dialogue sells.
TEST_F(Services, ShopSellsItsStock) {
  ItemSet();
  EmptyInventory();
  Player.gold = 100;
  const std::vector<int> goods = {21, 1};
  Tapping([] { return Player.gold == 100 ? 'X' : 'Z'; }, [&] { Shop(goods); });
  EXPECT_EQ(Player.gold, 100 - ItemTable(21).Price);
  EXPECT_EQ(Player.items(0), 21);
  EXPECT_EQ(Player.items(1), 0);
}

}  // namespace
}  // namespace ardo
