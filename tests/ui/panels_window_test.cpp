// The editor panels in the real window on the offscreen platform: a real drop event on the
// window and on an edit box, the icon slots showing stored pictures, and pictures of the
// three panels (saved to $TOOLMGR_PANEL_SCREENSHOTS when set).
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QMovie>
#include <QStackedWidget>
#include <QTextEdit>
#include <QTreeWidget>
#include <QUrl>
#include <filesystem>
#include <fstream>

#include "app/drop_hook.h"
#include "app/editor_panels.h"
#include "app/shell.h"
#include "fixtures.h"
#include "imaging/imaging.h"
#include "toolbox_fixture.h"
#include "ui/main_window.h"
#include "ui/qt_port.h"
#include "ui/theme_icons.h"
#include "ui/widgets.h"

namespace {

using app_test::sample_tool;
using app_test::Toolbox;

QString q(const char* utf8) {
  return QString::fromUtf8(utf8);
}

class PanelsWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app_test::Tool plain = sample_tool("CPU-Z");
    plain.icon32 = plain.icon40 = plain.icon48 = "";  // shows the default icons
    box.create("CPU工具", {sample_tool("甲"), plain});
    window.set_event_sink(
        [this](std::string_view c, app::Event e, int a) { shell.events().dispatch(c, e, a); });
    ASSERT_FALSE(shell.start().has_value());
    window.show();
  }
  void TearDown() override { shell.shutdown(); }

  std::string write_file(const std::string& relative) {
    std::filesystem::path p = std::filesystem::path(box.dir()) / relative;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p) << "x";
    return p.string();
  }
  QString text_of(const char* edit) {
    auto* e = window.findChild<QLineEdit*>(q(edit));
    return e ? e->text() : QString();
  }
  int page() { return window.findChild<QStackedWidget*>(q("选择夹1"))->currentIndex(); }
  // Delivers a drop of these files to `target` as the platform would, then lets the window
  // hand them over.
  bool drop_on(QWidget* target, const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    QApplication::processEvents();
    return drop.isAccepted();
  }
  void shoot(const char* name) {
    QImage picture = window.grab().toImage();
    ASSERT_FALSE(picture.isNull());
    const QString dir = qEnvironmentVariable("TOOLMGR_PANEL_SCREENSHOTS");
    if (!dir.isEmpty()) {
      EXPECT_TRUE(picture.save(QDir(dir).filePath(q(name))));
    }
  }

  Toolbox box;
  app::DropHook hook;
  ui::MainWindow window;
  ui::QtWindowPort port{window};
  storage::Database db;
  app::Shell shell{port, db, {box.dir(), box.dir()}};
  app::EditorPanels panels{shell, &hook, &window};
};

TEST_F(PanelsWindowTest, DroppedFilesReachTheAddPanelInOrder) {
  ASSERT_TRUE(hook.attached());
  EXPECT_TRUE(window.acceptDrops());
  const std::string one = write_file("a/one.exe"), two = write_file("b/第二.exe");
  ASSERT_TRUE(drop_on(&window, {QUrl::fromLocalFile(QString::fromStdString(one)),
                                QUrl::fromLocalFile(QString::fromStdString(two))}));
  EXPECT_FALSE(window.widget(q("外形框1"))->isHidden());
  EXPECT_EQ(page(), 1);
  EXPECT_EQ(text_of("添加_工具名"), q("第二"));
  EXPECT_EQ(text_of("添加_路径"), q("岚澄工具箱目录\\b\\第二.exe"));

  // An edit box would take a file drop as text: the window answers for it.
  QWidget* edit = window.widget(q("添加_说明"));
  ASSERT_TRUE(drop_on(edit, {QUrl::fromLocalFile(QString::fromStdString(one))}));
  EXPECT_EQ(text_of("添加_工具名"), q("one"));
  EXPECT_EQ(text_of("添加_说明"), q("one"));

  // Text is no file: the window leaves it alone.
  QMimeData words;
  words.setText(q("文字"));
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &words, Qt::LeftButton, Qt::NoModifier);
  enter.ignore();
  QApplication::sendEvent(&window, &enter);
  EXPECT_FALSE(enter.isAccepted());

  shell.shutdown();
  EXPECT_FALSE(hook.attached());
  EXPECT_FALSE(window.acceptDrops());
  EXPECT_EQ(box.read("CPU工具").size(), 2u);  // nothing was written
}

TEST_F(PanelsWindowTest, SlotsShowStoredPicturesAndPlayGifs) {
  port.select_row("超级列表框1", 1);
  shell.events().dispatch("修改", app::Event::clicked);
  ASSERT_EQ(page(), 0);
  auto* box1 = window.findChild<ui::AnimationBox*>(q("动画框1"));
  ASSERT_NE(box1, nullptr);
  EXPECT_EQ(box1->slot_label(1)->pixmap().size(), QSize(40, 40));  // the default icon
  EXPECT_EQ(box1->slot_label(2)->pixmap().size(), QSize(48, 48));
  EXPECT_EQ(box1->slot_label(1)->pos(), QPoint(57, 0));
  EXPECT_EQ(box1->slot_label(2)->pos(), QPoint(122, 0));
  shoot("view-panel.png");

  // A two-frame GIF plays in the 32 px slot; a still picture does not animate.
  auto frame = [](int colour) {
    return fixtures::GifFrame{0, 0, 32, 32, [colour](int, int) { return colour; }};
  };
  const std::string gif = fixtures::gif_file(32, 32, {0xFF0000, 0x00FF00}, {frame(0), frame(1)});
  port.set_slot_picture("动画框1", 0, gif, true);
  QMovie* movie = box1->slot_label(0)->movie();
  ASSERT_NE(movie, nullptr);
  EXPECT_EQ(movie->frameCount(), 2);
  EXPECT_EQ(movie->state(), QMovie::Running);
  port.set_slot_picture("动画框1", 0, gif, false);
  EXPECT_EQ(box1->slot_label(0)->movie(), nullptr);
  EXPECT_EQ(box1->slot_label(0)->pixmap().size(), QSize(32, 32));

  shell.events().dispatch("标签6", app::Event::double_clicked);
  ASSERT_EQ(page(), 2);
  auto* rename = window.findChild<QLineEdit*>(q("修改_工具箱内显示的工具名"));
  rename->setText(q("CPU-Z/换行/绿色/换行/版"));  // typed: the preview follows
  EXPECT_EQ(window.findChild<QTextEdit*>(q("修改后的工具名预览编辑框"))->toPlainText(),
            q("CPU-Z\n绿色\n版"));
  shoot("rename-panel.png");

  shell.events().dispatch("关闭按钮_查看修改2", app::Event::clicked);
  shell.events().dispatch("取消按钮_查看修改", app::Event::clicked);
  shell.hooks().open_add_panel(write_file("Tools/CPU-Z/cpuz_x64.exe"));
  ASSERT_EQ(page(), 1);
  EXPECT_EQ(window.findChild<QComboBox*>(q("组合框1"))->currentIndex(), 0);
  shoot("add-panel.png");
}

}  // namespace

namespace {

// Plain files and folders get their type's icon from the desktop theme (or the style's
// stand-in where the session has no theme), at the size asked for.
TEST(ThemeIcons, FilesAndFoldersGetAPictureOfTheirType) {
  ui::QtThemeIconProvider provider;
  char pattern[] = "/tmp/toolmgr-theme-XXXXXX";
  const std::string dir = mkdtemp(pattern);
  const std::string text = dir + "/notes.txt";
  std::ofstream(text) << "plain text";
  for (const std::string& path : {dir, text}) {
    const std::string png = provider.icon_png(path, 48);
    ASSERT_FALSE(png.empty()) << path;
    EXPECT_EQ(imaging::read_image_size_from_bytes(png), (imaging::ImageSize{48, 48})) << path;
  }
  EXPECT_EQ(provider.icon_png(text, 0), "");
  std::filesystem::remove_all(dir);
}

}  // namespace
