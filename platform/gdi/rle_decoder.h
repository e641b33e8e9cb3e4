#pragma once
// Decoder of run-length compressed DIB pixels (8 bits per pixel or 4 bits per pixel).
// Runs that go past the right edge are cut, deltas past the right edge or the top end drawing
// there, and the decoder never reads past the data it is given.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace lumivane {

class RleDecoder {
 public:
  // Marks a pixel that no run wrote.
  static constexpr std::uint16_t kUnwritten = 0xFFFF;
  // Receives a finished scan line: `line` counts from the bottom row (0); `indices` holds
  // `width` colour indices or kUnwritten. Lines without any written pixel are not reported.
  using LineSink = std::function<void(int line, const std::uint16_t* indices)>;

  RleDecoder(int width, int height, bool fourBits);
  void Decode(const std::uint8_t* data, std::size_t size, const LineSink& sink);

 private:
  void Put(int index);
  void Flush(const LineSink& sink);
  void NextLine(const LineSink& sink, int lines);

  int width_;
  int height_;
  bool fourBits_;
  int x_ = 0;
  int y_ = 0;
  bool lineWritten_ = false;
  std::vector<std::uint16_t> line_;
};

}  // namespace lumivane
