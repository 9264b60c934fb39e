// Private to the events code (and its tests): the cells its written-out triggers sit on.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace ardo::scenes {

// The cells of map that have a written-out event (signs, counters, scenes; not the
// exits, which come from the exits table).
std::vector<std::pair<int, int>> TriggerCells(const std::string& map);

}  // namespace ardo::scenes
