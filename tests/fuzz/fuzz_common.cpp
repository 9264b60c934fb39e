// What every fuzz target shares: the headless platform, a scratch game folder and the
// replay registry.
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

#include "core/core.h"
#include "fuzz/fuzz.h"
#include "platform/platform.h"

namespace ardo::fuzz {

namespace {

std::vector<Target>& Registry() {
  static std::vector<Target> targets;
  return targets;
}

std::string g_folder;
std::unique_ptr<platform::Platform> g_platform;

void MakePlatform() {
  platform::SetPlatform(nullptr);
  g_platform.reset();
  std::string error;
  platform::PlatformOptions o;
  o.headless = true;
  g_platform = platform::CreatePlatform(o, &error);
  if (!g_platform) {
    std::fprintf(stderr, "fuzz: no headless platform: %s\n", error.c_str());
    std::abort();
  }
  platform::SetPlatform(g_platform.get());
}

}  // namespace

bool Register(const char* name, TargetFn fn) {
  Registry().push_back({name, fn});
  return true;
}

const std::vector<Target>& Targets() { return Registry(); }

void Setup() {
  if (g_platform) return;
  MakePlatform();
  std::string tmpl = (std::filesystem::temp_directory_path() / "ardo-fuzz-XXXXXX").string();
  if (::mkdtemp(tmpl.data()) == nullptr) std::abort();
  g_folder = tmpl;
  SetAppPath(g_folder);
  // The loaders log every fault to error.log: let it go nowhere, so the log costs no
  // disk and no time however long a run is.
  std::error_code ec;
  std::filesystem::create_symlink("/dev/null", ErrorLogPath(), ec);
  // The folder goes when the process ends normally.
  std::atexit([] {
    std::error_code ec;
    std::filesystem::remove_all(g_folder, ec);
  });
}

const std::string& GameFolder() { return g_folder; }

void PutGameFile(const std::string& relative, std::string_view bytes) {
  const std::filesystem::path p = std::filesystem::path(g_folder) / relative;
  std::error_code ec;
  std::filesystem::create_directories(p.parent_path(), ec);
  std::ofstream(p, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void EndInput() {
  // The headless platform keeps every message box shown: start afresh now and then.
  if (g_platform->headless()->message_boxes().size() > 256) MakePlatform();
}

}  // namespace ardo::fuzz
