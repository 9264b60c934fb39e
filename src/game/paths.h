// Where the game finds its content and where it keeps what it writes.
#pragma once

#include <string>

namespace ardo {

// The game folder for a program in program_folder: that folder itself when it holds the
// content (the build folder, a portable copy), else ../share/ardo beside it (an
// installed game: bin/ardo and share/ardo/). The program folder when neither has it.
std::string FindGameFolder(const std::string& program_folder);

// True when the program may create and replace files in this folder.
bool FolderWritable(const std::string& folder);

// The player's own folders for the game: $XDG_DATA_HOME/ardo (default
// ~/.local/share/ardo) and $XDG_CONFIG_HOME/ardo (default ~/.config/ardo). A variable
// that is empty or not an absolute path counts as unset; empty when there is no home.
std::string UserDataFolder();
std::string UserConfigFolder();

// Where saves and error.log go: the game folder when it is the program's own or given
// with --data and is writable; the player's data folder for an installed game (never
// its shared content folder, whoever runs it) or a read-only one. With no home at all,
// the game folder (saving then fails with the game's own message and the reason).
std::string ChooseWriteFolder(const std::string& game_folder, bool installed);

}  // namespace ardo
