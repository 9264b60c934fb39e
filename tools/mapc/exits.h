// The exits table: every door, stairway and warp of the world, one line per trigger
// cell in assets/maps/NAME.exits (format in assets/maps/README.md), compiled into the
// one table the game reads at start-up (data/exits.dat).
#pragma once

#include <string>
#include <vector>

namespace ardo::mapc {

// Compiles the .exits sources in the order given. Mark names are looked up in the map
// sources beside each file (NAME.txt); with a music folder, every tune must have its
// NAME.mml there. Throws tool::SourceError (file:line:col) at the first fault.
//
// The result is a text table: a header line, then one row a line,
//   from,x,y,to,x,y,music,area,flag
// with flag -1 for an exit that sets none.
std::string compile_exits(const std::vector<std::string>& paths, const std::string& music_dir);

}  // namespace ardo::mapc
