// The debug console: a second window with a command line over the game state.
//
// The console keeps its command line and its output whether or not its window is
// shown, so headless runs can drive it: text typed while it has the keyboard focus
// goes into the command line, and a line break or the Enter key runs the line.
#pragma once

#include <string>
#include <vector>

#include "platform/platform.h"

namespace ardo {

// Puts "Position : x,y" in front of the output (mode 0; other modes do nothing).
void Debugging(int mode);
// Puts a line in front of the output, keeping 142 characters of the older text.
void DebugPrint(const std::string& line);
// Opens the console window (Ctrl+D in the game window) and gives it the focus.
void ShowDebugWindow();

// Runs one command line; the command line is emptied afterwards in every case.
void RunDebugCommand(const std::string& line);
// Takes the text typed since the last call: into the command line while the console
// has the focus (a line break runs the line, a backspace deletes a character),
// otherwise it is dropped. Called at every event point.
void PumpDebugConsole();
// A key pressed while the console has the focus: Enter (13) and the keypad's
// separator (108) run the line, Backspace (8) deletes. True when the console took it.
bool DebugConsoleKey(int key);

// A click in the console window (its own pixels): on "Debug" the menu drops down with
// its one item (which does nothing); any click closes it again.
void DebugConsoleClick(int x, int y);
// The menu bar's title and the item it drops down, as the window writes them.
std::vector<std::string> DebugMenuRows();
// What the console window shows now (kConsoleWidth x kConsoleHeight).
void DrawDebugConsole(platform::Surface* s);

bool DebugWindowShown();
bool DebugConsoleFocused();
const std::string& DebugCommandLine();
const std::string& DebugOutput();
// Back to the state at start-up (hidden, empty).
void ResetDebugConsole();

}  // namespace ardo
