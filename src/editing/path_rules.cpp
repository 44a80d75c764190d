#include "editing/path_rules.h"

#include <vector>

namespace editing {
namespace {

// Bytes of the character that starts at `i`: a lead byte takes the next byte with it, so
// a trail byte that happens to be '\\' (0x5C) is never taken for a separator.
size_t char_size(std::string_view t, size_t i) {
  const auto c = static_cast<unsigned char>(t[i]);
  if (c < 0x81 || c > 0xFE || i + 1 >= t.size()) return 1;
  const auto n = static_cast<unsigned char>(t[i + 1]);
  return (n >= 0x40 && n <= 0x7E) || (n >= 0x80 && n <= 0xFE) ? 2 : 1;
}

// Positions where `s` starts at a character boundary of `t`, left to right, not overlapping.
std::vector<size_t> find_all(std::string_view t, std::string_view s) {
  std::vector<size_t> found;
  if (s.empty()) return found;
  for (size_t i = 0; i < t.size();) {
    if (t.substr(i, s.size()) == s) {
      found.push_back(i);
      i += s.size();
    } else {
      i += char_size(t, i);
    }
  }
  return found;
}

std::string replace_all(std::string_view t, std::string_view s, std::string_view r) {
  std::string out;
  size_t from = 0;
  for (size_t at : find_all(t, s)) {
    out.append(t.substr(from, at - from));
    out.append(r);
    from = at + s.size();
  }
  out.append(t.substr(from));
  return out;
}

std::vector<std::string_view> split(std::string_view t, char sep) {
  std::vector<std::string_view> pieces;
  size_t from = 0;
  for (size_t at : find_all(t, std::string_view(&sep, 1))) {
    pieces.push_back(t.substr(from, at - from));
    from = at + 1;
  }
  pieces.push_back(t.substr(from));
  return pieces;
}

}  // namespace

std::string insert_host_token(std::string_view path, std::string_view program_directory) {
  return replace_all(path, program_directory, kHostDirectoryToken);
}

std::string expand_host_token(std::string_view path, std::string_view program_directory) {
  return replace_all(path, kHostDirectoryToken, program_directory);
}

std::string tool_name_from_path(std::string_view path) {
  const std::string_view file = split(path, '\\').back();
  const std::vector<size_t> dots = find_all(file, ".");
  if (dots.empty()) return {};
  return std::string(file.substr(0, dots.back()));
}

bool is_shortcut_path(std::string_view path) {
  return path.ends_with(".lnk");
}

std::string shortcut_command(std::string_view target, std::string_view arguments) {
  std::string command(target);
  if (!arguments.empty()) {
    command += ' ';
    command.append(arguments);
  }
  return command;
}

std::string add_panel_directory(std::string_view path) {
  if (path.empty()) return {};
  std::vector<std::string_view> pieces = split(path, '\\');
  if (pieces.size() > 1 && pieces.back().empty()) pieces.pop_back();
  std::string dir;
  for (size_t i = 0; i + 1 < pieces.size(); ++i) {
    if (i > 0) dir += '\\';
    dir.append(pieces[i]);
  }
  dir += '\\';
  return dir;
}

std::string view_panel_directory(std::string_view path) {
  const std::vector<std::string_view> pieces = split(path, '\\');
  std::string dir;
  for (size_t i = 0; i + 1 < pieces.size(); ++i) {
    dir.append(pieces[i]);
    dir += '\\';
  }
  return dir;
}

}  // namespace editing
