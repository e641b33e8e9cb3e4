// LZW decoding throughput of the GIF reader against giflib on the same files, in the same run.
// Both sides turn every frame into the pixel rows of a bottom-up 8-bit bitmap: ours through the
// frame's bitmap-file image, giflib through DGifSlurp and a copy of its index rows. The counter
// "ratio" is giflib's time divided by ours (above 1: ours is faster).
#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <chrono>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "framework/memory_stream.h"
#include "gif/dib_stream.h"
#include "gif/gif_image.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

// ---- files made with giflib's encoder ------------------------------------------------------

int WriteToVector(GifFileType* gif, const GifByteType* data, int length) {
  auto* out = static_cast<Bytes*>(gif->UserData);
  out->insert(out->end(), data, data + length);
  return length;
}

// Photo-like content: smooth gradients with noise, so that strings are of middling length.
void FillFrame(std::vector<GifPixelType>& pixels, int width, int height, int seed) {
  uint32_t state = 2166136261u ^ static_cast<uint32_t>(seed);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      state = state * 1664525u + 1013904223u;
      const int noise = (state >> 29) == 0 ? static_cast<int>(state >> 20) % 7 - 3 : 0;
      const int value = ((x + seed * 3) / 9 + (y + seed) / 13 + noise) & 255;
      pixels[static_cast<size_t>(y) * width + x] = static_cast<GifPixelType>(value);
    }
  }
}

Bytes MakeGif(int width, int height, int frames) {
  Bytes out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, WriteToVector, &error);
  if (gif == nullptr) throw std::runtime_error("EGifOpen failed");
  ColorMapObject* map = GifMakeMapObject(256, nullptr);
  for (int i = 0; i < 256; ++i) map->Colors[i] = {GifByteType(i), GifByteType(255 - i), GifByteType(i * 7)};
  EGifSetGifVersion(gif, true);
  EGifPutScreenDesc(gif, width, height, 8, 0, map);
  std::vector<GifPixelType> pixels(static_cast<size_t>(width) * height);
  for (int f = 0; f < frames; ++f) {
    FillFrame(pixels, width, height, f);
    EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr);
    for (int y = 0; y < height; ++y) EGifPutLine(gif, &pixels[static_cast<size_t>(y) * width], width);
  }
  EGifCloseFile(gif, &error);
  GifFreeMapObject(map);
  return out;
}

// ---- the two decoders ----------------------------------------------------------------------

size_t DecodeOurs(const Bytes& file) {
  lumivane::TMemoryStream source;
  source.Assign(file);
  lumivane::TGIFImage image;
  image.ParseGIFData(static_cast<int64_t>(file.size()), source, false);
  size_t bytes = 0;
  for (int i = 0; i < image.FrameCount(); ++i) {
    lumivane::TMemoryStream dib;
    lumivane::BuildDIBStream(*image.FrameAt(i), dib);
    bytes += static_cast<size_t>(dib.Size());
    benchmark::DoNotOptimize(dib.Memory());
  }
  return bytes;
}

struct Reader {
  const Bytes* data;
  size_t position;
};

int ReadFromVector(GifFileType* gif, GifByteType* buffer, int length) {
  auto* reader = static_cast<Reader*>(gif->UserData);
  const size_t n = std::min<size_t>(length, reader->data->size() - reader->position);
  std::memcpy(buffer, reader->data->data() + reader->position, n);
  reader->position += n;
  return static_cast<int>(n);
}

size_t DecodeGiflib(const Bytes& file) {
  Reader reader{&file, 0};
  int error = 0;
  GifFileType* gif = DGifOpen(&reader, ReadFromVector, &error);
  if (gif == nullptr || DGifSlurp(gif) != GIF_OK) throw std::runtime_error("DGifSlurp failed");
  size_t bytes = 0;
  for (int i = 0; i < gif->ImageCount; ++i) {
    const SavedImage& frame = gif->SavedImages[i];
    const int w = frame.ImageDesc.Width, h = frame.ImageDesc.Height;
    const size_t stride = (static_cast<size_t>(w) + 3) / 4 * 4;
    // The same bitmap-file image: headers and palette, then the rows bottom-up.
    std::vector<uint8_t> dib(54 + 1024 + stride * h);
    const ColorMapObject* map = frame.ImageDesc.ColorMap ? frame.ImageDesc.ColorMap : gif->SColorMap;
    for (int c = 0; c < map->ColorCount; ++c) {
      dib[54 + c * 4] = map->Colors[c].Blue;
      dib[54 + c * 4 + 1] = map->Colors[c].Green;
      dib[54 + c * 4 + 2] = map->Colors[c].Red;
    }
    for (int y = 0; y < h; ++y)
      std::memcpy(&dib[54 + 1024 + (h - 1 - y) * stride], frame.RasterBits + static_cast<size_t>(y) * w, w);
    bytes += dib.size();
    benchmark::DoNotOptimize(dib.data());
  }
  DGifCloseFile(gif, &error);
  return bytes;
}

void Compare(benchmark::State& state, const Bytes& file) {
  double ours = 0, theirs = 0;
  size_t pixelBytes = 0;
  for (auto _ : state) {
    auto t0 = Clock::now();
    pixelBytes = DecodeOurs(file);
    auto t1 = Clock::now();
    DecodeGiflib(file);
    auto t2 = Clock::now();
    ours += std::chrono::duration<double>(t1 - t0).count();
    theirs += std::chrono::duration<double>(t2 - t1).count();
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["ours_ms"] = ours / n * 1000;
  state.counters["giflib_ms"] = theirs / n * 1000;
  state.counters["ratio"] = theirs / ours;
  state.counters["ours_MBps"] = pixelBytes / (ours / n) / 1e6;
}

void BM_Large256ColourImage(benchmark::State& state) {
  static const Bytes file = MakeGif(4000, 3000, 1);
  Compare(state, file);
}
BENCHMARK(BM_Large256ColourImage)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_Animation200Frames(benchmark::State& state) {
  static const Bytes file = MakeGif(500, 500, 200);
  Compare(state, file);
}
BENCHMARK(BM_Animation200Frames)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
