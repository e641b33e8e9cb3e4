#include "picture/dib_reader.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "framework/exception.h"
#include "framework/stream.h"
#include "picture/gdi_helpers.h"
#include "platform/gdi/gdi.h"
#include "platform/platform_error.h"

namespace lumivane {

namespace {

constexpr const char* SInvalidBitmap = "Bitmap image is not valid";
constexpr uint32_t kCoreHeaderSize = 12;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kSmallestInfoHeader = 16;   // width, height, planes and depth
constexpr uint32_t kLargestInfoHeader = 4096;  // far beyond every header version in use
constexpr uint32_t kMaxColors = 256;

[[noreturn]] void InvalidBitmap() { throw EInvalidGraphic(SInvalidBitmap); }

[[noreturn]] void RaiseCreateFailure() {
  if (GetLastError() != 0) RaiseLastOSError();
  InvalidBitmap();
}

uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

int64_t RowBytes(int64_t width, int bpp) { return ((width * bpp + 31) & ~int64_t(31)) / 8; }

bool UncompressedDepth(int bpp) {
  return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
}

// A colour mask must be one run of bits inside the pixel.
bool MaskUsable(DWORD mask, int bpp) {
  if (mask == 0) return true;
  if (bpp == 16 && mask > 0xFFFF) return false;
  const DWORD run = mask >> std::countr_zero(mask);
  return (run & (run + 1)) == 0;
}

// One read of a DIB; members hold what has been read so far.
class Reader {
 public:
  Reader(TStream& stream, int64_t image_size, const BITMAPFILEHEADER* file_header)
      : input_(&stream), image_size_(image_size), file_header_(file_header) {}

  TDIBReader::Result Read() {
    ReadHeader();
    if (IsCompressed()) KeepCompressedBytes();
    if (header_.biPlanes != 1) InvalidBitmap();
    ReadMasks();
    ReadColorTable();
    SkipToPixelOffset();
    CheckDimensions();
    const int64_t pixel_bytes = PixelBytes();
    TDIBReader::Result result;
    result.OS2Format = os2_;
    if (IsCompressed())
      CreateFromCompressed(pixel_bytes, result);
    else
      CreateSection(pixel_bytes, result);
    if (header_.biBitCount > 8 && color_count_ != 0 && result.Palette == nullptr)
      result.Palette = PaletteFromColors(colors_, static_cast<int>(color_count_));
    result.SaveStream = std::move(save_);
    result.Header = header_;
    return result;
  }

 private:
  bool IsCompressed() const {
    return header_.biCompression != BI_RGB && header_.biCompression != BI_BITFIELDS;
  }

  void ReadHeader() {
    header_size_ = input_->ReadDWord();
    image_size_ -= 4;
    if (header_size_ == kCoreHeaderSize) {
      os2_ = true;
      uint8_t core[8];
      if (input_->Read(core, sizeof(core)) != sizeof(core)) InvalidBitmap();
      header_.biWidth = GetU16(core);
      header_.biHeight = GetU16(core + 2);
      header_.biPlanes = GetU16(core + 4);
      header_.biBitCount = GetU16(core + 6);
      image_size_ -= 8;
    } else {
      if (header_size_ < kSmallestInfoHeader || header_size_ > kLargestInfoHeader) InvalidBitmap();
      header_bytes_.resize(header_size_ - 4);
      const auto wanted = static_cast<int64_t>(header_bytes_.size());
      if (input_->Read(header_bytes_.data(), wanted) != wanted) InvalidBitmap();
      // A short header (16 bytes and up) leaves the later fields 0.
      std::memcpy(&header_.biWidth, header_bytes_.data(),
                  std::min<size_t>(header_bytes_.size(), sizeof(header_) - 4));
      image_size_ -= wanted;
    }
    header_.biSize = kInfoHeaderSize;
  }

  // Run-length (and other compressed) data is copied with its headers into a memory stream, which
  // the image keeps; the rest is read from that copy.
  void KeepCompressedBytes() {
    save_ = std::make_unique<TMemoryStream>();
    BITMAPFILEHEADER file_header{};
    if (file_header_ != nullptr) {
      file_header = *file_header_;
    } else {
      file_header.bfType = 0x4D42;
      file_header.bfSize = static_cast<DWORD>(header_size_ + std::max<int64_t>(image_size_, 0));
    }
    save_->WriteBuffer(&file_header, sizeof(file_header));
    save_->WriteDWord(header_size_);
    save_->WriteBuffer(header_bytes_.data(), static_cast<int64_t>(header_bytes_.size()));
    const int64_t start = save_->Position();
    if (image_size_ > 0) save_->CopyFrom(*input_, image_size_);
    save_->SetPosition(start);
    input_ = save_.get();
  }

  void ReadMasks() {
    if (header_.biCompression != BI_BITFIELDS) return;
    if (header_.biBitCount != 16 && header_.biBitCount != 32) return;
    if (header_size_ == kInfoHeaderSize) {
      input_->ReadBuffer(masks_, sizeof(masks_));
      image_size_ -= static_cast<int64_t>(sizeof(masks_));
      masks_read_ = static_cast<int64_t>(sizeof(masks_));
    } else if (header_bytes_.size() > 36) {
      // Masks inside a larger header: nothing more is read.
      std::memcpy(masks_, header_bytes_.data() + 36,
                  std::min<size_t>(header_bytes_.size() - 36, sizeof(masks_)));
    }
  }

  // Declared colours beyond 256 are read past and dropped.
  void ReadColorTable() {
    uint64_t declared = header_.biClrUsed;
    if (declared == 0) {
      const int bpp = header_.biBitCount;
      declared = bpp == 1 ? 2 : bpp == 4 ? 16 : bpp == 8 ? 256 : 0;
    }
    const int entry = os2_ ? 3 : 4;
    color_count_ = static_cast<uint32_t>(std::min<uint64_t>(declared, kMaxColors));
    std::vector<uint8_t> raw(static_cast<size_t>(color_count_) * entry);
    input_->ReadBuffer(raw.data(), static_cast<int64_t>(raw.size()));
    for (uint32_t i = 0; i < color_count_; ++i) {
      const uint8_t* p = raw.data() + static_cast<size_t>(i) * entry;
      colors_[i] = RGBQUAD{p[0], p[1], p[2], 0};
    }
    const int64_t skipped = static_cast<int64_t>(declared - color_count_) * entry;
    if (skipped > 0) {
      if (skipped > input_->Remaining()) throw EReadError(SReadError);
      input_->Seek(skipped, soCurrent);
    }
    table_bytes_ = static_cast<int64_t>(declared) * entry;
    image_size_ -= table_bytes_;
    header_.biClrUsed = color_count_;
  }

  // A file whose pixel-data offset points past a gap after the colour table has its pixels there.
  // An offset inside the headers or beyond the data is not believed: the pixels then follow the
  // colour table.
  void SkipToPixelOffset() {
    if (file_header_ == nullptr) return;
    const int64_t consumed = 14 + int64_t(header_size_) + masks_read_ + table_bytes_;
    const int64_t gap = int64_t(file_header_->bfOffBits) - consumed;
    if (gap <= 0 || gap >= image_size_) return;
    input_->Seek(gap, soCurrent);
    image_size_ -= gap;
  }

  // Absurd sizes are refused before anything is allocated.
  void CheckDimensions() {
    const int64_t width = header_.biWidth;
    const int64_t height = std::llabs(static_cast<int64_t>(header_.biHeight));
    if (width <= 0 || height == 0) InvalidBitmap();
    if (width * height > kMaxBitmapPixels) InvalidBitmap();
    const int bpp = header_.biBitCount;
    if (header_.biCompression == BI_RGB && !UncompressedDepth(bpp)) InvalidBitmap();
    if (header_.biCompression == BI_BITFIELDS) {
      if (bpp != 16 && bpp != 32) InvalidBitmap();
      for (DWORD mask : masks_)
        if (!MaskUsable(mask, bpp)) InvalidBitmap();
    }
    if (header_.biCompression == BI_RLE8 && (bpp != 8 || header_.biHeight < 0)) InvalidBitmap();
    if (header_.biCompression == BI_RLE4 && (bpp != 4 || header_.biHeight < 0)) InvalidBitmap();
  }

  int64_t ExpectedBytes() const {
    return RowBytes(header_.biWidth, header_.biBitCount) * std::llabs(static_cast<int64_t>(header_.biHeight));
  }

  // The pixel bytes to read: the smaller of what is left and the declared image size.
  int64_t PixelBytes() {
    if (header_.biSizeImage == 0) header_.biSizeImage = static_cast<DWORD>(ExpectedBytes());
    return std::min<int64_t>(std::max<int64_t>(image_size_, 0), header_.biSizeImage);
  }

  // The header and table as the raster device takes them.
  void FillInfo(BitmapInfo& info, DWORD size_image) const {
    BITMAPINFOHEADER header = header_;
    header.biSizeImage = size_image;
    int table = 0;
    if (header.biBitCount <= 8) table = std::min<int>(color_count_, 1 << header.biBitCount);
    header.biClrUsed = static_cast<DWORD>(table);
    info.Set(header, header.biCompression == BI_BITFIELDS ? masks_ : nullptr, colors_, table);
  }

  void CreateSection(int64_t pixel_bytes, TDIBReader::Result& result) {
    BitmapInfo info;
    FillInfo(info, 0);
    ScreenDC screen;
    void* bits = nullptr;
    SetLastError(0);
    ObjectGuard handle(CreateDIBSection(screen.dc, info.Info(), DIB_RGB_COLORS, &bits, nullptr, 0));
    if (handle.object == nullptr || bits == nullptr) RaiseCreateFailure();
    // Straight into the section's memory; a short stream leaves the missing rows black, and
    // untouched: they cost no memory until something writes them.
    const int64_t count = std::min(pixel_bytes, ExpectedBytes());
    const int64_t got = count > 0 ? input_->Read(bits, count) : 0;
    LeaveDIBUnwritten(static_cast<HBITMAP>(handle.object), static_cast<size_t>(std::max<int64_t>(got, 0)));
    const int64_t row_bytes = RowBytes(header_.biWidth, header_.biBitCount);
    const int64_t rows = (std::max<int64_t>(got, 0) + row_bytes - 1) / row_bytes;
    if (rows < std::llabs(static_cast<int64_t>(header_.biHeight))) result.FilledRows = static_cast<int>(rows);
    result.Handle = static_cast<HBITMAP>(handle.Release());
    result.IsSection = true;
  }

  // Run-length data is decoded into a 32-bit section, writing only the pixels the runs give:
  // pixels they skip stay black and untouched, so a small file that declares a huge picture
  // costs what its runs write.
  void CreateFromCompressed(int64_t pixel_bytes, TDIBReader::Result& result) {
    std::vector<uint8_t> data(static_cast<size_t>(pixel_bytes));
    const int64_t got = pixel_bytes > 0 ? input_->Read(data.data(), pixel_bytes) : 0;
    data.resize(static_cast<size_t>(std::max<int64_t>(got, 0)));
    const bool rle = header_.biCompression == BI_RLE8 || header_.biCompression == BI_RLE4;
    if (!rle) {
      // Other compressions are the platform's to refuse, with its error.
      SetLastError(ERROR_INVALID_PARAMETER);
      RaiseCreateFailure();
    }
    BITMAPINFOHEADER header{};
    header.biWidth = header_.biWidth;
    header.biHeight = header_.biHeight;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    BitmapInfo info;
    info.Set(header, nullptr, nullptr, 0);
    ScreenDC screen;
    void* bits = nullptr;
    SetLastError(0);
    ObjectGuard handle(CreateDIBSection(screen.dc, info.Info(), DIB_RGB_COLORS, &bits, nullptr, 0));
    if (handle.object == nullptr || bits == nullptr) RaiseCreateFailure();
    const auto section = static_cast<HBITMAP>(handle.object);
    LeaveDIBUnwritten(section, 0);
    int stride = 0;
    auto* top = static_cast<uint8_t*>(BitmapPixels(section, &stride));
    const int64_t lines = DecodeRunLength(data, header_.biCompression == BI_RLE4, top, stride);
    if (lines < header_.biHeight) result.FilledRows = static_cast<int>(lines);
    result.Handle = static_cast<HBITMAP>(handle.Release());
    result.IsSection = true;
    if (color_count_ != 0) result.Palette = PaletteFromColors(colors_, static_cast<int>(color_count_));
  }

  // Runs that pass the right edge are cut; deltas past the right edge or the top end drawing
  // there; nothing is read past the data.
  // Returns the number of lines from the bottom up to the highest one written.
  int64_t DecodeRunLength(const std::vector<uint8_t>& data, bool four_bits, uint8_t* top, int stride) const {
    const int64_t width = header_.biWidth;
    const int64_t height = header_.biHeight;
    uint32_t table[256];
    for (int i = 0; i < 256; ++i) {
      const RGBQUAD& q = colors_[i];
      table[i] = 0xFF000000u | (uint32_t(q.rgbRed) << 16) | (uint32_t(q.rgbGreen) << 8) | q.rgbBlue;
    }
    // Indices beyond the colour table are black.
    for (uint32_t i = color_count_; i < 256; ++i) table[i] = 0xFF000000u;
    int64_t x = 0;
    int64_t y = 0;  // counted from the bottom line
    int64_t lines = 0;
    auto put = [&](int index) {
      if (x >= width) return;
      lines = std::max(lines, y + 1);
      uint8_t* row = top + static_cast<ptrdiff_t>(height - 1 - y) * stride;
      std::memcpy(row + x * 4, &table[index & 0xFF], 4);
      ++x;
    };
    size_t pos = 0;
    const size_t size = data.size();
    while (y < height && pos + 2 <= size) {
      const int count = data[pos];
      const int value = data[pos + 1];
      pos += 2;
      if (count > 0) {
        for (int i = 0; i < count && x < width; ++i)
          put(four_bits ? ((i & 1) ? (value & 0x0F) : (value >> 4)) : value);
      } else if (value == 0) {
        x = 0;
        ++y;
      } else if (value == 1) {
        break;
      } else if (value == 2) {
        if (pos + 2 > size) break;
        x = std::min<int64_t>(x + data[pos], width);
        y += data[pos + 1];
        pos += 2;
      } else {
        const size_t bytes = four_bits ? (size_t(value) + 1) / 2 : size_t(value);
        const size_t available = std::min(bytes, size - pos);
        for (int i = 0; i < value; ++i) {
          const size_t at = four_bits ? size_t(i) / 2 : size_t(i);
          if (at >= available) break;
          const int b = data[pos + at];
          put(four_bits ? ((i & 1) ? (b & 0x0F) : (b >> 4)) : b);
        }
        pos += std::min((bytes + 1) & ~size_t{1}, size - pos);
      }
    }
    return lines;
  }

  TStream* input_;
  int64_t image_size_;
  const BITMAPFILEHEADER* file_header_;
  uint32_t header_size_ = 0;
  bool os2_ = false;
  BITMAPINFOHEADER header_{};
  std::vector<uint8_t> header_bytes_;  // the header after its size field, as read
  DWORD masks_[3] = {0, 0, 0};
  RGBQUAD colors_[kMaxColors] = {};
  uint32_t color_count_ = 0;
  int64_t masks_read_ = 0;   // bytes of masks read after a 40-byte header
  int64_t table_bytes_ = 0;  // bytes of colour table as declared
  std::unique_ptr<TMemoryStream> save_;
};

}  // namespace

TDIBReader::Result TDIBReader::Read(TStream& Stream, int64_t ImageSize, const BITMAPFILEHEADER* FileHeader) {
  Reader reader(Stream, ImageSize, FileHeader);
  return reader.Read();
}

}  // namespace lumivane
