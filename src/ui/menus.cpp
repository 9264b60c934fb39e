// The menus: the selection loop of a window and the action of every row of the
// game's menu tree (field menu, items, spells, status, system menu with saving,
// loading and settings, yes/no, title choices, healing strength, travel, buying).
#include <algorithm>
#include <array>
#include <string_view>

#include "battle/battle.h"
#include "events/events.h"
#include "field/field.h"
#include "items/items.h"
#include "save/save.h"
#include "sound/sound.h"
#include "ui/window_internal.h"

namespace ardo {

using namespace ui_internal;

MenuValue MenuChoice = 0LL;

namespace {

MenuFocus g_focus;

// The state of one WinDeal call.
struct Deal {
  int n = 0;
  int c = 0;            // cursor row
  Byte r = 0;           // result when the loop is left
  bool marked = false;  // window 7: a row is marked
  int m = 0;            // window 7: the marked row
};

// What an action does with the loop.
enum class Next {
  kStay,    // go on selecting
  kLeave,   // erase the cursor, hide the window and the message window, return r
  kReturn,  // return r at once (the quit dialogue)
};

bool OneOf(std::string_view s, std::initializer_list<std::string_view> list) {
  for (std::string_view x : list) {
    if (s == x) return true;
  }
  return false;
}

bool MenuChoiceIs(std::string_view mode) {
  const auto* s = std::get_if<std::string>(&MenuChoice);
  return s != nullptr && *s == mode;
}

// The slot number as one full-width digit.
std::string SlotDigit(int slot) { return RightChars(F(slot), 1); }

// The places where travelling works and escaping does not.
bool OpenCountry(const std::string& title) { return OneOf(title, {"フィールド", "大空洞", "氷壁", "雲の中"}); }

struct Destination {
  std::string_view place;
  const char* map;
  int x;
  int y;
  const char* bgm;
  int area;
};

// Where "脱出" takes the hero from each place.
constexpr Destination kEscapeExits[] = {
    {"さいはての村", "field", 21, 9, "letsgo", 1},      {"浮き島村", "field", 11, 83, "letsgo", 4},
    {"谷間の村", "field", 91, 44, "letsgo", 9},          {"ヒグラシ草の洞窟", "field", 34, 16, "letsgo", 0},
    {"潮風の洞穴", "field", 46, 82, "letsgo", 4},        {"ゴミの洞窟", "field", 71, 51, "letsgo", 8},
    {"森", "field", 40, 28, "letsgo", 1},                {"ゾンビパラダイス", "field", 87, 25, "letsgo", 9},
    {"偉大なる壁", "field", 88, 10, "letsgo", 13},       {"きこりの家", "field", 81, 27, "letsgo", 13},
    {"山頂への道", "smog", 39, 9, "w-road", 15},         {"嘆きの壁", "smog", 39, 9, "w-road", 15},
    {"山頂", "smog", 39, 9, "w-road", 15},
};

// The destinations of "移動" (window 17).
constexpr Destination kTravelDestinations[] = {
    {"さいはての村", "field", 21, 9, "letsgo", 1},   {"浮き島村", "field", 11, 83, "letsgo", 4},
    {"ゴミの洞窟", "field", 71, 51, "letsgo", 8},     {"谷間の村", "field", 91, 44, "letsgo", 9},
    {"ゾンビパラダイス", "field", 69, 36, "letsgo", 13}, {"大空洞", "cavity", 25, 68, "i-castle", 0},
    {"山頂への道", "topl", 25, 50, "w-road", 16},
};

template <size_t N>
const Destination* Find(const Destination (&table)[N], const std::string& place) {
  for (const Destination& d : table) {
    if (d.place == place) return &d;
  }
  return nullptr;
}

void Go(const Destination& d) { ChangeMap(d.map, d.x, d.y, d.bgm, d.area); }

// The menus' error handler: a fault in one statement is logged under "WinDeal"
// and the menu goes on with the next statement.
const Trap on("WinDeal");

// "終了".
Next QuitDialogue() {
  on([] { Message("本当に終了しますか？"); });
  if (WinDeal(3) == 0) {
    on([] { Message("お疲れ様でした￥"); });
    on([] { CloseBgm(); });
    on([] { ScreenFade(0); });
    ReturnToTitle = true;
    return Next::kReturn;
  }
  on([] { WinHide(0); });
  KeyWait();
  return Next::kStay;
}

// "セーブ".
void SaveDialogue() {
  on([] { Message("何番にセーブしますか？"); });
  MenuChoice = std::string("save");
  const Byte s = WinDeal(4);
  if (s < 255) {
    on([] { WinDraw(4); });
    on([&] { Message(SlotDigit(s) + "番にセーブします。／よろしいですか？"); });
    KeyWait();
    if (WinDeal(3) != 255) {
      // A save that did not reach the disk says so, and the slot list stays as it was.
      if (on.Value<Byte>(255, [&] { return Save(s); }) == 0) {
        on([] { WinDraw(4); });  // the slot list shows the new save at once
        on([] { Message("セーブしました￥"); });
      } else {
        on([] { Message("セーブに失敗しました。￥"); });
      }
    }
  }
  on([] { WinHide(4); });
  on([] { WinHide(0); });
}

// "ロード"; true when a game was loaded.
bool LoadDialogue() {
  on([] { Message("何番をロードしますか？"); });
  MenuChoice = std::string("load");
  const Byte s = WinDeal(4);
  if (s < 255) {
    on([] { WinDraw(4); });
    on([&] { Message(SlotDigit(s) + "番をロードします。／よろしいですか？"); });
    KeyWait();
    // A slot whose file went missing since the list was made says so itself
    // ("読み込みに失敗しました。") and leaves the game as it was.
    if (WinDeal(3) != 255 && on.Value<Byte>(255, [&] { return Load(s); }) == 0) {
      for (int i = 0; i <= 17; ++i) on([&] { WinHide(i); });
      on([] { PlayBgm(BgmName); });
      on([] { MapLoad(MapName); });
      on([] { CharaSet(MapName); });
      on([] { ChangeMap(MapName, Player.x, Player.y, BgmName, Flags(1)); });
      on([] { Message("ロードしました￥"); });
      on([] { WinHide(0); });
      return true;
    }
  }
  on([] { WinHide(4); });
  on([] { WinHide(0); });
  return false;
}

// "つよさ": the status window until a button is pressed.
void ShowStatus() {
  on([] { WinDraw(5); });
  KeyWait();
  while (!BynDown()) Wait(FrameWait);
  on([] { WinHide(5); });
}

// "歩く速さ" and "メッセージ".
void SpeedSetting(bool walking) {
  static constexpr const char* kNames[3] = {"おそい", "ふつう", "はやい"};
  const int first = walking ? 5 : 2;
  std::string name;
  for (int i = 0; i < 3; ++i) {
    if (Flag(first + i) != 0) {
      name = kNames[i];
      break;
    }
  }
  on([&] { Message(walking ? "現在の歩く速さは" + name + "です" : "現在のメッセージスピードは／" + name + "です"); });
  const Byte k = WinDeal(11);
  if (k == 255) return;
  for (int i = 0; i < 3; ++i) SetFlag(first + i, i == k - 1 ? 1 : 0);
  on([] { RecomputeSpeeds(); });
  on([] { Message("設定しました￥"); });
  on([] { WinHide(0); });
}

// "音楽", "効果音", "オート会話", "ジョイパッド", "画面モード".
void SwitchSetting(const std::string& label) {
  struct Switch {
    std::string_view label;
    int flag;  // -1: the screen mode
    bool on_when_set;
    const char* prefix;
  };
  static constexpr Switch kSwitches[] = {
      {"音楽", 0, true, "現在音楽は"},
      {"効果音", 1, true, "現在効果音は"},
      {"オート会話", 16, true, "現在オート会話は"},
      {"ジョイパッド", 17, false, "現在ジョイパッドは"},
      {"画面モード", -1, true, "現在フルスクリーンは"},
  };
  const Switch* sw = nullptr;
  for (const Switch& s : kSwitches) {
    if (s.label == label) sw = &s;
  }
  if (sw == nullptr) return;
  const bool set = sw->flag < 0 ? FullScreen : Flag(sw->flag) != 0;
  const bool is_on = set == sw->on_when_set;
  const std::string cur = is_on ? "ＯＮ" : "ＯＦＦ";
  const std::string other = is_on ? "ＯＦＦ" : "ＯＮ";
  on([&] { Message(sw->prefix + cur + "です／" + other + "にしますか？"); });
  if (WinDeal(3) == 0) {
    if (sw->flag >= 0) {
      SetFlag(sw->flag, Flag(sw->flag) ^ 1);
    } else if (FullScreen) {
      FullScreen = false;
      on([] { SetWindowed(); });
    } else {
      FullScreen = true;
      on([] { SetFullScreen(); });
    }
    on([&] { Message(other + "にしました。￥"); });
    on([] { WinHide(0); });
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
Next HealingStrength(Deal& d) {
  const long needed = static_cast<long>(d.c + 1) * on.Value<Integer>(0, [] { return MagicTable(0).Cost; }) * 2;
  if (Player.mp < needed) {
    on([] { Message("ＭＰが足りません￥"); });
    on([] { WinHide(0); });
    return Next::kStay;
  }
  d.r = static_cast<Byte>(d.c);
  return Next::kLeave;
}

// Window 7: rows 0-14 are the inventory, row 15 the trash. The first pick marks a
// row; the second uses (same row), throws away (one of them the trash) or swaps.
Next ItemHandling(Deal& d) {
  constexpr int kTrash = 15;
  if (!d.marked) {
    d.marked = true;
    d.m = d.c;
    return Next::kStay;
  }
  d.marked = false;
  on([&] {
    if (d.m == d.c) {
      if (d.c != kTrash) ItemUse(d.c);
    } else if (d.m == kTrash) {
      ItemDrop(d.c);
    } else if (d.c == kTrash) {
      ItemDrop(d.m);
    } else {
      ItemSwap(d.m, d.c);
    }
  });
  // A used-up or thrown-away item leaves no gap: the list closes up, and the cursor
  // stays on a real row (the trash keeps its own).
  on([] { CloseUpItems(); });
  if (d.c != kTrash) {
    int last = 0;
    for (int s = 0; s <= 14; ++s) {
      if (Player.items(s) != 0) last = s;
    }
    d.c = std::min(d.c, last);
    g_focus.row = d.c;
  }
  on([] { WinDraw(7); });
  on([&] { DrawCursor(7, d.c); });
  RefreshScreen();
  return Next::kStay;
}

// "脱出": back to the field from a town, cave or the mountain.
Next Escape() {
  const Integer cost = on.Value<Integer>(0, [] { return MagicTable(8).Cost; });
  if (Player.mp < cost) {
    on([] { Message("ＭＰが足りません。￥"); });
    return Next::kStay;
  }
  const std::string place = on.Value<std::string>("", [] { return MapTitle(MapName); });
  if (OpenCountry(place) || Flag(257) == 0) {
    on([] { Message("今はつかえません￥"); });
    on([] { WinHide(0); });
    return Next::kStay;
  }
  on([] { Message("フィールドに移動します。／よろしいですか？"); });
  if (WinDeal(3) != 0) return Next::kStay;
  if (const Destination* exit = Find(kEscapeExits, place)) {
    on([&] { Go(*exit); });
  } else {
    on([] { Message("効果がなかった。￥"); });
  }
  on([&] { MPadd(-cost); });
  return Next::kLeave;
}

// "移動": to a known place, from the open country only.
Next Travel() {
  const Integer cost = on.Value<Integer>(0, [] { return MagicTable(9).Cost; });
  if (Player.mp < cost) {
    on([] { Message("ＭＰが足りません。￥"); });
    return Next::kStay;
  }
  if (!OpenCountry(on.Value<std::string>("", [] { return MapTitle(MapName); }))) {
    on([] { Message("今はつかえません￥"); });
    on([] { WinHide(0); });
    return Next::kStay;
  }
  const Byte t = WinDeal(17);
  MenuChoice = static_cast<long long>(t);
  if (t < 255) on([&] { MPadd(-cost); });
  return Next::kLeave;
}

// Window 8, the field spells.
Next SpellHandling(const std::string& label) {
  if (OneOf(label, {"炎", "氷結", "雷", "催眠", "攻撃力アップ", "守備力アップ", "素早さアップ"})) {
    on([] { Message("今は使えません￥"); });
    on([] { WinHide(0); });
    return Next::kStay;
  }
  if (label == "回復") {
    const Byte s = WinDeal(16);
    MenuChoice = static_cast<long long>(s);
    if (s < 255) on([&] { Heal(s); });
    return Next::kLeave;
  }
  if (label == "脱出") return Escape();
  if (label == "移動") return Travel();
  on([] { Message("まだ魔法が使えません￥"); });
  on([] { WinHide(0); });
  return Next::kStay;
}

// Window 15, the shop's goods: buy the item of the picked row.
Next Buying(Deal& d) {
  const Byte g = on.Value<Byte>(0, [&] { return ShopStock(d.c); });
  const Long price = on.Value<Long>(0, [&] { return ItemTable(g).Price; });
  if (price > Player.gold) {
    on([] { Message("お金が足りません￥何を買いますか？"); });
    return Next::kStay;
  }
  on([] { Message("よろしいですか？"); });
  if (WinDeal(3) == 255) {
    on([] { Message("やめた・・・￥"); });
    return Next::kStay;
  }
  if (on.Value<Byte>(255, [&] { return ItemAdd(g); }) == 0) {
    on([&] { Player.gold = CLng(static_cast<long long>(Player.gold) - price); });
    on([] { BtlText("お金：" + MoneyText(Player.gold)); });
    on([] { Message("買った！￥"); });
  } else {
    on([] { Message("持ち物が一杯です。￥"); });
  }
  on([] { Message("ほかに何か買われますか？"); });
  return Next::kStay;
}

// The action of the picked row: by its label first, then by the window.
Next Act(Deal& d) {
  const int n = d.n;
  const int c = d.c;
  const std::string label = on.Value<std::string>("", [&] { return Windows(n).Item(c); });
  auto leave_with = [&](int r) {
    d.r = static_cast<Byte>(r);
    return Next::kLeave;
  };
  auto stay_after = [](auto&& action) {
    on(action);
    return Next::kStay;
  };
  if (label == "システム") return WinDeal(2) == 4 ? Next::kLeave : Next::kStay;
  if (label == "終了") return QuitDialogue();
  if (label == "セーブ") return stay_after([] { SaveDialogue(); });
  if (label == "ロード") return LoadDialogue() ? leave_with(4) : Next::kStay;
  if (label == "アイテム") {
    on([] { WinDraw(7); });
    WinDeal(7);
    return Next::kStay;
  }
  if (label == "まほう") return stay_after([] { WinDeal(8); });
  if (label == "はい") return leave_with(0);
  if (label == "いいえ") return leave_with(255);
  if (OneOf(label, {"１：", "２：", "３：", "４：", "５：", "６：", "７：", "８：", "９："})) {
    if (!on.Value<std::string>("", [&] { return SaveList(c).name; }).empty() || MenuChoiceIs("save")) {
      return leave_with(c + 1);
    }
    on([] { Message("データがありません。￥"); });
    on([] { Message("何番をロードしますか？"); });
    return Next::kStay;
  }
  // "ふつう" is a speed in window 11 and a healing strength in window 16.
  if (n == 16 && OneOf(label, {"てきとう", "ふつう", "ハッスル", "ほんき"})) return HealingStrength(d);
  if (OneOf(label, {"はやい", "おそい", "ふつう"})) return leave_with(c + 1);
  if (label == "つよさ") return stay_after([] { ShowStatus(); });
  if (label == "初めから") return leave_with(254);
  if (label == "続きから") return leave_with(253);
  if (label == "終わる") return leave_with(252);
  if (label == "設定") return stay_after([] { WinDeal(10); });
  if (label == "歩く速さ" || label == "メッセージ") {
    return stay_after([&] { SpeedSetting(label == "歩く速さ"); });
  }
  if (OneOf(label, {"音楽", "効果音", "オート会話", "ジョイパッド", "画面モード"})) {
    return stay_after([&] { SwitchSetting(label); });
  }
  if (label == "たたかう" || label == "にげる") return leave_with(c);

  switch (n) {
    case 7:
      return ItemHandling(d);
    case 8:
      return SpellHandling(label);
    case 17:
      if (const Destination* to = Find(kTravelDestinations, label)) on([&] { Go(*to); });
      return leave_with(0);
    case 15:
      return Buying(d);
    default:
      on([] { Message("まだ使用できません。／がくっ・・・￥"); });
      return Next::kStay;
  }
}

Byte SelectionLoop(int n) {
  MenuFocusScope focus(n);
  Deal d;
  d.n = n;
  on([&] { WinDraw(n); });
  on([&] {
    WinToFront(n);
    picWindow(n).visible = true;
    DrawCursor(n, d.c);
    RefreshScreen();
  });
  for (;;) {
    const KeyState pad = JoyPad();
    const KeyState key = Getkey();
    if (pad.dy + key.dy != 0) {
      on([&] {
        if (!(n == 7 && d.marked && d.m == d.c)) EraseCursor(n, d.c);
        const int count = Windows(n).Count;
        d.c = static_cast<int>(Mod(d.c + pad.dy + key.dy + count, count));
        if (d.c < 0) d.c = count - 1;
        focus.SetRow(d.c);
        DrawCursor(n, d.c);
        RefreshScreen();
        PlaySe("movc", 1);
      });
    }
    const int b = pad.btn | key.btn;
    if (b == 1) {
      if (n == 7 && d.marked) {
        d.marked = false;
        on([&] {
          EraseCursor(n, d.m);
          RefreshScreen();
        });
      } else {
        on([] { WinHide(0); });
        return 255;
      }
    } else if (b == 2) {
      on([] { PlaySe("pi", 1); });
      KeyWait();
      Next next = Next::kStay;
      on([&] { next = Act(d); });
      if (next == Next::kReturn) return d.r;
      if (next == Next::kLeave) {
        on([&] { EraseCursor(n, d.c); });
        on([&] { WinHide(n); });
        on([] { WinHide(0); });
        KeyWait();
        return d.r;
      }
      // Back in this menu: it comes to the front again, over any window that an
      // inner menu left on screen.
      on([&] {
        WinToFront(n);
        RefreshScreen();
      });
    }
    KeyWait();
    Wait(FrameWait);
  }
}

}  // namespace

MenuFocus ActiveMenu() { return g_focus; }

MenuFocusScope::MenuFocusScope(int window) : saved_(g_focus) { g_focus = MenuFocus{window, 0}; }
MenuFocusScope::~MenuFocusScope() { g_focus = saved_; }
void MenuFocusScope::SetRow(int row) { g_focus.row = row; }

Byte WinDeal(int n) {
  if (n != 1) return SelectionLoop(n);
  // The field menu: whatever the menu tree opened is put away when the field
  // comes back (a window that was up before, like the small status, stays).
  std::array<bool, 18> was_visible{};
  for (int i = 0; i <= 17; ++i) was_visible[static_cast<size_t>(i)] = picWindow(i).visible;
  const Byte r = SelectionLoop(n);
  for (int i = 0; i <= 17; ++i) {
    if (!was_visible[static_cast<size_t>(i)] && picWindow(i).visible) WinHide(i);
  }
  return r;
}

}  // namespace ardo
