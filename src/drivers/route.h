// The autopilot's route (autopilot/route.txt): one goal a line, read into a list of
// goals the pilot plays in order.
#pragma once

#include <string>
#include <vector>

namespace ardo::autopilot {

enum class GoalKind { kChapter, kGo, kTouch, kTalk, kKeep, kSave, kBoss, kExpect, kGrind, kInn, kGate, kHint, kEnd };

struct Goal {
  GoalKind kind = GoalKind::kGo;
  int line = 0;
  std::string text;  // the line as written (for reports)
  std::string map;
  int x = 0, y = 0;   // cell; talk: x is the talk number; keep: x item, y count; grind: x level;
                      // hint: x the enemy, y the spell
  int x2 = 0, y2 = 0; // grind: the cell to walk about; gate: y is the flag
  std::string name;   // chapter or boss
  std::vector<std::string> conds;   // expect
  std::vector<std::string> when;    // played only when all hold ("if")
  std::vector<std::string> unless;  // skipped when all hold ("unless")
};

// Reads a route; false with one line per problem ("NAME:LINE: reason") in error.
bool ParseRoute(const std::string& text, const std::string& name, std::vector<Goal>* goals, std::string* error);

}  // namespace ardo::autopilot
