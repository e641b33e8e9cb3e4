#pragma once
// The settings file: five lines of decimal integers (window Top, Left, Height, Width and the
// browsing panel's width), each ended by CR LF.
#include <array>
#include <functional>
#include <string>

namespace lumivane {

// The settings file's path: "Lumivane.dat" in the executable's folder when that folder is
// writable or the file is already there; otherwise (a program installed for all users) in the
// user's configuration folder, $XDG_CONFIG_HOME/lumivane/ (default ~/.config/lumivane/).
std::string SettingsFilePath();
// The user's configuration folder for the program, as a program path with a trailing separator.
std::string UserSettingsFolder();
// Before writing to path: creates the user's configuration folder when path lies in it and it is
// missing. Any other folder is left alone.
void PrepareSettingsFolder(const std::string& path);

// Reads the file in groups of five lines while it has more to read, handing each value to
// Apply(field, value) right after its line is read (field 0..4 in the order above). Returns true
// when the reading ended at the end of the file; any failure to open, read or convert ends it at
// once and returns false, leaving the values already applied in place.
bool ReadSettingsFile(const std::string& path, const std::function<void(int field, int value)>& Apply);

// Replaces the file with the five values. Failures end the writing silently; what was written stays.
void WriteSettingsFile(const std::string& path, const std::array<int, 5>& values);

}  // namespace lumivane
