#include "storage/create.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

#include "storage/cipher.h"
#include "storage/format.h"

namespace storage {
namespace {

bool write_new_file(const std::string& path, const std::string& bytes, std::string* error) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    *error = "cannot create " + path + ": " + std::strerror(errno);
    return false;
  }
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) {
      if (n < 0 && errno == EINTR) continue;
      *error = "cannot write " + path;
      ::close(fd);
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return ::close(fd) == 0;
}

}  // namespace

bool make_table_bytes(const std::vector<NewField>& fields, std::string_view password,
                      std::string* table, std::string* side, std::string* error) {
  if (fields.empty()) {
    *error = "a table needs at least one field";
    return false;
  }
  int64_t offset = 4;
  bool has_chain = false;
  std::string descriptors;
  for (const NewField& f : fields) {
    if (f.name.empty() || f.name.size() > 16 || f.name.find('\0') != std::string::npos) {
      *error = "field names have 1 to 16 bytes";
      return false;
    }
    if (f.type < kByte || f.type > kMemo) {
      *error = "field types are 1 to 12";
      return false;
    }
    if (f.type == kText && (f.size <= 0 || f.size > 65536)) {
      *error = "a text field needs a size of 1 to 65536";
      return false;
    }
    unsigned char d[kDescriptorSize] = {};
    std::memcpy(d, f.name.data(), f.name.size());
    put_i32(d + 20, f.type);
    put_i32(d + 24, static_cast<int32_t>(offset));
    put_i32(d + 28, f.type == kText ? f.size : field_width(f.type, 0));
    descriptors.append(reinterpret_cast<char*>(d), sizeof d);
    offset += field_width(f.type, f.size);
    has_chain = has_chain || is_chain_type(f.type);
  }
  unsigned char h[kHeaderSize] = {};
  std::memcpy(h, password.empty() ? kPlainMagic : kProtectedMagic, 4);
  put_i32(h + 4, kFormatVersion);
  put_i32(h + 16, 0);
  put_i32(h + 20, 1);
  put_i32(h + 24, static_cast<int32_t>(offset));
  if (!password.empty()) {
    std::string digest = password_digest(password);
    std::memcpy(h + kDigestOffset, digest.data(), 32);
  }
  table->assign(reinterpret_cast<char*>(h), sizeof h);
  unsigned char count[4];
  put_i32(count, static_cast<int32_t>(fields.size()));
  table->append(reinterpret_cast<char*>(count), 4);
  table->append(descriptors);
  PageCipher(password, kCipherStart)
      .transform(0, reinterpret_cast<uint8_t*>(table->data()), table->size());
  side->clear();
  if (has_chain) {
    side->assign(kBlockSize, '\0');
    auto* s = reinterpret_cast<unsigned char*>(side->data());
    std::memcpy(s, kSideMagic, 4);
    put_i32(s + 4, kFormatVersion);
    put_i32(s + 16, 1);
    PageCipher(password, kCipherStart).transform(0, s, side->size());
  }
  return true;
}

bool create_table(const std::string& path_in, const std::vector<NewField>& fields,
                  std::string_view password, std::string* error) {
  std::string path = path_in;
  size_t slash = path.rfind('/');
  size_t dot = path.rfind('.');
  bool has_ext = dot != std::string::npos && (slash == std::string::npos || dot > slash);
  if (!has_ext) path += ".EDB";
  std::string table, side;
  if (!make_table_bytes(fields, password, &table, &side, error)) return false;
  if (!side.empty()) {
    size_t d = path.rfind('.');
    std::string ext = path.substr(d + 1);
    bool lower =
        !ext.empty() && ext.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ") == std::string::npos;
    std::string side_path = path.substr(0, d) + (lower ? ".edt" : ".EDT");
    if (!write_new_file(side_path, side, error)) return false;
  }
  return write_new_file(path, table, error);
}

}  // namespace storage
