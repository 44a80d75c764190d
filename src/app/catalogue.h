// The host toolbox's eleven categories: menu label and database base name, in menu order.
#pragma once

#include <array>
#include <string_view>

namespace app {

struct Category {
  std::string_view label;      // UTF-8, as the menu 分类 and the combo box 组合框1 show it
  std::string_view base_name;  // UTF-8 file name of the table without directory and extension
};

inline constexpr std::array<Category, 11> kCatalogue = {{
    {"CPU工具", "CPU工具"},
    {"主板工具", "主板工具"},
    {"内存工具", "内存工具"},
    {"显卡工具", "显卡工具"},
    {"磁盘工具", "硬盘工具"},
    {"屏幕工具", "屏幕工具"},
    {"综合工具", "综合检测"},
    {"外设工具", "外设工具"},
    {"烤鸡工具", "烤鸡工具"},
    {"游戏工具", "游戏工具"},
    {"其他工具", "其他工具"},
}};

inline constexpr std::string_view kFirstCategory = "CPU工具";
inline constexpr std::string_view kTablePassword = "kestrova907";

// Catalogue row of a base name, -1 when it is none of the eleven.
int category_row(std::string_view base_name);

}  // namespace app
