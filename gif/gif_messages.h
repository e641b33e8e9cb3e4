#pragma once
// Message texts of the GIF reader, decoder and renderer.
namespace lumivane {

inline constexpr const char* SGIFUnknownVersion = "Unknown GIF version";
inline constexpr const char* SGIFUnknownExtension = "Unrecognized extension block: %.2X";
inline constexpr const char* SGIFWrongColorCount = "Wrong number of colors; must be a power of 2";
inline constexpr const char* SGIFCodeSizeRange = "GIF code size not in range 2 to 9";
inline constexpr const char* SGIFDataCorrupt = "GIF encoded data is corrupt";
inline constexpr const char* SGIFResizeImage = "Cannot change the Size of a GIF image";
inline constexpr const char* SGIFNoWriter = "Writing GIF images is not supported";
inline constexpr const char* SGIFTooLarge = "GIF frame is too large";

}  // namespace lumivane
