// Private to core: how a run starts and how the headless script drives it.
#pragma once

#include <memory>
#include <string>

#include "core/core.h"

namespace ardo {

// The title sequence, or (for tests and the debug start) straight onto a map.
void StartFirstScene();

// Where a run should start when it bypasses the title.
struct FirstScene {
  std::string map;
  int x = -1;
  int y = -1;
};
void SetFirstScene(FirstScene scene);

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

}  // namespace ardo
