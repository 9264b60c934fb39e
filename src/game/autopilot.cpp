// The autopilot. At every event point it looks at the game as a player would and
// decides which key to hold: the walking keys to follow a path found over the map cells
// and the exits, the choose key to answer messages, talk and choose, the cancel key to
// open the menu and to cancel (whatever keys the player's settings bind them to). It
// never writes the game's state; the route (autopilot/route.txt) says where to go.
#include "game/autopilot.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <map>
#include <unordered_map>
#include <vector>

#include "battle/battle.h"
#include "core/bindings.h"
#include "events/events.h"
#include "field/field.h"
#include "game/program.h"
#include "game/script_lines.h"
#include "items/items.h"
#include "presentation/presentation.h"
#include "ui/ui.h"

namespace ardo {

namespace {

namespace vk = platform::vk;

// ---------------------------------------------------------------------------
// The route.

enum class GoalKind { kChapter, kGo, kTouch, kTalk, kKeep, kSave, kBoss, kExpect, kGrind, kInn, kGate, kHint, kEnd };

struct Goal {
  GoalKind kind = GoalKind::kGo;
  int line = 0;
  std::string text;  // the line as written (for reports)
  std::string map;
  int x = 0, y = 0;   // cell; talk: x is the talk number; keep: x item, y count; grind: x level;
                      // hint: x the enemy, y the spell
  int x2 = 0, y2 = 0; // grind: the cell to walk about; gate: y is the flag
  std::string name;   // chapter or boss
  std::vector<std::string> conds;   // expect
  std::vector<std::string> when;    // played only when all hold ("if")
  std::vector<std::string> unless;  // skipped when all hold ("unless")
};

bool ToInt(const std::string& s, int* v) {
  std::int64_t r = 0;
  if (!ParseInt(s, &r) || r < -1000000 || r > 1000000) return false;
  *v = static_cast<int>(r);
  return true;
}

bool ParseRoute(const std::string& text, const std::string& name, std::vector<Goal>* goals, std::string* error) {
  ScriptLines lines(text, name);
  auto bad = [&](const std::string& why) { lines.Bad(why); };
  while (lines.Next()) {
    std::vector<std::string>& w = lines.words();
    Goal g;
    g.line = lines.number();
    g.text = lines.text();
    // Guards at the end: "if COND..." or "unless COND...".
    for (size_t i = 1; i < w.size(); ++i) {
      if (w[i] == "if" || w[i] == "unless") {
        std::vector<std::string> conds(w.begin() + static_cast<long>(i) + 1, w.end());
        if (conds.empty()) bad(w[i] + " needs a condition");
        (w[i] == "if" ? g.when : g.unless) = conds;
        w.resize(i);
        break;
      }
    }
    const std::string& op = w[0];
    auto cell = [&](size_t at) {
      if (w.size() != at + 3 || !ToInt(w[at + 1], &g.x) || !ToInt(w[at + 2], &g.y) || g.x < 0 || g.x > 255 ||
          g.y < 0 || g.y > 255) {
        bad(op + " takes MAP X Y");
        return;
      }
      g.map = w[at];
    };
    if (op == "chapter") {
      g.kind = GoalKind::kChapter;
      if (w.size() < 2) bad("chapter needs a name");
      for (size_t i = 1; i < w.size(); ++i) g.name += (i > 1 ? " " : "") + w[i];
    } else if (op == "go") {
      g.kind = GoalKind::kGo;
      cell(1);
    } else if (op == "touch") {
      g.kind = GoalKind::kTouch;
      cell(1);
    } else if (op == "talk") {
      g.kind = GoalKind::kTalk;
      if (w.size() != 3 || !ToInt(w[2], &g.x) || g.x < 0 || g.x > 255) bad("talk takes MAP N");
      if (w.size() > 1) g.map = w[1];
    } else if (op == "keep") {
      g.kind = GoalKind::kKeep;
      if (w.size() != 3 || !ToInt(w[1], &g.x) || !ToInt(w[2], &g.y) || g.x < 1 || g.x > 255 || g.y < 0 ||
          g.y > 15) {
        bad("keep takes ITEM COUNT (count 0 to 15)");
      }
    } else if (op == "save") {
      g.kind = GoalKind::kSave;
      if (w.size() != 1) bad("save takes nothing");
    } else if (op == "boss") {
      g.kind = GoalKind::kBoss;
      if (w.size() != 3 || !ToInt(w[2], &g.x) || g.x < 0 || g.x > 200) bad("boss takes NAME ENEMY");
      if (w.size() > 1) g.name = w[1];
    } else if (op == "expect") {
      g.kind = GoalKind::kExpect;
      g.conds.assign(w.begin() + 1, w.end());
      if (g.conds.empty()) bad("expect needs a condition");
    } else if (op == "grind") {
      g.kind = GoalKind::kGrind;
      if ((w.size() != 2 && w.size() != 5) || !ToInt(w[1], &g.x) || g.x < 1 || g.x > 99) {
        bad("grind takes LEVEL [MAP X Y]");
      } else if (w.size() == 5) {
        int lv = g.x;
        cell(2);
        g.y2 = g.y;
        g.x2 = g.x;
        g.x = lv;
      }
    } else if (op == "inn") {
      g.kind = GoalKind::kInn;
      cell(1);
    } else if (op == "gate") {
      g.kind = GoalKind::kGate;
      if (w.size() != 4 || !ToInt(w[2], &g.x) || !ToInt(w[3], &g.y) || g.y < 0 || g.y > 2047) {
        bad("gate takes MAP TALK FLAG");
      }
      if (w.size() > 1) g.map = w[1];
    } else if (op == "hint") {
      g.kind = GoalKind::kHint;
      if (w.size() != 3 || !ToInt(w[1], &g.x) || !ToInt(w[2], &g.y) || g.x < 0 || g.x > 200 || g.y < 1 ||
          g.y > 3) {
        bad("hint takes ENEMY SPELL (spell 1 to 3)");
      }
    } else if (op == "end") {
      g.kind = GoalKind::kEnd;
    } else {
      bad("unknown goal '" + op + "'");
    }
    goals->push_back(std::move(g));
  }
  if (!lines.errors().empty()) {
    *error = lines.errors();
    return false;
  }
  if (goals->empty()) {
    *error = name + ": the route is empty\n";
    return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// What the hero knows of the world: every map's cells (from the map files), the
// people who stand still (from the people table) and the exits.

constexpr int kDx[4] = {0, 0, -1, 1};  // down, up, left, right: the hero's facings
constexpr int kDy[4] = {1, -1, 0, 0};
constexpr Action kDirAction[4] = {Action::kDown, Action::kUp, Action::kLeft, Action::kRight};

// The key the game has bound to an action now: one that no other action shares (else it
// would do that one's work too) and without modifiers, when the bindings have such a key.
// None (key 0) when the action has no key at all.
KeyInput KeyFor(Action a) {
  const Bindings& b = CurrentBindings();
  const std::vector<KeyInput>& keys = b.keys[static_cast<size_t>(a)];
  auto shared = [&](const KeyInput& k) {
    for (int o = 0; o < kActionCount; ++o) {
      if (o == static_cast<int>(a)) continue;
      for (const KeyInput& other : b.keys[static_cast<size_t>(o)]) {
        if (other.key == k.key) return true;
      }
    }
    return false;
  };
  const KeyInput* best = nullptr;
  int best_score = -1;
  for (const KeyInput& k : keys) {
    const int score = (shared(k) ? 0 : 2) + (k.mods == 0 ? 1 : 0);
    if (score > best_score) {
      best = &k;
      best_score = score;
    }
  }
  return best != nullptr ? *best : KeyInput{};
}

// The key and the modifiers it needs, pressed or let go together.
void InjectBinding(const KeyInput& k, bool down) {
  auto& p = platform::GetPlatform();
  if (k.mods & platform::kShiftMask) p.InjectKey(vk::kShift, down);
  if (k.mods & platform::kCtrlMask) p.InjectKey(vk::kControl, down);
  if (k.mods & platform::kAltMask) p.InjectKey(vk::kMenu, down);
  p.InjectKey(k.key, down);
}

constexpr int kDrill = 18;
constexpr int kBoard = 28;

struct Person {
  int talk, x, y, walks;
};

// Where an exit's cell leads: a map of the atlas and a cell.
struct Exit {
  int to = 0;
  int x = 0, y = 0;
};

struct MapInfo {
  std::string name;
  int w = 0, h = 0;
  std::vector<MapCell> cells;  // column by column, as in the file
  std::vector<Person> people;
  std::unordered_map<int, Exit> exits;  // x * 256 + y
};

class Atlas {
 public:
  int Id(const std::string& name) {
    auto it = ids_.find(name);
    if (it != ids_.end()) return it->second;
    const int id = static_cast<int>(maps_.size());
    ids_[name] = id;
    maps_.push_back(Load(name));
    return id;
  }
  const MapInfo& map(int id) const { return maps_[static_cast<size_t>(id)]; }
  int count() const { return static_cast<int>(maps_.size()); }
  // Exits point at maps by name: index them once the table is there.
  void IndexExits() {
    if (indexed_ || ExitTable.empty()) return;
    indexed_ = true;
    for (const ExitRecord& e : ExitTable) {
      const int from = Id(e.map);
      maps_[static_cast<size_t>(from)].exits[e.x * 256 + e.y] = Exit{Id(e.to), e.toX, e.toY};
    }
  }

 private:
  static MapInfo Load(const std::string& name) {
    MapInfo m;
    m.name = name;
    std::string data, why;
    if (ReadGameFile(GamePath("map/" + name + ".map"), &data, &why, 16 + 256 * 256 * 2) == FileStatus::kOk &&
        data.size() >= 16) {
      m.w = static_cast<Byte>(data[0]);
      m.h = static_cast<Byte>(data[1]);
      m.cells.resize(static_cast<size_t>(m.w) * static_cast<size_t>(m.h));
      size_t at = 16;
      for (size_t i = 0; i < m.cells.size() && at + 1 < data.size(); ++i, at += 2) {
        m.cells[i] = MapCell{static_cast<Byte>(data[at]), static_cast<Byte>(data[at + 1])};
      }
    }
    FieldReader in;
    if (in.Open(GamePath("data/chara.dat")) && !in.AtEnd()) {
      in.SkipLine();
      std::string field;
      bool found = false;
      while (in.Next(&field)) {
        if (field == name) {
          found = true;
          break;
        }
      }
      try {
        const long long n = found ? in.ReadInteger() : 0;
        for (long long i = 0; i < n; ++i) {
          Person p{};
          p.talk = static_cast<int>(in.ReadInteger());
          p.x = static_cast<int>(in.ReadInteger());
          p.y = static_cast<int>(in.ReadInteger());
          in.ReadInteger();
          in.ReadInteger();
          p.walks = static_cast<int>(in.ReadInteger());
          in.ReadText();
          m.people.push_back(p);
        }
      } catch (const Fault&) {
        // A broken table: the people read so far are what the hero knows of.
      }
    }
    return m;
  }

  std::map<std::string, int> ids_;
  std::deque<MapInfo> maps_;  // references stay good as maps are added
  bool indexed_ = false;
};

struct Node {
  int m = 0, x = 0, y = 0;
  bool operator==(const Node& o) const { return m == o.m && x == o.x && y == o.y; }
};

// ---------------------------------------------------------------------------
// What was played, for the report.

// One chapter's counts. A reload of a save from an earlier chapter takes the play back to
// that chapter, so a chapter may be played in several stretches: its times add up.
struct Tally {
  std::string name;
  std::uint32_t game_start = 0;  // of the stretch under way
  double wall_start = 0;
  std::uint32_t game_ms = 0;  // of the stretches before it
  double wall_s = 0;
  long steps = 0, battles = 0, won = 0, ran = 0, deaths = 0, reloads = 0;
  int level = 0;          // when it was last left
  int arrival_level = 0;  // when it was first entered
  std::vector<std::string> falls;  // where the hero fell in it
};

double WallSeconds() {
  using clock = std::chrono::steady_clock;
  static const clock::time_point start = clock::now();
  return std::chrono::duration<double>(clock::now() - start).count();
}

std::string Clock(std::uint32_t ms) {
  char buf[32];
  const unsigned s = ms / 1000;
  std::snprintf(buf, sizeof buf, "%u:%02u:%02u", s / 3600, s / 60 % 60, s % 60);
  return buf;
}

// The key items the report lists on arrival at a boss.
constexpr int kKeyItems[] = {16, 17, 18, 19, 24, 25, 26, 28};

int CountItem(int id) {
  int n = 0;
  for (Byte b : Player.items) n += b == id ? 1 : 0;
  return n;
}

// ---------------------------------------------------------------------------
// The pilot.

struct MenuStep {
  int window;
  int row;
};

class Pilot final : public Autopilot {
 public:
  Pilot(std::vector<Goal> goals, std::string name, bool novice)
      : goals_(std::move(goals)), route_name_(std::move(name)), novice_(novice) {}

  void Attach() override {
    WallSeconds();
    SetEventPointObserver([this] { Tick(); });
  }
  int exit_status() const override { return status_; }

 private:
  // ---- keys
  // Menus and messages poll the keys every frame or so and wait for a release: a key is
  // held for 30 ms. The field loop reads them right after its event point: a key pressed
  // there is let go at the next event point, so it acts once.
  // The keys are the ones the game is bound to at the moment (the player's settings).
  void Press(Action action, std::uint32_t now) {
    ReleaseWalk();
    const KeyInput key = KeyFor(action);
    if (key.key == 0) {
      Fail(now, std::string("no key is bound to ") + ActionName(action));
      return;
    }
    InjectBinding(key, true);
    pressed_ = key;
    release_at_ = FieldLoopWaiting() ? now : now + 30;
  }
  void HoldWalk(int dir) {
    const KeyInput key = KeyFor(kDirAction[dir]);
    if (walk_key_ == key && key.key != 0) return;
    ReleaseWalk();
    if (key.key == 0) {
      Fail(platform::GetPlatform().TimeGetTime(), std::string("no key is bound to ") + ActionName(kDirAction[dir]));
      return;
    }
    InjectBinding(key, true);
    walk_key_ = key;
  }
  void ReleaseWalk() {
    if (walk_key_.key != 0) InjectBinding(walk_key_, false);
    walk_key_ = KeyInput{};
  }

  // ---- the event point
  void Tick() {
    if (done_ || busy_) return;
    busy_ = true;
    const std::uint32_t now = platform::GetPlatform().TimeGetTime();
    Observe(now);
    if (!done_) {
      if (pressed_.key != 0) {
        if (now >= release_at_) {
          InjectBinding(pressed_, false);
          pressed_ = KeyInput{};
          cooldown_until_ = now + 30;
        }
      } else if (now >= cooldown_until_) {
        Decide(now);
      }
    }
    busy_ = false;
  }

  // Keeps the tallies: battles begun and ended, steps, deaths.
  void Observe(std::uint32_t now) {
    if (last_tick_ != 0 && idx_ < goals_.size() && goals_[idx_].kind == GoalKind::kGrind) {
      grind_ms_ += now - last_tick_;
    }
    last_tick_ = now;
    if (InBattle && !was_in_battle_) {
      ++Current().battles;
      ++total_.battles;
      battle_enemy_ = EnemyId;
      ReleaseWalk();
    }
    // A lost battle sends the game back to the title before the battle is over.
    if (InBattle && !died_ && (ReturnToTitle || MessageShown().find(WordStem(Say::kDied)) != std::string::npos)) {
      ++Current().deaths;
      ++total_.deaths;
      died_ = true;
      std::printf("autopilot: %s  the hero fell to %s (enemy %d) on %s (%d, %d), level %d, area %d\n",
                  Clock(now).c_str(), Enemy.name.c_str(), battle_enemy_, MapName.c_str(), Player.x, Player.y,
                  Player.lv, static_cast<int>(Flags(1)));
      Current().falls.push_back(MapName + " area " + std::to_string(Flags(1)) + " (" + std::to_string(Player.x) +
                                ", " + std::to_string(Player.y) + ") " + Enemy.name + " lv " +
                                std::to_string(Player.lv));
    }
    if (!InBattle && was_in_battle_) {
      if (died_) {
        // counted above
      } else if (Enemy.stats.hp <= 0) {
        ++Current().won;
        ++total_.won;
        if (IsBoss(battle_enemy_)) {
          beaten_.push_back(battle_enemy_);
          std::printf("autopilot: %s  beat %s (enemy %d): level %d, HP %d/%d, MP %d/%d\n", Clock(now).c_str(),
                      Enemy.name.c_str(), battle_enemy_, Player.lv, Player.hp, Player.mhp, Player.mp, Player.mmp);
        }
      } else {
        ++Current().ran;
        ++total_.ran;
      }
      battle_plan_.clear();
    }
    was_in_battle_ = InBattle;
    if (Player.lv != last_level_) {
      last_level_ = Player.lv;
      last_progress_ = now;  // growing stronger is progress too (grinding)
    }
    if (CurrentScene() == Scene::kStaffRoll && !seen_staff_) {
      // The hero as the game ends: the title that follows starts from a new game's.
      seen_staff_ = true;
      final_level_ = Player.lv;
      final_gold_ = static_cast<int>(Player.gold);
    }
    if (MapName != last_map_ || Player.x != last_x_ || Player.y != last_y_) {
      if (MapName == last_map_ && std::abs(Player.x - last_x_) + std::abs(Player.y - last_y_) == 1) {
        ++Current().steps;
        ++total_.steps;
      }
      last_map_ = MapName;
      last_x_ = Player.x;
      last_y_ = Player.y;
    }
    // Every scene counts: a title or a narration the pilot cannot leave is as stuck as a field.
    if (now - last_progress_ > kStuckMs) {
      Fail(now, "no progress for " + std::to_string(kStuckMs / 60000) + " minutes of game time");
    }
    if (now > kMaxGameMs) Fail(now, "the game ran longer than " + Clock(kMaxGameMs));
  }

  void Decide(std::uint32_t now) {
    const Scene scene = CurrentScene();
    if (idx_ >= goals_.size()) {
      Finish(now);
      return;
    }
    // The staff roll is over and the title is back: the game is played, and the run ends
    // here, before the title menu could load the save and walk on. (The last talk, which
    // ran the final battle and the ending, never returned to the field to be counted done.)
    if (seen_staff_ && (scene == Scene::kLogo || scene == Scene::kTitle || scene == Scene::kDemo)) {
      idx_ = goals_.size();
      Finish(now);
      return;
    }
    if (scene == Scene::kLogo) return;
    if (MessageWaiting()) {
      // A careful player reads each page before he answers it (a battle's lines are quick).
      if (prompt_since_ == 0) prompt_since_ = now;
      if (now - prompt_since_ < (InBattle ? kBattleReadMs : kReadMs)) return;
      prompt_since_ = 0;
      Press(Action::kChoose, now);
      return;
    }
    prompt_since_ = 0;
    const MenuFocus focus = ActiveMenu();
    if (scene == Scene::kTitle) {
      if (focus.window >= 0) {
        TitleMenu(focus, now);
      } else {
        Press(Action::kChoose, now);
      }
      return;
    }
    if (scene != Scene::kField) return;  // narrations, the ending and the staff roll run by themselves
    if (focus.window >= 0) {
      if (InBattle) {
        BattleMenu(focus, now);
      } else {
        FieldMenu(focus, now);
      }
      return;
    }
    if (InBattle || ReturnToTitle || StepOffset != 0 || !FieldLoopWaiting()) return;
    // Free on the field.
    if (died_) {
      Reloaded(now);
      return;
    }
    if (menu_plan_active_) {
      menu_plan_active_ = false;
      if (after_plan_) {
        auto f = std::move(after_plan_);
        after_plan_ = nullptr;
        f(now);
      }
      return;
    }
    if (MaybeHeal(now)) return;
    if (Tidy(now)) return;
    Pursue(now);
  }

  // ---- menus
  // Moves the cursor of the focused menu to row, then chooses it; true when chosen.
  bool Choose(const MenuFocus& focus, int row, std::uint32_t now) {
    if (focus.row == row) {
      Press(Action::kChoose, now);
      return true;
    }
    const int count = std::max<int>(1, Windows(focus.window).Count);
    const int down = ((row - focus.row) % count + count) % count;
    Press(down <= count - down ? Action::kDown : Action::kUp, now);
    return false;
  }

  void TitleMenu(const MenuFocus& focus, std::uint32_t now) {
    if (focus.window == 9) {
      Choose(focus, have_save_ ? 0 : 1, now);  // 続きから / 初めから
    } else if (focus.window == 4) {
      Choose(focus, 0, now);
    } else {
      Press(Action::kCancel, now);
    }
  }

  void FieldMenu(const MenuFocus& focus, std::uint32_t now) {
    if (menu_plan_active_ && plan_pos_ < menu_plan_.size() && menu_plan_[plan_pos_].window == focus.window) {
      if (Choose(focus, menu_plan_[plan_pos_].row, now)) ++plan_pos_;
      return;
    }
    if (focus.window == 3) {
      // Yes, except to quitting.
      Choose(focus, MessageShown().find(WordStem(Say::kQuitAsk)) != std::string::npos ? 1 : 0, now);
      return;
    }
    if (focus.window == 15) {
      ShopMenu(focus, now);
      return;
    }
    Press(Action::kCancel, now);
  }

  // Buys what the standing orders miss, cheapest need first; then leaves.
  void ShopMenu(const MenuFocus& focus, std::uint32_t now) {
    const int count = Windows(15).Count;
    for (int row = 0; row < count; ++row) {
      const int item = ShopStock(row);
      auto it = keep_.find(item);
      if (it == keep_.end() || CountItem(item) >= it->second) continue;
      const long price = ItemTable(item).Price;
      if (price + kGoldReserve > Player.gold) continue;
      int free_slots = 0;
      for (Byte b : Player.items) free_slots += b == 0 ? 1 : 0;
      if (free_slots == 0) break;
      Choose(focus, row, now);
      return;
    }
    Press(Action::kCancel, now);
  }

  void StartPlan(std::vector<MenuStep> plan, std::function<void(std::uint32_t)> after, std::uint32_t now) {
    menu_plan_ = std::move(plan);
    plan_pos_ = 0;
    menu_plan_active_ = true;
    after_plan_ = std::move(after);
    Press(Action::kCancel, now);  // opens the field menu
  }

  // ---- battle
  bool IsBoss(int enemy) const { return std::find(bosses_.begin(), bosses_.end(), enemy) != bosses_.end(); }

  int HealStrength() const {
    const int cost = MagicTable(0).Cost;
    const int missing = Player.mhp - Player.hp;
    static constexpr int kLeast[4] = {49, 175, 700, 9999};
    int best = -1;
    for (int s = 0; s < 4; ++s) {
      if (Player.mp < (s + 1) * cost * 2) break;
      best = s;
      if (kLeast[s] >= missing) break;
    }
    return best;
  }

  int HealingItemSlot(bool battle) const {
    int best = -1, best_value = 0;
    const int missing = Player.mhp - Player.hp;
    for (int s = 0; s <= 14; ++s) {
      const int id = Player.items(s);
      if (id == 0) continue;
      const ItemRecord& it = ItemTable(id);
      if (it.Kind != 1 || it.Value <= 0 || (!battle && it.NoField != 0)) continue;
      if (keep_.count(id) && id == 24) continue;  // the guard's gift is not a snack
      // The smallest that covers what is missing, else the largest.
      const bool covers = it.Value * 3 / 4 >= missing;
      const bool best_covers = best >= 0 && best_value * 3 / 4 >= missing;
      if (best < 0 || (covers && (!best_covers || it.Value < best_value)) || (!covers && !best_covers && it.Value > best_value)) {
        best = s;
        best_value = it.Value;
      }
    }
    return best;
  }

  // The slot of the first item of a kind (2 magic water, 8 bombs: the strongest), or -1.
  int ItemSlotOfKind(int kind, bool strongest) const {
    int best = -1, best_value = 0;
    for (int s = 0; s <= 14; ++s) {
      const int id = Player.items(s);
      if (id == 0 || ItemTable(id).Kind != kind) continue;
      const int v = ItemTable(id).Value;
      if (best < 0 || (strongest ? v > best_value : v < best_value)) {
        best = s;
        best_value = v;
      }
    }
    return best;
  }

  void BattleMenu(const MenuFocus& focus, std::uint32_t now) {
    if (focus.window == 12 && battle_pos_ >= battle_plan_.size()) PlanTurn();
    if (battle_pos_ < battle_plan_.size() && battle_plan_[battle_pos_].window == focus.window) {
      if (Choose(focus, battle_plan_[battle_pos_].row, now)) ++battle_pos_;
      return;
    }
    if (focus.window == 12) {
      battle_plan_.clear();
      battle_pos_ = 0;
      Choose(focus, 0, now);
      return;
    }
    Press(Action::kCancel, now);
  }

  void PlanTurn() {
    battle_plan_.clear();
    battle_pos_ = 0;
    if (novice_) {
      NovicePlanTurn();
    } else {
      CarefulPlanTurn();
    }
  }

  // In danger: heal with 回復, else with a healing item, else run from an ordinary
  // battle. False when none of them can be done (a boss is fought on).
  bool PlanRescue(bool boss) {
    const int s = HealStrength();
    if (s >= 0) {
      battle_plan_ = {{12, 2}, {13, 0}, {16, s}};
      return true;
    }
    const int slot = HealingItemSlot(true);
    if (slot >= 0) {
      battle_plan_ = {{12, 1}, {7, slot}};
      return true;
    }
    if (!boss) {
      battle_plan_ = {{12, 3}};
      return true;
    }
    return false;
  }

  void CarefulPlanTurn() {
    const bool boss = IsBoss(EnemyId);
    // Heal below a third; against a boss, whose blows are heavier, below a half.
    if (Player.hp * (boss ? 2 : 3) < Player.mhp) {
      if (PlanRescue(boss)) return;
    }
    if (boss) {
      // The strongest attack spell the magic points allow, keeping one healing back.
      const int reserve = MagicTable(0).Cost * 2;
      int best_row = -1, best_power = 0, best_score = 0;
      for (int row = 1; row <= 3; ++row) {
        const int cost = MagicTable(row).Cost;
        for (int p = 0; p <= 3; ++p) {
          if (Player.mp < cost * (p + 1) * 2 || Player.mp - cost * (2 * p + 1) < reserve) break;
          const int score = (2 * p + 1 + row) * row;
          if (score > best_score) {
            best_score = score;
            best_row = row;
            best_power = p;
          }
        }
      }
      if (best_row >= 0) {
        battle_plan_ = {{12, 2}, {13, best_row}, {16, best_power}};
        return;
      }
      // Out of magic: a drink when healing would soon be needed, else the biggest bomb.
      const int water = ItemSlotOfKind(2, false);
      if (Player.mp < reserve * 2 && Player.hp * 2 < Player.mhp && water >= 0) {
        battle_plan_ = {{12, 1}, {7, water}};
        return;
      }
      const int bomb = ItemSlotOfKind(8, true);
      if (bomb >= 0) {
        battle_plan_ = {{12, 1}, {7, bomb}};
        return;
      }
    }
    battle_plan_ = {{12, 0}};
  }

  // ---- field healing and saving
  bool MaybeHeal(std::uint32_t now) {
    if (now < next_heal_try_) return false;
    if (Player.hp * 2 >= Player.mhp) return false;
    next_heal_try_ = now + 5000;
    const int s = HealStrength();
    if (s >= 0) {
      StartPlan({{1, 1}, {8, 0}, {16, s}}, nullptr, now);
      return true;
    }
    if (Player.hp * 3 < Player.mhp) {
      const int slot = HealingItemSlot(false);
      if (slot >= 0) {
        StartPlan({{1, 0}, {7, slot}, {7, slot}}, nullptr, now);
        return true;
      }
    }
    const int water = ItemSlotOfKind(2, false);
    if (water >= 0 && ItemTable(Player.items(water)).NoField == 0) {
      StartPlan({{1, 0}, {7, water}, {7, water}}, nullptr, now);
      return true;
    }
    return false;
  }

  // Seeds and nuts are eaten at once; a full bag loses its cheapest spare.
  bool Tidy(std::uint32_t now) {
    if (now < next_tidy_try_) return false;
    next_tidy_try_ = now + 2000;
    int free_slots = 0, cheapest = -1;
    long cheapest_price = 0;
    std::map<int, int> seen;
    for (int s = 0; s <= 14; ++s) {
      const int id = Player.items(s);
      if (id == 0) {
        ++free_slots;
        continue;
      }
      const ItemRecord& it = ItemTable(id);
      if (it.Kind >= 3 && it.Kind <= 7) {
        StartPlan({{1, 0}, {7, s}, {7, s}}, nullptr, now);
        return true;
      }
      ++seen[id];
      const auto keep = keep_.find(id);
      const bool spare = it.Kind != 0 && (keep == keep_.end() || seen[id] > keep->second);
      if (spare && (cheapest < 0 || it.Price < cheapest_price)) {
        cheapest = s;
        cheapest_price = it.Price;
      }
    }
    if (free_slots == 0 && cheapest >= 0) {
      StartPlan({{1, 0}, {7, cheapest}, {7, 15}}, nullptr, now);
      return true;
    }
    return false;
  }

  // ---- the route
  // A guard is a harness condition, or "careful" / "novice": which pilot plays the goal.
  bool Holds(const std::string& c) const {
    if (c == "novice") return novice_;
    if (c == "careful") return !novice_;
    bool fine = true;
    return EvalCondition(c, &fine);
  }

  bool GuardsAllow(const Goal& g) const {
    for (const std::string& c : g.when) {
      if (!Holds(c)) return false;
    }
    if (g.unless.empty()) return true;
    bool all = true;
    for (const std::string& c : g.unless) all = all && Holds(c);
    return !all;
  }

  void Advance(std::uint32_t now) {
    if (trace_) {
      std::printf("autopilot: %s    done: %s (%s %d,%d lv %d hp %d/%d mp %d gold %d)\n", Clock(now).c_str(),
                  goals_[idx_].text.c_str(), MapName.c_str(), Player.x, Player.y, Player.lv, Player.hp, Player.mhp,
                  Player.mp, static_cast<int>(Player.gold));
    }
    ++idx_;
    last_progress_ = now;
    path_.clear();
    action_sent_ = false;
  }

  void Pursue(std::uint32_t now) {
    atlas_.IndexExits();
    const Goal& g = goals_[idx_];
    if (!GuardsAllow(g)) {
      Advance(now);
      return;
    }
    switch (g.kind) {
      case GoalKind::kChapter:
        EnterChapter(g.name, now);
        Advance(now);
        return;
      case GoalKind::kKeep:
        keep_[g.x] = g.y;
        Advance(now);
        return;
      case GoalKind::kBoss: {
        // Before a boss: hit points and magic topped up, as a careful player would.
        const int water = ItemSlotOfKind(2, false);
        if (Player.mp * 2 < Player.mmp && water >= 0 && ItemTable(Player.items(water)).NoField == 0) {
          StartPlan({{1, 0}, {7, water}, {7, water}}, nullptr, now);
          return;
        }
        const int s = HealStrength();
        if (Player.hp * 5 < Player.mhp * 4 && s >= 0) {
          StartPlan({{1, 1}, {8, 0}, {16, s}}, nullptr, now);
          return;
        }
        bosses_.push_back(g.x);
        ArrivalAtBoss(g, now);
        Advance(now);
        return;
      }
      case GoalKind::kExpect: {
        for (const std::string& c : g.conds) {
          bool ok = true;
          if (!EvalCondition(c, &ok)) {
            Fail(now, "expected " + c);
            return;
          }
        }
        Advance(now);
        return;
      }
      case GoalKind::kSave:
        StartPlan({{1, 3}, {2, 0}, {4, 0}, {3, 0}},
                  [this](std::uint32_t t) {
                    have_save_ = true;
                    save_idx_ = idx_ + 1;
                    save_chapter_ = current_;
                    save_keep_ = keep_;
                    save_bosses_ = bosses_;
                    save_beaten_ = beaten_;
                    Advance(t);
                  },
                  now);
        return;
      case GoalKind::kGrind:
        if (novice_) {
          Advance(now);  // a newcomer does not know he should grow first: he walks on
          return;
        }
        Grind(g, now);
        return;
      case GoalKind::kHint:
        hints_[g.x] = g.y;
        Advance(now);
        return;
      case GoalKind::kInn:
        inn_ = g;
        inn_.kind = GoalKind::kTouch;
        has_inn_ = true;
        Advance(now);
        return;
      case GoalKind::kGate:
        gates_.push_back(g);
        Advance(now);
        return;
      case GoalKind::kEnd:
        // The final battle and the ending run from the last talk; the title after the staff
        // roll ends the route (Decide).
        return;
      case GoalKind::kGo:
      case GoalKind::kTouch:
      case GoalKind::kTalk:
        if (Travel(g, now)) Advance(now);
        return;
    }
  }

  // Fights about a cell until the level is reached; rests at the inn when worn out.
  void Grind(const Goal& g, std::uint32_t now) {
    if (Player.lv >= g.x) {
      resting_ = false;
      Advance(now);
      return;
    }
    if (resting_) {
      if (Travel(inn_, now)) {
        resting_ = false;
        path_.clear();
        action_sent_ = false;
      }
      return;
    }
    const int heal_cost = MagicTable(0).Cost * 2;
    const bool worn = (Player.hp * 3 < Player.mhp && HealStrength() < 0 && HealingItemSlot(false) < 0) ||
                      (Player.mp < heal_cost && Player.hp * 2 < Player.mhp);
    if (worn && has_inn_) {
      resting_ = true;
      path_.clear();
      action_sent_ = false;
      return;
    }
    const int here = atlas_.Id(MapName);
    if (!g.map.empty() && (MapName != g.map || std::abs(Player.x - g.x2) + std::abs(Player.y - g.y2) > 3)) {
      Goal spot;
      spot.kind = GoalKind::kGo;
      spot.map = g.map;
      spot.x = g.x2;
      spot.y = g.y2;
      spot.text = g.text;
      if (Travel(spot, now)) path_.clear();
      return;
    }
    // Back and forth between two free cells.
    const MapInfo& m = atlas_.map(here);
    for (int d = 0; d < 4; ++d) {
      const int dir = (grind_dir_ + d) % 4;
      if (Free(here, Player.x + kDx[dir], Player.y + kDy[dir]) &&
          m.exits.count((Player.x + kDx[dir]) * 256 + Player.y + kDy[dir]) == 0) {
        grind_dir_ = dir ^ 1;  // the way back next time
        HoldWalk(dir);
        return;
      }
    }
    Fail(now, "grind: no room to walk");
  }

  // ---- walking
  bool Free(int m, int x, int y) const {
    const MapInfo& info = atlas_.map(m);
    if (x < 0 || y < 0 || x >= info.w || y >= info.h) return false;
    const bool here = info.name == MapName;
    MapCell c = here ? MapData(x, y) : info.cells[static_cast<size_t>(x) * info.h + static_cast<size_t>(y)];
    if ((c.attr & kAttrBlocked) != 0) {
      const bool rock = (c.tile == 95 || c.tile == 111) && CountItem(kDrill) > 0;
      // The mended bridge is laid again whenever the map is loaded with the board carried.
      const bool bridge = !here && info.name == "cavity" && x == 24 && y == 18 && Flag(304) != 0 &&
                          CountItem(kBoard) > 0;
      if (!rock && !bridge) return false;
    }
    if (here) {
      for (int k = 0; k < CharCount; ++k) {
        if (Chars(k).x == x && Chars(k).y == y && !StepsAside(info.name, Chars(k).talk)) return false;
      }
    } else {
      for (const Person& p : info.people) {
        if (p.walks == 0 && p.x == x && p.y == y && !StepsAside(info.name, p.talk)) return false;
      }
    }
    return true;
  }

  // A person who lets the hero by when he speaks to him (the route's `gate`).
  bool StepsAside(const std::string& map, int talk) const {
    for (const Goal& g : gates_) {
      if (g.map == map && g.x == talk && Flag(g.y) != 0) return true;
    }
    return false;
  }

  // Breadth first over every map: a step into an exit's cell lands on its target.
  // Fills path_ with the cells to stand on, from here to the first one `goal` accepts.
  template <class Accept>
  bool Plan(Accept goal) {
    const int maps = atlas_.count();
    const size_t cells = static_cast<size_t>(maps) * 65536;
    if (prev_.size() < cells) {
      prev_.assign(cells, -1);
      seen_.assign(cells, 0);
    }
    ++stamp_;
    auto index = [](const Node& n) { return static_cast<long>(n.m) * 65536 + n.x * 256 + n.y; };
    const int here = atlas_.Id(MapName);
    const Node start{here, Player.x, Player.y};
    std::deque<Node> queue{start};
    seen_[static_cast<size_t>(index(start))] = stamp_;
    prev_[static_cast<size_t>(index(start))] = -1;
    while (!queue.empty()) {
      const Node n = queue.front();
      queue.pop_front();
      if (goal(n)) {
        path_.clear();
        for (long at = index(n); at >= 0; at = prev_[static_cast<size_t>(at)]) {
          path_.push_back(Node{static_cast<int>(at / 65536), static_cast<int>(at / 256 % 256),
                               static_cast<int>(at % 256)});
        }
        std::reverse(path_.begin(), path_.end());
        return true;
      }
      const MapInfo& info = atlas_.map(n.m);
      for (int d = 0; d < 4; ++d) {
        const int nx = n.x + kDx[d], ny = n.y + kDy[d];
        Node next{n.m, nx, ny};
        auto exit = info.exits.find(nx * 256 + ny);
        if (exit != info.exits.end() && n.m == here && PersonAt(nx, ny)) continue;  // someone in the door
        if (exit != info.exits.end()) {
          next = Node{exit->second.to, exit->second.x, exit->second.y};
          if (next.x < 0 || next.x > 255 || next.y < 0 || next.y > 255) continue;
        } else if (!Free(n.m, nx, ny)) {
          continue;
        }
        const long i = index(next);
        if (seen_[static_cast<size_t>(i)] == stamp_) continue;
        seen_[static_cast<size_t>(i)] = stamp_;
        prev_[static_cast<size_t>(i)] = index(n);
        queue.push_back(next);
      }
    }
    path_.clear();
    return false;
  }

  bool PersonAt(int x, int y) const {
    for (int k = 0; k < CharCount; ++k) {
      if (Chars(k).x == x && Chars(k).y == y) return true;
    }
    return false;
  }

  // The person with talk number n on the current map, or -1.
  int PersonHere(int talk) const {
    for (int k = 0; k < CharCount; ++k) {
      if (Chars(k).talk == talk) return k;
    }
    return -1;
  }

  // Walks toward the goal's cell or person; true once it is reached (and touched or talked to).
  bool Travel(const Goal& g, std::uint32_t now) {
    const int here = atlas_.Id(MapName);
    const int target_map = atlas_.Id(g.map);
    // Where the thing is, and whether the hero walks onto it or turns to it.
    int tx = g.x, ty = g.y;
    bool adjacent = false;
    if (g.kind == GoalKind::kTalk) {
      adjacent = true;
      bool found = false;
      if (here == target_map) {
        const int k = PersonHere(g.x);
        if (k >= 0) {
          tx = Chars(k).x;
          ty = Chars(k).y;
          found = true;
        }
      } else {
        for (const Person& p : atlas_.map(target_map).people) {
          if (p.talk == g.x) {
            tx = p.x;
            ty = p.y;
            found = true;
            break;
          }
        }
      }
      if (!found) {
        Fail(now, "talk: nobody with talk number " + std::to_string(g.x) + " on " + g.map);
        return false;
      }
    } else if (g.kind == GoalKind::kTouch) {
      adjacent = !Free(target_map, tx, ty) || atlas_.map(target_map).exits.count(tx * 256 + ty) != 0;
    }
    // Arrived?
    if (here == target_map) {
      if (!adjacent && Player.x == tx && Player.y == ty) {
        ReleaseWalk();
        return true;
      }
      const int dist = std::abs(Player.x - tx) + std::abs(Player.y - ty);
      if (adjacent && dist == 1) {
        ReleaseWalk();
        if (action_sent_) return true;
        int dir = 0;
        for (int d = 0; d < 4; ++d) {
          if (Player.x + kDx[d] == tx && Player.y + kDy[d] == ty) dir = d;
        }
        if (g.kind == GoalKind::kTalk) {
          if (Player.dir != dir) {
            Press(kDirAction[dir], now);  // turns to the person (a person is never walked into)
          } else {
            Press(Action::kChoose, now);
            action_sent_ = true;
          }
        } else {
          Press(kDirAction[dir], now);  // walks against it or onto it
          action_sent_ = true;
        }
        return false;
      }
    }
    if (action_sent_ && g.kind == GoalKind::kTouch) {
      // The touch moved the hero (an exit, a fight that ended elsewhere): done.
      return true;
    }
    // Follow the path; plan again when off it or when someone stands in the way.
    const Node me{here, Player.x, Player.y};
    size_t at = path_.size();
    for (size_t i = 0; i < path_.size(); ++i) {
      if (path_[i] == me) at = i;
    }
    bool stale = at >= path_.size() || at + 1 >= path_.size() || planned_target_ != Node{target_map, tx, ty};
    if (!stale) {
      const int d = StepToward(path_[at + 1]);
      stale = d < 0 || (PersonAt(Player.x + kDx[d], Player.y + kDy[d]) && !Free(here, Player.x + kDx[d], Player.y + kDy[d]));
    }
    if (stale) {
      if (now < next_plan_try_) return false;
      planned_target_ = Node{target_map, tx, ty};
      const bool ok = Plan([&](const Node& n) {
        if (n.m != target_map) return false;
        return adjacent ? std::abs(n.x - tx) + std::abs(n.y - ty) == 1 : n.x == tx && n.y == ty;
      });
      if (!ok) {
        ReleaseWalk();
        // Someone may be standing in the way (or shut in by the hero): step aside now and
        // then, and give up after a while.
        if (no_path_since_ == 0) no_path_since_ = now;
        next_plan_try_ = now + 500;
        if (now - no_path_since_ > 30000) {
          Fail(now, "no way to " + g.text);
          return false;
        }
        const int d = static_cast<int>((now / 1000) % 4);
        if ((now / 500) % 4 == 0 && Free(here, Player.x + kDx[d], Player.y + kDy[d]) &&
            atlas_.map(here).exits.count((Player.x + kDx[d]) * 256 + Player.y + kDy[d]) == 0) {
          Press(kDirAction[d], now);
        }
        return false;
      }
      no_path_since_ = 0;
      if (trace_) {
        std::string maps;
        for (size_t i = 0; i < path_.size(); ++i) {
          if (i == 0 || path_[i].m != path_[i - 1].m) {
            maps += " " + atlas_.map(path_[i].m).name + "(" + std::to_string(path_[i].x) + "," +
                    std::to_string(path_[i].y) + ")";
          }
        }
        std::printf("autopilot: %s      path of %zu cells:%s\n", Clock(now).c_str(), path_.size(), maps.c_str());
      }
      at = 0;
      if (path_.size() < 2) return false;
    }
    const int dir = StepToward(path_[at + 1]);
    if (dir < 0) {
      path_.clear();
      return false;
    }
    for (int k = 0; k < CharCount; ++k) {
      if (Chars(k).x == Player.x + kDx[dir] && Chars(k).y == Player.y + kDy[dir]) {
        // Someone who stands aside when spoken to.
        ReleaseWalk();
        Press(Player.dir == dir ? Action::kChoose : kDirAction[dir], now);
        return false;
      }
    }
    HoldWalk(dir);
    return false;
  }

  // The facing that takes the hero from his cell to `next`: a neighbour, or the landing
  // of the exit beside him. -1 when neither.
  int StepToward(const Node& next) {
    const int here = atlas_.Id(MapName);
    const MapInfo& info = atlas_.map(here);
    for (int d = 0; d < 4; ++d) {
      const int x = Player.x + kDx[d], y = Player.y + kDy[d];
      auto e = info.exits.find(x * 256 + y);
      if (e != info.exits.end()) {
        if (e->second.to == next.m && e->second.x == next.x && e->second.y == next.y) return d;
      } else if (next.m == here && next.x == x && next.y == y) {
        return d;
      }
    }
    return -1;
  }

  // ---- deaths and reloads
  void Reloaded(std::uint32_t now) {
    died_ = false;
    ++Current().reloads;
    ++total_.reloads;
    if (have_save_) {
      idx_ = save_idx_;
      keep_ = save_keep_;
      bosses_ = save_bosses_;
      beaten_ = save_beaten_;  // what was won after the save is undone by the load
    } else {
      idx_ = 0;
      keep_.clear();
      bosses_.clear();
      beaten_.clear();
    }
    // The play goes back to the chapter the save was made in (none: before the first).
    if (current_ != save_chapter_) {
      LeaveChapter(now, false);
      if (save_chapter_ >= 0) Resume(static_cast<size_t>(save_chapter_), now);
    }
    path_.clear();
    action_sent_ = false;
    last_progress_ = now;
    std::printf("autopilot: %s  %s, back to: %s\n", Clock(now).c_str(), have_save_ ? "loaded the save" : "a new game",
                idx_ < goals_.size() ? goals_[idx_].text.c_str() : "the end");
  }

  // ---- the report
  void ArrivalAtBoss(const Goal& g, std::uint32_t now) {
    std::string items;
    for (int id : kKeyItems) {
      if (CountItem(id) > 0) items += " " + ItemTable(id).Name;
    }
    std::printf("autopilot: %s  at the boss %s (enemy %d): level %d, HP %d/%d, MP %d/%d, gold %d, key items:%s\n",
                Clock(now).c_str(), g.name.c_str(), g.x, Player.lv, Player.hp, Player.mhp, Player.mp, Player.mmp,
                static_cast<int>(Player.gold), items.empty() ? " none" : items.c_str());
    boss_lines_.push_back(g.name + " lv " + std::to_string(Player.lv));
  }

  int Level() const { return seen_staff_ ? final_level_ : Player.lv; }

  // The counts go to the chapter under way; before the first one, nowhere in particular.
  Tally& Current() { return current_ >= 0 ? chapters_[static_cast<size_t>(current_)] : loose_; }

  // A chapter goal: a new chapter, or (played again after a reload) the same one again.
  void EnterChapter(const std::string& name, std::uint32_t now) {
    if (current_ >= 0 && chapters_[static_cast<size_t>(current_)].name == name) return;
    LeaveChapter(now, true);
    size_t at = 0;
    while (at < chapters_.size() && chapters_[at].name != name) ++at;
    if (at == chapters_.size()) {
      chapters_.push_back(Tally{});
      chapters_.back().name = name;
      chapters_.back().arrival_level = Player.lv;
    }
    Resume(at, now);
    std::printf("autopilot: %s  chapter %s\n", Clock(now).c_str(), name.c_str());
  }

  void Resume(size_t chapter, std::uint32_t now) {
    current_ = static_cast<int>(chapter);
    chapters_[chapter].game_start = now;
    chapters_[chapter].wall_start = WallSeconds();
  }

  void LeaveChapter(std::uint32_t now, bool report) {
    if (current_ < 0) return;
    Tally& t = chapters_[static_cast<size_t>(current_)];
    t.game_ms += now - t.game_start;
    t.wall_s += WallSeconds() - t.wall_start;
    t.level = Level();
    current_ = -1;
    if (report) std::printf("autopilot: %s  end of chapter: %s\n", Clock(now).c_str(), ChapterLine(t).c_str());
  }

  static std::string ChapterLine(const Tally& t) {
    char line[512];
    std::snprintf(line, sizeof line,
                  "%-24s game %s  wall %6.1f s  steps %5ld  battles %3ld (won %3ld, ran %2ld)  deaths %ld  reloads %ld  "
                  "level %d",
                  t.name.c_str(), Clock(t.game_ms).c_str(), t.wall_s, t.steps, t.battles, t.won, t.ran, t.deaths,
                  t.reloads, t.level);
    return line;
  }

  void PrintSummary(std::uint32_t now) {
    std::printf("autopilot: report (%s)\n", route_name_.c_str());
    for (const Tally& t : chapters_) std::printf("autopilot:   %s\n", ChapterLine(t).c_str());
    std::printf(
        "autopilot:   total: game %s  wall %.1f s  steps %ld  battles %ld (won %ld, ran %ld)  deaths %ld  reloads %ld  "
        "level %d  gold %d\n",
        Clock(now).c_str(), WallSeconds(), total_.steps, total_.battles, total_.won, total_.ran, total_.deaths,
        total_.reloads, Level(), seen_staff_ ? final_gold_ : static_cast<int>(Player.gold));
    std::printf("autopilot:   grinding: game %s (%.0f %% of the play)\n", Clock(grind_ms_).c_str(),
                now > 0 ? 100.0 * grind_ms_ / now : 0.0);
    if (novice_) NoviceReport();
    std::string beaten;
    for (int e : beaten_) beaten += " " + std::to_string(e);
    std::printf("autopilot:   bosses beaten:%s\n", beaten.empty() ? " none" : beaten.c_str());
    std::fflush(stdout);
  }

  void Finish(std::uint32_t now) {
    LeaveChapter(now, true);
    std::printf("autopilot: %s  the route is played to its end%s\n", Clock(now).c_str(),
                seen_staff_ ? ": the staff roll was shown and the title is back" : "");
    PrintSummary(now);
    Stop();
  }

  void Fail(std::uint32_t now, const std::string& why) {
    const std::string goal = idx_ < goals_.size() ? route_name_ + ":" + std::to_string(goals_[idx_].line) + ": " +
                                                        goals_[idx_].text
                                                  : "the end";
    std::printf("autopilot: %s  STUCK: %s; map %s, cell (%d, %d), goal %s\n", Clock(now).c_str(), why.c_str(),
                MapName.c_str(), Player.x, Player.y, goal.c_str());
    platform::Surface frame;
    ComposeScreen(&frame);
    std::string error;
    const std::string shot = "autopilot-stuck.png";
    if (platform::SavePng(frame, shot, &error)) std::printf("autopilot:   the screen: %s\n", shot.c_str());
    std::ofstream("autopilot-stuck.json") << DumpState() << "\n";
    LeaveChapter(now, true);
    PrintSummary(now);
    status_ = 1;
    Stop();
  }

  void Stop() {
    ReleaseWalk();
    if (pressed_.key != 0) InjectBinding(pressed_, false);
    pressed_ = KeyInput{};
    done_ = true;
    GameRunning = false;
  }

  // ---- the novice: a newcomer's battles and his report
  // The largest plain blow of the enemy at the hero (the top of the damage roll).
  double EnemyWorstBlow() const {
    const double a = Enemy.stats.ap, d = std::max<double>(1, Player.dp);
    return std::max(1.0, ((a / d) / 5 + 0.5) * a - d / 5);
  }

  // Heals when the next blows could fell him; runs from an ordinary battle he cannot heal
  // in; casts the spell people told him about against that enemy; otherwise fights with
  // the sword. Bosses as the careful player fights them.
  void NovicePlanTurn() {
    const bool boss = IsBoss(EnemyId);
    const double worst = EnemyWorstBlow();
    const bool danger = Player.hp < worst * 1.5 || Player.hp * 3 < Player.mhp || (boss && Player.hp * 2 < Player.mhp);
    if (danger) {
      if (PlanRescue(boss)) return;
    }
    const auto hint = hints_.find(EnemyId);
    if (!boss && hint != hints_.end()) {
      const int cost = MagicTable(hint->second).Cost;
      const int reserve = MagicTable(0).Cost * 2;
      if (Player.mp >= cost * 2 && Player.mp - cost * 2 >= reserve) {
        battle_plan_ = {{12, 2}, {13, hint->second}, {16, 0}};
        return;
      }
    }
    if (boss) {
      CarefulPlanTurn();  // bosses as the careful player fights them
      return;
    }
    battle_plan_ = {{12, 0}};
  }

  void NoviceReport() const {
    for (const Tally& t : chapters_) {
      std::string falls;
      for (const std::string& f : t.falls) falls += (falls.empty() ? " at: " : "; ") + f;
      std::printf("autopilot:   novice %-24s arrived at level %2d  battles %3ld  game overs %ld%s\n", t.name.c_str(),
                  t.arrival_level, t.battles, t.deaths, falls.c_str());
    }
  }

  // How long a page of a message is read before it is answered.
  static constexpr std::uint32_t kReadMs = 1500;
  static constexpr std::uint32_t kBattleReadMs = 300;
  // Money left for the inn whatever the shopping list says.
  static constexpr long kGoldReserve = 120;
  static constexpr std::uint32_t kStuckMs = 30 * 60 * 1000;
  static constexpr std::uint32_t kMaxGameMs = 10u * 3600 * 1000;

  std::vector<Goal> goals_;
  std::string route_name_;
  bool novice_ = false;
  std::map<int, int> hints_;  // enemy -> the spell people said beats it
  std::uint32_t grind_ms_ = 0, last_tick_ = 0;
  size_t idx_ = 0;
  Atlas atlas_;
  std::vector<Node> path_;
  Node planned_target_{-1, 0, 0};
  std::vector<long> prev_;
  std::vector<std::uint32_t> seen_;
  std::uint32_t stamp_ = 0;
  std::uint32_t no_path_since_ = 0;
  std::uint32_t next_plan_try_ = 0;
  bool action_sent_ = false;
  int grind_dir_ = 0;
  Goal inn_;
  bool has_inn_ = false;
  bool resting_ = false;
  std::vector<Goal> gates_;

  KeyInput pressed_;
  KeyInput walk_key_;
  std::uint32_t release_at_ = 0;
  std::uint32_t cooldown_until_ = 0;
  std::uint32_t next_heal_try_ = 0;
  std::uint32_t prompt_since_ = 0;
  std::uint32_t next_tidy_try_ = 0;
  std::uint32_t last_progress_ = 0;

  std::vector<MenuStep> menu_plan_;
  size_t plan_pos_ = 0;
  bool menu_plan_active_ = false;
  std::function<void(std::uint32_t)> after_plan_;
  std::vector<MenuStep> battle_plan_;
  size_t battle_pos_ = 0;

  std::map<int, int> keep_;
  std::vector<int> bosses_;
  bool have_save_ = false;
  size_t save_idx_ = 0;
  std::map<int, int> save_keep_;
  std::vector<int> save_bosses_;
  std::vector<int> save_beaten_;

  bool was_in_battle_ = false;
  int battle_enemy_ = 0;
  bool died_ = false;
  bool seen_staff_ = false;
  int final_level_ = 0, final_gold_ = 0;
  std::string last_map_;
  int last_x_ = 0, last_y_ = 0;
  int last_level_ = 0;
  std::vector<Tally> chapters_;  // in the order they were first played
  int current_ = -1;             // the one under way
  int save_chapter_ = -1;        // the one the save was made in
  Tally loose_, total_;
  std::vector<std::string> boss_lines_;
  std::vector<int> beaten_;

  bool done_ = false;
  bool busy_ = false;
  int status_ = 0;
  // ARDO_AUTOPILOT_TRACE=1 in the environment: a line for every goal reached.
  const bool trace_ = std::getenv("ARDO_AUTOPILOT_TRACE") != nullptr;
};

}  // namespace

std::unique_ptr<Autopilot> LoadAutopilot(const std::string& route_path, std::string* error, bool novice) {
  std::string text, why;
  if (ReadGameFile(route_path, &text, &why) != FileStatus::kOk) {
    *error = route_path + ": cannot read the route" + (why.empty() ? "" : " (" + why + ")") + "\n";
    return nullptr;
  }
  std::vector<Goal> goals;
  if (!ParseRoute(text, route_path, &goals, error)) return nullptr;
  return std::make_unique<Pilot>(std::move(goals), route_path, novice);
}

}  // namespace ardo
