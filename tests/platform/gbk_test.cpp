#include "platform/gbk.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

std::string to_gbk(std::string_view utf8) {
  std::string g;
  EXPECT_TRUE(utf8_to_gbk(utf8, &g)) << utf8;
  return g;
}

TEST(Gbk, CodePage936Mappings) {
  struct Case {
    std::string gbk;
    const char* utf8;
  };
  const Case cases[] = {
      {"plain ASCII", "plain ASCII"},
      {"\xb9\xa4\xbe\xdf\xc3\xfb", "工具名"},
      {"\x80", "€"},  // the code page's single-byte euro sign
      {"\xa1\xa1", "\u3000"},
      {"\xa1\xa4", "\u00b7"},
      {"\xa1\xaa", "\u2014"},
      {"\x81\x40", "丂"},  // GBK/3, beyond GB2312
      {"\xfd\x9b", "\u9fa5"},
      {"\xa8\x44", "\u2015"},  // GBK/5
      {"\xd5\x5c", "誠"},      // a trail byte that reads as '\'
      {"\xaa\xa1", "\ue000"},  // user-defined areas map to the private use area
      {"\xaf\xfe", "\ue233"},
      {"\xf8\xa1", "\ue234"},
      {"\xfe\xfe", "\ue4c5"},
      {"\xa1\x40", "\ue4c6"},
      {"\xa1\x80", "\ue505"},
      {"\xa7\xa0", "\ue765"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(gbk_to_utf8(c.gbk), c.utf8) << c.utf8;
    EXPECT_EQ(to_gbk(c.utf8), c.gbk) << c.utf8;
  }
}

TEST(Gbk, UndecodableBytesBecomeReplacementCharacters) {
  using namespace std::string_literals;
  const std::pair<std::string, std::string> cases[] = {
      {"ab\xd6", "ab\ufffd"},  // last character cut in half
      {"\xff"
       "a",
       "\ufffda"},
      {"\x81\x30"
       "b",
       "\ufffd"
       "0b"},  // lead byte without a valid trail byte
      {"\xa1\x7f", "\ufffd\x7f"},
      {"\xd6\xd0\xfe\x50\xce\xc4", "中\ufffd文"},  // an unmapped pair is one character
      {"a\0b"s, "a\0b"s},
  };
  for (const auto& [gbk, utf8] : cases) EXPECT_EQ(gbk_to_utf8(gbk), utf8);
  // Past the converter's buffer: 50000 whole characters, then half of one.
  const std::string big(100001, '\xd6');
  EXPECT_EQ(gbk_to_utf8(big).size(), 50000 * gbk_to_utf8("\xd6\xd6").size() + 3);
}

TEST(Gbk, RefusesWhatGbkCannotHold) {
  const char* refused[] = {"emoji 😀",      "\u00e9\u0301", "ハングル\ud55c",   "a\xc3",
                           "\xed\xa0\x80", "\xc0\xaf",     "\xf4\x90\x80\x80", "\ufffd"};
  for (const char* s : refused) {
    std::string out = "kept";
    EXPECT_FALSE(utf8_to_gbk(s, &out)) << s;
    EXPECT_EQ(out, "kept");
  }
  EXPECT_EQ(first_character_without_gbk("ab中😀c"), "😀");
  EXPECT_EQ(first_character_without_gbk("ab中c"), "");
  EXPECT_EQ(first_character_without_gbk("a\xc3"), "\ufffd");
  EXPECT_EQ(gbk_refusal_message("工具😀"),
            "文本中含有无法保存的字符“😀”（U+1F600），请删除或更换该字符后再试。");
  EXPECT_EQ(gbk_refusal_message("工具"), "");
  EXPECT_NE(gbk_refusal_message("a\xff").find("无法识别"), std::string::npos);
}

TEST(Gbk, LongTextsRoundTrip) {
  std::string gbk;
  for (int i = 0; i < 5000; ++i)
    gbk +=
        "\xd6\xd0"
        "a\x80";
  const std::string utf8 = gbk_to_utf8(gbk);
  EXPECT_EQ(to_gbk(utf8), gbk);
}

TEST(EditableText, UnchangedTextGoesBackByteForByte) {
  const std::string originals[] = {"ab\xd6", "\xff\xfe", std::string("x\0y", 3), "\xd6\xd0\xce\xc4",
                                   ""};
  for (const std::string& o : originals) {
    EditableText t(o);
    std::string out;
    ASSERT_TRUE(t.to_gbk(t.shown(), &out));
    EXPECT_EQ(out, o);
    EXPECT_EQ(t.original(), o);
  }
}

TEST(EditableText, EditedTextIsConvertedOrRefused) {
  EditableText t("ab\xd6");
  EXPECT_EQ(t.shown(), "ab\ufffd");
  std::string out = "kept";
  EXPECT_TRUE(t.to_gbk("ab中", &out));
  EXPECT_EQ(out, "ab\xd6\xd0");
  out = "kept";
  EXPECT_FALSE(t.to_gbk("ab\ufffdc", &out));  // the cut character would be lost as '?'
  EXPECT_EQ(out, "kept");
  EXPECT_FALSE(t.to_gbk("😀", &out));
}

}  // namespace
}  // namespace platform
