// The autopilot. At every event point it looks at the game as a player would and
// decides which key to hold: the walking keys to follow a path found over the map cells
// and the exits, the choose key to answer messages, talk and choose, the cancel key to
// open the menu and to cancel (whatever keys the player's settings bind them to). It
// never writes the game's state; the route (autopilot/route.txt) says where to go, the
// atlas finds the way there (atlas.h), the tactics fight the battles (tactics.h) and the
// logbook keeps what was played for the report (logbook.h).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <vector>

#include "battle/battle.h"
#include "core/bindings.h"
#include "drivers/atlas.h"
#include "drivers/drivers.h"
#include "drivers/logbook.h"
#include "drivers/route.h"
#include "drivers/tactics.h"
#include "events/events.h"
#include "events/story.h"
#include "field/field.h"
#include "game/program.h"
#include "items/items.h"
#include "presentation/presentation.h"
#include "ui/ui.h"

namespace ardo::autopilot {

namespace {

namespace vk = platform::vk;

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

// The key items the report lists on arrival at a boss.
constexpr int kKeyItems[] = {story::kWallet,    story::kWalletReward, story::kDrill,       story::kMoonSword,
                             story::kGuardGift, story::kFlowerHat,    story::kPhoenixRobe, story::kCuttingBoard};

// The field menu's plans: 回復 of a strength, an item used from its slot, and a save.
MenuPlan HealSpell(int strength) {
  return {{win::kFieldMenu, row::kMagic}, {win::kFieldSpells, row::kHeal}, {win::kHealStrength, strength}};
}
MenuPlan UseItem(int slot) { return {{win::kFieldMenu, row::kItems}, {win::kItems, slot}, {win::kItems, slot}}; }
MenuPlan SaveInFirstSlot() {
  return {{win::kFieldMenu, row::kSystem}, {win::kSystem, row::kSave}, {win::kSaveSlots, 0}, {win::kYesNo, row::kYes}};
}

// ---------------------------------------------------------------------------
// The pilot.

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
    // The world is learnt as soon as the game has read its exits (at the title), not when
    // the route first walks: what the hero's game allocates later is then the game's own.
    if (atlas_.IndexExits()) paths_.Reserve(atlas_);
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
      log_.AddGrinding(now - last_tick_);
    }
    last_tick_ = now;
    if (InBattle && !was_in_battle_) {
      log_.Add(&Tally::battles);
      battle_enemy_ = EnemyId;
      ReleaseWalk();
    }
    // A lost battle sends the game back to the title before the battle is over.
    if (InBattle && !died_ && (ReturnToTitle || MessageShown().find(WordStem(Say::kDied)) != std::string::npos)) {
      log_.Add(&Tally::deaths);
      died_ = true;
      std::printf("autopilot: %s  the hero fell to %s (enemy %d) on %s (%d, %d), level %d, area %d\n",
                  Clock(now).c_str(), Enemy.name.c_str(), battle_enemy_, MapName.c_str(), Player.x, Player.y,
                  Player.lv, static_cast<int>(Flags(story::kAreaByte)));
      log_.Fell(MapName + " area " + std::to_string(Flags(story::kAreaByte)) + " (" +
                                std::to_string(Player.x) + ", " + std::to_string(Player.y) + ") " + Enemy.name +
                                " lv " + std::to_string(Player.lv));
    }
    if (!InBattle && was_in_battle_) {
      if (died_) {
        // counted above
      } else if (Enemy.stats.hp <= 0) {
        log_.Add(&Tally::won);
        if (IsBoss(battle_enemy_)) {
          beaten_.push_back(battle_enemy_);
          std::printf("autopilot: %s  beat %s (enemy %d): level %d, HP %d/%d, MP %d/%d\n", Clock(now).c_str(),
                      Enemy.name.c_str(), battle_enemy_, Player.lv, Player.hp, Player.mhp, Player.mp, Player.mmp);
        }
      } else {
        log_.Add(&Tally::ran);
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
      log_.TheEnd(Player.lv, static_cast<int>(Player.gold));
    }
    if (MapName != last_map_ || Player.x != last_x_ || Player.y != last_y_) {
      if (MapName == last_map_ && std::abs(Player.x - last_x_) + std::abs(Player.y - last_y_) == 1) {
        log_.Add(&Tally::steps);
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
    if (focus.window == win::kTitleMenu) {
      Choose(focus, have_save_ ? row::kContinue : row::kNewGame, now);
    } else if (focus.window == win::kSaveSlots) {
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
    if (focus.window == win::kYesNo) {
      // Yes, except to quitting.
      Choose(focus, MessageShown().find(WordStem(Say::kQuitAsk)) != std::string::npos ? row::kNo : row::kYes, now);
      return;
    }
    if (focus.window == win::kShop) {
      ShopMenu(focus, now);
      return;
    }
    Press(Action::kCancel, now);
  }

  // Buys what the standing orders miss, cheapest need first; then leaves.
  void ShopMenu(const MenuFocus& focus, std::uint32_t now) {
    const int count = Windows(win::kShop).Count;
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

  void StartPlan(MenuPlan plan, std::function<void(std::uint32_t)> after, std::uint32_t now) {
    menu_plan_ = std::move(plan);
    plan_pos_ = 0;
    menu_plan_active_ = true;
    after_plan_ = std::move(after);
    Press(Action::kCancel, now);  // opens the field menu
  }

  // ---- battle
  bool IsBoss(int enemy) const { return std::find(bosses_.begin(), bosses_.end(), enemy) != bosses_.end(); }

  void BattleMenu(const MenuFocus& focus, std::uint32_t now) {
    if (focus.window == win::kBattleCommands && battle_pos_ >= battle_plan_.size()) {
      battle_plan_ = PlanTurn(novice_, IsBoss(EnemyId), keep_, hints_);
      battle_pos_ = 0;
    }
    if (battle_pos_ < battle_plan_.size() && battle_plan_[battle_pos_].window == focus.window) {
      if (Choose(focus, battle_plan_[battle_pos_].row, now)) ++battle_pos_;
      return;
    }
    if (focus.window == win::kBattleCommands) {
      battle_plan_.clear();
      battle_pos_ = 0;
      Choose(focus, row::kFight, now);
      return;
    }
    Press(Action::kCancel, now);
  }

  // ---- field healing and saving
  bool MaybeHeal(std::uint32_t now) {
    if (now < next_heal_try_) return false;
    if (Player.hp * 2 >= Player.mhp) return false;
    next_heal_try_ = now + 5000;
    const int s = HealStrength();
    if (s >= 0) {
      StartPlan(HealSpell(s), nullptr, now);
      return true;
    }
    if (Player.hp * 3 < Player.mhp) {
      const int slot = HealingItemSlot(false, keep_);
      if (slot >= 0) {
        StartPlan(UseItem(slot), nullptr, now);
        return true;
      }
    }
    const int water = ItemSlotOfKind(kMagicWaterKind, false);
    if (water >= 0 && ItemTable(Player.items(water)).NoField == 0) {
      StartPlan(UseItem(water), nullptr, now);
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
      if (it.Kind >= kFirstGrowthKind && it.Kind <= kLastGrowthKind) {
        StartPlan(UseItem(s), nullptr, now);
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
      StartPlan({{win::kFieldMenu, row::kItems}, {win::kItems, cheapest}, {win::kItems, row::kTrash}}, nullptr, now);
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
    const Goal& g = goals_[idx_];
    if (!GuardsAllow(g)) {
      Advance(now);
      return;
    }
    switch (g.kind) {
      case GoalKind::kChapter:
        log_.EnterChapter(g.name, now);
        Advance(now);
        return;
      case GoalKind::kKeep:
        keep_[g.x] = g.y;
        Advance(now);
        return;
      case GoalKind::kBoss: {
        // Before a boss: hit points and magic topped up, as a careful player would.
        const int water = ItemSlotOfKind(kMagicWaterKind, false);
        if (Player.mp * 2 < Player.mmp && water >= 0 && ItemTable(Player.items(water)).NoField == 0) {
          StartPlan(UseItem(water), nullptr, now);
          return;
        }
        const int s = HealStrength();
        if (Player.hp * 5 < Player.mhp * 4 && s >= 0) {
          StartPlan(HealSpell(s), nullptr, now);
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
        StartPlan(SaveInFirstSlot(),
                  [this](std::uint32_t t) {
                    have_save_ = true;
                    save_idx_ = idx_ + 1;
                    save_chapter_ = log_.chapter();
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
        atlas_.AddGate(g.map, g.x, g.y);
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
    const bool worn = (Player.hp * 3 < Player.mhp && HealStrength() < 0 && HealingItemSlot(false, keep_) < 0) ||
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
      const int x = Player.x + kDx[dir], y = Player.y + kDy[dir];
      if (atlas_.Free(here, x, y) && !m.IsExit(x, y)) {
        grind_dir_ = dir ^ 1;  // the way back next time
        HoldWalk(dir);
        return;
      }
    }
    Fail(now, "grind: no room to walk");
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
      adjacent = !atlas_.Free(target_map, tx, ty) || atlas_.map(target_map).IsExit(tx, ty);
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
      const int d = StepToward(atlas_, here, path_[at + 1]);
      stale = d < 0 || (PersonAt(Player.x + kDx[d], Player.y + kDy[d]) &&
                        !atlas_.Free(here, Player.x + kDx[d], Player.y + kDy[d]));
    }
    if (stale) {
      if (now < next_plan_try_) return false;
      planned_target_ = Node{target_map, tx, ty};
      const auto there = [&](const Node& n) {
        if (n.m != target_map) return false;
        return adjacent ? std::abs(n.x - tx) + std::abs(n.y - ty) == 1 : n.x == tx && n.y == ty;
      };
      const bool ok = paths_.Find(atlas_, there, &path_);
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
        if ((now / 500) % 4 == 0 && atlas_.Free(here, Player.x + kDx[d], Player.y + kDy[d]) &&
            !atlas_.map(here).IsExit(Player.x + kDx[d], Player.y + kDy[d])) {
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
    const int dir = StepToward(atlas_, here, path_[at + 1]);
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

  // ---- deaths and reloads
  void Reloaded(std::uint32_t now) {
    died_ = false;
    log_.Add(&Tally::reloads);
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
    log_.ReturnTo(save_chapter_, now);
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
  }

  void Finish(std::uint32_t now) {
    log_.LeaveChapter(now, true);
    std::printf("autopilot: %s  the route is played to its end%s\n", Clock(now).c_str(),
                seen_staff_ ? ": the staff roll was shown and the title is back" : "");
    log_.PrintSummary(now, route_name_, novice_, beaten_);
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
    log_.LeaveChapter(now, true);
    log_.PrintSummary(now, route_name_, novice_, beaten_);
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
  std::uint32_t last_tick_ = 0;
  size_t idx_ = 0;
  Atlas atlas_;
  std::vector<Node> path_;
  Node planned_target_{-1, 0, 0};
  PathFinder paths_;
  std::uint32_t no_path_since_ = 0;
  std::uint32_t next_plan_try_ = 0;
  bool action_sent_ = false;
  int grind_dir_ = 0;
  Goal inn_;
  bool has_inn_ = false;
  bool resting_ = false;

  KeyInput pressed_;
  KeyInput walk_key_;
  std::uint32_t release_at_ = 0;
  std::uint32_t cooldown_until_ = 0;
  std::uint32_t next_heal_try_ = 0;
  std::uint32_t prompt_since_ = 0;
  std::uint32_t next_tidy_try_ = 0;
  std::uint32_t last_progress_ = 0;

  MenuPlan menu_plan_;
  size_t plan_pos_ = 0;
  bool menu_plan_active_ = false;
  std::function<void(std::uint32_t)> after_plan_;
  MenuPlan battle_plan_;
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
  std::string last_map_;
  int last_x_ = 0, last_y_ = 0;
  int last_level_ = 0;
  Logbook log_;
  int save_chapter_ = -1;  // the chapter the save was made in
  std::vector<int> beaten_;

  bool done_ = false;
  bool busy_ = false;
  int status_ = 0;
  // ARDO_AUTOPILOT_TRACE=1 in the environment: a line for every goal reached.
  const bool trace_ = std::getenv("ARDO_AUTOPILOT_TRACE") != nullptr;
};

}  // namespace

}  // namespace ardo::autopilot

namespace ardo {

std::unique_ptr<Autopilot> LoadAutopilot(const std::string& route_path, std::string* error, bool novice) {
  std::string text, why;
  if (ReadGameFile(route_path, &text, &why) != FileStatus::kOk) {
    *error = route_path + ": cannot read the route" + (why.empty() ? "" : " (" + why + ")") + "\n";
    return nullptr;
  }
  std::vector<autopilot::Goal> goals;
  if (!autopilot::ParseRoute(text, route_path, &goals, error)) return nullptr;
  return std::make_unique<autopilot::Pilot>(std::move(goals), route_path, novice);
}

}  // namespace ardo
