// Storage engine speed, each figure beside its baseline in the same run:
//   PageCipher/16MiB            against PlainRc4Xor/16MiB (throughput ratio, goal >= 0.85)
//   ReadAt/104857600            against ReadAt/16 (goal <= 1.5)
//   OpenAndReadTools            against PlainReadsAndLocks (goal <= 1.5)
//   PackTable                   against CopyInBatches (goal <= 2)
//   WriteByteString4KiB         against PlainWrite4KiB
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "storage/cipher.h"
#include "storage/create.h"
#include "storage/database.h"
#include "storage/format.h"
#include "storage/rc4.h"

namespace {

constexpr char kPassword[] = "kestrova907";
constexpr size_t k16MiB = 16u << 20;

std::string temp_dir() {
  static std::string dir = [] {
    char t[] = "/tmp/storage-bench-XXXXXX";
    std::string d = mkdtemp(t);
    return d;
  }();
  return dir;
}

std::vector<storage::NewField> tool_fields(int32_t name_size = 260) {
  return {{"\xb9\xa4\xbe\xdf\xc3\xfb", storage::kText, name_size},
          {"\xc2\xb7\xbe\xb6", storage::kText, 260},
          {"\xc4\xbf\xc2\xbc", storage::kText, 260},
          {"\xcb\xb5\xc3\xf7", storage::kMemo, 0},
          {"\xcd\xbc\xb1\xea", storage::kByteString, 0},
          {"\xb4\xa6\xc0\xed\xba\xf3\xb5\xc4\xb9\xa4\xbe\xdf\xc3\xfb", storage::kText, 260},
          {"\xcd\xbc\xb1\xea"
           "40",
           storage::kByteString, 0},
          {"\xcd\xbc\xb1\xea"
           "48",
           storage::kByteString, 0}};
}

// --- cipher throughput
void PlainRc4Xor(benchmark::State& state) {
  std::vector<uint8_t> buf(k16MiB, 1);
  storage::Rc4 master;
  master.schedule(reinterpret_cast<const uint8_t*>(kPassword), strlen(kPassword));
  for (auto _ : state) {
    storage::Rc4 r = master;
    r.xor_into(buf.data(), buf.size());
    benchmark::DoNotOptimize(buf.data());
  }
  state.SetBytesProcessed(state.iterations() * buf.size());
}
BENCHMARK(PlainRc4Xor)->Name("PlainRc4Xor/16MiB")->Unit(benchmark::kMillisecond);

void PageCipher16(benchmark::State& state) {
  std::vector<uint8_t> buf(k16MiB, 1);
  storage::PageCipher cipher(kPassword, 4);
  for (auto _ : state) {
    cipher.transform(0, buf.data(), buf.size());
    benchmark::DoNotOptimize(buf.data());
  }
  state.SetBytesProcessed(state.iterations() * buf.size());
}
BENCHMARK(PageCipher16)->Name("PageCipher/16MiB")->Unit(benchmark::kMillisecond);

// --- a small read far into a file: the page word must not cost the distance
void ReadAt(benchmark::State& state) {
  std::string path = temp_dir() + "/sparse";
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT, 0644);
  (void)!ftruncate(fd, (101 << 20));
  ::close(fd);
  std::unique_ptr<storage::File> raw;
  storage::posix_file_system().open(path, storage::OpenMode::read_only,
                                    storage::ShareMode::deny_none, &raw);
  storage::EncipheredFile f(std::move(raw), kPassword, 4);
  int64_t pos = state.range(0);
  char b[4];
  for (auto _ : state) {
    f.read_at(pos, b, 4);
    benchmark::DoNotOptimize(b);
  }
}
BENCHMARK(ReadAt)->Arg(16)->Arg(100 << 20);

// The same, but each read on a fresh file object: the cold cost of a far page word.
void ReadAtCold(benchmark::State& state) {
  std::string path = temp_dir() + "/sparse";
  int64_t pos = state.range(0);
  char b[4];
  for (auto _ : state) {
    std::unique_ptr<storage::File> raw;
    storage::posix_file_system().open(path, storage::OpenMode::read_only,
                                      storage::ShareMode::deny_none, &raw);
    storage::EncipheredFile f(std::move(raw), kPassword, 4);
    f.read_at(pos, b, 4);
    benchmark::DoNotOptimize(b);
  }
}
BENCHMARK(ReadAtCold)->Arg(16)->Arg(100 << 20)->Unit(benchmark::kMicrosecond);

// --- opening a table of 10,000 tools and reading four texts of each
const std::string& tools_table() {
  static std::string path = [] {
    std::string p = temp_dir() + "/tools.edb";
    std::string error;
    storage::create_table(p, tool_fields(), kPassword, &error);
    storage::Database db;
    db.open_table(p, kPassword);
    for (int i = 0; i < 10000; ++i) {
      db.append_record();
      db.write_field(1, storage::Value::text("tool " + std::to_string(i)));
      db.write_field(2, storage::Value::text("\\Tools\\x" + std::to_string(i) + ".exe"));
      db.write_field(3, storage::Value::text("\\Tools\\"));
      db.write_field(6, storage::Value::text("tool/" + std::to_string(i)));
    }
    return p;
  }();
  return path;
}

void OpenAndReadTools(benchmark::State& state) {
  const std::string& path = tools_table();
  for (auto _ : state) {
    storage::Database db;
    db.open_table(path, kPassword);
    int n = db.record_count();
    for (int r = 1; r <= n; ++r) {
      db.go_to_record(r);
      for (int f : {1, 2, 3, 6}) benchmark::DoNotOptimize(db.read_field(f));
    }
  }
}
BENCHMARK(OpenAndReadTools)->Unit(benchmark::kMillisecond);

// The same positioned reads and lock calls on the file, with no cipher and no engine.
void PlainReadsAndLocks(benchmark::State& state) {
  const std::string& path = tools_table();
  const int64_t data = storage::kDescriptorsOffset + 8 * storage::kDescriptorSize;
  const int rs = 4 + 260 * 4 + 4 * 4;
  const int offsets[] = {4, 264, 524, 792};
  for (auto _ : state) {
    std::unique_ptr<storage::File> f;
    storage::posix_file_system().open(path, storage::OpenMode::read_write,
                                      storage::ShareMode::deny_none, &f);
    char header[116 + 8 * 72];
    f->read_at(0, header, sizeof header);
    char buf[260];
    for (int r = 0; r < 10000; ++r) {
      f->lock(16, 1);  // go_to_record reads the count
      f->read_at(16, buf, 8);
      f->unlock(16, 1);
      for (int off : offsets) {
        f->lock(data + int64_t{r} * rs, 1);
        f->read_at(data + int64_t{r} * rs + off, buf, 260);
        f->unlock(data + int64_t{r} * rs, 1);
        benchmark::DoNotOptimize(buf);
      }
    }
  }
}
BENCHMARK(PlainReadsAndLocks)->Unit(benchmark::kMillisecond);

// --- pack of a 100 MiB table with 1 % of its records marked
const std::string& big_table() {
  static std::string path = [] {
    std::string p = temp_dir() + "/big.edb";
    std::string error;
    storage::create_table(p, tool_fields(2000), kPassword, &error);  // 2804-byte records
    storage::Database db;
    db.open_table(p, kPassword);
    int n = (100 << 20) / 2804;
    for (int i = 0; i < n; ++i) db.append_record();
    for (int i = 50; i < n; i += 100) {
      db.go_to_record(i + 1);
      db.mark_deleted();
    }
    return p;
  }();
  return path;
}

void copy_file(const std::string& from, const std::string& to) {
  std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
}

void PackTable(benchmark::State& state) {
  const std::string& src = big_table();
  std::string work = temp_dir() + "/work.edb";
  for (auto _ : state) {
    state.PauseTiming();
    copy_file(src, work);
    copy_file(temp_dir() + "/big.edt", temp_dir() + "/work.edt");
    storage::Database db;
    db.open_table(work, kPassword);
    state.ResumeTiming();
    db.pack_table();
  }
}
BENCHMARK(PackTable)->Unit(benchmark::kMillisecond)->Iterations(4);

void CopyInBatches(benchmark::State& state) {
  const std::string& src = big_table();
  std::string work = temp_dir() + "/copy.edb";
  std::vector<char> buf(163840 / 2804 * 2804);
  for (auto _ : state) {
    state.PauseTiming();
    copy_file(src, work);
    int in = ::open(src.c_str(), O_RDONLY), out = ::open(work.c_str(), O_RDWR);
    state.ResumeTiming();
    off_t pos = 0;
    for (;;) {
      ssize_t n = pread(in, buf.data(), buf.size(), pos);
      if (n <= 0) break;
      (void)!pwrite(out, buf.data(), n, pos);
      pos += n;
    }
    state.PauseTiming();
    ::close(in);
    ::close(out);
    state.ResumeTiming();
  }
}
BENCHMARK(CopyInBatches)->Unit(benchmark::kMillisecond)->Iterations(4);

// --- a 4 KiB byte string written over a chain of the same size
void WriteByteString4KiB(benchmark::State& state) {
  std::string p = temp_dir() + "/icons.edb";
  std::string error;
  std::filesystem::remove(p);
  std::filesystem::remove(temp_dir() + "/icons.edt");
  storage::create_table(p, tool_fields(), kPassword, &error);
  storage::Database db;
  db.open_table(p, kPassword);
  db.append_record();
  std::string a(4096, 'a'), b(4096, 'b');
  db.write_field(5, storage::Value::bytes(a));
  bool flip = false;
  for (auto _ : state) {
    db.write_field(5, storage::Value::bytes((flip = !flip) ? b : a));
  }
}
BENCHMARK(WriteByteString4KiB)->Unit(benchmark::kMicrosecond);

void PlainWrite4KiB(benchmark::State& state) {
  std::string p = temp_dir() + "/plain4k";
  int fd = ::open(p.c_str(), O_RDWR | O_CREAT, 0644);
  std::string a(4096, 'a');
  for (auto _ : state) (void)!pwrite(fd, a.data(), a.size(), 512);
  ::close(fd);
}
BENCHMARK(PlainWrite4KiB)->Unit(benchmark::kMicrosecond);

}  // namespace
