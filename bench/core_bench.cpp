// Costs of the core on the headless platform.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "model/datafile.h"
#include "platform/headless/headless_platform.h"
#include "render/overlay.h"
#include "shell/form2.h"
#include "sim/life.h"

namespace {

using namespace pet;

struct WorkDir {
  std::string path;
  WorkDir() {
    std::string t = (std::filesystem::temp_directory_path() / "deskpet-bench-XXXXXX").string();
    path = ::mkdtemp(t.data());
  }
  ~WorkDir() { std::filesystem::remove_all(path); }
};

// 50 pets and 500 logged evolutions.
void fillFull(State& s) {
  s.evolutionCount = 700;
  for (int i = 1; i <= 500; ++i) s.evolutionLog[i] = int16_t(1 + i % 53);
  for (int k = 1; k <= 53; ++k) s.speciesTally[k] = int16_t(k * 3);
  s.petCount = 50;
  for (int i = 1; i <= 50; ++i) {
    s.growthPeriod[i] = int16_t(1 + i % 4);
    s.posX[i] = int16_t(i * 30);
    s.posY[i] = int16_t(i * 15);
    s.species[i] = int16_t(i % 54);
    s.zoom[i] = 100;
    s.speed[i] = 5;
    s.createdOn[i] = "2026/12/10";
  }
}

void BM_SaveAndLoadFullFile(benchmark::State& st) {
  WorkDir dir;
  HeadlessPlatform platform(dir.path);
  DataStore store(platform);
  State s;
  fillFull(s);
  for (auto _ : st) {
    store.saveData(s);
    State loaded;
    store.loadData(loaded);
    benchmark::DoNotOptimize(loaded.petCount);
  }
}
BENCHMARK(BM_SaveAndLoadFullFile)->Unit(benchmark::kMicrosecond);

// One running tick with no pets, between minute boundaries.
void BM_RunningTickNoPets(benchmark::State& st) {
  WorkDir dir;
  HeadlessPlatform platform(dir.path);
  platform.setClock(HeadlessPlatform::localMs(2026, 12, 10, 9, 30, 0));
  Form2 form(platform);
  form.Form_Load();
  form.Command5_Click();
  for (int i = 0; i < 5; ++i) form.Timer1_Timer();
  form.Command5_Click();
  for (int i = 0; i < 5; ++i) form.Timer1_Timer();
  for (auto _ : st) {
    platform.advance(0);  // stays within one minute: no save
    form.Fpss_Timer();
    form.Timer1_Timer();
  }
}
BENCHMARK(BM_RunningTickNoPets);

// The frame step and the minute step with 50 pets, all stepping on every tick.
struct FiftyPets {
  WorkDir dir;
  HeadlessPlatform platform{dir.path};
  Overlay overlay{1920, 1080};
  State s;
  FiftyPets() {
    platform.setClock(HeadlessPlatform::localMs(2026, 12, 10, 9, 30, 0));
    platform.seedRandom(1);
    fillFull(s);
    s.frameRate = 1;  // every pet steps on every tick
    for (int i = 1; i <= 50; ++i) s.chaseMouse[i] = int16_t(i % 2);
  }
};

void BM_FrameStep50Pets(benchmark::State& st) {
  FiftyPets f;
  FrameContext ctx{f.platform, f.overlay, "09:30:00"};
  int32_t x = 0;
  for (auto _ : st) {
    f.platform.setCursor(x = (x + 7) % 1920, 540);
    frameStep(f.s, ctx);
  }
}
BENCHMARK(BM_FrameStep50Pets);

// A running tick with 50 wandering pets at zoom 300 spread over the screen:
// every one stepping on every tick (range(0) = 1), or at speed 5 with 60
// ticks a second as on a desktop (range(0) = 60).
void BM_Tick50PetsZoom300(benchmark::State& st) {
  FiftyPets f;
  for (int i = 1; i <= 50; ++i) {
    f.s.zoom[i] = 300;
    f.s.chaseMouse[i] = 0;
    f.s.posX[i] = int16_t(30 + (i % 10) * 180);
    f.s.posY[i] = int16_t(20 + (i / 10) * 200);
  }
  f.s.frameRate = int16_t(st.range(0));
  FrameContext ctx{f.platform, f.overlay, "09:30:00"};
  for (auto _ : st) frameStep(f.s, ctx);
}
BENCHMARK(BM_Tick50PetsZoom300)->Arg(1)->Arg(60);

// 50 pets of which none changes (all held): nothing is cleared or presented.
void BM_Tick50PetsUnchanged(benchmark::State& st) {
  FiftyPets f;
  for (int i = 1; i <= 50; ++i) f.s.grabbed[i] = 1, f.s.zoom[i] = 300;
  FrameContext ctx{f.platform, f.overlay, "09:30:00"};
  for (auto _ : st) frameStep(f.s, ctx);
}
BENCHMARK(BM_Tick50PetsUnchanged);

// For comparison: clearing the whole 1920 x 1080 overlay once.
void BM_WholeScreenClear(benchmark::State& st) {
  Image img(1920, 1080, kKeyColour);
  for (auto _ : st) {
    img.fill(kKeyColour);
    benchmark::DoNotOptimize(img.data());
  }
}
BENCHMARK(BM_WholeScreenClear);

void BM_MinuteStep50Pets(benchmark::State& st) {
  FiftyPets f;
  for (auto _ : st) {
    minuteBookkeeping(f.s, 9);
    benchmark::DoNotOptimize(f.s.stageMinutes[1]);
  }
}
BENCHMARK(BM_MinuteStep50Pets);

}  // namespace

BENCHMARK_MAIN();
