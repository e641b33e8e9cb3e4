// JPEG decode throughput: a 24-megapixel (6000 x 4000, 4:2:0) JPEG made here, decoded through
// TJPEGImage and by a plain libjpeg loop with the same settings (floating-point DCT, blue-green-red
// output, one row per call), plus the integer DCT with 16 rows per call as the best case, and the
// picture turned upright by an EXIF orientation.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <jpeglib.h>

#include "framework/memory_stream.h"
#include "picture/bitmap.h"
#include "picture/jpeg_image.h"

namespace {

constexpr int Width = 6000;
constexpr int Height = 4000;

const std::vector<uint8_t>& TestJpeg() {
  static const std::vector<uint8_t> bytes = [] {
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = Width;
    info.image_height = Height;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);  // 4:2:0 sampling
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<uint8_t> row(Width * 3);
    uint32_t noise = 1;
    for (int y = 0; y < Height; ++y) {
      for (int x = 0; x < Width; ++x) {
        noise = noise * 1664525u + 1013904223u;
        int n = static_cast<int>(noise >> 28);  // a little texture, like a photograph
        row[x * 3 + 0] = static_cast<uint8_t>((x / 24 + n) & 255);
        row[x * 3 + 1] = static_cast<uint8_t>((y / 16 + n) & 255);
        row[x * 3 + 2] = static_cast<uint8_t>(((x + y) / 40) & 255);
      }
      JSAMPROW rows[1] = {row.data()};
      jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    std::vector<uint8_t> result(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return result;
  }();
  return bytes;
}

// The same file with an EXIF block saying "turn a quarter clockwise" (orientation 6).
const std::vector<uint8_t>& TurnedJpeg() {
  static const std::vector<uint8_t> bytes = [] {
    const std::vector<uint8_t>& plain = TestJpeg();
    const std::vector<uint8_t> exif = {'E',  'x',  'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0,
                                       0x12, 0x01, 3,   0,   1, 0, 0,   0,   6,  0, 0, 0, 0, 0, 0, 0};
    const size_t length = exif.size() + 2;
    std::vector<uint8_t> out = {0xFF, 0xD8, 0xFF, 0xE1, uint8_t(length >> 8), uint8_t(length)};
    out.reserve(out.size() + exif.size() + plain.size());
    out.insert(out.end(), exif.begin(), exif.end());
    out.insert(out.end(), plain.begin() + 2, plain.end());  // after the start-of-image marker
    return out;
  }();
  return bytes;
}

void SetPixelCounters(benchmark::State& state) {
  state.counters["MP/s"] =
      benchmark::Counter(double(Width) * Height / 1e6 * state.iterations(), benchmark::Counter::kIsRate);
}

// Arg 0: the file as stored; 1: with orientation 6 (the rows are written out as columns).
void BM_TJPEGImage(benchmark::State& state) {
  lumivane::TMemoryStream stream;
  stream.Assign(state.range(0) == 0 ? TestJpeg() : TurnedJpeg());
  for (auto _ : state) {
    lumivane::TJPEGImage image;
    stream.SetPosition(0);
    image.ReadFromStream(stream);
    benchmark::DoNotOptimize(image.DecodeBitmap()->ScanLine(0));
  }
  SetPixelCounters(state);
}

// Rows of 24-bit pixels padded to 4 bytes, bottom-up, like the bitmap the picture decodes into.
void DecodePlain(std::vector<uint8_t>& pixels, J_DCT_METHOD method, int rowsPerCall) {
  const std::vector<uint8_t>& bytes = TestJpeg();
  jpeg_decompress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, bytes.data(), bytes.size());
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_EXT_BGR;
  info.dct_method = method;
  jpeg_start_decompress(&info);
  const ptrdiff_t stride = (ptrdiff_t(info.output_width) * 3 + 3) & ~ptrdiff_t(3);
  if (pixels.size() != size_t(stride) * info.output_height) pixels.resize(stride * info.output_height);
  uint8_t* first = pixels.data() + stride * (info.output_height - 1);
  std::vector<JSAMPROW> rows(rowsPerCall);
  while (info.output_scanline < info.output_height) {
    for (int i = 0; i < rowsPerCall; ++i) rows[i] = first - stride * (info.output_scanline + i);
    int wanted = std::min<int>(rowsPerCall, info.output_height - info.output_scanline);
    jpeg_read_scanlines(&info, rows.data(), wanted);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
}

// The same settings as the picture: floating-point DCT, one row per call. Arg 0: a fresh buffer
// every time (as a new picture gets); 1: one buffer reused.
void BM_PlainFloatOneRow(benchmark::State& state) {
  std::vector<uint8_t> reused;
  for (auto _ : state) {
    if (state.range(0) == 0) {
      std::vector<uint8_t> fresh;
      DecodePlain(fresh, JDCT_FLOAT, 1);
      benchmark::DoNotOptimize(fresh.data());
    } else {
      DecodePlain(reused, JDCT_FLOAT, 1);
      benchmark::DoNotOptimize(reused.data());
    }
  }
  SetPixelCounters(state);
}

// The best case: integer DCT, 16 rows per call, reused buffer.
void BM_PlainIntSixteenRows(benchmark::State& state) {
  std::vector<uint8_t> pixels;
  for (auto _ : state) {
    DecodePlain(pixels, JDCT_ISLOW, 16);
    benchmark::DoNotOptimize(pixels.data());
  }
  SetPixelCounters(state);
}

BENCHMARK(BM_TJPEGImage)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_PlainFloatOneRow)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_PlainIntSixteenRows)->Unit(benchmark::kMillisecond)->MinTime(3);

}  // namespace

BENCHMARK_MAIN();
