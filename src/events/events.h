// Characters and events: the people of each map and their wandering, the hero's
// step test, the event processor, conversations, and the services and stat changes
// that scripts call (shops, inns, treasure, money, experience, HP and the rest).
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "core/core.h"

namespace ardo {

struct CharRecord {
  Byte talk = 0;
  Integer x = 0;
  Integer y = 0;
  Integer pic = 0;
  Byte walks = 0;
  Integer dx = 0;
  Integer dy = 0;
  Byte dir = 0;
  Integer canMove = 0;
  Integer step = 0;
};

extern VbArray<CharRecord, 0, 255> Chars;
extern Byte CharCount;

// The people table, data/chara.dat: a stream of fields, a header line, then per map its
// name, the number n of its people (0 to 255) and n records of seven fields (talk
// number, x, y, picture row, facing, wanders, the author's note). Every field is
// compared with the name, so a note that happens to equal a map name stops the search
// there. Reading it needs nothing of the game's state.
struct PersonRecord {
  Byte talk = 0;
  Integer x = 0;
  Integer y = 0;
  Integer pic = 0;
  Byte dir = 0;
  Byte walks = 0;
};
struct PeopleEntry {
  bool found = false;               // the table has an entry for the map (perhaps of nobody)
  int count = 0;                    // the people the entry announces (-1: unreadable)
  std::vector<PersonRecord> people; // those read whole, in order: fewer than count after a fault
  bool failed = false;              // the file is missing or broken: `fault` says where
  Fault fault;
};
constexpr const char* kPeopleFile = "data/chara.dat";
PeopleEntry ReadPeople(const std::string& map);

// Loads the people of `map` into Chars (no entry leaves them as they are). A missing or
// broken table faults to the caller, which logs it; the people read whole before the
// fault are kept and counted.
void CharaSet(const std::string& map);
void ChrMove();
void ChrDraw(int i, int pdx, int pdy, int refresh);
int TryStep(int dx, int dy);
// What TryStep's result r means, for the field loop and scripted steps alike (the step
// toward Player.dx, Player.dy, with no step under way): a free cell starts the step, a
// blocked one runs its event, a person in the way talks when auto-talk (flag 16) is on.
// A fault of each statement goes to `on`, which goes on with the next.
void HandleStepResult(int r, const Trap& on);
void PlayerMove(int dx, int dy);
// Turns character k toward the hero, draws the field, runs its conversation and turns
// it back (the talk button, and walking into someone with auto-talk on).
void TalkFacingHero(int k);
// What the hero's cell does when he arrives on it: snow takes footprints (90 becomes 79
// after a sideways step, 78 otherwise), the damaging floor 106 costs 2 HP while he has more.
void ArrivalTileEffects();

// The position script: runs the event of cell (x, y) of the current map; 255 when handled.
Byte EventProc(int x, int y, bool enabled);
// Puts back the lasting terrain changes of the events (the cavity bridge) on the map
// just loaded.
void MapEventsSet();

// The exits of the world (doors, stairs, cave mouths, warps), one per trigger cell,
// loaded from data/exits.dat by ExitSet. flag is the travel flag set on the way out
// (-1: none).
struct ExitRecord {
  std::string map;
  Integer x = 0;
  Integer y = 0;
  std::string to;
  Integer toX = 0;
  Integer toY = 0;
  std::string music;
  Byte area = 0;
  Integer flag = -1;
};
extern std::vector<ExitRecord> ExitTable;
void ExitSet();
// The exit of cell (x, y) of map, or null.
const ExitRecord* FindExit(const std::string& map, int x, int y);
// Runs the conversation of character index.
void Talk(int index);
// The fights and the ending a conversation leads to: BtlMain and Ending, unless a
// test stands in for them.
extern std::function<Byte(bool escapable, const std::string& music)> TalkBattle;
extern std::function<void()> TalkEnding;

// The words of the conversations live in text/NAME.txt of the game folder, one file
// per map (and common.txt), each text under a key in brackets:
//
//   # a comment
//   [1.first]
//   やあ、おはよう。￥
//   きょうは出発の日だね。￥
//
// The lines of an entry are joined as they stand (spaces and tabs at their ends are
// dropped, full-width spaces kept); the message markup "／" and "￥" is written out.
struct TalkTextEntry {
  int line = 0;  // of its [KEY]
  std::string text;
  std::vector<std::pair<size_t, int>> lines;  // byte offset in text -> line in the file
};
struct TalkTextFile {
  std::vector<std::pair<std::string, TalkTextEntry>> entries;  // in file order
  std::vector<std::pair<int, std::string>> errors;              // line, what is wrong
  const TalkTextEntry* Find(const std::string& key) const;
};
// In English the lines of an entry are joined with one space between them, except
// next to a "／" or "￥" (the window wraps English at spaces by itself).
TalkTextFile ParseTalkText(const std::string& source, Language language = Language::kJapanese);
// The longest text one conversation may say (bytes): far more than any scene a player
// would read through, far less than could weigh on the game. A longer one is refused.
constexpr size_t kMaxTalkText = 64 * 1024;

// How a text must end: at a page wait, or left on screen under a menu, or either.
enum class TextEnd { kPage, kOpen, kAny };
struct TalkTextNeed {
  std::string file;  // text/<file>.txt
  std::string key;
  TextEnd end = TextEnd::kPage;
};
// Every text the conversations can ask for.
std::vector<TalkTextNeed> TalkTextNeeds();
// What is wrong with a text as the message window would show it: bad markup, a line
// wider than the window, a page with more lines than are in view at its wait, the
// wrong ending. Each finding carries the byte offset in text where it starts.
// English is checked as WrapMessage lays it out: plain half-width letters only, no word
// longer than a line, and the same rules for pages and endings.
std::vector<std::pair<size_t, std::string>> CheckMessageText(const std::string& text, TextEnd end,
                                                             Language language = Language::kJapanese);

// Services and stat changes.
extern VbArray<Byte, 0, 7> ShopStock;
Byte Shop(const std::vector<int>& goods);
Byte Yado(int price);
// A night's sleep, at the inn or in a bed: the screen fades out, HP and MP fill up and
// the field fades back in. Faults go to the caller's handler `on`.
void SleepTillMorning(const Trap& on);
void ShowGold();
Byte Treasure(int goods, int flag);
void BoxOpen(int index);
Byte GOLDAdd(long long n);
Byte ExpAdd(long long n);
Byte HPadd(int n);
Byte MPadd(int n);
Byte MHPadd(int n);
Byte MMPadd(int n);
Byte PowAdd(int n);
Byte DefAdd(int n);
Byte SpdAdd(int n);
// An amount of money as full-width digits.
std::string MoneyText(long long amount);

// Back to the start-up state: no characters, an empty shop.
void ResetEventState();

}  // namespace ardo
