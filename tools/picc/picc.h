// ardo-picc: compiles readable picture sources (a palette, pixel grids and a few
// generators) into the game's PNG sheets. The source format is described in
// assets/graphics/README.md.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "platform/surface.h"

namespace ardo::picc {

// Where a problem is, and what it is. Lines and columns count from 1.
struct Error {
  std::string file;
  int line = 0;
  int col = 0;
  std::string message;
  std::string Format() const;  // "file:line:col: message"
};

// A tile that a `tile` block named, for the tile table.
struct TileInfo {
  int code = 0;
  int attr = 0;
  std::string name;
};

struct Result {
  platform::Surface picture;
  std::vector<TileInfo> tiles;     // in source order
  std::vector<std::string> inputs;  // every file read, the main source first
};

// Compiles source text; `path` names it in messages and anchors the paths of `use`.
// On failure returns false, fills `error` and leaves `out` untouched.
bool CompileText(std::string_view text, const std::string& path, Result* out, Error* error);
bool CompileFile(const std::string& path, Result* out, Error* error);

// The figure sheet's mask: white wherever the sheet is not pure white, black elsewhere.
platform::Surface FigureMask(const platform::Surface& sheet);

// A contact sheet: the picture scaled up, with a grid every `cell` source pixels and each
// cell's number (row-major) in its corner. cell <= 0: no grid and no numbers.
platform::Surface Preview(const platform::Surface& sheet, int cell, int scale);

// The command line; returns the exit status.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace ardo::picc
