// The headless harness: script parsing, and the real program driven by a script.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "drivers/drivers.h"
#include "game/program.h"
#include "platform/platform.h"
#include "support/fixture.h"

namespace ardo {
namespace {

class RecordedSession : public testing::HeadlessGame {};

TEST(ScriptParse, ErrorsNameTheLine) {
  std::string error;
  auto r = ParseScript("wait 10\n# a comment\nhold up nosuchkey\nfrobnicate\nuntil map=town1 timeout x\nuntil banana=1\n",
                       "s.txt", &error);
  EXPECT_EQ(r, nullptr);
  EXPECT_NE(error.find("s.txt:3: unknown key 'nosuchkey'"), std::string::npos) << error;
  EXPECT_NE(error.find("s.txt:4: unknown command 'frobnicate'"), std::string::npos) << error;
  EXPECT_NE(error.find("s.txt:5: timeout needs a number of milliseconds"), std::string::npos) << error;
  EXPECT_NE(error.find("s.txt:6: unknown condition 'banana=1'"), std::string::npos) << error;
  EXPECT_EQ(error.find("s.txt:1:"), std::string::npos);
}

TEST(ScriptParse, EveryCommandAndKeyIsKnown) {
  std::string error;
  auto r = ParseScript(
      "wait 5\nhold up down left right z x c space enter shift f kp2 kp4 kp6 kp8 ctrl+d pad1 pad2 padup\n"
      "release up\nrelease all\npress x 80\npress z\n"
      "until map=town1 pos=3,4 window=0 nowindow=1 text~はい flag=3 noflag=4 bgm=tender battle timeout 100\n"
      "shot a.png\ndump a.json\nanswer ok\nanswer cancel\ntype move 010 020\nmouse right 10 10\nsoak 10 4\nsoak 5\n"
      "quit\n",
      "ok.txt", &error);
  EXPECT_NE(r, nullptr) << error;
}

TEST(ScriptParse, OutlandishNumbersAreRefused) {
  const char* scripts[] = {
      "wait 99999999999999999999\n", "wait 3600001\n", "press x 86400000\n", "until map=a timeout 999999999\n",
      "mouse right 99999999999 5\n", "mouse left 5 -2147483649\n", "soak 0\n", "soak 10 -1\n", "soak\n",
  };
  for (const char* text : scripts) {
    std::string error;
    EXPECT_EQ(ParseScript(text, "s.txt", &error), nullptr) << text;
    EXPECT_NE(error.find("s.txt:1: "), std::string::npos) << error;
  }
  std::string error;
  EXPECT_NE(ParseScript("wait 3600000\nmouse right 400 -3\n", "s.txt", &error), nullptr) << error;
}

// Conditions that could never be evaluated and times no run could wait are refused
// when the script is read, never left to hang or time out.
TEST(ScriptParse, UnevaluableConditionsAndAbsurdTimesAreRefused) {
  const char* bad[] = {
      "until hp<5",           "until hp=",         "until window=99",  "until window=x",
      "until pos=3",          "until pos=3,x",     "until pos=300,1",  "until flag=-1",
      "until text=hello",     "until battle=1",    "until map",        "until gold=lots",
      "until map=a timeout -5", "until map=a timeout 99999999", "press z -10", "press z 99999999",
  };
  for (const char* line : bad) {
    std::string error;
    EXPECT_EQ(ParseScript(std::string("wait 1\n") + line + "\n", "b.txt", &error), nullptr) << line;
    EXPECT_EQ(error.rfind("b.txt:2: ", 0), 0u) << line << " -> " << error;
  }
  std::string error;
  EXPECT_NE(ParseScript("until hp=-3 gold=0 chars=2 flag=2047 pos=0,255 text~a standing timeout 3600000\n"
                        "press z 0\n", "g.txt", &error),
            nullptr)
      << error;
}

// A recorded session is a script that parses, with the seed and start on its first line.
TEST_F(RecordedSession, KeysBecomeHoldsReleasesAndWaits) {
  const std::string path = UseScratchFolder() + "/session.txt";
  std::string error;
  ASSERT_TRUE(StartRecording(path, " --seed 5 --map test 5 7", &error)) << error;
  control().AdvanceTime(40);
  control().SetKey(platform::vk::kUp, true);
  RecordEventPoint();
  control().AdvanceTime(120);
  control().SetKey(platform::vk::kUp, false);
  control().SetKey('Z', true);
  RecordEventPoint();
  RecordEventPoint();
  StopRecording();
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str().substr(0, text.str().find('\n')), "# ardo: --seed 5 --map test 5 7");
  EXPECT_NE(text.str().find("wait 40\nhold up\nwait 120\nrelease up\nhold z\nquit\n"), std::string::npos)
      << text.str();
  EXPECT_NE(LoadScript(path, &error), nullptr) << error;
}

TEST(ScriptParse, AMissingScriptIsOneClearLine) {
  std::string error;
  EXPECT_EQ(LoadScript("/no/such/script.txt", &error), nullptr);
  EXPECT_EQ(error, "/no/such/script.txt: cannot read the script\n");
}

// Runs the real program headless on a scratch copy of nothing but a tiny map.
class ProgramRun : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("ardo-run-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_ / "map");
    // A 20 x 20 map: open floor with a wall column at x = 12.
    testing::WriteMapFile((dir_ / "map" / "room.map").string(), 20, 20, [](int x, int) {
      return x == 12 ? MapCell{1, 1} : MapCell{0, 0};
    });
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  int Run(const std::string& script, std::string* err) {
    const auto sp = dir_ / "script.txt";
    std::ofstream(sp) << script;
    const auto errp = dir_ / "stderr.txt";
    const std::string cmd = std::string(ARDO_GAME_DIR) + "/ardo --headless --seed 7 --data " + dir_.string() +
                            " --map room 10 10 --script " + sp.string() + " 2>" + errp.string();
    const int rc = std::system(cmd.c_str());
    std::ifstream e(errp);
    std::ostringstream ss;
    ss << e.rdbuf();
    *err = ss.str();
    return WEXITSTATUS(rc);
  }

  std::filesystem::path dir_;
};

TEST_F(ProgramRun, WalksBumpsShootsAndDumps) {
  const std::string shot = (dir_ / "shot.png").string();
  const std::string dump = (dir_ / "dump.json").string();
  std::string err;
  const int rc = Run("hold right\nuntil pos=11,10 timeout 2000\nwait 300\nrelease all\nwait 100\n"
                     "shot " + shot + "\ndump " + dump + "\npress f\nuntil fullscreen\nshot " + shot + ".full.png\n",
                     &err);
  ASSERT_EQ(rc, 0) << err;
  std::ifstream in(dump);
  const auto j = nlohmann::json::parse(in);
  EXPECT_EQ(j["map"], "room");
  EXPECT_EQ(j["player"]["x"], 11) << "the wall at x = 12 stops the hero";
  EXPECT_EQ(j["player"]["dir"], 3);
  EXPECT_EQ(j["player"]["items"].size(), 15u);
  EXPECT_EQ(j["flags"].get<std::string>().size(), 512u);
  for (const char* key : {"time_ms", "bgm", "windows", "message", "chars", "enemy", "step_offset", "full_screen",
                          "return_to_title"}) {
    EXPECT_TRUE(j.contains(key)) << key;
  }
  std::string error;
  auto pic = platform::LoadPicture(shot, &error);
  ASSERT_TRUE(pic) << error;
  EXPECT_EQ(pic->width(), 366);
  EXPECT_EQ(pic->height(), 366);
  EXPECT_EQ(pic->At(0, 0), platform::Rgb(0, 0, 255)) << "the blue border";
  EXPECT_EQ(pic->At(365, 200), platform::Rgb(0, 0, 255));
  auto full = platform::LoadPicture(shot + ".full.png", &error);
  ASSERT_TRUE(full) << error;
  EXPECT_EQ(full->width(), 640);
  EXPECT_EQ(full->height(), 480);
  EXPECT_EQ(full->At(10, 10), 0u) << "black around the view in full screen";
  // The view is the same picture in both, at (3, 3) and at (140, 60).
  int same = 0;
  for (int y = 0; y < 360; y += 7) {
    for (int x = 0; x < 360; x += 7) same += pic->At(3 + x, 3 + y) == full->At(140 + x, 60 + y);
  }
  EXPECT_GT(same, 2500);
}

// The harness's pad is plugged in by the first pad key, long after start-up.
TEST_F(ProgramRun, APadPluggedInLaterDoesNotWalkByItself) {
  const std::string dump = (dir_ / "dump.json").string();
  std::string err;
  const int rc = Run("wait 200\npress pad2\nwait 1000\ndump " + dump +
                         "\nhold padleft\nuntil pos=9,10 timeout 2000\nrelease all\n",
                     &err);
  ASSERT_EQ(rc, 0) << err;
  std::ifstream in(dump);
  const auto j = nlohmann::json::parse(in);
  EXPECT_EQ(j["player"]["x"], 10);
  EXPECT_EQ(j["player"]["y"], 10);
}

// A map that can't be read and a name that is not UTF-8: logged, dumped, and the run ends normally.
TEST_F(ProgramRun, AnUnreadableMapOrStrangeNameNeverStopsTheRun) {
  std::filesystem::create_directory(dir_ / "map" / "room2.map");
  const std::string dump = (dir_ / "dump.json").string();
  const auto sp = dir_ / "script.txt";
  std::ofstream(sp) << "wait 100\ndump " << dump << "\n";
  for (const std::string map : {"room2", "\xff\xfe"}) {
    std::filesystem::remove(dump);
    const std::string cmd = std::string(ARDO_GAME_DIR) + "/ardo --headless --data " + dir_.string() + " --map '" +
                            map + "' 3 3 --script " + sp.string() + " 2>/dev/null";
    const int rc = std::system(cmd.c_str());
    EXPECT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 0) << map;
    std::ifstream in(dump);
    EXPECT_TRUE(nlohmann::json::accept(in)) << map;
  }
  std::ifstream log(dir_ / "error.log");
  const std::string text((std::istreambuf_iterator<char>(log)), {});
  EXPECT_NE(text.find("MapLoad Error: 57 Device I/O error (map/room2.map: a folder, not a file)"), std::string::npos);
}

// A start cell the hero could never stand on is refused at start-up, like a bad option
// (standing there, every step off the map would fault).
TEST_F(ProgramRun, AStartOutsideTheMapOrInAWallIsRefused) {
  std::ofstream(dir_ / "script.txt") << "wait 100\n";
  const std::pair<const char*, const char*> cases[] = {{"25 5", "(25, 5) is outside room, which is 20 x 20"},
                                                       {"12 5", "(12, 5) of room is a wall"}};
  for (const auto& [cell, says] : cases) {
    const auto errp = dir_ / "stderr.txt";
    const std::string cmd = std::string(ARDO_GAME_DIR) + "/ardo --headless --data " + dir_.string() + " --map room " +
                            cell + " --script " + (dir_ / "script.txt").string() + " 2>" + errp.string();
    const int rc = std::system(cmd.c_str());
    std::ifstream e(errp);
    const std::string err((std::istreambuf_iterator<char>(e)), {});
    EXPECT_EQ(WEXITSTATUS(rc), 2) << cell;
    EXPECT_NE(err.find("ardo: --map: "), std::string::npos) << err;
    EXPECT_NE(err.find(says), std::string::npos) << err;
    EXPECT_FALSE(std::filesystem::exists(dir_ / "error.log"));
  }
}

TEST_F(ProgramRun, AFailedUntilExitsNonZeroWithTheLine) {
  std::string err;
  const int rc = Run("wait 10\nuntil map=elsewhere timeout 100\n", &err);
  EXPECT_NE(rc, 0);
  EXPECT_NE(err.find("script.txt:2: until map=elsewhere"), std::string::npos) << err;
}

TEST_F(ProgramRun, TheQuitPromptEndsTheGame) {
  std::string err;
  const int rc = Run("wait 100\nanswer ok\nmouse right 100 100\nwait 5000\n", &err);
  EXPECT_EQ(rc, 0) << err;
}

// The autopilot's route: a broken line is named, never played; the shipped route reads.
TEST(AutopilotRoute, ErrorsNameTheLineAndTheShippedRouteReads) {
  const auto path = std::filesystem::temp_directory_path() / "ardo-route-test.txt";
  std::ofstream(path) << "chapter\ngo field x 3\nfly away\ntalk town1\nkeep 1 99\n"
                         "grind 5 field 1\nboss crab\ngate dngn2 3\ngo field 1 2 if\n";
  std::string error;
  EXPECT_EQ(LoadAutopilot(path.string(), &error), nullptr);
  for (const char* want : {":1: chapter needs a name", ":2: go takes MAP X Y", ":3: unknown goal 'fly'",
                           ":4: talk takes MAP N", ":5: keep takes ITEM COUNT", ":6: grind takes LEVEL [MAP X Y]",
                           ":7: boss takes NAME ENEMY", ":8: gate takes MAP TALK FLAG", ":9: if needs a condition"}) {
    EXPECT_NE(error.find(path.string() + want), std::string::npos) << want << "\n" << error;
  }
  std::filesystem::remove(path);
  EXPECT_EQ(LoadAutopilot("/nonexistent/route.txt", &error), nullptr);
  EXPECT_NE(error.find("cannot read the route"), std::string::npos);
  error.clear();
  EXPECT_NE(LoadAutopilot(std::string(ARDO_GAME_DIR) + "/autopilot/route.txt", &error), nullptr) << error;
}

}  // namespace
}  // namespace ardo
