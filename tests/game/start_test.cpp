// The real program from its start: the logo and the title without --map, and the
// quick start of --new-game.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <unistd.h>

namespace {

class ProgramStart : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() / ("ardo-start-" + std::to_string(::getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  int Run(const std::string& options, const std::string& script, std::string* err) {
    std::ofstream(dir_ / "script.txt") << script;
    const std::string cmd = std::string(ARDO_GAME_DIR) + "/ardo --headless --seed 3 --data " ARDO_GAME_DIR " " +
                            options + " --script " + (dir_ / "script.txt").string() + " 2>" +
                            (dir_ / "err.txt").string();
    const int rc = std::system(cmd.c_str());
    std::ifstream e(dir_ / "err.txt");
    std::ostringstream ss;
    ss << e.rdbuf();
    *err = ss.str();
    return WEXITSTATUS(rc);
  }
  nlohmann::json Dump(const std::string& name) {
    std::ifstream in(dir_ / name);
    return nlohmann::json::parse(in);
  }

  std::filesystem::path dir_;
};

TEST_F(ProgramStart, TheLogoComesFirstThenTheTitleWhoseMenuQuits) {
  std::string err;
  const std::string d = dir_.string();
  const int rc = Run("", "until scene=logo timeout 100\ndump " + d + "/logo.json\n"
                         "until scene=title timeout 4000\nwait 500\ndump " + d + "/title.json\n"
                         "press x\nuntil window=9 timeout 1000\nwait 50\npress down\nwait 50\npress down\nwait 50\n"
                         "press x\nwait 5000\nuntil scene=field timeout 1\n",
                     &err);
  EXPECT_EQ(rc, 0) << "the program ended from the menu before the failing line: " << err;
  const auto logo = Dump("logo.json");
  EXPECT_EQ(logo["scene"], "logo");
  EXPECT_EQ(logo["return_to_title"], true);
  const auto title = Dump("title.json");
  EXPECT_EQ(title["scene"], "title");
  EXPECT_EQ(title["bgm"], "ss_m1b");
  EXPECT_EQ(title["staff_page"], 0);
  EXPECT_EQ(title["windows"], nlohmann::json::array());
}

TEST_F(ProgramStart, NewGameStartsInTheVillageAtOnce) {
  std::string err;
  const int rc = Run("--new-game", "until scene=field map=town1 pos=28,11 bgm=tender timeout 3000\ndump " +
                                       (dir_ / "d.json").string() + "\n",
                     &err);
  ASSERT_EQ(rc, 0) << err;
  const auto d = Dump("d.json");
  EXPECT_EQ(d["scene"], "field");
  EXPECT_EQ(d["return_to_title"], false);
  EXPECT_EQ(d["player"]["lv"], 1);
}

// The quick start is for the first cycle only: "終了" from the field menu brings the
// logo and the title back, not the village again.
TEST_F(ProgramStart, AfterQuittingAQuickStartTheTitleComesBack) {
  std::string err;
  const int rc = Run("--new-game",
                     "until scene=field map=town1 standing timeout 5000\nwait 1000\npress z\nuntil window=1 timeout 1000\n"
                     "wait 100\npress up\nwait 100\npress x\nuntil window=3 timeout 1000\nwait 100\npress x\n"
                     "until prompt timeout 3000\npress x\n"
                     "until scene=logo timeout 5000\nuntil scene=title timeout 4000\n",
                     &err);
  EXPECT_EQ(rc, 0) << err;
}

// Z closes the title menu, and the same held Z does not open it again: the menu can
// be cancelled. Let go and pressed again, it opens.
TEST_F(ProgramStart, TheTitleMenuStaysClosedWhileTheKeyThatClosedItIsHeld) {
  std::string err;
  const int rc = Run("", "until scene=title timeout 4000\nwait 300\npress x\nuntil window=9 timeout 1000\nwait 300\n"
                         "hold z\nuntil nowindow=9 timeout 1000\nwait 1000\nuntil nowindow=9 timeout 1\nrelease z\n"
                         "wait 200\npress z\nuntil window=9 timeout 1000\n",
                     &err);
  EXPECT_EQ(rc, 0) << err;
}

}  // namespace
