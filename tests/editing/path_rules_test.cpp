#include "editing/path_rules.h"

#include <gtest/gtest.h>

#include "host_text.h"
#include "platform/host_path.h"

namespace editing {
namespace {

TEST(PathRules, TokenIsTheHostsDirectoryName) {
  EXPECT_EQ(kHostDirectoryToken, G("岚澄工具箱目录"));
}

TEST(PathRules, InsertHostToken) {
  struct Case {
    const char* path;
    const char* dir;
    const char* expected;
  };
  const Case cases[] = {
      {R"(C:\x\a.b.exe)", R"(D:\Box)", R"(C:\x\a.b.exe)"},
      {R"(D:\Box\Tools\Demo\demo.exe)", R"(D:\Box)", R"(岚澄工具箱目录\Tools\Demo\demo.exe)"},
      {R"(D:\Box2\x.exe)", R"(D:\Box)", R"(岚澄工具箱目录2\x.exe)"},
      {R"(D:\Box\a.exe D:\Box\b.txt)", R"(D:\Box)", R"(岚澄工具箱目录\a.exe 岚澄工具箱目录\b.txt)"},
      {R"(d:\box\a.exe)", R"(D:\Box)", R"(d:\box\a.exe)"},
      {R"(\opt\盒子\a.exe)", R"(\opt\盒子)", R"(岚澄工具箱目录\a.exe)"},
      {R"(\a.exe)", "", R"(\a.exe)"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(insert_host_token(G(c.path), G(c.dir)), G(c.expected)) << c.path;
}

TEST(PathRules, TokenOnlyMatchesWholeCharacters) {
  // "丏" is 0x81 0x44: its second byte reads as 'D' but is no character of its own.
  EXPECT_EQ(insert_host_token(G(R"(丏:\Box\a)"), G(R"(D:\Box)")), G(R"(丏:\Box\a)"));
}

TEST(PathRules, ExpandHostTokenRestoresEveryOccurrence) {
  EXPECT_EQ(expand_host_token(G(R"(岚澄工具箱目录\a.exe 岚澄工具箱目录\b)"), G(R"(D:\Box)")),
            G(R"(D:\Box\a.exe D:\Box\b)"));
  EXPECT_EQ(expand_host_token(G(R"(C:\x\a.exe)"), G(R"(D:\Box)")), G(R"(C:\x\a.exe)"));
}

TEST(PathRules, ToolNameFromPath) {
  const std::pair<const char*, const char*> cases[] = {
      {R"(C:\x\a.b.exe)", "a.b"},
      {R"(C:\x\tool.exe)", "tool"},
      {R"(C:\x.y\tool)", ""},
      {"", ""},
      {R"(C:\x\.hidden)", ""},
      {R"(C:\x\a..b.)", "a..b"},
      {R"(D:\工具\显卡.测试.lnk)", "显卡.测试"},
      {"name.txt", "name"},
  };
  for (const auto& [path, expected] : cases)
    EXPECT_EQ(tool_name_from_path(G(path)), G(expected)) << path;
}

TEST(PathRules, OnlyLowerCaseLnkIsAShortcut) {
  EXPECT_TRUE(is_shortcut_path(R"(C:\a\x.lnk)"));
  EXPECT_FALSE(is_shortcut_path(R"(C:\a\x.LNK)"));
  EXPECT_FALSE(is_shortcut_path(R"(C:\a\x.Lnk)"));
  EXPECT_FALSE(is_shortcut_path("lnk"));
  EXPECT_EQ(shortcut_command(R"(C:\t.exe)", R"(-x C:\y)"), R"(C:\t.exe -x C:\y)");
  EXPECT_EQ(shortcut_command(R"(C:\t.exe)", ""), R"(C:\t.exe)");
}

TEST(PathRules, PanelDirectories) {
  struct Case {
    const char* path;
    const char* add;
    const char* view;
  };
  const Case cases[] = {
      {R"(C:\x\a.b.exe)", R"(C:\x\)", R"(C:\x\)"},
      {R"(岚澄工具箱目录\Tools\Demo\demo.exe)", R"(岚澄工具箱目录\Tools\Demo\)",
       R"(岚澄工具箱目录\Tools\Demo\)"},
      {"", "", ""},
      {"a.exe", R"(\)", ""},
      {R"(C:\x\)", R"(C:\)", R"(C:\x\)"},
      {R"(\)", R"(\)", R"(\)"},
      {R"(\\srv\share\a.exe)", R"(\\srv\share\)", R"(\\srv\share\)"},
      // A backslash inside a shortcut's arguments moves the cut.
      {R"(C:\t.exe -f C:\cfg.ini)", R"(C:\t.exe -f C:\)", R"(C:\t.exe -f C:\)"},
      // "誠" ends in 0x5C, which is not a separator inside the character.
      {R"(C:\誠\a.exe)", R"(C:\誠\)", R"(C:\誠\)"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(add_panel_directory(G(c.path)), G(c.add)) << c.path;
    EXPECT_EQ(view_panel_directory(G(c.path)), G(c.view)) << c.path;
  }
}

// On Linux a chosen file goes native -> host form -> token, and back the same way.
TEST(PathRules, NativeFileInTheToolboxIsStoredWithTheToken) {
  std::string dir, file;
  ASSERT_TRUE(platform::native_to_host_path("/opt/岚澄 box", &dir));
  ASSERT_TRUE(platform::native_to_host_path("/opt/岚澄 box/Tools/显卡/gpuz.exe", &file));
  const std::string stored = insert_host_token(file, dir);
  EXPECT_EQ(stored, G(R"(岚澄工具箱目录\Tools\显卡\gpuz.exe)"));
  EXPECT_EQ(add_panel_directory(stored), G(R"(岚澄工具箱目录\Tools\显卡\)"));
  EXPECT_EQ(platform::host_to_native_path(expand_host_token(stored, dir)),
            "/opt/岚澄 box/Tools/显卡/gpuz.exe");
}

}  // namespace
}  // namespace editing
