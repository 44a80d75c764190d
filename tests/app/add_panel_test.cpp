// The add panel through the fake window on real protected tables.
#include <gtest/gtest.h>

#include "editing/display_name.h"
#include "editing/panels.h"
#include "fixtures.h"
#include "imaging/imaging.h"
#include "panels_fixture.h"

namespace app_test {
namespace {

using app::Event;
using app::MessageAnswer;
using app::MessageIcon;

constexpr const char* kToken = "岚澄工具箱目录";

// The host's form of a native absolute path, spelled out independently of the code.
std::string host_form(const std::string& native) {
  std::string out = native;
  for (char& ch : out)
    if (ch == '/') ch = '\\';
  return out;
}

std::string width6_display_name(const std::string& name_utf8) {
  return utf8(editing::make_display_name(
      gbk(name_utf8), [](std::string_view t) { return static_cast<int>(t.size()) * 6; }));
}

class AddPanelTest : public PanelsTest {
 protected:
  struct Filled {
    std::string name, path, directory, description;
  };
  Filled filled() {
    return {text("添加_工具名"), text("添加_路径"), text("添加_目录"), text("添加_说明")};
  }
  void expect_icons_of(const std::string& native) {
    const std::string i32 = imaging::extract_file_icon(native, 32);
    const std::string i48 = imaging::extract_file_icon(native, 48);
    ASSERT_FALSE(i32.empty());
    const auto& held = panels->panels().held_icons();
    EXPECT_EQ(held[0], i32);
    EXPECT_EQ(held[2], i48);
    EXPECT_EQ(imaging::read_image_size_from_bytes(held[1]), (imaging::ImageSize{40, 40}));
    EXPECT_EQ(held[1], imaging::scale_image(i48, 40, 40));
    for (int i = 0; i < 3; ++i) EXPECT_EQ(window.pictures["动画框2"][i].bytes, held[i]) << i;
  }
};

TEST_F(AddPanelTest, FillsNamePathDirectoryDescriptionAndIconsFromAFile) {
  start_with({sample_tool("甲")});
  char outside_pattern[] = "/tmp/toolmgr-outside-XXXXXX";
  const std::string outside = mkdtemp(outside_pattern);
  const std::string sibling = box.dir() + "2";  // shares the program directory's prefix
  struct Case {
    std::string file;
    Filled expected;
  };
  const std::string inside = write_file(box.dir(), "Tools/Demo/demo.v2.exe", "not a program");
  const std::string host_outside = host_form(outside);
  const std::vector<Case> cases = {
      {inside,
       {"demo.v2", std::string(kToken) + "\\Tools\\Demo\\demo.v2.exe",
        std::string(kToken) + "\\Tools\\Demo\\", "demo.v2"}},
      {write_file(outside, "x/a.b.exe", "x"),
       {"a.b", host_outside + "\\x\\a.b.exe", host_outside + "\\x\\", "a.b"}},
      {write_file(sibling, "x.exe", "x"),
       {"x", std::string(kToken) + "2\\x.exe", std::string(kToken) + "2\\", "x"}},
      {write_file(outside, "README", "x"),
       {"", host_outside + "\\README", host_outside + "\\", ""}},
      {"", {"", "", "", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    window.set_current_index("组合框1", 5);
    shell->hooks().open_add_panel(c.file);
    const Filled f = filled();
    EXPECT_EQ(f.name, c.expected.name);
    EXPECT_EQ(f.path, c.expected.path);
    EXPECT_EQ(f.directory, c.expected.directory);
    EXPECT_EQ(f.description, c.expected.description);
    expect_icons_of(c.file);
    EXPECT_TRUE(window.visible("外形框1"));
    EXPECT_EQ(window.current_page("选择夹1"), 1);
    EXPECT_EQ(window.current_index("组合框1"), 0);  // back on the open category
    EXPECT_FALSE(window.menu_enabled("添加工具"));
    EXPECT_FALSE(window.menu_enabled("分类"));
    EXPECT_FALSE(window.menu_enabled("编辑"));
    EXPECT_TRUE(window.menu_enabled("帮助"));
  }
  EXPECT_TRUE(window.messages.empty());
  EXPECT_EQ(tools(), (std::vector<Tool>{sample_tool("甲")}));  // nothing written yet
  std::filesystem::remove_all(outside);
  std::filesystem::remove_all(sibling);
}

TEST_F(AddPanelTest, AShortcutGivesItsTargetAndArgumentsButItsOwnNameAndIcons) {
  start_with({});
  fixtures::Lnk k;
  k.local_base = "C:\\Tools\\";
  k.suffix = "run.exe";
  k.arguments = u"-f C:\\a\\b";
  const std::string lnk = write_file(box.dir(), "Links/我的 工具.lnk", fixtures::lnk_file(k));
  shell->hooks().open_add_panel(lnk);
  EXPECT_EQ(text("添加_工具名"), "我的 工具");
  EXPECT_EQ(text("添加_路径"), "C:\\Tools\\run.exe -f C:\\a\\b");
  // Cut at the last backslash of the whole text, arguments included.
  EXPECT_EQ(text("添加_目录"), "C:\\Tools\\run.exe -f C:\\a\\");
  EXPECT_EQ(text("添加_说明"), "我的 工具");
  expect_icons_of(lnk);

  // An unreadable shortcut keeps its name and gives no path.
  const std::string broken = write_file(box.dir(), "Links/坏.lnk", "not a link");
  shell->hooks().open_add_panel(broken);
  EXPECT_EQ(text("添加_工具名"), "坏");
  EXPECT_EQ(text("添加_路径"), "");
  EXPECT_EQ(text("添加_目录"), "");

  // Only a lower-case extension makes a shortcut.
  const std::string upper = write_file(box.dir(), "Links/Up.LNK", fixtures::lnk_file(k));
  shell->hooks().open_add_panel(upper);
  EXPECT_EQ(text("添加_路径"), std::string(kToken) + "\\Links\\Up.LNK");
}

TEST_F(AddPanelTest, AddingAppendsTheToolReloadsAndSelectsIt) {
  start_with({sample_tool("甲")});
  const std::string file = write_file(box.dir(), "Tools/CPU-Z绿色汉化版.exe", "x");
  window.answers.clear();
  click("添加工具");  // the hint, then the empty panel
  ASSERT_EQ(window.message_texts(),
            std::vector<std::string>{"您可以直接拖文件到本窗口来添加工具。"});
  window.chosen_files = {file};
  click("超级按钮1");
  EXPECT_EQ(window.dialogs_shown.back().second, "");  // every file
  type("添加_说明", "改过的说明");
  const auto held = panels->panels().held_icons();
  window.messages.clear();
  click("保存修改按钮1");

  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].text, "成功加入~");
  EXPECT_EQ(window.messages[0].icon, MessageIcon::none);
  const std::vector<Tool> stored = tools();
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_EQ(stored[0], sample_tool("甲"));
  const Tool expected{"CPU-Z绿色汉化版",
                      std::string(kToken) + "\\Tools\\CPU-Z绿色汉化版.exe",
                      std::string(kToken) + "\\Tools\\",
                      "改过的说明",
                      held[0],
                      width6_display_name("CPU-Z绿色汉化版"),
                      held[1],
                      held[2]};
  EXPECT_EQ(stored[1], expected);
  EXPECT_EQ(stored[1].display_name, "CPU-Z 绿色汉/换行/化版");
  EXPECT_FALSE(window.visible("外形框1"));
  EXPECT_EQ(window.column("超级列表框1", 0), (std::vector<std::string>{"甲", "CPU-Z绿色汉化版"}));
  EXPECT_EQ(window.selected_row("超级列表框1"), 1);
  EXPECT_EQ(window.focused, "超级列表框1");
  for (const char* menu : {"添加工具", "分类", "编辑", "帮助"})
    EXPECT_TRUE(window.menu_enabled(menu));
}

TEST_F(AddPanelTest, EmptyRequiredFieldsAreRefusedAndNothingIsWritten) {
  start_with({sample_tool("甲")});
  struct Case {
    const char* emptied;
    bool refused;
  };
  for (Case c : {Case{"添加_路径", true}, Case{"添加_目录", true}, Case{"添加_工具名", true},
                 Case{"添加_说明", false}}) {
    SCOPED_TRACE(c.emptied);
    shell->hooks().open_add_panel(write_file(box.dir(), "a.exe", "x"));
    type("添加_路径", " ");  // spaces are content
    type(c.emptied, "");
    window.messages.clear();
    const size_t before = tools().size();
    click("保存修改按钮1");
    ASSERT_EQ(window.messages.size(), 1u);
    if (c.refused) {
      EXPECT_EQ(window.messages[0].text, "不允许添加空数据。");
      EXPECT_EQ(window.messages[0].icon, MessageIcon::warning);
      EXPECT_EQ(tools().size(), before);
      EXPECT_TRUE(window.visible("外形框1"));
    } else {
      EXPECT_EQ(window.messages[0].text, "成功加入~");
      EXPECT_EQ(tools().size(), before + 1);
      EXPECT_EQ(tools().back().description, "");
    }
  }
}

TEST_F(AddPanelTest, TextThatGbkCannotHoldIsRefusedNotStored) {
  start_with({});
  // A dropped file whose name the host cannot spell opens nothing.
  shell->hooks().open_add_panel(write_file(box.dir(), "x😀.exe", "x"));
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].icon, MessageIcon::warning);
  EXPECT_NE(window.messages[0].text.find("U+1F600"), std::string::npos) << window.messages[0].text;
  EXPECT_FALSE(window.visible("外形框1"));
  window.messages.clear();

  shell->hooks().open_add_panel(write_file(box.dir(), "a.exe", "x"));
  window.refusals["添加_工具名"] =
      "文本中含有无法保存的字符（U+1F600），请删除或更换该字符后再试。";
  click("保存修改按钮1");
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].text,
            "文本中含有无法保存的字符（U+1F600），请删除或更换该字符后再试。");
  EXPECT_EQ(window.messages[0].icon, MessageIcon::warning);
  EXPECT_TRUE(tools().empty());
}

// Tables of six, seven and eight fields get the fields they have.
TEST_F(AddPanelTest, StoresWhatEachTableShapeHolds) {
  for (int fields : {6, 7, 8}) {
    SCOPED_TRACE(fields);
    TearDown();
    shell.reset();
    panels.reset();
    std::filesystem::remove_all(box.dir() + "/List");
    std::filesystem::create_directory(box.dir() + "/List");
    SetUp();
    start_with({}, fields);
    shell->hooks().open_add_panel(write_file(box.dir(), "Tools/ABCDEFGHIJKLMN.exe", "x"));
    const auto held = panels->panels().held_icons();
    click("保存修改按钮1");
    const std::vector<Tool> stored = tools();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].name, "ABCDEFGHIJKLMN");
    EXPECT_EQ(stored[0].icon32, held[0]);
    EXPECT_EQ(stored[0].display_name, "ABCDEFGHIJ/换行/KLMN");  // all three have the field
    EXPECT_EQ(stored[0].icon40, fields >= 7 ? held[1] : "");
    EXPECT_EQ(stored[0].icon48, fields >= 8 ? held[2] : "");
  }
}

// A failing write at every point of an add: a failed append or name leaves the table as it
// was (no blank tool), and the panel stays open for another try.
TEST_F(AddPanelTest, AFailedAppendOrNameWriteLeavesNoBlankTool) {
  const std::vector<Tool> original = {sample_tool("甲"), sample_tool("乙")};
  start_with(original);
  const std::string file = write_file(box.dir(), "Tools/新工具.exe", "x");
  shell->hooks().open_add_panel(file);
  bool saw_append = false, saw_name = false, saw_partly = false;
  for (int k = 1; k < 300; ++k) {
    window.messages.clear();
    faults.arm(k, storage::FaultFileSystem::kWrite);
    click("保存修改按钮1");
    faults.arm(0);
    ASSERT_EQ(window.messages.size(), 1u) << k;
    const Shown& m = window.messages[0];
    if (m.text == "成功加入~") break;
    EXPECT_EQ(m.icon, MessageIcon::error);
    if (m.text == "工具已加入，但部分内容未能写入数据库。请在查看/修改中检查该工具后重新保存。") {
      // A later field failed: the tool is listed and selected, not reported as a success.
      saw_partly = true;
      ASSERT_EQ(tools().size(), 3u) << k;
      EXPECT_EQ(tools()[2].name, "新工具");
      EXPECT_FALSE(window.visible("外形框1"));
      EXPECT_EQ(window.selected_row("超级列表框1"), 2);
      ASSERT_TRUE(db.go_to_record(3) && db.mark_deleted() && db.pack_table());
      shell->reload_category();
      shell->hooks().open_add_panel(file);
      continue;
    }
    if (m.text == "添加数据记录失败，请确保程序有对应数据库及目录的写入权限。") {
      saw_append = true;
    } else {
      EXPECT_EQ(m.text, "写入数据记录失败，请确保程序有对应数据库及目录的写入权限。");
      saw_name = true;
    }
    EXPECT_EQ(tools(), original) << k;
    EXPECT_TRUE(window.visible("外形框1"));
    EXPECT_EQ(text("添加_工具名"), "新工具");
  }
  EXPECT_TRUE(saw_append);
  EXPECT_TRUE(saw_name);
  EXPECT_TRUE(saw_partly);
  EXPECT_EQ(tools().size(), 3u);
}

TEST_F(AddPanelTest, ChosenSlotImagesAreStoredAsIsOrScaledAfterYes) {
  start_with({});
  shell->hooks().open_add_panel({});
  const std::string png32 = fixtures::solid_png(32, 32, 0xFF0000FFu);
  const std::string png64 = fixtures::solid_png(64, 64, 0xFF00FF00u);
  const std::string f32 = write_file(box.dir(), "p/32.png", png32);
  const std::string f64 = write_file(box.dir(), "p/64.png", png64);
  const auto& held = panels->panels().held_icons();
  const std::string before48 = held[2];

  window.chosen_files = {f32};
  dispatch("动画框2", Event::slot_double_clicked, 0);
  EXPECT_TRUE(window.messages.empty());
  EXPECT_EQ(held[0], png32);
  EXPECT_EQ(window.pictures["动画框2"][0].bytes, png32);
  EXPECT_EQ(window.dialogs_shown.back(),
            (std::pair<std::string, std::string>{"通用对话框2", "PNG图片文件(*.png)|*.png"}));
  EXPECT_EQ(window.dialog_filter("通用对话框2"), "");

  window.chosen_files = {f64};
  window.answers = {MessageAnswer::no};
  dispatch("动画框2", Event::slot_double_clicked, 2);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].text,
            "您选择的图片尺寸不是48*48，程序将会自动缩放，但可能会模糊，是否继续？");
  EXPECT_EQ(window.messages[0].icon, MessageIcon::question);
  EXPECT_EQ(held[2], before48);
  EXPECT_EQ(window.dialog_filter("通用对话框2"), "");

  window.chosen_files = {f64};
  window.answers = {MessageAnswer::yes};
  dispatch("动画框2", Event::slot_double_clicked, 0);
  EXPECT_EQ(window.messages.back().text,
            "您选择的图片尺寸不是32*32，程序将会自动缩放，但可能会模糊，是否继续？");
  EXPECT_EQ(imaging::read_image_size_from_bytes(held[0]), (imaging::ImageSize{32, 32}));
  EXPECT_NE(held[0], png64);

  window.chosen_files = {std::nullopt};  // cancelled: nothing changes
  const std::string kept = held[1];
  dispatch("动画框2", Event::slot_double_clicked, 1);
  EXPECT_EQ(held[1], kept);
  EXPECT_EQ(window.dialog_filter("通用对话框2"), "");

  type("添加_工具名", "图");
  type("添加_路径", "C:\\a.exe");
  type("添加_目录", "C:\\");
  const auto chosen = held;
  window.messages.clear();
  click("保存修改按钮1");
  ASSERT_EQ(tools().size(), 1u);
  EXPECT_EQ(tools()[0].icon32, chosen[0]);
  EXPECT_EQ(tools()[0].icon40, chosen[1]);
  EXPECT_EQ(tools()[0].icon48, chosen[2]);
}

TEST_F(AddPanelTest, TheComboSwitchesTheCategoryTheToolGoesTo) {
  start_with({sample_tool("甲")});
  shell->hooks().open_add_panel(write_file(box.dir(), "b.exe", "x"));
  window.set_current_index("组合框1", 1);
  dispatch("组合框1", Event::item_selected, 1);
  EXPECT_EQ(open_category(), "主板工具");
  click("保存修改按钮1");
  EXPECT_EQ(tools("主板工具").size(), 2u);
  EXPECT_EQ(tools("CPU工具").size(), 1u);
  EXPECT_EQ(window.column("超级列表框1", 0), (std::vector<std::string>{"主板", "b"}));
  EXPECT_EQ(window.selected_row("超级列表框1"), 1);
}

TEST_F(AddPanelTest, CancelAndCloseWriteNothing) {
  start_with({sample_tool("甲")});
  for (const char* button : {"取消按钮_查看修改3", "关闭按钮_查看修改1"}) {
    shell->hooks().open_add_panel(write_file(box.dir(), "c.exe", "x"));
    click(button);
    EXPECT_FALSE(window.visible("外形框1")) << button;
    for (const char* menu : {"添加工具", "分类", "编辑", "帮助"})
      EXPECT_TRUE(window.menu_enabled(menu)) << menu;
  }
  EXPECT_EQ(tools().size(), 1u);
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(AddPanelTest, HelpTextHasElevenLines) {
  start_with({});
  click("取消按钮_查看修改2");
  click("取消按钮_查看修改1");
  ASSERT_EQ(window.messages.size(), 2u);
  EXPECT_EQ(window.messages[0].text, window.messages[1].text);
  EXPECT_EQ(window.messages[0].icon, MessageIcon::none);
  std::vector<std::string> lines;
  std::string t = window.messages[0].text;
  for (size_t at; (at = t.find("\r\n")) != std::string::npos; t.erase(0, at + 2))
    lines.push_back(t.substr(0, at));
  lines.push_back(t);
  ASSERT_EQ(lines.size(), 11u);
  EXPECT_EQ(lines[0], "关于工具名：");
  EXPECT_EQ(lines[3], "");
  EXPECT_EQ(lines[4], "关于图标：");
  EXPECT_EQ(lines[7], "");
  EXPECT_EQ(lines[8], "关于路径/目录：");
  EXPECT_TRUE(lines[10].ends_with("错误的目录可能会导致工具运行不正常。"));
}

}  // namespace
}  // namespace app_test
