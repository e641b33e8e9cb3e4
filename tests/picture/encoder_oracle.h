#pragma once
// Test files made at test time by independent encoders (Pillow, ImageMagick from Debian), and
// those encoders' own reading of them as RGBA rows.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace lumivane::test {

inline const char* kPython = "/usr/bin/python3";
inline const char* kConvert = "/usr/bin/convert-im6.q16";

// The command's standard output; empty when it fails.
inline std::string RunCommand(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0) out.append(buffer, n);
    if (pclose(pipe) != 0) out.clear();
  }
  return out;
}

inline bool HavePillow() {
  static const bool have =
      std::filesystem::exists(kPython) &&
      RunCommand(std::string(kPython) + " -c 'import PIL; print(1)' 2>/dev/null") == "1\n";
  return have;
}

inline bool HaveImageMagick() { return std::filesystem::exists(kConvert); }

// Runs a Python script with Pillow; its standard output.
inline std::string RunPillow(const std::string& script) {
  char name[] = "/tmp/lumivane-pil-XXXXXX";
  const int fd = mkstemp(name);
  if (fd < 0) return {};
  close(fd);
  std::ofstream(name) << script;
  const std::string out = RunCommand(std::string(kPython) + " " + name + " 2>/dev/null");
  std::remove(name);
  return out;
}

// Drawn pixels (0x00BBGGRR) that differ by more than 2 in some channel from the encoder's RGBA
// reading (straight alpha) composed over the background; -1 when the sizes differ.
inline int BlendMismatches(const std::vector<uint32_t>& drawn, const std::vector<uint8_t>& rgba,
                           uint32_t background) {
  if (drawn.size() * 4 != rgba.size()) return -1;
  int bad = 0;
  for (size_t i = 0; i < drawn.size(); ++i) {
    const uint8_t* p = &rgba[i * 4];
    for (int c = 0; c < 3; ++c) {
      const int under = (background >> (8 * c)) & 0xFF;
      const int expected = (p[c] * p[3] + under * (255 - p[3]) + 127) / 255;
      if (std::abs(int((drawn[i] >> (8 * c)) & 0xFF) - expected) > 2) {
        ++bad;
        break;
      }
    }
  }
  return bad;
}

inline std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// A private folder for the files of one test, removed with everything in it.
struct ScratchFolder {
  ScratchFolder() {
    char pattern[] = "/tmp/lumivane-pic-XXXXXX";
    path = mkdtemp(pattern);
  }
  ~ScratchFolder() { std::filesystem::remove_all(path); }
  std::string File(const std::string& name) const { return (path / name).string(); }
  std::filesystem::path path;
};

}  // namespace lumivane::test
