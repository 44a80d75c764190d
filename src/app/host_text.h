// The shell's own texts are written as UTF-8 in the sources; the window port and the
// tables take host bytes (GBK). Every literal goes through here once on its way out.
#pragma once

#include <string>
#include <string_view>

namespace app {

// GBK bytes of a UTF-8 literal of this program (every one of them is representable).
std::string host_text(std::string_view utf8);

inline constexpr std::string_view kCaptionInfo = "信息：";
inline constexpr std::string_view kCaptionError = "错误";

}  // namespace app
