// The view/modify and rename panels through the fake window on real protected tables.
#include <gtest/gtest.h>

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

class ViewPanelTest : public PanelsTest {
 protected:
  void open_row(int row) {
    window.select_row("超级列表框1", row);
    click("修改");
  }
  const std::array<std::string, 3>& held() { return panels->panels().held_icons(); }
};

Tool bare_tool() {
  return {"无图标", "C:\\t\\a.exe", "C:\\t\\", "说明", "", "", "", ""};
}

TEST_F(ViewPanelTest, NothingSelectedOpensNothing) {
  start_with({sample_tool("甲")});
  click("修改");
  ASSERT_EQ(window.message_texts(), std::vector<std::string>{"请选中需要修改的项目。"});
  EXPECT_EQ(window.messages[0].icon, MessageIcon::warning);
  EXPECT_FALSE(window.visible("外形框1"));
}

TEST_F(ViewPanelTest, ShowsTheRecordAndSavesItBackWithDefaultIcons) {
  start_with({sample_tool("甲"), bare_tool()});
  open_row(1);
  EXPECT_TRUE(window.visible("外形框1"));
  EXPECT_EQ(window.current_page("选择夹1"), 0);
  for (const char* menu : {"分类", "编辑", "帮助"}) EXPECT_FALSE(window.menu_enabled(menu));
  EXPECT_EQ(text("修改_工具名"), "无图标");
  EXPECT_EQ(text("修改_路径"), "C:\\t\\a.exe");
  EXPECT_EQ(text("修改_目录"), "C:\\t\\");
  EXPECT_EQ(text("修改_说明"), "说明");
  EXPECT_EQ(window.pictures["动画框1"][0].bytes, "");
  EXPECT_EQ(window.pictures["动画框1"][1].bytes, imaging::default_icon_40());
  EXPECT_EQ(window.pictures["动画框1"][2].bytes, imaging::default_icon_48());

  type("修改_说明", "");
  click("保存修改按钮");
  EXPECT_TRUE(window.messages.empty());
  EXPECT_FALSE(window.visible("外形框1"));
  for (const char* menu : {"分类", "编辑", "帮助"}) EXPECT_TRUE(window.menu_enabled(menu));
  Tool expected = bare_tool();
  expected.description = "";
  expected.display_name = "无图标";
  expected.icon40 = imaging::default_icon_40();
  expected.icon48 = imaging::default_icon_48();
  EXPECT_EQ(tools(), (std::vector<Tool>{sample_tool("甲"), expected}));
  EXPECT_EQ(window.column("超级列表框1", 3), (std::vector<std::string>{"甲说明", ""}));

  // Unchanged icons go back byte for byte; the display name is computed again.
  open_row(0);
  click("保存修改按钮");
  Tool first = sample_tool("甲");
  first.display_name = "甲";
  EXPECT_EQ(tools()[0], first);
}

TEST_F(ViewPanelTest, CancelAndCloseWriteNothing) {
  start_with({sample_tool("甲")});
  for (const char* button : {"取消按钮_查看修改", "关闭按钮_查看修改"}) {
    open_row(0);
    type("修改_工具名", "改");
    click(button);
    EXPECT_FALSE(window.visible("外形框1"));
  }
  EXPECT_EQ(tools(), (std::vector<Tool>{sample_tool("甲")}));
}

// A failing write at every point of a save: the first write's failure has its message;
// a later one is reported too, and the panel stays open with the user's changes so that
// saving again completes the record.
TEST_F(ViewPanelTest, EveryFailedWriteIsReportedAndThePanelStaysOpen) {
  start_with({sample_tool("甲")});
  open_row(0);
  type("修改_工具名", "新名字");
  type("修改_路径", "D:\\new.exe");
  bool saw_first = false, saw_later = false;
  for (int k = 1; k < 300; ++k) {
    window.messages.clear();
    faults.arm(k, storage::FaultFileSystem::kWrite);
    click("保存修改按钮");
    const bool fired = faults.fired();
    faults.arm(0);
    if (!fired) {
      EXPECT_TRUE(window.messages.empty());
      EXPECT_FALSE(window.visible("外形框1"));
      break;
    }
    ASSERT_EQ(window.messages.size(), 1u) << k;
    EXPECT_EQ(window.messages[0].icon, MessageIcon::error);
    EXPECT_TRUE(window.visible("外形框1"));
    if (window.messages[0].text ==
        "写数据库失败，未进行任何操作。请检查程序是否有对应数据库的写入权限。") {
      saw_first = true;
      EXPECT_EQ(tools()[0].name, "甲");
    } else {
      EXPECT_EQ(window.messages[0].text,
                "写数据库失败，部分内容未能保存。请检查程序是否有对应数据库的写入权限后重新保存。");
      saw_later = true;
    }
  }
  EXPECT_TRUE(saw_first);
  EXPECT_TRUE(saw_later);
  Tool expected = sample_tool("甲");
  expected.name = "新名字";
  expected.path = "D:\\new.exe";
  expected.display_name = "新名字";
  EXPECT_EQ(tools()[0], expected);
}

TEST_F(ViewPanelTest, ChosenPicturesGifsPlayInTheFirstSlot) {
  start_with({sample_tool("甲")});
  open_row(0);
  auto frame = [](int colour) {
    return fixtures::GifFrame{0, 0, 32, 32, [colour](int, int) { return colour; }};
  };
  const std::string gif32 = fixtures::gif_file(32, 32, {0xFF0000, 0x00FF00}, {frame(0), frame(1)});
  const std::string gif64 = fixtures::gif_file(64, 64, {0xFF0000, 0x00FF00},
                                               {{0, 0, 64, 64, [](int, int) { return 1; }}});
  ASSERT_FALSE(gif32.empty());
  const std::string f32 = write_file(box.dir(), "p/a.gif", gif32);
  const std::string f64 = write_file(box.dir(), "p/b.gif", gif64);

  window.chosen_files = {f32};
  dispatch("动画框1", Event::slot_double_clicked, 0);
  EXPECT_TRUE(window.messages.empty());
  EXPECT_EQ(window.dialogs_shown.back(),
            (std::pair<std::string, std::string>{
                "通用对话框1", "PNG图片文件(*.png)|*.png|GIF动态图片文件(*.gif)|*.gif"}));
  EXPECT_EQ(window.dialog_filter("通用对话框1"), "");
  EXPECT_EQ(window.pictures["动画框1"][0].bytes, gif32);
  EXPECT_TRUE(window.pictures["动画框1"][0].animate);

  window.chosen_files = {f64};
  window.answers = {MessageAnswer::yes};
  dispatch("动画框1", Event::slot_double_clicked, 1);
  EXPECT_EQ(window.message_texts(),
            std::vector<std::string>{
                "您选择的图片尺寸不是40*40，程序将会自动缩放，但可能会模糊，是否继续？"});
  const std::string png40 = held()[1];
  EXPECT_EQ(png40.substr(1, 3), "PNG");
  EXPECT_EQ(imaging::read_image_size_from_bytes(png40), (imaging::ImageSize{40, 40}));
  EXPECT_FALSE(window.pictures["动画框1"][1].animate);

  click("保存修改按钮");
  EXPECT_EQ(tools()[0].icon32, gif32);  // stored byte for byte
  EXPECT_EQ(tools()[0].icon40, png40);
}

TEST_F(ViewPanelTest, OneClickExtractionAsksWhenTheFileIsMissing) {
  const std::string exe = "Tools/有/a.exe";
  Tool t = sample_tool("甲");
  t.path = std::string(kToken) + "\\Tools\\有\\a.exe";
  Tool with_args = sample_tool("乙");
  with_args.path = std::string(kToken) + "\\Tools\\有\\a.exe -x";
  start_with({t, with_args});
  const std::string native = write_file(box.dir(), exe, "x");

  open_row(0);
  click("一键提取图标按钮");
  EXPECT_TRUE(window.messages.empty());
  EXPECT_EQ(held()[0], imaging::extract_file_icon(native, 32));
  EXPECT_EQ(held()[2], imaging::extract_file_icon(native, 48));
  EXPECT_EQ(held()[1], imaging::scale_image(held()[2], 40, 40));
  EXPECT_EQ(window.pictures["动画框1"][2].bytes, held()[2]);
  click("取消按钮_查看修改");

  open_row(1);
  const auto before = held();
  window.answers = {MessageAnswer::no};
  click("一键提取图标按钮");
  EXPECT_EQ(window.message_texts(),
            std::vector<std::string>{"文件不存在，继续将会使用系统默认的空白图标，是否继续？"});
  EXPECT_EQ(held(), before);
  window.answers = {MessageAnswer::yes};
  click("一键提取图标按钮");
  EXPECT_EQ(held()[0], imaging::blank_file_icon(32));
  EXPECT_EQ(held()[2], imaging::blank_file_icon(48));

  // A wildcard that matches an entry counts as existing, as the host's lookup has it.
  type("修改_路径", std::string(kToken) + "\\Tools\\有\\*.exe");
  window.messages.clear();
  click("一键提取图标按钮");
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(ViewPanelTest, BrowsingChangesPathAndDirectoryOnly) {
  start_with({sample_tool("甲")});
  open_row(0);
  const auto icons = held();
  window.chosen_files = {write_file(box.dir(), "Other/b.exe", "x")};
  click("超级按钮2");
  EXPECT_EQ(window.dialogs_shown.back().second, "");
  EXPECT_EQ(text("修改_路径"), std::string(kToken) + "\\Other\\b.exe");
  EXPECT_EQ(text("修改_目录"), std::string(kToken) + "\\Other\\");
  EXPECT_EQ(text("修改_工具名"), "甲");
  EXPECT_EQ(held(), icons);

  fixtures::Lnk k;
  k.local_base = "C:\\Tools\\";
  k.suffix = "run.exe";
  k.arguments = u"-x";
  window.chosen_files = {write_file(box.dir(), "l/a.lnk", fixtures::lnk_file(k))};
  click("超级按钮2");
  EXPECT_EQ(text("修改_路径"), "C:\\Tools\\run.exe");
  EXPECT_EQ(text("修改_目录"), "C:\\Tools\\");
}

TEST_F(ViewPanelTest, RightButtonOnThe48SlotWritesTheTemporaryIcon) {
  start_with({sample_tool("甲")});
  open_row(0);
  const std::string file = box.dir() + "/48临时.png";
  dispatch("动画框1", Event::slot_right_pressed, 1);
  EXPECT_FALSE(std::filesystem::exists(file));
  dispatch("动画框1", Event::slot_right_pressed, 2);
  std::ifstream in(file, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(bytes, sample_tool("甲").icon48);
}

TEST_F(ViewPanelTest, RenamePreviewsLinesAndStoresTheNameAsTyped) {
  start_with({sample_tool("甲"), sample_tool("乙")});
  open_row(1);
  dispatch("标签6", Event::double_clicked);
  EXPECT_EQ(window.current_page("选择夹1"), 2);
  EXPECT_EQ(text("修改_工具箱内显示的工具名"), "乙/换行/显示");
  EXPECT_EQ(text("修改后的工具名预览编辑框"), "乙\r\n显示");

  type("修改_工具箱内显示的工具名", "一/换行/二/换行/三");
  dispatch("修改_工具箱内显示的工具名", Event::text_changed);
  EXPECT_EQ(text("修改后的工具名预览编辑框"), "一\r\n二\r\n三");

  click("关闭按钮_查看修改2");  // back to the view page; nothing written
  EXPECT_EQ(window.current_page("选择夹1"), 0);
  EXPECT_EQ(tools()[1].display_name, "乙/换行/显示");

  dispatch("标签6", Event::double_clicked);
  type("修改_工具箱内显示的工具名", "一/换行/二/换行/三");
  click("保存修改按钮2");
  EXPECT_FALSE(window.visible("外形框1"));
  EXPECT_EQ(tools()[1].display_name, "一/换行/二/换行/三");
  EXPECT_EQ(tools()[0], sample_tool("甲"));

  // The next save in the view panel computes the display name again.
  open_row(1);
  click("保存修改按钮");
  EXPECT_EQ(tools()[1].display_name, "乙");
}

}  // namespace
}  // namespace app_test
