// The world beyond the valley, as built into the game folder: the cave of rubbish, the
// cursed town, the lumberjack's house, the great wall, the great cavern, the ice wall,
// the clouds, the road to the summit, the wailing wall, the summit and the summit of
// the ending. Their exits tables, fixed positions, gates and people.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
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
using world::ExitLine;
using world::Reachable;
using world::ResolveCell;
using world::StartsWith;

// (to-map, music, area) of each exit of a map, as the world atlas lists them.
using Door = std::tuple<std::string, std::string, int>;

struct Place {
  std::string name;
  std::multiset<Door> doors;
  std::set<int> talks;           // conversation numbers that must stand on the map
  std::vector<Cell> step_ons;    // fixed step-on cells (passable)
  std::vector<Cell> bumps;       // fixed bump cells (blocked, walked against)
  std::vector<Cell> landings;    // fixed landings
};

std::multiset<Door> Repeat(const Door& d, int n) {
  std::multiset<Door> s;
  for (int i = 0; i < n; ++i) s.insert(d);
  return s;
}

std::multiset<Door> Join(std::initializer_list<std::multiset<Door>> parts) {
  std::multiset<Door> s;
  for (const auto& p : parts) s.insert(p.begin(), p.end());
  return s;
}

std::set<int> Range(int from, int to) {
  std::set<int> s;
  for (int i = from; i <= to; ++i) s.insert(i);
  return s;
}

const std::vector<Place>& Places() {
  static const std::vector<Place> places = {
      {"dngn3", {{"field", "letsgo", 8}}, Range(1, 7), {{45, 56}}, {{26, 20}}, {{36, 69}}},
      {"zombi",
       Join({{{"field", "letsgo", 9}, {"field", "letsgo", 13}, {"zombi", "plants", 0}},
             Repeat({"zombi", "plants", 12}, 3)}),
       [] {
         std::set<int> s = Range(0, 24);
         for (int t : {26, 27, 28, 29, 30, 31}) s.insert(t);
         return s;
       }(),
       {{54, 34}},
       {{57, 13}, {70, 16}, {61, 30}},
       {}},
      {"kikori", {{"field", "letsgo", 13}}, {1}, {}, {}, {}},
      {"wall",
       Join({{{"field", "letsgo", 13}, {"cavity", "i-castle", 0}}, Repeat({"wall", "ruin", 14}, 6),
             Repeat({"wall", "w-road", 13}, 6)}),
       Range(1, 4),
       {},
       {},
       {}},
      {"cavity", {{"wall", "w-road", 13}, {"icewall", "w-road", 14}}, Range(1, 3), {{25, 68}}, {{24, 18}}, {{25, 68}}},
      {"icewall",
       Join({{{"cavity", "i-castle", 0}, {"smog", "w-road", 15}}, Repeat({"icewall", "w-road", 14}, 4)}),
       Range(1, 7),
       {{16, 103}},
       {},
       {}},
      {"smog", {{"icewall", "w-road", 14}, {"topl", "w-road", 16}}, Range(1, 10), {{39, 8}}, {}, {{39, 9}}},
      {"topl", {{"smog", "w-road", 15}, {"toph", "w-road", 17}}, {}, {}, {}, {{25, 50}}},
      {"toph", Join({{{"topl", "w-road", 16}, {"top", "holy3", 0}}, Repeat({"toph", "w-road", 17}, 18)}), {}, {{25, 8}},
       {}, {}},
      {"top", {{"toph", "w-road", 17}}, {1}, {}, {}, {{8, 30}}},
      {"last", {}, {}, {}, {}, {{10, 25}}},
  };
  return places;
}

bool IsPlace(const std::string& map) {
  for (const Place& p : Places())
    if (p.name == map) return true;
  return false;
}

// Every exit line of these maps, the field's doors into them included.
std::vector<ExitLine> AllExits() {
  std::vector<ExitLine> all;
  for (const Place& p : Places()) {
    const auto lines = world::ExitsFile(p.name);
    all.insert(all.end(), lines.begin(), lines.end());
  }
  return all;
}

class WorldBTest : public testing::HeadlessGame {
 protected:
  // Loads a map and its people; `standing` gets the cells of those who never move.
  void Load(const std::string& map) {
    ASSERT_TRUE(std::filesystem::exists(GamePath("map/" + map + ".map"))) << map;
    MapLoad(map);
    CharCount = 0;
    CharaSet(map);
    standing_.clear();
    for (int i = 0; i < CharCount; ++i)
      if (!Chars(i).walks) standing_.insert({Chars(i).x, Chars(i).y});
  }
  // The exit cells of a map: the from-cells of its lines, and every exit_* mark.
  std::set<Cell> ExitCells(const std::string& map) {
    std::set<Cell> cells;
    for (const ExitLine& e : all_)
      if (e.from_map == map)
        if (auto c = ResolveCell(map, e.from_cell)) cells.insert(*c);
    for (const auto& [name, c] : world::Marks(map))
      if (StartsWith(name, "exit_")) cells.insert(c);
    return cells;
  }
  // Where the hero can walk from any landing of the loaded map.
  std::set<Cell> Walked(const std::string& map, const std::vector<Cell>& extra = {}) {
    std::set<Cell> all;
    std::vector<Cell> from = extra;
    for (const ExitLine& e : all_)
      if (e.to_map == map)
        if (auto c = ResolveCell(map, e.to_cell)) from.push_back(*c);
    for (const Cell& c : from) {
      const auto r = Reachable(c, ExitCells(map), standing_);
      all.insert(r.begin(), r.end());
    }
    return all;
  }
  bool Walkable(Cell c) const { return !(MapData(c.x, c.y).attr & kAttrBlocked); }
  bool InMargin(Cell c) const { return c.x >= 8 && c.y >= 8 && c.x <= MapWidth - 9 && c.y <= MapHeight - 9; }
  int CharAt(Cell c) const {
    for (int i = 0; i < CharCount; ++i)
      if (Chars(i).x == c.x && Chars(i).y == c.y) return i;
    return -1;
  }
  int CharByTalk(int talk) const {
    for (int i = 0; i < CharCount; ++i)
      if (Chars(i).talk == talk) return i;
    return -1;
  }

  std::vector<ExitLine> all_ = AllExits();
  std::set<Cell> standing_;
};

TEST_F(WorldBTest, ExitsTablesHoldTheAtlasDoorsAndLeadToGoodCells) {
  for (const ExitLine& e : all_) ASSERT_GE(e.area, 0) << e.file << ":" << e.line << " does not parse";
  std::map<std::string, std::multiset<Door>> doors;
  for (const ExitLine& e : all_) {
    SCOPED_TRACE(e.file + ":" + std::to_string(e.line));
    if (e.from_map != "field") {
      EXPECT_EQ(e.file, e.from_map + ".exits") << "a line lives in the file of its map";
      doors[e.from_map].insert({e.to_map, e.music, e.area});
    } else {
      EXPECT_EQ(e.file, e.to_map + ".exits") << "the field's doors live in the file of the map they lead to";
    }
    EXPECT_TRUE(std::filesystem::exists(GamePath("music/" + e.music + ".ogg"))) << e.music;
    const auto from = ResolveCell(e.from_map, e.from_cell);
    const auto to = ResolveCell(e.to_map, e.to_cell);
    ASSERT_TRUE(from) << e.from_cell;
    ASSERT_TRUE(to) << e.to_cell;
    MapLoad(e.from_map);
    EXPECT_TRUE(InMargin(*from) && Walkable(*from)) << "exit " << *from << " on " << e.from_map;
    MapLoad(e.to_map);
    EXPECT_TRUE(InMargin(*to) && Walkable(*to)) << "landing " << *to << " on " << e.to_map;
    const Byte t = MapData(to->x, to->y).tile;
    EXPECT_TRUE(t != 90 && t != 106 && t != 176 && t != 182 && t != 183) << "landing on behaviour tile " << int(t);
    if (IsPlace(e.to_map)) {
      EXPECT_FALSE(ExitCells(e.to_map).count(*to)) << "landing " << *to << " is an exit";
    }
  }
  for (const Place& p : Places()) EXPECT_EQ(doors[p.name], p.doors) << p.name;
  // The travel flags: into the cave of rubbish, out of the cursed town's back gate,
  // up out of the clouds; the travel point of the cavern is an event, not an exit.
  std::map<std::string, int> flags;
  for (const ExitLine& e : all_)
    if (e.flag) flags[e.from_map + ">" + e.to_map] = e.flag;
  EXPECT_EQ(flags, (std::map<std::string, int>{{"field>dngn3", 33}, {"smog>topl", 37}, {"zombi>field", 35}}));
  EXPECT_EQ(ResolveCell("dngn3", "land_field").value(), (Cell{36, 69}));
  EXPECT_EQ(ResolveCell("field", "exit_dngn3").value(), (Cell{71, 50}));
  for (const ExitLine& e : all_) {
    if (e.flag == 35) {
      EXPECT_EQ(ResolveCell("zombi", e.from_cell).value(), (Cell{54, 34}));
    }
    if (e.flag == 37) {
      EXPECT_EQ(ResolveCell("smog", e.from_cell).value(), (Cell{39, 8}));
    }
    if (e.to_map == "topl" && e.from_map == "smog") {
      EXPECT_EQ(ResolveCell("topl", e.to_cell).value(), (Cell{25, 50}));
    }
    if (e.to_map == "top") {
      EXPECT_EQ(ResolveCell("top", e.to_cell).value(), (Cell{8, 30}));
    }
    if (e.from_map == "toph" && e.to_map == "top") {
      EXPECT_EQ(ResolveCell("toph", e.from_cell).value(), (Cell{25, 8}));
    }
    if (e.to_map == "smog" && e.from_map == "topl") {
      EXPECT_EQ(ResolveCell("smog", e.to_cell).value(), (Cell{39, 9}));
    }
  }
}

TEST_F(WorldBTest, MapsKeepTheMarginAndTheirFixedPositions) {
  for (const Place& p : Places()) {
    SCOPED_TRACE(p.name);
    Load(p.name);
    int bad = 0;
    for (int x = 0; x < MapWidth; ++x)
      for (int y = 0; y < MapHeight; ++y)
        if (Walkable({x, y}) && !InMargin({x, y}) && ++bad <= 5) ADD_FAILURE() << "walkable in the margin " << Cell{x, y};
    const std::set<Cell> walked = Walked(p.name, p.landings);
    const std::set<Cell> exits = ExitCells(p.name);
    for (const Cell& c : p.step_ons) {
      EXPECT_TRUE(Walkable(c) && walked.count(c)) << "step-on " << c;
    }
    for (const Cell& c : p.bumps) {
      EXPECT_FALSE(Walkable(c)) << "bump " << c;
      const Cell side[] = {{c.x + 1, c.y}, {c.x - 1, c.y}, {c.x, c.y + 1}, {c.x, c.y - 1}};
      EXPECT_TRUE(std::any_of(std::begin(side), std::end(side), [&](Cell s) { return walked.count(s) > 0; }))
          << "nobody walks against " << c;
    }
    for (const Cell& c : p.landings) {
      EXPECT_TRUE(Walkable(c) && InMargin(c)) << "landing " << c;
      EXPECT_FALSE(exits.count(c)) << "landing " << c << " is an exit";
    }
    // Every landing can walk to a way out (the ending's summit has none).
    for (const ExitLine& e : all_) {
      if (e.to_map != p.name) continue;
      const Cell land = *ResolveCell(p.name, e.to_cell);
      const auto r = Reachable(land, exits, standing_);
      EXPECT_TRUE(std::any_of(exits.begin(), exits.end(), [&](Cell x) { return r.count(x) > 0; }))
          << "no exit can be walked to from " << land;
    }
  }
  // Positions on the margin line are the outermost walkable row or column.
  Load("top");
  for (int y = 0; y < MapHeight; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_FALSE(Walkable({x, y}));
  Load("cavity");
  EXPECT_NE(MapData(24, 18).tile, 5) << "the bridge starts broken";
  EXPECT_FALSE(ExitCells("cavity").count({25, 68})) << "the travel point is an event";
}

TEST_F(WorldBTest, GatesCloseTheWayOn) {
  // The cook: from the town the back gate is out of reach while he stands in the gap,
  // and so is the cell he steps into; once he stands there the way is open.
  Load("zombi");
  const int cook = CharByTalk(22);
  ASSERT_GE(cook, 0);
  const Cell at{Chars(cook).x, Chars(cook).y}, aside{63, Chars(cook).y};
  EXPECT_NE(at.x, 63);
  EXPECT_EQ(Chars(cook).walks, 0);
  EXPECT_TRUE(Walkable(aside));
  const std::set<Cell> exits = ExitCells("zombi");
  const Cell town = *ResolveCell("zombi", "land_gate_town"), lane = *ResolveCell("zombi", "land_back_gate");
  const Cell haunted = *ResolveCell("zombi", "land_field_haunted"), street = *ResolveCell("zombi", "land_crypt_h2");
  for (const Cell& from : {town, lane, haunted, street}) {
    const auto r = Reachable(from, exits, standing_);
    EXPECT_FALSE(r.count(aside)) << "the cook's new cell is reached from " << from;
  }
  EXPECT_FALSE(Reachable(town, exits, standing_).count({54, 34}));
  EXPECT_FALSE(Reachable(lane, exits, standing_).count(town));
  EXPECT_FALSE(Reachable(haunted, exits, standing_).count(street));
  EXPECT_FALSE(Reachable(street, exits, standing_).count(town));
  std::set<Cell> moved = standing_;
  moved.erase(at);
  moved.insert(aside);
  EXPECT_TRUE(Reachable(town, exits, moved).count({54, 34}));

  // The bridge: the far side only over the built bridge, and every way in from the
  // wall steps on the travel point.
  Load("cavity");
  const std::set<Cell> cexits = ExitCells("cavity");
  const Cell below = *ResolveCell("cavity", "land_wall"), beyond = *ResolveCell("cavity", "land_icewall");
  EXPECT_FALSE(Reachable(below, cexits, standing_).count(beyond));
  EXPECT_TRUE(Reachable(below, cexits, standing_).count({24, 19}));
  MapData(25, 68).attr |= kAttrBlocked;
  EXPECT_FALSE(Reachable(below, cexits, standing_).count({24, 19})) << "a way in passes by the travel point";
  MapData(25, 68).attr &= ~kAttrBlocked;
  MapData(24, 18).tile = 5;
  MapData(24, 18).attr &= ~kAttrBlocked;
  EXPECT_TRUE(Reachable(below, cexits, standing_).count(beyond));

  // The ice wall's boss: from the stairs the rest of the wall lies past his cell.
  Load("icewall");
  std::set<Cell> iexits = ExitCells("icewall");
  const Cell foot = *ResolveCell("icewall", "land_cavity");
  iexits.insert({16, 103});
  for (const Cell& e : ExitCells("icewall"))
    if (!(e == *ResolveCell("icewall", "exit_cavity"))) {
      EXPECT_FALSE(Reachable(foot, iexits, standing_).count(e)) << e;
    }

  // Doors that lead into the same map join parts that cannot be walked between.
  for (const std::string map : {"zombi", "wall", "icewall", "toph"}) {
    SCOPED_TRACE(map);
    Load(map);
    const std::set<Cell> ex = ExitCells(map);
    for (const ExitLine& e : all_) {
      if (e.from_map != map || e.to_map != map) continue;
      const Cell from = *ResolveCell(map, e.from_cell), to = *ResolveCell(map, e.to_cell);
      EXPECT_FALSE(Reachable(to, ex, standing_).count(from)) << e.from_cell << " leads where one can walk";
    }
  }
  // The wailing wall's tunnels lead from the way up to the summit path.
  std::map<Cell, std::vector<Cell>> tunnel;
  Load("toph");
  const std::set<Cell> tex = ExitCells("toph");
  for (const ExitLine& e : all_)
    if (e.from_map == "toph" && e.to_map == "toph")
      tunnel[*ResolveCell("toph", e.from_cell)].push_back(*ResolveCell("toph", e.to_cell));
  std::set<Cell> done, reached;
  std::vector<Cell> todo{*ResolveCell("toph", "land_topl")};
  while (!todo.empty()) {
    const Cell c = todo.back();
    todo.pop_back();
    if (!done.insert(c).second) continue;
    for (const Cell& r : Reachable(c, tex, standing_)) {
      reached.insert(r);
      for (const Cell& to : tunnel[r]) todo.push_back(to);
    }
  }
  EXPECT_TRUE(reached.count({25, 8}));
}

TEST_F(WorldBTest, PeopleAndChestsStandWhereTheyShould) {
  for (const Place& p : Places()) {
    SCOPED_TRACE(p.name);
    Load(p.name);
    std::set<int> talks;
    for (int i = 0; i < CharCount; ++i) talks.insert(Chars(i).talk);
    for (int t : p.talks) EXPECT_TRUE(talks.count(t)) << "talk " << t << " has nobody";
    if (p.talks.empty()) {
      EXPECT_EQ(CharCount, 0);
    }
    const std::set<Cell> walked = Walked(p.name, p.landings);
    const std::set<Cell> exits = ExitCells(p.name);
    std::set<Cell> taken;
    for (int i = 0; i < CharCount; ++i) {
      const CharRecord& ch = Chars(i);
      const Cell c{ch.x, ch.y};
      SCOPED_TRACE(::testing::Message() << "talk " << int(ch.talk) << " at " << c);
      EXPECT_TRUE(taken.insert(c).second) << "two on one cell";
      EXPECT_FALSE(exits.count(c));
      const Byte attr = MapData(c.x, c.y).attr;
      const bool hidden = (attr & 7) == 7;
      EXPECT_TRUE(Walkable(c) || hidden);
      if (ch.pic == 16 || hidden) {
        EXPECT_EQ(ch.walks, 0);
      }
      // Chests, hidden things and whoever has something to say can be walked up to
      // (the people behind the counters say nothing: the counter speaks for them).
      if (ch.pic == 16 || hidden || p.talks.count(ch.talk)) {
        const Cell side[] = {{c.x + 1, c.y}, {c.x - 1, c.y}, {c.x, c.y + 1}, {c.x, c.y - 1}};
        EXPECT_TRUE(std::any_of(std::begin(side), std::end(side), [&](Cell s) { return walked.count(s) > 0; }))
            << "nobody can reach it";
      }
    }
  }
  // Chests are chests, the hidden ones hide, the skull rocks are rocks.
  Load("zombi");
  for (int t : {13, 14, 15, 16, 17, 29}) EXPECT_EQ(Chars(CharByTalk(t)).pic, 16) << t;
  for (int t : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 30, 31}) {
    const CharRecord& ch = Chars(CharByTalk(t));
    EXPECT_EQ(MapData(ch.x, ch.y).attr & 7, 7) << "talk " << t << " is seen";
  }
  Load("dngn3");
  for (int t = 1; t <= 7; ++t) EXPECT_EQ(Chars(CharByTalk(t)).pic, 16) << t;
  // The drill lies beyond the 3000 gold: the way to it passes beside that chest.
  const CharRecord& gold = Chars(CharByTalk(4));
  const CharRecord& drill = Chars(CharByTalk(5));
  std::set<Cell> fenced = standing_;
  for (const Cell& s : {Cell{gold.x + 1, gold.y}, Cell{gold.x - 1, gold.y}, Cell{gold.x, gold.y + 1}, Cell{gold.x, gold.y - 1}})
    fenced.insert(s);
  const auto r = Reachable(*ResolveCell("dngn3", "land_field"), ExitCells("dngn3"), fenced);
  for (const Cell& s : {Cell{drill.x + 1, drill.y}, Cell{drill.x - 1, drill.y}, Cell{drill.x, drill.y + 1}, Cell{drill.x, drill.y - 1}})
    EXPECT_FALSE(r.count(s)) << "the drill is reached without passing the gold at " << s;
}

TEST_F(WorldBTest, TheEndingWalksFreely) {
  // The summit: wherever the hero can stand to speak to the being, the seven cells
  // straight up are free once he is gone (x = 100, off a map at most 100 wide).
  Load("top");
  EXPECT_LE(MapWidth, 100);
  const int boss = CharByTalk(1);
  ASSERT_GE(boss, 0);
  EXPECT_EQ(Chars(boss).walks, 0);
  EXPECT_EQ(Chars(boss).pic, 21);
  const Cell b{Chars(boss).x, Chars(boss).y};
  const std::set<Cell> walked = Walked("top", {{8, 30}});
  int talk_cells = 0;
  for (const Cell& s : {Cell{b.x + 1, b.y}, Cell{b.x - 1, b.y}, Cell{b.x, b.y + 1}, Cell{b.x, b.y - 1}}) {
    if (!walked.count(s)) continue;
    ++talk_cells;
    for (int k = 1; k <= 7; ++k) {
      const Cell up{s.x, s.y - k};
      EXPECT_TRUE(Walkable(up) && InMargin(up)) << "step " << k << " from " << s << " meets a wall";
      EXPECT_TRUE(CharAt(up) < 0 || CharAt(up) == boss) << "someone stands in the way at " << up;
    }
  }
  EXPECT_GT(talk_cells, 0);
  // The summit again: no block of people (not even the being), a clear route.
  CharaSet("last");
  EXPECT_EQ(CharCount, 0) << "last needs its own, empty block";
  MapLoad("last");
  const char* route = "UUUURUURUUURUUUUUU";
  Cell c{10, 25};
  EXPECT_TRUE(Walkable(c));
  for (const char* m = route; *m; ++m) {
    c = *m == 'U' ? Cell{c.x, c.y - 1} : Cell{c.x + 1, c.y};
    EXPECT_TRUE(Walkable(c) && InMargin(c)) << c;
    const Byte t = MapData(c.x, c.y).tile;
    EXPECT_TRUE(t != 106 && t != 176 && t != 182 && t != 183 && t != 90) << c << " tile " << int(t);
  }
  EXPECT_EQ(c, (Cell{13, 10}));
}

}  // namespace
}  // namespace ardo
