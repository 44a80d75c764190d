#include "storage/database.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "storage/alias.h"
#include "storage/chain.h"
#include "storage/cipher.h"
#include "storage/error.h"
#include "storage/table.h"

namespace storage {
namespace {

std::atomic<int> g_lock_wait{0};
FatalHandler g_fatal;

void report_fatal(std::string_view what) {
  std::string report = "运行时出错!\n\n错误信息：";
  report += what;
  if (g_fatal) {
    g_fatal(report);
    return;
  }
  std::fprintf(stderr, "%s\n", report.c_str());
  std::fflush(stderr);
  std::exit(-1);
}

char fold(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

bool iequal(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

size_t last_separator(std::string_view path) {
  size_t a = path.rfind('/'), b = path.rfind('\\');
  if (a == std::string_view::npos) return b;
  if (b == std::string_view::npos) return a;
  return std::max(a, b);
}

std::string with_extension(std::string path) {
  size_t sep = last_separator(path);
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) {
    path += ".EDB";
  } else if (dot == path.size() - 1) {
    path += "EDB";
  }
  return path;
}

std::string file_title(const std::string& path) {
  size_t sep = last_separator(path);
  std::string name = sep == std::string::npos ? path : path.substr(sep + 1);
  size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string side_path(const std::string& path) {
  size_t sep = last_separator(path);
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) return path + ".EDT";
  return path.substr(0, dot) + ".EDT";
}

Value empty_value(int32_t type) {
  switch (type) {
    case kText:
    case kMemo:
      return Value::text("");
    case kByteString:
      return Value::bytes("");
    case kSingle:
    case kDouble:
    case kDateTime:
      return Value::of_real(0);
    case kBoolean:
      return Value::of_boolean(false);
    default:
      return Value::of_integer(0);
  }
}

bool value_suits(int32_t type, const Value& v) {
  if (v.kind == Value::Kind::none) return true;
  switch (type) {
    case kText:
    case kMemo:
      return v.kind == Value::Kind::text;
    case kByteString:
      return v.kind == Value::Kind::bytes;
    case kBoolean:
      return v.is_number() || v.kind == Value::Kind::boolean;
    default:
      return v.is_number() || v.kind == Value::Kind::boolean;
  }
}

template <typename I>
I saturate(const Value& v) {
  if (v.kind == Value::Kind::boolean) return static_cast<I>(v.boolean ? 1 : 0);
  if (v.kind == Value::Kind::integer) {
    if (v.integer < static_cast<int64_t>(std::numeric_limits<I>::min())) {
      return std::numeric_limits<I>::min();
    }
    if (std::is_unsigned_v<I> || v.integer > static_cast<int64_t>(std::numeric_limits<I>::max())) {
      if (v.integer > static_cast<int64_t>(std::numeric_limits<I>::max())) {
        return std::numeric_limits<I>::max();
      }
    }
    return static_cast<I>(v.integer);
  }
  double d = v.real;
  if (std::isnan(d)) return 0;
  d = std::trunc(d);
  if (d <= static_cast<double>(std::numeric_limits<I>::min())) return std::numeric_limits<I>::min();
  if (d >= static_cast<double>(std::numeric_limits<I>::max())) return std::numeric_limits<I>::max();
  return static_cast<I>(d);
}

// The bytes a non-chain value takes in its field; `width` bytes.
std::string encode_plain(const FieldDescriptor& f, const Value& given) {
  Value v = given.kind == Value::Kind::none ? empty_value(f.type) : given;
  int32_t width = field_width(f.type, f.size);
  std::string out(static_cast<size_t>(width), '\0');
  auto put = [&out](const auto& x) { std::memcpy(out.data(), &x, sizeof x); };
  switch (f.type) {
    case kText: {
      // A text ends at its first 0 byte, as the host reads it.
      size_t len = std::min(v.data.size(), std::min(v.data.find('\0'), out.size()));
      std::memcpy(out.data(), v.data.data(), len);
      break;
    }
    case kByte:
      put(saturate<uint8_t>(v));
      break;
    case kShort:
      put(saturate<int16_t>(v));
      break;
    case kInteger:
    case kRoutine:
      put(saturate<int32_t>(v));
      break;
    case kLong:
      put(saturate<int64_t>(v));
      break;
    case kSingle:
      put(static_cast<float>(v.kind == Value::Kind::boolean ? (v.boolean ? 1.0 : 0.0)
                                                            : v.as_real()));
      break;
    case kDouble:
    case kDateTime:
      put(v.kind == Value::Kind::boolean ? (v.boolean ? 1.0 : 0.0) : v.as_real());
      break;
    case kBoolean: {
      bool b = v.kind == Value::Kind::boolean ? v.boolean : v.as_real() != 0;
      out[0] = b ? 1 : 0;
      break;
    }
  }
  return out;
}

Value decode_plain(const FieldDescriptor& f, const unsigned char* p, size_t n) {
  switch (f.type) {
    case kText:
    case kMemo: {
      const void* z = std::memchr(p, 0, n);
      size_t len = z ? static_cast<size_t>(static_cast<const unsigned char*>(z) - p) : n;
      return Value::text(std::string_view(reinterpret_cast<const char*>(p), len));
    }
    case kByte:
      return Value::of_integer(p[0]);
    case kShort: {
      int16_t v;
      std::memcpy(&v, p, 2);
      return Value::of_integer(v);
    }
    case kInteger:
    case kRoutine:
      return Value::of_integer(get_i32(p));
    case kLong: {
      int64_t v;
      std::memcpy(&v, p, 8);
      return Value::of_integer(v);
    }
    case kSingle: {
      float v;
      std::memcpy(&v, p, 4);
      return Value::of_real(v);
    }
    case kDouble: {
      double v;
      std::memcpy(&v, p, 8);
      return Value::of_real(v);
    }
    case kDateTime: {
      double v;
      std::memcpy(&v, p, 8);
      if (std::isnan(v)) v = 0;  // a NaN date has no day to clamp to
      return Value::of_real(std::clamp(v, kDateMin, kDateMax));
    }
    case kBoolean:
      return Value::of_boolean(p[0] != 0);
  }
  return Value::none();
}

// Takes a lock for the life of a scope.
class ScopedLock {
 public:
  ScopedLock(Locks& locks, LockFile file, int64_t pos) : locks_(locks), file_(file), pos_(pos) {
    rc_ = locks_.lock(file_, pos_);
  }
  ~ScopedLock() {
    if (rc_ == 0) locks_.unlock(file_, pos_);
  }
  int rc() const { return rc_; }

 private:
  Locks& locks_;
  LockFile file_;
  int64_t pos_;
  int rc_;
};

class ScopedTableLock {
 public:
  explicit ScopedTableLock(Locks& locks) : locks_(locks) { rc_ = locks_.lock_table(); }
  ~ScopedTableLock() {
    if (rc_ == 0) locks_.unlock_table();
  }
  int rc() const { return rc_; }

 private:
  Locks& locks_;
  int rc_;
};

// Reads the header pair at offset 16 under the header lock.
int read_header_pair(Table& t, int32_t* count, int32_t* next_id) {
  unsigned char pair[8];
  int rc = read_exact(*t.file, kRecordCountOffset, pair, 8, kRecordCountFailed);
  if (rc != 0) return rc;
  *count = get_i32(pair);
  *next_id = get_i32(pair + 4);
  return 0;
}

constexpr size_t kLargeField = 65536;

bool field_fits(File& f, int64_t pos, size_t width) {
  int64_t length = f.length();
  return length >= 0 && pos + static_cast<int64_t>(width) <= length;
}

// Platform causes pass through; anything else from the file layer becomes `fallback`.
int cause_or(int rc, int fallback) {
  return (rc <= -3 && rc >= -15) ? rc : fallback;
}

// Checks the header, fields and side file of a table being opened, and makes the two
// length repairs of a read-write open. 0 or the code of the failure.
int load_table(FileSystem& fs_, Table* t, std::string_view password, const OpenOptions& options,
               OpenMode mode, const std::string& path) {
  File& f = *t->file;
  int rc = 0;
  // The table lock keeps a writer out while the header and fields are checked.

  int64_t length = f.length();
  if (length < 0) return (kOpenFailed);
  unsigned char* h = t->header;
  rc = read_exact(f, 0, h, kHeaderSize, kNotDatabase);
  if (rc != 0) return (rc == kNotDatabase ? rc : kOpenFailed);
  bool protected_table = std::memcmp(h, kProtectedMagic, 4) == 0;
  if (!protected_table && std::memcmp(h, kPlainMagic, 4) != 0) return (kNotDatabase);
  if (protected_table) {
    if (password.empty()) return (kBadPassword);
    const char* stored = reinterpret_cast<const char*>(h + kDigestOffset);
    size_t stored_len = strnlen(stored, 33);
    if (!iequal(std::string_view(stored, stored_len), password_digest(password))) {
      return (kBadPassword);
    }
  } else if (!password.empty()) {
    return (kBadPassword);
  }
  int32_t version = get_i32(h + 4);
  int32_t record_count = get_i32(h + 16);
  int32_t next_id = get_i32(h + 20);
  int32_t record_size = get_i32(h + 24);
  if (record_size <= 0 || record_count < 0 || next_id < 1) return (kNotDatabase);
  if (version > kFormatVersion) return (kVersionTooHigh);

  unsigned char fc_bytes[4];
  rc = read_exact(f, kFieldCountOffset, fc_bytes, 4, kNotDatabase);
  if (rc != 0) return (rc == kNotDatabase ? rc : kOpenFailed);
  int32_t field_count = get_i32(fc_bytes);
  if (field_count <= 0) return (kNotDatabase);
  int64_t data_start = kDescriptorsOffset + int64_t{kDescriptorSize} * field_count;
  if (data_start > length) return (kNotDatabase);  // the descriptors are not all there
  std::string raw_fields(static_cast<size_t>(data_start - kDescriptorsOffset), '\0');
  rc = read_exact(f, kDescriptorsOffset, raw_fields.data(), raw_fields.size(), kNotDatabase);
  if (rc != 0) return (rc == kNotDatabase ? rc : kOpenFailed);

  int64_t whole = (length - data_start) / record_size;
  if (whole < record_count) {
    if (options.read_only) return (kFileSizeWrong);
    unsigned char cnt[4];
    put_i32(cnt, static_cast<int32_t>(whole));
    rc = write_exact(f, kRecordCountOffset, cnt, 4, kOpenFailed);
    if (rc != 0) return (cause_or(rc, kOpenFailed));
    record_count = static_cast<int32_t>(whole);
    put_i32(h + 16, record_count);
  }
  if (!options.read_only) {
    int64_t want = data_start + int64_t{record_count} * record_size;
    if (length != want) {
      rc = f.truncate(want);
      if (rc != 0) return (cause_or(rc, kOpenFailed));
    }
  }

  bool has_chain = false;
  for (int32_t i = 0; i < field_count; ++i) {
    FieldDescriptor d;
    const unsigned char* p =
        reinterpret_cast<const unsigned char*>(raw_fields.data()) + i * kDescriptorSize;
    std::memcpy(d.raw, p, kDescriptorSize);
    const void* z = std::memchr(p, 0, 17);
    if (!z) return (kNotDatabase);
    d.name.assign(reinterpret_cast<const char*>(p), static_cast<const unsigned char*>(z) - p);
    d.type = get_i32(p + 20);
    d.offset = get_i32(p + 24);
    d.size = get_i32(p + 28);
    if (d.offset < 0 || d.type < kByte || d.type > kMemo) return (kNotDatabase);
    if (d.type == kText && d.size <= 0) return (kNotDatabase);
    // A field reaching past its record would let one record's writes change the next.
    if (int64_t{d.offset} + field_width(d.type, d.size) > record_size) return (kNotDatabase);
    has_chain = has_chain || is_chain_type(d.type);
    t->fields.push_back(std::move(d));
  }
  t->data_start = data_start;
  t->record_size = record_size;

  if (has_chain) {
    std::string spath = fs_.find_ignoring_case(side_path(path));
    std::unique_ptr<File> side_raw;
    if (spath.empty()) return (kSideFileUnreadable);
    rc = Locks::with_retry(fs_, [&] { return fs_.open(spath, mode, options.share, &side_raw); });
    if (rc != 0) return (kSideFileUnreadable);
    t->side = std::make_unique<EncipheredFile>(std::move(side_raw), password, kCipherStart);
    t->locks->set_side(t->side.get());
    rc = t->locks->lock(LockFile::side, 0, Locks::kWholeFile);
    if (rc != 0) return (rc);
    auto release = [&] { t->locks->unlock(LockFile::side, 0, Locks::kWholeFile); };
    unsigned char sh[kSideHeaderSize];
    rc = read_exact(*t->side, 0, sh, kSideHeaderSize, kSideFileUnreadable);
    int32_t blocks = get_i32(sh + 16), free_blocks = get_i32(sh + 20), head = get_i32(sh + 24);
    if (rc != 0 || std::memcmp(sh, kSideMagic, 4) != 0 || blocks < 1 || free_blocks < 0 ||
        free_blocks >= blocks || head < 0 || head >= blocks) {
      release();
      return (kSideFileUnreadable);
    }
    if (get_i32(sh + 4) != version) {
      release();
      return (kSideFileVersion);
    }
    int64_t side_length = t->side->length();
    if (side_length < 0) {
      release();
      return (kSideFileUnreadable);
    }
    if (side_length < int64_t{blocks} * kBlockSize) {
      if (options.read_only) {
        release();
        return (kSideFileDamaged);
      }
      unsigned char cnt[4];
      put_i32(cnt, static_cast<int32_t>(side_length / kBlockSize));
      rc = write_exact(*t->side, 16, cnt, 4, kSideFileUnreadable);
      if (rc != 0) {
        release();
        return (kSideFileUnreadable);
      }
    }
    release();
  }

  return 0;
}

}  // namespace

void set_fatal_handler(FatalHandler handler) {
  g_fatal = std::move(handler);
}
void set_lock_wait_ms(int ms) {
  g_lock_wait = ms;
}
int lock_wait_ms() {
  return g_lock_wait;
}

Database::Database(FileSystem& fs) : fs_(fs) {}
Database::~Database() {
  while (!tables_.empty()) tables_.pop_back();
}

bool Database::fail(int code) {
  error_ = code;
  return false;
}

Table* Database::current() {
  if (current_ < 0 || current_ >= static_cast<int>(tables_.size())) return nullptr;
  return tables_[current_].get();
}

bool Database::has_current_table() const {
  return current_ >= 0 && current_ < static_cast<int>(tables_.size());
}

const std::vector<FieldDescriptor>& Database::fields() const {
  static const std::vector<FieldDescriptor> none;
  return has_current_table() ? tables_[current_]->fields : none;
}

int64_t Database::current_record() const {
  return has_current_table() ? tables_[current_]->current : -1;
}

int Database::find_field(std::string_view name) const {
  const auto& fs = fields();
  for (size_t i = 0; i < fs.size(); ++i) {
    if (iequal(fs[i].name, name)) return static_cast<int>(i) + 1;
  }
  return 0;
}

bool Database::open_table(std::string_view path_in, std::string_view password,
                          const OpenOptions& options) {
  error_ = 0;
  if (path_in.empty()) return fail(kFileNotFound);
  if (!options.alias.empty() && !is_valid_alias(options.alias)) return fail(kBadAlias);

  std::string path = fs_.absolute_path(with_extension(std::string(path_in)));
  std::string found = fs_.find_ignoring_case(path);
  if (!found.empty()) path = found;
  for (const auto& t : tables_) {
    if (iequal(t->full_path, path)) return fail(kAlreadyOpen);
  }

  OpenMode mode = options.read_only ? OpenMode::read_only : OpenMode::read_write;
  auto table = std::make_unique<Table>();
  std::unique_ptr<File> raw;
  int rc = Locks::with_retry(fs_, [&] { return fs_.open(path, mode, options.share, &raw); });
  if (rc != 0) return fail(rc < -15 || rc > -3 ? kOpenFailed : rc);
  table->file = std::make_unique<EncipheredFile>(std::move(raw), password, kCipherStart);
  table->share_flag =
      options.share == ShareMode::deny_read || options.share == ShareMode::exclusive;
  table->locks = std::make_unique<Locks>(fs_, table->file.get(), table->share_flag);
  table->full_path = path;
  table->title = file_title(path);
  table->alias = options.alias;

  // The table lock keeps a writer out while the header and fields are checked.
  {
    ScopedTableLock validating(*table->locks);
    rc = validating.rc();
    if (rc == 0) rc = load_table(fs_, table.get(), password, options, mode, path);
  }
  if (rc != 0) return fail(rc);
  tables_.push_back(std::move(table));
  current_ = static_cast<int>(tables_.size()) - 1;
  return true;
}

void Database::close_table(std::string_view name) {
  int index = -1;
  if (name.empty()) {
    index = has_current_table() ? current_ : -1;
  } else {
    for (int pass = 0; pass < 3 && index < 0; ++pass) {
      for (int i = static_cast<int>(tables_.size()) - 1; i >= 0; --i) {
        const Table& t = *tables_[i];
        const std::string& key = pass == 0 ? t.alias : pass == 1 ? t.title : t.full_path;
        if (!key.empty() && iequal(key, name)) {
          index = i;
          break;
        }
      }
    }
  }
  if (index < 0) return;
  tables_[index]->locks->release_all();
  tables_.erase(tables_.begin() + index);
  if (index == current_) {
    current_ = -1;
  } else if (index < current_) {
    --current_;
  }
}

int Database::field_count() {
  error_ = 0;
  Table* t = current();
  if (!t) {
    error_ = kNoCurrentTable;
    return 0;
  }
  return static_cast<int>(t->fields.size());
}

int Database::record_count() {
  error_ = 0;
  Table* t = current();
  if (!t) {
    error_ = kNoCurrentTable;
    return 0;
  }
  // The host may hold the header for a moment: wait up to two seconds for it.
  int saved = lock_wait_ms();
  if (saved != -1 && saved < 2000) set_lock_wait_ms(2000);
  int rc = t->locks->lock(LockFile::table, kRecordCountOffset);
  set_lock_wait_ms(saved);
  if (rc != 0) {
    error_ = rc;
    return 0;
  }
  int32_t count = 0, next_id = 0;
  rc = read_header_pair(*t, &count, &next_id);
  t->locks->unlock(LockFile::table, kRecordCountOffset);
  if (rc != 0) {
    error_ = cause_or(rc, kRecordCountFailed);
    return 0;
  }
  return std::max(count, 0);
}

bool Database::go_to_record(int64_t n) {
  error_ = 0;
  Table* t = current();
  if (!t) return fail(kNoCurrentTable);
  int count = record_count();
  if (error_ != 0) return false;
  int64_t index = std::min<int64_t>(n - 1, int64_t{count} - 1);
  t->current = std::max<int64_t>(index, 0);
  return true;
}

Value Database::read_field(std::string_view name) {
  if (!current()) {
    report_fatal("未指定当前数据库或者指定数据库未打开");
    error_ = kNoCurrentTable;
    return Value::none();
  }
  int index = find_field(name);
  if (index == 0) {
    report_fatal("指定字段不存在");
    error_ = kNoSuchField;
    return Value::none();
  }
  return read_field_at(index - 1);
}

Value Database::read_field(int number) {
  Table* t = current();
  if (!t) {
    report_fatal("未指定当前数据库或者指定数据库未打开");
    error_ = kNoCurrentTable;
    return Value::none();
  }
  if (number < 1 || number > static_cast<int>(t->fields.size())) {
    report_fatal("指定字段不存在");
    error_ = kNoSuchField;
    return Value::none();
  }
  return read_field_at(number - 1);
}

Value Database::read_field_at(int index) {
  error_ = 0;
  Table& t = *current();
  const FieldDescriptor& f = t.fields[index];
  Value empty = empty_value(f.type);
  if (t.current < 0) {
    error_ = kNoCurrentRecord;
    return empty;
  }
  ScopedLock record(*t.locks, LockFile::table, t.record_lock_pos(t.current));
  if (record.rc() != 0) {
    error_ = record.rc();
    return empty;
  }
  int64_t pos = t.record_pos(t.current) + f.offset;
  size_t width = static_cast<size_t>(field_width(f.type, f.size));
  // A read that gets nothing is past the end, one that gets less is short; only a wide
  // field asks for the length first, so a damaged size cannot make a huge buffer.
  if (width > kLargeField && !field_fits(*t.file, pos, width)) {
    int64_t length = t.file->length();
    error_ = length >= 0 && pos >= length ? kSeekFailed : kReadFieldFailed;
    return empty;
  }
  std::string buf(width, '\0');
  int64_t got = t.file->read_at(pos, buf.data(), width);
  if (got <= 0 || static_cast<size_t>(got) != width) {
    error_ = got == 0 ? kSeekFailed : got < 0 ? cause_or(static_cast<int>(got), kReadFieldFailed)
                                              : kReadFieldFailed;
    return empty;
  }
  const auto* p = reinterpret_cast<const unsigned char*>(buf.data());
  int rc = 0;
  if (is_chain_type(f.type)) {
    if (!t.side) {
      error_ = kReadFieldFailed;
      return empty;
    }
    std::string chain;
    rc = read_chain(t, get_i32(p), &chain);
    if (rc != 0) {
      error_ = rc;
      return empty;
    }
    if (f.type == kByteString) return Value::bytes(chain);
    return decode_plain(f, reinterpret_cast<const unsigned char*>(chain.data()), chain.size());
  }
  return decode_plain(f, p, width);
}

bool Database::read_record_id(int32_t* id) {
  error_ = 0;
  Table* t = current();
  if (!t) return fail(kNoCurrentTable);
  ScopedLock record(*t->locks, LockFile::table, t->record_lock_pos(t->current));
  if (record.rc() != 0) return fail(record.rc());
  unsigned char b[4];
  int rc = read_exact(*t->file, t->record_pos(t->current), b, 4, kReadRecordFailed);
  if (rc != 0) return fail(cause_or(rc, kReadRecordFailed));
  *id = get_i32(b);
  return true;
}

bool Database::read_field_bytes(int number, std::string* bytes) {
  error_ = 0;
  Table* t = current();
  if (!t) return fail(kNoCurrentTable);
  if (number < 1 || number > static_cast<int>(t->fields.size())) return fail(kNoSuchField);
  const FieldDescriptor& f = t->fields[number - 1];
  ScopedLock record(*t->locks, LockFile::table, t->record_lock_pos(t->current));
  if (record.rc() != 0) return fail(record.rc());
  int64_t length = t->file->length();
  size_t width = static_cast<size_t>(field_width(f.type, f.size));
  int64_t pos = t->record_pos(t->current) + f.offset;
  if (length < 0 || pos + static_cast<int64_t>(width) > length) return fail(kReadFieldFailed);
  bytes->assign(width, '\0');
  int rc = read_exact(*t->file, pos, bytes->data(), width, kReadFieldFailed);
  if (rc != 0) return fail(cause_or(rc, kReadFieldFailed));
  return true;
}

bool Database::write_field(std::string_view name, const Value& value) {
  if (!current()) return fail(kTableNotOpen);
  int index = find_field(name);
  if (index == 0) return fail(kNoSuchField);
  return write_field_at(index - 1, value);
}

bool Database::write_field(int number, const Value& value) {
  Table* t = current();
  if (!t) return fail(kTableNotOpen);
  if (number < 1 || number > static_cast<int>(t->fields.size())) return fail(kNoSuchField);
  return write_field_at(number - 1, value);
}

bool Database::write_field_at(int index, const Value& value) {
  error_ = 0;
  Table& t = *current();
  const FieldDescriptor& f = t.fields[index];
  if (!value_suits(f.type, value)) return fail(kTypeMismatch);
  if (t.current < 0) return fail(kNoCurrentRecord);
  ScopedLock record(*t.locks, LockFile::table, t.record_lock_pos(t.current));
  if (record.rc() != 0) return fail(record.rc());
  int64_t pos = t.record_pos(t.current) + f.offset;
  size_t width = static_cast<size_t>(field_width(f.type, f.size));

  // What the field held, so a failed write can be undone. Nothing there: no such record.
  if (width > kLargeField && !field_fits(*t.file, pos, width)) return fail(kNoCurrentRecord);
  std::string old(width, '\0');
  int64_t got = t.file->read_at(pos, old.data(), width);
  if (got == 0) return fail(kNoCurrentRecord);
  if (got < 0) return fail(cause_or(static_cast<int>(got), kReadFieldFailed));
  if (static_cast<size_t>(got) != width) return fail(kReadFieldFailed);
  int rc = 0;

  std::string bytes;
  std::unique_ptr<SideChange> change;
  if (is_chain_type(f.type)) {
    if (!t.side) return fail(kReadFieldFailed);
    std::string_view data;
    if (value.kind != Value::Kind::none) data = value.data;
    if (f.type == kMemo) data = data.substr(0, std::min(data.size(), data.find('\0')));
    change = std::make_unique<SideChange>(t);
    int32_t ref = 0;
    rc = change->write_chain(data, get_i32(reinterpret_cast<unsigned char*>(old.data())), &ref);
    if (rc == 0) rc = change->finish();
    if (rc != 0) {
      change->roll_back();
      return fail(rc);
    }
    bytes.assign(4, '\0');
    put_i32(reinterpret_cast<unsigned char*>(bytes.data()), ref);
  } else {
    bytes = encode_plain(f, value);
  }
  if (bytes == old) return true;  // nothing to change on disk
  rc = write_exact(*t.file, pos, bytes.data(), bytes.size(), kWriteFieldFailed);
  if (rc != 0) {
    t.file->write_at(pos, old.data(), old.size());
    if (change) change->roll_back();
    return fail(cause_or(rc, kWriteFieldFailed));
  }
  return true;
}

bool Database::append_record(std::span<const Value> values) {
  error_ = 0;
  Table* tp = current();
  if (!tp) return fail(kNoCurrentTable);
  Table& t = *tp;
  if (values.size() > t.fields.size()) return fail(kTypeMismatch);
  for (size_t i = 0; i < values.size(); ++i) {
    if (!value_suits(t.fields[i].type, values[i])) return fail(kTypeMismatch);
  }
  ScopedLock header(*t.locks, LockFile::table, kRecordCountOffset);
  if (header.rc() != 0) return fail(header.rc());
  int32_t count = 0, next_id = 0;
  int rc = read_header_pair(t, &count, &next_id);
  if (rc != 0) return fail(cause_or(rc, kRecordCountFailed));
  count = std::max(count, 0);
  next_id = std::max(next_id, 1);
  if (count == INT32_MAX || next_id == INT32_MAX) return fail(kUnknown);
  ScopedLock record(*t.locks, LockFile::table, t.record_lock_pos(count));
  if (record.rc() != 0) return fail(record.rc());

  int64_t old_length = t.file->length();
  if (old_length < 0) return fail(cause_or(static_cast<int>(old_length), kUnknown));
  // Only the part of the record that holds values is built in memory; the rest is zeros,
  // written in pieces, so a huge record size costs no huge buffer.
  // (An ordinary record is built whole and written in one call.)
  size_t used = std::min<size_t>(t.record_size, 65536);
  for (size_t i = 0; i < values.size(); ++i) {
    const FieldDescriptor& f = t.fields[i];
    used = std::max(used, static_cast<size_t>(f.offset) + field_width(f.type, f.size));
  }
  std::string head(used, '\0');
  auto* hp = reinterpret_cast<unsigned char*>(head.data());
  SideChange change(t);
  for (size_t i = 0; i < values.size(); ++i) {
    const FieldDescriptor& f = t.fields[i];
    if (is_chain_type(f.type)) {
      if (!t.side) return fail(kReadFieldFailed);
      std::string_view data;
      if (values[i].kind != Value::Kind::none) data = values[i].data;
      if (f.type == kMemo) data = data.substr(0, std::min(data.size(), data.find('\0')));
      int32_t ref = 0;
      rc = change.write_chain(data, 0, &ref);
      if (rc != 0) {
        change.roll_back();
        return fail(cause_or(rc, rc == kSideFileAccess ? rc : kUnknown));
      }
      put_i32(hp + f.offset, ref);
    } else {
      std::string b = encode_plain(f, values[i]);
      std::memcpy(hp + f.offset, b.data(), b.size());
    }
  }
  put_i32(hp, next_id);
  if (change.changed() && (rc = change.finish()) != 0) {
    change.roll_back();
    return fail(cause_or(rc, kUnknown));
  }

  auto undo = [&](int code) {
    t.file->truncate(old_length);
    change.roll_back();
    return code;
  };
  int64_t pos = t.record_pos(count);
  size_t first = std::min(head.size(), static_cast<size_t>(t.record_size));
  rc = write_exact(*t.file, pos, head.data(), first, kUnknown);
  if (rc == 0 && static_cast<int64_t>(first) < t.record_size) {
    static const std::string zeros(65536, '\0');
    for (int64_t at = first; at < t.record_size && rc == 0;) {
      size_t n = static_cast<size_t>(std::min<int64_t>(zeros.size(), t.record_size - at));
      rc = write_exact(*t.file, pos + at, zeros.data(), n, kUnknown);
      at += n;
    }
  }
  if (rc != 0) return fail(cause_or(undo(rc), kUnknown));
  unsigned char pair[8];
  put_i32(pair, count + 1);
  put_i32(pair + 4, next_id + 1);
  rc = write_exact(*t.file, kRecordCountOffset, pair, 8, kUnknown);
  if (rc != 0) {
    put_i32(pair, count);
    put_i32(pair + 4, next_id);
    t.file->write_at(kRecordCountOffset, pair, 8);
    return fail(cause_or(undo(rc), kUnknown));
  }
  t.current = count;
  return true;
}

bool Database::mark_deleted() {
  error_ = 0;
  Table* tp = current();
  if (!tp) return fail(kNoCurrentTable);
  Table& t = *tp;
  if (t.current < 0) return fail(kNoCurrentRecord);
  ScopedLock record(*t.locks, LockFile::table, t.record_lock_pos(t.current));
  if (record.rc() != 0) return fail(record.rc());
  int64_t pos = t.record_pos(t.current);
  unsigned char id[4];
  int64_t got = t.file->read_at(pos, id, 4);
  if (got == 0) return fail(kNoCurrentRecord);
  if (got < 0) return fail(cause_or(static_cast<int>(got), kReadRecordFailed));
  if (got != 4) return fail(kReadRecordFailed);
  int rc = 0;
  int32_t v = get_i32(id);
  if (v <= 0) return true;  // already marked
  unsigned char neg[4];
  put_i32(neg, -v);
  rc = write_exact(*t.file, pos, neg, 4, kUnknown);
  if (rc != 0) {
    t.file->write_at(pos, id, 4);
    return fail(cause_or(rc, kUnknown));
  }
  return true;
}

namespace {

constexpr int64_t kPackBatchBytes = 163840;

// The state of a pack in progress, and the way back to a sound table when a step fails.
class Packer {
 public:
  Packer(Table& t, int32_t count) : t_(t), count_(count) {}

  int run();

 private:
  int compact();
  void free_removed();
  // Writes the records still only in memory at the write position, then marks every slot
  // up to `stale_end` as an empty deleted record, so no record is lost or doubled and no
  // slot refers to a freed chain. The record count stays as it was.
  void settle(int64_t stale_end, const std::string& pending);
  int write_records(int64_t pos, const std::string& bytes) {
    return write_exact(*t_.file, pos, bytes.data(), bytes.size(), kUnknown);
  }

  Table& t_;
  int32_t count_;
  int64_t read_pos_ = 0;
  int64_t write_pos_ = 0;
  int64_t kept_ = 0;
  bool removed_ = false;
  std::string removed_records_;  // bytes of the removed records, in order
  std::string retained_;         // removed records whose chains could not be freed
};

int Packer::run() {
  read_pos_ = write_pos_ = t_.data_start;
  int rc = compact();
  if (rc != 0) return rc;
  if (!removed_) return 0;
  free_removed();
  int result = retained_.empty() ? 0 : kSideFileAccess;
  if (!retained_.empty()) {
    rc = write_records(write_pos_, retained_);
    if (rc != 0) {
      settle(read_pos_, retained_);
      return rc;
    }
    write_pos_ += retained_.size();
  }
  int32_t left = static_cast<int32_t>((write_pos_ - t_.data_start) / t_.record_size);
  unsigned char cnt[4], old[4];
  put_i32(cnt, left);
  put_i32(old, count_);
  rc = write_exact(*t_.file, kRecordCountOffset, cnt, 4, kUnknown);
  if (rc == 0) {
    rc = t_.file->truncate(write_pos_);
    if (rc != 0) rc = cause_or(rc, kUnknown);
  }
  if (rc != 0) {
    t_.file->write_at(kRecordCountOffset, old, 4);
    settle(read_pos_, {});
    return rc;
  }
  return result;
}

int Packer::compact() {
  int64_t batch = std::max<int64_t>(1, kPackBatchBytes / t_.record_size);
  int64_t length = t_.file->length();
  if (length < 0) return cause_or(static_cast<int>(length), kUnknown);
  std::string buf;
  for (int64_t done = 0; done < count_;) {
    int64_t n = std::min<int64_t>(batch, count_ - done);
    size_t bytes = static_cast<size_t>(n * t_.record_size);
    int rc = read_pos_ + static_cast<int64_t>(bytes) > length ? kReadRecordFailed : 0;
    if (rc == 0) {
      buf.resize(bytes);
      rc = read_exact(*t_.file, read_pos_, buf.data(), bytes, kReadRecordFailed);
    }
    if (rc != 0) {
      if (removed_) {
        free_removed();
        settle(read_pos_, retained_);
      }
      return cause_or(rc, kReadRecordFailed);
    }
    size_t keep = 0;
    for (int64_t i = 0; i < n; ++i) {
      const char* rec = buf.data() + i * t_.record_size;
      if (get_i32(reinterpret_cast<const unsigned char*>(rec)) < 0) {
        removed_records_.append(rec, t_.record_size);
        removed_ = true;
        continue;
      }
      if (keep != static_cast<size_t>(i * t_.record_size)) {
        std::memmove(buf.data() + keep, rec, t_.record_size);
      }
      keep += t_.record_size;
    }
    buf.resize(keep);
    read_pos_ += static_cast<int64_t>(bytes);
    done += n;
    if (removed_ && keep > 0) {
      rc = write_records(write_pos_, buf);
      if (rc != 0) {
        free_removed();
        settle(read_pos_, buf + retained_);
        return cause_or(rc, kUnknown);
      }
    }
    write_pos_ += keep;
    kept_ += keep / t_.record_size;
  }
  return 0;
}

// Frees the chains of every removed record, one record at a time; a record whose chains
// cannot all be freed is put back as it was and kept (marked) for a later pack.
void Packer::free_removed() {
  for (size_t at = 0; at < removed_records_.size(); at += t_.record_size) {
    const auto* rec = reinterpret_cast<const unsigned char*>(removed_records_.data() + at);
    SideChange change(t_);
    int rc = 0;
    for (const FieldDescriptor& f : t_.fields) {
      if (!is_chain_type(f.type)) continue;
      int32_t ref = get_i32(rec + f.offset);
      if (ref == 0) continue;
      rc = t_.side ? change.free_chain(ref) : kSideFileAccess;
      if (rc != 0) break;
    }
    if (rc == 0) rc = change.finish();
    if (rc != 0) {
      change.roll_back();
      retained_.append(reinterpret_cast<const char*>(rec), t_.record_size);
    }
  }
  removed_records_.clear();
}

void Packer::settle(int64_t stale_end, const std::string& pending) {
  int64_t pos = write_pos_;
  if (!pending.empty()) {
    write_records(pos, pending);
    pos += pending.size();
  }
  std::string empty(static_cast<size_t>(std::min<int64_t>(kPackBatchBytes, stale_end - pos) /
                                        t_.record_size * t_.record_size),
                    '\0');
  if (empty.empty() && pos < stale_end) empty.assign(t_.record_size, '\0');
  for (size_t at = 0; at < empty.size(); at += t_.record_size) {
    put_i32(reinterpret_cast<unsigned char*>(empty.data() + at), -1);
  }
  while (pos < stale_end) {
    size_t n = static_cast<size_t>(std::min<int64_t>(empty.size(), stale_end - pos));
    write_exact(*t_.file, pos, empty.data(), n, kUnknown);
    pos += n;
  }
}

}  // namespace

bool Database::pack_table() {
  error_ = 0;
  Table* tp = current();
  if (!tp) return fail(kNoCurrentTable);
  Table& t = *tp;
  ScopedTableLock table_lock(*t.locks);
  if (table_lock.rc() != 0) return fail(table_lock.rc());
  unsigned char cnt[4];
  int rc = read_exact(*t.file, kRecordCountOffset, cnt, 4, kRecordCountFailed);
  if (rc != 0) return fail(cause_or(rc, kRecordCountFailed));
  t.current = 0;
  int32_t count = get_i32(cnt);
  if (count <= 0) return true;
  Packer packer(t, count);
  rc = packer.run();
  if (rc != 0) return fail(rc);
  return true;
}

}  // namespace storage
