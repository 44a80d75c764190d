// How the editor panels fill paths, names and directories. Paths are in the host's form
// (GBK bytes, backslash separators); every comparison is exact and case-sensitive.
#pragma once

#include <string>
#include <string_view>

namespace editing {

// Stands in a stored path for the program directory: "岚澄工具箱目录".
inline constexpr std::string_view kHostDirectoryToken =
    "\xe1\xb0\xb3\xce\xb9\xa4\xbe\xdf\xcf\xe4\xc4\xbf\xc2\xbc";

// Every occurrence of the program directory replaced by the token (a plain text
// replacement: D:\Box2\x.exe with D:\Box gives 岚澄工具箱目录2\x.exe). An empty program
// directory (the file-system root) replaces nothing.
std::string insert_host_token(std::string_view path, std::string_view program_directory);

// Every token replaced by the program directory, to reach the file again.
std::string expand_host_token(std::string_view path, std::string_view program_directory);

// The piece after the last backslash, without its last extension: the pieces between
// "." joined with "." except the last. No "." gives "".
std::string tool_name_from_path(std::string_view path);

// Whether the add panel treats the path as a shortcut: its last four bytes are ".lnk".
bool is_shortcut_path(std::string_view path);

// The command stored for a shortcut: its target, then one space and its arguments when
// it has any.
std::string shortcut_command(std::string_view target, std::string_view arguments);

// The add panel's directory: every piece but the last (a trailing backslash makes no
// empty last piece), joined with "\", then one "\". "" stays ""; no backslash gives "\".
std::string add_panel_directory(std::string_view path);

// The view/modify panel's directory: each piece before the last followed by "\"; so a
// path without a backslash gives "" and one with a trailing backslash keeps it whole.
std::string view_panel_directory(std::string_view path);

}  // namespace editing
