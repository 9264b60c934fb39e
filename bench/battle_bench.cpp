// One battle frame: the background, the enemy, the hero and the windows composed
// into the visible frame, as every frame of a battle's animations does; next to a plain
// copy of a frame of the same size (366 x 366), measured in the same run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <utility>
#include <vector>

#include "battle/battle.h"
#include "budget.h"
#include "core/core.h"
#include "field/field.h"
#include "platform/frame_gate.h"
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
  using Clock = std::chrono::steady_clock;
  const auto us = [](Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); };
  std::vector<platform::Color> from(366 * 366, 0x123456), to(366 * 366);
  std::vector<double> frame, shown, plain;
  platform::FrameGate gate;
  int i = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    BtlDrawBack(0);
    BtlDrawEnemy(50, 0, 2 - (i % 4), -(i % 2));
    BtlDrawHero(i % 6, 0, 0);
    ComposeScreen(&out);
    benchmark::DoNotOptimize(out.version());
    const auto t1 = Clock::now();
    benchmark::DoNotOptimize(gate.Admit(out));  // what the display then takes
    shown.push_back(us(Clock::now() - t0));
    std::memcpy(to.data(), from.data(), to.size() * sizeof(platform::Color));
    benchmark::DoNotOptimize(to.data());
    plain.push_back(us(Clock::now() - t1));
    frame.push_back(us(t1 - t0));
    ++i;
  }
  const auto median = [](std::vector<double>& v) {
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
    return v[v.size() / 2];
  };
  const double f = median(frame), c = median(plain);
  state.counters["frame_us"] = f;
  state.counters["copy_us"] = c;
  state.counters["frame_x_copy"] = f / c;
  state.counters["shown_x_copy"] = median(shown) / c;
  state.counters["budget_x_copy"] = 2.0;
  bench::Budget("battle frame, x a plain copy", f / c, 2.0);
}
BENCHMARK(BM_BattleFrame);

}  // namespace
}  // namespace ardo
