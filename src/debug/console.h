// The debug console: a second window with a command line over the game state.
#pragma once

#include <string>

namespace ardo {

void Debugging(int mode);
void DebugPrint(const std::string& line);
// Opens the console window (Ctrl+D in the game window).
void ShowDebugWindow();

}  // namespace ardo
