// The people of a map: loading chara.dat, wandering, drawing, the hero's step test
// and the scripted hero step.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "events/events.h"
#include "field/field.h"
#include "support/fixture.h"
#include "ui/ui.h"

namespace ardo {
namespace {

namespace fs = std::filesystem;
using platform::Color;
using platform::Rgb;

constexpr int T = 24;

// The colour of the synthetic figure of row p, column col, upper (0) or lower (1) half.
Color Fig(int p, int col, int half) { return Rgb(10 + 40 * p, 10 + 20 * col, half ? 200 : 100); }
constexpr Color kGround = Rgb(0, 100, 0);

class CharsTest : public testing::HeadlessGame {
 protected:
  void SetUp() override {
    HeadlessGame::SetUp();
    saved_chr_ = picChr;
    saved_mask_ = picMask;
  }
  void TearDown() override {
    picChr = saved_chr_;
    picMask = saved_mask_;
    HeadlessGame::TearDown();
  }

  // A scratch game folder holding data/chara.dat with the given text.
  void WriteCharaDat(const std::string& text) {
    if (scratch_.empty()) UseScratchFolder();
    fs::create_directories(fs::path(scratch_) / "data");
    std::ofstream(fs::path(scratch_) / "data" / "chara.dat", std::ios::binary) << text;
  }

  std::vector<std::string> LogLines() {
    std::vector<std::string> lines;
    std::ifstream in(ErrorLogPath());
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
  }

  // CharaSet as its callers run it: under a procedure with a handler.
  void LoadUnderHandler(const std::string& map) {
    Trap on("Caller");
    on([&] { CharaSet(map); });
  }

  // A w x h room of floor with a wall all round.
  static void Room(int w, int h) {
    MapData.Clear();
    MapWidth = static_cast<Byte>(w);
    MapHeight = static_cast<Byte>(h);
    for (int x = 0; x < w; ++x) {
      for (int y = 0; y < h; ++y) {
        if (x == 0 || y == 0 || x == w - 1 || y == h - 1) MapData(x, y) = MapCell{16, kAttrBlocked};
      }
    }
  }

  static void Put(int i, int x, int y, int walks, int pic = 1, int dir = 0) {
    CharRecord c;
    c.x = static_cast<Integer>(x);
    c.y = static_cast<Integer>(y);
    c.pic = static_cast<Integer>(pic);
    c.walks = static_cast<Byte>(walks);
    c.dir = static_cast<Byte>(dir);
    Chars(i) = c;
  }

  // Figure sheets where every cell of rows 0-5 is a solid two-colour figure except a
  // transparent strip two pixels wide at its left edge.
  static void SyntheticSheets() {
    picChr = platform::Surface(192, 528, Rgb(255, 255, 255));
    picMask = platform::Surface(192, 528, Rgb(0, 0, 0));
    for (int p = 0; p < 6; ++p) {
      for (int col = 0; col < 8; ++col) {
        for (int half = 0; half < 2; ++half) {
          picChr.FillRect(col * T + 2, p * T + half * T / 2, T - 2, T / 2, Fig(p, col, half));
          picMask.FillRect(col * T + 2, p * T + half * T / 2, T - 2, T / 2, Rgb(255, 255, 255));
        }
      }
    }
    picMain.SetBackColor(kGround);
  }

  platform::Surface saved_chr_;
  platform::Surface saved_mask_;
};

// ---------------------------------------------------------------------------
// Loading

TEST_F(CharsTest, CharaSetReadsTheEntryOfTheMap) {
  WriteCharaDat(
      "\"map, count\",then,records\r\n"
      "town1,2\r\n"
      "1,10,11,5,3,1,\"a note, with a comma\"\r\n"
      "2,12,13,16,0,0,plain note\r\n"
      "\"test\",1\r\n"
      "7,20,21,2,1,0,\"\"\r\n");
  Chars(0).step = -5;
  CharaSet("test");
  ASSERT_EQ(CharCount, 1);
  EXPECT_EQ(Chars(0).talk, 7);
  EXPECT_EQ(Chars(0).x, 20);
  EXPECT_EQ(Chars(0).y, 21);
  EXPECT_EQ(Chars(0).pic, 2);
  EXPECT_EQ(Chars(0).dir, 1);
  EXPECT_EQ(Chars(0).walks, 0);
  EXPECT_EQ(Chars(0).step, 0);  // a step under way on the old map is over

  CharaSet("town1");
  ASSERT_EQ(CharCount, 2);
  // The quoted comma did not shift the second record's fields.
  EXPECT_EQ(Chars(1).talk, 2);
  EXPECT_EQ(Chars(1).x, 12);
  EXPECT_EQ(Chars(1).y, 13);
  EXPECT_EQ(Chars(1).pic, 16);
  EXPECT_EQ(Chars(0).walks, 1);

  // Names match exactly: a prefix is not the map.
  CharaSet("town");
  EXPECT_EQ(CharCount, 2);
  EXPECT_TRUE(LogLines().empty());
}

TEST_F(CharsTest, AMapWithoutAnEntryKeepsThePreviousPeopleAndZeroMeansNone) {
  WriteCharaDat("h\na,1\n3,4,5,6,0,1,n\nb,0\n");
  Room(20, 20);
  CharaSet("a");
  ASSERT_EQ(CharCount, 1);
  CharaSet("nowhere");
  EXPECT_EQ(CharCount, 1);
  EXPECT_EQ(Chars(0).x, 4);
  CharaSet("b");
  EXPECT_EQ(CharCount, 0);
  // The old wanderer's record is still in the table, but with no one on the map
  // nothing moves.
  for (int f = 0; f < 5000; ++f) ChrMove();
  EXPECT_EQ(Chars(0).x, 4);
  EXPECT_EQ(Chars(0).y, 5);
  EXPECT_EQ(Chars(0).step, 0);
}

TEST_F(CharsTest, EveryFieldIsComparedWithTheMapName) {
  testing::ExpectFault("Caller", 13);
  // The note of a's character is "b": the search for b stops there and takes the
  // next field, the name "b", for the count.
  WriteCharaDat("h\na,1\n0,1,1,1,0,0,b\nb,1\n5,9,9,9,0,0,real\n");
  CharaSet("a");
  LoadUnderHandler("b");
  EXPECT_EQ(CharCount, 1);
  EXPECT_EQ(Chars(0).x, 1);
  const auto log = LogLines();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find("Caller Error: 13 "), std::string::npos) << log[0];
}

TEST_F(CharsTest, BrokenFilesLogOneLineAndKeepWhatWasRead) {
  testing::ExpectFault("Caller", 13);
  testing::ExpectFault("Caller", 53);
  testing::ExpectFault("Caller", 6);
  testing::ExpectFault("Caller", 62);
  const std::string a1 = "1,2,3,4,0,0,x\n";
  const std::string a2 = "5,6,7,8,1,1,y\n";
  struct Case {
    const char* what;
    std::string file;
    int fault;
    int count;  // CharCount afterwards; -1: unchanged
  };
  const Case cases[] = {
      {"count larger than its lines", "h\na,3\n" + a1 + a2, 62, 2},
      {"file ends inside a record", "h\na,2\n" + a1 + "5,6,7", 62, 1},
      {"non-numeric field", "h\na,3\n" + a1 + "5,six,7,8,1,1,y\n" + a2, 13, 1},
      {"value too big for its field", "h\na,2\n" + a1 + "300,6,7,8,1,1,y\n", 6, 1},
      {"count above 255 is refused", "h\na,300\n" + a1, 6, -1},
      {"negative count is refused", "h\na,-1\n" + a1, 6, -1},
      {"count missing", "h\na", 62, -1},
      {"empty file", "", 62, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetAllState();
    if (!scratch_.empty()) fs::remove(fs::path(scratch_) / "error.log");
    Put(0, 20, 20, 0, 9);
    Put(1, 21, 21, 0, 9);
    Put(2, 22, 22, 0, 9);
    CharCount = 3;
    WriteCharaDat(c.file);
    LoadUnderHandler("a");
    const auto log = LogLines();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_NE(log[0].find("Caller Error: " + std::to_string(c.fault) + " "), std::string::npos) << log[0];
    const PeopleEntry read = ReadPeople("a");
    EXPECT_TRUE(read.failed);
    EXPECT_EQ(read.people.size(), static_cast<size_t>(std::max(c.count, 0)));
    if (c.count < 0) {
      EXPECT_EQ(CharCount, 3);
      EXPECT_EQ(Chars(0).x, 20);
    } else {
      EXPECT_EQ(CharCount, c.count);
      EXPECT_EQ(Chars(0).x, 2);
      if (c.count > 1) {
        EXPECT_EQ(Chars(1).x, 6);
      }
    }
  }

  // No file at all.
  ResetAllState();
  fs::remove_all(fs::path(scratch_) / "data");
  fs::remove(fs::path(scratch_) / "error.log");
  CharCount = 2;
  LoadUnderHandler("a");
  EXPECT_EQ(CharCount, 2);
  const auto log = LogLines();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find("Caller Error: 53 "), std::string::npos) << log[0];

  // A header and nothing else is a file without the map: quietly nothing.
  fs::remove(fs::path(scratch_) / "error.log");
  WriteCharaDat("header only\n");
  LoadUnderHandler("a");
  EXPECT_EQ(CharCount, 2);
  EXPECT_TRUE(LogLines().empty());
}

TEST_F(CharsTest, TheGamesCharacterFileHasSoundBlocksAndTheTestMapIsPeopled) {
  // The file as shipped, with the compiled test map, in a scratch game folder.
  const std::string built_map = std::string(ARDO_GAME_DIR) + "/map/test.map";
  const std::string source = std::string(ARDO_SOURCE_DIR) + "/assets/data/chara.dat";
  UseScratchFolder();
  fs::create_directories(fs::path(scratch_) / "data");
  fs::create_directories(fs::path(scratch_) / "map");
  fs::copy_file(source, fs::path(scratch_) / "data" / "chara.dat");
  fs::copy_file(built_map, fs::path(scratch_) / "map" / "test.map");

  // Walk the blocks: no field but a block's name may be a map name, or CharaSet
  // would stop on it.
  // The map names: the world's eighteen and every map source there is.
  std::set<std::string> names = {"field", "town1", "dngn1", "forest", "town2", "dngn2", "town3", "dngn3", "zombi",
                                 "kikori", "wall", "cavity", "icewall", "smog", "topl", "toph", "top", "last"};
  for (const auto& e : fs::directory_iterator(std::string(ARDO_SOURCE_DIR) + "/assets/maps")) {
    if (e.path().extension() == ".txt") names.insert(e.path().stem().string());
  }
  FieldReader in;
  ASSERT_TRUE(in.Open(GamePath("data/chara.dat")));
  in.SkipLine();
  std::set<std::string> blocks;
  while (!in.AtEnd()) {
    const std::string name = in.ReadText();
    EXPECT_TRUE(names.count(name)) << "block for an unknown map " << name << " at line " << in.line();
    EXPECT_TRUE(blocks.insert(name).second) << "second block for " << name;
    const long long n = in.ReadInteger();
    ASSERT_GE(n, 0);
    ASSERT_LE(n, 255);
    for (long long k = 0; k < n * 7; ++k) {
      const std::string f = in.ReadText();
      EXPECT_FALSE(names.count(f)) << "map name " << f << " inside " << name << "'s block, line " << in.line();
    }
  }

  MapLoad("test");
  CharaSet("test");
  ASSERT_GE(CharCount, 4);
  std::set<std::pair<int, int>> cells;
  int walkers = 0, chests = 0;
  for (int i = 0; i < CharCount; ++i) {
    const CharRecord& c = Chars(i);
    SCOPED_TRACE(i);
    ASSERT_TRUE(c.x > 0 && c.y > 0 && c.x < MapWidth && c.y < MapHeight);
    EXPECT_EQ(MapData(c.x, c.y).attr & kAttrBlocked, 0);
    EXPECT_TRUE(cells.insert({c.x, c.y}).second);
    EXPECT_LE(c.dir, 3);
    EXPECT_LE(c.pic, 21);
    // Not where the hero is put when no cell is given, nor on the marked start.
    EXPECT_FALSE(c.x == 28 && c.y == 11);
    EXPECT_FALSE(c.x == 14 && c.y == 21);
    walkers += c.walks != 0;
    chests += c.pic == 16;
  }
  EXPECT_GE(walkers, 2);
  EXPECT_GE(chests, 1);
}

// ---------------------------------------------------------------------------
// Wandering

// The step vector of facing d.
std::pair<int, int> StepOf(int d) { return {((d % 2) * 2 - 1) * (d / 2), (1 - (d % 2) * 2) * (1 - d / 2)}; }

TEST_F(CharsTest, WanderersNeverShareACellNorEnterWallsOrTheHero) {
  // A cramped room: 3 x 3 inside, with a pillar, a stander, two wanderers and the
  // hero, who walks about too. Wanderers keep bumping into each other's destinations.
  Room(5, 5);
  MapData(2, 2) = MapCell{16, kAttrBlocked};
  std::mt19937 hero_moves(7);
  long steps = 0;
  for (std::uint32_t seed = 1; seed <= 4; ++seed) {
    SeedRandom(seed);
    Player.x = 1;
    Player.y = 1;
    Put(0, 3, 1, 1);
    Put(1, 1, 3, 1);
    Put(2, 3, 3, 0);
    CharCount = 3;
    for (int frame = 0; frame < 15000; ++frame) {
      if (hero_moves() % 40 == 0) {
        const int d = static_cast<int>(hero_moves() % 4);
        TryStep(StepOf(d).first, StepOf(d).second);
      }
      ChrMove();
      for (int i = 0; i < 3; ++i) {
        const CharRecord& c = Chars(i);
        ASSERT_EQ(MapData(c.x, c.y).attr & kAttrBlocked, 0) << "frame " << frame;
        ASSERT_FALSE(c.x == Player.x && c.y == Player.y) << "frame " << frame;
        for (int j = i + 1; j < 3; ++j) {
          ASSERT_FALSE(c.x == Chars(j).x && c.y == Chars(j).y) << "frame " << frame << ": " << i << " and " << j;
        }
        ASSERT_GE(c.step, -23);
        ASSERT_LE(c.step, 0);
        steps += c.step == -23;
      }
    }
    EXPECT_EQ(Chars(2).x, 3);
    EXPECT_EQ(Chars(2).y, 3);
  }
  EXPECT_GT(steps, 300);  // they did move, a lot
}

TEST_F(CharsTest, AWandererTurnsEvenWhenItCannotStep) {
  Room(3, 3);  // one free cell
  SeedRandom(11);
  Put(0, 1, 1, 1);
  CharCount = 1;
  Player.x = 10;
  Player.y = 10;
  std::set<int> facings;
  for (int frame = 0; frame < 5000; ++frame) {
    ChrMove();
    const CharRecord& c = Chars(0);
    ASSERT_EQ(c.x, 1);
    ASSERT_EQ(c.y, 1);
    ASSERT_EQ(c.step, 0);
    facings.insert(c.dir);
    // Facing and the step it tried belong together.
    if (c.dx != 0 || c.dy != 0) {
      ASSERT_EQ(StepOf(c.dir), (std::pair<int, int>(c.dx, c.dy)));
    }
  }
  EXPECT_EQ(facings, (std::set<int>{0, 1, 2, 3}));
}

TEST_F(CharsTest, AWandererNeverStepsOntoAnExitOfItsMap) {
  // A corridor of three cells: a door of this map at the east end, a door of another
  // map at the west end (free to stand on here).
  Room(5, 3);
  MapName = "here";
  ExitTable = {ExitRecord{"here", 3, 1, "there", 1, 1, "peace", 0, -1},
               ExitRecord{"there", 1, 1, "here", 3, 1, "peace", 0, -1}};
  SeedRandom(5);
  Put(0, 2, 1, 1);
  CharCount = 1;
  Player.x = 10;
  Player.y = 10;
  bool went_west = false;
  for (int frame = 0; frame < 5000; ++frame) {
    ChrMove();
    ASSERT_NE(Chars(0).x, 3) << "frame " << frame;
    went_west = went_west || Chars(0).x == 1;
  }
  EXPECT_TRUE(went_west);
}

TEST_F(CharsTest, AStepLasts23FramesAndStartsAboutOnceIn50StandingFrames) {
  Room(250, 250);
  SeedRandom(3);
  Put(0, 125, 125, 1);
  CharCount = 1;
  long standing = 0, starts = 0;
  int expect_step = 0;
  for (int frame = 0; frame < 60000; ++frame) {
    const CharRecord before = Chars(0);
    ChrMove();
    const CharRecord& c = Chars(0);
    if (before.step != 0) {
      ASSERT_EQ(c.step, before.step + 1);  // one pixel a frame
      ASSERT_EQ(c.x, before.x);            // already at the destination
      ASSERT_EQ(c.y, before.y);
      ASSERT_EQ(c.step, expect_step + 1);
      expect_step = c.step;
      continue;
    }
    ++standing;
    if (c.step != 0) {
      ASSERT_EQ(c.step, -23);
      ASSERT_EQ(std::abs(c.x - before.x) + std::abs(c.y - before.y), 1);
      ASSERT_EQ(c.x - before.x, c.dx);
      ASSERT_EQ(c.y - before.y, c.dy);
      ++starts;
      expect_step = -23;
    }
  }
  const double rate = static_cast<double>(starts) / static_cast<double>(standing);
  EXPECT_GT(rate, 0.017);
  EXPECT_LT(rate, 0.023);
}

// ---------------------------------------------------------------------------
// The hero's step test

TEST_F(CharsTest, TryStepTurnsTheHeroAndMovesOrReportsWhatIsInTheWay) {
  Room(10, 10);
  Player.x = 5;
  Player.y = 5;
  const struct {
    int dx, dy, dir;
  } turns[] = {{0, -1, 1}, {1, 0, 3}, {0, 1, 0}, {-1, 0, 2}};
  for (const auto& t : turns) {
    const int x = Player.x, y = Player.y;
    EXPECT_EQ(TryStep(t.dx, t.dy), 0);
    EXPECT_EQ(Player.dir, t.dir);
    EXPECT_EQ(Player.x, x + t.dx);
    EXPECT_EQ(Player.y, y + t.dy);
  }
  EXPECT_EQ(TryStep(0, 0), 0);
  EXPECT_EQ(Player.dir, 2);  // no direction, no turn

  // A wall: turned toward it, not moved.
  Player.x = 1;
  Player.y = 1;
  Player.dir = 0;
  EXPECT_EQ(TryStep(0, -1), -1);
  EXPECT_EQ(Player.dir, 1);
  EXPECT_EQ(Player.x, 1);
  EXPECT_EQ(Player.y, 1);

  // People: the first one on the cell is reported as its index + 1; records past
  // CharCount are nobody.
  Player.x = 5;
  Player.y = 5;
  Put(0, 7, 7, 0);
  Put(1, 6, 5, 0);
  Put(2, 6, 5, 0);
  Put(3, 4, 5, 0);
  CharCount = 3;
  EXPECT_EQ(TryStep(1, 0), 2);
  EXPECT_EQ(Player.x, 5);
  EXPECT_EQ(Player.dir, 3);
  EXPECT_EQ(TryStep(-1, 0), 0);
  EXPECT_EQ(Player.x, 4);
}

TEST_F(CharsTest, TryStepSeesAWalkingCharacterAtItsDestinationFromItsFirstFrame) {
  // Everything is wall except the hero's cell (5, 5) and a short corridor (6, 4) -
  // (6, 5): the wanderer at (6, 4) can only step down, beside the hero.
  MapData.Clear();
  MapWidth = MapHeight = 12;
  for (int x = 0; x < 12; ++x) {
    for (int y = 0; y < 12; ++y) MapData(x, y) = MapCell{16, kAttrBlocked};
  }
  MapData(5, 5) = MapCell{};
  MapData(6, 4) = MapCell{};
  MapData(6, 5) = MapCell{};
  Player.x = 5;
  Player.y = 5;
  SeedRandom(5);
  Put(0, 6, 4, 1);
  CharCount = 1;
  int frames = 0;
  while (Chars(0).step == 0 && frames < 10000) {
    ChrMove();
    ++frames;
  }
  ASSERT_EQ(Chars(0).step, -23) << "the wanderer never set off";
  EXPECT_EQ(TryStep(1, 0), 1);
  EXPECT_EQ(Player.x, 5);
}

TEST_F(CharsTest, BrownRockBreaksOnlyWithItem18) {
  UseScratchFolder();
  fs::create_directories(fs::path(scratch_) / "sound");
  std::ofstream(fs::path(scratch_) / "sound" / "heal.wav") << "RIFF";
  SetFlag(1, 1);  // sound effects on
  Room(10, 10);
  MapData(6, 5) = MapCell{95, kAttrBlocked};
  MapData(5, 6) = MapCell{111, kAttrBlocked | kAttrHideLower};
  Player.x = 5;
  Player.y = 5;
  for (auto& slot : Player.items) slot = 1;

  EXPECT_EQ(TryStep(1, 0), -1);
  EXPECT_EQ(TryStep(0, 1), -1);
  EXPECT_EQ(MapData(6, 5).tile, 95);
  EXPECT_EQ(MapData(5, 6).tile, 111);
  EXPECT_EQ(Player.x, 5);
  EXPECT_EQ(Player.y, 5);
  EXPECT_TRUE(audio().state().sounds.empty());

  Player.items(9) = 18;
  EXPECT_EQ(TryStep(1, 0), 0);
  EXPECT_EQ(MapData(6, 5).tile, 94);
  EXPECT_EQ(MapData(6, 5).attr, 0);
  EXPECT_EQ(Player.x, 6);  // in through the hole in the same step
  ASSERT_EQ(audio().state().sounds.size(), 1u);
  EXPECT_EQ(fs::path(audio().state().sounds[0]).filename(), "heal.wav");

  Player.x = 5;
  EXPECT_EQ(TryStep(0, 1), 0);
  EXPECT_EQ(MapData(5, 6).tile, 110);
  EXPECT_EQ(MapData(5, 6).attr, 0);  // every attribute bit goes with the rock
  EXPECT_EQ(Player.y, 6);

  // The drill is for brown rock only.
  Player.x = 1;
  Player.y = 1;
  EXPECT_EQ(TryStep(-1, 0), -1);
  EXPECT_EQ(MapData(0, 1).tile, 16);
  EXPECT_EQ(audio().state().sounds.size(), 2u);
}

// ---------------------------------------------------------------------------
// Drawing

TEST_F(CharsTest, ChrDrawPlacesTheFigureRelativeToTheHeroAndFollowsBothSteps) {
  SyntheticSheets();
  Room(40, 40);
  Player.x = 10;
  Player.y = 10;
  AnimFrame = 1;
  // Two cells right of and one above the hero, facing left, halfway through a step
  // down, while the hero is 10 pixels short of the end of a step right.
  Put(0, 12, 9, 1, 2, 2);
  Chars(0).dx = 0;
  Chars(0).dy = 1;
  Chars(0).step = -7;
  CharCount = 1;
  StepOffset = -10;
  ChrDraw(0, 1, 0, 0);
  const int X = 9 * T + 10, Y = 6 * T - 7;
  const int col = 1 + 2 * 2;
  EXPECT_EQ(picMain.At(X + 2, Y), Fig(2, col, 0));
  EXPECT_EQ(picMain.At(X + T - 1, Y + T / 2 - 1), Fig(2, col, 0));
  EXPECT_EQ(picMain.At(X + 2, Y + T / 2), Fig(2, col, 1));
  EXPECT_EQ(picMain.At(X + T - 1, Y + T - 1), Fig(2, col, 1));
  // The transparent strip and everything around the cell keep the ground.
  EXPECT_EQ(picMain.At(X + 1, Y + 5), kGround);
  EXPECT_EQ(picMain.At(X + T, Y + 5), kGround);
  EXPECT_EQ(picMain.At(X + 5, Y - 1), kGround);
  EXPECT_EQ(picMain.At(X + 5, Y + T), kGround);
}

TEST_F(CharsTest, TheCellACharacterStandsOnHidesHalvesOfIt) {
  SyntheticSheets();
  Room(40, 40);
  Player.x = 10;
  Player.y = 10;
  const Byte attrs[] = {0, kAttrHideUpper, kAttrHideLower, kAttrHideUpper | kAttrHideLower};
  for (int i = 0; i < 4; ++i) {
    Put(i, 8 + 2 * i, 12, 0, 3, 0);
    MapData(8 + 2 * i, 12).attr = attrs[i];
  }
  CharCount = 4;
  for (int i = 0; i < 4; ++i) ChrDraw(i, 0, 0, 0);
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(static_cast<int>(attrs[i]));
    const int X = (5 + 2 * i) * T, Y = 9 * T;
    const bool upper = (attrs[i] & kAttrHideUpper) == 0, lower = (attrs[i] & kAttrHideLower) == 0;
    EXPECT_EQ(picMain.At(X + 5, Y + 3), upper ? Fig(3, 0, 0) : kGround);
    EXPECT_EQ(picMain.At(X + 5, Y + T - 3), lower ? Fig(3, 0, 1) : kGround);
  }
}

TEST_F(CharsTest, CharactersAreDrawnOverTheHeroInIndexOrderAndClippedAtTheEdge) {
  UseScratchFolder();
  SyntheticSheets();
  Room(60, 60);
  Player.x = 30;
  Player.y = 30;
  Player.pid = 0;
  BuffDraw();  // floor tiles of the blank tile sheet
  // 0 and 1 share the cell right of the hero; 2 stands on the hero's own cell;
  // 3 is set back by most of a step so only its left two columns are in view;
  // 4 and 5 are far outside the view.
  Put(0, 31, 30, 0, 1);
  Put(1, 31, 30, 0, 2);
  Put(2, 30, 30, 0, 3);
  Put(3, 37, 30, 0, 4);
  Chars(3).dx = -1;
  Chars(3).step = -20;
  Put(4, 55, 30, 0, 5);
  Put(5, 1, 1, 0, 5);
  CharCount = 6;
  MapDraw(0, 0, 1, 1);
  EXPECT_EQ(picMain.At(7 * T + 5, 7 * T + 3), Fig(3, 0, 0));
  EXPECT_EQ(picMain.At(8 * T + 5, 7 * T + 3), Fig(2, 0, 0));
  // 14 * 24 + 20 = 356: cell columns 0-3 are in view, 2 and 3 opaque.
  EXPECT_EQ(picMain.At(358, 7 * T + 3), Fig(4, 0, 0));
  EXPECT_EQ(picMain.At(359, 7 * T + T - 1), Fig(4, 0, 1));
  EXPECT_TRUE(LogLines().empty());
}

// ---------------------------------------------------------------------------
// The scripted step

TEST_F(CharsTest, PlayerMoveIsATwelveFrameStepWithArrivalTileEffectsOnly) {
  UseScratchFolder();
  Room(20, 20);
  MapData(5, 6).tile = 90;   // footprints
  MapData(6, 6).tile = 106;  // damage floor
  MapData(7, 6).tile = 176;  // moving floor: a scripted step is not carried on
  MapData(8, 6).tile = 90;
  Player.x = 5;
  Player.y = 5;
  Player.hp = 10;
  Player.mhp = 20;
  picWindow(6).visible = true;
  AnimClock = 1000;
  const std::uint32_t t0 = now();

  PlayerMove(0, 1);
  EXPECT_FALSE(picWindow(6).visible);
  EXPECT_EQ(now() - t0, 12u * 16u);    // 12 frames of WalkWait
  EXPECT_EQ(AnimClock, 12 * 20);       // reset by hiding window 6, then 12 frames
  EXPECT_EQ(StepOffset, 0);
  EXPECT_EQ(Player.y, 6);
  EXPECT_EQ(Player.dir, 0);
  EXPECT_EQ(MapData(5, 6).tile, 78);   // up or down: 78

  PlayerMove(1, 0);
  EXPECT_EQ(Player.hp, 8);
  PlayerMove(1, 0);
  EXPECT_EQ(Player.x, 7);
  EXPECT_EQ(StepOffset, 0);
  PlayerMove(1, 0);
  EXPECT_EQ(Player.x, 8);
  EXPECT_EQ(MapData(8, 6).tile, 79);  // sideways: 79
  EXPECT_EQ(now() - t0, 4u * 12u * 16u);

  // Into a wall: turned, not moved, no frames.
  Player.x = 1;
  Player.y = 1;
  const std::uint32_t t1 = now();
  PlayerMove(-1, 0);
  EXPECT_EQ(Player.x, 1);
  EXPECT_EQ(Player.dir, 2);
  EXPECT_EQ(now(), t1);
  EXPECT_TRUE(LogLines().empty());
}

}  // namespace
}  // namespace ardo
