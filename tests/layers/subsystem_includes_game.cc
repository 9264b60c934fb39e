// layers: middle game
// Must not build: the subsystems cannot see the game.
#include "game/program.h"
