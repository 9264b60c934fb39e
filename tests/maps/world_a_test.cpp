// 浮き島村, 潮風の洞穴 and 谷間の村 as built into the game folder, with their exits tables
// (assets/maps/NAME.exits) and their people: the fixed positions, the landings, the doors,
// the guard's checkpoint, the boss hall, the brown rocks and the ring counter.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <queue>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "core/core.h"
#include "events/events.h"
#include "field/field.h"
#include "support/fixture.h"
#include "world.h"

namespace ardo {
namespace {

using world::Cell;
using world::Marks;
using world::Reachable;
using world::StartsWith;

using Exit = world::ExitLine;

// The lines of assets/maps/MAP.exits; each must parse.
std::vector<Exit> ReadExits(const std::string& map) {
  std::vector<Exit> exits = world::ExitsFile(map);
  for (const Exit& e : exits) EXPECT_GE(e.area, 0) << map << ".exits:" << e.line << " does not parse";
  return exits;
}

// A cell named by a mark of `map` or written "X,Y".
bool Resolve(const std::string& map, const std::string& name, Cell* c) {
  const auto cell = world::ResolveCell(map, name);
  if (cell) *c = *cell;
  return cell.has_value();
}

using Targets = std::multiset<std::tuple<std::string, std::string, int>>;  // to-map, music, area

struct MapFacts {
  std::string name;
  int min_width, min_height;
  int exit_count;        // lines whose from-map is this map
  Targets targets;       // what they lead to
  std::vector<Cell> passable;  // fixed step-on cells
  std::vector<Cell> blocked;   // fixed bump cells (reached by walking against them)
  Cell entry;                  // the landing from the field
  std::set<int> talks;         // conversation numbers that must stand on the map
};

Targets Repeat(Targets t, const std::tuple<std::string, std::string, int>& v, int n) {
  for (int i = 0; i < n; ++i) t.insert(v);
  return t;
}

const std::vector<MapFacts>& Facts() {
  static const std::vector<MapFacts> facts = {
      {"town2", 59, 43, 4,
       Repeat(Repeat({}, {"field", "letsgo", 4}, 2), {"town2", "green", 0}, 2),
       {{50, 34}},
       {{45, 12}, {32, 24}},
       {0, 0},
       {1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}},
      {"dngn2", 99, 197, 27,
       Repeat(Repeat(Repeat(Repeat({{"field", "letsgo", 4}, {"field", "letsgo", 8}, {"field", "letsgo", 9}},
                                   {"dngn2", "tower", 6}, 13),
                            {"dngn2", "tower", 5}, 6),
                     {"dngn2", "tower", 7}, 4),
              {"dngn2", "t_song", 0}, 1),
       {{89, 108}, {90, 108}, {87, 188}},
       {},
       {0, 0},
       {1, 2, 3}},
      {"town3", 54, 131, 27,
       Repeat({{"field", "letsgo", 9}}, {"town3", "peace", 0}, 26),
       {{13, 14}},
       {{12, 122}, {13, 53}, {43, 55}, {45, 55}, {44, 54}, {44, 56}},
       {13, 14},
       {1, 2, 3, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22}},
  };
  return facts;
}

class WorldATest : public testing::HeadlessGame {
 protected:
  // Loads a map and its people; exits_ are the cells of its exits table and its exit_ marks.
  void Load(const std::string& map) {
    ASSERT_TRUE(std::filesystem::exists(GamePath("map/" + map + ".map"))) << map;
    MapLoad(map);
    CharCount = 0;
    CharaSet(map);
    jumps_.clear();
    exits_.clear();
    for (const auto& [name, c] : Marks(map)) {
      if (StartsWith(name, "exit_")) exits_.insert(c);
    }
    for (const Exit& e : ReadExits(map)) {
      Cell from{}, to{};
      if (e.from_map != map || !Resolve(map, e.from_cell, &from)) continue;
      exits_.insert(from);
      if (e.to_map == map && Resolve(map, e.to_cell, &to)) jumps_[from] = to;
    }
    landings_.clear();
    for (const char* table : {"town2", "dngn2", "town3"}) {
      for (const Exit& e : ReadExits(table)) {
        Cell to{};
        if (e.to_map == map && Resolve(map, e.to_cell, &to)) landings_.insert(to);
      }
    }
    standing_.clear();
    for (int i = 0; i < CharCount; ++i) {
      if (!Chars(i).walks) standing_.insert({Chars(i).x, Chars(i).y});
    }
  }
  bool Walkable(Cell c) const { return !(MapData(c.x, c.y).attr & kAttrBlocked); }
  bool InMargin(Cell c) const { return c.x >= 8 && c.y >= 8 && c.x <= MapWidth - 9 && c.y <= MapHeight - 9; }

  // Everything the hero reaches from `from` on foot and through the map's own doors and
  // stairs, never entering the `closed` cells (`open` cells he may walk although blocked).
  std::set<Cell> Explore(Cell from, const std::set<Cell>& closed = {}, const std::set<Cell>& open = {}) const {
    std::set<Cell> seen{from};
    std::queue<Cell> todo;
    todo.push(from);
    while (!todo.empty()) {
      const Cell c = todo.front();
      todo.pop();
      if (exits_.count(c) && !(c == from)) {
        const auto jump = jumps_.find(c);
        if (jump != jumps_.end() && seen.insert(jump->second).second) todo.push(jump->second);
        continue;
      }
      const Cell next[] = {{c.x + 1, c.y}, {c.x - 1, c.y}, {c.x, c.y + 1}, {c.x, c.y - 1}};
      for (const Cell& n : next) {
        if (n.x < 0 || n.y < 0 || n.x >= MapWidth || n.y >= MapHeight || seen.count(n) || closed.count(n)) continue;
        if ((!Walkable(n) && !open.count(n)) || standing_.count(n)) continue;
        seen.insert(n);
        todo.push(n);
      }
    }
    return seen;
  }
  int FindTalk(int talk) const {
    for (int i = 0; i < CharCount; ++i) {
      if (Chars(i).talk == talk) return i;
    }
    return -1;
  }

  std::set<Cell> exits_;
  std::set<Cell> landings_;     // every cell a table lands on in this map
  std::map<Cell, Cell> jumps_;  // exits within the map: from cell -> landing
  std::set<Cell> standing_;
};

// Every line of the three tables: counts and targets as the atlas gives them, exit cells
// passable, landings passable, inside the margin, not exits and free of behaviour tiles.
TEST_F(WorldATest, ExitsTablesMatchTheAtlasAndLandSafely) {
  std::map<std::string, Targets> got;
  std::map<std::string, int> count;
  std::vector<Exit> all;
  for (const MapFacts& f : Facts()) {
    for (const Exit& e : ReadExits(f.name)) all.push_back(e);
  }
  for (const Exit& e : all) {
    SCOPED_TRACE(::testing::Message() << e.from_map << " " << e.from_cell << " (line " << e.line << ")");
    if (e.from_map != "field") {
      ++count[e.from_map];
      got[e.from_map].insert({e.to_map, e.music, e.area});
    }
    EXPECT_TRUE(std::filesystem::exists(std::string(ARDO_SOURCE_DIR) + "/assets/music/" + e.music + ".mml"))
        << "no tune " << e.music;
    Cell from{}, to{};
    ASSERT_TRUE(Resolve(e.from_map, e.from_cell, &from)) << "unknown cell";
    ASSERT_TRUE(Resolve(e.to_map, e.to_cell, &to)) << "unknown target " << e.to_cell;
    Load(e.from_map);
    EXPECT_TRUE(Walkable(from)) << "exit " << from << " is blocked";
    EXPECT_TRUE(InMargin(from)) << "exit " << from << " in the margin";
    Load(e.to_map);
    EXPECT_TRUE(Walkable(to)) << "landing " << to << " is blocked";
    EXPECT_TRUE(InMargin(to)) << "landing " << to << " in the margin";
    EXPECT_FALSE(exits_.count(to)) << "landing " << to << " is an exit";
    EXPECT_FALSE(standing_.count(to)) << "somebody stands on landing " << to;
    const Byte t = MapData(to.x, to.y).tile;
    EXPECT_TRUE(t != 90 && t != 106 && t != 176 && t != 182 && t != 183) << "landing on tile " << int(t);
    const bool reaches_exit = [&] {
      for (const Cell& c : Reachable(to, exits_, standing_)) {
        if (exits_.count(c) && !(c == to)) return true;
      }
      return false;
    }();
    EXPECT_TRUE(reaches_exit) << "no way on foot from landing " << to << " to an exit";
    int flag = 0;  // the travel flags: set on entering the village from the field's own doors
    if (e.from_map == "field" && e.to_map == "town2" && e.to_cell == "land_gate") flag = 32;
    if (e.from_map == "field" && e.to_map == "town3") flag = 34;
    EXPECT_EQ(e.flag, flag);
  }
  for (const MapFacts& f : Facts()) {
    EXPECT_EQ(count[f.name], f.exit_count) << f.name;
    EXPECT_EQ(got[f.name], f.targets) << f.name;
  }
}

// Sizes, margin, fixed cells, and every door of the map reached from its entry; the
// people: the listed conversation numbers on free cells, chests and the diary as chests.
TEST_F(WorldATest, FixedCellsAndPeopleAreWhereTheirTriggersNeedThem) {
  for (const MapFacts& f : Facts()) {
    SCOPED_TRACE(f.name);
    Load(f.name);
    EXPECT_GE(MapWidth, f.min_width);
    EXPECT_GE(MapHeight, f.min_height);
    int bad = 0;
    for (int x = 0; x < MapWidth; ++x) {
      for (int y = 0; y < MapHeight; ++y) {
        if (Walkable({x, y}) && !InMargin({x, y}) && ++bad <= 3) ADD_FAILURE() << "walkable in the margin " << Cell{x, y};
        if ((MapData(x, y).tile == 95 || MapData(x, y).tile == 111) && Walkable({x, y})) {
          ADD_FAILURE() << "brown rock " << Cell{x, y} << " is passable";
        }
      }
    }
    for (const Cell& c : f.passable) EXPECT_TRUE(Walkable(c)) << c;
    for (const Cell& c : f.blocked) EXPECT_FALSE(Walkable(c)) << c;
    std::set<Cell> everywhere;
    for (const Cell& l : landings_) {
      const auto r = Explore(l);
      everywhere.insert(r.begin(), r.end());
    }
    for (const Cell& c : exits_) EXPECT_TRUE(everywhere.count(c)) << "exit " << c << " cannot be reached";
    for (const Cell& b : f.blocked) {
      const Cell side[] = {{b.x + 1, b.y}, {b.x - 1, b.y}, {b.x, b.y + 1}, {b.x, b.y - 1}};
      EXPECT_TRUE(std::any_of(std::begin(side), std::end(side), [&](Cell s) { return everywhere.count(s) > 0; }))
          << "nobody can walk against " << b;
    }
    if (f.entry.x) {
      const auto from_entry = Explore(f.entry);
      for (const Cell& c : exits_) EXPECT_TRUE(from_entry.count(c)) << "exit " << c << " not reached from the entry";
    }
    for (int talk : f.talks) EXPECT_GE(FindTalk(talk), 0) << "nobody has conversation " << talk;
    std::set<Cell> taken;
    for (int i = 0; i < CharCount; ++i) {
      const CharRecord& ch = Chars(i);
      const Cell c{ch.x, ch.y};
      SCOPED_TRACE(::testing::Message() << "character " << i << " (talk " << int(ch.talk) << ") at " << c);
      const Byte attr = MapData(c.x, c.y).attr;
      const bool hidden = (attr & kAttrBlocked) && (attr & kAttrHideUpper) && (attr & kAttrHideLower);
      EXPECT_TRUE(Walkable(c) || hidden);
      EXPECT_TRUE(taken.insert(c).second) << "two characters on one cell";
      EXPECT_FALSE(exits_.count(c)) << "stands on an exit";
      EXPECT_FALSE(landings_.count(c)) << "stands on a landing";
      if (ch.pic == 16 || hidden) {
        EXPECT_EQ(ch.walks, 0);
      }
    }
  }
}

TEST_F(WorldATest, Town2WalletDiaryAndShopsStandRight) {
  Load("town2");
  const int wallet = FindTalk(8), diary = FindTalk(9), owner = FindTalk(14), merchant = FindTalk(15);
  ASSERT_GE(wallet, 0);
  ASSERT_GE(diary, 0);
  const Byte attr = MapData(Chars(wallet).x, Chars(wallet).y).attr;
  EXPECT_EQ(attr & 7, 7) << "the wallet must be hidden whole on blocked scenery";
  EXPECT_EQ(Chars(diary).pic, 16);
  EXPECT_EQ(Chars(owner).walks, 0);
  // The shop of talk 15 is a person: the hero must be able to stand beside him.
  const Cell m{Chars(merchant).x, Chars(merchant).y};
  std::set<Cell> reach;
  for (const Cell& l : landings_) {
    const auto r = Explore(l);
    reach.insert(r.begin(), r.end());
  }
  const Cell side[] = {{m.x + 1, m.y}, {m.x - 1, m.y}, {m.x, m.y + 1}, {m.x, m.y - 1}};
  EXPECT_TRUE(std::any_of(std::begin(side), std::end(side), [&](Cell s) { return reach.count(s) > 0; }));
}

// The checkpoint: the guard blocks a one-cell passage, his niche (33, y) opens only onto
// his own cell, and nothing past him is reached from the cave mouth while he stands there.
// The boss cells are the only way from the crown to the basin, and the brown rocks the
// only way between the back cave and the quiet room's door (87, 188).
TEST_F(WorldATest, Dngn2GatesReallyGate) {
  Load("dngn2");
  const int g = FindTalk(3);
  ASSERT_GE(g, 0);
  const CharRecord& guard = Chars(g);
  EXPECT_EQ(guard.walks, 0);
  const Cell at{guard.x, guard.y}, niche{33, guard.y};
  EXPECT_NE(guard.x, 33);
  EXPECT_EQ(std::abs(guard.x - 33), 1);
  ASSERT_TRUE(Walkable(niche));
  for (const Cell& n : {Cell{niche.x + 1, niche.y}, Cell{niche.x - 1, niche.y}, Cell{niche.x, niche.y + 1},
                        Cell{niche.x, niche.y - 1}}) {
    if (!(n == at)) {
      EXPECT_FALSE(Walkable(n)) << "the niche opens onto " << n;
    }
  }
  // A one-cell passage: the guard's cell has exactly two open sides besides the niche.
  int open_sides = 0;
  for (const Cell& n : {Cell{at.x, at.y - 1}, Cell{at.x, at.y + 1}, Cell{at.x - 1, at.y}, Cell{at.x + 1, at.y}}) {
    if (Walkable(n) && !(n == niche)) ++open_sides;
  }
  EXPECT_EQ(open_sides, 2);
  const auto marks = Marks("dngn2");
  const Cell mouth = marks.at("land_mouth"), basin_in = marks.at("land_basin"), valley_in = marks.at("land_valley");
  const Cell basin_out = marks.at("exit_basin"), valley_out{87, 188};
  const std::set<Cell> boss{{89, 108}, {90, 108}};
  std::set<Cell> rocks;
  for (int x = 0; x < MapWidth; ++x) {
    for (int y = 0; y < MapHeight; ++y) {
      if (MapData(x, y).tile == 111) rocks.insert({x, y});
    }
  }
  ASSERT_FALSE(rocks.empty());

  auto guarded = Explore(mouth);
  EXPECT_FALSE(guarded.count(niche));
  for (const Cell& b : boss) EXPECT_FALSE(guarded.count(b)) << "the boss is reached past the guard";
  standing_.erase(at);  // he has stepped aside
  auto open = Explore(mouth);
  for (const Cell& b : boss) EXPECT_TRUE(open.count(b)) << "the boss cannot be reached";
  EXPECT_TRUE(open.count(basin_out));
  EXPECT_FALSE(open.count(valley_out)) << "the quiet room is reached without the drill";
  EXPECT_FALSE(Explore(mouth, boss).count(basin_out)) << "the boss hall can be walked round";
  EXPECT_FALSE(Explore(basin_in).count(valley_out)) << "the rocks do not close the way";
  EXPECT_FALSE(Explore(valley_in).count(basin_out)) << "the rocks do not close the way back";
  EXPECT_TRUE(Explore(basin_in, {}, rocks).count(valley_out)) << "the drill opens nothing";
  EXPECT_TRUE(Explore(valley_in, {}, rocks).count(basin_out));
}

TEST_F(WorldATest, Town3RingSellerIsCharacterZeroInsideTheRing) {
  Load("town3");
  ASSERT_GT(CharCount, 0);
  EXPECT_EQ(Chars(0).x, 44);
  EXPECT_EQ(Chars(0).y, 55);
  EXPECT_EQ(Chars(0).talk, 1);
  EXPECT_EQ(Chars(0).walks, 0);
  for (const Cell& c : {Cell{43, 55}, Cell{45, 55}, Cell{44, 54}, Cell{44, 56}}) {
    EXPECT_FALSE(Walkable(c)) << c;
    EXPECT_EQ(MapData(c.x, c.y).tile, 83) << "not a counter " << c;
  }
  EXPECT_TRUE(Walkable({44, 55}));
}

}  // namespace
}  // namespace ardo
