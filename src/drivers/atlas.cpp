// The autopilot's atlas: the maps and the people as the game folder has them, the exits
// between the maps, and the hero's way across them.
#include "drivers/atlas.h"

#include <algorithm>

#include "events/events.h"
#include "events/story.h"

namespace ardo::autopilot {

int Atlas::Id(const std::string& name) {
  auto it = ids_.find(name);
  if (it != ids_.end()) return it->second;
  const int id = static_cast<int>(maps_.size());
  ids_[name] = id;
  maps_.push_back(Load(name));
  return id;
}

bool Atlas::IndexExits() {
  if (indexed_ || ExitTable.empty()) return false;
  indexed_ = true;
  for (const ExitRecord& e : ExitTable) {
    const int from = Id(e.map);
    maps_[static_cast<size_t>(from)].exits[e.x * 256 + e.y] = Exit{Id(e.to), e.toX, e.toY};
  }
  return true;
}

MapInfo Atlas::Load(const std::string& name) {
  MapInfo m;
  m.name = name;
  // A map too short for its header is a map of no cells; one cut short has walls beyond its end.
  const MapFile file = ReadMapFile(name);
  if (file.status == FileStatus::kOk && file.bytes >= 16) {
    m.w = file.width;
    m.h = file.height;
    m.cells = file.cells;
    m.cells.resize(static_cast<size_t>(m.w) * static_cast<size_t>(m.h));
  }
  // A broken people table: the people read whole before the fault are what the hero knows of.
  for (const PersonRecord& p : ReadPeople(name).people) m.people.push_back(Person{p.talk, p.x, p.y, p.walks});
  return m;
}

bool Atlas::Free(int m, int x, int y) const {
  const MapInfo& info = map(m);
  if (x < 0 || y < 0 || x >= info.w || y >= info.h) return false;
  const bool here = info.name == MapName;
  MapCell c = here ? MapData(x, y) : info.cells[static_cast<size_t>(x) * info.h + static_cast<size_t>(y)];
  if ((c.attr & kAttrBlocked) != 0) {
    const bool rock = (c.tile == 95 || c.tile == 111) && CountItem(story::kDrill) > 0;
    // The mended bridge is laid again whenever the map is loaded with the board carried.
    const bool bridge = !here && info.name == "cavity" && x == 24 && y == 18 && Flag(story::kBridgeSeen) != 0 &&
                        CountItem(story::kCuttingBoard) > 0;
    if (!rock && !bridge) return false;
  }
  if (here) {
    for (int k = 0; k < CharCount; ++k) {
      if (Chars(k).x == x && Chars(k).y == y && !StepsAside(info.name, Chars(k).talk)) return false;
    }
  } else {
    for (const Person& p : info.people) {
      if (p.walks == 0 && p.x == x && p.y == y && !StepsAside(info.name, p.talk)) return false;
    }
  }
  return true;
}

bool Atlas::StepsAside(const std::string& map, int talk) const {
  for (const Gate& g : gates_) {
    if (g.map == map && g.talk == talk && Flag(g.flag) != 0) return true;
  }
  return false;
}

bool PersonAt(int x, int y) {
  for (int k = 0; k < CharCount; ++k) {
    if (Chars(k).x == x && Chars(k).y == y) return true;
  }
  return false;
}

int PersonHere(int talk) {
  for (int k = 0; k < CharCount; ++k) {
    if (Chars(k).talk == talk) return k;
  }
  return -1;
}

int CountItem(int id) {
  int n = 0;
  for (Byte b : Player.items) n += b == id ? 1 : 0;
  return n;
}

void PathFinder::Reserve(const Atlas& atlas) {
  base_.assign(1, 0);
  for (int m = 0; m < atlas.count(); ++m) base_.push_back(base_.back() + static_cast<long>(atlas.map(m).w) * atlas.map(m).h);
  const size_t cells = static_cast<size_t>(base_.back());
  if (prev_.size() < cells) {
    prev_.assign(cells, -1);
    seen_.assign(cells, 0);
    stamp_ = 0;
  }
}

bool PathFinder::Find(Atlas& atlas, const std::function<bool(const Node&)>& goal, std::vector<Node>* path) {
  const int here = atlas.Id(MapName);
  Reserve(atlas);
  ++stamp_;
  auto inside = [&](const Node& n) {
    const MapInfo& info = atlas.map(n.m);
    return n.x >= 0 && n.y >= 0 && n.x < info.w && n.y < info.h;
  };
  auto index = [&](const Node& n) { return base_[static_cast<size_t>(n.m)] + n.x * atlas.map(n.m).h + n.y; };
  auto node = [&](long at) {
    const int m = static_cast<int>(std::upper_bound(base_.begin(), base_.end(), at) - base_.begin()) - 1;
    const long cell = at - base_[static_cast<size_t>(m)];
    const int h = atlas.map(m).h;
    return Node{m, static_cast<int>(cell / h), static_cast<int>(cell % h)};
  };
  path->clear();
  const Node start{here, Player.x, Player.y};
  if (!inside(start)) return false;  // a map the atlas could not read: no way known
  std::deque<Node> queue{start};
  seen_[static_cast<size_t>(index(start))] = stamp_;
  prev_[static_cast<size_t>(index(start))] = -1;
  while (!queue.empty()) {
    const Node n = queue.front();
    queue.pop_front();
    if (goal(n)) {
      for (long at = index(n); at >= 0; at = prev_[static_cast<size_t>(at)]) path->push_back(node(at));
      std::reverse(path->begin(), path->end());
      return true;
    }
    const MapInfo& info = atlas.map(n.m);
    for (int d = 0; d < 4; ++d) {
      const int nx = n.x + kDx[d], ny = n.y + kDy[d];
      Node next{n.m, nx, ny};
      auto exit = info.exits.find(nx * 256 + ny);
      if (exit != info.exits.end() && n.m == here && PersonAt(nx, ny)) continue;  // someone in the door
      if (exit != info.exits.end()) {
        next = Node{exit->second.to, exit->second.x, exit->second.y};
        if (!inside(next)) continue;
      } else if (!atlas.Free(n.m, nx, ny)) {
        continue;
      }
      const long i = index(next);
      if (seen_[static_cast<size_t>(i)] == stamp_) continue;
      seen_[static_cast<size_t>(i)] = stamp_;
      prev_[static_cast<size_t>(i)] = static_cast<std::int32_t>(index(n));
      queue.push_back(next);
    }
  }
  path->clear();
  return false;
}

int StepToward(const Atlas& atlas, int here, const Node& next) {
  const MapInfo& info = atlas.map(here);
  for (int d = 0; d < 4; ++d) {
    const int x = Player.x + kDx[d], y = Player.y + kDy[d];
    auto e = info.exits.find(x * 256 + y);
    if (e != info.exits.end()) {
      if (e->second.to == next.m && e->second.x == next.x && e->second.y == next.y) return d;
    } else if (next.m == here && next.x == x && next.y == y) {
      return d;
    }
  }
  return -1;
}

}  // namespace ardo::autopilot
