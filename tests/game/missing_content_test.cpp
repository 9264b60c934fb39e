// The game without one of its files: for every file of every content folder (and every
// folder whole) the real program runs headless in a copy of the game folder that lacks
// it. It reaches the field, names the file in one clear line (error.log or stderr),
// shows what a missing file shows (the missing-map box, a blank picture, silence), logs
// nothing else, and ends its script with status 0.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <unistd.h>

#include "save/slot_file.h"

namespace ardo {
namespace {

namespace fs = std::filesystem;

const char* const kFolders[] = {"map", "data", "music", "sound", "graphics", "text", "narration"};

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) {
    if (!l.empty() && l.back() == '\r') l.pop_back();
    if (!l.empty()) out.push_back(l);
  }
  return out;
}

// From the title: a new game (the logo, the title, the opening), the first village, then
// a battle through the debug console, fought to its end.
// Without the level table every level is reached at once: no battle then.
std::string NewGameScript(const std::string& dump, bool battle) {
  std::string s = "until scene=title timeout 5000\npress x\nuntil window=9 timeout 2000\nwait 50\npress down\n"
                  "wait 50\npress x\n";
  for (int i = 0; i < 20; ++i) s += "wait 500\npress x\n";
  s += "until scene=field timeout 60000\nwait 500\n";
  if (battle) {
    s += "press ctrl+d\ntype btl 000\\n\nuntil battle timeout 5000\n";
    for (int i = 0; i < 60; ++i) s += "press x\nwait 300\n";
    s += "until nobattle timeout 20000\n";
  }
  return s + "dump " + dump + "\n";
}

// From the title: 続きから, slot 1, then a word with the person in front of the hero.
std::string ContinueScript(const std::string& dump) {
  return "until scene=title timeout 5000\npress x\nuntil window=9 timeout 2000\nwait 50\npress x\n"
         "until window=4 timeout 5000\nwait 50\npress x\nwait 2000\npress x\nuntil scene=field timeout 10000\n"
         "wait 1500\npress x\nwait 3000\npress x\nwait 1000\npress x\nwait 1000\ndump " + dump + "\n";
}

// A person of the map who stays where he stands and has words of his own in the map's
// conversation file (chests have none), from data/chara.dat.
bool StandingPerson(const std::string& map, int* x, int* y) {
  const std::string texts = ReadAll(fs::path(ARDO_GAME_DIR) / "text" / (map + ".txt"));
  std::istringstream in(ReadAll(fs::path(ARDO_GAME_DIR) / "data/chara.dat"));
  std::string line;
  std::getline(in, line);  // the header
  while (std::getline(in, line)) {
    if (line != map) continue;
    std::getline(in, line);
    const int count = std::atoi(line.c_str());
    for (int i = 0; i < count && std::getline(in, line); ++i) {
      int talk = 0, px = 0, py = 0, pic = 0, dir = 0, walks = 1;
      if (std::sscanf(line.c_str(), "%d,%d,%d,%d,%d,%d", &talk, &px, &py, &pic, &dir, &walks) == 6 && walks == 0 &&
          texts.find("[" + std::to_string(talk) + ".") != std::string::npos) {
        *x = px;
        *y = py;
        return true;
      }
    }
  }
  return false;
}

// A saved game on the map (the middle of it, or below a person to talk to) with the tune.
std::string SlotOn(const std::string& map, const std::string& tune) {
  save_internal::SlotContents c;
  c.map_name = map;
  c.bgm_name = tune;
  const std::string header = ReadAll(fs::path(ARDO_GAME_DIR) / "map" / (map + ".map"));
  int x = header.size() > 1 ? static_cast<unsigned char>(header[0]) / 2 : 10;
  int y = header.size() > 1 ? static_cast<unsigned char>(header[1]) / 2 : 10;
  int px = 0, py = 0;
  if (StandingPerson(map, &px, &py)) {
    x = px;
    y = py + 1;
  }
  c.player.x = static_cast<Integer>(x);
  c.player.y = static_cast<Integer>(y);
  c.player.dir = 1;  // facing up, at the person
  c.player.lv = c.level = 1;
  c.player.hp = c.player.mhp = 150;
  c.player.mp = c.player.mmp = 20;
  c.player.ap = 35;
  c.player.dp = 20;
  c.player.sp = 20;
  c.flags(0) = 0xD2;  // music and effects on, normal speeds
  return save_internal::EncodeSlot(c);
}

// What a run wants from the folder: the new game uses every picture and table, the
// opening, the title's, the village's and the battle's tunes and the battle's effects.
const std::set<std::string> kNewGameUses = {
    "opening.txt", "ss_m1b.ogg", "tender.ogg", "movc.wav", "pi.wav",  "encount2.wav", "attack.wav",
    "hit.wav",     "vanish.wav", "town1.map",  "chara.dat", "enemy.dat", "encount.dat", "item.dat", "lvup.dat"};

struct Outcome {
  int status = 0;
  std::vector<std::string> log;     // error.log
  std::vector<std::string> err;  // the program's own lines (stderr)
  nlohmann::json dump;
};

class MissingContent : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("ardo-missing-" + std::to_string(::getpid()) + "-" + GetParam());
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  // The game folder without folder/file (without the whole folder when file is empty).
  Outcome Run(const std::string& folder, const std::string& file, const std::string& slot) {
    const fs::path game(ARDO_GAME_DIR);
    fs::remove_all(root_);
    fs::create_directories(root_ / "save");
    for (const char* d : kFolders) {
      if (d != folder) {
        fs::create_directory_symlink(game / d, root_ / d);
      } else if (!file.empty()) {
        fs::create_directories(root_ / d);
        for (const auto& e : fs::directory_iterator(game / d)) {
          if (e.path().filename() != file) fs::create_symlink(e.path(), root_ / d / e.path().filename());
        }
      }
    }
    const std::string dump = (root_ / "dump.json").string();
    if (!slot.empty()) std::ofstream(root_ / "save/1.vkd", std::ios::binary) << slot;
    const bool battle = !(folder == "data" && (file.empty() || file == "lvup.dat"));
    std::ofstream(root_ / "script.txt") << (slot.empty() ? NewGameScript(dump, battle) : ContinueScript(dump));
    const std::string cmd = (game / "ardo").string() + " --headless --seed 3 --data " + root_.string() +
                            " --script " + (root_ / "script.txt").string() + " 2>" + (root_ / "err.txt").string();
    Outcome o;
    o.status = WEXITSTATUS(std::system(cmd.c_str()));
    o.log = Lines(ReadAll(root_ / "error.log"));
    o.err = Lines(ReadAll(root_ / "err.txt"));
    std::ifstream in(dump);
    if (in) o.dump = nlohmann::json::parse(in, nullptr, false);
    return o;
  }

  fs::path root_;
};

// Those lines of the run that name `name`, and those that don't.
int Naming(const std::vector<std::string>& lines, const std::string& name, std::vector<std::string>* others) {
  int n = 0;
  for (const auto& l : lines) {
    if (l.find(name) != std::string::npos) ++n;
    else if (others) others->push_back(l);
  }
  return n;
}

TEST_P(MissingContent, EachFileAndTheFolder) {
  const std::string folder = GetParam();
  std::vector<std::string> files;
  for (const auto& e : fs::directory_iterator(fs::path(ARDO_GAME_DIR) / folder)) {
    // The window's icon is the desktop's business: a headless run never reads it.
    if (folder == "graphics" && e.path().filename() == "icon.png") continue;
    // The soundfont's notice goes with the rendered music for people to read, not the game.
    if (folder == "music" && e.path().extension() == ".txt") continue;
    files.push_back(e.path().filename().string());
  }
  std::sort(files.begin(), files.end());
  files.push_back("");  // the whole folder

  for (const std::string& file : files) {
    SCOPED_TRACE(folder + "/" + (file.empty() ? "(the whole folder)" : file));
    const std::string stem = fs::path(file).stem().string();
    // Maps, tunes and conversations are asked for by a saved game on that map, with that
    // tune, in front of a person of that map; everything else by a new game.
    // A conversation file is only asked for in front of a person who stays put.
    int px = 0, py = 0;
    const bool talk = folder == "text" && StandingPerson(stem, &px, &py);
    std::string slot;
    if (!file.empty() && !kNewGameUses.contains(file)) {
      if (folder == "map" || talk) slot = SlotOn(stem, "tender");
      if (folder == "music") slot = SlotOn("town1", stem);
    }
    const Outcome o = Run(folder, file, slot);
    // Some people stand there only at certain points of the story.
    bool talked = false;
    if (talk && o.dump.is_object()) {
      for (const auto& c : o.dump["chars"]) talked = talked || (c["x"] == px && c["y"] == py);
    }
    // The battle backdrops of other places are only read in a battle there; the village's
    // stands in for the design's backdrop, and without it the battle falls back to that one.
    const bool backdrop = folder == "graphics" && file.starts_with("btl") && file != "btlback.png" &&
                          file != "btlchr.png";
    const bool used = (kNewGameUses.contains(file) || folder == "graphics" || folder == "data" || folder == "map" ||
                       folder == "music" || talked || (file.empty() && folder != "text")) &&
                      (!backdrop || file == "btltown.png");

    if (folder == "map" && file.empty()) {
      // Without map/ the folder is not taken for a game folder at all, and says so.
      EXPECT_EQ(o.status, 2);
      ASSERT_EQ(o.err.size(), 1u);
      EXPECT_NE(o.err[0].find("no map/ inside"), std::string::npos) << o.err[0];
      continue;
    }
    EXPECT_EQ(o.status, 0) << ::testing::PrintToString(o.err);
    ASSERT_TRUE(o.dump.is_object()) << "the script did not reach its end";
    EXPECT_EQ(o.dump["scene"], "field");

    // One clear line names what is missing; nothing else is logged.
    const std::string name = file.empty() ? folder + "/" : file;
    std::vector<std::string> others;
    const int naming = Naming(o.log, file.empty() ? folder : file, &others) +
                       Naming(o.err, file.empty() ? folder : file, nullptr);
    if (used) {
      EXPECT_GE(naming, 1) << "no line names " << name;
    } else {
      EXPECT_TRUE(o.log.empty()) << "the run never asks for " << name;
    }
    EXPECT_TRUE(others.empty()) << ::testing::PrintToString(others);

    // What the player gets instead.
    const auto boxes = o.dump.value("message_boxes", nlohmann::json::array());
    const bool missing_map_box =
        std::find(boxes.begin(), boxes.end(), "ファイルがありません") != boxes.end();
    EXPECT_EQ(missing_map_box, folder == "map") << boxes.dump();
    if (folder == "graphics" && !backdrop) {
      EXPECT_EQ(Naming(o.err, "(drawn blank)", nullptr), 1) << ::testing::PrintToString(o.err);
    }
    const auto& audio = o.dump["audio"];
    if (folder == "music" && (file.empty() || file == "tender.ogg" || !slot.empty())) {
      EXPECT_EQ(audio["music"], "") << "silence";
      EXPECT_FALSE(audio["playing"].get<bool>());
    }
    if (folder == "sound") {
      for (const auto& s : audio["sounds"]) {
        EXPECT_TRUE(!file.empty() && s != stem) << "the effect " << s << " played without its file";
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Folders, MissingContent, ::testing::ValuesIn(kFolders),
                         [](const auto& info) { return std::string(info.param); });

}  // namespace
}  // namespace ardo
