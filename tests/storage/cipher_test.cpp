#include "storage/cipher.h"

#include <gtest/gtest.h>

#include <random>

#include "storage/md5.h"
#include "storage/memory_file.h"
#include "storage/rc4.h"

namespace storage {
namespace {

std::string hex(const uint8_t* p, size_t n) {
  static const char k[] = "0123456789abcdef";
  std::string s;
  for (size_t i = 0; i < n; ++i) s += {k[p[i] >> 4], k[p[i] & 15]};
  return s;
}

TEST(Md5, PublishedVectors) {
  const std::pair<const char*, const char*> cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (auto [in, want] : cases) {
    auto d = md5(in);
    EXPECT_EQ(hex(d.data(), 16), want) << in;
  }
}

TEST(Rc4, PublishedVectors) {
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {"Key", "Plaintext", "bbf316e8d940af0ad3"},
      {"Wiki", "pedia", "1021bf0420"},
      {"Secret", "Attack at dawn", "45a01f645fc35b383552544b9bf5"},
  };
  for (auto [key, text, want] : cases) {
    Rc4 r;
    r.schedule(reinterpret_cast<const uint8_t*>(key), strlen(key));
    std::string b = text;
    r.xor_into(reinterpret_cast<uint8_t*>(b.data()), b.size());
    EXPECT_EQ(hex(reinterpret_cast<const uint8_t*>(b.data()), b.size()), want) << key;
  }
}

TEST(PasswordDigest, SwapsPairsThenReverses) {
  // MD5("a") = 0cc175b9c0f1b6a831c399e269772661
  EXPECT_EQ(password_digest("a"), "61267769e299c331a8b6f1c0b975c10c");
  EXPECT_EQ(password_digest("kestrova907"), "492af925c238eedb9c97a176640f5e41");
}

// Key stream bytes from an independent implementation, written out plainly.
TEST(PageCipher, MatchesReferenceKeyStream) {
  struct Case {
    int64_t pos;
    size_t n;
    const char* want;
  } cases[] = {
      {0, 16, "00000000051b5e56113c930ddba99ac6"},  // bytes 0-3 stay plain
      {4092, 8, "27c0555cbdd45088"},                // crosses into page 1
      {16, 4, "e47bd1e1"},
      {40000, 4, "3efe595e"},
  };
  for (const Case& c : cases) {
    PageCipher cipher("kestrova907", 4);
    std::vector<uint8_t> buf(c.n, 0);
    cipher.transform(c.pos, buf.data(), buf.size());
    EXPECT_EQ(hex(buf.data(), buf.size()), c.want) << c.pos;
  }
}

TEST(PageCipher, EmptyPasswordPassesBytesThrough) {
  PageCipher cipher("", 4);
  std::vector<uint8_t> buf(100, 7);
  cipher.transform(0, buf.data(), buf.size());
  EXPECT_EQ(buf, std::vector<uint8_t>(100, 7));
}

// The cache of page words and key streams must give exactly the bytes of a fresh cipher,
// whatever the order and size of the accesses.
TEST(PageCipher, CachedAccessesAgreeWithFreshOnes) {
  PageCipher shared("pw", 4);
  std::mt19937 rng(7);
  for (int i = 0; i < 400; ++i) {
    int64_t pos = rng() % (3 << 20);
    size_t n = (i % 5 == 0) ? rng() % 20000 : rng() % 64;
    std::vector<uint8_t> a(n, 0), b(n, 0);
    shared.transform(pos, a.data(), n);
    PageCipher fresh("pw", 4);
    fresh.transform(pos, b.data(), n);
    ASSERT_EQ(a, b) << "pos " << pos << " n " << n;
  }
}

// A long transform (whole pages at once) gives the bytes of many short ones.
TEST(PageCipher, LongTransformsAgreeWithShortOnes) {
  for (int64_t start : {0, 4, 4096 * 3 + 100}) {
    std::vector<uint8_t> whole(4096 * 21 + 300, 0), parts(whole.size(), 0);
    PageCipher("kestrova907", 4).transform(start, whole.data(), whole.size());
    PageCipher pieces("kestrova907", 4);
    for (size_t at = 0; at < parts.size(); at += 1000) {
      pieces.transform(start + at, parts.data() + at, std::min<size_t>(1000, parts.size() - at));
    }
    EXPECT_EQ(whole, parts) << start;
  }
}

TEST(EncipheredFile, RewritesOnlyTheBytesGiven) {
  MemoryFileSystem fs;
  fs.add("/t", std::string(200, '\0'));
  std::unique_ptr<File> raw;
  ASSERT_EQ(fs.open("/t", OpenMode::read_write, ShareMode::deny_none, &raw), 0);
  EncipheredFile f(std::move(raw), "kestrova907", 4);
  std::string plain(200, 'x');
  ASSERT_EQ(f.write_at(0, plain.data(), plain.size()), 200);
  std::string before = fs.bytes("/t");
  EXPECT_EQ(before.substr(0, 4), "xxxx");  // the magic stays readable
  EXPECT_NE(before.substr(4, 4), "xxxx");
  // Same plain bytes at two positions are stored differently.
  EXPECT_NE(before.substr(20, 8), before.substr(40, 8));

  uint32_t v = 12345;
  ASSERT_EQ(f.write_at(16, &v, 4), 4);
  std::string after = fs.bytes("/t");
  for (size_t i = 0; i < after.size(); ++i) {
    if (i < 16 || i >= 20) {
      ASSERT_EQ(after[i], before[i]) << i;
    }
  }
  uint32_t back = 0;
  ASSERT_EQ(f.read_at(16, &back, 4), 4);
  EXPECT_EQ(back, 12345u);
  std::string rest(10, '\0');
  ASSERT_EQ(f.read_at(100, rest.data(), 10), 10);
  EXPECT_EQ(rest, std::string(10, 'x'));
}

}  // namespace
}  // namespace storage
