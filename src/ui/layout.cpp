#include "ui/layout.h"

#include <array>

namespace ui {

namespace {

using app::Event;

constexpr uint32_t kDark = 0x2D2D2D, kPanelGrey = 0x373737, kTitleGrey = 0x606060,
                   kFrameGrey = 0x808080, kLight = 0xC0C0C0;

constexpr Control holder(std::string_view name, std::string_view parent, int l, int t, int w, int h,
                         uint32_t line, uint32_t fill, bool visible) {
  return {.name = name,
          .kind = Kind::holder,
          .parent = parent,
          .left = l,
          .top = t,
          .width = w,
          .height = h,
          .line = line,
          .fill = fill,
          .visible = visible};
}

constexpr Control panel(std::string_view name, std::string_view parent, int page, int l, int t,
                        int w, int h, uint32_t line = kFrameGrey, uint32_t fill = kDark) {
  return {.name = name,
          .kind = Kind::panel,
          .parent = parent,
          .left = l,
          .top = t,
          .width = w,
          .height = h,
          .line = line,
          .fill = fill,
          .page = page};
}

constexpr Control label(std::string_view name, std::string_view parent, int l, int t, int w, int h,
                        std::string_view caption) {
  return {.name = name,
          .kind = Kind::label,
          .parent = parent,
          .left = l,
          .top = t,
          .width = w,
          .height = h,
          .caption = caption,
          .font = FontRole::text};
}

constexpr Control title(std::string_view name, std::string_view parent, int l, int t, int w,
                        std::string_view caption) {
  Control c = label(name, parent, l, t, w, 28, caption);
  c.background = kTitleGrey;
  c.align = Align::centre;
  return c;
}

constexpr Control edit(std::string_view name, std::string_view parent, int l, int t, int w,
                       int h = 24) {
  return {.name = name,
          .kind = Kind::edit,
          .parent = parent,
          .left = l,
          .top = t,
          .width = w,
          .height = h,
          .font = FontRole::text};
}

constexpr Control button(std::string_view name, std::string_view parent, int l, int t, int w, int h,
                         std::string_view caption, bool bound = true,
                         FontRole font = FontRole::text) {
  return {.name = name,
          .kind = Kind::flat_button,
          .parent = parent,
          .left = l,
          .top = t,
          .width = w,
          .height = h,
          .caption = caption,
          .font = font,
          .events = {Event::clicked},
          .event_count = bound ? 1 : 0};
}

constexpr Control invisible(std::string_view name, Kind kind, std::string_view parent, int l, int t,
                            int w, int h) {
  return {.name = name,
          .kind = kind,
          .parent = parent,
          .left = l,
          .top = t,
          .width = w,
          .height = h,
          .visible = false};
}

constexpr Control with_events(Control c, Event a) {
  c.events[0] = a;
  c.event_count = 1;
  return c;
}
constexpr Control with_events(Control c, Event a, Event b) {
  c.events[0] = a;
  c.events[1] = b;
  c.event_count = 2;
  return c;
}

constexpr std::string_view kTwoLineExtract = "一键提取\r\n文件图标";

// Five lines joined by CR LF, the second and fourth empty. The contact number is a
// placeholder that can be nobody's account.
constexpr std::string_view kNoticeText =
    "本工具是岚澄工具箱官方为了方便有自定义工具箱内工具的极客玩家打造，目前处于测试阶段，可能会有"
    "少许不影响使用的BUG。如有发现任何BUG欢迎联系作者反馈。\r\n"
    "\r\n"
    "注意本工具仍在开发中，大部分功能仍然可以根据大家的反馈调整，有好想法或者骚想法的玩家都可以联"
    "系作者反馈。\r\n"
    "\r\n"
    "作者QQ：0";

Control tool_list() {
  Control c{.name = "超级列表框1",
            .kind = Kind::list_view,
            .parent = "",
            .left = 0,
            .top = 0,
            .width = 1018,
            .height = 450,
            .font = FontRole::list};
  return with_events(c, Event::right_clicked, Event::double_clicked);
}

Control tab_container() {
  Control c{.name = "选择夹1",
            .kind = Kind::tab_container,
            .parent = "外形框1",
            .left = 97,
            .top = 49,
            .width = 824,
            .height = 352};
  c.background = kPanelGrey;
  return c;
}

Control category_combo() {
  Control c{.name = "组合框1",
            .kind = Kind::combo,
            .parent = "外形框3",
            .left = 88,
            .top = 80,
            .width = 584,
            .height = 34,
            .font = FontRole::small};
  return with_events(c, Event::item_selected);
}

Control preview_edit() {
  Control c = edit("修改后的工具名预览编辑框", "外形框6", 31, 85, 644, 73);
  c.multi_line = true;
  c.align = Align::centre;
  return c;
}

Control notice_text() {
  Control c = label("标签15", "外形框5", 8, 40, 715, 147, kNoticeText);
  c.background = kPanelGrey;
  c.word_wrap = true;
  return c;
}

Control notice_button() {
  Control c = button("超级按钮3", "外形框5", 191, 203, 352, 28, "确定(10)", true, FontRole::list);
  c.enabled = false;
  c.normal = {kLight, kTitleGrey};
  c.hover = {0xFFFFFF, kLight};
  c.focus = {kLight, kTitleGrey};
  return c;
}

Control measure_surface() {
  Control c = invisible("画板1", Kind::drawing_surface, "外形框2", 461, 235, 128, 24);
  c.font = FontRole::small;
  return c;
}

Control timer() {
  return with_events(invisible("时钟1", Kind::timer, "外形框5", 579, 211, 24, 32), Event::tick);
}

const Control kControls[] = {
    // The window's children; the two holders lie above the list.
    tool_list(),
    invisible("拖放对象1", Kind::drop_target, "", 8, 296, 32, 40),
    holder("外形框1", "", 544, 136, 1018, 450, kPanelGrey, kLight, false),
    tab_container(),

    // Page 0: view/modify.
    panel("外形框2", "选择夹1", 0, 58, 52, 707, 248),
    with_events(title("标签6", "外形框2", 1, 1, 705, "查看/修改"), Event::double_clicked),
    button("关闭按钮_查看修改", "外形框2", 669, 1, 37, 28, "×"),
    label("标签2", "外形框2", 33, 48, 47, 24, "工具名："),
    edit("修改_工具名", "外形框2", 88, 48, 584),
    label("标签3", "外形框2", 33, 80, 47, 24, "说明："),
    edit("修改_说明", "外形框2", 88, 80, 584),
    label("标签4", "外形框2", 33, 112, 47, 24, "路径："),
    edit("修改_路径", "外形框2", 88, 112, 558),
    button("超级按钮2", "外形框2", 645, 112, 27, 24, "..."),
    label("标签5", "外形框2", 33, 144, 47, 24, "目录："),
    edit("修改_目录", "外形框2", 88, 144, 584),
    invisible("通用对话框1", Kind::file_dialog, "外形框2", 605, 155, 48, 40),
    label("标签1", "外形框2", 32, 175, 51, 24, "图标："),
    with_events(Control{.name = "动画框1",
                        .kind = Kind::animation_box,
                        .parent = "外形框2",
                        .left = 88,
                        .top = 179,
                        .width = 189,
                        .height = 48},
                Event::slot_double_clicked, Event::slot_right_pressed),
    button("一键提取图标按钮", "外形框2", 280, 179, 77, 48, kTwoLineExtract, true, FontRole::list),
    button("取消按钮_查看修改1", "外形框2", 376, 179, 88, 48, "注意事项"),
    button("取消按钮_查看修改", "外形框2", 480, 179, 88, 48, "取消"),
    button("保存修改按钮", "外形框2", 584, 179, 88, 48, "保存修改"),
    measure_surface(),

    // Page 1: add.
    panel("外形框3", "选择夹1", 1, 58, 34, 707, 283),
    title("标签7", "外形框3", 1, 1, 705, "添加工具"),
    button("关闭按钮_查看修改1", "外形框3", 669, 1, 37, 28, "×"),
    label("标签12", "外形框3", 33, 48, 55, 24, "工具名:"),
    edit("添加_工具名", "外形框3", 88, 48, 584),
    label("标签13", "外形框3", 32, 80, 47, 24, "分类："),
    category_combo(),
    label("标签11", "外形框3", 33, 112, 47, 24, "说明："),
    edit("添加_说明", "外形框3", 88, 112, 584),
    label("标签10", "外形框3", 33, 144, 47, 24, "路径："),
    edit("添加_路径", "外形框3", 88, 144, 558),
    button("超级按钮1", "外形框3", 645, 144, 27, 24, "..."),
    invisible("通用对话框2", Kind::file_dialog, "外形框3", 605, 155, 48, 40),
    label("标签9", "外形框3", 33, 176, 47, 24, "目录："),
    edit("添加_目录", "外形框3", 88, 176, 584),
    label("标签8", "外形框3", 32, 207, 51, 24, "图标："),
    with_events(Control{.name = "动画框2",
                        .kind = Kind::animation_box,
                        .parent = "外形框3",
                        .left = 88,
                        .top = 211,
                        .width = 189,
                        .height = 48},
                Event::slot_double_clicked),
    button("一键提取图标按钮_添加", "外形框3", 280, 211, 77, 48, kTwoLineExtract, false,
           FontRole::list),
    button("取消按钮_查看修改2", "外形框3", 376, 211, 88, 48, "注意事项"),
    button("取消按钮_查看修改3", "外形框3", 480, 211, 88, 48, "取消"),
    button("保存修改按钮1", "外形框3", 584, 211, 88, 48, "确定添加"),

    // Page 2: rename.
    panel("外形框6", "选择夹1", 2, 58, 65, 707, 221),
    title("标签16", "外形框6", 1, 1, 705, "修改工具在工具箱内显示的工具名"),
    button("关闭按钮_查看修改2", "外形框6", 669, 1, 37, 28, "×"),
    label("标签21", "外形框6", 31, 48, 47, 24, "工具名："),
    with_events(edit("修改_工具箱内显示的工具名", "外形框6", 88, 48, 587), Event::text_changed),
    preview_edit(),
    button("保存修改按钮2", "外形框6", 31, 173, 644, 32, "保存修改"),

    // The notice panel.
    holder("外形框4", "", 904, -16, 1018, 450, kPanelGrey, kPanelGrey, false),
    panel("外形框5", "外形框4", -1, 141, 101, 735, 247, kTitleGrey, kPanelGrey),
    title("标签14", "外形框5", 0, 0, 734, "说明"),
    notice_text(),
    notice_button(),
    timer(),
};

constexpr std::array<Column, 5> kColumns = {{
    {"名称", 150},
    {"路径", 300},
    {"目录", 280},
    {"说明", 200},
    {"图标", 65},
}};

constexpr std::array<MenuItem, 11> kCategoryItems = {{
    {"CPU工具"},
    {"主板工具"},
    {"内存工具"},
    {"显卡工具"},
    {"磁盘工具"},
    {"屏幕工具"},
    {"综合工具"},
    {"外设工具"},
    {"烤鸡工具"},
    {"游戏工具"},
    {"其他工具"},
}};
constexpr std::array<MenuItem, 6> kEditItems = {{
    {"添加工具"},
    {"-"},
    {"修改"},
    {"删除"},
    {"上移"},
    {"下移"},
}};
constexpr std::array<MenuItem, 2> kHelpItems = {{{"查看帮助"}, {"关于工具"}}};

const std::array<Menu, 3> kMenus = {{
    {"分类", kCategoryItems},
    {"编辑", kEditItems},
    {"帮助", kHelpItems},
}};

constexpr WindowSpec kWindow = {"岚澄工具箱工具管理器", 1024, 500, 1018, 450, kDark};

}  // namespace

int font_pixel_height(FontRole role) {
  switch (role) {
    case FontRole::text:
      return 15;
    case FontRole::list:
      return 12;
    case FontRole::small:
      return 11;
    case FontRole::none:
      break;
  }
  return 0;
}

const WindowSpec& window_spec() {
  return kWindow;
}
std::span<const Control> controls() {
  return kControls;
}
std::span<const Column> list_columns() {
  return kColumns;
}
std::span<const Menu> menus() {
  return kMenus;
}

const Control* find_control(std::string_view name) {
  for (const Control& c : kControls)
    if (c.name == name) return &c;
  return nullptr;
}

}  // namespace ui
