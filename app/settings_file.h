#pragma once
// The settings file: five lines of decimal integers (window Top, Left, Height, Width and the
// browsing panel's width), each ended by CR LF.
#include <array>
#include <functional>
#include <string>

namespace lumivane {

// The settings file's path: the executable's folder followed by "Lumivane.dat".
std::string SettingsFilePath();

// Reads the file in groups of five lines while it has more to read, handing each value to
// Apply(field, value) right after its line is read (field 0..4 in the order above). Returns true
// when the reading ended at the end of the file; any failure to open, read or convert ends it at
// once and returns false, leaving the values already applied in place.
bool ReadSettingsFile(const std::string& path, const std::function<void(int field, int value)>& Apply);

// Replaces the file with the five values. Failures end the writing silently; what was written stays.
void WriteSettingsFile(const std::string& path, const std::array<int, 5>& values);

}  // namespace lumivane
