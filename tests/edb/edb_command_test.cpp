// The edb command from outside: its commands, options, output and exit codes.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

struct Result {
  int status;
  std::string out;
};

class EdbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char t[] = "/tmp/edb-test-XXXXXX";
    dir_ = mkdtemp(t);
    table_ = dir_ + "/工具.edb";
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  Result edb(const std::string& args) {
    std::string cmd = std::string(EDB_PATH) + " " + args + " 2>" + dir_ + "/err";
    FILE* p = popen(cmd.c_str(), "r");
    Result r{0, {}};
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    std::ifstream e(dir_ + "/err");
    err_.assign(std::istreambuf_iterator<char>(e), {});
    return r;
  }
  std::string t() { return "'" + table_ + "'"; }

  std::string dir_, table_, err_;
};

TEST_F(EdbTest, MakesChangesAndShowsThem) {
  ASSERT_EQ(edb("create " + t() +
                " --password pw --field 名称:10:8 --field 数:3 --field 图:11 --field 注:12")
                .status,
            0);
  EXPECT_EQ(edb("append " + t() + " --password pw").out, "1\n");
  EXPECT_EQ(edb("append --password pw " + t()).out, "2\n");  // options anywhere
  EXPECT_EQ(edb("set " + t() + " 1 名称 中文名字很长 --password pw").status, 0);
  EXPECT_EQ(edb("set " + t() + " 1 数 -5 --password pw").status, 0);  // a negative value
  EXPECT_EQ(edb("set " + t() + " 1 图 --hex 00ff10 --password pw").status, 0);
  // After "--" even "--password" is a value: one too many here.
  EXPECT_EQ(edb("set " + t() + " 0 注 -- --memo-- --password").status, 2);
  EXPECT_EQ(edb("set --password pw " + t() + " -3 注 -- --memo--").status, 0);  // after --
  EXPECT_EQ(edb("delete " + t() + " 2 --password pw").status, 0);
  Result d = edb("dump " + t() + " --password pw --json");
  ASSERT_EQ(d.status, 0) << err_;
  EXPECT_EQ(d.out,
            "{\"fields\":[{\"name\":\"名称\",\"type\":10,\"size\":8,\"offset\":4},"
            "{\"name\":\"数\",\"type\":3,\"size\":4,\"offset\":12},"
            "{\"name\":\"图\",\"type\":11,\"size\":4,\"offset\":16},"
            "{\"name\":\"注\",\"type\":12,\"size\":4,\"offset\":20}],\"records\":["
            "{\"number\":1,\"id\":1,\"deleted\":false,\"values\":{"
            "\"名称\":{\"hex\":\"d6d0cec4c3fbd7d6\",\"text\":\"中文名字\"},"
            "\"数\":{\"hex\":\"fbffffff\",\"value\":-5},"
            "\"图\":{\"hex\":\"00ff10\"},"
            "\"注\":{\"hex\":\"2d2d6d656d6f2d2d\",\"text\":\"--memo--\"}}},"
            "{\"number\":2,\"id\":2,\"deleted\":true,\"values\":{"
            "\"名称\":{\"hex\":\"\",\"text\":\"\"},\"数\":{\"hex\":\"00000000\",\"value\":0},"
            "\"图\":{\"hex\":\"\"},\"注\":{\"hex\":\"\",\"text\":\"\"}}}]}\n");
  EXPECT_EQ(edb("check " + t() + " --password pw").status, 0);
  EXPECT_EQ(edb("pack " + t() + " --password pw").status, 0);
  std::string info = edb("info " + t() + " --password pw").out;
  EXPECT_NE(info.find("table: protected, format_version 65536, next_record_id 3, record_size 24"),
            std::string::npos)
      << info;
  EXPECT_NE(info.find("records: 1"), std::string::npos) << info;
  EXPECT_NE(info.find("side file: block_count 3,"), std::string::npos) << info;
  EXPECT_EQ(edb("set " + t() + " 1 图 --empty --password pw").status, 0);
  EXPECT_EQ(edb("check " + t() + " --password pw").status, 0);
}

TEST_F(EdbTest, ReportsErrorsWithTheirExitCodes) {
  ASSERT_EQ(edb("create " + t() + " --field a:10:4").status, 0);
  Result r = edb("dump " + t() + " --password wrong");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(err_.find("-78"), std::string::npos);
  EXPECT_EQ(edb("dump " + dir_ + "/none.edb").status, 1);
  EXPECT_NE(err_.find("-3 指定文件未找到"), std::string::npos);
  EXPECT_EQ(edb("frobnicate " + t()).status, 2);
  EXPECT_EQ(edb("dump " + t() + " --bogus").status, 2);
  EXPECT_EQ(edb("set " + t() + " x a v").status, 2);
  EXPECT_EQ(edb("append " + t()).status, 0);
  EXPECT_EQ(edb("set " + t() + " 1 a 😀").status, 2);  // no GBK form: refused
  EXPECT_EQ(edb("set " + t() + " 1 nope v").status, 1);
  EXPECT_NE(err_.find("-61"), std::string::npos);
  // A damaged side of the table shows in the check.
  std::string u = "'" + dir_ + "/u.edb'";
  ASSERT_EQ(edb("create " + u + " --field b:11").status, 0);
  EXPECT_EQ(edb("append " + u).status, 0);
  EXPECT_EQ(edb("set " + u + " 1 b --hex " + std::string(2400, 'a')).status, 0);
  std::filesystem::resize_file(dir_ + "/u.edt", 512 * 2);
  r = edb("check " + u);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("block_count"), std::string::npos) << r.out;
}

}  // namespace
