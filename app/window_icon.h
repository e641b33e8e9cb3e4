#pragma once
// The main window's icon, decoded from the program's own icon file by the icon picture class.
#include <QIcon>

namespace lumivane {

// The 32 x 32 and 16 x 16 images of the embedded window icon; an empty icon when it cannot be read.
QIcon LoadWindowIcon();

}  // namespace lumivane
