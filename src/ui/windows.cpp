// The window table: the eighteen windows of the game, their frames, labels and
// the values they show, drawn from the current game state.
#include <array>

#include "events/events.h"
#include "field/field.h"
#include "items/items.h"
#include "save/save.h"
#include "ui/window_internal.h"

namespace ardo {

using platform::Rop;
using namespace ui_internal;

VbArray<WindowDef, 0, 20> Windows;
VbArray<platform::Surface, 0, 17> picWindow;
platform::Surface picMes_Buff;

namespace {

// Windows stack in the order they were last drawn.
std::uint64_t g_front = 0;

struct Definition {
  int x;  // kCentred: (picMain width - W) \ 2
  int y;
  int w;
  int h;
  std::vector<const char*> labels;
};
constexpr int kCentred = -1;

// The travel destinations that flags 32 to 37 add after the home village.
constexpr const char* kTravelLabels[] = {"浮き島村", "ゴミの洞窟", "谷間の村", "ゾンビパラダイス", "大空洞",
                                         "山頂への道"};

void FillDefinitions() {
  const int mw = picMain.width();
  const int mh = picMain.height();
  const Definition defs[18] = {
      {mw / 2 - 137, 0, 275, 115, {}},
      {20, 20, 110, 120, {"アイテム", "まほう", "つよさ", "システム", "終了"}},
      {40, 90, 100, 80, {"セーブ", "ロード", "設定"}},
      {kCentred, 60, 90, 60, {"はい", "いいえ"}},
      {kCentred, 20, 320, 200, {"１：", "２：", "３：", "４：", "５：", "６：", "７：", "８：", "９："}},
      {kCentred, 20, 260, 200,
       {"レベル：", "ＨＰ　：", "ＭＰ　：", "ちから　：", "丈夫さ　：", "すばやさ：", "", "経験値：", "お金　："}},
      {mw - 140, 20, 120, 80, {"ＬＶ：", "Ｈ：", "Ｍ："}},
      {kCentred, 10, 200, 340, {"", "", "", "", "", "", "", "", "", "", "", "", "", "", "", "∪　ごみ箱"}},
      {kCentred, 10, 200, 220,
       {"回復", "炎", "氷結", "雷", "催眠", "攻撃アップ", "防御アップ", "素早さアップ", "脱出", "移動"}},
      {kCentred, 150, 120, 80, {"続きから", "初めから", "終わる"}},
      {60, 140, 150, 160, {"歩く速さ", "メッセージ", "音楽", "効果音", "オート会話", "ジョイパッド", "画面モード"}},
      {80, 150, 120, 80, {"おそい", "ふつう", "はやい"}},
      {20, 240, 110, 100, {"たたかう", "アイテム", "まほう", "にげる"}},
      {kCentred, mh - 200, 200, 180,
       {"回復", "炎", "氷結", "雷", "催眠", "攻撃力アップ", "防御力アップ", "素早さアップ"}},
      {20, 20, 180, 35, {""}},
      {50, 57, 240, 175, {"１", "２", "３", "４", "５", "６", "７", "８"}},
      {100, 50, 110, 100, {"てきとう", "ふつう", "ハッスル", "ほんき"}},
      {50, 50, 200, 40, {"さいはての村"}},
  };
  for (int n = 0; n <= 20; ++n) Windows(n) = WindowDef{};
  for (int n = 0; n <= 17; ++n) {
    const Definition& d = defs[n];
    WindowDef& w = Windows(n);
    w.X = CInt(d.x == kCentred ? (mw - d.w) / 2 : d.x);
    w.Y = CInt(d.y);
    w.W = CInt(d.w);
    w.H = CInt(d.h);
    w.Count = CInt(static_cast<int>(d.labels.size()));
    for (size_t i = 0; i < d.labels.size(); ++i) w.Item(static_cast<long long>(i)) = d.labels[i];
  }
  // The message window sits 10 pixels above the bottom of the view.
  Windows(0).Y = CInt(static_cast<double>(mh) - 125.0);
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

void Put(platform::Surface& s, int x, int y, const std::string& text) { s.TextOut(x, y, ToFullWidth(text)); }

void DrawValues(int n) {
  platform::Surface& s = picWindow(n);
  switch (n) {
    case 4:
      for (int i = 0; i <= 8; ++i) {
        const SaveEntry& e = SaveList(i);
        Put(s, 40, 10 + 20 * i, "　ＬＶ" + RightChars(F(e.level), 3));
        const std::string title = MapTitle(e.name);
        Put(s, 155, 10 + 20 * i, title.empty() ? "－－－－－－－－－" : title);
      }
      break;
    case 5:
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
    case 6: {
      const long long values[3] = {Player.lv, Player.hp, Player.mp};
      for (int i = 0; i < 3; ++i) {
        const std::string v = F(values[i]);
        Put(s, 45 + 8 * (8 - 2 * static_cast<int>(CharLength(v))), 10 + 20 * i, v);
      }
      break;
    }
    case 15:
      for (int i = 0; i < Windows(15).Count; ++i) {
        const std::string v = F(ItemTable(ShopStock(i)).Price);
        Put(s, RightAlignedX(Windows(15).W, v), 10 + 20 * i, v);
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

void DrawCursor(int n, int c) { TextPut("⇒", picWindow(n), 8, 10 + 20 * c); }

void EraseCursor(int n, int c) {
  picWindow(n).StretchBlt(8, 10 + 20 * c, 18, 20, picWaku, 5, 5, 5, 5, Rop::kSrcCopy);
}

}  // namespace ui_internal

void WinSet() {
  Trap on("WinSet");
  on([] { FillDefinitions(); });
  on([] {
    picMes_Buff.Resize(275, 135);
    picMes_Buff.SetBackColor(kNavy);
    picMes_Buff.visible = false;
  });
  picWindow(0).visible = false;
  ResetShownText();
  for (int n = 0; n <= 17; ++n) {
    on([&] {
      platform::Surface& s = picWindow(n);
      s.SetTextStyle(platform::TextStyle{});
      PlaceSurface(n);
      s.SetBackColor(kNavy);
      s.SetForeColor(kSilver);
      if (n == 0) {
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
  if (n == 6) g_status_shown = StatusNow();
  on([&] {
    platform::Surface& s = picWindow(n);
    WindowDef& d = Windows(n);
    if (red) s.SetForeColor(kRed);
    if (n == 7) {
      for (int i = 0; i <= 14; ++i) on([&] { d.Item(i) = ItemTable(Player.items(i)).Name; });
    }
    if (n == 17) {
      int count = 1;
      for (int k = 0; k < 6; ++k) {
        if (Flag(32 + k) != 0) d.Item(count++) = kTravelLabels[k];
      }
      d.Count = CInt(count);
      d.H = CInt(20 * (count - 1) + 40);
    }
    PlaceSurface(n);
    s.Clear();
    if (to_front) WinToFront(n);
    DrawFrame(s);
    const int x = n == 6 ? 10 : 27;
    for (int i = 0; i < d.Count; ++i) {
      on([&] {
        std::string label = d.Item(i);
        if (n == 7 && i >= 1 && i <= 14 && Player.items(i) > 0 && Player.items(i) == Player.items(i - 1)) {
          label = "〃";
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
  constexpr int kStatus = 6;
  if (!picWindow(kStatus).visible || StatusNow() == g_status_shown) return false;
  Paint(kStatus, false);
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
  MenuChoice = 0LL;
  ResetMessageState();
}

}  // namespace ardo
