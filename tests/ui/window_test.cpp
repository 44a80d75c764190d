// The real window on the offscreen platform: names, geometry, captions, colours and fonts
// of representative controls, and menu actions reaching the shell.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFontInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QStackedWidget>
#include <QTimer>
#include <QTreeWidget>

#include "app/shell.h"
#include "toolbox_fixture.h"
#include "ui/fatal.h"
#include "ui/layout.h"
#include "ui/main_window.h"
#include "ui/qt_port.h"
#include "ui/widgets.h"

namespace {

using app_test::gbk;
using app_test::sample_tool;
using app_test::Toolbox;

QString q(const char* utf8) {
  return QString::fromUtf8(utf8);
}

class WindowTest : public ::testing::Test {
 protected:
  template <class T = QWidget>
  T* find(const char* name) {
    T* w = window.findChild<T*>(q(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }

  ui::MainWindow window;
};

TEST_F(WindowTest, EveryLayoutControlExistsUnderItsName) {
  for (const ui::Control& c : ui::controls()) {
    QString name = QString::fromUtf8(c.name.data(), static_cast<qsizetype>(c.name.size()));
    EXPECT_NE(window.findChild<QObject*>(name), nullptr) << c.name;
  }
  EXPECT_EQ(window.windowTitle(), q("岚澄工具箱工具管理器"));
  EXPECT_FALSE(window.windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(window.windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_EQ(window.client_area()->size(), QSize(1018, 450));
  EXPECT_EQ(window.minimumSize(), window.maximumSize());  // fixed frame
}

TEST_F(WindowTest, GeometryAndParentsFollowTheLayout) {
  struct Case {
    const char* name;
    const char* parent;
    QRect geometry;
  };
  for (Case c : {Case{"超级列表框1", "客户区", {0, 0, 1018, 450}},
                 Case{"外形框1", "客户区", {544, 136, 1018, 450}},
                 Case{"选择夹1", "外形框1", {97, 49, 824, 352}},
                 Case{"外形框2", "选择夹1.页0", {58, 52, 707, 248}},
                 Case{"外形框3", "选择夹1.页1", {58, 34, 707, 283}},
                 Case{"外形框6", "选择夹1.页2", {58, 65, 707, 221}},
                 Case{"关闭按钮_查看修改", "外形框2", {669, 1, 37, 28}},
                 Case{"组合框1", "外形框3", {88, 80, 584, 34}},
                 Case{"外形框5", "外形框4", {141, 101, 735, 247}},
                 Case{"超级按钮3", "外形框5", {191, 203, 352, 28}}}) {
    QWidget* w = find(c.name);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->geometry(), c.geometry) << c.name;
    EXPECT_EQ(w->parentWidget()->objectName(), q(c.parent)) << c.name;
  }
  // The close button lies above the right end of its title bar.
  QWidget* title = find("标签6");
  QWidget* close = find("关闭按钮_查看修改");
  EXPECT_TRUE(title->geometry().contains(close->geometry().topLeft()));
  QWidget* top = close->parentWidget()->childAt(close->geometry().center());
  EXPECT_EQ(top, close);
}

TEST_F(WindowTest, CaptionsVisibilityAndFonts) {
  EXPECT_TRUE(find("外形框1")->isHidden());
  EXPECT_TRUE(find("外形框4")->isHidden());
  EXPECT_TRUE(find("画板1")->isHidden());
  EXPECT_FALSE(find("超级列表框1")->isHidden());
  EXPECT_FALSE(find("超级按钮3")->isEnabled());
  EXPECT_EQ(find<QPushButton>("超级按钮3")->text(), q("确定(10)"));
  for (const char* name : {"一键提取图标按钮", "一键提取图标按钮_添加"}) {
    auto* b = find<QPushButton>(name);
    EXPECT_EQ(b->text(), q("一键提取\r\n文件图标"));
    // Drawn on two lines: the caption needs two line heights.
    QFontMetrics m(b->font());
    EXPECT_GE(
        m.boundingRect(QRect(0, 0, 77, 48), Qt::AlignCenter, q("一键提取\n文件图标")).height(),
        2 * m.height() - 1);
  }
  EXPECT_EQ(find<QLabel>("标签12")->text(), q("工具名:"));
  EXPECT_EQ(find<QLabel>("标签16")->text(), q("修改工具在工具箱内显示的工具名"));
  EXPECT_TRUE(find<QLabel>("标签15")->text().endsWith(q("作者QQ：0")));
  EXPECT_TRUE(find<QLabel>("标签15")->wordWrap());

  EXPECT_EQ(find("超级列表框1")->font().pixelSize(), 12);
  EXPECT_EQ(find("修改_工具名")->font().pixelSize(), 15);
  EXPECT_EQ(find("组合框1")->font().pixelSize(), 11);
  EXPECT_EQ(find("画板1")->font().pixelSize(), 11);
  // The layout's face is replaced by an installed CJK font.
  EXPECT_EQ(QFontInfo(find("画板1")->font()).family(), q("WenQuanYi Micro Hei"));

  auto* pages = find<QStackedWidget>("选择夹1");
  EXPECT_EQ(pages->count(), 3);
  auto* combo = find<QComboBox>("组合框1");
  ASSERT_EQ(combo->count(), 11);
  EXPECT_EQ(combo->itemText(4), q("磁盘工具"));
}

TEST_F(WindowTest, ColoursOfHoldersButtonsAndList) {
  EXPECT_EQ(find<ui::HolderWidget>("外形框1")->fill_colour(), 0xC0C0C0u);
  EXPECT_EQ(find<ui::HolderWidget>("外形框4")->line_colour(), 0x373737u);
  EXPECT_EQ(find<ui::HolderWidget>("外形框2")->line_colour(), 0x808080u);
  EXPECT_EQ(find<ui::HolderWidget>("外形框5")->line_colour(), 0x606060u);
  auto* save = find<ui::FlatButton>("保存修改按钮");
  EXPECT_EQ(save->current_colours().text, 0xFFFFFFu);
  EXPECT_EQ(save->current_colours().background, 0x606060u);
  auto* notice = find<ui::FlatButton>("超级按钮3");
  EXPECT_EQ(notice->current_colours().text, 0xC0C0C0u);
  auto* list = find<QTreeWidget>("超级列表框1");
  EXPECT_EQ(list->palette().color(QPalette::Base), ui::rgb(0x2D2D2D));
  EXPECT_EQ(list->palette().color(QPalette::Text), ui::rgb(0xC0C0C0));
  QStringList headers;
  std::vector<int> widths;
  for (int i = 0; i < list->columnCount(); ++i) {
    headers << list->headerItem()->text(i);
    widths.push_back(list->columnWidth(i));
  }
  EXPECT_EQ(headers, (QStringList{q("名称"), q("路径"), q("目录"), q("说明"), q("图标")}));
  EXPECT_EQ(widths, (std::vector<int>{150, 300, 280, 200, 65}));
  EXPECT_FALSE(list->header()->sectionsClickable());
  EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);
}

TEST_F(WindowTest, MenusCarryTheirItemsInOrder) {
  QStringList menus;
  for (QAction* a : window.menuBar()->actions()) menus << a->text();
  EXPECT_EQ(menus, (QStringList{q("分类"), q("编辑"), q("帮助")}));
  QStringList edit;
  for (QAction* a : window.menu(q("编辑"))->actions())
    edit << (a->isSeparator() ? QStringLiteral("-") : a->text());
  EXPECT_EQ(edit, (QStringList{q("添加工具"), "-", q("修改"), q("删除"), q("上移"), q("下移")}));
  EXPECT_EQ(window.menu(q("分类"))->actions().size(), 11);
}

// Through the port and the shell: a menu click switches the category, a help box opens
// with its caption, a right-click pops up 编辑 without 添加工具.
TEST_F(WindowTest, MenuActionsRunTheirCommands) {
  Toolbox box;
  box.create("CPU工具", {sample_tool("甲"), sample_tool("乙")});
  box.create("主板工具", {sample_tool("丙")});
  ui::QtWindowPort port(window);
  storage::Database db;
  app::Shell shell(port, db, {box.dir(), box.dir()});
  window.set_event_sink(
      [&](std::string_view c, app::Event e, int a) { shell.events().dispatch(c, e, a); });
  ASSERT_FALSE(shell.start().has_value());
  QTreeWidget* list = window.tool_list();
  ASSERT_EQ(list->topLevelItemCount(), 2);
  EXPECT_EQ(list->topLevelItem(1)->text(0), q("乙"));
  EXPECT_EQ(list->topLevelItem(1)->text(4), q("双击查看"));
  EXPECT_EQ(window.widget(q("外形框1"))->pos(), QPoint(0, 0));
  EXPECT_EQ(window.timer(q("时钟1"))->interval(), 1000);

  window.action(q("主板工具"))->trigger();
  ASSERT_EQ(list->topLevelItemCount(), 1);
  EXPECT_EQ(list->topLevelItem(0)->text(0), q("丙"));

  QString caption, text;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    caption = box->windowTitle();
    text = box->text();
    box->accept();
  });
  window.action(q("查看帮助"))->trigger();
  EXPECT_EQ(caption, q("信息："));
  EXPECT_TRUE(text.startsWith(q("在分类菜单中可以选择需要修改的分类。\n")));

  port.select_row("超级列表框1", 0);
  EXPECT_EQ(port.selected_row("超级列表框1"), 0);
  bool add_visible_in_popup = true;
  QTimer::singleShot(0, [&] {
    auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(popup, nullptr);
    add_visible_in_popup = window.action(q("添加工具"))->isVisible();
    popup->close();
  });
  emit list->customContextMenuRequested(QPoint(5, 5));
  EXPECT_FALSE(add_visible_in_popup);
  EXPECT_TRUE(window.action(q("添加工具"))->isVisible());
}

TEST_F(WindowTest, PortTextsRoundTripHostBytes) {
  ui::QtWindowPort port(window);
  // A byte pair outside the code page comes back unchanged while unedited.
  std::string odd = gbk("甲") + "\x80";
  port.set_text("修改_工具名", odd);
  EXPECT_EQ(port.text("修改_工具名"), odd);
  port.set_text("修改后的工具名预览编辑框", gbk("第一行\r\n第二行"));
  EXPECT_EQ(port.text("修改后的工具名预览编辑框"), gbk("第一行\r\n第二行"));
  find<QLineEdit>("修改_说明")->setText(QString::fromUtf8("\xF0\x9F\x98\x80"));  // no GBK form
  EXPECT_EQ(port.text("修改_说明"), "");
  EXPECT_EQ(app_test::utf8(port.text_refusal("修改_说明")),
            "文本中含有无法保存的字符（U+1F600），请删除或更换该字符后再试。");
  EXPECT_TRUE(port.text_refusal("修改_工具名").empty());
  // The measuring font of 画板1 gives real widths.
  EXPECT_GT(port.text_width(gbk("CPU-Z绿色汉化版")), port.text_width("CPU-Z"));
  EXPECT_EQ(port.text_width(""), 0);
  EXPECT_EQ(ui::qt_filter(q("PNG图片文件(*.png)|*.png|GIF动态图片文件(*.gif)|*.gif")),
            q("PNG图片文件(*.png);;GIF动态图片文件(*.gif)"));
}

// A fatal misuse shows the "错误" box with the report, then ends the process with -1.
TEST(FatalReportDeathTest, ShowsTheErrorBoxThenExits) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        ui::install_fatal_handler();
        QTimer::singleShot(0, [] {
          auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
          if (!box) return;
          fprintf(stderr, "[%s|%s]", box->windowTitle().toUtf8().constData(),
                  box->text().toUtf8().constData());
          box->accept();
        });
        storage::Database db;
        db.read_field("no table");
      },
      ::testing::ExitedWithCode(255), "\\[错误\\|运行时出错!");
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
