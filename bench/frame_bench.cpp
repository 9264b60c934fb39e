// Costs of the field's drawing: composing the visible frame, a masked figure,
// the back buffer and one field frame.
#include <benchmark/benchmark.h>

#include <utility>

#include "core/core.h"
#include "events/events.h"
#include "field/field.h"
#include "platform/platform.h"
#include "ui/ui.h"

namespace ardo {
namespace {

void FillNoise(platform::Surface& s) {
  std::uint32_t v = 12345;
  for (auto& p : s.pixels()) {
    v = v * 1664525u + 1013904223u;
    p = v >> 8;
  }
}

void BM_ComposeFrame(benchmark::State& state) {
  platform::Surface view(360, 360);
  FillNoise(view);
  view.left = 3;
  view.top = 3;
  platform::Surface w1(275, 115), w2(120, 80), w3(110, 120);
  w1.left = 43;
  w1.top = 235;
  w2.left = 220;
  w2.top = 20;
  w3.left = 20;
  w3.top = 20;
  platform::Surface out;
  const std::vector<const platform::Surface*> windows = {&w1, &w2, &w3};
  for (auto _ : state) {
    platform::ComposeFrame(platform::Rgb(0, 0, 255), 366, 366, view, windows, &out);
    benchmark::DoNotOptimize(std::as_const(out).pixels().data());
  }
}
BENCHMARK(BM_ComposeFrame);

void BM_MaskedFigure(benchmark::State& state) {
  FillNoise(picMain);
  FillNoise(picChr);
  FillNoise(picMask);
  for (auto _ : state) {
    DrawFigure(48, 24, 168, 168, 0);
    benchmark::DoNotOptimize(picMain.pixels().data());
  }
}
BENCHMARK(BM_MaskedFigure);

void BM_BuffDraw(benchmark::State& state) {
  FillNoise(picMaptip);
  MapWidth = MapHeight = 60;
  for (int x = 0; x < 60; ++x)
    for (int y = 0; y < 60; ++y) MapData(x, y).tile = static_cast<Byte>(x * 7 + y);
  Player.x = Player.y = 30;
  for (auto _ : state) {
    BuffDraw();
    benchmark::DoNotOptimize(picBuff.pixels().data());  // counts as a change: every cell is laid again
  }
}
BENCHMARK(BM_BuffDraw);

void BM_MapDrawWithCharacters(benchmark::State& state) {
  FillNoise(picBuff);
  Player.x = Player.y = 30;
  CharCount = 6;
  for (int i = 0; i < 6; ++i) {
    Chars(i).x = static_cast<Integer>(27 + i);
    Chars(i).y = 28;
    Chars(i).pic = static_cast<Integer>(i + 1);
  }
  for (auto _ : state) {
    MapDraw(0, -12, 1, 1);
    benchmark::DoNotOptimize(picMain.pixels().data());
  }
  CharCount = 0;
}
BENCHMARK(BM_MapDrawWithCharacters);

}  // namespace
}  // namespace ardo
