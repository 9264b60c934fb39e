// The game folder and the player's folders (the XDG base directories).
#include "game/paths.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace ardo {

namespace {

bool HasContent(const std::filesystem::path& folder) {
  std::error_code ec;
  return std::filesystem::is_directory(folder / "map", ec);
}

// $VAR/ardo, else $HOME/fallback/ardo, else empty.
std::string XdgFolder(const char* variable, const char* fallback) {
  const char* v = std::getenv(variable);
  if (v != nullptr && v[0] == '/') return (std::filesystem::path(v) / "ardo").string();
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return (std::filesystem::path(home) / fallback / "ardo").string();
  return {};
}

}  // namespace

std::string FindGameFolder(const std::string& program_folder) {
  const std::filesystem::path here(program_folder);
  if (HasContent(here)) return program_folder;
  const std::filesystem::path installed = here.parent_path() / "share" / "ardo";
  if (HasContent(installed)) return installed.lexically_normal().string();
  return program_folder;
}

bool FolderWritable(const std::string& folder) { return ::access(folder.c_str(), W_OK | X_OK) == 0; }

std::string UserDataFolder() { return XdgFolder("XDG_DATA_HOME", ".local/share"); }
std::string UserConfigFolder() { return XdgFolder("XDG_CONFIG_HOME", ".config"); }

std::string ChooseWriteFolder(const std::string& game_folder, bool installed) {
  if (!installed && FolderWritable(game_folder)) return game_folder;
  const std::string data = UserDataFolder();
  return data.empty() ? game_folder : data;
}

}  // namespace ardo
