#include "kiln/runtime/memory/buffer.h"

namespace kiln {

const char* BufferTypeName(uint32_t type) {
  switch (type) {
    case KILN_MEM_INVALID: return "Invalid Buffer";
    case KILN_MEM_HEAP: return "Heap Buffer";
    case KILN_MEM_DMA: return "DMA Buffer";
    case 3: return "SVM";
    case 4: return "VTCM";
    default: return type <= 255 ? "User Defined Buffer" : "Illegal Buffer Type";
  }
}

}  // namespace kiln
