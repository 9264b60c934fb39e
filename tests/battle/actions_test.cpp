// Battle actions: the hero's spells and items, the enemy's named actions and the
// length of every effect under the virtual clock.
#include <algorithm>
#include <set>
#include <vector>

#include "battle/battle.h"
#include "events/events.h"
#include "items/items.h"
#include "support/ui_fixture.h"

namespace ardo::testing {
namespace {

class ActionsTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    LoadPictures();
    ItemSet();
    MagSet();
    EnemySet();
    EnemyId = 0;
    Enemy = EnemyTable(0);
    Enemy.stats.hp = Enemy.stats.mhp = 30000;
    Enemy.stats.lv = 9;
    Enemy.stats.mmp = 50;
    Enemy.stats.sp = 10;
    Player.hp = Player.mhp = 5000;
    Player.mp = Player.mmp = 50;
    for (auto& s : Player.items) s = 0;
  }
  void Skills(const std::string& name) {
    for (auto& s : Enemy.skills) s = name;
  }
  // Every Rnd answers v for the length of the action.
  static void Fixed(float v) { FixRandom(std::vector<float>(4000, v)); }
  // The hero's loss to one enemy turn with every Rnd at v (0.75: a plain blow hits
  // where a skill's halved chance misses).
  int Loss(const std::string& name, float v = 0.75f) {
    Skills(name);
    Player.hp = Player.mhp;
    Fixed(v);
    EnemyAct();
    FixRandom({});
    return Player.mhp - Player.hp;
  }
  int Reference(int divisor) {
    Fixed(0.75f);
    const int d = CalcDamage(Enemy.stats, EnemyBattle, HeroStats(), HeroBattle, divisor);
    FixRandom({});
    return d;
  }
  int Hits() {
    const auto& played = audio().state().sounds;
    return static_cast<int>(std::count_if(played.begin(), played.end(),
                                          [](const std::string& s) { return s.ends_with("/hit.wav"); }));
  }
  // A made-up item in row 250.
  void Hold(Byte kind, Integer power, Byte keep = 0) {
    ItemTable(250) = ItemRecord{"ためし", kind, 0, power, keep, 0};
    Player.items(0) = 250;
  }
};

TEST_F(ActionsTest, HealAtFullStrengthAndStancesReplaceEveryBonus) {
  Player.hp = 1;
  SpellPower = 3;
  BtlMagic(0);
  EXPECT_EQ(Player.hp, Player.mhp);
  EXPECT_EQ(Player.mp, 50 - MagicTable(0).Cost * 7);

  Player.mp = 50;
  Player.ap = 15;
  Player.dp = 50;
  Player.sp = 15;
  struct Row {
    int row, ap, dp, sp;
  };
  // Row 7 after row 5, row 6 after row 7: nothing of the earlier stance stays;
  // -15 / 6 = -2.5 rounds to the even -2.
  for (const Row& r : {Row{5, 5, -10, -10}, Row{7, -2, -8, 45}, Row{6, -5, 10, -10}}) {
    BtlMagic(r.row);
    EXPECT_EQ(HeroBattle.apBonus, r.ap) << r.row;
    EXPECT_EQ(HeroBattle.dpBonus, r.dp) << r.row;
    EXPECT_EQ(HeroBattle.spBonus, r.sp) << r.row;
  }
}

TEST_F(ActionsTest, EnemyBlowsUseTheirDivisorAndTheGuardItems) {
  const int plain = Reference(1);
  const int skill = Reference(2);
  ASSERT_GT(plain, 0);
  ASSERT_NE(plain, skill);
  EXPECT_EQ(Loss("attack"), plain);
  EXPECT_EQ(Loss("かみつき"), plain) << "an unknown name is a plain attack";
  EXPECT_EQ(Loss("たいあたり"), skill);
  // Ice at lv 9, mmp 50 against 50: round(7 * 3 * (0.25 + sqrt 2 + 1) * 2).
  EXPECT_EQ(Loss("絶対零度", 0.5f), 112);

  Player.items(3) = 26;  // softens blows only
  EXPECT_EQ(Loss("attack"), static_cast<int>(RoundHalfEven(0.85 * plain)));
  EXPECT_EQ(Loss("絶対零度", 0.5f), 112);
  Player.items(3) = 25;  // softens spells only
  EXPECT_EQ(Loss("attack"), plain);
  EXPECT_EQ(Loss("絶対零度", 0.5f), 101);
}

TEST_F(ActionsTest, AngelDusterLeavesOneHitPointAndMissesAtOne) {
  Skills("エンジェルダスター");
  EnemyAct();
  EXPECT_EQ(Player.hp, 1);
  const int hits = Hits();
  // "MISS!" in red where the hero's numbers go.
  platform::Surface miss(360, 360);
  miss.SetForeColor(platform::Rgb(255, 0, 0));
  miss.SetTextStyle(platform::TextStyle{19, true});
  miss.TextOut(242, 220, "MISS!");
  bool shown = false;
  control().SetEventPointHook([&] {
    int covered = 0, red = 0;
    for (int y = 215; y < 250; ++y) {
      for (int x = 240; x < 360; ++x) {
        if (miss.At(x, y) == 0) continue;
        ++red;
        covered += picMain.At(x, y) == miss.At(x, y) ? 1 : 0;
      }
    }
    shown |= red > 0 && covered == red;
  });
  EnemyAct();
  control().SetEventPointHook({});
  EXPECT_EQ(Player.hp, 1);
  EXPECT_EQ(Hits(), hits) << "0 damage is a miss, without the hit sound";
  EXPECT_TRUE(shown);
}

TEST_F(ActionsTest, SelfHealsStopAtTheMaximum) {
  Enemy.stats.hp = Enemy.stats.mhp - 10;
  Skills("スーパーヒール");
  EnemyAct();
  EXPECT_EQ(Enemy.stats.hp, Enemy.stats.mhp);
}

TEST_F(ActionsTest, GrowthGivesOneOrPowerPlusOneAndBombsFortyToHundredPercent) {
  std::set<int> gains;
  for (int i = 0; i < 24; ++i) {
    Hold(5, 7);
    const int before = Player.ap;
    BtlItemUse(0);
    gains.insert(Player.ap - before);
    EXPECT_EQ(Player.items(0), 0) << "used up";
  }
  EXPECT_EQ(gains, (std::set<int>{1, 8}));

  int low = 1000, high = 0;
  for (int i = 0; i < 30; ++i) {
    Hold(8, 200, 1);
    const int before = Enemy.stats.hp;
    BtlItemUse(0);
    low = std::min(low, before - Enemy.stats.hp);
    high = std::max(high, before - Enemy.stats.hp);
    EXPECT_EQ(Player.items(0), 250) << "the keep flag keeps it";
  }
  EXPECT_GE(low, 80);
  EXPECT_LE(high, 200);
  EXPECT_LT(low, high);
}

// Items work in battle by the item window's rule: q = Value \ 4 toward zero (-5 takes
// at most 4, not 8), and a growth past the Integer range stops at its end, not in a fault.
TEST_F(ActionsTest, ItemsWorkByTheItemWindowsRule) {
  Hold(1, -5);
  Player.hp = 100;
  Fixed(0.99f);
  BtlItemUse(0);
  EXPECT_EQ(Player.hp, 96);
  Hold(5, 32767);
  Player.ap = 100;
  Fixed(0.75f);  // the gain of Value + 1
  BtlItemUse(0);
  FixRandom({});
  EXPECT_EQ(Player.ap, 32767);
}

// A field-only HP or MP item refused with "今はつかえない" stays in the bag.
TEST_F(ActionsTest, ARefusedItemIsKept) {
  for (Byte kind : {Byte{1}, Byte{2}}) {
    Hold(kind, 40);
    ItemTable(250).NoField = 1;
    const Integer hp = Player.hp;
    BtlItemUse(0);
    EXPECT_EQ(Player.items(0), 250) << "kind " << int{kind};
    EXPECT_EQ(Player.hp, hp);
  }
}

TEST_F(ActionsTest, ZeroDivisorsAreLoggedAndTheTurnEnds) {
  ExpectFault("BtlMagic", 11);
  ExpectFault("EnemyAct", 11);
  Enemy.stats.mmp = 0;
  SpellPower = 0;
  BtlMagic(1);
  EXPECT_EQ(Enemy.stats.hp, 30000);
  Enemy.stats.sp = 0;
  Skills("ビッグバン");
  EnemyAct();
  EXPECT_EQ(Player.hp, Player.mhp);
}

TEST_F(ActionsTest, EffectsLastTheirFrames) {
  const long ft = FrameWait;
  struct Case {
    const char* name;
    std::function<void()> run;
    long ms;
  };
  const std::vector<Case> cases = {
      {"ice", [] { EffIce(0); }, 11 * ft + 300},
      {"fire", [] { EffFire(1); }, 41 * ft + 300},
      {"thunder on the hero", [] { EffThunder(1); }, 57 * ft},
      {"thunder on the enemy", [] { EffThunder(0); }, 57 * ft + 16 * ft},
      {"bomb", [] { EffBomb(0); }, 42 * ft + 300},
      {"two rings", [] { EffRing(228, 190, 2, 0, 1.2); }, 15 * ft + 300},
  };
  for (const Case& c : cases) {
    const std::uint32_t t0 = now();
    c.run();
    EXPECT_EQ(static_cast<long>(now() - t0), c.ms) << c.name;
  }
}

}  // namespace
}  // namespace ardo::testing
