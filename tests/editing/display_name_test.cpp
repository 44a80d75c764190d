#include "editing/display_name.h"

#include <gtest/gtest.h>

#include "host_text.h"

namespace editing {
namespace {

// A fixed-width font: 6 px a byte, spaces take no room (so a realigning space can keep a
// name at the same width), plus `extra` px for any non-empty text.
struct Font {
  int extra = 0;
  int operator()(std::string_view t) const {
    if (t.empty()) return 0;
    int w = extra;
    for (char c : t) w += c == ' ' ? 0 : 6;
    return w;
  }
};

struct Case {
  const char* what;
  std::string name;
  int extra;
  std::string expected;
};

class DisplayName : public testing::TestWithParam<Case> {};

TEST_P(DisplayName, Rule) {
  const Case& c = GetParam();
  EXPECT_EQ(make_display_name(c.name, Font{c.extra}), c.expected) << c.what;
}

std::string half_of(std::string_view utf8_char) {
  return G(utf8_char).substr(0, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DisplayName,
    testing::Values(
        Case{"empty", "", 0, ""},
        Case{"marker anywhere keeps even a wide name", G("abcdefghijklmnop/换行/qrstuvwxyz"), 0,
             G("abcdefghijklmnop/换行/qrstuvwxyz")},
        Case{"narrow keeps tag", G("ab (64位)"), 0, G("ab (64位)")},
        Case{"72 px keeps misalignment", G("abc中文字符x"), 0, G("abc中文字符x")},
        // 73 px is processed by the first width test and kept on one line by the second.
        Case{"73 px realigned stays one line", G("abc中文字符x"), 1, G("abc 中文字符x")},
        Case{"73 px without boundary unchanged", G("abcdefghijkl"), 1, G("abcdefghijkl")},
        Case{"64-bit tag, every one, 32 left", G("Tool (32位) Tool (64位) Go (64位)"), 0,
             G("Tool (32位) Tool/换行/(64位) Go/换行/(64位)")},
        Case{"32-bit tag", G("LongToolName (32位)"), 0, G("LongToolName/换行/(32位)")},
        Case{"CPU-Z example", G("CPU-Z绿色汉化版"), 0, G("CPU-Z 绿色汉/换行/化版")},
        Case{"pure Chinese splits after 6 characters", G("一二三四五六七八"), 0,
             G("一二三四五六/换行/七八")},
        Case{"pure ASCII splits after 10", G("abcdefghijklmnop"), 0, G("abcdefghij/换行/klmnop")},
        Case{"run of 9 gets a space", G("abcdefghi中文字"), 0, G("abcdefghi /换行/中文字")},
        Case{"run of 11 gets none", G("abcdefghijk中文"), 0, G("abcdefghij/换行/k中文")},
        Case{"even run gets none", G("ab中文字符串们"), 1, G("ab中文字符串/换行/们")},
        Case{"only the first boundary", G("a中b中文字符"), 1, G("a 中b中文字符")},
        Case{"second line trimmed of both spaces", G("abcdefghij　klm "), 0,
             G("abcdefghij/换行/klm")},
        Case{"wide rest: 8 untrimmed bytes and ...", G("abcdefghij  klmnopqrstuvw"), 0,
             G("abcdefghij/换行/  klmnop...")},
        Case{"wide rest may cut a character", G("abcdefghijx一二三四五六七"), 0,
             G("abcdefghij/换行/x一二三") + half_of("四") + "..."},
        Case{"wide Chinese rest", G("一二三四五六七八九十甲乙丙"), 0,
             G("一二三四五六/换行/七八九十...")}));

TEST(DisplayNameParts, LeadByteFollowsCodePage936) {
  const std::string t =
      "\x80\x81\xfe\xff"
      "a";
  const bool expected[] = {false, true, true, false, false, false};
  for (int p = 1; p <= 6; ++p) EXPECT_EQ(is_lead(t, p), expected[p - 1]) << p;
  EXPECT_FALSE(is_lead(t, 0));
}

TEST(DisplayNameParts, TrimRemovesAsciiAndFullWidthSpaces) {
  EXPECT_EQ(trim_host_spaces(G(" 　 a b　 ")), G("a b"));
  EXPECT_EQ(trim_host_spaces(G("　 ")), "");
  EXPECT_EQ(trim_host_spaces("\xa1x"), "\xa1x");
}

TEST(DisplayNameParts, PreviewShowsEveryMarkerAsLineBreak) {
  EXPECT_EQ(preview_display_name(G("a/换行/b/换行/c")), "a\r\nb\r\nc");
  EXPECT_EQ(preview_display_name(G("a/换 行/b")), G("a/换 行/b"));
}

}  // namespace
}  // namespace editing
