// Sound: the background music of the scene and the sound effects.
#pragma once

#include <string>

namespace ardo {

extern std::string BgmName;

void PlayBgm(const std::string& name);
void StopBgm();
void CloseBgm();
void LoopBgm();
void PlaySe(const std::string& name, long flags);

// Back to the start-up state: no tune named.
void ResetSoundState();

}  // namespace ardo
