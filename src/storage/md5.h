// MD5 message digest (RFC 1321).
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace storage {

std::array<uint8_t, 16> md5(std::string_view data);

}  // namespace storage
