// Layout names of the controls the editor panels drive (UTF-8; they never reach the user).
#pragma once

#include <string_view>

namespace editing::controls {

inline constexpr std::string_view kToolList = "超级列表框1";
inline constexpr std::string_view kOverlay = "外形框1";
inline constexpr std::string_view kPages = "选择夹1";
inline constexpr int kViewPage = 0, kAddPage = 1, kRenamePage = 2;

inline constexpr std::string_view kMenuCategories = "分类";
inline constexpr std::string_view kMenuEdit = "编辑";
inline constexpr std::string_view kMenuHelp = "帮助";
inline constexpr std::string_view kItemAdd = "添加工具";

// Add panel.
inline constexpr std::string_view kCategoryCombo = "组合框1";
inline constexpr std::string_view kAddName = "添加_工具名";
inline constexpr std::string_view kAddDescription = "添加_说明";
inline constexpr std::string_view kAddPath = "添加_路径";
inline constexpr std::string_view kAddDirectory = "添加_目录";
inline constexpr std::string_view kAddSlots = "动画框2";
inline constexpr std::string_view kAddBrowse = "超级按钮1";
inline constexpr std::string_view kAddConfirm = "保存修改按钮1";
inline constexpr std::string_view kAddCancel = "取消按钮_查看修改3";
inline constexpr std::string_view kAddClose = "关闭按钮_查看修改1";
inline constexpr std::string_view kAddHelp = "取消按钮_查看修改2";
inline constexpr std::string_view kAddDialog = "通用对话框2";

// View/modify panel.
inline constexpr std::string_view kViewTitle = "标签6";
inline constexpr std::string_view kViewName = "修改_工具名";
inline constexpr std::string_view kViewDescription = "修改_说明";
inline constexpr std::string_view kViewPath = "修改_路径";
inline constexpr std::string_view kViewDirectory = "修改_目录";
inline constexpr std::string_view kViewSlots = "动画框1";
inline constexpr std::string_view kViewBrowse = "超级按钮2";
inline constexpr std::string_view kViewExtract = "一键提取图标按钮";
inline constexpr std::string_view kViewSave = "保存修改按钮";
inline constexpr std::string_view kViewCancel = "取消按钮_查看修改";
inline constexpr std::string_view kViewClose = "关闭按钮_查看修改";
inline constexpr std::string_view kViewHelp = "取消按钮_查看修改1";
inline constexpr std::string_view kViewDialog = "通用对话框1";

// Rename panel.
inline constexpr std::string_view kRenameText = "修改_工具箱内显示的工具名";
inline constexpr std::string_view kRenamePreview = "修改后的工具名预览编辑框";
inline constexpr std::string_view kRenameSave = "保存修改按钮2";
inline constexpr std::string_view kRenameClose = "关闭按钮_查看修改2";

}  // namespace editing::controls
