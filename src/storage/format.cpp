#include "storage/format.h"

#include <bit>

namespace storage {

static_assert(std::endian::native == std::endian::little, "the file layout is little-endian");

int32_t field_width(int32_t type, int32_t size) {
  switch (type) {
    case kByte:
    case kBoolean:
      return 1;
    case kShort:
      return 2;
    case kInteger:
    case kSingle:
    case kRoutine:
    case kByteString:
    case kMemo:
      return 4;
    case kLong:
    case kDouble:
    case kDateTime:
      return 8;
    case kText:
      return size;
    default:
      return 0;
  }
}

}  // namespace storage
