// Turns fuzz input into a table and side file in memory. Layout: a flag byte (bit 0: a
// protected table, bit 1: open read-only), a 4-byte length L, L bytes of the table file and
// the side file after them, both as plain bytes; a protected table gets the password's
// digest and is enciphered, so the fuzzer mutates what the engine deciphers.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "storage/cipher.h"
#include "storage/format.h"
#include "storage/memory_file.h"

namespace fuzzing {

inline constexpr char kPassword[] = "kestrova907";

struct TableInput {
  bool protected_table = false;
  bool read_only = false;
  std::string rest;  // bytes after the two files (operations)
};

inline bool load_table_input(const uint8_t* data, size_t size, storage::MemoryFileSystem& fs,
                             TableInput* in, size_t side_limit = SIZE_MAX) {
  if (size < 5) return false;
  in->protected_table = data[0] & 1;
  in->read_only = data[0] & 2;
  uint32_t len;
  std::memcpy(&len, data + 1, 4);
  size_t body = size - 5;
  if (len > body) len = static_cast<uint32_t>(body);
  std::string table(reinterpret_cast<const char*>(data + 5), len);
  std::string side(reinterpret_cast<const char*>(data + 5 + len), body - len);
  if (side.size() > side_limit) {
    in->rest = side.substr(side_limit);
    side.resize(side_limit);
  }
  std::string_view pw = in->protected_table ? kPassword : "";
  if (in->protected_table && table.size() >= 61) {
    std::memcpy(table.data(), storage::kProtectedMagic, 4);
    std::string digest = storage::password_digest(kPassword);
    std::memcpy(table.data() + storage::kDigestOffset, digest.data(), 32);
    table[60] = 0;
  }
  storage::PageCipher(pw, storage::kCipherStart)
      .transform(0, reinterpret_cast<uint8_t*>(table.data()), table.size());
  storage::PageCipher(pw, storage::kCipherStart)
      .transform(0, reinterpret_cast<uint8_t*>(side.data()), side.size());
  fs.add("/t.edb", std::move(table));
  fs.add("/t.EDT", std::move(side));
  fs.max_length = 8 << 20;
  return true;
}

}  // namespace fuzzing
