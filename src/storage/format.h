// The on-disk layout of EDB table files and their side files.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

namespace storage {

inline constexpr int kHeaderSize = 112;
inline constexpr int kFieldCountOffset = 112;
inline constexpr int kDescriptorsOffset = 116;
inline constexpr int kDescriptorSize = 72;
inline constexpr int kRecordCountOffset = 16;
inline constexpr int kRecordSizeOffset = 24;
inline constexpr int kDigestOffset = 28;
inline constexpr int32_t kFormatVersion = 65536;
inline constexpr int kCipherStart = 4;

inline constexpr int kBlockSize = 512;
inline constexpr int kBlockHeaderSize = 12;
inline constexpr int kBlockData = 500;
inline constexpr int kSideHeaderSize = 32;

inline constexpr char kPlainMagic[4] = {'W', 'E', 'D', 'B'};
inline constexpr char kProtectedMagic[4] = {'W', 'C', 'D', 'B'};
inline constexpr char kSideMagic[4] = {'W', 'E', 'D', 'T'};

enum FieldType : int32_t {
  kByte = 1,
  kShort = 2,
  kInteger = 3,
  kLong = 4,
  kSingle = 5,
  kDouble = 6,
  kBoolean = 7,
  kDateTime = 8,
  kRoutine = 9,
  kText = 10,
  kByteString = 11,
  kMemo = 12,
};

inline constexpr double kDateMin = -657434.0;
inline constexpr double kDateMax = 2958465.0;

struct FieldDescriptor {
  std::string name;  // host bytes, without the terminating 0
  int32_t type = 0;
  int32_t offset = 0;
  int32_t size = 0;  // as stored; the width of a text field
  unsigned char raw[kDescriptorSize] = {};
};

// Bytes a field takes in a record: `size` for text, the type's width otherwise (0 for an
// unknown type).
int32_t field_width(int32_t type, int32_t size);
inline bool is_chain_type(int32_t type) {
  return type == kByteString || type == kMemo;
}

inline int32_t get_i32(const unsigned char* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return static_cast<int32_t>(v);  // little-endian hosts only
}
inline void put_i32(unsigned char* p, int32_t v) {
  std::memcpy(p, &v, 4);
}

}  // namespace storage
