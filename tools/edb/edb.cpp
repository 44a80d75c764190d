// edb: a command-line companion for the toolbox's tables. It reaches the tables only
// through the storage engine's table operations, like the manager does.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/gbk.h"
#include "storage/check.h"
#include "storage/cipher.h"
#include "storage/create.h"
#include "storage/database.h"
#include "storage/error.h"
#include "storage/format.h"

namespace {

constexpr int kExitStorage = 1;
constexpr int kExitUsage = 2;

const char kUsage[] =
    "usage: edb COMMAND TABLE [options]\n"
    "  create TABLE --field NAME:TYPE[:SIZE] ...   make a new table (TYPE 1-12, SIZE for text)\n"
    "  info TABLE                                  header, fields and counts\n"
    "  dump TABLE [--json]                         every record\n"
    "  check TABLE                                 verify the table and its side file\n"
    "  append TABLE                                append an empty record, print its number\n"
    "  set TABLE RECORD FIELD (VALUE | --hex HEX | --file PATH | --empty)\n"
    "  delete TABLE RECORD                         mark a record deleted\n"
    "  pack TABLE                                  remove the records marked deleted\n"
    "options: --password P (default empty); -- ends the options\n";

struct Args {
  std::string command;
  std::vector<std::string> positional;
  std::string password;
  bool json = false;
  bool empty = false;
  bool has_hex = false, has_file = false;
  std::string hex, file;
  std::vector<std::string> fields;
};

[[noreturn]] void usage(const std::string& why) {
  if (!why.empty()) std::cerr << "edb: " << why << "\n";
  std::cerr << kUsage;
  std::exit(kExitUsage);
}

Args parse(int argc, char** argv) {
  Args a;
  if (argc < 2) usage("");
  a.command = argv[1];
  bool options = true;
  for (int i = 2; i < argc; ++i) {
    std::string t = argv[i];
    if (options && t == "--") {
      options = false;
      continue;
    }
    if (options && t.rfind("--", 0) == 0) {
      auto value = [&]() -> std::string {
        if (i + 1 >= argc) usage(t + " needs a value");
        return argv[++i];
      };
      if (t == "--password")
        a.password = value();
      else if (t == "--json")
        a.json = true;
      else if (t == "--empty")
        a.empty = true;
      else if (t == "--hex")
        a.hex = value(), a.has_hex = true;
      else if (t == "--file")
        a.file = value(), a.has_file = true;
      else if (t == "--field")
        a.fields.push_back(value());
      else
        usage("unknown option " + t);
      continue;
    }
    a.positional.push_back(t);
  }
  return a;
}

std::string to_gbk_or_exit(const std::string& utf8) {
  std::string gbk;
  if (!platform::utf8_to_gbk(utf8, &gbk)) {
    std::cerr << "edb: " << platform::gbk_refusal_message(utf8) << "\n";
    std::exit(kExitUsage);
  }
  return gbk;
}

std::string hex_of(std::string_view bytes) {
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    out += kHex[c >> 4];
    out += kHex[c & 15];
  }
  return out;
}

bool parse_hex(const std::string& hex, std::string* out) {
  if (hex.size() % 2) return false;
  out->clear();
  for (size_t i = 0; i < hex.size(); i += 2) {
    auto nib = [](char c) -> int {
      if (c >= '0' && c <= '9') return c - '0';
      if (c >= 'a' && c <= 'f') return c - 'a' + 10;
      if (c >= 'A' && c <= 'F') return c - 'A' + 10;
      return -1;
    };
    int hi = nib(hex[i]), lo = nib(hex[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out->push_back(static_cast<char>(hi * 16 + lo));
  }
  return true;
}

std::string json_string(std::string_view utf8) {
  std::string out = "\"";
  for (unsigned char c : utf8) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string number_text(const storage::Value& v) {
  if (v.kind == storage::Value::Kind::integer) return std::to_string(v.integer);
  if (v.kind == storage::Value::Kind::boolean) return v.boolean ? "true" : "false";
  double d = v.real;
  if (!std::isfinite(d)) return "null";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.17g", d);
  return buf;
}

int storage_error(int code) {
  std::cerr << "edb: " << code << " " << storage::error_text(code) << "\n";
  return kExitStorage;
}

bool open(storage::Database& db, const Args& a, bool read_only) {
  storage::OpenOptions o;
  o.read_only = read_only;
  return db.open_table(a.positional[0], a.password, o);
}

// Fatal misuse cannot happen here: every field read names a field of the table.
int cmd_create(const Args& a) {
  if (a.positional.size() != 1) usage("create takes TABLE");
  if (a.fields.empty()) usage("create needs at least one --field");
  std::vector<storage::NewField> fields;
  for (const std::string& definition : a.fields) {
    std::vector<std::string> parts;
    std::stringstream ss(definition);
    std::string part;
    while (std::getline(ss, part, ':')) parts.push_back(part);
    if (parts.size() < 2 || parts.size() > 3) usage("--field is NAME:TYPE[:SIZE]");
    storage::NewField f;
    f.name = to_gbk_or_exit(parts[0]);
    char* end = nullptr;
    f.type = static_cast<int32_t>(std::strtol(parts[1].c_str(), &end, 10));
    if (*end) usage("bad type in --field " + definition);
    if (parts.size() == 3) {
      f.size = static_cast<int32_t>(std::strtol(parts[2].c_str(), &end, 10));
      if (*end) usage("bad size in --field " + definition);
    }
    fields.push_back(f);
  }
  std::string error;
  if (!storage::create_table(a.positional[0], fields, a.password, &error)) {
    std::cerr << "edb: " << error << "\n";
    return kExitStorage;
  }
  return 0;
}

// The deciphered first `n` bytes of a file, for showing its header.
std::string read_head(const std::string& path, const std::string& password, size_t n) {
  std::unique_ptr<storage::File> raw;
  auto& fs = storage::posix_file_system();
  std::string found = fs.find_ignoring_case(path);
  if (found.empty() ||
      fs.open(found, storage::OpenMode::read_only, storage::ShareMode::deny_none, &raw) != 0) {
    return {};
  }
  storage::EncipheredFile f(std::move(raw), password, storage::kCipherStart);
  std::string b(n, '\0');
  int64_t got = f.read_at(0, b.data(), n);
  b.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return b;
}

int cmd_info(const Args& a) {
  if (a.positional.size() != 1) usage("info takes TABLE");
  storage::Database db;
  if (!open(db, a, true)) return storage_error(db.error());
  int count = db.record_count();
  if (db.error()) return storage_error(db.error());
  std::string path = a.positional[0];
  size_t slash = path.rfind('/'), dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) path += ".EDB";
  std::string h = read_head(path, a.password, storage::kHeaderSize);
  if (h.size() == static_cast<size_t>(storage::kHeaderSize)) {
    auto at = [&](int off) {
      return storage::get_i32(reinterpret_cast<const unsigned char*>(h.data()) + off);
    };
    std::cout << "table: " << (h.compare(0, 4, "WCDB") == 0 ? "protected" : "plain")
              << ", format_version " << at(4) << ", next_record_id " << at(20) << ", record_size "
              << at(24) << "\n";
  }
  std::cout << "records: " << count << "\n";
  std::cout << "fields: " << db.field_count() << "\n";
  int i = 0;
  for (const auto& f : db.fields()) {
    std::cout << "  " << ++i << " " << platform::gbk_to_utf8(f.name) << " type " << f.type
              << " offset " << f.offset << " size " << storage::field_width(f.type, f.size) << "\n";
  }
  int deleted = 0;
  for (int r = 1; r <= count; ++r) {
    int32_t id = 0;
    if (db.go_to_record(r) && db.read_record_id(&id) && id < 0) ++deleted;
  }
  std::cout << "marked deleted: " << deleted << "\n";
  dot = path.rfind('.');
  std::string side = read_head(path.substr(0, dot) + ".EDT", a.password, storage::kSideHeaderSize);
  if (side.size() == static_cast<size_t>(storage::kSideHeaderSize)) {
    auto at = [&](int off) {
      return storage::get_i32(reinterpret_cast<const unsigned char*>(side.data()) + off);
    };
    std::cout << "side file: block_count " << at(16) << ", free_block_count " << at(20)
              << ", free_list_head " << at(24) << "\n";
  }
  return 0;
}

int cmd_dump(const Args& a) {
  if (a.positional.size() != 1) usage("dump takes TABLE");
  storage::Database db;
  if (!open(db, a, true)) return storage_error(db.error());
  int count = db.record_count();
  if (db.error()) return storage_error(db.error());
  const auto& fields = db.fields();
  std::ostringstream out;
  if (a.json) {
    out << "{\"fields\":[";
    for (size_t i = 0; i < fields.size(); ++i) {
      const auto& f = fields[i];
      out << (i ? "," : "") << "{\"name\":" << json_string(platform::gbk_to_utf8(f.name))
          << ",\"type\":" << f.type << ",\"size\":" << storage::field_width(f.type, f.size)
          << ",\"offset\":" << f.offset << "}";
    }
    out << "],\"records\":[";
  }
  for (int r = 1; r <= count; ++r) {
    if (!db.go_to_record(r)) return storage_error(db.error());
    int32_t id = 0;
    if (!db.read_record_id(&id)) return storage_error(db.error());
    int64_t plain_id = id < 0 ? -int64_t{id} : id;
    if (a.json) {
      out << (r > 1 ? "," : "") << "{\"number\":" << r << ",\"id\":" << plain_id
          << ",\"deleted\":" << (id < 0 ? "true" : "false") << ",\"values\":{";
    } else {
      out << "record " << r << " id " << plain_id << (id < 0 ? " (deleted)" : "") << "\n";
    }
    for (size_t i = 0; i < fields.size(); ++i) {
      const auto& f = fields[i];
      storage::Value v = db.read_field(static_cast<int>(i) + 1);
      int err = db.error();
      std::string raw;
      bool chain = storage::is_chain_type(f.type);
      if (!err && !chain && f.type != storage::kText &&
          !db.read_field_bytes(static_cast<int>(i) + 1, &raw)) {
        err = db.error();
      }
      std::string name = platform::gbk_to_utf8(f.name);
      if (a.json) {
        out << (i ? "," : "") << json_string(name) << ":{";
        if (err) {
          out << "\"error\":" << err << "}";
          continue;
        }
        bool textual = f.type == storage::kText || f.type == storage::kMemo;
        out << "\"hex\":\"" << hex_of(textual || chain ? v.data : raw) << "\"";
        if (textual)
          out << ",\"text\":" << json_string(platform::gbk_to_utf8(v.data));
        else if (!chain)
          out << ",\"value\":" << number_text(v);
        out << "}";
      } else {
        out << "  " << name << ": ";
        if (err)
          out << "error " << err << " " << storage::error_text(err);
        else if (f.type == storage::kText || f.type == storage::kMemo)
          out << platform::gbk_to_utf8(v.data);
        else if (chain)
          out << v.data.size() << " bytes"
              << (v.data.size()
                      ? " " + hex_of(v.data.substr(0, 16)) + (v.data.size() > 16 ? "..." : "")
                      : "");
        else
          out << number_text(v);
        out << "\n";
      }
    }
    if (a.json) out << "}}";
  }
  if (a.json) out << "]}\n";
  std::cout << out.str();
  return 0;
}

int cmd_check(const Args& a) {
  if (a.positional.size() != 1) usage("check takes TABLE");
  std::string path = a.positional[0];
  size_t slash = path.rfind('/'), dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) path += ".EDB";
  auto& fs = storage::posix_file_system();
  auto problems = storage::check_table(fs, fs.absolute_path(path), a.password);
  for (const auto& p : problems) std::cout << p << "\n";
  return problems.empty() ? 0 : 1;
}

int cmd_append(const Args& a) {
  if (a.positional.size() != 1) usage("append takes TABLE");
  storage::Database db;
  if (!open(db, a, false)) return storage_error(db.error());
  if (!db.append_record()) return storage_error(db.error());
  std::cout << db.current_record() + 1 << "\n";
  return 0;
}

int64_t record_number(const std::string& s) {
  char* end = nullptr;
  errno = 0;
  long long n = std::strtoll(s.c_str(), &end, 10);
  if (s.empty() || *end || errno) usage("RECORD must be a whole number: " + s);
  return n;
}

int cmd_set(const Args& a) {
  int sources = a.has_hex + a.has_file + a.empty;
  if (a.positional.size() != 3 + (sources == 0) || sources > 1) {
    usage("set takes TABLE RECORD FIELD and one of VALUE, --hex, --file, --empty");
  }
  storage::Database db;
  if (!open(db, a, false)) return storage_error(db.error());
  int64_t record = record_number(a.positional[1]);
  std::string field_name = to_gbk_or_exit(a.positional[2]);
  int field = db.find_field(field_name);
  if (field == 0) {
    char* end = nullptr;
    long n = std::strtol(a.positional[2].c_str(), &end, 10);
    if (!*end && n >= 1 && n <= db.field_count()) field = static_cast<int>(n);
  }
  if (field == 0) return storage_error(storage::kNoSuchField);
  const auto& f = db.fields()[field - 1];
  storage::Value value;
  std::string raw;
  bool have_raw = false;
  if (a.has_hex) {
    if (!parse_hex(a.hex, &raw)) usage("--hex needs pairs of hexadecimal digits");
    have_raw = true;
  } else if (a.has_file) {
    std::ifstream in(a.file, std::ios::binary);
    if (!in) {
      std::cerr << "edb: cannot read " << a.file << "\n";
      return kExitUsage;
    }
    raw.assign(std::istreambuf_iterator<char>(in), {});
    have_raw = true;
  }
  bool textual = f.type == storage::kText || f.type == storage::kMemo;
  if (a.empty) {
    value = storage::Value::none();
  } else if (f.type == storage::kByteString) {
    value = storage::Value::bytes(have_raw ? raw : a.positional[3]);
  } else if (textual) {
    value = storage::Value::text(have_raw ? raw : to_gbk_or_exit(a.positional[3]));
  } else if (have_raw) {
    int32_t width = storage::field_width(f.type, f.size);
    if (static_cast<int32_t>(raw.size()) != width) {
      usage("this field takes exactly " + std::to_string(width) + " bytes");
    }
    auto get = [&](auto x) {
      std::memcpy(&x, raw.data(), sizeof x);
      return x;
    };
    switch (f.type) {
      case storage::kByte:
        value = storage::Value::of_integer(static_cast<uint8_t>(raw[0]));
        break;
      case storage::kBoolean:
        value = storage::Value::of_boolean(raw[0] != 0);
        break;
      case storage::kShort:
        value = storage::Value::of_integer(get(int16_t{}));
        break;
      case storage::kLong:
        value = storage::Value::of_integer(get(int64_t{}));
        break;
      case storage::kSingle:
        value = storage::Value::of_real(get(float{}));
        break;
      case storage::kDouble:
      case storage::kDateTime:
        value = storage::Value::of_real(get(double{}));
        break;
      default:
        value = storage::Value::of_integer(get(int32_t{}));
        break;
    }
  } else {
    const std::string& s = a.positional[3];
    char* end = nullptr;
    errno = 0;
    long long n = std::strtoll(s.c_str(), &end, 10);
    if (!s.empty() && !*end && !errno) {
      value = storage::Value::of_integer(n);
    } else {
      double d = std::strtod(s.c_str(), &end);
      if (s.empty() || *end) usage("not a number: " + s);
      value = storage::Value::of_real(d);
    }
  }
  if (!db.go_to_record(record)) return storage_error(db.error());
  if (!db.write_field(field, value)) return storage_error(db.error());
  return 0;
}

int cmd_delete(const Args& a) {
  if (a.positional.size() != 2) usage("delete takes TABLE RECORD");
  storage::Database db;
  if (!open(db, a, false)) return storage_error(db.error());
  if (!db.go_to_record(record_number(a.positional[1]))) return storage_error(db.error());
  if (!db.mark_deleted()) return storage_error(db.error());
  return 0;
}

int cmd_pack(const Args& a) {
  if (a.positional.size() != 1) usage("pack takes TABLE");
  storage::Database db;
  if (!open(db, a, false)) return storage_error(db.error());
  if (!db.pack_table()) return storage_error(db.error());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Args a = parse(argc, argv);
  if (a.command == "create") return cmd_create(a);
  if (a.command == "info") return cmd_info(a);
  if (a.command == "dump") return cmd_dump(a);
  if (a.command == "check") return cmd_check(a);
  if (a.command == "append") return cmd_append(a);
  if (a.command == "set") return cmd_set(a);
  if (a.command == "delete") return cmd_delete(a);
  if (a.command == "pack") return cmd_pack(a);
  if (a.command == "--help" || a.command == "help") {
    std::cout << kUsage;
    return 0;
  }
  usage("unknown command " + a.command);
}
