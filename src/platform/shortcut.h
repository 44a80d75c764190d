// Shell links (.lnk files) read from the Shell Link binary format (MS-SHLLINK), in place of
// the desktop shell's link object. Our own bounded reader; Debian's liblnk was evaluated
// and not used (see the comment at the top of shortcut.cpp).
//
// Texts are in the host form (GBK bytes, Windows paths): ANSI strings of the link are taken
// as code page 936 as they stand (a .lnk file records no code page for them), Unicode
// strings are converted to GBK, a character GBK has no form for becoming '?'.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// Stands in a link's text for a character that GBK cannot hold.
inline constexpr char kUnstorableMark = '\x01';

struct ShellLink {
  std::string target;         // from the link information, else the item-ID list, else the
                              // environment-variable block (unexpanded)
  std::string arguments;      // COMMAND_LINE_ARGUMENTS
  std::string icon_location;  // ICON_LOCATION, else the icon environment block
  int icon_index = 0;
  std::string relative_path;  // RELATIVE_PATH: the target relative to the link's folder
  std::string working_dir;    // WORKING_DIR
  std::string name;           // NAME_STRING (description)
};

// Parses the bytes of a .lnk file. False when they are not a shell link or a structure runs
// past its end.
bool parse_shell_link(std::string_view bytes, ShellLink* link);

// Reads and parses a .lnk file (at most 4 MiB are read).
bool read_shell_link(const std::string& native_lnk_path, ShellLink* link);

// The host-form text "target" or "target arguments" of a .lnk file; empty when the file
// cannot be read as a shell link.
std::string resolve_shortcut(const std::string& native_lnk_path);

}  // namespace platform
