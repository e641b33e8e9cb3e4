#include "picture/webp_image.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
#include <cstring>

#include "framework/exception.h"
#include "framework/stream.h"
#include "picture/gdi_helpers.h"
#include "picture/picture.h"
#include "platform/gdi/gdi.h"

namespace lumivane {

TColor WebPBackgroundColor = clBtnFace;

namespace {

bool RegisteredFormat = false;

[[noreturn]] void InvalidWebP() { throw EInvalidGraphic(SInvalidWebP); }

// What a WebP file may cost (the rule of every compressed picture, AffordablePicture). Nothing is
// allocated for pixels before the header has passed, and every pixel of the bitmap is written
// once.
void RequireAffordableSize(int width, int height, size_t fileSize) {
  if (width <= 0 || height <= 0 || !AffordablePicture(width, height, static_cast<int64_t>(fileSize)))
    InvalidWebP();
}

// A top-down 32-bit DIB section whose pixels are left as the allocator gives them.
HBITMAP CreateTarget(int width, int height, uint8_t** bits, int* stride) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* memory = nullptr;
  HBITMAP handle = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &memory, nullptr, 0);
  if (handle == nullptr || memory == nullptr) {
    if (handle != nullptr) DeleteObject(handle);
    throw EOutOfResources(SOutOfResources);
  }
  *bits = static_cast<uint8_t*>(memory);
  *stride = width * 4;
  return handle;
}

// Owns a DIB section until a bitmap takes it.
struct TargetGuard {
  HBITMAP handle;
  ~TargetGuard() {
    if (handle != nullptr) DeleteObject(handle);
  }
};

// Pixels premultiplied by their alpha (blue, green, red, alpha) become opaque pixels over the
// background colour.
void BlendRows(uint8_t* row, int stride, int width, int rows, uint32_t background) {
  const uint32_t red = background & 0xFF, green = (background >> 8) & 0xFF, blue = (background >> 16) & 0xFF;
  for (int y = 0; y < rows; ++y, row += stride) {
    uint8_t* p = row;
    for (int x = 0; x < width; ++x, p += 4) {
      const uint32_t rest = 255u - p[3];
      if (rest != 0) {
        p[0] = static_cast<uint8_t>(p[0] + (rest * blue + 127) / 255);
        p[1] = static_cast<uint8_t>(p[1] + (rest * green + 127) / 255);
        p[2] = static_cast<uint8_t>(p[2] + (rest * red + 127) / 255);
        p[3] = 0xFF;
      }
    }
  }
}

// Rows the file did not reach show the background colour.
void FillRows(uint8_t* row, int stride, int width, int rows, uint32_t background) {
  const uint32_t pixel =
      0xFF000000u | (background & 0xFF) << 16 | (background & 0xFF00) | (background >> 16 & 0xFF);
  for (int y = 0; y < rows; ++y, row += stride) {
    auto* p = reinterpret_cast<uint32_t*>(row);
    std::fill(p, p + width, pixel);
  }
}

// Decodes a still file into the target; returns the number of rows the data held.
int DecodeStill(const std::vector<uint8_t>& bytes, const WebPBitstreamFeatures& features, uint8_t* bits,
                int stride, int height) {
  WebPDecoderConfig config;
  if (!WebPInitDecoderConfig(&config)) InvalidWebP();
  config.output.colorspace = features.has_alpha ? MODE_bgrA : MODE_BGRA;
  config.output.is_external_memory = 1;
  config.output.u.RGBA.rgba = bits;
  config.output.u.RGBA.stride = stride;
  config.output.u.RGBA.size = static_cast<size_t>(stride) * static_cast<size_t>(height);
  WebPIDecoder* decoder = WebPIDecode(nullptr, 0, &config);
  if (decoder == nullptr) InvalidWebP();
  const VP8StatusCode status = WebPIUpdate(decoder, bytes.data(), bytes.size());
  int rows = 0;
  if (status == VP8_STATUS_OK) {
    rows = height;
  } else if (status == VP8_STATUS_SUSPENDED) {
    // Cut short: keep what arrived.
    if (WebPIDecGetRGB(decoder, &rows, nullptr, nullptr, nullptr) == nullptr) rows = 0;
  } else {
    WebPIDelete(decoder);
    InvalidWebP();
  }
  WebPIDelete(decoder);
  WebPFreeDecBuffer(&config.output);
  return std::clamp(rows, 0, height);
}

// The first frame of an animation, composed on the canvas as the file asks.
int DecodeFirstFrame(const std::vector<uint8_t>& bytes, uint8_t* bits, int stride, int width, int height) {
  WebPAnimDecoderOptions options;
  if (!WebPAnimDecoderOptionsInit(&options)) InvalidWebP();
  options.color_mode = MODE_bgrA;
  options.use_threads = 0;
  WebPData data{bytes.data(), bytes.size()};
  WebPAnimDecoder* decoder = WebPAnimDecoderNew(&data, &options);
  if (decoder == nullptr) InvalidWebP();
  WebPAnimInfo info;
  uint8_t* frame = nullptr;
  int timestamp = 0;
  const bool ok = WebPAnimDecoderGetInfo(decoder, &info) && int(info.canvas_width) == width &&
                  int(info.canvas_height) == height && WebPAnimDecoderGetNext(decoder, &frame, &timestamp) &&
                  frame != nullptr;
  if (ok)
    for (int y = 0; y < height; ++y)
      std::memcpy(bits + static_cast<size_t>(stride) * y, frame + static_cast<size_t>(width) * 4 * y,
                  static_cast<size_t>(width) * 4);
  WebPAnimDecoderDelete(decoder);
  if (!ok) InvalidWebP();
  return height;
}

}  // namespace

void RegisterWebpFormat() {
  if (RegisteredFormat) return;
  RegisteredFormat = true;
  TPicture::RegisterGraphicFormat("webp", SWebPImageFile, GraphicClassOf<TWebPImage>());
}

void UnregisterWebpFormat() {
  TPicture::UnregisterGraphicFormats(GraphicClassOf<TWebPImage>());
  RegisteredFormat = false;
}

TWebPImage::TWebPImage() : bitmap_(std::make_unique<TBitmap>()), background_(WebPBackgroundColor) {}

TWebPImage::~TWebPImage() = default;

void TWebPImage::AssignFrom(TPersistent* Source) {
  if (Source == nullptr) {
    bytes_.clear();
    bitmap_ = std::make_unique<TBitmap>();
    SignalChange(this);
    return;
  }
  auto* other = dynamic_cast<TWebPImage*>(Source);
  if (other == nullptr) {
    TGraphic::AssignFrom(Source);
    return;
  }
  if (other == this) return;
  bytes_ = other->bytes_;
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->AssignFrom(other->bitmap_.get());
  bitmap_ = std::move(bitmap);
  background_ = other->background_;
  SignalChange(this);
}

void TWebPImage::AssignInto(TPersistent* Target) {
  if (auto* bitmap = dynamic_cast<TBitmap*>(Target)) {
    bitmap->AssignFrom(bitmap_.get());
    return;
  }
  TGraphic::AssignInto(Target);
}

void TWebPImage::DrawInto(TCanvas& Canvas, const TRect& Rect) {
  if (!bitmap_->IsEmpty()) bitmap_->DrawInto(Canvas, Rect);
}

bool TWebPImage::IsEmpty() { return bitmap_->IsEmpty(); }

int TWebPImage::ImageWidth() { return bitmap_->ImageWidth(); }

int TWebPImage::ImageHeight() { return bitmap_->ImageHeight(); }

void TWebPImage::SetImageWidth(int) { throw EInvalidGraphicOperation(SChangeWebPSize); }

void TWebPImage::SetImageHeight(int) { throw EInvalidGraphicOperation(SChangeWebPSize); }

void TWebPImage::ReadFromStream(TStream& Stream) {
  const int64_t size = Stream.Size() - Stream.Position();
  std::vector<uint8_t> bytes(static_cast<size_t>(std::max<int64_t>(size, 0)));
  if (!bytes.empty()) Stream.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  std::unique_ptr<TBitmap> bitmap = Decode(bytes);
  bytes_ = std::move(bytes);
  bitmap_ = std::move(bitmap);
  PaletteModified = false;
  SignalChange(this);
}

void TWebPImage::WriteToStream(TStream& Stream) {
  if (!bytes_.empty()) Stream.WriteBuffer(bytes_.data(), static_cast<int64_t>(bytes_.size()));
}

void TWebPImage::SetBackgroundColor(TColor Value) {
  if (Value == background_) return;
  background_ = Value;
  if (bytes_.empty()) return;
  bitmap_ = Decode(bytes_);
  SignalChange(this);
}

std::unique_ptr<TBitmap> TWebPImage::Decode(const std::vector<uint8_t>& Bytes) const {
  WebPBitstreamFeatures features;
  if (Bytes.empty() || WebPGetFeatures(Bytes.data(), Bytes.size(), &features) != VP8_STATUS_OK) InvalidWebP();
  RequireAffordableSize(features.width, features.height, Bytes.size());
  const int width = features.width;
  const int height = features.height;
  uint8_t* bits = nullptr;
  int stride = 0;
  TargetGuard target{CreateTarget(width, height, &bits, &stride)};
  const int rows = features.has_animation ? DecodeFirstFrame(Bytes, bits, stride, width, height)
                                          : DecodeStill(Bytes, features, bits, stride, height);
  const uint32_t background = ColorToRGB(background_);
  if (features.has_alpha || features.has_animation) BlendRows(bits, stride, width, rows, background);
  FillRows(bits + static_cast<size_t>(stride) * rows, stride, width, height - rows, background);
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetImageHandle(target.handle);
  target.handle = nullptr;
  return bitmap;
}

}  // namespace lumivane
