// The naming rule of table aliases.
#pragma once

#include <string_view>

namespace storage {

// A letter (half- or full-width) or a Chinese character first, then letters, digits
// (half- or full-width) or Chinese characters; GBK bytes.
bool is_valid_alias(std::string_view alias);

}  // namespace storage
