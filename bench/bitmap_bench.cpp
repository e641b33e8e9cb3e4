// Bitmap reading throughput against a memcpy of the same pixel bytes (in the same run), into
// fresh and into reused pixel memory; and one stretched draw of a large bitmap to a screen-sized
// 32-bit target.
#include <benchmark/benchmark.h>

#include <QGuiApplication>

#include <chrono>
#include <cstring>
#include <vector>

#include "framework/memory_stream.h"
#include "picture/bitmap.h"
#include "platform/gdi/pixel_memory.h"

using namespace lumivane;

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A bitmap file of the given depth with a pattern in every byte.
std::vector<uint8_t> MakeBmp(int bpp) {
  const size_t table = bpp == 8 ? 1024 : 0;
  const size_t row = ((size_t(kWidth) * bpp + 31) / 32) * 4;
  const size_t offset = 14 + 40 + table;
  std::vector<uint8_t> f(offset + row * kHeight);
  f[0] = 'B';
  f[1] = 'M';
  Put32(f, 2, static_cast<uint32_t>(f.size()));
  Put32(f, 10, static_cast<uint32_t>(offset));
  Put32(f, 14, 40);
  Put32(f, 18, kWidth);
  Put32(f, 22, kHeight);
  f[26] = 1;
  f[28] = static_cast<uint8_t>(bpp);
  for (size_t i = 54; i < offset; ++i) f[i] = static_cast<uint8_t>(i * 7);
  for (size_t i = offset; i < f.size(); ++i) f[i] = static_cast<uint8_t>(i * 31 + (i >> 12));
  return f;
}

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Reads the file into a bitmap per iteration; reports the time of a memcpy of the pixel bytes
// into memory of the same kind divided by the read time.
void ReadBitmap(benchmark::State& state, int bpp, bool fresh) {
  const std::vector<uint8_t> file = MakeBmp(bpp);
  const size_t pixel_bytes = file.size() - (bpp == 8 ? 1078 : 54);
  TMemoryStream stream;
  stream.Assign(file);
  std::vector<uint8_t> warm(pixel_bytes);
  double read_time = 0;
  double copy_time = 0;
  for (auto _ : state) {
    if (fresh) {
      state.PauseTiming();
      PixelMemory::TrimCache();
      state.ResumeTiming();
    }
    const auto start = std::chrono::steady_clock::now();
    {
      TBitmap bitmap;
      stream.SetPosition(0);
      bitmap.ReadFromStream(stream);
      benchmark::DoNotOptimize(bitmap.ImageHandle());
      read_time += Seconds(std::chrono::steady_clock::now() - start);
      state.PauseTiming();
    }
    // The baseline: the same bytes into fresh (page-faulting) or warm memory.
    if (fresh) {
      PixelMemory::TrimCache();
      const auto copy_start = std::chrono::steady_clock::now();
      PixelMemory target(pixel_bytes);
      std::memcpy(target.data(), file.data() + (file.size() - pixel_bytes), pixel_bytes);
      benchmark::DoNotOptimize(target.data());
      copy_time += Seconds(std::chrono::steady_clock::now() - copy_start);
    } else {
      const auto copy_start = std::chrono::steady_clock::now();
      std::memcpy(warm.data(), file.data() + (file.size() - pixel_bytes), pixel_bytes);
      benchmark::DoNotOptimize(warm.data());
      copy_time += Seconds(std::chrono::steady_clock::now() - copy_start);
    }
    state.ResumeTiming();
  }
  state.counters["ratio_vs_memcpy"] = read_time > 0 ? copy_time / read_time : 0;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * pixel_bytes));
}

void BM_Read24Fresh(benchmark::State& state) { ReadBitmap(state, 24, true); }
void BM_Read24Reused(benchmark::State& state) { ReadBitmap(state, 24, false); }
void BM_Read8Fresh(benchmark::State& state) { ReadBitmap(state, 8, true); }
void BM_Read8Reused(benchmark::State& state) { ReadBitmap(state, 8, false); }

void BM_DrawStretched24To1080p(benchmark::State& state) {
  const std::vector<uint8_t> file = MakeBmp(24);
  TMemoryStream stream;
  stream.Assign(file);
  TBitmap source;
  source.ReadFromStream(stream);
  TBitmap target;
  target.SetPixelFormat(pf32bit);
  target.SetSize(1920, 1080);
  source.DrawInto(target.Canvas(), Rect(0, 0, 1920, 1080));  // warms the source's canvas
  for (auto _ : state) {
    source.DrawInto(target.Canvas(), Rect(0, 0, 1920, 1080));
    benchmark::DoNotOptimize(target.ImageHandle());
  }
}

}  // namespace

BENCHMARK(BM_Read24Fresh)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_Read24Reused)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_Read8Fresh)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_Read8Reused)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_DrawStretched24To1080p)->Unit(benchmark::kMillisecond)->MinTime(1.0);

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
