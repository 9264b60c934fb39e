// Game state, flag bits, numbers with the old run-time's rules, waiting and the error log.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "core/core.h"
#include "support/fixture.h"

namespace ardo {
namespace {

using testing::HeadlessGame;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class StateTest : public HeadlessGame {};

TEST_F(StateTest, FlagZeroIsTheTopBitOfByteZero) {
  SetFlag(0, 1);
  EXPECT_EQ(Flags(0), 0x80);
  SetFlag(7, 2) /* any non-zero value sets */;
  EXPECT_EQ(Flags(0), 0x81);
  EXPECT_EQ(Flag(7), 1);
  SetFlag(0, 0);
  EXPECT_EQ(Flags(0), 0x01);
  EXPECT_EQ(Flag(0), 0);
  SetFlag(2047, 1);
  EXPECT_EQ(Flags(255), 0x01);
}

TEST_F(StateTest, SetFlagNineChangesTheEncounterArea) {
  Flags(1) = 0;
  SetFlag(9, 1);
  EXPECT_EQ(Flags(1), 0x40) << "flag 9 is bit 6 of byte 1";
}

TEST_F(StateTest, BitAndSetBit) {
  EXPECT_EQ(Bit(0b1010, 1), 1);
  EXPECT_EQ(Bit(0b1010, 2), 0);
  Byte b = 0;
  SetBit(b, 7, 1);
  SetBit(b, 0, 5);
  EXPECT_EQ(b, 0x81);
  SetBit(b, 7, 0);
  EXPECT_EQ(b, 0x01);
}

TEST_F(StateTest, NewGameState) {
  Player.dir = 3;
  Flags(100) = 7;
  Init_PlayerStatus();
  EXPECT_EQ(Player.x, 28);
  EXPECT_EQ(Player.y, 11);
  EXPECT_EQ(Player.hp, 150);
  EXPECT_EQ(Player.mhp, 150);
  EXPECT_EQ(Player.mp, 20);
  EXPECT_EQ(Player.mmp, 20);
  EXPECT_EQ(Player.gold, 300);
  EXPECT_EQ(Player.lv, 1);
  EXPECT_EQ(Player.ap, 35);
  EXPECT_EQ(Player.dp, 20);
  EXPECT_EQ(Player.sp, 10);
  EXPECT_EQ(Player.dir, 3) << "facing is left as it was";
  for (int i = 0; i <= 14; ++i) EXPECT_EQ(Player.items(i), i < 5 ? 1 : 0);
  EXPECT_EQ(Flags(100), 0);
  // Settings: music, effects, normal message speed, normal walking speed.
  EXPECT_EQ(Flags(0), 0b11010010);
}

TEST_F(StateTest, SpeedDelaysFollowTheFlags) {
  Init_PlayerStatus();
  RecomputeSpeeds();
  EXPECT_EQ(WalkWait, 16);
  EXPECT_EQ(MessageWait, 32);
  SetFlag(5, 1);
  SetFlag(6, 0);
  SetFlag(7, 1);
  SetFlag(2, 1);
  SetFlag(4, 1);
  RecomputeSpeeds();
  EXPECT_EQ(WalkWait, 32) << "two speed flags add their weights";
  EXPECT_EQ(MessageWait, 112);
}

TEST_F(StateTest, WaitUsesTheClock) {
  const auto t0 = now();
  Wait(0);
  EXPECT_EQ(now(), t0) << "Wait(0) returns after one check";
  Wait(-5);
  EXPECT_EQ(now(), t0);
  Wait(40);
  EXPECT_EQ(now() - t0, 40u);
}

// Fixed random numbers come first, then the seeded sequence goes on as if untouched.
TEST_F(StateTest, FixedRandomNumbersComeFirstThenTheSeededOnes) {
  SeedRandom(9);
  const float first = Rnd(), second = Rnd();
  SeedRandom(9);
  FixRandom({0.25f, 0.999f});
  EXPECT_EQ(Rnd(), 0.25f);
  EXPECT_EQ(Rnd(), 0.999f);
  EXPECT_EQ(Rnd(), first);
  EXPECT_EQ(Rnd(), second);
  FixRandom({0.5f});
  ResetAllState();
  EXPECT_NE(Rnd(), 0.5f) << "a reset ends the fixing";
}

// A frame paced with FramePace lasts its time however long its work took, and moves
// the animation clock on by one frame.
TEST_F(StateTest, AFrameWaitsOutItsRestAndAdvancesTheAnimation) {
  AnimClock = 1990;
  FrameWait = 20;
  const auto t0 = now();
  FramePace frame;
  control().AdvanceTime(5);  // the frame's drawing took 5 ms
  frame.Finish(16);
  EXPECT_EQ(now() - t0, 16u);
  EXPECT_EQ(AnimClock, 10);
  EXPECT_EQ(AnimFrame, 0);
  FramePace late;
  control().AdvanceTime(40);
  late.Finish(16, false);
  EXPECT_EQ(now() - t0, 56u) << "an overlong frame does not wait";
  EXPECT_EQ(AnimClock, 10) << "and a fade does not animate";
}

TEST_F(StateTest, ClosingTheWindowWhileWaitingEndsTheProgram) {
  GameRunning = false;
  EXPECT_THROW(Wait(10), EndProgram);
}

TEST(Numbers, ConversionsRoundHalfToEvenAndFaultOnOverflow) {
  EXPECT_EQ(CInt(2.5), 2);
  EXPECT_EQ(CInt(3.5), 4);
  EXPECT_EQ(CInt(-2.5), -2);
  EXPECT_EQ(CByte(255.4), 255);
  EXPECT_EQ(CInt(32767LL), 32767);
  try {
    CInt(32768LL);
    FAIL();
  } catch (const Fault& f) {
    EXPECT_EQ(f.number, 6);
    EXPECT_EQ(f.description, "Overflow");
  }
  EXPECT_THROW(CByte(-1), Fault);
  EXPECT_THROW(CLng(3e9), Fault);
  EXPECT_THROW(IntDiv(1, 0), Fault);
  EXPECT_EQ(IntDiv(-7, 2), -3);
  VbArray<Byte, 0, 14> items;
  EXPECT_THROW(items(15), Fault);
  EXPECT_THROW(items(-1), Fault);
}

TEST(Numbers, StrictAndLenientTextConversion) {
  EXPECT_EQ(ToNumber(" 42 "), 42);
  EXPECT_EQ(ToNumber("-3.5"), -3.5);
  EXPECT_THROW(ToNumber("12a"), Fault);
  EXPECT_THROW(ToNumber(""), Fault);
  EXPECT_THROW(ToNumber("inf"), Fault);
  EXPECT_EQ(Val("12a"), 12);
  EXPECT_EQ(Val(" 1 2 3x"), 123);
  EXPECT_EQ(Val("abc"), 0);
}

class ErrorLogTest : public HeadlessGame {};

TEST_F(ErrorLogTest, LinesAreAppendedWithTheProcedureName) {
  testing::ExpectFault("EventProc", 6);
  testing::ExpectFault("EventProc", 9);
  testing::ExpectFault("Shop", 11);
  const std::string dir = UseScratchFolder();
  // Two faults in one procedure give two lines under its name, in order.
  Trap on("EventProc");
  on([] { Raise(9); });
  on([] { CInt(100000LL); });
  const std::string log = ReadFile(dir + "/error.log");
  std::istringstream lines(log);
  std::string a, b;
  std::getline(lines, a);
  std::getline(lines, b);
  EXPECT_NE(a.find(": EventProc Error: 9 Subscript out of range\r"), std::string::npos) << a;
  EXPECT_NE(b.find(": EventProc Error: 6 Overflow\r"), std::string::npos) << b;
  // The date and time come first: "YYYY/MM/DD HH:MM:SS".
  EXPECT_EQ(a[4], '/');
  EXPECT_EQ(a[13], ':');
  // An existing log gets the new line after its last line.
  Trap other("Shop");
  other([] { Raise(11); });
  EXPECT_EQ(ReadFile(dir + "/error.log").rfind(log, 0), 0u);
}

void HandlerLess() {
  Raise(13);
}

TEST_F(ErrorLogTest, AFaultInAHandlerLessCalleeIsLoggedByTheCaller) {
  testing::ExpectFault("Talk", 13);
  const std::string dir = UseScratchFolder();
  int after = 0;
  Trap on("Talk");
  on([&] {
    HandlerLess();
    after = 1;  // the rest of the failing statement is abandoned
  });
  after += 10;  // the caller resumes after the call
  EXPECT_EQ(after, 10);
  EXPECT_NE(ReadFile(dir + "/error.log").find("Talk Error: 13 Type mismatch"), std::string::npos);
}

// Whatever the standard library throws from a statement is logged as the matching
// fault, and the procedure goes on.
TEST_F(ErrorLogTest, LibraryExceptionsAreFaultsToo) {
  testing::ExpectFault("MapLoad", 57);
  testing::ExpectFault("MapLoad", 7);
  testing::ExpectFault("MapLoad", 6);
  testing::ExpectFault("MapLoad", 13);
  testing::ExpectFault("MapLoad", 9);
  const std::string dir = UseScratchFolder();
  const struct {
    std::function<void()> statement;
    const char* line;
  } cases[] = {
      {[] { std::ifstream in; in.exceptions(std::ios::failbit); in.open("/no/such/file"); }, "Error: 57 Device I/O"},
      {[] { throw std::bad_alloc(); }, "Error: 7 Out of memory"},
      // The fault's number and name; what the library says after them is its own wording.
      {[] { (void)std::stoi("99999999999999"); }, "Error: 6 Overflow ("},
      {[] { (void)std::stoi("x"); }, "Error: 13 Type mismatch ("},
      {[] { (void)std::string("ab").at(5); }, "Error: 9 Subscript out of range"},
  };
  Trap on("MapLoad");
  int went_on = 0;
  for (const auto& c : cases) {
    EXPECT_NO_THROW(on(c.statement));
    ++went_on;
    EXPECT_NE(ReadFile(dir + "/error.log").find(std::string("MapLoad ") + c.line), std::string::npos) << c.line;
  }
  EXPECT_EQ(went_on, 5);
  EXPECT_EQ(on.Value(4, [] { return std::stoi("99999999999999"); }), 4);
}

TEST_F(ErrorLogTest, AFailedAssignmentLeavesItsTarget) {
  testing::ExpectFault("HPadd", 6);
  UseScratchFolder();
  Player.hp = 30000;
  Trap on("HPadd");
  on([] { Player.hp = CInt(Player.hp + 5000); });
  EXPECT_EQ(Player.hp, 30000);
}

// A fault that comes every frame (the hero on a map's border) is written a few times and
// then counted, so an hour of it is a handful of lines, not hundreds of thousands.
TEST_F(ErrorLogTest, AFaultRepeatedInARowIsFoldedIntoACount) {
  testing::ExpectFault("MainLoop", 9);
  testing::ExpectFault("MainLoop", 6);
  const std::string dir = UseScratchFolder();
  Trap on("MainLoop");
  for (int i = 0; i < 20000; ++i) on([] { Raise(9); });
  on([] { Raise(6); });
  const std::string log = ReadFile(dir + "/error.log");
  std::vector<std::string> lines;
  std::istringstream in(log);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  // Three lines, the counts at 10, 100, 1000 and 10000 so far, the whole count, the next fault.
  ASSERT_EQ(lines.size(), 3u + 4u + 1u + 1u) << log;
  for (int i = 0; i < 3; ++i) EXPECT_NE(lines[static_cast<size_t>(i)].find(": MainLoop Error: 9 "), std::string::npos);
  EXPECT_NE(lines[3].find(": … repeated 10 times so far: MainLoop Error: 9 "), std::string::npos) << lines[3];
  EXPECT_NE(lines[7].find(": … repeated 19997 times: MainLoop Error: 9 Subscript out of range"), std::string::npos)
      << lines[7];
  EXPECT_NE(lines[8].find(": MainLoop Error: 6 "), std::string::npos) << lines[8];
}

TEST_F(ErrorLogTest, AnUnwritableLogLosesTheLineNotTheGame) {
  testing::ExpectFault("MapLoad", 53);
  SetAppPath("/nonexistent/folder/for/ardo");
  Trap on("MapLoad");
  EXPECT_NO_THROW(on([] { Raise(53); }));
  EXPECT_FALSE(std::filesystem::exists("/nonexistent/folder/for/ardo/error.log"));
}

TEST_F(ErrorLogTest, FlagOutOfRangeIsLoggedAndHarmless) {
  testing::ExpectFault("Flag", 9);
  testing::ExpectFault("SetFlag", 9);
  const std::string dir = UseScratchFolder();
  EXPECT_EQ(Flag(5000), 0);
  SetFlag(-1, 1);
  const std::string log = ReadFile(dir + "/error.log");
  EXPECT_NE(log.find("Flag Error: 9"), std::string::npos);
  EXPECT_NE(log.find("SetFlag Error: 9"), std::string::npos);
}

}  // namespace
}  // namespace ardo
