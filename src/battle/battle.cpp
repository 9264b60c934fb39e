// The battle: the entry from the field, the screen's drawing, the round loop with
// the hero's commands, the plain attack and its damage, escape, victory and defeat.
#include <cmath>
#include <string_view>

#include "battle/battle.h"
#include "events/events.h"
#include "events/story.h"
#include "field/field.h"
#include "items/items.h"
#include "sound/sound.h"
#include "ui/ui.h"

namespace ardo {

BattleState HeroBattle;
BattleState EnemyBattle;
Integer SpellPower = 0;
bool InBattle = false;

namespace {

using platform::Rop;

// The hero's place on the battle screen and the size of one pose.
constexpr int kHeroX = 200;
constexpr int kHeroY = 150;
constexpr int kPoseW = 56;
constexpr int kPoseH = 80;

// The windows the battle opens; none of them stays over the field afterwards.
constexpr int kBattleWindows[] = {12, 13, 16, 7, 14};

std::uint32_t Now() { return platform::GetPlatform().TimeGetTime(); }

// Waits the rest of a frame of `ms` that began at t0.
void FrameEnd(std::uint32_t t0, long ms) { Wait(ms - static_cast<long>(Now() - t0)); }

long FT() { return FrameWait; }

// One horizontal band of the current enemy's pose-0 picture: rows from `from` (of the
// picture), `height` high, drawn at (dx, dy), mask first.
void EnemySlice(const EnemyRecord& e, int pose, int dx, int dy, int from, int height) {
  const int sx = static_cast<int>(e.w) * pose + e.srcX;
  picMain.BitBlt(dx, dy, static_cast<int>(e.w), height, &picEnemy, sx, e.srcY + static_cast<int>(e.h) + from,
                 Rop::kSrcAnd);
  picMain.BitBlt(dx, dy, static_cast<int>(e.w), height, &picEnemy, sx, e.srcY + from, Rop::kSrcPaint);
}

// Background, the enemy (unless hidden) and the hero standing, then a refresh.
void DrawScene(bool withEnemy = true) {
  BtlDrawBack(0);
  if (withEnemy) BtlDrawEnemy(EnemyId, 0, 0, 0);
  BtlDrawHero(0, 0, 0);
  RefreshScreen();
}

bool OneOf(std::string_view s, std::initializer_list<std::string_view> list) {
  for (std::string_view x : list) {
    if (s == x) return true;
  }
  return false;
}

// The menu cursor of btldeal, and its erasure with the window's fill.
void DrawCursor(int n, int row) { TextPut("⇒", picWindow(n), 8, 20 * row + 10); }
void EraseCursor(int n, int row) {
  picWindow(n).StretchBlt(8, 20 * row + 10, 18, 20, picWaku, 5, 5, 5, 5, Rop::kSrcCopy);
}

// What one choice in btldeal leads to.
enum class Choice { kStay, kLeave };

}  // namespace

BattleStats HeroStats() {
  BattleStats s;
  s.lv = Player.lv;
  s.hp = Player.hp;
  s.mhp = Player.mhp;
  s.mp = Player.mp;
  s.mmp = Player.mmp;
  s.exp = Player.exp;
  s.gold = Player.gold;
  s.ap = Player.ap;
  s.dp = Player.dp;
  s.sp = Player.sp;
  return s;
}

void DrawBattleNumber(const std::string& text, int x, int y, platform::Color colour) {
  picMain.SetForeColor(colour);
  picMain.SetTextStyle(platform::TextStyle{19, true});  // 14 point bold
  picMain.TextOut(x, y, text);
  picMain.SetForeColor(platform::Rgb(128, 128, 128));
  picMain.SetTextStyle(platform::TextStyle{12, false});  // 9 point
}

// ---------------------------------------------------------------------------
// Drawing.

void BtlDrawBack(int withStatus) {
  picMain.BitBlt(0, 0, picMain.width(), picMain.height(), &picBtlBack, 0, 0, Rop::kSrcCopy);
  if (withStatus != 0) WinDraw(6);
}

void BtlDrawEnemy(int row, int pose, int dx, int dy) {
  const EnemyRecord& e = EnemyTable(row);
  EnemySlice(e, pose, e.x + dx, e.y + dy, 0, static_cast<int>(e.h));
}

void BtlDrawHero(int pose, int dx, int dy) {
  picMain.BitBlt(kHeroX + dx, kHeroY + dy, kPoseW, kPoseH, &picBtlChr, kPoseW * pose, kPoseH, Rop::kSrcAnd);
  picMain.BitBlt(kHeroX + dx, kHeroY + dy, kPoseW, kPoseH, &picBtlChr, kPoseW * pose, 0, Rop::kSrcPaint);
}

// ---------------------------------------------------------------------------
// The entry.

void BtlEnt(const std::string& music) {
  Trap on("BtlEnt");
  const int W = picMain.width();
  const int H = picMain.height();
  // The field as it was, to flash back to.
  on([&] { picBuff.BitBlt(0, 0, W, H, &picMain, 0, 0, Rop::kSrcCopy); });
  for (int i = 0; i <= 1; ++i) {
    const std::uint32_t t0 = Now();
    on([&] {
      picFlash.SetBackColor(i == 0 ? platform::Rgb(0, 0, 0) : platform::Rgb(255, 255, 255));
      picMain.BitBlt(0, 0, W, H, &picFlash, 0, 0, Rop::kSrcCopy);
      RefreshScreen();
    });
    Wait(4 * FT());
    on([&] {
      picMain.BitBlt(0, 0, W, H, &picBuff, 0, 0, Rop::kSrcCopy);
      RefreshScreen();
    });
    FrameEnd(t0, 6 * FT());
  }
  on([] { picBuff.Clear(); });
  on([&] { PlayBgm(music); });
  // The wipe: the left half downwards, then the right half upwards, in 16-pixel bands.
  for (int y = 0; y <= H; y += 16) {
    on([&] {
      picMain.BitBlt(0, y, W / 2, 16, &picBuff, 0, y, Rop::kSrcCopy);
      RefreshScreen();
    });
    Wait(FT());
  }
  for (int y = H; y >= -16; y -= 16) {
    on([&] {
      picMain.BitBlt(W / 2, y, W / 2, 16, &picBuff, W / 2, y, Rop::kSrcCopy);
      RefreshScreen();
    });
    Wait(FT());
  }
  on([&] {
    picBuff.BitBlt(0, 0, picBtlBack.width(), picBtlBack.height(), &picBtlBack, 0, 0, Rop::kSrcCopy);
    BtlDrawBack(0);
    BtlDrawHero(0, 0, 0);
    RefreshScreen();
  });
  on([] { BtlText(Enemy.name); });
  on([] { PlaySe("encount2", 1); });
  // The enemy slides in from the right as ten bands, one after another.
  const int s = static_cast<int>(Enemy.h / 10);
  for (int i = 0; i <= 9; ++i) {
    for (int sx = Enemy.x + 300; sx >= Enemy.x; sx -= 60) {
      const std::uint32_t t0 = Now();
      on([&] {
        BtlDrawBack(0);
        for (int k = 0; k < i; ++k) EnemySlice(Enemy, 0, Enemy.x, Enemy.y + k * s, k * s, s);
        EnemySlice(Enemy, 0, sx, Enemy.y + i * s, i * s, s);
        BtlDrawHero(0, 0, 0);
        RefreshScreen();
      });
      FrameEnd(t0, 16);
    }
  }
  on([] {
    BtlDrawEnemy(EnemyId, 0, 0, 0);
    RefreshScreen();
  });
  const std::uint32_t start = Now();
  while (Now() - start < 500 && !BynDown()) Wait(FT());
  on([] { WinHide(14); });
  KeyWait();
  on([] { WinDraw(6); });
}

// ---------------------------------------------------------------------------
// The command menu.

Byte btldeal(int n) {
  Trap on("btldeal");
  MenuFocusScope focus(n);
  int row = 0;
  on([&] { WinDraw(n); });
  on([&] {
    WinToFront(n);
    picWindow(n).visible = true;
    DrawCursor(n, row);
    RefreshScreen();
  });
  Byte result = 255;
  // Refuses a choice with a message that waits for a button.
  auto refuse = [&](const char* text) {
    on([&] { Message(text); });
    on([] { WinHide(0); });
    return Choice::kStay;
  };
  auto choose = [&]() -> Choice {
    const std::string label = on.Value<std::string>("", [&] { return Windows(n).Item(row); });
    if (label == "アイテム") {
      // The item window without its last row, the rubbish bin.
      Integer count = 0, height = 0;
      on([&] {
        count = Windows(7).Count;
        height = Windows(7).H;
        Windows(7).Count = CInt(count - 1);
        Windows(7).H = CInt(height - 20);
      });
      const Byte r = btldeal(7);
      on([&] {
        Windows(7).Count = count;
        Windows(7).H = height;
      });
      if (r == 255) return Choice::kStay;
      result = static_cast<Byte>(kCmdItem + r);
      return Choice::kLeave;
    }
    if (label == "まほう") {
      const Byte r = btldeal(13);
      if (r == 255) return Choice::kStay;
      result = static_cast<Byte>(kCmdSpell + r);
      return Choice::kLeave;
    }
    if (label == "はい") {
      result = 0;
      return Choice::kLeave;
    }
    if (label == "いいえ") {
      result = 255;
      return Choice::kLeave;
    }
    if (label == "たたかう" || label == "にげる") {
      result = static_cast<Byte>(row);
      return Choice::kLeave;
    }
    if (OneOf(label, {"てきとう", "ふつう", "ハッスル", "ほんき"})) {
      const long long spell = std::holds_alternative<long long>(MenuChoice) ? std::get<long long>(MenuChoice) : 0;
      const long base = on.Value<long>(0, [&] { return static_cast<long>(MagicTable(spell).Cost); });
      if (Player.mp < base * (row + 1) * 2) return refuse("ＭＰが足りません￥");
      result = static_cast<Byte>(row);
      return Choice::kLeave;
    }
    if (label.empty()) return Choice::kStay;
    if (n == 13) {
      const long base = on.Value<long>(0, [&] { return static_cast<long>(MagicTable(row).Cost); });
      if (Player.mp < base) return refuse("ＭＰが足りません￥");
      MenuChoice = static_cast<long long>(row);
      SpellPower = 0;
      if (row <= 3) {
        const Byte p = btldeal(16);
        SpellPower = p;
        if (p == 255) return Choice::kStay;
      }
      result = static_cast<Byte>(row);
      return Choice::kLeave;
    }
    if (n == 7) {
      if (on.Value<Byte>(0, [&] { return Player.items(row); }) == 0) return refuse("今はつかえません。￥");
      result = static_cast<Byte>(row);
      return Choice::kLeave;
    }
    return refuse("まだ使用できません。／がくっ・・・￥");
  };

  for (;;) {
    const KeyState pad = JoyPad();
    const KeyState key = Getkey();
    if (key.dy != 0 || pad.dy != 0) {
      on([&] {
        EraseCursor(n, row);
        const int count = Windows(n).Count;
        row = static_cast<int>(Mod(row + key.dy + pad.dy, count));
        if (row < 0) row = count - 1;
        focus.SetRow(row);
        DrawCursor(n, row);
        RefreshScreen();
        PlaySe("movc", 1);
      });
    }
    const int b = key.btn | pad.btn;
    if (b == 1) {
      result = 255;
      break;
    }
    if (b == 2) {
      on([] { PlaySe("pi", 1); });
      KeyWait();
      Choice c = Choice::kStay;
      on([&] { c = choose(); });
      if (c == Choice::kLeave) break;
      // Back from an inner window: this one comes to the front again.
      on([&] {
        WinToFront(n);
        RefreshScreen();
      });
    }
    // One move or choice a key press.
    KeyWait();
    Wait(FT());
  }
  on([&] { EraseCursor(n, row); });
  on([] { WinHide(0); });
  KeyWait();
  return result;
}

// ---------------------------------------------------------------------------
// Damage and the plain attack.

Integer CalcDamage(const BattleStats& att, const BattleState& attState, const BattleStats& def,
                   const BattleState& defState, int divisor) {
  Trap on("CalcDamage");
  RandomizeFromClock();
  // The hit chance. A zero divisor is a fault: the statement's result is lost and h
  // keeps its value, so the chance falls to the 0.4 floor.
  float h = 0;
  on([&] {
    if (def.sp > 0) {
      const Integer num = CInt(static_cast<long long>(def.sp) + defState.spBonus);
      const Integer den = CInt(static_cast<long long>(att.sp) + attState.spBonus);
      if (den == 0) Raise(num == 0 ? err::kOverflow : err::kDivisionByZero);
      h = 0.9f - (static_cast<float>(num) / static_cast<float>(den)) / 100.0f;
    } else {
      h = 0.999f;
    }
  });
  on([&] {
    if (divisor < 0) Raise(err::kInvalidCall);
    if (divisor == 0) Raise(err::kDivisionByZero);
    h = static_cast<float>(h / std::sqrt(static_cast<double>(divisor)));
  });
  if (h > 0.999f) {
    h = 0.999f;
  } else if (h < 0.4f) {
    h = 0.4f;
  }
  if (!(Rnd() < h)) return 0;
  const float r = Rnd();
  double raw = 0;
  on([&] {
    const Integer A = CInt(static_cast<long long>(att.ap) + attState.apBonus);
    const Integer D = CInt(static_cast<long long>(def.dp) + defState.dpBonus);
    if (D == 0) Raise(A == 0 ? err::kOverflow : err::kDivisionByZero);
    raw = ((static_cast<double>(A) / D) / 5.0 + static_cast<double>(r) / 2.0) * A - static_cast<double>(D) / 5.0;
  });
  Long d = 0;
  on([&] { d = static_cast<Long>(Mod(CLng(raw), 30000)); });
  if (d > 0) return static_cast<Integer>(d);
  return static_cast<Integer>(std::floor(static_cast<double>(Rnd()) * 3.0));
}

void Attack() {
  Trap on("Attack");
  on([] { PlaySe("attack", 1); });
  for (int i = 0; i <= 5; ++i) {
    const std::uint32_t t0 = Now();
    on([&] {
      BtlDrawBack(0);
      BtlDrawEnemy(EnemyId, 0, 0, 0);
      BtlDrawHero(i % 6, 0, 0);
      RefreshScreen();
    });
    FrameEnd(t0, 7 * FT());
  }
  Integer d = CalcDamage(HeroStats(), HeroBattle, Enemy.stats, EnemyBattle, 1);
  on([&] {
    if (ItemHave(story::kMoonSword) == 0 && d < 32700 / 1.5) d = CInt(d * 1.5);
  });
  on([&] { Enemy.stats.hp = CInt(static_cast<long long>(Enemy.stats.hp) - d); });
  EnemyTakes(on, d);
  on([] { DrawScene(); });
}

// ---------------------------------------------------------------------------
// Escape, victory and defeat.

void Escape() {
  Trap on("Escape");
  on([] { BtlText("にげだした"); });
  for (int i = 0; i <= 17; ++i) {
    const std::uint32_t t0 = Now();
    on([&] {
      BtlDrawBack(0);
      BtlDrawEnemy(EnemyId, 0, 0, 0);
      BtlDrawHero(0, 10 * i, 10 * i);
      RefreshScreen();
    });
    FrameEnd(t0, FT());
  }
  on([] {
    BtlDrawBack(0);
    RefreshScreen();
  });
  on([] { WinHide(14); });
  on([] { ScreenFade(0); });
}

void BtlWin(int pose) {
  Trap on("BtlWin");
  on([] { PlaySe("vanish", 1); });
  const int s = static_cast<int>(Enemy.h / 5);
  for (int c = s; c >= 0; --c) {
    const std::uint32_t t0 = Now();
    on([&] {
      BtlDrawBack(0);
      for (int k = 0; k <= 4; ++k) EnemySlice(Enemy, pose, Enemy.x, Enemy.y + k * s, k * s, c);
      BtlDrawHero(0, 0, 0);
      RefreshScreen();
    });
    FrameEnd(t0, FT());
  }
  on([] { Message(Enemy.name + "を倒した！￥"); });
  on([] {
    Message("経験値" + std::to_string(Enemy.stats.exp) + "ポイント／" + std::to_string(Enemy.stats.gold) +
            "のお金を獲得！￥");
  });
  on([] { ExpAdd(Enemy.stats.exp); });
  on([] { GOLDAdd(Enemy.stats.gold); });
  on([] { WinHide(0); });
}

void GameOver() {
  Trap on("GameOver");
  on([] { ScreenFade(0); });
  on([] { Message("しんでしまった・・・・￥"); });
  ReturnToTitle = true;
}

// ---------------------------------------------------------------------------
// The battle.

namespace {

// A fighting value drawn between about 88.9 % of the table's value plus 1 and the value plus 1.
Integer Varied(Integer v) {
  const float r = Rnd();
  return CInt(static_cast<double>(static_cast<float>(v) * (100.0f - 100.0f * r / 9.0f) / 100.0f + 1.0f));
}
// Experience and money: between about 88.9 % and 100 %.
Long VariedReward(Long v) {
  const float r = Rnd();
  return CLng(static_cast<double>(v) * (100.0 - 100.0 * static_cast<double>(r) / 9.0) / 100.0);
}

// The hero's turn; true when the battle is over.
bool HeroTurn(const Trap& on, bool escapable) {
  if (HeroBattle.asleep == 1) {
    if (Rnd() > 0.5f) {
      on([] { BtlText("眠っている・・・"); });
    } else {
      on([] { BtlText("目が覚めた！"); });
      HeroBattle.asleep = 0;
    }
    Wait(50 * FT());
    return false;
  }
  Byte cmd = 255;
  do {
    cmd = btldeal(12);
  } while (cmd == 255);
  // The inner menus have done their work; only the command window stays up.
  for (int w : {7, 13, 16}) on([&] { WinHide(w); });
  bool acted = true;
  if (cmd == kCmdFight) {
    on([] { BtlText("たたかう"); });
    on([] { Attack(); });
  } else if (cmd == kCmdRun) {
    if (escapable) {
      on([] { BtlText("にげる"); });
      on([] { Escape(); });
      on([] { WinHide(14); });
      return true;
    }
    on([] { BtlText("にげられない！"); });
    Wait(50 * FT());
    on([] { WinHide(14); });
    acted = false;
  } else if (cmd >= kCmdItem && cmd <= kCmdItem + 14) {
    const int slot = cmd - kCmdItem;
    on([&] { BtlText(ItemTable(Player.items(slot)).Name); });
    on([] { BtlUsePose(); });
    on([&] { BtlItemUse(slot); });
  } else if (cmd >= kCmdSpell && cmd < kCmdItem) {
    on([&] { BtlMagic(cmd - kCmdSpell); });
  } else {
    acted = false;
  }
  if (!acted) return false;
  Wait(16 * FT());
  on([] { WinHide(14); });
  if (Enemy.stats.hp <= 0) {
    on([] { BtlWin(0); });
    return true;
  }
  return false;
}

// The enemy's turn; true when the hero has fallen.
bool EnemyTurn(const Trap& on) {
  if (EnemyBattle.asleep == 1) {
    if (Rnd() * 100.0f < static_cast<float>(Enemy.wakeChance)) {
      on([] { BtlText("敵は目を覚ました！"); });
      EnemyBattle.asleep = 0;
    } else {
      on([] { BtlText("敵は眠っている・・・"); });
    }
    Wait(50 * FT());
    return false;
  }
  on([] { DrawScene(); });
  Wait(500);
  RandomizeFromClock();
  on([] { EnemyAct(); });
  Wait(16 * FT());
  return Player.hp == 0;
}

// Clears InBattle however the battle ends.
struct BattleFlag {
  BattleFlag() { InBattle = true; }
  ~BattleFlag() { InBattle = false; }
};

}  // namespace

void RandomiseEnemy() {
  Trap on("BtlMain");
  RandomizeFromClock();
  on([] { Enemy.stats.hp = Varied(Enemy.stats.hp); });
  on([] { Enemy.stats.mp = Varied(Enemy.stats.mp); });
  on([] { Enemy.stats.ap = Varied(Enemy.stats.ap); });
  on([] { Enemy.stats.dp = Varied(Enemy.stats.dp); });
  on([] { Enemy.stats.sp = Varied(Enemy.stats.sp); });
  on([] { Enemy.stats.exp = VariedReward(Enemy.stats.exp); });
  on([] { Enemy.stats.gold = VariedReward(Enemy.stats.gold); });
}

Byte BtlMain(bool escapable, const std::string& music) {
  Trap on("BtlMain");
  BattleFlag in_battle;
  RandomiseEnemy();
  HeroBattle = BattleState{};
  EnemyBattle = BattleState{};
  on([] { CloseBgm(); });
  on([] { LoadBattleBackdrop(MapName); });
  on([&] { BtlEnt(music); });
  bool over = false;
  while (!over) {
    on([] { LoopBgm(); });
    over = HeroTurn(on, escapable);
    on([] { WinHide(14); });
    if (!over) {
      over = EnemyTurn(on);
      on([] { WinHide(14); });
      on([] { DrawScene(); });
      Wait(500);
    }
    Wait(FT());
  }
  for (int w : kBattleWindows) on([&] { WinHide(w); });
  on([] { ScreenFade(0); });
  on([] { CloseBgm(); });
  if (Player.hp == 0) {
    on([] { GameOver(); });
    on([] { WinHide(6); });
    on([] { WinHide(0); });
    return 255;
  }
  on([] { PlayBgm(BgmName); });
  on([] { WinHide(6); });
  on([] { BuffDraw(); });
  on([] { MapDraw(0, 0, 1, 1); });
  on([] { ScreenFade(1); });
  return 0;
}

}  // namespace ardo
