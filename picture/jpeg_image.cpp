#include "picture/jpeg_image.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <jerror.h>

#include "framework/exception.h"
#include "framework/memory_stream.h"
#include "framework/sys_utils.h"
#include "picture/exif_orientation.h"
#include "picture/gdi_helpers.h"
#include "picture/jpeg_decoder_context.h"
#include "picture/jpeg_error_manager.h"
#include "picture/jpeg_stream_source.h"
#include "picture/picture.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/page_populator.h"
#include "platform/system_info.h"

namespace lumivane {

TJPEGDefaults DecodeDefaults;

namespace {

// Colours libjpeg quantizes into (not 256: room is left for the system's static colours).
constexpr int QuantizedColours = 236;
constexpr int ProgressInterval = 500;  // ms between two running-stage reports
constexpr int MaxPaletteEntries = 256;
// Working memory libjpeg may take for one decode (a progressive 24-megapixel file needs ~75 MB).
constexpr long MaxDecoderMemory = 1L << 30;

// What a JPEG file may cost. Time and memory grow with what the file's bytes can hold, not with
// what its header claims, and nothing large is allocated before the header has passed:
// - the header's size must be affordable for the file's size (AffordablePicture: at most 2^28
//   pixels, and beyond 2^24 pixels one byte of file for every 256 pixels declared); real
//   encoders need far more (a blank picture written with optimised tables still costs two bits
//   per 8 x 8 block), so only headers that lie are refused, and a photo cut short keeps what it
//   holds unless almost nothing of it is left;
// - a progressive file may have at most MaxScans scans (real encoders write a dozen or so), as
//   every scan walks the whole picture;
// - the bitmap is allocated unfilled and every pixel is written once, by the decoder.
constexpr int MaxScans = 100;

// Rows of the strip: decoded at a time when they cannot go straight into the bitmap.
constexpr int StripRowCount = 16;

bool RegisteredFormats = false;

// Bits per pixel times colour planes of the screen.
int ScreenDepth() {
  HDC dc = GetDC(nullptr);
  if (dc == nullptr) return 32;
  int depth = GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES);
  ReleaseDC(nullptr, dc);
  return depth;
}

void ProgressCallback(j_common_ptr cinfo) {
  if (cinfo->is_decompressor && reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > MaxScans)
    throw EJPEG(Format(SJPEGError, static_cast<int>(JERR_BAD_SCAN_SCRIPT)));
  auto* progress = reinterpret_cast<JpegProgressManager*>(cinfo->progress);
  if (progress == nullptr || progress->Owner == nullptr) return;
  progress->Owner->ProgressMonitor(*progress);
}

// Destroys a decompression record however the scope is left.
struct DecompressRecordGuard {
  jpeg_decompress_struct* Info;
  ~DecompressRecordGuard() { jpeg_destroy_decompress(Info); }
};

HPALETTE MakePalette(const PALETTEENTRY* entries, int count) {
  std::vector<uint8_t> buffer(sizeof(LOGPALETTE) + count * sizeof(PALETTEENTRY));
  auto* palette = reinterpret_cast<LOGPALETTE*>(buffer.data());
  palette->palVersion = 0x300;
  palette->palNumEntries = static_cast<WORD>(count);
  std::memcpy(palette->palPalEntry, entries, count * sizeof(PALETTEENTRY));
  return CreatePalette(palette);
}

// A four-component row as libjpeg delivers it becomes blue, green, red, in place (each pixel is
// read before its three bytes are written, which never reach a later pixel). Files with an Adobe
// marker store the components inverted (the usual case).
void ConvertCmykRow(JSAMPLE* row, JDIMENSION width, bool inverted) {
  const JSAMPLE* cmyk = row;
  JSAMPLE* bgr = row;
  for (JDIMENSION x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
    int c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
    if (!inverted) {
      c = 255 - c;
      m = 255 - m;
      y = 255 - y;
      k = 255 - k;
    }
    bgr[0] = static_cast<JSAMPLE>(y * k / 255);
    bgr[1] = static_cast<JSAMPLE>(m * k / 255);
    bgr[2] = static_cast<JSAMPLE>(c * k / 255);
  }
}

// Row Row (0 = top) of the upright bitmap.
inline JSAMPLE* BitmapRow(const DecoderContext& context, int row) {
  return context.FirstRow + static_cast<ptrdiff_t>(row) * context.RowDelta;
}

// The rectangle of the upright picture that stored rows Top .. Bottom - 1 of a Width x Height
// picture cover after turning by Orientation.
TRect UprightRows(int top, int bottom, int width, int height, int orientation) {
  switch (orientation) {
    case eoRotate180:
    case eoMirrorVertical:
      return Rect(0, height - bottom, width, height - top);
    case eoTranspose:
    case eoRotate270:
      return Rect(top, 0, bottom, width);
    case eoRotate90:
    case eoTransverse:
      return Rect(height - bottom, 0, height - top, width);
    default:
      return Rect(0, top, width, bottom);
  }
}

// Reverses the order of the pixels of a row in place.
void MirrorRow(JSAMPLE* row, int width, int pixelBytes) {
  JSAMPLE* left = row;
  JSAMPLE* right = row + static_cast<ptrdiff_t>(width - 1) * pixelBytes;
  for (; left < right; left += pixelBytes, right -= pixelBytes)
    for (int i = 0; i < pixelBytes; ++i) std::swap(left[i], right[i]);
}

// The colours of the decoder's colour map (component 0 blue, 1 green, 2 red; one grey row for
// grayscale output).
std::vector<PALETTEENTRY> DecoderColours(const jpeg_decompress_struct& info) {
  const int count = std::min(info.actual_number_of_colors, MaxPaletteEntries);
  if (count <= 0 || info.colormap == nullptr) return {};
  std::vector<PALETTEENTRY> entries(static_cast<size_t>(count));
  const bool gray = info.out_color_components == 1;
  for (int i = 0; i < count; ++i) {
    if (gray) {
      JSAMPLE v = info.colormap[0][i];
      entries[i] = PALETTEENTRY{v, v, v, 0};
    } else {
      entries[i] = PALETTEENTRY{info.colormap[2][i], info.colormap[1][i], info.colormap[0][i], 0};
    }
  }
  return entries;
}

// A bottom-up DIB section of the given size whose pixels are left as the allocator gives them
// (fresh memory is zero and untouched): the decoder writes every pixel once.
HBITMAP CreateDecodeTarget(int width, int height, bool indexed, HPALETTE colours) {
  if (static_cast<int64_t>(width) * height > kMaxBitmapPixels) throw EOutOfResources(SOutOfResources);
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colours[MaxPaletteEntries];
  } info{};
  info.header.biSize = sizeof(BITMAPINFOHEADER);
  info.header.biWidth = width;
  info.header.biHeight = height;
  info.header.biPlanes = 1;
  info.header.biBitCount = indexed ? 8 : 24;
  info.header.biCompression = BI_RGB;
  if (indexed && colours != nullptr) {
    PALETTEENTRY entries[MaxPaletteEntries];
    UINT count = GetPaletteEntries(colours, 0, MaxPaletteEntries, entries);
    for (UINT i = 0; i < count; ++i)
      info.colours[i] = RGBQUAD{entries[i].peBlue, entries[i].peGreen, entries[i].peRed, 0};
    info.header.biClrUsed = count;
  }
  void* bits = nullptr;
  HBITMAP handle = CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                    &bits, nullptr, 0);
  if (handle == nullptr || bits == nullptr) {
    if (handle != nullptr) DeleteObject(handle);
    throw EOutOfResources(SOutOfResources);
  }
  return handle;
}

}  // namespace

TTickSource JpegTickSource = GetTickCount;

void DetectDisplayDepth() { DecodeDefaults.OutputDepth = ScreenDepth() <= 8 ? Depth8 : Depth24; }

void RegisterJpegFormat() {
  if (RegisteredFormats) return;
  RegisteredFormats = true;
  DetectDisplayDepth();
  TPicture::RegisterGraphicFormat("jpeg", SJPEGImageFile, GraphicClassOf<TJPEGImage>());
  TPicture::RegisterGraphicFormat("jpg", SJPEGImageFile, GraphicClassOf<TJPEGImage>());
}

void UnregisterJpegFormat() {
  TPicture::UnregisterGraphicFormats(GraphicClassOf<TJPEGImage>());
  RegisteredFormats = false;
}

// ---- construction and copies -------------------------------------------------------------------

TJPEGImage::TJPEGImage() {
  ReplaceData();
  const TJPEGDefaults& d = DecodeDefaults;
  SaveQuality = d.SaveQuality;
  GrayOutput = d.GrayOutput;
  DecodeSpeed = d.DecodeSpeed;
  OutputDepth = d.OutputDepth;
  ShowProgressive = d.ShowProgressive;
  SaveProgressive = d.SaveProgressive;
  ScaleShift = d.ScaleShift;
  BlockSmoothing = d.BlockSmoothing;
}

TJPEGImage::~TJPEGImage() {
  if (QuantizePalette != nullptr) DeleteObject(QuantizePalette);
  DecodedBitmap.reset();
  SharedData->DropReference();
}

void TJPEGImage::ReplaceData() {
  auto* data = new TJPEGData();
  data->AddReference();
  if (SharedData != nullptr) SharedData->DropReference();
  SharedData = data;
}

void TJPEGImage::ReplaceBitmap() { DecodedBitmap = std::make_unique<TBitmap>(); }

void TJPEGImage::AssignFrom(TPersistent* Source) {
  if (auto* other = dynamic_cast<TJPEGImage*>(Source)) {
    if (other == this) return;  // copying an image into itself changes nothing
    TJPEGData* data = other->SharedData;
    data->AddReference();  // before dropping our own: the two may be the same
    SharedData->DropReference();
    SharedData = data;
    if (other->DecodedBitmap != nullptr) {
      TBitmap* decoded = other->DecodedBitmap.get();
      ReplaceBitmap();
      DecodedBitmap->AssignFrom(decoded);
    } else {
      // The data changed, so pixels decoded from the old data no longer belong to this image.
      DecodedBitmap.reset();
    }
    return;
  }
  if (auto* bitmap = dynamic_cast<TBitmap*>(Source)) {
    ReplaceData();
    ReplaceBitmap();
    DecodedBitmap->AssignFrom(bitmap);
    return;
  }
  TGraphic::AssignFrom(Source);
}

void TJPEGImage::AssignInto(TPersistent* Target) {
  if (auto* bitmap = dynamic_cast<TBitmap*>(Target)) {
    bitmap->AssignFrom(DecodeBitmap());
    return;
  }
  TGraphic::AssignInto(Target);
}

// ---- graphic operations ------------------------------------------------------------------------

void TJPEGImage::SignalChange(TObject* Sender) { TGraphic::SignalChange(Sender); }

void TJPEGImage::DrawInto(TCanvas& Canvas, const TRect& Rect) { DecodeBitmap()->DrawInto(Canvas, Rect); }

bool TJPEGImage::SameImageAs(TGraphic* Other) {
  auto* other = dynamic_cast<TJPEGImage*>(Other);
  if (other == nullptr) return false;
  if (SharedData->CompressedStream != nullptr && other->SharedData->CompressedStream != nullptr)
    return TGraphic::SameImageAs(Other);
  return SharedData == other->SharedData;
}

bool TJPEGImage::IsEmpty() {
  if (SharedData->CompressedStream != nullptr) return false;
  return DecodedBitmap == nullptr || DecodedBitmap->IsEmpty();
}

// Before decoding, the size is the header's (or the reduced scale's), turned upright.
int TJPEGImage::ImageWidth() {
  if (DecodedBitmap != nullptr) return DecodedBitmap->ImageWidth();
  const bool turned = SwapsAxes(SharedData->Orientation);
  if (ScaleShift == 0) return turned ? SharedData->HeaderHeight : SharedData->HeaderWidth;
  OutputSize();
  return turned ? ScaledOutputHeight : ScaledOutputWidth;
}

int TJPEGImage::ImageHeight() {
  if (DecodedBitmap != nullptr) return DecodedBitmap->ImageHeight();
  const bool turned = SwapsAxes(SharedData->Orientation);
  if (ScaleShift == 0) return turned ? SharedData->HeaderWidth : SharedData->HeaderHeight;
  OutputSize();
  return turned ? ScaledOutputWidth : ScaledOutputHeight;
}

void TJPEGImage::SetImageWidth(int) { throw EInvalidGraphicOperation(SChangeJPGSize); }
void TJPEGImage::SetImageHeight(int) { throw EInvalidGraphicOperation(SChangeJPGSize); }

HPALETTE TJPEGImage::PaletteHandle() {
  if (DecodedBitmap != nullptr) return DecodedBitmap->PaletteHandle();
  if (QuantizePalette != nullptr) return QuantizePalette;
  if (OutputDepth == Depth24 && ScreenDepth() <= 8) {
    HDC dc = GetDC(nullptr);
    QuantizePalette = CreateHalftonePalette(dc);
    if (dc != nullptr) ReleaseDC(nullptr, dc);
    return QuantizePalette;
  }
  return nullptr;
}

void TJPEGImage::SetPaletteHandle(HPALETTE Value) {
  if (Value == QuantizePalette) return;
  bool bitmapFreed = false;
  if (DecodedBitmap != nullptr && DecodedBitmap->PaletteHandle() != Value) {
    DecodedBitmap.reset();  // the next draw decodes into the new palette
    bitmapFreed = true;
  }
  if (QuantizePalette != nullptr) DeleteObject(QuantizePalette);
  QuantizePalette = Value;
  if (bitmapFreed) {
    PaletteModified = true;
    SignalChange(this);
  }
}

// ---- streams -----------------------------------------------------------------------------------

void TJPEGImage::ReadFromStream(TStream& Stream) {
  ReadJpegStream(Stream.Size() - Stream.Position(), Stream);
}

void TJPEGImage::WriteToStream(TStream& Stream) {
  if (SharedData->CompressedStream == nullptr) CompressBitmap();
  TMemoryStream* data = SharedData->CompressedStream.get();
  if (data != nullptr && data->Size() > 0) Stream.WriteBuffer(data->Memory(), data->Size());
}

void TJPEGImage::ReadStoredData(TStream& Stream) {
  uint32_t count = Stream.ReadDWord();
  ReadJpegStream(count, Stream);
}

void TJPEGImage::WriteStoredData(TStream& Stream) {
  TMemoryStream* data = SharedData->CompressedStream.get();
  uint32_t count = data != nullptr ? static_cast<uint32_t>(data->Size()) : 0;
  Stream.WriteDWord(count);
  if (count > 0) Stream.WriteBuffer(data->Memory(), count);
}

void TJPEGImage::ReadFromClipboard(uint16_t Format, HANDLE Data, HPALETTE Palette) {
  TBitmap bitmap;
  bitmap.ReadFromClipboard(Format, Data, Palette);
  AssignFrom(&bitmap);
}

void TJPEGImage::WriteToClipboard(uint16_t& Format, HANDLE& Data, HPALETTE& Palette) {
  TBitmap bitmap;
  bitmap.AssignFrom(DecodeBitmap());
  bitmap.WriteToClipboard(Format, Data, Palette);
}

void TJPEGImage::ReadJpegStream(int64_t Size, TStream& Stream) {
  ReplaceData();
  DecodedBitmap.reset();
  // A count beyond the stream's end cannot be satisfied; refuse it before allocating.
  if (Size < 0 || Size > Stream.Size() - Stream.Position()) throw EReadError(SReadError);
  auto bytes = std::make_unique<TMemoryStream>();
  bytes->SetSize(Size);
  if (Size > 0) Stream.ReadBuffer(bytes->Memory(), Size);
  TMemoryStream& compressed = *bytes;
  SharedData->CompressedStream = std::move(bytes);

  if (Size > 0) {
    jpeg_error_mgr errorManager;
    jpeg_decompress_struct info;
    std::memset(&info, 0, sizeof info);
    info.err = SetUpJpegErrorManager(errorManager);
    jpeg_create_decompress(&info);
    DecompressRecordGuard guard{&info};
    compressed.SetPosition(0);
    AttachJpegStreamSource(&info, compressed);
    jpeg_save_markers(&info, JPEG_APP0 + 1, 0xFFFF);  // EXIF blocks, for the orientation
    jpeg_read_header(&info, TRUE);
    if (!AffordablePicture(info.image_width, info.image_height, Size))
      throw EJPEG(Format(SJPEGError, static_cast<int>(JERR_IMAGE_TOO_BIG)));
    SharedData->HeaderWidth = static_cast<int>(info.image_width);
    SharedData->HeaderHeight = static_cast<int>(info.image_height);
    SharedData->IsGray = info.jpeg_color_space == JCS_GRAYSCALE;
    SharedData->Orientation = OrientationOf(info);
    SaveProgressive = jpeg_has_multiple_scans(&info);
  }
  // New data: any size computed at a reduced scale is stale.
  RecalcNeeded = true;
  PaletteModified = true;
  SignalChange(this);
}

// The orientation from the first EXIF block that has one; 1 when none does.
int TJPEGImage::OrientationOf(const jpeg_decompress_struct& Info) {
  for (jpeg_saved_marker_ptr marker = Info.marker_list; marker != nullptr; marker = marker->next) {
    if (marker->marker != JPEG_APP0 + 1) continue;
    int orientation = ReadExifOrientation(marker->data, marker->data_length);
    if (orientation != 0) return orientation;
  }
  return eoNormal;
}

// ---- the decoder -------------------------------------------------------------------------------

void TJPEGImage::OpenDecoder(DecoderContext& Context, bool ReportsProgress) {
  std::memset(&Context, 0, sizeof Context);
  jpeg_decompress_struct& info = Context.Info;
  info.err = SetUpJpegErrorManager(Context.ErrorManager);
  // The installed library checks its own version and record size.
  jpeg_create_decompress(&info);
  // Files declaring absurd sizes fail cleanly (JERR_NO_BACKING_STORE) instead of exhausting memory.
  info.mem->max_memory_to_use = MaxDecoderMemory;
  // The progress manager also counts the scans of a progressive file; only a reporting decode
  // names an owner to report to.
  Context.Progress.Base.progress_monitor = ProgressCallback;
  Context.Progress.Owner = ReportsProgress ? this : nullptr;
  Context.Progress.Context = &Context;
  info.progress = &Context.Progress.Base;
  Context.Orientation = SharedData->Orientation;
  try {
    TMemoryStream* compressed = SharedData->CompressedStream.get();
    if (compressed == nullptr) throw EJPEG(Format(SJPEGError, static_cast<int>(JERR_INPUT_EMPTY)));
    compressed->SetPosition(0);
    AttachJpegStreamSource(&info, *compressed);
    jpeg_read_header(&info, TRUE);
    ConfigureDecoder(Context);
  } catch (...) {
    CloseDecoder(Context);
    throw;
  }
}

void TJPEGImage::ConfigureDecoder(DecoderContext& Context) {
  jpeg_decompress_struct& info = Context.Info;
  info.scale_num = 1;
  info.scale_denom = 1u << (ScaleShift & 3);
  info.do_block_smoothing = BlockSmoothing;
  if (GrayOutput) info.out_color_space = JCS_GRAYSCALE;
  // Three-component rows go straight into the bitmap, whose pixels are blue, green, red.
  if (info.out_color_space == JCS_RGB) info.out_color_space = JCS_EXT_BGR;
  // libjpeg cannot turn four components into three; such rows are converted here.
  Context.ConvertCmyk = info.out_color_space == JCS_CMYK;
  if (!Context.ConvertCmyk && (OutputDepth == Depth8 || info.out_color_space == JCS_GRAYSCALE)) {
    info.quantize_colors = TRUE;
    info.desired_number_of_colors = QuantizedColours;
  }
  if (DecodeSpeed == SpeedFirst) {
    info.dct_method = JDCT_IFAST;
    info.two_pass_quantize = FALSE;
    info.dither_mode = JDITHER_ORDERED;
  } else {
    info.dct_method = JDCT_FLOAT;
  }
  Context.FinalDctMethod = info.dct_method;
  Context.FinalTwoPassQuantize = info.two_pass_quantize;
  Context.FinalDitherMode = info.dither_mode;
  if (ShowProgressive && jpeg_has_multiple_scans(&info)) {
    // Every pass but the last is drawn quickly; the last one uses the final choices.
    info.enable_2pass_quant = info.two_pass_quantize;
    info.dct_method = JDCT_IFAST;
    info.two_pass_quantize = FALSE;
    info.dither_mode = JDITHER_ORDERED;
    info.buffered_image = TRUE;
  }
}

void TJPEGImage::CloseDecoder(DecoderContext& Context) {
  if (Context.Info.mem != nullptr) jpeg_destroy_decompress(&Context.Info);
}

TBitmap* TJPEGImage::DecodeBitmap() {
  if (DecodedBitmap != nullptr) return DecodedBitmap.get();
  ReplaceBitmap();
  if (SharedData->CompressedStream == nullptr) return DecodedBitmap.get();  // nothing to decode

  DecoderContext context;
  OpenDecoder(context, true);
  try {
    DecodeInto(context);
  } catch (const EAbort&) {
    // A cancelled decode keeps the rows done so far.
  } catch (...) {
    CloseDecoder(context);
    throw;
  }
  CloseDecoder(context);
  return DecodedBitmap.get();
}

void TJPEGImage::DecodeInto(DecoderContext& Context) {
  DecodedBitmap->DropImage();  // the pixels arrive with the decoded size
  ReportProgress(this, psStarting, 0, false, TRect{}, "");

  auto reportEnding = [this](uint8_t percent) {
    ReportProgress(this, psEnding, percent, PaletteModified, TRect{}, "");
    if (PaletteModified) SignalChange(this);
  };
  try {
    bool useDecoderPalette = true;
    DecodePasses(Context, useDecoderPalette);
  } catch (...) {
    reportEnding(0);
    throw;
  }
  reportEnding(100);
}

void TJPEGImage::DecodePasses(DecoderContext& Context, bool& UseDecoderPalette) {
  jpeg_decompress_struct& info = Context.Info;
  if (QuantizePalette != nullptr) {
    if (OutputDepth == Depth8 && info.quantize_colors) {
      LoadColorMap(Context, QuantizePalette);
      UseDecoderPalette = false;
    } else {
      DeleteObject(QuantizePalette);
      QuantizePalette = nullptr;
    }
  }

  jpeg_start_decompress(&info);
  RequireRowLayout(Context);
  if (Context.ConvertCmyk || SwapsAxes(Context.Orientation)) {
    Context.Strip = static_cast<JSAMPLE*>(
        (*info.mem->alloc_large)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                 size_t(info.output_width) * size_t(info.output_components) * StripRowCount));
  }
  // The bitmap is made once, with its final colours when they are known already.
  HPALETTE colours = nullptr;
  if (!UseDecoderPalette) {
    colours = CopyPalette(QuantizePalette);
  } else if (info.colormap != nullptr && !info.buffered_image) {
    colours = BuildDecoderPalette(Context);
    PaletteModified = true;
  }
  PrepareBitmap(Context, colours);
  PagePopulator populator = PopulateAhead(Context);

  if (info.buffered_image) {
    // One quick pass per scan as the data arrives, then the final pass with the final choices.
    while (jpeg_consume_input(&info) != JPEG_REACHED_EOI) {
      jpeg_start_output(&info, info.input_scan_number);
      if (info.progress != nullptr && info.progress->completed_passes == 0 && info.colormap != nullptr &&
          DecodedBitmap->PixelFormat() == pf8bit && UseDecoderPalette)
        UseBuiltPalette(Context);
      ReadRows(Context);
      jpeg_finish_output(&info);
    }
    info.dct_method = Context.FinalDctMethod;
    info.dither_mode = Context.FinalDitherMode;
    if (Context.FinalTwoPassQuantize) {
      info.two_pass_quantize = TRUE;
      info.colormap = nullptr;
    }
    jpeg_start_output(&info, info.input_scan_number);
  }
  if (info.buffered_image && Context.FinalTwoPassQuantize && info.colormap != nullptr && UseDecoderPalette)
    UseBuiltPalette(Context);
  ReadRows(Context);
  if (info.buffered_image) jpeg_finish_output(&info);
  jpeg_finish_decompress(&info);
}

// The rows go straight into the bitmap, so each output pixel must be exactly one palette index or
// one blue-green-red triple (four components are converted). Files with other component counts
// (two, five or more, unknown colour spaces) are refused before a row is written.
void TJPEGImage::RequireRowLayout(DecoderContext& Context) {
  const jpeg_decompress_struct& info = Context.Info;
  int expected = info.quantize_colors ? 1 : Context.ConvertCmyk ? 4 : 3;
  if (info.output_components != expected)
    throw EJPEG(Format(SJPEGError, static_cast<int>(JERR_CONVERSION_NOTIMPL)));
}

// Makes the bitmap the decoded rows go into (upright: orientations 5 to 8 exchange the axes) and
// finds its rows. Colours, when given, become the bitmap's palette (which then owns them).
void TJPEGImage::PrepareBitmap(DecoderContext& Context, HPALETTE Colours) {
  TBitmap& bitmap = *DecodedBitmap;
  const jpeg_decompress_struct& info = Context.Info;
  const bool turned = SwapsAxes(Context.Orientation);
  const int width = static_cast<int>(turned ? info.output_height : info.output_width);
  const int height = static_cast<int>(turned ? info.output_width : info.output_height);
  const bool indexed = info.quantize_colors;
  if (bitmap.ImageWidth() != width || bitmap.ImageHeight() != height ||
      bitmap.PixelFormat() != (indexed ? pf8bit : pf24bit)) {
    try {
      bitmap.SetImageHandle(CreateDecodeTarget(width, height, indexed, Colours));
    } catch (...) {
      if (Colours != nullptr) DeleteObject(Colours);
      throw;
    }
  }
  // A palette of the decoder's own size (it may have fewer than 256 colours); giving it rebuilds
  // the still untouched image once.
  if (Colours != nullptr) bitmap.SetPaletteHandle(Colours);
  LocateRows(Context);
}

void TJPEGImage::LocateRows(DecoderContext& Context) {
  TBitmap& bitmap = *DecodedBitmap;
  auto* first = static_cast<JSAMPLE*>(bitmap.ScanLine(0));
  Context.FirstRow = first;
  Context.RowDelta = bitmap.ImageHeight() > 1 ? static_cast<JSAMPLE*>(bitmap.ScanLine(1)) - first : 0;
  Context.PixelBytes = Context.Info.quantize_colors ? 1 : 3;
}

// Maps the bitmap's fresh pages on another core ahead of the rows the decoder writes. Only for
// direct colour: a palette arriving later rebuilds an indexed bitmap elsewhere.
PagePopulator TJPEGImage::PopulateAhead(const DecoderContext& Context) {
  const int height = DecodedBitmap->ImageHeight();
  if (Context.Info.quantize_colors || height <= 0 || Context.RowDelta == 0) return {};
  const ptrdiff_t stride = Context.RowDelta < 0 ? -Context.RowDelta : Context.RowDelta;
  JSAMPLE* lowest = std::min(Context.FirstRow, BitmapRow(Context, height - 1));
  // Stored rows fill the bitmap from upright row 0 on, or from the last one when they are
  // turned upside down; turned columns reach every row at once.
  const int orientation = Context.Orientation;
  const bool fromLastRow = orientation == eoRotate180 || orientation == eoMirrorVertical;
  const bool descending = !SwapsAxes(orientation) && ((Context.RowDelta < 0) != fromLastRow);
  return PagePopulator(lowest, static_cast<size_t>(stride) * static_cast<size_t>(height),
                       descending ? PagePopulator::Order::Descending : PagePopulator::Order::Ascending);
}

// Reads the rest of the current pass. Rows go straight into the bitmap where the orientation
// keeps them rows (mirrored in place where it asks for that); otherwise they pass through the
// strip, which is then written out column by column.
void TJPEGImage::ReadRows(DecoderContext& Context) {
  jpeg_decompress_struct& info = Context.Info;
  const int height = static_cast<int>(info.output_height);
  const int width = static_cast<int>(info.output_width);
  const int orientation = Context.Orientation;
  const bool flipRows = orientation == eoRotate180 || orientation == eoMirrorVertical;
  const bool mirror = orientation == eoMirrorHorizontal || orientation == eoRotate180;
  while (info.output_scanline < info.output_height) {
    const int y = static_cast<int>(info.output_scanline);
    if (Context.Strip == nullptr) {
      JSAMPROW row = BitmapRow(Context, flipRows ? height - 1 - y : y);
      if (jpeg_read_scanlines(&info, &row, 1) == 0) break;  // only a suspending source returns none
      if (mirror) MirrorRow(row, width, Context.PixelBytes);
      continue;
    }
    const int wanted = std::min(StripRowCount, height - y);
    const size_t stripStride = size_t(width) * size_t(info.output_components);
    JSAMPROW rows[StripRowCount];
    for (int i = 0; i < wanted; ++i) rows[i] = Context.Strip + stripStride * i;
    int count = 0;
    while (count < wanted) {
      JDIMENSION got = jpeg_read_scanlines(&info, rows + count, static_cast<JDIMENSION>(wanted - count));
      if (got == 0) break;
      count += static_cast<int>(got);
    }
    if (count == 0) break;
    if (Context.ConvertCmyk)
      for (int i = 0; i < count; ++i) ConvertCmykRow(rows[i], info.output_width, info.saw_Adobe_marker);
    WriteStrip(Context, rows, y, count);
  }
}

// Writes stored rows Y .. Y + Count - 1 from the strip into the upright bitmap.
void TJPEGImage::WriteStrip(DecoderContext& Context, JSAMPROW* Rows, int Y, int Count) {
  const jpeg_decompress_struct& info = Context.Info;
  const int height = static_cast<int>(info.output_height);
  const int width = static_cast<int>(info.output_width);
  const int bytes = Context.PixelBytes;
  const int orientation = Context.Orientation;
  if (!SwapsAxes(orientation)) {
    const bool flipRows = orientation == eoRotate180 || orientation == eoMirrorVertical;
    const bool mirror = orientation == eoMirrorHorizontal || orientation == eoRotate180;
    for (int i = 0; i < Count; ++i) {
      JSAMPROW row = BitmapRow(Context, flipRows ? height - 1 - (Y + i) : Y + i);
      std::memcpy(row, Rows[i], size_t(width) * bytes);
      if (mirror) MirrorRow(row, width, bytes);
    }
    return;
  }
  // Stored column x becomes upright row x (5, 6) or width - 1 - x (7, 8); stored row y becomes
  // upright column y (5, 8) or height - 1 - y (6, 7).
  const bool rowsFromRight = orientation == eoTransverse || orientation == eoRotate270;
  const bool columnsFromBottom = orientation == eoRotate90 || orientation == eoTransverse;
  for (int x = 0; x < width; ++x) {
    JSAMPLE* target = BitmapRow(Context, rowsFromRight ? width - 1 - x : x);
    const size_t source = size_t(x) * bytes;
    if (columnsFromBottom) {
      JSAMPLE* pixel = target + ptrdiff_t(height - 1 - Y) * bytes;
      for (int i = 0; i < Count; ++i, pixel -= bytes) std::memcpy(pixel, Rows[i] + source, bytes);
    } else {
      JSAMPLE* pixel = target + ptrdiff_t(Y) * bytes;
      for (int i = 0; i < Count; ++i, pixel += bytes) std::memcpy(pixel, Rows[i] + source, bytes);
    }
  }
}

void TJPEGImage::UseBuiltPalette(DecoderContext& Context) {
  HPALETTE palette = BuildDecoderPalette(Context);
  if (palette == nullptr) return;
  DecodedBitmap->SetPaletteHandle(palette);
  PaletteModified = true;
  LocateRows(Context);  // a new palette rebuilds the image: find the rows again
}

HPALETTE TJPEGImage::BuildDecoderPalette(DecoderContext& Context) {
  std::vector<PALETTEENTRY> entries = DecoderColours(Context.Info);
  if (entries.empty()) return nullptr;
  return MakePalette(entries.data(), static_cast<int>(entries.size()));
}

void TJPEGImage::LoadColorMap(DecoderContext& Context, HPALETTE Palette) {
  PALETTEENTRY entries[MaxPaletteEntries];
  UINT count = GetPaletteEntries(Palette, 0, MaxPaletteEntries, entries);
  if (count == 0) return;
  jpeg_decompress_struct& info = Context.Info;
  JSAMPARRAY map = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE, count, 3);
  for (UINT i = 0; i < count; ++i) {
    map[2][i] = entries[i].peRed;
    map[1][i] = entries[i].peGreen;
    map[0][i] = entries[i].peBlue;
  }
  info.colormap = map;
  info.actual_number_of_colors = static_cast<int>(count);
}

void TJPEGImage::ProgressMonitor(JpegProgressManager& Progress) {
  if (Progress.Context == nullptr) return;
  const jpeg_decompress_struct& info = Progress.Context->Info;
  uint32_t now = JpegTickSource();
  if (now - Progress.LastTime < static_cast<uint32_t>(ProgressInterval)) return;
  uint32_t previous = Progress.LastTime;
  Progress.LastTime = now;
  if (previous == 0) return;  // the first call only starts the clock

  int bottom = static_cast<int>(info.output_scanline);
  if (bottom < Progress.LastRow) bottom = static_cast<int>(info.output_height);  // a new pass
  TRect rows = UprightRows(Progress.LastRow, bottom, static_cast<int>(info.output_width),
                           static_cast<int>(info.output_height), Progress.Context->Orientation);

  const jpeg_progress_mgr& p = Progress.Base;
  if (p.pass_limit <= 0 || p.total_passes <= 0) return;
  double fraction = static_cast<double>(p.pass_counter) / static_cast<double>(p.pass_limit);
  int percent = static_cast<int>((fraction + p.completed_passes) * 100.0 / p.total_passes);
  if (percent == Progress.LastPercent) return;
  Progress.LastPercent = percent;
  Progress.LastRow = static_cast<int>(info.output_scanline);
  ReportProgress(this, psRunning, static_cast<uint8_t>(std::clamp(percent, 0, 100)), rows.Height() >= 4, rows,
                 "");
}

void TJPEGImage::OutputSize() {
  if (!RecalcNeeded) return;
  if (SharedData->CompressedStream == nullptr || SharedData->CompressedStream->Size() == 0) {
    ScaledOutputWidth = ScaledOutputHeight = 0;
    RecalcNeeded = false;
    return;
  }
  DecoderContext context;
  OpenDecoder(context, false);
  try {
    jpeg_calc_output_dimensions(&context.Info);
    ScaledOutputWidth = static_cast<int>(context.Info.output_width);
    ScaledOutputHeight = static_cast<int>(context.Info.output_height);
    SaveProgressive = jpeg_has_multiple_scans(&context.Info);
  } catch (...) {
    CloseDecoder(context);
    throw;
  }
  CloseDecoder(context);
  RecalcNeeded = false;
}

// ---- writing -----------------------------------------------------------------------------------

namespace {

struct CompressRecordGuard {
  jpeg_compress_struct* Info;
  unsigned char** Buffer;
  ~CompressRecordGuard() {
    jpeg_destroy_compress(Info);
    std::free(*Buffer);
  }
};

}  // namespace

// Compresses the decoded bitmap (quality SaveQuality, floating-point DCT, 24-bit input; grayscale
// or progressive output as GrayOutput and SaveProgressive say) into new compressed data.
void TJPEGImage::CompressBitmap() {
  if (DecodedBitmap == nullptr || DecodedBitmap->IsEmpty()) return;
  TBitmap rows;
  rows.AssignFrom(DecodedBitmap.get());
  rows.SetPixelFormat(pf24bit);
  const int width = rows.ImageWidth();
  const int height = rows.ImageHeight();

  jpeg_error_mgr errorManager;
  jpeg_compress_struct info;
  std::memset(&info, 0, sizeof info);
  info.err = SetUpJpegErrorManager(errorManager);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_create_compress(&info);
  CompressRecordGuard guard{&info, &buffer};
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = 3;
  info.in_color_space = JCS_EXT_BGR;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, std::clamp(SaveQuality, 1, 100), TRUE);
  info.dct_method = JDCT_FLOAT;
  if (GrayOutput) jpeg_set_colorspace(&info, JCS_GRAYSCALE);
  if (SaveProgressive) jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  for (int y = 0; y < height; ++y) {
    JSAMPROW row = static_cast<JSAMPROW>(rows.ScanLine(y));
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);

  auto compressed = std::make_unique<TMemoryStream>();
  compressed->WriteBuffer(buffer, static_cast<int64_t>(size));
  compressed->SetPosition(0);
  ReplaceData();
  SharedData->CompressedStream = std::move(compressed);
  SharedData->HeaderWidth = width;
  SharedData->HeaderHeight = height;
  SharedData->IsGray = GrayOutput;
}

}  // namespace lumivane
