// The debug console: its commands, its output and how the game window reaches it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "battle/battle.h"
#include "debug/console.h"
#include "events/events.h"
#include "items/items.h"
#include "presentation/presentation.h"
#include "support/faults.h"
#include "support/items_fixture.h"

namespace ardo {
namespace {

constexpr const char* kSource = "frmDebug.txtCommand_KeyDown";

class Console : public testing::ItemsGame {
 protected:
  void SetUp() override {
    ItemsGame::SetUp();
    ResetDebugConsole();
  }
  void TearDown() override {
    ResetDebugConsole();
    ItemsGame::TearDown();
  }
  // The newest output line.
  static std::string Top() {
    const std::string& o = DebugOutput();
    return o.substr(0, o.find("\r\n"));
  }
};

TEST_F(Console, EmptyOrUnknownLinesAnswerNoMuch) {
  for (const char* line : {"", "hello", "MOVE 010 010", " move 010 010", "\xff\xfe\x80"}) {
    ResetDebugConsole();
    RunDebugCommand(line);
    EXPECT_EQ(DebugOutput(), "No Much!\r\n") << line;
  }
}

TEST_F(Console, EncountTakesOnlyYesOrNo) {
  NoEncount = 0;
  for (const char* line : {"encount", "encount off", "encount  no", "encount No"}) {
    RunDebugCommand(line);
    EXPECT_EQ(NoEncount, 0) << line;
  }
  RunDebugCommand("encount no");
  EXPECT_EQ(NoEncount, 255);
  RunDebugCommand("encount maybe");
  EXPECT_EQ(NoEncount, 255);
  RunDebugCommand("encount yes");
  EXPECT_EQ(NoEncount, 0);
}

TEST_F(Console, ShowReadsSeventeenFlagsFromColumnTwelve) {
  for (auto& b : Flags) b = 0;
  SetFlag(100, 1);
  SetFlag(116, 1);
  RunDebugCommand("show flag  100");  // typed from column 12: every digit
  EXPECT_EQ(DebugOutput(), "flag(100to116\r\n,1,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,1\r\n");
  ResetDebugConsole();
  RunDebugCommand("show flag 100");  // from column 11: the "1" is lost, flags 0 to 16
  std::string zeros;
  for (int i = 0; i <= 16; ++i) zeros += ",0";
  EXPECT_EQ(DebugOutput(), "flag(00to16\r\n" + zeros + "\r\n");
}

TEST_F(Console, OutputKeepsTheNewestLinesAndACutOfTheOlder) {
  for (int i = 0; i < 30; ++i) DebugPrint("line " + std::to_string(i));
  const std::string& o = DebugOutput();
  EXPECT_EQ(o.substr(0, 9), "line 29\r\n");
  EXPECT_EQ(o.size(), 9u + 142u);
  Player.x = 7;
  Player.y = 12;
  for (int i = 0; i < 60; ++i) Debugging(0);
  EXPECT_EQ(DebugOutput().size(), 17u + 512u);
  EXPECT_EQ(Top(), "Position : 7,12");
  Debugging(1);
  EXPECT_EQ(DebugOutput().size(), 17u + 512u);
  // Japanese text is cut between characters, never inside one.
  ResetDebugConsole();
  for (int i = 0; i < 60; ++i) DebugPrint("スライム");
  EXPECT_NO_THROW(nlohmann::json(DebugOutput()).dump());
}

TEST_F(Console, StatCommandsChangeExactlyWhatTheyName) {
  MapLoad("test");
  const PlayerStatus before = Player;
  RunDebugCommand("move 010 020");
  EXPECT_EQ(Player.x, 10);
  EXPECT_EQ(Player.y, 20);
  RunDebugCommand("hp 123");
  RunDebugCommand("mhp 456");
  RunDebugCommand("mp 12");
  RunDebugCommand("mmp 34");
  RunDebugCommand("ap 5");
  RunDebugCommand("dp 6");
  RunDebugCommand("sp 7");
  RunDebugCommand("lv 9");
  RunDebugCommand("gold 123456");
  RunDebugCommand("pid 3xyz");
  EXPECT_EQ(Player.hp, 123);
  EXPECT_EQ(Player.mhp, 456);
  EXPECT_EQ(Player.mp, 12);
  EXPECT_EQ(Player.mmp, 34);
  EXPECT_EQ(Player.ap, 5);
  EXPECT_EQ(Player.dp, 6);
  EXPECT_EQ(Player.sp, 7);
  EXPECT_EQ(Player.lv, 9);
  EXPECT_EQ(Player.gold, 123456);
  EXPECT_EQ(Player.pid, 3);
  EXPECT_EQ(Player.exp, before.exp);
  EXPECT_EQ(Player.items.data, before.items.data);
  EXPECT_EQ(DebugOutput(), "");
  EXPECT_EQ(DebugCommandLine(), "");
}

TEST_F(Console, BadNumbersAreLoggedAndNothingIsHalfApplied) {
  Player.x = 3;
  Player.y = 4;
  Player.lv = 2;
  EnemyId = 5;
  for (auto& b : Flags) b = 0;
  testing::ExpectFault(kSource, err::kTypeMismatch);
  RunDebugCommand("move abc 0x2");  // neither is a number
  testing::ExpectFault(kSource, err::kOverflow);
  RunDebugCommand("lv 300");
  testing::ExpectFault(kSource, err::kSubscript);
  RunDebugCommand("btl 201");
  testing::ExpectFault(kSource, err::kSubscript);
  RunDebugCommand("set array 256 7");
  testing::ExpectFault(kSource, err::kInvalidCall);
  RunDebugCommand("move 010 020" + std::string(300, ' '));
  EXPECT_EQ(Player.x, 3);
  EXPECT_EQ(Player.y, 4);
  EXPECT_EQ(Player.lv, 2);
  EXPECT_EQ(EnemyId, 5);
  for (auto b : Flags) EXPECT_EQ(b, 0);
  EXPECT_EQ(DebugCommandLine(), "");
}

// Only the field that fails is skipped: the other one is set, the view redrawn and
// the focus given back.
TEST_F(Console, ABadFieldSkipsOnlyItsOwnAssignment) {
  MapLoad("test");
  Player.x = 3;
  Player.y = 4;
  ShowDebugWindow();
  testing::ExpectFault(kSource, err::kTypeMismatch);
  RunDebugCommand("move abc 012");
  EXPECT_EQ(Player.x, 3);
  EXPECT_EQ(Player.y, 12);
  EXPECT_FALSE(DebugConsoleFocused());
}

// Keys typed into the console are not the game's, and the Enter that runs a command
// giving the focus back does not reach the game until it is let go.
TEST_F(Console, ConsoleKeysNeverReachTheGame) {
  ShowDebugWindow();
  control().SetKey('X', true);
  EXPECT_EQ(Getkey().btn, 0) << "a letter typed into the command line";
  control().SetKey('X', false);
  control().SetKey(platform::vk::kReturn, true);
  EXPECT_TRUE(DebugConsoleKey(platform::vk::kReturn)) << "Enter runs the empty line";
  EXPECT_TRUE(DebugConsoleFocused());
  RunDebugCommand("back");
  EXPECT_FALSE(DebugConsoleFocused());
  EXPECT_EQ(Getkey().btn, 0) << "the held Enter that ran the command";
  control().SetKey(platform::vk::kReturn, false);
  EXPECT_EQ(Getkey().btn, 0);
  control().SetKey(platform::vk::kReturn, true);
  EXPECT_EQ(Getkey().btn, 2) << "pressed again, it is the game's";
  control().SetKey(platform::vk::kReturn, false);
}

// The window's "Debug" menu drops down its one item on a click; any click closes it.
TEST_F(Console, TheDebugMenuShowsItsItem) {
  platform::Surface closed;
  platform::Surface open;
  platform::Surface again;
  DrawDebugConsole(&closed);
  DebugConsoleClick(12, 8);
  DrawDebugConsole(&open);
  int changed = 0;
  for (int y = 22; y < 42; ++y) {
    for (int x = 12; x < 90; ++x) changed += open.At(x, y) != closed.At(x, y) ? 1 : 0;
  }
  EXPECT_GT(changed, 40) << "the item's caption is drawn under the menu bar";
  DebugConsoleClick(200, 200);
  DrawDebugConsole(&again);
  EXPECT_EQ(again.pixels(), closed.pixels());
}

TEST_F(Console, SetTakesTheValueAfterTheIndexField) {
  for (auto& b : Flags) b = 0;
  RunDebugCommand("set flag 012 1");
  EXPECT_EQ(Flag(12), 1);
  RunDebugCommand("set flag 012 0");
  EXPECT_EQ(Flag(12), 0);
  RunDebugCommand("set array 200 300");
  EXPECT_EQ(Flags(200), 44);
  for (int i = 0; i < 256; ++i) EXPECT_EQ(Flags(i), i == 200 ? 44 : 0) << i;
}

TEST_F(Console, ExpRunsTheLevelUpLoop) {
  for (auto& row : LevelTable) row = LevelRecord{999999999, 0, 0, 0, 0, 0};
  LevelTable(0) = LevelRecord{};
  LevelTable(1) = LevelRecord{};
  LevelTable(2) = LevelRecord{10, 10, 2, 3, 4, 5};
  LevelTable(3) = LevelRecord{20, 10, 2, 3, 4, 5};
  Player.lv = 1;
  TappingKey('X', [] { RunDebugCommand("exp 25"); });
  EXPECT_EQ(Player.exp, 25);
  EXPECT_EQ(Player.lv, 3);
}

TEST_F(Console, ElistAndMlistPutTheHeadingOnTop) {
  EnemyCount = 2;
  EnemyTable(0).name = "スライム";
  EnemyTable(1).name = "こうもり";
  EnemyTable(2).name = "おおかみ";
  RunDebugCommand("elist");
  EXPECT_EQ(DebugOutput().rfind("Enemy List---------------------\r\n0: スライム\r\n1: こうもり\r\n2: おおかみ\r\n---", 0), 0u);
  ResetDebugConsole();
  UseScratchFolder();
  std::filesystem::create_directories(GamePath("mapedit"));
  std::ofstream(GamePath("mapedit/b.map")) << "x";
  std::ofstream(GamePath("mapedit/a.map")) << "x";
  std::ofstream(GamePath("mapedit/notes.txt")) << "x";
  RunDebugCommand("mlist");
  EXPECT_EQ(DebugOutput(), "MapFile List---------------------\r\nb.map\r\na.map\r\n---------------------------------\r\n");
}

TEST_F(Console, TypedLinesRunOnlyWhileItHasTheFocus) {
  control().TypeText("hp 77\n");
  PumpDebugConsole();
  EXPECT_EQ(DebugCommandLine(), "");  // typed into the game window: dropped
  EXPECT_NE(Player.hp, 77);
  ShowDebugWindow();
  control().TypeText("hp 78\n");
  PumpDebugConsole();
  EXPECT_EQ(Player.hp, 78);
  EXPECT_FALSE(DebugConsoleFocused());  // the stat commands hand the focus back
  ShowDebugWindow();
  control().TypeText("hq\b\bhp 79");
  PumpDebugConsole();
  EXPECT_EQ(DebugCommandLine(), "hp 79");
  EXPECT_TRUE(DebugConsoleKey(13));
  EXPECT_EQ(Player.hp, 79);
}

TEST_F(Console, MapBtlEndingAndStaffStartWhatTheyName) {
  ASSERT_EQ(MapWidth, 0);
  RunDebugCommand("map test");
  EXPECT_EQ(MapName, "test");
  EXPECT_GT(MapWidth, 0);

  // "btl 3": an ordinary battle against row 3, fought with blows to its end.
  LoadPictures();
  EnemySet();
  ItemSet();
  MagSet();
  LvupSet();
  Player.ap = 30000;
  Player.hp = Player.mhp = 9999;
  const Long gold = Player.gold;
  bool fought = false;
  Tapping([&] {
    fought |= InBattle && Enemy.name == EnemyTable(3).name;
    return 'X';
  }, [] { RunDebugCommand("btl 003"); });
  EXPECT_TRUE(fought);
  EXPECT_FALSE(InBattle);
  EXPECT_EQ(EnemyId, 3);
  EXPECT_LE(Enemy.stats.hp, 0);
  EXPECT_GT(Player.gold, gold) << "won and paid";

  // "ending" and "staff" start their scenes (left as soon as they show).
  for (const auto& [line, scene] : {std::pair{"ending", Scene::kEnding}, std::pair{"staff", Scene::kStaffRoll}}) {
    Scene seen = Scene::kField;
    control().SetEventPointHook([&] {
      if (CurrentScene() != Scene::kField && seen == Scene::kField) seen = CurrentScene();
      if (seen != Scene::kField) GameRunning = false;
    });
    EXPECT_THROW(RunDebugCommand(line), EndProgram);
    control().SetEventPointHook({});
    GameRunning = true;
    EXPECT_EQ(seen, scene) << line;
    EXPECT_EQ(DebugCommandLine(), "");
  }
  // The console is ready again after a command the game ended inside.
  ShowDebugWindow();
  control().TypeText("hp 55\n");
  PumpDebugConsole();
  EXPECT_EQ(Player.hp, 55);
}

}  // namespace
}  // namespace ardo
