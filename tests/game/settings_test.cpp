// The player's settings file, the key bindings and the game's folders.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/bindings.h"
#include "game/paths.h"
#include "game/settings.h"
#include "support/faults.h"
#include "support/fixture.h"

namespace ardo {
namespace {

namespace fs = std::filesystem;
namespace vk = platform::vk;

class SettingsFile : public testing::HeadlessGame {
 protected:
  std::string Log() {
    std::ifstream in(ErrorLogPath(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
};

TEST_F(SettingsFile, DefaultsAndChangedSettingsRoundTripThroughTheFile) {
  UseScratchFolder();
  EXPECT_EQ(ParseSettings(SettingsText(Settings{}), "settings.ini"), Settings{});
  Settings s;
  s.scale = 3;
  s.full_screen = true;
  s.music_volume = 40;
  s.effects_volume = 0;
  s.language = Language::kEnglish;
  auto& keys = s.bindings.keys;
  keys[static_cast<int>(Action::kUp)].push_back({'W'});  // added to the defaults
  keys[static_cast<int>(Action::kChoose)] = {{vk::kNumpad0 + 5}, {'K', platform::kCtrlMask}};  // replaced
  keys[static_cast<int>(Action::kFullScreen)] = {{vk::kF1 + 10}};
  s.bindings.pad[static_cast<int>(Action::kCancel)] = platform::PadBit(platform::kPadB);
  s.bindings.pad[static_cast<int>(Action::kDash)] |= platform::PadBit(platform::kPadRightShoulder);
  s.bindings.pad[static_cast<int>(Action::kFullScreen)] = platform::PadBit(platform::kPadBack);
  const std::string text = SettingsText(s);
  EXPECT_NE(text.find("up = default, W"), std::string::npos) << text;
  EXPECT_NE(text.find("choose = Keypad5, Ctrl+K"), std::string::npos) << text;
  EXPECT_EQ(ParseSettings(text, "settings.ini"), s) << text;
  EXPECT_FALSE(fs::exists(ErrorLogPath()));
}

// Each bad line is reported with its number, and only its own setting keeps the default.
TEST_F(SettingsFile, BadLinesAreReportedAndKeepTheirDefaults) {
  UseScratchFolder();
  testing::ExpectFault("Settings", err::kTypeMismatch);
  testing::ExpectFault("Settings", err::kInvalidCall);
  testing::ExpectFault("Settings", err::kOverflow);
  const std::string text =
      "[window]\n"                          // 1
      "scale = 99999\n"                     // 2  out of range
      "full_screen = perhaps\n"             // 3  not yes/no
      "this is not a setting\n"             // 4  garbage
      "[sound]\n"                           // 5
      "music_volume = 55\n"                 // 6  good
      "effects_volume = -3\n"               // 7  not a number
      "[keys]\n"                            // 8
      "up = W, Hyperdrive\n"                // 9  unknown key: up keeps its default
      "jump = Space\n"                      // 10 unknown action
      "down = S\n"                          // 11 good
      "[pad]\n"                             // 12
      "choose = Triangle\n"                 // 13 unknown button
      "[colours]\n"                         // 14
      "sky = blue\n"                        // 15 unknown section
      "[keys\n"                             // 16 broken header
      "left = " + std::string(400, 'A') + "\n"  // 17 far too long
      "\x01\x02\xff garbage\n"              // 18
      "[keys]\n"                            // 19
      "right =\n"                           // 20 no key at all
      "cancel = Q, q\n"                     // 21 a key twice
      "dash = default, Shift\n"             // 22 a key of default twice
      "[pad]\n"                             // 23
      "dash = X, X\n"                       // 24 a button twice
      "[game]\n"                            // 25
      "language = en\n"                     // 26 good, but overruled by:
      "language = fr\n";                    // 27 neither ja nor en: ja
  const Settings s = ParseSettings(text, "settings.ini");
  Settings expected;
  expected.music_volume = 55;
  expected.bindings.keys[static_cast<int>(Action::kDown)] = {{'S'}};
  EXPECT_EQ(s, expected);
  const std::string log = Log();
  for (int line : {2, 3, 4, 7, 9, 10, 13, 15, 16, 17, 18, 20, 21, 22, 24, 27}) {
    EXPECT_NE(log.find("settings.ini line " + std::to_string(line) + ":"), std::string::npos) << line << "\n" << log;
  }
  for (int line : {1, 6, 11, 26}) {
    EXPECT_EQ(log.find("settings.ini line " + std::to_string(line) + ":"), std::string::npos) << line << "\n" << log;
  }
}

TEST_F(SettingsFile, FirstRunWritesTheDefaultsAndAnUnwritableFolderIsReported) {
  const fs::path dir = UseScratchFolder();
  const std::string path = (dir / "config" / "ardo" / "settings.ini").string();
  EXPECT_EQ(LoadSettings(path), Settings{});
  ASSERT_TRUE(fs::exists(path));
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(ParseSettings(text.str(), "settings.ini"), Settings{});
  // Read back as it is on the second run, untouched.
  std::ofstream(path, std::ios::app) << "[window]\nscale = 2\n";
  EXPECT_EQ(LoadSettings(path).scale, 2);

  // A home that is not a folder: the defaults, and the reason logged.
  testing::ExpectFault("Settings", err::kPathFileAccess);
  std::ofstream(dir / "home") << "a file";
  EXPECT_EQ(LoadSettings((dir / "home" / "ardo" / "settings.ini").string()), Settings{});
  EXPECT_NE(Log().find("home/ardo/settings.ini"), std::string::npos) << Log();
}

TEST(KeyBindings, NamesAndKeyDowns) {
  const struct {
    const char* name;
    bool ok;
    KeyInput key;
  } cases[] = {
      {"w", true, {'W'}},           {"7", true, {'7'}},
      {"alt+enter", true, {vk::kReturn, platform::kAltMask}},
      {"Ctrl+Shift+Q", true, {'Q', platform::kCtrlMask | platform::kShiftMask}},
      {"Keypad5", true, {vk::kNumpad0 + 5}}, {"F12", true, {vk::kF12}},
      {"F13", false, {}},           {"Keypad10", false, {}},
      {"Ctrl+", false, {}},         {"Hyper+X", false, {}},
      {"", false, {}},              {"ww", false, {}},
  };
  for (const auto& c : cases) {
    KeyInput k;
    EXPECT_EQ(ParseKey(c.name, &k), c.ok) << c.name;
    if (!c.ok) continue;
    EXPECT_EQ(k, c.key) << c.name;
    KeyInput back;
    EXPECT_TRUE(ParseKey(KeyName(k), &back)) << KeyName(k);
    EXPECT_EQ(back, k) << c.name;
  }
  ResetBindings();
  // The game's own full-screen keys: F with any modifier, Enter (either) only with Alt.
  EXPECT_TRUE(ActionKeyDown(Action::kFullScreen, 'F', 0));
  EXPECT_TRUE(ActionKeyDown(Action::kFullScreen, 'F', platform::kCtrlMask));
  EXPECT_FALSE(ActionKeyDown(Action::kFullScreen, vk::kReturn, 0));
  EXPECT_TRUE(ActionKeyDown(Action::kFullScreen, vk::kSeparator, platform::kAltMask));
  EXPECT_FALSE(ActionKeyDown(Action::kFullScreen, vk::PadKey(platform::kPadBack), 0));
}

// A rebinding reaches Getkey (the key replaced no longer walks) and the pad map.
TEST_F(SettingsFile, RebindingMovesGetkeyAndThePad) {
  UseScratchFolder();
  Settings s = ParseSettings("[keys]\nup = W\nfull_screen = default, F11\n[pad]\nfull_screen = Back\n", "s.ini");
  ApplySettings(s);
  control().SetKey('W', true);
  EXPECT_EQ(Getkey().dy, -1);
  control().SetKey('W', false);
  control().SetKey(vk::kUp, true);
  EXPECT_EQ(Getkey().dy, 0);
  EXPECT_TRUE(ActionKeyDown(Action::kFullScreen, vk::kF1 + 10, 0));
  EXPECT_TRUE(ActionKeyDown(Action::kFullScreen, 'F', 0));
  EXPECT_TRUE(ActionKeyDown(Action::kFullScreen, vk::PadKey(platform::kPadBack), 0));
  SetBindings(DefaultBindings());
}

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old, had_ = true;
    if (value) ::setenv(name, value, 1);
    else ::unsetenv(name);
  }
  ~ScopedEnv() {
    if (had_) ::setenv(name_, old_.c_str(), 1);
    else ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::string old_;
  bool had_ = false;
};

TEST_F(SettingsFile, GameFolderAndThePlayersFolders) {
  const fs::path dir = UseScratchFolder();
  // The content beside the program, else in ../share/ardo, else nothing found.
  fs::create_directories(dir / "portable" / "map");
  fs::create_directories(dir / "usr" / "bin");
  fs::create_directories(dir / "usr" / "share" / "ardo" / "map");
  fs::create_directories(dir / "empty" / "bin");
  EXPECT_EQ(FindGameFolder((dir / "portable").string()), (dir / "portable").string());
  EXPECT_EQ(FindGameFolder((dir / "usr" / "bin").string()), (dir / "usr" / "share" / "ardo").string());
  EXPECT_EQ(FindGameFolder((dir / "empty" / "bin").string()), (dir / "empty" / "bin").string());

  ScopedEnv home("HOME", "/home/player");
  {
    ScopedEnv data("XDG_DATA_HOME", "/xdg/data");
    ScopedEnv config("XDG_CONFIG_HOME", "relative/ignored");
    EXPECT_EQ(UserDataFolder(), "/xdg/data/ardo");
    EXPECT_EQ(UserConfigFolder(), "/home/player/.config/ardo");
    // A portable copy writes beside itself; an installed game never into its shared folder.
    EXPECT_EQ(ChooseWriteFolder((dir / "portable").string(), false), (dir / "portable").string());
    EXPECT_EQ(ChooseWriteFolder((dir / "usr" / "share" / "ardo").string(), true), "/xdg/data/ardo");
  }
  ScopedEnv data("XDG_DATA_HOME", "");
  EXPECT_EQ(UserDataFolder(), "/home/player/.local/share/ardo");
  ScopedEnv no_home("HOME", nullptr);
  EXPECT_EQ(UserDataFolder(), "");
  EXPECT_EQ(ChooseWriteFolder("/usr/share/ardo", true), "/usr/share/ardo");
}

}  // namespace
}  // namespace ardo
