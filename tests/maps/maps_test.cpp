// The world's maps as built into the game folder: the fixed positions of the world
// atlas, the marks of each map source, the edge margin, and the people of chara.dat.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
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

// What the world atlas fixes for one map, and how its parts hang together.
struct WorldMap {
  std::string name;
  int min_width;
  int min_height;
  std::vector<Cell> exits;     // step-on exits (passable)
  std::vector<Cell> landings;  // where the hero arrives (passable, no behaviour tile)
  std::vector<Cell> bumps;     // signs, counters, beds: blocked bump triggers
  // Walking areas: a landing and cells the hero must be able to reach from it.
  std::vector<std::pair<Cell, std::vector<Cell>>> areas;
  // Areas that must not be reachable from each other on foot.
  std::vector<std::pair<Cell, Cell>> apart;
};

const std::vector<WorldMap>& World() {
  static const std::vector<WorldMap> world = {
      {"town1",
       61,
       86,
       {{19, 52}, {20, 52}, {52, 14}, {18, 77}},
       {{28, 11}, {20, 50}, {18, 75}, {52, 16}},
       {{30, 11}, {39, 28}, {21, 49}},
       {{{20, 50}, {{19, 52}, {20, 52}, {52, 14}, {39, 29}, {21, 50}}},
        {{28, 11}, {{29, 11}}},
        {{18, 75}, {{18, 77}}}},
       {{{20, 50}, {28, 11}}, {{20, 50}, {18, 75}}, {{28, 11}, {18, 75}}}},
      // The demo landscape: every part of it can be walked to from the meadow.
      {"showcase",
       60,
       45,
       {},
       {{26, 32}},
       {{27, 43}, {42, 35}, {23, 13}},
       {{{26, 32}, {{22, 14}, {40, 13}, {43, 24}, {43, 40}, {62, 38}, {63, 16}, {17, 43}}}},
       {}},
      // The overworld: six regions, each reached from the others only through other maps.
      {"field",
       101,
       93,
       {{20, 8}, {21, 8}, {9, 83}, {71, 50}, {92, 44}},
       {{21, 9}, {45, 74}, {69, 36}, {11, 83}, {91, 44}, {34, 16}, {46, 82}, {71, 51}, {40, 28}, {87, 25},
        {88, 10}, {81, 27}},
       {{19, 12}, {41, 26}, {34, 38}, {32, 45}, {24, 67}, {20, 82}, {36, 84}, {82, 40}},
       {{{21, 9}, {{20, 8}, {21, 8}, {40, 28}}},
        {{34, 16}, {}},
        {{11, 83}, {{9, 83}, {46, 82}, {20, 81}, {24, 68}}},
        {{71, 51}, {{71, 50}}},
        {{91, 44}, {{92, 44}, {45, 74}, {87, 25}, {82, 41}}},
        {{88, 10}, {{69, 36}, {81, 27}}}},
       {{{21, 9}, {34, 16}}, {{21, 9}, {11, 83}}, {{21, 9}, {71, 51}}, {{21, 9}, {91, 44}}, {{21, 9}, {88, 10}},
        {{34, 16}, {11, 83}}, {{34, 16}, {71, 51}}, {{34, 16}, {91, 44}}, {{34, 16}, {88, 10}},
        {{11, 83}, {71, 51}}, {{11, 83}, {91, 44}}, {{11, 83}, {88, 10}},
        {{71, 51}, {91, 44}}, {{71, 51}, {88, 10}}, {{91, 44}, {88, 10}}}},
      // The passage from the north door to the south door along the road; the spring and
      // the sign are bumped from the road and the glade.
      {"forest",
       96,
       33,
       {},
       {},
       {{35, 24}, {36, 24}, {87, 14}},
       {{{20, 9}, {{24, 27}, {35, 23}, {36, 23}, {86, 14}, {11, 16}}}},
       {}},
      // The cave: seven floors, joined only by their stairs. Each floor is listed by the
      // landing beside its up stairs (or its cave mouth) and reaches its own exits; the
      // last one holds the herb bed, the healing spot and the back mouth to the clearing.
      {"dngn1",
       78,
       53,
       {},
       {},
       {},
       {{{12, 9}, {{12, 8}, {23, 21}}},
        {{10, 27}, {{10, 26}, {22, 47}}},
        {{30, 22}, {{30, 23}, {44, 24}}},
        {{44, 31}, {{44, 30}, {30, 30}}},
        {{50, 10}, {{50, 9}, {59, 25}}},
        {{58, 31}, {{58, 30}, {59, 44}}},
        {{63, 31}, {{62, 31}, {68, 8}, {69, 40}, {69, 44}}}},
       {{{12, 9}, {10, 27}}, {{12, 9}, {30, 22}}, {{12, 9}, {44, 31}}, {{12, 9}, {50, 10}}, {{12, 9}, {58, 31}},
        {{12, 9}, {63, 31}}, {{10, 27}, {30, 22}}, {{10, 27}, {44, 31}}, {{10, 27}, {50, 10}}, {{10, 27}, {58, 31}},
        {{10, 27}, {63, 31}}, {{30, 22}, {44, 31}}, {{30, 22}, {50, 10}}, {{30, 22}, {58, 31}}, {{30, 22}, {63, 31}},
        {{44, 31}, {50, 10}}, {{44, 31}, {58, 31}}, {{44, 31}, {63, 31}}, {{50, 10}, {58, 31}}, {{50, 10}, {63, 31}},
        {{58, 31}, {63, 31}}}},
  };
  return world;
}

class MapsTest : public testing::HeadlessGame {
 protected:
  void Load(const WorldMap& m) {
    ASSERT_TRUE(std::filesystem::exists(GamePath("map/" + m.name + ".map"))) << m.name;
    MapLoad(m.name);
    CharCount = 0;
    CharaSet(m.name);
    marks_ = Marks(m.name);
    exits_.clear();
    landings_.clear();
    for (const Cell& c : m.exits) exits_.insert(c);
    for (const Cell& c : m.landings) landings_.insert(c);
    for (const auto& [name, c] : marks_) {
      if (StartsWith(name, "exit_")) exits_.insert(c);
      if (StartsWith(name, "land_") || name == "start") landings_.insert(c);
    }
    standing_.clear();
    for (int i = 0; i < CharCount; ++i) {
      if (!Chars(i).walks) standing_.insert({Chars(i).x, Chars(i).y});
    }
  }
  bool Walkable(Cell c) const { return !(MapData(c.x, c.y).attr & kAttrBlocked); }
  bool Inside(Cell c) const { return c.x >= 0 && c.y >= 0 && c.x < MapWidth && c.y < MapHeight; }

  std::map<std::string, Cell> marks_;
  std::set<Cell> exits_;
  std::set<Cell> landings_;
  std::set<Cell> standing_;
};

TEST_F(MapsTest, FixedAndMarkedPositionsHaveTheRightCells) {
  for (const WorldMap& m : World()) {
    SCOPED_TRACE(m.name);
    Load(m);
    EXPECT_GE(MapWidth, m.min_width);
    EXPECT_GE(MapHeight, m.min_height);
    ASSERT_FALSE(marks_.empty()) << "no marks in the source";
    for (const Cell& c : exits_) EXPECT_TRUE(Walkable(c)) << "exit " << c << " is blocked";
    for (const Cell& c : landings_) {
      EXPECT_TRUE(Walkable(c)) << "landing " << c << " is blocked";
      EXPECT_FALSE(exits_.count(c)) << "landing " << c << " is an exit";
      const Byte t = MapData(c.x, c.y).tile;
      EXPECT_TRUE(t != 90 && t != 106 && t != 176 && t != 182 && t != 183)
          << "landing " << c << " has behaviour tile " << int(t);
    }
    for (const Cell& c : m.bumps) EXPECT_FALSE(Walkable(c)) << "bump trigger " << c << " is passable";
    for (const auto& [name, c] : marks_) {
      ASSERT_TRUE(Inside(c)) << name;
      if (StartsWith(name, "sign_") || StartsWith(name, "counter_") || name == "bed") {
        EXPECT_FALSE(Walkable(c)) << name << " " << c << " is passable";
      }
    }
    // The fixed positions are marked too, so the events programmer finds them all.
    std::set<Cell> marked;
    for (const auto& [name, c] : marks_) marked.insert(c);
    for (const Cell& c : m.exits) EXPECT_TRUE(marked.count(c)) << "exit " << c << " has no mark";
    for (const Cell& c : m.landings) EXPECT_TRUE(marked.count(c)) << "landing " << c << " has no mark";
    for (const Cell& c : m.bumps) EXPECT_TRUE(marked.count(c)) << "trigger " << c << " has no mark";
  }
}

TEST_F(MapsTest, EveryWalkableCellKeepsTheEdgeMargin) {
  for (const WorldMap& m : World()) {
    SCOPED_TRACE(m.name);
    Load(m);
    int bad = 0;
    for (int x = 0; x < MapWidth; ++x) {
      for (int y = 0; y < MapHeight; ++y) {
        const bool inner = x >= 8 && x <= MapWidth - 9 && y >= 8 && y <= MapHeight - 9;
        if (!inner && Walkable({x, y}) && ++bad <= 5) ADD_FAILURE() << "walkable cell in the margin " << Cell{x, y};
      }
    }
  }
}

TEST_F(MapsTest, AreasConnectWhereTheyShouldAndNowhereElse) {
  for (const WorldMap& m : World()) {
    SCOPED_TRACE(m.name);
    Load(m);
    for (const auto& [from, targets] : m.areas) {
      const std::set<Cell> reach = Reachable(from, exits_, standing_);
      for (const Cell& t : targets) EXPECT_TRUE(reach.count(t)) << t << " cannot be reached from " << from;
    }
    for (const auto& [a, b] : m.apart) {
      EXPECT_FALSE(Reachable(a, exits_, standing_).count(b)) << b << " can be walked to from " << a;
    }
    // Every landing and exit of the map is reached from one of the areas.
    std::set<Cell> all;
    for (const auto& [from, targets] : m.areas) {
      const std::set<Cell> reach = Reachable(from, exits_, standing_);
      all.insert(reach.begin(), reach.end());
    }
    for (const Cell& c : exits_) EXPECT_TRUE(all.count(c)) << "exit " << c << " cannot be reached";
    for (const Cell& b : m.bumps) {
      const Cell side[] = {{b.x + 1, b.y}, {b.x - 1, b.y}, {b.x, b.y + 1}, {b.x, b.y - 1}};
      bool bumpable = false;
      for (const Cell& n : side) bumpable = bumpable || all.count(n);
      EXPECT_TRUE(bumpable) << "nobody can walk against " << b;
    }
    for (const Cell& c : landings_) EXPECT_TRUE(all.count(c)) << "landing " << c << " cannot be reached";
  }
}

TEST_F(MapsTest, CharactersStandOnFreeWalkableCells) {
  for (const WorldMap& m : World()) {
    SCOPED_TRACE(m.name);
    Load(m);
    ASSERT_GT(CharCount, 0) << "no chara.dat block";
    std::set<Cell> all;
    for (const auto& [from, targets] : m.areas) {
      const std::set<Cell> reach = Reachable(from, exits_, standing_);
      all.insert(reach.begin(), reach.end());
    }
    std::set<Cell> taken;
    for (int i = 0; i < CharCount; ++i) {
      const CharRecord& ch = Chars(i);
      const Cell c{ch.x, ch.y};
      SCOPED_TRACE(::testing::Message() << "character " << i << " (talk " << int(ch.talk) << ") at " << c);
      ASSERT_TRUE(Inside(c));
      // A hidden item stands on blocked scenery that hides its figure whole.
      const Byte attr = MapData(c.x, c.y).attr;
      const bool hidden = (attr & kAttrBlocked) && (attr & kAttrHideUpper) && (attr & kAttrHideLower);
      EXPECT_TRUE(Walkable(c) || hidden);
      EXPECT_TRUE(taken.insert(c).second) << "two characters on one cell";
      EXPECT_FALSE(exits_.count(c)) << "stands on an exit";
      EXPECT_FALSE(landings_.count(c)) << "stands on a landing";
      for (const Cell& b : m.bumps) EXPECT_FALSE(b == c);
      if (ch.pic == 16 || ch.pic == 17 || hidden) {
        // A chest never walks and can be opened: the hero reaches a cell beside it.
        EXPECT_EQ(ch.walks, 0);
        const Cell side[] = {{c.x + 1, c.y}, {c.x - 1, c.y}, {c.x, c.y + 1}, {c.x, c.y - 1}};
        bool reachable = false;
        for (const Cell& s : side) reachable = reachable || all.count(s);
        EXPECT_TRUE(reachable) << "a chest or hidden item nobody can reach";
      }
    }
  }
}

}  // namespace
}  // namespace ardo
