// Save slots: the file layout byte by byte, the round trip, the summary scan, and the
// slot that survives a failed save or refuses to load when damaged.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "field/field.h"
#include "save/save.h"
#include "save/slot_file.h"
#include "sound/sound.h"
#include "support/fixture.h"
#include "ui/ui.h"

namespace ardo {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}
void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}
unsigned At(const std::string& bytes, std::size_t i) { return static_cast<unsigned char>(bytes.at(i)); }
int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// The maps the tests save on besides the game's own: a slot names a map that is there.
void WriteMaps(const std::string& folder) {
  fs::create_directories(folder + "/map");
  for (const char* name : {"ほこらの町", "cave", "tower", "castle"}) {
    WriteAll(folder + "/map/" + name + ".map", std::string("\xFF\xFF", 2) + std::string(14, '\0'));
  }
}

class SaveTest : public testing::HeadlessGame {
 protected:
  void SetUp() override {
    HeadlessGame::SetUp();
    folder_ = UseScratchFolder();
    WriteMaps(folder_);
    save_internal::before_replace_hook = nullptr;
  }
  void TearDown() override {
    save_internal::before_replace_hook = nullptr;
    HeadlessGame::TearDown();
  }

  std::string SlotFile(int n) { return folder_ + "/save/" + std::to_string(n) + ".vkd"; }
  std::string ErrorLog() { return ReadAll(ErrorLogPath()); }

  // A game in progress where every member differs from its reset value.
  void MakeGameInProgress() {
    MapName = "town1";
    BgmName = "tender";
    Player.x = 0x00C2;
    Player.y = 0x0071;
    Player.pid = 3;
    Player.dx = -1;
    Player.dy = 1;
    Player.dir = 2;
    Player.lv = 17;
    Player.hp = 0x0A0B;
    Player.mhp = 0x0C0D;
    Player.mp = 0x0E0F;
    Player.mmp = 0x1011;
    Player.exp = 0x12131415;
    Player.gold = -2;
    Player.ap = 0x1617;
    Player.dp = 0x1819;
    Player.sp = 0x1A1B;
    for (int i = 0; i <= 14; ++i) Player.items(i) = static_cast<Byte>(0xE0 + i);
    for (int k = 0; k <= 255; ++k) Flags(k) = static_cast<Byte>(k * 37 + 11);
  }

  std::string folder_;
};

TEST_F(SaveTest, SlotFileIsLaidOutRecordByRecord) {
  MakeGameInProgress();
  EXPECT_EQ(Save(3), 0);
  const std::string f = ReadAll(SlotFile(3));
  ASSERT_EQ(f.size(), 260u * 128u);

  // Record 1: the map name as a 2-byte little-endian length and its text.
  EXPECT_EQ(At(f, 0), 5u);
  EXPECT_EQ(At(f, 1), 0u);
  EXPECT_EQ(f.substr(2, 5), "town1");
  // Record 2: the level; record 3: the music name.
  EXPECT_EQ(At(f, 128), 17u);
  EXPECT_EQ(At(f, 256), 6u);
  EXPECT_EQ(At(f, 257), 0u);
  EXPECT_EQ(f.substr(258, 6), "tender");
  // Record 4: the hero, 49 bytes without alignment gaps.
  const unsigned expected_player[49] = {
      0xC2, 0x00, 0x71, 0x00, 0x03, 0x00, 0xFF, 0xFF, 0x01, 0x00,  // x y pid dx dy
      0x02, 0x11,                                                  // dir lv
      0x0B, 0x0A, 0x0D, 0x0C, 0x0F, 0x0E, 0x11, 0x10,              // hp mhp mp mmp
      0x15, 0x14, 0x13, 0x12, 0xFE, 0xFF, 0xFF, 0xFF,              // exp gold
      0x17, 0x16, 0x19, 0x18, 0x1B, 0x1A,                          // ap dp sp
      0xE0, 0xE1, 0xE2, 0xE3, 0xE4, 0xE5, 0xE6, 0xE7, 0xE8, 0xE9, 0xEA, 0xEB, 0xEC, 0xED, 0xEE};
  for (int i = 0; i < 49; ++i) EXPECT_EQ(At(f, 384 + i), expected_player[i]) << "hero byte " << i;
  // Records 5 to 260: flag byte k at (k + 4) * 128.
  for (int k = 0; k <= 255; ++k) EXPECT_EQ(At(f, (k + 4) * 128), Flags(k)) << "flag byte " << k;

  EXPECT_EQ(SaveList(2).level, 17);
  EXPECT_EQ(SaveList(2).name, "town1");
}

TEST_F(SaveTest, LoadRestoresEverythingSaved) {
  MakeGameInProgress();
  // Japanese names travel as Shift-JIS, the wave dash included.
  MapName = "ほこらの町";
  BgmName = "戦い～決戦";
  // Slow walking and fast messages.
  for (int n = 2; n <= 7; ++n) SetFlag(n, n == 4 || n == 5);
  const PlayerStatus saved_player = Player;
  const auto saved_flags = Flags;
  ASSERT_EQ(Save(3), 0);

  const std::string f = ReadAll(SlotFile(3));
  EXPECT_EQ(At(f, 0), 10u) << "five characters, two bytes each";
  EXPECT_EQ(At(f, 2 + 8), 0x92u);  // 町
  EXPECT_EQ(At(f, 2 + 9), 0xACu);
  EXPECT_EQ(At(f, 256 + 2 + 4), 0x81u);  // ～
  EXPECT_EQ(At(f, 256 + 2 + 5), 0x60u);

  // Another game, with music of its own.
  ResetAllState();
  Init_PlayerStatus();
  MapName = "field";
  BgmName = "letsgo";
  fs::create_directories(folder_ + "/music");
  WriteAll(folder_ + "/music/letsgo.ogg", "MThd");
  SetFlag(0, 1);
  PlayBgm(BgmName);
  ASSERT_FALSE(audio().state().music_path.empty());

  ASSERT_EQ(Load(3), 0);
  EXPECT_EQ(MapName, "ほこらの町");
  EXPECT_EQ(BgmName, "戦い～決戦");
  EXPECT_EQ(Player.x, saved_player.x);
  EXPECT_EQ(Player.y, saved_player.y);
  EXPECT_EQ(Player.pid, saved_player.pid);
  EXPECT_EQ(Player.dx, saved_player.dx);
  EXPECT_EQ(Player.dy, saved_player.dy);
  EXPECT_EQ(Player.dir, saved_player.dir);
  EXPECT_EQ(Player.lv, saved_player.lv);
  EXPECT_EQ(Player.hp, saved_player.hp);
  EXPECT_EQ(Player.mhp, saved_player.mhp);
  EXPECT_EQ(Player.mp, saved_player.mp);
  EXPECT_EQ(Player.mmp, saved_player.mmp);
  EXPECT_EQ(Player.exp, saved_player.exp);
  EXPECT_EQ(Player.gold, saved_player.gold);
  EXPECT_EQ(Player.ap, saved_player.ap);
  EXPECT_EQ(Player.dp, saved_player.dp);
  EXPECT_EQ(Player.sp, saved_player.sp);
  for (int i = 0; i <= 14; ++i) EXPECT_EQ(Player.items(i), saved_player.items(i)) << "item " << i;
  for (int n = 0; n < 2048; ++n) {
    ASSERT_EQ(Flag(n), Bit(saved_flags(n / 8), static_cast<Byte>(7 - n % 8))) << "flag " << n;
  }
  EXPECT_EQ(WalkWait, 24);
  EXPECT_EQ(MessageWait, 16);
  // The old game's music is stopped and closed; the caller starts the loaded one.
  EXPECT_TRUE(audio().state().music_path.empty());
  const auto& log = audio().state().log;
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2], "stop");
  EXPECT_EQ(log.back(), "close");
}

// What the player saw in the message window during a call, whenever the window shows it.
class MessageWatch {
 public:
  explicit MessageWatch(platform::HeadlessControl& control) : control_(control) {
    control_.SetEventPointHook([this] { seen_.push_back(MessageShown()); });
  }
  ~MessageWatch() { control_.SetEventPointHook(nullptr); }
  bool Saw(const std::string& text) {
    seen_.push_back(MessageShown());
    return std::any_of(seen_.begin(), seen_.end(),
                       [&](const std::string& s) { return s.find(text) != std::string::npos; });
  }

 private:
  platform::HeadlessControl& control_;
  std::vector<std::string> seen_;
};

TEST_F(SaveTest, LoadingAnEmptySlotFailsAndClearsOnlyItsSummary) {
  for (int i = 0; i < 9; ++i) SaveList(i) = SaveEntry{static_cast<Byte>(i + 1), "map" + std::to_string(i + 1)};
  MakeGameInProgress();
  const PlayerStatus before = Player;

  MessageWatch watch(control());
  EXPECT_EQ(Load(5), 255);
  EXPECT_TRUE(watch.Saw("読み込みに失敗しました。"));
  EXPECT_FALSE(picWindow(0).visible);
  EXPECT_EQ(SaveList(4).level, 0);
  EXPECT_EQ(SaveList(4).name, "");
  for (int i = 0; i < 9; ++i) {
    if (i == 4) continue;
    EXPECT_EQ(SaveList(i).level, i + 1);
    EXPECT_EQ(SaveList(i).name, "map" + std::to_string(i + 1));
  }
  // The game goes on untouched, music included.
  EXPECT_EQ(MapName, "town1");
  EXPECT_EQ(Player.gold, before.gold);
  EXPECT_TRUE(audio().state().log.empty());

  // The list file: record n + 1 holds entry n as a level byte and the name string.
  const std::string list = ReadAll(folder_ + "/save/list");
  ASSERT_EQ(list.size(), 9u * 128u);
  EXPECT_EQ(At(list, 0), 1u);
  EXPECT_EQ(At(list, 1), 4u);
  EXPECT_EQ(At(list, 2), 0u);
  EXPECT_EQ(list.substr(3, 4), "map1");
  EXPECT_EQ(At(list, 4 * 128), 0u);
  EXPECT_EQ(At(list, 4 * 128 + 1), 0u);
  EXPECT_EQ(At(list, 8 * 128), 9u);
  EXPECT_EQ(list.substr(8 * 128 + 3, 4), "map9");
}

TEST_F(SaveTest, SummaryIsRebuiltFromTheSlotFilesAlone) {
  MakeGameInProgress();
  Player.lv = 4;
  MapName = "cave";
  Save(2);
  Player.lv = 30;
  MapName = "tower";
  Save(7);
  // A list file that says otherwise is not consulted.
  for (auto& e : SaveList) e = SaveEntry{99, "elsewhere"};
  SaveListWrite();

  for (auto& e : SaveList) e = SaveEntry{55, "stale"};
  ScanSaves();
  for (int i = 0; i < 9; ++i) {
    SCOPED_TRACE(i);
    if (i == 1) {
      EXPECT_EQ(SaveList(i).level, 4);
      EXPECT_EQ(SaveList(i).name, "cave");
    } else if (i == 6) {
      EXPECT_EQ(SaveList(i).level, 30);
      EXPECT_EQ(SaveList(i).name, "tower");
    } else {
      EXPECT_EQ(SaveList(i).level, 0);
      EXPECT_EQ(SaveList(i).name, "");
    }
  }
}

// The temporary files a save left in the save folder.
std::vector<std::string> Leftovers(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder + "/save", ec)) {
    const std::string n = e.path().filename().string();
    if (n.find(".tmp") != std::string::npos) names.push_back(n);
  }
  return names;
}

TEST_F(SaveTest, AFailedSaveLeavesThePreviousSlotWholeAndSaysSo) {
  testing::ExpectFault("Save", 5);
  testing::ExpectFault("Save", 57);
  MakeGameInProgress();
  Player.gold = 1000;
  ASSERT_EQ(Save(4), 0);
  const std::string old_file = ReadAll(SlotFile(4));

  // The program dies after the new file is written, before it replaces the slot.
  Player.gold = 5;
  MapName = "castle";
  save_internal::before_replace_hook = [](const std::string&) { return false; };
  EXPECT_EQ(Save(4), 255);
  save_internal::before_replace_hook = nullptr;
  EXPECT_EQ(ReadAll(SlotFile(4)), old_file);
  EXPECT_EQ(SaveList(3).name, "town1") << "the summary shows what is on disk";
  EXPECT_NE(ErrorLog().find("Save Error: 57"), std::string::npos);

  // Started afresh: the old save is what the slot holds. A leftover of a save that
  // died a while ago is cleared away; one still being written (fresh) is left alone.
  const auto left = Leftovers(folder_);
  ASSERT_EQ(left.size(), 1u);
  EXPECT_TRUE(left[0].starts_with("4.vkd.tmp.")) << left[0];
  const std::string stale = folder_ + "/save/" + left[0];
  fs::last_write_time(stale, fs::file_time_type::clock::now() - std::chrono::minutes(5));
  WriteAll(folder_ + "/save/5.vkd.tmp.AbCdEf", "fresh");
  // Old files of the same shape that the game never makes are the player's, not ours.
  const char* foreign[] = {"notes.txt.tmp.AbCdEf", "photo.tmp.123456", "10.vkd.tmp.AbCdEf", "1.vkd.tmp.Ab-dEf",
                           "backup.vkd.tmp", "list.txt.tmp.AbCdEf"};
  for (const char* name : foreign) {
    WriteAll(folder_ + "/save/" + name, "kept");
    fs::last_write_time(folder_ + "/save/" + name, fs::file_time_type::clock::now() - std::chrono::minutes(5));
  }
  WriteAll(folder_ + "/save/list.tmp.XyZ012", "stale list");
  fs::last_write_time(folder_ + "/save/list.tmp.XyZ012", fs::file_time_type::clock::now() - std::chrono::minutes(5));
  ScanSaves();
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_FALSE(fs::exists(folder_ + "/save/list.tmp.XyZ012"));
  EXPECT_TRUE(fs::exists(folder_ + "/save/5.vkd.tmp.AbCdEf"));
  fs::remove(folder_ + "/save/5.vkd.tmp.AbCdEf");
  for (const char* name : foreign) {
    EXPECT_TRUE(fs::exists(folder_ + "/save/" + name)) << name;
    fs::remove(folder_ + "/save/" + name);
  }
  EXPECT_EQ(SaveList(3).name, "town1");
  ASSERT_EQ(Load(4), 0);
  EXPECT_EQ(Player.gold, 1000);
  EXPECT_EQ(MapName, "town1");

  // A state the game could not load again is not written over a good slot.
  Player.lv = 0;
  EXPECT_EQ(Save(4), 255);
  EXPECT_EQ(ReadAll(SlotFile(4)), old_file);

  // And the next good save goes through, leaving nothing behind.
  Player.lv = 9;
  Player.gold = 7;
  EXPECT_EQ(Save(4), 0);
  ASSERT_EQ(Load(4), 0);
  EXPECT_EQ(Player.gold, 7);
  EXPECT_TRUE(Leftovers(folder_).empty());
}

TEST_F(SaveTest, SavingWhereNoFolderCanBeIsRefused) {
  testing::ExpectFault("Save", 76);
  MakeGameInProgress();
  SaveList(0) = SaveEntry{3, "field"};
  fs::remove_all(folder_ + "/save");
  WriteAll(folder_ + "/save", "a file where the folder should be");
  EXPECT_EQ(Save(1), 255);
  EXPECT_EQ(SaveListWrite(), 255);
  EXPECT_EQ(SaveList(0).level, 3) << "the summary is left as it was";
  EXPECT_EQ(SaveList(0).name, "field");
  EXPECT_EQ(ReadAll(folder_ + "/save"), "a file where the folder should be");
  EXPECT_EQ(Count(ErrorLog(), "Save Error: "), 2);
}

// Two copies of the game save the same slot over and over while a third reads it:
// every read finds a whole slot, one of the two that were written.
TEST_F(SaveTest, TwoProcessesSavingOneSlotNeverBreakIt) {
  constexpr int kSaves = 40;
  pid_t children[2];
  for (int k = 0; k < 2; ++k) {
    children[k] = ::fork();
    ASSERT_GE(children[k], 0);
    if (children[k] == 0) {
      MakeGameInProgress();
      Player.gold = 1000 + k;
      bool ok = true;
      for (int i = 0; i < kSaves; ++i) ok = Save(2) == 0 && ok;
      ::_exit(ok ? 0 : 1);
    }
  }
  int reads = 0;
  int broken = 0;
  int running = 2;
  while (running > 0) {
    const std::string bytes = ReadAll(SlotFile(2));
    if (!bytes.empty()) {
      ++reads;
      save_internal::SlotContents c;
      std::string why;
      if (!save_internal::DecodeSlot(bytes, &c, &why) || (c.player.gold != 1000 && c.player.gold != 1001)) ++broken;
    }
    running = 0;
    for (pid_t& child : children) {
      int status = 0;
      if (child > 0 && ::waitpid(child, &status, WNOHANG) == child) {
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a save failed";
        child = 0;
      }
      running += child > 0 ? 1 : 0;
    }
  }
  EXPECT_EQ(broken, 0) << "of " << reads << " reads";
  ASSERT_EQ(Load(2), 0);
  EXPECT_TRUE(Player.gold == 1000 || Player.gold == 1001);
  EXPECT_TRUE(Leftovers(folder_).empty());
}

// A copy of the game saving one slot over and over (two different games in turn) is
// killed at random moments: after every kill the slot is one of the two saves byte for
// byte, never a mix, and the game lists and loads it.
TEST_F(SaveTest, KilledWhileSavingTheSlotIsAlwaysOneWholeSave) {
  constexpr int kKills = 200;
  // A kill can't stop a process inside fsync, so on a real disk each kill waits for the
  // sync to end; memory-backed files keep the 200 kills within seconds.
  std::error_code ec;
  if (fs::is_directory("/dev/shm", ec)) {
    folder_ = "/dev/shm/ardo-kill-" + std::to_string(::getpid());
    fs::create_directories(folder_ + "/save");
    WriteMaps(folder_);
    SetAppPath(folder_);
  }
  auto game = [&](int k) {
    MakeGameInProgress();
    Player.gold = 1000 + k;
    Player.lv = static_cast<Byte>(10 + k);
    MapName = k == 0 ? "town1" : "cave";
    Flags(200) = static_cast<Byte>(k);
  };
  std::string images[2];
  for (int k = 0; k < 2; ++k) {
    game(k);
    ASSERT_EQ(Save(5), 0);
    images[k] = ReadAll(SlotFile(5));
  }
  ASSERT_NE(images[0], images[1]);

  std::mt19937 random(23);
  std::uniform_int_distribution<int> delay_us(0, 6000);
  int changes = 0;
  int interrupted = 0;
  std::string last = images[1];
  for (int kill = 0; kill < kKills; ++kill) {
    SCOPED_TRACE(kill);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (int k = 0;; k ^= 1) {
        game(k);
        Save(5);
      }
    }
    const timespec pause{0, delay_us(random) * 1000L};
    ::nanosleep(&pause, nullptr);
    ASSERT_EQ(::kill(child, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the saving copy ended on its own";

    const std::string now = ReadAll(SlotFile(5));
    const int which = now == images[0] ? 0 : now == images[1] ? 1 : -1;
    ASSERT_NE(which, -1) << "the slot is neither save (" << now.size() << " bytes)";
    changes += now != last ? 1 : 0;
    interrupted += Leftovers(folder_).empty() ? 0 : 1;
    last = now;

    ScanSaves();
    EXPECT_EQ(SaveList(4).level, 10 + which);
    EXPECT_EQ(SaveList(4).name, which == 0 ? "town1" : "cave");
    ResetAllState();
    ASSERT_EQ(Load(5), 0);
    EXPECT_EQ(Player.gold, 1000 + which);
    EXPECT_EQ(Flags(200), which);
    for (const auto& name : Leftovers(folder_)) fs::remove(folder_ + "/save/" + name);
  }
  // The kills fell both between saves and in the middle of them.
  EXPECT_GT(changes, kKills / 10);
  EXPECT_GT(interrupted, 0);
  fs::remove_all(folder_, ec);
  std::printf("%d kills: the slot changed %d times, %d kills fell in the middle of a write\n", kKills, changes,
              interrupted);
}

TEST_F(SaveTest, DamagedSlotFilesAreNeverLoaded) {
  testing::ExpectFault("Initialize", 57);
  testing::ExpectFault("Load", 57);
  testing::ExpectFault("Initialize", 13);
  testing::ExpectFault("Initialize", 62);
  testing::ExpectFault("Load", 13);
  testing::ExpectFault("Load", 62);
  testing::ExpectFault("Save", 5);
  MakeGameInProgress();
  // The slot's map is 200 x 120: the hero at (194, 113) stands on it.
  fs::create_directories(folder_ + "/map");
  WriteAll(folder_ + "/map/town1.map", std::string("\xC8\x78", 2) + std::string(14, '\0'));
  ASSERT_EQ(Save(6), 0);
  const std::string good = ReadAll(SlotFile(6));

  auto with = [&](std::size_t at, std::initializer_list<unsigned> bytes) {
    std::string s = good;
    for (unsigned b : bytes) s[at++] = static_cast<char>(b);
    return s;
  };
  auto named = [&](std::size_t record_at, const std::string& name) {
    std::string s = good;
    s[record_at] = static_cast<char>(name.size());
    s[record_at + 1] = 0;
    s.replace(record_at + 2, name.size(), name);
    return s;
  };
  const struct {
    const char* what;
    std::string bytes;
  } damaged[] = {
      {"empty", ""},
      {"cut in the hero's record", good.substr(0, 400)},
      {"last flag record missing", good.substr(0, 259 * 128)},
      {"map name longer than its record", with(0, {127, 0})},
      {"music name longer than its record", with(256, {0xFF, 0xFF})},
      {"level 0 with a map name", with(128, {0})},
      {"level disagreeing with the hero's", with(384 + 11, {16})},
      {"map name with a folder", named(0, "../town1")},
      {"map name with a backslash", named(0, "map\\town1")},
      {"empty map name", with(0, {0, 0})},
      {"music name with a folder", named(256, "/tmp/x")},
      {"map name that is not Shift-JIS", named(0, "a\x81\x20")},
      {"facing 7", with(384 + 10, {7})},
      {"hero right of his map", with(384, {200, 0})},
      {"hero below his map", with(386, {120, 0})},
      {"hero at a negative position", with(386, {0xFF, 0xFF})},
      {"map name with one bit flipped", named(0, "tovn1")},
      {"map name of no map at all", named(0, "nowhere")},
  };
  for (const auto& d : damaged) {
    SCOPED_TRACE(d.what);
    WriteAll(SlotFile(6), d.bytes);
    SaveList(5) = SaveEntry{17, "town1"};
    ScanSaves();
    EXPECT_EQ(SaveList(5).level, 0);
    EXPECT_EQ(SaveList(5).name, "");

    ResetAllState();
    MapName = "keep";
    Player.gold = 123;
    Flags(40) = 0xA5;
    audio().Reset();
    EXPECT_EQ(Load(6), 255);
    EXPECT_EQ(ReadAll(SlotFile(6)), d.bytes) << "the slot file is left as it is";
    EXPECT_EQ(MapName, "keep");
    EXPECT_EQ(Player.gold, 123);
    EXPECT_EQ(Flags(40), 0xA5);
    EXPECT_TRUE(audio().state().log.empty()) << "the music plays on";
  }
  const std::string log = ErrorLog();
  EXPECT_NE(log.find("Load Error: 62"), std::string::npos);
  EXPECT_NE(log.find("Load Error: 13"), std::string::npos);
  EXPECT_NE(log.find("Initialize Error:"), std::string::npos);
  EXPECT_NE(log.find("is outside the map town1 (200 x 120)"), std::string::npos);
  EXPECT_NE(log.find("there is no map tovn1"), std::string::npos);

  // A game on a map that is not there is never written into a slot either.
  MakeGameInProgress();
  MapName = "tovn1";
  EXPECT_EQ(Save(7), 255);
  EXPECT_FALSE(fs::exists(SlotFile(7)));

  // A named pipe in the slot's place is refused at once, never waited on.
  fs::remove(SlotFile(6));
  ASSERT_EQ(::mkfifo(SlotFile(6).c_str(), 0644), 0);
  SaveList(5) = SaveEntry{17, "town1"};
  ScanSaves();
  EXPECT_EQ(SaveList(5).level, 0);
  EXPECT_EQ(Load(6), 255);
  EXPECT_NE(ErrorLog().find("6.vkd: not a plain file"), std::string::npos);
  fs::remove(SlotFile(6));

  // A file whose last record stops after its byte is whole.
  WriteAll(SlotFile(6), good.substr(0, 259 * 128 + 1));
  ScanSaves();
  EXPECT_EQ(SaveList(5).level, 17);
  EXPECT_EQ(Load(6), 0);
  EXPECT_EQ(MapName, "town1");
}

TEST_F(SaveTest, SaveCreatesAMissingSaveFolder) {
  fs::remove_all(folder_ + "/save");
  MakeGameInProgress();
  EXPECT_EQ(Save(1), 0);
  EXPECT_EQ(fs::file_size(SlotFile(1)), 260u * 128u);
  EXPECT_EQ(SaveList(0).level, 17);
  EXPECT_TRUE(ErrorLog().empty());
}

TEST_F(SaveTest, SlotNumbersOutsideOneToNineFault) {
  testing::ExpectFault("Load", 9);
  testing::ExpectFault("Save", 9);
  MakeGameInProgress();
  EXPECT_EQ(Save(0), 255);
  EXPECT_EQ(Save(10), 255);
  EXPECT_FALSE(fs::exists(folder_ + "/save/0.vkd"));
  EXPECT_FALSE(fs::exists(folder_ + "/save/10.vkd"));
  EXPECT_EQ(Load(10), 255);
  const std::string log = ErrorLog();
  EXPECT_NE(log.find("Save Error: 9 "), std::string::npos);
  EXPECT_NE(log.find("Load Error: 9 "), std::string::npos);
}

}  // namespace
}  // namespace ardo
