// Fixtures for the storage tests: temporary folders and tables made for a test.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "storage/create.h"
#include "storage/database.h"

namespace storage::testing {

inline constexpr char kPassword[] = "kestrova907";

// The eight fields of a tool table, GBK names.
std::vector<NewField> tool_fields();

// Makes a protected tool table at `path` with `records` tools named tool0, tool1, ...
void make_tool_table(const std::string& path, int records);

// A fresh temporary folder, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& bytes);
// Deciphered bytes of a protected file.
std::string plain_bytes(const std::string& path, std::string_view password);
// Writes plain bytes enciphered for `password` (from offset 4 on).
void write_enciphered(const std::string& path, std::string plain, std::string_view password);

// Runs the integrity check; a failure lists the problems.
::testing::AssertionResult table_is_sound(const std::string& path,
                                          std::string_view password = kPassword);

std::string pattern(size_t n, int seed);  // deterministic bytes

}  // namespace storage::testing
