#pragma once
// Shared helpers of the browsing-control tests: a temporary folder tree that can also serve as the
// mount point of made-up drives, and pixel access to what a control shows.
#include <gtest/gtest.h>

#include <QtGui/QImage>
#include <QtWidgets/QWidget>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "framework/form.h"
#include "platform/current_directory.h"
#include "platform/drive_table.h"
#include "platform/path_conversion.h"

namespace lumivane::testing {

class TTempFolder {
 public:
  TTempFolder() : saved_cwd_(GetCurrentDirectoryA()) {
    char pattern[] = "/tmp/lumivane-controls-XXXXXX";
    native_ = mkdtemp(pattern);
  }
  ~TTempFolder() {
    UseSystemDriveTable();
    SetCurrentDirectoryA(saved_cwd_);
    std::error_code ignored;
    std::filesystem::remove_all(native_, ignored);
  }
  TTempFolder(const TTempFolder&) = delete;
  TTempFolder& operator=(const TTempFolder&) = delete;

  std::string Native(const std::string& relative = "") const {
    return relative.empty() ? native_ : native_ + "/" + relative;
  }
  // The program path of an entry (on drive C: while no drive is mounted inside the folder).
  std::string Program(const std::string& relative = "") const {
    return NativeToProgramPath(Native(relative));
  }
  void Directory(const std::string& relative) const { std::filesystem::create_directories(Native(relative)); }
  void File(const std::string& relative) const { std::ofstream(Native(relative)) << "x"; }

 private:
  std::string saved_cwd_;
  std::string native_;
};

// One mountinfo line for a made-up mount.
inline std::string MountLine(int id, const std::string& mountPoint, const std::string& fsType,
                             const std::string& source) {
  return std::to_string(id) + " 1 0:" + std::to_string(id) + " / " + mountPoint + " rw - " + fsType + " " +
         source + " rw\n";
}

inline const char* const RootMount = "1 0 8:1 / / rw - ext4 /dev/root-disk rw\n";

// The RGB value (0xRRGGBB) of a pixel of what a control's widget shows.
inline uint32_t ShownPixel(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFFu; }

inline QImage Grab(QWidget* widget) { return widget->grab().toImage(); }

}  // namespace lumivane::testing
