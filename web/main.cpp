// The game in a browser: the content is packaged at /game, the saves and settings live in
// the browser's storage (mounted by web/ardo-pre.js). There is no program to end: when the
// player quits, the game starts again from the logo and the title.
#include "game/program.h"

int main() {
  ardo::RunOptions options;
  options.data_dir = "/game";
  options.scale = 1;  // the page scales the picture by whole pixels
  for (;;) {
    ardo::RunProgram(options);
    ardo::ResetAllState();
  }
}
