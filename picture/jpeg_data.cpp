#include "picture/jpeg_data.h"

namespace lumivane {

TJPEGData::~TJPEGData() = default;

}  // namespace lumivane
