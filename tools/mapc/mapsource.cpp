#include "mapsource.h"

#include <algorithm>
#include <deque>
#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>

#include "toolcommon.h"

namespace ardo::mapc {
namespace {

using tool::SourceError;

constexpr int kMaxSide = 255;
constexpr int kMaxIncludeDepth = 8;

struct Where {
  std::string file;
  int line = 0;
  int col = 0;
};

struct Token {
  std::size_t offset;
  std::string_view text;
};

struct LegendEntry {
  std::uint8_t tile;
  std::uint8_t attr;
  Where at;
};

struct Row {
  Where at;                    // first column of the row
  std::vector<char32_t> cells;
  std::vector<int> cols;       // column of each cell
};

struct MarkSource {
  Mark mark;
  Where x_at, y_at;
};

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

std::vector<Token> split(std::string_view s) {
  std::vector<Token> out;
  std::size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && is_blank(s[i])) ++i;
    if (i >= s.size()) break;
    std::size_t j = i;
    while (j < s.size() && !is_blank(s[j])) ++j;
    out.push_back({i, s.substr(i, j - i)});
    i = j;
  }
  return out;
}

// "mark a 1 2" and the like: a directive word and a blank. Never a grid row,
// since rows contain no blanks.
bool starts_directive(std::string_view line) {
  for (std::string_view key : {"legend", "mark", "size", "fill", "include", "header", "grid"})
    if (line.size() > key.size() && line.substr(0, key.size()) == key && is_blank(line[key.size()])) return true;
  return false;
}

bool valid_mark_name(std::string_view s) {
  if (s.empty() || s.size() > 64) return false;
  return std::all_of(s.begin(), s.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
           c == '.';
  });
}

class Parser {
public:
  Map run(const std::string& path, std::string_view text) {
    parse_file(path, text, 0);
    return finish(path);
  }

private:
  [[noreturn]] void fail(const Where& w, const std::string& msg) { throw SourceError(w.file, w.line, w.col, msg); }

  void parse_file(const std::string& path, std::string_view text, int depth) {
    bool in_grid = false;
    for (const tool::SourceLine& source_line : tool::split_lines(text)) {
      const int lineno = source_line.number;
      const std::string_view line = source_line.text;
      auto where = [&](std::size_t off) {
        return Where{path, lineno, tool::column_of(line, off)};
      };
      const bool blank = std::all_of(line.begin(), line.end(), is_blank);
      if (in_grid) {
        if (blank) {
          in_grid = false;
          grid_ended_ = true;
          continue;
        }
        if (!starts_directive(line)) {
          add_row(line, where(0));
          continue;
        }
        in_grid = false;  // a directive right after the grid ends it
        grid_ended_ = true;
      }
      if (blank) continue;
      std::vector<Token> tok = split(line);
      if (tok[0].text[0] == '#') continue;
      const std::string_view key = tok[0].text;
      // A token starting with '#' after the fixed arguments begins a comment.
      auto drop_comment = [&tok](std::size_t fixed) {
        for (std::size_t k = fixed; k < tok.size(); ++k)
          if (tok[k].text[0] == '#') {
            tok.resize(k);
            break;
          }
      };
      auto need = [&](std::size_t n, const char* usage) {
        if (tok.size() < n) fail(where(line.size()), std::string("expected: ") + usage);
        if (tok.size() > n) fail(where(tok[n].offset), std::string("unexpected text; expected: ") + usage);
      };

      if (key == "legend") {
        drop_comment(2);
        if (tok.size() < 3) fail(where(line.size()), "expected: legend CHAR TILE [blocked] [hide-upper] [hide-lower]");
        legend_line(tok, where);
      } else if (key == "grid") {
        drop_comment(1);
        need(1, "grid (on a line of its own, the rows follow)");
        if (depth > 0) fail(where(0), "an included file cannot contain the grid");
        if (has_grid_) fail(where(0), "second 'grid': a map has one grid (first at line " +
                                          std::to_string(grid_at_.line) + ")");
        has_grid_ = true;
        grid_at_ = where(0);
        in_grid = true;
      } else if (key == "size") {
        drop_comment(1);
        need(3, "size WIDTH HEIGHT");
        if (has_size_) fail(where(0), "'size' given twice");
        width_ = number(tok[1], where, 1, kMaxSide, "width");
        height_ = number(tok[2], where, 1, kMaxSide, "height");
        has_size_ = true;
      } else if (key == "fill") {
        drop_comment(2);
        need(2, "fill CHAR");
        if (fill_) fail(where(0), "'fill' given twice");
        fill_ = character(tok[1], where);
        fill_at_ = where(tok[1].offset);
      } else if (key == "mark") {
        drop_comment(1);
        need(4, "mark NAME X Y");
        if (!valid_mark_name(tok[1].text))
          fail(where(tok[1].offset), "bad mark name '" + std::string(tok[1].text) +
                                         "' (letters, digits, '_', '-', '.'; at most 64)");
        for (const MarkSource& m : marks_)
          if (m.mark.name == tok[1].text)
            fail(where(tok[1].offset), "mark '" + m.mark.name + "' already defined at line " +
                                           std::to_string(m.x_at.line));
        MarkSource m;
        m.mark.name = std::string(tok[1].text);
        m.mark.x = number(tok[2], where, 0, kMaxSide - 1, "x");
        m.mark.y = number(tok[3], where, 0, kMaxSide - 1, "y");
        m.x_at = where(tok[2].offset);
        m.y_at = where(tok[3].offset);
        marks_.push_back(std::move(m));
      } else if (key == "header") {
        drop_comment(1);
        if (has_header_) fail(where(0), "'header' given twice");
        if (tok.size() < 2 || tok.size() > 1 + header_.size())
          fail(where(tok.size() < 2 ? line.size() : tok.back().offset), "expected: header followed by 1-14 hex bytes");
        for (std::size_t k = 1; k < tok.size(); ++k) {
          const std::string_view h = tok[k].text;
          auto hex = [](char c) {
            return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
          };
          if (h.size() != 2 || hex(h[0]) < 0 || hex(h[1]) < 0)
            fail(where(tok[k].offset), "bad header byte '" + std::string(h) + "' (two hex digits, 00-FF)");
          header_[k - 1] = static_cast<std::uint8_t>(hex(h[0]) * 16 + hex(h[1]));
        }
        has_header_ = true;
      } else if (key == "include") {
        drop_comment(1);
        need(2, "include FILE");
        include(path, tok[1], where(tok[1].offset), depth);
      } else {
        std::string msg = "unknown directive '" + std::string(key) +
                          "' (legend, grid, size, fill, mark, header, include; '#' starts a comment)";
        if (grid_ended_) msg += "; the grid ends at the first blank line";
        fail(where(tok[0].offset), msg);
      }
    }
  }

  template <class WhereFn>
  int number(const Token& t, WhereFn& where, long lo, long hi, const char* what) {
    long v;
    if (!tool::parse_int(t.text, v, true))
      fail(where(t.offset), std::string("bad number '") + std::string(t.text) + "' for " + what);
    if (v < lo || v > hi)
      fail(where(t.offset), std::string(what) + " must be " + std::to_string(lo) + "-" + std::to_string(hi) +
                                " (got " + std::to_string(v) + ")");
    return static_cast<int>(v);
  }

  template <class WhereFn>
  char32_t character(const Token& t, WhereFn& where) {
    std::size_t i = 0;
    char32_t cp;
    if (!tool::utf8_next(t.text, i, cp)) fail(where(t.offset), "invalid UTF-8");
    if (i != t.text.size())
      fail(where(t.offset), "a map character is a single character (got '" + std::string(t.text) + "')");
    if (cp < 0x20 || cp == 0x7F) fail(where(t.offset), "control characters cannot be map characters");
    return cp;
  }

  template <class WhereFn>
  void legend_line(const std::vector<Token>& tok, WhereFn& where) {
    const char32_t c = character(tok[1], where);
    if (auto it = legend_.find(c); it != legend_.end())
      fail(where(tok[1].offset), "duplicate legend character " + tool::describe_char(c) + " (first defined at " +
                                     it->second.at.file + ":" + std::to_string(it->second.at.line) + ")");
    LegendEntry e;
    e.tile = static_cast<std::uint8_t>(number(tok[2], where, 0, 255, "tile"));
    e.attr = 0;
    e.at = where(tok[1].offset);
    for (std::size_t k = 3; k < tok.size(); ++k) {
      const std::string_view w = tok[k].text;
      if (w == "blocked") {
        e.attr |= kBlocked;
      } else if (w == "hide-upper") {
        e.attr |= kHideUpper;
      } else if (w == "hide-lower") {
        e.attr |= kHideLower;
      } else if (!w.empty() && w[0] >= '0' && w[0] <= '9') {
        e.attr |= static_cast<std::uint8_t>(number(tok[k], where, 0, 255, "attribute"));
      } else {
        fail(where(tok[k].offset), "unknown attribute '" + std::string(w) +
                                       "' (blocked, hide-upper, hide-lower, or a number 0-255)");
      }
    }
    legend_.emplace(c, e);
  }

  void include(const std::string& from, const Token& t, const Where& at, int depth) {
    if (depth + 1 > kMaxIncludeDepth) fail(at, "includes nested too deep (a file including itself?)");
    const std::filesystem::path dir = std::filesystem::path(from).parent_path();
    const std::string path = (dir / std::string(t.text)).string();
    std::string err;
    texts_.emplace_back();
    if (!tool::read_file(path, texts_.back(), err)) fail(at, err);
    parse_file(path, texts_.back(), depth + 1);
  }

  void add_row(std::string_view line, const Where& start) {
    while (!line.empty() && is_blank(line.back())) line.remove_suffix(1);
    Row row;
    row.at = start;
    std::size_t i = 0;
    while (i < line.size()) {
      const int col = tool::column_of(line, i);
      char32_t cp;
      if (!tool::utf8_next(line, i, cp)) fail({start.file, start.line, col}, "invalid UTF-8 in the grid");
      if (static_cast<int>(row.cells.size()) >= kMaxSide)
        fail({start.file, start.line, col}, "row is wider than 255 cells");
      row.cells.push_back(cp);
      row.cols.push_back(col);
    }
    if (static_cast<int>(rows_.size()) >= kMaxSide) fail(start, "grid is taller than 255 rows");
    rows_.push_back(std::move(row));
  }

  const LegendEntry& lookup(char32_t c, const Where& at) {
    auto it = legend_.find(c);
    if (it == legend_.end()) {
      if (c == ' ' || c == '\t')
        fail(at, "blank in the grid (spaces are not map characters; rows start in column 1)");
      fail(at, "unknown map character " + tool::describe_char(c) + " (not in the legend)");
    }
    return it->second;
  }

  Map finish(const std::string& path) {
    if (!has_grid_) fail({path, 1, 1}, "no 'grid' in this file (the rows of the map follow a line 'grid')");
    if (rows_.empty()) fail(grid_at_, "the grid has no rows (rows follow the 'grid' line directly)");

    Map map;
    if (has_size_) {
      map.width = width_;
      map.height = height_;
    } else {
      std::size_t w = rows_.front().cells.size();
      if (fill_)
        for (const Row& r : rows_) w = std::max(w, r.cells.size());
      map.width = static_cast<int>(w);
      map.height = static_cast<int>(rows_.size());
    }
    const std::string basis = has_size_ ? "the size" : "the first row";
    for (const Row& r : rows_) {
      const int n = static_cast<int>(r.cells.size());
      if (n > map.width)
        fail({r.at.file, r.at.line, r.cols[static_cast<std::size_t>(map.width)]},
             "row has " + std::to_string(n) + " cells, but the map is " + std::to_string(map.width) +
                 " wide (" + basis + ")");
      if (n < map.width && !fill_) {
        const int col = n == 0 ? 1 : r.cols.back() + 1;
        fail({r.at.file, r.at.line, col}, "ragged grid: row has " + std::to_string(n) + " cells, expected " +
                                              std::to_string(map.width) + " (" + basis +
                                              "); use 'fill CHAR' to pad short rows");
      }
    }
    if (static_cast<int>(rows_.size()) > map.height) {
      fail(rows_[static_cast<std::size_t>(map.height)].at,
           "grid has more rows than the size's height " + std::to_string(map.height));
    }
    if (static_cast<int>(rows_.size()) < map.height && !fill_)
      fail(rows_.back().at, "grid has " + std::to_string(rows_.size()) + " rows, the size says " +
                                std::to_string(map.height) + "; use 'fill CHAR' to pad");

    const std::size_t cells = static_cast<std::size_t>(map.width) * map.height;
    map.tile.assign(cells, 0);
    map.attr.assign(cells, 0);
    map.header = header_;
    const LegendEntry* fill = fill_ ? &lookup(*fill_, fill_at_) : nullptr;
    for (int y = 0; y < map.height; ++y) {
      for (int x = 0; x < map.width; ++x) {
        const LegendEntry* e = fill;
        if (y < static_cast<int>(rows_.size())) {
          const Row& r = rows_[static_cast<std::size_t>(y)];
          if (x < static_cast<int>(r.cells.size())) {
            const auto k = static_cast<std::size_t>(x);
            e = &lookup(r.cells[k], {r.at.file, r.at.line, r.cols[k]});
          }
        }
        map.tile[map.index(x, y)] = e->tile;
        map.attr[map.index(x, y)] = e->attr;
      }
    }
    for (const MarkSource& m : marks_) {
      if (m.mark.x >= map.width)
        fail(m.x_at, "mark '" + m.mark.name + "' x " + std::to_string(m.mark.x) + " is outside the map (width " +
                         std::to_string(map.width) + ", x is 0-" + std::to_string(map.width - 1) + ")");
      if (m.mark.y >= map.height)
        fail(m.y_at, "mark '" + m.mark.name + "' y " + std::to_string(m.mark.y) + " is outside the map (height " +
                         std::to_string(map.height) + ", y is 0-" + std::to_string(map.height - 1) + ")");
      map.marks.push_back(m.mark);
    }
    return map;
  }

  std::map<char32_t, LegendEntry> legend_;
  std::vector<Row> rows_;
  std::vector<MarkSource> marks_;
  std::deque<std::string> texts_;  // included files, kept alive for the rows' views
  bool has_grid_ = false;
  bool grid_ended_ = false;
  Where grid_at_;
  bool has_size_ = false;
  int width_ = 0;
  int height_ = 0;
  std::optional<char32_t> fill_;
  Where fill_at_;
  bool has_header_ = false;
  std::array<std::uint8_t, kHeaderSize - 2> header_{};
};

// Characters handed out by the decompiler, in order of preference.
char32_t pool_char(std::size_t k) {
  static const std::string_view ascii =
      ".#abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
      "!\"$%&'()*+,-/:;<=>?@[\\]^_`{|}~";
  if (k < ascii.size()) return static_cast<unsigned char>(ascii[k]);
  k -= ascii.size();
  if (k < 0x9FFF - 0x4E00 + 1) return static_cast<char32_t>(0x4E00 + k);  // CJK ideographs
  k -= 0x9FFF - 0x4E00 + 1;
  if (k < 0xD7A3 - 0xAC00 + 1) return static_cast<char32_t>(0xAC00 + k);  // Hangul syllables
  k -= 0xD7A3 - 0xAC00 + 1;
  return static_cast<char32_t>(0xF0000 + k);                               // plane 15 private use
}

}  // namespace

Map parse_source(const std::string& path, std::string_view text) { return Parser().run(path, text); }

std::string encode(const Map& map) {
  std::string out;
  out.reserve(kHeaderSize + map.tile.size() * 2);
  out += static_cast<char>(map.width);
  out += static_cast<char>(map.height);
  for (std::uint8_t b : map.header) out += static_cast<char>(b);
  for (std::size_t i = 0; i < map.tile.size(); ++i) {
    out += static_cast<char>(map.tile[i]);
    out += static_cast<char>(map.attr[i]);
  }
  return out;
}

Map decode(const std::string& path, std::string_view bytes) {
  auto fail = [&](const std::string& msg) { throw std::runtime_error(path + ": " + msg); };
  if (bytes.size() < kHeaderSize)
    fail("too short for a map file (" + std::to_string(bytes.size()) + " bytes, the header alone is 16)");
  Map map;
  map.width = static_cast<unsigned char>(bytes[0]);
  map.height = static_cast<unsigned char>(bytes[1]);
  if (map.width == 0) fail("byte 0: width 0 (must be 1-255)");
  if (map.height == 0) fail("byte 1: height 0 (must be 1-255)");
  const std::size_t cells = static_cast<std::size_t>(map.width) * map.height;
  if (bytes.size() != kHeaderSize + 2 * cells)
    fail("size " + std::to_string(bytes.size()) + " bytes, but a " + std::to_string(map.width) + " x " +
         std::to_string(map.height) + " map has " + std::to_string(kHeaderSize + 2 * cells));
  for (std::size_t i = 0; i < map.header.size(); ++i) map.header[i] = static_cast<std::uint8_t>(bytes[2 + i]);
  map.tile.resize(cells);
  map.attr.resize(cells);
  for (std::size_t i = 0; i < cells; ++i) {
    map.tile[i] = static_cast<std::uint8_t>(bytes[kHeaderSize + 2 * i]);
    map.attr[i] = static_cast<std::uint8_t>(bytes[kHeaderSize + 2 * i + 1]);
  }
  return map;
}

std::string decompile(const Map& map, std::string_view name) {
  std::map<std::pair<int, int>, char32_t> chars;
  for (std::size_t i = 0; i < map.tile.size(); ++i) chars[{map.tile[i], map.attr[i]}] = 0;
  // '.' for the most common open cell and '#' for the most common blocked
  // one read naturally; everything else takes the next pool character.
  std::map<std::pair<int, int>, std::size_t> count;
  for (std::size_t i = 0; i < map.tile.size(); ++i) ++count[{map.tile[i], map.attr[i]}];
  std::optional<std::pair<int, int>> open, wall;
  for (const auto& [pair, n] : count) {
    auto& best = (pair.second & kBlocked) ? wall : open;
    if (!best || n > count[*best]) best = pair;
  }
  if (open) chars[*open] = '.';
  if (wall) chars[*wall] = '#';
  std::size_t k = 2;  // pool_char(0) and (1) are '.' and '#'
  for (auto& [pair, c] : chars)
    if (c == 0) c = pool_char(k++);

  std::string out = "# " + std::string(name) + ": " + std::to_string(map.width) + " x " +
                    std::to_string(map.height) + ", decompiled by ardo-mapc\n";
  if (std::any_of(map.header.begin(), map.header.end(), [](std::uint8_t b) { return b != 0; })) {
    out += "header";
    static const char* hex = "0123456789ABCDEF";
    for (std::uint8_t b : map.header) {
      out += ' ';
      out += hex[b >> 4];
      out += hex[b & 15];
    }
    out += '\n';
  }
  for (const auto& [pair, c] : chars) {
    out += "legend ";
    tool::utf8_append(out, c);
    out += ' ' + std::to_string(pair.first);
    const int attr = pair.second;
    if (attr > 7) {
      out += ' ' + std::to_string(attr);
    } else {
      if (attr & kBlocked) out += " blocked";
      if (attr & kHideUpper) out += " hide-upper";
      if (attr & kHideLower) out += " hide-lower";
    }
    out += '\n';
  }
  out += "grid\n";
  for (int y = 0; y < map.height; ++y) {
    for (int x = 0; x < map.width; ++x) {
      const std::size_t i = map.index(x, y);
      tool::utf8_append(out, chars[{map.tile[i], map.attr[i]}]);
    }
    out += '\n';
  }
  if (!map.marks.empty()) out += '\n';
  for (const Mark& m : map.marks) out += "mark " + m.name + ' ' + std::to_string(m.x) + ' ' + std::to_string(m.y) + '\n';
  return out;
}

std::string marks_text(const Map& map) {
  std::string out;
  for (const Mark& m : map.marks) out += m.name + ' ' + std::to_string(m.x) + ' ' + std::to_string(m.y) + '\n';
  return out;
}

std::string marks_json(const Map& map) {
  std::string out = "{";
  for (std::size_t i = 0; i < map.marks.size(); ++i) {
    const Mark& m = map.marks[i];
    out += i ? ",\n  " : "\n  ";
    out += '"' + m.name + "\": {\"x\": " + std::to_string(m.x) + ", \"y\": " + std::to_string(m.y) + '}';
  }
  out += map.marks.empty() ? "}\n" : "\n}\n";
  return out;
}

}  // namespace ardo::mapc
