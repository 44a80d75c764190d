// The commands of 编辑 and 帮助, the popup menu and the notice countdown, through the fake
// window on real protected tables.
#include <gtest/gtest.h>

#include "app/shell.h"
#include "fake_window.h"
#include "storage/fault_file.h"
#include "toolbox_fixture.h"

namespace app_test {
namespace {

using app::Event;
using app::MessageAnswer;
using app::MessageIcon;

constexpr const char* kList = "超级列表框1";

class ListCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    storage::set_fatal_handler([this](std::string_view report) {
      ++fatal_count;
      ADD_FAILURE() << "fatal: " << report;
    });
  }
  void TearDown() override { storage::set_fatal_handler({}); }

  // Opens CPU工具 with these tools and starts the shell.
  void start_with(const std::vector<Tool>& tools, int field_count = 8) {
    box.create("CPU工具", tools, field_count);
    shell = std::make_unique<app::Shell>(window, db, app::ShellOptions{box.dir(), box.dir()});
    ASSERT_FALSE(shell->start().has_value());
    window.messages.clear();
  }
  void run(const char* item) { ASSERT_TRUE(shell->events().dispatch(item, Event::clicked)); }
  std::vector<Tool> tools() { return box.read("CPU工具"); }
  std::vector<std::string> names() { return window.column(kList, 0); }

  Toolbox box;
  FakeWindow window;
  storage::FaultFileSystem faults{storage::posix_file_system()};
  storage::Database db{faults};
  std::unique_ptr<app::Shell> shell;
  int fatal_count = 0;
};

std::vector<Tool> four_tools() {
  Tool bare{"丁", "D:\\d.exe", "D:\\", "", "", "", "", ""};  // empty icons move as empty
  return {sample_tool("甲"), sample_tool("乙"), sample_tool("丙"), bare};
}

TEST_F(ListCommandsTest, RefusalsChangeNothing) {
  struct Case {
    std::vector<Tool> tools;
    int selected;
    const char* item;
    std::string message;
  };
  std::vector<Case> cases = {
      {four_tools(), -1, "删除", "请先选中需要删除的工具。"},
      {four_tools(), -1, "上移", "请在列表中选中需要上移的工具。"},
      {four_tools(), -1, "下移", "请在列表中选中需要下移的工具。"},
      {four_tools(), 0, "上移", "都TM在顶上了还上移个锤子。"},
      {four_tools(), 3, "下移", "都TM在最底下了还下移个锤子。"},
      {{sample_tool("甲")}, 0, "上移", "都TM在顶上了还上移个锤子。"},
      {{sample_tool("甲")}, 0, "下移", "都TM在最底下了还下移个锤子。"},
  };
  for (const Case& c : cases) {
    Toolbox fresh;
    FakeWindow w;
    storage::Database d;
    fresh.create("CPU工具", c.tools);
    app::Shell s(w, d, {fresh.dir(), fresh.dir()});
    s.start();
    w.select_row(kList, c.selected);
    s.events().dispatch(c.item, Event::clicked);
    ASSERT_EQ(w.messages.size(), 1u) << c.item;
    EXPECT_EQ(w.messages[0].text, c.message);
    EXPECT_EQ(w.messages[0].caption, "信息：");
    EXPECT_EQ(w.messages[0].icon, MessageIcon::warning);
    EXPECT_EQ(fresh.read("CPU工具"), c.tools) << c.item;
  }
}

TEST_F(ListCommandsTest, DeleteAsksFirstAndOnlyYesDeletes) {
  start_with(four_tools());
  window.select_row(kList, 1);
  window.answers = {MessageAnswer::no};
  run("删除");
  ASSERT_EQ(window.messages.size(), 1u);
  EXPECT_EQ(window.messages[0].text, "是否确定删除当前选中表项？");
  EXPECT_EQ(window.messages[0].icon, MessageIcon::question);
  EXPECT_EQ(window.messages[0].buttons, app::MessageButtons::yes_no);
  EXPECT_EQ(tools(), four_tools());

  window.answers = {MessageAnswer::yes};
  run("删除");
  std::vector<Tool> expected = four_tools();
  expected.erase(expected.begin() + 1);
  EXPECT_EQ(tools(), expected);
  EXPECT_EQ(names(), (std::vector<std::string>{"甲", "丙", "丁"}));
  EXPECT_EQ(window.selected_row(kList), -1);
  EXPECT_EQ(window.messages.size(), 2u);
}

TEST_F(ListCommandsTest, DeletingTheOnlyToolLeavesAnEmptyList) {
  start_with({sample_tool("甲")});
  window.select_row(kList, 0);
  window.answers = {MessageAnswer::yes};
  run("删除");
  EXPECT_TRUE(tools().empty());
  EXPECT_TRUE(names().empty());
}

// Every write of a delete fails in turn: a failed mark changes nothing and keeps the list;
// a failed removal leaves the record listed and says so.
TEST_F(ListCommandsTest, FailedDeleteWritesAreReported) {
  start_with(four_tools());
  bool saw_mark = false, saw_pack = false;
  for (int k = 1; k < 200; ++k) {
    window.messages.clear();
    window.select_row(kList, 2);
    window.answers = {MessageAnswer::yes};
    int clears = window.clears;
    faults.arm(k, storage::FaultFileSystem::kWrite);
    run("删除");
    bool fired = faults.fired();
    faults.arm(0);
    if (!fired) break;
    ASSERT_EQ(window.messages.size(), 2u) << k;
    const Shown& m = window.messages[1];
    EXPECT_EQ(m.icon, MessageIcon::error);
    EXPECT_EQ(m.caption, "信息：");
    if (m.text == "添加删除标记失败，未做任何更改。") {
      saw_mark = true;
      EXPECT_EQ(window.clears, clears) << "list rebuilt after a failed mark";
      EXPECT_EQ(tools(), four_tools());
    } else {
      EXPECT_EQ(m.text, "删除带有删除标记的数据失败。");
      saw_pack = true;
      EXPECT_EQ(window.clears, clears + 1);
      EXPECT_EQ(names().size(), tools().size());
      break;  // the record stays marked; later runs would remove it
    }
  }
  EXPECT_TRUE(saw_mark);
  EXPECT_TRUE(saw_pack);
}

TEST_F(ListCommandsTest, MovingExchangesWholeRecordsAndFollowsTheTool) {
  start_with(four_tools());
  std::vector<Tool> t = four_tools();

  window.select_row(kList, 3);
  run("上移");  // records 4 and 3
  std::swap(t[3], t[2]);
  EXPECT_EQ(tools(), t);
  EXPECT_EQ(names(), (std::vector<std::string>{"甲", "乙", "丁", "丙"}));
  EXPECT_EQ(window.selected_row(kList), 2);

  window.select_row(kList, 0);
  run("下移");  // records 1 and 2
  std::swap(t[0], t[1]);
  EXPECT_EQ(tools(), t);
  EXPECT_EQ(window.selected_row(kList), 1);
  EXPECT_TRUE(window.messages.empty());
}

TEST_F(ListCommandsTest, MovingInASixFieldTableCarriesOnlyItsFields) {
  std::vector<Tool> t = {sample_tool("甲"), sample_tool("乙")};
  for (Tool& x : t) x.icon40 = x.icon48 = "";
  start_with(t, 6);
  window.select_row(kList, 1);
  run("上移");
  std::swap(t[0], t[1]);
  EXPECT_EQ(tools(), t);
  EXPECT_EQ(window.selected_row(kList), 0);
  EXPECT_EQ(fatal_count, 0);
  EXPECT_TRUE(window.messages.empty());
}

// Each write of a move fails in turn; the two records must come out as they were, with an
// error box, and the tool stays selected where it was.
TEST_F(ListCommandsTest, AFailedWriteLeavesBothRecordsAsTheyWere) {
  start_with(four_tools());
  int failures = 0;
  for (int k = 1; k < 400; ++k) {
    window.messages.clear();
    window.select_row(kList, 1);
    faults.arm(k, storage::FaultFileSystem::kWrite);
    run("下移");
    bool fired = faults.fired();
    faults.arm(0);
    if (!fired) break;
    ++failures;
    ASSERT_EQ(window.messages.size(), 1u) << k;
    EXPECT_EQ(window.messages[0].text,
              "移动工具失败，未做任何更改。请确保程序有对应数据库的写入权限。");
    EXPECT_EQ(window.messages[0].icon, MessageIcon::error);
    EXPECT_EQ(window.messages[0].caption, "信息：");
    ASSERT_EQ(tools(), four_tools()) << "after failing write " << k;
    EXPECT_EQ(window.selected_row(kList), 1);
  }
  EXPECT_GT(failures, 1);
}

// Each read or lock of a move fails in turn: the move either happens whole or not at all,
// and nothing reaches the fatal report.
TEST_F(ListCommandsTest, AFailedReadOrLockNeverHalfMoves) {
  start_with(four_tools());
  std::vector<Tool> swapped = four_tools();
  std::swap(swapped[1], swapped[2]);
  bool saw_read_box = false;
  for (int k = 1; k < 400; ++k) {
    std::vector<Tool> before = tools();
    window.messages.clear();
    shell->reload_category();
    window.select_row(kList, 1);
    faults.arm(k, storage::FaultFileSystem::kRead | storage::FaultFileSystem::kLock);
    run("下移");
    bool fired = faults.fired();
    faults.arm(0);
    std::vector<Tool> after = tools();
    EXPECT_TRUE(after == four_tools() || after == swapped) << "after failing call " << k;
    for (const Shown& m : window.messages)
      saw_read_box = saw_read_box || m.text == "读取工具数据失败，未做任何更改。";
    if (!fired) break;
    if (after != before) {
      // The move went through; put it back for the next round.
      faults.arm(0);
      window.select_row(kList, 1);
      shell->exchange_records(2, 3);
    }
  }
  EXPECT_TRUE(saw_read_box);
  EXPECT_EQ(fatal_count, 0);
}

TEST_F(ListCommandsTest, WithoutAnOpenTableTheCommandsRefuseBeforeTouchingIt) {
  start_with(four_tools());
  int views = 0;
  shell->hooks().open_view_panel = [&] { ++views; };
  shell->select_category("主板工具");  // no such table
  window.messages.clear();
  for (const char* item : {"删除", "上移", "下移", "修改"}) {
    window.select_row(kList, 1);
    run(item);
  }
  window.select_row(kList, 1);
  shell->events().dispatch(kList, Event::double_clicked);
  ASSERT_EQ(window.messages.size(), 5u);
  for (const Shown& m : window.messages) {
    EXPECT_EQ(m.text, "当前分类的数据库未能打开，无法进行此操作。");
    EXPECT_EQ(m.icon, MessageIcon::warning);
  }
  EXPECT_EQ(views, 0);
  EXPECT_EQ(fatal_count, 0);
  EXPECT_EQ(box.read("CPU工具"), four_tools());
}

TEST_F(ListCommandsTest, AddShowsItsHintThenOpensTheAddPanel) {
  start_with({});
  std::vector<std::string> order;
  window.on_message = [&](const Shown& m) { order.push_back("box " + m.text); };
  shell->hooks().open_add_panel = [&](std::string_view path) {
    order.push_back("panel [" + std::string(path) + "]");
  };
  run("添加工具");
  EXPECT_EQ(order,
            (std::vector<std::string>{"box 您可以直接拖文件到本窗口来添加工具。", "panel []"}));
  EXPECT_EQ(window.messages[0].icon, MessageIcon::warning);
}

TEST_F(ListCommandsTest, HelpAndAboutBoxes) {
  start_with({});
  run("查看帮助");
  run("关于工具");
  ASSERT_EQ(window.messages.size(), 2u);
  EXPECT_EQ(window.messages[0].text,
            "在分类菜单中可以选择需要修改的分类。\r\n拖动工具到本窗口可以快捷添加工具。\r\n"
            "双击列表中的工具可以查看/修改工具。\r\n右键单击工具可以移动/删除工具。");
  EXPECT_EQ(window.messages[0].icon, MessageIcon::none);
  EXPECT_EQ(window.messages[1].text,
            "\r\n\r\n如有其他需求，可以联系岚澄工具箱官方定做。\r\n\r\n联系方式：QQ 0");
  EXPECT_EQ(window.messages[1].icon, MessageIcon::question);
  for (const Shown& m : window.messages) {
    EXPECT_EQ(m.caption, "信息：");
    EXPECT_EQ(m.buttons, app::MessageButtons::ok);
  }
}

TEST_F(ListCommandsTest, ThePopupOffersEditWithoutAddAndItsItemsWork) {
  start_with(four_tools());
  shell->events().dispatch(kList, Event::right_clicked);
  EXPECT_TRUE(window.popups.empty());  // no selected row

  window.select_row(kList, 1);
  window.on_popup = [&](std::string_view) { shell->events().dispatch("上移", Event::clicked); };
  shell->events().dispatch(kList, Event::right_clicked);
  EXPECT_EQ(window.popups, std::vector<std::string>{"编辑 without 添加工具"});
  EXPECT_TRUE(window.menu_item_visible("添加工具"));
  EXPECT_EQ(names(), (std::vector<std::string>{"乙", "甲", "丙", "丁"}));
}

TEST_F(ListCommandsTest, DoubleClickOpensTheViewPanelOnlyOnASelectedRow) {
  start_with(four_tools());
  std::vector<int> opened;
  shell->hooks().open_view_panel = [&] { opened.push_back(window.selected_row(kList)); };
  shell->events().dispatch(kList, Event::double_clicked);
  window.select_row(kList, 2);
  shell->events().dispatch(kList, Event::double_clicked);
  run("修改");
  EXPECT_EQ(opened, (std::vector<int>{2, 2}));
}

TEST_F(ListCommandsTest, TheNoticeCountsDownOnceThenEnablesItsButton) {
  start_with({});
  window.set_enabled("超级按钮3", false);  // as the layout creates it
  std::vector<std::string> captions;
  for (int i = 0; i < 12; ++i) {
    shell->events().dispatch("时钟1", Event::tick);
    captions.push_back(utf8(window.text("超级按钮3")));
    if (i < 9) {
      EXPECT_FALSE(window.enabled("超级按钮3")) << i;
    }
  }
  std::vector<std::string> expected = {"确定(9)", "确定(8)", "确定(7)", "确定(6)",
                                       "确定(5)", "确定(4)", "确定(3)", "确定(2)",
                                       "确定(1)", "确定",    "确定",    "确定"};
  EXPECT_EQ(captions, expected);
  EXPECT_TRUE(window.enabled("超级按钮3"));
  EXPECT_EQ(window.timers["时钟1"], 0);
  shell->events().dispatch("超级按钮3", Event::clicked);
  EXPECT_FALSE(window.visible("外形框4"));
}

}  // namespace
}  // namespace app_test
