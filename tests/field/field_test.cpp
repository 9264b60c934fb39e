// Map files, the back buffer and the view, the hero's figure, fades and map changes.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "core/core.h"
#include "events/events.h"
#include "field/field.h"
#include "sound/sound.h"
#include "support/fixture.h"

namespace ardo {
namespace {

using platform::Rgb;

class FieldTest : public testing::HeadlessGame {
 protected:
  void SetUp() override {
    HeadlessGame::SetUp();
    std::filesystem::create_directories(UseScratchFolder() + "/map");
    Init_PlayerStatus();
    RecomputeSpeeds();
    // A tile sheet whose tile t is filled with the colour t + 1 (so tile 0 is not black),
    // and one figure: a 24 x 24 block of red on a white sheet, its mask white.
    for (int t = 0; t < 256; ++t) picMaptip.FillRect((t % 16) * 24, (t / 16) * 24, 24, 24, TileColor(t));
    picChr.SetBackColor(Rgb(255, 255, 255));
    picMask.SetBackColor(0);
    for (int c = 0; c < 8; ++c) {
      picChr.FillRect(c * 24 + 4, 0, 16, 24, Rgb(200, 0, 0));
      picMask.FillRect(c * 24 + 4, 0, 16, 24, Rgb(255, 255, 255));
    }
  }

  static platform::Color TileColor(int t) { return static_cast<platform::Color>(t + 1) * 0x010203u; }

  static void WriteMap(const std::string& name, int w, int h, const std::function<MapCell(int, int)>& cell,
                       size_t truncate_to = 0) {
    testing::WriteMapFile(GamePath("map/" + name + ".map"), w, h, cell, truncate_to);
  }
};

TEST_F(FieldTest, CellsAreStoredColumnByColumn) {
  // Cell (x, y) at 16 + 2 (x H + y).
  WriteMap("a", 3, 2, [](int x, int y) { return MapCell{static_cast<Byte>(10 * x + y), static_cast<Byte>(x + y)}; });
  MapLoad("a");
  EXPECT_EQ(MapWidth, 3);
  EXPECT_EQ(MapHeight, 2);
  EXPECT_EQ(MapName, "a");
  EXPECT_EQ(MapData(2, 1).tile, 21);
  EXPECT_EQ(MapData(2, 1).attr, 3);
  EXPECT_EQ(MapData(1, 0).tile, 10);
}

TEST_F(FieldTest, OneByOneMapAndSmallerAfterLarger) {
  WriteMap("big", 5, 5, [](int, int) { return MapCell{7, 1}; });
  WriteMap("one", 1, 1, [](int, int) { return MapCell{9, 0}; });
  MapLoad("big");
  MapLoad("one");
  EXPECT_EQ(MapWidth, 1);
  EXPECT_EQ(MapData(0, 0).tile, 9);
  EXPECT_EQ(MapData(4, 4).tile, 7) << "cells outside the new rectangle keep the larger map's";
}

TEST_F(FieldTest, LoadingAgainRestoresChangedCells) {
  WriteMap("a", 4, 4, [](int, int) { return MapCell{90, 0}; });
  MapLoad("a");
  MapData(1, 1).tile = 79;
  MapLoad("a");
  EXPECT_EQ(MapData(1, 1).tile, 90);
}

// A map that is missing, or that can't be read (a folder or a named pipe in its
// place), is logged by name; the game goes on with the cells it had.
TEST_F(FieldTest, AMissingOrUnreadableMapIsLoggedAndKeepsTheCells) {
  testing::ExpectFault("MapLoad", 53);
  testing::ExpectFault("MapLoad", 57);
  WriteMap("a", 4, 4, [](int, int) { return MapCell{5, 0}; });
  MapLoad("a");
  MapLoad("nowhere");
  ASSERT_EQ(control().message_boxes().size(), 1u);
  EXPECT_EQ(control().message_boxes()[0], "ファイルがありません");
  EXPECT_EQ(MapName, "nowhere");
  std::filesystem::create_directory(GamePath("map/folder.map"));
  ASSERT_EQ(::mkfifo(GamePath("map/pipe.map").c_str(), 0644), 0);
  EXPECT_NO_THROW(MapLoad("folder"));
  EXPECT_NO_THROW(MapLoad("pipe"));
  EXPECT_EQ(MapWidth, 4);
  EXPECT_EQ(MapData(3, 3).tile, 5);
  std::ifstream in(ErrorLogPath());
  const std::string log((std::istreambuf_iterator<char>(in)), {});
  EXPECT_NE(log.find("MapLoad Error: 53 File not found (map/nowhere.map)"), std::string::npos) << log;
  EXPECT_NE(log.find("MapLoad Error: 57 Device I/O error (map/folder.map: a folder, not a file)"), std::string::npos);
  EXPECT_NE(log.find("MapLoad Error: 57 Device I/O error (map/pipe.map: not a plain file)"), std::string::npos);
}

TEST_F(FieldTest, AShortMapFileLoadsWhatItHasAndLogs) {
  testing::ExpectFault("MapLoad", 62);
  WriteMap("a", 4, 4, [](int, int) { return MapCell{5, 0}; });
  MapLoad("a");
  WriteMap("short", 4, 4, [](int, int) { return MapCell{6, 0}; }, 16 + 2 * 5);
  MapLoad("short");
  EXPECT_EQ(MapData(0, 3).tile, 6);
  EXPECT_EQ(MapData(1, 0).tile, 6);
  EXPECT_EQ(MapData(1, 1).tile, 5) << "cells the file does not have keep their old value";
  EXPECT_TRUE(std::filesystem::exists(GamePath("error.log")));
  // The reader alone gives the cells the file holds and says it is short.
  const MapFile m = ReadMapFile("short");
  EXPECT_EQ(m.width, 4);
  EXPECT_EQ(m.cells.size(), 5u);
  EXPECT_FALSE(m.complete());
  EXPECT_EQ(m.cell(1, 0)->tile, 6);
  EXPECT_EQ(m.cell(1, 1), nullptr);
}

TEST_F(FieldTest, MapTitlesAreCaseSensitive) {
  EXPECT_EQ(MapTitle("town1"), "さいはての村");
  EXPECT_EQ(MapTitle("Town1"), "");
  EXPECT_EQ(MapTitle("top"), "山頂");
  EXPECT_EQ(MapTitle("last"), "");
  EXPECT_EQ(MapTitle("smog"), "雲の中");
}

TEST_F(FieldTest, TheBufferDrawsTheCellsAroundTheHeroAndOneBeyondTheEdge) {
  WriteMap("a", 20, 20, [](int x, int y) { return MapCell{static_cast<Byte>(x + 16 * (y % 4)), 0}; });
  MapLoad("a");
  picBuff.SetBackColor(Rgb(1, 2, 3));
  Player.x = 2;
  Player.y = 10;
  BuffDraw();
  // Buffer tile (i, j) shows cell (x - 8 + i, y - 8 + j).
  EXPECT_EQ(picBuff.At(8 * 24, 8 * 24), TileColor(MapData(2, 10).tile));
  EXPECT_EQ(picBuff.At(9 * 24 + 5, 7 * 24 + 5), TileColor(MapData(3, 9).tile));
  EXPECT_EQ(picBuff.At(0, 0), Rgb(1, 2, 3)) << "cells left of the map are not drawn";
  Player.x = 12;
  BuffDraw();
  // x = MapWidth (20) is drawn from whatever MapData holds there; x = 21 is not.
  EXPECT_EQ(picBuff.At(16 * 24, 8 * 24), TileColor(MapData(20, 10).tile));
}

// The back buffer is laid a row at a time, scrolled by a step, and cells already right
// are kept: wherever the hero stands or steps, by the map's edges too, after a changed
// cell or a borrowed buffer, it shows what laying each cell one by one would.
TEST_F(FieldTest, TheBufferAlwaysShowsWhatACellByCellLayWould) {
  WriteMap("a", 40, 30, [](int x, int y) { return MapCell{static_cast<Byte>(y % 3 ? x + 16 * (y % 5) : 7), 0}; });
  MapLoad("a");
  std::uint32_t v = 7;
  for (auto& p : picMaptip.pixels()) p = (v = v * 1664525u + 1013904223u) >> 8;
  auto reference = [](Surface out) {
    for (int x = Player.x - 8; x <= Player.x + 8; ++x) {
      for (int y = Player.y - 8; y <= Player.y + 8; ++y) {
        if (x < 0 || y < 0 || x > MapWidth || y > MapHeight) continue;
        const int t = MapData(x, y).tile;
        out.BitBlt((x - Player.x + 8) * 24, (y - Player.y + 8) * 24, 24, 24, &picMaptip, (t % 16) * 24,
                   (t / 16) * 24, platform::Rop::kSrcCopy);
      }
    }
    return out;
  };
  enum Then { kNothing, kChangeCell, kBorrow };
  struct Step {
    int x, y;
    Then then;
  } steps[] = {{20, 15, kNothing}, {21, 15, kNothing},  {21, 16, kChangeCell}, {20, 16, kNothing},
               {20, 15, kBorrow},  {21, 16, kNothing},  {3, 2, kNothing},      {4, 2, kNothing},
               {0, 0, kNothing},   {1, 0, kNothing},    {38, 28, kNothing},    {39, 28, kNothing},
               {40, 30, kNothing}, {47, 12, kNothing},  {20, 37, kNothing},    {20, 36, kNothing},
               {20, 20, kNothing}, {20, 21, kChangeCell}, {19, 21, kNothing},  {19, 21, kBorrow}};
  for (const Step& s : steps) {
    Player.x = static_cast<Integer>(s.x);
    Player.y = static_cast<Integer>(s.y);
    const Surface want = reference(picBuff);
    BuffDraw();
    EXPECT_TRUE(std::as_const(picBuff).pixels() == want.pixels()) << s.x << "," << s.y;
    if (s.then == kChangeCell) MapData(s.x + 1, s.y - 1).tile = static_cast<Byte>(MapData(s.x + 1, s.y - 1).tile + 1);
    if (s.then == kBorrow) picBuff.FillRect(30, 30, 100, 100, Rgb(9, 9, 9));
  }
}

TEST_F(FieldTest, AStepSlidesTheViewTwoPixelsAFrame) {
  WriteMap("a", 30, 30, [](int x, int y) { return MapCell{static_cast<Byte>((x * 3 + y * 5) % 200), 0}; });
  MapLoad("a");
  Player.x = 10;
  Player.y = 10;
  BuffDraw();
  MapDraw(0, 0, 0, 0);
  const platform::Surface before = picMain;
  // The hero steps right: the buffer is centred on the new cell at once...
  Player.x = 11;
  Player.dx = 1;
  BuffDraw();
  MapDraw(Player.dx * -24, 0, 0, 0);
  EXPECT_EQ(picMain.pixels(), before.pixels()) << "the first frame shows the old view exactly";
  for (int off = -22; off <= 0; off += 2) {
    MapDraw(Player.dx * off, 0, 0, 0);
    const int moved = 24 + off;
    EXPECT_EQ(picMain.At(100, 50), before.At(100 + moved, 50)) << off;
  }
}

TEST_F(FieldTest, TheHeroIsDrawnInTwoMaskedHalves) {
  struct {
    Byte attr;
    bool upper, lower;
  } cases[] = {{0, true, true}, {2, false, true}, {4, true, false}, {6, false, false}};
  for (const auto& c : cases) {
    WriteMap("a", 30, 30, [&](int, int) { return MapCell{3, c.attr}; });
    MapLoad("a");
    Player.x = Player.y = 10;
    Player.pid = 0;
    Player.dir = 0;
    BuffDraw();
    MapDraw(0, 0, 1, 0);
    EXPECT_EQ(picMain.At(168 + 10, 168 + 2) == Rgb(200, 0, 0), c.upper) << int(c.attr);
    EXPECT_EQ(picMain.At(168 + 10, 168 + 20) == Rgb(200, 0, 0), c.lower) << int(c.attr);
    EXPECT_EQ(picMain.At(168 + 1, 168 + 2), TileColor(3)) << "the white around the figure is transparent";
  }
}

TEST_F(FieldTest, FadesArePosterisedAndEndOnBlackOrThePicture) {
  picMain.FillRect(0, 0, 360, 360, Rgb(0xFF, 0x80, 0x3C));
  std::vector<platform::Color> seen;
  control().SetEventPointHook([&] {
    if (seen.empty() || seen.back() != picMain.At(5, 5)) seen.push_back(picMain.At(5, 5));
  });
  const auto t0 = now();
  ReturnToTitle = true;  // keep the buffer for the check below
  ScreenFade(0);
  EXPECT_EQ(now() - t0, 10u * WalkWait) << "ten frames at the walking rate";
  EXPECT_EQ(picMain.At(5, 5), 0u) << "ends on black";
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.front(), Rgb(0xFF & 180, 0x80 & 180, 0x3C & 180)) << "a bitwise And with the grey level";
  seen.clear();
  // The fade in starts from the picture on screen (black now), so a fade in after a fade out stays black;
  // fade in a fresh picture instead.
  picMain.FillRect(0, 0, 360, 360, Rgb(0xFF, 0x80, 0x3C));
  const auto t1 = now();
  ScreenFade(1);
  EXPECT_EQ(now() - t1, 27u * WalkWait);
  EXPECT_EQ(seen.front(), 0u) << "starts black (g = 0)";
  EXPECT_EQ(picMain.At(5, 5), Rgb(0xFF, 0x80, 0x3C)) << "ends on the full picture";
  for (auto c : seen) EXPECT_EQ(c & ~Rgb(0xFF, 0x80, 0x3C), 0u) << "never brighter than the picture";
}

TEST_F(FieldTest, ChangeMapToTheSameMapOnlyMovesTheHeroAndSetsTheArea) {
  WriteMap("a", 30, 30, [](int, int) { return MapCell{1, 0}; });
  MapLoad("a");
  MapData(5, 5).tile = 79;
  BgmName = "tender";
  audio().Reset();
  ChangeMap("a", 12, 13, "tender", 4);
  EXPECT_EQ(Player.x, 12);
  EXPECT_EQ(Player.y, 13);
  EXPECT_EQ(Flags(1), 4);
  EXPECT_EQ(MapData(5, 5).tile, 79) << "not reloaded";
  EXPECT_TRUE(audio().state().log.empty()) << "the same music is left alone";
}

TEST_F(FieldTest, ChangeMapLoadsAnotherMapAndEndsAStep) {
  WriteMap("a", 30, 30, [](int, int) { return MapCell{1, 0}; });
  WriteMap("b", 30, 30, [](int, int) { return MapCell{2, 0}; });
  std::filesystem::create_directories(GamePath("data"));
  std::ofstream(GamePath("data/chara.dat")) << "header\n";  // nobody on either map
  MapLoad("a");
  StepOffset = -10;
  Player.dx = 1;
  ChangeMap("b", 9, 9, "", 0);
  EXPECT_EQ(MapName, "b");
  EXPECT_EQ(MapData(0, 0).tile, 2);
  EXPECT_EQ(StepOffset, 0);
  EXPECT_EQ(Player.dx, 0);
}

TEST_F(FieldTest, ABrokenCharacterFileNeverLeavesAMapChangeHalfDone) {
  testing::ExpectFault("ChangeMap", 13);
  WriteMap("a", 30, 30, [](int, int) { return MapCell{1, 0}; });
  WriteMap("b", 30, 30, [](int, int) { return MapCell{2, 0}; });
  std::filesystem::create_directories(GamePath("data"));
  std::ofstream(GamePath("data/chara.dat")) << "header\nb\nnot-a-number\n";
  MapLoad("a");
  ChangeMap("b", 9, 9, "", 0);
  EXPECT_EQ(Player.x, 9) << "the hero is placed";
  EXPECT_EQ(picMain.At(100, 100), TileColor(2)) << "and the new map faded in";
  std::ifstream log(GamePath("error.log"));
  std::string line;
  std::getline(log, line);
  EXPECT_NE(line.find("ChangeMap Error: 13"), std::string::npos) << line;
}

// A full screen the window cannot take (no window manager) leaves the windowed
// picture, not a 640 x 480 one clipped into the window; one it takes goes back as it was.
TEST_F(FieldTest, FullScreenTheWindowRefusesKeepsTheWindowedPicture) {
  picMain.left = 3;  // the windowed place
  platform::Surface frame;
  ComposeScreen(&frame);
  const int w = frame.width();
  const int left = picMain.left;
  control().RefuseFullScreen(true);
  testing::ExpectFault("SetFullScreen", err::kInvalidCall);
  FullScreen = false;
  ToggleFullScreen();
  EXPECT_FALSE(FullScreen);
  EXPECT_EQ(picMain.left, left);
  ComposeScreen(&frame);
  EXPECT_EQ(frame.width(), w);
  control().RefuseFullScreen(false);
  ToggleFullScreen();
  EXPECT_TRUE(FullScreen);
  ComposeScreen(&frame);
  EXPECT_EQ(frame.width(), 640);
  ToggleFullScreen();
  ComposeScreen(&frame);
  EXPECT_EQ(frame.width(), w);
  EXPECT_EQ(picMain.left, left);
}

// Every map fights on a backdrop of the battle's size that the game folder holds, and the
// table names only maps that exist and every map of the world.
TEST_F(FieldTest, EveryMapHasABattleBackdrop) {
  SetAppPath(ARDO_GAME_DIR);
  const std::string maps = std::string(ARDO_SOURCE_DIR) + "/assets/maps";
  std::set<std::string> names;
  for (const auto& f : std::filesystem::directory_iterator(maps)) {
    const std::string stem = f.path().stem().string();
    if (f.path().extension() == ".txt" && stem != "CMakeLists" && stem != "README") names.insert(stem);
  }
  std::ifstream table(std::string(ARDO_SOURCE_DIR) + "/assets/data/backdrop.dat");
  std::set<std::string> named;
  for (std::string line; std::getline(table, line);) named.insert(line.substr(0, line.find(',')));
  named.erase("map");
  for (const auto& m : named) {
    EXPECT_TRUE(names.count(m)) << m << " is in backdrop.dat but not a map";
  }
  for (const auto& m : names) {
    if (m != "test" && m != "showcase") {
      EXPECT_TRUE(named.count(m)) << m << " has no backdrop";
    }
    const std::string file = BattleBackdrop(m);
    std::string error;
    auto pic = platform::LoadPicture(GamePath("graphics/" + file), &error);
    ASSERT_TRUE(pic) << m << ": " << error;
    EXPECT_EQ(std::make_pair(pic->width(), pic->height()), std::make_pair(360, 360)) << m << ": " << file;
    LoadBattleBackdrop(m);
    EXPECT_EQ(picBtlBack.pixels(), pic->pixels()) << m << ": " << file;
  }
}

// A backdrop that is missing, or a name that leaves graphics/, falls back to the default.
TEST_F(FieldTest, AMissingBackdropFallsBackToTheDefault) {
  const std::string game = ARDO_GAME_DIR;
  const std::string dir = UseScratchFolder();
  std::filesystem::create_directories(dir + "/graphics");
  std::filesystem::create_directories(dir + "/data");
  std::filesystem::copy_file(game + "/graphics/btlback.png", dir + "/graphics/btlback.png");
  std::filesystem::copy_file(game + "/graphics/btlcave.png", dir + "/graphics/btlcave.png");
  std::ofstream(dir + "/data/backdrop.dat") << "map,picture\ncave,btlcave.png\ngone,btlgone.png\nout,../x.png\n";
  testing::ExpectFault("BattleBackdrop", err::kInvalidPicture);  // the name that leaves graphics/
  std::string error;
  auto fallback = platform::LoadPicture(dir + "/graphics/btlback.png", &error);
  ASSERT_TRUE(fallback) << error;
  EXPECT_EQ(BattleBackdrop("out"), kDefaultBackdrop);
  for (const char* map : {"gone", "out", "nowhere"}) {
    LoadBattleBackdrop("cave");
    EXPECT_NE(picBtlBack.pixels(), fallback->pixels());
    LoadBattleBackdrop(map);
    EXPECT_EQ(picBtlBack.pixels(), fallback->pixels()) << map;
  }
}

}  // namespace
}  // namespace ardo
