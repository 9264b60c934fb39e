// The picture compiler: error positions, drawing rules, generators, the figure
// mask, the command line, and random input.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "picc.h"
#include "platform/platform.h"

namespace fs = std::filesystem;
using ardo::picc::CompileText;
using ardo::picc::Error;
using ardo::picc::Result;
using ardo::platform::Color;

namespace {

// A scratch folder of its own for each test.
class ScratchDir {
 public:
  ScratchDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = fs::path(ARDO_BINARY_DIR) / "test_scratch" / "graphics" /
            (std::string(info->test_suite_name()) + "." + info->name());
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  fs::path Write(const std::string& name, const std::string& text) const {
    std::ofstream(path_ / name, std::ios::binary) << text;
    return path_ / name;
  }
  fs::path operator/(const std::string& name) const { return path_ / name; }

 private:
  fs::path path_;
};

Error CompileError(const std::string& text) {
  Result r;
  Error e;
  EXPECT_FALSE(CompileText(text, "t.pic", &r, &e)) << "compiled although it should not:\n" << text;
  return e;
}

Result Compile(const std::string& text) {
  Result r;
  Error e;
  EXPECT_TRUE(CompileText(text, "t.pic", &r, &e)) << e.Format();
  return r;
}

int RunTool(const std::vector<std::string>& args, std::string* out = nullptr, std::string* err = nullptr) {
  std::ostringstream o, e;
  const int status = ardo::picc::Run(args, o, e);
  if (out) *out = o.str();
  if (err) *err = e.str();
  return status;
}

const char kHeader[] = "canvas 4 4 cell 2 2 background #000000\nA = #FF0000\nB = #0000FF\n_ = none\n";

}  // namespace

TEST(PiccErrors, PointAtTheOffendingLineAndColumn) {
  struct Case {
    std::string body;  // after the 4 header lines
    int line, col;
    std::string words;
  };
  const std::vector<Case> cases = {
      {"tile 0\n|AA\n|AZ\n", 7, 3, "unknown palette char 'Z'"},
      {"tile 0\n|AA\n|AAA\n", 7, 4, "ragged grid"},
      {"tile 0\n|AAA\n|AAA\n", 6, 4, "wrong grid size"},
      {"tile 0\n|AA\n|AA\n|AA\n", 8, 1, "wrong grid size"},
      {"tile 0\n|AA\n\n", 7, 1, "wrong grid size"},
      {"C = #12345G\n", 5, 11, "bad colour"},
      {"C = red\n", 5, 5, "bad colour"},
      {"tile 0\nfill #GG0000\n", 6, 7, "bad colour"},
      {"tile 4\n", 5, 6, "out of range"},
      {"tile 0\nwobble 3\n", 6, 1, "unknown directive"},
      {"|AA\n", 5, 1, "outside a block"},
      {"tile 0\nrecolor A\n", 6, 9, "from>to"},
      {"tile 0\nedge q 1 color A\n", 6, 6, "bad edge mask"},
      {"tile 0\nput nothing 0 0\n", 6, 5, "unknown stamp"},
      {"tile 0\nfill\n", 6, 5, "missing colour"},
      {"# = #000000\n", 0, 0, ""},  // a comment, not an entry: no error by itself
  };
  for (const Case& c : cases) {
    if (c.line == 0) {
      Compile(kHeader + c.body);
      continue;
    }
    const Error e = CompileError(kHeader + c.body);
    EXPECT_EQ(e.file, "t.pic");
    EXPECT_EQ(e.line, c.line) << c.body << e.Format();
    EXPECT_EQ(e.col, c.col) << c.body << e.Format();
    EXPECT_NE(e.message.find(c.words), std::string::npos) << e.Format();
    EXPECT_EQ(e.Format().rfind("t.pic:" + std::to_string(c.line) + ":" + std::to_string(c.col) + ": ", 0), 0u);
  }
  EXPECT_NE(CompileError("A = #FF0000\n").message.find("canvas"), std::string::npos);
  EXPECT_NE(CompileError("").message.find("canvas"), std::string::npos);
}

TEST(PiccErrors, NameTheIncludedFileTheyAreIn) {
  ScratchDir dir;
  dir.Write("parts.txt", "A = #FF0000\ntile 0\n|AA\n|A?\n");
  const fs::path main = dir.Write("main.pic", "canvas 4 4 cell 2 2\ninclude parts.txt\n");
  Result r;
  Error e;
  ASSERT_FALSE(ardo::picc::CompileFile(main.string(), &r, &e));
  EXPECT_EQ(fs::path(e.file).filename(), "parts.txt");
  EXPECT_EQ(e.line, 4);
  EXPECT_EQ(e.col, 3);
  dir.Write("a.txt", "include b.txt\n");
  dir.Write("b.txt", "A = #FF0000\ninclude a.txt\n");
  dir.Write("cycle.pic", "canvas 4 4\ninclude a.txt\n");
  ASSERT_FALSE(ardo::picc::CompileFile((dir / "cycle.pic").string(), &r, &e));
  EXPECT_NE(e.message.find("nested too deeply"), std::string::npos) << e.Format();
}

TEST(PiccDrawing, PlacesGridsByTileCodeCellAndRectangle) {
  const Result r = Compile(std::string(kHeader) +
                           "tile 3 attr 5 lower right\n|AB\n|BA\n"
                           "cell 0 1\n|BB\n|B_\n"
                           "rect 1 0 2 1\n|AA\n");
  const auto& p = r.picture;
  EXPECT_EQ(p.width(), 4);
  EXPECT_EQ(p.At(2, 2), 0xFF0000u);
  EXPECT_EQ(p.At(3, 2), 0x0000FFu);
  EXPECT_EQ(p.At(0, 2), 0x0000FFu);
  EXPECT_EQ(p.At(1, 3), 0x000000u) << "a transparent pixel keeps the background";
  EXPECT_EQ(p.At(1, 0), 0xFF0000u);
  EXPECT_EQ(p.At(3, 0), 0x000000u);
  ASSERT_EQ(r.tiles.size(), 1u);
  EXPECT_EQ(r.tiles[0].code, 3);
  EXPECT_EQ(r.tiles[0].attr, 5);
  EXPECT_EQ(r.tiles[0].name, "lower right");
}

TEST(PiccDrawing, CopiesMirrorsRecoloursAndLayersStamps) {
  const Result r = Compile(std::string(kHeader) +
                           "stamp dot 2 2\n|A_\n|__\n"
                           "tile 0\n|AB\n|BB\n"
                           "tile 1\ncopy tile 0\nmirror\n"
                           "tile 2\ncopy tile 0\nrecolor A>#00FF00 B>A\n"
                           "tile 3\nfill B\nput dot 1 1\nput dot 0 0 under\n");
  const auto& p = r.picture;
  EXPECT_EQ(p.At(2, 0), 0x0000FFu);
  EXPECT_EQ(p.At(3, 0), 0xFF0000u) << "mirrored";
  EXPECT_EQ(p.At(0, 2), 0x00FF00u) << "recoloured";
  EXPECT_EQ(p.At(1, 2), 0xFF0000u) << "recoloured once, not twice";
  EXPECT_EQ(p.At(3, 3), 0xFF0000u) << "stamp drawn over";
  EXPECT_EQ(p.At(2, 2), 0x0000FFu) << "`under` leaves what is there";
}

TEST(PiccDrawing, GeneratedTilesAreDeterministicAndShoresMeetTheirNeighbours) {
  const std::string src =
      "canvas 48 24 cell 24 24\nG = #00A000\nW = #0000C0\n"
      "tile 0\nfill G\ntufts 5 9 #006000 #80FF80\n"
      "tile 1\nfill W\nripple 3 4 #8080FF\nedge n 6 tile 0 rim #FFFFFF bank #604020 seed 9 jitter 2\n";
  const Result a = Compile(src), b = Compile(src);
  EXPECT_EQ(a.picture.pixels(), b.picture.pixels());
  // The shore's land strip reaches the same depth at both side edges, so a row of
  // them (and the corner pieces) join without steps.
  auto land_rows = [&](int x) {
    int n = 0;
    while (n < 24 && a.picture.At(24 + x, n) != 0x0000C0u && a.picture.At(24 + x, n) != 0x8080FFu &&
           a.picture.At(24 + x, n) != 0xFFFFFFu)
      ++n;
    return n;
  };
  EXPECT_EQ(land_rows(0), 6);
  EXPECT_EQ(land_rows(23), 6);
  EXPECT_EQ(a.picture.At(24, 6), 0xFFFFFFu) << "the rim runs along the water side of the edge";
  EXPECT_EQ(a.picture.At(24, 5), 0x604020u) << "the bank along the land side";
}

TEST(PiccMask, MaskOperationIsInkWhereThePictureIsAndOnlyThere) {
  // A picture on the black background, its mask below: ink where anything is drawn.
  const Result r = Compile("canvas 2 4\nA = #181820\n. = none\nrect 0 0 2 2\n|A.\n|.A\n"
                           "rect 0 2 2 2\nmask rect 0 0 #000000 #FFFFFF\n");
  EXPECT_EQ(r.picture.At(0, 2), 0x000000u);
  EXPECT_EQ(r.picture.At(1, 2), 0xFFFFFFu);
  EXPECT_EQ(r.picture.At(0, 3), 0xFFFFFFu);
  EXPECT_EQ(r.picture.At(1, 3), 0x000000u);
}

TEST(PiccMask, IsWhiteExactlyWhereTheFigureIs) {
  ardo::platform::Surface sheet(3, 2, 0xFFFFFF);
  sheet.Set(0, 0, 0xF8F8F8);  // the figures' white is still figure
  sheet.Set(2, 1, 0x000000);
  sheet.Set(1, 1, 0xFFFFFE);
  const auto mask = ardo::picc::FigureMask(sheet);
  const Color want[2][3] = {{0xFFFFFF, 0, 0}, {0, 0xFFFFFF, 0xFFFFFF}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(mask.At(x, y), want[y][x]) << x << "," << y;
}

TEST(PiccCommandLine, WritesPicturesMasksTablesAndPreviews) {
  ScratchDir dir;
  const fs::path src = dir.Write("f.pic", "canvas 4 2 cell 2 2 background #FFFFFF\nA = #101010\n"
                                          "tile 0 attr 1 wall\n|A.\n|..\n. = #FFFFFF\ntile 1 grass\n|..\n|.A\n");
  // `.` is used before it is defined in tile 0: that is an error at its column.
  std::string out, err;
  EXPECT_EQ(RunTool({src.string(), "-o", (dir / "f.png").string()}, &out, &err), 1);
  EXPECT_NE(err.find("f.pic:4:3: unknown palette char '.'"), std::string::npos) << err;
  EXPECT_FALSE(fs::exists(dir / "f.png")) << "no output after an error";

  dir.Write("f.pic", "canvas 4 2 cell 2 2 background #FFFFFF\nA = #101010\n. = #FFFFFF\n"
                     "tile 0 attr 1 wall\n|A.\n|..\ntile 1 grass\n|..\n|.A\n");
  ASSERT_EQ(RunTool({src.string(), "-o", (dir / "f.png").string()}), 0);
  ASSERT_EQ(RunTool({src.string(), "--mask", "-o", (dir / "m.png").string()}), 0);
  std::string error;
  auto pic = ardo::platform::LoadPicture((dir / "f.png").string(), &error);
  auto mask = ardo::platform::LoadPicture((dir / "m.png").string(), &error);
  ASSERT_TRUE(pic && mask) << error;
  EXPECT_EQ(pic->At(0, 0), 0x101010u);
  EXPECT_EQ(mask->At(0, 0), 0xFFFFFFu);
  EXPECT_EQ(mask->At(1, 0), 0x000000u);
  EXPECT_EQ(mask->At(3, 1), 0xFFFFFFu);
  for (const char* leftover : {"f.png.tmp", "m.png.tmp"}) EXPECT_FALSE(fs::exists(dir / leftover));

  ASSERT_EQ(RunTool({"--table", src.string()}, &out), 0);
  EXPECT_NE(out.find("| 0 | 1 | wall |"), std::string::npos) << out;
  EXPECT_NE(out.find("| 1 | 0 | grass |"), std::string::npos) << out;

  ASSERT_EQ(RunTool({"--preview", (dir / "f.png").string(), (dir / "p.png").string(), "--cell", "2", "--scale", "3"}),
            0);
  auto preview = ardo::platform::LoadPicture((dir / "p.png").string(), &error);
  ASSERT_TRUE(preview) << error;
  EXPECT_EQ(preview->width(), 2 * (2 * 3 + 1) + 1);

  EXPECT_EQ(RunTool({}), 1);
  EXPECT_EQ(RunTool({src.string()}), 1) << "no output named";
  EXPECT_EQ(RunTool({(dir / "missing.pic").string(), "-o", (dir / "x.png").string()}, &out, &err), 1);
  EXPECT_NE(err.find("cannot read"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir / "x.png"));
}

// Random and mangled sources: the compiler reports an error or draws a picture, never
// crashes, and the command line never leaves an output behind after an error.
TEST(PiccFuzz, RandomSourcesNeverCrashNorLeaveOutput) {
  ScratchDir dir;
  const std::string seed_text = std::string(kHeader) +
                                "stamp s 2 2\n|A_\n|_B\n"
                                "tile 0 attr 4 x\n|AB\n|BA\n"
                                "tile 1\ncopy tile 0\nmirror\nshift 1 1\nrecolor A>B\n"
                                "tile 2\nfill A\nput s 0 0 mirror\nedge nw+ise 1 tile 0 rim B bank A seed 3\n"
                                "rect 0 0 4 4\ngradient A B bands 3 dither\nball 2 2 1.5 1.5 1 0.5 B A A\n";
  const std::string alphabet = "|_ABZ#0123456789abcdefx=.-+>;\n\t canvasfilltilecellrectedgestampputmirror";
  std::mt19937 rng(20240607);
  const fs::path out = dir / "out.png";
  int failures = 0;
  for (int round = 0; round < 400; ++round) {
    std::string text = seed_text;
    const int edits = 1 + static_cast<int>(rng() % 6);
    for (int k = 0; k < edits; ++k) {
      const size_t pos = rng() % (text.size() + 1);
      switch (rng() % 4) {
        case 0: text.insert(pos, 1, alphabet[rng() % alphabet.size()]); break;
        case 1: if (pos < text.size()) text.erase(pos, 1 + rng() % 8); break;
        case 2: if (pos < text.size()) text[pos] = static_cast<char>(rng() % 256); break;
        default: text.insert(pos, std::to_string(static_cast<int>(rng() % 20000) - 10000)); break;
      }
    }
    if (round % 50 == 49) {  // now and then pure noise
      text.clear();
      for (int k = 0; k < 300; ++k) text += static_cast<char>(rng() % 256);
    }
    Result r;
    Error e;
    const bool ok = CompileText(text, "fuzz.pic", &r, &e);
    if (!ok) {
      ++failures;
      EXPECT_GE(e.line, 1);
      EXPECT_GE(e.col, 1);
      EXPECT_FALSE(e.message.empty());
    }
    if (round % 10 == 0) {
      dir.Write("fuzz.pic", text);
      fs::remove(out);
      const int status = RunTool({(dir / "fuzz.pic").string(), "-o", out.string()});
      EXPECT_EQ(status == 0, ok);
      EXPECT_EQ(fs::exists(out), ok);
      EXPECT_FALSE(fs::exists(dir / "out.png.tmp"));
    }
  }
  EXPECT_GT(failures, 100) << "the mutations should break most sources";
}
