// Paths in the host's form: GBK bytes with backslash separators, the way the host
// toolbox stores and reads them. Native paths are UTF-8 with the platform's separators.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Native path to host form. False (and *host untouched) when the path cannot be written
// in the host's form: a character GBK cannot hold, invalid UTF-8, or (where the backslash
// is an ordinary file-name character) a name that contains one.
bool native_to_host_path(std::string_view native, std::string* host);

// Host form to a native path. Undecodable bytes become U+FFFD, so such a path names no
// existing file rather than a wrong one.
std::string host_to_native_path(std::string_view host);

// The directory of the running executable as it was started, without following symbolic
// links, native form, without a trailing separator ("" for the root directory).
// `argv0` with a separator is taken relative to the working directory; a bare name is
// looked up along PATH. When that does not lead to the running executable (argv[0] need
// not name it), the resolved executable's directory is used instead.
std::string program_directory(std::string_view argv0);

// The same with every input given, for tests: `self_exe` is the running executable's
// resolved path ("" when unknown).
std::string program_directory_from(std::string_view argv0, std::string_view working_dir,
                                   std::string_view path_env, std::string_view self_exe);

}  // namespace platform
