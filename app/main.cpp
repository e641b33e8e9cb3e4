// The program's entry: registers the picture kinds, creates the main window and runs the
// message loop until the main window closes.
#include <QApplication>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/help_window.h"
#include "app/main_window.h"
#include "app/picture_preloader.h"
#include "app/session_bus.h"
#include "app/window_icon.h"
#include "framework/application.h"
#include "gif/gif_image.h"
#include "picture/jpeg_image.h"
#include "picture/webp_image.h"
#include "platform/path_conversion.h"
#include "resources/resources.h"

namespace {
// LUMIVANE_DECODE_AHEAD=0 makes the viewer read every picture when it is shown, as a yardstick
// for decoding ahead.
bool DecodeAheadWanted() {
  const char* value = std::getenv("LUMIVANE_DECODE_AHEAD");
  return value == nullptr || std::strcmp(value, "0") != 0;
}

// A relative argument is resolved once, against the folder the program was started in: opening
// it enters the argument's folder, after which the same relative text would name another file.
// A text that does not resolve is passed on unchanged (it then opens nothing).
std::string StartingFolderPath(const std::string& argument) {
  const auto resolved = lumivane::ResolveProgramPath(argument);
  return resolved ? resolved->ToProgramForm() : argument;
}
}  // namespace

int main(int argc, char** argv) {
  using namespace lumivane;
  // Before any thread starts: the environment is changed only while nothing else can read it.
  KeepSessionBusFromStarting(std::getenv("DBUS_SESSION_BUS_ADDRESS"), std::getenv("XDG_RUNTIME_DIR"));
  // The picture kinds need neither the window system nor the Qt application, so the picture named
  // on the command line starts decoding before either exists and is ready when the window is.
  InitLumivaneResources();
  RegisterJpegFormat();
  RegisterGifFormat();
  RegisterWebpFormat();

  // Paths given in Unix form become program paths ("/home/ann/x.jpg" -> "C:\home\ann\x.jpg").
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(StartingFolderPath(ConvertUserPath(argv[i])));
  std::unique_ptr<TPicturePreloader> preloader;
  if (DecodeAheadWanted()) {
    preloader = std::make_unique<TPicturePreloader>();
    if (arguments.size() == 1) preloader->Request(arguments[0]);
  }

  // The Qt application lives in main() so that it ends before the program's static objects.
  QApplication qtApplication(argc, argv);
  Application->Initialize();
  Application->SetTitle("Lumivane");
  // Logout, Ctrl+C and kill end the program as closing the window does.
  Application->HandleTerminationSignals();

  TForm1* Form1 = nullptr;
  Application->CreateForm(Form1);
  Form1->SetCommandLine(std::move(arguments));
  Form1->SetPreloader(std::move(preloader));
  TForm2* Form2 = nullptr;
  Application->CreateForm(Form2);
  Form1->Form2 = Form2;
  const QIcon icon = LoadWindowIcon();
  Form1->SetIcon(icon);
  Form2->SetIcon(icon);
  Application->Run();
  return 0;
}
