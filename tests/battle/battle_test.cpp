// Battles: the two tables and their loaders, the encounter roll, the enemy's
// randomisation, the damage formula, and whole battles driven by key presses.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "battle/battle.h"
#include "events/events.h"
#include "field/field.h"
#include "items/items.h"
#include "sound/sound.h"
#include "support/ui_fixture.h"

namespace ardo::testing {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::string Join(const std::vector<std::string>& v) {
  std::string out;
  for (const auto& x : v) out += x;
  return out;
}

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
  return n;
}

class BattleTest : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    LoadPictures();
    ItemSet();
    MagSet();
    LvupSet();
    EnemySet();
    EncSet();
    BgmName = "letsgo";
    control().SetEventPointHook([this] { Drive(); });
  }

  // A scratch game folder with data/<name> holding `text` (the built pictures stay loaded).
  void WriteData(const std::string& name, const std::string& text) {
    if (scratch_.empty()) UseScratchFolder();
    std::filesystem::create_directories(scratch_ + "/data");
    std::ofstream(scratch_ + "/data/" + name, std::ios::binary) << text;
  }

  // ---- The player in battle. When the command window has stood in front for a while
  // with the panel empty, `plan` gives the row to pick; messages are answered with X.
  std::function<int()> plan = [] { return 0; };
  // Keys to press in turn, each list once its window is in front.
  std::deque<std::pair<int, std::vector<int>>> script;
  std::vector<std::string> panel;  // every text the one-line panel showed, in order
  std::function<void()> watch;     // called at every event point

  void Drive() {
    if (watch) watch();
    const std::string& shown = MessageShown();
    if (shown != last_shown_) {
      if (!messages.empty() && !last_shown_.empty() && shown.rfind(last_shown_, 0) == 0) {
        messages.back() = shown;
      } else if (!shown.empty()) {
        messages.push_back(shown);
      }
      last_shown_ = shown;
    }
    if (picWindow(14).visible && (panel.empty() || panel.back() != Windows(14).Item(0))) {
      panel.push_back(Windows(14).Item(0));
    }
    const std::uint32_t t = now();
    if (deadline_ != 0 && t > deadline_) GameRunning = false;
    if (hold_until_ != 0) {
      if (t < hold_until_) return;
      control().ReleaseAllKeys();
      hold_until_ = 0;
      idle_ = t;
      return;
    }
    if (t - idle_ < 30) return;
    const int front = script.empty() ? 12 : script.front().first;
    const bool ready = Front(front) && !picWindow(14).visible && !picWindow(0).visible;
    if (!ready) stable_since_ = t;
    if (keys_.empty()) {
      if (MessageWaiting()) {
        keys_.push_back('X');
      } else if (ready && !script.empty() && t - stable_since_ > 100) {
        keys_.assign(script.front().second.begin(), script.front().second.end());
        script.pop_front();
        stable_since_ = t;
      } else if (ready && script.empty() && t - stable_since_ > 600) {
        for (int i = plan(); i > 0; --i) keys_.push_back(platform::vk::kDown);
        keys_.push_back('X');
        stable_since_ = t;
      }
    }
    if (keys_.empty()) return;
    control().SetKey(keys_.front(), true);
    keys_.pop_front();
    hold_until_ = t + 40;
  }

  // Runs a battle against row `id` (already changed by the test as it likes).
  Byte Fight(int id, bool escapable, const std::string& music = "boss2") {
    EnemyId = static_cast<Integer>(id);
    Enemy = EnemyTable(id);
    Byte r = 0;
    deadline_ = now() + 600000;
    try {
      r = BtlMain(escapable, music);
    } catch (const EndProgram&) {
      ADD_FAILURE() << "the battle was still running after ten minutes of game time";
    }
    deadline_ = 0;
    GameRunning = true;
    control().ReleaseAllKeys();
    return r;
  }

  // The command menu on its own, with the keys of `script`.
  Byte Deal() {
    Byte r = 254;
    deadline_ = now() + 300000;
    try {
      r = btldeal(12);
    } catch (const EndProgram&) {
      ADD_FAILURE() << "the menu was still open after five minutes; " << script.size() << " key lists left";
    }
    deadline_ = 0;
    GameRunning = true;
    control().ReleaseAllKeys();
    return r;
  }

  // A weak enemy in row 60 that the hero beats in one blow.
  static void PaperEnemy() {
    EnemyRecord e = EnemyTable(0);
    e.name = "ためし";
    e.stats.hp = e.stats.mhp = 1;
    e.stats.dp = 1;
    e.stats.sp = 0;  // always hit
    for (auto& s : e.skills) s = "かみつき";
    EnemyTable(60) = e;
    Player.ap = 500;
  }

  static bool BattleWindowShown() {
    for (int w : {12, 13, 16, 7, 14, 6, 0}) {
      if (picWindow(w).visible) return true;
    }
    return false;
  }

  std::uint32_t deadline_ = 0;
  std::string last_shown_;
  std::deque<int> keys_;
  std::uint32_t hold_until_ = 0;
  std::uint32_t idle_ = 0;
  std::uint32_t stable_since_ = 0;
};

// ---------------------------------------------------------------------------
// The shipped tables.

TEST_F(BattleTest, ShippedEnemiesAreCompleteAndFitTheSheet) {
  ASSERT_GE(EnemyCount, 50);
  for (int id = 0; id <= 50; ++id) {
    const EnemyRecord& e = EnemyTable(id);
    SCOPED_TRACE("enemy " + std::to_string(id) + " " + e.name);
    EXPECT_FALSE(e.name.empty());
    EXPECT_LE(CharLength(e.name), 8u) << "the panel and the victory message";
    EXPECT_GT(e.w, 0);
    EXPECT_GT(e.h, 0);
    EXPECT_LE(e.srcX + e.w, picEnemy.width());
    EXPECT_LE(e.srcY + 2 * e.h, picEnemy.height()) << "picture and mask";
    EXPECT_GE(e.x, 0);
    EXPECT_LE(e.x + e.w, 200) << "left of the hero";
    EXPECT_GE(e.y, 55) << "below the panel";
    EXPECT_GT(e.stats.mhp, 0);
    EXPECT_EQ(e.stats.hp, e.stats.mhp);
    EXPECT_GT(e.stats.mmp, 0) << "spell formulas divide by it";
    EXPECT_GT(e.stats.dp, 0);
    EXPECT_GT(e.stats.sp, 0);
    EXPECT_GE(e.sleepResist, 0);
    EXPECT_LE(e.wakeChance, 100);
    for (const std::string& s : e.skills) EXPECT_FALSE(s.empty());
    // The picture has ink, and its mask is black exactly where the picture is drawn.
    int ink = 0;
    for (int y = 0; y < e.h; ++y) {
      for (int x = 0; x < e.w; ++x) {
        const auto p = picEnemy.At(e.srcX + x, e.srcY + y);
        const auto m = picEnemy.At(e.srcX + x, e.srcY + static_cast<int>(e.h) + y);
        ink += p != 0 ? 1 : 0;
        ASSERT_EQ(m, p != 0 ? 0u : 0xFFFFFFu) << "mask at (" << x << ", " << y << ")";
      }
    }
    EXPECT_GT(ink, e.w * e.h / 5);
  }
  // Every boss has a drawing of its own.
  std::set<std::pair<int, int>> pictures;
  for (int id = 0; id <= 50; ++id) pictures.insert({EnemyTable(id).srcX, EnemyTable(id).srcY});
  EXPECT_EQ(pictures.size(), 51u);
}

TEST_F(BattleTest, EncounterRowsCoverEveryAreaAndKeepTheBossesOut) {
  EXPECT_GE(EncountCount, 17);
  const std::set<int> fixed = {16, 20, 22, 29, 36, 37, 42, 50};
  for (int area = 1; area <= 17; ++area) {
    for (int c = 0; c <= 10; ++c) {
      const int id = EncountTable(area)(c);
      EXPECT_FALSE(fixed.count(id)) << "area " << area;
      EXPECT_FALSE(EnemyTable(id).name.empty()) << "area " << area;
    }
  }
}

TEST_F(BattleTest, NoRandomEnemyFellsAHeroOfItsAreaInOneTurn) {
  // The level a hero who follows the route has in each area.
  const std::map<int, int> level = {{1, 1},   {2, 3},   {11, 4},  {3, 5},   {4, 6},   {5, 8},
                                    {6, 9},   {7, 10},  {8, 11},  {10, 12}, {9, 14},  {12, 15},
                                    {13, 18}, {14, 21}, {15, 24}, {16, 26}, {17, 28}};
  const std::map<std::string, int> blast = {{"びっくりアタック", 70}, {"超新星", 150}, {"ミサイル", 100},
                                            {"ボイル", 90},           {"怒りボンバー", 90}, {"ビッグバン", 250}};
  const std::map<std::string, int> element = {{"ほのお", 1},     {"ファイア", 1}, {"絶対零度", 2},
                                              {"ダイヤモンドダスト", 2}, {"電撃", 3},   {"超電流", 3},
                                              {"天のいかずち", 3}};
  for (const auto& [area, lv] : level) {
    // The hero of that level, from the level table.
    double hp = 150, mp = 20, dp = 20;
    for (int l = 2; l <= lv; ++l) {
      hp += LevelTable(l).MaxHpUp;
      mp += LevelTable(l).MaxMpUp;
      dp += LevelTable(l).DefenceUp;
    }
    for (int c = 0; c <= 10; ++c) {
      const EnemyRecord& e = EnemyTable(EncountTable(area)(c));
      const double A = e.stats.ap + 1;  // the top of the battle's variation
      double worst = ((A / dp) / 5 + 0.5) * A - dp / 5;
      for (const std::string& act : e.skills) {
        if (blast.count(act)) worst = std::max(worst, static_cast<double>(blast.at(act)));
        if (element.count(act)) {
          const int k = element.at(act);
          worst = std::max(worst, (5.0 + k) * std::sqrt(e.stats.lv) *
                                      (0.5 + std::sqrt(2.0 * (e.stats.mmp + 1) / mp) + 1) * k);
        }
      }
      EXPECT_LT(worst, hp * 2 / 3) << e.name << " in area " << area << " against level " << lv;
    }
  }
}

TEST_F(BattleTest, EveryAreaIsWonWithTheSwordAndHerbs) {
  // The level a newcomer has in each area when he fights only what he meets on the way (the
  // novice autopilot, lowest of its runs), and whether the moonlit sword is his there.
  struct Area {
    int area, level;
    bool sword;
  };
  const Area areas[] = {{1, 1, false},   {2, 1, false},   {11, 2, false},  {3, 3, false},  {4, 6, false},
                        {5, 8, false},   {6, 8, false},   {7, 9, false},   {8, 10, false}, {10, 11, false},
                        {9, 13, false},  {12, 15, true},  {13, 17, true},  {14, 19, true}, {15, 23, true},
                        {16, 25, true},  {17, 26, true}};
  const std::map<std::string, double> heal = {{"かいふく", 50}, {"ヒール", 50}, {"回復", 50},
                                              {"ヒーラー", 200}, {"スーパーヒール", 500}, {"修復", 500}};
  const std::map<std::string, double> blast = {{"びっくりアタック", 70}, {"超新星", 150}, {"ミサイル", 100},
                                               {"ボイル", 90},           {"怒りボンバー", 90}, {"ビッグバン", 250}};
  const std::map<std::string, int> element = {{"ほのお", 1},     {"ファイア", 1}, {"絶対零度", 2},
                                              {"ダイヤモンドダスト", 2}, {"電撃", 3},   {"超電流", 3},
                                              {"天のいかずち", 3}};
  auto blow = [](double a, double d) { return std::max(1.0, ((a / d) / 5 + 0.25) * a - d / 5); };
  auto chance = [](double def_sp, double att_sp) { return std::clamp(0.9 - def_sp / att_sp / 100, 0.4, 0.999); };
  for (const Area& a : areas) {
    double hp = 150, mp = 20, ap = 35, dp = 20, sp = 10;
    for (int l = 2; l <= a.level; ++l) {
      hp += LevelTable(l).MaxHpUp;
      mp += LevelTable(l).MaxMpUp;
      ap += LevelTable(l).AttackUp;
      dp += LevelTable(l).DefenceUp;
      sp += LevelTable(l).SpeedUp;
    }
    // Six herbs (¾ to all of 40); from the sea cave on, two better ones (of 120) too.
    const double herbs = 6 * 35.0 + (a.area >= 5 && a.area != 11 ? 2 * 105.0 : 0);
    for (int c = 0; c <= 10; ++c) {
      const EnemyRecord& e = EnemyTable(EncountTable(a.area)(c));
      // The expected turn of each side.
      const double hit = chance(e.stats.sp, sp) * blow(ap, e.stats.dp) * (a.sword ? 1.5 : 1);
      double mend = 0, harm = 0;
      for (const std::string& act : e.skills) {
        if (heal.count(act)) {
          mend += 0.9 * heal.at(act) / 10;
        } else if (blast.count(act)) {
          harm += 0.75 * blast.at(act) / 10;
        } else if (element.count(act)) {
          const int k = element.at(act);
          harm += (5.0 + k) * std::sqrt(e.stats.lv) * (0.25 + std::sqrt(2.0 * e.stats.mmp / mp) + 1) * k / 10;
        } else {
          harm += chance(sp, e.stats.sp) * blow(e.stats.ap, dp) / 10;  // blows and skills alike
        }
      }
      SCOPED_TRACE(e.name + " in area " + std::to_string(a.area) + " against level " + std::to_string(a.level));
      ASSERT_GT(hit, mend * 1.5) << "its healing outruns the sword";
      const double turns = std::ceil(e.stats.mhp / (hit - mend));
      // Each herb costs a turn of the enemy's blows; the hero must outlast the enemy.
      const double herb_gain = std::max(0.0, herbs - 6 * harm - (a.area >= 5 && a.area != 11 ? 2 * harm : 0));
      EXPECT_LT(turns * harm, hp + herb_gain) << turns << " turns of " << harm;
    }
  }
}

// ---------------------------------------------------------------------------
// The loaders.

TEST_F(BattleTest, EnemyLoaderSkipsTheHeaderAndLogsBadLines) {
  testing::ExpectFault("EnemySet", 9);
  testing::ExpectFault("EnemySet", 62);
  testing::ExpectFault("EnemySet", 13);
  const std::string good = ",1,2,0,40,40,50,100,3,30,10,20,10,8,5,7,20,30,a,b,c,d,e,f,g,h,i,j\n";
  WriteData("enemy.dat",
            "7,\"あいうえ\"" + good +                      // the header, even though it looks like data
            "3,\"みつめ\"" + good +                        // row 3
            "201,\"はみだし\"" + good +                    // above 200
            "4,\"みじかい\",1,2\n" +                       // short
            "5,\"へん\",x" + good.substr(2) +              // not a number
            "0,\"ぜろ\"" + good);
  EnemySet();
  EXPECT_EQ(EnemyTable(7).name, "");
  EXPECT_EQ(EnemyTable(3).name, "みつめ");
  EXPECT_EQ(EnemyTable(3).stats.hp, 30);
  EXPECT_EQ(EnemyTable(3).stats.mp, 10);
  EXPECT_EQ(EnemyTable(3).w, 40);
  EXPECT_EQ(EnemyTable(3).y, 100);
  EXPECT_EQ(EnemyTable(3).skills(9), "j");
  EXPECT_EQ(EnemyTable(0).name, "ぜろ");
  EXPECT_EQ(EnemyTable(4).name, "");
  EXPECT_EQ(EnemyCount, 1);
  const std::string log = ReadFile(ErrorLogPath());
  EXPECT_EQ(Count(log, "EnemySet Error:"), 3) << log;
  EXPECT_EQ(Count(log, "EnemySet Error: 9 Subscript out of range (data/enemy.dat line 3)"), 1) << log;
  EXPECT_EQ(Count(log, "(data/enemy.dat line 4)"), 1) << log;
  EXPECT_EQ(Count(log, "EnemySet Error: 13 Type mismatch (data/enemy.dat line 5)"), 1) << log;
}

TEST_F(BattleTest, EncounterLoaderKeepsAreasInLineOrder) {
  testing::ExpectFault("EncSet", 62);
  testing::ExpectFault("EncSet", 9);
  std::string text = "1,1,1,1,1,1,1,1,1,1,1,\"area 0\"\n";
  text += "2,2,2\n";  // short: area 1 stays empty, area 2 is still the next line
  text += "3,3,3,3,3,3,3,3,3,3,3,ラベル\n";
  text += "4,4,4,4,4,4,4,4,4,4,4\n";  // the label is required
  for (int i = 4; i <= 21; ++i) text += "5,5,5,5,5,5,5,5,5,5,5,x\n";
  WriteData("encount.dat", text);
  EncSet();
  EXPECT_EQ(EncountTable(0)(10), 1);
  EXPECT_EQ(EncountTable(1)(0), 0);
  EXPECT_EQ(EncountTable(2)(4), 3);
  EXPECT_EQ(EncountTable(3)(0), 0);
  EXPECT_EQ(EncountTable(20)(0), 5);
  EXPECT_EQ(EncountCount, 20);
  const std::string log = ReadFile(ErrorLogPath());
  EXPECT_EQ(Count(log, "EncSet Error:"), 3) << log;
  EXPECT_EQ(Count(log, "EncSet Error: 9 Subscript out of range (data/encount.dat line 22)"), 1) << log;
}

// ---------------------------------------------------------------------------
// The encounter roll.

TEST_F(BattleTest, EncounterRollGuardsRateAndRows) {
  // Area 0 and NoEncount: never.
  SeedRandom(5);
  Flags(1) = 0;
  for (int i = 0; i < 2000; ++i) ASSERT_FALSE(EncounterPick());
  Flags(1) = 3;
  NoEncount = 255;
  for (int i = 0; i < 2000; ++i) ASSERT_FALSE(EncounterPick());
  NoEncount = 0;
  // About 1.5 % of steps, from the area's row only.
  int battles = 0;
  std::set<int> met;
  for (int i = 0; i < 40000; ++i) {
    if (EncounterPick()) {
      ++battles;
      met.insert(EnemyId);
      ASSERT_EQ(Enemy.name, EnemyTable(EnemyId).name);
      platform_->Sleep(7);  // the clock moves on between steps
    }
  }
  EXPECT_GT(battles, 400);
  EXPECT_LT(battles, 800);
  std::set<int> row;
  for (int c = 0; c <= 10; ++c) row.insert(EncountTable(3)(c));
  EXPECT_EQ(met, row);
  // A row of one enemy always gives it; an area past the table draws from all rows.
  for (int c = 0; c <= 10; ++c) EncountTable(4)(c) = 12;
  Flags(1) = 4;
  met.clear();
  for (int i = 0; i < 20000; ++i) {
    if (EncounterPick()) met.insert(EnemyId);
  }
  EXPECT_EQ(met, std::set<int>{12});
  Flags(1) = static_cast<Byte>(EncountCount + 1);
  met.clear();
  for (int i = 0; i < 60000; ++i) {
    if (EncounterPick()) {
      met.insert(EnemyId);
      platform_->Sleep(3);
    }
  }
  EXPECT_GT(met.size(), 30u);
  EXPECT_LE(*met.rbegin(), EnemyCount);
}

// ---------------------------------------------------------------------------
// The enemy's values, varied per battle.

TEST_F(BattleTest, RandomisationStaysInItsRanges) {
  EnemyRecord base = EnemyTable(0);
  base.stats = BattleStats{5, 900, 900, 90, 90, 9000, 900, 900, 900, 900};
  std::set<int> hps;
  for (std::uint32_t seed = 1; seed <= 300; ++seed) {
    SeedRandom(seed);
    Enemy = base;
    RandomiseEnemy();
    for (Integer v : {Enemy.stats.hp, Enemy.stats.ap, Enemy.stats.dp, Enemy.stats.sp}) {
      ASSERT_GE(v, 801);  // 900 * 8/9 + 1
      ASSERT_LE(v, 901);
    }
    ASSERT_GE(Enemy.stats.mp, 81);
    ASSERT_LE(Enemy.stats.mp, 91);
    ASSERT_GE(Enemy.stats.exp, 8000);
    ASSERT_LE(Enemy.stats.exp, 9000);
    ASSERT_GE(Enemy.stats.gold, 800);
    ASSERT_LE(Enemy.stats.gold, 900);
    hps.insert(Enemy.stats.hp);
  }
  EXPECT_GT(hps.size(), 50u) << "each seed varies the values";
}

// ---------------------------------------------------------------------------
// CalcDamage.

TEST_F(BattleTest, CalcDamageChanceClampsWrapAndFloor) {
  auto stats = [](Integer ap, Integer dp, Integer sp) {
    BattleStats s;
    s.ap = ap;
    s.dp = dp;
    s.sp = sp;
    return s;
  };
  const BattleState none;
  auto hit_rate = [&](const BattleStats& a, const BattleStats& d, int divisor) {
    int hits = 0;
    for (int i = 0; i < 4000; ++i) {
      platform_->Sleep(1);
      hits += CalcDamage(a, none, d, none, divisor) > 2 ? 1 : 0;
    }
    return hits / 4000.0;
  };
  const BattleStats strong = stats(300, 10, 10);
  EXPECT_GT(hit_rate(strong, stats(0, 10, 0), 1), 0.99) << "sp 0: 0.999";
  EXPECT_NEAR(hit_rate(strong, stats(0, 10, -5), 1), 0.999, 0.01) << "sp below 0: 0.999";
  EXPECT_NEAR(hit_rate(strong, stats(0, 10, 30000), 1), 0.4, 0.04) << "the floor";
  EXPECT_NEAR(hit_rate(strong, stats(0, 10, 0), 2), 0.706, 0.04) << "divisor 2";
  EXPECT_NEAR(hit_rate(strong, stats(0, 10, 10), 1), 0.89, 0.03);
  // raw = (26 + r/2) * 1300 - 2 lies in 33798..34448; it wraps to 3798..4448.
  for (int i = 0; i < 200; ++i) {
    platform_->Sleep(1);
    const Integer d = CalcDamage(stats(1300, 0, 10), none, stats(0, 10, 0), none, 1);
    ASSERT_GE(d, 3798);
    ASSERT_LE(d, 4448);
  }
  // A hit that the formula makes 0 or less deals 0, 1 or 2.
  std::set<Integer> small;
  for (int i = 0; i < 300; ++i) {
    platform_->Sleep(1);
    small.insert(CalcDamage(stats(1, 0, 10), none, stats(0, 100, 0), none, 1));
  }
  EXPECT_EQ(small, (std::set<Integer>{0, 1, 2}));
  // Bonuses take part: defence plus its bonus.
  BattleState guard;
  guard.dpBonus = 1290;
  for (int i = 0; i < 50; ++i) {
    platform_->Sleep(1);
    ASSERT_LE(CalcDamage(stats(100, 0, 10), none, stats(0, 10, 0), guard, 1), 2);
  }
}

TEST_F(BattleTest, CalcDamageZeroDivisorsAreLoggedFaults) {
  testing::ExpectFault("CalcDamage", 11);
  UseScratchFolder();
  BattleStats att, def;
  att.ap = 50;
  att.sp = 0;  // speed ratio over 0
  def.dp = 10;
  def.sp = 10;
  const BattleState none;
  int hits = 0;
  for (int i = 0; i < 1000; ++i) {
    platform_->Sleep(1);
    hits += CalcDamage(att, none, def, none, 1) > 2 ? 1 : 0;
  }
  EXPECT_NEAR(hits / 1000.0, 0.4, 0.06) << "the lost chance falls to the floor";
  def.sp = 0;
  def.dp = 0;  // attack over defence 0
  for (int i = 0; i < 20; ++i) EXPECT_LE(CalcDamage(att, none, def, none, 1), 2);
  EXPECT_LE(CalcDamage(att, none, def, none, 0), 2);
  const std::string log = ReadFile(ErrorLogPath());
  // The log writes a fault repeated in a row a few times and then counts it ("… repeated
  // N times so far: LINE", N growing): the lines and the largest count.
  int logged = 0, folded = 0;
  std::istringstream lines(log);
  for (std::string l; std::getline(lines, l);) {
    if (l.find("CalcDamage Error: 11 Division by zero") == std::string::npos) continue;
    const size_t r = l.find("… repeated ");
    if (r == std::string::npos) ++logged;
    else folded = std::max(folded, std::stoi(l.substr(r + std::string("… repeated ").size())));
  }
  EXPECT_GE(logged + folded, 1001) << log;
  EXPECT_EQ(Count(log, "CalcDamage Error:"), Count(log, "CalcDamage Error: 11 Division by zero"));
}

// ---------------------------------------------------------------------------
// Whole battles.

TEST_F(BattleTest, CommandMenuRefusesWhatCannotBeDoneAndRestoresTheItemWindow) {
  using platform::vk::kDown;
  using platform::vk::kUp;
  constexpr int Z = 'Z', X = 'X';
  for (auto& it : Player.items) it = 0;
  Player.items(0) = 1;
  Player.mp = 3;
  Windows(12).Action(1) = MenuAction::kNone;  // a row the battle has no action for
  int item_rows = 0, item_height = 0;
  watch = [&] {
    if (picWindow(7).visible) {
      item_rows = Windows(7).Count;
      item_height = picWindow(7).height();
    }
  };
  script = {{12, {kDown, X}},                  // the row without an action: refused
            {12, {kDown, X}},                  // the cursor stays: "まほう"
            {13, {kDown, kDown, kDown, X}},    // "雷" costs 6: refused
            {13, {kUp, kUp, kUp, X}},          // "回復" costs 2
            {16, {X}},                         // "てきとう" wants 4: refused
            {16, {Z}},
            {13, {Z}},
            {12, {kUp, kUp, X}}};              // "たたかう"
  EXPECT_EQ(Deal(), kCmdFight);
  EXPECT_EQ(Count(Join(messages), "まだ使用できません。がくっ・・・"), 1) << Join(messages);
  EXPECT_EQ(Count(Join(messages), "ＭＰが足りません"), 2) << Join(messages);
  EXPECT_TRUE(script.empty());
  Windows(12).Action(1) = MenuAction::kItems;
  messages.clear();
  script = {{12, {kDown, X}},  // "アイテム"
            {7, {kDown, X}},   // an empty slot: nothing happens
            {7, {kUp, X}}};    // slot 0
  EXPECT_EQ(Deal(), kCmdItem + 0);
  EXPECT_TRUE(messages.empty()) << Join(messages);
  EXPECT_EQ(item_rows, 15) << "no rubbish bin in battle";
  EXPECT_EQ(item_height, 320);
  EXPECT_EQ(Windows(7).Count, 16);
  EXPECT_EQ(Windows(7).H, 340);
  EXPECT_TRUE(picWindow(12).visible) << "the command window stays up";
}

TEST_F(BattleTest, AFixedBattleRefusesEscapeAndTheEnemyActs) {
  PaperEnemy();
  EnemyTable(60).stats.hp = EnemyTable(60).stats.mhp = 30000;
  int round = 0;
  plan = [&] { return round++ == 0 ? 3 : 0; };  // "にげる", then "たたかう"
  Player.hp = Player.mhp = 9999;
  Player.dp = 1;
  watch = [&] {
    if (round >= 2) Enemy.stats.hp = 0;  // the second blow ends it
  };
  EXPECT_EQ(Fight(60, false), 0);
  ASSERT_GE(panel.size(), 4u);
  EXPECT_EQ(panel[0], "ためし");
  EXPECT_EQ(panel[1], "にげられない！");
  EXPECT_EQ(panel[2], "かみつき") << "the enemy acts in the same round";
  EXPECT_EQ(panel[3], "たたかう");
}

TEST_F(BattleTest, ASleepingHeroSkipsTheRound) {
  PaperEnemy();
  bool put_to_sleep = false;
  watch = [&] {
    if (!put_to_sleep && picWindow(14).visible && Windows(14).Item(0) == "ためし") {
      HeroBattle.asleep = 1;
      put_to_sleep = true;
    }
  };
  EXPECT_EQ(Fight(60, true), 0);
  ASSERT_GE(panel.size(), 4u);
  EXPECT_TRUE(panel[1] == "眠っている・・・" || panel[1] == "目が覚めた！") << panel[1];
  // Asleep or just woken, the enemy's turn follows before the hero may act.
  const auto first_enemy = std::find(panel.begin(), panel.end(), "かみつき");
  const auto first_blow = std::find(panel.begin(), panel.end(), "たたかう");
  EXPECT_LT(first_enemy, first_blow);
}

TEST_F(BattleTest, VictoryShrinksTheEnemyInStripsAndPays) {
  PaperEnemy();
  EnemyTable(60).stats.exp = 9;
  EnemyTable(60).stats.gold = 1234;
  Player.exp = 0;
  Player.gold = 100;
  const EnemyRecord& e = EnemyTable(60);
  const int s = static_cast<int>(e.h / 5);
  // Frame c of the shrinking: each of the five strips shows its top c rows over the
  // background, mask first.
  auto frame_is = [&](int c) {
    for (int k = 0; k <= 4; ++k) {
      for (int y = 0; y < s; ++y) {
        for (int x = 0; x < e.w; ++x) {
          const int px = e.x + x, py = e.y + k * s + y;
          platform::Color want = picBtlBack.At(px, py);
          if (y < c) {
            const auto m = picEnemy.At(e.srcX + x, e.srcY + static_cast<int>(e.h) + k * s + y);
            want = (want & m) | picEnemy.At(e.srcX + x, e.srcY + k * s + y);
          }
          if (picMain.At(px, py) != want) return false;
        }
      }
    }
    return true;
  };
  std::set<int> frames;
  watch = [&] {
    const auto& played = audio().state().sounds;
    if (played.empty() || !played.back().ends_with("/vanish.wav")) return;
    for (int c = 0; c <= s; ++c) {
      if (frame_is(c)) frames.insert(c);
    }
  };
  EXPECT_EQ(Fight(60, true), 0);
  std::set<int> all;
  for (int c = 0; c <= s; ++c) all.insert(c);
  EXPECT_EQ(frames, all) << "every height from " << s << " down to 0";
  EXPECT_NE(std::find(messages.begin(), messages.end(), "ためしを倒した！"), messages.end());
  // Plain decimal numbers, the window draws them full-width.
  const std::string pay = "経験値" + std::to_string(Enemy.stats.exp) + "ポイント" +
                          std::to_string(Enemy.stats.gold) + "のお金を獲得！";
  EXPECT_NE(std::find(messages.begin(), messages.end(), pay), messages.end()) << messages.back();
  EXPECT_GE(Enemy.stats.gold, 1097);
  EXPECT_EQ(Player.gold, 100 + Enemy.stats.gold);
  EXPECT_GE(Player.exp, 8);
  EXPECT_FALSE(BattleWindowShown());
  EXPECT_EQ(audio().state().music_path, GamePath("music/letsgo.ogg"));
}

// Whole battles won by a spell and by a bomb: every blow the enemy takes follows its formula.
TEST_F(BattleTest, ASpellAndABombWinWholeBattlesByTheirFormulas) {
  using platform::vk::kDown;
  constexpr int X = 'X';
  PaperEnemy();
  EnemyTable(60).stats.hp = EnemyTable(60).stats.mhp = 40;
  EnemyTable(60).stats.mmp = 25;
  EnemyTable(60).stats.ap = 1;
  Player.hp = Player.mhp = 999;
  Player.lv = 4;
  Player.mp = Player.mmp = 50;
  // Each drop of the enemy's hit points with the least and the most its formula allows.
  struct Drop {
    int d, lo, hi;
  };
  std::vector<Drop> drops;
  std::function<Drop(int)> formula;
  int last = 0;
  watch = [&] {
    if (InBattle && Enemy.stats.hp < last) drops.push_back(formula(last - Enemy.stats.hp));
    last = InBattle ? Enemy.stats.hp : 0;
  };
  const auto check = [&](const char* what, size_t at_least) {
    ASSERT_GE(drops.size(), at_least) << what;
    for (const Drop& d : drops) {
      EXPECT_GE(d.d, d.lo) << what;
      EXPECT_LE(d.d, d.hi) << what;
    }
    EXPECT_LE(Enemy.stats.hp, 0) << what;
    EXPECT_NE(std::find(messages.begin(), messages.end(), "ためしを倒した！"), messages.end()) << what;
  };

  // "まほう", the fire (row 1), "てきとう" (strength 0): (0 + 1 + 1) * √lv * (r / 2 + √(2 mmp / enemy mmp) + 1).
  formula = [](int d) {
    const double base = 2 * std::sqrt(static_cast<double>(Player.lv));
    const double ratio = std::sqrt(2.0 * Player.mmp / Enemy.stats.mmp);
    return Drop{d, CInt(base * (ratio + 1)), CInt(base * (0.5 + ratio + 1))};
  };
  for (int i = 0; i < 8; ++i) {
    script.push_back({12, {kDown, kDown, X}});
    script.push_back({13, {kDown, X}});
    script.push_back({16, {X}});
  }
  EXPECT_EQ(Fight(60, true), 0);
  check("fire", 3);
  EXPECT_EQ(Player.mp, 50 - static_cast<int>(drops.size()) * MagicTable(1).Cost);

  // "アイテム", slot 0: a bomb of power 100 that is kept, 40 to 100 a throw.
  drops.clear();
  messages.clear();
  script.clear();
  EnemyTable(60).stats.hp = EnemyTable(60).stats.mhp = 150;
  for (auto& it : Player.items) it = 0;
  ItemTable(250) = ItemRecord{"ばくだん", 8, 0, 100, 1, 0};
  Player.items(0) = 250;
  formula = [](int d) { return Drop{d, 40, 100}; };
  for (int i = 0; i < 8; ++i) {
    script.push_back({12, {kDown, X}});
    script.push_back({7, {X}});
  }
  EXPECT_EQ(Fight(60, true), 0);
  check("bomb", 2);
  EXPECT_EQ(Player.items(0), 250);
}

TEST_F(BattleTest, DefeatOnlyAtZeroAndBackToTheTitle) {
  PaperEnemy();
  EnemyTable(60).stats.hp = EnemyTable(60).stats.mhp = 30000;
  EnemyTable(60).stats.ap = 3000;
  Player.hp = Player.mhp = 150;
  Player.ap = 1;
  EXPECT_EQ(Fight(60, false), 255);
  EXPECT_EQ(Player.hp, 0);
  EXPECT_TRUE(ReturnToTitle);
  EXPECT_NE(std::find(messages.begin(), messages.end(), "しんでしまった・・・・"), messages.end());
  EXPECT_FALSE(BattleWindowShown());
}

TEST_F(BattleTest, EscapeBringsBackTheFieldMusicAndNoWindows) {
  PaperEnemy();
  plan = [] { return 3; };
  EXPECT_EQ(Fight(60, true), 0);
  EXPECT_EQ(panel, (std::vector<std::string>{"ためし", "にげだした"}));
  EXPECT_FALSE(BattleWindowShown());
  EXPECT_EQ(audio().state().music_path, GamePath("music/letsgo.ogg"));
  EXPECT_TRUE(audio().state().playing);
}

TEST_F(BattleTest, EntryFlashesThenWipesLeftDownRightUp) {
  PaperEnemy();
  picMain.FillRect(0, 0, 360, 360, platform::Rgb(10, 200, 30));  // the field
  platform::Surface left_half, right_half;
  bool black_flash = false, white_flash = false;
  watch = [&] {
    if (!InBattle) return;
    if (left_half.empty()) {
      black_flash |= picMain.At(5, 5) == 0 && picMain.At(354, 354) == 0 && picMain.At(5, 200) == 0;
      white_flash |= picMain.At(5, 5) == 0xFFFFFF && picMain.At(354, 354) == 0xFFFFFF;
    }
    // The left half wiped to row 160, the right half untouched.
    if (left_half.empty() && picMain.At(5, 150) == 0 && picMain.At(5, 170) == platform::Rgb(10, 200, 30) &&
        picMain.At(300, 10) == platform::Rgb(10, 200, 30)) {
      left_half = picMain;
    }
    if (right_half.empty() && picMain.At(300, 350) == 0 && picMain.At(300, 100) == platform::Rgb(10, 200, 30)) {
      right_half = picMain;
    }
  };
  EXPECT_EQ(Fight(60, true), 0);
  EXPECT_TRUE(black_flash);
  EXPECT_TRUE(white_flash);
  ASSERT_FALSE(left_half.empty());
  ASSERT_FALSE(right_half.empty());
  // Bands of 16: after band y = 144 the left half is black to row 159 and green below.
  for (int y = 0; y < 360; ++y) {
    const bool wiped = y < 160;
    ASSERT_EQ(left_half.At(100, y), wiped ? 0u : platform::Rgb(10, 200, 30)) << y;
    ASSERT_EQ(left_half.At(250, y), platform::Rgb(10, 200, 30)) << y;
  }
  for (int y = 0; y < 360; ++y) ASSERT_EQ(right_half.At(100, y), 0u) << "left half stays black";
  for (int y = 0; y < 360; ++y) {
    ASSERT_EQ(right_half.At(250, y), y >= 344 ? 0u : platform::Rgb(10, 200, 30)) << "the first band from the bottom";
  }
}


TEST_F(BattleTest, WalkingTheFieldMeetsEnemiesAndFightsThemToTheEnd) {
  MapLoad("test");
  Player.x = 2;
  Player.y = 7;
  Player.lv = 10;
  Player.hp = Player.mhp = 999;
  Player.ap = 300;
  Player.sp = 40;
  Flags(1) = 1;
  BuffDraw();
  MapDraw(0, 0, 1, 1);
  int steps = 0, battles = 0, last_x = Player.x;
  bool was_in_battle = false, checked_enemy = false;
  int dir = platform::vk::kRight;
  std::set<int> met;
  watch = [&] {
    if (InBattle) {
      if (!was_in_battle) {
        control().ReleaseAllKeys();
        met.insert(EnemyId);
      }
      was_in_battle = true;
      // Once the entry is over, the whole enemy stands on the battle background.
      if (!checked_enemy && picWindow(6).visible && picWindow(12).visible) {
        const EnemyRecord& e = EnemyTable(EnemyId);
        int differ = 0;
        for (int y = 0; y < e.h; ++y) {
          for (int x = 0; x < e.w; ++x) {
            const auto m = picEnemy.At(e.srcX + x, e.srcY + static_cast<int>(e.h) + y);
            const auto want = (picBtlBack.At(e.x + x, e.y + y) & m) | picEnemy.At(e.srcX + x, e.srcY + y);
            differ += picMain.At(e.x + x, e.y + y) != want ? 1 : 0;
          }
        }
        EXPECT_EQ(differ, 0) << "enemy " << EnemyId;
        checked_enemy = true;
      }
      return;
    }
    if (was_in_battle) {
      was_in_battle = false;
      ++battles;
      EXPECT_FALSE(BattleWindowShown());
      EXPECT_EQ(audio().state().music_path, GamePath("music/letsgo.ogg"));
      if (battles == 3) ReturnToTitle = true;
    }
    if (Player.x != last_x) {
      ++steps;
      last_x = Player.x;
    }
    if (Player.x >= 27) dir = platform::vk::kLeft;
    if (Player.x <= 2) dir = platform::vk::kRight;
    control().ReleaseAllKeys();
    control().SetKey(dir, true);
  };
  deadline_ = now() + 1200000;
  try {
    MainLoop();
  } catch (const EndProgram&) {
    ADD_FAILURE() << "three battles did not come in time";
  }
  deadline_ = 0;
  GameRunning = true;
  control().ReleaseAllKeys();
  EXPECT_EQ(battles, 3);
  EXPECT_TRUE(checked_enemy);
  EXPECT_GT(steps, 3 * 20) << "about one battle in 67 steps";
  EXPECT_LT(steps, 3 * 300);
  std::set<int> row;
  for (int c = 0; c <= 10; ++c) row.insert(EncountTable(1)(c));
  for (int id : met) EXPECT_TRUE(row.count(id)) << id;
  EXPECT_GT(Player.exp, 0);
}

}  // namespace
}  // namespace ardo::testing
