// Small GIF files that claim huge frames or screens, and a large real-sized one: the time to read
// each and paint its first frame as the viewer shows it (at natural size, centred in a panel of
// 1024 x 740 that cuts off what does not fit). The counter "touchedMB" is
// the growth of the process's resident memory high-water mark during the first run of a case
// (run one case per process, --benchmark_filter, for a clean figure).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QWidget>
#include <cstdio>
#include <cstring>
#include <vector>

#include "framework/application.h"
#include "framework/form.h"
#include "framework/memory_stream.h"
#include "gif/gif_animator.h"
#include "gif/gif_image.h"

namespace {

using Bytes = std::vector<uint8_t>;

void PutWord(Bytes& out, int value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

// Codes of Width bits packed least significant bit first, as data sub-blocks with a terminator.
Bytes PackCodes(const std::vector<int>& codes, int width) {
  Bytes packed;
  uint32_t accumulator = 0;
  int bits = 0;
  for (int code : codes) {
    accumulator |= static_cast<uint32_t>(code) << bits;
    bits += width;
    while (bits >= 8) {
      packed.push_back(static_cast<uint8_t>(accumulator));
      accumulator >>= 8;
      bits -= 8;
    }
  }
  if (bits > 0) packed.push_back(static_cast<uint8_t>(accumulator));
  Bytes out;
  for (size_t i = 0; i < packed.size(); i += 255) {
    const size_t n = std::min<size_t>(255, packed.size() - i);
    out.push_back(static_cast<uint8_t>(n));
    out.insert(out.end(), packed.begin() + i, packed.begin() + i + n);
  }
  out.push_back(0);
  return out;
}

// One frame of FrameWidth x FrameHeight on a ScreenWidth x ScreenHeight screen, 2 colours, whose
// data holds a single pixel: the whole file is a few dozen bytes.
Bytes TinyFile(int screenWidth, int screenHeight, int frameWidth, int frameHeight) {
  Bytes gif{'G', 'I', 'F', '8', '9', 'a'};
  PutWord(gif, screenWidth);
  PutWord(gif, screenHeight);
  gif.insert(gif.end(), {0x80, 0, 0, 0, 0, 0, 255, 255, 255});
  gif.push_back(0x2C);
  PutWord(gif, 0);
  PutWord(gif, 0);
  PutWord(gif, frameWidth);
  PutWord(gif, frameHeight);
  gif.insert(gif.end(), {0, 2});
  const Bytes codes = PackCodes({4, 1, 5}, 3);
  gif.insert(gif.end(), codes.begin(), codes.end());
  gif.push_back(0x3B);
  return gif;
}

// A Size x Size frame of 256 colours in short runs, coded with 9-bit literals (a clear code
// every 254 codes keeps the width), about as large as such a file is.
Bytes LargeFile(int size) {
  Bytes gif{'G', 'I', 'F', '8', '9', 'a'};
  PutWord(gif, size);
  PutWord(gif, size);
  gif.insert(gif.end(), {0xF7, 0, 0});
  for (int i = 0; i < 256; ++i) gif.insert(gif.end(), {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)});
  gif.push_back(0x2C);
  PutWord(gif, 0);
  PutWord(gif, 0);
  PutWord(gif, size);
  PutWord(gif, size);
  gif.insert(gif.end(), {0, 8});
  std::vector<int> codes{256};
  uint32_t state = 1;
  for (int i = 0; i < size * size; ++i) {
    if (i % 3 == 0) state = state * 1664525u + 1013904223u;
    codes.push_back(static_cast<int>((state >> 24) + (i % size) / 64) & 255);
    if (codes.size() % 254 == 0) codes.push_back(256);
  }
  codes.push_back(257);
  const Bytes data = PackCodes(codes, 9);
  gif.insert(gif.end(), data.begin(), data.end());
  gif.push_back(0x3B);
  return gif;
}

double HighWaterMB() {
  FILE* f = std::fopen("/proc/self/status", "r");
  if (f == nullptr) return 0;
  char line[256];
  double value = 0;
  while (std::fgets(line, sizeof line, f) != nullptr)
    if (std::strncmp(line, "VmHWM:", 6) == 0) value = std::atof(line + 6) / 1024.0;
  std::fclose(f);
  return value;
}

void ReadAndPaint(benchmark::State& state, const Bytes& file) {
  constexpr int kPanelWidth = 1024;
  constexpr int kPanelHeight = 740;
  lumivane::TForm panel(nullptr);
  panel.SetBounds(0, 0, kPanelWidth, kPanelHeight);
  panel.Show();
  lumivane::Application->ProcessMessages();
  const double before = HighWaterMB();
  for (auto _ : state) {
    lumivane::TMemoryStream stream;
    stream.Assign(file);
    auto* animator = new lumivane::TGIFAnimator(&panel);
    animator->SetParent(&panel);
    animator->Image()->ReadFromStream(stream);
    animator->SetLeft((kPanelWidth - animator->Width()) / 2);
    animator->SetTop((kPanelHeight - animator->Height()) / 2);
    animator->Show();
    animator->Widget()->repaint();
    lumivane::Application->ProcessMessages();
    delete animator;
  }
  state.counters["fileBytes"] = static_cast<double>(file.size());
  state.counters["touchedMB"] = HighWaterMB() - before;
}

void BM_WideFrameOnSmallScreen(benchmark::State& state) {
  ReadAndPaint(state, TinyFile(32, 32, 65535, 1321));
}
void BM_HugeFrameOnSmallScreen(benchmark::State& state) {
  ReadAndPaint(state, TinyFile(64, 64, 11822, 12079));
}
void BM_HugeFrameOnItsOwnScreen(benchmark::State& state) {
  ReadAndPaint(state, TinyFile(11822, 12079, 11822, 12079));
}
void BM_Large256Colours2000(benchmark::State& state) {
  static const Bytes file = LargeFile(2000);
  ReadAndPaint(state, file);
}

BENCHMARK(BM_WideFrameOnSmallScreen)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HugeFrameOnSmallScreen)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HugeFrameOnItsOwnScreen)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_Large256Colours2000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  lumivane::Application->Initialize();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  lumivane::Application->DestroyForms();
  return 0;
}
