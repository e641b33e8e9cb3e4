#include "picture/icon.h"

#include <climits>
#include <cstring>
#include <vector>

#include "framework/canvas.h"
#include "framework/exception.h"
#include "framework/memory_stream.h"
#include "picture/gdi_helpers.h"
#include "picture/icon_file.h"
#include "picture/icon_image.h"
#include "picture/png_reader.h"
#include "platform/gdi/gdi.h"
#include "platform/platform_error.h"

namespace lumivane {

namespace {

constexpr const char* SInvalidIcon = "Icon image is not valid";
constexpr const char* SChangeIconSize = "Cannot change the size of an icon";
constexpr int64_t kInfoHeaderSize = 40;

[[noreturn]] void InvalidIcon() { throw EInvalidGraphic(SInvalidIcon); }

int64_t RowBytes(int64_t width, int bpp) { return ((width * bpp + 31) & ~int64_t(31)) / 8; }

int TableEntries(int bpp) { return bpp == 1 ? 2 : bpp == 4 ? 16 : bpp == 8 ? 256 : 0; }

// Colours the screen can show at once: 2^(planes x bits) up to 8 bits, else "any number".
int64_t DisplayColors() {
  ScreenDC screen;
  const int depth = GetDeviceCaps(screen.dc, PLANES) * GetDeviceCaps(screen.dc, BITSPIXEL);
  return depth <= 8 ? (int64_t(1) << depth) : INT_MAX;
}

uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// The source position under the centre of destination position k (the colour-on-colour stretch).
int64_t Sample(int64_t k, int64_t source_size, int64_t target_size) {
  return (2 * k + 1) * source_size / (2 * target_size);
}

// The icon's pixels at its own size, as CreateIcon takes them: 32-bit colour rows (blue, green,
// red, alpha) and monochrome AND rows, both top-down in device layout.
struct IconBits {
  IconBits(int width, int height)
      : width(width),
        height(height),
        mask_stride(((width + 15) / 16) * 2),
        color(static_cast<size_t>(width) * height * 4, 0),
        mask(static_cast<size_t>(mask_stride) * height, 0) {}
  void SetMask(int x, int y) { mask[size_t(y) * mask_stride + size_t(x >> 3)] |= uint8_t(0x80 >> (x & 7)); }
  void SetColor(int x, int y, uint32_t bgra) { std::memcpy(&color[(size_t(y) * width + x) * 4], &bgra, 4); }

  int width;
  int height;
  int mask_stride;
  std::vector<uint8_t> color;
  std::vector<uint8_t> mask;
};

// A PNG-compressed entry: decoded and stretched to the icon's size. Fully transparent pixels are
// also marked in the mask, so that an image without any alpha is drawn as fully transparent.
void PngEntryBits(const uint8_t* data, int64_t size, IconBits& out) {
  const TPNGReader::Result png = TPNGReader::Decode(data, size, TPNGReader::poStraight32, SInvalidIcon);
  ObjectGuard guard(png.Handle);
  int stride = 0;
  const auto* top = static_cast<const uint8_t*>(BitmapPixels(png.Handle, &stride));
  for (int y = 0; y < out.height; ++y) {
    const uint8_t* row = top + static_cast<ptrdiff_t>(Sample(y, png.Height, out.height)) * stride;
    for (int x = 0; x < out.width; ++x) {
      const uint32_t pixel = U32(row + Sample(x, png.Width, out.width) * 4);
      if ((pixel >> 24) == 0) {
        out.SetMask(x, y);
        continue;
      }
      out.SetColor(x, y, pixel);
    }
  }
}

// A bitmap entry: a 40-byte info header whose height counts the colour and mask rows together,
// the colour table the header declares, the colour rows, then the mask rows. Only the pixels
// that land on the icon are read; rows missing at the end of the data read as 0 (black and
// opaque).
void BitmapEntryBits(const uint8_t* data, int64_t size, IconBits& out) {
  if (size < kInfoHeaderSize) InvalidIcon();
  BITMAPINFOHEADER header{};
  std::memcpy(&header, data, sizeof(header));
  const int bpp = header.biBitCount;
  const bool depth_ok = bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
  const int64_t width = header.biWidth;
  const int64_t height = header.biHeight / 2;
  if (!depth_ok || header.biPlanes != 1 || header.biCompression != BI_RGB || width <= 0 || height <= 0 ||
      width * height > kMaxBitmapPixels)
    InvalidIcon();

  const int64_t entries = header.biClrUsed != 0 ? int64_t(header.biClrUsed) : TableEntries(bpp);
  const int64_t color_offset = kInfoHeaderSize + 4 * entries;
  const int64_t color_row = RowBytes(width, bpp);
  const int64_t mask_offset = color_offset + color_row * height;
  const int64_t mask_row = RowBytes(width, 1);
  uint32_t table[256] = {};
  for (int64_t i = 0; i < std::min<int64_t>(entries, 256); ++i)
    if (kInfoHeaderSize + 4 * (i + 1) <= size) table[i] = U32(data + kInfoHeaderSize + 4 * i) & 0xFFFFFF;
  // The byte at an offset, or 0 beyond the data.
  auto byte_at = [&](int64_t offset) -> uint32_t { return offset < size ? data[offset] : 0; };

  for (int y = 0; y < out.height; ++y) {
    const int64_t row = height - 1 - Sample(y, height, out.height);  // rows are stored bottom-up
    const int64_t color_start = color_offset + row * color_row;
    const int64_t mask_start = mask_offset + row * mask_row;
    for (int x = 0; x < out.width; ++x) {
      const int64_t sx = Sample(x, width, out.width);
      uint32_t pixel = 0;
      switch (bpp) {
        case 1:
          pixel = table[(byte_at(color_start + sx / 8) >> (7 - sx % 8)) & 1];
          break;
        case 4:
          pixel = table[(byte_at(color_start + sx / 2) >> (sx % 2 ? 0 : 4)) & 0x0F];
          break;
        case 8:
          pixel = table[byte_at(color_start + sx)];
          break;
        case 16: {
          const uint32_t v = byte_at(color_start + sx * 2) | (byte_at(color_start + sx * 2 + 1) << 8);
          const uint32_t r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
          pixel = (((r << 3) | (r >> 2)) << 16) | (((g << 3) | (g >> 2)) << 8) | ((b << 3) | (b >> 2));
          break;
        }
        case 24:
          pixel = byte_at(color_start + sx * 3) | (byte_at(color_start + sx * 3 + 1) << 8) |
                  (byte_at(color_start + sx * 3 + 2) << 16);
          break;
        default:
          pixel = byte_at(color_start + sx * 4) | (byte_at(color_start + sx * 4 + 1) << 8) |
                  (byte_at(color_start + sx * 4 + 2) << 16) | (byte_at(color_start + sx * 4 + 3) << 24);
          break;
      }
      out.SetColor(x, y, pixel);
      if ((byte_at(mask_start + sx / 8) >> (7 - sx % 8)) & 1) out.SetMask(x, y);
    }
  }
}

// Makes the icon from one directory entry's image data, at the entry's own size. A PNG entry may
// run on past the size its directory entry gives (some writers count it short): it is read up to
// the end of the file's bytes (`available`).
HICON CreateIconFromEntry(const uint8_t* data, int64_t size, int64_t available, int width, int height) {
  if (width <= 0 || height <= 0) InvalidIcon();
  IconBits bits(width, height);
  if (TPNGReader::IsPNG(data, size))
    PngEntryBits(data, available, bits);
  else
    BitmapEntryBits(data, size, bits);
  SetLastError(0);
  HICON icon = CreateIcon(nullptr, width, height, 1, 32, bits.mask.data(), bits.color.data());
  if (icon == nullptr) {
    if (GetLastError() != 0) throw EOutOfResources(SysErrorMessage(GetLastError()));
    throw EOutOfResources(SOutOfResources);
  }
  return icon;
}

}  // namespace

TIconImage::~TIconImage() {
  if (Handle != nullptr) DestroyIcon(Handle);
}

TIcon::TIcon() {
  image_ = new TIconImage();
  image_->AddReference();
  transparent_ = true;
}

TIcon::~TIcon() { image_->DropReference(); }

void TIcon::ReplaceImage(TIconImage* NewImage) {
  NewImage->AddReference();
  TIconImage* old = image_;
  image_ = NewImage;
  old->DropReference();
}

void TIcon::AssignFrom(TPersistent* Source) {
  if (Source == nullptr) {
    ReplaceImage(new TIconImage());
  } else if (auto* icon = dynamic_cast<TIcon*>(Source)) {
    if (icon == this) return;
    ReplaceImage(icon->image_);
  } else {
    TGraphic::AssignFrom(Source);
    return;
  }
  SignalChange(this);
}

bool TIcon::IsEmpty() { return image_->Handle == nullptr && !image_->MemoryImage; }

bool TIcon::Decoded() const { return image_->Handle != nullptr; }

// Before decoding: the size of the entry that decoding will choose, read from the directory, so
// that a control sizing itself to the icon is as large as the icon it will draw; the system icon
// size when there is no such entry.
TPoint TIcon::UndecodedSize() {
  TPoint size{GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON)};
  if (!image_->MemoryImage) return size;
  try {
    const TIconFile file(image_->MemoryImage->Memory(), image_->MemoryImage->Size());
    if (file.Type() != 1) return size;
    const TPoint target = TargetSize();
    const TIconDirEntry& entry =
        file.Entries()[static_cast<size_t>(file.ChooseEntry(target.X, target.Y, DisplayColors()))];
    return TPoint{entry.Width, entry.Height};
  } catch (const EInvalidGraphic&) {
    return size;
  }
}

TPoint TIcon::TargetSize() const {
  if (requested_width_ != 0 || requested_height_ != 0) return TPoint{requested_width_, requested_height_};
  return TPoint{GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON)};
}

int TIcon::ImageWidth() { return image_->Width != 0 ? image_->Width : UndecodedSize().X; }

int TIcon::ImageHeight() { return image_->Height != 0 ? image_->Height : UndecodedSize().Y; }

void TIcon::SetImageWidth(int Value) {
  if (image_->Handle != nullptr) throw EInvalidGraphicOperation(SChangeIconSize);
  requested_width_ = Value;
}

void TIcon::SetImageHeight(int Value) {
  if (image_->Handle != nullptr) throw EInvalidGraphicOperation(SChangeIconSize);
  requested_height_ = Value;
}

void TIcon::ReadFromStream(TStream& Stream) {
  auto bytes = std::make_unique<TMemoryStream>();
  const int64_t count = Stream.Size() - Stream.Position();
  if (count > 0) bytes->CopyFrom(Stream, count);
  bytes->SetPosition(0);
  uint8_t header[6];
  bytes->ReadBuffer(header, sizeof(header));
  // Checks the type, the image count and that the directory and image data lie in the bytes.
  TIconFile file(bytes->Memory(), bytes->Size());
  auto* image = new TIconImage();
  image->MemoryImage = std::move(bytes);
  ReplaceImage(image);
  SignalChange(this);
}

void TIcon::WriteToStream(TStream& Stream) {
  if (image_->MemoryImage) Stream.WriteBuffer(image_->MemoryImage->Memory(), image_->MemoryImage->Size());
}

HICON TIcon::IconHandle() {
  HandleNeeded();
  return image_->Handle;
}

void TIcon::HandleNeeded() {
  TIconImage* image = image_;
  if (image->Handle != nullptr || !image->MemoryImage) return;
  const uint8_t* bytes = image->MemoryImage->Memory();
  const int64_t size = image->MemoryImage->Size();
  TIconFile file(bytes, size);
  if (file.Type() == 0) {
    image->Handle = LoadIconA(nullptr, IDI_APPLICATION);
    return;
  }
  const TPoint target = TargetSize();
  const TIconDirEntry& entry =
      file.Entries()[static_cast<size_t>(file.ChooseEntry(target.X, target.Y, DisplayColors()))];
  image->Handle = CreateIconFromEntry(bytes + entry.ImageOffset, entry.BytesInRes, size - entry.ImageOffset,
                                      entry.Width, entry.Height);
  image->Width = entry.Width;
  image->Height = entry.Height;
}

void TIcon::DrawInto(TCanvas& Canvas, const TRect& Rect) {
  HandleNeeded();
  if (image_->Handle == nullptr) return;
  DrawIconEx(Canvas.Handle(), Rect.Left, Rect.Top, image_->Handle, 0, 0, 0, nullptr, DI_NORMAL);
}

}  // namespace lumivane
