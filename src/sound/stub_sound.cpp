// TEMPORARY: music and effects, until the sound work lands.
#include "sound/sound.h"

namespace ardo {

std::string BgmName;

void PlayBgm(const std::string&) {}
void StopBgm() {}
void CloseBgm() {}
void LoopBgm() {}
void PlaySe(const std::string&, long) {}

}  // namespace ardo
