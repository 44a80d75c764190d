// Layout names of the controls, menus and menu items that the application logic drives.
#pragma once

#include <string_view>

namespace app::names {

inline constexpr std::string_view kToolList = "超级列表框1";
inline constexpr std::string_view kEditorOverlay = "外形框1";
inline constexpr std::string_view kNoticeHolder = "外形框4";
inline constexpr std::string_view kEditorPages = "选择夹1";
inline constexpr std::string_view kViewSlots = "动画框1";
inline constexpr std::string_view kAddSlots = "动画框2";
inline constexpr std::string_view kCategoryCombo = "组合框1";
inline constexpr std::string_view kNoticeButton = "超级按钮3";
inline constexpr std::string_view kNoticeTimer = "时钟1";
inline constexpr std::string_view kMeasureSurface = "画板1";

inline constexpr std::string_view kMenuCategories = "分类";
inline constexpr std::string_view kMenuEdit = "编辑";
inline constexpr std::string_view kMenuHelp = "帮助";
inline constexpr std::string_view kItemAdd = "添加工具";
inline constexpr std::string_view kItemModify = "修改";
inline constexpr std::string_view kItemDelete = "删除";
inline constexpr std::string_view kItemMoveUp = "上移";
inline constexpr std::string_view kItemMoveDown = "下移";
inline constexpr std::string_view kItemHelp = "查看帮助";
inline constexpr std::string_view kItemAbout = "关于工具";

}  // namespace app::names
