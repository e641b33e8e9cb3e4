#include "picture/jpeg_image.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <jerror.h>

#include "framework/exception.h"
#include "framework/memory_stream.h"
#include "framework/sys_utils.h"
#include "picture/jpeg_decoder_context.h"
#include "picture/jpeg_error_manager.h"
#include "picture/jpeg_stream_source.h"
#include "picture/picture.h"
#include "platform/gdi/gdi.h"
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

HPALETTE CopyPalette(HPALETTE source) {
  PALETTEENTRY entries[MaxPaletteEntries];
  UINT count = GetPaletteEntries(source, 0, MaxPaletteEntries, entries);
  if (count == 0) return nullptr;
  return MakePalette(entries, static_cast<int>(count));
}

// A four-component row as libjpeg delivers it becomes blue, green, red. Files with an Adobe
// marker store the components inverted (the usual case).
void ConvertCmykRow(const JSAMPLE* cmyk, JSAMPLE* bgr, JDIMENSION width, bool inverted) {
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

int TJPEGImage::ImageWidth() {
  if (DecodedBitmap != nullptr) return DecodedBitmap->ImageWidth();
  if (ScaleShift == 0) return SharedData->HeaderWidth;
  OutputSize();
  return ScaledOutputWidth;
}

int TJPEGImage::ImageHeight() {
  if (DecodedBitmap != nullptr) return DecodedBitmap->ImageHeight();
  if (ScaleShift == 0) return SharedData->HeaderHeight;
  OutputSize();
  return ScaledOutputHeight;
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
    jpeg_read_header(&info, TRUE);
    SharedData->HeaderWidth = static_cast<int>(info.image_width);
    SharedData->HeaderHeight = static_cast<int>(info.image_height);
    SharedData->IsGray = info.jpeg_color_space == JCS_GRAYSCALE;
    SaveProgressive = jpeg_has_multiple_scans(&info);
  }
  // New data: any size computed at a reduced scale is stale.
  RecalcNeeded = true;
  PaletteModified = true;
  SignalChange(this);
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
  if (ReportsProgress) {
    Context.Progress.Base.progress_monitor = ProgressCallback;
    Context.Progress.Owner = this;
    Context.Progress.Context = &Context;
    info.progress = &Context.Progress.Base;
  }
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
  TBitmap& bitmap = *DecodedBitmap;
  bitmap.DropImage();
  bitmap.SetPixelFormat(Context.Info.quantize_colors ? pf8bit : pf24bit);
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
  if (Context.ConvertCmyk) {
    Context.CmykRow = static_cast<JSAMPROW>((*info.mem->alloc_large)(
        reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE, size_t(info.output_width) * 4));
  }
  PrepareBitmap(Context);
  if (!UseDecoderPalette) {
    DecodedBitmap->SetPaletteHandle(CopyPalette(QuantizePalette));
    PrepareBitmap(Context);  // a new palette rebuilds the image: find the rows again
  }

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
  if ((!info.buffered_image || Context.FinalTwoPassQuantize) && info.colormap != nullptr && UseDecoderPalette)
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

void TJPEGImage::PrepareBitmap(DecoderContext& Context) {
  TBitmap& bitmap = *DecodedBitmap;
  const jpeg_decompress_struct& info = Context.Info;
  int width = static_cast<int>(info.output_width);
  int height = static_cast<int>(info.output_height);
  if (bitmap.ImageWidth() != width || bitmap.ImageHeight() != height) {
    TPixelFormat format = info.quantize_colors ? pf8bit : pf24bit;
    bitmap.DropImage();
    bitmap.SetPixelFormat(format);
    bitmap.SetSize(width, height);
    if (bitmap.PixelFormat() != format) bitmap.SetPixelFormat(format);
    // A bitmap that could not be made (too big for memory) must not be written into.
    if (bitmap.ImageWidth() != width || bitmap.ImageHeight() != height)
      throw EOutOfResources(SOutOfResources);
  }
  auto* first = static_cast<JSAMPLE*>(bitmap.ScanLine(0));
  Context.FirstRow = first;
  Context.RowDelta = height > 1 ? static_cast<JSAMPLE*>(bitmap.ScanLine(1)) - first : 0;
}

void TJPEGImage::ReadRows(DecoderContext& Context) {
  jpeg_decompress_struct& info = Context.Info;
  bool invertedCmyk = info.saw_Adobe_marker;
  while (info.output_scanline < info.output_height) {
    JSAMPLE* row = Context.FirstRow + static_cast<ptrdiff_t>(info.output_scanline) * Context.RowDelta;
    JSAMPROW target = Context.ConvertCmyk ? Context.CmykRow : row;
    JDIMENSION count = jpeg_read_scanlines(&info, &target, 1);
    if (count == 0) break;  // only a suspending source returns no rows; ours never does
    if (Context.ConvertCmyk) ConvertCmykRow(Context.CmykRow, row, info.output_width, invertedCmyk);
  }
}

void TJPEGImage::UseBuiltPalette(DecoderContext& Context) {
  HPALETTE palette = BuildDecoderPalette(Context);
  if (palette == nullptr) return;
  DecodedBitmap->SetPaletteHandle(palette);
  PaletteModified = true;
  PrepareBitmap(Context);
}

HPALETTE TJPEGImage::BuildDecoderPalette(DecoderContext& Context) {
  const jpeg_decompress_struct& info = Context.Info;
  int count = std::min(info.actual_number_of_colors, MaxPaletteEntries);
  if (count <= 0 || info.colormap == nullptr) return nullptr;
  PALETTEENTRY entries[MaxPaletteEntries] = {};
  bool gray = info.out_color_components == 1;
  for (int i = 0; i < count; ++i) {
    if (gray) {
      JSAMPLE v = info.colormap[0][i];
      entries[i] = PALETTEENTRY{v, v, v, 0};
    } else {
      entries[i] = PALETTEENTRY{info.colormap[2][i], info.colormap[1][i], info.colormap[0][i], 0};
    }
  }
  return MakePalette(entries, count);
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

  TRect rows =
      Rect(0, Progress.LastRow, static_cast<int>(info.output_width), static_cast<int>(info.output_scanline));
  if (rows.Bottom < rows.Top) rows.Bottom = static_cast<int>(info.output_height);  // a new pass

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
