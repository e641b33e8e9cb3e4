#include "gif/lzw_decoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "framework/exception.h"
#include "framework/stream.h"
#include "gif/code_reader.h"
#include "gif/gif_messages.h"
#include "gif/pixel_writer.h"

namespace lumivane {

int NextInterlacedRow(int y, int height, int& pass) {
  static constexpr int kStep[4] = {8, 8, 4, 2};
  if (pass < 0 || pass > 3) return height;
  y += kStep[pass];
  if (y < height) return y;
  // The pass is exhausted: fall through the later passes until one has a first row.
  if (pass == 0) {
    pass = 1;
    if (height > 4) return 4;
  }
  if (pass == 1) {
    pass = 2;
    if (height > 2) return 2;
  }
  if (pass == 2) {
    pass = 3;
    return 1;
  }
  return std::max(y, height);
}

void DecodeProgress(TGraphic* Owner, TProgressStage Stage, int Percent, const std::string& Message) {
  Owner->ReportProgress(Owner, Stage, static_cast<uint8_t>(Percent), false, Rect(0, 0, 0, 0), Message);
}

namespace {

constexpr int kTableSize = 4096;
constexpr int kMaxCodeWidth = 12;
// The chain walk pushes at most 4097 entries before the string's first pixel.
constexpr int kStackLimit = 4096;
constexpr int kStackSize = 4098;

// Calls the progress hook once per code with the share of the code stream consumed.
class TProgressReporter {
 public:
  TProgressReporter(TDecodeProgressHook hook, TGraphic* owner, TCodeReader& reader)
      : hook_(hook), owner_(owner), reader_(reader) {}

  void Running() {
    if (hook_ == nullptr || reader_.StreamSize() == 0) return;
    const int64_t position = reader_.StreamPosition();
    if (position != last_position_) {
      last_position_ = position;
      // Round half to even, as the default floating-point rounding mode does.
      percent_ =
          static_cast<int>(std::nearbyint(static_cast<double>(position) / reader_.StreamSize() * 100.0));
    }
    hook_(owner_, psRunning, percent_, std::string());
  }

 private:
  TDecodeProgressHook hook_;
  TGraphic* owner_;
  TCodeReader& reader_;
  int64_t last_position_ = -1;
  int percent_ = 0;
};

// The string tables. Length[c] is the exact length of the string of table entry c when its prefix
// chain is known to end at a literal without loops, else 0 (such strings take the checked walk).
struct TCodeTables {
  uint16_t Prefix[kTableSize];
  uint16_t Suffix[kTableSize];
  uint16_t Length[kTableSize];
  uint16_t Stack[kStackSize];
};

class TLZWDecoder {
 public:
  TLZWDecoder(TCodeReader& reader, TPixelWriter& writer, TProgressReporter& progress, TCodeTables& tables,
              int minCodeSize, int pixelBits, bool accept, bool& corrupt)
      : reader_(reader),
        writer_(writer),
        progress_(progress),
        t_(tables),
        minCodeSize_(minCodeSize),
        clearCode_(1 << minCodeSize),
        endCode_(clearCode_ + 1),
        firstFree_(clearCode_ + 2),
        pixelMask_((1u << std::clamp(pixelBits, 1, 8)) - 1),
        accept_(accept),
        corrupt_(corrupt) {
    ResetCodeWidth();
    next_ = firstFree_;
  }

  // The main loop; Direct8 writes strings that fit in the current row straight into it.
  template <bool Direct8>
  void Run() {
    int code = reader_.NextCode();
    while (code != endCode_ && code != TCodeReader::NoMoreData && !writer_.Finished()) {
      if (code == clearCode_) {
        Clear();
      } else if (!hasPrevious_) {
        // The first code after a clear (or of a stream without one) is a literal and defines
        // no table entry; a table code here has nothing to refer to.
        if (code >= clearCode_) {
          if (!accept_) throw EInvalidGraphicOperation(SGIFDataCorrupt);
          corrupt_ = true;
          break;
        }
        first_ = static_cast<uint32_t>(code);
        writer_.PutPixel(first_ & pixelMask_);
        previous_ = code;
        hasPrevious_ = true;
      } else if (corrupt_) {
        // A clamped code size marks the data corrupt: past the literal after a clear code, nothing
        // is decoded.
        break;
      } else {
        if (!(Direct8 && WriteDirect(code)) && !WriteThroughStack(code)) break;
        AddEntry();
        previous_ = code;
      }
      code = reader_.NextCode();
      progress_.Running();
    }
  }

 private:
  void ResetCodeWidth() {
    width_ = minCodeSize_ + 1;
    capacity_ = 1 << width_;
    reader_.SetWidth(width_);
  }

  void Clear() {
    // Entries defined since the last clear lose their known lengths; their prefix and suffix
    // stay, as a code above the next free one may still walk them.
    if (next_ > firstFree_) std::memset(&t_.Length[firstFree_], 0, (next_ - firstFree_) * sizeof(uint16_t));
    ResetCodeWidth();
    next_ = firstFree_;
    hasPrevious_ = false;
    full_ = false;
  }

  // Length of the string of Code when it is known, else 0.
  int KnownLength(int code) const { return code < clearCode_ ? 1 : t_.Length[code]; }

  // Writes the string of Code backwards ending at Last; returns its first pixel.
  uint32_t WriteStringBackwards(uint32_t code, uint8_t* last) const {
    while (code >= static_cast<uint32_t>(clearCode_)) {
      *last-- = static_cast<uint8_t>(t_.Suffix[code] & pixelMask_);
      code = t_.Prefix[code];
    }
    *last = static_cast<uint8_t>(code & pixelMask_);
    return code;
  }

  // The fast path: a string of known length that fits in the rest of the current row.
  bool WriteDirect(int code) {
    const bool defined = code < next_;
    const int base = KnownLength(defined ? code : previous_);
    if (base == 0) return false;
    const int length = defined ? base : base + 1;
    if (length > writer_.RowRemaining()) return false;
    uint8_t* out = writer_.RowCursor();
    if (defined) {
      first_ = WriteStringBackwards(code, out + length - 1);
    } else {
      out[length - 1] = static_cast<uint8_t>(first_ & pixelMask_);
      first_ = WriteStringBackwards(previous_, out + length - 2);
    }
    writer_.Advance(length);
    return true;
  }

  // The general path: the string is collected on the stack, last pixel first, with a bound on
  // the walk so that looping tables cannot run away. Returns false when the data is corrupt.
  bool WriteThroughStack(int code) {
    int depth = 0;
    uint32_t chain;
    if (code >= next_) {
      t_.Stack[depth++] = static_cast<uint16_t>(first_);
      chain = previous_;
    } else {
      chain = code;
    }
    while (chain >= static_cast<uint32_t>(clearCode_)) {
      if (depth > kStackLimit) {
        if (!accept_) throw EInvalidGraphicOperation(SGIFDataCorrupt);
        corrupt_ = true;
        return false;
      }
      t_.Stack[depth++] = t_.Suffix[chain];
      chain = t_.Prefix[chain];
    }
    first_ = chain;
    t_.Stack[depth++] = static_cast<uint16_t>(first_);
    while (depth > 0) writer_.PutPixel(t_.Stack[--depth] & pixelMask_);
    return true;
  }

  void AddEntry() {
    if (full_) return;
    t_.Prefix[next_] = static_cast<uint16_t>(previous_);
    t_.Suffix[next_] = static_cast<uint16_t>(first_);
    const int base = KnownLength(previous_);
    t_.Length[next_] = static_cast<uint16_t>(base == 0 ? 0 : base + 1);
    if (++next_ == capacity_) {
      if (width_ < kMaxCodeWidth) {
        ++width_;
        capacity_ <<= 1;
        reader_.SetWidth(width_);
      } else {
        full_ = true;
      }
    }
  }

  TCodeReader& reader_;
  TPixelWriter& writer_;
  TProgressReporter& progress_;
  TCodeTables& t_;
  const int minCodeSize_;
  const int clearCode_;
  const int endCode_;
  const int firstFree_;
  // Literals are the codes below the clear code; values wider than a pixel keep their low bits.
  const uint32_t pixelMask_;
  const bool accept_;
  bool& corrupt_;

  int width_ = 0;
  int capacity_ = 0;
  int next_ = 0;
  int previous_ = 0;
  uint32_t first_ = 0;
  bool hasPrevious_ = false;  // a code has been decoded since the last clear
  bool full_ = false;
};

// Code sizes up to 11 leave room for the clear and end codes among the 12-bit codes; encoders
// write sizes above 8 for images of few colours, and the pixels keep their low bits.
constexpr int kMinCodeSize = 2;
constexpr int kMaxCodeSize = 11;

int ReadMinimumCodeSize(TStream& codes, bool accept, bool& corrupt) {
  const int size = codes.ReadByte();
  if (size >= kMinCodeSize && size <= kMaxCodeSize) return size;
  if (!accept) throw EInvalidGraphicOperation(SGIFCodeSizeRange);
  corrupt = true;
  return std::clamp(size, kMinCodeSize, kMaxCodeSize);
}

}  // namespace

void DecodeLZW(TStream& Codes, int Width, int Height, int Depth, bool Interlaced, TDecodeProgressHook Hook,
               TGraphic* HookOwner, bool& Corrupt, uint8_t* Pixels, bool AcceptCorruptData, int ClipWidth,
               int ClipHeight) {
  Corrupt = false;
  if (Hook != nullptr) Hook(HookOwner, psStarting, 0, std::string());
  try {
    const int minCodeSize = ReadMinimumCodeSize(Codes, AcceptCorruptData, Corrupt);
    // Value-initialised: entries never defined read as prefix 0, suffix 0.
    auto tables = std::make_unique<TCodeTables>();
    TCodeReader reader(Codes);
    TPixelWriter writer(Pixels, Width, Height, Depth, Interlaced, ClipWidth, ClipHeight);
    TProgressReporter progress(Hook, HookOwner, reader);
    TLZWDecoder decoder(reader, writer, progress, *tables, minCodeSize, Depth, AcceptCorruptData, Corrupt);
    if (Depth == 8)
      decoder.Run<true>();
    else
      decoder.Run<false>();
  } catch (const std::exception& e) {
    if (Hook != nullptr) Hook(HookOwner, psEnding, 0, e.what());
    throw;
  }
  if (Hook != nullptr) Hook(HookOwner, psEnding, 100, std::string());
}

}  // namespace lumivane
