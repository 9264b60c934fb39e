// ardo: a top-down role-playing game.
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "game/program.h"
#include "core/core.h"
#include "platform/platform.h"

namespace {

void PrintHelp() {
  std::printf(
      "Usage: ardo [options]\n"
      "\n"
      "  --data DIR      the game folder (default: the program's own folder, else\n"
      "                  ../share/ardo beside it)\n"
      "  --settings FILE the settings file (default: $XDG_CONFIG_HOME/ardo/settings.ini,\n"
      "                  that is ~/.config/ardo/settings.ini; headless runs read none unless given)\n"
      "  --scale N       window scale 1-8 (default: the largest that fits the desktop)\n"
      "  --lang ja|en    the language of the texts (default: the settings' [game] language, else ja)\n"
      "  --headless      no window and no sound; a virtual clock (for scripts and tests)\n"
      "  --seed N        start the random generator from N (default: the clock); every\n"
      "                  random number of the run comes from this one seed\n"
      "  --script FILE   drive a headless run from a script (see README)\n"
      "  --map NAME [X Y]  start on a map instead of the title screen\n"
      "  --new-game      start a new game at once (no logo, title or opening)\n"
      "  --frames N      every soak command of the script runs N frames (see README)\n"
      "  --autopilot     let the autopilot play the whole game and report (with --headless:\n"
      "                  in virtual time); --route FILE plays another route; --novice\n"
      "                  plays it as a newcomer would (no grinding, only what comes)\n"
      "  --record FILE   write this session, every input at the event point it came at,\n"
      "                  as a script that replays it exactly headless (see README)\n"
      "  --verbose       also write every fault of error.log to stderr\n"
      "  --help          this text\n"
      "  --version       the version\n"
      "\n"
      "Keys: arrows or keypad 2/4/6/8 walk; X or Enter talk and choose; Z or Space open the menu\n"
      "and cancel; C or Shift dash; F or Alt+Enter full screen; right click to quit.\n"
      "Keys and pad buttons can be rebound in settings.ini.\n"
      "\n"
      "Saves (save/1.vkd ... save/9.vkd) and error.log stay in the game folder when the\n"
      "program runs from its own writable folder; an installed game keeps them in\n"
      "$XDG_DATA_HOME/ardo (that is ~/.local/share/ardo).\n");
}

std::string ProgramFolder(const char* argv0) {
  char buf[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n > 0) {
    buf[n] = '\0';
    return std::filesystem::path(buf).parent_path().string();
  }
  return std::filesystem::absolute(argv0).parent_path().string();
}

// A whole number from lo to hi. Checked in 64 bits: a long has only 32 on some targets.
bool ParseNumber(const char* s, std::int64_t lo, std::int64_t hi, std::int64_t* out) {
  char* end = nullptr;
  errno = 0;
  const std::int64_t v = std::strtoll(s, &end, 10);
  if (end == s || *end != '\0' || errno == ERANGE || v < lo || v > hi) return false;
  *out = v;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  ardo::RunOptions options;
  options.program_folder = ProgramFolder(argv[0]);
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto need = [&](const char* what) -> const char* {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "ardo: %s needs %s\n", a.c_str(), what);
        std::exit(2);
      }
      return argv[++i];
    };
    std::int64_t v = 0;
    if (a == "--help" || a == "-h") {
      PrintHelp();
      return 0;
    } else if (a == "--version") {
      std::printf("ardo %s\n", ARDO_VERSION);
      return 0;
    } else if (a == "--data") {
      options.data_dir = need("a folder");
    } else if (a == "--settings") {
      options.settings = need("a file");
    } else if (a == "--headless") {
      options.headless = true;
    } else if (a == "--seed") {
      if (!ParseNumber(need("a number"), 0, UINT32_MAX, &v)) {
        std::fprintf(stderr, "ardo: --seed needs a number from 0 to 4294967295\n");
        return 2;
      }
      options.seed = static_cast<std::uint32_t>(v);
      options.seed_given = true;
    } else if (a == "--script") {
      options.script = need("a file");
    } else if (a == "--record") {
      options.record = need("a file");
    } else if (a == "--verbose") {
      options.verbose = true;
    } else if (a == "--lang") {
      options.language = need("ja or en");
    } else if (a == "--scale") {
      if (!ParseNumber(need("a number"), 1, 8, &v)) {
        std::fprintf(stderr, "ardo: --scale needs a number from 1 to 8\n");
        return 2;
      }
      options.scale = static_cast<int>(v);
    } else if (a == "--frames") {
      if (!ParseNumber(need("a number"), 1, 1000000000, &v)) {
        std::fprintf(stderr, "ardo: --frames needs a number from 1 to 1000000000\n");
        return 2;
      }
      options.soak_frames = static_cast<long>(v);
    } else if (a == "--autopilot") {
      options.autopilot = true;
    } else if (a == "--novice") {
      options.novice = true;
    } else if (a == "--route") {
      options.route = need("a route file");
    } else if (a == "--new-game") {
      options.new_game = true;
    } else if (a == "--map") {
      options.first_map = need("a map name");
      std::int64_t x = 0, y = 0;
      if (i + 2 < argc && ParseNumber(argv[i + 1], 0, 255, &x) && ParseNumber(argv[i + 2], 0, 255, &y)) {
        options.first_x = static_cast<int>(x);
        options.first_y = static_cast<int>(y);
        i += 2;
      }
    } else {
      std::fprintf(stderr, "ardo: unknown option '%s' (try --help)\n", a.c_str());
      return 2;
    }
  }
  if (options.novice && !options.autopilot) {
    std::fprintf(stderr, "ardo: --novice goes with --autopilot\n");
    return 2;
  }
  if (!options.script.empty() && !options.headless) {
    std::fprintf(stderr, "ardo: --script runs only with --headless\n");
    return 2;
  }
  if (options.autopilot && (!options.script.empty() || !options.record.empty() || !options.first_map.empty() ||
                            options.new_game)) {
    std::fprintf(stderr, "ardo: --autopilot plays from the title; it does not go with --script, --record, --map or --new-game\n");
    return 2;
  }
  if (!options.record.empty() && options.headless) {
    std::fprintf(stderr, "ardo: --record records a desktop session; it does not run with --headless\n");
    return 2;
  }
  return ardo::RunProgram(options);
}
