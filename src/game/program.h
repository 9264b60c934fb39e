// The game: start-up, the field loop and how a run starts; and the program on top,
// which reads the options and runs the game with the driver they ask for
// (drivers/drivers.h). Nothing below the game includes it.
#pragma once

#include <functional>
#include <string>

#include "core/core.h"

namespace ardo {

struct RunOptions {
  std::string data_dir;     // empty: found from program_folder (see FindGameFolder)
  std::string program_folder;  // where the program itself is
  std::string settings;     // settings.ini to use (desktop default: the player's config folder)
  bool headless = false;
  std::uint32_t seed = 0;
  bool seed_given = false;
  std::string script;       // headless script file
  std::string record;       // desktop: write the session as a script to this file
  bool verbose = false;     // faults are also written to stderr
  int scale = 0;
  std::string language;     // --lang: ja or en (wins over the settings; anything else is ja)
  std::string first_map;    // start straight on a map (tests and the debug start)
  int first_x = -1, first_y = -1;
  bool new_game = false;    // start a new game at once: no logo, title or opening
  long soak_frames = 0;     // --frames: the length of every soak in the script
  bool autopilot = false;   // the autopilot plays the game (route: autopilot/route.txt, or `route`)
  std::string route;
  bool novice = false;      // --novice: the autopilot plays as a newcomer (no grinding)
};

// Runs the whole program; returns the process exit status.
int RunProgram(const RunOptions& options);

void SubMain();
void Initialize();
void MainLoop();

// Called at every event point after the frame is presented (the session recorder).
void SetEventPointObserver(std::function<void()> observer);
// True at the event point of the field loop, right before it reads the keys (the autopilot).
bool FieldLoopWaiting();

// Puts every subsystem's program-wide state back to its start-up value (tests).
void ResetAllState();

// The title sequence, or (for tests and the debug start) straight onto a map.
void StartFirstScene();

// Where a run should start when it bypasses the title.
struct FirstScene {
  std::string map;
  int x = -1;
  int y = -1;
  bool new_game = false;  // a new game at once, without logo, title and opening
};
void SetFirstScene(FirstScene scene);

}  // namespace ardo
