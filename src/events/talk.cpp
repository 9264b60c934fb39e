// Conversations: what the hero hears when he speaks to someone or examines something
// on a map. Each map has its list of entries, keyed by the conversation number of the
// character; the words themselves are in text/<map>.txt (see ReadTalkText), so the
// writers can change them without touching this file.
#include <map>
#include <sstream>

#include "battle/battle.h"
#include "events/events.h"
#include "events/story.h"
#include "field/field.h"
#include "items/items.h"
#include "presentation/presentation.h"
#include "sound/sound.h"
#include "ui/ui.h"

namespace ardo {

std::function<Byte(bool, const std::string&)> TalkBattle = BtlMain;
std::function<void()> TalkEnding = Ending;

namespace {

enum class Kind {
  kPlain,        // one text
  kSilent,       // nothing but the "pi"
  kFirstAfter,   // first time, and afterwards (flag)
  kAlternating,  // two texts in turn (flag)
  kYesNo,        // a question and two answers
  kOldMan,       // a question whose "yes" tells his story once (flag)
  kChest,        // a chest with goods (flag); `note` adds a line after it
  kEmptyChest,   // a chest with nothing in it
  kHidden,       // something found without a chest (flag)
  kRefill,       // a key item found again whenever it is not carried (flag, until `keep`)
  kShop,         // a greeting, then the goods
  kMerchant,     // introduces himself once (flag), then his goods
  kDiary,        // a chest-shaped book that opens while read
  kTrapChest,    // a chest that fights back until beaten (flag), then pays `prize`
  kGhost,        // a fight every time, escape allowed
  kCook,         // a fight until won (flag); steps aside to `aside`
  kFinalBoss,    // the speech, the fight, the ending
  kWallet,       // the owner of the lost wallet
  kGuard,        // the guard who wants a gift
  kLumberjack,   // the lumberjack and his cutting board
};

struct Entry {
  int number = 0;
  Kind kind = Kind::kPlain;
  int flag = 0;
  int goods = 0;           // item number, or -amount of money
  std::vector<int> shop = {};  // goods of a shop
  int enemy = 0;
  int prize = 0;           // money of a beaten trap chest
  int aside = 0;           // column a character steps aside to
  int keep = 0;            // flag that ends the refilling of a key item
  bool chest = true;       // a refillable item in a chest (false: hidden)
  bool note = false;       // a chest with a line after its treasure
  const char* key = nullptr;  // a text shared by several numbers
};

struct MapTalk {
  const char* name;
  bool hello;  // an unlisted number says "hello" (otherwise nothing)
  std::vector<Entry> entries;
};

constexpr int kGuardAside = 33;
constexpr int kChestClosed = 16;
constexpr int kChestOpen = 17;

Entry Plain(int n) { return {.number = n}; }
Entry Chest(int n, int goods, int flag) { return {.number = n, .kind = Kind::kChest, .flag = flag, .goods = goods}; }
Entry Hidden(int n, int goods, int flag) { return {.number = n, .kind = Kind::kHidden, .flag = flag, .goods = goods}; }
Entry Empty(int n) { return {.number = n, .kind = Kind::kEmptyChest}; }
Entry Skull(int n) { return {.number = n, .key = "skull"}; }

// The maps in the order they are tried, each with its entries.
const std::vector<MapTalk>& Maps() {
  static const std::vector<MapTalk> maps = [] {
    std::vector<MapTalk> m;
    MapTalk town1{"town1", true, {}};
    town1.entries = {
        {.number = 1, .kind = Kind::kFirstAfter, .flag = 256},
        Plain(2), Plain(3), Plain(4), Plain(5), Plain(7), Plain(8), Plain(9),
        Chest(10, 1, 273), Chest(11, 21, 274), Empty(12),
        {.number = 13, .kind = Kind::kTrapChest, .flag = 275, .enemy = 20, .prize = 5000},
        Chest(14, 1, 276), Empty(15), Chest(16, 1, 277), Empty(17), Chest(18, 1, 278),
        Chest(19, -90, 279), {.number = 20, .kind = Kind::kSilent},
        Plain(21), Plain(22), Plain(23), Plain(24), Plain(25), Plain(26)};
    m.push_back(town1);
    m.push_back({"field", true,
                 {{.number = 1, .kind = Kind::kAlternating, .flag = 258},
                  {.number = 2, .kind = Kind::kMerchant, .flag = 291, .shop = {1, 2, 4, 7, 20, 21}},
                  Hidden(3, 25, 300)}});
    m.push_back({"dngn1", false,
                 {Chest(1, 1, 268), Chest(2, 7, 269), Chest(3, 2, 270), Chest(4, -300, 271),
                  {.number = 5, .kind = Kind::kAlternating, .flag = 289}, Chest(6, 23, 292)}});
    m.push_back({"forest", false,
                 {Chest(1, 21, 262), Chest(2, 10, 263), Chest(3, 13, 264), Chest(4, 14, 265),
                  Chest(5, 7, 266), Chest(6, 2, 267), Plain(7)}});
    m.push_back({"town2", true,
                 {Plain(1), Plain(3), Plain(4), Plain(5), Plain(6),
                  {.number = 7, .kind = Kind::kAlternating, .flag = 260},
                  {.number = 8, .kind = Kind::kRefill, .flag = 261, .goods = story::kWallet,
                   .keep = story::kWalletReturned, .chest = false},
                  {.number = 9, .kind = Kind::kDiary}, Plain(10), Plain(11), Plain(12), Plain(13),
                  {.number = 14, .kind = Kind::kWallet},
                  {.number = 15, .kind = Kind::kShop, .shop = {24, 7, 8, 10, 11, 13, 14, 15}}}});
    m.push_back({"dngn2", false, {Plain(1), Plain(2), {.number = 3, .kind = Kind::kGuard}}});
    m.push_back({"dngn3", false,
                 {Chest(1, 11, 282), Chest(2, 15, 283), Chest(3, 22, 284),
                  {.number = 4, .kind = Kind::kChest, .flag = 285, .goods = -3000, .note = true},
                  {.number = 5, .kind = Kind::kRefill, .flag = 286, .goods = story::kDrill},
                  Chest(6, 5, 287), Chest(7, 21, 288)}});
    MapTalk town3{"town3", false, {}};
    town3.entries = {{.number = 1, .kind = Kind::kShop, .shop = {2, 4, 5, 13, 14, 15, 22}},
                     Plain(2), Plain(3), Plain(5), {.number = 6, .kind = Kind::kYesNo},
                     Plain(7), Plain(8), Plain(9), Plain(10), Plain(11), Plain(12), Plain(13),
                     {.number = 14, .kind = Kind::kYesNo}, Plain(15), Plain(16), Chest(17, 19, 290),
                     Plain(18), Plain(19), Plain(20), Plain(21), Plain(22)};
    m.push_back(town3);
    MapTalk zombi{"zombi", false, {}};
    for (int n = 0; n < 13; ++n) zombi.entries.push_back(Skull(n));
    zombi.entries.insert(
        zombi.entries.end(),
        {Chest(13, 8, 293), Chest(14, 11, 294), Chest(15, 22, 295),
         {.number = 16, .kind = Kind::kTrapChest, .flag = 296, .enemy = 37, .prize = 500},
         Chest(17, 5, 297), Plain(18), Plain(19), Plain(20), {.number = 21, .kind = Kind::kGhost, .enemy = 29},
         {.number = 22, .kind = Kind::kCook, .flag = 299, .enemy = 36, .aside = 63}, Plain(23), Plain(24),
         Plain(26), Plain(27), Plain(28), Chest(29, 15, 298), Hidden(30, 26, 301), Skull(31)});
    m.push_back(zombi);
    m.push_back({"kikori", false, {{.number = 1, .kind = Kind::kLumberjack}}});
    m.push_back({"wall", false, {Chest(1, 3, 307), Chest(2, 9, 308), Chest(3, 11, 309), Chest(4, 15, 310)}});
    m.push_back({"cavity", false, {{.number = 1, .kind = Kind::kOldMan, .flag = 303}, Plain(2), Plain(3)}});
    m.push_back({"icewall", false,
                 {Chest(1, 3, 311), Chest(2, 23, 312), Chest(3, -10000, 313), Chest(4, 15, 314),
                  Chest(5, 9, 315), Chest(6, 12, 316), Chest(7, 6, 317)}});
    m.push_back({"smog", false,
                 {Chest(1, 5, 318), Chest(2, 2, 319), Plain(3), Chest(4, 8, 320), Chest(5, -25000, 321),
                  Chest(6, 13, 322), Chest(7, 14, 323), Chest(8, 12, 324), Chest(9, 15, 325),
                  Chest(10, 23, 326)}});
    m.push_back({"toph", false, {}});
    m.push_back({"top", false, {{.number = 1, .kind = Kind::kFinalBoss, .enemy = 50, .aside = 100}}});
    return m;
  }();
  return maps;
}

// The texts an entry needs: a part name ("" for the number alone) and how it ends.
struct Piece {
  const char* part;
  TextEnd end;
};

std::vector<Piece> PiecesOf(const Entry& e) {
  using enum TextEnd;
  switch (e.kind) {
    case Kind::kPlain: case Kind::kDiary: case Kind::kGhost: return {{"", kPage}};
    case Kind::kSilent: case Kind::kEmptyChest: case Kind::kHidden: case Kind::kRefill: return {};
    case Kind::kChest: return e.note ? std::vector<Piece>{{"note", kPage}} : std::vector<Piece>{};
    case Kind::kFirstAfter: return {{"first", kPage}, {"after", kPage}};
    case Kind::kAlternating: return {{"a", kPage}, {"b", kPage}};
    case Kind::kYesNo: return {{"ask", kOpen}, {"yes", kPage}, {"no", kPage}};
    case Kind::kOldMan: return {{"ask", kOpen}, {"yes", kPage}, {"no", kPage}, {"after", kPage}};
    case Kind::kShop: return {{"", kAny}};
    case Kind::kMerchant: return {{"first", kAny}, {"after", kAny}};
    case Kind::kTrapChest: return {{"trap", kPage}, {"prize", kPage}};
    case Kind::kCook: return {{"challenge", kPage}, {"defeat", kPage}, {"after", kPage}};
    case Kind::kFinalBoss: return {{"speech", kPage}, {"closing", kPage}};
    case Kind::kWallet: return {{"thanks", kPage}, {"reward", kPage}, {"lost", kPage}, {"after", kPage}};
    case Kind::kGuard: return {{"warning", kPage}, {"odd", kPage}, {"thanks", kPage}, {"gift", kPage}};
    case Kind::kLumberjack:
      return {{"story", kPage}, {"ask", kPage}, {"offer", kPage}, {"gift", kPage}, {"scold", kPage}};
  }
  return {};
}

std::string KeyOf(const Entry& e, const char* part) {
  std::string key = e.key != nullptr ? e.key : std::to_string(e.number);
  if (*part != '\0') key += std::string(".") + part;
  return key;
}

// Texts of the common file, said on every map.
constexpr const char* kCommonFile = "common";
constexpr Piece kHello{"hello", TextEnd::kPage};
constexpr Piece kEmpty{"empty", TextEnd::kPage};             // a chest on a map without a list
constexpr Piece kEmptyChest{"empty_chest", TextEnd::kPage};  // a chest with nothing in it
constexpr Piece kFullHands{"full", TextEnd::kPage};          // no room for a gift

// Reads text/<file>.txt (text/en/<file>.txt in English) and returns the text of each key asked for. A missing file
// or key is a fault: the conversation stops before anything has happened.
std::map<std::string, std::string> ReadTexts(const std::string& file, const std::vector<std::string>& keys) {
  std::map<std::string, std::string> out;
  if (keys.empty()) return out;
  const std::string relative = LanguagePath("text", file + ".txt");
  std::string bytes;
  std::string why;
  const FileStatus status = ReadGameFile(GamePath(relative), &bytes, &why);
  if (status != FileStatus::kOk) throw FileFault(status, relative, why);
  const TalkTextFile texts = ParseTalkText(bytes, GameLanguage());
  for (const std::string& key : keys) {
    const TalkTextEntry* e = texts.Find(key);
    if (e == nullptr) {
      Fault f = Fault::Of(err::kInvalidCall);
      f.description += " (" + relative + " has no [" + key + "])";
      throw f;
    }
    if (e->text.size() > kMaxTalkText) {
      Fault f = Fault::Of(err::kInvalidCall);
      f.description += " (" + relative + " [" + key + "] is " + std::to_string(e->text.size()) +
                       " bytes, longer than the " + std::to_string(kMaxTalkText) + " a conversation may say)";
      throw f;
    }
    out[key] = e->text;
  }
  return out;
}

// One conversation under way: its entry, the character and its texts.
class Scene {
 public:
  Scene(const Entry& e, int index, const std::string& file) : e_(e), index_(index) {
    std::vector<std::string> keys;
    for (const Piece& p : PiecesOf(e)) keys.push_back(KeyOf(e, p.part));
    texts_ = ReadTexts(file, keys);
  }

  void Run();

 private:
  void Say(const char* part) {
    const auto it = texts_.find(KeyOf(e_, part));
    if (it == texts_.end()) Raise(err::kInvalidCall);
    Message(it->second);
  }
  CharRecord& Me() { return Chars(index_); }
  Byte Fight(bool escapable, const char* music) {
    EnemyId = CInt(e_.enemy);
    Enemy = EnemyTable(EnemyId);
    return TalkBattle(escapable, music);
  }
  void Redraw() {
    MapDraw(Player.dx * StepOffset, Player.dy * StepOffset, 1, 1);
    RefreshScreen();
  }
  // A gift the hero may have no room for: the thanks only when it was taken.
  bool Receive(int item, const char* got);

  void Lumberjack();
  void Guard();
  void Wallet();

  const Entry& e_;
  int index_;
  std::map<std::string, std::string> texts_;
};

void SayCommon(const Piece& p) { Message(ReadTexts(kCommonFile, {p.part}).at(p.part)); }

bool Scene::Receive(int item, const char* got) {
  if (ItemAdd(item) != 0) {
    SayCommon(kFullHands);
    return false;
  }
  PlaySe("heal", 1);
  Say(got);
  return true;
}

void Scene::Run() {
  switch (e_.kind) {
    case Kind::kPlain:
      Say("");
      break;
    case Kind::kShop:
      Say("");
      Shop(e_.shop);
      break;
    case Kind::kGhost:
      Say("");
      WinHide(win::kMessage);
      Fight(true, "fight4");  // like any wandering monster: he may run
      break;
    case Kind::kSilent:
      break;
    case Kind::kFirstAfter:
    case Kind::kMerchant:
      if (Flag(e_.flag) == 0) {
        Say("first");
        SetFlag(e_.flag, 1);
      } else {
        Say("after");
      }
      if (e_.kind == Kind::kMerchant) Shop(e_.shop);
      break;
    case Kind::kAlternating:
      Say(Flag(e_.flag) == 0 ? "a" : "b");
      SetFlag(e_.flag, Flag(e_.flag) == 0 ? 1 : 0);
      break;
    case Kind::kYesNo:
      Say("ask");
      Say(WinDeal(win::kYesNo) == 0 ? "yes" : "no");
      break;
    case Kind::kOldMan:
      if (Flag(e_.flag) != 0) {
        Say("after");
        break;
      }
      Say("ask");
      if (WinDeal(win::kYesNo) == 0) {
        Say("yes");
        SetFlag(e_.flag, 1);
      } else {
        Say("no");
      }
      break;
    case Kind::kChest:
      BoxOpen(index_);
      Treasure(e_.goods, e_.flag);
      if (e_.note) Say("note");
      break;
    case Kind::kEmptyChest:
      BoxOpen(index_);
      SayCommon(kEmptyChest);
      break;
    case Kind::kHidden:
      Treasure(e_.goods, e_.flag);
      break;
    case Kind::kRefill: {
      // Found again whenever the hero no longer has it (until it has done its work).
      const bool gone = ItemHave(e_.goods) != 0 && (e_.keep == 0 || Flag(e_.keep) == 0);
      SetFlag(e_.flag, gone ? 0 : 1);
      if (e_.chest) BoxOpen(index_);
      Treasure(e_.goods, e_.flag);
      break;
    }
    case Kind::kDiary:
      Me().pic = kChestOpen;
      Redraw();
      Say("");
      Me().pic = kChestClosed;
      break;
    case Kind::kTrapChest:
      BoxOpen(index_);
      if (Flag(e_.flag) != 0) {
        SayCommon(kEmptyChest);
        break;
      }
      Say("trap");
      WinHide(win::kMessage);
      if (Fight(false, "boss2") == 0) {
        Say("prize");
        GOLDAdd(e_.prize);
        SetFlag(e_.flag, 1);
      }
      break;
    case Kind::kCook:
      if (Flag(e_.flag) != 0) {
        Say("after");
        Me().x = CInt(e_.aside);
        break;
      }
      Say("challenge");
      WinHide(win::kMessage);
      if (Fight(false, "boss2") == 0) {
        Say("defeat");
        Me().x = CInt(e_.aside);
        SetFlag(e_.flag, 1);
      }
      break;
    case Kind::kFinalBoss:
      MessageWait = 32;  // the speech at its own pace, whatever the setting
      Say("speech");
      WinHide(win::kMessage);
      if (Fight(false, "fight6") == 0) {
        Me().x = CInt(e_.aside);
        Say("closing");
        WinHide(win::kMessage);
        TalkEnding();
      }
      break;
    case Kind::kWallet: Wallet(); break;
    case Kind::kGuard: Guard(); break;
    case Kind::kLumberjack: Lumberjack(); break;
  }
}

void Scene::Wallet() {
  if (ItemHave(story::kWallet) == 0) {
    Say("thanks");
    PlaySe("heal", 1);
    Say("reward");
    ItemDel(story::kWallet);
    ItemAdd(story::kWalletReward);  // the wallet's slot is free again
    SetFlag(story::kWalletReturned, 1);
  } else {
    Say(Flag(story::kWalletReturned) == 0 ? "lost" : "after");
  }
}

void Scene::Guard() {
  if (Flag(story::kGuardWarned) == 0) {
    Say("warning");
    SetFlag(story::kGuardWarned, 1);
  } else if (Me().x == kGuardAside) {
    Say("odd");
  } else if (Flag(story::kGuardHasGift) != 0) {
    Say("thanks");
    Me().x = kGuardAside;
  } else if (ItemHave(story::kGuardGift) == 0) {
    Say("warning");
    Say("gift");
    ItemDel(story::kGuardGift);
    SetFlag(story::kGuardHasGift, 1);
    Me().x = kGuardAside;
  } else {
    Say("warning");
  }
}

// The board is only promised as given when it fits in the bag: with no room the
// hero hears so, and the flag stays clear so the offer comes again.
void Scene::Lumberjack() {
  if (Flag(story::kBridgeSeen) == 0) {
    Say("story");
  } else if (ItemHave(story::kCuttingBoard) == 0) {
    Say("ask");
  } else if (Flag(story::kBoardGiven) == 0) {
    Say("offer");
    if (Receive(story::kCuttingBoard, "gift")) SetFlag(story::kBoardGiven, 1);
  } else {
    Say("scold");
    Receive(story::kCuttingBoard, "gift");
  }
}

const MapTalk* FindMap(const std::string& name) {
  for (const MapTalk& m : Maps()) {
    if (name == m.name) return &m;
  }
  return nullptr;
}

void Converse(int index) {
  CharRecord& c = Chars(index);
  const MapTalk* map = FindMap(MapName);
  if (map == nullptr) {
    // A map without a list: chests are empty and everyone just says hello.
    if (c.pic == kChestClosed || c.pic == kChestOpen) {
      if (c.pic == kChestClosed) c.pic = kChestOpen;
      MapDraw(Player.dx * StepOffset, Player.dy * StepOffset, 1, 1);
      RefreshScreen();
      SayCommon(kEmpty);
    } else {
      SayCommon(kHello);
    }
    return;
  }
  for (const Entry& e : map->entries) {
    if (e.number == c.talk) {
      Scene(e, index, map->name).Run();
      return;
    }
  }
  if (map->hello) SayCommon(kHello);
}

}  // namespace

void Talk(int index) {
  Trap on("Talk");
  on([] { PlaySe("pi", 1); });
  on([&] { Converse(index); });
  on([] { WinHide(win::kMessage); });
}

std::vector<TalkTextNeed> TalkTextNeeds() {
  std::vector<TalkTextNeed> needs;
  for (const Piece& p : {kHello, kEmpty, kEmptyChest, kFullHands}) needs.push_back({kCommonFile, p.part, p.end});
  for (const MapTalk& m : Maps()) {
    for (const Entry& e : m.entries) {
      for (const Piece& p : PiecesOf(e)) {
        TalkTextNeed n{m.name, KeyOf(e, p.part), p.end};
        bool seen = false;
        for (const TalkTextNeed& o : needs) seen = seen || (o.file == n.file && o.key == n.key);
        if (!seen) needs.push_back(n);
      }
    }
  }
  return needs;
}

}  // namespace ardo
