// layers: game drivers
// Must not build: the game cannot see the drivers that play it.
#include "drivers/drivers.h"
