// The debug console's command line: each line of the input is one command. Commands
// that start a scene of their own (a battle, the ending) are ended after a few hundred
// event points, as closing the window would.
#include "core/core.h"
#include "debug/console.h"
#include "fuzz/fuzz.h"
#include "game/program.h"
#include "platform/platform.h"

ARDO_FUZZ_TARGET(console) {
  ardo::fuzz::Setup();
  ardo::ResetAllState();
  ardo::GameRunning = true;
  int points = 0;
  ardo::platform::GetPlatform().headless()->SetEventPointHook([&points] {
    if (++points > 300) ardo::GameRunning = false;
  });
  const std::string_view input = ardo::fuzz::Bytes(data, size);
  size_t at = 0;
  try {
    while (at <= input.size()) {
      size_t end = input.find('\n', at);
      if (end == std::string_view::npos) end = input.size();
      ardo::RunDebugCommand(std::string(input.substr(at, end - at)));
      at = end + 1;
    }
  } catch (const ardo::EndProgram&) {
  }
  ardo::platform::GetPlatform().headless()->SetEventPointHook({});
  ardo::fuzz::EndInput();
  return 0;
}
