// What the imaging tests share besides their fixtures: a temporary folder and the started
// imaging layer.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "imaging/imaging.h"

namespace fixtures {

struct TempDir {
  std::filesystem::path path;
  TempDir() {
    char tmpl[] = "/tmp/imaging_test_XXXXXX";
    path = mkdtemp(tmpl);
  }
  ~TempDir() { std::filesystem::remove_all(path); }
  std::string write(const std::string& name, const std::string& bytes) const {
    std::string p = (path / name).string();
    std::ofstream(p, std::ios::binary) << bytes;
    return p;
  }
  std::string read(const std::string& name) const {
    std::ifstream in(path / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
};

// Starts the imaging layer for the whole test program.
class StartedImaging : public ::testing::Environment {
 public:
  void SetUp() override { ASSERT_TRUE(imaging::start_imaging()); }
  void TearDown() override { imaging::stop_imaging(); }
};

}  // namespace fixtures
