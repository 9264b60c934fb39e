// The command line of ardo-picc and the contact-sheet preview.
#include <algorithm>
#include <filesystem>
#include <ostream>

#include "picc.h"
#include "platform/platform.h"

namespace ardo::picc {

namespace {

// 3 x 5 digits for the preview's cell numbers, one row of three bits per entry.
constexpr unsigned char kDigits[10][5] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 3, 1, 7}, {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 2, 2}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7},
};

void DrawNumber(platform::Surface* s, int x, int y, int n) {
  const std::string text = std::to_string(n);
  const int w = static_cast<int>(text.size()) * 4 + 1;
  s->FillRect(x, y, w, 7, 0x000000);
  for (size_t i = 0; i < text.size(); ++i) {
    const int d = text[i] - '0';
    for (int r = 0; r < 5; ++r)
      for (int c = 0; c < 3; ++c)
        if (kDigits[d][r] & (4 >> c)) s->Set(x + 1 + static_cast<int>(i) * 4 + c, y + 1 + r, 0xFFFF40);
  }
}

const char kUsage[] =
    "usage: ardo-picc SOURCE -o OUT.png [--mask] [--scale N]\n"
    "                                              compile a picture (--mask: the figure mask of it;\n"
    "                                              --scale: N x N pixels for each, N 1-16)\n"
    "       ardo-picc --table SOURCE               print the tiles the source names, as a Markdown table\n"
    "       ardo-picc --preview IN OUT.png [--cell N] [--scale N] [--rows A-B]\n"
    "                                              contact sheet of a source or a PNG: scaled, gridded, numbered\n";

}  // namespace

platform::Surface Preview(const platform::Surface& sheet, int cell, int scale) {
  scale = std::clamp(scale, 1, 8);
  const int gap = cell > 0 ? 1 : 0;
  const int cols = cell > 0 ? (sheet.width() + cell - 1) / cell : 1;
  const int rows = cell > 0 ? (sheet.height() + cell - 1) / cell : 1;
  const int cw = cell > 0 ? cell : sheet.width(), ch = cell > 0 ? cell : sheet.height();
  platform::Surface out(cols * (cw * scale + gap) + gap, rows * (ch * scale + gap) + gap, 0x404040);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      const int ox = gap + c * (cw * scale + gap), oy = gap + r * (ch * scale + gap);
      out.StretchBlt(ox, oy, cw * scale, ch * scale, sheet, c * cw, r * ch, cw, ch, platform::Rop::kSrcCopy);
      if (cell > 0) DrawNumber(&out, ox, oy, r * cols + c);
    }
  return out;
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    (args.empty() ? err : out) << kUsage;
    return args.empty() ? 1 : 0;
  }
  if (args[0] == "--table") {
    if (args.size() != 2) {
      err << kUsage;
      return 1;
    }
    Result r;
    Error e;
    if (!CompileFile(args[1], &r, &e)) {
      err << e.Format() << '\n';
      return 1;
    }
    std::vector<TileInfo> tiles = r.tiles;
    std::stable_sort(tiles.begin(), tiles.end(), [](const TileInfo& a, const TileInfo& b) { return a.code < b.code; });
    out << "| code | attr | picture |\n|---:|---:|---|\n";
    for (const TileInfo& t : tiles) out << "| " << t.code << " | " << t.attr << " | " << t.name << " |\n";
    return 0;
  }
  if (args[0] == "--preview") {
    if (args.size() < 3) {
      err << kUsage;
      return 1;
    }
    int cell = 24, scale = 2, first_row = 0, row_count = 0;
    for (size_t i = 3; i < args.size(); ++i) {
      const bool has_value = i + 1 < args.size();
      if ((args[i] == "--cell" || args[i] == "--scale" || args[i] == "--rows") && has_value) {
        int v = 0;
        try {
          v = std::stoi(args[i + 1]);
        } catch (...) {
          err << "ardo-picc: bad number `" << args[i + 1] << "`\n";
          return 1;
        }
        if (args[i] == "--rows") {
          first_row = v;
          const size_t dash = args[i + 1].find('-');
          row_count = dash == std::string::npos ? 1 : std::atoi(args[i + 1].c_str() + dash + 1) - v + 1;
        } else {
          (args[i] == "--cell" ? cell : scale) = v;
        }
        ++i;
      } else {
        err << kUsage;
        return 1;
      }
    }
    std::shared_ptr<platform::Surface> sheet;
    std::string error;
    if (std::filesystem::path(args[1]).extension() == ".png") {
      sheet = platform::LoadPicture(args[1], &error);
      if (!sheet) {
        err << error << '\n';
        return 1;
      }
    } else {
      Result r;
      Error e;
      if (!CompileFile(args[1], &r, &e)) {
        err << e.Format() << '\n';
        return 1;
      }
      sheet = std::make_shared<platform::Surface>(std::move(r.picture));
    }
    if (row_count > 0 && cell > 0) {
      // Only the rows of cells asked for (--rows A-B), numbered as in the whole sheet.
      const int cols = (sheet->width() + cell - 1) / cell;
      platform::Surface part(sheet->width(), row_count * cell, 0);
      part.BitBlt(0, 0, sheet->width(), row_count * cell, sheet.get(), 0, first_row * cell, platform::Rop::kSrcCopy);
      platform::Surface shown = Preview(part, cell, scale);
      for (int r = 0; r < row_count; ++r)
        for (int c = 0; c < cols; ++c)
          DrawNumber(&shown, 1 + c * (cell * scale + 1), 1 + r * (cell * scale + 1), (first_row + r) * cols + c);
      sheet = std::make_shared<platform::Surface>(std::move(shown));
      if (!platform::SavePng(*sheet, args[2], &error)) {
        err << error << '\n';
        return 1;
      }
      return 0;
    }
    if (!platform::SavePng(Preview(*sheet, cell, scale), args[2], &error)) {
      err << error << '\n';
      return 1;
    }
    return 0;
  }
  std::string source, output;
  bool mask = false;
  int scale = 1;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-o" && i + 1 < args.size()) {
      output = args[++i];
    } else if (args[i] == "--scale" && i + 1 < args.size()) {
      const std::string& v = args[++i];
      if (v.empty() || v.size() > 2 || v.find_first_not_of("0123456789") != std::string::npos ||
          std::stoi(v) < 1 || std::stoi(v) > 16) {
        err << "ardo-picc: --scale takes 1 to 16, not `" << v << "`\n";
        return 1;
      }
      scale = std::stoi(v);
    } else if (args[i] == "--mask") {
      mask = true;
    } else if (!args[i].empty() && args[i][0] != '-' && source.empty()) {
      source = args[i];
    } else {
      err << "ardo-picc: unexpected argument `" << args[i] << "`\n" << kUsage;
      return 1;
    }
  }
  if (source.empty() || output.empty()) {
    err << kUsage;
    return 1;
  }
  Result r;
  Error e;
  if (!CompileFile(source, &r, &e)) {
    err << e.Format() << '\n';
    return 1;
  }
  platform::Surface picture = mask ? FigureMask(r.picture) : std::move(r.picture);
  if (scale > 1) {
    // Each pixel becomes a crisp square (the desktop icons are drawn at 16 x 16).
    platform::Surface big(picture.width() * scale, picture.height() * scale);
    big.StretchBlt(0, 0, big.width(), big.height(), picture, 0, 0, picture.width(), picture.height(),
                   platform::Rop::kSrcCopy);
    picture = std::move(big);
  }
  std::string error;
  if (!platform::SavePng(picture, output, &error)) {
    err << "ardo-picc: " << error << '\n';
    return 1;
  }
  return 0;
}

}  // namespace ardo::picc
