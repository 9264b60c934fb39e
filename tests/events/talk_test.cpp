// Conversations over the game's real texts: the dispatch, every treasure, the trap
// chests and fights, the quests, and the checks that keep the texts readable.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "battle/battle.h"
#include "events/events.h"
#include "field/field.h"
#include "presentation/presentation.h"
#include "support/items_fixture.h"

namespace ardo {
namespace {

struct Fight {
  int enemy;
  bool escapable;
  std::string music;
};

class TalkTest : public testing::ItemsGame {
 protected:
  void SetUp() override {
    ItemsGame::SetUp();
    ItemSet();
    MessageWait = 1;  // an event point after every character, so the test sees each text
    TalkBattle = [this](bool escapable, const std::string& music) {
      fights_.push_back({EnemyId, escapable, music});
      return battle_result_;
    };
    TalkEnding = [this] { ++endings_; };
  }
  void TearDown() override {
    TalkBattle = BtlMain;
    TalkEnding = Ending;
    ItemsGame::TearDown();
  }

  // One character on `map` with conversation number `talk`; returns its index.
  int Put(const std::string& map, int talk, int pic = 3, int x = 30, int y = 20) {
    MapName = map;
    CharCount = 1;
    Chars(0) = CharRecord{};
    Chars(0).talk = static_cast<Byte>(talk);
    Chars(0).pic = static_cast<Integer>(pic);
    Chars(0).x = static_cast<Integer>(x);
    Chars(0).y = static_cast<Integer>(y);
    return 0;
  }

  // Talks to character index, answering every prompt with `key` ('X' picks "はい",
  // 'Z' says "いいえ" and leaves shops), and keeps what was read at each wait.
  void Say(int index, int key = 'X') {
    heard_.clear();
    audio().Reset();
    const std::uint32_t start = now();
    int held = 0;
    control().SetEventPointHook([&] {
      const std::string& shown = MessageShown();
      if (picWindow(0).visible && !shown.empty()) {
        if (!heard_.empty() && shown.rfind(heard_.back(), 0) == 0) {
          heard_.back() = shown;  // the same text, typed further
        } else {
          heard_.push_back(shown);
        }
      }
      const bool down = ((now() - start) / 50) % 2 == 0;
      if (held != 0 && !down) {
        control().SetKey(held, false);
        held = 0;
      } else if (held == 0 && down) {
        control().SetKey(key, true);
        held = key;
      }
      if (now() - start > 120000) GameRunning = false;
    });
    try {
      Talk(index);
    } catch (const EndProgram&) {
      ADD_FAILURE() << "still waiting for input";
    }
    control().SetEventPointHook({});
    control().ReleaseAllKeys();
    GameRunning = true;
    EXPECT_FALSE(picWindow(0).visible) << "window 0 stays open after " << MapName;
  }

  // Everything read in the last conversation, one text after the other.
  std::string Heard() const {
    std::string all;
    for (const std::string& h : heard_) all += h + "|";
    return all;
  }
  bool Heard(const std::string& text) const { return Heard().find(text) != std::string::npos; }

  // A text of the game's own files without its markup, as the window shows it.
  static std::string Text(const std::string& file, const std::string& key) {
    std::ifstream in(GamePath("text/" + file + ".txt"), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    const TalkTextFile texts = ParseTalkText(ss.str());
    const TalkTextEntry* e = texts.Find(key);
    EXPECT_NE(e, nullptr) << file << " " << key;
    std::string out;
    if (e == nullptr) return out;
    for (size_t i = 0; i < e->text.size();) {
      const std::string c = e->text.substr(i, (e->text[i] & 0x80) == 0 ? 1 : (e->text[i] & 0xE0) == 0xC0 ? 2 : 3);
      if (c != "／" && c != "￥") out += c;
      i += c.size();
    }
    return out;
  }

  int Sounds(const std::string& name) {
    int n = 0;
    for (const std::string& s : audio().state().sounds) n += s.find("/" + name + ".") != std::string::npos;
    return n;
  }
  static void FillInventory() {
    for (auto& s : Player.items) s = 2;
  }

  std::vector<std::string> heard_;
  std::vector<Fight> fights_;
  Byte battle_result_ = 0;
  int endings_ = 0;
};

// Who says what when nothing special is listed: "こんにちは" on the three maps that
// greet, silence elsewhere (the "pi" only), and the chest rule off the list.
TEST_F(TalkTest, DispatchOfUnlistedNumbersAndMapsWithoutAList) {
  struct Case {
    const char* map;
    int talk;
    int pic;
    const char* said;  // "" for silence
    int pic_after;
  };
  const Case cases[] = {
      {"dngn1", 9, 3, "", 3},           {"town1", 0, 3, "こんにちは", 3},  {"town1", 20, 15, "", 15},
      {"field", 40, 3, "こんにちは", 3}, {"town2", 16, 3, "こんにちは", 3}, {"zombi", 25, 3, "", 3},
      {"toph", 1, 16, "", 16},          {"town3", 4, 3, "", 3},          {"topl", 1, 16, "からっぽだ・・・", 17},
      {"topl", 2, 17, "からっぽだ・・・", 17}, {"topl", 3, 5, "こんにちは", 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.map) + " " + std::to_string(c.talk));
    Put(c.map, c.talk, c.pic);
    Say(0);
    ASSERT_FALSE(audio().state().sounds.empty());
    EXPECT_NE(audio().state().sounds[0].find("/pi."), std::string::npos);
    if (*c.said == '\0') {
      EXPECT_EQ(audio().state().sounds.size(), 1u);
    } else {
      EXPECT_EQ(MessageShown(), c.said);
    }
    EXPECT_EQ(Chars(0).pic, c.pic_after);
  }
}

// Every chest and hidden item of the list: its goods once, its flag, and nothing more.
TEST_F(TalkTest, EveryTreasureGivesItsGoodsOnce) {
  struct Treasure {
    const char* map;
    int talk;
    int goods;  // item, or -money
    int flag;
    bool chest;
  };
  const Treasure list[] = {
      {"town1", 10, 1, 273, true},      {"town1", 11, 21, 274, true},     {"town1", 14, 1, 276, true},
      {"town1", 16, 1, 277, true},      {"town1", 18, 1, 278, true},      {"town1", 19, -90, 279, true},
      {"field", 3, 25, 300, false},     {"dngn1", 1, 1, 268, true},       {"dngn1", 2, 7, 269, true},
      {"dngn1", 3, 2, 270, true},       {"dngn1", 4, -300, 271, true},    {"dngn1", 6, 23, 292, true},
      {"forest", 1, 21, 262, true},     {"forest", 2, 10, 263, true},     {"forest", 3, 13, 264, true},
      {"forest", 4, 14, 265, true},     {"forest", 5, 7, 266, true},      {"forest", 6, 2, 267, true},
      {"town2", 8, 16, 261, false},     {"dngn3", 1, 11, 282, true},      {"dngn3", 2, 15, 283, true},
      {"dngn3", 3, 22, 284, true},      {"dngn3", 4, -3000, 285, true},   {"dngn3", 5, 18, 286, true},
      {"dngn3", 6, 5, 287, true},       {"dngn3", 7, 21, 288, true},      {"town3", 17, 19, 290, true},
      {"zombi", 13, 8, 293, true},      {"zombi", 14, 11, 294, true},     {"zombi", 15, 22, 295, true},
      {"zombi", 17, 5, 297, true},      {"zombi", 29, 15, 298, true},     {"zombi", 30, 26, 301, false},
      {"wall", 1, 3, 307, true},        {"wall", 2, 9, 308, true},        {"wall", 3, 11, 309, true},
      {"wall", 4, 15, 310, true},       {"icewall", 1, 3, 311, true},     {"icewall", 2, 23, 312, true},
      {"icewall", 3, -10000, 313, true}, {"icewall", 4, 15, 314, true},   {"icewall", 5, 9, 315, true},
      {"icewall", 6, 12, 316, true},    {"icewall", 7, 6, 317, true},     {"smog", 1, 5, 318, true},
      {"smog", 2, 2, 319, true},        {"smog", 4, 8, 320, true},        {"smog", 5, -25000, 321, true},
      {"smog", 6, 13, 322, true},       {"smog", 7, 14, 323, true},       {"smog", 8, 12, 324, true},
      {"smog", 9, 15, 325, true},       {"smog", 10, 23, 326, true},
  };
  for (const Treasure& t : list) {
    SCOPED_TRACE(std::string(t.map) + " " + std::to_string(t.talk));
    Init_PlayerStatus();
    EmptyInventory();
    Player.gold = 0;
    Put(t.map, t.talk, t.chest ? 16 : 0);
    Say(0);
    EXPECT_EQ(Flag(t.flag), 1);
    EXPECT_EQ(Chars(0).pic, t.chest ? 17 : 0);
    EXPECT_EQ(Sounds("heal"), t.chest ? 1 : 0);
    const int items_after = static_cast<int>(std::count_if(Player.items.begin(), Player.items.end(), [](Byte b) { return b != 0; }));
    if (t.goods < 0) {
      EXPECT_EQ(Player.gold, -t.goods);
      EXPECT_EQ(items_after, 0);
    } else {
      EXPECT_EQ(Player.items(0), t.goods);
      EXPECT_EQ(items_after, 1);
      EXPECT_EQ(Player.gold, 0);
    }
    for (int other = 256; other <= 327; ++other) {
      if (other != t.flag) {
        EXPECT_EQ(Flag(other), 0) << other;
      }
    }
    Say(0);
    EXPECT_TRUE(Heard("もうなにもない・・・"));
    EXPECT_EQ(Player.gold, t.goods < 0 ? -t.goods : 0);
    EXPECT_EQ(Player.items(1), 0);
  }
}

// The chests that are empty from the start, the 3000 gold chest that says more even
// when looted, a full bag, and the two key items that can be found again.
TEST_F(TalkTest, EmptyFullAndRefillableChests) {
  for (int n : {12, 15, 17}) {
    Put("town1", n, 16);
    Say(0);
    EXPECT_EQ(MessageShown(), "宝箱はからっぽだった。");
    EXPECT_EQ(Chars(0).pic, 17);
  }
  Put("dngn3", 4, 16);
  Say(0);
  EXPECT_TRUE(Heard("こいつはお宝だ！"));
  Say(0);
  EXPECT_TRUE(Heard("もうなにもない・・・"));
  EXPECT_EQ(MessageShown(), "こいつはお宝だ！");

  // A full bag: the chest keeps its goods and the next look offers them again.
  FillInventory();
  Put("forest", 3, 16);
  Say(0);
  EXPECT_TRUE(Heard("持ち物がいっぱいだよ・・・"));
  EXPECT_EQ(Flag(264), 0);
  EmptyInventory();
  Say(0);
  EXPECT_EQ(Flag(264), 1);
  EXPECT_EQ(Player.items(0), 13);

  // The drill comes back after it was dropped; the wallet only until it is returned.
  EmptyInventory();
  Put("dngn3", 5, 16);
  Say(0);
  EXPECT_EQ(ItemHave(18), 0);
  Say(0);
  EXPECT_TRUE(Heard("もうなにもない・・・"));
  ItemDel(18);
  Say(0);
  EXPECT_EQ(ItemHave(18), 0);
  Put("town2", 8, 0);
  Say(0);
  EXPECT_EQ(ItemHave(16), 0);
  ItemDel(16);
  Say(0);
  EXPECT_EQ(ItemHave(16), 0);
  ItemDel(16);
  SetFlag(280, 1);
  Say(0);
  EXPECT_EQ(ItemHave(16), 255);
  EXPECT_TRUE(Heard("もうなにもない・・・"));
}

// A looted chest of the real village after the map was loaded again: closed, opens
// with the sound, and has nothing more.
TEST_F(TalkTest, LootedChestAfterReload) {
  MapName = "town1";
  CharaSet("town1");
  int chest = -1;
  for (int i = 0; i < CharCount; ++i) {
    if (Chars(i).talk == 10) chest = i;
  }
  ASSERT_GE(chest, 0);
  EmptyInventory();
  Say(chest);
  EXPECT_EQ(Flag(273), 1);
  CharaSet("town1");
  EXPECT_EQ(Chars(chest).pic, 16);
  Say(chest);
  EXPECT_EQ(Chars(chest).pic, 17);
  EXPECT_EQ(Sounds("heal"), 1);
  EXPECT_EQ(MessageShown(), "もうなにもない・・・");
  EXPECT_EQ(Player.items(1), 0);
}

// The two trap chests fight until beaten, pay once, and are empty afterwards; the
// ghost fights every time and lets the hero run.
TEST_F(TalkTest, TrapChestsAndTheGhost) {
  struct TrapChest {
    const char* map;
    int talk, flag, enemy, prize;
    const char* trap;
    const char* paid;
  };
  const TrapChest traps[] = {{"town1", 13, 275, 20, 5000, "宝箱はビックリ箱だ！", "お金５０００を手に入れた！"},
                        {"zombi", 16, 296, 37, 500, "宝箱は不思議箱だった！", "お金５００を手に入れた！"}};
  for (const TrapChest& t : traps) {
    SCOPED_TRACE(t.map);
    fights_.clear();
    Player.gold = 0;
    Put(t.map, t.talk, 16);
    battle_result_ = 255;
    Say(0);
    EXPECT_TRUE(Heard(t.trap));
    EXPECT_EQ(Flag(t.flag), 0);
    EXPECT_EQ(Player.gold, 0);
    battle_result_ = 0;
    Say(0);
    ASSERT_EQ(fights_.size(), 2u);
    EXPECT_EQ(fights_[1].enemy, t.enemy);
    EXPECT_FALSE(fights_[1].escapable);
    EXPECT_EQ(fights_[1].music, "boss2");
    EXPECT_EQ(MessageShown(), t.paid);
    EXPECT_EQ(Player.gold, t.prize);
    EXPECT_EQ(Flag(t.flag), 1);
    Say(0);
    EXPECT_EQ(fights_.size(), 2u);
    EXPECT_EQ(MessageShown(), "宝箱はからっぽだった。");
    EXPECT_EQ(Player.gold, t.prize);
  }
  fights_.clear();
  Put("zombi", 21);
  Say(0);
  Say(0);
  ASSERT_EQ(fights_.size(), 2u);
  EXPECT_EQ(fights_[1].enemy, 29);
  EXPECT_TRUE(fights_[1].escapable);
  EXPECT_EQ(fights_[1].music, "fight4");
  EXPECT_EQ(MessageShown(), "うらめ～し～や～");
}

// The cook fights until beaten and then steps aside, also after the map was reloaded.
TEST_F(TalkTest, TheCookStepsAsideOnceBeaten) {
  Put("zombi", 22, 11, 62, 20);
  battle_result_ = 255;
  Say(0);
  EXPECT_EQ(Chars(0).x, 62);
  EXPECT_EQ(Flag(299), 0);
  battle_result_ = 0;
  Say(0);
  ASSERT_EQ(fights_.size(), 2u);
  EXPECT_EQ(fights_[1].enemy, 36);
  EXPECT_FALSE(fights_[1].escapable);
  EXPECT_EQ(Chars(0).x, 63);
  EXPECT_EQ(Flag(299), 1);
  EXPECT_TRUE(Heard(Text("zombi", "22.defeat")));
  Chars(0).x = 62;  // the map loaded again
  Say(0);
  EXPECT_EQ(fights_.size(), 2u);
  EXPECT_EQ(Chars(0).x, 63);
  EXPECT_EQ(MessageShown(), "ああおまえか・・・ここは自由に通るがいい。");
}

// The lord of the summit: his speech at the normal pace, then the fight; a win sends
// him off and starts the ending, a defeat does neither.
TEST_F(TalkTest, TheFinalBoss) {
  Put("top", 1, 12, 12, 20);
  MessageWait = 64;
  battle_result_ = 255;
  Say(0);
  EXPECT_EQ(MessageWait, 32);
  ASSERT_EQ(fights_.size(), 1u);
  EXPECT_EQ(fights_[0].enemy, 50);
  EXPECT_FALSE(fights_[0].escapable);
  EXPECT_EQ(fights_[0].music, "fight6");
  EXPECT_EQ(Chars(0).x, 12);
  EXPECT_EQ(endings_, 0);
  battle_result_ = 0;
  Say(0);
  EXPECT_EQ(Chars(0).x, 100);
  EXPECT_EQ(endings_, 1);
  EXPECT_TRUE(Heard(Text("top", "1.closing")));
}

// The wallet: lost, found, returned for the reward, and not found again afterwards.
TEST_F(TalkTest, TheWalletQuest) {
  EmptyInventory();
  Put("town2", 14);
  Say(0);
  EXPECT_EQ(MessageShown(), "うーん、財布落としちゃったよ");
  Put("town2", 8, 0);
  Say(0);
  ASSERT_EQ(ItemHave(16), 0);
  Put("town2", 14);
  Say(0);
  EXPECT_EQ(ItemHave(16), 255);
  EXPECT_EQ(ItemHave(17), 0);
  EXPECT_EQ(Flag(280), 1);
  EXPECT_EQ(Sounds("heal"), 1);
  EXPECT_TRUE(Heard(Text("town2", "14.reward")));
  Say(0);
  EXPECT_TRUE(Heard(Text("town2", "14.after")));
  Put("town2", 8, 0);
  Say(0);
  EXPECT_EQ(ItemHave(16), 255);
}

// The guard: a warning first, the gift on a later talk, then he stands aside, and
// does so again when the map is loaded anew.
TEST_F(TalkTest, TheGuardQuest) {
  EmptyInventory();
  Player.items(0) = 24;
  Put("dngn2", 3, 8, 32, 40);
  Say(0);
  EXPECT_EQ(Flag(327), 1);
  EXPECT_EQ(Chars(0).x, 32);
  EXPECT_EQ(ItemHave(24), 0);  // the first talk only warns, gift or not
  ItemDel(24);
  Say(0);
  EXPECT_EQ(Chars(0).x, 32);
  EXPECT_EQ(Flag(302), 0);
  Player.items(0) = 24;
  Say(0);
  EXPECT_EQ(Chars(0).x, 33);
  EXPECT_EQ(ItemHave(24), 255);
  EXPECT_EQ(Flag(302), 1);
  EXPECT_TRUE(Heard(Text("dngn2", "3.gift")));
  Say(0);
  EXPECT_TRUE(Heard(Text("dngn2", "3.odd")));
  Chars(0).x = 32;  // the map loaded again
  Say(0);
  EXPECT_EQ(Chars(0).x, 33);
  EXPECT_TRUE(Heard(Text("dngn2", "3.thanks")));
}

// The lumberjack gives his board only after the bridge was seen; the flag is set only
// when the board fits in the bag, and a lost board is given again.
TEST_F(TalkTest, TheLumberjackQuest) {
  Put("kikori", 1, 10);
  FillInventory();
  Say(0);
  EXPECT_TRUE(Heard(Text("kikori", "1.story")));
  EXPECT_EQ(ItemHave(28), 255);
  SetFlag(304, 1);
  Say(0);
  EXPECT_TRUE(Heard("持ち物がいっぱいだよ・・・"));
  EXPECT_FALSE(Heard("万能まないたをもらった！"));
  EXPECT_EQ(Flag(305), 0);
  EmptyInventory();
  Say(0);
  EXPECT_TRUE(Heard(Text("kikori", "1.offer")));
  EXPECT_TRUE(Heard("万能まないたをもらった！"));
  EXPECT_EQ(ItemHave(28), 0);
  EXPECT_EQ(Flag(305), 1);
  Say(0);
  EXPECT_EQ(MessageShown(), "よう！まな板の使いごこちはどうだい？");
  ItemDel(28);
  Say(0);
  EXPECT_TRUE(Heard(Text("kikori", "1.scold")));
  EXPECT_EQ(ItemHave(28), 0);
}

// Texts that change: first and afterwards, two in turn, and a question answered both ways.
TEST_F(TalkTest, FirstAlternatingAndQuestions) {
  Put("town1", 1);
  Say(0);
  EXPECT_TRUE(Heard(Text("town1", "1.first")));
  EXPECT_EQ(Flag(256), 1);
  Say(0);
  EXPECT_TRUE(Heard(Text("town1", "1.after")));
  Put("field", 1);
  Say(0);
  EXPECT_TRUE(Heard(Text("field", "1.a")));
  Say(0);
  EXPECT_TRUE(Heard(Text("field", "1.b")));
  EXPECT_EQ(Flag(258), 0);
  Put("cavity", 1);
  Say(0, 'Z');
  EXPECT_EQ(MessageShown(), "・・・・");
  EXPECT_EQ(Flag(303), 0);
  Say(0, 'X');
  EXPECT_TRUE(Heard(Text("cavity", "1.yes")));
  EXPECT_EQ(Flag(303), 1);
  Say(0);
  EXPECT_EQ(MessageShown(), "もうなにもしゃべらない・・・");
  Put("town2", 9, 16);
  Say(0);
  EXPECT_TRUE(Heard(Text("town2", "9")));
  EXPECT_EQ(Chars(0).pic, 16);
}

// A text missing at run time: the fault is logged and nothing of the conversation
// happens, with window 0 closed.
TEST_F(TalkTest, MissingTextsEndTheConversationCleanly) {
  testing::ExpectFault("Talk", 5);
  testing::ExpectFault("Talk", 53);
  const std::string dir = UseScratchFolder();
  std::filesystem::create_directories(dir + "/text");
  std::ofstream(dir + "/text/town1.txt") << "[1.first]\nやあ。￥\n";
  Put("town1", 1);
  Say(0);
  EXPECT_EQ(Flag(256), 0);
  EXPECT_EQ(Count(ErrorLog(), "Talk Error: 5 "), 1) << ErrorLog();
  Put("field", 1);
  Say(0);
  EXPECT_EQ(Flag(258), 0);
  EXPECT_EQ(Count(ErrorLog(), "Talk Error: 53 "), 1) << ErrorLog();
  // A text longer than any window could show in reason is refused, with its file and key.
  std::ofstream long_text(dir + "/text/town1.txt");
  long_text << "[2]\n";
  for (int i = 0; i < 6000; ++i) long_text << "ながいながいはなし￥\n";
  long_text.close();
  Put("town1", 2);
  Say(0);
  EXPECT_EQ(Heard(), "");
  EXPECT_EQ(Count(ErrorLog(), "Talk Error: 5 "), 2) << ErrorLog();
  EXPECT_NE(ErrorLog().find("text/town1.txt [2] is 180000 bytes"), std::string::npos) << ErrorLog();
  EXPECT_FALSE(ParseTalkText("[2]\n" + std::string(kMaxTalkText + 1, 'a')).errors.empty()) << "the text checker too";
}

// The checks that keep a text inside the message window.
TEST(TalkTextCheck, FindsWhatTheWindowCannotShow) {
  struct Case {
    const char* text;
    TextEnd end;
    const char* finding;  // "" when sound
    Language language = Language::kJapanese;
  };
  constexpr Language kEn = Language::kEnglish;
  const std::string thirty = "abcdefghij abcdefghij abcdefgh";  // a full line of English
  const Case cases[] = {
      {"あいうえおかきくけこさしすせそ￥", TextEnd::kPage, "adds an empty line"},
      {"あいうえおかきくけこさしすせそた￥", TextEnd::kPage, "wider than the message window"},
      {"一／二／三／四￥", TextEnd::kPage, ""},
      {"一／二／三／四／五￥", TextEnd::kPage, "more lines than the window shows"},
      {"一／二／三／四／五", TextEnd::kOpen, ""},
      {"一／二／三／四／五／六", TextEnd::kOpen, "more lines than the window shows"},
      {"一／二￥三／四／五／六￥", TextEnd::kPage, ""},
      {"はい/いいえ￥", TextEnd::kPage, "half-width"},
      {"おわり", TextEnd::kPage, "must end with ￥"},
      {"しつもん？￥", TextEnd::kOpen, "must not end with ￥"},
      {"", TextEnd::kAny, "empty text"},
      {"1／2／3／4／5￥", TextEnd::kPage, "more lines than the window shows", kEn},
      {"A line of English that wraps at its spaces to four lines in all, not one more than the window holds.￥", TextEnd::kPage, "", kEn},
      {"A line of English that wraps at its spaces into five lines in all, which is one line more than "
       "the window shows above its prompt.￥",
       TextEnd::kPage, "more lines than the window shows", kEn},
      {"Supercalifragilisticexpialidocious!￥", TextEnd::kPage, "a word longer than a line", kEn},
      {"Ｆull-width￥", TextEnd::kPage, "not a half-width letter", kEn},
      {"Yes/no￥", TextEnd::kPage, "half-width", kEn},
      {"The end", TextEnd::kPage, "must end with ￥", kEn},
  };
  for (const std::string mark : {"／", "￥"}) {
    EXPECT_TRUE(CheckMessageText(thirty + mark + thirty + mark + thirty + mark + thirty + "￥", TextEnd::kPage, kEn)
                    .empty())
        << "a full English line ends at its mark, with no empty line";
  }
  for (const Case& c : cases) {
    const auto found = CheckMessageText(c.text, c.end, c.language);
    if (*c.finding == '\0') {
      EXPECT_TRUE(found.empty()) << c.text << ": " << (found.empty() ? "" : found[0].second);
    } else {
      ASSERT_EQ(found.size(), 1u) << c.text;
      EXPECT_NE(found[0].second.find(c.finding), std::string::npos) << c.text << ": " << found[0].second;
    }
  }
  EXPECT_EQ(ParseTalkText("[1]\nWell, \nwell.／\nBye\n￥\n", kEn).Find("1")->text, "Well, well.／Bye￥")
      << "English lines are joined with a space, none next to a mark";
  const TalkTextFile f = ParseTalkText("# notes\nまえがき\n[1]\n  あ／\n い￥\n[1]\nう￥\n[x.1]\n[2]\n");
  EXPECT_EQ(f.Find("1")->text, "あ／い￥");
  EXPECT_EQ(f.Find("1")->lines[1].second, 5);
  const std::vector<std::pair<int, std::string>> want = {
      {2, "text before the first [KEY]"}, {6, "[1] is written twice"}, {8, "bad key"}, {9, "no text"}};
  ASSERT_EQ(f.errors.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(f.errors[i].first, want[i].first);
    EXPECT_NE(f.errors[i].second.find(want[i].second), std::string::npos) << f.errors[i].second;
  }
}

}  // namespace
}  // namespace ardo
