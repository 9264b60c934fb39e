// What a frame, a step, a tune start and a minute of play cost, as ratios measured in
// the same run (the machine is shared, so absolute times wander with its load):
//   BM_WholeFrame   the view with the hero and six characters, three windows (or none, as
//                   while walking), drawn and composed; next to a plain copy of a frame of
//                   the same size (366 x 366). shown_x_copy adds what the display's gate
//                   then takes to compare and keep it.
//   BM_DashStep     one step of a dash: the back buffer laid, twelve scrolled frames.
//   BM_TuneStart    10,000 frames with a tune change every 15 (the real platform under
//                   SDL's dummy drivers, the music decoding meanwhile): what the audio
//                   calls of each frame (open and play, the loop check) held it
//                   (see Hold: time the machine took the thread away is not counted).
//   BM_HeadlessMinute/walk|dash  the game itself, headless, walking or dashing for a
//                   minute of game time: game seconds per second of the CPU it took.
#include <benchmark/benchmark.h>

#include <utility>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <ctime>
#include <sys/resource.h>
#include <string>
#include <vector>

#include "budget.h"
#include "core/core.h"
#include "events/events.h"
#include "field/field.h"
#include "platform/frame_gate.h"
#include "platform/platform.h"
#include "ui/ui.h"

namespace ardo {
namespace {

using Clock = std::chrono::steady_clock;

double Us(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const size_t i = std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5));
  return v[i];
}

void Noise(platform::Surface& s, std::uint32_t v) {
  for (auto& p : s.pixels()) {
    v = v * 1664525u + 1013904223u;
    p = v >> 8;
  }
}

// A field with a tiled map, the hero, six characters and (unless walking) three windows up.
void SetUpField(bool windows = true) {
  Noise(picMaptip, 1);
  Noise(picChr, 2);
  Noise(picMask, 3);
  picMain.left = 3;
  picMain.top = 3;
  MapWidth = MapHeight = 60;
  for (int x = 0; x <= 60; ++x)
    for (int y = 0; y <= 60; ++y) MapData(x, y).tile = static_cast<Byte>((x * 7 + y * 3) % 256);
  Player.x = Player.y = 30;
  CharCount = 6;
  for (int i = 0; i < 6; ++i) {
    Chars(i).x = static_cast<Integer>(27 + i);
    Chars(i).y = 28;
    Chars(i).pic = static_cast<Integer>(i + 1);
  }
  struct W { int n, w, h, x, y; };
  for (const W& w : {W{0, 275, 115, 43, 235}, W{6, 120, 80, 220, 20}, W{1, 110, 120, 20, 20}}) {
    picWindow(w.n).Resize(w.w, w.h);
    Noise(picWindow(w.n), static_cast<std::uint32_t>(w.n + 10));
    picWindow(w.n).left = w.x;
    picWindow(w.n).top = w.y;
    picWindow(w.n).z = static_cast<std::uint64_t>(w.n + 1);
    picWindow(w.n).visible = windows;
  }
  BuffDraw();
}

void TearDownField() {
  CharCount = 0;
  for (int n : {0, 6, 1}) picWindow(n).visible = false;
}

// A plain copy of a whole frame: the floor the composition is measured against.
struct PlainCopy {
  std::vector<platform::Color> from = std::vector<platform::Color>(366 * 366, 0x123456);
  std::vector<platform::Color> to = std::vector<platform::Color>(366 * 366);
  double Time() {
    const auto t0 = Clock::now();
    std::memcpy(to.data(), from.data(), to.size() * sizeof(platform::Color));
    benchmark::DoNotOptimize(to.data());
    return Us(Clock::now() - t0);
  }
};

void BM_WholeFrame(benchmark::State& state) {
  const bool windows = state.range(0) != 0;
  SetUpField(windows);
  platform::Surface out;
  platform::FrameGate gate;
  PlainCopy copy;
  std::vector<double> compose, frame, shown, gate_us, plain;
  int i = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    MapDraw(0, -2 * (i % 12), 1, 1);
    const auto t1 = Clock::now();
    ComposeScreen(&out);
    benchmark::DoNotOptimize(out.version());
    const auto t2 = Clock::now();
    // What the display then takes: the frame compared with the last one shown and kept
    // (a scrolled frame by sharing its pixels, which the next frame's drawing takes back).
    benchmark::DoNotOptimize(gate.Admit(out));
    const auto t3 = Clock::now();
    compose.push_back(Us(t2 - t1));
    frame.push_back(Us(t2 - t0));
    shown.push_back(Us(t3 - t0));
    gate_us.push_back(Us(t3 - t2));
    plain.push_back(copy.Time());
    ++i;
  }
  const double c = Percentile(plain, 0.5);
  state.counters["copy_us"] = c;
  state.counters["compose_us"] = Percentile(compose, 0.5);
  state.counters["frame_us"] = Percentile(frame, 0.5);
  state.counters["compose_x_copy"] = Percentile(compose, 0.5) / c;
  state.counters["frame_x_copy"] = Percentile(frame, 0.5) / c;
  state.counters["shown_x_copy"] = Percentile(shown, 0.5) / c;
  state.counters["gate_us"] = Percentile(gate_us, 0.5);
  if (!windows) {  // as while walking: no budget of its own
    TearDownField();
    return;
  }
  state.counters["budget_frame_x_copy"] = 1.5;
  state.counters["budget_compose_x_copy"] = 0.7;
  bench::Budget("whole field frame, x a plain copy", Percentile(frame, 0.5) / c, 1.5);
  bench::Budget("compose of it, x a plain copy", Percentile(compose, 0.5) / c, 0.7);
  TearDownField();
}
BENCHMARK(BM_WholeFrame)->ArgName("windows")->Arg(1)->Arg(0);

// A field frame where nothing moved: the loop still calls MapDraw and composes, but the
// view and the frame are left as they are.
void BM_StillFrame(benchmark::State& state) {
  SetUpField();
  for (int i = 0; i < 6; ++i) Chars(i).walks = 0;  // nobody wanders off
  platform::Surface out;
  PlainCopy copy;
  std::vector<double> frame, plain;
  MapDraw(0, 0, 1, 1);
  ComposeScreen(&out);
  for (auto _ : state) {
    const auto t0 = Clock::now();
    MapDraw(0, 0, 1, 1);
    ComposeScreen(&out);
    benchmark::DoNotOptimize(out.version());
    frame.push_back(Us(Clock::now() - t0));
    plain.push_back(copy.Time());
  }
  state.counters["frame_us"] = Percentile(frame, 0.5);
  state.counters["frame_x_copy"] = Percentile(frame, 0.5) / Percentile(plain, 0.5);
  TearDownField();
}
BENCHMARK(BM_StillFrame);

void BM_DashStep(benchmark::State& state) {
  SetUpField();
  platform::Surface out;
  PlainCopy copy;
  std::vector<double> step, buff, plain;
  int dir = 1;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    Player.x = static_cast<Integer>(Player.x + dir);
    if (Player.x > 40 || Player.x < 20) dir = -dir;
    Player.dx = static_cast<Integer>(dir);
    BuffDraw();
    const auto t1 = Clock::now();
    for (int off = -TileSize + 2; off <= 0; off += 2) {
      MapDraw(Player.dx * off, 0, 1, 1);
      ComposeScreen(&out);
      benchmark::DoNotOptimize(out.version());
    }
    const auto t2 = Clock::now();
    buff.push_back(Us(t1 - t0));
    step.push_back(Us(t2 - t0));
    plain.push_back(copy.Time());
  }
  const double c = Percentile(plain, 0.5);
  const double frames = TileSize / 2.0;
  state.counters["buffdraw_us"] = Percentile(buff, 0.5);
  state.counters["buffdraw_x_copy"] = Percentile(buff, 0.5) / c;
  state.counters["frame_us"] = Percentile(step, 0.5) / frames;
  state.counters["frame_x_copy"] = Percentile(step, 0.5) / frames / c;
  Player.dx = 0;
  TearDownField();
}
BENCHMARK(BM_DashStep);

// How long the audio calls of a frame held the game's thread. A wait (on the player's
// queue, on the disk) counts whole. A frame whose thread neither waited nor ran for most
// of it was taken away by the machine (this one is virtual: its processors are paused now
// and then for a millisecond or more, whatever runs on them): of that frame, only the
// time the thread ran counts.
struct Hold {
  timespec cpu{};
  long waits = 0;
  static Hold Now() {
    Hold h;
    rusage r{};
    ::getrusage(RUSAGE_THREAD, &r);
    h.waits = r.ru_nvcsw;
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &h.cpu);
    return h;
  }
  double Since(const Hold& before, double wall_us) const {
    const double ran = static_cast<double>(cpu.tv_sec - before.cpu.tv_sec) * 1e6 +
                       static_cast<double>(cpu.tv_nsec - before.cpu.tv_nsec) / 1e3;
    return waits != before.waits ? wall_us : std::min(wall_us, ran);
  }
};

// Tune starts and loop checks on the real platform, the music decoding meanwhile.
void BM_TuneStart(benchmark::State& state) {
  ::setenv("SDL_VIDEODRIVER", "dummy", 0);
  ::setenv("SDL_AUDIODRIVER", "dummy", 0);
  platform::PlatformOptions o;
  o.scale = 1;
  std::string error;
  auto p = platform::CreatePlatform(o, &error);
  if (!p) {
    state.SkipWithError(error.c_str());
    return;
  }
  platform::Audio& a = p->audio();
  const std::string dir = std::string(ARDO_GAME_DIR) + "/music/";
  const char* tunes[] = {"green", "fight4", "peace", "tower"};
  std::vector<double> start, held, wall;
  int playing = 0, taken = 0;
  constexpr int kFrames = 10000;
  for (auto _ : state) {
    for (int f = 0; f < kFrames; ++f) {
      const Hold h0 = Hold::Now();
      const auto t0 = Clock::now();
      if (f % 15 == 0) {
        a.OpenMusic(dir + tunes[(f / 15) % 4] + ".ogg");
        a.PlayMusic();
        start.push_back(Us(Clock::now() - t0));
      }
      // The loop check of every field frame.
      if (a.MusicStopped()) {
        a.RestartMusic();
      } else {
        ++playing;
      }
      const double w = Us(Clock::now() - t0);
      const double by_audio = Hold::Now().Since(h0, w);
      wall.push_back(w);
      held.push_back(by_audio);
      if (w > 500 && by_audio <= 500) ++taken;
      p->Sleep(2);  // the audio thread decodes meanwhile
    }
  }
  a.CloseMusic();
  state.counters["frames"] = static_cast<double>(held.size());
  state.counters["start_p50_us"] = Percentile(start, 0.5);
  state.counters["start_p99_us"] = Percentile(start, 0.99);
  state.counters["start_max_us"] = Percentile(start, 1.0);
  state.counters["frame_audio_max_us"] = Percentile(held, 1.0);
  state.counters["frame_wall_max_us"] = Percentile(wall, 1.0);
  state.counters["frames_taken_by_machine"] = taken;
  state.counters["budget_max_us"] = 500;
  bench::Budget("audio hold of a frame, most us", Percentile(held, 1.0), 500);
  state.counters["playing_share"] = static_cast<double>(playing) / static_cast<double>(std::max<size_t>(1, held.size()));
  state.counters["frames_over_500us"] =
      static_cast<double>(std::count_if(held.begin(), held.end(), [](double v) { return v > 500; }));
}
BENCHMARK(BM_TuneStart)->Iterations(1)->Unit(benchmark::kMillisecond);

// The built game, headless, for a minute of game time. Returns the child's CPU seconds
// (user and system: steadier than the wall clock on a shared machine), or -1.
double ChildCpuSeconds() {
  rusage u{};
  ::getrusage(RUSAGE_CHILDREN, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double RunGame(const std::string& script_text) {
  const std::string script = "/tmp/ardo-bench-" + std::to_string(::getpid()) + ".txt";
  std::ofstream(script) << script_text;
  const std::string cmd = std::string(ARDO_GAME_DIR) + "/ardo --headless --seed 1 --new-game --script " + script +
                          " >/dev/null 2>&1";
  const double t0 = ChildCpuSeconds();
  const int rc = std::system(cmd.c_str());
  const double s = ChildCpuSeconds() - t0;
  std::remove(script.c_str());
  return rc == 0 ? s : -1;
}

void BM_HeadlessMinute(benchmark::State& state, bool dash) {
  std::string script;
  // Two steps down and two up, over and over, clear of the town's doors and people.
  const int ms = dash ? 130 : 400;
  for (int t = 0; t < 60000; t += ms) {
    script += std::string("hold ") + (dash ? "c " : "") + ((t / ms) % 2 ? "up" : "down") + "\nwait " +
              std::to_string(ms) + "\nrelease all\n";
  }
  script += "quit\n";
  double cpu = 0, base = 0;
  for (auto _ : state) {
    base = RunGame("quit\n");
    cpu = RunGame(script);
  }
  if (cpu < 0 || base < 0) {
    state.SkipWithError("the game did not run the script");
    return;
  }
  state.counters["cpu_s"] = cpu - base;
  state.counters["game_s_per_cpu_s"] = 60.0 / std::max(1e-3, cpu - base);
}
BENCHMARK_CAPTURE(BM_HeadlessMinute, walk, false)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_HeadlessMinute, dash, true)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace ardo
