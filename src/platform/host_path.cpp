#include "platform/host_path.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/gbk.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

// Where the backslash separates directories (Windows) a native path may use either
// separator; elsewhere it is part of a file name and has no host form.
constexpr bool kBackslashSeparates = fs::path::preferred_separator == '\\';

bool same_file(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool is_executable_file(const std::string& p) {
  struct stat st;
  return ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(p.c_str(), X_OK) == 0;
}

// Directory part of an absolute path, lexically tidied ("." and ".." folded, doubled
// separators merged), without a trailing separator.
std::string directory_of(const std::string& file) {
  std::string dir = fs::path(file).lexically_normal().parent_path().generic_string();
  while (!dir.empty() && dir.back() == '/') dir.pop_back();
  return dir;
}

std::string join(std::string_view dir, std::string_view name) {
  std::string p(dir);
  if (p.empty() || p.back() != '/') p += '/';
  p += name;
  return p;
}

}  // namespace

bool native_to_host_path(std::string_view native, std::string* host) {
  std::string utf8;
  utf8.reserve(native.size());
  for (char c : native) {
    if (c == '\\' && !kBackslashSeparates) return false;
    utf8.push_back(c == '/' ? '\\' : c);
  }
  return utf8_to_gbk(utf8, host);
}

std::string host_to_native_path(std::string_view host) {
  std::string native = gbk_to_utf8(host);
  if (!kBackslashSeparates) {
    for (char& c : native)
      if (c == '\\') c = '/';
  }
  return native;
}

std::string program_directory_from(std::string_view argv0, std::string_view working_dir,
                                   std::string_view path_env, std::string_view self_exe) {
  const std::string self(self_exe);
  std::string started;
  if (argv0.find('/') != std::string_view::npos) {
    started = argv0.front() == '/' ? std::string(argv0) : join(working_dir, argv0);
  } else if (!argv0.empty()) {
    // A bare name was found along PATH; an empty entry means the working directory.
    size_t begin = 0;
    while (begin <= path_env.size()) {
      size_t end = path_env.find(':', begin);
      if (end == std::string_view::npos) end = path_env.size();
      std::string_view entry = path_env.substr(begin, end - begin);
      std::string dir = entry.empty()          ? std::string(working_dir)
                        : entry.front() == '/' ? std::string(entry)
                                               : join(working_dir, entry);
      std::string candidate = join(dir, argv0);
      if (is_executable_file(candidate)) {
        started = candidate;
        break;
      }
      begin = end + 1;
    }
  }
  if (!started.empty() && (self.empty() || same_file(started, self))) return directory_of(started);
  if (!self.empty()) return directory_of(self);
  return started.empty() ? std::string(working_dir) : directory_of(started);
}

std::string program_directory(std::string_view argv0) {
  std::error_code ec;
  std::string cwd = fs::current_path(ec).string();
  std::string self = fs::read_symlink("/proc/self/exe", ec).string();
  if (ec) self.clear();
  const char* path = std::getenv("PATH");
  return program_directory_from(argv0, cwd, path ? path : "", self);
}

}  // namespace platform
