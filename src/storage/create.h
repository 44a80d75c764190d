// Making new tables: for fixtures, the sample toolbox and the `edb create` command. The
// manager itself never creates a table.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace storage {

struct NewField {
  std::string name;  // host bytes, at most 16
  int32_t type = 0;  // 1 ... 12
  int32_t size = 0;  // width of a text field
};

// Writes the table file at `path` (".EDB" appended when it has no extension) and, when a
// field holds a byte string or memo, its side file. Fails (with a reason in *error) when a
// field is malformed or a file already exists.
bool create_table(const std::string& path, const std::vector<NewField>& fields,
                  std::string_view password, std::string* error);

// The bytes of such a table and its side file (empty when it has none), as created.
bool make_table_bytes(const std::vector<NewField>& fields, std::string_view password,
                      std::string* table, std::string* side, std::string* error);

}  // namespace storage
