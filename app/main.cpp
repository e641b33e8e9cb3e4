// The program's entry: registers the picture kinds, creates the main window and runs the
// message loop until the main window closes.
#include <QApplication>
#include <string>
#include <vector>

#include "app/help_window.h"
#include "app/main_window.h"
#include "app/window_icon.h"
#include "framework/application.h"
#include "gif/gif_image.h"
#include "picture/jpeg_image.h"
#include "picture/webp_image.h"
#include "platform/path_conversion.h"
#include "resources/resources.h"

int main(int argc, char** argv) {
  using namespace lumivane;
  // The Qt application lives in main() so that it ends before the program's static objects.
  QApplication qtApplication(argc, argv);
  Application->Initialize();
  InitLumivaneResources();
  RegisterJpegFormat();
  RegisterGifFormat();
  RegisterWebpFormat();
  Application->SetTitle("Lumivane");

  // Paths given in Unix form become program paths ("/home/ann/x.jpg" -> "C:\home\ann\x.jpg").
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(ConvertUserPath(argv[i]));

  TForm1* Form1 = nullptr;
  Application->CreateForm(Form1);
  Form1->SetCommandLine(std::move(arguments));
  TForm2* Form2 = nullptr;
  Application->CreateForm(Form2);
  Form1->Form2 = Form2;
  const QIcon icon = LoadWindowIcon();
  Form1->SetIcon(icon);
  Form2->SetIcon(icon);
  Application->Run();
  return 0;
}
