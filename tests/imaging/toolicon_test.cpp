// The toolicon command over fixtures: exit codes and outputs.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "fixtures.h"
#include "imaging/imaging.h"
#include "test_support.h"

namespace {

struct Result {
  int status;
  std::string out;
};

Result run(const std::string& args) {
  std::string cmd = std::string(TOOLICON) + " " + args + " 2>/dev/null";
  Result r{-1, {}};
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return r;
  char buf[512];
  std::size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

using fixtures::TempDir;

}  // namespace

TEST(Toolicon, Commands) {
  TempDir d;
  auto icon = [](int s) {
    return fixtures::IcoImage{s, s, 32,
                              fixtures::icon_dib32(s, s, [](int, int) { return 0xFF102030u; })};
  };
  std::string exe = d.write("app.exe", fixtures::pe_file({{1, {icon(32), icon(48)}}}));
  std::string pic = d.write("wide.png", fixtures::solid_png(64, 32, 0xFF00FF00u));
  fixtures::Lnk k;
  k.local_base = "C:\\\xB9\xA4\xBE\xDF\\a.exe";  // C:\工具\a.exe
  k.arguments = u"-q";
  std::string lnk = d.write("a.lnk", fixtures::lnk_file(k));
  std::string o = (d.path / "o.png").string();

  EXPECT_EQ(run("size " + pic).out, "64 32\n");
  EXPECT_EQ(run("size " + pic).status, 0);
  Result missing = run("size " + (d.path / "none.png").string());
  EXPECT_EQ(missing.out, "0 0\n");
  EXPECT_EQ(missing.status, 1);

  EXPECT_EQ(run("scale " + pic + " --size 32 -o " + o).status, 0);
  EXPECT_EQ(imaging::read_image_size(o), (imaging::ImageSize{32, 32}));
  EXPECT_EQ(run("scale " + pic + " --size 20x10 -o " + o).status, 0);
  EXPECT_EQ(imaging::read_image_size(o), (imaging::ImageSize{20, 10}));

  EXPECT_EQ(run("extract " + exe + " --size 48 -o " + o).status, 0);
  EXPECT_EQ(imaging::read_image_size(o), (imaging::ImageSize{48, 48}));
  EXPECT_EQ(run("extract " + (d.path / "none").string() + " --size 32 -o " + o).status, 0);
  EXPECT_EQ(d.read("o.png"), std::string(imaging::blank_file_icon_32()));

  Result r = run("resolve " + lnk);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "C:\\工具\\a.exe -q\n");
  EXPECT_EQ(run("resolve " + pic).status, 1);

  for (const char* bad : {"", "size", "scale ", "extract x --size 0 -o y", "scale x --size 3y -o z",
                          "extract x --size 32", "frobnicate x", "size a b"}) {
    EXPECT_EQ(run(bad).status, 2) << bad;
  }
}
