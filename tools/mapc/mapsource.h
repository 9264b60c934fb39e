// Map sources (character grid + legend) and the binary map files the game
// reads. The text format is described in assets/maps/README.md.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ardo::mapc {

// Attribute bits of a cell.
constexpr std::uint8_t kBlocked = 1;
constexpr std::uint8_t kHideUpper = 2;  // hides the upper half of a figure standing there
constexpr std::uint8_t kHideLower = 4;  // hides the lower half

constexpr int kHeaderSize = 16;

struct Mark {
  std::string name;
  int x;
  int y;
};

struct Map {
  int width = 0;
  int height = 0;
  std::array<std::uint8_t, kHeaderSize - 2> header{};  // bytes 2..15 of the file
  std::vector<std::uint8_t> tile;  // index x * height + y
  std::vector<std::uint8_t> attr;
  std::vector<Mark> marks;         // in source order

  std::size_t index(int x, int y) const { return static_cast<std::size_t>(x) * height + y; }
};

// Reads a map source. `path` names the file (for messages and includes).
// Throws ardo::tool::SourceError.
Map parse_source(const std::string& path, std::string_view text);

// The binary form: width, height, 14 header bytes, then for each column x
// and each row y the tile byte and the attribute byte.
std::string encode(const Map& map);

// Reads a binary map; throws std::runtime_error ("file: byte N: ...") on a
// malformed file.
Map decode(const std::string& path, std::string_view bytes);

// A source that compiles back to exactly the same binary.
std::string decompile(const Map& map, std::string_view name);

// "name x y" lines, or a JSON object {"name": {"x": X, "y": Y}, ...}.
std::string marks_text(const Map& map);
std::string marks_json(const Map& map);

}  // namespace ardo::mapc
