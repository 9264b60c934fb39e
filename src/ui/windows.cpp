// The window table: the eighteen windows of the game, their frames, labels and
// the values they show, drawn from the current game state.
#include <array>
#include <utility>

#include "events/events.h"
#include "field/field.h"
#include "items/items.h"
#include "save/save.h"
#include "ui/window_internal.h"

namespace ardo {

using platform::Rop;
using namespace ui_internal;

VbArray<WindowDef, 0, 20> Windows;
VbArray<platform::Surface, 0, win::kLast> picWindow;
platform::Surface picMes_Buff;

namespace {

// Windows stack in the order they were last drawn.
std::uint64_t g_front = 0;

using A = MenuAction;

// A row of a window: its label and what picking it does.
struct Row {
  Row(std::string l, A a = A::kNone) : label(std::move(l)), action(a) {}  // NOLINT(google-explicit-constructor)
  Row(const char* l, A a = A::kNone) : label(l), action(a) {}            // NOLINT(google-explicit-constructor)
  Row(Say l, A a = A::kNone) : label(Word(l)), action(a) {}              // NOLINT(google-explicit-constructor)
  std::string label;
  A action;
};

struct Definition {
  int x;  // kCentred: (picMain width - W) \ 2
  int y;
  int w;
  int h;
  std::vector<Row> rows;
};
constexpr int kCentred = -1;

// The labels, all with one action.
std::vector<Row> Rows(std::initializer_list<std::string> labels, A action) {
  std::vector<Row> rows;
  for (const std::string& l : labels) rows.emplace_back(l, action);
  return rows;
}
std::vector<Row> Rows(std::initializer_list<Say> labels, A action) {
  std::vector<Row> rows;
  for (const Say l : labels) rows.emplace_back(l, action);
  return rows;
}
// The spells' rows, by the names the magic table gives them (the battle's list says 攻撃力
// and 防御力).
constexpr const char* kFieldSpells[] = {"回復", "炎", "氷結", "雷", "催眠", "攻撃アップ", "防御アップ", "素早さアップ", "脱出", "移動"};
constexpr const char* kBattleSpells[] = {"回復", "炎", "氷結", "雷", "催眠", "攻撃力アップ", "防御力アップ", "素早さアップ"};
std::vector<Row> Spells(std::initializer_list<A> actions) {
  std::vector<Row> rows;
  const bool field = actions.size() == std::size(kFieldSpells);
  size_t i = 0;
  for (const A a : actions) rows.emplace_back(Named((field ? kFieldSpells : kBattleSpells)[i++]), a);
  return rows;
}

// Where "移動" goes: the home village, then the places that flags 32 to 37 make
// known, in the order of the list.
constexpr Destination kTravelDestinations[] = {
    {"さいはての村", "field", 21, 9, "letsgo", 1},   {"浮き島村", "field", 11, 83, "letsgo", 4},
    {"ゴミの洞窟", "field", 71, 51, "letsgo", 8},     {"谷間の村", "field", 91, 44, "letsgo", 9},
    {"ゾンビパラダイス", "field", 69, 36, "letsgo", 13}, {"大空洞", "cavity", 25, 68, "i-castle", 0},
    {"山頂への道", "topl", 25, 50, "w-road", 16},
};
constexpr int kFirstTravelFlag = 32;

// The save slots' numbers: full-width in Japanese, plain digits in English.
std::vector<Row> SlotRows() {
  std::vector<Row> rows;
  for (int slot = 1; slot <= 9; ++slot) {
    const std::string digit = std::to_string(slot);
    rows.emplace_back(GameLanguage() == Language::kEnglish ? digit + ":" : ToFullWidth(digit) + "：", A::kSlot);
  }
  return rows;
}
// The destination of each row of the travel list, as last drawn.
std::array<size_t, 16> g_travel_rows{};

void FillDefinitions() {
  const int mw = picMain.width();
  const int mh = picMain.height();
  std::vector<Row> items(15, Row("", A::kItemSlot));
  items.emplace_back(Say::kTrash, A::kTrash);
  const Definition defs[win::kLast + 1] = {
      {mw / 2 - 137, 0, 275, 115, {}},
      {20,
       20,
       110,
       120,
       {{Say::kMenuItems, A::kItems}, {Say::kMenuMagic, A::kMagic}, {Say::kMenuStatus, A::kStatus},
        {Say::kMenuSystem, A::kSystem}, {Say::kMenuQuit, A::kQuit}}},
      {40, 90, 100, 80, {{Say::kMenuSave, A::kSave}, {Say::kMenuLoad, A::kLoad}, {Say::kMenuSettings, A::kSettings}}},
      {kCentred, 60, 90, 60, {{Say::kYes, A::kYes}, {Say::kNo, A::kNo}}},
      {kCentred, 20, 320, 200, SlotRows()},
      {kCentred, 20, 260, 200,
       {Say::kStatLevel, Say::kStatHp, Say::kStatMp, Say::kStatPower, Say::kStatDefense, Say::kStatSpeed, "",
        Say::kStatExp, Say::kStatGold}},
      {mw - 140, 20, 120, 80, {Say::kSmallLevel, Say::kSmallHp, Say::kSmallMp}},
      {kCentred, 10, 200, 340, items},
      {kCentred,
       10,
       200,
       220,
       Spells({A::kHeal, A::kSpellNotHere, A::kSpellNotHere, A::kSpellNotHere, A::kSpellNotHere,
               A::kSpellNotLearned, A::kSpellNotLearned, A::kSpellNotHere, A::kEscape, A::kTravel})},
      {kCentred, 150, 120, 80, {{Say::kContinue, A::kContinue}, {Say::kNewGame, A::kNewGame}, {Say::kEndGame, A::kEndGame}}},
      {60,
       140,
       150,
       160,
       {{Say::kSetWalk, A::kWalkSpeed}, {Say::kSetMessage, A::kMessageSpeed}, {Say::kSetMusic, A::kMusic},
        {Say::kSetSound, A::kSoundEffects}, {Say::kSetAutoTalk, A::kAutoTalk}, {Say::kSetJoypad, A::kJoypad},
        {Say::kSetScreen, A::kScreenMode}}},
      {80, 150, 120, 80, Rows({Say::kSlow, Say::kNormal, Say::kFast}, A::kSpeed)},
      {20, 240, 110, 100,
       {{Say::kFight, A::kFight}, {Say::kMenuItems, A::kItems}, {Say::kMenuMagic, A::kMagic}, {Say::kRun, A::kRun}}},
      {kCentred, mh - 200, 200, 180,
       Spells({A::kCastSpell, A::kCastSpell, A::kCastSpell, A::kCastSpell, A::kCastSpell, A::kCastSpell,
               A::kCastSpell, A::kCastSpell})},
      {20, 20, 180, 35, {""}},
      {50, 57, 240, 175, Rows({"１", "２", "３", "４", "５", "６", "７", "８"}, A::kBuy)},
      {100, 50, 110, 100,
       Rows({Say::kHealGentle, Say::kHealNormal, Say::kHealHustle, Say::kHealAllOut}, A::kHealStrength)},
      {50, 50, 200, 40, {{Named(std::string(kTravelDestinations[0].place)), A::kTravelTo}}},
  };
  for (auto& w : Windows) w = WindowDef{};
  for (int n = 0; n <= win::kLast; ++n) {
    const Definition& d = defs[n];
    WindowDef& w = Windows(n);
    w.X = CInt(d.x == kCentred ? (mw - d.w) / 2 : d.x);
    w.Y = CInt(d.y);
    w.W = CInt(d.w);
    w.H = CInt(d.h);
    w.Count = CInt(static_cast<int>(d.rows.size()));
    for (size_t i = 0; i < d.rows.size(); ++i) {
      w.Item(static_cast<long long>(i)) = d.rows[i].label;
      w.Action(static_cast<long long>(i)) = d.rows[i].action;
    }
  }
  g_travel_rows = {};
  // The message window sits 10 pixels above the bottom of the view.
  Windows(win::kMessage).Y = CInt(static_cast<double>(mh) - 125.0);
}

// Sets window n's surface to the place and size of its definition.
void PlaceSurface(int n) {
  const WindowDef& d = Windows(n);
  platform::Surface& s = picWindow(n);
  s.left = d.X;
  s.top = d.Y;
  s.Resize(d.W, d.H);
}

// Right-aligned text whose last character ends near the window's right edge:
// x = W - 18.5 x length, rounded.
int RightAlignedX(int width, const std::string& text) {
  return static_cast<int>(RoundHalfEven(width - 18.5 * static_cast<double>(CharLength(text))));
}

// In English the letters stay half-width, in the font's regular weight (see TextPutHalfWidth).
void Put(platform::Surface& s, int x, int y, const std::string& text) {
  if (GameLanguage() != Language::kEnglish) {
    s.TextOut(x, y, ToFullWidth(text));
    return;
  }
  const platform::TextStyle saved = s.text_style();
  s.SetTextStyle(platform::TextStyle{saved.size_px, false});
  s.TextOut(x, y, text);
  s.SetTextStyle(saved);
}

// English windows: half-width digits, each number ending at `right` so a column of them
// lines up by its last digit.
constexpr int kCell = 8;  // a half-width letter of the window font

void PutRight(platform::Surface& s, int right, int y, const std::string& text) {
  Put(s, right - kCell * static_cast<int>(CharLength(text)), y, text);
}

void DrawEnglishValues(int n) {
  platform::Surface& s = picWindow(n);
  const auto number = [](long long v) { return std::to_string(v); };
  switch (n) {
    case win::kSaveSlots:
      for (int i = 0; i <= 8; ++i) {
        const SaveEntry& e = SaveList(i);
        std::string level = number(e.level);
        if (level.size() < 3) level.insert(0, 3 - level.size(), ' ');
        Put(s, 40, 10 + 20 * i, Word(Say::kSlotLevel, {level}));
        const std::string title = MapTitle(e.name);
        Put(s, 155, 10 + 20 * i, title.empty() ? Word(Say::kEmptySlot) : Named(title));
      }
      break;
    case win::kStatus: {
      // Labels from x = 27, the longest eight letters; the numbers end at the fifteenth letter.
      constexpr int kRight = 27 + 15 * kCell;
      const long long values[9] = {Player.lv, Player.hp, Player.mp, Player.ap, Player.dp, Player.sp, 0, Player.exp,
                                   Player.gold};
      for (int row = 0; row < 9; ++row) {
        if (row != 6) PutRight(s, kRight, 10 + 20 * row, number(values[row]));
      }
      // The most beside the points left: "/" one letter on, then the number in five.
      for (const auto& [y, most] : {std::pair{30, Player.mhp}, std::pair{50, Player.mmp}}) {
        Put(s, kRight + kCell, y, "/");
        PutRight(s, kRight + 7 * kCell, y, number(most));
      }
      break;
    }
    case win::kSmallStatus: {
      const long long values[3] = {Player.lv, Player.hp, Player.mp};
      for (int i = 0; i < 3; ++i) PutRight(s, 45 + 8 * kCell, 10 + 20 * i, number(values[i]));
      break;
    }
    case win::kShop:
      for (int i = 0; i < Windows(n).Count; ++i) {
        PutRight(s, Windows(n).W - 10, 10 + 20 * i, number(ItemTable(ShopStock(i)).Price));
      }
      break;
    default:
      break;
  }
}

void DrawValues(int n) {
  if (GameLanguage() == Language::kEnglish) {
    DrawEnglishValues(n);
    return;
  }
  platform::Surface& s = picWindow(n);
  switch (n) {
    case win::kSaveSlots:
      for (int i = 0; i <= 8; ++i) {
        const SaveEntry& e = SaveList(i);
        Put(s, 40, 10 + 20 * i, Word(Say::kSlotLevel, {RightChars(F(e.level), 3)}));
        const std::string title = MapTitle(e.name);
        Put(s, 155, 10 + 20 * i, title.empty() ? Word(Say::kEmptySlot) : Named(title));
      }
      break;
    case win::kStatus:
      Put(s, 100, 10, F(Player.lv));
      Put(s, 75, 30, F(Player.hp));
      Put(s, 165, 30, "／" + RightChars(F(Player.mhp), 4));
      Put(s, 75, 50, F(Player.mp));
      Put(s, 165, 50, "／" + RightChars(F(Player.mmp), 4));
      Put(s, 100, 70, F(Player.ap));
      Put(s, 100, 90, F(Player.dp));
      Put(s, 100, 110, F(Player.sp));
      Put(s, 80, 150, F(Player.exp));
      Put(s, 80, 170, F(Player.gold));
      break;
    case win::kSmallStatus: {
      const long long values[3] = {Player.lv, Player.hp, Player.mp};
      for (int i = 0; i < 3; ++i) {
        const std::string v = F(values[i]);
        Put(s, 45 + 8 * (8 - 2 * static_cast<int>(CharLength(v))), 10 + 20 * i, v);
      }
      break;
    }
    case win::kShop:
      for (int i = 0; i < Windows(n).Count; ++i) {
        const std::string v = F(ItemTable(ShopStock(i)).Price);
        Put(s, RightAlignedX(Windows(n).W, v), 10 + 20 * i, v);
      }
      break;
    default:
      break;
  }
}

}  // namespace

namespace ui_internal {

void DrawFrame(platform::Surface& s) {
  const int w = s.width();
  const int h = s.height();
  auto tile = [&](int dx, int dy, int sx, int sy) { s.BitBlt(dx, dy, 5, 5, &picWaku, sx, sy, Rop::kSrcCopy); };
  tile(0, 0, 0, 0);
  tile(0, h - 5, 0, 10);
  tile(w - 5, 0, 10, 0);
  tile(w - 5, h - 5, 10, 10);
  for (int x = 5; x <= w - 10; x += 5) {
    tile(x, 0, 5, 0);
    tile(x, h - 5, 5, 10);
  }
  for (int y = 5; y <= h - 10; y += 5) {
    tile(0, y, 0, 5);
    tile(w - 5, y, 10, 5);
  }
}

const Destination& TravelDestination(int row) {
  if (row < 0 || row >= static_cast<int>(g_travel_rows.size())) Raise(err::kSubscript);
  return kTravelDestinations[g_travel_rows[static_cast<size_t>(row)]];
}

void DrawCursor(int n, int c) { TextPut("⇒", picWindow(n), 8, 10 + 20 * c); }

void EraseCursor(int n, int c) {
  picWindow(n).StretchBlt(8, 10 + 20 * c, 18, 20, picWaku, 5, 5, 5, 5, Rop::kSrcCopy);
}

}  // namespace ui_internal

std::vector<std::string> SpellNames() {
  std::vector<std::string> out(std::begin(kFieldSpells), std::end(kFieldSpells));
  out.insert(out.end(), std::begin(kBattleSpells), std::end(kBattleSpells));
  return out;
}

void WinSet() {
  Trap on("WinSet");
  on([] { FillDefinitions(); });
  on([] {
    picMes_Buff.Resize(275, 135);
    picMes_Buff.SetBackColor(kNavy);
    picMes_Buff.visible = false;
  });
  picWindow(win::kMessage).visible = false;
  ResetShownText();
  for (int n = 0; n <= win::kLast; ++n) {
    on([&] {
      platform::Surface& s = picWindow(n);
      s.SetTextStyle(platform::TextStyle{});
      PlaceSurface(n);
      s.SetBackColor(kNavy);
      s.SetForeColor(kSilver);
      if (n == win::kMessage) {
        s.SetBackPicture(picMesBackground);
        s.Clear();
      }
      s.visible = false;
      DrawFrame(s);
      const WindowDef& d = Windows(n);
      for (int i = 0; i < d.Count; ++i) Put(s, 27, 10 + 20 * i, d.Item(i));
      RefreshScreen();
    });
  }
}

void WinToFront(int n) { picWindow(n).z = ++g_front; }

namespace {
// What the small status window (LV/H/M) showed when it was last drawn.
std::array<long long, 4> g_status_shown{};

std::array<long long, 4> StatusNow() { return {Player.lv, Player.hp, Player.mp, HitPointsLow() ? 1 : 0}; }

// Window n drawn afresh from its definition and the game's numbers; to the front unless
// it only shows new numbers in its place.
void Paint(int n, bool to_front) {
  Trap on("WinDraw");
  const bool red = HitPointsLow();
  if (n == win::kSmallStatus) g_status_shown = StatusNow();
  on([&] {
    platform::Surface& s = picWindow(n);
    WindowDef& d = Windows(n);
    if (red) s.SetForeColor(kRed);
    if (n == win::kItems) {
      for (int i = 0; i <= 14; ++i) on([&] { d.Item(i) = Named(ItemTable(Player.items(i)).Name); });
    }
    if (n == win::kTravel) {
      int count = 1;
      for (size_t k = 1; k < std::size(kTravelDestinations); ++k) {
        if (Flag(kFirstTravelFlag + static_cast<int>(k) - 1) == 0) continue;
        d.Item(count) = Named(std::string(kTravelDestinations[k].place));
        d.Action(count) = A::kTravelTo;
        g_travel_rows[static_cast<size_t>(count++)] = k;
      }
      d.Count = CInt(count);
      d.H = CInt(20 * (count - 1) + 40);
    }
    PlaceSurface(n);
    s.Clear();
    if (to_front) WinToFront(n);
    DrawFrame(s);
    const int x = n == win::kSmallStatus ? 10 : 27;
    for (int i = 0; i < d.Count; ++i) {
      on([&] {
        std::string label = d.Item(i);
        if (n == win::kItems && i >= 1 && i <= 14 && Player.items(i) > 0 && Player.items(i) == Player.items(i - 1)) {
          label = Word(Say::kDitto);
        }
        Put(s, x, 10 + 20 * i, label);
      });
    }
    on([&] { DrawValues(n); });
    RefreshScreen();
    s.visible = true;
  });
  if (red) on([&] { picWindow(n).SetForeColor(kSilver); });
}
}  // namespace

void WinDraw(int n) { Paint(n, true); }

bool KeepStatusCurrent() {
  if (!picWindow(win::kSmallStatus).visible || StatusNow() == g_status_shown) return false;
  Paint(win::kSmallStatus, false);
  return true;
}

void WinHide(int n) {
  Trap on("WinHide");
  on([&] {
    picWindow(n).visible = false;
    RefreshScreen();
  });
}

void ResetUiState() {
  for (auto& w : Windows) w = WindowDef{};
  for (auto& s : picWindow) s = platform::Surface{};
  picMes_Buff = platform::Surface{};
  g_front = 0;
  g_status_shown = {};
  g_travel_rows = {};
  MenuChoice = 0LL;
  ResetMessageState();
}

}  // namespace ardo
