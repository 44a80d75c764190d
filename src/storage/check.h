// The integrity check of a table and its side file: every rule a table must meet to open,
// and the structure of the side file's block chains and free-block list.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "storage/file.h"

namespace storage {

// One line per problem found; empty when the table is sound. The files are only read.
std::vector<std::string> check_table(FileSystem& fs, const std::string& path,
                                     std::string_view password);

}  // namespace storage
