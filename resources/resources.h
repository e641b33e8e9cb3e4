#pragma once
// The program's embedded resources: control glyphs under ":/lumivane/bitmaps/<NAME>.bmp" and the
// window icon ":/lumivane/lumivane.ico".

namespace lumivane {

// Registers the embedded resources with Qt's resource system. Safe to call any number of times;
// code that reads the resources calls it first so that a static link cannot drop them.
void InitLumivaneResources();

}  // namespace lumivane
