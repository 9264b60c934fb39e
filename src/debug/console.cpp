// The debug console arrives with its own work; the position report is kept so the
// console can show it from the first step.
#include "debug/console.h"

#include "core/core.h"

namespace ardo {

namespace {
std::string g_output;
}

void DebugPrint(const std::string& line) { g_output = line + "\r\n" + g_output.substr(0, 142); }

void Debugging(int mode) {
  if (mode != 0) return;
  g_output = "Position : " + std::to_string(Player.x) + "," + std::to_string(Player.y) + "\r\n" + g_output.substr(0, 512);
}

void ShowDebugWindow() {}

}  // namespace ardo
