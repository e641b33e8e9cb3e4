#pragma once
// A libjpeg data source that reads the compressed bytes through a TStream, in blocks of 4096 bytes
// (a plain memory stream's bytes are handed out in place, all at once).
// When the stream ends before the image does, an end-of-image marker is supplied so that decoding
// finishes with what was there (libjpeg's warning is dropped by the error manager); a stream that is
// empty from the start is an error (JERR_INPUT_EMPTY).
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

namespace lumivane {

class TStream;

inline constexpr size_t JpegSourceBlockSize = 4096;

// Makes `stream` the data source of `cinfo`, reading from the stream's current position. The
// source's memory belongs to the decompression record; the stream must outlive its use.
void AttachJpegStreamSource(j_decompress_ptr cinfo, TStream& stream);

}  // namespace lumivane
