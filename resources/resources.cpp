#include "resources/resources.h"

#include <QtCore/QtGlobal>

// Q_INIT_RESOURCE declares the generated registration function, which lives outside any
// namespace; it must be used from the global namespace.
static void RegisterLumivaneResourceData() { Q_INIT_RESOURCE(lumivane); }

namespace lumivane {

void InitLumivaneResources() {
  static const bool registered = (RegisterLumivaneResourceData(), true);
  (void)registered;
}

}  // namespace lumivane
