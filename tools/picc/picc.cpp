// The picture compiler: reads a source line by line, keeps a palette, and draws
// blocks (tiles, sheet cells, rectangles, stamps) from grids and generator lines.
#include "picc.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

#include "image.h"
#include "toolcommon.h"

namespace ardo::picc {

std::string Error::Format() const {
  std::ostringstream s;
  s << file << ':' << line << ':' << col << ": " << message;
  return s.str();
}

namespace {

constexpr int kMaxSide = 4096;
constexpr int kMaxUseDepth = 8;
// The pixels a source may work on, counted per line as the size of the picture the line
// works on (a block, a stamp, the canvas), `use`d pictures included. It bounds the time a
// compile takes and the memory its stamps hold; the game's sheets stay well below it.
constexpr std::uint64_t kMaxWork = 24'000'000;

struct Token {
  std::string text;
  int col = 0;  // 1-based
};

// Thrown inside the compiler only; turned into an Error at the entry points.
struct Failure {
  std::string file;
  int line;
  int col;
  std::string message;
};

// Plain files of a bounded size only (see tool::read_file).
bool ReadWholeFile(const std::string& path, std::string* text) {
  std::string err;
  return tool::read_file(path, *text, err);
}

bool PaletteCharOk(unsigned char c) { return c > ' ' && c < 127 && c != '#' && c != ';' && c != '|'; }

std::string Printable(unsigned char c) {
  if (c >= ' ' && c < 127) return std::string("'") + static_cast<char>(c) + "'";
  static const char* hex = "0123456789ABCDEF";
  return std::string("byte 0x") + hex[c >> 4] + hex[c & 15];
}

struct Grid {
  int line = 0;  // of the first row
  struct Row {
    std::string text;
    int line;
    int col;  // of the first pixel
  };
  std::vector<Row> rows;
};

class Compiler {
 public:
  Compiler(std::string path, int depth, std::vector<std::string>* inputs, std::uint64_t* work)
      : path_(std::move(path)), file_(path_), depth_(depth), inputs_(inputs), work_done_(work) {
    palette_.fill(std::nullopt);
  }

  Image Run(std::string_view text, std::vector<TileInfo>* tiles) {
    tiles_ = tiles;
    const int last = Lines(text);
    FinishBlock();
    if (!have_canvas_) Fail(last, 1, "no `canvas` line: every picture source starts with one");
    return canvas_;
  }

 private:
  enum class Kind { kNone, kCanvas, kStamp };

  [[noreturn]] void Fail(int line, int col, std::string message) {
    throw Failure{file_, line, col, std::move(message)};
  }

  // Feeds every line of `text` (the current file) through Line; returns the line count.
  int Lines(std::string_view text) {
    int line_no = 0;
    size_t pos = 0;
    while (pos <= text.size()) {
      size_t end = text.find('\n', pos);
      if (end == std::string_view::npos) end = text.size();
      std::string line(text.substr(pos, end - pos));
      if (!line.empty() && line.back() == '\r') line.pop_back();
      ++line_no;
      Line(line, line_no);
      if (end == text.size()) break;
      pos = end + 1;
    }
    FinishGrid(line_no + 1);
    return line_no;
  }

  // ---- lines -------------------------------------------------------------------------------

  void Line(const std::string& line, int n) {
    size_t first = line.find_first_not_of(" \t");
    if (first != std::string::npos && line[first] == '|') {
      if (block_ == Kind::kNone) Fail(n, static_cast<int>(first) + 1, "grid row outside a block");
      if (grid_.rows.empty()) grid_.line = n;
      std::string row = line.substr(first + 1);
      while (!row.empty() && (row.back() == ' ' || row.back() == '\t')) row.pop_back();
      grid_.rows.push_back({row, n, static_cast<int>(first) + 2});
      return;
    }
    FinishGrid(n);
    if (first == std::string::npos || line[first] == '#' || line[first] == ';') return;
    std::vector<Token> t = Tokenize(line);
    if (t.empty()) return;
    line_ = n;
    raw_ = line;
    Directive(t);
    Charge(std::max(work_.px.size(), t[0].text == "canvas" ? canvas_.px.size() : 0));
  }

  static std::vector<Token> Tokenize(const std::string& line) {
    std::vector<Token> out;
    size_t i = 0;
    while (i < line.size()) {
      if (line[i] == ' ' || line[i] == '\t') {
        ++i;
        continue;
      }
      if (line[i] == ';') break;  // comment to the end of the line
      size_t j = i;
      while (j < line.size() && line[j] != ' ' && line[j] != '\t') ++j;
      out.push_back({line.substr(i, j - i), static_cast<int>(i) + 1});
      i = j;
    }
    return out;
  }

  // ---- arguments ---------------------------------------------------------------------------

  const Token& Arg(const std::vector<Token>& t, size_t i, const char* what) {
    if (i >= t.size()) {
      const int col = static_cast<int>(raw_.find_last_not_of(" \t") + 2);
      Fail(line_, col, std::string("missing ") + what + " after `" + t[0].text + "`");
    }
    return t[i];
  }

  int Int(const std::vector<Token>& t, size_t i, const char* what, int lo, int hi) {
    const Token& tok = Arg(t, i, what);
    int v = 0;
    const char* b = tok.text.data();
    const char* e = b + tok.text.size();
    auto [p, ec] = std::from_chars(b, e, v);
    if (ec != std::errc() || p != e) Fail(line_, tok.col, std::string("expected ") + what + ", got `" + tok.text + "`");
    if (v < lo || v > hi)
      Fail(line_, tok.col, std::string(what) + " " + tok.text + " is out of range " + std::to_string(lo) + ".." +
                               std::to_string(hi));
    return v;
  }

  double Num(const std::vector<Token>& t, size_t i, const char* what, double lo, double hi) {
    const Token& tok = Arg(t, i, what);
    double v = 0;
    const char* b = tok.text.data();
    const char* e = b + tok.text.size();
    auto [p, ec] = std::from_chars(b, e, v);
    if (ec != std::errc() || p != e) Fail(line_, tok.col, std::string("expected ") + what + ", got `" + tok.text + "`");
    if (!(v >= lo && v <= hi))
      Fail(line_, tok.col, std::string(what) + " " + tok.text + " is out of range");
    return v;
  }

  std::uint64_t Seed(const std::vector<Token>& t, size_t i) {
    return static_cast<std::uint64_t>(Int(t, i, "seed", 0, 1 << 30));
  }

  // "#RRGGBB", or a palette character. `none` only where transparency makes sense.
  Pixel Colour(const Token& tok, bool allow_none) {
    const std::string& s = tok.text;
    if (s == "none") {
      if (!allow_none) Fail(line_, tok.col, "`none` is not allowed here");
      return kNone;
    }
    if (s.size() == 1 && s[0] != '#') {
      const unsigned char c = static_cast<unsigned char>(s[0]);
      if (c >= 128 || !palette_[c]) Fail(line_, tok.col, "unknown palette char " + Printable(c));
      const Pixel p = *palette_[c];
      if (p == kNone && !allow_none) Fail(line_, tok.col, "palette char " + Printable(c) + " is transparent here");
      return p;
    }
    if (s.size() != 7 || s[0] != '#') Fail(line_, tok.col, "bad colour `" + s + "` (expected #RRGGBB)");
    Pixel v = 0;
    for (size_t i = 1; i < 7; ++i) {
      const char c = s[i];
      int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
      if (d < 0) Fail(line_, tok.col + static_cast<int>(i), "bad colour `" + s + "` (expected #RRGGBB)");
      v = (v << 4) | static_cast<Pixel>(d);
    }
    return v;
  }

  Pixel ColourArg(const std::vector<Token>& t, size_t i, const char* what, bool allow_none = false) {
    return Colour(Arg(t, i, what), allow_none);
  }

  void NoMore(const std::vector<Token>& t, size_t i) {
    if (i < t.size()) Fail(line_, t[i].col, "unexpected `" + t[i].text + "`");
  }

  // ---- directives --------------------------------------------------------------------------

  void Directive(const std::vector<Token>& t) {
    const std::string& w = t[0].text;
    if (t.size() >= 2 && t[1].text == "=" && w.size() == 1) return PaletteEntry(t);
    if (w.size() == 1 && t.size() >= 2 && t[1].text.rfind("=", 0) == 0)
      Fail(line_, t[1].col, "write a palette entry as `X = #RRGGBB`");
    if (w == "canvas") return CanvasLine(t);
    if (!have_canvas_) Fail(line_, t[0].col, "the `canvas` line must come first");
    if (w == "use") return Use(t);
    if (w == "include") return Include(t);
    if (w == "tile" || w == "cell" || w == "rect" || w == "stamp") return BlockHeader(t);
    if (block_ == Kind::kNone) Fail(line_, t[0].col, "unknown directive `" + w + "`");
    Operation(t);
  }

  // Counts a line's work (see kMaxWork).
  void Charge(std::size_t pixels) {
    *work_done_ += std::max<std::size_t>(pixels, 1);
    if (*work_done_ > kMaxWork)
      Fail(line_, 1, "the picture takes too much work (more than " + std::to_string(kMaxWork / 1'000'000) +
                         " million pixels drawn; fewer or smaller blocks and stamps)");
  }

  void PaletteEntry(const std::vector<Token>& t) {
    const unsigned char c = static_cast<unsigned char>(t[0].text[0]);
    if (!PaletteCharOk(c)) Fail(line_, t[0].col, "palette char " + Printable(c) + " cannot be used (reserved)");
    const Pixel p = ColourArg(t, 2, "colour", true);
    NoMore(t, 3);
    palette_[c] = p;
  }

  void CanvasLine(const std::vector<Token>& t) {
    if (have_canvas_) Fail(line_, t[0].col, "a second `canvas` line");
    const int w = Int(t, 1, "width", 1, kMaxSide);
    const int h = Int(t, 2, "height", 1, kMaxSide);
    Pixel back = 0;
    size_t i = 3;
    while (i < t.size()) {
      if (t[i].text == "cell") {
        cell_w_ = Int(t, i + 1, "cell width", 1, w);
        cell_h_ = Int(t, i + 2, "cell height", 1, h);
        i += 3;
      } else if (t[i].text == "background") {
        back = ColourArg(t, i + 1, "colour");
        i += 2;
      } else {
        Fail(line_, t[i].col, "unexpected `" + t[i].text + "` (expected `cell` or `background`)");
      }
    }
    canvas_ = Image(w, h, back);
    background_ = back;
    have_canvas_ = true;
  }

  void Use(const std::vector<Token>& t) {
    FinishBlock();
    const Token& name = Arg(t, 1, "name");
    const Token& file = Arg(t, 2, "file");
    NoMore(t, 3);
    if (uses_.count(name.text)) Fail(line_, name.col, "`" + name.text + "` is already in use");
    if (depth_ >= kMaxUseDepth) Fail(line_, file.col, "`use` nested too deeply (a cycle?)");
    std::filesystem::path p = std::filesystem::path(file_).parent_path() / file.text;
    std::string text;
    if (!ReadWholeFile(p.string(), &text)) Fail(line_, file.col, "cannot read `" + p.string() + "`");
    inputs_->push_back(p.string());
    Compiler sub(p.string(), depth_ + 1, inputs_, work_done_);
    std::vector<TileInfo> ignored;
    try {
      uses_[name.text] = sub.Run(text, &ignored);
    } catch (const Failure& f) {
      Fail(line_, file.col, "in " + f.file + ":" + std::to_string(f.line) + ":" + std::to_string(f.col) + ": " + f.message);
    }
  }

  // Reads another file's lines in place (a shared palette, shared stamps).
  void Include(const std::vector<Token>& t) {
    FinishBlock();
    const Token& file = Arg(t, 1, "file");
    NoMore(t, 2);
    if (depth_ >= kMaxUseDepth) Fail(line_, file.col, "`include` nested too deeply (a cycle?)");
    const std::filesystem::path p = std::filesystem::path(file_).parent_path() / file.text;
    std::string text;
    if (!ReadWholeFile(p.string(), &text)) Fail(line_, file.col, "cannot read `" + p.string() + "`");
    inputs_->push_back(p.string());
    const std::string saved_file = file_;
    const int saved_line = line_;
    const std::string saved_raw = raw_;
    file_ = p.string();
    ++depth_;
    Lines(text);
    FinishBlock();
    --depth_;
    file_ = saved_file;
    line_ = saved_line;
    raw_ = saved_raw;
  }

  void BlockHeader(const std::vector<Token>& t) {
    FinishBlock();
    const std::string& w = t[0].text;
    if (w == "stamp") {
      const Token& name = Arg(t, 1, "name");
      const int sw = Int(t, 2, "width", 1, kMaxSide);
      const int sh = Int(t, 3, "height", 1, kMaxSide);
      NoMore(t, 4);
      if (stamps_.count(name.text)) Fail(line_, name.col, "stamp `" + name.text + "` is already defined");
      block_ = Kind::kStamp;
      stamp_name_ = name.text;
      work_ = Image(sw, sh, kNone);
      return;
    }
    int x = 0, y = 0, bw = 0, bh = 0;
    if (w == "rect") {
      x = Int(t, 1, "x", 0, canvas_.w - 1);
      y = Int(t, 2, "y", 0, canvas_.h - 1);
      bw = Int(t, 3, "width", 1, canvas_.w - x);
      bh = Int(t, 4, "height", 1, canvas_.h - y);
      NoMore(t, 5);
    } else {
      NeedCells(t[0]);
      if (w == "cell") {
        const int c = Int(t, 1, "column", 0, canvas_.w / cell_w_ - 1);
        const int r = Int(t, 2, "row", 0, canvas_.h / cell_h_ - 1);
        NoMore(t, 3);
        x = c * cell_w_;
        y = r * cell_h_;
      } else {
        const int cols = canvas_.w / cell_w_, rows = canvas_.h / cell_h_;
        TileInfo info;
        info.code = Int(t, 1, "tile code", 0, cols * rows - 1);
        size_t i = 2;
        if (i < t.size() && t[i].text == "attr") {
          info.attr = Int(t, i + 1, "attr", 0, 255);
          i += 2;
        }
        if (i < t.size()) {
          std::string rest = raw_.substr(static_cast<size_t>(t[i].col - 1));
          const size_t semi = rest.find(';');
          if (semi != std::string::npos) rest.erase(semi);
          while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t')) rest.pop_back();
          info.name = rest;
        }
        x = info.code % cols * cell_w_;
        y = info.code / cols * cell_h_;
        tiles_->push_back(info);
      }
      bw = cell_w_;
      bh = cell_h_;
    }
    block_ = Kind::kCanvas;
    bx_ = x;
    by_ = y;
    work_ = canvas_.Crop(x, y, bw, bh);
  }

  void NeedCells(const Token& tok) {
    if (cell_w_ == 0) Fail(line_, tok.col, "`" + tok.text + "` needs `cell W H` on the canvas line");
  }

  void FinishBlock() {
    if (block_ == Kind::kCanvas) canvas_.Draw(work_, bx_, by_);
    if (block_ == Kind::kStamp) stamps_[stamp_name_] = work_;
    block_ = Kind::kNone;
    next_grid_.reset();
  }

  // The picture a `copy` or `edge` takes: `tile N`, `cell C R`, `rect X Y`, `stamp NAME`,
  // `from NAME X Y` or `color C`. Returns it at the block's size; *used is the tokens eaten.
  Image Source(const std::vector<Token>& t, size_t i, size_t* used) {
    const Token& kind = Arg(t, i, "source (tile, cell, rect, stamp, from or color)");
    const int w = work_.w, h = work_.h;
    if (kind.text == "tile") {
      NeedCells(kind);
      const int cols = canvas_.w / cell_w_;
      const int code = Int(t, i + 1, "tile code", 0, cols * (canvas_.h / cell_h_) - 1);
      *used = 2;
      return canvas_.Crop(code % cols * cell_w_, code / cols * cell_h_, w, h);
    }
    if (kind.text == "cell") {
      NeedCells(kind);
      const int c = Int(t, i + 1, "column", 0, canvas_.w / cell_w_ - 1);
      const int r = Int(t, i + 2, "row", 0, canvas_.h / cell_h_ - 1);
      *used = 3;
      return canvas_.Crop(c * cell_w_, r * cell_h_, w, h);
    }
    if (kind.text == "rect") {
      const int x = Int(t, i + 1, "x", 0, canvas_.w - 1);
      const int y = Int(t, i + 2, "y", 0, canvas_.h - 1);
      *used = 3;
      return canvas_.Crop(x, y, w, h);
    }
    if (kind.text == "stamp") {
      const Image& s = StampArg(t, i + 1);
      *used = 2;
      return s.Crop(0, 0, w, h);
    }
    if (kind.text == "from") {
      const Image& u = UseArg(t, i + 1);
      const int x = Int(t, i + 2, "x", 0, u.w - 1);
      const int y = Int(t, i + 3, "y", 0, u.h - 1);
      *used = 4;
      return u.Crop(x, y, w, h);
    }
    if (kind.text == "color") {
      const Pixel c = ColourArg(t, i + 1, "colour", true);
      *used = 2;
      return Image(w, h, c);
    }
    Fail(line_, kind.col, "unknown source `" + kind.text + "` (expected tile, cell, rect, stamp, from or color)");
  }

  const Image& StampArg(const std::vector<Token>& t, size_t i) {
    const Token& n = Arg(t, i, "stamp name");
    auto it = stamps_.find(n.text);
    if (it == stamps_.end()) Fail(line_, n.col, "unknown stamp `" + n.text + "`");
    return it->second;
  }

  const Image& UseArg(const std::vector<Token>& t, size_t i) {
    const Token& n = Arg(t, i, "picture name");
    auto it = uses_.find(n.text);
    if (it == uses_.end()) Fail(line_, n.col, "unknown picture `" + n.text + "` (see `use`)");
    return it->second;
  }

  // Colours up to the next keyword (a token of two or more letters that is not a colour).
  std::vector<Pixel> ColourList(const std::vector<Token>& t, size_t* i) {
    std::vector<Pixel> out;
    while (*i < t.size() && (t[*i].text.size() == 1 || t[*i].text[0] == '#')) out.push_back(Colour(t[(*i)++], false));
    return out;
  }

  void Operation(const std::vector<Token>& t) {
    const std::string& w = t[0].text;
    Image& img = work_;
    if (w == "at") {
      const int x = Int(t, 1, "x", 0, img.w - 1);
      const int y = Int(t, 2, "y", 0, img.h - 1);
      const int gw = Int(t, 3, "width", 1, img.w - x);
      const int gh = Int(t, 4, "height", 1, img.h - y);
      NoMore(t, 5);
      next_grid_ = std::array<int, 4>{x, y, gw, gh};
    } else if (w == "fill") {
      const Pixel c = ColourArg(t, 1, "colour", block_ == Kind::kStamp);
      NoMore(t, 2);
      std::fill(img.px.begin(), img.px.end(), c);
    } else if (w == "copy") {
      size_t used = 0;
      Image src = Source(t, 1, &used);
      NoMore(t, 1 + used);
      for (size_t k = 0; k < img.px.size(); ++k)
        if (src.px[k] != kNone || block_ == Kind::kStamp) img.px[k] = src.px[k];
    } else if (w == "put") {
      const Image& s = StampArg(t, 1);
      Image copy = s;
      const int x = Int(t, 2, "x", -kMaxSide, kMaxSide);
      const int y = Int(t, 3, "y", -kMaxSide, kMaxSide);
      bool under = false;
      for (size_t i = 4; i < t.size(); ++i) {
        if (t[i].text == "mirror") copy = Mirrored(copy);
        else if (t[i].text == "flip") copy = Flipped(copy);
        else if (t[i].text == "under") under = true;
        else Fail(line_, t[i].col, "unexpected `" + t[i].text + "` (expected mirror, flip or under)");
      }
      if (under) {
        // Behind what is there: only where the block still shows its background.
        const Pixel back = block_ == Kind::kStamp ? kNone : background_;
        for (int sy = 0; sy < copy.h; ++sy)
          for (int sx = 0; sx < copy.w; ++sx) {
            const Pixel c = copy.At(sx, sy);
            if (c != kNone && img.At(x + sx, y + sy) == back) img.Set(x + sx, y + sy, c);
          }
      } else {
        img.Draw(copy, x, y);
      }
    } else if (w == "mirror") {
      NoMore(t, 1);
      img = Mirrored(img);
    } else if (w == "flip") {
      NoMore(t, 1);
      img = Flipped(img);
    } else if (w == "shift") {
      const int dx = Int(t, 1, "dx", -kMaxSide, kMaxSide);
      const int dy = Int(t, 2, "dy", -kMaxSide, kMaxSide);
      NoMore(t, 3);
      Image out = img;
      for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x)
          out.Set(((x + dx) % img.w + img.w) % img.w, ((y + dy) % img.h + img.h) % img.h, img.At(x, y));
      img = std::move(out);
    } else if (w == "recolor") {
      if (t.size() < 2) Arg(t, 1, "`from>to` pairs");
      std::vector<std::pair<Pixel, Pixel>> map;
      for (size_t i = 1; i < t.size(); ++i) {
        const size_t gt = t[i].text.find('>', 1);
        if (gt == std::string::npos || gt + 1 >= t[i].text.size())
          Fail(line_, t[i].col, "expected `from>to`, got `" + t[i].text + "`");
        const Pixel a = Colour({t[i].text.substr(0, gt), t[i].col}, true);
        const Pixel b = Colour({t[i].text.substr(gt + 1), t[i].col + static_cast<int>(gt) + 1}, true);
        map.emplace_back(a, b);
      }
      for (Pixel& p : img.px)
        for (const auto& [a, b] : map)
          if (p == a) {
            p = b;
            break;
          }
    } else if (w == "tufts") {
      const std::uint64_t seed = Seed(t, 1);
      const int n = Int(t, 2, "count", 0, 10000);
      const Pixel dark = ColourArg(t, 3, "dark colour");
      const Pixel light = ColourArg(t, 4, "light colour");
      NoMore(t, 5);
      gen::Tufts(&img, seed, n, dark, light);
    } else if (w == "speckle") {
      const std::uint64_t seed = Seed(t, 1);
      const int n = Int(t, 2, "count", 0, 100000);
      size_t i = 3;
      std::vector<Pixel> colours = ColourList(t, &i);
      if (colours.empty()) Arg(t, 3, "colour");
      NoMore(t, i);
      gen::Speckle(&img, seed, n, colours);
    } else if (w == "ripple") {
      const std::uint64_t seed = Seed(t, 1);
      const int n = Int(t, 2, "count", 0, 10000);
      const Pixel c = ColourArg(t, 3, "colour");
      NoMore(t, 4);
      gen::Ripple(&img, seed, n, c);
    } else if (w == "edge") {
      const Token& mask = Arg(t, 1, "mask");
      const int depth = Int(t, 2, "depth", 0, std::max(img.w, img.h));
      size_t used = 0;
      Image other = Source(t, 3, &used);
      size_t i = 3 + used;
      std::vector<Pixel> rim, bank;
      std::uint64_t seed = 1;
      int jitter = 1;
      while (i < t.size()) {
        const Token& k = t[i++];
        if (k.text == "rim") {
          rim = ColourList(t, &i);
          if (rim.empty()) Arg(t, i, "rim colour");
        } else if (k.text == "bank") {
          bank = ColourList(t, &i);
          if (bank.empty()) Arg(t, i, "bank colour");
        } else if (k.text == "seed") {
          seed = Seed(t, i++);
        } else if (k.text == "jitter") {
          jitter = Int(t, i++, "jitter", 0, 8);
        } else {
          Fail(line_, k.col, "unexpected `" + k.text + "` (expected rim, bank, seed or jitter)");
        }
      }
      if (!gen::Edge(&img, mask.text, depth, other, seed, jitter, rim, bank))
        Fail(line_, mask.col, "bad edge mask `" + mask.text + "` (sides from n s e w, or inw ine isw ise, joined by +)");
    } else if (w == "gradient") {
      const Pixel top = ColourArg(t, 1, "top colour");
      const Pixel bottom = ColourArg(t, 2, "bottom colour");
      int bands = 8;
      bool dither = false;
      for (size_t i = 3; i < t.size(); ++i) {
        if (t[i].text == "bands") bands = Int(t, ++i, "bands", 2, 256);
        else if (t[i].text == "dither") dither = true;
        else Fail(line_, t[i].col, "unexpected `" + t[i].text + "` (expected bands or dither)");
      }
      gen::Gradient(&img, top, bottom, bands, dither);
    } else if (w == "bricks") {
      const int bw = Int(t, 1, "brick width", 2, kMaxSide);
      const int bh = Int(t, 2, "brick height", 2, kMaxSide);
      const int off = Int(t, 3, "offset", 0, kMaxSide);
      const Pixel mortar = ColourArg(t, 4, "mortar colour");
      const Pixel light = ColourArg(t, 5, "light colour");
      const Pixel dark = ColourArg(t, 6, "dark colour");
      NoMore(t, 7);
      gen::Bricks(&img, bw, bh, off, mortar, light, dark);
    } else if (w == "nine") {
      const Image& frame = UseArg(t, 1);
      bool fill = false;
      if (t.size() > 2) {
        if (t[2].text != "fill") Fail(line_, t[2].col, "unexpected `" + t[2].text + "` (expected fill)");
        fill = true;
        NoMore(t, 3);
      }
      if (frame.w % 3 != 0 || frame.h % 3 != 0 || frame.w == 0 || frame.h == 0)
        Fail(line_, t[1].col, "a frame picture must be 3 x 3 equal pieces");
      gen::Nine(&img, frame, fill);
    } else if (w == "ball") {
      const double cx = Num(t, 1, "centre x", -kMaxSide, kMaxSide);
      const double cy = Num(t, 2, "centre y", -kMaxSide, kMaxSide);
      const double rx = Num(t, 3, "x radius", 0.5, kMaxSide);
      const double ry = Num(t, 4, "y radius", 0.5, kMaxSide);
      const std::uint64_t seed = Seed(t, 5);
      const double rough = Num(t, 6, "roughness", 0, 4);
      size_t i = 7;
      bool dither = false;
      if (i < t.size() && t[i].text == "dither") {
        dither = true;
        ++i;
      }
      std::vector<Pixel> colours = ColourList(t, &i);
      if (colours.size() < 2) Arg(t, t.size() + 1, "outline and at least one body colour");
      NoMore(t, i);
      gen::Ball(&img, cx, cy, rx, ry, seed, rough, dither, colours);
    } else if (w == "oval") {
      const double cx = Num(t, 1, "centre x", -kMaxSide, kMaxSide);
      const double cy = Num(t, 2, "centre y", -kMaxSide, kMaxSide);
      const double rx = Num(t, 3, "x radius", 0.5, kMaxSide);
      const double ry = Num(t, 4, "y radius", 0.5, kMaxSide);
      const Pixel c = ColourArg(t, 5, "colour");
      NoMore(t, 6);
      gen::Oval(&img, cx, cy, rx, ry, c);
    } else if (w == "peak") {
      const double cx = Num(t, 1, "centre x", -kMaxSide, kMaxSide);
      const int top = Int(t, 2, "top row", 0, img.h - 1);
      const int base = Int(t, 3, "base row", top + 1, img.h - 1 + 1);
      const double half = Num(t, 4, "half width", 1, kMaxSide);
      const std::uint64_t seed = Seed(t, 5);
      size_t i = 6;
      std::vector<Pixel> colours = ColourList(t, &i);
      if (colours.size() != 4) Arg(t, t.size() + 1, "four colours (outline, shade, body, lit)");
      std::vector<Pixel> snow;
      if (i < t.size() && t[i].text == "snow") {
        ++i;
        snow = ColourList(t, &i);
        if (snow.size() != 2) Arg(t, t.size() + 1, "two snow colours (shade, lit)");
      }
      NoMore(t, i);
      gen::Peak(&img, cx, top, base, half, seed, colours, snow);
    } else if (w == "mask") {
      // The AND mask of a picture drawn on the canvas background: INK where the
      // source shows anything, BACK where it shows the background.
      size_t used = 0;
      const Image src = Source(t, 1, &used);
      const Pixel ink = ColourArg(t, 1 + used, "mask ink colour");
      const Pixel back = ColourArg(t, 2 + used, "mask background colour");
      NoMore(t, 3 + used);
      for (size_t k = 0; k < img.px.size(); ++k)
        img.px[k] = (src.px[k] != kNone && src.px[k] != background_) ? ink : back;
    } else if (w == "outline") {
      const Pixel c = ColourArg(t, 1, "colour");
      NoMore(t, 2);
      gen::Outline(&img, block_ == Kind::kStamp ? kNone : background_, c);
    } else {
      Fail(line_, t[0].col, "unknown directive `" + w + "`");
    }
  }

  static Image Mirrored(const Image& src) {
    Image out(src.w, src.h, kNone);
    for (int y = 0; y < src.h; ++y)
      for (int x = 0; x < src.w; ++x) out.Set(src.w - 1 - x, y, src.At(x, y));
    return out;
  }
  static Image Flipped(const Image& src) {
    Image out(src.w, src.h, kNone);
    for (int y = 0; y < src.h; ++y)
      for (int x = 0; x < src.w; ++x) out.Set(x, src.h - 1 - y, src.At(x, y));
    return out;
  }

  // ---- grids -------------------------------------------------------------------------------

  void FinishGrid(int next_line) {
    if (grid_.rows.empty()) return;
    Grid g = std::move(grid_);
    grid_ = Grid{};
    int gx = 0, gy = 0, gw = work_.w, gh = work_.h;
    if (next_grid_) {
      gx = (*next_grid_)[0];
      gy = (*next_grid_)[1];
      gw = (*next_grid_)[2];
      gh = (*next_grid_)[3];
      next_grid_.reset();
    }
    const size_t width0 = g.rows[0].text.size();
    for (const Grid::Row& r : g.rows) {
      for (size_t i = 0; i < r.text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(r.text[i]);
        if (c >= 128 || !palette_[c]) Fail(r.line, r.col + static_cast<int>(i), "unknown palette char " + Printable(c));
      }
      if (r.text.size() != width0)
        Fail(r.line, r.col + static_cast<int>(std::min(r.text.size(), width0)),
             "ragged grid: this row is " + std::to_string(r.text.size()) + " pixels wide, the first is " +
                 std::to_string(width0));
    }
    if (static_cast<int>(width0) != gw)
      Fail(g.rows[0].line, g.rows[0].col + static_cast<int>(std::min<size_t>(width0, gw)),
           "wrong grid size: rows are " + std::to_string(width0) + " pixels wide, expected " + std::to_string(gw));
    if (static_cast<int>(g.rows.size()) > gh)
      Fail(g.rows[static_cast<size_t>(gh)].line, 1,
           "wrong grid size: more than " + std::to_string(gh) + " rows (expected " + std::to_string(gh) + ")");
    if (static_cast<int>(g.rows.size()) < gh)
      Fail(next_line, 1,
           "wrong grid size: " + std::to_string(g.rows.size()) + " rows, expected " + std::to_string(gh));
    for (int y = 0; y < gh; ++y)
      for (int x = 0; x < gw; ++x) {
        const Pixel p = *palette_[static_cast<unsigned char>(g.rows[static_cast<size_t>(y)].text[static_cast<size_t>(x)])];
        if (p != kNone) work_.Set(gx + x, gy + y, p);
      }
  }

  std::string path_;
  std::string file_;  // the file being read: path_ or an included one
  int depth_;
  std::vector<std::string>* inputs_;
  std::uint64_t* work_done_;  // shared with the compilers of `use`d files
  std::vector<TileInfo>* tiles_ = nullptr;

  bool have_canvas_ = false;
  Image canvas_;
  Pixel background_ = 0;
  int cell_w_ = 0, cell_h_ = 0;
  std::array<std::optional<Pixel>, 128> palette_;
  std::map<std::string, Image> stamps_;
  std::map<std::string, Image> uses_;

  Kind block_ = Kind::kNone;
  int bx_ = 0, by_ = 0;
  Image work_;
  std::string stamp_name_;
  std::optional<std::array<int, 4>> next_grid_;
  Grid grid_;

  int line_ = 0;
  std::string raw_;
};

platform::Surface ToSurface(const Image& img, Pixel background) {
  platform::Surface s(img.w, img.h, background);
  for (int y = 0; y < img.h; ++y)
    for (int x = 0; x < img.w; ++x) {
      const Pixel p = img.At(x, y);
      s.Set(x, y, p == kNone ? background : p);
    }
  return s;
}

}  // namespace

bool CompileText(std::string_view text, const std::string& path, Result* out, Error* error) {
  Result result;
  result.inputs.push_back(path);
  std::uint64_t work = 0;
  Compiler compiler(path, 0, &result.inputs, &work);
  try {
    Image img = compiler.Run(text, &result.tiles);
    result.picture = ToSurface(img, 0);
  } catch (const Failure& f) {
    if (error) *error = Error{f.file, f.line, f.col, f.message};
    return false;
  } catch (const std::bad_alloc&) {
    if (error) *error = Error{path, 1, 1, "out of memory"};
    return false;
  }
  *out = std::move(result);
  return true;
}

bool CompileFile(const std::string& path, Result* out, Error* error) {
  std::string text;
  if (!ReadWholeFile(path, &text)) {
    if (error) *error = Error{path, 1, 1, "cannot read the file"};
    return false;
  }
  return CompileText(text, path, out, error);
}

platform::Surface FigureMask(const platform::Surface& sheet) {
  platform::Surface mask(sheet.width(), sheet.height(), 0);
  for (int y = 0; y < sheet.height(); ++y)
    for (int x = 0; x < sheet.width(); ++x)
      mask.Set(x, y, sheet.At(x, y) == 0xFFFFFFu ? 0x000000u : 0xFFFFFFu);
  return mask;
}

}  // namespace ardo::picc
