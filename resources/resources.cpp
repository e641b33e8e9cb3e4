#include "resources/resources.h"

#include <QFile>
#include <QtCore/QtGlobal>

// Q_INIT_RESOURCE declares the generated registration function, which lives outside any
// namespace; it must be used from the global namespace.
static void RegisterLumivaneResourceData() { Q_INIT_RESOURCE(lumivane); }

namespace lumivane {

void InitLumivaneResources() {
  static const bool registered = (RegisterLumivaneResourceData(), true);
  (void)registered;
}

std::optional<std::vector<uint8_t>> ReadLumivaneResource(const std::string& Path) {
  InitLumivaneResources();
  QFile file(QString::fromStdString(Path));
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  const QByteArray bytes = file.readAll();
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

}  // namespace lumivane
