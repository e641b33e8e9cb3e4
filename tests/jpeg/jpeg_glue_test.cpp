// The libjpeg glue on its own: the error manager and the stream data source.
#include <cstring>

#include <gtest/gtest.h>
#include <jerror.h>

#include "framework/exception.h"
#include "framework/memory_stream.h"
#include "jpeg_test_images.h"
#include "picture/jpeg_error_manager.h"
#include "picture/jpeg_stream_source.h"

namespace lumivane {
namespace {

// A memory stream that records the size of every read request.
class RecordingStream : public TMemoryStream {
 public:
  int64_t Read(void* buffer, int64_t count) override {
    Requests.push_back(count);
    return TMemoryStream::Read(buffer, count);
  }
  std::vector<int64_t> Requests;
};

// A decompression record with the program's error manager reading from a stream.
class Decompressor {
 public:
  explicit Decompressor(TStream& stream) {
    std::memset(&info, 0, sizeof info);
    info.err = SetUpJpegErrorManager(errors);
    jpeg_create_decompress(&info);
    AttachJpegStreamSource(&info, stream);
  }
  ~Decompressor() { jpeg_destroy_decompress(&info); }

  // Decodes every row; returns the rows read.
  int DecodeAll() {
    jpeg_read_header(&info, TRUE);
    jpeg_start_decompress(&info);
    std::vector<JSAMPLE> row(info.output_width * info.output_components);
    int rows = 0;
    while (info.output_scanline < info.output_height) {
      JSAMPROW p = row.data();
      rows += jpeg_read_scanlines(&info, &p, 1);
    }
    jpeg_finish_decompress(&info);
    return rows;
  }

  jpeg_error_mgr errors;
  jpeg_decompress_struct info;
};

std::string MessageFor(int code) { return "JPEG error #" + std::to_string(code); }

TEST(JpegErrorManager, FailuresRaiseEJpegWithTheLibraryMessageCode) {
  TMemoryStream empty;
  {
    Decompressor d(empty);
    try {
      jpeg_read_header(&d.info, TRUE);
      FAIL() << "an empty source must fail";
    } catch (const EJPEG& e) {
      EXPECT_EQ(e.Message, MessageFor(JERR_INPUT_EMPTY));
    }
  }
  auto notJpeg = StreamOf({'B', 'M', 0, 0, 0, 0, 0, 0});
  {
    Decompressor d(*notJpeg);
    try {
      jpeg_read_header(&d.info, TRUE);
      FAIL() << "data without a start-of-image marker must fail";
    } catch (const EInvalidGraphic& e) {  // EJPEG is a kind of EInvalidGraphic
      EXPECT_EQ(e.Message, MessageFor(JERR_NO_SOI));
      EXPECT_STREQ(e.ClassName(), "EJPEG");
    }
  }
}

TEST(JpegErrorManager, MessageOperationsAreSilentAndResetClearsTheCode) {
  jpeg_error_mgr manager;
  SetUpJpegErrorManager(manager);
  jpeg_decompress_struct info;
  std::memset(&info, 0, sizeof info);
  info.err = &manager;
  manager.msg_code = JWRN_JPEG_EOF;
  char text[JMSG_LENGTH_MAX] = "unchanged";
  manager.format_message(reinterpret_cast<j_common_ptr>(&info), text);
  EXPECT_STREQ(text, "");
  manager.emit_message(reinterpret_cast<j_common_ptr>(&info), -1);  // would print a warning
  manager.output_message(reinterpret_cast<j_common_ptr>(&info));
  manager.reset_error_mgr(reinterpret_cast<j_common_ptr>(&info));
  EXPECT_EQ(manager.msg_code, 0);
  // Every decoder gets its own copy: changing one leaves the template alone.
  EXPECT_EQ(JpegErrorManagerTemplate().msg_code, 0);
  EXPECT_EQ(JpegErrorManagerTemplate().error_exit, manager.error_exit);
}

TEST(JpegStreamSource, ReadsInBlocksOf4096FromTheStreamPosition) {
  JpegOptions options;
  options.Width = 600;
  options.Height = 200;
  std::vector<uint8_t> jpeg = MakeJpeg(options);
  ASSERT_GT(jpeg.size(), 2 * JpegSourceBlockSize);
  RecordingStream stream;
  std::vector<uint8_t> prefixed = {1, 2, 3};
  prefixed.insert(prefixed.end(), jpeg.begin(), jpeg.end());
  stream.Assign(prefixed);
  stream.SetPosition(3);
  Decompressor d(stream);
  EXPECT_EQ(d.DecodeAll(), 200);
  EXPECT_EQ(stream.Position(), stream.Size());
  ASSERT_FALSE(stream.Requests.empty());
  for (int64_t request : stream.Requests) EXPECT_EQ(request, 4096);
}

TEST(JpegStreamSource, DataEndingEarlyFinishesWithAnEndMarkerInsteadOfAnError) {
  JpegOptions options;
  options.Width = 128;
  options.Height = 128;
  std::vector<uint8_t> jpeg = MakeJpeg(options);
  for (size_t keep : {jpeg.size() - 2, jpeg.size() / 2, size_t(700)}) {
    auto stream = StreamOf(std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + keep));
    Decompressor d(*stream);
    EXPECT_EQ(d.DecodeAll(), 128) << "cut at " << keep;
    EXPECT_EQ(stream->Position(), static_cast<int64_t>(keep)) << "cut at " << keep;
  }
}

TEST(JpegStreamSource, SkippingPastTheEndOfTheDataIsSafe) {
  // An application marker whose length runs past the end of the data: libjpeg skips it through
  // the source, which must keep supplying end markers instead of reading past its buffer.
  std::vector<uint8_t> bytes = {0xFF, 0xD8, 0xFF, 0xE1, 0x7F, 0xFF, 'x', 'y'};
  auto stream = StreamOf(bytes);
  Decompressor d(*stream);
  EXPECT_THROW(jpeg_read_header(&d.info, TRUE), EJPEG);
}

}  // namespace
}  // namespace lumivane
