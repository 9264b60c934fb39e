// What the autopilot's hero knows of the world: every map's cells (from the map files),
// the people who stand still (from the people table), the exits, and the way from his
// cell to any other over all of them.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "field/field.h"

namespace ardo::autopilot {

constexpr int kDx[4] = {0, 0, -1, 1};  // down, up, left, right: the hero's facings
constexpr int kDy[4] = {1, -1, 0, 0};

struct Person {
  int talk, x, y, walks;
};

// Where an exit's cell leads: a map of the atlas and a cell.
struct Exit {
  int to = 0;
  int x = 0, y = 0;
};

struct MapInfo {
  std::string name;
  int w = 0, h = 0;
  std::vector<MapCell> cells;  // column by column, as in the file
  std::vector<Person> people;
  std::unordered_map<int, Exit> exits;  // x * 256 + y

  bool IsExit(int x, int y) const { return exits.count(x * 256 + y) != 0; }
};

// A cell of a map of the atlas.
struct Node {
  int m = 0, x = 0, y = 0;
  bool operator==(const Node& o) const { return m == o.m && x == o.x && y == o.y; }
};

class Atlas {
 public:
  // The map's number, read from the game folder when it is new.
  int Id(const std::string& name);
  const MapInfo& map(int id) const { return maps_[static_cast<size_t>(id)]; }
  int count() const { return static_cast<int>(maps_.size()); }
  // Exits point at maps by name: index them once the table is there (true when this
  // call did it: every map an exit names is read now).
  bool IndexExits();

  // A person who lets the hero by once `flag` is set (the route's `gate`).
  void AddGate(const std::string& map, int talk, int flag) { gates_.push_back(Gate{map, talk, flag}); }

  // Can the hero step onto cell (x, y) of map m? The map he is on is seen as it is now
  // (its cells and its people where they stand); the others as their files have them.
  bool Free(int m, int x, int y) const;

 private:
  struct Gate {
    std::string map;
    int talk = 0;
    int flag = 0;
  };
  bool StepsAside(const std::string& map, int talk) const;
  static MapInfo Load(const std::string& name);

  std::map<std::string, int> ids_;
  std::deque<MapInfo> maps_;  // references stay good as maps are added
  bool indexed_ = false;
  std::vector<Gate> gates_;
};

// Someone of the current map stands on (x, y).
bool PersonAt(int x, int y);
// The person with talk number `talk` on the current map, or -1.
int PersonHere(int talk);
// How many of item `id` the hero carries.
int CountItem(int id);

// Breadth first over every map of the atlas: a step into an exit's cell lands on its target.
// Its tables hold each map's own cells, one map after another (a few hundred kilobytes for
// the whole world, where one 256 x 256 page a map took 14 MB).
class PathFinder {
 public:
  // Sizes the tables for every map the atlas holds, so that a search allocates nothing
  // unless the atlas has grown since.
  void Reserve(const Atlas& atlas);
  // Fills path with the cells to stand on, from the hero's cell to the first one `goal`
  // accepts; false (and path empty) when none can be reached.
  bool Find(Atlas& atlas, const std::function<bool(const Node&)>& goal, std::vector<Node>* path);

 private:
  std::vector<long> base_;  // the first cell of each map in the tables; then the total
  std::vector<std::int32_t> prev_;
  std::vector<std::uint32_t> seen_;
  std::uint32_t stamp_ = 0;
};

// The facing that takes the hero from his cell on map `here` to `next`: a neighbour, or
// the landing of the exit beside him. -1 when neither.
int StepToward(const Atlas& atlas, int here, const Node& next);

}  // namespace ardo::autopilot
