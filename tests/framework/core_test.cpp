// The stream and string-list core.
#include <gtest/gtest.h>

#include <vector>

#include <cstring>

#include "framework/exception.h"
#include "framework/memory_stream.h"
#include "framework/string_list.h"
#include "platform/gdi/pixel_memory.h"

namespace lumivane {
namespace {

TEST(StreamCore, ExactReadRaisesWhenDataRunsOutAndCopyFromMovesBytes) {
  TMemoryStream source;
  source.Assign({1, 2, 3, 4, 5});
  uint8_t buffer[8] = {};
  source.ReadBuffer(buffer, 3);
  EXPECT_EQ(0, std::memcmp(buffer, "\x01\x02\x03", 3));
  try {
    source.ReadBuffer(buffer, 3);  // only two bytes remain
    FAIL() << "a short exact read must raise";
  } catch (const EReadError& e) {
    EXPECT_EQ(std::string("Stream read error"), e.Message);
  }

  TMemoryStream target;
  source.SetPosition(1);
  EXPECT_EQ(3, target.CopyFrom(source, 3));
  ASSERT_EQ(3, target.Size());
  EXPECT_EQ(2, target.Memory()[0]);
  EXPECT_EQ(4, target.Memory()[2]);
  // Count 0 copies the whole source from its start.
  TMemoryStream whole;
  EXPECT_EQ(5, whole.CopyFrom(source, 0));
  EXPECT_EQ(5, whole.Memory()[4]);
  // A source shorter than asked raises.
  source.SetPosition(4);
  EXPECT_THROW(target.CopyFrom(source, 2), EReadError);
}

TEST(StreamCore, GrowingAMemoryStreamReadsAsZeroFilledEvenAfterShrinking) {
  TMemoryStream stream;
  const uint8_t bytes[] = {1, 2, 3, 4, 5, 6, 7, 8};
  stream.WriteBuffer(bytes, sizeof bytes);
  stream.SetSize(2);
  stream.SetSize(6);  // the bytes that come back must not show the old contents
  EXPECT_EQ(stream.Size(), 6);
  EXPECT_EQ(std::vector<uint8_t>(stream.Memory(), stream.Memory() + 6),
            (std::vector<uint8_t>{1, 2, 0, 0, 0, 0}));
  stream.SetPosition(10);  // writing past the end leaves a zero gap
  stream.WriteByte(9);
  EXPECT_EQ(stream.Size(), 11);
  EXPECT_EQ(stream.Memory()[8], 0);
  EXPECT_EQ(stream.Memory()[10], 9);
  stream.SetSize(4096 * 1024);  // a large block keeps what was there
  EXPECT_EQ(stream.Memory()[1], 2);
  EXPECT_EQ(stream.Memory()[4096 * 1024 - 1], 0);
}

TEST(StreamCore, ALargeMemoryStreamNeverShowsBytesOfAFreedBlock) {
  // Large blocks are kept for reuse once freed; a stream taking one must still read as zero.
  const std::size_t bytes = std::size_t{6} << 20;
  {
    PixelMemory used(bytes);
    std::memset(used.data(), 0xAB, bytes);
  }
  TMemoryStream stream;
  stream.SetSize(static_cast<int64_t>(bytes));
  std::size_t nonZero = 0;
  for (std::size_t i = 0; i < bytes; ++i) nonZero += stream.Memory()[i] != 0;
  EXPECT_EQ(nonZero, 0u);
}

TEST(StringListCore, SortedAddKeepsCaseInsensitiveOrderAndSkipsDuplicates) {
  TStringList list;
  list.SetSorted(true);
  list.Add("pear");
  list.Add("Apple");
  const int banana = list.Add("banana");
  EXPECT_EQ(1, banana);
  ASSERT_EQ(3, list.Count());
  EXPECT_EQ("Apple", list.Strings(0));
  EXPECT_EQ("banana", list.Strings(1));
  EXPECT_EQ("pear", list.Strings(2));
  list.Add("PEAR");
  EXPECT_EQ(3, list.Count());
  EXPECT_THROW(list.Strings(3), EListError);
}

}  // namespace
}  // namespace lumivane
