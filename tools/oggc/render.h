// A tune rendered for the game: its MIDI file played through FluidSynth into audio that
// loops without a seam, and that audio as Ogg Vorbis with the loop in its comments.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ardo::oggc {

constexpr int kRate = 44100;

// The synthesiser's loudness: FluidSynth's default of 0.2 is too quiet for the tunes and
// its 1.0 clips the fuller ones; this leaves room for the effects on top.
constexpr double kMusicGain = 0.5;

// The General MIDI soundfonts looked for, best first: FluidR3 (fluid-soundfont-gm), then
// TimGM6mb, then the system's default.
const std::vector<std::string>& SoundFontCandidates();
// `wanted` if it is a file, else the first candidate that is (empty when none; *note says why).
std::string ChooseSoundFont(const std::string& wanted, const std::vector<std::string>& candidates,
                            std::string* note);

// A rendered tune: stereo float samples, interleaved. The file plays [0, loop_start)
// once, then [loop_start, loop_start + loop_length) over and over.
struct Rendered {
  std::vector<float> stereo;
  std::int64_t loop_start = 0;
  std::int64_t loop_length = 0;
};

// Plays the MIDI file once through and on into its second time (as the game used to restart
// it), so the notes of the end ring on over the new beginning: the loop is the second
// time through from `tail_seconds` on, its end blended into what precedes its start.
bool RenderTune(const std::string& soundfont, const std::vector<char>& midi, double tail_seconds,
                Rendered* out, std::string* error);

// Ogg Vorbis at `quality` (-0.1 to 1, libvorbis's VBR scale), with the loop as LOOPSTART and
// LOOPLENGTH comments in samples (which SDL_mixer honours too).
bool EncodeOgg(const Rendered& tune, float quality, const std::string& title, std::string* bytes,
               std::string* error);

}  // namespace ardo::oggc
