// The position script over the real content: every exit of the table walked through
// in the field loop, the exits against the world's list, the signs, counters, beds,
// springs, scenes, fixed fights and the bridge, and the exits table's own loading.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include <sys/stat.h>

#include "events/events.h"
#include "events/scenes.h"
#include "field/field.h"
#include "items/items.h"
#include "sound/sound.h"
#include "support/items_fixture.h"
#include "ui/ui.h"
#include "ui/window_internal.h"

namespace ardo {
namespace {

namespace fs = std::filesystem;
namespace vk = platform::vk;

constexpr int kStepX[4] = {0, 0, -1, 1};
constexpr int kStepY[4] = {1, -1, 0, 0};
constexpr int kDirKey[4] = {vk::kDown, vk::kUp, vk::kLeft, vk::kRight};

bool Built(const std::string& map) { return fs::exists(GamePath("map/" + map + ".map")); }

bool IsTrigger(const std::string& map, int x, int y) {
  if (FindExit(map, x, y) != nullptr) return true;
  for (const auto& [cx, cy] : scenes::TriggerCells(map)) {
    if (cx == x && cy == y) return true;
  }
  return false;
}

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + what.size())) ++n;
  return n;
}

class EventsGame : public testing::ItemsGame {
 protected:
  void SetUp() override {
    ItemsGame::SetUp();
    MessageWait = 0;
    ItemSet();
    ExitSet();
    log_ = ErrorLog();
  }
  void TearDown() override {
    if (scratch_.empty()) {
      const std::string added = ErrorLog().substr(std::min(log_.size(), ErrorLog().size()));
      EXPECT_EQ(added.find("EventProc"), std::string::npos) << added;
      EXPECT_EQ(added.find("ExitSet"), std::string::npos) << added;
    }
    ItemsGame::TearDown();
  }

  static void Enter(const std::string& map, int x, int y) {
    MapLoad(map);
    Trap on("Test");
    on([&] { CharaSet(map); });
    Player.x = static_cast<Integer>(x);
    Player.y = static_cast<Integer>(y);
    BuffDraw();
  }

  // Runs body while `key` is tapped, and returns the texts the message window showed,
  // each as it stood when complete.
  std::vector<std::string> Shown(int key, const std::function<void()>& body,
                                 const std::function<void()>& probe = {}) {
    std::vector<std::string> texts;
    ui_internal::ResetShownText();
    Tapping(
        [&] {
          if (probe) probe();
          const std::string& now_shown = MessageShown();
          if (!now_shown.empty()) {
            if (!texts.empty() && now_shown.rfind(texts.back(), 0) == 0) {
              texts.back() = now_shown;
            } else if (texts.empty() || texts.back() != now_shown) {
              texts.push_back(now_shown);
            }
          }
          return key;
        },
        body);
    return texts;
  }

  // Presses the direction key for one frame of the field loop, then lets the loop
  // run until `arrived` has held for 600 ms (the map change fades in within that),
  // or 5 s have passed.
  void StepInFieldLoop(int dir, const std::function<bool()>& arrived) {
    const std::uint32_t start = now();
    const std::string from = MapName;
    const int x0 = Player.x, y0 = Player.y;
    std::uint32_t since = 0;
    bool held = false;
    control().SetKey(kDirKey[dir], true);
    control().SetEventPointHook([&] {
      if (now() > start) control().SetKey(kDirKey[dir], false);
      const bool moved = MapName != from || Player.x != x0 || Player.y != y0;
      if (moved && arrived()) {
        if (!held) since = now();
        held = true;
        if (now() - since > 600) GameRunning = false;
      } else {
        held = false;
      }
      if (now() - start > 5000) GameRunning = false;
    });
    try {
      MainLoop();
    } catch (const EndProgram&) {
    }
    control().SetEventPointHook({});
    control().ReleaseAllKeys();
    GameRunning = true;
  }

  std::string log_;
};

// ---------------------------------------------------------------------------
// Exits

TEST_F(EventsGame, EveryExitOfTheTableLeadsWhereItSays) {
  ASSERT_FALSE(ExitTable.empty());
  std::set<std::string> missing;
  SetFlag(257, 1);  // the gate of town1 as an ordinary exit (the monologue has its own test)
  for (const ExitRecord& e : ExitTable) {
    if (!Built(e.map) || !Built(e.to)) {
      missing.insert(Built(e.map) ? e.to : e.map);
      continue;
    }
    SCOPED_TRACE(::testing::Message() << e.map << " (" << e.x << ", " << e.y << ") -> " << e.to << " (" << e.toX
                                      << ", " << e.toY << ")");
    Enter(e.map, 0, 0);
    CharCount = 0;  // nobody in the way
    int dir = -1;
    for (int d = 0; d < 4 && dir < 0; ++d) {
      const int sx = e.x - kStepX[d], sy = e.y - kStepY[d];
      if (sx < 0 || sy < 0 || sx >= MapWidth || sy >= MapHeight) continue;
      if ((MapData(sx, sy).attr & kAttrBlocked) || IsTrigger(e.map, sx, sy)) continue;
      Player.x = static_cast<Integer>(sx);
      Player.y = static_cast<Integer>(sy);
      dir = d;
    }
    ASSERT_GE(dir, 0) << "no free cell beside the exit to start from";
    BuffDraw();
    BgmName = "none";
    Flags(1) = 99;
    if (e.flag >= 0) SetFlag(e.flag, 0);

    StepInFieldLoop(dir, [&] { return MapName == e.to && Player.x == e.toX && Player.y == e.toY && StepOffset == 0; });

    EXPECT_EQ(MapName, e.to);
    EXPECT_EQ(Player.x, e.toX);
    EXPECT_EQ(Player.y, e.toY);
    EXPECT_EQ(BgmName, e.music);
    EXPECT_EQ(Flags(1), e.area);
    if (e.flag >= 0) {
      EXPECT_EQ(Flag(e.flag), 1) << "travel flag " << e.flag;
    }
    // The landing: passable, and no event of its own (nothing bounces the hero on).
    EXPECT_FALSE(MapData(e.toX, e.toY).attr & kAttrBlocked) << "the landing is blocked";
    EXPECT_FALSE(IsTrigger(e.to, e.toX, e.toY)) << "the landing is itself a trigger";
  }
  if (!missing.empty()) {
    std::string names;
    for (const std::string& m : missing) names += " " + m;
    GTEST_SKIP() << "exits to or from maps not built yet were left out:" << names;
  }
}

// The world's exits: per map, the targets with music and area (and travel flag), as
// many as the world has; a gate two cells wide is one exit.
TEST_F(EventsGame, ExitsAreTheWorldsExits) {
  const auto times = [](int n, const char* s) { return std::vector<std::string>(static_cast<size_t>(n), s); };
  const auto join = [](std::vector<std::vector<std::string>> parts) {
    std::vector<std::string> out;
    for (auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
  };
  const std::map<std::string, std::vector<std::string>> world = {
      {"field",
       {"town1 tender 0", "forest haison 3", "forest haison 3", "dngn1 hr_sddd 2", "dngn1 hr_sddd 11",
        "town2 green 0 +32", "town2 t_song 0", "dngn2 tower 5", "dngn2 tower 6", "dngn2 t_song 0",
        "dngn3 stranger 10 +33", "town3 peace 0 +34", "zombi plants 12", "zombi plants 0", "kikori t_song 0",
        "wall w-road 13"}},
      {"town1", join({{"field letsgo 1"}, times(4, "town1 tender 0")})},
      {"dngn1", join({{"field letsgo 1", "field letsgo 0"}, times(7, "dngn1 hr_sddd 2"), times(5, "dngn1 hr_sddd 11")})},
      {"forest", {"field letsgo 1", "field letsgo 4"}},
      {"town2", join({times(2, "field letsgo 4"), times(2, "town2 green 0")})},
      {"dngn2", join({{"field letsgo 4", "field letsgo 8", "dngn2 t_song 0", "field letsgo 9"},
                      times(13, "dngn2 tower 6"), times(6, "dngn2 tower 5"), times(4, "dngn2 tower 7")})},
      {"town3", join({{"field letsgo 9"}, times(26, "town3 peace 0")})},
      {"dngn3", {"field letsgo 8"}},
      {"zombi", join({{"field letsgo 9", "zombi plants 0", "field letsgo 13 +35"}, times(3, "zombi plants 12")})},
      {"kikori", {"field letsgo 13"}},
      {"wall", join({{"field letsgo 13", "cavity i-castle 0"}, times(6, "wall ruin 14"), times(6, "wall w-road 13")})},
      {"cavity", {"wall w-road 13", "icewall w-road 14"}},
      {"icewall", join({{"cavity i-castle 0", "smog w-road 15"}, times(4, "icewall w-road 14")})},
      {"smog", {"icewall w-road 14", "topl w-road 16 +37"}},
      {"topl", {"smog w-road 15", "toph w-road 17"}},
      {"toph", join({{"topl w-road 16", "top holy3 0"}, times(18, "toph w-road 17")})},
      {"top", {"toph w-road 17"}},
  };
  // The exits whose cells the world fixes: from, cell, to, cell, music, area, flag.
  const std::vector<ExitRecord> fixed = {
      {"field", 20, 8, "town1", 20, 50, "tender", 0, -1},   {"field", 21, 8, "town1", 20, 50, "tender", 0, -1},
      {"town1", 19, 52, "field", 21, 9, "letsgo", 1, -1},   {"town1", 20, 52, "field", 21, 9, "letsgo", 1, -1},
      {"town1", 52, 14, "town1", 18, 75, "tender", 0, -1},  {"town1", 18, 77, "town1", 52, 16, "tender", 0, -1},
      {"dngn2", 87, 188, "field", 45, 74, "letsgo", 9, -1}, {"toph", 25, 8, "top", 8, 30, "holy3", 0, -1},
      {"field", 9, 83, "town2", 50, 34, "green", 0, 32},    {"field", 71, 50, "dngn3", 36, 69, "stranger", 10, 33},
      {"field", 92, 44, "town3", 13, 14, "peace", 0, 34},   {"zombi", 54, 34, "field", 69, 36, "letsgo", 13, 35},
      {"smog", 39, 8, "topl", 25, 50, "w-road", 16, 37},
  };

  std::set<std::string> missing;
  int total = 0;
  for (const auto& [map, expected_all] : world) {
    if (!Built(map)) {
      missing.insert(map);
      continue;
    }
    SCOPED_TRACE(map);
    // Lines with the same target make one exit when their cells touch.
    std::map<std::string, std::vector<std::pair<int, int>>> cells;
    for (const ExitRecord& e : ExitTable) {
      if (e.map != map) continue;
      std::string key = e.to + " " + e.music + " " + std::to_string(e.area) +
                        (e.flag >= 0 ? " +" + std::to_string(e.flag) : "") + " @" + std::to_string(e.toX) + "," +
                        std::to_string(e.toY);
      cells[key].push_back({e.x, e.y});
    }
    std::vector<std::string> actual;
    for (const auto& [key, list] : cells) {
      std::vector<int> part(list.size());
      for (size_t i = 0; i < list.size(); ++i) part[i] = static_cast<int>(i);
      for (size_t i = 0; i < list.size(); ++i) {
        for (size_t j = 0; j < list.size(); ++j) {
          if (std::abs(list[i].first - list[j].first) + std::abs(list[i].second - list[j].second) == 1) {
            const int a = part[i], b = part[j];
            for (int& p : part) p = p == b ? a : p;
          }
        }
      }
      const size_t exits = std::set<int>(part.begin(), part.end()).size();
      for (size_t k = 0; k < exits; ++k) actual.push_back(key.substr(0, key.find(" @")));
    }
    std::vector<std::string> expected;
    for (const std::string& s : expected_all) {
      const std::string to = s.substr(0, s.find(' '));
      if (Built(to)) {
        expected.push_back(s);
      } else {
        missing.insert(to);
      }
    }
    std::sort(actual.begin(), actual.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(actual, expected);
    total += static_cast<int>(actual.size());
  }
  for (const ExitRecord& f : fixed) {
    if (!Built(f.map) || !Built(f.to)) continue;
    const ExitRecord* e = FindExit(f.map, f.x, f.y);
    ASSERT_NE(e, nullptr) << f.map << " (" << f.x << ", " << f.y << ") is no exit";
    EXPECT_EQ(std::tie(e->to, e->toX, e->toY, e->music, e->area, e->flag),
              std::tie(f.to, f.toX, f.toY, f.music, f.area, f.flag))
        << f.map << " (" << f.x << ", " << f.y << ")";
  }
  if (!missing.empty()) {
    std::string names;
    for (const std::string& m : missing) names += " " + m;
    GTEST_SKIP() << "maps not built yet, their exits not checked:" << names;
  }
  EXPECT_EQ(total, 150);
}

TEST_F(EventsGame, AMissingTargetMapLeavesTheHeroWhereHeCanWalk) {
  testing::ExpectFault("Test", 53);
  testing::ExpectFault("EventProc", 53);
  const std::string town1 = GamePath("map/town1.map");
  const std::string dir = UseScratchFolder();
  fs::create_directories(dir + "/map");
  fs::create_directories(dir + "/data");
  fs::copy_file(town1, dir + "/map/town1.map");
  std::ofstream(dir + "/data/exits.dat") << "from,x,y,to,x,y,music,area,flag\n"
                                         << "town1,19,52,nowhere,1,1,letsgo,1,-1\n"
                                         << "town1,25,29,nowhere,1,1,tender,0,-1\n"
                                         << "town1,52,14,town1,18,75,tender,0,32\n";
  ExitSet();
  ASSERT_EQ(ExitTable.size(), 3u);
  for (const auto& [cx, cy] : std::vector<std::pair<int, int>>{{19, 52}, {25, 29}}) {
    const int x = cx, y = cy;
    Enter("town1", x, y);
    BgmName = "tender";
    // No key is tapped: a monologue or any other message would never end.
    Byte r = 0;
    Tapping([] { return 0; }, [&] { r = EventProc(x, y, true); });
    EXPECT_EQ(r, 255);
    EXPECT_EQ(MapName, "town1");
    EXPECT_EQ(Player.x, x);
    EXPECT_EQ(Player.y, y);
    EXPECT_EQ(BgmName, "tender");
    EXPECT_EQ(Flag(257), 0) << "the monologue is not seen";
    bool free = false;
    for (int d = 0; d < 4 && !free; ++d) {
      free = TryStep(kStepX[d], kStepY[d]) == 0;
      Player.x = static_cast<Integer>(x);
      Player.y = static_cast<Integer>(y);
    }
    EXPECT_TRUE(free) << "the hero can walk on";
  }
  EXPECT_EQ(Count(ErrorLog(), "EventProc Error: 53"), 2) << ErrorLog();
  // Beside them a door that can be gone through does so, and sets its flag afterwards.
  Enter("town1", 52, 14);
  EXPECT_EQ(EventProc(52, 14, true), 255);
  EXPECT_EQ(Player.x, 18);
  EXPECT_EQ(Player.y, 75);
  EXPECT_EQ(Flag(32), 1);
}

TEST_F(EventsGame, ABrokenOrMissingExitsTableLeavesNoExits) {
  testing::ExpectFault("ExitSet", 53);
  testing::ExpectFault("ExitSet", 13);
  testing::ExpectFault("ExitSet", 6);
  const std::string dir = UseScratchFolder();
  fs::create_directories(dir + "/data");
  ExitSet();
  EXPECT_TRUE(ExitTable.empty());
  EXPECT_EQ(Count(ErrorLog(), "ExitSet Error: 53"), 1);
  EXPECT_NE(ErrorLog().find("(data/exits.dat"), std::string::npos) << "the line names the file";
  // A named pipe in its place is refused at once instead of waiting for a writer.
  testing::ExpectFault("ExitSet", 57);
  ASSERT_EQ(::mkfifo((dir + "/data/exits.dat").c_str(), 0600), 0);
  ExitSet();
  EXPECT_EQ(Count(ErrorLog(), "ExitSet Error: 57"), 1);
  fs::remove(dir + "/data/exits.dat");

  const std::vector<std::string> bad = {
      "town1,19,52,field,21,9,letsgo,1\n",          // a field short
      "town1,19,52,field,21,9,letsgo,1,-1,7\n",     // a field too many
      "town1,19,x2,field,21,9,letsgo,1,-1\n",       // not a number
      "town1,19,52,field,21,9,letsgo,256,-1\n",     // area beyond a byte
      "town1,19,52,field,21,9,let go,1,-1\n",       // not a name
      "town1,19,52,,21,9,letsgo,1,-1\n",            // no target
  };
  for (const std::string& row : bad) {
    std::ofstream(dir + "/data/exits.dat") << "from,x,y,to,x,y,music,area,flag\n"
                                           << "town1,20,52,field,21,9,letsgo,1,-1\n"
                                           << row;
    fs::remove(ErrorLogPath());
    ExitSet();
    EXPECT_TRUE(ExitTable.empty()) << row;
    EXPECT_NE(ErrorLog().find("ExitSet Error: "), std::string::npos) << row;
    EXPECT_NE(ErrorLog().find("data/exits.dat line 3"), std::string::npos) << ErrorLog();
  }
}

// ---------------------------------------------------------------------------
// Scenes

TEST_F(EventsGame, TheMonologueComesOnceAtTheVillageGate) {
  Enter("town1", 20, 51);
  BgmName = "tender";
  PlayBgm(BgmName);
  ASSERT_TRUE(audio().state().playing);
  const std::uint32_t t0 = now();
  bool first_page = true;
  std::uint32_t first_page_at = 0;
  bool music_at_first_page = true;
  Byte r = 0;
  const auto texts = Shown(
      'X', [&] { r = EventProc(20, 52, true); },
      [&] {
        if (first_page && MessageWaiting()) {
          first_page = false;
          first_page_at = now();
          music_at_first_page = audio().state().playing || !audio().state().music_path.empty();
        }
      });
  EXPECT_EQ(r, 255);
  EXPECT_FALSE(music_at_first_page) << "the music stops before the monologue";
  EXPECT_GE(first_page_at - t0, 1000u) << "the fade and a second of silence come first";
  ASSERT_EQ(texts.size(), 1u) << "one message";
  ASSERT_FALSE(texts.empty());
  EXPECT_NE(texts.back().find("行ってきます！"), std::string::npos) << texts.back();
  EXPECT_EQ(Flag(257), 1);
  EXPECT_EQ(MapName, "field");
  EXPECT_EQ(Player.x, 21);
  EXPECT_EQ(Player.y, 9);
  EXPECT_EQ(BgmName, "letsgo");
  EXPECT_EQ(Flags(1), 1);
  EXPECT_FALSE(picWindow(0).visible);

  // The second time: the plain gate, with nothing to answer.
  Enter("town1", 19, 51);
  Tapping([] { return 0; }, [&] { r = EventProc(19, 52, true); });
  EXPECT_EQ(r, 255);
  EXPECT_EQ(MapName, "field");
  EXPECT_EQ(Player.x, 21);
  EXPECT_EQ(Player.y, 9);
  EXPECT_EQ(Flags(1), 1);
}

TEST_F(EventsGame, TheBedAndTheHealingSpotsRefillAndTheSpringOnlyHP) {
  struct Case {
    const char* map;
    int x, y;
    int key;        // the answer
    bool hp, mp;    // refilled
  };
  const Case cases[] = {
      {"town1", 30, 11, 'X', true, true},    // the bed, "はい"
      {"town1", 30, 11, 'Z', false, false},  // the bed, "いいえ"
      {"dngn1", 69, 44, 'X', true, true},    // the healing spot
      {"dngn3", 45, 56, 'X', true, true},
      {"forest", 35, 24, 'X', true, false},  // the spring, both cells
      {"forest", 36, 24, 'X', true, false},
      {"forest", 36, 24, 'Z', false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.map << " (" << c.x << ", " << c.y << ") " << char(c.key));
    if (Built(c.map)) {
      Enter(c.map, c.x, c.y - 1);
    } else {
      MapName = c.map;  // the event needs no more than the map's name
    }
    Player.hp = 3;
    Player.mp = 1;
    audio().Reset();
    Byte r = 255;
    Shown(c.key, [&] { r = EventProc(c.x, c.y, true); });
    EXPECT_EQ(r, 0) << "an encounter roll may follow";
    EXPECT_EQ(Player.hp, c.hp ? Player.mhp : 3);
    EXPECT_EQ(Player.mp, c.mp ? Player.mmp : 1);
    EXPECT_FALSE(picWindow(0).visible);
  }
}

// The counters, in the order the goods are listed, with the result each gives back.
TEST_F(EventsGame, ShopsAndInnsOpenWithTheirGoodsAndPrices) {
  struct Counter {
    const char* map;
    int x, y;
    const char* greeting;
    std::vector<int> goods;  // a shop
    int price;               // an inn
    Byte result;
  };
  const Counter counters[] = {
      {"town1", 39, 28, "いらっしゃいませ", {1, 2, 3, 4, 5, 20, 7, 10}, 0, 255},
      {"town2", 45, 12, "名物浮島まんじゅう", {24, 1, 2, 4, 5, 20, 21, 15}, 0, 255},
      {"town2", 32, 24, "浮島イン", {}, 25, 0},
      {"town3", 13, 53, "アコギ商店", {1, 2, 4, 5, 7, 10, 20, 21}, 0, 0},
      {"town3", 12, 122, "壇ノ浦", {}, 50, 0},
      {"zombi", 57, 13, "爆弾屋", {20, 21, 22, 23, 18, 1, 4}, 0, 0},
      {"zombi", 70, 16, "ヒッヒッヒッ", {2, 3, 5, 8, 9, 11, 13, 14}, 0, 0},
      {"zombi", 61, 30, "幽霊ホテル", {}, 100, 0},
  };
  for (const Counter& c : counters) {
    SCOPED_TRACE(::testing::Message() << c.map << " (" << c.x << ", " << c.y << ")");
    MapName = c.map;
    for (auto& s : ShopStock) s = 99;
    Player.gold = 1000;
    Byte r = 1;
    const auto texts = Shown('Z', [&] { r = EventProc(c.x, c.y, true); });
    EXPECT_EQ(r, c.result);
    ASSERT_FALSE(texts.empty());
    EXPECT_NE(texts.front().find(c.greeting), std::string::npos) << texts.front();
    if (c.price == 0) {
      EXPECT_EQ(Windows(15).Count, static_cast<Integer>(c.goods.size()));
      for (int i = 0; i < 8; ++i) {
        const int want = i < static_cast<int>(c.goods.size()) ? c.goods[static_cast<size_t>(i)] : 0;
        EXPECT_EQ(ShopStock(i), want) << "row " << i;
        EXPECT_EQ(Windows(15).Item(i), ItemTable(want).Name) << "row " << i;
      }
    } else {
      const std::string ask = "一晩" + MoneyText(c.price) + "です。";
      EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [&](const std::string& t) { return t.find(ask) == 0; }))
          << ask;
      EXPECT_EQ(Player.gold, 1000) << "declined";
    }
    EXPECT_FALSE(picWindow(0).visible);
    EXPECT_FALSE(picWindow(15).visible);
  }
}

TEST_F(EventsGame, TheHerbOnceTheCounterRingAndTheTravelPoint) {
  // The herb bed: once.
  MapName = "dngn1";
  const auto texts = Shown('X', [] { EXPECT_EQ(EventProc(69, 40, true), 0); });
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_NE(texts[0].find("白い花"), std::string::npos);
  EXPECT_EQ(Flag(259), 1);
  EXPECT_TRUE(Shown(0, [] { EXPECT_EQ(EventProc(69, 40, true), 0); }).empty());

  // The counter ring of the valley village: the person behind it turns to the hero.
  MapName = "town3";
  CharCount = 1;
  Chars(0).dir = 0;
  const std::pair<int, std::pair<int, int>> ring[] = {{3, {43, 55}}, {2, {45, 55}}, {0, {44, 54}}, {1, {44, 56}}};
  for (const auto& [facing, cell] : ring) {
    Player.dir = static_cast<Byte>(facing);
    const int cx = cell.first, cy = cell.second;
    Shown('X', [&] { EXPECT_EQ(EventProc(cx, cy, true), 0); });
    EXPECT_EQ(Chars(0).dir, facing ^ 1) << "hero facing " << facing;
  }

  // The cavity's travel point.
  MapName = "cavity";
  EXPECT_EQ(EventProc(25, 68, true), 255);
  EXPECT_EQ(Flag(36), 1);
}

// Cell (24, 18) of the cavity: the first touch tells of the broken bridge, with the
// cutting board the next one lays it; it is put back when the map is loaded again.
TEST_F(EventsGame, TheBridgeNeedsTwoTouchesAndTheCuttingBoard) {
  if (!Built("cavity")) {
    // Until the cavity is drawn, a stand-in with the bridge's end at (24, 18).
    const std::string heal = GamePath("sound/heal.wav");
    const std::string dir = UseScratchFolder();
    fs::create_directories(dir + "/map");
    fs::create_directories(dir + "/sound");
    if (fs::exists(heal)) fs::copy_file(heal, dir + "/sound/heal.wav");
    std::string bytes(16, '\0');
    bytes[0] = 34;
    bytes[1] = 77;
    for (int x = 0; x < 34; ++x) {
      for (int y = 0; y < 77; ++y) {
        const bool gap = x == 24 && y == 18;
        bytes += static_cast<char>(gap ? 60 : 1);
        bytes += static_cast<char>(gap ? kAttrBlocked : 0);
      }
    }
    std::ofstream(dir + "/map/cavity.map", std::ios::binary) << bytes;
  }
  Enter("cavity", 24, 19);
  const MapCell broken = MapData(24, 18);
  ASSERT_TRUE(broken.attr & kAttrBlocked);
  ASSERT_NE(broken.tile, 5);
  EmptyInventory();
  const auto heal_sounds = [&] {
    return std::count_if(audio().state().sounds.begin(), audio().state().sounds.end(),
                         [](const std::string& s) { return s.find("heal") != std::string::npos; });
  };
  const auto touch = [&] {
    Byte r = 1;
    auto texts = Shown('X', [&] { r = EventProc(24, 18, true); });
    EXPECT_EQ(r, 0);
    return texts.size();
  };

  // Without the board every touch only tells of it.
  EXPECT_EQ(touch(), 1u);
  EXPECT_EQ(Flag(304), 1);
  EXPECT_EQ(touch(), 1u);
  EXPECT_EQ(MapData(24, 18).tile, broken.tile);

  // The first touch always tells, even with the board; the next one builds.
  SetFlag(304, 0);
  ItemAdd(28);
  EXPECT_EQ(touch(), 1u);
  EXPECT_EQ(MapData(24, 18).tile, broken.tile);
  audio().Reset();
  EXPECT_EQ(touch(), 0u);
  EXPECT_EQ(MapData(24, 18).tile, 5);
  EXPECT_FALSE(MapData(24, 18).attr & kAttrBlocked);
  EXPECT_EQ(touch(), 0u);
  if (fs::exists(GamePath("sound/heal.wav"))) {
    EXPECT_EQ(heal_sounds(), 1);
  }

  // Loaded again (a door, a saved game), the bridge is there again.
  MapLoad("cavity");
  EXPECT_EQ(MapData(24, 18).tile, 5);
  EXPECT_FALSE(MapData(24, 18).attr & kAttrBlocked);
  // Without the board it is not.
  ItemDel(28);
  MapLoad("cavity");
  EXPECT_EQ(MapData(24, 18).tile, broken.tile);
  EXPECT_TRUE(MapData(24, 18).attr & kAttrBlocked);
}

TEST_F(EventsGame, DisabledNothingHappens) {
  Enter("town1", 20, 51);
  const struct {
    int x, y;
  } cells[] = {{20, 52}, {21, 49}, {30, 11}, {39, 28}, {52, 14}};
  for (const auto& c : cells) {
    Byte r = 1;
    const auto texts = Shown(0, [&] { r = EventProc(c.x, c.y, false); });
    EXPECT_EQ(r, 0);
    EXPECT_TRUE(texts.empty());
    EXPECT_EQ(MapName, "town1");
    EXPECT_EQ(Player.x, 20);
    EXPECT_EQ(Player.y, 51);
    EXPECT_EQ(Flag(257), 0);
  }
  // And cells without an event give 0 too.
  EXPECT_EQ(EventProc(20, 51, true), 0);
  MapName = "last";
  EXPECT_EQ(EventProc(10, 25, true), 0);
}

// The scenes' texts (their fit is ardo-textc's to check) keep the shape of their scenes.
TEST(SceneTexts, KeepTheirShape) {
  const std::string monologue = Word(Say::kOpeningMonologue);
  EXPECT_EQ(Count(monologue, "￥"), 22);
  EXPECT_EQ(Count(monologue, "／"), 39);
  EXPECT_NEAR(static_cast<double>(CharLength(monologue)), 450, 30);
  EXPECT_GE(Count(monologue, "／／") + Count(monologue, "￥／"), 5) << "some empty lines";
  EXPECT_EQ(Count(Word(Say::kHerbNarration), "￥"), 5);
  EXPECT_EQ(Count(Word(Say::kBombShop), "￥"), 1);
  EXPECT_EQ(Count(Word(Say::kBombShop), "／"), 2);
  EXPECT_EQ(Count(Word(Say::kTreeInscription), "￥"), 2);
  EXPECT_EQ(Word(Say::kTreeInscription).rfind("何かかいてある・・・￥「", 0), 0u);
}

}  // namespace
}  // namespace ardo
