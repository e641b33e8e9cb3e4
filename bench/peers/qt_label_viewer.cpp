// The plain Qt viewer that bench/peers.py times beside the program: it reads the picture named on
// the command line with QImageReader, scales it to fit the screen when it is larger, and shows it
// in a maximized QLabel. What a developer writes first with the toolkit alone.
#include <QApplication>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QScreen>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2) return 2;
  QImageReader reader(QString::fromLocal8Bit(argv[1]));
  reader.setAutoTransform(true);
  QImage image = reader.read();
  const QSize screen = QGuiApplication::primaryScreen()->availableSize();
  if (image.width() > screen.width() || image.height() > screen.height()) {
    image = image.scaled(screen, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  }
  QLabel label;
  label.setAlignment(Qt::AlignCenter);
  label.setPixmap(QPixmap::fromImage(image));
  label.setWindowTitle(QString::fromLocal8Bit(argv[1]));
  label.showMaximized();
  return QApplication::exec();
}
