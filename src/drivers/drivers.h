// The drivers: what plays the game in a player's place. The headless script harness,
// the session recorder, the soak (inside the harness) and the autopilot. They sit above
// the game and press keys through the platform; the program chooses one by its options.
#pragma once

#include <memory>
#include <string>

#include "core/core.h"

namespace ardo {

// The headless script harness.
class ScriptRunner {
 public:
  virtual ~ScriptRunner() = default;
  // Installs itself on the headless platform's event points.
  virtual void Attach(platform::HeadlessControl* control) = 0;
  // 0 when the script ran to its end (or quit); non-zero after a failure.
  virtual int exit_status() const = 0;
};

// Reads a script; null and one error line per problem ("FILE:LINE: message") on failure.
std::unique_ptr<ScriptRunner> LoadScript(const std::string& path, std::string* error);
std::unique_ptr<ScriptRunner> ParseScript(const std::string& text, const std::string& name, std::string* error);

// The harness's JSON dump of the game state.
std::string DumpState();
// Evaluates one harness condition (e.g. "map=town1"); false with an error for an unknown one.
bool EvalCondition(const std::string& cond, bool* ok);

// `--frames N`: every soak command of the script runs N frames instead of its own count.
void SetSoakFrames(long frames);

// The session recorder: writes the keys held at each event point as a script whose
// first line carries the options that replay it (" --seed N ...").
bool StartRecording(const std::string& path, const std::string& options, std::string* error);
void RecordEventPoint();
void StopRecording();

// The autopilot: plays the whole game from the title screen to the staff roll with the
// player's keys only. It reads what a player sees (the map, the hero, the people, the
// windows, the message, the battle) and presses keys through the platform; it follows a
// route written as data (autopilot/route.txt in the game folder) and reports as it goes.
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
