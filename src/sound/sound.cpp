// Music and sound effects. The music is one tune at a time, opened by name from the
// game folder's music/ and restarted whenever it has run out; effects are WAV files
// from sound/. Flag 0 switches the music on, flag 1 the effects.
#include "sound/sound.h"

#include <cstdio>
#include <filesystem>
#include <set>

#include "core/core.h"
#include "platform/persist.h"

namespace ardo {

std::string BgmName;

namespace {

platform::Audio& Device() { return platform::GetPlatform().audio(); }

// A missing file makes no sound and is said once on stderr, not at every call.
bool FileThere(const std::string& path, const char* what) {
  static std::set<std::string> reported;
  std::error_code ec;
  if (std::filesystem::is_regular_file(path, ec)) return true;
  if (reported.insert(path).second) std::fprintf(stderr, "ardo: %s: no such %s; silent\n", path.c_str(), what);
  return false;
}

// Opens a tune as the current one. A file that isn't there leaves whatever is open alone,
// as a failed open did on the old media interface.
void OpenBgm(const std::string& name) {
  const std::string path = GamePath("music/" + name + ".ogg");
  platform::AwaitArrival(path);
  if (!FileThere(path, "music")) return;
  Device().OpenMusic(path);
}

}  // namespace

void PlayBgm(const std::string& name) {
  // With the music off the tune is still opened, so it is ready when the player
  // switches the music on (which plays with an empty name: a resume).
  if (!name.empty()) OpenBgm(name);
  if (Flag(0) != 0) Device().PlayMusic();
}

void StopBgm() { Device().StopMusic(); }

void CloseBgm() {
  Device().StopMusic();
  Device().CloseMusic();
}

void LoopBgm() {
  if (Flag(0) == 0) return;
  if (Device().MusicStopped()) Device().RestartMusic();
}

void PlaySe(const std::string& name, long flags) {
  // With the effects off no sound file is looked at.
  if (Flag(1) == 0) return;
  const std::string path = GamePath("sound/" + name + ".wav");
  if (!FileThere(path, "sound")) return;
  // The old sound call's flags: 1 asynchronous (every effect is), 16 do not cut an
  // effect that is still playing.
  constexpr long kNoStop = 16;
  Device().PlaySound(path, (flags & kNoStop) != 0);
}

void ResetSoundState() { BgmName.clear(); }

}  // namespace ardo
