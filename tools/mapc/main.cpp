// ardo-mapc: compiles map sources (legend + character grid) into the binary
// map files the game reads, and back. The source format is described in
// assets/maps/README.md.
#include <cstring>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "exits.h"
#include "mapsource.h"
#include "toolcommon.h"

namespace {

constexpr const char* kUsage =
    "usage: ardo-mapc compile IN.txt OUT.map     source -> binary map\n"
    "       ardo-mapc decompile IN.map OUT.txt   binary map -> source\n"
    "       ardo-mapc marks [--json] IN.txt      print the named marks (also: --marks)\n"
    "       ardo-mapc info IN.txt|IN.map         print size and tile usage\n"
    "       ardo-mapc exits OUT [--music DIR] IN.exits...\n"
    "                                            the exits of the maps -> the game's exits table\n";

using namespace ardo;

bool load_source(const std::string& path, mapc::Map& map) {
  std::string text, err;
  if (!tool::read_file(path, text, err)) {
    std::cerr << "ardo-mapc: " << err << '\n';
    return false;
  }
  map = mapc::parse_source(path, text);
  return true;
}

bool save(const std::string& path, const std::string& data) {
  std::string err;
  if (tool::write_file_atomic(path, data, err)) return true;
  std::cerr << "ardo-mapc: " << err << '\n';
  return false;
}

int body(int argc, char** argv) {
  const std::string cmd = argc > 1 ? argv[1] : "";
  if (cmd == "--help" || cmd == "-h" || cmd == "help") {
    std::cout << kUsage;
    return 0;
  }
  if (cmd == "compile" && argc == 4) {
    mapc::Map map;
    if (!load_source(argv[2], map)) return 1;
    return save(argv[3], mapc::encode(map)) ? 0 : 1;
  }
  if (cmd == "decompile" && argc == 4) {
    std::string bytes, err;
    if (!tool::read_file(argv[2], bytes, err)) {
      std::cerr << "ardo-mapc: " << err << '\n';
      return 1;
    }
    const mapc::Map map = mapc::decode(argv[2], bytes);
    const std::string name = std::filesystem::path(argv[2]).stem().string();
    return save(argv[3], mapc::decompile(map, name)) ? 0 : 1;
  }
  if ((cmd == "marks" || cmd == "--marks") && (argc == 3 || argc == 4)) {
    const bool json = argc == 4 && std::strcmp(argv[2], "--json") == 0;
    if (argc == 4 && !json) {
      std::cerr << kUsage;
      return 2;
    }
    mapc::Map map;
    if (!load_source(argv[argc - 1], map)) return 1;
    std::cout << (json ? mapc::marks_json(map) : mapc::marks_text(map));
    return 0;
  }
  if (cmd == "exits" && argc >= 3) {
    std::string music_dir;
    std::vector<std::string> inputs;
    for (int i = 3; i < argc; ++i) {
      if (std::strcmp(argv[i], "--music") == 0 && i + 1 < argc) {
        music_dir = argv[++i];
      } else {
        inputs.emplace_back(argv[i]);
      }
    }
    return save(argv[2], mapc::compile_exits(inputs, music_dir)) ? 0 : 1;
  }
  if (cmd == "info" && argc == 3) {
    const std::string path = argv[2];
    std::string data, err;
    if (!tool::read_file(path, data, err)) {
      std::cerr << "ardo-mapc: " << err << '\n';
      return 1;
    }
    const bool binary = path.size() > 4 && path.compare(path.size() - 4, 4, ".map") == 0;
    const mapc::Map map = binary ? mapc::decode(path, data) : mapc::parse_source(path, data);
    std::cout << "size: " << map.width << " x " << map.height << '\n';
    std::vector<std::size_t> count(256 * 256);
    for (std::size_t i = 0; i < map.tile.size(); ++i) ++count[map.tile[i] * 256u + map.attr[i]];
    for (std::size_t k = 0; k < count.size(); ++k)
      if (count[k]) std::cout << "tile " << k / 256 << " attr " << k % 256 << ": " << count[k] << " cells\n";
    std::cout << mapc::marks_text(map);
    return 0;
  }
  std::cerr << kUsage;
  return 2;
}

}  // namespace

int main(int argc, char** argv) { return tool::run_main("ardo-mapc", argc, argv, body); }
