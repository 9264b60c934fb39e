// What the map tests share: cells, the marks of a map source, and walking the loaded map.
#pragma once

#include <fstream>
#include <map>
#include <ostream>
#include <queue>
#include <set>
#include <sstream>
#include <string>

#include "core/core.h"
#include "field/field.h"

namespace ardo::maptest {

struct Cell {
  int x;
  int y;
  bool operator<(const Cell& o) const { return x != o.x ? x < o.x : y < o.y; }
  bool operator==(const Cell& o) const { return x == o.x && y == o.y; }
};

inline std::ostream& operator<<(std::ostream& os, const Cell& c) { return os << "(" << c.x << ", " << c.y << ")"; }

// Where the hero can walk to from `from` on the loaded map, as a set of cells. He cannot
// enter blocked cells or cells where a character stands still, and an exit takes him off
// the map, so exits are reached but not walked through.
inline std::set<Cell> Reachable(Cell from, const std::set<Cell>& exits, const std::set<Cell>& standing) {
  std::set<Cell> seen{from};
  std::queue<Cell> todo;
  todo.push(from);
  while (!todo.empty()) {
    const Cell c = todo.front();
    todo.pop();
    if (exits.count(c) && !(c == from)) continue;
    const Cell next[] = {{c.x + 1, c.y}, {c.x - 1, c.y}, {c.x, c.y + 1}, {c.x, c.y - 1}};
    for (const Cell& n : next) {
      if (n.x < 0 || n.y < 0 || n.x >= MapWidth || n.y >= MapHeight) continue;
      if (MapData(n.x, n.y).attr & kAttrBlocked) continue;
      if (standing.count(n) || seen.count(n)) continue;
      seen.insert(n);
      todo.push(n);
    }
  }
  return seen;
}

// The named marks of a map source ("mark NAME X Y" lines).
inline std::map<std::string, Cell> Marks(const std::string& map) {
  std::map<std::string, Cell> marks;
  std::ifstream in(std::string(ARDO_SOURCE_DIR) + "/assets/maps/" + map + ".txt");
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string directive, name;
    Cell c{};
    if (words >> directive && directive == "mark" && words >> name >> c.x >> c.y) marks[name] = c;
  }
  return marks;
}

inline bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

}  // namespace ardo::maptest
