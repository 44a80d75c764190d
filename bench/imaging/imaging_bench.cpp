// The icons of a file as the add panel takes them (32 px, 48 px, then the 48 px one
// scaled to 40 px) from an executable of 1, 5 and 20 MiB, against reading that file once.
// The extraction reads only the headers and the resources, so its time must not grow with
// the size of the other sections; the ratio extraction / one read falls as the file grows.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "fixtures.h"
#include "imaging/imaging.h"

namespace {

// A PE with an icon group like a real program's: 16 px 8-bit, 32 and 48 px 32-bit DIBs and a
// 256 px PNG, after a .text section that makes the file mib MiB.
const std::string& executable(int mib) {
  static std::map<int, std::string> paths;
  auto it = paths.find(mib);
  if (it != paths.end()) return it->second;
  auto px = [](int s) {
    return [s](int x, int y) {
      return (x < 2 || y < 2 || x >= s - 2 || y >= s - 2)
                 ? 0u
                 : 0xFF000000u | static_cast<std::uint32_t>(x * 255 / s) << 16 |
                       static_cast<std::uint32_t>(y * 255 / s);
    };
  };
  fixtures::Dib d8{16, 16, 8, {0, 0xFF0000, 0x00FF00}, [](int x, int) { return x % 3u; }};
  std::vector<fixtures::PeGroup> groups = {{1,
                                            {{16, 16, 8, fixtures::dib_bytes(d8, true)},
                                             {32, 32, 32, fixtures::icon_dib32(32, 32, px(32))},
                                             {48, 48, 32, fixtures::icon_dib32(48, 48, px(48))},
                                             {256, 256, 32, fixtures::png(256, 256, px(256))}}}};
  std::string pe = fixtures::pe_file(groups, static_cast<std::size_t>(mib) << 20);
  std::string path = "/tmp/imaging_bench_" + std::to_string(getpid()) + "_" + std::to_string(mib) + ".exe";
  std::ofstream(path, std::ios::binary) << pe;
  return paths[mib] = path;
}

void BM_AddPanelIcons(benchmark::State& state) {
  imaging::start_imaging();
  const std::string& path = executable(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    std::string i32 = imaging::extract_file_icon(path, 32);
    std::string i48 = imaging::extract_file_icon(path, 48);
    std::string i40 = imaging::scale_image(i48, 40, 40);
    benchmark::DoNotOptimize(i32.data());
    benchmark::DoNotOptimize(i40.data());
    if (i32.empty() || i40.empty()) state.SkipWithError("no icon");
  }
}

void BM_ReadFileOnce(benchmark::State& state) {
  const std::string& path = executable(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    // One plain read of the whole file into memory (from the page cache).
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    std::string bytes(static_cast<std::size_t>(in.tellg()), '\0');
    in.seekg(0);
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    benchmark::DoNotOptimize(bytes.data());
  }
}

BENCHMARK(BM_AddPanelIcons)->Arg(1)->Arg(5)->Arg(20)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadFileOnce)->Arg(1)->Arg(5)->Arg(20)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (int mib : {1, 5, 20}) std::filesystem::remove(executable(mib));
  return 0;
}
