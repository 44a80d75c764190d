// What the three panels share: the held icons, the icon slots, the help text, reading the
// edit boxes and close_editor.
#include "editing/panels.h"

#include <fstream>

#include "editing/panel_controls.h"
#include "imaging/imaging.h"
#include "platform/gbk.h"
#include "platform/host_path.h"

namespace editing {

namespace c = controls;
using app::MessageAnswer;
using app::MessageButtons;
using app::MessageIcon;

namespace {

// Every literal of the panels is representable in GBK.
std::string host(std::string_view utf8) {
  std::string gbk;
  platform::utf8_to_gbk(utf8, &gbk);
  return gbk;
}

// A picture for an icon slot is small; a larger file is refused rather than read whole.
constexpr std::streamoff kPictureFileLimit = 32 << 20;

bool read_picture_file(const std::string& native, std::string* bytes) {
  std::ifstream in(native, std::ios::binary);
  if (!in) return false;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0 || size > kPictureFileLimit) return false;
  in.seekg(0);
  std::string data(static_cast<size_t>(size), '\0');
  if (!in.read(data.data(), size)) return false;
  *bytes = std::move(data);
  return true;
}

constexpr std::string_view kHelpText =
    "关于工具名：\r\n"
    "英文、数字、中文混合的工具名，如果>"
    "10字节而且中文前边存在数字、字母或其他单字节字符时，岚澄工具"
    "箱在绘制文本时会出现乱码，所以程序会自动在单字节字符后边补一个空格凑齐双数。\r\n"
    "举例CPU-Z绿色汉化版，其中CPU-Z只占5字节，所以程序会在后面加入一个空格凑齐6字节，即CPU-Z "
    "绿色汉化版。\r\n"
    "\r\n"
    "关于图标：\r\n"
    "2022.07及更早的版本仅支持32*32的图标。2022.11及更新的版本均支持32*32、40*40、48*48的图标，即对"
    "应100%缩放、125%缩放、150%缩放，其他缩放比例岚澄工具箱会根据实际情况缩放(可能会有点糊)。\r\n"
    "双击图标(32*32、40*40、48*48的图标均可双击)"
    "可以自行选择图标文件并替换，建议最好选择对应尺寸的图"
    "标，不然程序会自动缩放图标(可能会有点糊)。\r\n"
    "\r\n"
    "关于路径/目录：\r\n"
    "您可以手动输入工具的路径，也可以浏览并选择文件，注意在添加工具界面浏览并选择文件时会自动获取文"
    "件"
    "图标，如果您已经手动设置过图标则会覆盖。\r\n"
    "当您浏览并选择文件时，路径会自动补充，若您手动输入工具路径，则必须手动输入目录。请务必确保工具"
    "目"
    "录正确无误，错误的目录可能会导致工具运行不正常。";

}  // namespace

std::string_view panel_help_text() {
  return kHelpText;
}

MessageAnswer Panels::inform(std::string_view utf8, MessageIcon icon, MessageButtons buttons) {
  return host_.port().show_message({host(utf8), host("信息："), icon, buttons});
}

void Panels::inform_host_text(std::string_view gbk, MessageIcon icon) {
  host_.port().show_message({std::string(gbk), host("信息："), icon, MessageButtons::ok});
}

void Panels::show_help() {
  inform(kHelpText, MessageIcon::none);
}

int Panels::text_width(std::string_view text) {
  return host_.port().text_width(text);
}

std::string Panels::host_program_directory() {
  std::string dir;
  // A program directory the host cannot spell never occurs in a host path either.
  if (!platform::native_to_host_path(host_.program_directory(), &dir)) return {};
  return dir;
}

bool Panels::to_host_path(std::string_view native, std::string* out) {
  if (platform::native_to_host_path(native, out)) return true;
  std::string message = platform::gbk_refusal_message(native);
  if (message.empty()) message = "该路径含有岚澄工具箱无法保存的字符，请更换文件名后再试。";
  // The refusal names the character, which GBK cannot carry: keep only its code.
  const std::string quoted = "“" + platform::first_character_without_gbk(native) + "”";
  if (size_t at = message.find(quoted); at != std::string::npos) message.erase(at, quoted.size());
  inform(message, MessageIcon::warning);
  return false;
}

bool Panels::read_texts(std::initializer_list<std::string_view> names,
                        std::initializer_list<std::string*> out) {
  app::WindowPort& port = host_.port();
  for (std::string_view name : names) {
    std::string refusal = port.text_refusal(name);
    if (!refusal.empty()) {
      inform_host_text(refusal, MessageIcon::warning);
      port.set_focus(name);
      return false;
    }
  }
  auto target = out.begin();
  for (std::string_view name : names) **target++ = port.text(name);
  return true;
}

void Panels::show_held(std::string_view box, bool animate_first) {
  for (int i = 0; i < 3; ++i)
    host_.port().set_slot_picture(box, i, held_[i], animate_first && i == 0);
}

void Panels::close_editor() {
  app::WindowPort& port = host_.port();
  port.set_visible(c::kOverlay, false);
  for (std::string_view menu : {c::kMenuCategories, c::kMenuEdit, c::kMenuHelp})
    port.set_menu_enabled(menu, true);
  port.set_focus(c::kToolList);
}

void Panels::choose_slot_image(Variant variant, int slot) {
  if (slot < 0 || slot >= static_cast<int>(kSlotSizes.size())) return;
  app::WindowPort& port = host_.port();
  const bool view = variant == Variant::view;
  const std::string_view dialog = view ? c::kViewDialog : c::kAddDialog;
  const std::string_view box = view ? c::kViewSlots : c::kAddSlots;
  const int n = kSlotSizes[slot];

  port.set_dialog_filter(dialog, host(view ? "PNG图片文件(*.png)|*.png|GIF动态图片文件(*.gif)|*.gif"
                                           : "PNG图片文件(*.png)|*.png"));
  std::optional<std::string> chosen = port.choose_open_file(dialog);
  // The filter is back to empty on every way out, so "..." shows every file again.
  struct ResetFilter {
    app::WindowPort& port;
    std::string_view dialog;
    ~ResetFilter() { port.set_dialog_filter(dialog, {}); }
  } reset{port, dialog};
  if (!chosen) return;

  std::string bytes;
  if (!read_picture_file(*chosen, &bytes)) {
    inform("读取图片文件失败，请确认文件存在且可以读取。", MessageIcon::warning);
    return;
  }
  const imaging::ImageSize size = imaging::read_image_size_from_bytes(bytes);
  if (size.width != n || size.height != n) {
    const std::string question = "您选择的图片尺寸不是" + std::to_string(n) + "*" +
                                 std::to_string(n) + "，程序将会自动缩放，但可能会模糊，是否继续？";
    if (inform(question, MessageIcon::question, MessageButtons::yes_no) != MessageAnswer::yes)
      return;
    std::string scaled = imaging::scale_image(bytes, n, n);
    if (scaled.empty()) {
      inform("缩放图片失败，图标未做任何更改。", MessageIcon::error);
      return;
    }
    held_[slot] = std::move(scaled);
    port.set_slot_picture(box, slot, held_[slot], false);
    return;
  }
  held_[slot] = std::move(bytes);
  // Only the 32 px slot plays an animated GIF; the host shows the others still.
  port.set_slot_picture(box, slot, held_[slot], view && slot == 0);
}

}  // namespace editing
