// The menus: WinDeal and the action of every row of the game's menu tree (field
// menu, items, spells, status, system menu with saving, loading and settings, yes/no,
// title choices, healing strength, travel, buying).
#include <algorithm>
#include <array>
#include <optional>
#include <string_view>

#include "battle/battle.h"
#include "events/events.h"
#include "events/story.h"
#include "field/field.h"
#include "items/items.h"
#include "save/save.h"
#include "sound/sound.h"
#include "ui/window_internal.h"

namespace ardo {

using namespace ui_internal;

MenuValue MenuChoice = 0LL;

namespace {

// The item window's mark, kept by one WinDeal call.
struct Mark {
  bool marked = false;
  int m = 0;  // the marked row
};

bool OneOf(std::string_view s, std::initializer_list<std::string_view> list) {
  for (std::string_view x : list) {
    if (s == x) return true;
  }
  return false;
}

bool MenuChoiceIs(SlotPurpose purpose) {
  const auto* s = std::get_if<SlotPurpose>(&MenuChoice);
  return s != nullptr && *s == purpose;
}

// The slot number as one digit (full-width in Japanese).
std::string SlotDigit(int slot) { return NumberText(slot, RightChars(F(slot), 1)); }

// The maps where travelling works and escaping does not: the field, the great hollow, the ice
// wall and the clouds.
bool OpenCountry(const std::string& map) { return OneOf(map, {"field", "cavity", "icewall", "smog"}); }

// Where "脱出" takes the hero from each map: the villages, caves, the forest, the great wall and
// the woodcutter's house out to the field; the climb to the summit back down to the clouds.
constexpr Destination kEscapeExits[] = {
    {"town1", "field", 21, 9, "letsgo", 1},   {"town2", "field", 11, 83, "letsgo", 4},
    {"town3", "field", 91, 44, "letsgo", 9},  {"dngn1", "field", 34, 16, "letsgo", 0},
    {"dngn2", "field", 46, 82, "letsgo", 4},  {"dngn3", "field", 71, 51, "letsgo", 8},
    {"forest", "field", 40, 28, "letsgo", 1}, {"zombi", "field", 87, 25, "letsgo", 9},
    {"wall", "field", 88, 10, "letsgo", 13},  {"kikori", "field", 81, 27, "letsgo", 13},
    {"topl", "smog", 39, 9, "w-road", 15},    {"toph", "smog", 39, 9, "w-road", 15},
    {"top", "smog", 39, 9, "w-road", 15},
};

const Destination* FindExit(const std::string& map) {
  for (const Destination& d : kEscapeExits) {
    if (d.place == map) return &d;
  }
  return nullptr;
}

void Go(const Destination& d) { ChangeMap(d.map, d.x, d.y, d.bgm, d.area); }

// The menus' error handler: a fault in one statement is logged under "WinDeal"
// and the menu goes on with the next statement.
const Trap on("WinDeal");

// Refuses a pick with a message that waits for a button.
Pick Refuse(Say text) {
  on([&] { Message(Word(text)); });
  on([] { WinHide(win::kMessage); });
  return Pick::kStay;
}

// "終了".
Pick QuitDialogue() {
  on([] { Message(Word(Say::kQuitAsk)); });
  if (WinDeal(win::kYesNo) == 0) {
    on([] { Message(Word(Say::kQuitBye)); });
    on([] { CloseBgm(); });
    on([] { ScreenFade(0); });
    ReturnToTitle = true;
    return Pick::kReturn;
  }
  on([] { WinHide(win::kMessage); });
  KeyWait();
  return Pick::kStay;
}

// "セーブ".
void SaveDialogue() {
  on([] { Message(Word(Say::kSaveAsk)); });
  MenuChoice = SlotPurpose::kSave;
  const Byte s = WinDeal(win::kSaveSlots);
  if (s < 255) {
    on([] { WinDraw(win::kSaveSlots); });
    on([&] { Message(Word(Say::kSaveConfirm, {SlotDigit(s)})); });
    KeyWait();
    if (WinDeal(win::kYesNo) != 255) {
      // A save that did not reach the disk says so, and the slot list stays as it was.
      if (on.Value<Byte>(255, [&] { return Save(s); }) == 0) {
        on([] { WinDraw(win::kSaveSlots); });  // the slot list shows the new save at once
        on([] { Message(Word(Say::kSaved)); });
      } else {
        on([] { Message(Word(Say::kSaveFailed)); });
      }
    }
  }
  on([] { WinHide(win::kSaveSlots); });
  on([] { WinHide(win::kMessage); });
}

// "ロード"; true when a game was loaded.
bool LoadDialogue() {
  on([] { Message(Word(Say::kLoadAsk)); });
  MenuChoice = SlotPurpose::kLoad;
  const Byte s = WinDeal(win::kSaveSlots);
  if (s < 255) {
    on([] { WinDraw(win::kSaveSlots); });
    on([&] { Message(Word(Say::kLoadConfirm, {SlotDigit(s)})); });
    KeyWait();
    // A slot whose file went missing since the list was made says so itself
    // (Say::kLoadFailed) and leaves the game as it was.
    if (WinDeal(win::kYesNo) != 255 && on.Value<Byte>(255, [&] { return Load(s); }) == 0) {
      for (int i = 0; i <= win::kLast; ++i) on([&] { WinHide(i); });
      on([] { PlayBgm(BgmName); });
      on([] { MapLoad(MapName); });
      on([] { CharaSet(MapName); });
      on([] { ChangeMap(MapName, Player.x, Player.y, BgmName, Flags(1)); });
      on([] { Message(Word(Say::kLoaded)); });
      on([] { WinHide(win::kMessage); });
      return true;
    }
  }
  on([] { WinHide(win::kSaveSlots); });
  on([] { WinHide(win::kMessage); });
  return false;
}

// "つよさ": the status window until a button is pressed.
void ShowStatus() {
  on([] { WinDraw(win::kStatus); });
  KeyWait();
  while (!BynDown()) Wait(FrameWait);
  on([] { WinHide(win::kStatus); });
}

// "歩く速さ" and "メッセージ".
void SpeedSetting(bool walking) {
  static constexpr Say kNames[3] = {Say::kSlow, Say::kNormal, Say::kFast};
  const int first = walking ? 5 : 2;
  std::string name;
  for (int i = 0; i < 3; ++i) {
    if (Flag(first + i) != 0) {
      name = Word(kNames[i]);
      break;
    }
  }
  on([&] { Message(Word(walking ? Say::kWalkSpeedNow : Say::kMessageSpeedNow, {name})); });
  const Byte k = WinDeal(win::kSpeeds);
  if (k == 255) return;
  for (int i = 0; i < 3; ++i) SetFlag(first + i, i == k - 1 ? 1 : 0);
  on([] { RecomputeSpeeds(); });
  on([] { Message(Word(Say::kSettingDone)); });
  on([] { WinHide(win::kMessage); });
}

// "音楽", "効果音", "オート会話", "ジョイパッド", "画面モード".
void SwitchSetting(MenuAction action) {
  struct Switch {
    MenuAction action;
    int flag;  // -1: the screen mode
    bool on_when_set;
    Say question;
  };
  static constexpr Switch kSwitches[] = {
      {MenuAction::kMusic, 0, true, Say::kMusicNow},
      {MenuAction::kSoundEffects, 1, true, Say::kSoundNow},
      {MenuAction::kAutoTalk, 16, true, Say::kAutoTalkNow},
      {MenuAction::kJoypad, 17, false, Say::kJoypadNow},
      {MenuAction::kScreenMode, -1, true, Say::kFullScreenNow},
  };
  const Switch* sw = nullptr;
  for (const Switch& s : kSwitches) {
    if (s.action == action) sw = &s;
  }
  if (sw == nullptr) return;
  const bool set = sw->flag < 0 ? FullScreen : Flag(sw->flag) != 0;
  const bool is_on = set == sw->on_when_set;
  const std::string cur = Word(is_on ? Say::kOn : Say::kOff);
  const std::string other = Word(is_on ? Say::kOff : Say::kOn);
  on([&] { Message(Word(sw->question, {cur, other})); });
  if (WinDeal(win::kYesNo) == 0) {
    if (sw->flag >= 0) {
      SetFlag(sw->flag, Flag(sw->flag) ^ 1);
    } else if (FullScreen) {
      FullScreen = false;
      on([] { SetWindowed(); });
    } else {
      FullScreen = true;
      on([] { SetFullScreen(); });
    }
    on([&] { Message(Word(Say::kSwitched, {other})); });
    on([] { WinHide(win::kMessage); });
  }
  if (sw->flag == 0) {
    on([] {
      if (Flag(0) != 0) {
        PlayBgm("");
      } else {
        StopBgm();
      }
    });
  }
}

// Window 16: the strength of "回復" if the magic points suffice.
Pick HealingStrength(Selection& s) {
  const long needed = static_cast<long>(s.row() + 1) * on.Value<Integer>(0, [] { return MagicTable(0).Cost; }) * 2;
  if (Player.mp < needed) return Refuse(Say::kMpShort);
  s.result = static_cast<Byte>(s.row());
  return Pick::kLeave;
}

// The item window: rows 0-14 are the inventory, then the trash. The first pick marks
// a row; the second uses (same row), throws away (one of them the trash) or swaps.
Pick ItemHandling(Selection& s, Mark& mark) {
  const int c = s.row();
  if (!mark.marked) {
    mark.marked = true;
    mark.m = c;
    return Pick::kStay;
  }
  mark.marked = false;
  auto trash = [](int row) {
    return on.Value<MenuAction>(MenuAction::kNone, [&] { return Windows(win::kItems).Action(row); }) ==
           MenuAction::kTrash;
  };
  const int m = mark.m;
  on([&] {
    if (m == c) {
      if (!trash(c)) ItemUse(c);
    } else if (trash(m)) {
      ItemDrop(c);
    } else if (trash(c)) {
      ItemDrop(m);
    } else {
      ItemSwap(m, c);
    }
  });
  // A used-up or thrown-away item leaves no gap: the list closes up, and the cursor
  // stays on a real row (the trash keeps its own).
  on([] { CloseUpItems(); });
  if (!trash(c)) {
    int last = 0;
    for (int slot = 0; slot <= 14; ++slot) {
      if (Player.items(slot) != 0) last = slot;
    }
    s.MoveTo(std::min(c, last));
  }
  on([] { WinDraw(win::kItems); });
  on([&] { DrawCursor(win::kItems, s.row()); });
  RefreshScreen();
  return Pick::kStay;
}

// The cost of a field spell (a row of the magic table) when the hero has the magic
// points for it; otherwise says so and gives nothing.
std::optional<Integer> Affordable(int spell) {
  const Integer cost = on.Value<Integer>(0, [&] { return MagicTable(spell).Cost; });
  if (Player.mp >= cost) return cost;
  on([] { Message(Word(Say::kMpShortDot)); });
  return std::nullopt;
}

// "脱出": back to the field from a town, cave or the mountain.
Pick Escape() {
  const std::optional<Integer> cost = Affordable(8);
  if (!cost) return Pick::kStay;
  const std::string map = MapName;
  if (OpenCountry(map) || Flag(story::kMonologueDone) == 0) return Refuse(Say::kNotNow);
  on([] { Message(Word(Say::kEscapeAsk)); });
  if (WinDeal(win::kYesNo) != 0) return Pick::kStay;
  if (const Destination* exit = FindExit(map)) {
    on([&] { Go(*exit); });
  } else {
    on([] { Message(Word(Say::kNoEffectDot)); });
  }
  on([&] { MPadd(-*cost); });
  return Pick::kLeave;
}

// "移動": to a known place, from the open country only.
Pick Travel() {
  const std::optional<Integer> cost = Affordable(9);
  if (!cost) return Pick::kStay;
  if (!OpenCountry(MapName)) return Refuse(Say::kNotNow);
  const Byte t = WinDeal(win::kTravel);
  MenuChoice = static_cast<long long>(t);
  if (t < 255) on([&] { MPadd(-*cost); });
  return Pick::kLeave;
}

// "回復" in the field: its strength, then the healing.
Pick HealSpell() {
  const Byte s = WinDeal(win::kHealStrength);
  MenuChoice = static_cast<long long>(s);
  if (s < 255) on([&] { Heal(s); });
  return Pick::kLeave;
}

// Window 15, the shop's goods: buy the item of the picked row.
Pick Buying(const Selection& s) {
  const Byte g = on.Value<Byte>(0, [&] { return ShopStock(s.row()); });
  const Long price = on.Value<Long>(0, [&] { return ItemTable(g).Price; });
  if (price > Player.gold) {
    on([] { Message(Word(Say::kBuyNoMoney)); });
    return Pick::kStay;
  }
  on([] { Message(Word(Say::kBuyConfirm)); });
  if (WinDeal(win::kYesNo) == 255) {
    on([] { Message(Word(Say::kBuyCancel)); });
    return Pick::kStay;
  }
  if (on.Value<Byte>(255, [&] { return ItemAdd(g); }) == 0) {
    on([&] { Player.gold = CLng(static_cast<long long>(Player.gold) - price); });
    on([] { BtlText(Word(Say::kGoldPanel, {MoneyText(Player.gold)})); });
    on([] { Message(Word(Say::kBought)); });
  } else {
    on([] { Message(Word(Say::kBagFullShop)); });
  }
  on([] { Message(Word(Say::kBuyMore)); });
  return Pick::kStay;
}

// The action of the picked row.
Pick Act(Selection& s, Mark& mark) {
  const int c = s.row();
  const MenuAction action = on.Value<MenuAction>(MenuAction::kNone, [&] { return Windows(s.window()).Action(c); });
  auto leave_with = [&](int r) {
    s.result = static_cast<Byte>(r);
    return Pick::kLeave;
  };
  auto stay_after = [](auto&& statement) {
    on(statement);
    return Pick::kStay;
  };
  switch (action) {
    case MenuAction::kSystem:
      return WinDeal(win::kSystem) == 4 ? Pick::kLeave : Pick::kStay;
    case MenuAction::kQuit:
      return QuitDialogue();
    case MenuAction::kSave:
      return stay_after([] { SaveDialogue(); });
    case MenuAction::kLoad:
      return LoadDialogue() ? leave_with(4) : Pick::kStay;
    case MenuAction::kItems:
      on([] { WinDraw(win::kItems); });
      WinDeal(win::kItems);
      return Pick::kStay;
    case MenuAction::kMagic:
      return stay_after([] { WinDeal(win::kFieldSpells); });
    case MenuAction::kYes:
      return leave_with(0);
    case MenuAction::kNo:
      return leave_with(255);
    case MenuAction::kSlot:
      if (!on.Value<std::string>("", [&] { return SaveList(c).name; }).empty() || MenuChoiceIs(SlotPurpose::kSave)) {
        return leave_with(c + 1);
      }
      on([] { Message(Word(Say::kNoData)); });
      on([] { Message(Word(Say::kLoadAsk)); });
      return Pick::kStay;
    case MenuAction::kHealStrength:
      return HealingStrength(s);
    case MenuAction::kSpeed:
      return leave_with(c + 1);
    case MenuAction::kStatus:
      return stay_after([] { ShowStatus(); });
    case MenuAction::kNewGame:
      return leave_with(kTitleNewGame);
    case MenuAction::kContinue:
      return leave_with(kTitleContinue);
    case MenuAction::kEndGame:
      return leave_with(kTitleEndGame);
    case MenuAction::kSettings:
      return stay_after([] { WinDeal(win::kSettings); });
    case MenuAction::kWalkSpeed:
    case MenuAction::kMessageSpeed:
      return stay_after([&] { SpeedSetting(action == MenuAction::kWalkSpeed); });
    case MenuAction::kMusic:
    case MenuAction::kSoundEffects:
    case MenuAction::kAutoTalk:
    case MenuAction::kJoypad:
    case MenuAction::kScreenMode:
      return stay_after([&] { SwitchSetting(action); });
    case MenuAction::kFight:
    case MenuAction::kRun:
      return leave_with(c);
    case MenuAction::kItemSlot:
    case MenuAction::kTrash:
      return ItemHandling(s, mark);
    case MenuAction::kSpellNotHere:
      return Refuse(Say::kNotNowKanji);
    case MenuAction::kHeal:
      return HealSpell();
    case MenuAction::kEscape:
      return Escape();
    case MenuAction::kTravel:
      return Travel();
    case MenuAction::kSpellNotLearned:
      return Refuse(Say::kNoMagicYet);
    case MenuAction::kTravelTo:
      on([&] { Go(TravelDestination(c)); });
      return leave_with(0);
    case MenuAction::kBuy:
      return Buying(s);
    case MenuAction::kNone:
    case MenuAction::kCastSpell:
      break;
  }
  on([] { Message(Word(Say::kNotUsableYet)); });
  return Pick::kStay;
}

Byte SelectionLoop(int n) {
  Mark mark;
  SelectionRules rules;
  rules.pick = [&](Selection& s) { return Act(s, mark); };
  rules.cancel = [&](Selection& s) {
    // A cancel in the item window first takes back its mark.
    if (mark.marked) {
      mark.marked = false;
      on([&] {
        EraseCursor(n, mark.m);
        RefreshScreen();
      });
      return Pick::kStay;
    }
    on([] { WinHide(win::kMessage); });
    s.result = 255;
    return Pick::kReturn;
  };
  rules.keeps_cursor = [&](const Selection& s) { return mark.marked && mark.m == s.row(); };
  return RunSelection(n, on, rules);
}

}  // namespace

Byte WinDeal(int n) {
  if (n != win::kFieldMenu) return SelectionLoop(n);
  // The field menu: whatever the menu tree opened is put away when the field
  // comes back (a window that was up before, like the small status, stays).
  std::array<bool, win::kLast + 1> was_visible{};
  for (int i = 0; i <= win::kLast; ++i) was_visible[static_cast<size_t>(i)] = picWindow(i).visible;
  const Byte r = SelectionLoop(n);
  for (int i = 0; i <= win::kLast; ++i) {
    if (!was_visible[static_cast<size_t>(i)] && picWindow(i).visible) WinHide(i);
  }
  return r;
}

}  // namespace ardo
