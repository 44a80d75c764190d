// The shell with its editor panels over the fake window, on a toolbox folder in a
// temporary directory whose tables can be made to fail at any write.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "app/editor_panels.h"
#include "app/shell.h"
#include "fake_window.h"
#include "storage/fault_file.h"
#include "toolbox_fixture.h"

namespace app_test {

class PanelsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    storage::set_fatal_handler(
        [](std::string_view report) { ADD_FAILURE() << "fatal: " << report; });
  }
  void TearDown() override {
    storage::set_fatal_handler({});
    if (shell) shell->shutdown();
  }

  void start_with(const std::vector<Tool>& tools, int field_count = 8) {
    box.create("CPU工具", tools, field_count);
    box.create("主板工具", {sample_tool("主板")});
    window.set_visible("外形框1", false);  // as the layout has it
    shell = std::make_unique<app::Shell>(window, db, app::ShellOptions{box.dir(), box.dir()});
    panels = std::make_unique<app::EditorPanels>(*shell, &drop_hook, &drop_source);
    ASSERT_FALSE(shell->start().has_value());
    window.messages.clear();
  }

  void click(const char* control) {
    ASSERT_TRUE(shell->events().dispatch(control, app::Event::clicked)) << control;
  }
  void dispatch(const char* control, app::Event event, int argument = 0) {
    ASSERT_TRUE(shell->events().dispatch(control, event, argument)) << control;
  }
  // A control's text as UTF-8.
  std::string text(const char* control) { return utf8(window.text(control)); }
  void type(const char* control, std::string_view utf8_text) {
    window.set_text(control, gbk(utf8_text));
  }

  // Writes a file below `dir` (made as needed) and returns its native path.
  static std::string write_file(const std::string& dir, const std::string& relative,
                                const std::string& bytes) {
    std::filesystem::path p = std::filesystem::path(dir) / relative;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
    return p.string();
  }
  std::vector<Tool> tools(const char* base = "CPU工具") { return box.read(base); }
  std::string open_category() const { return shell->open_category(); }

  struct FakeDropSource : app::DropSource {
    Receiver receiver;
    int changes = 0;
    void set_drop_receiver(Receiver r) override {
      receiver = std::move(r);
      ++changes;
    }
  };

  Toolbox box;
  FakeWindow window;
  storage::FaultFileSystem faults{storage::posix_file_system()};
  storage::Database db{faults};
  FakeDropSource drop_source;  // outlives the hook, which detaches from it last
  app::DropHook drop_hook;
  std::unique_ptr<app::Shell> shell;
  std::unique_ptr<app::EditorPanels> panels;
};

}  // namespace app_test
