// The music synthesiser's set-up, shared by the game's player and offline renders.
#pragma once

#include <fluidsynth.h>

namespace ardo::platform {

// The synthesiser's loudness: FluidSynth's default of 0.2 is too quiet for the tunes and
// its 1.0 clips the fuller ones; this leaves room for the effects on top.
constexpr double kMusicGain = 0.5;

// New settings for the music synthesiser at `rate` Hz (null if FluidSynth fails).
fluid_settings_t* NewMusicSettings(double rate);

}  // namespace ardo::platform
