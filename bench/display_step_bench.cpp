// The display step for a 4000 x 3000 24-bit BMP in a 1920 x 1080 image panel, whole and split
// into its parts: reading the file, decoding it into a bitmap, drawing it fitted into the
// window's 32-bit buffer.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <cstdio>
#include <fstream>
#include <string>

#include "app/main_window.h"
#include "browse/file_list_box.h"
#include "framework/application.h"
#include "framework/memory_stream.h"
#include "framework/panel.h"
#include "picture/bitmap.h"
#include "picture/fitted_copy.h"
#include "picture/image.h"
#include "platform/current_directory.h"
#include "platform/gdi/gdi.h"
#include "platform/path_conversion.h"
#include "resources/resources.h"

namespace lumivane {
namespace {

constexpr int kWidth = 4000, kHeight = 3000;
std::string g_folder;  // native folder holding the picture

std::string PicturePath() { return NativeToProgramPath(g_folder + "/big.bmp"); }

void WritePicture() {
  const int rowBytes = kWidth * 3;
  std::string file(54 + static_cast<size_t>(rowBytes) * kHeight, '\0');
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) file[at + i] = static_cast<char>(v >> (8 * i));
  };
  file[0] = 'B';
  file[1] = 'M';
  put32(2, static_cast<uint32_t>(file.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, kWidth);
  put32(22, kHeight);
  file[26] = 1;
  file[28] = 24;
  for (size_t i = 54; i < file.size(); ++i) file[i] = static_cast<char>(i * 7);
  std::ofstream(g_folder + "/big.bmp", std::ios::binary) << file;
}

void BM_ReadFile(benchmark::State& state) {
  for (auto _ : state) {
    TMemoryStream bytes;
    bytes.LoadFromFile(PicturePath());
    benchmark::DoNotOptimize(bytes.Memory());
  }
}

void BM_Decode(benchmark::State& state) {
  TMemoryStream bytes;
  bytes.LoadFromFile(PicturePath());
  for (auto _ : state) {
    TBitmap bitmap;
    bytes.SetPosition(0);
    bitmap.ReadFromStream(bytes);
    benchmark::DoNotOptimize(bitmap.ScanLine(0));
  }
}

void BM_DrawFitted(benchmark::State& state) {
  TMemoryStream bytes;
  bytes.LoadFromFile(PicturePath());
  TBitmap bitmap;
  bitmap.ReadFromStream(bytes);
  TBitmap target;
  target.SetPixelFormat(pf32bit);
  target.SetSize(1920, 1080);
  // 4000 x 3000 fitted into 1920 x 1080: 1440 x 1080 at 240, 0.
  for (auto _ : state) {
    bitmap.DrawInto(target.Canvas(), Bounds(240, 0, 1440, 1080));
    benchmark::DoNotOptimize(target.ScanLine(0));
  }
}

// A 6000 x 4000 24-bit photo in memory, fitted into a 1920 x 1080 panel: 1620 x 1080 at 150, 0.
TBitmap& BigPhoto() {
  static TBitmap* photo = [] {
    auto* bitmap = new TBitmap;
    bitmap->SetPixelFormat(pf24bit);
    bitmap->SetSize(6000, 4000);
    for (int y = 0; y < 4000; ++y) {
      auto* row = static_cast<uint8_t*>(bitmap->ScanLine(y));
      for (int x = 0; x < 6000 * 3; ++x) row[x] = static_cast<uint8_t>(x * 7 + y * 3);
    }
    return bitmap;
  }();
  return *photo;
}
const TRect kFittedPhoto = Bounds(150, 0, 1620, 1080);

TBitmap& PanelBuffer() {
  static TBitmap* panel = [] {
    auto* bitmap = new TBitmap;
    bitmap->SetPixelFormat(pf32bit);
    bitmap->SetSize(1920, 1080);
    return bitmap;
  }();
  return *panel;
}

// Nearest-neighbour sampling, as every paint drew a shrunk picture before it was filtered.
void BM_DrawFitted6000Nearest(benchmark::State& state) {
  TBitmap& photo = BigPhoto();
  for (auto _ : state) {
    photo.DrawInto(PanelBuffer().Canvas(), kFittedPhoto);
    benchmark::DoNotOptimize(PanelBuffer().ScanLine(0));
  }
}

// The first paint at a new size: area averaging into the kept copy, then drawing it.
void BM_DrawFitted6000Filtered(benchmark::State& state) {
  TBitmap& photo = BigPhoto();
  TFittedCopy fitted;
  for (auto _ : state) {
    fitted.Reset();
    fitted.Draw(photo, PanelBuffer().Canvas(), kFittedPhoto);
    benchmark::DoNotOptimize(PanelBuffer().ScanLine(0));
  }
}

// Every later paint at that size: the kept copy drawn one to one.
void BM_DrawFitted6000Kept(benchmark::State& state) {
  TBitmap& photo = BigPhoto();
  TFittedCopy fitted;
  fitted.Draw(photo, PanelBuffer().Canvas(), kFittedPhoto);
  for (auto _ : state) {
    fitted.Draw(photo, PanelBuffer().Canvas(), kFittedPhoto);
    benchmark::DoNotOptimize(PanelBuffer().ScanLine(0));
  }
}

void BM_DisplayStep(benchmark::State& state) {
  SetCurrentDirectoryA(NativeToProgramPath(g_folder));
  auto* form = new TForm1(nullptr);
  form->SettingsPath = NativeToProgramPath(g_folder + "/Lumivane.dat");
  form->Show();
  const int frameWidth = form->Width() - form->ClientWidth();
  const int frameHeight = form->Height() - form->ClientHeight();
  form->SetBounds(0, 0, 1920 + 160 + frameWidth, 1080 + 19 + frameHeight);
  form->FileListBox1->SetItemIndex(0);
  Application->ProcessMessages();
  for (auto _ : state) {
    form->FileListBox1Click(form->FileListBox1);
    form->Image1->Repaint();  // the picture is drawn into the window's buffer now
  }
  state.counters["image_width"] = form->Image1->Width();
  state.counters["image_height"] = form->Image1->Height();
  form->DoDestroy();
  delete form;
}

BENCHMARK(BM_ReadFile)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Decode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawFitted)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawFitted6000Nearest)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawFitted6000Filtered)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawFitted6000Kept)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DisplayStep)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lumivane

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("LUMIVANE_SCREEN_SIZE", "2560x1600");
  QApplication app(argc, argv);
  lumivane::Application->Initialize();
  lumivane::InitLumivaneResources();
  char pattern[] = "/tmp/lumivane-display-XXXXXX";
  lumivane::g_folder = mkdtemp(pattern);
  lumivane::WritePicture();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  std::remove((lumivane::g_folder + "/big.bmp").c_str());
  std::remove((lumivane::g_folder + "/Lumivane.dat").c_str());
  rmdir(lumivane::g_folder.c_str());
  return 0;
}
