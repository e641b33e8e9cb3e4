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

// A device bitmap of the DIB rows, stretched into a new bitmap of the icon's size: monochrome for
// the mask, screen-compatible for the colours.
HBITMAP RowsToBitmap(HDC screen, BitmapInfo& info, const uint8_t* rows, int width, int height,
                     bool monochrome) {
  ObjectGuard rows_bitmap(
      CreateDIBitmap(screen, &info.Header(), CBM_INIT, rows, info.Info(), DIB_RGB_COLORS));
  if (rows_bitmap.object == nullptr) InvalidIcon();
  ObjectGuard sized(monochrome ? CreateBitmap(width, height, 1, 1, nullptr)
                               : CreateCompatibleBitmap(screen, width, height));
  if (sized.object == nullptr) throw EOutOfResources(SOutOfResources);
  MemoryDC source;
  MemoryDC target;
  HGDIOBJ old_source = SelectObject(source.dc, rows_bitmap.object);
  HGDIOBJ old_target = SelectObject(target.dc, sized.object);
  StretchBlt(target.dc, 0, 0, width, height, source.dc, 0, 0, info.Header().biWidth, info.Header().biHeight,
             SRCCOPY);
  SelectObject(source.dc, old_source);
  SelectObject(target.dc, old_target);
  return static_cast<HBITMAP>(sized.Release());
}

std::vector<uint8_t> BitsOf(HBITMAP bitmap) {
  const BITMAP bm = BitmapRecord(bitmap);
  std::vector<uint8_t> bits(static_cast<size_t>(bm.bmWidthBytes) * bm.bmHeight);
  GetBitmapBits(bitmap, static_cast<LONG>(bits.size()), bits.data());
  return bits;
}

// Makes the icon from one directory entry's image data (header, colour table, XOR rows, AND
// rows), at the entry's own size.
HICON CreateIconFromEntry(const uint8_t* data, int64_t size, int width, int height) {
  if (size < kInfoHeaderSize || width <= 0 || height <= 0) InvalidIcon();
  BITMAPINFOHEADER header{};
  std::memcpy(&header, data, sizeof(header));
  const int bpp = header.biBitCount;
  const bool depth_ok = bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
  header.biHeight /= 2;
  if (!depth_ok || header.biPlanes != 1 || header.biCompression != BI_RGB || header.biWidth <= 0 ||
      header.biHeight <= 0 || int64_t(header.biWidth) * header.biHeight > kMaxBitmapPixels)
    InvalidIcon();

  // Colour rows follow a 40-byte header and the full colour table, whatever the header says.
  const int entries = TableEntries(bpp);
  const int64_t color_offset = kInfoHeaderSize + 4 * entries;
  const int64_t color_bytes = RowBytes(header.biWidth, bpp) * header.biHeight;
  const int64_t mask_bytes = RowBytes(header.biWidth, 1) * header.biHeight;
  // Rows missing at the end of the data read as 0 (black, opaque) rather than past the data.
  std::vector<uint8_t> image(static_cast<size_t>(color_offset + color_bytes + mask_bytes), 0);
  std::memcpy(image.data(), data, static_cast<size_t>(std::min<int64_t>(size, image.size())));
  std::vector<RGBQUAD> colors(static_cast<size_t>(entries));
  if (entries > 0) std::memcpy(colors.data(), image.data() + kInfoHeaderSize, 4 * entries);

  ScreenDC screen;
  header.biSize = kInfoHeaderSize;
  header.biSizeImage = static_cast<DWORD>(color_bytes);
  header.biClrUsed = static_cast<DWORD>(entries);
  BitmapInfo info;
  info.Set(header, nullptr, colors.data(), entries);
  ObjectGuard color(RowsToBitmap(screen.dc, info, image.data() + color_offset, width, height, false));

  header.biBitCount = 1;
  header.biSizeImage = static_cast<DWORD>(mask_bytes);
  header.biClrUsed = 2;
  header.biClrImportant = 2;
  const RGBQUAD black_white[2] = {{0, 0, 0, 0}, {255, 255, 255, 0}};
  info.Set(header, nullptr, black_white, 2);
  ObjectGuard mask(
      RowsToBitmap(screen.dc, info, image.data() + color_offset + color_bytes, width, height, true));

  const BITMAP color_record = BitmapRecord(static_cast<HBITMAP>(color.object));
  const std::vector<uint8_t> color_bits = BitsOf(static_cast<HBITMAP>(color.object));
  const std::vector<uint8_t> mask_bits = BitsOf(static_cast<HBITMAP>(mask.object));
  SetLastError(0);
  HICON icon = CreateIcon(nullptr, width, height, static_cast<BYTE>(color_record.bmPlanes),
                          static_cast<BYTE>(color_record.bmBitsPixel), mask_bits.data(), color_bits.data());
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

int TIcon::ImageWidth() { return image_->Width != 0 ? image_->Width : GetSystemMetrics(SM_CXICON); }

int TIcon::ImageHeight() { return image_->Height != 0 ? image_->Height : GetSystemMetrics(SM_CYICON); }

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
  int width = requested_width_;
  int height = requested_height_;
  if (width == 0 && height == 0) {
    width = GetSystemMetrics(SM_CXICON);
    height = GetSystemMetrics(SM_CYICON);
  }
  const TIconDirEntry& entry =
      file.Entries()[static_cast<size_t>(file.ChooseEntry(width, height, DisplayColors()))];
  // Entries of 256 pixels (a size byte of 0) are not supported.
  if (entry.Width == 0 || entry.Height == 0) InvalidIcon();
  image->Handle = CreateIconFromEntry(bytes + entry.ImageOffset, entry.BytesInRes, entry.Width, entry.Height);
  image->Width = entry.Width;
  image->Height = entry.Height;
}

void TIcon::DrawInto(TCanvas& Canvas, const TRect& Rect) {
  HandleNeeded();
  if (image_->Handle == nullptr) return;
  DrawIconEx(Canvas.Handle(), Rect.Left, Rect.Top, image_->Handle, 0, 0, 0, nullptr, DI_NORMAL);
}

}  // namespace lumivane
