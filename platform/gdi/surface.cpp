#include "platform/gdi/surface.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace lumivane {

Surface SurfaceOf(const GdiBitmap* bitmap) {
  Surface s;
  if (bitmap == nullptr || bitmap->bits == nullptr) return s;
  s.width = bitmap->width;
  s.height = bitmap->height;
  s.bitsPerPixel = bitmap->bitsPerPixel;
  s.monoDevice = bitmap->IsMonochromeDevice();
  if (!bitmap->isDib && bitmap->bitsPerPixel == 32) s.opaque = 0xFF000000u;
  if (bitmap->topDown) {
    s.top = bitmap->bits;
    s.step = bitmap->stride;
  } else {
    s.top = bitmap->bits + static_cast<std::ptrdiff_t>(bitmap->height - 1) * bitmap->stride;
    s.step = -static_cast<std::ptrdiff_t>(bitmap->stride);
  }
  for (const RGBQUAD& q : bitmap->colors)
    s.colours.push_back((std::uint32_t{q.rgbRed} << 16) | (std::uint32_t{q.rgbGreen} << 8) | q.rgbBlue);
  if (s.bitsPerPixel == 16 || s.bitsPerPixel == 32) {
    for (int i = 0; i < 3; ++i) s.masks[i] = bitmap->masks[i];
    if (s.masks[0] == 0 && s.masks[1] == 0 && s.masks[2] == 0) {
      const bool is16 = s.bitsPerPixel == 16;
      s.masks[0] = is16 ? 0x7C00 : 0xFF0000;
      s.masks[1] = is16 ? 0x03E0 : 0x00FF00;
      s.masks[2] = is16 ? 0x001F : 0x0000FF;
    }
  }
  return s;
}

// ---- ChannelCodec --------------------------------------------------------------------------

ChannelCodec::ChannelCodec(DWORD mask) : mask_(mask) {
  if (mask == 0) return;
  shift_ = std::countr_zero(mask);
  // The channel spans from its lowest to its highest mask bit; a mask with holes reads the
  // bits in between too, so a value never indexes past the expansion table.
  bits_ = std::bit_width(mask >> shift_);
  if (bits_ > 8) return;
  // Replicate the channel's bits downwards so that its largest value expands to 255.
  for (std::uint32_t v = 0; v < (1u << bits_); ++v) {
    std::uint32_t out = 0;
    for (int pos = 8; pos > 0;) {
      pos -= bits_;
      out |= pos >= 0 ? (v << pos) : (v >> -pos);
    }
    expand_[v] = static_cast<std::uint8_t>(out & 0xFF);
  }
}

std::uint32_t ChannelCodec::Decode(std::uint32_t value) const {
  if (bits_ == 0) return 0;
  const std::uint32_t v = (value & mask_) >> shift_;
  return bits_ <= 8 ? expand_[v] : (v >> (bits_ - 8)) & 0xFF;
}

std::uint32_t ChannelCodec::Encode(std::uint32_t channel) const {
  if (bits_ == 0) return 0;
  const std::uint32_t v = bits_ <= 8 ? channel >> (8 - bits_) : channel << (bits_ - 8);
  return (v << shift_) & mask_;
}

// ---- RowReader -----------------------------------------------------------------------------

RowReader::RowReader(const Surface& surface, std::uint32_t monoZero, std::uint32_t monoOne)
    : surface_(surface) {
  if (surface.monoDevice) {
    table_[0] = monoZero & 0xFFFFFF;
    table_[1] = monoOne & 0xFFFFFF;
  } else {
    const std::size_t n = std::min<std::size_t>(surface.colours.size(), 256);
    for (std::size_t i = 0; i < n; ++i) table_[i] = surface.colours[i];
  }
  if (surface.bitsPerPixel == 16 || surface.bitsPerPixel == 32) {
    red_ = ChannelCodec(surface.masks[0]);
    green_ = ChannelCodec(surface.masks[1]);
    blue_ = ChannelCodec(surface.masks[2]);
  }
}

void RowReader::Read(int y, int x0, int count, std::uint32_t* out, std::uint32_t fill) const {
  const BYTE* row = surface_.Row(y);
  switch (surface_.bitsPerPixel) {
    case 32:
      if (surface_.IsPlain32()) {
        const BYTE* p = row + static_cast<std::size_t>(x0) * 4;
        for (int i = 0; i < count; ++i) {
          std::uint32_t v;
          std::memcpy(&v, p + static_cast<std::size_t>(i) * 4, 4);
          out[i] = (v & 0xFFFFFF) | fill;
        }
        return;
      }
      break;
    case 24: {
      const BYTE* p = row + static_cast<std::size_t>(x0) * 3;
      for (int i = 0; i < count; ++i, p += 3)
        out[i] = (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0] | fill;
      return;
    }
    case 8:
      for (int i = 0; i < count; ++i) out[i] = table_[row[x0 + i]] | fill;
      return;
    default:
      break;
  }
  for (int i = 0; i < count; ++i) out[i] = Pixel(x0 + i, y) | fill;
}

const BYTE* RowReader::PlainRow(int y, int& bytesPerPixel) const {
  if (surface_.bitsPerPixel == 24) {
    bytesPerPixel = 3;
  } else if (surface_.bitsPerPixel == 32 && surface_.IsPlain32()) {
    bytesPerPixel = 4;
  } else {
    return nullptr;
  }
  return surface_.Row(y);
}

void RowReader::ReadSampled(int y, const int* xs, int count, std::uint32_t* out, std::uint32_t fill) const {
  const BYTE* row = surface_.Row(y);
  if (surface_.IsPlain32()) {
    for (int i = 0; i < count; ++i) {
      std::uint32_t v;
      std::memcpy(&v, row + static_cast<std::size_t>(xs[i]) * 4, 4);
      out[i] = (v & 0xFFFFFF) | fill;
    }
  } else if (surface_.bitsPerPixel == 24) {
    for (int i = 0; i < count; ++i) {
      const BYTE* p = row + static_cast<std::size_t>(xs[i]) * 3;
      out[i] = (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0] | fill;
    }
  } else {
    for (int i = 0; i < count; ++i) out[i] = Pixel(xs[i], y) | fill;
  }
}

std::uint32_t RowReader::Pixel(int x, int y) const {
  const BYTE* row = surface_.Row(y);
  switch (surface_.bitsPerPixel) {
    case 1:
      return table_[(row[x >> 3] >> (7 - (x & 7))) & 1];
    case 4:
      return table_[(x & 1) ? (row[x >> 1] & 0x0F) : (row[x >> 1] >> 4)];
    case 8:
      return table_[row[x]];
    case 16: {
      const std::uint32_t v = row[x * 2] | (std::uint32_t{row[x * 2 + 1]} << 8);
      return (red_.Decode(v) << 16) | (green_.Decode(v) << 8) | blue_.Decode(v);
    }
    case 24: {
      const BYTE* p = row + static_cast<std::size_t>(x) * 3;
      return (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
    }
    case 32: {
      std::uint32_t v;
      std::memcpy(&v, row + static_cast<std::size_t>(x) * 4, 4);
      return (red_.Decode(v) << 16) | (green_.Decode(v) << 8) | blue_.Decode(v);
    }
    default:
      return 0;
  }
}

std::uint32_t RowReader::RoundTrip(std::uint32_t pixel) const {
  pixel &= 0xFFFFFF;
  switch (surface_.bitsPerPixel) {
    case 1:
    case 4:
    case 8: {
      if (surface_.monoDevice) {
        const int sum = ((pixel >> 16) & 0xFF) + ((pixel >> 8) & 0xFF) + (pixel & 0xFF);
        return sum >= 383 ? table_[1] : table_[0];
      }
      ColourMatcher matcher(surface_.colours);
      return matcher.Colour(matcher.Nearest(pixel));
    }
    case 16:
    case 32: {
      const std::uint32_t v =
          red_.Encode((pixel >> 16) & 0xFF) | green_.Encode((pixel >> 8) & 0xFF) | blue_.Encode(pixel & 0xFF);
      return (red_.Decode(v) << 16) | (green_.Decode(v) << 8) | blue_.Decode(v);
    }
    default:
      return pixel;
  }
}

// ---- RowWriter -----------------------------------------------------------------------------

RowWriter::RowWriter(const Surface& surface) : surface_(surface) {
  if (surface.bitsPerPixel <= 8 && !surface.monoDevice) matcher_ = ColourMatcher(surface.colours);
  if (surface.bitsPerPixel == 16 || surface.bitsPerPixel == 32) {
    red_ = ChannelCodec(surface.masks[0]);
    green_ = ChannelCodec(surface.masks[1]);
    blue_ = ChannelCodec(surface.masks[2]);
  }
}

namespace {

bool NearerToWhite(std::uint32_t p) { return ((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF) >= 383; }

void PutBits(BYTE* row, int x, int bits, int index) {
  if (bits == 1) {
    const BYTE bit = static_cast<BYTE>(0x80 >> (x & 7));
    if (index)
      row[x >> 3] |= bit;
    else
      row[x >> 3] &= static_cast<BYTE>(~bit);
  } else if (bits == 4) {
    BYTE& b = row[x >> 1];
    b = (x & 1) ? static_cast<BYTE>((b & 0xF0) | (index & 0x0F))
                : static_cast<BYTE>((b & 0x0F) | ((index & 0x0F) << 4));
  } else {
    row[x] = static_cast<BYTE>(index);
  }
}

}  // namespace

void RowWriter::Write(int y, int x0, int count, const std::uint32_t* in) {
  BYTE* row = surface_.Row(y);
  const int bpp = surface_.bitsPerPixel;
  if (surface_.IsPlain32()) {
    BYTE* p = row + static_cast<std::size_t>(x0) * 4;
    const std::uint32_t opaque = surface_.opaque;
    for (int i = 0; i < count; ++i) {
      const std::uint32_t v = (in[i] & 0xFFFFFF) | opaque;
      std::memcpy(p + static_cast<std::size_t>(i) * 4, &v, 4);
    }
    return;
  }
  if (bpp == 24) {
    BYTE* p = row + static_cast<std::size_t>(x0) * 3;
    for (int i = 0; i < count; ++i, p += 3) {
      p[0] = static_cast<BYTE>(in[i]);
      p[1] = static_cast<BYTE>(in[i] >> 8);
      p[2] = static_cast<BYTE>(in[i] >> 16);
    }
    return;
  }
  if (bpp == 16 || bpp == 32) {
    for (int i = 0; i < count; ++i) {
      const std::uint32_t c = in[i];
      const std::uint32_t v =
          red_.Encode((c >> 16) & 0xFF) | green_.Encode((c >> 8) & 0xFF) | blue_.Encode(c & 0xFF);
      const std::size_t x = static_cast<std::size_t>(x0 + i);
      if (bpp == 16) {
        row[x * 2] = static_cast<BYTE>(v);
        row[x * 2 + 1] = static_cast<BYTE>(v >> 8);
      } else {
        std::memcpy(row + x * 4, &v, 4);
      }
    }
    return;
  }
  for (int i = 0; i < count; ++i) {
    const int index = surface_.monoDevice ? (NearerToWhite(in[i]) ? 1 : 0) : matcher_.Nearest(in[i]);
    PutBits(row, x0 + i, bpp, index);
  }
}

void RowWriter::Fill(int y, int x0, int count, std::uint32_t pixel) {
  if (count <= 0) return;
  BYTE* row = surface_.Row(y);
  if (surface_.IsPlain32()) {
    auto* p = reinterpret_cast<std::uint32_t*>(row) + x0;
    std::fill_n(p, count, (pixel & 0xFFFFFF) | surface_.opaque);
    return;
  }
  if (surface_.bitsPerPixel == 24) {
    BYTE* p = row + static_cast<std::size_t>(x0) * 3;
    const BYTE blue = static_cast<BYTE>(pixel), green = static_cast<BYTE>(pixel >> 8),
               red = static_cast<BYTE>(pixel >> 16);
    const std::size_t bytes = static_cast<std::size_t>(count) * 3;
    if (blue == green && green == red) {
      std::memset(p, blue, bytes);
      return;
    }
    p[0] = blue;
    p[1] = green;
    p[2] = red;
    // Double the written run until the row part is full.
    for (std::size_t done = 3; done < bytes;) {
      const std::size_t n = std::min(done, bytes - done);
      std::memcpy(p + done, p, n);
      done += n;
    }
    return;
  }
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(count), pixel);
  Write(y, x0, count, pixels.data());
}

}  // namespace lumivane
