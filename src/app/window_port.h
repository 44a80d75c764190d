// The window as the application logic sees it: controls addressed by their layout names,
// message boxes, file dialogs, the tool list, menus and the timer.
//
// Control names are the layout's identifiers, written as UTF-8 in the sources; they never
// reach the user or the disk. Every text that does (captions, cells, edit contents, message
// texts, dialog filters) crosses the port as host bytes (GBK). Paths returned by the file
// dialog are native paths, spelled as the file system spells them.
//
// The header depends on nothing but the standard library, so any layer above storage can
// drive the window through it without linking the application library.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace app {

enum class MessageIcon { none, warning, error, question };
enum class MessageButtons { ok, yes_no };
enum class MessageAnswer { ok, yes, no };

struct Message {
  std::string text;     // GBK; lines joined by CR LF
  std::string caption;  // GBK
  MessageIcon icon = MessageIcon::none;
  MessageButtons buttons = MessageButtons::ok;
};

class WindowPort {
 public:
  virtual ~WindowPort() = default;

  // Caption of a label or button, content of an edit box (GBK). A text set here and not
  // edited since comes back byte for byte, even when it did not decode cleanly.
  virtual void set_text(std::string_view control, std::string_view text) = 0;
  // "" when the text holds a character GBK cannot hold; see text_refusal.
  virtual std::string text(std::string_view control) = 0;
  // The message (GBK) refusing a text that GBK cannot hold, naming the first character it
  // lacks; "" when the text can be stored.
  virtual std::string text_refusal(std::string_view control) = 0;

  virtual void set_enabled(std::string_view control, bool enabled) = 0;
  virtual bool enabled(std::string_view control) = 0;
  virtual void set_visible(std::string_view control, bool visible) = 0;
  virtual bool visible(std::string_view control) = 0;
  virtual void set_focus(std::string_view control) = 0;

  // Holders only: position in the parent and the two colours (0xRRGGBB).
  virtual void move(std::string_view control, int left, int top) = 0;
  virtual void set_holder_colors(std::string_view control, uint32_t line, uint32_t fill) = 0;

  // Page container.
  virtual void set_current_page(std::string_view control, int page) = 0;
  virtual int current_page(std::string_view control) = 0;

  // Combo box: the 0-based current item, -1 for none.
  virtual void set_current_index(std::string_view control, int index) = 0;
  virtual int current_index(std::string_view control) = 0;

  // List view rows. The selected row is -1 when none; selecting an index outside the rows
  // selects nothing.
  virtual void clear_rows(std::string_view list) = 0;
  virtual void append_row(std::string_view list, const std::vector<std::string>& cells) = 0;
  virtual int row_count(std::string_view list) = 0;
  virtual std::string cell(std::string_view list, int row, int column) = 0;
  virtual int selected_row(std::string_view list) = 0;
  virtual void select_row(std::string_view list, int row) = 0;

  // Menus (分类, 编辑, 帮助) and menu items (添加工具) by caption.
  virtual void set_menu_enabled(std::string_view menu, bool enabled) = 0;
  virtual bool menu_enabled(std::string_view menu) = 0;
  virtual void set_menu_item_visible(std::string_view item, bool visible) = 0;
  virtual bool menu_item_visible(std::string_view item) = 0;
  // Shows a menu as a popup at the mouse cursor and returns once it has closed; a chosen
  // item has run its command by then.
  virtual void popup_menu(std::string_view menu) = 0;

  // Timer: 0 stops it.
  virtual void set_timer_interval(std::string_view timer, int ms) = 0;
  virtual int timer_interval(std::string_view timer) = 0;

  // Icon slots of an animation box, numbered 0, 1, 2 in the order they were added. A
  // picture is the bytes of an image file (PNG or GIF); empty clears the slot. `animate`
  // plays a GIF's frames.
  virtual int add_slot(std::string_view box, int left, int top) = 0;
  virtual void set_slot_picture(std::string_view box, int slot, std::string_view bytes,
                                bool animate = false) = 0;

  // Modal message box; the answer is ok for an OK box, yes or no for a Yes/No box (closing
  // it any other way counts as no).
  virtual MessageAnswer show_message(const Message& message) = 0;

  // File-open dialog: filter in the host's form ("描述|*.png|描述|*.gif", GBK; empty shows
  // every file). nullopt when the user cancels.
  virtual void set_dialog_filter(std::string_view dialog, std::string_view filter) = 0;
  virtual std::string dialog_filter(std::string_view dialog) = 0;
  virtual std::optional<std::string> choose_open_file(std::string_view dialog) = 0;

  // Width in pixels of a one-line text (GBK) in the measuring font of the drawing surface.
  virtual int text_width(std::string_view text) = 0;

  // Asks the main window to close once the running handler has returned.
  virtual void request_close() = 0;
};

}  // namespace app
