#include "platform/host_path.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/gbk.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

std::string gbk(std::string_view utf8) {
  std::string g;
  EXPECT_TRUE(utf8_to_gbk(utf8, &g));
  return g;
}

TEST(HostPath, NativeToHostAndBack) {
  const std::pair<const char*, const char*> cases[] = {
      {"/opt/岚澄/Tools/cpuz.exe", R"(\opt\岚澄\Tools\cpuz.exe)"},
      {"relative/a b.exe", R"(relative\a b.exe)"},
      {"/", R"(\)"},
      {"", ""},
      {"/box/誠/x", R"(\box\誠\x)"},
  };
  for (const auto& [native, host] : cases) {
    std::string h = "untouched";
    ASSERT_TRUE(native_to_host_path(native, &h)) << native;
    EXPECT_EQ(h, gbk(host));
    EXPECT_EQ(host_to_native_path(h), native);
  }
}

TEST(HostPath, RefusesPathsWithoutHostForm) {
  for (const char* native : {"/tmp/😀.exe", "/tmp/a\\b.exe", "/tmp/\xff"}) {
    std::string h = "untouched";
    EXPECT_FALSE(native_to_host_path(native, &h)) << native;
    EXPECT_EQ(h, "untouched");
  }
  // A stored path that does not decode names no file rather than another one.
  EXPECT_EQ(host_to_native_path("\\a\\\xff"), "/a/\ufffd");
}

class ProgramDirectory : public testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("toolmgr-progdir-" + std::to_string(::getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_ / "real");
    fs::create_directories(root_ / "box" / "sub");
    exe_ = (root_ / "real" / "toolmgr").string();
    std::ofstream(exe_) << "#!/bin/sh\n";
    fs::permissions(exe_, fs::perms::owner_all);
    // A link to the manager placed in a toolbox folder must act like a copy there.
    fs::create_symlink(exe_, root_ / "box" / "toolmgr");
    std::ofstream((root_ / "box" / "sub" / "toolmgr").string()) << "other";
    fs::permissions(root_ / "box" / "sub" / "toolmgr", fs::perms::owner_all);
  }
  void TearDown() override { fs::remove_all(root_); }

  std::string at(const char* p) { return (root_ / p).string(); }

  fs::path root_;
  std::string exe_;
};

TEST_F(ProgramDirectory, TakesTheStartedPathWithoutFollowingLinks) {
  const std::string box = at("box");
  EXPECT_EQ(program_directory_from(at("box/toolmgr"), "/", "", exe_), box);
  EXPECT_EQ(program_directory_from("./toolmgr", box, "", exe_), box);
  EXPECT_EQ(program_directory_from("../box/./toolmgr", at("real"), "", exe_), box);
  EXPECT_EQ(program_directory_from("box//toolmgr", root_.string(), "", exe_), box);
  // A bare name is found along PATH (relative and empty entries against the working dir).
  EXPECT_EQ(program_directory_from("toolmgr", "/", "/nonexistent:" + box, exe_), box);
  EXPECT_EQ(program_directory_from("toolmgr", box, "/nonexistent::", exe_), box);
  EXPECT_EQ(program_directory_from("toolmgr", root_.string(), "box", exe_), box);
}

TEST_F(ProgramDirectory, FallsBackToTheRunningExecutable) {
  const std::string real = at("real");
  // Not found along PATH, an argv[0] that names another file, or none at all.
  EXPECT_EQ(program_directory_from("toolmgr", "/", "/nonexistent", exe_), real);
  EXPECT_EQ(program_directory_from("toolmgr", "/", at("box/sub"), exe_), real);
  EXPECT_EQ(program_directory_from(at("box/sub/toolmgr"), "/", "", exe_), real);
  EXPECT_EQ(program_directory_from("", "/", "", exe_), real);
  // Without a way to check, the started path is trusted.
  EXPECT_EQ(program_directory_from(at("box/sub/toolmgr"), "/", "", ""), at("box/sub"));
}

TEST_F(ProgramDirectory, RootHasNoTrailingSeparator) {
  EXPECT_EQ(program_directory_from("/toolmgr", "/", "", ""), "");
}

TEST(ProgramDirectoryLive, ThisTestFindsItsOwnDirectory) {
  const std::string self = fs::read_symlink("/proc/self/exe").string();
  EXPECT_EQ(program_directory(self), fs::path(self).parent_path().string());
  EXPECT_EQ(program_directory("no-such-name-on-path"), fs::path(self).parent_path().string());
}

}  // namespace
}  // namespace platform
