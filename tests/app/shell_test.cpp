// Start-up, the category catalogue, reloading and the tool list, through the fake window on
// real protected tables.
#include "app/shell.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/catalogue.h"
#include "fake_window.h"
#include "imaging/imaging.h"
#include "toolbox_fixture.h"

namespace app_test {
namespace {

using app::Event;
using app::MessageIcon;

std::vector<std::string> all_bases() {
  std::vector<std::string> out;
  for (const app::Category& c : app::kCatalogue) out.emplace_back(c.base_name);
  return out;
}

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    storage::set_fatal_handler([this](std::string_view report) {
      fatal_reports.emplace_back(report);
      ADD_FAILURE() << "fatal: " << report;
    });
  }
  void TearDown() override { storage::set_fatal_handler({}); }

  app::Shell& make_shell(const std::string& start_dir = {}) {
    shell = std::make_unique<app::Shell>(
        window, db, app::ShellOptions{box.dir(), start_dir.empty() ? box.dir() : start_dir});
    return *shell;
  }

  Toolbox box;
  FakeWindow window;
  storage::Database db;
  std::unique_ptr<app::Shell> shell;
  std::vector<std::string> fatal_reports;
};

TEST_F(ShellTest, RefusesToStartOutsideAToolboxFolder) {
  struct Case {
    bool list, skin;
  };
  for (Case c : {Case{false, true}, Case{true, false}, Case{false, false}}) {
    Toolbox here;
    if (!c.list) std::filesystem::remove(here.dir() + "/List");
    if (!c.skin) std::filesystem::remove(here.dir() + "/Skin");
    FakeWindow w;
    storage::Database d;
    app::Shell s(w, d, {box.dir(), here.dir()});
    std::optional<int> code = s.start();
    ASSERT_TRUE(code.has_value()) << c.list << c.skin;
    EXPECT_EQ(*code, 0);
    ASSERT_EQ(w.messages.size(), 1u);
    EXPECT_EQ(w.messages[0].text, "本工具需放到岚澄工具箱运行目录才能运行。");
    EXPECT_EQ(w.messages[0].caption, "信息：");
    EXPECT_EQ(w.messages[0].icon, MessageIcon::none);
    EXPECT_FALSE(d.has_current_table());  // no later step ran
    EXPECT_TRUE(w.icon_slots.empty());
  }
}

TEST_F(ShellTest, StartsOnTheCpuCategoryAndPreparesTheWindow) {
  box.create("CPU工具", {sample_tool("甲"), {"乙", "C:\\b.exe", "", "", "", "", "", ""}});
  // The List/Skin test looks in the working directory: a plain file counts, and the
  // tables come from the program directory.
  Toolbox start;
  std::filesystem::remove(start.dir() + "/Skin");
  { std::ofstream(start.dir() + "/skin") << "x"; }
  ASSERT_FALSE(make_shell(start.dir()).start().has_value());

  EXPECT_TRUE(window.messages.empty());
  EXPECT_EQ(shell->open_category(), "CPU工具");
  EXPECT_EQ(window.column("超级列表框1", 0), (std::vector<std::string>{"甲", "乙"}));
  EXPECT_EQ(window.column("超级列表框1", 1),
            (std::vector<std::string>{"岚澄工具箱目录\\Tools\\甲.exe", "C:\\b.exe"}));
  EXPECT_EQ(window.column("超级列表框1", 2),
            (std::vector<std::string>{"岚澄工具箱目录\\Tools\\", ""}));
  EXPECT_EQ(window.column("超级列表框1", 3), (std::vector<std::string>{"甲说明", ""}));
  EXPECT_EQ(window.column("超级列表框1", 4), (std::vector<std::string>{"双击查看", "双击查看"}));

  EXPECT_EQ(window.positions["外形框1"], std::make_pair(0, 0));
  EXPECT_EQ(window.positions["外形框4"], std::make_pair(0, 0));
  EXPECT_EQ(window.holder_colours["外形框1"], std::make_pair(0x373737u, 0x373737u));
  std::vector<std::pair<int, int>> slots = {{0, 0}, {57, 0}, {122, 0}};
  EXPECT_EQ(window.icon_slots["动画框1"], slots);
  EXPECT_EQ(window.icon_slots["动画框2"], slots);
  EXPECT_EQ(window.timers["时钟1"], 1000);
  EXPECT_EQ(shell->countdown(), 10);
}

// A toolbox folder copied from a system that ignores case may spell its folder "list".
TEST_F(ShellTest, TheListFolderIsFoundWhateverItsCase) {
  box.create("CPU工具", {sample_tool("甲")});
  std::filesystem::rename(box.dir() + "/List", box.dir() + "/list");
  ASSERT_FALSE(make_shell().start().has_value());
  EXPECT_TRUE(window.messages.empty());
  EXPECT_TRUE(db.has_current_table());
  EXPECT_EQ(window.column("超级列表框1", 0), (std::vector<std::string>{"甲"}));
}

TEST_F(ShellTest, EveryCategoryMenuItemOpensItsOwnTable) {
  box.create_all(all_bases());
  ASSERT_FALSE(make_shell().start().has_value());
  for (const app::Category& c : app::kCatalogue) {
    ASSERT_TRUE(shell->events().dispatch(c.label, Event::clicked)) << c.label;
    EXPECT_EQ(shell->open_category(), c.base_name);
    EXPECT_EQ(window.column("超级列表框1", 0),
              std::vector<std::string>{std::string(c.base_name) + "-工具"})
        << c.label;
  }
  // The two labels that differ from their files.
  shell->events().dispatch("磁盘工具", Event::clicked);
  EXPECT_EQ(window.column("超级列表框1", 0), std::vector<std::string>{"硬盘工具-工具"});
  shell->events().dispatch("综合工具", Event::clicked);
  EXPECT_EQ(window.column("超级列表框1", 0), std::vector<std::string>{"综合检测-工具"});
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(ShellTest, TheCategoryComboSwitchesByRow) {
  box.create_all(all_bases());
  make_shell().start();
  window.set_current_index("组合框1", 3);
  shell->events().dispatch("组合框1", Event::item_selected, 3);
  EXPECT_EQ(shell->open_category(), "显卡工具");
  for (int outside : {-1, 11}) {
    window.set_current_index("组合框1", outside);
    shell->on_category_combo_selected();
    EXPECT_EQ(shell->open_category(), "显卡工具");
  }
}

TEST_F(ShellTest, ReselectingTheOpenCategoryRebuildsTheListAndLosesTheSelection) {
  box.create("CPU工具", {sample_tool("甲"), sample_tool("乙")});
  make_shell().start();
  window.select_row("超级列表框1", 1);
  int clears = window.clears;
  shell->events().dispatch("CPU工具", Event::clicked);
  EXPECT_EQ(window.clears, clears + 1);
  EXPECT_EQ(window.selected_row("超级列表框1"), -1);
  EXPECT_EQ(window.row_count("超级列表框1"), 2);
}

TEST_F(ShellTest, AMissingTableKeepsThePreviousRowsAndLeavesNoTable) {
  box.create("CPU工具", {sample_tool("甲")});
  make_shell().start();
  shell->events().dispatch("主板工具", Event::clicked);
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].text, "打开数据库失败。");
  EXPECT_EQ(window.messages[0].caption, "错误");
  EXPECT_EQ(window.messages[0].icon, MessageIcon::error);
  EXPECT_EQ(shell->open_category(), "主板工具");
  EXPECT_FALSE(shell->has_table());
  EXPECT_EQ(window.column("超级列表框1", 0), std::vector<std::string>{"甲"});
  EXPECT_FALSE(window.close_requested);
}

TEST_F(ShellTest, AWrongPasswordOrDamagedTableIsAFailedOpen) {
  std::string error;
  ASSERT_TRUE(storage::create_table(box.table("CPU工具"), Toolbox::fields(), "other", &error));
  { std::ofstream(box.table("主板工具")) << "not a table at all"; }
  make_shell().start();
  shell->select_category("主板工具");
  ASSERT_EQ(window.message_texts(),
            (std::vector<std::string>{"打开数据库失败。", "打开数据库失败。"}));
  EXPECT_FALSE(shell->has_table());
}

TEST_F(ShellTest, TablesOfFewerThanSixFieldsEndTheProgram) {
  box.create("CPU工具", {sample_tool("甲")}, 6);
  box.create("主板工具", {sample_tool("乙")}, 5);
  make_shell().start();
  EXPECT_TRUE(window.messages.empty());
  EXPECT_EQ(window.column("超级列表框1", 0), std::vector<std::string>{"甲"});

  shell->select_category("主板工具");
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].text, "岚澄工具箱版本太低，请更新。");
  EXPECT_EQ(window.messages[0].caption, "信息：");
  EXPECT_EQ(window.messages[0].icon, MessageIcon::warning);
  EXPECT_TRUE(window.close_requested);
  EXPECT_EQ(window.column("超级列表框1", 0), std::vector<std::string>{"甲"});  // not listed
}

TEST_F(ShellTest, AnEmptyCategoryGivesAnEmptyListThatIgnoresClicks) {
  box.create("CPU工具", {});
  make_shell().start();
  int views = 0;
  shell->hooks().open_view_panel = [&] { ++views; };
  EXPECT_EQ(window.row_count("超级列表框1"), 0);
  shell->events().dispatch("超级列表框1", Event::right_clicked);
  shell->events().dispatch("超级列表框1", Event::double_clicked);
  EXPECT_TRUE(window.popups.empty());
  EXPECT_EQ(views, 0);
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(ShellTest, StartAndStopHooksRunAtTheEndsOfTheSequence) {
  box.create("CPU工具", {});
  make_shell();
  std::vector<std::string> order;
  auto state = [&](const char* step) {
    order.push_back(std::string(step) + ", timer " + std::to_string(window.timers["时钟1"]) +
                    (imaging::imaging_started() ? ", imaging" : ", no imaging"));
  };
  shell->hooks().started = [&] { state("started"); };
  shell->hooks().stopping = [&] { state("stopping"); };
  shell->start();
  shell->shutdown();
  EXPECT_EQ(order, (std::vector<std::string>{"started, timer 1000, imaging",
                                             "stopping, timer 1000, no imaging"}));
}

}  // namespace
}  // namespace app_test
