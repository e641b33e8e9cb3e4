// Blits, stretches, raster operations, fills and lines. Everything works a destination row at a
// time: the needed source pixels of a row are converted once into 32-bit pixels, combined with
// the destination row and written back in the destination's format.

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <thread>
#include <vector>

#include "platform/gdi/gdi_internal.h"
#include "platform/platform_error.h"

namespace lumivane {
namespace gdi_detail {

namespace {

constexpr std::uint32_t kWhite = 0xFFFFFF;

// Evaluates a ternary raster operation on 24 colour bits: for each combination (p, s, d) of a
// pattern, source and destination bit the operation index holds the result in bit p*4+s*2+d.
std::uint32_t Rop3(std::uint8_t rop, std::uint32_t p, std::uint32_t s, std::uint32_t d) {
  switch (rop) {
    case 0x00:
      return 0;
    case 0xFF:
      return kWhite;
    case 0xCC:
      return s;
    case 0x88:
      return s & d;
    case 0xEE:
      return s | d;
    case 0x66:
      return s ^ d;
    case 0x33:
      return ~s & kWhite;
    case 0x44:
      return s & ~d & kWhite;
    case 0x11:
      return ~(s | d) & kWhite;
    case 0xBB:
      return (~s | d) & kWhite;
    case 0xC0:
      return p & s;
    case 0xF0:
      return p;
    case 0x5A:
      return p ^ d;
    case 0x55:
      return ~d & kWhite;
    case 0xAA:
      return d;
    default:
      break;
  }
  std::uint32_t result = 0;
  for (int i = 0; i < 8; ++i) {
    if (((rop >> i) & 1) == 0) continue;
    result |= ((i & 4) ? p : ~p) & ((i & 2) ? s : ~s) & ((i & 1) ? d : ~d);
  }
  return result & kWhite;
}

bool UsesSource(std::uint8_t rop) { return (((rop >> 2) ^ rop) & 0x33) != 0; }
bool UsesDestination(std::uint8_t rop) { return (((rop >> 1) ^ rop) & 0x55) != 0; }
bool UsesPattern(std::uint8_t rop) { return (((rop >> 4) ^ rop) & 0x0F) != 0; }

bool NearerToWhite(std::uint32_t p) { return ((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF) >= 383; }

}  // namespace

AxisMap MapAxis(int dstPos, int dstSize, int srcPos, int srcSize, int srcLimit, int clipLo, int clipHi) {
  AxisMap map;
  if (dstSize < 0) {
    dstPos += dstSize;
    dstSize = -dstSize;
    map.mirrored = !map.mirrored;
  }
  if (srcSize < 0) {
    srcPos += srcSize;
    srcSize = -srcSize;
    map.mirrored = !map.mirrored;
  }
  map.dstPos = dstPos;
  map.dstSize = dstSize;
  map.srcPos = srcPos;
  map.srcSize = srcSize;
  const long long lo = std::max<long long>(dstPos, clipLo);
  const long long hi = std::min<long long>(static_cast<long long>(dstPos) + dstSize, clipHi);
  for (long long d = lo; d < hi; ++d) {
    const long long i = d - dstPos;
    const long long k = map.mirrored ? dstSize - 1 - i : i;
    const long long s = srcPos + PointSampledSource(k, dstSize, srcSize);
    if (s < 0 || s >= srcLimit) {
      if (!map.source.empty()) break;  // the mapping is monotonic: nothing more is inside
      continue;
    }
    if (map.source.empty()) map.first = static_cast<int>(d);
    map.source.push_back(static_cast<int>(s));
  }
  return map;
}

namespace {

// Area-averaging weights: the source positions under each drawn destination position.
struct Tap {
  int index;
  float weight;
};

std::vector<std::vector<Tap>> AreaTaps(const AxisMap& map, int srcLimit) {
  std::vector<std::vector<Tap>> taps(map.source.size());
  const double scale = static_cast<double>(map.srcSize) / map.dstSize;
  for (std::size_t n = 0; n < map.source.size(); ++n) {
    const long long i = map.first + static_cast<long long>(n) - map.dstPos;
    const long long k = map.mirrored ? map.dstSize - 1 - i : i;
    const double lo = std::max(0.0, map.srcPos + k * scale);
    const double hi = std::min<double>(srcLimit, map.srcPos + (k + 1) * scale);
    double total = 0;
    for (long long s = static_cast<long long>(std::floor(lo)); s < hi; ++s) {
      const double w = std::min<double>(hi, s + 1) - std::max<double>(lo, s);
      if (w <= 0) continue;
      taps[n].push_back(Tap{static_cast<int>(s), static_cast<float>(w)});
      total += w;
    }
    if (taps[n].empty())
      taps[n].push_back(Tap{map.source[n], 1.0f});
    else
      for (Tap& t : taps[n]) t.weight = static_cast<float>(t.weight / total);
  }
  return taps;
}

// Produces the source pixels of one destination row by averaging source areas, in fixed point:
// weights are 1/4096ths that add up to 4096 on each axis. Every source row is read and filtered
// across once (a row under two destination rows is kept from the first), so the cost is linear in
// the source area.
class BoxSampler {
 public:
  BoxSampler(const RowReader& reader, const AxisMap& xs, const AxisMap& ys, int srcWidth, int srcHeight)
      : reader_(reader) {
    Flatten(AreaTaps(xs, srcWidth), columnFirst_, columnCount_, columnOffset_, columnWeights_);
    Flatten(AreaTaps(ys, srcHeight), rowFirst_, rowCount_, rowOffset_, rowWeights_);
    // Mirrored columns run from right to left: the line read spans the lowest to the highest.
    if (!columnFirst_.empty()) {
      minX_ = INT_MAX;
      int end = INT_MIN;
      for (std::size_t i = 0; i < columnFirst_.size(); ++i) {
        minX_ = std::min(minX_, columnFirst_[i]);
        end = std::max(end, columnFirst_[i] + columnCount_[i]);
      }
      line_.resize(static_cast<std::size_t>(end - minX_));
    }
    const std::size_t n = columnFirst_.size() * 3;
    across_[0].resize(n);
    across_[1].resize(n);
    sums_.resize(n);
  }

  // Destination row `row` (counted from the first drawn one) as pixels with `fill` added.
  void Row(std::size_t row, std::uint32_t* out, std::uint32_t fill) {
    std::fill(sums_.begin(), sums_.end(), 0u);
    const std::uint16_t* weight = rowWeights_.data() + rowOffset_[row];
    for (int t = 0; t < rowCount_[row]; ++t) {
      const std::uint32_t* across = Across(rowFirst_[row] + t);
      const std::uint32_t w = weight[t];
      for (std::size_t i = 0; i < sums_.size(); ++i) sums_[i] += w * across[i];
    }
    for (std::size_t i = 0; i < columnFirst_.size(); ++i) {
      const std::uint32_t r = (sums_[i * 3] + (1u << 19)) >> 20;
      const std::uint32_t g = (sums_[i * 3 + 1] + (1u << 19)) >> 20;
      const std::uint32_t b = (sums_[i * 3 + 2] + (1u << 19)) >> 20;
      out[i] = (r << 16) | (g << 8) | b | fill;
    }
  }

 private:
  static constexpr std::uint32_t kOne = 4096;

  // Turns float taps into contiguous runs with integer weights that add up to kOne exactly: each
  // tap gets the rounded running total less the rounded total before it. No weight can go below
  // zero, even where thousands of taps share the unit, and a flat area stays exactly flat.
  static void Flatten(const std::vector<std::vector<Tap>>& taps, std::vector<int>& first,
                      std::vector<int>& count, std::vector<std::size_t>& offsets,
                      std::vector<std::uint16_t>& weights) {
    for (const auto& list : taps) {
      first.push_back(list.front().index);
      count.push_back(static_cast<int>(list.size()));
      offsets.push_back(weights.size());
      double total = 0;
      long previous = 0;
      for (std::size_t k = 0; k < list.size(); ++k) {
        total += list[k].weight;
        const long upTo =
            k + 1 == list.size() ? long{kOne} : std::min<long>(std::lround(total * kOne), long{kOne});
        weights.push_back(static_cast<std::uint16_t>(upTo - previous));
        previous = upTo;
      }
    }
  }

  // Source row `y` filtered across: three channels per destination column, scaled by 256.
  const std::uint32_t* Across(int y) {
    if (y == acrossRow_[0]) return across_[0].data();
    if (y == acrossRow_[1]) return across_[1].data();
    // Replace the row farther from this one: the other may be shared with the next destination
    // row, whichever way the rows run.
    const auto distance = [y](int row) { return std::llabs(static_cast<long long>(row) - y); };
    const int slot = distance(acrossRow_[0]) > distance(acrossRow_[1]) ? 0 : 1;
    acrossRow_[slot] = y;
    std::uint32_t* out = across_[slot].data();
    // Plain 24- and 32-bit rows are filtered straight from their bytes; other layouts are first
    // converted into a line of 32-bit pixels, whose bytes are blue, green, red in the same order.
    int bytesPerPixel = 0;
    if (const BYTE* row = reader_.PlainRow(y, bytesPerPixel); row != nullptr) {
      if (bytesPerPixel == 3) {
        FilterBytesAcross<3>(row, 0, out);
      } else {
        FilterBytesAcross<4>(row, 0, out);
      }
      return out;
    }
    static_assert(std::endian::native == std::endian::little, "a 32-bit pixel's low byte is its blue");
    reader_.Read(y, minX_, static_cast<int>(line_.size()), line_.data());
    FilterBytesAcross<4>(reinterpret_cast<const BYTE*>(line_.data()), minX_, out);
    return out;
  }

  // Averages each destination column's taps from blue, green, red bytes of Step bytes per pixel;
  // Row holds the source from column Origin on.
  template <int Step>
  void FilterBytesAcross(const BYTE* row, int origin, std::uint32_t* out) const {
    for (std::size_t i = 0; i < columnFirst_.size(); ++i) {
      const BYTE* p = row + static_cast<std::size_t>(columnFirst_[i] - origin) * Step;
      const std::uint16_t* weight = columnWeights_.data() + columnOffset_[i];
      std::uint32_t r = 0, g = 0, b = 0;
      for (int t = 0; t < columnCount_[i]; ++t, p += Step) {
        const std::uint32_t w = weight[t];
        r += w * p[2];
        g += w * p[1];
        b += w * p[0];
      }
      out[i * 3] = (r + 8) >> 4;
      out[i * 3 + 1] = (g + 8) >> 4;
      out[i * 3 + 2] = (b + 8) >> 4;
    }
  }

  const RowReader& reader_;
  std::vector<int> columnFirst_, columnCount_, rowFirst_, rowCount_;
  std::vector<std::size_t> columnOffset_, rowOffset_;
  std::vector<std::uint16_t> columnWeights_, rowWeights_;
  int minX_ = 0;
  std::vector<std::uint32_t> line_;
  std::vector<std::uint32_t> across_[2];
  int acrossRow_[2] = {INT_MIN, INT_MIN};
  std::vector<std::uint32_t> sums_;
};

// Fills the drawn destination rows [begin, end) of a plain 32-bit target by box averaging.
void BoxRows(const Surface& target, const RowReader& reader, const AxisMap& xs, const AxisMap& ys,
             int srcWidth, int srcHeight, std::size_t begin, std::size_t end) {
  BoxSampler sampler(reader, xs, ys, srcWidth, srcHeight);
  for (std::size_t j = begin; j < end; ++j) {
    auto* out = reinterpret_cast<std::uint32_t*>(target.Row(ys.first + static_cast<int>(j))) + xs.first;
    sampler.Row(j, out, target.opaque);
  }
}

// Box averaging over all drawn rows; a large source is shared out between two threads, each
// with its own half of the destination rows.
void BoxStretch(const Surface& target, const RowReader& reader, const AxisMap& xs, const AxisMap& ys,
                int srcWidth, int srcHeight) {
  constexpr long long kThreadedArea = 1 << 20;
  const std::size_t rows = ys.source.size();
  const long long area = static_cast<long long>(xs.srcSize) * ys.srcSize;
  if (area < kThreadedArea || rows < 2) {
    BoxRows(target, reader, xs, ys, srcWidth, srcHeight, 0, rows);
    return;
  }
  const std::size_t half = rows / 2;
  std::thread helper([&] { BoxRows(target, reader, xs, ys, srcWidth, srcHeight, half, rows); });
  BoxRows(target, reader, xs, ys, srcWidth, srcHeight, 0, half);
  helper.join();
}

// A private copy of a surface's memory, for blits whose source and target are the same pixels.
Surface Snapshot(const Surface& s, std::vector<BYTE>& storage) {
  const std::ptrdiff_t rowBytes = std::abs(s.step);
  BYTE* lowest = s.step >= 0 ? s.top : s.top + (s.height - 1) * s.step;
  storage.assign(lowest, lowest + rowBytes * s.height);
  Surface copy = s;
  copy.top = storage.data() + (s.top - lowest);
  return copy;
}

}  // namespace

bool StretchSurface(const Surface& target, const Surface& sourceIn, const StretchRequest& q) {
  if (q.srcWidth == 0 || q.srcHeight == 0) return false;
  if (q.width == 0 || q.height == 0) return true;
  const AxisMap xs = MapAxis(q.x, q.width, q.srcX, q.srcWidth, sourceIn.width, q.clip.left, q.clip.right);
  const AxisMap ys = MapAxis(q.y, q.height, q.srcY, q.srcHeight, sourceIn.height, q.clip.top, q.clip.bottom);
  if (xs.source.empty() || ys.source.empty()) return true;

  std::vector<BYTE> snapshotStorage;
  const Surface source = sourceIn.top == target.top ? Snapshot(sourceIn, snapshotStorage) : sourceIn;
  const bool monoTarget = target.monoDevice;
  const bool toMono = monoTarget && !source.monoDevice;
  const RowReader reader(source, monoTarget ? 0 : q.monoZero, monoTarget ? kWhite : q.monoOne);
  const std::uint32_t background = reader.RoundTrip(q.sourceBackground);
  const std::uint32_t key = reader.RoundTrip(q.key);
  const std::uint32_t pattern = monoTarget ? (NearerToWhite(q.pattern) ? kWhite : 0) : (q.pattern & kWhite);

  const bool scaled = xs.srcSize != xs.dstSize || ys.srcSize != ys.dstSize;
  const bool averaging = q.halftone && scaled && !source.monoDevice && !monoTarget;
  if (averaging && q.rop == 0xCC && !q.hasKey && target.IsPlain32()) {
    BoxStretch(target, reader, xs, ys, source.width, source.height);
    return true;
  }
  std::optional<BoxSampler> sampler;
  if (averaging) sampler.emplace(reader, xs, ys, source.width, source.height);

  const int n = static_cast<int>(xs.source.size());
  const bool direct = q.rop == 0xCC && !q.hasKey && !toMono && !averaging && target.IsPlain32();
  const bool contiguous = !xs.mirrored && xs.srcSize == xs.dstSize;
  // Same layout and the target needs no fourth byte the source lacks: copy the bytes as they are.
  const bool rawCopy =
      contiguous && source.IsPlain32() && (target.opaque == 0 || source.opaque == target.opaque);
  const RowReader targetReader(target);
  RowWriter writer(target);
  std::vector<std::uint32_t> src(static_cast<std::size_t>(n)), dst(static_cast<std::size_t>(n));
  std::vector<std::uint8_t> skip(static_cast<std::size_t>(n), 0);
  int previousRow = INT_MIN;
  std::uint32_t* previousOut = nullptr;

  for (std::size_t j = 0; j < ys.source.size(); ++j) {
    const int sy = ys.source[j];
    const int ty = ys.first + static_cast<int>(j);
    if (direct) {
      // Plain 32-bit copy: source pixels go straight into the target row.
      auto* out = reinterpret_cast<std::uint32_t*>(target.Row(ty)) + xs.first;
      if (sy == previousRow)
        std::memcpy(out, previousOut, static_cast<std::size_t>(n) * 4);
      else if (rawCopy)
        std::memcpy(out, source.Row(sy) + static_cast<std::size_t>(xs.source[0]) * 4,
                    static_cast<std::size_t>(n) * 4);
      else if (contiguous)
        reader.Read(sy, xs.source[0], n, out, target.opaque);
      else
        reader.ReadSampled(sy, xs.source.data(), n, out, target.opaque);
      previousRow = sy;
      previousOut = out;
      continue;
    }
    if (averaging) {
      sampler->Row(j, src.data(), 0);
    } else if (sy != previousRow) {
      reader.ReadSampled(sy, xs.source.data(), n, src.data());
      if (q.hasKey)
        for (int i = 0; i < n; ++i) skip[i] = src[i] == key;
      if (toMono)
        for (int i = 0; i < n; ++i) src[i] = src[i] == background ? kWhite : 0;
      previousRow = sy;
    }
    if (q.rop == 0xCC && !q.hasKey) {
      writer.Write(ty, xs.first, n, src.data());
      continue;
    }
    if (UsesDestination(q.rop) || q.hasKey) targetReader.Read(ty, xs.first, n, dst.data());
    for (int i = 0; i < n; ++i)
      if (!skip[i]) dst[i] = Rop3(q.rop, pattern, src[i], dst[i]);
    writer.Write(ty, xs.first, n, dst.data());
  }
  return true;
}

void PatternFill(const Surface& target, const RECT& rect, std::uint8_t rop, std::uint32_t pattern) {
  if (!target.Valid() || IsEmpty(rect)) return;
  if (target.monoDevice) pattern = NearerToWhite(pattern) ? kWhite : 0;
  const int n = rect.right - rect.left;
  std::vector<std::uint32_t> row(static_cast<std::size_t>(n));
  const RowReader reader(target);
  RowWriter writer(target);
  if (!UsesDestination(rop)) {
    const std::uint32_t value = Rop3(rop, pattern, 0, 0);
    for (int y = rect.top; y < rect.bottom; ++y) writer.Fill(y, rect.left, n, value);
    return;
  }
  for (int y = rect.top; y < rect.bottom; ++y) {
    reader.Read(y, rect.left, n, row.data());
    for (std::uint32_t& p : row) p = Rop3(rop, pattern, 0, p);
    writer.Write(y, rect.left, n, row.data());
  }
}

}  // namespace gdi_detail

long long PointSampledSource(long long K, int DstSize, int SrcSize) {
  return static_cast<long long>((static_cast<__int128>(2 * K + 1) * SrcSize) /
                                (2 * static_cast<__int128>(DstSize)));
}

using namespace gdi_detail;

namespace {

RECT DeviceRect(HDC dc, int left, int top, int right, int bottom) {
  RECT r{left + dc->state.viewportOrg.x, top + dc->state.viewportOrg.y, right + dc->state.viewportOrg.x,
         bottom + dc->state.viewportOrg.y};
  if (r.left > r.right) std::swap(r.left, r.right);
  if (r.top > r.bottom) std::swap(r.top, r.bottom);
  return r;
}

bool HasBrush(HDC dc) { return dc->state.brush != nullptr && dc->state.brush->style != BS_NULL; }

std::uint32_t BrushPixel(HDC dc, const GdiBrush* brush) {
  return brush != nullptr ? ResolvePixel(dc, brush->color) : 0;
}

// Fills a device rectangle (clipped) with a pattern operation.
void FillDevice(HDC dc, const RECT& rect, std::uint8_t rop, std::uint32_t pattern) {
  PatternFill(TargetSurface(dc), Intersect(rect, DrawableRect(dc)), rop, pattern);
}

BOOL Stretch(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
             int srcHeight, DWORD rop, bool hasKey, COLORREF key, int mode) {
  const auto index = static_cast<std::uint8_t>(rop >> 16);
  if (dst == nullptr || (src == nullptr && UsesSource(index))) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!UsesSource(index)) return PatBlt(dst, x, y, width, height, rop);
  const Surface target = TargetSurface(dst);
  if (!target.Valid()) return dst->isScreen ? TRUE : FALSE;
  const Surface source = TargetSurface(src);
  if (!source.Valid()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  StretchRequest q;
  q.x = x + dst->state.viewportOrg.x;
  q.y = y + dst->state.viewportOrg.y;
  q.width = width;
  q.height = height;
  q.srcX = srcX + src->state.viewportOrg.x;
  q.srcY = srcY + src->state.viewportOrg.y;
  q.srcWidth = srcWidth;
  q.srcHeight = srcHeight;
  q.rop = index;
  q.halftone = mode == HALFTONE;
  q.monoZero = ResolvePixel(dst, dst->state.textColor);
  q.monoOne = ResolvePixel(dst, dst->state.bkColor);
  q.sourceBackground = ResolvePixel(src, src->state.bkColor);
  q.pattern = BrushPixel(dst, dst->state.brush);
  q.hasKey = hasKey;
  q.key = ResolvePixel(src, key);
  q.clip = DrawableRect(dst);
  if (IsEmpty(q.clip)) return TRUE;
  if (!StretchSurface(target, source, q)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;
}

}  // namespace

BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, DWORD rop) {
  return Stretch(dst, x, y, width, height, src, srcX, srcY, width, height, rop, false, 0, COLORONCOLOR);
}

BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                int srcHeight, DWORD rop) {
  const int mode = dst != nullptr ? dst->state.stretchMode : COLORONCOLOR;
  return Stretch(dst, x, y, width, height, src, srcX, srcY, srcWidth, srcHeight, rop, false, 0, mode);
}

BOOL TransparentBlt(HDC dst, int x, int y, int width, int height, HDC src, int srcX, int srcY, int srcWidth,
                    int srcHeight, COLORREF key) {
  return Stretch(dst, x, y, width, height, src, srcX, srcY, srcWidth, srcHeight, SRCCOPY, true, key,
                 COLORONCOLOR);
}

BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop) {
  if (dc == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  const auto index = static_cast<std::uint8_t>(rop >> 16);
  if (UsesSource(index)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (UsesPattern(index) && !HasBrush(dc)) return TRUE;
  FillDevice(dc, DeviceRect(dc, x, y, x + width, y + height), index, BrushPixel(dc, dc->state.brush));
  return TRUE;
}

HBRUSH CreateSolidBrush(COLORREF color) {
  auto* brush = new GdiBrush;
  brush->color = color;
  return brush;
}

HPEN CreatePen(int style, int width, COLORREF color) {
  auto* pen = new GdiPen;
  pen->style = style;
  pen->width = std::max(1, width);
  pen->color = color;
  return pen;
}

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
  if (dc == nullptr || rect == nullptr || brush == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (brush->style == BS_NULL) return 1;
  // Unlike PatBlt, FillRect does not order the rectangle: an inverted one fills nothing.
  if (rect->right <= rect->left || rect->bottom <= rect->top) return 1;
  FillDevice(dc, DeviceRect(dc, rect->left, rect->top, rect->right, rect->bottom), 0xF0,
             BrushPixel(dc, brush));
  return 1;
}

int FrameRect(HDC dc, const RECT* rect, HBRUSH brush) {
  if (dc == nullptr || rect == nullptr || brush == nullptr) return 0;
  if (rect->right <= rect->left || rect->bottom <= rect->top) return 1;
  const RECT edges[4] = {{rect->left, rect->top, rect->right, rect->top + 1},
                         {rect->left, rect->bottom - 1, rect->right, rect->bottom},
                         {rect->left, rect->top, rect->left + 1, rect->bottom},
                         {rect->right - 1, rect->top, rect->right, rect->bottom}};
  for (const RECT& e : edges) FillRect(dc, &e, brush);
  return 1;
}

BOOL InvertRect(HDC dc, const RECT* rect) {
  if (dc == nullptr || rect == nullptr) return FALSE;
  FillDevice(dc, DeviceRect(dc, rect->left, rect->top, rect->right, rect->bottom), 0x55, 0);
  return TRUE;
}

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom) {
  if (dc == nullptr) return FALSE;
  const RECT r = DeviceRect(dc, left, top, right, bottom);
  const GdiPen* pen = dc->state.pen;
  const bool outline = pen != nullptr && pen->style != PS_NULL;
  // Without an outline the filled area is one pixel smaller to the right and bottom.
  const int inset = outline ? pen->width : 0;
  if (HasBrush(dc)) {
    const RECT inner{r.left + inset, r.top + inset, r.right - (outline ? inset : 1),
                     r.bottom - (outline ? inset : 1)};
    if (!IsEmpty(inner)) FillDevice(dc, inner, 0xF0, BrushPixel(dc, dc->state.brush));
  }
  if (outline) {
    const std::uint32_t colour = ResolvePixel(dc, pen->color);
    const int w = pen->width;
    const RECT bands[4] = {{r.left, r.top, r.right, r.top + w},
                           {r.left, r.bottom - w, r.right, r.bottom},
                           {r.left, r.top, r.left + w, r.bottom},
                           {r.right - w, r.top, r.right, r.bottom}};
    for (const RECT& b : bands)
      if (!IsEmpty(b)) FillDevice(dc, b, 0xF0, colour);
  }
  return TRUE;
}

BOOL MoveToEx(HDC dc, int x, int y, POINT* previous) {
  if (dc == nullptr) return FALSE;
  if (previous != nullptr) *previous = dc->state.penPos;
  dc->state.penPos = POINT{x, y};
  return TRUE;
}

BOOL LineTo(HDC dc, int x, int y) {
  if (dc == nullptr) return FALSE;
  const POINT from = dc->state.penPos;
  dc->state.penPos = POINT{x, y};
  const GdiPen* pen = dc->state.pen;
  if (pen == nullptr || pen->style == PS_NULL) return TRUE;
  const Surface target = TargetSurface(dc);
  if (!target.Valid()) return TRUE;
  const RECT drawable = DrawableRect(dc);
  RowWriter writer(target);
  const std::uint32_t colour = ResolvePixel(dc, pen->color);
  const POINT o = dc->state.viewportOrg;
  // Bresenham from the current position up to, not including, the end point.
  int cx = from.x + o.x, cy = from.y + o.y;
  const int ex = x + o.x, ey = y + o.y;
  const int dx = std::abs(ex - cx), dy = -std::abs(ey - cy);
  const int sx = cx < ex ? 1 : -1, sy = cy < ey ? 1 : -1;
  int error = dx + dy;
  for (int step = 0; cx != ex || cy != ey; ++step) {
    const bool dotted = pen->style == PS_DOT && (step & 1);
    if (!dotted && cx >= drawable.left && cx < drawable.right && cy >= drawable.top && cy < drawable.bottom)
      writer.WritePixel(cx, cy, colour);
    const int e2 = 2 * error;
    if (e2 >= dy) {
      error += dy;
      cx += sx;
    }
    if (e2 <= dx) {
      error += dx;
      cy += sy;
    }
  }
  return TRUE;
}

BOOL DrawFocusRect(HDC dc, const RECT* rect) {
  if (dc == nullptr || rect == nullptr) return FALSE;
  const Surface target = TargetSurface(dc);
  if (!target.Valid()) return TRUE;
  const RECT r = DeviceRect(dc, rect->left, rect->top, rect->right, rect->bottom);
  if (IsEmpty(r)) return TRUE;
  const RECT drawable = DrawableRect(dc);
  const RowReader reader(target);
  RowWriter writer(target);
  // Every other pixel of the outline is inverted, so drawing twice restores the pixels.
  auto invert = [&](int x, int y) {
    if (((x + y) & 1) != 0) return;
    if (x < drawable.left || x >= drawable.right || y < drawable.top || y >= drawable.bottom) return;
    writer.WritePixel(x, y, ~reader.Pixel(x, y) & kWhite);
  };
  for (int x = r.left; x < r.right; ++x) {
    invert(x, r.top);
    if (r.bottom - 1 > r.top) invert(x, r.bottom - 1);
  }
  for (int y = r.top + 1; y < r.bottom - 1; ++y) {
    invert(r.left, y);
    if (r.right - 1 > r.left) invert(r.right - 1, y);
  }
  return TRUE;
}

BOOL GdiFlush() { return TRUE; }

}  // namespace lumivane
