// The battle: the entry from the field, the screen's drawing, the round loop with
// the hero's commands, the plain attack and its damage, escape, victory and defeat.
#include <cmath>

#include "battle/battle.h"
#include "events/events.h"
#include "events/story.h"
#include "field/field.h"
#include "items/items.h"
#include "platform/blit.h"
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
constexpr int kBattleWindows[] = {win::kBattleCommands, win::kBattleSpells, win::kHealStrength, win::kItems,
                                  win::kPanel};

std::uint32_t Now() { return platform::GetPlatform().TimeGetTime(); }

// Waits the rest of a frame of `ms` that began at t0.
void FrameEnd(std::uint32_t t0, long ms) { Wait(ms - static_cast<long>(Now() - t0)); }

long FT() { return FrameWait; }

// One horizontal band of the current enemy's pose-0 picture: rows from `from` (of the
// picture), `height` high, drawn at (dx, dy), mask first.
void EnemySlice(const EnemyRecord& e, int pose, int dx, int dy, int from, int height) {
  const int sx = static_cast<int>(e.w) * pose + e.srcX;
  platform::MaskThenPaint(picMain, dx, dy, static_cast<int>(e.w), height, picEnemy, sx,
                          e.srcY + static_cast<int>(e.h) + from, sx, e.srcY + from);
}

// Background, the enemy (unless hidden) and the hero standing, then a refresh.
void DrawScene(bool withEnemy = true) {
  BtlDrawBack(0);
  if (withEnemy) BtlDrawEnemy(EnemyId, 0, 0, 0);
  BtlDrawHero(0, 0, 0);
  RefreshScreen();
}

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
  if (withStatus != 0) WinDraw(win::kSmallStatus);
}

void BtlDrawEnemy(int row, int pose, int dx, int dy) {
  const EnemyRecord& e = EnemyTable(row);
  EnemySlice(e, pose, e.x + dx, e.y + dy, 0, static_cast<int>(e.h));
}

void BtlDrawHero(int pose, int dx, int dy) {
  platform::MaskThenPaint(picMain, kHeroX + dx, kHeroY + dy, kPoseW, kPoseH, picBtlChr, kPoseW * pose, kPoseH,
                          kPoseW * pose, 0);
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
  on([] { WinHide(win::kPanel); });
  KeyWait();
  on([] { WinDraw(win::kSmallStatus); });
}

// ---------------------------------------------------------------------------
// The command menu.

Byte btldeal(int n) {
  Trap on("btldeal");
  // Refuses a choice with a message that waits for a button.
  auto refuse = [&](Say text) {
    on([&] { Message(Word(text)); });
    on([] { WinHide(win::kMessage); });
    return Pick::kStay;
  };
  auto choose = [&](Selection& s) -> Pick {
    const int row = s.row();
    const MenuAction action = on.Value<MenuAction>(MenuAction::kNone, [&] { return Windows(n).Action(row); });
    switch (action) {
      case MenuAction::kItems: {
        // The item window without its last row, the rubbish bin.
        Integer count = 0, height = 0;
        on([&] {
          count = Windows(win::kItems).Count;
          height = Windows(win::kItems).H;
          Windows(win::kItems).Count = CInt(count - 1);
          Windows(win::kItems).H = CInt(height - 20);
        });
        const Byte r = btldeal(win::kItems);
        on([&] {
          Windows(win::kItems).Count = count;
          Windows(win::kItems).H = height;
        });
        if (r == 255) return Pick::kStay;
        s.result = static_cast<Byte>(kCmdItem + r);
        return Pick::kLeave;
      }
      case MenuAction::kMagic: {
        const Byte r = btldeal(win::kBattleSpells);
        if (r == 255) return Pick::kStay;
        s.result = static_cast<Byte>(kCmdSpell + r);
        return Pick::kLeave;
      }
      case MenuAction::kYes:
        s.result = 0;
        return Pick::kLeave;
      case MenuAction::kNo:
        s.result = 255;
        return Pick::kLeave;
      case MenuAction::kFight:
      case MenuAction::kRun:
        s.result = static_cast<Byte>(row);
        return Pick::kLeave;
      case MenuAction::kHealStrength: {
        const long long spell = std::holds_alternative<long long>(MenuChoice) ? std::get<long long>(MenuChoice) : 0;
        const long base = on.Value<long>(0, [&] { return static_cast<long>(MagicTable(spell).Cost); });
        if (Player.mp < base * (row + 1) * 2) return refuse(Say::kMpShort);
        s.result = static_cast<Byte>(row);
        return Pick::kLeave;
      }
      default:
        break;
    }
    // A row that shows nothing (an empty inventory slot) does nothing.
    if (on.Value<std::string>("", [&] { return Windows(n).Item(row); }).empty()) return Pick::kStay;
    if (action == MenuAction::kCastSpell) {
      const long base = on.Value<long>(0, [&] { return static_cast<long>(MagicTable(row).Cost); });
      if (Player.mp < base) return refuse(Say::kMpShort);
      MenuChoice = static_cast<long long>(row);
      SpellPower = 0;
      if (row <= 3) {
        const Byte p = btldeal(win::kHealStrength);
        SpellPower = p;
        if (p == 255) return Pick::kStay;
      }
      s.result = static_cast<Byte>(row);
      return Pick::kLeave;
    }
    if (action == MenuAction::kItemSlot || action == MenuAction::kTrash) {
      if (on.Value<Byte>(0, [&] { return Player.items(row); }) == 0) return refuse(Say::kNotNowDot);
      s.result = static_cast<Byte>(row);
      return Pick::kLeave;
    }
    return refuse(Say::kNotUsableYet);
  };
  SelectionRules rules;
  rules.pick = choose;
  rules.cancel = [](Selection& s) {
    s.result = 255;
    return Pick::kLeave;
  };
  // The window itself stays up (the command window between turns).
  rules.hide_on_leave = false;
  rules.battle_moves = true;
  return RunSelection(n, on, rules);
}

// ---------------------------------------------------------------------------
// Damage and the plain attack.

Integer CalcDamage(const BattleStats& att, const BattleState& attState, const BattleStats& def,
                   const BattleState& defState, int divisor) {
  Trap on("CalcDamage");
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
  on([] { BtlText(Word(Say::kRanAway)); });
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
  on([] { WinHide(win::kPanel); });
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
  on([] { Message(Word(Say::kDefeated, {Named(Enemy.name)})); });
  on([] {
    Message(Word(Say::kReward, {std::to_string(Enemy.stats.exp), std::to_string(Enemy.stats.gold)}));
  });
  on([] { ExpAdd(Enemy.stats.exp); });
  on([] { GOLDAdd(Enemy.stats.gold); });
  on([] { WinHide(win::kMessage); });
}

void GameOver() {
  Trap on("GameOver");
  on([] { ScreenFade(0); });
  on([] { Message(Word(Say::kDied)); });
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
      on([] { BtlText(Word(Say::kAsleep)); });
    } else {
      on([] { BtlText(Word(Say::kWoke)); });
      HeroBattle.asleep = 0;
    }
    Wait(50 * FT());
    return false;
  }
  Byte cmd = 255;
  do {
    cmd = btldeal(win::kBattleCommands);
  } while (cmd == 255);
  // The inner menus have done their work; only the command window stays up.
  for (int w : {win::kItems, win::kBattleSpells, win::kHealStrength}) on([&] { WinHide(w); });
  bool acted = true;
  if (cmd == kCmdFight) {
    on([] { BtlText(Word(Say::kFight)); });
    on([] { Attack(); });
  } else if (cmd == kCmdRun) {
    if (escapable) {
      on([] { BtlText(Word(Say::kRun)); });
      on([] { Escape(); });
      on([] { WinHide(win::kPanel); });
      return true;
    }
    on([] { BtlText(Word(Say::kCannotRun)); });
    Wait(50 * FT());
    on([] { WinHide(win::kPanel); });
    acted = false;
  } else if (cmd >= kCmdItem && cmd <= kCmdItem + 14) {
    const int slot = cmd - kCmdItem;
    on([&] { BtlText(Named(ItemTable(Player.items(slot)).Name)); });
    on([] { BtlUsePose(); });
    on([&] { BtlItemUse(slot); });
  } else if (cmd >= kCmdSpell && cmd < kCmdItem) {
    on([&] { BtlMagic(cmd - kCmdSpell); });
  } else {
    acted = false;
  }
  if (!acted) return false;
  Wait(16 * FT());
  on([] { WinHide(win::kPanel); });
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
      on([] { BtlText(Word(Say::kEnemyWoke)); });
      EnemyBattle.asleep = 0;
    } else {
      on([] { BtlText(Word(Say::kEnemyAsleep)); });
    }
    Wait(50 * FT());
    return false;
  }
  on([] { DrawScene(); });
  Wait(500);
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
    on([] { WinHide(win::kPanel); });
    if (!over) {
      over = EnemyTurn(on);
      on([] { WinHide(win::kPanel); });
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
    on([] { WinHide(win::kSmallStatus); });
    on([] { WinHide(win::kMessage); });
    return 255;
  }
  on([] { PlayBgm(BgmName); });
  on([] { WinHide(win::kSmallStatus); });
  on([] { BuffDraw(); });
  on([] { MapDraw(0, 0, 1, 1); });
  on([] { ScreenFade(1); });
  return 0;
}

}  // namespace ardo
