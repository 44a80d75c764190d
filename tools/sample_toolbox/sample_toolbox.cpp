// sample_toolbox DIR: makes a toolbox folder to try the manager on: DIR/List with the
// eleven protected category tables in the eight-field layout, a few tools with icons in
// several categories, and an empty DIR/Skin.
#include <sys/stat.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/catalogue.h"
#include "editing/tool_record.h"
#include "imaging/imaging.h"
#include "platform/gbk.h"
#include "storage/create.h"
#include "storage/database.h"
#include "storage/format.h"

namespace {

std::string gbk(std::string_view utf8) {
  std::string out;
  if (!platform::utf8_to_gbk(utf8, &out)) {
    std::fprintf(stderr, "sample_toolbox: no GBK form for %.*s\n", static_cast<int>(utf8.size()),
                 utf8.data());
    std::exit(1);
  }
  return out;
}

void put16(std::string& s, uint16_t v) {
  s.append(reinterpret_cast<char*>(&v), 2);
}
void put32(std::string& s, uint32_t v) {
  s.append(reinterpret_cast<char*>(&v), 4);
}

// A 64 x 64 icon picture as a 32-bit BMP: a rounded tile in `rgb` with a light gauge mark.
std::string draw_icon(uint32_t rgb, int variant) {
  const int n = 64;
  std::string bmp = "BM";
  put32(bmp, 54 + n * n * 4);
  put32(bmp, 0);
  put32(bmp, 54);
  put32(bmp, 40);
  put32(bmp, n);
  put32(bmp, static_cast<uint32_t>(-n));  // top-down
  put16(bmp, 1);
  put16(bmp, 32);
  put32(bmp, 0);
  put32(bmp, n * n * 4);
  put32(bmp, 2835);
  put32(bmp, 2835);
  put32(bmp, 0);
  put32(bmp, 0);
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) {
      double dx = std::max(0.0, std::abs(x + 0.5 - 32) - 22),
             dy = std::max(0.0, std::abs(y + 0.5 - 32) - 22);
      double corner = std::sqrt(dx * dx + dy * dy);
      double alpha = std::clamp(8.5 - corner, 0.0, 1.0);
      uint8_t r = rgb >> 16, g = rgb >> 8, b = rgb;
      // a ring gauge with a needle, or bars, in white
      double cx = x + 0.5 - 32, cy = y + 0.5 - 34, rad = std::sqrt(cx * cx + cy * cy);
      bool mark = variant % 2 == 0 ? (rad > 14 && rad < 19 && cy < 4) ||
                                         (std::abs(cx + cy * 0.6) < 2.2 && rad < 16 && cy < 0)
                                   : (x >= 16 && x < 48 && y >= 16 && y < 48 &&
                                      ((x - 16) % 11 < 7) && (48 - y) < 8 + ((x - 16) / 11) * 10);
      if (mark) r = g = b = 250;
      bmp.push_back(static_cast<char>(b));
      bmp.push_back(static_cast<char>(g));
      bmp.push_back(static_cast<char>(r));
      bmp.push_back(static_cast<char>(alpha * 255));
    }
  }
  return bmp;
}

struct Tool {
  const char* category;
  const char* name;
  const char* file;  // below 岚澄工具箱目录\Tools\<folder>
  const char* folder;
  const char* description;
  uint32_t colour;
};

// Made-up tools, as a toolbox would hold them.
const Tool kTools[] = {
    {"CPU工具", "ChipView处理器信息", "chipview.exe", "ChipView", "处理器与缓存信息", 0x3c6fd8},
    {"CPU工具", "热度计温度监控", "thermo.exe", "Thermo", "核心温度实时监控", 0xd8573c},
    {"CPU工具", "PiRun单核测试", "pirun.exe", "PiRun", "圆周率计算测试单核性能", 0x5aa64a},
    {"CPU工具", "RenderMark", "rendermark.exe", "RenderMark", "多核渲染跑分", 0x8b4ad8},
    {"主板工具", "BoardScope主板检测", "boardscope.exe", "BoardScope", "整机硬件信息检测",
     0xd8a33c},
    {"内存工具", "MemProbe内存测试", "memprobe64.exe", "MemProbe", "内存稳定性测试", 0x3ca6d8},
    {"显卡工具", "GpuLens显卡信息", "gpulens.exe", "GpuLens", "显卡核心与显存信息", 0x4ad88b},
    {"硬盘工具", "DiskHealth硬盘健康", "diskhealth.exe", "DiskHealth", "硬盘健康状态", 0xd83c8b},
    {"硬盘工具", "DiskSpeed读写测速", "diskspeed.exe", "DiskSpeed", "硬盘读写速度测试", 0x3cd8c9},
    {"烤鸡工具", "HeatStorm满载烤机", "heatstorm.exe", "HeatStorm", "显卡满载压力测试", 0xe0602a},
};

int text_width(std::string_view s) {
  // About the layout font's 12 px: ASCII 7 px, a double-byte character 12 px.
  int w = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if (static_cast<unsigned char>(s[i]) >= 0x81 && i + 1 < s.size()) {
      w += 12;
      ++i;
    } else {
      w += 7;
    }
  }
  return w;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: sample_toolbox DIR\n");
    return 2;
  }
  std::string dir = argv[1];
  ::mkdir(dir.c_str(), 0755);
  ::mkdir((dir + "/List").c_str(), 0755);
  ::mkdir((dir + "/Skin").c_str(), 0755);
  std::vector<storage::NewField> fields = {
      {std::string(editing::kFieldName), storage::kText, 260},
      {std::string(editing::kFieldPath), storage::kText, 260},
      {std::string(editing::kFieldDirectory), storage::kText, 260},
      {std::string(editing::kFieldDescription), storage::kMemo, 0},
      {std::string(editing::kFieldIcon32), storage::kByteString, 0},
      {std::string(editing::kFieldDisplayName), storage::kText, 260},
      {std::string(editing::kFieldIcon40), storage::kByteString, 0},
      {std::string(editing::kFieldIcon48), storage::kByteString, 0},
  };
  imaging::start_imaging();
  int variant = 0;
  for (const app::Category& c : app::kCatalogue) {
    std::string path = dir + "/List/" + std::string(c.base_name) + ".edb";
    std::string error;
    if (!storage::create_table(path, fields, app::kTablePassword, &error)) {
      std::fprintf(stderr, "sample_toolbox: %s\n", error.c_str());
      return 1;
    }
    storage::Database db;
    if (!db.open_table(path, app::kTablePassword)) {
      std::fprintf(stderr, "sample_toolbox: cannot open %s (%d)\n", path.c_str(), db.error());
      return 1;
    }
    editing::DatabaseFieldStore store(db);
    for (const Tool& t : kTools) {
      if (c.base_name != t.category) continue;
      editing::ToolRecord r;
      r.name = gbk(t.name);
      std::string folder = std::string("岚澄工具箱目录\\Tools\\") + t.folder + "\\";
      r.directory = gbk(folder);
      r.path = gbk(folder + t.file);
      r.description = gbk(t.description);
      std::string picture = draw_icon(t.colour, variant++);
      r.icon32 = imaging::scale_image(picture, 32, 32);
      r.icon40 = imaging::scale_image(picture, 40, 40);
      r.icon48 = imaging::scale_image(picture, 48, 48);
      if (editing::add_tool(store, r, text_width) != editing::AddResult::added) {
        std::fprintf(stderr, "sample_toolbox: cannot add %s (%d)\n", t.name, db.error());
        return 1;
      }
    }
  }
  imaging::stop_imaging();
  std::printf("%s\n", dir.c_str());
  return 0;
}
