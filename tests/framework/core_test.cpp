// The stream and string-list core.
#include <gtest/gtest.h>

#include <cstring>

#include "framework/exception.h"
#include "framework/memory_stream.h"
#include "framework/string_list.h"

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
