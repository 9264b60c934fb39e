// The autopilot over short routes of its own, with a script beside it that does what a
// long route would take long to reach (the ending, a lost battle) through the debug console.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "core/core.h"
#include "game/program.h"

namespace ardo {
namespace {

namespace fs = std::filesystem;

class AutopilotRun : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("ardo-pilot-" + std::to_string(::getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "save");
    for (const auto& e : fs::directory_iterator(ARDO_GAME_DIR)) {
      if (e.is_directory() && e.path().filename() != "save") fs::create_directory_symlink(e.path(), dir_ / e.path().filename());
    }
  }
  void TearDown() override {
    // The run chose its write folder: the tests after this one write where they say.
    SetWriteFolder("");
    fs::remove_all(dir_);
  }

  // Plays `route` from the title with the script running beside it; what the autopilot said.
  std::string Fly(const std::string& route, const std::string& script, const std::string& settings = "") {
    std::ofstream(dir_ / "route.txt") << route;
    std::ofstream(dir_ / "script.txt") << script;
    RunOptions o;
    o.data_dir = dir_.string();
    o.headless = true;
    o.seed = 1;
    o.seed_given = true;
    o.autopilot = true;
    o.route = (dir_ / "route.txt").string();
    o.script = (dir_ / "script.txt").string();
    if (!settings.empty()) {
      std::ofstream(dir_ / "settings.ini") << settings;
      o.settings = (dir_ / "settings.ini").string();
    }
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(RunProgram(o), 0);
    return ::testing::internal::GetCapturedStdout();
  }

  static int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  }

  fs::path dir_;
};

// Once the staff roll has run, the title that follows ends the run: the autopilot does
// not start or load a game and walk on (which added minutes to every reported play time).
// (The staff roll and then a lost battle bring the title back here.)
TEST_F(AutopilotRun, TheTitleAfterTheStaffRollEndsTheRun) {
  const std::string out = Fly("chapter 終わり\nend\n",
                              "until scene=field map=town1 standing timeout 600000\nwait 500\npress ctrl+d\nwait 100\n"
                              "type staff\\n\nuntil scene=staff timeout 5000\nuntil scene=field timeout 600000\n"
                              "press ctrl+d\nwait 100\ntype hp 1\\n\nwait 100\npress ctrl+d\nwait 100\n"
                              "type btl 50\\n\nwait 3600000\n");
  EXPECT_NE(out.find("the staff roll was shown and the title is back"), std::string::npos) << out;
  EXPECT_EQ(out.find("back to:"), std::string::npos) << "a game was played on after the title\n" << out;
}

// The autopilot presses the keys the player's settings bind, on the title as on the field.
TEST_F(AutopilotRun, PressesTheKeysTheSettingsBind) {
  const std::string out = Fly("chapter 一\ntalk town1 1\n", "wait 600000\n",
                              "[keys]\nchoose = Q\ncancel = E\nup = W\ndown = S\nleft = A\nright = D\n");
  EXPECT_NE(out.find("the route is played to its end"), std::string::npos) << out;
}

// A battle lost in a later chapter loads the save of an earlier one: the play is counted
// under the chapter it is in again, and every chapter is reported once.
TEST_F(AutopilotRun, AReloadTakesTheChapterBackToTheSave) {
  const std::string out =
      Fly("chapter 一\nsave\nchapter 二\ngo town1 21 9\ngo town1 29 12\n",
          "until pos=21,9 timeout 600000\npress ctrl+d\nwait 100\ntype hp 1\\n\nwait 100\npress ctrl+d\nwait 100\n"
          "type btl 50\\n\nwait 3600000\n");
  EXPECT_NE(out.find("loaded the save, back to: chapter 二"), std::string::npos) << out;
  const std::string report = out.substr(std::min(out.size(), out.find("autopilot: report")));
  EXPECT_EQ(Count(report, "autopilot:   一 "), 1) << report;
  EXPECT_EQ(Count(report, "autopilot:   二 "), 1) << report;
  EXPECT_NE(report.find("deaths 1  reloads 1"), std::string::npos) << report;
}

}  // namespace
}  // namespace ardo
