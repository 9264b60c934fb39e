// Helpers for the tests over the world's maps: cells, the walk-to flood fill, the
// marks of a map source and the exits tables next to the maps.
#pragma once

#include <fstream>
#include <map>
#include <optional>
#include <ostream>
#include <queue>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "field/field.h"

namespace ardo::world {

struct Cell {
  int x;
  int y;
  bool operator<(const Cell& o) const { return x != o.x ? x < o.x : y < o.y; }
  bool operator==(const Cell& o) const { return x == o.x && y == o.y; }
};

inline std::ostream& operator<<(std::ostream& os, const Cell& c) { return os << "(" << c.x << ", " << c.y << ")"; }

// Where the hero can walk to from `from` on the loaded map, as a set of cells. He
// cannot enter blocked cells or cells where a character stands still, and an exit
// takes him off the map, so exits are reached but not walked through.
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

// One line of an exits table (assets/maps/NAME.exits).
struct ExitLine {
  std::string file;
  int line = 0;
  std::string from_map, from_cell, to_map, to_cell, music;
  int area = -1;
  int flag = 0;  // 0: none
};

// The lines of assets/maps/NAME.exits; a line that does not parse has area -1.
inline std::vector<ExitLine> ExitsFile(const std::string& name) {
  std::vector<ExitLine> lines;
  std::ifstream in(std::string(ARDO_SOURCE_DIR) + "/assets/maps/" + name + ".exits");
  std::string text;
  int number = 0;
  while (std::getline(in, text)) {
    ++number;
    text = text.substr(0, text.find('#'));
    std::istringstream words(text);
    ExitLine e;
    e.file = name + ".exits";
    e.line = number;
    if (!(words >> e.from_map)) continue;
    std::string area, word;
    if (!(words >> e.from_cell >> e.to_map >> e.to_cell >> e.music >> area)) {
      lines.push_back(e);
      continue;
    }
    try {
      e.area = std::stoi(area);
    } catch (...) {
      e.area = -1;
    }
    if (words >> word) {
      if (word != "flag" || !(words >> e.flag)) e.area = -1;
    }
    lines.push_back(e);
  }
  return lines;
}

// A cell named by a mark of the map's source or written "X,Y".
inline std::optional<Cell> ResolveCell(const std::string& map, const std::string& cell) {
  const auto comma = cell.find(',');
  if (comma != std::string::npos) {
    try {
      return Cell{std::stoi(cell.substr(0, comma)), std::stoi(cell.substr(comma + 1))};
    } catch (...) {
      return std::nullopt;
    }
  }
  const auto marks = Marks(map);
  const auto it = marks.find(cell);
  if (it == marks.end()) return std::nullopt;
  return it->second;
}

}  // namespace ardo::world
