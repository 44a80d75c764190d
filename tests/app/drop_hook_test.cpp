// The file drop intake: attached at the end of start-up, each dropped path refilling the
// add panel in order, detached at shutdown.
#include <gtest/gtest.h>

#include "panels_fixture.h"

namespace app_test {
namespace {

using HookTest = PanelsTest;

TEST_F(HookTest, AttachesAtStartAndDetachesAtShutdown) {
  start_with({});
  EXPECT_TRUE(drop_hook.attached());
  EXPECT_TRUE(drop_source.receiver);
  shell->shutdown();
  EXPECT_FALSE(drop_hook.attached());
  EXPECT_FALSE(drop_source.receiver);
  shell->shutdown();  // detaching twice is harmless
  EXPECT_EQ(drop_source.changes, 2);
  shell.reset();
}

TEST_F(HookTest, AttachingTwiceKeepsTheFirst) {
  app::DropHook hook;
  FakeDropSource first, second;
  std::vector<std::string> to_first, to_second;
  hook.attach_drop_hook(first, [&](std::string_view p) { to_first.emplace_back(p); });
  hook.attach_drop_hook(second, [&](std::string_view p) { to_second.emplace_back(p); });
  EXPECT_FALSE(second.receiver);
  // The full path arrives uncut, however long.
  const std::string long_path = "/" + std::string(1500, 'x') + "/工具.exe";
  first.receiver({"/a", long_path});
  EXPECT_EQ(to_first, (std::vector<std::string>{"/a", long_path}));
  EXPECT_TRUE(to_second.empty());
  hook.detach_drop_hook();
  hook.detach_drop_hook();
  EXPECT_FALSE(first.receiver);
  EXPECT_EQ(first.changes, 2);
}

TEST_F(HookTest, AThreeFileDropLeavesTheThirdAndWritesNothing) {
  start_with({sample_tool("甲")});
  // Dropped while the view/modify panel is open: the overlay turns to the add panel.
  window.select_row("超级列表框1", 0);
  click("修改");
  std::vector<std::string> files = {write_file(box.dir(), "a/one.exe", "1"),
                                    write_file(box.dir(), "b/two.exe", "2"),
                                    write_file(box.dir(), "c/三.exe", "3")};
  int reloads = window.clears;
  drop_source.receiver(files);
  EXPECT_EQ(window.clears, reloads + 3);  // each path went through the add panel
  EXPECT_EQ(window.current_page("选择夹1"), 1);
  EXPECT_EQ(text("添加_工具名"), "三");
  EXPECT_EQ(text("添加_路径"), "岚澄工具箱目录\\c\\三.exe");
  EXPECT_EQ(tools(), (std::vector<Tool>{sample_tool("甲")}));
  EXPECT_TRUE(window.messages.empty());
  // A folder is handed over like a file.
  std::filesystem::create_directories(box.dir() + "/Folder.d");
  drop_source.receiver({box.dir() + "/Folder.d"});
  EXPECT_EQ(text("添加_工具名"), "Folder");
  EXPECT_EQ(text("添加_目录"), "岚澄工具箱目录\\");
}

}  // namespace
}  // namespace app_test
