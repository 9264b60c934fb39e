// One battle frame: the background, the enemy, the hero and the windows composed
// into the visible frame, as every frame of a battle's animations does.
#include <benchmark/benchmark.h>

#include <utility>

#include "battle/battle.h"
#include "core/core.h"
#include "field/field.h"
#include "platform/platform.h"
#include "ui/ui.h"

namespace ardo {
namespace {

void FillNoise(platform::Surface& s, std::uint32_t v) {
  for (auto& p : s.pixels()) {
    v = v * 1664525u + 1013904223u;
    p = v >> 8;
  }
}

void BM_BattleFrame(benchmark::State& state) {
  FillNoise(picBtlBack, 1);
  FillNoise(picEnemy, 2);
  FillNoise(picBtlChr, 3);
  EnemyRecord e;
  e.srcX = 0;
  e.srcY = 0;
  e.w = 144;
  e.h = 144;
  e.x = 23;
  e.y = 61;
  EnemyTable(50) = e;
  EnemyId = 50;
  // The windows up during a battle: small status, commands, the one-line panel.
  for (int n : {6, 12, 14}) {
    picWindow(n).Resize(n == 14 ? 180 : 120, n == 12 ? 100 : 80);
    picWindow(n).left = 20;
    picWindow(n).top = n == 12 ? 240 : 20;
    picWindow(n).visible = true;
  }
  platform::Surface out;
  int i = 0;
  for (auto _ : state) {
    BtlDrawBack(0);
    BtlDrawEnemy(50, 0, 2 - (i % 4), -(i % 2));
    BtlDrawHero(i % 6, 0, 0);
    ComposeScreen(&out);
    benchmark::DoNotOptimize(std::as_const(out).pixels().data());
    ++i;
  }
}
BENCHMARK(BM_BattleFrame);

}  // namespace
}  // namespace ardo
