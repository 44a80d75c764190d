// resolve_shortcut over links made by the fixtures.
#include "platform/shortcut.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "fixtures.h"

namespace {

std::string resolve_bytes(const std::string& bytes) {
  char tmpl[] = "/tmp/shortcut_test_XXXXXX";
  int fd = mkstemp(tmpl);
  EXPECT_GE(fd, 0);
  close(fd);
  std::ofstream(tmpl, std::ios::binary) << bytes;
  std::string r = platform::resolve_shortcut(tmpl);
  std::filesystem::remove(tmpl);
  return r;
}

// GBK bytes of 工具 and 测试.
const std::string kGongJu = "\xB9\xA4\xBE\xDF";
const std::string kCeShi = "\xB2\xE2\xCA\xD4";

}  // namespace

TEST(ResolveShortcut, LinkInfoWithoutArguments) {
  fixtures::Lnk k;
  k.local_base = "C:\\Tools\\";
  k.suffix = "a.exe";
  EXPECT_EQ(resolve_bytes(fixtures::lnk_file(k)), "C:\\Tools\\a.exe");
}

TEST(ResolveShortcut, LinkInfoWithArguments) {
  fixtures::Lnk k;
  k.local_base = "C:\\x\\" + kGongJu + ".exe";  // ANSI text in code page 936 stays as it is
  k.arguments = u"-f \"C:\\测试\\1.txt\"";
  EXPECT_EQ(resolve_bytes(fixtures::lnk_file(k)),
            "C:\\x\\" + kGongJu + ".exe -f \"C:\\" + kCeShi + "\\1.txt\"");
}

TEST(ResolveShortcut, UnicodeLinkInfoPreferred) {
  fixtures::Lnk k;
  k.local_base = "C:\\??\\a.exe";
  k.local_base_unicode = u"C:\\工具\\a.exe";
  EXPECT_EQ(resolve_bytes(fixtures::lnk_file(k)), "C:\\" + kGongJu + "\\a.exe");
}

TEST(ResolveShortcut, ItemIdListWhenNoLinkInfo) {
  fixtures::Lnk k;
  k.id_drive = "C:\\";
  k.id_names = {u"Program Files", u"工具", u"run me.exe"};
  k.arguments = u"/s";
  EXPECT_EQ(resolve_bytes(fixtures::lnk_file(k)),
            "C:\\Program Files\\" + kGongJu + "\\run me.exe /s");
  // The link information wins over the list.
  k.local_base = "D:\\other.exe";
  EXPECT_EQ(resolve_bytes(fixtures::lnk_file(k)), "D:\\other.exe /s");
}

TEST(ResolveShortcut, NetworkPath) {
  fixtures::Lnk k;
  k.net_name = "\\\\server\\share";
  k.suffix = "dir\\t.exe";
  EXPECT_EQ(resolve_bytes(fixtures::lnk_file(k)), "\\\\server\\share\\dir\\t.exe");
}

TEST(ResolveShortcut, AnsiStrings) {
  fixtures::Lnk k;
  k.unicode = false;
  k.local_base = "C:\\a.exe";
  k.ansi_arguments = "--name " + kCeShi;
  EXPECT_EQ(resolve_bytes(fixtures::lnk_file(k)), "C:\\a.exe --name " + kCeShi);
}

// A command with a character GBK cannot hold is never stored with a stand-in for it.
TEST(ResolveShortcut, CharactersWithoutGbkMakeTheLinkUnusable) {
  fixtures::Lnk k;
  k.local_base = "C:\\a.exe";
  k.arguments = u"x\U0001F600y\u0E01z";
  EXPECT_EQ(resolve_bytes(fixtures::lnk_file(k)), "");
  k.arguments = u"xyz";
  EXPECT_EQ(resolve_bytes(fixtures::lnk_file(k)), "C:\\a.exe xyz");
}

TEST(ResolveShortcut, FieldsOfTheLink) {
  fixtures::Lnk k;
  k.local_base = "C:\\a.exe";
  k.icon_location = u"%SystemRoot%\\shell32.dll";
  k.icon_index = -3;
  k.relative_path = u"..\\a.exe";
  k.working_dir = u"C:\\";
  k.name = u"说明";
  platform::ShellLink link;
  ASSERT_TRUE(platform::parse_shell_link(fixtures::lnk_file(k), &link));
  EXPECT_EQ(link.target, "C:\\a.exe");
  EXPECT_EQ(link.icon_location, "%SystemRoot%\\shell32.dll");
  EXPECT_EQ(link.icon_index, -3);
  EXPECT_EQ(link.relative_path, "..\\a.exe");
  EXPECT_EQ(link.working_dir, "C:\\");
  EXPECT_EQ(link.name, "\xCB\xB5\xC3\xF7");
  EXPECT_TRUE(link.arguments.empty());
}

TEST(ResolveShortcut, UnreadableGivesEmpty) {
  EXPECT_EQ(platform::resolve_shortcut(""), "");
  EXPECT_EQ(platform::resolve_shortcut("/no/such/file.lnk"), "");
  EXPECT_EQ(platform::resolve_shortcut("/tmp"), "");
  EXPECT_EQ(resolve_bytes("not a link"), "");
  fixtures::Lnk k;
  k.local_base = "C:\\Tools\\a.exe";
  k.arguments = u"-x";
  std::string full = fixtures::lnk_file(k);
  // Every truncation inside the structures is refused or still bounded.
  for (std::size_t n = 0; n + 4 < full.size(); ++n) {
    std::string r = resolve_bytes(full.substr(0, n));
    if (n < 76) {
      EXPECT_EQ(r, "") << n;
    }
  }
}
