// The autopilot: plays the whole game from the title screen to the staff roll with the
// player's keys only. It reads what a player sees (the map, the hero, the people, the
// windows, the message, the battle) and presses keys through the platform; it follows a
// route written as data (autopilot/route.txt in the game folder) and reports as it goes.
#pragma once

#include <memory>
#include <string>

namespace ardo {

class Autopilot {
 public:
  virtual ~Autopilot() = default;
  // Starts watching the game's event points and pressing keys.
  virtual void Attach() = 0;
  // 0 when the route was played to its end, 1 when the autopilot got stuck or failed.
  virtual int exit_status() const = 0;
};

// Reads a route; null and one line per problem ("FILE:LINE: reason") on failure. A novice
// plays the same route as a newcomer would: no grinding, only the battles on his way.
std::unique_ptr<Autopilot> LoadAutopilot(const std::string& route_path, std::string* error, bool novice = false);

}  // namespace ardo
