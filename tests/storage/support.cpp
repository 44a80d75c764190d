#include "support.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "storage/check.h"
#include "storage/cipher.h"
#include "storage/format.h"

namespace storage::testing {

std::vector<NewField> tool_fields() {
  return {
      {"\xb9\xa4\xbe\xdf\xc3\xfb", kText, 260},                                  // 工具名
      {"\xc2\xb7\xbe\xb6", kText, 260},                                          // 路径
      {"\xc4\xbf\xc2\xbc", kText, 260},                                          // 目录
      {"\xcb\xb5\xc3\xf7", kMemo, 0},                                            // 说明
      {"\xcd\xbc\xb1\xea", kByteString, 0},                                      // 图标
      {"\xb4\xa6\xc0\xed\xba\xf3\xb5\xc4\xb9\xa4\xbe\xdf\xc3\xfb", kText, 260},  // 处理后的工具名
      {"\xcd\xbc\xb1\xea"
       "40",
       kByteString, 0},  // 图标40
      {"\xcd\xbc\xb1\xea"
       "48",
       kByteString, 0}};  // 图标48
}

void make_tool_table(const std::string& path, int records) {
  std::string error;
  ASSERT_TRUE(create_table(path, tool_fields(), kPassword, &error)) << error;
  Database db;
  ASSERT_TRUE(db.open_table(path, kPassword));
  for (int i = 0; i < records; ++i) {
    ASSERT_TRUE(db.append_record());
    ASSERT_TRUE(db.write_field(1, Value::text("tool" + std::to_string(i))));
  }
}

TempDir::TempDir() {
  char tmpl[] = "/tmp/storage-test-XXXXXX";
  path_ = mkdtemp(tmpl);
}
TempDir::~TempDir() {
  std::filesystem::remove_all(path_);
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string plain_bytes(const std::string& path, std::string_view password) {
  std::string b = read_file(path);
  PageCipher(password, kCipherStart).transform(0, reinterpret_cast<uint8_t*>(b.data()), b.size());
  return b;
}

void write_enciphered(const std::string& path, std::string plain, std::string_view password) {
  PageCipher(password, kCipherStart)
      .transform(0, reinterpret_cast<uint8_t*>(plain.data()), plain.size());
  write_file(path, plain);
}

::testing::AssertionResult table_is_sound(const std::string& path, std::string_view password) {
  auto problems = check_table(posix_file_system(), path, password);
  if (problems.empty()) return ::testing::AssertionSuccess();
  auto r = ::testing::AssertionFailure();
  for (const auto& p : problems) r << p << "\n";
  return r;
}

std::string pattern(size_t n, int seed) {
  std::string s(n, '\0');
  uint32_t x = 2463534242u + static_cast<uint32_t>(seed) * 7919u;
  for (size_t i = 0; i < n; ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    s[i] = static_cast<char>(x);
  }
  return s;
}

}  // namespace storage::testing
