// Start-up to the first drawn frame and a category switch, each with 1,000 tools, against
// opening the same table and reading every field of every record with the storage layer.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <QPixmap>
#include <filesystem>
#include <memory>
#include <string>

#include "app/shell.h"
#include "platform/gbk.h"
#include "storage/create.h"
#include "storage/database.h"
#include "storage/format.h"
#include "ui/main_window.h"
#include "ui/qt_port.h"

namespace {

constexpr int kTools = 1000;
constexpr const char* kPassword = "kestrova907";

std::string gbk(std::string_view utf8) {
  std::string out;
  platform::utf8_to_gbk(utf8, &out);
  return out;
}

// A toolbox folder with two categories of kTools tools each, icons included.
class BenchToolbox {
 public:
  BenchToolbox() {
    char pattern[] = "/tmp/toolmgr-bench-XXXXXX";
    dir_ = mkdtemp(pattern);
    std::filesystem::create_directory(dir_ + "/List");
    std::filesystem::create_directory(dir_ + "/Skin");
    fill("CPU工具");
    fill("主板工具");
  }
  ~BenchToolbox() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  const std::string& dir() const { return dir_; }
  std::string table(const char* base) const { return dir_ + "/List/" + base + ".edb"; }

 private:
  void fill(const char* base) {
    std::vector<storage::NewField> fields = {
        {gbk("工具名"), storage::kText, 80},      {gbk("路径"), storage::kText, 260},
        {gbk("目录"), storage::kText, 260},       {gbk("说明"), storage::kText, 200},
        {gbk("图标"), storage::kByteString, 0},   {gbk("处理后的工具名"), storage::kText, 80},
        {gbk("图标40"), storage::kByteString, 0}, {gbk("图标48"), storage::kByteString, 0}};
    std::string error;
    if (!storage::create_table(table(base), fields, kPassword, &error)) std::abort();
    storage::Database db;
    if (!db.open_table(table(base), kPassword)) std::abort();
    std::string icon(1500, '\x5a');  // the size of a typical 32 px PNG icon
    for (int i = 1; i <= kTools; ++i) {
      std::string n = std::to_string(i);
      std::vector<storage::Value> values = {
          storage::Value::text(gbk("工具") + n),
          storage::Value::text(gbk("岚澄工具箱目录\\Tools\\tool") + n + ".exe"),
          storage::Value::text(gbk("岚澄工具箱目录\\Tools\\")),
          storage::Value::text(gbk("一个用来检测硬件的工具") + n),
          storage::Value::bytes(icon),
          storage::Value::text(gbk("工具") + n),
          storage::Value::bytes(icon),
          storage::Value::bytes(icon)};
      if (!db.append_record(values)) std::abort();
    }
  }
  std::string dir_;
};

BenchToolbox& toolbox() {
  static BenchToolbox box;
  return box;
}

void BM_OpenAndReadTable(benchmark::State& state) {
  std::string path = toolbox().table("CPU工具");
  for (auto _ : state) {
    storage::Database db;
    if (!db.open_table(path, kPassword)) state.SkipWithError("open failed");
    int n = db.record_count(), fields = db.field_count();
    size_t bytes = 0;
    for (int i = 1; i <= n; ++i) {
      db.go_to_record(i);
      for (int f = 1; f <= fields; ++f) bytes += db.read_field(f).data.size();
    }
    benchmark::DoNotOptimize(bytes);
  }
}
BENCHMARK(BM_OpenAndReadTable)->Unit(benchmark::kMillisecond);

// The same, reading only the four fields the list shows.
void BM_OpenAndReadShownFields(benchmark::State& state) {
  std::string path = toolbox().table("CPU工具");
  for (auto _ : state) {
    storage::Database db;
    if (!db.open_table(path, kPassword)) state.SkipWithError("open failed");
    int n = db.record_count();
    size_t bytes = 0;
    for (int i = 1; i <= n; ++i) {
      db.go_to_record(i);
      for (int f = 1; f <= 4; ++f) bytes += db.read_field(f).data.size();
    }
    benchmark::DoNotOptimize(bytes);
  }
}
BENCHMARK(BM_OpenAndReadShownFields)->Unit(benchmark::kMillisecond);

// Window built from the layout, start-up (CPU工具 opened and listed) and the first frame.
void BM_StartupToFirstFrame(benchmark::State& state) {
  for (auto _ : state) {
    ui::MainWindow window;
    ui::QtWindowPort port(window);
    storage::Database db;
    app::Shell shell(port, db, {toolbox().dir(), toolbox().dir()});
    if (shell.start().has_value()) state.SkipWithError("start-up refused");
    window.show();
    QPixmap frame = window.grab();
    benchmark::DoNotOptimize(frame.cacheKey());
    shell.shutdown();
    window.hide();
  }
}
BENCHMARK(BM_StartupToFirstFrame)->Unit(benchmark::kMillisecond);

// One switch between the two categories, repainted.
void BM_CategorySwitch(benchmark::State& state) {
  ui::MainWindow window;
  ui::QtWindowPort port(window);
  storage::Database db;
  app::Shell shell(port, db, {toolbox().dir(), toolbox().dir()});
  if (shell.start().has_value()) state.SkipWithError("start-up refused");
  window.show();
  bool cpu = true;
  for (auto _ : state) {
    cpu = !cpu;
    shell.select_category(cpu ? "CPU工具" : "主板工具");
    window.repaint();
  }
  if (port.row_count("超级列表框1") != kTools) state.SkipWithError("list not filled");
}
BENCHMARK(BM_CategorySwitch)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  toolbox();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
