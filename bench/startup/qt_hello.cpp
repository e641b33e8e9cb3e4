// The reference for the start-up measurement: the smallest Qt Widgets program that maps a window.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget window;
  window.setWindowTitle("Lumivane reference window");
  window.resize(1024, 743);
  window.show();
  return app.exec();
}
