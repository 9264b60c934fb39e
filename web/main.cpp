// The game in a browser: the content is packaged at /game, the saves and settings live in
// the browser's storage (mounted by web/ardo-pre.js). There is no program to end: when the
// player quits, the game starts again from the logo and the title.
#include <string_view>

#include "game/program.h"

int main(int argc, char** argv) {
  ardo::RunOptions options;
  options.data_dir = "/game";
  options.scale = 1;  // the page scales the picture by whole pixels
  // The page passes the language the player picked on it (`--lang ja|en`); without it the
  // settings decide, as on the desktop.
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::string_view(argv[i]) == "--lang") options.language = argv[i + 1];
  }
  for (;;) {
    ardo::RunProgram(options);
    ardo::ResetAllState();
  }
}
