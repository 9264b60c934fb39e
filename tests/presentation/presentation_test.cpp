// The title, the narrations, the ending and the staff roll, headless in virtual time.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include <sys/stat.h>

#include "events/events.h"
#include "presentation/presentation.h"
#include "presentation/presentation_internal.h"
#include "save/save.h"
#include "sound/sound.h"
#include "support/ui_fixture.h"

namespace ardo {
namespace {

namespace vk = platform::vk;
constexpr platform::Color kWhite = platform::Rgb(255, 255, 255);

class Presentation : public testing::UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    LoadPictures();
    picMain.SetForeColor(kViewGrey);
    picMain.SetTextStyle(PointFont(9, false));
    GameRunning = true;
  }

  // A scratch game folder holding the given maps (floor everywhere) and their blocks
  // in the character file; the pictures stay those of the built game.
  void ScratchWorld(const std::map<std::string, std::pair<int, int>>& maps) {
    const std::string dir = UseScratchFolder();
    for (const char* sub : {"map", "data", "save"}) std::filesystem::create_directories(dir + "/" + sub);
    std::string chara = "map,count,talk,x,y,pic,dir,walks,note\r\n";
    for (const auto& [name, size] : maps) {
      std::string bytes(16, '\0');
      bytes[0] = static_cast<char>(size.first);
      bytes[1] = static_cast<char>(size.second);
      bytes += std::string(static_cast<size_t>(size.first * size.second * 2), '\0');
      std::ofstream(dir + "/map/" + name + ".map", std::ios::binary) << bytes;
      chara += name + ",0\r\n";
    }
    std::ofstream(dir + "/data/chara.dat", std::ios::binary) << chara;
    std::filesystem::copy(std::string(ARDO_GAME_DIR) + "/narration", dir + "/narration");
  }

  std::string ErrorLog() {
    std::ifstream in(ErrorLogPath(), std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }

  static bool AllBlack(const platform::Surface& s) {
    for (platform::Color c : s.pixels()) {
      if (c != 0) return false;
    }
    return true;
  }

  // The title screen is up: the scene is the title and the logo has been seen.
  bool seen_logo_ = false;
  std::uint32_t title_up_ = 0;  // when the title screen was first shown after the logo
  void WatchTitle() {
    if (CurrentScene() == Scene::kLogo) seen_logo_ = true;
    if (seen_logo_ && title_up_ == 0 && CurrentScene() == Scene::kTitle) title_up_ = now();
  }
};

TEST_F(Presentation, ALogoButtonIsNotTakenForTheMenuAndQuittingEndsTheProgram) {
  std::uint32_t logo_from = 0;
  bool menu_without_press = false;
  bool quit_in_time = false;
  probe = [&] {
    if (CurrentScene() == Scene::kLogo && logo_from == 0) logo_from = now();
    WatchTitle();
    if (title_up_ != 0 && now() < title_up_ + 2000 && picWindow(9).visible) menu_without_press = true;
    if (!GameRunning && now() < 30000) quit_in_time = true;
  };
  // A press of 150 ms during the logo, then nothing for two seconds, then "終わる".
  Press('X', [&] { return logo_from != 0 && now() >= logo_from + 300; }, 150);
  Press('X', [&] { return title_up_ != 0 && now() >= title_up_ + 2000; });
  Down(9, 2);
  Pick(9);
  EXPECT_FALSE(Run([] { Title(); }, 30000)) << "the program ends from the title";
  EXPECT_TRUE(quit_in_time);
  ASSERT_NE(title_up_, 0u);
  EXPECT_LT(title_up_ - logo_from, 1000u) << "the button cut the logo short (1500 ms of logo alone)";
  EXPECT_FALSE(menu_without_press) << "the logo's button must not open the title menu";
  EXPECT_TRUE(AllBlack(picMain)) << "faded out";
  EXPECT_TRUE(audio().state().music_path.empty()) << "music closed";
}

TEST_F(Presentation, LeftAloneTheTitleShowsTheDemoAndAButtonEndsIt) {
  std::uint32_t demo_from = 0;
  std::uint32_t demo_end = 0;
  bool over_title_picture = false;
  probe = [&] {
    WatchTitle();
    if (CurrentScene() == Scene::kDemo) {
      if (demo_from == 0) demo_from = now();
      // The title picture's middle stays under the scrolling poem.
      over_title_picture = over_title_picture || Ink(picMain, 80, 138, 200, 84, 0) < 200 * 84;
    } else if (demo_from != 0 && demo_end == 0) {
      demo_end = now();
    }
  };
  std::uint32_t pressed = 0;
  Press('X', [&] {
    if (demo_from == 0 || now() < demo_from + 3000) return false;
    pressed = now();
    return true;
  });
  Down(9, 2);
  Pick(9);  // "終わる"
  EXPECT_FALSE(Run([] { Title(); }, 60000));
  ASSERT_NE(title_up_, 0u);
  ASSERT_NE(demo_from, 0u);
  // The idle count goes up a frame (20 ms) at a time and starts the demo past 8000.
  EXPECT_GE(demo_from - title_up_, 8001u);
  EXPECT_LE(demo_from - title_up_, 8100u);
  EXPECT_TRUE(over_title_picture);
  ASSERT_NE(demo_end, 0u);
  EXPECT_LE(demo_end - pressed, 2u * FrameWait) << "a button ends the demo at the end of its frame";
}

// The title picture stands on the backdrop: where the picture is black the backdrop shows.
TEST_F(Presentation, TheTitlePictureStandsOnTheBackdropWithoutItsBlack) {
  ASSERT_FALSE(AllBlack(picTitleBack)) << "the built game has a backdrop";
  presentation::DrawTitlePicture();
  const int left = (picMain.width() - picTitle.width()) / 2;
  const int top = (picMain.height() - picTitle.height()) / 2;
  int wrong = 0;
  for (int y = 0; y < picMain.height(); ++y) {
    for (int x = 0; x < picMain.width(); ++x) {
      const platform::Color title = picTitle.At(x - left, y - top);
      wrong += picMain.At(x, y) != (title != 0 ? title : picTitleBack.At(x, y));
    }
  }
  EXPECT_EQ(wrong, 0);
}

TEST_F(Presentation, TheOpeningScrollsAtThreeSpeedsAndCannotBeSkipped) {
  std::map<int, std::uint32_t> line_from;  // top row -> first time shown
  std::map<int, std::set<int>> frames;     // top row -> the offsets shown
  probe = [&] {
    WatchTitle();
    if (CurrentScene() != Scene::kOpening) return;
    const ScrollPosition s = NarrationScroll();
    if (s.top == 0) return;
    if (!line_from.count(s.top)) line_from[s.top] = now();
    frames[s.top].insert(s.off);
    // Keys set now steer the next frame: row 5 with "up" held, from row 9 on a
    // button held to the end.
    control().SetKey(vk::kUp, (s.top == 5 && s.off < 30) || (s.top == 4 && s.off == 30));
    control().SetKey('X', s.top >= 9 || (s.top == 8 && s.off == 30));
  };
  Press('X', [&] { return title_up_ != 0; });
  Down(9);
  Pick(9);  // "初めから"
  ASSERT_TRUE(Run([] { Title(); }));
  ASSERT_EQ(line_from.size(), 70u) << "every row reaches the top, held button or not";
  EXPECT_EQ(line_from.begin()->first, 1);
  EXPECT_EQ(line_from.rbegin()->first, 70);
  EXPECT_EQ(frames[3].size(), 31u);
  EXPECT_EQ(line_from[4] - line_from[3], 31u * 40) << "normal: 31 frames of 2 x FrameWait";
  EXPECT_EQ(frames[5].size(), 31u);
  EXPECT_EQ(line_from[6] - line_from[5], 31u * 200) << "slow: 31 frames of 10 x FrameWait";
  EXPECT_EQ(frames[9].size(), 11u) << "fast: three pixels a frame";
  EXPECT_EQ(line_from[10] - line_from[9], 11u * 4) << "fast: frames of FrameWait / 5";
  // Then the new game: the home village with its music.
  EXPECT_EQ(MapName, "town1");
  EXPECT_EQ(BgmName, "tender");
  EXPECT_EQ(Player.x, 28);
  EXPECT_EQ(Player.y, 11);
  EXPECT_FALSE(ReturnToTitle);
  EXPECT_EQ(CurrentScene(), Scene::kField);
}

TEST_F(Presentation, ContinueCancelsQuietlyRefusesEmptySlotsAndLoadsOntoTheSlotsMap) {
  ScratchWorld({{"room", {20, 20}}});
  Init_PlayerStatus();
  MapName = "room";
  BgmName = "peace";
  Player.x = 10;
  Player.y = 9;
  Player.gold = 1234;
  ASSERT_EQ(Save(3), 0);
  Init_PlayerStatus();
  MapName.clear();
  BgmName.clear();
  ScanSaves();
  MenuChoice = SlotPurpose::kSave;  // what a save in the game before left behind
  probe = [&] { WatchTitle(); };
  Press('X', [&] { return title_up_ != 0; });
  Pick(9);    // "続きから"
  Cancel(4);  // back to the title, nothing said; the menu opens again at the next press
  Press('X', [] { return !picWindow(9).visible && !picWindow(4).visible; });
  Pick(9);
  Pick(4);  // slot 1 is empty
  Answer();
  Down(4, 2);
  Pick(4);  // slot 3
  Answer();
  ASSERT_TRUE(Run([] { Title(); }));
  EXPECT_EQ(messages, (std::vector<std::string>{"何番をロードしますか？", "何番をロードしますか？",
                                                "データがありません。", "何番をロードしますか？",
                                                "３番をロードします。"}));
  EXPECT_EQ(MapName, "room");
  EXPECT_EQ(BgmName, "peace");
  EXPECT_EQ(Player.x, 10);
  EXPECT_EQ(Player.y, 9);
  EXPECT_EQ(Player.gold, 1234);
  EXPECT_FALSE(ReturnToTitle);
  for (int i = 0; i <= 17; ++i) EXPECT_FALSE(picWindow(i).visible) << "window " << i;
}

TEST_F(Presentation, TheEndingRunsItsCourseWhateverIsPressedAndTheTitleComesBack) {
  // Stand-ins for the summit maps: open floor, the hero seven cells from the top of "top".
  ScratchWorld({{"top", {20, 40}}, {"last", {30, 40}}});
  Init_PlayerStatus();
  MapLoad("top");
  CharaSet("top");
  MapName = "top";
  Player.x = 10;
  Player.y = 30;
  BuffDraw();
  std::vector<std::string> scenes;
  std::map<int, std::uint32_t> line_from;
  std::map<int, std::set<int>> frames;
  std::map<int, bool> black_before;  // staff page -> the screen was black just before it
  bool black_now = false;
  std::uint32_t last_check = 0;
  std::set<platform::Color> colours_during;
  probe = [&] {
    const Scene s = CurrentScene();
    if (scenes.empty() || scenes.back() != SceneName(s)) scenes.push_back(SceneName(s));
    // Every key a restless player could hold, in turn.
    static const int kKeys[] = {'X', vk::kUp, 'Z', 'C', vk::kDown};
    for (int i = 0; i < 5; ++i) control().SetKey(kKeys[i], (now() / 700) % 5 == static_cast<std::uint32_t>(i));
    if (s == Scene::kEndingNarration || s == Scene::kStaffRoll) colours_during.insert(picMain.fore_color());
    if (s == Scene::kEndingNarration) {
      const ScrollPosition p = NarrationScroll();
      if (p.top != 0 && !line_from.count(p.top)) line_from[p.top] = now();
      if (p.top != 0) frames[p.top].insert(p.off);
    }
    if (s == Scene::kStaffRoll) {
      const int page = StaffPage();
      if (page == 0 && now() - last_check >= 200) {
        black_now = AllBlack(picMain);
        last_check = now();
      } else if (page != 0 && !black_before.count(page)) {
        black_before[page] = black_now;
        black_now = false;
      }
    }
  };
  ASSERT_TRUE(Run([] { Ending(); }, 400000));
  EXPECT_EQ(scenes, (std::vector<std::string>{"ending", "ending_narration", "ending", "staff"}));
  EXPECT_EQ(MapName, "last");
  EXPECT_EQ(Player.x, 13);
  EXPECT_EQ(Player.y, 10);
  EXPECT_EQ(BgmName, "spring");
  ASSERT_EQ(line_from.size(), 101u) << "no key skips a row";
  for (int top = 1; top <= 101; ++top) EXPECT_EQ(frames[top].size(), 31u) << "row " << top;
  EXPECT_EQ(line_from[101] - line_from[1], 100u * 31 * 40) << "every frame 2 x FrameWait, whatever is held";
  EXPECT_EQ(colours_during, (std::set<platform::Color>{kWhite}));
  EXPECT_EQ(picMain.fore_color(), kViewGrey);
  EXPECT_EQ(picMain.text_style().size_px, PointFont(9, false).size_px) << "page 8's sizes are undone";
  ASSERT_EQ(black_before.size(), 8u);
  for (const auto& [page, black] : black_before) EXPECT_TRUE(black) << "page " << page << " starts on black";
  EXPECT_TRUE(ReturnToTitle);
  EXPECT_TRUE(audio().state().music_path.empty());

  // The field loop ends and the next cycle shows the logo and the title again.
  SetAppPath(ARDO_GAME_DIR);
  scenes.clear();
  probe = [&] {
    const Scene s = CurrentScene();
    if (scenes.empty() || scenes.back() != SceneName(s)) scenes.push_back(SceneName(s));
    if (s == Scene::kTitle && scenes.size() >= 2) GameRunning = false;
  };
  EXPECT_FALSE(Run([] { Initialize(); }, 10000)) << "ended by the test on the title screen";
  EXPECT_EQ(scenes, (std::vector<std::string>{"logo", "title"}));
}

// ---- Content.

struct Script {
  const char* name;
  int entries;
  int last_start;
  std::vector<int> rows;  // the rows with text; empty: any
  size_t count;
};

TEST_F(Presentation, TheNarrationsHaveTheirRowsAndFitTheView) {
  const std::vector<int> opening = {15, 16, 17, 18, 27, 28, 29, 31, 32, 33, 40, 41,
                                    43, 44, 45, 46, 47, 57, 58, 59, 60, 64, 68};
  const Script scripts[] = {
      {"opening", kOpeningEntries, kOpeningLastStart, opening, opening.size()},
      {"demo", kDemoEntries, kDemoLastStart, {}, 19},
      {"ending", kEndingEntries, kEndingLastStart, {}, 30},
  };
  for (const Script& s : scripts) {
    SCOPED_TRACE(s.name);
    const auto lines = LoadNarration(s.name, s.entries, s.name);
    ASSERT_EQ(lines.size(), static_cast<size_t>(s.entries));
    std::vector<int> rows;
    for (int i = 0; i < s.entries; ++i) {
      if (lines[i].empty()) continue;
      rows.push_back(i);
      platform::Surface probe_surface(400, 20);
      probe_surface.SetTextStyle(PointFont(9, false));
      // Written at x = 40; the text keeps a margin as wide on the right.
      EXPECT_LE(40 + probe_surface.TextOut(0, 0, lines[i]), 360 - 32) << "row " << i << ": " << lines[i];
    }
    EXPECT_EQ(rows.size(), s.count);
    if (!s.rows.empty()) {
      EXPECT_EQ(rows, s.rows);
    }
    EXPECT_EQ(rows.front(), 15);
    // Everything has scrolled out of sight before the scroll stops.
    EXPECT_LT(rows.back(), s.last_start);
  }
  EXPECT_EQ(LoadNarration("opening", kOpeningEntries, "t")[15].rfind("外は今日も雨", 0), 0u);
}

TEST_F(Presentation, TheCreditsFitAndTheClosingLineHasItsShape) {
  EXPECT_EQ(CharLength(Word(Say::kStudio)), 5u);
  EXPECT_EQ(ToFullWidth(Word(Say::kStudio)), Word(Say::kStudio)) << "full-width characters";
  const std::vector<size_t> names = {2, 6, 5, 2, 1, 1, 1};  // lines a page, headings included
  ASSERT_EQ(StaffPages().size(), names.size());
  platform::Surface s(800, 20);
  s.SetTextStyle(PointFont(9, false));
  for (size_t p = 0; p < names.size(); ++p) {
    EXPECT_EQ(StaffPages()[p].size(), names[p]) << "page " << p + 1;
    for (const StaffLine& l : StaffPages()[p]) {
      const int x = 180 - 3 * static_cast<int>(CharLength(l.text));
      EXPECT_GE(x, 20) << l.text;
      EXPECT_LE(x + s.TextOut(0, 0, l.text), 340) << l.text;
    }
  }
  const std::string closing = Word(Say::kClosingLine);
  EXPECT_EQ(CharLength(closing), 14u);
  EXPECT_EQ(RightChars(closing, 1), "？");
  EXPECT_EQ(RightChars(closing, 10).substr(0, 3), "　") << "position 4 is the blank";
}

TEST_F(Presentation, ABrokenNarrationFileIsLoggedAndTheRestStillLoads) {
  testing::ExpectFault("DemoText", 13);
  testing::ExpectFault("DemoText", 9);
  testing::ExpectFault("EndingText", 53);
  const std::string dir = UseScratchFolder();
  std::filesystem::create_directories(dir + "/narration");
  std::ofstream(dir + "/narration/bad.txt", std::ios::binary) << "# note\n3 ok\nx nonsense\n250 too far\n4 fine\n";
  const auto lines = LoadNarration("bad", 10, "DemoText");
  EXPECT_EQ(lines[3], "ok");
  EXPECT_EQ(lines[4], "fine");
  const auto none = LoadNarration("missing", 10, "EndingText");
  EXPECT_EQ(none, std::vector<std::string>(10));
  const std::string log = ErrorLog();
  EXPECT_NE(log.find("DemoText Error: 13 "), std::string::npos) << log;
  EXPECT_NE(log.find("(narration/bad.txt line 4)"), std::string::npos) << log;
  EXPECT_NE(log.find("(narration/missing.txt"), std::string::npos) << log;
  EXPECT_NE(log.find("DemoText Error: 9 "), std::string::npos) << log;
  EXPECT_NE(log.find("EndingText Error: 53 "), std::string::npos) << log;
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 3) << log;
  // A named pipe in its place is refused at once instead of waiting for a writer.
  testing::ExpectFault("OpeningText", 57);
  ASSERT_EQ(::mkfifo((dir + "/narration/pipe.txt").c_str(), 0600), 0);
  EXPECT_EQ(LoadNarration("pipe", 10, "OpeningText"), std::vector<std::string>(10));
}

}  // namespace
}  // namespace ardo
