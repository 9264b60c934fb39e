// What the hero's spells and items and the enemy's turn do in battle. For now the
// enemy answers every action name with a plain attack, a spell other than "回復"
// has no effect, and items work as they do from the field menu; the named enemy
// actions, the battle spells and the effect pictures replace these one by one.
#include <cmath>

#include "battle/battle.h"
#include "events/events.h"
#include "field/field.h"
#include "items/items.h"
#include "sound/sound.h"
#include "ui/ui.h"

namespace ardo {

namespace {

std::uint32_t Now() { return platform::GetPlatform().TimeGetTime(); }
void FrameEnd(std::uint32_t t0, long ms) { Wait(ms - static_cast<long>(Now() - t0)); }

// The hero's item 26 softens blows.
constexpr int kBlowGuard = 26;

// A blow at the hero: divisor 1 for a plain attack, 2 for a physical skill.
void EnemyAttack(const Trap& on, const std::string& name, int divisor) {
  on([&] { BtlText(name); });
  on([] { PlaySe("attack", 1); });
  on([] { EnemyFlash(3); });
  Wait(500);
  Integer d = CalcDamage(Enemy.stats, EnemyBattle, HeroStats(), HeroBattle, divisor);
  on([&] {
    if (ItemHave(kBlowGuard) == 0) d = CInt((1.0 - static_cast<double>(Rnd()) * 0.2) * d);
  });
  on([&] { HPadd(-d); });
  if (d < 1) {
    const std::uint32_t t0 = Now();
    on([] {
      DrawBattleNumber("MISS!", 242, 220, platform::Rgb(255, 0, 0));
      RefreshScreen();
    });
    FrameEnd(t0, 7 * FrameWait);
    return;
  }
  on([] { PlaySe("hit", 1); });
  for (int i = 0; i <= 6; ++i) {
    const std::uint32_t t0 = Now();
    on([&] {
      BtlDrawBack(0);
      BtlDrawEnemy(EnemyId, 0, 0, 0);
      BtlDrawHero(0, 2 - (i % 4), -(i % 2));
      DrawBattleNumber(std::to_string(d), 242, 209 + 3 * (i % 3), platform::Rgb(255, 0, 0));
      RefreshScreen();
    });
    FrameEnd(t0, FrameWait);
  }
  on([] { WinDraw(6); });
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

void EnemyAct() {
  Trap on("EnemyAct");
  RandomizeFromClock();
  std::string name;
  on([&] { name = Enemy.skills(static_cast<long long>(std::floor(static_cast<double>(Rnd()) * 10.0))); });
  EnemyAttack(on, name, 1);
}

void BtlUsePose() {
  Trap on("BtlUsePose");
  for (int pose = 6; pose <= 7; ++pose) {
    const std::uint32_t t0 = Now();
    on([&] {
      BtlDrawBack(0);
      BtlDrawEnemy(EnemyId, 0, 0, 0);
      BtlDrawHero(pose, 0, 0);
      RefreshScreen();
    });
    FrameEnd(t0, 7 * FrameWait);
  }
  for (int i = 0; i < 10; ++i) {
    const std::uint32_t t0 = Now();
    on([&] {
      BtlDrawBack(0);
      BtlDrawEnemy(EnemyId, 0, 0, 0);
      BtlDrawHero(7, 0, 0);
      picMain.BitBlt(214, 130, 28, 20, &picBtlChr, i % 2 == 0 ? 448 : 476, (i / 2) % 2 == 0 ? 0 : 20,
                     platform::Rop::kSrcPaint);
      RefreshScreen();
    });
    FrameEnd(t0, 3 * FrameWait);
  }
}

void BtlMagic(int row) {
  Trap on("BtlMagic");
  on([&] { BtlText(Windows(13).Item(row)); });
  if (row == 0) {
    on([] { BtlUsePose(); });
    on([] { Heal(SpellPower); });
  } else {
    Wait(25 * FrameWait);
    on([] { BtlText("効果がなかった・・・"); });
  }
  on([] { WinDraw(6); });
}

Byte BtlItemUse(int slot) {
  Trap on("BtlItemUse");
  on([&] { ItemUse(slot); });
  on([] { WinHide(7); });
  on([] { WinDraw(6); });
  return 0;
}

}  // namespace ardo
