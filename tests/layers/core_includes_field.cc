// layers: core middle
// Must not build: the foundation cannot see the subsystems.
#include "field/field.h"
