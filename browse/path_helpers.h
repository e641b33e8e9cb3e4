#pragma once
// Path operations shared by the browsing controls: the file-name comparison, joining a directory
// and a name, the existence test for directories, the line height of a font, entering a directory
// with the runtime's error, and the splitting of a path typed by a user.
#include <memory>
#include <string>

#include "framework/font.h"

namespace lumivane {

class TBitmap;

class TFont;

// Compares two file names the way the browsing controls do: both are lower-cased, then compared
// in the user's locale order. Negative, zero or positive like strcmp.
int CompareFileNames(const std::string& a, const std::string& b);
// True when the file-name comparison yields equality.
bool SameFileName(const std::string& a, const std::string& b);

// Dir + Name, with a '\' between them unless Dir already ends in one.
std::string JoinPath(const std::string& dir, const std::string& name);

// True when the path's attributes can be read and carry the directory bit.
bool IsExistingDirectory(const std::string& path);

// True when an entry of that name exists and is not a directory.
bool IsExistingFile(const std::string& path);

// A control glyph from the program's bitmap resources (16-colour, keyed on its bottom-left pixel).
std::unique_ptr<TBitmap> LoadGlyph(const char* name);

// Makes a directory current; raises EInOutError with the platform's error code on failure.
void EnterDirectory(const std::string& path);

// The three parts of a typed path: a drive letter (or '\0' for a network share), the directory
// part and the name part. The directory part of a network path keeps the share prefix.
struct TPathInput {
  char Drive = 0;
  std::string DirPart;
  std::string NamePart;
};

// Splits text typed by a user or given on the command line. A name that is not an existing file
// (and has no wildcard) is taken as a directory and moved into the directory part. The process's
// current directory is changed only while this runs; it is restored before returning, also when
// a directory cannot be entered (EInOutError).
TPathInput SplitPathInput(const std::string& text);

}  // namespace lumivane
