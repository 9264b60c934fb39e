// Running the program: the game folder, the platform, the seed and the script.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <utility>

#include "battle/battle.h"
#include "debug/console.h"
#include "drivers/drivers.h"
#include "events/events.h"
#include "field/field.h"
#include "game/paths.h"
#include "game/program.h"
#include "game/settings.h"
#include "items/items.h"
#include "presentation/presentation.h"
#include "save/save.h"
#include "sound/sound.h"
#include "ui/ui.h"

namespace ardo {

int RunProgram(const RunOptions& options) {
  bool installed = false;
  if (!options.data_dir.empty()) {
    SetAppPath(options.data_dir);
  } else if (!options.program_folder.empty()) {
    SetAppPath(FindGameFolder(options.program_folder));
    installed = AppPath() != options.program_folder;
  }
  std::error_code ec;
  if (!std::filesystem::is_directory(GamePath("map"), ec)) {
    std::fprintf(stderr, "ardo: %s: not a game folder (no map/ inside); use --data DIR\n", AppPath().c_str());
    return 2;
  }
  if (!options.first_map.empty() && options.first_x >= 0 && options.first_y >= 0) {
    std::string why;
    if (!CellToStandOn(options.first_map, options.first_x, options.first_y, &why)) {
      std::fprintf(stderr, "ardo: --map: %s\n", why.c_str());
      return 2;
    }
  }
  SetWriteFolder(ChooseWriteFolder(AppPath(), installed));
  std::filesystem::create_directories(WritePath("save"), ec);

  if (options.verbose) {
    SetFaultListener([](std::string_view source, const Fault& f) {
      std::fprintf(stderr, "ardo: %.*s Error: %d %s\n", static_cast<int>(source.size()), source.data(), f.number,
                   f.description.c_str());
    });
  }

  // The player's settings. Headless runs repeat exactly: they read a settings file
  // only when one is given.
  std::string settings_path = options.settings;
  if (settings_path.empty() && !options.headless && !UserConfigFolder().empty()) {
    settings_path = UserConfigFolder() + "/settings.ini";
  }
  const Settings settings = settings_path.empty() ? Settings{} : LoadSettings(settings_path);
  Language language = settings.language;
  if (!options.language.empty() && !ParseLanguage(options.language, &language)) {
    language = Language::kJapanese;
    Fault f = Fault::Of(err::kInvalidCall);
    f.description += " (--lang " + options.language + ": not ja or en; the game speaks Japanese)";
    LogError("Language", f);
  }
  SetGameLanguage(language);
  platform::SetMessageBoxCancelLabel(Word(Say::kBoxCancel));

  std::unique_ptr<ScriptRunner> script;
  if (!options.script.empty()) {
    std::string error;
    script = LoadScript(options.script, &error);
    if (!script) {
      std::fprintf(stderr, "%s", error.c_str());
      return 2;
    }
  }

  std::unique_ptr<Autopilot> pilot;
  if (options.autopilot) {
    std::string error;
    pilot = LoadAutopilot(options.route.empty() ? GamePath("autopilot/route.txt") : options.route, &error,
                          options.novice);
    if (!pilot) {
      std::fprintf(stderr, "%s", error.c_str());
      return 2;
    }
  }

  platform::PlatformOptions po;
  po.headless = options.headless;
  po.scale = options.scale != 0 ? options.scale : settings.scale;
  po.title = Word(Say::kGameTitle);
  po.icon_path = GamePath("graphics/icon.png");
  std::string error;
  auto p = platform::CreatePlatform(po, &error);
  if (!p) {
    std::fprintf(stderr, "ardo: %s\n", error.c_str());
    return 2;
  }
  platform::SetPlatform(p.get());
  ApplySettings(settings);
  // The one seed of the run: a run is its seed and its inputs.
  const auto clock = static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
  const std::uint32_t seed = options.seed_given ? options.seed
                             : options.headless ? 0u
                                                : static_cast<std::uint32_t>(clock ^ (clock >> 32)) ^ 0x5eedu;
  SeedRandom(seed);
  if (!options.record.empty()) {
    std::string replay = " --seed " + std::to_string(seed);
    if (!options.first_map.empty()) {
      replay += " --map " + options.first_map;
      if (options.first_x >= 0 && options.first_y >= 0) {
        replay += " " + std::to_string(options.first_x) + " " + std::to_string(options.first_y);
      }
    }
    if (language != Language::kJapanese) replay += std::string(" --lang ") + LanguageCode(language);
    // The replay walks with the same key bindings.
    if (!settings_path.empty()) replay += " --settings " + settings_path;
    std::string why;
    if (!StartRecording(options.record, replay, &why)) {
      std::fprintf(stderr, "ardo: %s\n", why.c_str());
      platform::SetPlatform(nullptr);
      return 2;
    }
  }
  SetSoakFrames(options.soak_frames);
  if (script) script->Attach(p->headless());
  if (pilot) pilot->Attach();
  SetFirstScene(FirstScene{options.first_map, options.first_x, options.first_y, options.new_game});

  SubMain();

  StopRecording();
  SetEventPointObserver({});
  SetFaultListener({});
  const int status = script ? script->exit_status() : pilot ? pilot->exit_status() : 0;
  SetBindings(DefaultBindings());
  platform::SetPlatform(nullptr);
  return status;
}

}  // namespace ardo
