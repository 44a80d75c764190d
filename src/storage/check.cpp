#include "storage/check.h"

#include <cstring>
#include <map>

#include "storage/cipher.h"
#include "storage/error.h"
#include "storage/format.h"

namespace storage {
namespace {

std::string side_path_of(const std::string& path) {
  size_t slash = path.rfind('/');
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path + ".EDT";
  return path.substr(0, dot) + ".EDT";
}

bool read_all(FileSystem& fs, const std::string& path, std::string_view password,
              std::string* out) {
  std::unique_ptr<File> raw;
  if (fs.open(path, OpenMode::read_only, ShareMode::deny_none, &raw) != 0) return false;
  EncipheredFile f(std::move(raw), password, kCipherStart);
  int64_t len = f.length();
  if (len < 0) return false;
  out->assign(static_cast<size_t>(len), '\0');
  return f.read_at(0, out->data(), out->size()) == len;
}

class Checker {
 public:
  std::vector<std::string> problems;

  void add(std::string s) { problems.push_back(std::move(s)); }

  void check_side(const std::string& side,
                  const std::vector<std::pair<std::string, int32_t>>& refs) {
    if (side.size() < kSideHeaderSize || std::memcmp(side.data(), kSideMagic, 4) != 0) {
      add("side file: not a side file");
      return;
    }
    const auto* s = reinterpret_cast<const unsigned char*>(side.data());
    int32_t blocks = get_i32(s + 16), free_count = get_i32(s + 20), head = get_i32(s + 24);
    if (get_i32(s + 4) != version) add("side file: format_version differs from the table's");
    if (blocks < 1) {
      add("side file: block_count " + std::to_string(blocks) + " below 1");
      return;
    }
    if (free_count < 0 || free_count >= blocks) {
      add("side file: free_block_count " + std::to_string(free_count) + " out of range");
    }
    if (head < 0 || head >= blocks)
      add("side file: free_list_head " + std::to_string(head) + " out of range");
    if (static_cast<int64_t>(side.size()) != int64_t{blocks} * kBlockSize) {
      add("side file: length " + std::to_string(side.size()) +
          " is not block_count × 512 = " + std::to_string(int64_t{blocks} * kBlockSize));
    }
    int32_t present = static_cast<int32_t>(std::min<int64_t>(blocks, side.size() / kBlockSize));
    auto block = [&](int32_t n) { return s + int64_t{n} * kBlockSize; };
    auto zero_from = [&](int32_t n, int32_t used) {
      const unsigned char* d = block(n) + kBlockHeaderSize;
      for (int k = used; k < kBlockData; ++k) {
        if (d[k] != 0) return false;
      }
      return true;
    };
    // owner of each block: "" free, else the chain's name
    std::map<int32_t, std::string> owner;
    for (const auto& [name, ref] : refs) {
      int32_t prev = 0;
      int32_t steps = 0;
      for (int32_t n = ref; n != 0;) {
        std::string where = name + ": block " + std::to_string(n);
        if (n < 1 || n >= present) {
          add(where + " outside the side file");
          break;
        }
        auto [it, fresh] = owner.emplace(n, name);
        if (!fresh) {
          add(where +
              (it->second.empty() ? " is also on the free list" : " is also in " + it->second));
          break;
        }
        if (++steps > present) {
          add(name + ": the chain has a cycle");
          break;
        }
        const unsigned char* b = block(n);
        int32_t used = get_i32(b + 8);
        if (get_i32(b) != prev)
          add(where + ": prev_block " + std::to_string(get_i32(b)) + ", not " +
              std::to_string(prev));
        if (used < 1 || used > kBlockData) {
          add(where + ": used_bytes " + std::to_string(used));
        } else if (!zero_from(n, used)) {
          add(where + ": bytes after the used ones are not 0");
        }
        prev = n;
        n = get_i32(b + 4);
      }
    }
    // The free list. The head's prev_block may still name the block that was taken off
    // the list before it; every other link is exact.
    int32_t listed = 0, prev = 0;
    for (int32_t n = head; n != 0;) {
      std::string where = "free list: block " + std::to_string(n);
      if (n < 1 || n >= present) {
        add(where + " outside the side file");
        break;
      }
      auto [it, fresh] = owner.emplace(n, "");
      if (!fresh) {
        add(where + (it->second.empty() ? " listed twice (a cycle)" : " is also in " + it->second));
        break;
      }
      const unsigned char* b = block(n);
      if (prev != 0 && get_i32(b) != prev)
        add(where + ": prev_block " + std::to_string(get_i32(b)) + ", not " + std::to_string(prev));
      if (get_i32(b + 8) != 0) add(where + ": used_bytes is not 0");
      if (!zero_from(n, 0)) add(where + ": data is not zeroed");
      ++listed;
      prev = n;
      n = get_i32(b + 4);
    }
    if (listed != free_count) {
      add("side file: free_block_count " + std::to_string(free_count) + " but " +
          std::to_string(listed) + " blocks on the free list");
    }
    for (int32_t n = 1; n < present; ++n) {
      if (!owner.count(n))
        add("side file: block " + std::to_string(n) + " is neither in a chain nor free (leaked)");
    }
    if (present > 1 && owner.count(present - 1) && owner[present - 1].empty()) {
      add("side file: the last block " + std::to_string(present - 1) + " is free (not trimmed)");
    }
  }

  int32_t version = 0;
};

}  // namespace

std::vector<std::string> check_table(FileSystem& fs, const std::string& path_in,
                                     std::string_view password) {
  Checker c;
  std::string path = fs.find_ignoring_case(path_in);
  if (path.empty()) path = path_in;
  std::string t;
  if (!read_all(fs, path, password, &t)) {
    c.add("table file: cannot be read");
    return c.problems;
  }
  const auto* p = reinterpret_cast<const unsigned char*>(t.data());
  if (t.size() < kHeaderSize + 4) {
    c.add("table file: shorter than its header");
    return c.problems;
  }
  bool prot = std::memcmp(p, kProtectedMagic, 4) == 0;
  if (!prot && std::memcmp(p, kPlainMagic, 4) != 0) {
    c.add("table file: magic is neither WEDB nor WCDB");
    return c.problems;
  }
  if (prot) {
    std::string digest(reinterpret_cast<const char*>(p + kDigestOffset),
                       strnlen(reinterpret_cast<const char*>(p + kDigestOffset), 33));
    std::string want = password_digest(password);
    bool same = digest.size() == want.size();
    for (size_t i = 0; same && i < want.size(); ++i)
      same = std::tolower(static_cast<unsigned char>(digest[i])) == want[i];
    if (password.empty() || !same) {
      c.add("table file: wrong password");
      return c.problems;
    }
  }
  c.version = get_i32(p + 4);
  int32_t count = get_i32(p + 16), next_id = get_i32(p + 20), rs = get_i32(p + 24);
  int32_t fc = get_i32(p + kFieldCountOffset);
  if (c.version > kFormatVersion)
    c.add("table file: format_version " + std::to_string(c.version) + " too high");
  if (rs <= 0) c.add("table file: record_size " + std::to_string(rs));
  if (count < 0) c.add("table file: record_count " + std::to_string(count));
  if (next_id < 1) c.add("table file: next_record_id " + std::to_string(next_id));
  if (fc <= 0 ||
      kDescriptorsOffset + int64_t{fc} * kDescriptorSize > static_cast<int64_t>(t.size())) {
    c.add("table file: field table missing or field_count " + std::to_string(fc));
    return c.problems;
  }
  if (rs <= 0 || count < 0) return c.problems;
  int64_t data_start = kDescriptorsOffset + int64_t{fc} * kDescriptorSize;
  struct F {
    std::string name;
    int32_t type, offset;
  };
  std::vector<F> chains;
  for (int32_t i = 0; i < fc; ++i) {
    const unsigned char* d = p + kDescriptorsOffset + i * kDescriptorSize;
    std::string where = "field " + std::to_string(i + 1);
    const void* z = std::memchr(d, 0, 17);
    int32_t type = get_i32(d + 20), off = get_i32(d + 24), size = get_i32(d + 28);
    if (!z) c.add(where + ": name not terminated within 16 bytes");
    if (type < kByte || type > kMemo) {
      c.add(where + ": type " + std::to_string(type));
      continue;
    }
    if (off < 0) c.add(where + ": offset " + std::to_string(off));
    if (type == kText && size <= 0)
      c.add(where + ": text size " + std::to_string(size));
    else if (off >= 0 && int64_t{off} + field_width(type, size) > rs)
      c.add(where + ": reaches past the record");
    if (is_chain_type(type) && off >= 0 && off + 4 <= rs)
      chains.push_back({"field " + std::to_string(i + 1), type, off});
  }
  int64_t want_len = data_start + int64_t{count} * rs;
  if (static_cast<int64_t>(t.size()) != want_len) {
    c.add("table file: length " + std::to_string(t.size()) + ", but record_count " +
          std::to_string(count) + " needs " + std::to_string(want_len));
  }
  int64_t present = std::min<int64_t>(count, (static_cast<int64_t>(t.size()) - data_start) / rs);
  std::vector<std::pair<std::string, int32_t>> refs;
  for (int64_t r = 0; r < present; ++r) {
    const unsigned char* rec = p + data_start + r * rs;
    int32_t id = get_i32(rec);
    std::string where = "record " + std::to_string(r + 1);
    if (id == 0)
      c.add(where + ": id 0");
    else if (id != INT32_MIN && (id < 0 ? -id : id) >= next_id)
      c.add(where + ": id " + std::to_string(id) + " not below next_record_id " +
            std::to_string(next_id));
    for (const F& f : chains) {
      int32_t ref = get_i32(rec + f.offset);
      if (ref < 0)
        c.add(where + " " + f.name + ": negative block reference");
      else if (ref > 0)
        refs.emplace_back(where + " " + f.name, ref);
    }
  }
  if (!chains.empty()) {
    std::string side;
    std::string spath = fs.find_ignoring_case(side_path_of(path));
    if (spath.empty() || !read_all(fs, spath, password, &side)) {
      c.add("side file: missing or unreadable");
    } else {
      c.check_side(side, refs);
    }
  }
  return c.problems;
}

}  // namespace storage
