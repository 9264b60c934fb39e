#include "exits.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>

#include "mapsource.h"
#include "toolcommon.h"

namespace ardo::mapc {
namespace {

namespace fs = std::filesystem;
using tool::SourceError;

constexpr const char* kField = "field";
constexpr long kMaxFlag = 2047;  // 256 flag bytes

struct Word {
  std::string_view text;
  int col;
};

// The words of a line up to a word that starts a comment.
std::vector<Word> words_of(std::string_view line) {
  std::vector<Word> out;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size() || line[i] == '#') break;
    std::size_t j = i;
    while (j < line.size() && line[j] != ' ' && line[j] != '\t') ++j;
    out.push_back({line.substr(i, j - i), tool::column_of(line, i)});
    i = j;
  }
  return out;
}

bool valid_name(std::string_view s) {
  return !s.empty() && s.size() <= 64 && std::all_of(s.begin(), s.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
  });
}

struct Cell {
  int x = 0;
  int y = 0;
  bool operator<(const Cell& o) const { return x != o.x ? x < o.x : y < o.y; }
};

class Compiler {
 public:
  explicit Compiler(std::string music_dir) : music_dir_(std::move(music_dir)) {}

  void add_file(const std::string& path) {
    std::string text, err;
    if (!tool::read_file(path, text, err)) throw SourceError(path, 0, 0, err);
    file_ = path;
    dir_ = fs::path(path).parent_path();
    owner_ = fs::path(path).stem().string();
    for (const tool::SourceLine& l : tool::split_lines(text)) {
      line_ = l.number;
      const std::vector<Word> w = words_of(l.text);
      if (!w.empty()) add_line(w);
    }
  }

  const std::string& output() const { return out_; }

 private:
  [[noreturn]] void fail(int col, const std::string& msg) const { throw SourceError(file_, line_, col, msg); }

  void add_line(const std::vector<Word>& w) {
    const bool with_flag = w.size() == 8 && w[6].text == "flag";
    if (w.size() != 6 && !with_flag) {
      fail(w.size() > 6 ? w[6].col : w.back().col,
           "expected: from-map from-cell to-map to-cell music area [flag N]");
    }
    const std::string from(w[0].text), to(w[2].text);
    const Map& from_map = map_named(w[0]);
    const Map& to_map = map_named(w[2]);
    if (from != owner_ && !(from == kField && to == owner_)) {
      fail(w[0].col, "this exit belongs in " + (from == kField ? to : from) + ".exits, not " + owner_ + ".exits");
    }
    const Cell at = cell_of(from_map, w[1]);
    const Cell target = cell_of(to_map, w[3]);
    const std::string music(w[4].text);
    if (!valid_name(music)) fail(w[4].col, "bad music name '" + music + "'");
    std::error_code ec;
    if (!music_dir_.empty() && !fs::is_regular_file(fs::path(music_dir_) / (music + ".mml"), ec)) {
      fail(w[4].col, "unknown music '" + music + "' (no " + music + ".mml)");
    }
    long area = 0;
    if (!tool::parse_int(w[5].text, area) || area > 255) fail(w[5].col, "area must be a number 0-255");
    long flag = -1;
    if (with_flag && (!tool::parse_int(w[7].text, flag) || flag > kMaxFlag)) {
      fail(w[7].col, "flag must be a number 0-" + std::to_string(kMaxFlag));
    }
    const std::string where = file_ + ":" + std::to_string(line_);
    const auto [it, fresh] = defined_.emplace(std::make_pair(from, at), where);
    if (!fresh) fail(w[1].col, "exit cell already defined at " + it->second);
    out_ += from + ',' + std::to_string(at.x) + ',' + std::to_string(at.y) + ',' + to + ',' +
            std::to_string(target.x) + ',' + std::to_string(target.y) + ',' + music + ',' + std::to_string(area) +
            ',' + std::to_string(flag) + '\n';
  }

  // The map source NAME.txt beside the exits file, read once.
  const Map& map_named(const Word& w) {
    const std::string name(w.text);
    if (!valid_name(name)) fail(w.col, "bad map name '" + name + "'");
    const fs::path source = dir_ / (name + ".txt");
    const std::string key = source.string();
    if (auto it = maps_.find(key); it != maps_.end()) return *it->second;
    std::string text, err;
    std::error_code ec;
    if (!fs::is_regular_file(source, ec) || !tool::read_file(key, text, err)) {
      fail(w.col, "unknown map '" + name + "' (no " + name + ".txt)");
    }
    auto map = std::make_unique<Map>(parse_source(key, text));
    return *maps_.emplace(key, std::move(map)).first->second;
  }

  // A mark of the map, or a literal "X,Y"; inside the map either way.
  Cell cell_of(const Map& map, const Word& w) {
    Cell c;
    const std::string_view s = w.text;
    if (const std::size_t comma = s.find(','); comma != std::string_view::npos) {
      long x = 0, y = 0;
      if (!tool::parse_int(s.substr(0, comma), x) || !tool::parse_int(s.substr(comma + 1), y) || x > 255 ||
          y > 255) {
        fail(w.col, "bad cell '" + std::string(s) + "' (a mark name or X,Y)");
      }
      c = {static_cast<int>(x), static_cast<int>(y)};
    } else {
      const auto m = std::find_if(map.marks.begin(), map.marks.end(), [&](const Mark& k) { return k.name == s; });
      if (m == map.marks.end()) fail(w.col, "unknown mark '" + std::string(s) + "'");
      c = {m->x, m->y};
    }
    if (c.x >= map.width || c.y >= map.height) {
      fail(w.col, "cell (" + std::to_string(c.x) + ", " + std::to_string(c.y) + ") lies outside the map (" +
                      std::to_string(map.width) + " x " + std::to_string(map.height) + ")");
    }
    return c;
  }

  std::string music_dir_;
  std::string file_;
  fs::path dir_;
  std::string owner_;
  int line_ = 0;
  std::map<std::string, std::unique_ptr<Map>> maps_;
  std::map<std::pair<std::string, Cell>, std::string> defined_;
  std::string out_ = "from,x,y,to,x,y,music,area,flag\n";
};

}  // namespace

std::string compile_exits(const std::vector<std::string>& paths, const std::string& music_dir) {
  Compiler c(music_dir);
  for (const std::string& p : paths) c.add_file(p);
  return c.output();
}

}  // namespace ardo::mapc
