// Memory of the frame step: every allocation of this program is counted, so
// a benchmark can report the most that was held at once.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>

#include "platform/headless/headless_platform.h"
#include "render/overlay.h"
#include "sim/life.h"

namespace {

std::atomic<int64_t> liveBytes{0}, peakBytes{0};

void* counted(size_t n) {
  void* p = std::malloc(n ? n : 1);
  if (!p) throw std::bad_alloc();
  const int64_t now = liveBytes += int64_t(malloc_usable_size(p));
  for (int64_t peak = peakBytes; now > peak && !peakBytes.compare_exchange_weak(peak, now);) {
  }
  return p;
}
void uncounted(void* p) {
  if (!p) return;
  liveBytes -= int64_t(malloc_usable_size(p));
  std::free(p);
}

}  // namespace

void* operator new(size_t n) {
  return counted(n);
}
void* operator new[](size_t n) {
  return counted(n);
}
void operator delete(void* p) noexcept {
  uncounted(p);
}
void operator delete[](void* p) noexcept {
  uncounted(p);
}
void operator delete(void* p, size_t) noexcept {
  uncounted(p);
}
void operator delete[](void* p, size_t) noexcept {
  uncounted(p);
}

namespace {

using namespace pet;

// 50 pets at zoom 500 spread over a 1920 x 1080 screen: the most memory held
// while they walk, and while all of them show the evolution countdown badge
// (every number of it), above what was held before.
void BM_Memory50PetsZoom500(benchmark::State& st) {
  const std::string dir =
      (std::filesystem::temp_directory_path() / "deskpet-bench-memory").string();
  std::filesystem::create_directories(dir);
  double idleMB = 0, countdownMB = 0;
  for (auto _ : st) {
    HeadlessPlatform platform(dir);
    platform.setClock(HeadlessPlatform::localMs(2026, 12, 10, 9, 30, 0));
    Overlay overlay(1920, 1080);
    State s;
    s.petCount = 50;
    s.frameRate = 60;
    for (int i = 1; i <= 50; ++i) {
      s.growthPeriod[i] = 1;
      s.zoom[i] = 500;
      s.speed[i] = 5;
      s.posX[i] = int16_t((i % 10) * 180);
      s.posY[i] = int16_t((i / 10) * 180);
    }
    auto peakOver = [&](auto&& frames) {
      const int64_t base = liveBytes;
      peakBytes = base;
      frames();
      return double(peakBytes - base) / 1e6;
    };
    const char* seconds[] = {"09:30:00", "09:30:01", "09:30:02", "09:30:03", "09:30:04"};
    {  // the first frame sets up what every frame reuses
      FrameContext ctx{platform, overlay, seconds[0]};
      frameStep(s, ctx);
    }
    idleMB = peakOver([&] {
      for (int f = 0; f < 300; ++f) {
        FrameContext ctx{platform, overlay, seconds[f / 60]};
        frameStep(s, ctx);
      }
    });
    for (int i = 1; i <= 50; ++i) s.evoPhase[i] = 3;
    countdownMB = peakOver([&] {
      for (int f = 0; f < 300; ++f) {
        FrameContext ctx{platform, overlay, seconds[f / 60]};
        frameStep(s, ctx);
      }
    });
  }
  std::filesystem::remove_all(dir);
  st.counters["idle_peak_MB"] = idleMB;
  st.counters["countdown_peak_MB"] = countdownMB;
  st.counters["extra_MB"] = countdownMB - idleMB;
}
BENCHMARK(BM_Memory50PetsZoom500)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
