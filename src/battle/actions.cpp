// What the hero's spells and items and the enemy's turn do in battle, with the
// short picture effects that go with them.
#include <algorithm>
#include <array>
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

namespace {

std::uint32_t Now() { return platform::GetPlatform().TimeGetTime(); }
void FrameEnd(std::uint32_t t0, long ms) { Wait(ms - static_cast<long>(Now() - t0)); }

// The hero's item 25 softens spells, item 26 blows.
constexpr platform::Color kHitRed = platform::Rgb(255, 0, 0);
constexpr platform::Color kHealBlue = platform::Rgb(0, 50, 100);

// A division that faults on a zero divisor instead of yielding infinity.
double Div(double a, double b) {
  if (b == 0.0) Raise(err::kDivisionByZero);
  return a / b;
}

void DrawScenery(int heroPose = 0) {
  BtlDrawBack(0);
  BtlDrawEnemy(EnemyId, 0, 0, 0);
  BtlDrawHero(heroPose, 0, 0);
}

// Seven frames of the hero shaking with a number over him.
void HeroShake(const Trap& on, const std::string& text, platform::Color colour) {
  for (int i = 0; i <= 6; ++i) {
    const std::uint32_t t0 = Now();
    on([&] {
      BtlDrawBack(0);
      BtlDrawEnemy(EnemyId, 0, 0, 0);
      BtlDrawHero(0, 2 - (i % 4), -(i % 2));
      DrawBattleNumber(text, 242, 209 + 3 * (i % 3), colour);
      RefreshScreen();
    });
    FrameEnd(t0, FrameWait);
  }
}

void HeroMiss(const Trap& on) {
  const std::uint32_t t0 = Now();
  on([] {
    DrawBattleNumber("MISS!", 242, 220, kHitRed);
    RefreshScreen();
  });
  FrameEnd(t0, 7 * FrameWait);
}

// The hero takes d: "MISS!" below 1, else the hit and the shake.
void HeroTakes(const Trap& on, Integer d) {
  if (d < 1) {
    HeroMiss(on);
    return;
  }
  on([] { PlaySe("hit", 1); });
  HeroShake(on, std::to_string(d), kHitRed);
}

int EnemyNumberX() { return Enemy.x + static_cast<int>(Enemy.w - Enemy.w / 4); }
void EnemyShake(const Trap& on, Integer d);

}  // namespace

void EnemyTakes(const Trap& on, Integer d) {
  const int nx = EnemyNumberX();
  if (d < 1) {
    const std::uint32_t t0 = Now();
    on([&] {
      DrawBattleNumber("MISS!", nx, Enemy.y + static_cast<int>(Enemy.h) - 10, kHitRed);
      RefreshScreen();
    });
    FrameEnd(t0, 7 * FrameWait);
    return;
  }
  on([] { PlaySe("hit", 1); });
  EnemyShake(on, d);
}

namespace {

// Seven frames of the enemy shaking with d over it.
void EnemyShake(const Trap& on, Integer d) {
  const int nx = EnemyNumberX();
  for (int i = 0; i <= 6; ++i) {
    const std::uint32_t t0 = Now();
    on([&] {
      BtlDrawBack(0);
      BtlDrawEnemy(EnemyId, 0, 2 - (i % 4), -(i % 2));
      BtlDrawHero(0, 0, 0);
      DrawBattleNumber(std::to_string(d), nx, Enemy.y + static_cast<int>(Enemy.h) - 15 + 3 * ((i % 3) - 2), kHitRed);
      RefreshScreen();
    });
    FrameEnd(t0, FrameWait);
  }
}

// ---- The enemy's actions by name.
enum class Act { kAttack, kBlast, kHeal, kSpell, kSleep, kSkill, kAngel };
struct ActRow {
  std::string_view name;
  Act act;
  double param;
};

constexpr std::array kActs = {
    ActRow{"びっくりアタック", Act::kBlast, 70},  ActRow{"超新星", Act::kBlast, 150},
    ActRow{"ミサイル", Act::kBlast, 100},         ActRow{"ボイル", Act::kBlast, 90},
    ActRow{"怒りボンバー", Act::kBlast, 90},      ActRow{"ビッグバン", Act::kBlast, 250},
    ActRow{"かいふく", Act::kHeal, 50},           ActRow{"ヒール", Act::kHeal, 50},
    ActRow{"回復", Act::kHeal, 50},               ActRow{"ヒーラー", Act::kHeal, 200},
    ActRow{"スーパーヒール", Act::kHeal, 500},    ActRow{"修復", Act::kHeal, 500},
    ActRow{"ほのお", Act::kSpell, 1},             ActRow{"ファイア", Act::kSpell, 1},
    ActRow{"絶対零度", Act::kSpell, 2},           ActRow{"ダイヤモンドダスト", Act::kSpell, 2},
    ActRow{"電撃", Act::kSpell, 3},               ActRow{"超電流", Act::kSpell, 3},
    ActRow{"天のいかずち", Act::kSpell, 3},       ActRow{"超音波", Act::kSleep, 0.4},
    ActRow{"夜の瞳", Act::kSleep, 0.7},           ActRow{"スリーパ", Act::kSleep, 0.5},
    ActRow{"イルミネーション", Act::kSleep, 0.5}, ActRow{"麻酔", Act::kSleep, 0.5},
    ActRow{"催眠術", Act::kSleep, 0.5},           ActRow{"ＡＤ２０００", Act::kSleep, 0.5},
    ActRow{"夢見", Act::kSleep, 0.5},             ActRow{"夢幻の型", Act::kSleep, 0.5},
    ActRow{"天使のため息", Act::kSleep, 0.5},     ActRow{"アイスキック", Act::kSkill, 2},
    ActRow{"けとばし", Act::kSkill, 2},           ActRow{"テールヒット", Act::kSkill, 2},
    ActRow{"まつボックリ", Act::kSkill, 2},       ActRow{"丸のみ", Act::kSkill, 2},
    ActRow{"居合切り", Act::kSkill, 2},           ActRow{"串刺し", Act::kSkill, 2},
    ActRow{"腐ったあんこ", Act::kSkill, 2},       ActRow{"骨ミサイル", Act::kSkill, 2},
    ActRow{"残忍切り", Act::kSkill, 2},           ActRow{"樹液飛ばし", Act::kSkill, 2},
    ActRow{"臭い息", Act::kSkill, 2},             ActRow{"針スパーク", Act::kSkill, 2},
    ActRow{"地面掘り", Act::kSkill, 2},           ActRow{"針万本", Act::kSkill, 2},
    ActRow{"メタルマインド", Act::kSkill, 2},     ActRow{"墨吐き", Act::kSkill, 2},
    ActRow{"葉っぱの舞", Act::kSkill, 2},         ActRow{"アイスクラッシュ", Act::kSkill, 2},
    ActRow{"こうらアタック", Act::kSkill, 2},     ActRow{"たいあたり", Act::kSkill, 2},
    ActRow{"ノミールアタック", Act::kSkill, 2},   ActRow{"メガトンキック", Act::kSkill, 2},
    ActRow{"メタルスペシャル", Act::kSkill, 2},   ActRow{"体当たり", Act::kSkill, 2},
    ActRow{"こびとパンチ", Act::kSkill, 2},       ActRow{"エンジェルダスター", Act::kAngel, 0},
};

ActRow LookUp(const std::string& name) {
  for (const ActRow& row : kActs) {
    if (row.name == name) return row;
  }
  return ActRow{"", Act::kAttack, 1};
}

// A blow at the hero: divisor 1 for a plain attack, 2 for a physical skill; the
// angel's dust leaves him one hit point.
void EnemyAttack(const Trap& on, const std::string& name, int divisor, bool angel) {
  on([&] { BtlText(Named(name)); });
  on([] { PlaySe("attack", 1); });
  on([] { EnemyFlash(3); });
  Wait(500);
  Integer d = 0;
  on([&] {
    d = angel ? CInt(static_cast<long long>(Player.hp) - 1)
              : CalcDamage(Enemy.stats, EnemyBattle, HeroStats(), HeroBattle, divisor);
  });
  on([&] {
    if (ItemHave(story::kPhoenixRobe) == 0) d = CInt((1.0 - static_cast<double>(Rnd()) * 0.2) * d);
  });
  on([&] { HPadd(-d); });
  HeroTakes(on, d);
  on([] { WinDraw(win::kSmallStatus); });
}

void EnemyBlast(const Trap& on, const std::string& name, double base) {
  on([&] { BtlText(Named(name)); });
  on([] { EffBomb(1); });
  on([] { WinHide(win::kPanel); });
  double r = 0;
  bool ok = false;
  on([&] {
    r = Div(Player.sp, Enemy.stats.sp) * static_cast<double>(Rnd());
    ok = true;
  });
  if (!ok) return;  // the turn ends with the fault logged
  if (r > 10) {
    HeroMiss(on);
    return;
  }
  Integer d = 0;
  on([&] { d = CInt((1.0 - static_cast<double>(Rnd()) / 2.0) * base); });
  on([&] { HPadd(-d); });
  on([] { PlaySe("hit", 1); });
  HeroShake(on, std::to_string(d), kHitRed);
  on([] { WinDraw(win::kSmallStatus); });
}

void EnemySelfHeal(const Trap& on, const std::string& name, double base) {
  on([&] { BtlText(Named(name)); });
  on([] { PlaySe("heal", 1); });
  on([] { EnemyFlash(3); });
  on([&] { EnemyHeal(CInt((1.0 - static_cast<double>(Rnd()) / 5.0) * base)); });
}

void EnemySpell(const Trap& on, const std::string& name, int e) {
  on([&] { BtlText(Named(name)); });
  on([] { PlaySe("attack", 1); });
  on([] { EnemyFlash(3); });
  Wait(500);
  on([&] {
    if (e == 1) EffFire(1);
    if (e == 2) EffIce(1);
    if (e == 3) EffThunder(1);
  });
  Integer d = 0;
  bool ok = false;
  on([&] {
    const double r = Rnd();
    d = CInt((2.0 * 2 + 1 + e) * std::sqrt(static_cast<double>(Enemy.stats.lv)) *
             (r / 2 + std::sqrt(Div(2.0 * Enemy.stats.mmp, Player.mmp)) + 1) * e);
    ok = true;
  });
  if (!ok) return;
  on([&] {
    if (ItemHave(story::kFlowerHat) == 0) d = CInt((1.0 - static_cast<double>(Rnd()) * 0.2) * d);
  });
  on([&] { HPadd(-d); });
  HeroTakes(on, d);
  on([] { WinDraw(win::kSmallStatus); });
}

void EnemySleep(const Trap& on, const std::string& name, double chance) {
  on([&] { BtlText(Named(name)); });
  on([] { PlaySe("sleep", 1); });
  on([] { EffRing(228, 190, 2, platform::Rgb(0, 0xAA, 0xFF), 1.2); });
  Wait(500);
  on([] { WinHide(win::kPanel); });
  on([&] {
    if (Rnd() > static_cast<float>(chance)) {
      BtlText(Word(Say::kNoEffect));
    } else {
      BtlText(Word(Say::kFellAsleep));
      HeroBattle.asleep = 1;
    }
  });
  on([] { WinDraw(win::kSmallStatus); });
}

// The casting: poses 6 and 7, then the sparkles over the raised hand at y.
void Casting(const Trap& on, bool alternateRows, int y) {
  for (int pose = 6; pose <= 7; ++pose) {
    const std::uint32_t t0 = Now();
    on([&] {
      DrawScenery(pose);
      RefreshScreen();
    });
    FrameEnd(t0, 7 * FrameWait);
  }
  for (int i = 0; i < 10; ++i) {
    const std::uint32_t t0 = Now();
    on([&] {
      DrawScenery(7);
      const int sy = alternateRows ? ((i / 2) % 2 == 0 ? 0 : 20) : y;
      picMain.BitBlt(214, 130, 28, 20, &picBtlChr, i % 2 == 0 ? 448 : 476, sy, platform::Rop::kSrcPaint);
      RefreshScreen();
    });
    FrameEnd(t0, 3 * FrameWait);
  }
}

}  // namespace

void EnemyFlash(int n) {
  Trap on("EnemyFlash");
  for (int k = 0; k <= n; ++k) {
    for (int white = 1; white >= 0; --white) {
      const std::uint32_t t0 = Now();
      on([&] {
        BtlDrawBack(0);
        const EnemyRecord& e = EnemyTable(EnemyId);
        if (white != 0) {
          picMain.BitBlt(e.x, e.y, static_cast<int>(e.w), static_cast<int>(e.h), &picEnemy, e.srcX,
                         e.srcY + static_cast<int>(e.h), platform::Rop::kMergePaint);
        } else {
          BtlDrawEnemy(EnemyId, 0, 0, 0);
        }
        BtlDrawHero(0, 0, 0);
        RefreshScreen();
      });
      FrameEnd(t0, 2 * FrameWait);
    }
  }
}

void EnemyHeal(int n) {
  Trap on("EnemyHeal");
  on([&] {
    long long hp = static_cast<long long>(Enemy.stats.hp) + n;
    if (hp > Enemy.stats.mhp) hp = Enemy.stats.mhp;
    Enemy.stats.hp = CInt(hp);
  });
}

void EnemyAct() {
  Trap on("EnemyAct");
  std::string name;
  on([&] { name = Enemy.skills(static_cast<long long>(std::floor(static_cast<double>(Rnd()) * 10.0))); });
  const ActRow row = LookUp(name);
  switch (row.act) {
    case Act::kBlast: EnemyBlast(on, name, row.param); break;
    case Act::kHeal: EnemySelfHeal(on, name, row.param); break;
    case Act::kSpell: EnemySpell(on, name, static_cast<int>(row.param)); break;
    case Act::kSleep: EnemySleep(on, name, row.param); break;
    case Act::kSkill: EnemyAttack(on, name, 2, false); break;
    case Act::kAngel: EnemyAttack(on, name, 1, true); break;
    case Act::kAttack: EnemyAttack(on, name, 1, false); break;
  }
}

void BtlUsePose() {
  Trap on("BtlUsePose");
  Casting(on, true, 0);
}

void EffHeal() {
  Trap on("EffHeal");
  on([] { PlaySe("heal", 1); });
  Integer amount = 0;
  on([&] {
    const double r = Rnd();
    switch (SpellPower) {
      case 0: amount = CInt((r / 2 + 0.7) * 70); break;
      case 1: amount = CInt((r / 2 + 0.7) * 250); break;
      case 2: amount = CInt((r / 2 + 0.7) * 1000); break;
      default: amount = Player.mhp; break;
    }
  });
  HeroShake(on, std::to_string(amount), kHealBlue);
  on([&] { HPadd(amount); });
  on([] { WinDraw(win::kSmallStatus); });
}

void BtlMagic(int row) {
  Trap on("BtlMagic");
  on([&] { BtlText(Windows(win::kBattleSpells).Item(row)); });
  on([] { PlaySe("magic", 1); });
  const int power = row <= 3 ? SpellPower : 0;
  on([&] { MPadd(CInt(-static_cast<long long>(MagicTable(row).Cost) * (2 * power + 1))); });
  on([] { WinDraw(win::kSmallStatus); });
  Casting(on, false, 40);
  on([] {
    DrawScenery(0);
    RefreshScreen();
  });
  Wait(300);
  on([&] {
    switch (row) {
      case 1: EffFire(0); break;
      case 2: EffIce(0); break;
      case 3: EffThunder(0); break;
      case 4:
        PlaySe("sleep", 1);
        EffRing(Enemy.x + static_cast<int>(Enemy.w / 2), Enemy.y + static_cast<int>(Enemy.h / 2), 2,
                platform::Rgb(0, 0xAA, 0xFF), 1.2);
        break;
      case 5:
      case 6:
      case 7:
        PlaySe("up1", 1);
        EffRing(228, 190, 3,
                row == 5 ? platform::Rgb(0, 0, 255) : row == 6 ? platform::Rgb(255, 0, 0)
                                                               : platform::Rgb(0, 255, 255),
                0.5);
        break;
      default: break;
    }
  });
  on([] { WinHide(win::kPanel); });
  const double ap = Player.ap, dp = Player.dp, sp = Player.sp;
  switch (row) {
    case 0: on([] { EffHeal(); }); break;
    case 1:
    case 2:
    case 3: {
      Integer d = 0;
      on([&] {
        const double r = Rnd();
        d = CInt((2.0 * power + 1 + row) * std::sqrt(static_cast<double>(Player.lv)) *
                 (r / 2 + std::sqrt(Div(2.0 * Player.mmp, Enemy.stats.mmp)) + 1) * row);
        Enemy.stats.hp = CInt(static_cast<long long>(Enemy.stats.hp) - d);
        EnemyTakes(on, d);
      });
      break;
    }
    case 4:
      on([] {
        if (static_cast<float>(Rnd() * 100.0f) > static_cast<float>(Enemy.sleepResist)) {
          BtlText(Word(Say::kEnemySlept));
          Wait(50 * FrameWait);
          EnemyBattle.asleep = 1;
        } else {
          BtlText(Word(Say::kNoEffectDots));
        }
      });
      break;
    case 5:
      on([&] { HeroBattle.apBonus = CInt(ap / 3); });
      on([&] { HeroBattle.dpBonus = CInt(-dp / 5); });
      on([&] { HeroBattle.spBonus = CInt(-sp / 1.5); });
      break;
    case 6:
      on([&] { HeroBattle.apBonus = CInt(-ap / 3); });
      on([&] { HeroBattle.dpBonus = CInt(dp / 5); });
      on([&] { HeroBattle.spBonus = CInt(-sp / 1.5); });
      break;
    case 7:
      on([&] { HeroBattle.apBonus = CInt(-ap / 6); });
      on([&] { HeroBattle.dpBonus = CInt(-dp / 6); });
      on([&] { HeroBattle.spBonus = CInt(3 * sp); });
      break;
    default: break;
  }
  on([] {
    DrawScenery(0);
    RefreshScreen();
  });
  on([] { WinDraw(win::kSmallStatus); });
}

Byte BtlItemUse(int slot) {
  Trap on("BtlItemUse");
  on([&] {
    const int id = Player.items(slot);
    if (id == 0) return;
    const ItemRecord item = ItemTable(id);
    const int p = item.Value;
    // A refused item is kept, as it is in the field.
    bool refused = false;
    const auto refuse = [&] {
      if (item.NoField == 0) return false;
      BtlText(Word(Say::kPanelNotNow));
      refused = true;
      return true;
    };
    switch (item.Kind) {
      case 0: on([] { BtlText(Word(Say::kPanelUnusable)); }); break;
      case 1:
      case 2: {
        if (refuse()) break;
        Integer amount = 0;
        on([&] { amount = ItemRestoreAmount(item.Value); });
        if (item.Kind == 1) {
          if (p < 1) {
            on([] { BtlText(Word(Say::kPanelDamaged)); });
            on([] { PlaySe("hit", 1); });
            HeroShake(on, std::to_string(amount), kHitRed);
          } else {
            on([] { PlaySe("heal", 1); });
            HeroShake(on, std::to_string(amount), kHealBlue);
          }
          on([&] { HPadd(amount); });
        } else {
          on([] { PlaySe("heal", 1); });
          on([&] { BtlText(Word(p < 1 ? Say::kPanelMpDamaged : Say::kPanelMpHealed)); });
          on([&] { MPadd(amount); });
        }
        on([] { WinDraw(win::kSmallStatus); });
        break;
      }
      case 3:
      case 4:
      case 5:
      case 6:
      case 7: {
        const long long gain = UseGrowthItem(item.Kind, item.Value, on);
        on([&] { BtlText(Word(GrowthWord(item.Kind), {std::to_string(gain)})); });
        break;
      }
      case 8: {
        on([] { EffBomb(0); });
        Integer d = 0;
        on([&] {
          d = CInt(IntDiv(CLng(static_cast<double>(100.0f - Rnd() * 60.0f)) * static_cast<long long>(p), 100));
        });
        on([&] { Enemy.stats.hp = CInt(static_cast<long long>(Enemy.stats.hp) - d); });
        on([] { PlaySe("hit", 1); });
        EnemyShake(on, d);
        break;
      }
      default: on([] { BtlText(Word(Say::kPanelNoEffect)); }); break;
    }
    if (item.Keep == 0 && !refused) Player.items(slot) = 0;
  });
  on([] { WinHide(win::kItems); });
  on([] { WinHide(win::kPanel); });
  on([] { WinDraw(win::kSmallStatus); });
  return 0;
}

// ---- The effects.

void EffIce(int onHero) {
  Trap on("EffIce");
  on([] { PlaySe("ice", 1); });
  for (int i = 0; i <= 10; ++i) {
    const std::uint32_t t0 = Now();
    on([&] {
      DrawScenery();
      if (i % 2 == 0 || i > 6) {
        const int x = onHero != 0 ? 188 : Enemy.x + static_cast<int>((Enemy.w - 100) / 2) + 10;
        const int y = onHero != 0 ? 140 : Enemy.y + static_cast<int>((Enemy.h - 100) / 2);
        picMain.BitBlt(x, y, 100, 100, &picBtlChr, 0, 160, platform::Rop::kSrcPaint);
      }
      RefreshScreen();
    });
    FrameEnd(t0, FrameWait);
  }
  Wait(300);
}

void EffFire(int onHero) {
  Trap on("EffFire");
  struct Flame {
    int x = 0;
    int y = 0;
    int life = 0;
  };
  std::array<Flame, 6> flames{};
  for (int f = 0; f <= 40; ++f) {
    const std::uint32_t t0 = Now();
    on([&] {
      if (f % 4 == 0) PlaySe("fire", 17);
      DrawScenery();
      for (Flame& p : flames) {
        if (p.life == 0) {
          if (f <= 29) {
            const double spread = onHero != 0 ? 80.0 : static_cast<double>(Enemy.h);
            p.x = static_cast<int>(CLng(static_cast<double>(Rnd()) * spread)) + 100;
            p.y = 100;
            p.life = 255;
          }
        } else if (p.life < 255) {
          --p.life;  // resting before the next launch
        }
        if (p.life == 255) {
          const int dx = onHero != 0 ? p.x + 200 : Enemy.x + p.x;
          const int dy = onHero != 0 ? 150 - p.y : Enemy.y - p.y;
          picMain.BitBlt(dx, dy, 27, 28, &picBtlChr, 100, 160, platform::Rop::kSrcPaint);
          p.x -= 10;
          p.y -= 10;
          if (p.x < 0) p.life = static_cast<int>(std::floor(static_cast<double>(Rnd()) * 10.0));
        }
      }
      RefreshScreen();
    });
    FrameEnd(t0, FrameWait);
  }
  Wait(300);
}

void EffThunder(int onHero) {
  Trap on("EffThunder");
  on([] { PlaySe("thunder", 1); });
  for (int i = 0; i <= 2; ++i) {
    for (int a = 0; a <= 360; a += 20) {
      const std::uint32_t t0 = Now();
      on([&] {
        DrawScenery();
        for (int j = 0; j <= 1; ++j) {
          const double th = a / 180.0 * 3.1415 * (j + 1) + j * 1.57075;
          const int k = (j + a / 10) & 1;
          int x = 0;
          int y = 0;
          if (onHero != 0) {
            x = 214 + CInt(std::cos(th) * 28 / (i + 1));
            y = 94 + CInt(std::sin(th) * 16 / (i + 1));
          } else {
            const int w = static_cast<int>(Enemy.w);
            const int dx = CInt(std::cos(th) * (w / 2) / (i + 1));
            const int dy = CInt(std::sin(th) * (w / 5) / (i + 1));
            x = Enemy.x + w / 2 + dx - 14;
            y = Enemy.y + static_cast<int>(Enemy.h) + dy - 136;
          }
          picMain.BitBlt(x, y, 28, 136, &picBtlChr, 448 + 28 * k, 124, platform::Rop::kSrcPaint);
        }
        RefreshScreen();
      });
      FrameEnd(t0, FrameWait);
    }
  }
  if (onHero == 0) on([] { EnemyFlash(3); });
  on([] {
    DrawScenery();
    RefreshScreen();
  });
}

void EffBomb(int onHero) {
  Trap on("EffBomb");
  for (int f = 0; f <= 20; ++f) {
    const std::uint32_t t0 = Now();
    on([&] {
      PlaySe("bomb", 17);
      DrawScenery();
      const double rx = Rnd();
      const double ry = Rnd();
      const int n = static_cast<int>(std::floor(static_cast<double>(Rnd()))) + 1;
      const int size = 18 * n + 27;
      int x = 0;
      int y = 0;
      if (onHero != 0) {
        x = static_cast<int>(155 + 101 * rx);
        y = static_cast<int>(105 + 125 * ry);
      } else {
        x = static_cast<int>(Enemy.x - 45 + static_cast<double>(Enemy.w + 45) * rx);
        y = static_cast<int>(Enemy.y - 45 + static_cast<double>(Enemy.h + 45) * ry);
      }
      picMain.BitBlt(x, y, size, size, &picBtlChr, 100, 27 * n + 188, platform::Rop::kSrcPaint);
      RefreshScreen();
    });
    FrameEnd(t0, 2 * FrameWait);
  }
  on([] {
    BtlDrawBack(0);
    BtlDrawEnemy(EnemyId, 0, 0, 0);
    RefreshScreen();
  });
  Wait(300);
}

void EffRing(int cx, int cy, int count, platform::Color colour, double aspect) {
  Trap on("EffRing");
  constexpr double kTurn = 6.3028;
  std::array<int, 8> radius{};
  std::array<bool, 8> started{};
  count = std::clamp(count, 1, 8);
  started[0] = true;
  for (int frame = 0; frame < 1000; ++frame) {
    const std::uint32_t t0 = Now();
    on([&] {
      DrawScenery();
      for (int k = 0; k < count; ++k) {
        if (!started[static_cast<size_t>(k)] || radius[static_cast<size_t>(k)] > 300) continue;
        const int r = radius[static_cast<size_t>(k)];
        const double start = std::fmod(r / 30.0 * 0.7 + k * 2.1, kTurn);
        const double end = std::fmod(start + 4.2, kTurn);
        picMain.Circle(cx, cy, r, colour, aspect, start, end);
      }
      RefreshScreen();
    });
    for (int k = 0; k < count; ++k) {
      const auto u = static_cast<size_t>(k);
      if (started[u] && radius[u] <= 300) radius[u] += 30;
    }
    for (int k = 0; k + 1 < count; ++k) {
      if (radius[static_cast<size_t>(k)] > 100) started[static_cast<size_t>(k) + 1] = true;
    }
    FrameEnd(t0, FrameWait);
    if (radius[static_cast<size_t>(count - 1)] > 300) break;
  }
  Wait(300);
}

}  // namespace ardo
