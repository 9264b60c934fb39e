// ardo-datacheck MAPS_DIR SRC OUT: reads SRC with the reader the game uses for the table OUT
// (items, levels, the people of every map in MAPS_DIR) and copies it to OUT only when
// the reader logged no fault. Each fault is one line "SRC: source Error: number text".
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/core.h"
#include "events/events.h"
#include "items/items.h"
#include "platform/platform.h"

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: ardo-datacheck MAPS_DIR SRC OUT\n");
    return 2;
  }
  const fs::path maps = argv[1], src = argv[2], out = argv[3];
  const std::string name = out.filename().string();  // the table it becomes
  // The readers look in the game folder's data/: give them a folder with this table alone.
  const fs::path stage = fs::path(out.string() + ".check");
  std::error_code ec;
  fs::remove_all(stage, ec);
  fs::create_directories(stage / "data", ec);
  if (!fs::copy_file(src, stage / "data" / name, fs::copy_options::overwrite_existing, ec)) {
    std::fprintf(stderr, "%s: cannot read the table\n", src.c_str());
    return 1;
  }
  std::string error;
  ardo::platform::PlatformOptions po;
  po.headless = true;
  auto platform = ardo::platform::CreatePlatform(po, &error);
  if (!platform) {
    std::fprintf(stderr, "ardo-datacheck: %s\n", error.c_str());
    return 2;
  }
  ardo::platform::SetPlatform(platform.get());
  ardo::SetAppPath(stage.string());
  int faults = 0;
  std::string context;
  ardo::SetFaultListener([&](std::string_view source, const ardo::Fault& f) {
    std::fprintf(stderr, "%s: %s%.*s Error: %d %s\n", src.c_str(), context.c_str(), static_cast<int>(source.size()),
                 source.data(), f.number, f.description.c_str());
    ++faults;
  });
  if (name == "item.dat") {
    ardo::ItemSet();
  } else if (name == "lvup.dat") {
    ardo::LvupSet();
  } else if (name == "chara.dat") {
    // Every map's people, as the game reads them when the map is entered.
    for (const auto& e : fs::directory_iterator(maps, ec)) {
      if (e.path().extension() != ".txt") continue;
      context = "map " + e.path().stem().string() + ": ";
      ardo::Trap on("CharaSet");
      on([&] { ardo::CharaSet(e.path().stem().string()); });
    }
  }
  ardo::SetFaultListener({});
  ardo::platform::SetPlatform(nullptr);
  fs::remove_all(stage, ec);
  if (faults > 0) return 1;
  const fs::path temp = fs::path(out.string() + ".tmp");
  if (!fs::copy_file(src, temp, fs::copy_options::overwrite_existing, ec) || (fs::rename(temp, out, ec), ec)) {
    std::fprintf(stderr, "%s: cannot write the table\n", out.c_str());
    return 1;
  }
  return 0;
}
