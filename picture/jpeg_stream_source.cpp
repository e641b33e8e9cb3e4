#include "picture/jpeg_stream_source.h"

#include <jerror.h>

#include <typeinfo>

#include "framework/memory_stream.h"
#include "framework/stream.h"

namespace lumivane {
namespace {

struct StreamSource {
  jpeg_source_mgr Base;  // first, so libjpeg's pointer is also ours
  TStream* Stream;
  JOCTET* Buffer;
  bool StartOfFile;  // nothing has been read yet
};

StreamSource* SourceOf(j_decompress_ptr cinfo) { return reinterpret_cast<StreamSource*>(cinfo->src); }

void InitSource(j_decompress_ptr cinfo) { SourceOf(cinfo)->StartOfFile = true; }

// Supplies an end-of-image marker when the data ends before the image does; an empty source is
// an error.
void SupplyEndOfImage(j_decompress_ptr cinfo, StreamSource* source) {
  static const JOCTET EndOfImage[2] = {0xFF, JPEG_EOI};
  if (source->StartOfFile) ERREXIT(cinfo, JERR_INPUT_EMPTY);
  WARNMS(cinfo, JWRN_JPEG_EOF);
  source->Base.next_input_byte = EndOfImage;
  source->Base.bytes_in_buffer = sizeof EndOfImage;
}

// A memory stream hands out the rest of its bytes in one piece, without copying them: the
// decoder's fast path needs a long run of bytes in the buffer and leaves it near every block end.
boolean FillFromMemory(j_decompress_ptr cinfo) {
  StreamSource* source = SourceOf(cinfo);
  auto* stream = static_cast<TMemoryStream*>(source->Stream);
  const int64_t position = stream->Position();
  const int64_t count = stream->Size() - position;
  if (count <= 0) {
    SupplyEndOfImage(cinfo, source);
    return TRUE;
  }
  stream->SetPosition(stream->Size());
  source->Base.next_input_byte = stream->Memory() + position;
  source->Base.bytes_in_buffer = static_cast<size_t>(count);
  source->StartOfFile = false;
  return TRUE;
}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
  StreamSource* source = SourceOf(cinfo);
  int64_t count = source->Stream->Read(source->Buffer, JpegSourceBlockSize);
  if (count <= 0) {
    // An end-of-image marker lets the decoder finish with the rows it has.
    SupplyEndOfImage(cinfo, source);
    return TRUE;
  }
  source->Base.next_input_byte = source->Buffer;
  source->Base.bytes_in_buffer = static_cast<size_t>(count);
  source->StartOfFile = false;
  return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  jpeg_source_mgr* source = cinfo->src;
  while (count > static_cast<long>(source->bytes_in_buffer)) {
    count -= static_cast<long>(source->bytes_in_buffer);
    // Never returns FALSE: the end of the data yields an end-of-image marker.
    source->fill_input_buffer(cinfo);
  }
  source->next_input_byte += count;
  source->bytes_in_buffer -= static_cast<size_t>(count);
}

void TermSource(j_decompress_ptr) {}

}  // namespace

void AttachJpegStreamSource(j_decompress_ptr cinfo, TStream& stream) {
  if (cinfo->src == nullptr) {
    auto* source = static_cast<StreamSource*>((*cinfo->mem->alloc_small)(
        reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(StreamSource)));
    source->Buffer = static_cast<JOCTET*>((*cinfo->mem->alloc_small)(
        reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, JpegSourceBlockSize * sizeof(JOCTET)));
    cinfo->src = &source->Base;
  }
  StreamSource* source = SourceOf(cinfo);
  source->Base.init_source = InitSource;
  // Only a plain memory stream: a derived one may read differently.
  source->Base.fill_input_buffer = typeid(stream) == typeid(TMemoryStream) ? FillFromMemory : FillInputBuffer;
  source->Base.skip_input_data = SkipInputData;
  source->Base.resync_to_restart = jpeg_resync_to_restart;
  source->Base.term_source = TermSource;
  source->Base.bytes_in_buffer = 0;
  source->Base.next_input_byte = nullptr;
  source->Stream = &stream;
  source->StartOfFile = true;
}

}  // namespace lumivane
