// The GIF stream reader: header, blocks, frames, comments, loop settings and failures.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "framework/exception.h"
#include "framework/memory_stream.h"
#include "gif/gif_reader.h"
#include "gif_test_data.h"
#include "picture/bitmap.h"

namespace lumivane {
namespace {

using test::Bytes;
using test::GifBuilder;
using test::LoadGif;

// A 2x2 image of four colours coded with min size 2.
Bytes TinyCodes() { return test::CodeData(Bytes{0, 1, 2, 3}, 2); }

GifBuilder WithScreen(const std::string& signature = "GIF89a") {
  GifBuilder gif;
  gif.Header(signature).Screen(2, 2, test::Palette(4), 1, 49);
  return gif;
}

template <typename E>
std::string MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const E& e) {
    return e.what();
  }
  return "(no exception)";
}

TEST(GifReaderTest, EmptyAndHeaderOnlyData) {
  auto empty = LoadGif(Bytes{});
  EXPECT_EQ(empty->FrameCount(), 0);
  EXPECT_EQ(empty->ActiveFrameIndex, -1);
  EXPECT_TRUE(empty->IsEmpty());
  EXPECT_EQ(empty->ImageWidth(), 0);
  EXPECT_EQ(empty->FormatVersion(), 0);

  auto headerOnly = LoadGif(WithScreen().Trailer().Data());
  EXPECT_EQ(headerOnly->FrameCount(), 0);
  EXPECT_EQ(headerOnly->FormatVersion(), 2);
  EXPECT_EQ(headerOnly->LogicalWidth(), 0);  // 0 while empty
  EXPECT_EQ(headerOnly->Data().PixelAspect, 49);
  EXPECT_EQ(headerOnly->Data().ColorBits, 2);
  EXPECT_EQ(headerOnly->BackColor(), 8 | (15 << 8) | (34 << 16));  // entry 1 as a colour
  EXPECT_FALSE(headerOnly->LoopEnabled());
  EXPECT_EQ(headerOnly->LoopCount(), 1);
}

TEST(GifReaderTest, SignatureAndVersionIgnoreLetterCase) {
  EXPECT_EQ(LoadGif(WithScreen("gif87A").Trailer().Data())->FormatVersion(), 1);
  EXPECT_EQ(LoadGif(WithScreen("GiF89A").Trailer().Data())->FormatVersion(), 2);
  for (const char* bad : {"GIF88a", "JIF89a", "GI"}) {
    GifBuilder gif;
    gif.Header(bad);
    const Bytes data = gif.Data();
    EXPECT_EQ(MessageOf<EInvalidGraphicOperation>([&] { LoadGif(data); }), "Unknown GIF version") << bad;
  }
}

TEST(GifReaderTest, LoopBlocks) {
  auto zero = LoadGif(WithScreen().Loop(0).Image(0, 0, 2, 2, TinyCodes()).Trailer().Data(), false);
  EXPECT_TRUE(zero->LoopEnabled());
  EXPECT_EQ(zero->LoopCount(), 0);
  auto clamped = LoadGif(WithScreen().Loop(40000).Trailer().Data(), false);
  EXPECT_EQ(clamped->LoopCount(), 30000);
  auto other = LoadGif(WithScreen().Loop(7, "ANIMEXTS1.0").Trailer().Data(), false);
  EXPECT_EQ(other->LoopCount(), 7);
  // Not loop blocks: another identifier, a first byte other than 1.
  EXPECT_FALSE(LoadGif(WithScreen().Loop(5, "XMP DataXMP").Trailer().Data())->LoopEnabled());
  EXPECT_FALSE(LoadGif(WithScreen().Application("NETSCAPE2.0", {2, 5, 0}).Trailer().Data())->LoopEnabled());
}

TEST(GifReaderTest, LoopBlockIdentifierLengthIsBounded) {
  TExtension block(ExtApplication);
  block.LinesNeeded().Add(std::string("\x01\x03\x00", 3));
  std::memcpy(block.Header + 1, "NETSCAPE2.0", 11);
  block.Header[0] = 11;
  EXPECT_TRUE(TGIFReader::IsLoopBlock(block));
  block.Header[0] = 4;  // only "NETS" compared
  EXPECT_TRUE(TGIFReader::IsLoopBlock(block));
  block.Header[0] = 0;  // nothing compared
  EXPECT_TRUE(TGIFReader::IsLoopBlock(block));
  block.Header[0] = 200;  // longer than the identifier held: never a loop block
  EXPECT_FALSE(TGIFReader::IsLoopBlock(block));
  // A stated size of 200 in the file must not make the reader run past the block.
  auto image = LoadGif(
      WithScreen().Raw(Bytes{0x21, 0xFF, 200}).Raw("NETSCAPE2.0").Raw(Bytes{3, 1, 9, 0, 0}).Trailer().Data());
  EXPECT_FALSE(image->LoopEnabled());
}

TEST(GifReaderTest, GraphicControlBlocks) {
  // Two blocks before one image: delays 5 and 20 (the larger wins, in milliseconds), the second
  // decides transparency (index 2) and disposal (3).
  auto image = LoadGif(WithScreen()
                           .GraphicControl(5, false, 0, 1)
                           .GraphicControl(20, true, 2, 3)
                           .Image(0, 0, 2, 2, TinyCodes())
                           .Trailer()
                           .Data());
  ASSERT_EQ(image->FrameCount(), 1);
  TGIFFrame& frame = *image->FrameAt(0);
  EXPECT_EQ(frame.DelayTime, 200);
  EXPECT_EQ(frame.DisposalMethod, 3);
  EXPECT_EQ(frame.TransparentColor, 15 | (28 << 8) | (65 << 16));
  EXPECT_TRUE(image->Transparent());

  // An index past the colour count leaves no transparency; a delay over 6553 wraps.
  auto outOfRange =
      LoadGif(WithScreen().GraphicControl(6600, true, 9, 0).Image(0, 0, 2, 2, TinyCodes()).Data());
  EXPECT_EQ(outOfRange->FrameAt(0)->TransparentColor, clNone);
  EXPECT_EQ(outOfRange->FrameAt(0)->DelayTime, 66000 % 65536);
  EXPECT_FALSE(outOfRange->Transparent());
}

TEST(GifReaderTest, CommentsAndPlainText) {
  auto image = LoadGif(WithScreen()
                           .Comment({"frame note"})
                           .GraphicControl(3, false, 0, 0)
                           .Image(0, 0, 2, 2, TinyCodes())
                           .Comment({"one", "two"})
                           .Comment({"three"})
                           .Trailer()
                           .Data());
  ASSERT_EQ(image->FrameCount(), 1);
  TStringList& frameComments = image->FrameAt(0)->Comments();
  ASSERT_EQ(frameComments.Count(), 1);
  EXPECT_EQ(frameComments.Strings(0), "frame note");
  TStringList& comment = image->CommentLines();
  ASSERT_EQ(comment.Count(), 4);
  EXPECT_EQ(comment.Strings(0), "one");
  EXPECT_EQ(comment.Strings(1), "two");
  EXPECT_EQ(comment.Strings(2), "\r\n\r\n");
  EXPECT_EQ(comment.Strings(3), "three");

  // A plain text block drops the blocks read before it in the same run.
  auto plain = LoadGif(WithScreen()
                           .Comment({"lost"})
                           .GraphicControl(50, true, 1, 2)
                           .PlainText()
                           .Image(0, 0, 2, 2, TinyCodes())
                           .Trailer()
                           .Data());
  TGIFFrame& frame = *plain->FrameAt(0);
  EXPECT_FALSE(frame.ExtensionList);
  EXPECT_EQ(frame.DelayTime, 0);
  EXPECT_EQ(frame.TransparentColor, clNone);
}

TEST(GifReaderTest, FramesAndDescriptors) {
  const Bytes local = test::Palette(8);
  auto image = LoadGif(GifBuilder()
                           .Header()
                           .Screen(7, 5, test::Palette(4))
                           .Image(0, 0, 0, 0, test::CodeData(Bytes(35, 1), 2))  // zero size
                           .Image(3, 1, 2, 2, test::CodeData(Bytes{7, 6, 5, 4}, 3), local, true)
                           .Data(),  // no trailer
                       false);
  ASSERT_EQ(image->FrameCount(), 2);
  EXPECT_EQ(image->ActiveFrameIndex, 0);
  TGIFFrame& first = *image->FrameAt(0);
  EXPECT_EQ(first.SharedItem->ImageSize.Width, 7);
  EXPECT_EQ(first.SharedItem->ImageSize.Height, 5);
  EXPECT_EQ(first.SharedItem->ColorBits, 2);
  EXPECT_EQ(first.SharedItem->Colors.Count, 4);
  EXPECT_FALSE(first.HasLocalColors);
  EXPECT_EQ(first.BitmapIfAny(), nullptr);  // not decoded
  TGIFFrame& second = *image->FrameAt(1);
  EXPECT_EQ(second.Origin, (TPoint{3, 1}));
  EXPECT_TRUE(second.InterlaceFlag);
  EXPECT_TRUE(second.HasLocalColors);
  EXPECT_EQ(second.SharedItem->ColorBits, 3);
  EXPECT_EQ(second.SharedItem->DescriptorFlags, 0x80 | 0x40 | 2);
  EXPECT_EQ(second.SharedItem->Colors.Count, 8);
  EXPECT_EQ(second.SharedItem->Colors.Entries[7][2], local[7 * 3 + 2]);
  // Coded data as in the file: code size byte, blocks, terminator.
  const Bytes codes = test::CodeData(Bytes{7, 6, 5, 4}, 3);
  TMemoryStream& stored = *second.SharedItem->CodeData;
  EXPECT_EQ(Bytes(stored.Memory(), stored.Memory() + stored.Size()), codes);
  EXPECT_EQ(stored.Position(), 0);
}

TEST(GifReaderTest, NoColourTableAnywhere) {
  const Bytes data = GifBuilder().Header().Screen(2, 2).Image(0, 0, 2, 2, TinyCodes()).Data();
  auto coded = LoadGif(data, false);
  ASSERT_EQ(coded->FrameCount(), 1);
  EXPECT_EQ(coded->FrameAt(0)->SharedItem->Colors.Count, 0);
  EXPECT_EQ(coded->FrameAt(0)->SharedItem->ColorBits, 0);
  EXPECT_EQ(TGIFReader::ColorCountToBits(256), 8);
  EXPECT_THROW(TGIFReader::ColorCountToBits(100), EInvalidGraphicOperation);
  // The frame is shown with a default table: the screen's 1-bit table size gives black and
  // white (TinyCodes holds pixels 0, 1, 2, 3, kept to their low bit).
  auto image = LoadGif(data);
  ASSERT_EQ(image->FrameCount(), 1);
  EXPECT_EQ(test::BitmapColors(image->FrameAt(0)->FrameBitmap()),
            (std::vector<uint32_t>{0x000000, 0xFFFFFF, 0x000000, 0xFFFFFF}));
}

TEST(GifReaderTest, DataCutInsideTheLastImage) {
  // Code data in blocks of 10 bytes, cut in the middle of the second block.
  Bytes blocks{2};
  const Bytes small = test::SubBlocks(test::LzwEncode(test::PatternPixels(400, 4, 1), 2), 10);
  blocks.insert(blocks.end(), small.begin(), small.end());
  Bytes data = WithScreen().Image(0, 0, 20, 20, blocks).Data();
  const size_t headerBytes = 6 + 7 + 12 + 10 + 1;
  data.resize(headerBytes + 11 + 5);  // one whole block, then half of the next
  auto image = LoadGif(data);
  ASSERT_EQ(image->FrameCount(), 1);
  TGIFFrame& frame = *image->FrameAt(0);
  EXPECT_TRUE(frame.DataCorrupt);
  TMemoryStream& stored = *frame.SharedItem->CodeData;
  EXPECT_EQ(Bytes(stored.Memory(), stored.Memory() + stored.Size()),
            Bytes(blocks.begin(), blocks.begin() + 12));
  // The frame's bitmap holds its part on the 2 x 2 screen.
  EXPECT_EQ(image->ImageWidth(), 2);

  // Refused when corrupt data is not accepted.
  AcceptCorruptData = false;
  EXPECT_EQ(MessageOf<EInvalidGraphicOperation>([&] { LoadGif(data); }), "Stream read error");
  AcceptCorruptData = true;
}

TEST(GifReaderTest, Failures) {
  // A stray byte after the header is an error, after an image it ends the reading quietly.
  EXPECT_EQ(MessageOf<EInvalidGraphicOperation>([] { LoadGif(WithScreen().Raw("x;").Data()); }),
            "Stream read error");
  auto quiet =
      LoadGif(WithScreen().Image(0, 0, 2, 2, TinyCodes()).Raw("x").Image(0, 0, 2, 2, TinyCodes()).Data());
  EXPECT_EQ(quiet->FrameCount(), 1);
  // Zero bytes where a block is expected are skipped.
  EXPECT_EQ(LoadGif(WithScreen().Raw(Bytes{0, 0, 0}).Image(0, 0, 2, 2, TinyCodes()).Data())->FrameCount(), 1);
  // Data ending inside an image descriptor or its colour table.
  Bytes cut = WithScreen().Image(0, 0, 2, 2, TinyCodes(), test::Palette(4)).Data();
  cut.resize(6 + 7 + 12 + 6);
  EXPECT_EQ(MessageOf<EReadError>([&] { LoadGif(cut); }), "Stream read error");
  cut = WithScreen().Image(0, 0, 2, 2, TinyCodes(), test::Palette(4)).Data();
  cut.resize(6 + 7 + 12 + 10 + 5);
  EXPECT_EQ(MessageOf<EReadError>([&] { LoadGif(cut); }), "Stream read error");
  // A length beyond what the stream holds.
  TGIFImage image;
  TMemoryStream stream;
  stream.Assign(Bytes{'G', 'I', 'F'});
  EXPECT_THROW(image.ParseGIFData(10, stream, true), EReadError);
  // Sizes cannot be set.
  EXPECT_EQ(MessageOf<EInvalidGraphicOperation>([&] { image.SetImageWidth(3); }),
            "Cannot change the Size of a GIF image");
  EXPECT_THROW(image.SetImageHeight(3), EInvalidGraphicOperation);
}

TEST(GifReaderTest, StoredDataAndChangeSignal) {
  const Bytes gif = WithScreen().Image(0, 0, 2, 2, TinyCodes()).Trailer().Data();
  TMemoryStream stream;
  stream.WriteDWord(static_cast<uint32_t>(gif.size()));
  stream.WriteBuffer(gif.data(), static_cast<int64_t>(gif.size()));
  stream.WriteByte(0x77);  // what follows the property is not read
  stream.SetPosition(0);
  TGIFImage image;
  int changes = 0;
  image.OnChange = [&](TObject* sender) {
    EXPECT_EQ(sender, &image);
    ++changes;
  };
  image.ReadStoredData(stream);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(stream.Position(), static_cast<int64_t>(4 + gif.size()));
  EXPECT_EQ(image.FrameCount(), 1);
  EXPECT_NE(image.FrameAt(0)->BitmapIfAny(), nullptr);  // frame 0 decoded
  EXPECT_EQ(image.LogicalWidth(), 2);
  // A failing read signals nothing.
  TMemoryStream bad;
  bad.Assign(Bytes{'G', 'I', 'F', '9', '9', 'a'});
  EXPECT_THROW(image.ReadFromStream(bad), EInvalidGraphicOperation);
  EXPECT_EQ(changes, 1);
}

}  // namespace
}  // namespace lumivane
