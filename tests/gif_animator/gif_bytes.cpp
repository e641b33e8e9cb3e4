#include "tests/gif_animator/gif_bytes.h"

#include <QCoreApplication>
#include <QImage>
#include <chrono>
#include <thread>

#include "framework/memory_stream.h"
#include "gif/gif_image.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_qt_bridge.h"

namespace lumivane::test {

namespace {

constexpr uint32_t kColours[8] = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF,
                                  0xFFFF00, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
constexpr int kCodeSize = 3;
constexpr int kClear = 1 << kCodeSize;

void Put16(Bytes& out, int value) { out.insert(out.end(), {uint8_t(value), uint8_t(value >> 8)}); }

// LZW codes that never refer to the table: a clear code every four pixels keeps them 4 bits wide.
Bytes CodeData(const Bytes& pixels) {
  Bytes packed;
  uint32_t bits = 0;
  int count = 0;
  auto put = [&](int code) {
    bits |= uint32_t(code) << count;
    for (count += kCodeSize + 1; count >= 8; count -= 8, bits >>= 8) packed.push_back(uint8_t(bits));
  };
  for (size_t i = 0; i < pixels.size(); ++i) {
    if (i % 4 == 0) put(kClear);
    put(pixels[i]);
  }
  put(kClear + 1);
  if (count > 0) packed.push_back(uint8_t(bits));
  Bytes out{kCodeSize};
  for (size_t at = 0; at < packed.size(); at += 255) {
    const size_t n = std::min<size_t>(255, packed.size() - at);
    out.push_back(uint8_t(n));
    out.insert(out.end(), packed.begin() + at, packed.begin() + at + n);
  }
  out.push_back(0);
  return out;
}

}  // namespace

Bytes BuildGif(int Width, int Height, const std::vector<FrameDesc>& Frames, int Background, int LoopCount) {
  Bytes out{'G', 'I', 'F', '8', '9', 'a'};
  Put16(out, Width);
  Put16(out, Height);
  out.insert(out.end(), {0x80 | 0x20 | (kCodeSize - 1), uint8_t(Background), 0});
  for (uint32_t c : kColours) out.insert(out.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
  if (LoopCount >= 0) {
    const std::string id = "NETSCAPE2.0";
    out.insert(out.end(), {0x21, 0xFF, 11});
    out.insert(out.end(), id.begin(), id.end());
    out.insert(out.end(), {3, 1});
    Put16(out, LoopCount);
    out.push_back(0);
  }
  for (const FrameDesc& f : Frames) {
    const bool transparent = f.TransparentIndex >= 0;
    out.insert(out.end(), {0x21, 0xF9, 4, uint8_t((f.Disposal << 2) | (transparent ? 1 : 0))});
    Put16(out, f.Delay);
    out.insert(out.end(), {uint8_t(transparent ? f.TransparentIndex : 0), 0, 0x2C});
    for (int v : {f.Left, f.Top, f.Width, f.Height}) Put16(out, v);
    out.push_back(0);
    Bytes pixels = f.Pixels;
    if (pixels.size() == 1) pixels.assign(size_t(f.Width * f.Height), pixels[0]);
    const Bytes code = CodeData(pixels);
    out.insert(out.end(), code.begin(), code.end());
  }
  out.push_back(0x3B);
  return out;
}

void LoadGif(TGIFImage& Image, const Bytes& Data) {
  TMemoryStream stream;
  stream.Write(Data.data(), int64_t(Data.size()));
  stream.Seek(0, soBeginning);
  Image.ReadFromStream(stream);
}

uint32_t PixelOf(HBITMAP Bitmap, int X, int Y) { return BitmapAsQImage(Bitmap).pixel(X, Y) & 0xFFFFFF; }

bool PumpUntil(const std::function<bool()>& Done, int TimeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
  while (!Done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

void PumpFor(int Milliseconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(Milliseconds);
  PumpUntil([&] { return std::chrono::steady_clock::now() >= end; }, Milliseconds + 1000);
}

}  // namespace lumivane::test
