#pragma once
// The program's embedded resources: control glyphs under ":/lumivane/bitmaps/<NAME>.bmp" and the
// window icon ":/lumivane/lumivane.ico".

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lumivane {

// Registers the embedded resources with Qt's resource system. Safe to call any number of times;
// code that reads the resources calls it first so that a static link cannot drop them.
void InitLumivaneResources();

// The bytes of one embedded resource, such as ":/lumivane/lumivane.ico"; nothing when the program
// holds no resource of that name. Registers the resources first.
std::optional<std::vector<uint8_t>> ReadLumivaneResource(const std::string& Path);

}  // namespace lumivane
