// Time and peak memory of the viewer's display step for small files whose headers claim huge
// pictures. Each file is generated here (never copied from anywhere), written to a temporary
// folder and shown by the real main window in a child process, fitted into the panel, at natural
// size (F8) and zoomed in three steps; the child reports the time of the step, the parent the
// child's peak resident memory. A child that shows nothing costs the baseline printed first.
//
//   hostile_files_bench            every file, every mode
//   hostile_files_bench NAME...    only the named files
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "browse/file_list_box.h"
#include "framework/application.h"
#include "framework/panel.h"
#include "picture/image.h"
#include "platform/current_directory.h"
#include "platform/path_conversion.h"
#include "resources/resources.h"

namespace lumivane {
namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, size_t at, uint32_t v) {
  if (b.size() < at + 2) b.resize(at + 2);
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}

void Put32(Bytes& b, size_t at, uint32_t v) {
  if (b.size() < at + 4) b.resize(at + 4);
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A bitmap file: 40-byte header, a grey colour table of `colors` entries (all of them for 8 bits
// or less when 0), then the pixel bytes.
Bytes Bmp(int32_t width, int32_t height, int bpp, uint32_t compression, const Bytes& pixels,
          uint32_t colors = 0) {
  if (colors == 0 && bpp <= 8) colors = 1u << bpp;
  const uint32_t offset = 54 + 4 * colors;
  Bytes f(offset);
  f[0] = 'B';
  f[1] = 'M';
  Put32(f, 10, offset);
  Put32(f, 14, 40);
  Put32(f, 18, static_cast<uint32_t>(width));
  Put32(f, 22, static_cast<uint32_t>(height));
  Put16(f, 26, 1);
  Put16(f, 28, static_cast<uint32_t>(bpp));
  Put32(f, 30, compression);
  Put32(f, 34, static_cast<uint32_t>(pixels.size()));
  Put32(f, 46, colors);
  for (uint32_t i = 0; i < colors; ++i) {
    const uint8_t g = static_cast<uint8_t>(colors > 1 ? i * 255 / (colors - 1) : 0);
    Put32(f, 54 + 4 * i, g | (g << 8) | (uint32_t(g) << 16));
  }
  f.insert(f.end(), pixels.begin(), pixels.end());
  Put32(f, 2, static_cast<uint32_t>(f.size()));
  return f;
}

Bytes Pattern(size_t n) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 37 + (i >> 7));
  return b;
}

// Run-length data: a few runs per line, then end of line; end of bitmap at the end.
Bytes RleData(int lines, size_t budget) {
  Bytes d;
  for (int y = 0; y < lines && d.size() + 8 < budget; ++y) {
    for (int k = 0; k < 4 && d.size() + 6 < budget; ++k) {
      d.push_back(255);
      d.push_back(static_cast<uint8_t>(y * 40 + k * 60));
    }
    d.push_back(0);
    d.push_back(0);
  }
  d.push_back(0);
  d.push_back(1);
  return d;
}

// An icon file with one directory entry (dir_w x dir_h) whose image header claims `width` x
// `height` at `bpp` bits, followed by `data` bytes.
Bytes Icon(int dir_w, int dir_h, int32_t width, int32_t height, int bpp, size_t data) {
  Bytes f(6 + 16);
  Put16(f, 2, 1);
  Put16(f, 4, 1);
  f[6] = static_cast<uint8_t>(dir_w);
  f[7] = static_cast<uint8_t>(dir_h);
  Put16(f, 10, 1);
  Put16(f, 12, static_cast<uint32_t>(bpp));
  Bytes image(40);
  Put32(image, 0, 40);
  Put32(image, 4, static_cast<uint32_t>(width));
  Put32(image, 8, static_cast<uint32_t>(height * 2));
  Put16(image, 12, 1);
  Put16(image, 14, static_cast<uint32_t>(bpp));
  const Bytes rest = Pattern(data);
  image.insert(image.end(), rest.begin(), rest.end());
  Put32(f, 14, static_cast<uint32_t>(image.size()));
  Put32(f, 18, static_cast<uint32_t>(f.size()));
  f.insert(f.end(), image.begin(), image.end());
  return f;
}

struct HostileFile {
  std::string name;
  std::function<Bytes()> make;
};

std::vector<HostileFile> Files() {
  return {
      {"bmp-16383x16383-24bit.bmp", [] { return Bmp(16383, 16383, 24, 0, Pattern(4096 - 54)); }},
      {"bmp-16383x16383-32bit.bmp", [] { return Bmp(16383, 16383, 32, 0, Pattern(4096 - 54)); }},
      {"bmp-16383x16383-8bit.bmp", [] { return Bmp(16383, 16383, 8, 0, Pattern(4096 - 1078)); }},
      {"bmp-16383x16383-1bit.bmp", [] { return Bmp(16383, 16383, 1, 0, Pattern(4096 - 62)); }},
      {"bmp-16383x-16383-24bit-topdown.bmp", [] { return Bmp(16383, -16383, 24, 0, Pattern(4096 - 54)); }},
      {"bmp-60000x4000-24bit.bmp", [] { return Bmp(60000, 4000, 24, 0, Pattern(60000)); }},
      {"rle8-11730950x6.bmp", [] { return Bmp(11730950, 6, 8, 1, RleData(6, 243 - 62), 2); }},
      {"rle4-16383x16383.bmp", [] { return Bmp(16383, 16383, 4, 2, RleData(40, 600)); }},
      {"ico-header-width-14155792.ico", [] { return Icon(32, 32, 14155792, 16, 32, 1488 - 62); }},
      {"ico-header-16383x16383.ico", [] { return Icon(32, 32, 16383, 16383, 24, 2000); }},
      {"ico-256-header-16383x16383.ico", [] { return Icon(0, 0, 16383, 16383, 32, 2000); }},
  };
}

// ---- the child: one display step in the real main window ----------------------------------------

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

int RunChild(const std::string& folder, const std::string& name, const std::string& mode) {
  alarm(120);  // a step that blocks (a message box, a hang) ends the child
  qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("LUMIVANE_SCREEN_SIZE", "1024x768");
  int argc = 1;
  char arg0[] = "hostile_files_bench";
  char* argv[] = {arg0, nullptr};
  QApplication app(argc, argv);
  Application->Initialize();
  InitLumivaneResources();
  SetCurrentDirectoryA(NativeToProgramPath(folder));
  auto* form = new TForm1(nullptr);
  form->SettingsPath = NativeToProgramPath(folder + "/Lumivane.dat");
  form->Show();
  form->SetBounds(0, 0, 1024, 740);
  Application->ProcessMessages();
  double seconds = 0;
  if (name != "-") {
    int index = -1;
    for (int i = 0; i < form->FileListBox1->Count(); ++i)
      if (form->FileListBox1->Items(i) == name) index = i;
    if (index < 0) {
      std::fprintf(stderr, "%s not listed\n", name.c_str());
      return 2;
    }
    form->FitToPanel = mode != "natural";
    form->FileListBox1->SetItemIndex(index);
    const double start = Now();
    form->FileListBox1Click(form->FileListBox1);
    form->Image1->Repaint();
    if (mode == "zoom") {
      for (int step = 0; step < 3; ++step) {
        uint16_t key = 107;  // numeric-keypad +
        form->FormKeyDown(form, key, TShiftState{});
        form->Image1->Repaint();
      }
    }
    seconds = Now() - start;
  }
  std::printf("%.3f %d %d\n", seconds, form->Image1->Width(), form->Image1->Height());
  std::fflush(stdout);
  // Leave without tearing the window down: only the step is measured.
  std::_Exit(0);
}

// ---- the parent ---------------------------------------------------------------------------------

struct Measure {
  bool ok = false;
  double seconds = 0;
  long peak_kb = 0;
  std::string size;
};

Measure Spawn(const std::string& self, const std::string& folder, const std::string& name,
              const std::string& mode) {
  int out[2];
  if (pipe(out) != 0) return {};
  const double start = Now();
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    if (std::getenv("HOSTILE_BENCH_VERBOSE") == nullptr) freopen("/dev/null", "w", stderr);
    close(out[0]);
    close(out[1]);
    execl(self.c_str(), self.c_str(), "--child", folder.c_str(), name.c_str(), mode.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  std::string text;
  char buffer[256];
  ssize_t n;
  while ((n = read(out[0], buffer, sizeof(buffer))) > 0) text.append(buffer, static_cast<size_t>(n));
  close(out[0]);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  Measure m;
  m.peak_kb = usage.ru_maxrss;
  double step = 0;
  int w = 0, h = 0;
  m.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
         std::sscanf(text.c_str(), "%lf %d %d", &step, &w, &h) == 3;
  m.seconds = m.ok ? step : Now() - start;
  m.size = std::to_string(w) + "x" + std::to_string(h);
  return m;
}

int RunParent(const std::string& self, const std::vector<std::string>& only) {
  char pattern[] = "/tmp/lumivane-hostile-XXXXXX";
  const std::string folder = mkdtemp(pattern);
  std::vector<HostileFile> files;
  for (const HostileFile& f : Files()) {
    if (!only.empty() && std::find(only.begin(), only.end(), f.name) == only.end()) continue;
    const Bytes bytes = f.make();
    std::ofstream(folder + "/" + f.name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    files.push_back(f);
  }
  const Measure base = Spawn(self, folder, "-", "fit");
  std::printf("baseline (window shown, no picture): peak %ld MB\n", base.peak_kb / 1024);
  std::printf("%-36s %7s  %-8s %8s %9s  %s\n", "file", "bytes", "mode", "seconds", "peak MB", "control");
  for (const HostileFile& f : files) {
    const long bytes = static_cast<long>(f.make().size());
    for (const char* mode : {"fit", "natural", "zoom"}) {
      const Measure m = Spawn(self, folder, f.name, mode);
      std::printf("%-36s %7ld  %-8s %8.3f %9ld  %s\n", f.name.c_str(), bytes, mode, m.seconds,
                  m.peak_kb / 1024, m.ok ? m.size.c_str() : "(child failed)");
      std::fflush(stdout);
    }
    std::remove((folder + "/" + f.name).c_str());
  }
  std::remove((folder + "/Lumivane.dat").c_str());
  rmdir(folder.c_str());
  return 0;
}

}  // namespace
}  // namespace lumivane

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "--child") == 0) return lumivane::RunChild(argv[2], argv[3], argv[4]);
  std::vector<std::string> only(argv + 1, argv + argc);
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof(self) - 1);
  if (n <= 0) return 1;
  self[n] = '\0';
  return lumivane::RunParent(self, only);
}
