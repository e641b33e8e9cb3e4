#include "picture/png_reader.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <vector>

#include "framework/exception.h"
#include "picture/gdi_helpers.h"
#include "platform/gdi/gdi.h"

namespace lumivane {

namespace {

constexpr size_t kSignatureSize = 8;
// Ancillary chunks (text, profiles) are skipped beyond this size; pixel data is not limited here.
constexpr png_alloc_size_t kChunkLimit = png_alloc_size_t{8} << 20;

struct MemorySource {
  const uint8_t* data;
  size_t size;
  size_t position;
};

void ReadData(png_structp png, png_bytep out, size_t length) {
  auto* source = static_cast<MemorySource*>(png_get_io_ptr(png));
  if (length > source->size - source->position) png_error(png, "data ends early");
  std::memcpy(out, source->data + source->position, length);
  source->position += length;
}

[[noreturn]] void OnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

void OnWarning(png_structp, png_const_charp) {}

// Everything the two jump-guarded steps share. Plain data only: a longjmp out of libpng skips
// destructors, so nothing here owns anything, and what the steps change is read back from memory.
struct Decoding {
  png_structp png = nullptr;
  png_infop info = nullptr;
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  int bit_depth = 0;
  int color_type = 0;
  int passes = 1;
  int output_bits = 32;  // 1, 4, 8 (indices) or 32
  bool has_trns = false;
  uint8_t* top = nullptr;
  ptrdiff_t stride = 0;
  volatile png_uint_32 rows_done = 0;  // rows completed over all passes
};

// Reads the header and sets up the transformations. False when libpng gave up.
bool ReadHeader(Decoding& d, bool compact) {
  if (setjmp(png_jmpbuf(d.png))) return false;
  png_read_info(d.png, d.info);
  int interlace = 0;
  png_get_IHDR(d.png, d.info, &d.width, &d.height, &d.bit_depth, &d.color_type, &interlace, nullptr, nullptr);
  if (d.width == 0 || d.height == 0 || uint64_t(d.width) * d.height > uint64_t(kMaxBitmapPixels))
    png_error(d.png, "picture too large");
  d.has_trns = png_get_valid(d.png, d.info, PNG_INFO_tRNS) != 0;
  const bool indexed =
      d.color_type == PNG_COLOR_TYPE_PALETTE || (d.color_type == PNG_COLOR_TYPE_GRAY && d.bit_depth <= 8);
  if (compact && indexed) {
    // 1 and 4 bits per pixel have the same layout in a DIB row; 2 bits are widened to 8.
    d.output_bits = d.bit_depth == 2 ? 8 : d.bit_depth;
    if (d.bit_depth == 2) png_set_packing(d.png);
  } else {
    d.output_bits = 32;
    png_set_expand(d.png);  // palette to colours, low grey depths to 8 bits, tRNS to alpha
    png_set_strip_16(d.png);
    if (d.color_type == PNG_COLOR_TYPE_GRAY || d.color_type == PNG_COLOR_TYPE_GRAY_ALPHA)
      png_set_gray_to_rgb(d.png);
    png_set_bgr(d.png);
    if ((d.color_type & PNG_COLOR_MASK_ALPHA) == 0 && !d.has_trns)
      png_set_filler(d.png, 0xFF, PNG_FILLER_AFTER);
  }
  d.passes = png_set_interlace_handling(d.png);
  png_read_update_info(d.png, d.info);
  const uint64_t row_bytes = (uint64_t(d.width) * d.output_bits + 7) / 8;
  if (png_get_rowbytes(d.png, d.info) != row_bytes) png_error(d.png, "unexpected row layout");
  return true;
}

// Reads the rows straight into the section. False when the data ended or broke on the way; the
// rows read so far stay.
bool ReadRows(Decoding& d) {
  if (setjmp(png_jmpbuf(d.png))) return false;
  for (int pass = 0; pass < d.passes; ++pass)
    for (png_uint_32 y = 0; y < d.height; ++y) {
      png_read_row(d.png, d.top + static_cast<ptrdiff_t>(y) * d.stride, nullptr);
      d.rows_done = d.rows_done + 1;
    }
  return true;
}

// The colour table of an index image: the palette or a grey ramp, with alpha in the reserved
// bytes from the transparency chunk.
std::vector<RGBQUAD> ColorTable(const Decoding& d, bool& has_alpha) {
  std::vector<RGBQUAD> table(size_t{1} << d.output_bits, RGBQUAD{0, 0, 0, 255});
  png_bytep alphas = nullptr;
  int alpha_count = 0;
  png_color_16p grey_key = nullptr;
  if (d.has_trns) png_get_tRNS(d.png, d.info, &alphas, &alpha_count, &grey_key);
  if (d.color_type == PNG_COLOR_TYPE_PALETTE) {
    png_colorp palette = nullptr;
    int count = 0;
    png_get_PLTE(d.png, d.info, &palette, &count);
    for (int i = 0; i < count && i < int(table.size()); ++i)
      table[size_t(i)] = RGBQUAD{palette[i].blue, palette[i].green, palette[i].red, 255};
    for (int i = 0; alphas != nullptr && i < alpha_count && i < int(table.size()); ++i)
      table[size_t(i)].rgbReserved = alphas[i];
  } else {
    const int levels = 1 << d.bit_depth;
    for (int i = 0; i < levels && i < int(table.size()); ++i) {
      const auto g = static_cast<uint8_t>(i * 255 / (levels - 1));
      table[size_t(i)] = RGBQUAD{g, g, g, 255};
    }
    if (grey_key != nullptr && grey_key->gray < table.size()) table[grey_key->gray].rgbReserved = 0;
  }
  has_alpha = false;
  for (const RGBQUAD& q : table) has_alpha = has_alpha || q.rgbReserved != 255;
  return table;
}

// Scans the written rows for alpha below 255 and, for premultiplied output, scales the colours.
bool FinishPixels(const Decoding& d, png_uint_32 rows, bool premultiply) {
  bool has_alpha = false;
  for (png_uint_32 y = 0; y < rows; ++y) {
    uint8_t* p = d.top + static_cast<ptrdiff_t>(y) * d.stride;
    for (png_uint_32 x = 0; x < d.width; ++x, p += 4) {
      const unsigned a = p[3];
      if (a == 255) continue;
      has_alpha = true;
      if (!premultiply) continue;
      for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>((p[c] * a + 127) / 255);
    }
  }
  return has_alpha;
}

// Destroys libpng's structures on every path.
struct PngGuard {
  Decoding& d;
  ~PngGuard() { png_destroy_read_struct(&d.png, d.info != nullptr ? &d.info : nullptr, nullptr); }
};

}  // namespace

bool TPNGReader::IsPNG(const uint8_t* Bytes, int64_t Size) {
  return Bytes != nullptr && Size >= int64_t(kSignatureSize) && png_sig_cmp(Bytes, 0, kSignatureSize) == 0;
}

TPNGReader::Result TPNGReader::Decode(const uint8_t* Bytes, int64_t Size, TOutput Output,
                                      const char* InvalidMessage) {
  if (!IsPNG(Bytes, Size)) throw EInvalidGraphic(InvalidMessage);
  MemorySource source{Bytes, static_cast<size_t>(Size), 0};
  Decoding d;
  d.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnError, OnWarning);
  if (d.png == nullptr) throw EOutOfResources(SOutOfResources);
  PngGuard guard{d};
  d.info = png_create_info_struct(d.png);
  if (d.info == nullptr) throw EOutOfResources(SOutOfResources);
  png_set_read_fn(d.png, &source, ReadData);
  // libpng keeps a few rows of the declared width: the width is bounded, the pixel count is
  // checked against the program's limit.
  png_set_user_limits(d.png, 1u << 20, 0x7FFFFFFF);
  png_set_chunk_malloc_max(d.png, kChunkLimit);
  png_set_crc_action(d.png, PNG_CRC_DEFAULT, PNG_CRC_WARN_DISCARD);
  const bool compact = Output == poCompact;
  if (!ReadHeader(d, compact)) throw EInvalidGraphic(InvalidMessage);

  Result result;
  result.Width = static_cast<int>(d.width);
  result.Height = static_cast<int>(d.height);
  std::vector<RGBQUAD> colors;
  if (d.output_bits <= 8) colors = ColorTable(d, result.HasAlpha);
  BITMAPINFOHEADER header{};
  header.biWidth = result.Width;
  header.biHeight = -result.Height;
  header.biPlanes = 1;
  header.biBitCount = static_cast<WORD>(d.output_bits);
  header.biCompression = BI_RGB;
  header.biClrUsed = static_cast<DWORD>(colors.size());
  BitmapInfo info;
  info.Set(header, nullptr, colors.data(), static_cast<int>(colors.size()));
  void* bits = nullptr;
  ObjectGuard section;
  {
    ScreenDC screen;
    section.object = CreateDIBSection(screen.dc, info.Info(), DIB_RGB_COLORS, &bits, nullptr, 0);
  }
  if (section.object == nullptr || bits == nullptr) throw EOutOfResources(SOutOfResources);
  int stride = 0;
  d.top = static_cast<uint8_t*>(BitmapPixels(static_cast<HBITMAP>(section.object), &stride));
  d.stride = stride;
  if (!colors.empty()) {
    // The device takes the table without alpha; the reserved bytes are set afterwards.
    MemoryDC memory;
    HGDIOBJ old = SelectObject(memory.dc, section.object);
    SetDIBColorTable(memory.dc, 0, static_cast<UINT>(colors.size()), colors.data());
    SelectObject(memory.dc, old);
  }

  const bool complete = ReadRows(d);
  if (!complete && d.rows_done == 0) throw EInvalidGraphic(InvalidMessage);
  // The rows the decoder reached: a plain picture's rows come in order, and every pass of an
  // interlaced one runs down the whole height, so once its first pass is through any row may hold
  // pixels. Rows below are untouched zero memory and are not read, so that a short file does not
  // cost a walk over the whole declared picture; in an interlaced picture their pixels count as
  // not opaque (alpha 0), as those of every other pixel no pass reached.
  const png_uint_32 reached = std::min<png_uint_32>(png_uint_32(d.rows_done), d.height);
  const png_uint_32 rows = d.passes > 1 && d.rows_done >= d.height ? d.height : reached;
  if (d.output_bits == 32)
    result.HasAlpha = FinishPixels(d, rows, compact) || (d.passes > 1 && rows < d.height);
  // The section is top-down: the rows not reached are the end of its memory. Marked unwritten,
  // reading them (a draw, an icon's sampling) maps the system's zero page instead of fresh memory.
  if (rows < d.height)
    LeaveDIBUnwritten(static_cast<HBITMAP>(section.object), static_cast<size_t>(rows) * size_t(stride));
  result.Handle = static_cast<HBITMAP>(section.Release());
  return result;
}

}  // namespace lumivane
