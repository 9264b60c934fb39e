// ardo-mapc: binary layout, round trips through decompile, marks, errors.
#include <map>
#include <random>
#include <sstream>

#include "tool_test_util.h"

namespace {

using namespace tooltest;

// Cell (x, y) of a binary map, read the way the game reads it.
struct Cell {
  int tile, attr;
  bool operator==(const Cell&) const = default;
};
Cell cell(const std::string& map, int x, int y) {
  const int h = static_cast<unsigned char>(map.at(1));
  const std::size_t at = 16 + 2 * (static_cast<std::size_t>(x) * h + y);
  return {static_cast<unsigned char>(map.at(at)), static_cast<unsigned char>(map.at(at + 1))};
}

class Mapc : public ScratchTest {
protected:
  std::string compile(const std::string& source, const std::string& name = "m.txt") {
    const std::string in = file(name, source);
    const Result r = run(mapc(), {"compile", in, path("m.map").string()});
    EXPECT_EQ(r.code, 0) << r.err;
    return read_bytes(path("m.map"));
  }
  // decompile then compile again; returns the recompiled bytes.
  std::string round_trip(const std::string& binary) {
    const std::string in = file("rt.map", binary);
    Result r = run(mapc(), {"decompile", in, path("rt.txt").string()});
    EXPECT_EQ(r.code, 0) << r.err;
    r = run(mapc(), {"compile", path("rt.txt").string(), path("rt2.map").string()});
    EXPECT_EQ(r.code, 0) << r.err;
    return read_bytes(path("rt2.map"));
  }
};

TEST_F(Mapc, CellsAreStoredColumnByColumnAfterA16ByteHeader) {
  const std::string map = compile(
      "legend a 1\n"
      "legend b 2 blocked\n"
      "legend c 3 hide-upper\n"
      "legend d 4 hide-lower blocked\n"
      "legend e 255 200\n"
      "legend f 7 8 blocked\n"
      "grid\n"
      "abc\n"
      "def\n");
  const std::string expected = std::string("\x03\x02", 2) + std::string(14, '\0') +
                               std::string("\x01\x00\x04\x05", 4) +   // column 0: a, d
                               std::string("\x02\x01\xFF\xC8", 4) +   // column 1: b, e
                               std::string("\x03\x02\x07\x09", 4);    // column 2: c, f
  EXPECT_EQ(map, expected);
}

TEST_F(Mapc, OneByOneMap) {
  EXPECT_EQ(compile("legend . 9\ngrid\n.\n"), std::string("\x01\x01", 2) + std::string(14, '\0') + "\x09" + '\0');
}

TEST_F(Mapc, LargestMapAndMultibyteCharacters) {
  std::string src = "legend 木 200 blocked\nlegend . 1\ngrid\n";
  for (int y = 0; y < 255; ++y) {
    for (int x = 0; x < 255; ++x) src += (x == y ? "木" : ".");
    src += '\n';
  }
  const std::string map = compile(src);
  ASSERT_EQ(map.size(), 16u + 2u * 255 * 255);
  EXPECT_EQ(map[0], '\xFF');
  EXPECT_EQ(map[1], '\xFF');
  EXPECT_EQ(cell(map, 0, 0), (Cell{200, 1}));
  EXPECT_EQ(cell(map, 254, 254), (Cell{200, 1}));
  EXPECT_EQ(cell(map, 254, 0), (Cell{1, 0}));
  EXPECT_EQ(cell(map, 3, 4), (Cell{1, 0}));
}

TEST_F(Mapc, TestMapHasItsFeaturesAtItsMarks) {
  const std::string src = std::string(ARDO_SOURCE_DIR) + "/assets/maps/test.txt";
  const std::string map = compile(read_bytes(src));
  EXPECT_EQ(map, read_bytes(fs::path(ARDO_GAME_DIR) / "map" / "test.map")) << "the build's test.map is stale";
  ASSERT_EQ(map.size(), 16u + 2u * 30 * 30);
  for (int i = 0; i < 30; ++i) {
    EXPECT_EQ(cell(map, i, 0).attr & 1, 1);
    EXPECT_EQ(cell(map, i, 29).attr & 1, 1);
    EXPECT_EQ(cell(map, 0, i).attr & 1, 1);
    EXPECT_EQ(cell(map, 29, i).attr & 1, 1);
  }
  const Result r = run(mapc(), {"marks", src});
  ASSERT_EQ(r.code, 0) << r.err;
  std::map<std::string, Cell> at;  // mark -> cell there
  std::istringstream lines(r.out);
  std::string name;
  int x, y;
  while (lines >> name >> x >> y) at[name] = cell(map, x, y);
  EXPECT_EQ(at["start"], (Cell{0, 0}));
  EXPECT_EQ(at["footprints"], (Cell{90, 0}));
  EXPECT_EQ(at["damage"], (Cell{106, 0}));
  EXPECT_EQ(at["break_95"], (Cell{95, 1}));
  EXPECT_EQ(at["break_111"], (Cell{111, 1}));
  EXPECT_EQ(at["gap"].attr, 0);
  EXPECT_EQ(at["belt_176"], (Cell{176, 0}));
  EXPECT_EQ(at["belt_end"].attr, 1);
  EXPECT_EQ(at["belt_182"], (Cell{182, 0}));
  EXPECT_EQ(at["belt_183"], (Cell{183, 0}));
  EXPECT_EQ(at["belt_down"], (Cell{182, 0}));
  EXPECT_EQ(at["pillar"].attr, 1);
  EXPECT_EQ(at["grass"].attr, 4);
  EXPECT_EQ(at["arch"].attr, 2);

  EXPECT_EQ(round_trip(map), map);
}

TEST_F(Mapc, DecompileThenCompileIsByteIdentical) {
  std::mt19937 rng(20240601);
  struct Shape {
    int w, h, kinds;
    bool header;
  };
  // Few kinds, many kinds (past the ASCII characters), and every byte value.
  for (const Shape s : {Shape{1, 1, 1, false}, Shape{7, 3, 4, true}, Shape{40, 25, 300, false},
                        Shape{255, 255, 70000, true}}) {
    std::string map;
    map += static_cast<char>(s.w);
    map += static_cast<char>(s.h);
    for (int i = 0; i < 14; ++i) map += static_cast<char>(s.header ? rng() & 0xFF : 0);
    for (int i = 0; i < s.w * s.h; ++i) {
      const unsigned k = rng() % static_cast<unsigned>(s.kinds);
      map += static_cast<char>(k & 0xFF);
      map += static_cast<char>((k >> 8) & 0xFF);
    }
    EXPECT_EQ(round_trip(map), map) << s.w << " x " << s.h;
  }
}

TEST_F(Mapc, MarksAsTextAndJson) {
  const std::string in = file("m.txt", "legend . 0\ngrid\n...\n...\n\nmark b 2 1\nmark a.1 0 0  # first cell\n");
  Result r = run(mapc(), {"marks", in});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "b 2 1\na.1 0 0\n");
  r = run(mapc(), {"--marks", "--json", in});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "{\n  \"b\": {\"x\": 2, \"y\": 1},\n  \"a.1\": {\"x\": 0, \"y\": 0}\n}\n");
}

TEST_F(Mapc, CommentsSizeFillIncludeAndLineEnds) {
  file("common.legend", "# shared\nlegend # 16 blocked   # wall\nlegend . 0\n");
  const std::string a = compile("\xEF\xBB\xBFinclude common.legend\r\n# a comment\r\ngrid\r\n###\r\n#.#  \r\n###\r\n");
  const std::string b = compile("size 3 3\nfill #\ninclude common.legend\ngrid\n###\n#.\n");
  EXPECT_EQ(a, b);
  EXPECT_EQ(cell(a, 1, 1), (Cell{0, 0}));
  EXPECT_EQ(cell(a, 2, 1), (Cell{16, 1}));
  // Without size, fill pads short rows to the widest one; mark directly after the grid ends it.
  const std::string c = compile("legend . 0\nlegend ~ 5\nfill ~\ngrid\n.\n...\nmark m 2 0\n");
  EXPECT_EQ(c.substr(0, 2), "\x03\x02");
  EXPECT_EQ(cell(c, 2, 0), (Cell{5, 0}));
  EXPECT_EQ(cell(c, 2, 1), (Cell{0, 0}));
}

struct ErrorCase {
  const char* source;
  int line, col;
  const char* message;
};

TEST_F(Mapc, ErrorsNameLineAndColumnAndWriteNothing) {
  const ErrorCase cases[] = {
      {"legend . 0\ngrid\n..\n.x\n", 4, 2, "unknown map character 'x'"},
      {"legend . 0\ngrid\n..\n. \n", 4, 2, "ragged grid"},  // trailing blanks are dropped
      {"legend . 0\ngrid\n..\n .\n", 4, 1, "blank in the grid"},
      {"legend . 0\ngrid\n...\n..\n", 4, 3, "ragged grid"},
      {"legend . 0\ngrid\n..\n...\n", 4, 3, "2 wide"},
      {"legend . 0\nlegend # 1\nlegend . 2\ngrid\n.\n", 3, 8, "duplicate legend character '.'"},
      {"legend . 256\ngrid\n.\n", 1, 10, "tile must be 0-255"},
      {"legend . -1\ngrid\n.\n", 1, 10, "tile must be 0-255"},
      {"legend . 1x\ngrid\n.\n", 1, 10, "bad number"},
      {"legend . 1 300\ngrid\n.\n", 1, 12, "attribute must be 0-255"},
      {"legend . 1 solid\ngrid\n.\n", 1, 12, "unknown attribute"},
      {"legend ab 1\ngrid\n.\n", 1, 8, "single character"},
      {"legend .\ngrid\n.\n", 1, 9, "expected: legend"},
      {"legend . 0\ngrid\n.\n\nmark far 1 0\n", 5, 10, "outside the map"},
      {"legend . 0\ngrid\n.\n\nmark far 0 5\n", 5, 12, "outside the map"},
      {"legend . 0\ngrid\n.\n\nmark m 0 0\nmark m 0 0\n", 6, 6, "already defined"},
      {"legend . 0\ngrid\n.\n\nmark m! 0 0\n", 5, 6, "bad mark name"},
      {"legend . 0\ngrid\n.\n\nmark m 0\n", 5, 9, "expected: mark NAME X Y"},
      {"legend . 0\n", 1, 1, "no 'grid'"},
      {"legend . 0\ngrid\n\n", 2, 1, "no rows"},
      {"legend . 0\ngrid\n.\n\ngrid\n.\n", 5, 1, "second 'grid'"},
      {"legend . 0\ngrid\n.\n\n.\n", 5, 1, "the grid ends at the first blank line"},
      {"legend . 0\nsize 0 3\ngrid\n.\n", 2, 6, "width must be 1-255"},
      {"legend . 0\nsize 2 1\ngrid\n..\n..\n", 5, 1, "more rows"},
      {"legend . 0\nsize 2 2\ngrid\n..\n", 4, 1, "use 'fill CHAR'"},
      {"legend . 0\nfill x\ngrid\n.\n", 2, 6, "unknown map character 'x'"},
      {"include nowhere.legend\n", 1, 9, "cannot read"},
      {"colour red\n", 1, 1, "unknown directive"},
      {"legend \x01 1\ngrid\n\x01\n", 1, 8, "control"},
      {"legend . 0\ngrid\n.\xFF\n", 3, 2, "invalid UTF-8"},
      {"header 00 GG\nlegend . 0\ngrid\n.\n", 1, 11, "bad header byte"},
  };
  for (const ErrorCase& c : cases) {
    const std::string in = file("bad.txt", c.source);
    const fs::path out = path("bad.map");
    const Result r = run(mapc(), {"compile", in, out.string()});
    const std::string where = in + ":" + std::to_string(c.line) + ":" + std::to_string(c.col) + ": ";
    EXPECT_EQ(r.code, 1) << c.source;
    EXPECT_FALSE(r.crashed) << c.source << r.err;
    EXPECT_EQ(r.err.rfind(where, 0), 0u) << "source: " << c.source << "\nstderr: " << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << "source: " << c.source << "\nstderr: " << r.err;
    EXPECT_FALSE(fs::exists(out)) << c.source;
  }
  // Too wide and too tall, at the first cell past the limit.
  std::string wide = "legend . 0\ngrid\n" + std::string(256, '.') + "\n";
  std::string tall = "legend . 0\ngrid\n";
  for (int i = 0; i < 256; ++i) tall += ".\n";
  for (const auto& [src, where] : {std::pair{wide, ":3:256: "}, std::pair{tall, ":258:1: "}}) {
    const std::string in = file("big.txt", src);
    const Result r = run(mapc(), {"compile", in, path("big.map").string()});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err.rfind(in + where, 0), 0u) << r.err;
    EXPECT_FALSE(fs::exists(path("big.map")));
  }
  // An error in an included file names that file.
  file("bad.legend", "legend . 0\nlegend . 1\n");
  const std::string in = file("inc.txt", "include bad.legend\ngrid\n.\n");
  const Result r = run(mapc(), {"compile", in, path("inc.map").string()});
  EXPECT_EQ(r.err.rfind(path("bad.legend").string() + ":2:8: ", 0), 0u) << r.err;
}

TEST_F(Mapc, DecompileRejectsMalformedFiles) {
  const std::string header(14, '\0');
  const std::pair<std::string, const char*> cases[] = {
      {"", "too short"},
      {std::string("\x02\x02", 2) + header.substr(0, 10), "too short"},
      {std::string("\x00\x02", 2) + header + std::string(8, '\0'), "width 0"},
      {std::string("\x02\x00", 2) + header, "height 0"},
      {std::string("\x02\x02", 2) + header + std::string(7, '\0'), "a 2 x 2 map has 24"},
      {std::string("\x02\x02", 2) + header + std::string(9, '\0'), "a 2 x 2 map has 24"},
  };
  for (const auto& [bytes, message] : cases) {
    const std::string in = file("bad.map", bytes);
    const Result r = run(mapc(), {"decompile", in, path("bad.txt").string()});
    EXPECT_EQ(r.code, 1) << message;
    EXPECT_FALSE(r.crashed) << r.err;
    EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(path("bad.txt")));
  }
  EXPECT_EQ(run(mapc(), {"compile", "only-one-arg"}).code, 2);
}

}  // namespace
