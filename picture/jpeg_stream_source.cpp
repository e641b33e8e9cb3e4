#include "picture/jpeg_stream_source.h"

#include <jerror.h>

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

boolean FillInputBuffer(j_decompress_ptr cinfo) {
  StreamSource* source = SourceOf(cinfo);
  int64_t count = source->Stream->Read(source->Buffer, JpegSourceBlockSize);
  if (count <= 0) {
    if (source->StartOfFile) ERREXIT(cinfo, JERR_INPUT_EMPTY);
    WARNMS(cinfo, JWRN_JPEG_EOF);
    // An end-of-image marker lets the decoder finish with the rows it has.
    source->Buffer[0] = 0xFF;
    source->Buffer[1] = JPEG_EOI;
    count = 2;
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
  source->Base.fill_input_buffer = FillInputBuffer;
  source->Base.skip_input_data = SkipInputData;
  source->Base.resync_to_restart = jpeg_resync_to_restart;
  source->Base.term_source = TermSource;
  source->Base.bytes_in_buffer = 0;
  source->Base.next_input_byte = nullptr;
  source->Stream = &stream;
  source->StartOfFile = true;
}

}  // namespace lumivane
