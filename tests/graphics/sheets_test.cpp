// The built pictures in the game folder: sizes, the figure mask, the tiles the game
// gives behaviour to, the window frame, and the tile table for the map makers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "picc.h"
#include "platform/platform.h"

using ardo::platform::Color;
using ardo::platform::Surface;

namespace {

std::shared_ptr<Surface> Built(const std::string& name) {
  std::string error;
  auto s = ardo::platform::LoadPicture(std::string(ARDO_GAME_DIR) + "/graphics/" + name, &error);
  EXPECT_TRUE(s) << error;
  return s;
}

std::vector<Color> Cell(const Surface& s, int x0, int y0, int w, int h) {
  std::vector<Color> out;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) out.push_back(s.At(x0 + x, y0 + y));
  return out;
}

std::vector<Color> Tile(const Surface& sheet, int code) {
  return Cell(sheet, code % 16 * 24, code / 16 * 24, 24, 24);
}

}  // namespace

TEST(BuiltSheets, HaveTheirSizes) {
  const std::map<std::string, std::pair<int, int>> sizes = {
      {"maptip.png", {384, 384}}, {"chr.png", {192, 528}}, {"chrmask.png", {192, 528}},
      {"waku.png", {15, 15}},     {"mesbg.png", {274, 116}},  {"title.png", {200, 84}},
      {"logo.png", {130, 65}},    {"btlback.png", {360, 360}}, {"btlchr.png", {504, 260}},
      {"enemy.png", {300, 1508}}, {"titlebg.png", {360, 360}},
  };
  for (const auto& [name, size] : sizes) {
    auto s = Built(name);
    ASSERT_TRUE(s) << name;
    EXPECT_EQ(s->width(), size.first) << name;
    EXPECT_EQ(s->height(), size.second) << name;
  }
}

TEST(BuiltSheets, FigureMaskMatchesTheFiguresAndEveryFrameHasOne) {
  auto chr = Built("chr.png");
  auto mask = Built("chrmask.png");
  ASSERT_TRUE(chr && mask);
  EXPECT_EQ(ardo::picc::FigureMask(*chr).pixels(), mask->pixels());
  for (int row = 0; row < 22; ++row)
    for (int col = 0; col < 8; ++col) {
      int figure = 0;
      for (Color c : Cell(*mask, col * 24, row * 24, 24, 24)) figure += c == 0xFFFFFFu;
      EXPECT_GT(figure, 40) << "row " << row << " column " << col << " is (nearly) empty";
    }
  // Walking frames differ, and the four facings differ, for the people.
  for (int row : {0, 1, 3, 4, 8}) {
    auto frame = [&](int col) { return Cell(*chr, col * 24, row * 24, 24, 24); };
    for (int c = 0; c < 8; c += 2) EXPECT_NE(frame(c), frame(c + 1)) << "row " << row << " col " << c;
    EXPECT_NE(frame(0), frame(2)) << row;
    EXPECT_NE(frame(4), frame(6)) << row;
    EXPECT_NE(frame(0), frame(6)) << row;
  }
}

// Every walking figure takes real steps: in each facing its two frames differ by
// more than a shuffle of the feet (the people swing legs and arms, the animals hop).
TEST(BuiltSheets, WalkingFiguresStepVisibly) {
  struct Walker {
    int row;
    int min_pixels;
  };
  constexpr int kPerson = 28;  // about 5% of the frame
  constexpr int kAnimal = 40;
  const Walker walkers[] = {{0, kPerson},  {1, kPerson},  {2, kPerson},  {3, kPerson},  {4, kPerson},
                            {5, kPerson},  {6, kPerson},  {7, kPerson},  {8, kPerson},  {9, kPerson},
                            {10, kPerson}, {11, kPerson}, {12, kPerson}, {14, kPerson}, {15, kAnimal},
                            {18, kAnimal}, {19, kAnimal}};
  auto chr = Built("chr.png");
  ASSERT_TRUE(chr);
  for (const Walker& w : walkers)
    for (int col = 0; col < 8; col += 2) {
      auto a = Cell(*chr, col * 24, w.row * 24, 24, 24);
      auto b = Cell(*chr, (col + 1) * 24, w.row * 24, 24, 24);
      int changed = 0;
      for (size_t i = 0; i < a.size(); ++i) changed += a[i] != b[i];
      EXPECT_GE(changed, w.min_pixels) << "row " << w.row << " facing " << col / 2;
    }
}

TEST(BuiltSheets, TilesWithBehaviourAreDistinctPictures) {
  auto sheet = Built("maptip.png");
  ASSERT_TRUE(sheet);
  const std::vector<int> codes = {5, 78, 79, 90, 94, 95, 106, 110, 111, 176, 182, 183};
  for (size_t i = 0; i < codes.size(); ++i)
    for (size_t j = i + 1; j < codes.size(); ++j)
      EXPECT_NE(Tile(*sheet, codes[i]), Tile(*sheet, codes[j])) << codes[i] << " and " << codes[j];
  // The map makers' default, tile 0, is a plain grass tile: mostly green.
  int green = 0;
  for (Color c : Tile(*sheet, 0)) green += ((c >> 8) & 255) > ((c >> 16) & 255) + 30;
  EXPECT_GT(green, 24 * 24 * 3 / 4);
}

TEST(BuiltSheets, WindowFrameAndMessageBackgroundShareTheFrame) {
  auto waku = Built("waku.png");
  auto mes = Built("mesbg.png");
  ASSERT_TRUE(waku && mes);
  for (Color c : Cell(*waku, 5, 5, 5, 5)) EXPECT_EQ(c, 0x000080u) << "the window fill is navy";
  EXPECT_EQ(Cell(*mes, 0, 0, 5, 5), Cell(*waku, 0, 0, 5, 5));
  EXPECT_EQ(Cell(*mes, 269, 110, 5, 5), Cell(*waku, 10, 10, 5, 5)) << "the frame closes within 274 x 115";
  // Inside the frame: shades of blue only.
  for (int y = 5; y < 110; ++y)
    for (int x = 5; x < 269; ++x) {
      const Color c = mes->At(x, y);
      ASSERT_GT(c & 255, ((c >> 16) & 255) + 60) << x << "," << y;
    }
}

TEST(BuiltSheets, BattleHeroPosesMatchTheirMasksAndTheRestIsBlack) {
  auto sheet = Built("btlchr.png");
  ASSERT_TRUE(sheet);
  // The hero is drawn by AND with the mask below each pose, then OR with the pose:
  // the mask is black exactly where the pose is, white elsewhere.
  for (int pose = 0; pose < 8; ++pose) {
    int figure = 0;
    for (int y = 0; y < 80; ++y)
      for (int x = 0; x < 56; ++x) {
        const Color c = sheet->At(pose * 56 + x, y);
        const Color m = sheet->At(pose * 56 + x, 80 + y);
        ASSERT_EQ(m, c == 0 ? 0xFFFFFFu : 0u) << "pose " << pose << " at " << x << "," << y;
        figure += c != 0;
      }
    EXPECT_GT(figure, 56 * 80 / 4) << "pose " << pose;
  }
  auto pose = [&](int p) { return Cell(*sheet, p * 56, 0, 56, 80); };
  for (int p = 1; p < 8; ++p) EXPECT_NE(pose(p - 1), pose(p)) << "poses " << p - 1 << " and " << p;
  // The effect pieces are there, and everything outside the pieces is black
  // (effects are drawn with OR).
  struct Piece { int x, y, w, h; };
  std::vector<Piece> pieces = {{0, 0, 448, 160}, {0, 160, 100, 100}, {100, 160, 27, 28}, {100, 215, 45, 45},
                               {448, 124, 28, 136}, {476, 124, 28, 136}};
  for (int i = 0; i < 6; ++i) pieces.push_back({448 + 28 * (i % 2), 20 * (i / 2), 28, 20});
  for (const auto& p : pieces) {
    int lit = 0;
    for (Color c : Cell(*sheet, p.x, p.y, p.w, p.h)) lit += c != 0;
    EXPECT_GT(lit, p.w * p.h / 30) << "the piece at " << p.x << "," << p.y << " is (nearly) empty";
  }
  for (int y = 0; y < 260; ++y)
    for (int x = 0; x < 504; ++x) {
      bool inside = false;
      for (const auto& p : pieces) inside |= x >= p.x && x < p.x + p.w && y >= p.y && y < p.y + p.h;
      if (!inside) {
        ASSERT_EQ(sheet->At(x, y), 0u) << x << "," << y;
      }
    }
}

TEST(BuiltSheets, TitleAndLogoStandOnBlack) {
  auto title = Built("title.png");
  auto logo = Built("logo.png");
  ASSERT_TRUE(title && logo);
  // Shown centred on a black screen: the border of the title is black.
  for (int x = 0; x < 200; ++x) EXPECT_EQ(title->At(x, 83), 0u) << x;
  for (int y = 0; y < 84; ++y) EXPECT_EQ(title->At(0, y), 0u) << y;
  for (int y = 0; y < 84; ++y) EXPECT_EQ(title->At(199, y), 0u) << y;
  // Only the left half of the logo is shown: the emblem is there, the rest black.
  int emblem = 0;
  for (Color c : Cell(*logo, 0, 0, 65, 65)) emblem += c != 0;
  EXPECT_GT(emblem, 65 * 65 / 3);
  for (Color c : Cell(*logo, 65, 0, 65, 65)) ASSERT_EQ(c, 0u);
}

TEST(TileTable, ListsEveryTileOfTheSheetWithItsAttr) {
  ardo::picc::Result r;
  ardo::picc::Error e;
  ASSERT_TRUE(ardo::picc::CompileFile(std::string(ARDO_SOURCE_DIR) + "/assets/graphics/maptip.pic", &r, &e))
      << e.Format();
  std::ifstream in(std::string(ARDO_SOURCE_DIR) + "/assets/graphics/TILES.md");
  ASSERT_TRUE(in);
  // Table rows that start with two numbers: "| code | attr | picture |".
  std::map<int, int> documented;
  for (std::string line; std::getline(in, line);) {
    int code = 0, attr = 0;
    char bar1 = 0, bar2 = 0, bar3 = 0;
    std::istringstream row(line);
    if ((row >> bar1 >> code >> bar2 >> attr >> bar3) && bar1 == '|' && bar2 == '|' && bar3 == '|')
      documented[code] = attr;
  }
  std::set<int> seen;
  for (const auto& t : r.tiles) {
    EXPECT_TRUE(seen.insert(t.code).second) << "tile " << t.code << " is drawn twice";
    auto it = documented.find(t.code);
    ASSERT_NE(it, documented.end()) << "tile " << t.code << " (" << t.name << ") is missing from TILES.md";
    EXPECT_EQ(it->second, t.attr) << "tile " << t.code << " (" << t.name << ")";
  }
  EXPECT_EQ(documented.size(), seen.size()) << "TILES.md lists tiles the sheet does not draw";
  // The tiles the game gives behaviour to keep the attrs it relies on.
  auto attr = [&](int code) { return documented.count(code) ? documented[code] : -1; };
  EXPECT_EQ(attr(95) & 1, 1);
  EXPECT_EQ(attr(111) & 1, 1);
  EXPECT_EQ(attr(94) & 1, 0);
  EXPECT_EQ(attr(110) & 1, 0);
  for (int code : {5, 78, 79, 90, 106, 176, 182, 183}) EXPECT_EQ(attr(code) & 1, 0) << code;
}

namespace {

// One enemy's place on enemy.png, from the game's enemy.dat (row, name, srcX, srcY, spare, w, h, ...).
struct EnemyPicture {
  int row, x, y, w, h;
};

std::vector<EnemyPicture> EnemyPictures() {
  std::vector<EnemyPicture> out;
  std::ifstream in(std::string(ARDO_GAME_DIR) + "/data/enemy.dat");
  EXPECT_TRUE(in);
  std::string line;
  std::getline(in, line);  // the header
  while (std::getline(in, line)) {
    std::vector<int> f;
    std::istringstream fields(line);
    for (std::string field; f.size() < 7 && std::getline(fields, field, ',');)
      f.push_back(f.size() == 1 ? 0 : std::atoi(field.c_str()));
    if (f.size() == 7 && f[5] > 0) out.push_back({f[0], f[2], f[3], f[5], f[6]});
  }
  return out;
}

// The silhouette of an enemy: its mask, which lies right below the picture.
std::vector<bool> Silhouette(const Surface& sheet, const EnemyPicture& e) {
  std::vector<bool> out;
  for (Color c : Cell(sheet, e.x, e.y + e.h, e.w, e.h)) out.push_back(c == 0u);
  return out;
}

// Two pictures are one drawing when they are the same size and their silhouettes all but
// coincide (a recolour, or a recolour with a detail changed).
bool SameDrawing(const Surface& sheet, const EnemyPicture& a, const EnemyPicture& b) {
  if (a.w != b.w || a.h != b.h) return false;
  const auto sa = Silhouette(sheet, a);
  const auto sb = Silhouette(sheet, b);
  int both = 0, either = 0;
  for (size_t i = 0; i < sa.size(); ++i) {
    both += sa[i] && sb[i];
    either += sa[i] || sb[i];
  }
  return either > 0 && both * 10 >= either * 9;
}

}  // namespace

TEST(EnemySheet, EveryMaskLiesRightBelowItsPicture) {
  auto sheet = Built("enemy.png");
  ASSERT_TRUE(sheet);
  const auto enemies = EnemyPictures();
  EXPECT_EQ(enemies.size(), 51u);
  for (const auto& e : enemies) {
    ASSERT_LE(e.y + 2 * e.h, sheet->height()) << "enemy " << e.row;
    ASSERT_LE(e.x + e.w, sheet->width()) << "enemy " << e.row;
    int figure = 0;
    for (int y = 0; y < e.h; ++y)
      for (int x = 0; x < e.w; ++x) {
        const bool drawn = sheet->At(e.x + x, e.y + y) != 0u;
        ASSERT_EQ(sheet->At(e.x + x, e.y + e.h + y), drawn ? 0u : 0xFFFFFFu) << "enemy " << e.row << " at " << x << ","
                                                                            << y;
        figure += drawn;
      }
    EXPECT_GT(figure, e.w * e.h / 5) << "enemy " << e.row << " is (nearly) empty";
  }
}

// Kin may share a drawing in other colours; every other enemy has a drawing of its own.
TEST(EnemySheet, OnlyKinShareADrawing) {
  const std::vector<std::vector<int>> families = {
      {0, 6, 21, 38},  // the jellies: ぷるぷる, あおぷるぷる, ヘドロン, こおりぷるぷる
      {3, 9},          // the mushrooms: キノコン, どくキノコン
      {20, 37},        // the trap chests: ビックリ箱, 不思議箱
  };
  auto family = [&](int row) {
    for (size_t f = 0; f < families.size(); ++f)
      for (int r : families[f])
        if (r == row) return static_cast<int>(f);
    return -1 - row;  // an enemy of its own
  };
  auto sheet = Built("enemy.png");
  ASSERT_TRUE(sheet);
  const auto enemies = EnemyPictures();
  std::vector<size_t> drawing(enemies.size());  // the first enemy drawn the same way
  std::set<size_t> distinct;
  for (size_t i = 0; i < enemies.size(); ++i) {
    drawing[i] = i;
    for (size_t j = 0; j < i && drawing[i] == i; ++j)
      if (SameDrawing(*sheet, enemies[i], enemies[j])) drawing[i] = drawing[j];
    for (size_t j = 0; j < i; ++j) {
      if (family(enemies[i].row) == family(enemies[j].row)) continue;
      EXPECT_FALSE(SameDrawing(*sheet, enemies[i], enemies[j]))
          << "enemies " << enemies[j].row << " and " << enemies[i].row << " share a drawing";
    }
    distinct.insert(drawing[i]);
  }
  EXPECT_GE(distinct.size(), 45u);
}
