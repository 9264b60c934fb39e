// The position script: what happens when the hero steps onto a cell, or walks against
// a blocked one. It is organised by map, in a fixed order; each map is a chain of
// triggers, and the first whose cell (and condition) matches runs. The written-out
// events (signs, counters, beds, springs, scenes, fixed fights, the bridge) come
// first; the map's exits, from the exits table, close the chain.
//
// Every step of an event runs under the handler: a step that faults is logged under
// "EventProc" and the event goes on with its next step.
#include <filesystem>
#include <functional>

#include "battle/battle.h"
#include "events/events.h"
#include "events/story.h"
#include "events/scenes.h"
#include "field/field.h"
#include "items/items.h"
#include "sound/sound.h"
#include "ui/ui.h"

namespace ardo {

namespace {

const Trap on("EventProc");

struct Cell {
  int x;
  int y;
};

struct Trigger {
  std::vector<Cell> cells;
  std::function<bool()> when;  // empty: always
  std::function<Byte(int x, int y)> run;

  bool At(int x, int y) const {
    for (const Cell& c : cells) {
      if (c.x == x && c.y == y) return true;
    }
    return false;
  }
};

struct Block {
  const char* map;
  std::vector<Trigger> chain;
};

// The bridge's cell and its mended picture.
constexpr Cell kBridge{24, 18};
constexpr Byte kPlanks = 5;

bool Clear(int flag) { return Flag(flag) == 0; }

// ---------------------------------------------------------------------------
// Exits.

// The target of an exit must be there before anything of the exit is done: a missing
// map is logged and the hero stays where he is, free to walk on.
bool Reachable(const ExitRecord& e) {
  std::error_code ec;
  if (e.to == MapName || std::filesystem::is_regular_file(GamePath(MapFileName(e.to)), ec)) return true;
  Fault f = Fault::Of(err::kFileNotFound);
  f.description += " (" + MapFileName(e.to) + ")";
  on.LogFault(f);
  return false;
}

Byte TakeExit(const ExitRecord& e) {
  if (!Reachable(e)) return 255;
  on([&] { ChangeMap(e.to, e.toX, e.toY, e.music, e.area); });
  if (e.flag >= 0) on([&] { SetFlag(e.flag, 1); });
  return 255;
}

// ---------------------------------------------------------------------------
// Signs, counters, beds and springs.

Trigger Sign(Cell at, Say text) {
  return {{at}, {}, [text](int, int) -> Byte {
            on([&] { Message(Word(text)); });
            on([] { WinHide(win::kMessage); });
            return 255;
          }};
}

Trigger ShopCounter(Cell at, Say greeting, std::vector<int> goods, Byte result) {
  return {{at}, {}, [=](int, int) -> Byte {
            on([&] { Message(Word(greeting)); });
            on([&] { Shop(goods); });
            on([] { WinHide(win::kMessage); });
            return result;
          }};
}

Trigger InnCounter(Cell at, Say greeting, int price) {
  return {{at}, {}, [=](int, int) -> Byte {
            on([&] { Message(Word(greeting)); });
            on([&] { Yado(price); });
            return 0;
          }};
}

Byte Bed(int, int) {
  on([] { Message(Word(Say::kRestAsk)); });
  if (on.Value<Byte>(255, [] { return WinDeal(win::kYesNo); }) == 0) SleepTillMorning(on);
  on([] { WinHide(win::kMessage); });
  return 0;
}

Byte HealingSpot(int, int) {
  on([] { PlaySe("heal", 1); });
  on([] { HPadd(9999); });
  on([] { MPadd(9999); });
  on([] { Message(Word(Say::kRested)); });
  on([] { WinHide(win::kMessage); });
  return 0;
}

// The spring refills HP only.
Byte Spring(int, int) {
  on([] { Message(Word(Say::kSpringAsk)); });
  if (on.Value<Byte>(255, [] { return WinDeal(win::kYesNo); }) == 0) {
    on([] { PlaySe("heal", 1); });
    on([] { HPadd(9999); });
    on([] { Message(Word(Say::kHpHealed)); });
    on([] { WinHide(win::kMessage); });
  }
  return 0;
}

// ---------------------------------------------------------------------------
// Scenes.

// The first pass through the south gate: the hero's thoughts on a dark screen, then
// the gate. Nothing of it happens when the gate's target is missing.
Byte OpeningScene(int x, int y) {
  const ExitRecord* gate = FindExit(MapName, x, y);
  if (gate == nullptr) return 0;
  if (!Reachable(*gate)) return 255;
  on([] { ScreenFade(0); });
  on([] { CloseBgm(); });
  Wait(1000);
  on([] { Message(Word(Say::kOpeningMonologue)); });
  on([] { WinHide(win::kMessage); });
  SetFlag(story::kMonologueDone, 1);
  return TakeExit(*gate);
}

Byte HerbScene(int, int) {
  SetFlag(story::kHerbSeen, 1);
  on([] { Message(Word(Say::kHerbNarration)); });
  on([] { WinHide(win::kMessage); });
  return 0;
}

// The counter person of the valley village turns to the hero and talks.
Byte CounterRing(int, int) {
  on([] { Chars(0).dir = static_cast<Byte>(Player.dir - (Player.dir % 2) * 2 + 1); });
  on([] { MapDraw(Player.dx * StepOffset, Player.dy * StepOffset, 1, 1); });
  RefreshScreen();
  on([] { Talk(0); });
  return 0;
}

// A fight that cannot be run from: the enemy is set up, then the battle returns 0
// when the hero won, 255 when he lost.
void PrepareBattle(int enemy) {
  on([&] {
    EnemyId = CInt(enemy);
    Enemy = EnemyTable(EnemyId);
  });
}

Byte FixedBattle() { return on.Value<Byte>(255, [] { return BtlMain(false, "boss2"); }); }

// A boss fought once, whatever the outcome.
Trigger Boss(std::vector<Cell> cells, int enemy, int flag) {
  return {std::move(cells), [flag] { return Clear(flag); }, [enemy, flag](int, int) -> Byte {
            PrepareBattle(enemy);
            FixedBattle();
            SetFlag(flag, 1);
            return 0;
          }};
}

// The old tree fights until it is beaten, then only shows what is carved into it.
Byte TreeFight(int, int) {
  PrepareBattle(22);
  on([] { Message(Word(Say::kTreeAttack)); });
  on([] { WinHide(win::kMessage); });
  if (FixedBattle() == 0) {
    on([] { Message(Word(Say::kTreeInscription)); });
    SetFlag(story::kTreeBeaten, 1);
  }
  on([] { WinHide(win::kMessage); });
  return 255;
}

Byte TreeInscription(int, int) {
  on([] { Message(Word(Say::kTreeInscription)); });
  on([] { WinHide(win::kMessage); });
  return 255;
}

// The broken bridge: the first touch always tells of it; with the cutting board the
// next touch lays it across (in MapData only, so a new load of the map needs it
// again, see MapEventsSet).
bool BridgeReady() { return Flag(story::kBridgeSeen) != 0 && ItemHave(story::kCuttingBoard) == 0; }

void LayBridge() {
  MapCell& c = MapData(kBridge.x, kBridge.y);
  c.tile = kPlanks;
  c.attr = static_cast<Byte>(c.attr & 254);
}

Byte BridgeMessage(int, int) {
  on([] { Message(Word(Say::kBridgeEnd)); });
  SetFlag(story::kBridgeSeen, 1);
  on([] { WinHide(win::kMessage); });
  return 0;
}

Byte BridgeBuild(int, int) {
  on([] {
    if (MapData(kBridge.x, kBridge.y).tile == kPlanks) return;
    on([] { PlaySe("heal", 1); });
    LayBridge();
  });
  return 0;
}

// ---------------------------------------------------------------------------
// The maps, in the order they are looked up.

const std::vector<Block>& Blocks() {
  static const std::vector<Block> blocks = {
      {"field",
       {Sign({19, 12}, Say::kSignWorldsEnd), Sign({41, 26}, Say::kSignForest), Sign({34, 38}, Say::kSignForest),
        Sign({32, 45}, Say::kSignCrossroads), Sign({24, 67}, Say::kSignFlowers), Sign({20, 82}, Say::kSignBridge),
        Sign({36, 84}, Say::kSignGrotto), Sign({82, 40}, Say::kSignLowdale)}},
      {"town1",
       {// The village's own sign closes its window directly.
        {{{21, 49}}, {}, [](int, int) -> Byte {
           on([] { Message(Word(Say::kTown1Gate)); });
           on([] { picWindow(win::kMessage).visible = false; });
           return 255;
         }},
        {{{19, 52}, {20, 52}}, [] { return Clear(story::kMonologueDone); }, OpeningScene},
        {{{30, 11}}, {}, Bed},
        ShopCounter({39, 28}, Say::kShop1, {1, 2, 3, 4, 5, 20, 7, 10}, 255)}},
      {"dngn1",
       {{{{69, 40}}, [] { return Clear(story::kHerbSeen); }, HerbScene},
        {{{69, 44}}, {}, HealingSpot}}},
      {"forest",
       {Sign({87, 14}, Say::kSignRoad),
        {{{35, 24}, {36, 24}}, {}, Spring}}},
      {"town2",
       {InnCounter({32, 24}, Say::kInn2, 25),
        ShopCounter({45, 12}, Say::kShop2, {24, 1, 2, 4, 5, 20, 21, 15}, 255)}},
      {"dngn2", {Boss({{89, 108}, {90, 108}}, 16, story::kShellBossFought)}},
      {"town3",
       {InnCounter({12, 122}, Say::kInn3, 50),
        ShopCounter({13, 53}, Say::kShop3, {1, 2, 4, 5, 7, 10, 20, 21}, 0),
        {{{43, 55}, {45, 55}, {44, 54}, {44, 56}}, {}, CounterRing}}},
      {"dngn3",
       {{{{45, 56}}, {}, HealingSpot},
        {{{26, 20}}, [] { return Clear(story::kTreeBeaten); }, TreeFight},
        {{{26, 20}}, {}, TreeInscription}}},
      {"zombi",
       {ShopCounter({57, 13}, Say::kBombShop, {20, 21, 22, 23, 18, 1, 4}, 0),
        ShopCounter({70, 16}, Say::kShopMedicine, {2, 3, 5, 8, 9, 11, 13, 14}, 0),
        InnCounter({61, 30}, Say::kInnGhost, 100)}},
      {"kikori", {}},
      {"wall", {}},
      {"cavity",
       {{{{25, 68}}, {}, [](int, int) -> Byte {
           SetFlag(story::kCavityVisited, 1);
           return 255;
         }},
        {{kBridge}, [] { return !BridgeReady(); }, BridgeMessage},
        {{kBridge}, {}, BridgeBuild}}},
      {"icewall", {Boss({{16, 103}}, 42, story::kIceBossFought)}},
      {"smog", {}},
      {"topl", {}},
      {"toph", {}},
      {"top", {}},
  };
  return blocks;
}

}  // namespace

Byte EventProc(int x, int y, bool enabled) {
  if (!enabled) return 0;
  for (const Block& block : Blocks()) {
    if (MapName != block.map) continue;
    for (const Trigger& t : block.chain) {
      if (!t.At(x, y) || (t.when && !t.when())) continue;
      return t.run(x, y);
    }
    const ExitRecord* e = FindExit(block.map, x, y);
    return e != nullptr ? TakeExit(*e) : 0;
  }
  return 0;
}

void MapEventsSet() {
  Trap on("MapEventsSet");
  on([] {
    if (MapName == "cavity" && BridgeReady()) LayBridge();
  });
}

namespace scenes {

std::vector<std::pair<int, int>> TriggerCells(const std::string& map) {
  std::vector<std::pair<int, int>> out;
  for (const Block& block : Blocks()) {
    if (map != block.map) continue;
    for (const Trigger& t : block.chain) {
      for (const Cell& c : t.cells) out.emplace_back(c.x, c.y);
    }
  }
  return out;
}

}  // namespace scenes

}  // namespace ardo
